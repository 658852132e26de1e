#pragma once

#include <array>
#include <cstdint>

// The decoded contents of the controller's twelve data tables, one group per table,
// fields in wire order and named by the controller's mnemonics. 16-bit wire fields
// are held as 32-bit integers (a read stores them unsigned, 0..65535); bytes as
// signed characters.

enum class TableId : std::uint8_t {
    TAB_COMP = 0,
    TAB_ALARM1 = 1,
    TAB_SENS = 2,
    TAB_PID = 3,
    TAB_REGO = 4,
    TAB_DACO = 5,
    TAB_ERRO = 6,
    TAB_OST = 7,
    TAB_ADD = 8,
    TAB_WORDS = 9,
    TAB_LIVE = 10,
    TAB_INPUTS = 11,
};
constexpr int kTableCount = 12;
constexpr int kParameterTableCount = 9;  // tables 0..8 can be written

struct CompGroup {
    float SP = 0, SP_L = 0, SP_H = 0;
};
struct Alarm1Group {
    float SPLO = 0, SPHI = 0, HYST = 0;
    std::int8_t RALA = 0, RELE = 0;
};
struct SensGroup {
    std::int8_t TYPE = 0, DP = 0;
    float STRS = 0, ENDS = 0, OFFS = 0;
    std::int8_t COMP = 0;
};
struct PidGroup {
    float PB = 0, INT = 0, DER = 0;
    std::int8_t TUNE = 0;
};
struct RegoGroup {
    std::int32_t DSER = 0, DEAD = 0, F2 = 0, TPID = 0;
    std::int8_t FEED = 0;
    std::int32_t RESV = 0;
    std::int8_t TEAC = 0;
};
struct DacoGroup {
    std::int8_t A_IN = 0, A_OUT = 0;
    float ASTR = 0, AEND = 0;
};
struct ErroGroup {
    std::int8_t RE12 = 0, RE_3 = 0, YOUT = 0;
};
struct OstGroup {
    std::int32_t PASS = 0, FILT = 0;
    std::int8_t LOCK = 0, LEVL = 0;
};
struct AddGroup {
    std::int8_t ADD = 0;
};
struct WordsGroup {
    std::int32_t W0 = 0, W1 = 0;
};
struct LiveGroup {
    float MEAS = 0;
    std::int8_t RELAYS = 0;
    float SP = 0;
    std::int32_t YOUT = 0;
    float TTERM = 0;
    std::int8_t FAULT = 0;
    std::int32_t FEEDBACK = 0, AUX_W = 0;
    std::int8_t AUX_B = 0;
};
struct InputsGroup {
    std::array<std::int32_t, 43> IN{};
};

struct DeviceData {
    CompGroup comp;
    Alarm1Group alarm1;
    SensGroup sens;
    PidGroup pid;
    RegoGroup rego;
    DacoGroup daco;
    ErroGroup erro;
    OstGroup ost;
    AddGroup add;
    WordsGroup words;
    LiveGroup live;
    InputsGroup inputs;
};

// Wire data length of each table.
constexpr std::array<std::uint8_t, kTableCount> kTableLen{12, 14, 15, 13, 12, 10,
                                                          3,  6,  1,  4,  21, 86};

// Visits the fields of each group in wire order as f(name, field&).
template <class F>
void for_each_field(CompGroup& g, F&& f) {
    f("SP", g.SP);
    f("SP_L", g.SP_L);
    f("SP_H", g.SP_H);
}
template <class F>
void for_each_field(Alarm1Group& g, F&& f) {
    f("SPLO", g.SPLO);
    f("SPHI", g.SPHI);
    f("HYST", g.HYST);
    f("RALA", g.RALA);
    f("RELE", g.RELE);
}
template <class F>
void for_each_field(SensGroup& g, F&& f) {
    f("TYPE", g.TYPE);
    f("DP", g.DP);
    f("STRS", g.STRS);
    f("ENDS", g.ENDS);
    f("OFFS", g.OFFS);
    f("COMP", g.COMP);
}
template <class F>
void for_each_field(PidGroup& g, F&& f) {
    f("PB", g.PB);
    f("INT", g.INT);
    f("DER", g.DER);
    f("TUNE", g.TUNE);
}
template <class F>
void for_each_field(RegoGroup& g, F&& f) {
    f("DSER", g.DSER);
    f("DEAD", g.DEAD);
    f("F2", g.F2);
    f("TPID", g.TPID);
    f("FEED", g.FEED);
    f("RESV", g.RESV);
    f("TEAC", g.TEAC);
}
template <class F>
void for_each_field(DacoGroup& g, F&& f) {
    f("A-IN", g.A_IN);
    f("A-OUT", g.A_OUT);
    f("ASTR", g.ASTR);
    f("AEND", g.AEND);
}
template <class F>
void for_each_field(ErroGroup& g, F&& f) {
    f("RE12", g.RE12);
    f("RE-3", g.RE_3);
    f("YOUT", g.YOUT);
}
template <class F>
void for_each_field(OstGroup& g, F&& f) {
    f("PASS", g.PASS);
    f("FILT", g.FILT);
    f("LOCK", g.LOCK);
    f("LEVL", g.LEVL);
}
template <class F>
void for_each_field(AddGroup& g, F&& f) {
    f("ADD", g.ADD);
}
template <class F>
void for_each_field(WordsGroup& g, F&& f) {
    f("W0", g.W0);
    f("W1", g.W1);
}
template <class F>
void for_each_field(LiveGroup& g, F&& f) {
    f("MEAS", g.MEAS);
    f("RELAYS", g.RELAYS);
    f("SP", g.SP);
    f("YOUT", g.YOUT);
    f("TTERM", g.TTERM);
    f("FAULT", g.FAULT);
    f("FEEDBACK", g.FEEDBACK);
    f("AUX_W", g.AUX_W);
    f("AUX_B", g.AUX_B);
}
template <class F>
void for_each_field(InputsGroup& g, F&& f) {
    static constexpr const char* kNames[43] = {
        "IN0",  "IN1",  "IN2",  "IN3",  "IN4",  "IN5",  "IN6",  "IN7",  "IN8",  "IN9",  "IN10",
        "IN11", "IN12", "IN13", "IN14", "IN15", "IN16", "IN17", "IN18", "IN19", "IN20", "IN21",
        "IN22", "IN23", "IN24", "IN25", "IN26", "IN27", "IN28", "IN29", "IN30", "IN31", "IN32",
        "IN33", "IN34", "IN35", "IN36", "IN37", "IN38", "IN39", "IN40", "IN41", "IN42"};
    for (int i = 0; i < 43; ++i) f(kNames[i], g.IN[static_cast<std::size_t>(i)]);
}

// Calls f(group&) with the group of table t (0..11); false for any other t.
template <class F>
bool with_group(DeviceData& d, int t, F&& f) {
    switch (t) {
        case 0:
            f(d.comp);
            return true;
        case 1:
            f(d.alarm1);
            return true;
        case 2:
            f(d.sens);
            return true;
        case 3:
            f(d.pid);
            return true;
        case 4:
            f(d.rego);
            return true;
        case 5:
            f(d.daco);
            return true;
        case 6:
            f(d.erro);
            return true;
        case 7:
            f(d.ost);
            return true;
        case 8:
            f(d.add);
            return true;
        case 9:
            f(d.words);
            return true;
        case 10:
            f(d.live);
            return true;
        case 11:
            f(d.inputs);
            return true;
        default:
            return false;
    }
}

// Big-endian field coding shared by the request layer and the simulator.
namespace wire {
// Decodes group t from len bytes at p. Returns bytes consumed.
int decode(DeviceData& d, int t, const std::uint8_t* p);
// Encodes group t to p. Returns bytes written.
int encode(DeviceData& d, int t, std::uint8_t* p);
}  // namespace wire
