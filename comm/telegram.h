#pragma once

#include <array>
#include <cstdint>

// Frames of the controller bus: variable-length SD2 requests and data replies,
// fixed-length SD1 status requests and acknowledgements. Nothing here allocates.
namespace telegram {

using Buffer = std::array<std::uint8_t, 256>;

constexpr std::uint8_t SD1 = 0x10;
constexpr std::uint8_t SD2 = 0x68;
constexpr std::uint8_t ED = 0x16;

constexpr std::uint8_t FC_SRD = 0x6C;
constexpr std::uint8_t FC_SDA = 0x63;
constexpr std::uint8_t FC_STATUS = 0x69;
constexpr std::uint8_t FC_DATA = 0x08;
constexpr std::uint8_t FC_OK = 0x00;

constexpr std::uint8_t CMD_TYPE = 0x00;
constexpr std::uint8_t CMD_READ = 0x01;
constexpr std::uint8_t CMD_WRITE = 0x02;
constexpr std::uint8_t CMD_VERSION = 0x04;
constexpr std::uint8_t CMD_EEPROM = 0x06;

constexpr int kDataOffset = 7;        // first byte of an SD2 data unit
constexpr int kTableDataOffset = 11;  // first table byte of a write request
constexpr int kSd1Length = 6;
constexpr std::uint8_t kBroadcast = 127;

// Sum modulo 256 of n bytes starting at p.
std::uint8_t checksum(const std::uint8_t* p, int n);

// Completes an SD2 frame whose data unit (data_len bytes) is already at offset 7 of
// buf: delimiters, length bytes, addresses, function code, checksum and end byte.
// Returns the frame length LE + 6. data_len must be 1..249.
int finish_sd2(Buffer& buf, std::uint8_t da, std::uint8_t sa, std::uint8_t fc, int data_len);

// A one-byte command request (CMD_TYPE, CMD_VERSION with FC_SRD; CMD_EEPROM with FC_SDA).
int build_command(Buffer& tx, std::uint8_t da, std::uint8_t sa, std::uint8_t fc, std::uint8_t cmd);

// CMD_READ of a table of len bytes.
int build_read(Buffer& tx, std::uint8_t da, std::uint8_t sa, std::uint8_t table, std::uint8_t len);

// CMD_WRITE of a table; the len encoded table bytes must already be at offset 11.
int build_write(Buffer& tx, std::uint8_t da, std::uint8_t sa, std::uint8_t table, std::uint8_t len);

// The SD1 station status request. Returns 6.
int build_status(Buffer& tx, std::uint8_t da, std::uint8_t sa);

// An SD1 frame with the given function code (acknowledgements and status replies).
int build_sd1(Buffer& buf, std::uint8_t da, std::uint8_t sa, std::uint8_t fc);

// A data reply holding len bytes copied from data. Returns len + 9 (0 if len > 249).
int build_data_reply(Buffer& buf, std::uint8_t da, std::uint8_t sa, const std::uint8_t* data,
                     int len);

// Judges a data reply in the receive buffer by the ordered tests; received is the
// number of bytes the last read brought.
bool valid_data_reply(const Buffer& rx, int received);

// How long the frame that begins buf is, as far as its first got bytes tell (SD1: 6,
// SD2: the length byte plus 6); limit when they do not tell yet. At most limit.
int frame_length(const std::uint8_t* buf, int got, int limit);

// Judges an acknowledgement or status reply (6 bytes received).
bool valid_ack(const Buffer& rx);

}  // namespace telegram
