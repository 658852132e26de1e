#include "comm/Unit_hl.h"

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
    : prompts_(prompts), data_(data), buf_(buffer), exchange_(line, buffer.tx, buffer.rx) {}

bool RequestLayer::read_table(int t) {
    if (t < 0 || t >= kTableCount) {
        prompts_.message(QStringLiteral("Chyba, číslo tabulky mimo rozsah."),
                         QStringLiteral("Sériový Port"), PromptIcon::Error, PromptButtons::Ok,
                         PromptOwner::None);
        return false;
    }
    const bool ok = exchange_.read_table(buf_.DA, buf_.SA, t);
    if (ok && buf_.DA != telegram::kBroadcast)
        wire::decode(data_, t, buf_.rx.data() + telegram::kDataOffset);
    return ok;
}

bool RequestLayer::write_table(int t) {
    if (t < 0 || t >= kParameterTableCount) {
        prompts_.message(QStringLiteral("Nepředvídaná chyba, špatně zadaná tabulka"),
                         QStringLiteral("DATA"), PromptIcon::Error, PromptButtons::Ok,
                         PromptOwner::None);
        return false;
    }
    return exchange_.write_table(buf_.DA, buf_.SA, t, data_);
}

bool RequestLayer::store_eeprom() { return exchange_.store_eeprom(buf_.DA, buf_.SA); }

bool RequestLayer::probe_station() { return exchange_.probe_station(buf_.DA, buf_.SA); }

bool RequestLayer::read_type_text() {
    return exchange_.read_text(buf_.DA, buf_.SA, telegram::CMD_TYPE, buf_.type_text,
                               Exchange::TextEnd::Silence);
}

bool RequestLayer::read_version_text() {
    return exchange_.read_text(buf_.DA, buf_.SA, telegram::CMD_VERSION, buf_.version_text,
                               Exchange::TextEnd::Silence);
}

bool RequestLayer::read_foreign_ident() {
    return exchange_.read_foreign_ident(buf_.DA, buf_.SA, buf_.foreign_ident);
}
