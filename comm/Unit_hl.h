#pragma once

#include <array>
#include <cstdint>

#include "comm/device_data.h"
#include "comm/exchange.h"
#include "comm/line.h"
#include "comm/telegram.h"

class Prompts;

// The send and receive buffers, the current addresses and the identification texts.
struct CommBuffer {
    telegram::Buffer rx{};
    static constexpr const std::array<std::uint8_t, kTableCount>& table_len = kTableLen;
    std::uint8_t DA = 0;
    std::uint8_t SA = 0;
    telegram::Buffer tx{};
    std::array<char, 250> type_text{};
    std::array<char, 250> version_text{};
    std::array<char, 255> foreign_ident{};
};

// The two records shared by the whole program.
DeviceData& device_data();
CommBuffer& comm_buffer();

// The specified windows' view of the bus: one current address and the two shared
// records. Every operation blocks until it has finished and answers true or false;
// callers report failures themselves.
class RequestLayer {
  public:
    RequestLayer(Line& line, Prompts& prompts, DeviceData& data = device_data(),
                 CommBuffer& buffer = comm_buffer());

    void set_line(Line& line) { exchange_.set_line(line); }
    Line& line() const { return exchange_.line(); }
    DeviceData& data() const { return data_; }
    CommBuffer& buffer() const { return buf_; }

    void set_device_address(std::uint8_t a) { buf_.DA = a; }
    void set_computer_address(std::uint8_t a) { buf_.SA = a; }
    std::uint8_t device_address() const { return buf_.DA; }
    std::uint8_t computer_address() const { return buf_.SA; }

    bool read_table(int t);
    bool read_table(TableId t) { return read_table(static_cast<int>(t)); }
    bool write_table(int t);
    bool write_table(TableId t) { return write_table(static_cast<int>(t)); }
    bool store_eeprom();
    bool probe_station();
    bool read_type_text();
    bool read_version_text();
    bool read_foreign_ident();

    // The size of each read that clears late bytes away (500 + 2 * 255 ms of silence).
    static constexpr int kQuietReadLen = Exchange::kQuietReadLen;

  private:
    Prompts& prompts_;
    DeviceData& data_;
    CommBuffer& buf_;
    Exchange exchange_;
};
