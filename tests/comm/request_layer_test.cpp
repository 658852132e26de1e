#include <gtest/gtest.h>

#include "comm/Unit_hl.h"
#include "support/request_fixture.h"

namespace {

Bytes data_reply(const Bytes& data, std::uint8_t da = 0, std::uint8_t sa = 1) {
    telegram::Buffer b{};
    const int n = telegram::build_data_reply(b, da, sa, data.data(), static_cast<int>(data.size()));
    return Bytes(b.begin(), b.begin() + n);
}

const Bytes kAck{0x10, 0x00, 0x01, 0x00, 0x01, 0x16};

Bytes live_data() {
    Bytes d(21, 0);
    d[0] = 0x42;
    d[1] = 0x5C;  // MEAS 55.0
    d[9] = 0xFF;
    d[10] = 0xFF;  // YOUT 65535
    return d;
}

using RequestLayerTest = RequestFixture;

TEST_F(RequestLayerTest, ReadTableDecodesBigEndianFields) {
    data.live.YOUT = -5;
    line.queue_reply(data_reply(live_data()));
    ASSERT_TRUE(req.read_table(TableId::TAB_LIVE));
    EXPECT_FLOAT_EQ(data.live.MEAS, 55.0f);
    EXPECT_EQ(data.live.YOUT, 65535);
    EXPECT_EQ(line.trace(), QStringLiteral("W R"));
    EXPECT_EQ(line.writes()[0], (Bytes{0x68, 0x07, 0x07, 0x68, 0x01, 0x00, 0x6C, 0x01, 0x0A, 0x15,
                                       0x00, 0x8D, 0x16}));
}

TEST_F(RequestLayerTest, BroadcastReadOnlyWrites) {
    req.set_device_address(127);
    data.live.MEAS = 3.0f;
    EXPECT_TRUE(req.read_table(10));
    EXPECT_EQ(line.trace(), QStringLiteral("W"));
    EXPECT_FLOAT_EQ(data.live.MEAS, 3.0f);
}

TEST_F(RequestLayerTest, BroadcastReadFailsWhenTheWriteFails) {
    req.set_device_address(127);
    line.fail_writes(true);
    EXPECT_FALSE(req.read_table(10));
    EXPECT_EQ(line.trace(), QStringLiteral("W PT PR"));
}

TEST_F(RequestLayerTest, WrongChecksumIsReadAgainWithoutResending) {
    Bytes bad = data_reply(live_data());
    bad[bad.size() - 2] ^= 0xFF;
    line.queue_reply(bad);
    data.live.MEAS = 1.0f;
    EXPECT_FALSE(req.read_table(10));
    EXPECT_EQ(line.trace(), QStringLiteral("W R R W PT PR R"));
    EXPECT_FLOAT_EQ(data.live.MEAS, 1.0f);
}

TEST_F(RequestLayerTest, TwoShortRepliesMakeThreeSendsAndTwoReads) {
    Bytes r = data_reply(live_data());
    line.queue_reply(Bytes(r.begin(), r.begin() + 10));
    line.queue_reply(Bytes(r.begin(), r.begin() + 10));
    EXPECT_FALSE(req.read_table(10));
    EXPECT_EQ(line.trace(), QStringLiteral("W R W R W PT PR R"));
}

TEST_F(RequestLayerTest, ShortThenGoodReplySucceedsOnTheSecondAttempt) {
    Bytes r = data_reply(live_data());
    line.queue_reply(Bytes(r.begin(), r.begin() + 5));
    line.queue_reply(r);
    EXPECT_TRUE(req.read_table(10));
    EXPECT_EQ(line.trace(), QStringLiteral("W R W R R"));
}

TEST_F(RequestLayerTest, SilentDeviceCostsTwoReadTimeoutsAndAQuietWindow) {
    EXPECT_FALSE(req.read_table(10));
    EXPECT_EQ(line.now_ms(), 2 * (2 * 30 + 500) + (2 * 255 + 500));
}

TEST_F(RequestLayerTest, OutOfRangeTablesAreRefusedWithAMessage) {
    prompts.answer_message(PromptAnswer::Ok);
    EXPECT_FALSE(req.read_table(12));
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.last().text, QStringLiteral("Chyba, číslo tabulky mimo rozsah."));
    EXPECT_EQ(prompts.last().caption, QStringLiteral("Sériový Port"));
    EXPECT_EQ(prompts.last().icon, PromptIcon::Error);

    prompts.answer_message(PromptAnswer::Ok);
    EXPECT_FALSE(req.write_table(9));
    EXPECT_EQ(prompts.last().text, QStringLiteral("Nepředvídaná chyba, špatně zadaná tabulka"));
    EXPECT_EQ(prompts.last().caption, QStringLiteral("DATA"));
    EXPECT_TRUE(line.events().empty());
}

TEST_F(RequestLayerTest, WriteTableSendsTheEncodedGroupAndAcceptsTheAck) {
    data.add.ADD = 7;
    line.queue_reply(kAck);
    EXPECT_TRUE(req.write_table(TableId::TAB_ADD));
    EXPECT_EQ(line.writes()[0], (Bytes{0x68, 0x08, 0x08, 0x68, 0x01, 0x00, 0x63, 0x02, 0x08, 0x01,
                                       0x00, 0x07, 0x76, 0x16}));
    EXPECT_EQ(req.device_address(), 1);
}

TEST_F(RequestLayerTest, RefusedWriteTriesASecondReadThenPurges) {
    line.queue_reply({0x10, 0x00, 0x01, 0x05, 0x06, 0x16});
    EXPECT_FALSE(req.write_table(0));
    EXPECT_EQ(line.trace(), QStringLiteral("W R R W PT PR R"));
}

TEST_F(RequestLayerTest, WriteToBroadcastWaitsForAnAck) {
    req.set_device_address(127);
    EXPECT_FALSE(req.write_table(0));
    EXPECT_EQ(line.trace(), QStringLiteral("W R W R W PT PR R"));
}

TEST_F(RequestLayerTest, EepromDoesNotPurgeAfterAFailure) {
    EXPECT_FALSE(req.store_eeprom());
    EXPECT_EQ(line.trace(), QStringLiteral("W R W R W R"));
    line.clear_events();
    line.queue_reply(kAck);
    EXPECT_TRUE(req.store_eeprom());
    EXPECT_EQ(line.writes()[0],
              (Bytes{0x68, 0x04, 0x04, 0x68, 0x01, 0x00, 0x63, 0x06, 0x6A, 0x16}));
}

TEST_F(RequestLayerTest, ProbeIsOneAttempt) {
    req.set_device_address(5);
    EXPECT_FALSE(req.probe_station());
    EXPECT_EQ(line.trace(), QStringLiteral("W R"));
    EXPECT_EQ(line.writes()[0], (Bytes{0x10, 0x05, 0x00, 0x69, 0x6E, 0x16}));
    line.clear_events();
    line.queue_reply({0x10, 0x00, 0x05, 0x00, 0x05, 0x16});
    EXPECT_TRUE(req.probe_station());
}

TEST_F(RequestLayerTest, ProbeFailsAtOnceWhenTheWriteFails) {
    line.fail_writes(true);
    EXPECT_FALSE(req.probe_station());
    EXPECT_EQ(line.trace(), QStringLiteral("W"));
}

Bytes text_reply(const std::string& s) { return data_reply(Bytes(s.begin(), s.end())); }

TEST_F(RequestLayerTest, TypeTextIsStoredZeroTerminated) {
    line.queue_reply(text_reply("KELVRA 20"));
    ASSERT_TRUE(req.read_type_text());
    EXPECT_STREQ(buffer.type_text.data(), "KELVRA 20");
    EXPECT_EQ(line.trace(), QStringLiteral("W R"));
}

TEST_F(RequestLayerTest, CompleteFrameWithWrongChecksumFailsWithoutRetry) {
    Bytes r = text_reply("FW-R-18-02");
    r[r.size() - 2] ^= 1;
    line.queue_reply(r);
    std::strcpy(buffer.version_text.data(), "old");
    EXPECT_FALSE(req.read_version_text());
    EXPECT_EQ(line.trace(), QStringLiteral("W R"));
    EXPECT_STREQ(buffer.version_text.data(), "old");
}

TEST_F(RequestLayerTest, TextReadRetriesOnceAfterAPause) {
    line.queue_reply({});
    line.queue_reply(text_reply("FW-R-18-02"));
    ASSERT_TRUE(req.read_version_text());
    EXPECT_EQ(line.trace(), QStringLiteral("W R P100 W R R"));
    EXPECT_STREQ(buffer.version_text.data(), "FW-R-18-02");
}

TEST_F(RequestLayerTest, LengthByteOf128OrMoreAlwaysCountsAsADifference) {
    Bytes r(134, 0);
    r[0] = 0x68;
    r[1] = 128;
    r[2] = 128;
    r[3] = 0x68;
    line.queue_reply(r);
    EXPECT_FALSE(req.read_type_text());
    EXPECT_EQ(line.trace(), QStringLiteral("W R P100 W R R"));
}

TEST_F(RequestLayerTest, ForeignIdentAcceptsALooseReply) {
    line.queue_reply(
        {0x68, 0x09, 0x09, 0x68, 0x00, 0x01, 0x05, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x00, 0x16});
    ASSERT_TRUE(req.read_foreign_ident());
    EXPECT_STREQ(buffer.foreign_ident.data(), "BCDEF");
    EXPECT_EQ(buffer.foreign_ident[5], 0);
}

TEST_F(RequestLayerTest, ForeignIdentRefusesShortOrTinyFrames) {
    line.queue_reply({0x68, 0x04, 0x04, 0x68, 0x00, 0x01, 0x05, 0x41, 0x42, 0x16});
    EXPECT_FALSE(req.read_foreign_ident());
    line.queue_reply({0x68, 0x09, 0x09, 0x68, 0x00, 0x01, 0x05, 0x41});
    EXPECT_FALSE(req.read_foreign_ident());
}

TEST_F(RequestLayerTest, LateBytesAreDiscardedByTheNextWrite) {
    line.inject({0x68, 0x00});
    line.queue_reply(data_reply(live_data()));
    EXPECT_TRUE(req.read_table(10));
}

TEST_F(RequestLayerTest, AClosedLineFailsEveryRequestQuietly) {
    line.close();
    line.clear_events();
    EXPECT_FALSE(req.read_table(10));
    EXPECT_FALSE(req.write_table(0));
    EXPECT_FALSE(req.store_eeprom());
    EXPECT_FALSE(req.probe_station());
    EXPECT_FALSE(req.read_type_text());
    EXPECT_FALSE(req.read_foreign_ident());
    EXPECT_TRUE(prompts.empty());
}

TEST_F(RequestLayerTest, WriteEncodesSixteenBitFieldsFromTheirLowBits) {
    data.rego.DSER = 70000;  // 0x11170
    data.rego.RESV = 0;
    line.queue_reply(kAck);
    ASSERT_TRUE(req.write_table(4));
    const Bytes w = line.writes()[0];
    EXPECT_EQ(w[11], 0x11);
    EXPECT_EQ(w[12], 0x70);
}

}  // namespace
