#include "commissioning/commissioning_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "comm/bus_worker.h"
#include "platform/atomic_file.h"
#include "platform/private_profile.h"
#include "support/render.h"
#include "support/request_fixture.h"

using namespace commissioning;

namespace {

// The window on the bus worker, with simulated controllers 1..3 behind the fake line.
class CommissioningWindowTest : public RequestFixture {
  protected:
    void SetUp() override {
        RequestFixture::SetUp();
        sim::Options o;
        o.addresses = {1, 2, 3};
        attach(o);
        // The reference: the simulator's values with the set point, a whole number and a
        // list entry changed.
        reference = dir.filePath(QStringLiteral("ref.ini"));
        save_backup(reference, bus->station(1));
        PrivateProfile ini(reference);
        ini.set_string(QStringLiteral("COMP"), QStringLiteral("SP"), QStringLiteral("40.00"));
        ini.set_string(QStringLiteral("REGO"), QStringLiteral("DSER"), QStringLiteral("90"));
        ini.set_string(QStringLiteral("ALARM1"), QStringLiteral("RALA"), QStringLiteral("2"));
        ini.commit();
        window = std::make_unique<CommissioningWindow>(
            worker, prompts,
            CommissioningWindow::Context{
                [] { return QStringLiteral("COM1"); }, [] { return 9600; }, {}, {}});
    }
    void load_both() {
        window->choose_file(0, reference);
        window->load(0);
        window->choose_address(1, 2);
        window->load(1);
        worker.wait_idle();
    }
    QTreeWidgetItem* row(const char* control) const {
        const auto* p = params::find_control(QLatin1String(control));
        const int tab = p->tab;
        QTreeWidgetItem* group = window->table()->topLevelItem(tab);
        for (int c = 0; c < group->childCount(); ++c)
            if (group->child(c)->text(1).startsWith(
                    QString::fromUtf8(p->label).section(QLatin1Char('\n'), 0, 0)))
                return group->child(c);
        return nullptr;
    }

    QTemporaryDir dir;
    QString reference;
    BusWorker worker{req, prompts};
    std::unique_ptr<CommissioningWindow> window;
};

}  // namespace

TEST_F(CommissioningWindowTest, BothSourcesShowSideBySideWithTheDifferencesMarked) {
    load_both();
    ASSERT_TRUE(window->set(0) && window->set(1));
    EXPECT_EQ(window->count_label()->text(), QStringLiteral("Rozdílů: 4"));
    const QColor marked = row("ed_sp")->background(2).color();
    EXPECT_TRUE(row("ed_sp")->background(2).style() != Qt::NoBrush);
    EXPECT_EQ(row("ed_sp")->text(2), QStringLiteral("40.00"));
    EXPECT_EQ(row("ed_sp")->text(3), QStringLiteral("55.00"));
    EXPECT_EQ(row("cb_rala1")->background(0).color(), marked);
    EXPECT_EQ(row("ed_dser")->background(0).color(), marked);
    EXPECT_EQ(row("ed_sp_l")->background(0).style(), Qt::NoBrush);
    EXPECT_EQ(row("ed_adresa")->text(4), QStringLiteral("vyloučeno"));
    EXPECT_EQ(row("ed_pass")->text(4), QStringLiteral("vyloučeno"));
    window->password_box()->setChecked(true);
    EXPECT_EQ(row("ed_pass")->text(4), QString());
    window->password_box()->setChecked(false);
    window->resize(900, 900);
    EXPECT_TRUE(render_window(window.get(), QStringLiteral("commissioning")));

    window->only_differences()->setChecked(true);
    int shown = 0;
    for (int t = 0; t < window->table()->topLevelItemCount(); ++t) {
        QTreeWidgetItem* g = window->table()->topLevelItem(t);
        for (int c = 0; c < g->childCount(); ++c) shown += g->child(c)->isHidden() ? 0 : 1;
    }
    EXPECT_EQ(shown, 4);  // the address differs too, shown though never cloned
    EXPECT_TRUE(render_window(window.get(), QStringLiteral("commissioning_differences")));
    EXPECT_TRUE(prompts.empty());
}

TEST_F(CommissioningWindowTest, CloneRunsTargetByTargetAndStopsAfterTheCurrentOne) {
    load_both();
    window->set_asks({[] { return std::optional<QString>(QStringLiteral("1-3")); }, {}});
    window->clone_click();
    EXPECT_TRUE(window->cloning());
    window->stop_click();  // the first controller is on the line already
    worker.wait_idle();
    EXPECT_FALSE(window->cloning());
    QTableWidget* r = window->results();
    ASSERT_EQ(r->rowCount(), 3);
    EXPECT_EQ(r->item(0, 3)->text(), QStringLiteral("ověřeno"));
    EXPECT_EQ(r->item(0, 2)->text(), QStringLiteral("0, 1, 4"));
    EXPECT_EQ(r->item(1, 3)->text(), QStringLiteral("přerušeno"));
    EXPECT_EQ(r->item(2, 3)->text(), QStringLiteral("přerušeno"));
    EXPECT_FLOAT_EQ(bus->station(1).comp.SP, 40.0f);
    EXPECT_FLOAT_EQ(bus->station(2).comp.SP, 55.0f);

    window->clone_click();
    worker.wait_idle();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(r->item(i, 3)->text(), QStringLiteral("ověřeno")) << i;
    EXPECT_TRUE(render_window(window.get(), QStringLiteral("commissioning_clone")));
    EXPECT_TRUE(prompts.empty());
}

TEST_F(CommissioningWindowTest, BadTargetListWritesNothing) {
    load_both();
    window->set_asks({[] { return std::optional<QString>(QStringLiteral("1,1")); }, {}});
    line.clear_events();
    prompts.allow_ok_messages();
    window->clone_click();
    worker.wait_idle();
    ASSERT_EQ(prompts.records().size(), 1u);
    EXPECT_TRUE(prompts.last().text.contains(QStringLiteral("dvakrát")));
    EXPECT_TRUE(line.writes().empty());
}

TEST_F(CommissioningWindowTest, ReportKeepsTheOldFileWhenTheDiskIsFull) {
    load_both();
    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    window->set_asks({{}, [] {
                          return std::optional<std::pair<QString, QString>>(
                              {QStringLiteral("Jan Novák"), QStringLiteral("poznámka")});
                      }});
    prompts.answer_save(pdf);
    window->report_click();
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray first = f.readAll();
    f.close();
    EXPECT_TRUE(first.startsWith("%PDF"));

    AtomicFile::InjectedFault full(AtomicFile::Fault::ShortWrite);
    prompts.answer_save(pdf);
    prompts.allow_ok_messages();
    window->report_click();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), first);
    EXPECT_TRUE(prompts.last().text.startsWith(QStringLiteral("Protokol nelze zapsat")));
}
