#include "overview/bus_overview.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <set>

#include "alarms/alarms_window.h"
#include "app/main_window_fixture.h"
#include "bus/bus_poller.h"
#include "gateway/unit_json.h"
#include "ident/about_ident.h"
#include "journal/service_journal.h"
#include "sim/bus.h"
#include "sim/pty_server.h"
#include "support/render.h"
#include "tools/ctl_run.h"

namespace {

// The overview beside the main window, three simulated controllers on the bus.
class BusOverviewTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        line.set_responder([this](const Bytes& request) -> Bytes {
            if (request.size() > 4 && silent.count(request[request[0] == 0x10 ? 1 : 4])) return {};
            return sim::flatten(
                controllers.handle(request.data(), static_cast<int>(request.size())));
        });
        create();
        overview = std::make_unique<BusOverview>(bus, port);
        overview->set_retry_ms(0);
    }
    void TearDown() override {
        overview.reset();
        MainWindowTest::TearDown();
    }
    // Lets the overview poll until it has ended n more cycles.
    bool cycles(int n) {
        const int until = overview->cycles() + n;
        QElapsedTimer t;
        t.start();
        while (overview->cycles() < until && t.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        overview->refresh();
        return overview->cycles() >= until;
    }
    // The simulated bus is touched only while the worker has nothing to do.
    template <class F>
    void quietly(F&& change) {
        overview->hide();
        bus.wait_idle();
        change();
        overview->show();
    }
    QString cell(int row, int column) { return overview->table()->item(row, column)->text(); }
    QColor ink(int row, int column) {
        return overview->table()->item(row, column)->foreground().color();
    }

    sim::Bus controllers{[] {
        sim::Options o;
        o.addresses = {1, 2, 5};
        return o;
    }()};
    std::set<int> silent;
    std::unique_ptr<BusOverview> overview;
};

TEST_F(BusOverviewTest, RowsShowEachControllerAndASilentOneKeepsItsValuesGreyed) {
    controllers.station(1).live.MEAS = 21.456f;
    controllers.station(2).live.MEAS = 71.5f;
    controllers.station(2).live.RELAYS = 0b101;
    controllers.station(5).live.FAULT = 1;
    ASSERT_TRUE(overview->set_addresses(QStringLiteral("1, 2, 5-5")));
    overview->show();
    ASSERT_TRUE(cycles(2));

    using C = BusOverview::Column;
    ASSERT_EQ(overview->table()->rowCount(), 3);
    EXPECT_EQ(cell(0, C::kAddress), QStringLiteral("1"));
    EXPECT_EQ(cell(0, C::kType), QStringLiteral("KELVRA 20"));
    EXPECT_EQ(cell(0, C::kMeasure), QStringLiteral("21,46"));
    EXPECT_EQ(cell(0, C::kSetPoint), QStringLiteral("55,00"));
    EXPECT_EQ(cell(1, C::kOut1), QStringLiteral("ZAP"));
    EXPECT_EQ(cell(1, C::kOut2), QStringLiteral("vyp"));
    EXPECT_EQ(cell(2, C::kFault), QStringLiteral("PORUCHA"));
    EXPECT_EQ(cell(1, C::kLink), QStringLiteral("OK"));

    quietly([this] {
        silent = {2};
        controllers.station(2).live.MEAS = 10.0f;
    });
    ASSERT_TRUE(cycles(2));
    EXPECT_EQ(cell(1, C::kMeasure), QStringLiteral("71,50"));
    EXPECT_TRUE(cell(1, C::kLink).startsWith(QStringLiteral("bez odpovědi (")))
        << cell(1, C::kLink).toStdString();
    EXPECT_EQ(ink(1, C::kMeasure), QColor(128, 128, 128));
    EXPECT_NE(ink(0, C::kMeasure), QColor(128, 128, 128));
    EXPECT_EQ(cell(2, C::kLink), QStringLiteral("OK"));
    EXPECT_FALSE(cell(1, C::kLastGood).isEmpty());
    // The window side's records still hold the main window's own reading.
    EXPECT_EQ(bus.data().live.MEAS, 0.0f);
    EXPECT_TRUE(render_window(overview.get(), QStringLiteral("bus_overview")));
    overview->hide();
}

TEST_F(BusOverviewTest, DoubleClickMakesTheControllerTheMainWindowsThroughThePortDialog) {
    overview->set_addresses(std::vector<int>{1, 5});
    overview->show();
    ASSERT_TRUE(cycles(1));
    QTableWidget* t = overview->table();
    const QRect cell_rect = t->visualItemRect(t->item(1, BusOverview::kMeasure));
    // A view takes a double click only on the item its press went to.
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, cell_rect.center());
    QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, cell_rect.center());
    overview->hide();
    bus.wait_idle();
    EXPECT_EQ(bus.device_address(), 5);
    EXPECT_EQ(port->da(), 5);
    controllers.station(5).live.MEAS = 33.0f;
    window->tl_precistClick();
    bus.wait_idle();
    EXPECT_EQ(text("pa_measure"), QStringLiteral("33,00"));
    EXPECT_EQ(stored("ADRESA", "DA").toInt(), 5);
}

TEST_F(BusOverviewTest, ScanListsTheControllersThatAnswer) {
    silent = {2};
    overview->show();
    overview->tl_hledatClick();
    QElapsedTimer t;
    t.start();
    while (overview->scanning() && t.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    ASSERT_FALSE(overview->scanning());
    ASSERT_EQ(overview->rows().size(), 2u);
    EXPECT_EQ(overview->rows()[0].address, 1);
    EXPECT_EQ(overview->rows()[1].address, 5);
    overview->hide();
}

// A Czech letter in a type text reads the same wherever the text is shown.
class TypeTextEverywhere : public BusOverviewTest,
                           public ::testing::WithParamInterface<const char*> {
  protected:
    static sim::Options czech() {
        sim::Options o;
        o.type_text = QStringLiteral("KELVRA 20 Příbram");
        return o;
    }
    QString shown(const QString& where) {
        if (where == QLatin1String("identification box")) {
            bus.set_device_address(1);
            Tabout_ident box(bus, prompts);
            box.ShowIdentification();
            EXPECT_TRUE(render_window(&box, QStringLiteral("ident_box_czech")));
            return box.findChild<QLabel*>(QStringLiteral("lb_zarizeni"))->text();
        }
        if (where == QLatin1String("overview")) {
            overview->set_addresses(std::vector<int>{1});
            overview->show();
            const bool polled = cycles(1);
            overview->hide();
            return polled ? cell(0, BusOverview::kType) : QString();
        }
        if (where == QLatin1String("gateway JSON")) {
            UnitTable table;
            BusPoller poller(table);
            poller.set_addresses({1});
            const auto step = poller.next();
            if (!step) return {};
            BusPoller::Outcome outcome;
            bus.run_session([&](BusSession& s) {
                outcome = BusPoller::read(s, *step);
                return true;
            });
            return state_json(poller.record(*step, outcome))
                .value(QLatin1String("type"))
                .toString();
        }
        sim::PtyServer device(czech());
        if (!device.start()) return device.error();
        const CtlRun r = tx20ctl({QStringLiteral("--port"), device.path(), QStringLiteral("--json"),
                                  QStringLiteral("ident")});
        return QJsonDocument::fromJson(r.out.toUtf8())
            .object()
            .value(QLatin1String("type"))
            .toString();
    }
    sim::Bus czech_bus{czech()};
};

TEST_P(TypeTextEverywhere, ReadsTheSame) {
    bus.wait_idle();
    line.set_responder([this](const Bytes& request) -> Bytes {
        return sim::flatten(czech_bus.handle(request.data(), static_cast<int>(request.size())));
    });
    EXPECT_EQ(shown(QString::fromUtf8(GetParam())), QStringLiteral("KELVRA 20 Příbram"));
}

INSTANTIATE_TEST_SUITE_P(Overview, TypeTextEverywhere,
                         ::testing::Values("identification box", "overview", "gateway JSON",
                                           "tx20ctl --json ident"));

TEST_F(BusOverviewTest, ItsReadingsRaiseTheAlarmsOnceAlsoWhereTheMainWindowReadsToo) {
    QTemporaryDir dir;
    ServiceJournal j(dir.filePath(QStringLiteral("j.sqlite")));
    QDateTime now(QDate(2026, 12, 10), QTime(9, 0), Qt::UTC);
    j.set_clock([&now] { return now; });
    const auto feed = [&j](const char* source) {
        return [&j, source](int a, bool ok, const LiveGroup& live) {
            j.reading(a, ok, live, QString::fromUtf8(source));
        };
    };
    overview->set_reading_observer(feed("Přehled sběrnice"));
    window->set_reading_observer(feed("Čtení"));
    const auto state = [&j](int address, AlarmCondition c) {
        const AlarmStatus* s = j.alarms().status(address, c);
        return s ? s->state : AlarmState::Normal;
    };
    const auto entries = [&j](JournalKind kind) {
        JournalFilter f;
        f.kind = kind;
        return j.journal().query(f, 100);
    };
    controllers.station(5).live.FAULT = 1;
    silent = {2};
    overview->set_addresses(std::vector<int>{1, 2, 5});
    overview->show();
    ASSERT_TRUE(cycles(1));
    // Loss of communication waits out its on-delay in the journal's time.
    EXPECT_EQ(state(2, AlarmCondition::CommLoss), AlarmState::Normal);
    now = now.addSecs(6);
    ASSERT_TRUE(cycles(2));
    // The main window reads controller 5 as well: still one alarm of it.
    overview->open_row(2);
    quietly([this] {
        window->tl_precistClick();
        bus.wait_idle();
    });
    const struct {
        int address;
        AlarmCondition condition;
        AlarmState state;
    } expected[] = {{1, AlarmCondition::CommLoss, AlarmState::Normal},
                    {1, AlarmCondition::Fault, AlarmState::Normal},
                    {2, AlarmCondition::CommLoss, AlarmState::ActiveUnacked},
                    {5, AlarmCondition::Fault, AlarmState::ActiveUnacked}};
    for (const auto& e : expected)
        EXPECT_EQ(state(e.address, e.condition), e.state)
            << e.address << " " << condition_name(e.condition).toStdString();
    EXPECT_EQ(j.alarms().list().size(), 2u);
    EXPECT_EQ(j.alarms().unacknowledged(), 2);
    ASSERT_EQ(entries(JournalKind::Alarm).size(), 2u);
    const auto link = entries(JournalKind::Link);
    ASSERT_EQ(link.size(), 1u);
    EXPECT_EQ(link[0].address, 2);
    EXPECT_EQ(link[0].source, QStringLiteral("Přehled sběrnice"));
    AlarmsWindow alarms(j, prompts);
    EXPECT_TRUE(render_window(&alarms, QStringLiteral("alarms_from_overview")));
    EXPECT_TRUE(render_window(overview.get(), QStringLiteral("overview_with_alarms")));

    // The fault clears: whichever reading sees it first returns the alarm, once.
    quietly([this] {
        controllers.station(5).live.FAULT = 0;
        window->tl_precistClick();
        bus.wait_idle();
    });
    ASSERT_TRUE(cycles(1));
    EXPECT_EQ(state(5, AlarmCondition::Fault), AlarmState::ReturnedUnacked);
    EXPECT_EQ(entries(JournalKind::Alarm).size(), 3u);
    overview->hide();
}

}  // namespace
