#include "bus/bus_session.h"

#include "ident/ident_texts.h"

bool BusSession::read(int address, int t, DeviceData& into) {
    if (t < 0 || t >= kTableCount || address == telegram::kBroadcast) return false;
    if (!exchange_.read_table(da(address), sa_, t)) return false;
    wire::decode(into, t, rx_.data() + telegram::kDataOffset);
    return true;
}

std::optional<LiveGroup> BusSession::read_live(int address) {
    DeviceData d;
    if (!read(address, static_cast<int>(TableId::TAB_LIVE), d)) return std::nullopt;
    return d.live;
}

bool BusSession::write(int address, int t, const DeviceData& from) {
    if (t < 0 || t >= kParameterTableCount) return false;
    return exchange_.write_table(da(address), sa_, t, from);
}

bool BusSession::store_eeprom(int address) { return exchange_.store_eeprom(da(address), sa_); }

bool BusSession::probe(int address, int wait_ms) {
    const ReadBound bound(exchange_.line(), wait_ms);
    return exchange_.probe_station(da(address), sa_);
}

// Beyond the specified flows a text's read ends with its frame, not 100 ms later.
bool BusSession::read_type_text(int address, std::array<char, 250>& text) {
    return exchange_.read_text(da(address), sa_, telegram::CMD_TYPE, text,
                               Exchange::TextEnd::Frame);
}

bool BusSession::read_version_text(int address, std::array<char, 250>& text) {
    return exchange_.read_text(da(address), sa_, telegram::CMD_VERSION, text,
                               Exchange::TextEnd::Frame);
}

std::optional<QString> BusSession::type_text(int address) {
    std::array<char, 250> text{};
    if (!read_type_text(address, text)) return std::nullopt;
    return text_from_device(text.data(), text.size());
}

std::optional<std::array<char, 255>> BusSession::read_foreign_ident(int address) {
    std::array<char, 255> block{};
    if (!exchange_.read_foreign_ident(da(address), sa_, block)) return std::nullopt;
    return block;
}
