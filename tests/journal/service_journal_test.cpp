#include "journal/service_journal.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "commissioning/clone.h"

namespace {

class ServiceJournalTest : public ::testing::Test {
  protected:
    ServiceJournalTest() : j(dir.filePath(QStringLiteral("j.sqlite"))) {
        j.set_clock([this] { return now; });
    }
    std::vector<JournalEntry> entries(std::optional<JournalKind> kind = std::nullopt) {
        JournalFilter f;
        f.kind = kind;
        auto all = j.journal().query(f, 1000);
        std::reverse(all.begin(), all.end());
        return all;
    }
    QTemporaryDir dir;
    ServiceJournal j;
    QDateTime now = QDateTime(QDate(2026, 12, 10), QTime(9, 0));
};

TEST_F(ServiceJournalTest, AWriteRecordsEachFieldChangedSinceTheControllerWasLastRead) {
    DeviceData d;
    d.pid.PB = 1.5f;
    j.table_read(1, 3, true, d);
    d.pid.PB = 2;
    j.table_written(1, 3, true, d, QStringLiteral("Zápis"));
    // Written once more unchanged, then a failure: the controller's values are unknown.
    j.table_written(1, 3, true, d, QStringLiteral("Zápis"));
    d.pid.INT = 5;
    j.table_written(1, 3, false, d, QStringLiteral("Zápis"));
    j.table_written(1, 3, true, d, QStringLiteral("Zápis"));
    const auto e = entries(JournalKind::Write);
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].summary, QStringLiteral("Tabulka 3 zapsána: PB 1.5 → 2"));
    EXPECT_EQ(e[0].changes.size(), 1u);
    EXPECT_EQ(e[0].source, QStringLiteral("Zápis"));
    EXPECT_EQ(e[0].address, 1);
    EXPECT_EQ(e[1].summary, QStringLiteral("Tabulka 3 zapsána: beze změny"));
    EXPECT_FALSE(e[2].ok);
    EXPECT_EQ(e[2].summary, QStringLiteral("Zápis tabulky 3 selhal: INT 0 → 5"));
    EXPECT_EQ(e[3].changes.size(), 4u);  // every field, old unknown
    EXPECT_TRUE(e[3].changes[0].old_value.isEmpty());
}

TEST_F(ServiceJournalTest, TheLinkIsRecordedWhenItChangesAndAlarmsWithWhoAcknowledged) {
    LiveGroup live;
    live.FAULT = 1;
    j.reading(4, true, live);  // the default rules watch FAULT
    j.reading(4, true, live);
    now = now.addSecs(1);
    for (int i = 0; i < 6; ++i) {
        now = now.addSecs(1);
        j.reading(4, false, live);
    }
    now = now.addSecs(1);
    j.reading(4, true, live);
    const auto link = entries(JournalKind::Link);
    ASSERT_EQ(link.size(), 2u);
    EXPECT_FALSE(link[0].ok);
    EXPECT_TRUE(link[1].ok);
    EXPECT_EQ(link[1].summary, QStringLiteral("Spojení obnoveno"));

    const auto alarms = entries(JournalKind::Alarm);
    ASSERT_EQ(alarms.size(), 3u);  // fault raised, communication lost and back
    EXPECT_TRUE(alarms[0].summary.startsWith(QStringLiteral("porucha regulátoru")));
    EXPECT_TRUE(alarms[1].summary.startsWith(QStringLiteral("ztráta komunikace")));
    EXPECT_EQ(j.alarms().unacknowledged(), 2);
    j.acknowledge(4, AlarmCondition::Fault, QStringLiteral("vyměněn senzor"));
    const auto acks = entries(JournalKind::Ack);
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_TRUE(acks[0].summary.endsWith(QStringLiteral("„vyměněn senzor“")));
    EXPECT_EQ(acks[0].user, Journal::current_user());
    EXPECT_EQ(j.alarms().unacknowledged(), 1);
}

TEST_F(ServiceJournalTest, RulesPersistPerControllerInTheDatabase) {
    AlarmRules r = default_rules();
    r[0].enabled = true;
    r[0].limit = 70;
    ASSERT_TRUE(j.set_rules(9, r));
    ServiceJournal again(dir.filePath(QStringLiteral("j.sqlite")));
    EXPECT_EQ(again.rules(9), r);
    EXPECT_EQ(again.rules(8), default_rules());
}

TEST_F(ServiceJournalTest, CloneTargetsPortAndFilesHaveTheirEntries) {
    commissioning::TargetResult t;
    t.address = 5;
    t.outcome = commissioning::TargetResult::Outcome::Verified;
    t.identified = true;
    t.tables_written = {0, 3};
    j.cloned(t, QStringLiteral("ref.ini"), QStringLiteral("klon"));
    j.port_opened(QStringLiteral("COM1"), QStringLiteral("/dev/ttyUSB0"), true, {});
    j.port_closed(QStringLiteral("COM1"));
    j.file_saved(QStringLiteral("Soubor parametrů"), QStringLiteral("/tmp/a.ini"),
                 QStringLiteral("x"));
    j.identified(5, true, QStringLiteral("KELVRA 20"), QStringLiteral("FW-R-18-02"),
                 ServiceJournal::verdict(4), QStringLiteral("x"));
    const auto e = entries();
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[0].summary, QStringLiteral("Klonování z ref.ini: %1; zapsány tabulky %2")
                                .arg(t.status_text(), commissioning::tables_text({0, 3})));
    EXPECT_EQ(e[1].summary, QStringLiteral("Port COM1 (/dev/ttyUSB0) otevřen"));
    EXPECT_EQ(e[2].kind, JournalKind::Port);
    EXPECT_EQ(e[3].kind, JournalKind::File);
    EXPECT_EQ(e[4].summary,
              QStringLiteral("Identifikace: KELVRA 20, typ „KELVRA 20“, verze „FW-R-18-02“"));
}

// The step test's set point and its way back are writes of table 0, old → new; after them
// the editor's last reading of the controller no longer holds.
TEST_F(ServiceJournalTest, AStepTestsSetPointsAreWritesOfTableZero) {
    DeviceData d;
    d.comp.SP = 20;
    j.table_read(2, 0, true, d);
    j.set_point_written(2, 20, 25.5, true, false, {}, QStringLiteral("test"));
    j.set_point_written(2, 25.5, 20, false, true, QStringLiteral("bez odpovědi"),
                        QStringLiteral("test"));
    j.set_point_written(2, 25.5, 20, true, true, {}, QStringLiteral("test"));
    d.comp.SP = 21;
    j.table_written(2, 0, true, d, QStringLiteral("Zápis"));
    const auto e = entries(JournalKind::Write);
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].summary, QStringLiteral("Krokový test: skok žádané hodnoty: SP 20 → 25.5"));
    EXPECT_EQ(e[0].changes, (std::vector<FieldChange>{{0, "SP", "20", "25.5"}}));
    EXPECT_FALSE(e[1].ok);
    EXPECT_EQ(e[1].summary, QStringLiteral("Krokový test: původní žádanou hodnotu nelze vrátit "
                                           "(bez odpovědi): SP 25.5 → 20"));
    EXPECT_EQ(e[2].summary,
              QStringLiteral("Krokový test: původní žádaná hodnota vrácena: SP 25.5 → 20"));
    EXPECT_TRUE(e[3].changes.front().old_value.isEmpty()) << "table 0 is not known any more";
    EXPECT_EQ(ServiceJournal::verdict(-1), QStringLiteral("jiné zařízení"));
}

}  // namespace
