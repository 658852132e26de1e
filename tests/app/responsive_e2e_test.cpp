// The windows against the simulated controller on a pseudo-terminal while the bus
// misbehaves: the window thread goes on, closing waits for the one exchange under way,
// and nothing hangs when the device vanishes.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QThread>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "chart/trend_chart.h"
#include "comm/Unit_hl.h"
#include "comm/bus_worker.h"
#include "comm/serial_line.h"
#include "platform/settings_store.h"
#include "sim/pty_server.h"
#include "support/fake_clock.h"
#include "support/line_on_worker.h"
#include "support/scripted_prompts.h"

namespace {

sim::Options with_fault(sim::Fault kind) {
    sim::Options o;
    o.faults.push_back({kind, 1});
    return o;
}

class ResponsiveE2E : public ::testing::Test {
  protected:
    void start(sim::Options options, int rate = 9600, bool pace = false) {
        server = std::make_unique<sim::PtyServer>(std::move(options), rate, pace);
        ASSERT_TRUE(server->start()) << server->error().toStdString();
        on_worker.open(server->path(), rate);
        bus.set_device_address(1);
    }
    void TearDown() override {
        window.reset();
        on_worker.close();
        if (server) server->stop();
    }
    Tkrt01& create_window() {
        EXPECT_TRUE(dir.isValid());
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("TavTx20.ini")));
        window = std::make_unique<Tkrt01>(*store, prompts, clock, bus);
        window->set_dialogs({});
        window->findChild<QCheckBox*>(QStringLiteral("check_auto"))->setChecked(true);
        return *window;
    }
    void tick() {
        clock.advance_seconds(1);
        window->Timer1Timer();
    }
    QString panel(const char* name) {
        return window->findChild<QLabel*>(QLatin1String(name))->text();
    }

    std::unique_ptr<sim::PtyServer> server;
    SerialLine serial;
    ScriptedPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer req{serial, prompts, data, buffer};
    BusWorker bus{req, prompts};
    LineOnWorker on_worker{serial, bus};
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    FakeClock clock;
    std::unique_ptr<Tkrt01> window;
};

TEST_F(ResponsiveE2E, AnEventPostedAfterASilentReadingStartedIsHandledBeforeItsResult) {
    start(with_fault(sim::Fault::Silence));
    std::vector<std::string> order;
    bool ok = true;
    bus.post([](RequestLayer& r) { return r.read_table(TableId::TAB_LIVE); },
             [&](bool r) {
                 ok = r;
                 order.push_back("reading");
             });
    QObject receiver;
    QMetaObject::invokeMethod(
        &receiver, [&] { order.push_back("event"); }, Qt::QueuedConnection);
    bus.wait_idle();
    EXPECT_FALSE(ok);
    EXPECT_EQ(order, (std::vector<std::string>{"event", "reading"}));
}

TEST_F(ResponsiveE2E, TicksDuringASilentReadingAreMissedAndClosingWaitsForIt) {
    start(with_fault(sim::Fault::Silence));
    create_window();
    window->show();
    tick();
    ASSERT_TRUE(bus.busy());
    // The seconds go by while the reading is out: each tick returns at once and adds
    // nothing to the line.
    for (int i = 0; i < 5; ++i) tick();
    EXPECT_EQ(bus.pending(), 1);
    window->close();
    EXPECT_FALSE(bus.busy());
    EXPECT_EQ(window->chart().point_count(), 1);  // the failed reading repeats the last values
    EXPECT_EQ(server->requests(), 3);             // one request, sent twice more
}

TEST_F(ResponsiveE2E, ADeviceThatVanishesInTheMiddleOfAReadingEndsItAndNothingHangs) {
    // Slow enough that the reply is still crossing the wire when the device goes.
    start(sim::Options{}, 1200, true);
    create_window();
    tick();
    QThread::msleep(150);
    server->stop();
    bus.wait_idle();
    EXPECT_EQ(window->chart().point_count(), 1);
    tick();
    bus.wait_idle();
    EXPECT_EQ(window->chart().point_count(), 2);
    window->close();
    EXPECT_EQ(panel("pa_porucha"), QStringLiteral("bez odpovědi"));
}

TEST_F(ResponsiveE2E, AHealthyReadingKeepsItsPanelsAndTrendPoint) {
    start(sim::Options{});
    create_window();
    tick();
    EXPECT_TRUE(bus.busy());
    bus.wait_idle();
    EXPECT_FALSE(panel("pa_measure").isEmpty());
    EXPECT_EQ(window->chart().point_count(), 1);
    EXPECT_EQ(server->requests(), 1);
}

}  // namespace
