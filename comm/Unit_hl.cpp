#include "comm/Unit_hl.h"

#include <algorithm>

#include "platform/prompts.h"

DeviceData& device_data() {
    static DeviceData data;
    return data;
}

CommBuffer& comm_buffer() {
    static CommBuffer buffer;
    return buffer;
}

RequestLayer::RequestLayer(Line& line, Prompts& prompts, DeviceData& data, CommBuffer& buffer)
    : line_(&line), prompts_(prompts), data_(data), buf_(buffer) {}

bool RequestLayer::send(int n) {
    tx_len_ = n;
    int written = 0;
    return line_->write_bytes(buf_.tx.data(), n, &written);
}

// The controller may still answer a request that timed out or was sent again; its
// bytes would arrive inside the next exchange.
bool RequestLayer::resend() {
    unsettled_ = true;
    return send(tx_len_);
}

// Reads until the line has been quiet for a whole text-read window, so that a late
// answer is gone before the next request; bounded for a line that never goes quiet.
// Only an unsettled exchange pays for this.
void RequestLayer::settle() {
    if (!unsettled_) return;
    unsettled_ = false;
    std::array<std::uint8_t, kQuietReadLen> scratch{};
    for (int i = 0; i < kMaxSettleReads; ++i) {
        int got = 0;
        if (!line_->discard_late(scratch.data(), kQuietReadLen, &got) || got == 0) return;
    }
}

int RequestLayer::read(int n) {
    n = std::clamp(n, 0, static_cast<int>(buf_.rx.size()));
    int received = 0;
    if (!line_->read_bytes(buf_.rx.data(), n, &received)) return 0;
    return std::clamp(received, 0, n);
}

bool RequestLayer::read_table(int t) {
    if (t < 0 || t >= kTableCount) {
        prompts_.message(QStringLiteral("Chyba, číslo tabulky mimo rozsah."),
                         QStringLiteral("Sériový Port"), PromptIcon::Error, PromptButtons::Ok,
                         PromptOwner::None);
        return false;
    }
    const std::uint8_t len = kTableLen[static_cast<std::size_t>(t)];
    const bool wrote =
        send(telegram::build_read(buf_.tx, buf_.DA, buf_.SA, static_cast<std::uint8_t>(t), len));
    bool ok = false;
    if (buf_.DA == telegram::kBroadcast) {
        ok = wrote;  // nobody answers a broadcast
    } else {
        const int expected = len + 9;
        for (int attempt = 0; attempt < 2 && !ok; ++attempt) {
            const int got = read(expected);
            if (got != expected) {
                resend();
                continue;
            }
            ok = telegram::valid_data_reply(buf_.rx, got);
        }
        if (ok) wire::decode(data_, t, buf_.rx.data() + telegram::kDataOffset);
    }
    if (!ok) purge_after_failure();
    settle();
    return ok;
}

// A late reply must not be taken for the answer to the next request.
void RequestLayer::purge_after_failure() {
    line_->purge_tx();
    line_->purge_rx();
}

bool RequestLayer::await_ack() {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int got = read(telegram::kSd1Length);
        if (got != telegram::kSd1Length) {
            resend();
            continue;
        }
        if (telegram::valid_ack(buf_.rx)) return true;
    }
    return false;
}

bool RequestLayer::write_table(int t) {
    if (t < 0 || t >= kParameterTableCount) {
        prompts_.message(QStringLiteral("Nepředvídaná chyba, špatně zadaná tabulka"),
                         QStringLiteral("DATA"), PromptIcon::Error, PromptButtons::Ok,
                         PromptOwner::None);
        return false;
    }
    const std::uint8_t len = kTableLen[static_cast<std::size_t>(t)];
    wire::encode(data_, t, buf_.tx.data() + telegram::kTableDataOffset);
    send(telegram::build_write(buf_.tx, buf_.DA, buf_.SA, static_cast<std::uint8_t>(t), len));
    const bool ok = await_ack();
    if (!ok) purge_after_failure();
    settle();
    return ok;
}

bool RequestLayer::store_eeprom() {
    send(
        telegram::build_command(buf_.tx, buf_.DA, buf_.SA, telegram::FC_SDA, telegram::CMD_EEPROM));
    const bool ok = await_ack();
    settle();
    return ok;
}

bool RequestLayer::probe_station() {
    if (!send(telegram::build_status(buf_.tx, buf_.DA, buf_.SA))) return false;
    const int got = read(telegram::kSd1Length);
    // A silent address is the rule during a search and costs nothing more; part of an
    // answer means the rest may still come.
    if (got > 0 && got != telegram::kSd1Length) {
        unsettled_ = true;
        settle();
    }
    return got == telegram::kSd1Length && telegram::valid_ack(buf_.rx);
}

bool RequestLayer::read_text(std::uint8_t cmd, std::array<char, 250>& target) {
    send(telegram::build_command(buf_.tx, buf_.DA, buf_.SA, telegram::FC_SRD, cmd));
    int got = read(255);
    // The length byte counts as signed: 128 and above never matches.
    const int le = static_cast<std::int8_t>(buf_.rx[1]);
    if (got != le + 6) {
        line_->pause_ms(100);
        resend();
        got = read(255);
    }
    settle();
    if (!telegram::valid_data_reply(buf_.rx, got)) return false;
    const int text_len = std::min<int>(buf_.rx[1] - 3, static_cast<int>(target.size()) - 1);
    target.fill(0);
    std::copy_n(buf_.rx.begin() + telegram::kDataOffset, std::max(text_len, 0), target.begin());
    return true;
}

bool RequestLayer::read_type_text() { return read_text(telegram::CMD_TYPE, buf_.type_text); }

bool RequestLayer::read_version_text() {
    return read_text(telegram::CMD_VERSION, buf_.version_text);
}

bool RequestLayer::read_foreign_ident() {
    send(telegram::build_command(buf_.tx, buf_.DA, buf_.SA, telegram::FC_SRD, telegram::CMD_TYPE));
    int got = 0;
    if (!line_->read_bytes(buf_.rx.data(), 254, &got)) return false;
    const int le = static_cast<std::int8_t>(buf_.rx[1]);
    if (le <= 4 || got < le + 4) {
        unsettled_ = true;
        settle();
        return false;
    }
    buf_.foreign_ident.fill(0);
    std::copy_n(buf_.rx.begin() + 8, le - 4, buf_.foreign_ident.begin());
    return true;
}
