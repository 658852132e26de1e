#include "sim/bus.h"

#include <algorithm>
#include <stdexcept>

#include "comm/telegram.h"
#include "platform/cp1250.h"
#include "sim/eeprom_file.h"

namespace sim {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kFcRefused = 0x01;
constexpr std::uint8_t kFcWrongData = 0x09;
constexpr std::uint8_t kFcWrongAck = 0x05;
constexpr std::uint8_t kFcForeign = 0x05;
constexpr int kPauseMs = 150;
constexpr int kLateMs = 700;

// Three 32-byte lines, blank-padded: a NUL would end the text where it is shown.
constexpr const char* kForeignLines[3] = {"DATALOGGER MX-4 (OTHER PROTOCOL)", "SER. NO. 000417",
                                          "FW-D-07-04"};

void fix_checksum(Bytes& f) {
    if (f.size() == 6 && f[0] == telegram::SD1) {
        f[4] = telegram::checksum(f.data() + 1, 3);
    } else if (f.size() >= 6) {
        const int le = f[1];
        if (static_cast<int>(f.size()) >= le + 6)
            f[static_cast<std::size_t>(le + 4)] = telegram::checksum(f.data() + 4, le);
    }
}

std::size_t checksum_offset(const Bytes& f) {
    if (f[0] == telegram::SD1) return 4;
    return static_cast<std::size_t>(f[1]) + 4;
}

bool contains(const std::vector<Fault>& v, Fault f) {
    return std::find(v.begin(), v.end(), f) != v.end();
}

}  // namespace

std::vector<std::uint8_t> flatten(const Reply& reply) {
    Bytes out;
    for (const Chunk& c : reply) out.insert(out.end(), c.bytes.begin(), c.bytes.end());
    return out;
}

Fault fault_from_name(const QString& name, bool* ok) {
    static const struct {
        const char* name;
        Fault kind;
    } kNames[] = {{"silence", Fault::Silence},       {"short", Fault::ShortReply},
                  {"checksum", Fault::BadChecksum},  {"function", Fault::WrongFunctionCode},
                  {"length", Fault::LengthMismatch}, {"pause", Fault::PauseInReply},
                  {"refuse", Fault::RefuseWrite},    {"late", Fault::LateBytes}};
    for (const auto& n : kNames) {
        if (name == QLatin1String(n.name)) {
            if (ok) *ok = true;
            return n.kind;
        }
    }
    if (ok) *ok = false;
    return Fault::None;
}

QString fault_name(Fault f) {
    switch (f) {
        case Fault::None:
            return QStringLiteral("none");
        case Fault::Silence:
            return QStringLiteral("silence");
        case Fault::ShortReply:
            return QStringLiteral("short");
        case Fault::BadChecksum:
            return QStringLiteral("checksum");
        case Fault::WrongFunctionCode:
            return QStringLiteral("function");
        case Fault::LengthMismatch:
            return QStringLiteral("length");
        case Fault::PauseInReply:
            return QStringLiteral("pause");
        case Fault::RefuseWrite:
            return QStringLiteral("refuse");
        case Fault::LateBytes:
            return QStringLiteral("late");
    }
    return {};
}

Bus::Bus(Options options) : options_(std::move(options)) {
    options_.krt01_variant = std::clamp(options_.krt01_variant, 1, 3);
    // The list keeps the configured order (the EEPROM file's section order) without
    // addresses that cannot be served.
    std::vector<int> served;
    for (int a : options_.addresses) {
        if (a < 0 || a >= telegram::kBroadcast || stations_.count(a)) continue;
        Station st(a);
        st.data.live.FAULT = static_cast<std::int8_t>(options_.device_fault);
        stations_.emplace(a, std::move(st));
        served.push_back(a);
    }
    options_.addresses = served;
    fault_counts_.assign(options_.faults.size(), 0);
    load_eeprom();
    if (options_.plant)
        for (auto& [a, st] : stations_) st.set_plant(*options_.plant);
}

void Bus::load_eeprom() {
    if (options_.eeprom_file.isEmpty()) return;
    // Sections follow the configured order, so a station keeps its parameters (and a
    // committed new address) across restarts.
    const std::vector<int> order = options_.addresses;
    std::vector<DeviceData> tables;
    for (int a : order) tables.push_back(stations_.at(a).data);
    if (!load_eeprom_file(options_.eeprom_file, tables)) return;

    std::map<int, Station> moved;
    options_.addresses.clear();
    for (std::size_t i = 0; i < order.size(); ++i) {
        Station st = stations_.at(order[i]);
        for (int t = 0; t < kParameterTableCount; ++t) {
            std::uint8_t buf[256];
            wire::encode(tables[i], t, buf);
            wire::decode(st.data, t, buf);
        }
        int addr = st.data.add.ADD;
        if (addr < 0 || addr >= telegram::kBroadcast || moved.count(addr)) addr = order[i];
        for (int a = 0; moved.count(addr) && a < telegram::kBroadcast; ++a) addr = a;
        st.data.add.ADD = static_cast<std::int8_t>(addr);
        st.eeprom = st.data;
        moved.emplace(addr, std::move(st));
        options_.addresses.push_back(addr);
    }
    stations_ = std::move(moved);
}

DeviceData& Bus::station(int address) {
    auto it = stations_.find(address);
    if (it == stations_.end()) throw std::out_of_range("no simulated station at this address");
    return it->second.data;
}

bool Bus::has_station(int address) const { return stations_.count(address) != 0; }

std::vector<int> Bus::addresses() const {
    std::vector<int> out;
    for (const auto& [a, st] : stations_) out.push_back(a);
    return out;
}

QString Bus::type_text() const {
    switch (options_.model) {
        case Model::Supported:
            return options_.type_text.isEmpty() ? QStringLiteral("KELVRA 20") : options_.type_text;
        case Model::Krt01:
            return QStringLiteral("KRT 01");
        case Model::Foreign:
            break;
    }
    return {};
}

QString Bus::version_text() const {
    switch (options_.model) {
        case Model::Supported:
            return QStringLiteral("FW-R-18-02 V2.14 2023-03-14");
        case Model::Krt01:
            return QStringLiteral("FW-R-11-0") + QString::number(options_.krt01_variant) +
                   QStringLiteral(" V1.07");
        case Model::Foreign:
            break;
    }
    return {};
}

void Bus::advance(double seconds) {
    if (options_.frozen) return;
    for (auto& [a, st] : stations_) st.advance(seconds);
}

std::vector<std::uint8_t> Bus::data_reply(int to, int from, const std::uint8_t* data,
                                          int len) const {
    telegram::Buffer b{};
    const int n = telegram::build_data_reply(b, static_cast<std::uint8_t>(to),
                                             static_cast<std::uint8_t>(from), data, len);
    return Bytes(b.begin(), b.begin() + n);
}

std::vector<std::uint8_t> Bus::ack(int to, int from, std::uint8_t fc) const {
    telegram::Buffer b{};
    const int n =
        telegram::build_sd1(b, static_cast<std::uint8_t>(to), static_cast<std::uint8_t>(from), fc);
    return Bytes(b.begin(), b.begin() + n);
}

std::vector<std::uint8_t> Bus::foreign_reply(int to, int from) const {
    // Another maker's frame: wrong function code, no checksum; 96 bytes of text after
    // a command echo.
    Bytes f{telegram::SD2,
            100,
            100,
            telegram::SD2,
            static_cast<std::uint8_t>(to),
            static_cast<std::uint8_t>(from),
            kFcForeign,
            telegram::CMD_TYPE};
    for (const char* line : kForeignLines) {
        const QByteArray text = QByteArray(line).leftJustified(32, ' ', true);
        f.insert(f.end(), text.begin(), text.end());
    }
    f.push_back(0x00);
    f.push_back(telegram::ED);
    return f;
}

std::vector<Fault> Bus::draw_faults(ReplyKind reply, int da) {
    std::vector<Fault> hits;
    for (std::size_t i = 0; i < options_.faults.size(); ++i) {
        const FaultSpec& spec = options_.faults[i];
        if (spec.kind == Fault::None) continue;
        if (spec.kind == Fault::RefuseWrite && reply != ReplyKind::WriteAck) continue;
        if (spec.kind == Fault::LengthMismatch && reply != ReplyKind::Data) continue;
        if (spec.address >= 0 && spec.address != da) continue;
        const int every = std::max(1, spec.every);
        if (++fault_counts_[i] % every == 0) hits.push_back(spec.kind);
    }
    return hits;
}

bool Bus::commit(Station& st) {
    st.eeprom = st.data;
    if (options_.eeprom_file.isEmpty()) return true;
    std::vector<DeviceData> tables;
    for (int a : options_.addresses) {
        auto it = stations_.find(a);
        if (it != stations_.end()) tables.push_back(it->second.eeprom);
    }
    return save_eeprom_file(options_.eeprom_file, tables);
}

Reply Bus::handle(const std::uint8_t* request, int n) {
    last_event_.clear();
    if (!request || n < telegram::kSd1Length || n > 256) return {};
    return answer(request, n);
}

Reply Bus::answer(const std::uint8_t* req, int n) {
    using namespace telegram;
    Bytes frame;
    ReplyKind kind = ReplyKind::Data;
    int da = 0;
    int sa = 0;

    if (req[0] == SD1) {
        if (n != kSd1Length || req[5] != ED || checksum(req + 1, 3) != req[4]) return {};
        if (req[3] != FC_STATUS) return {};
        da = req[1];
        sa = req[2];
        if (!stations_.count(da) || options_.model == Model::Foreign) return {};
        kind = ReplyKind::Ack;
        const std::vector<Fault> hits = draw_faults(kind, da);
        if (contains(hits, Fault::Silence)) return {};
        last_event_ = QStringLiteral("status");
        frame = ack(sa, da, FC_OK);
        return shape(std::move(frame), hits);
    }

    if (req[0] != SD2) return {};
    const int le = req[1];
    if (req[2] != le || req[3] != SD2 || le < 4 || n != le + 6) return {};
    if (req[le + 5] != ED || checksum(req + 4, le) != req[le + 4]) return {};
    da = req[4];
    sa = req[5];
    const std::uint8_t fc = req[6];
    const std::uint8_t cmd = req[7];
    auto it = stations_.find(da);
    if (it == stations_.end()) return {};
    Station* st = &it->second;

    if (options_.model == Model::Foreign) {
        if (fc != FC_SRD || cmd != CMD_TYPE || le != 4) return {};
        const std::vector<Fault> hits = draw_faults(ReplyKind::Data, da);
        if (contains(hits, Fault::Silence)) return {};
        last_event_ = QStringLiteral("foreign identification");
        return shape(foreign_reply(sa, da), hits);
    }

    if (fc == FC_SRD && (cmd == CMD_TYPE || cmd == CMD_VERSION) && le == 4) {
        const std::vector<Fault> hits = draw_faults(ReplyKind::Data, da);
        if (contains(hits, Fault::Silence)) return {};
        // Controllers speak code page 1250.
        const QByteArray text = cp1250::encode(cmd == CMD_TYPE ? type_text() : version_text());
        last_event_ =
            cmd == CMD_TYPE ? QStringLiteral("type text") : QStringLiteral("version text");
        frame = data_reply(sa, da, reinterpret_cast<const std::uint8_t*>(text.constData()),
                           static_cast<int>(text.size()));
        return shape(std::move(frame), hits);
    }

    if (fc == FC_SRD && cmd == CMD_READ && le == 7) {
        const int table = req[8];
        if (table >= kTableCount || req[9] != kTableLen[static_cast<std::size_t>(table)]) return {};
        const std::vector<Fault> hits = draw_faults(ReplyKind::Data, da);
        if (contains(hits, Fault::Silence)) return {};
        std::uint8_t data[256];
        const int len = wire::encode(st->data, table, data);
        last_event_ = QStringLiteral("read table ") + QString::number(table);
        return shape(data_reply(sa, da, data, len), hits);
    }

    if (fc == FC_SDA && cmd == CMD_WRITE && le >= 8) {
        const int table = req[8];
        const int len = le - 7;
        if (table >= kTableCount || req[9] != len ||
            len != kTableLen[static_cast<std::size_t>(table)])
            return {};
        const std::vector<Fault> hits = draw_faults(ReplyKind::WriteAck, da);
        if (contains(hits, Fault::Silence)) return {};
        std::uint8_t result = FC_OK;
        if (contains(hits, Fault::RefuseWrite) || table >= kParameterTableCount) {
            result = kFcRefused;
            last_event_ = QStringLiteral("write of table ") + QString::number(table) +
                          QStringLiteral(" refused");
        } else if (table == static_cast<int>(TableId::TAB_ADD)) {
            const int to = static_cast<std::int8_t>(req[11]);
            if (to < 0 || to >= kBroadcast || (to != da && stations_.count(to))) {
                result = kFcRefused;
                last_event_ =
                    QStringLiteral("address ") + QString::number(to) + QStringLiteral(" refused");
            } else if (to != da) {
                Station moved = std::move(it->second);
                stations_.erase(it);
                moved.data.add.ADD = static_cast<std::int8_t>(to);
                stations_.emplace(to, std::move(moved));
                std::replace(options_.addresses.begin(), options_.addresses.end(), da, to);
                last_event_ = QStringLiteral("station ") + QString::number(da) +
                              QStringLiteral(" moved to ") + QString::number(to);
            }
        } else {
            wire::decode(st->data, table, req + kTableDataOffset);
            last_event_ = QStringLiteral("wrote table ") + QString::number(table);
        }
        // The acknowledgement still comes from the address the request went to.
        return shape(ack(sa, da, result), hits);
    }

    if (fc == FC_SDA && cmd == CMD_EEPROM && le == 4) {
        const std::vector<Fault> hits = draw_faults(ReplyKind::WriteAck, da);
        if (contains(hits, Fault::Silence)) return {};
        std::uint8_t result = FC_OK;
        if (contains(hits, Fault::RefuseWrite)) {
            result = kFcRefused;
            last_event_ = QStringLiteral("EEPROM commit refused");
        } else {
            last_save_ok_ = commit(*st);
            // A commit that did not reach the file is reported as a refusal, not as done.
            if (!last_save_ok_) result = kFcRefused;
            last_event_ = last_save_ok_ ? QStringLiteral("EEPROM commit")
                                        : QStringLiteral("EEPROM commit failed: file not written");
        }
        return shape(ack(sa, da, result), hits);
    }
    return {};
}

Reply Bus::shape(std::vector<std::uint8_t> f, const std::vector<Fault>& hits) const {
    const bool sd2 = f[0] == telegram::SD2;
    if (contains(hits, Fault::WrongFunctionCode)) {
        f[sd2 ? 6 : 3] = sd2 ? kFcWrongData : kFcWrongAck;
        fix_checksum(f);
    }
    if (contains(hits, Fault::LengthMismatch) && sd2) f[2] = static_cast<std::uint8_t>(f[1] + 1);
    if (contains(hits, Fault::BadChecksum)) {
        const std::size_t at = checksum_offset(f);
        if (at < f.size()) f[at] = static_cast<std::uint8_t>(f[at] + 1);
    }
    if (contains(hits, Fault::ShortReply)) f.resize(std::max<std::size_t>(1, f.size() / 2));

    Reply reply;
    if (contains(hits, Fault::PauseInReply) && f.size() >= 2) {
        const auto half = static_cast<std::ptrdiff_t>(f.size() / 2);
        reply.push_back({Bytes(f.begin(), f.begin() + half), 0});
        reply.push_back({Bytes(f.begin() + half, f.end()), kPauseMs});
    } else {
        reply.push_back({std::move(f), 0});
    }
    if (contains(hits, Fault::LateBytes)) reply.front().gap_ms += kLateMs;
    return reply;
}

}  // namespace sim
