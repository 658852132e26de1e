#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "comm/device_data.h"
#include "comm/exchange.h"
#include "comm/telegram.h"

// What a job beyond the specified windows uses to talk to the controllers: every call
// names its controller and returns what it read as a value, so one job may visit many
// controllers and the windows' shared records stay untouched. It exchanges through the
// request layer's own code, with buffers of its own.
class BusSession {
  public:
    explicit BusSession(Line& line, std::uint8_t computer_address = 0)
        : sa_(computer_address), exchange_(line, tx_, rx_) {}
    BusSession(const BusSession&) = delete;
    BusSession& operator=(const BusSession&) = delete;

    void set_line(Line& line) { exchange_.set_line(line); }
    Line& line() const { return exchange_.line(); }
    void set_computer_address(std::uint8_t a) { sa_ = a; }
    std::uint8_t computer_address() const { return sa_; }

    // Table t (0..11) of the controller at address, decoded into into's group t only.
    bool read(int address, int t, DeviceData& into);
    std::optional<LiveGroup> read_live(int address);
    // Table t (0..8) with from's values.
    bool write(int address, int t, const DeviceData& from);
    bool store_eeprom(int address);
    // The station status request; wait_ms > 0 bounds the reply's wait for this call.
    bool probe(int address, int wait_ms = 0);
    // The type and version texts as the controller sends them (code page 1250, NUL-ended).
    bool read_type_text(int address, std::array<char, 250>& text);
    bool read_version_text(int address, std::array<char, 250>& text);
    // The type and version texts decoded; nothing when the controller did not answer.
    std::optional<QString> type_text(int address);
    // The identification block a device of another kind sends for a type request.
    std::optional<std::array<char, 255>> read_foreign_ident(int address);

  private:
    static std::uint8_t da(int address) { return static_cast<std::uint8_t>(address); }

    telegram::Buffer tx_{};
    telegram::Buffer rx_{};
    std::uint8_t sa_;
    Exchange exchange_;
};
