#pragma once

#include <array>
#include <cstdint>

#include "comm/device_data.h"
#include "comm/line.h"
#include "comm/telegram.h"

// One request and its reply: builds the telegram, reads and judges the reply, asks once
// more when it did not come whole, and clears late bytes away after a failure. The
// request layer and the addressed sessions both exchange through this, each with its
// own buffers.
class Exchange {
  public:
    Exchange(Line& line, telegram::Buffer& tx, telegram::Buffer& rx)
        : line_(&line), tx_(tx), rx_(rx) {}

    void set_line(Line& line) { line_ = &line; }
    Line& line() const { return *line_; }

    // How a text reply's read ends: at the 100 ms silence after it, or at the frame's
    // own length.
    enum class TextEnd { Silence, Frame };

    // Table t (0..11) of the controller at da; the data unit is at kDataOffset of the
    // receive buffer afterwards. A broadcast only sends.
    bool read_table(std::uint8_t da, std::uint8_t sa, int t);
    // Table t (0..8) with the values of d.
    bool write_table(std::uint8_t da, std::uint8_t sa, int t, const DeviceData& d);
    bool store_eeprom(std::uint8_t da, std::uint8_t sa);
    bool probe_station(std::uint8_t da, std::uint8_t sa);
    bool read_text(std::uint8_t da, std::uint8_t sa, std::uint8_t cmd,
                   std::array<char, 250>& target, TextEnd end);
    bool read_foreign_ident(std::uint8_t da, std::uint8_t sa, std::array<char, 255>& target);

    // The size of each read that clears late bytes away (500 + 2 * 255 ms of silence).
    static constexpr int kQuietReadLen = 255;

  private:
    bool send(int n);
    bool resend();
    void settle();
    int read(int n, bool frame = false);
    bool await_ack();
    void purge_after_failure();

    Line* line_;
    telegram::Buffer& tx_;
    telegram::Buffer& rx_;
    int tx_len_ = 0;
    bool unsettled_ = false;

    static constexpr int kMaxSettleReads = 4;
};
