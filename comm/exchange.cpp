#include "comm/exchange.h"

#include <algorithm>

bool Exchange::send(int n) {
    tx_len_ = n;
    int written = 0;
    return line_->write_bytes(tx_.data(), n, &written);
}

// The controller may still answer a request that timed out or was sent again; its
// bytes would arrive inside the next exchange.
bool Exchange::resend() {
    unsettled_ = true;
    return send(tx_len_);
}

// Reads until the line has been quiet for a whole text-read window, so that a late
// answer is gone before the next request; bounded for a line that never goes quiet.
// Only an unsettled exchange pays for this.
void Exchange::settle() {
    if (!unsettled_) return;
    unsettled_ = false;
    std::array<std::uint8_t, kQuietReadLen> scratch{};
    for (int i = 0; i < kMaxSettleReads; ++i) {
        int got = 0;
        if (!line_->discard_late(scratch.data(), kQuietReadLen, &got) || got == 0) return;
    }
}

int Exchange::read(int n, bool frame) {
    n = std::clamp(n, 0, static_cast<int>(rx_.size()));
    int received = 0;
    const bool ok = frame ? line_->read_frame(rx_.data(), n, &received)
                          : line_->read_bytes(rx_.data(), n, &received);
    if (!ok) return 0;
    return std::clamp(received, 0, n);
}

// A late reply must not be taken for the answer to the next request.
void Exchange::purge_after_failure() {
    line_->purge_tx();
    line_->purge_rx();
}

bool Exchange::await_ack() {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int got = read(telegram::kSd1Length);
        if (got != telegram::kSd1Length) {
            resend();
            continue;
        }
        if (telegram::valid_ack(rx_)) return true;
    }
    return false;
}

bool Exchange::read_table(std::uint8_t da, std::uint8_t sa, int t) {
    const std::uint8_t len = kTableLen[static_cast<std::size_t>(t)];
    const bool wrote = send(telegram::build_read(tx_, da, sa, static_cast<std::uint8_t>(t), len));
    bool ok = false;
    if (da == telegram::kBroadcast) {
        ok = wrote;  // nobody answers a broadcast
    } else {
        const int expected = len + 9;
        for (int attempt = 0; attempt < 2 && !ok; ++attempt) {
            const int got = read(expected);
            if (got != expected) {
                resend();
                continue;
            }
            ok = telegram::valid_data_reply(rx_, got);
        }
    }
    if (!ok) purge_after_failure();
    settle();
    return ok;
}

bool Exchange::write_table(std::uint8_t da, std::uint8_t sa, int t, const DeviceData& d) {
    const std::uint8_t len = kTableLen[static_cast<std::size_t>(t)];
    DeviceData values = d;
    wire::encode(values, t, tx_.data() + telegram::kTableDataOffset);
    send(telegram::build_write(tx_, da, sa, static_cast<std::uint8_t>(t), len));
    const bool ok = await_ack();
    if (!ok) purge_after_failure();
    settle();
    return ok;
}

bool Exchange::store_eeprom(std::uint8_t da, std::uint8_t sa) {
    send(telegram::build_command(tx_, da, sa, telegram::FC_SDA, telegram::CMD_EEPROM));
    const bool ok = await_ack();
    settle();
    return ok;
}

bool Exchange::probe_station(std::uint8_t da, std::uint8_t sa) {
    if (!send(telegram::build_status(tx_, da, sa))) return false;
    const int got = read(telegram::kSd1Length);
    // A silent address is the rule during a search and costs nothing more; part of an
    // answer means the rest may still come.
    if (got > 0 && got != telegram::kSd1Length) {
        unsettled_ = true;
        settle();
    }
    return got == telegram::kSd1Length && telegram::valid_ack(rx_);
}

bool Exchange::read_text(std::uint8_t da, std::uint8_t sa, std::uint8_t cmd,
                         std::array<char, 250>& target, TextEnd end) {
    const bool frame = end == TextEnd::Frame;
    send(telegram::build_command(tx_, da, sa, telegram::FC_SRD, cmd));
    int got = read(255, frame);
    // The length byte counts as signed: 128 and above never matches.
    const int le = static_cast<std::int8_t>(rx_[1]);
    if (got != le + 6) {
        line_->pause_ms(100);
        resend();
        got = read(255, frame);
    }
    settle();
    if (!telegram::valid_data_reply(rx_, got)) return false;
    const int text_len = std::min<int>(rx_[1] - 3, static_cast<int>(target.size()) - 1);
    target.fill(0);
    std::copy_n(rx_.begin() + telegram::kDataOffset, std::max(text_len, 0), target.begin());
    return true;
}

bool Exchange::read_foreign_ident(std::uint8_t da, std::uint8_t sa, std::array<char, 255>& target) {
    send(telegram::build_command(tx_, da, sa, telegram::FC_SRD, telegram::CMD_TYPE));
    int got = 0;
    if (!line_->read_bytes(rx_.data(), 254, &got)) return false;
    const int le = static_cast<std::int8_t>(rx_[1]);
    if (le <= 4 || got < le + 4) {
        unsettled_ = true;
        settle();
        return false;
    }
    target.fill(0);
    std::copy_n(rx_.begin() + 8, le - 4, target.begin());
    return true;
}
