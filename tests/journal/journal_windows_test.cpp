#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "alarms/alarm_panel.h"
#include "alarms/alarms_window.h"
#include "journal/journal_model.h"
#include "journal/journal_window.h"
#include "journal/service_journal.h"
#include "support/render.h"
#include "support/scripted_prompts.h"

namespace {

class JournalWindows : public ::testing::Test {
  protected:
    JournalWindows() : j(dir.filePath(QStringLiteral("j.sqlite"))) {
        DeviceData d;
        j.table_read(1, 3, true, d);
        d.pid.PB = 2.5f;
        j.table_written(1, 3, true, d, QStringLiteral("Parametry regulátoru – Zápis"));
        j.eeprom_stored(1, false, QStringLiteral("Parametry regulátoru – EEPROM"));
        j.port_opened(QStringLiteral("COM1"), QStringLiteral("/dev/ttyUSB0"), true, {});
        LiveGroup hot;
        hot.MEAS = 130;
        hot.FAULT = 2;
        AlarmRules r = default_rules();
        r[0].enabled = true;
        r[0].priority = 2;
        j.set_rules(2, r);
        j.reading(2, true, hot);
        j.reading(3, true, hot);
    }
    QTemporaryDir dir;
    ServiceJournal j;
    ScriptedPrompts prompts;
};

TEST_F(JournalWindows, TheJournalWindowFiltersAndExportsWhatItShows) {
    JournalWindow w(j, prompts);
    w.show();
    EXPECT_TRUE(render_window(&w, QStringLiteral("journal_window")));
    EXPECT_EQ(w.model().rowCount(), 6);  // write, eeprom, port, three alarms on two controllers
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Deník servisu"));
    auto* text = w.findChild<QLineEdit*>(QStringLiteral("ed_hledat"));
    QTest::keyClicks(text, QStringLiteral("PB"));
    ASSERT_EQ(w.model().rowCount(), 1);
    EXPECT_EQ(w.model().entry(0).kind, JournalKind::Write);
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    ASSERT_TRUE(w.export_csv(path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].contains(QStringLiteral("PB 0 → 2.5")));
}

TEST_F(JournalWindows, TheAlarmWindowAcknowledgesWithACommentAndStoresRules) {
    AlarmsWindow w(j, prompts);
    w.set_asks({[] { return std::optional<QString>(QStringLiteral("kontrola")); },
                [] { return std::optional<int>(15); }});
    w.show();
    QTableWidget* t = w.alarm_table();
    ASSERT_EQ(t->rowCount(), 3);
    // Highest priority first.
    EXPECT_EQ(t->item(0, 1)->text(), QStringLiteral("porucha regulátoru"));
    EXPECT_EQ(t->item(0, 3)->text(), QStringLiteral("aktivní, nepotvrzený"));
    EXPECT_TRUE(render_window(&w, QStringLiteral("alarms_window")));
    t->selectRow(0);
    w.acknowledge_selected();
    EXPECT_EQ(j.alarms().unacknowledged(), 2);
    EXPECT_EQ(t->item(0, 6)->text(), Journal::current_user());
    EXPECT_EQ(t->item(0, 7)->text(), QStringLiteral("kontrola"));
    t->selectRow(1);
    w.shelve_selected();
    EXPECT_EQ(j.alarms().unacknowledged(), 1);

    w.show_rules(2);
    EXPECT_TRUE(w.shown_rules()[0].enabled);
    const QString path = dir.filePath(QStringLiteral("rules.json"));
    ASSERT_TRUE(w.export_rules(path));
    QTemporaryDir other;
    ServiceJournal fresh(other.filePath(QStringLiteral("j.sqlite")));
    AlarmsWindow w2(fresh, prompts);
    ASSERT_TRUE(w2.import_rules(path));
    EXPECT_EQ(fresh.rules(2), j.rules(2));

    AlarmPanel panel;
    panel.show_count(2);
    EXPECT_EQ(panel.text(), QStringLiteral("Alarmy: 2"));
    EXPECT_EQ(panel.palette().color(QPalette::Window), QColor(0xFF, 0x30, 0x30));
}

}  // namespace
