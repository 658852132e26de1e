// The recording line's ring and the bus framer on scripted bytes.
#include "comm/recording_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "comm/Unit_hl.h"
#include "comm/bus_framer.h"
#include "comm/telegram.h"
#include "support/fake_line.h"
#include "support/scripted_prompts.h"

namespace {

Bytes status_request(int da) {
    telegram::Buffer b{};
    return Bytes(b.begin(),
                 b.begin() + telegram::build_status(b, static_cast<std::uint8_t>(da), 0));
}

Bytes ack(int from) {
    telegram::Buffer b{};
    return Bytes(b.begin(),
                 b.begin() + telegram::build_sd1(b, 0, static_cast<std::uint8_t>(from), 0));
}

Bytes read_request(int table, int len) {
    telegram::Buffer b{};
    return Bytes(b.begin(),
                 b.begin() + telegram::build_read(b, 1, 0, static_cast<std::uint8_t>(table),
                                                  static_cast<std::uint8_t>(len)));
}

Bytes data_reply(int len) {
    telegram::Buffer b{};
    std::vector<std::uint8_t> d(static_cast<std::size_t>(len), 0x5A);
    return Bytes(b.begin(), b.begin() + telegram::build_data_reply(b, 0, 1, d.data(), len));
}

TEST(RecordingLine, RingKeepsTheNewestAndNeverReusesNumbers) {
    FakeLine fake;
    RecordingLine rec(fake);
    int calls = 0;
    rec.set_observer([&calls] { ++calls; });
    const Bytes req = status_request(1);
    const int total = RecordingLine::kCapacity + 123;
    for (int i = 0; i < total; ++i) {
        int w = 0;
        rec.write_bytes(req.data(), static_cast<int>(req.size()), &w);
    }
    EXPECT_EQ(calls, total);
    EXPECT_EQ(rec.last_seq(), static_cast<std::uint64_t>(total));
    std::vector<TelegramRecord> all = rec.records_since(0);
    ASSERT_EQ(all.size(), static_cast<std::size_t>(RecordingLine::kCapacity));
    EXPECT_EQ(all.front().seq, 124u);
    EXPECT_EQ(all.back().seq, static_cast<std::uint64_t>(total));
    EXPECT_EQ(rec.records_since(total - 2).size(), 2u);
    EXPECT_TRUE(rec.records_since(total).empty());

    rec.clear_records();
    EXPECT_TRUE(rec.records_since(0).empty());
    int w = 0;
    rec.write_bytes(req.data(), static_cast<int>(req.size()), &w);
    all = rec.records_since(0);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all.front().seq, static_cast<std::uint64_t>(total + 1));
    EXPECT_EQ(rec.stats()[1].requests, total + 1);
}

TEST(RecordingLine, RecordsMeaningAddressesAndReplyOfAnExchange) {
    FakeLine fake;
    RecordingLine rec(fake);
    const Bytes req = read_request(10, 21);
    fake.queue_reply(data_reply(21));
    int w = 0, got = 0;
    rec.write_bytes(req.data(), static_cast<int>(req.size()), &w);
    std::uint8_t rx[256];
    rec.read_bytes(rx, 30, &got);
    const std::vector<TelegramRecord> all = rec.records_since(0);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(telegram_meaning(all[0]), QStringLiteral("čtení tabulky 10"));
    EXPECT_EQ(telegram_hex(all[0]), QStringLiteral("68 07 07 68 01 00 6C 01 0A 15 00 8D 16"));
    EXPECT_EQ(all[0].dest, 1);
    EXPECT_EQ(all[0].src, 0);
    EXPECT_EQ(all[1].dir, TelegramDir::Received);
    EXPECT_EQ(all[1].verdict, Verdict::Ok);
    EXPECT_EQ(all[1].answers, all[0].seq);
    EXPECT_EQ(all[1].src, 1);
    EXPECT_EQ(telegram_meaning(all[1]), QStringLiteral("odpověď"));
    EXPECT_GE(all[1].reply_ms, 0);
    EXPECT_TRUE(rec.link_state().ok);
}

// The request layer's own exchanges through the recording line: what the statistics
// and the link state make of each.
TEST(RecordingLine, ExchangesCountOncePerRequestAndKnowTheirResends) {
    const Bytes whole = data_reply(21);
    const Bytes cut(whole.begin(), whole.begin() + 15);
    struct Case {
        const char* name;
        int address;
        std::vector<Bytes> replies;  // one per write; empty is silence
        bool succeeds;
        int requests, resends, timeouts, short_replies, failures_in_row;
    } cases[] = {
        // Nobody answers a broadcast: it is no request of address 127.
        {"broadcast", 127, {}, true, 0, 0, 0, 0, 0},
        // Two reads fail and two re-sends follow: one failed exchange.
        {"silence", 1, {{}, {}, {}}, false, 1, 2, 2, 0, 1},
        {"short then whole", 1, {cut, whole}, true, 1, 1, 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLine fake;
        RecordingLine rec(fake);
        ScriptedPrompts prompts;
        DeviceData data;
        CommBuffer buffer;
        RequestLayer req(rec, prompts, data, buffer);
        req.set_device_address(c.address);
        req.set_computer_address(0);
        for (const Bytes& r : c.replies) fake.queue_reply(r);

        EXPECT_EQ(req.read_table(10), c.succeeds);
        const std::map<int, AddressStats> stats = rec.stats();
        const AddressStats s = stats.count(c.address) ? stats.at(c.address) : AddressStats{};
        EXPECT_EQ(s.requests, c.requests);
        EXPECT_EQ(s.resends, c.resends);
        EXPECT_EQ(s.timeouts, c.timeouts);
        EXPECT_EQ(s.short_replies, c.short_replies);
        EXPECT_EQ(s.good, c.succeeds && c.address != 127 ? 1 : 0);
        EXPECT_EQ(rec.link_state().failures_in_row, c.failures_in_row);
        const std::vector<TelegramRecord> all = rec.records_since(0);
        EXPECT_EQ(
            std::count_if(all.begin(), all.end(),
                          [](const TelegramRecord& r) { return r.verdict == Verdict::Resent; }),
            c.resends);
    }
}

TEST(Interpreter, TakesAnyBytesWithoutReadingPastThem) {
    // A length byte of 255 claims more than arrived, or more than a record holds.
    const Bytes req = read_request(10, 21);
    std::vector<std::uint8_t> huge(300, 0x68);
    huge[1] = huge[2] = 255;
    const ReplyJudgement j = judge_reply(req.data(), static_cast<int>(req.size()), huge.data(), 4);
    EXPECT_EQ(j.verdict, Verdict::ShortReply);
    const ReplyJudgement t = judge_reply(nullptr, 0, huge.data(), 4);  // text-like, no request
    EXPECT_EQ(t.verdict, Verdict::ShortReply);
    EXPECT_EQ(t.expected, 261);

    TelegramRecord r;
    set_record_bytes(r, huge.data(), static_cast<int>(huge.size()));
    EXPECT_TRUE(r.truncated);
    EXPECT_EQ(r.length, TelegramRecord::kMaxBytes);
}

TEST(Interpreter, AnAcknowledgementsFunctionCodeSaysRefusedOrWrong) {
    const Bytes req = status_request(1);
    for (const auto& [fc, verdict] :
         std::vector<std::pair<std::uint8_t, Verdict>>{{0x00, Verdict::Ok},
                                                       {0x01, Verdict::Refused},
                                                       {0x03, Verdict::Refused},
                                                       {0x05, Verdict::BadFunction}}) {
        telegram::Buffer b{};
        telegram::build_sd1(b, 0, 1, fc);
        EXPECT_EQ(judge_reply(req.data(), 6, b.data(), 6).verdict, verdict) << int(fc);
    }
}

struct Seen {
    Bytes bytes;
    bool good;
};

std::vector<Seen> frame_stream(const std::vector<Bytes>& chunks, bool flush_between) {
    std::vector<Seen> seen;
    BusFramer f([&seen](const std::uint8_t* p, int n, bool good) {
        seen.push_back({Bytes(p, p + n), good});
    });
    for (const Bytes& c : chunks) {
        f.feed(c.data(), static_cast<int>(c.size()));
        if (flush_between) f.flush();
    }
    f.flush();
    return seen;
}

TEST(BusFramer, RecordedStreamWithNoiseAndCutFrames) {
    const Bytes req = read_request(10, 21);
    const Bytes reply = data_reply(21);
    const Bytes status = status_request(5);
    const Bytes acknowledge = ack(5);
    const Bytes noise = {0x00, 0xFF, 0x10, 0x68, 0x07};  // start delimiters inside noise
    const Bytes cut(req.begin(), req.begin() + 7);       // a request cut off mid-frame

    Bytes stream;
    for (const Bytes* b : {&req, &reply, &noise, &status, &acknowledge, &cut, &req, &reply})
        stream.insert(stream.end(), b->begin(), b->end());

    // One byte at a time, and all at once: the same frames either way.
    std::vector<Bytes> bytewise;
    for (std::uint8_t b : stream) bytewise.push_back({b});
    for (const auto& seen : {frame_stream(bytewise, false), frame_stream({stream}, false)}) {
        std::vector<Bytes> good;
        Bytes bad;
        for (const Seen& s : seen) {
            if (s.good)
                good.push_back(s.bytes);
            else
                bad.insert(bad.end(), s.bytes.begin(), s.bytes.end());
        }
        EXPECT_EQ(good, (std::vector<Bytes>{req, reply, status, acknowledge, req, reply}));
        Bytes lost = noise;
        lost.insert(lost.end(), cut.begin(), cut.end());
        EXPECT_EQ(bad, lost);  // nothing else is thrown away
    }

    // A quiet gap ends a cut frame at once.
    const std::vector<Seen> gap = frame_stream({cut, req}, true);
    ASSERT_EQ(gap.size(), 2u);
    EXPECT_FALSE(gap[0].good);
    EXPECT_EQ(gap[1].bytes, req);
}

TEST(BusFramer, EndlessNoiseIsHandedOnInBoundedPieces) {
    Bytes noise(5000, 0x68);  // a start delimiter over and over, never a frame
    std::size_t longest = 0, total = 0;
    BusFramer f([&](const std::uint8_t*, int n, bool good) {
        EXPECT_FALSE(good);
        longest = std::max(longest, static_cast<std::size_t>(n));
        total += static_cast<std::size_t>(n);
    });
    f.feed(noise.data(), static_cast<int>(noise.size()));
    f.flush();
    EXPECT_LE(longest, static_cast<std::size_t>(BusFramer::kMaxNoise));
    EXPECT_EQ(total, noise.size());
}

}  // namespace
