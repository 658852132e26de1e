#include "gateway/bus_poller.h"

#include <gtest/gtest.h>

#include <set>

#include "comm/Unit_hl.h"
#include "sim/bus.h"
#include "support/fake_line.h"
#include "support/scripted_prompts.h"

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
        table.set_addresses({1, 2, 3});
        poller.set_clock([this] { return now_ms; }, [] { return QDateTime::currentDateTimeUtc(); });
        poller.set_on_reading([this](const UnitReading& r) { published.push_back(r.address); });
    }
    UnitReading unit(int a) { return *table.get(a); }

    sim::Bus controllers{[] {
        sim::Options o;
        o.addresses = {1, 2, 3};
        return o;
    }()};
    std::set<int> silent;
    FakeLine line;
    ScriptedPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer requests{line, prompts, data, buffer};
    UnitTable table;
    BusPoller poller{requests, table};
    std::atomic<bool> stop{false};
    qint64 now_ms = 1000;
    std::vector<int> published;
};

TEST_F(BusPollerTest, AControllerThatFallsSilentTurnsOnlyItsOwnLinkDownAndKeepsItsValues) {
    controllers.station(2).live.MEAS = 71.5f;
    poller.read_type_texts(stop);
    poller.poll_pass(stop);
    for (int a : {1, 2, 3}) {
        EXPECT_TRUE(unit(a).link) << a;
        EXPECT_EQ(unit(a).type_text, QStringLiteral("KELVRA 20")) << a;
    }
    silent = {2};
    controllers.station(2).live.MEAS = 10.0f;
    now_ms += 1000;
    poller.poll_pass(stop);
    EXPECT_TRUE(unit(1).link);
    EXPECT_TRUE(unit(3).link);
    EXPECT_EQ(unit(3).last_good_ms, now_ms);
    const UnitReading two = unit(2);
    EXPECT_FALSE(two.link);
    EXPECT_EQ(two.failures, 1);
    EXPECT_EQ(two.live.MEAS, 71.5f);
    EXPECT_EQ(two.last_good_ms, 1000);
    EXPECT_EQ(published, (std::vector<int>{1, 2, 3, 1, 2, 3}));
}

TEST_F(BusPollerTest, ASilentControllerIsAskedAgainOnlyAfterTheRetryPause) {
    silent = {2};
    poller.poll_pass(stop);
    const auto writes_to_2 = [this] {
        int n = 0;
        for (const Bytes& w : line.writes()) n += w.size() > 4 && w[4] == 2;
        return n;
    };
    const int after_first = writes_to_2();
    now_ms += BusPoller::kRetryMs - 1;
    poller.poll_pass(stop);
    EXPECT_EQ(writes_to_2(), after_first);
    EXPECT_EQ(unit(2).failures, 1);
    silent.clear();
    now_ms += 1;
    poller.poll_pass(stop);
    EXPECT_TRUE(unit(2).link);
    // Silent at the start: its type text comes with its first good reading.
    EXPECT_EQ(unit(2).type_text, QStringLiteral("KELVRA 20"));
}

TEST_F(BusPollerTest, ScanFindsTheControllersAndKeepsTheDeviceAddress) {
    requests.set_device_address(9);
    silent = {3};
    EXPECT_EQ(poller.scan(stop), (std::vector<int>{1, 2}));
    EXPECT_EQ(requests.device_address(), 9);
}

}  // namespace
