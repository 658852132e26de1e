#include "bus/bus_poller.h"

#include <gtest/gtest.h>

#include <set>

#include "bus/bus_session.h"
#include "sim/bus.h"
#include "support/fake_line.h"

namespace {

// Three simulated controllers behind the fake line; any of them can fall silent.
class BusPollerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        line.set_responder([this](const Bytes& request) -> Bytes {
            if (request.size() > 4 && silent.count(request[request[0] == 0x10 ? 1 : 4])) return {};
            return sim::flatten(
                controllers.handle(request.data(), static_cast<int>(request.size())));
        });
        poller.set_clock([this] { return now_ms; }, [] { return QDateTime::currentDateTimeUtc(); });
        poller.set_addresses({1, 2, 3});
        poller.set_on_reading([this](const UnitReading& r) { published.push_back(r.address); });
    }
    UnitReading unit(int a) { return *table.get(a); }
    int writes_to(int a) {
        int n = 0;
        for (const Bytes& w : line.writes()) n += w.size() > 4 && w[4] == a;
        return n;
    }

    sim::Bus controllers{[] {
        sim::Options o;
        o.addresses = {1, 2, 3};
        return o;
    }()};
    std::set<int> silent;
    FakeLine line;
    BusSession session{line};
    UnitTable table;
    BusPoller poller{table};
    std::atomic<bool> stop{false};
    qint64 now_ms = 1000;
    std::vector<int> published;
};

TEST_F(BusPollerTest, AControllerThatFallsSilentTurnsOnlyItsOwnLinkDownAndKeepsItsValues) {
    controllers.station(2).live.MEAS = 71.5f;
    poller.poll_pass(session, stop);
    for (int a : {1, 2, 3}) {
        EXPECT_TRUE(unit(a).link) << a;
        EXPECT_EQ(unit(a).type_text, QStringLiteral("KELVRA 20")) << a;
    }
    silent = {2};
    controllers.station(2).live.MEAS = 10.0f;
    now_ms += 1000;
    poller.poll_pass(session, stop);
    EXPECT_TRUE(unit(1).link);
    EXPECT_TRUE(unit(3).link);
    EXPECT_EQ(unit(3).last_good_ms, now_ms);
    const UnitReading two = unit(2);
    EXPECT_FALSE(two.link);
    EXPECT_EQ(two.failures, 1);
    EXPECT_EQ(two.live.MEAS, 71.5f);
    EXPECT_EQ(two.last_good_ms, 1000);
    EXPECT_EQ(two.good_total, 1);
    EXPECT_EQ(two.failed_total, 1);
    EXPECT_EQ(published, (std::vector<int>{1, 2, 3, 1, 2, 3}));
    // The type text is read once, not with every reading.
    line.clear_events();
    now_ms += 1000;
    poller.poll_pass(session, stop);
    EXPECT_EQ(line.writes().size(), 2u);
}

TEST_F(BusPollerTest, ASilentControllerIsAskedAgainOnlyAfterTheRetryPause) {
    silent = {2};
    poller.poll_pass(session, stop);
    const int after_first = writes_to(2);
    now_ms += BusPoller::kRetryMs - 1;
    poller.poll_pass(session, stop);
    EXPECT_EQ(writes_to(2), after_first);
    EXPECT_EQ(unit(2).failures, 1);
    silent.clear();
    now_ms += 1;
    poller.poll_pass(session, stop);
    EXPECT_TRUE(unit(2).link);
    // Silent at the start: its type text comes with its first good reading.
    EXPECT_EQ(unit(2).type_text, QStringLiteral("KELVRA 20"));
}

// A window steps through the same policy one job at a time.
TEST_F(BusPollerTest, StepsVisitEachDueControllerInTurnAndEndACycle) {
    silent = {2};
    std::vector<int> visited;
    for (int i = 0; i < 3; ++i) {
        const auto step = poller.next();
        ASSERT_TRUE(step);
        visited.push_back(step->address);
        EXPECT_TRUE(step->want_type);
        poller.record(*step, BusPoller::read(session, *step));
    }
    EXPECT_EQ(visited, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(poller.cycles(), 0);
    // 2 waits out its pause: the next cycle visits 1 and 3, without their type texts.
    const auto first = poller.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(poller.cycles(), 1);
    EXPECT_EQ(first->address, 1);
    EXPECT_FALSE(first->want_type);
    poller.record(*first, BusPoller::read(session, *first));
    EXPECT_EQ(poller.next()->address, 3);
    const BusPoller::Snapshot s = poller.snapshot();
    ASSERT_EQ(s.units.size(), 3u);
    EXPECT_FALSE(s.units[1].link);
    EXPECT_EQ(s.units[0].good_total, 2);
}

}  // namespace
