// The recording line between the request layer and the real serial line, against the
// simulated controller and its faults.
#include <gtest/gtest.h>

#include <QThread>
#include <functional>
#include <memory>

#include "comm/Unit_hl.h"
#include "comm/recording_line.h"
#include "comm/serial_line.h"
#include "sim/pty_server.h"
#include "support/scripted_prompts.h"

namespace {

class RecordingE2E : public ::testing::Test {
  protected:
    void start(sim::Options options) {
        server = std::make_unique<sim::PtyServer>(std::move(options));
        ASSERT_TRUE(server->start()) << server->error().toStdString();
        recorder.open(QStringLiteral("COM1"), server->path(), 9600);
        req.set_device_address(1);
        req.set_computer_address(0);
    }
    std::vector<TelegramRecord> replies() const {
        std::vector<TelegramRecord> out;
        for (const TelegramRecord& r : recorder.records_since(0))
            if (r.dir == TelegramDir::Received) out.push_back(r);
        return out;
    }

    std::unique_ptr<sim::PtyServer> server;
    SerialLine serial;
    RecordingLine recorder{serial};
    ScriptedPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer req{recorder, prompts, data, buffer};
};

TEST_F(RecordingE2E, EachSimulatedFaultGetsItsVerdict) {
    using Op = std::function<bool(RequestLayer&)>;
    const Op read10 = [](RequestLayer& r) { return r.read_table(10); };
    const Op probe = [](RequestLayer& r) { return r.probe_station(); };
    const Op write0 = [](RequestLayer& r) { return r.write_table(0); };
    struct Case {
        const char* fault;
        Op op;
        const char* meaning;
        const char* verdict;  // of the first reply read
        bool resent;          // the request layer asked again
        bool succeeds;        // ... and then got its answer
    } cases[] = {
        {"silence", probe, "stav stanice", "bez odpovědi", false, false},
        {"short", read10, "čtení tabulky 10", "krátká odpověď (15 z 30 bajtů)", true, false},
        {"checksum", read10, "čtení tabulky 10", "chybný součet", true, false},
        {"function", read10, "čtení tabulky 10", "chybný kód funkce", true, false},
        {"length", read10, "čtení tabulky 10", "odlišné délky", true, false},
        {"pause", read10, "čtení tabulky 10", "krátká odpověď (15 z 30 bajtů)", true, false},
        {"refuse", write0, "zápis tabulky 0", "odmítnuto", true, false},
        {"late", read10, "čtení tabulky 10", "bez odpovědi", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        sim::Options o;
        bool ok = false;
        o.faults.push_back({sim::fault_from_name(QString::fromLatin1(c.fault), &ok), 1});
        ASSERT_TRUE(ok);
        start(std::move(o));
        recorder.clear_records();
        recorder.reset_stats();
        const int failures_before = recorder.link_state().failures_in_row;

        EXPECT_EQ(c.op(req), c.succeeds);
        const std::vector<TelegramRecord> all = recorder.records_since(0);
        ASSERT_GE(all.size(), 2u);
        EXPECT_EQ(all.front().dir, TelegramDir::Sent);
        EXPECT_EQ(telegram_meaning(all.front()), QString::fromUtf8(c.meaning));
        EXPECT_EQ(all.front().dest, 1);
        const std::vector<TelegramRecord> got = replies();
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(verdict_text(got.front()), QString::fromUtf8(c.verdict));
        EXPECT_EQ(got.front().answers, all.front().seq);
        const bool resent = std::any_of(all.begin(), all.end(), [](const TelegramRecord& r) {
            return r.verdict == Verdict::Resent;
        });
        EXPECT_EQ(resent, c.resent);
        // The answer to the re-send comes after the exchange: listed as cleared away.
        if (c.succeeds) {
            EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const TelegramRecord& r) {
                return r.verdict == Verdict::Discarded;
            }));
        }

        const LinkState link = recorder.link_state();
        EXPECT_TRUE(link.any_exchange);
        EXPECT_EQ(link.ok, c.succeeds);
        // One failed exchange counts once, however many reads it took.
        EXPECT_EQ(link.failures_in_row, c.succeeds ? 0 : failures_before + 1);
        const AddressStats s = recorder.stats()[1];
        EXPECT_EQ(s.requests, 1);
        EXPECT_EQ(s.good, c.succeeds ? 1 : 0);
        EXPECT_GE(s.last_error_ms, 0);
        EXPECT_TRUE(s.last_error_at.isValid());

        recorder.close();
        server->stop();
        QThread::msleep(20);
    }
}

TEST_F(RecordingE2E, StatisticsFollowAKnownFaultRate) {
    sim::Options o;
    o.faults.push_back({sim::Fault::BadChecksum, 3});
    start(std::move(o));
    // Probes are never asked again, so every third one is spoilt.
    for (int i = 0; i < 11; ++i) req.probe_station();
    // The twelfth reply spoils a table read: listened for once more, then sent again.
    req.read_table(10);

    std::map<int, AddressStats> stats = recorder.stats();
    ASSERT_EQ(stats.size(), 1u);
    const AddressStats& s = stats[1];
    EXPECT_EQ(s.requests, 12);
    EXPECT_EQ(s.checksum_errors, 4);
    EXPECT_EQ(s.good, 8);
    EXPECT_EQ(s.resends, 1);
    EXPECT_EQ(s.timeouts, 0);  // listening again after a spoilt reply misses nothing
    EXPECT_EQ(s.short_replies + s.format_errors + s.refusals, 0);
    EXPECT_LE(0, s.reply_min_ms);
    EXPECT_LE(s.reply_min_ms, s.reply_mean_ms);
    EXPECT_LE(s.reply_mean_ms, s.reply_max_ms);

    const LinkState link = recorder.link_state();
    EXPECT_FALSE(link.ok);
    EXPECT_EQ(link.last_verdict, Verdict::BadChecksum);
    EXPECT_EQ(link.failures_in_row, 1);
    EXPECT_TRUE(link.last_good.isValid());

    recorder.reset_stats();
    EXPECT_TRUE(recorder.stats().empty());
}

}  // namespace
