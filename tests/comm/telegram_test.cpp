#include "comm/telegram.h"

#include <gtest/gtest.h>

#include <vector>

#include "comm/Unit_hl.h"

namespace {

using telegram::Buffer;
using Bytes = std::vector<std::uint8_t>;

Bytes take(const Buffer& b, int n) { return Bytes(b.begin(), b.begin() + n); }

Buffer buffer_of(const Bytes& bytes) {
    Buffer b{};
    std::copy(bytes.begin(), bytes.end(), b.begin());
    return b;
}

struct Example {
    const char* name;
    Bytes expected;
};

Bytes build_example(const char* name) {
    Buffer tx{};
    int n = 0;
    const std::string s(name);
    if (s == "read table 10") n = telegram::build_read(tx, 1, 0, 10, 21);
    if (s == "read table 0") n = telegram::build_read(tx, 1, 0, 0, 12);
    if (s == "read type") n = telegram::build_command(tx, 1, 0, telegram::FC_SRD, 0x00);
    if (s == "read version") n = telegram::build_command(tx, 1, 0, telegram::FC_SRD, 0x04);
    if (s == "eeprom") n = telegram::build_command(tx, 1, 0, telegram::FC_SDA, 0x06);
    if (s == "status to 5") n = telegram::build_status(tx, 5, 0);
    if (s == "ack from 1") n = telegram::build_sd1(tx, 0, 1, 0x00);
    if (s == "write table 8") {
        DeviceData d;
        d.add.ADD = 7;
        wire::encode(d, 8, tx.data() + 11);
        n = telegram::build_write(tx, 1, 0, 8, 1);
    }
    if (s == "write table 0") {
        DeviceData d;
        d.comp.SP = 55.0f;
        d.comp.SP_L = 0.0f;
        d.comp.SP_H = 100.0f;
        wire::encode(d, 0, tx.data() + 11);
        n = telegram::build_write(tx, 1, 0, 0, 12);
    }
    return take(tx, n);
}

class WorkedExamples : public ::testing::TestWithParam<Example> {};

TEST_P(WorkedExamples, AreBuiltByteForByte) {
    EXPECT_EQ(build_example(GetParam().name), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Telegram, WorkedExamples,
    ::testing::Values(
        Example{"read table 10",
                {0x68, 0x07, 0x07, 0x68, 0x01, 0x00, 0x6C, 0x01, 0x0A, 0x15, 0x00, 0x8D, 0x16}},
        Example{"read table 0",
                {0x68, 0x07, 0x07, 0x68, 0x01, 0x00, 0x6C, 0x01, 0x00, 0x0C, 0x00, 0x7A, 0x16}},
        Example{"read type", {0x68, 0x04, 0x04, 0x68, 0x01, 0x00, 0x6C, 0x00, 0x6D, 0x16}},
        Example{"read version", {0x68, 0x04, 0x04, 0x68, 0x01, 0x00, 0x6C, 0x04, 0x71, 0x16}},
        Example{"eeprom", {0x68, 0x04, 0x04, 0x68, 0x01, 0x00, 0x63, 0x06, 0x6A, 0x16}},
        Example{
            "write table 8",
            {0x68, 0x08, 0x08, 0x68, 0x01, 0x00, 0x63, 0x02, 0x08, 0x01, 0x00, 0x07, 0x76, 0x16}},
        Example{"write table 0",
                {0x68, 0x13, 0x13, 0x68, 0x01, 0x00, 0x63, 0x02, 0x00, 0x0C, 0x00, 0x42, 0x5C,
                 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x42, 0xC8, 0x00, 0x00, 0x1A, 0x16}},
        Example{"status to 5", {0x10, 0x05, 0x00, 0x69, 0x6E, 0x16}},
        Example{"ack from 1", {0x10, 0x00, 0x01, 0x00, 0x01, 0x16}}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (auto& c : n)
            if (!isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

TEST(Telegram, WriteLengthsFollowTheTableLength) {
    Buffer tx{};
    EXPECT_EQ(telegram::build_write(tx, 1, 0, 8, 1), 14);
    EXPECT_EQ(tx[1], 8);
    EXPECT_EQ(telegram::build_write(tx, 1, 0, 2, 15), 28);
    EXPECT_EQ(tx[1], 22);
}

// A valid data reply for table 8 holding one byte 0x07, from device 1 to computer 0.
Bytes good_reply() {
    Buffer b{};
    const std::uint8_t data[] = {0x07};
    const int n = telegram::build_data_reply(b, 0, 1, data, 1);
    return take(b, n);
}

struct ReplyCase {
    const char* name;
    int offset;  // byte to change, -1 for none
    std::uint8_t value;
    int received_delta;  // bytes received relative to the frame length
    bool valid;
};

class DataReplyValidation : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(DataReplyValidation, JudgesByTheOrderedTests) {
    const auto& c = GetParam();
    Bytes reply = good_reply();
    if (c.offset >= 0) reply[static_cast<std::size_t>(c.offset)] = c.value;
    const Buffer rx = buffer_of(reply);
    EXPECT_EQ(telegram::valid_data_reply(rx, static_cast<int>(reply.size()) + c.received_delta),
              c.valid);
}

INSTANTIATE_TEST_SUITE_P(Telegram, DataReplyValidation,
                         ::testing::Values(ReplyCase{"intact", -1, 0, 0, true},
                                           ReplyCase{"second_delimiter_ignored", 3, 0x00, 0, true},
                                           ReplyCase{"address_changed_without_new_checksum", 4,
                                                     0x55, 0, false},
                                           ReplyCase{"first_delimiter", 0, 0x10, 0, false},
                                           ReplyCase{"length_repeat_differs", 2, 0x05, 0, false},
                                           ReplyCase{"function_code", 6, 0x09, 0, false},
                                           ReplyCase{"end_byte", 9, 0x17, 0, false},
                                           ReplyCase{"checksum", 8, 0x00, 0, false},
                                           ReplyCase{"one_byte_short", -1, 0, -1, false},
                                           ReplyCase{"nothing_received", -1, 0, -10, false},
                                           ReplyCase{"extra_bytes_are_fine", -1, 0, 3, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Telegram, RepliesFromAnyStationToAnyStationAreAccepted) {
    Buffer b{};
    const std::uint8_t data[] = {1, 2, 3};
    const int n = telegram::build_data_reply(b, 77, 99, data, 3);
    EXPECT_TRUE(telegram::valid_data_reply(b, n));
}

TEST(Telegram, DifferingLengthBytesAreInvalidEvenWithARightChecksum) {
    Bytes reply = good_reply();  // LE 4
    reply[2] = 5;
    const Buffer rx = buffer_of(reply);
    EXPECT_FALSE(telegram::valid_data_reply(rx, static_cast<int>(reply.size()) + 1));
}

TEST(Telegram, AnOldReplyInTheBufferIsNotValidForAShortRead) {
    const Bytes reply = good_reply();
    const Buffer rx = buffer_of(reply);
    EXPECT_FALSE(telegram::valid_data_reply(rx, 0));
}

TEST(Telegram, HugeLengthByteNeverReadsOutsideTheBuffer) {
    Buffer rx{};
    rx.fill(0xFF);
    rx[0] = 0x68;
    EXPECT_FALSE(telegram::valid_data_reply(rx, 256));
    EXPECT_FALSE(telegram::valid_data_reply(rx, 100000));
}

TEST(Telegram, Acknowledgements) {
    EXPECT_TRUE(telegram::valid_ack(buffer_of({0x10, 0x00, 0x01, 0x00, 0x01, 0x16})));
    EXPECT_FALSE(telegram::valid_ack(buffer_of({0x10, 0x00, 0x01, 0x00, 0x02, 0x16})));
    EXPECT_FALSE(telegram::valid_ack(buffer_of({0x10, 0x00, 0x01, 0x01, 0x02, 0x16})));
    EXPECT_FALSE(telegram::valid_ack(buffer_of({0x68, 0x00, 0x01, 0x00, 0x01, 0x16})));
    EXPECT_FALSE(telegram::valid_ack(buffer_of({0x10, 0x00, 0x01, 0x00, 0x01, 0x17})));
}

}  // namespace
