// The bus worker on the fake line: order, what comes back to the window side, prompts.
#include "comm/bus_worker.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <vector>

#include "platform/application.h"
#include "platform/errors.h"
#include "sim/bus.h"
#include "support/fake_line.h"
#include "support/scripted_prompts.h"

namespace {

// Remembers on which thread each prompt was asked.
class ThreadNotingPrompts : public ScriptedPrompts {
  public:
    PromptAnswer message(const QString& text, const QString& caption, PromptIcon icon,
                         PromptButtons buttons, PromptOwner owner) override {
        threads.push_back(QThread::currentThread());
        return ScriptedPrompts::message(text, caption, icon, buttons, owner);
    }
    std::vector<QThread*> threads;
};

class BusWorkerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        req.set_device_address(1);
        line.set_responder([this](const Bytes& r) {
            return sim::flatten(controllers.handle(r.data(), static_cast<int>(r.size())));
        });
    }

    static sim::Options two_controllers() {
        sim::Options o;
        o.addresses = {1, 9};
        return o;
    }

    sim::Bus controllers{two_controllers()};
    FakeLine line;
    ThreadNotingPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer req{line, prompts, data, buffer};
    BusWorker bus{req, prompts};
};

TEST_F(BusWorkerTest, JobsRunOneAtATimeInTheOrderAskedAndOffTheWindowThread) {
    std::vector<int> done;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::atomic<bool> on_window_thread{false};
    QThread* window_thread = QThread::currentThread();
    for (int i = 0; i < 20; ++i) {
        bus.post(
            [&, i](RequestLayer& r) {
                if (running.fetch_add(1) != 0) overlapped = true;
                if (QThread::currentThread() == window_thread) on_window_thread = true;
                const bool ok = r.read_table(i % kTableCount);
                running.fetch_sub(1);
                return ok;
            },
            [&done, i](bool) { done.push_back(i); });
    }
    EXPECT_TRUE(bus.busy());
    bus.wait_idle();
    EXPECT_FALSE(bus.busy());
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(on_window_thread);
    ASSERT_EQ(done.size(), 20u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(done[static_cast<std::size_t>(i)], i);
    // The telegrams went out in the same order.
    const auto writes = line.writes();
    ASSERT_EQ(writes.size(), 20u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(writes[static_cast<std::size_t>(i)][8], i % kTableCount);
}

TEST_F(BusWorkerTest, AReadingBringsBackItsGroupAndLeavesWhatTheWindowFilledMeanwhile) {
    controllers.station(1).comp.SP = 42.5f;
    controllers.station(1).pid.PB = 7.0f;
    bool seen_at_done = false;
    bus.post([](RequestLayer& r) { return r.read_table(TableId::TAB_COMP); },
             [&](bool ok) { seen_at_done = ok && bus.data().comp.SP == 42.5f; });
    // The editor collects a value while the reading is out.
    data.pid.PB = 3.0f;
    bus.wait_idle();
    EXPECT_TRUE(seen_at_done);
    EXPECT_FLOAT_EQ(data.comp.SP, 42.5f);
    EXPECT_FLOAT_EQ(data.pid.PB, 3.0f);
}

TEST_F(BusWorkerTest, AWriteSendsTheValuesOfTheMomentItWasAskedFor) {
    data.comp.SP = 12.0f;
    bus.post([](RequestLayer& r) { return r.write_table(TableId::TAB_COMP); });
    data.comp.SP = 99.0f;
    bus.wait_idle();
    EXPECT_FLOAT_EQ(controllers.station(1).comp.SP, 12.0f);
    EXPECT_FLOAT_EQ(data.comp.SP, 99.0f);
}

TEST_F(BusWorkerTest, TextsAndTheAddressesOfTheWindowSideReachTheJob) {
    bus.set_device_address(9);
    EXPECT_TRUE(bus.read_type_text());
    EXPECT_STRNE(buffer.type_text.data(), "");
    EXPECT_TRUE(bus.probe_station());
    EXPECT_EQ(line.writes().back()[1], 9);
    // A job may talk to another controller; the window side keeps its address.
    EXPECT_TRUE(bus.run([](RequestLayer& r) {
        r.set_device_address(1);
        return r.probe_station();
    }));
    EXPECT_EQ(line.writes().back()[1], 1);
    EXPECT_EQ(bus.device_address(), 9);
}

TEST_F(BusWorkerTest, ThePromptOfTheRequestLayerAppearsOnTheWindowThread) {
    prompts.allow_ok_messages();
    EXPECT_FALSE(bus.read_table(kTableCount));
    ASSERT_EQ(prompts.threads.size(), 1u);
    EXPECT_EQ(prompts.threads[0], QThread::currentThread());
    EXPECT_EQ(prompts.last().text, QStringLiteral("Chyba, číslo tabulky mimo rozsah."));
}

TEST_F(BusWorkerTest, AJobsErrorIsThrownWhereItWasWaitedFor) {
    EXPECT_THROW(bus.run([](RequestLayer&) -> bool {
        throw PortError(PortError::Kind::Open, QStringLiteral("Sériový port COM3 nelze otevřít"));
    }),
                 PortError);
    // The worker goes on with the next job.
    EXPECT_TRUE(bus.read_table(TableId::TAB_LIVE));
}

TEST_F(BusWorkerTest, ACompletionMayAskForTheNextJob) {
    int reads = 0;
    std::function<void(bool)> again = [&](bool) {
        if (++reads < 5)
            bus.post([](RequestLayer& r) { return r.read_table(TableId::TAB_LIVE); }, again);
    };
    bus.post([](RequestLayer& r) { return r.read_table(TableId::TAB_LIVE); }, again);
    bus.wait_idle();
    EXPECT_EQ(reads, 5);
}

// Another job's error belongs to the event loop's error report, not to a run() that
// happens to deliver it; the run() waits on for its own job.
TEST_F(BusWorkerTest, APostedJobsErrorWhileARunWaitsGoesToTheErrorReportAndTheRunEnds) {
    auto* app = static_cast<Application*>(QCoreApplication::instance());
    Prompts& before = app->prompts();
    ScriptedPrompts errors;
    errors.allow_ok_messages();
    app->set_prompts(&errors);
    bus.post([](RequestLayer&) -> bool {
        throw PortError(PortError::Kind::Open, QStringLiteral("Sériový port COM3 nelze otevřít"));
    });
    bool ok = false;
    EXPECT_NO_THROW(ok = bus.run([](RequestLayer& r) { return r.read_table(TableId::TAB_LIVE); }));
    EXPECT_TRUE(ok);
    bus.wait_idle();
    QCoreApplication::processEvents();
    app->set_prompts(&before);
    ASSERT_EQ(errors.records().size(), 1u);
    EXPECT_EQ(errors.last().text, QStringLiteral("Sériový port COM3 nelze otevřít."));
}

// A message box of the request layer runs its own event loop; a timer's reading that
// starts there must end while the box is still open.
TEST_F(BusWorkerTest, ATimersRunWhileTheTableNumberMessageIsOpenEnds) {
    bool inner_done = false;
    bool inner_ok = false;
    prompts.allow_ok_messages();
    prompts.while_next_message_open([&] {
        QTimer::singleShot(0, [&] {
            inner_ok = bus.read_table(TableId::TAB_LIVE);
            inner_done = true;
        });
        QElapsedTimer t;
        t.start();
        while (!inner_done && t.elapsed() < 5000) QCoreApplication::processEvents();
    });
    EXPECT_FALSE(bus.read_table(kTableCount));
    EXPECT_TRUE(inner_done);
    EXPECT_TRUE(inner_ok);
    EXPECT_EQ(prompts.last().text, QStringLiteral("Chyba, číslo tabulky mimo rozsah."));
}

}  // namespace
