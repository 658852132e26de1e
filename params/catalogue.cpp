#include "params/catalogue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace params {

namespace {

template <std::size_t N>
constexpr Entries list(const char* const (&items)[N]) {
    return {items, static_cast<int>(N)};
}

constexpr const char* kNoYes[] = {"NO (ne)", "YES (ano)"};
constexpr const char* kRala[] = {"CONS (jedna pevná mez)", "DRIF (pevná mez s posuvem)",
                                 "WIN (horní a spodní mez alarmu)",
                                 "DWI (horní a spodní mez alarmu s posuvem)"};
constexpr const char* kRele[] = {"OFF při překročení relé vypne", "ON při překročení relé sepne"};
constexpr const char* kFeed[] = {"-oV- (odporový vysílač)", "4_20 (4 až 20mA)", "0-10 (0 až 10V)",
                                 "OFF (bez zpětné vazby)"};
constexpr const char* kF2[] = {"0 bez filtru", "1",  "2",  "3",  "4",  "5",  "6", "7", "8", "9",
                               "10",           "11", "12", "13", "14", "15", "16"};
constexpr const char* kTpid[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
constexpr const char* kSensType[] = {"termočlánek \"J\"", "termočlánek \"K\"", "termočlánek \"E\"",
                                     "termočlánek \"T\"", "termočlánek \"R\"", "termočlánek \"S\"",
                                     "termočlánek \"B\"", "termočlánek \"N\"", "Pt100",
                                     "Ni1000/6180ppm",    "Ni1000/5000ppm",    "4 až 20 mA",
                                     "0 až 20 mA",        "0 až 10 V",         "0-50mV"};
constexpr const char* kDp[] = {"0000.", "000.0", "00.00"};
constexpr const char* kKomp[] = {"bez kompenzace", "teplota svorek", "teplota 20°C", "teplota 50°C",
                                 "teplota 70°C"};
constexpr const char* kAin[] = {"YOUT (regulační veličina)", "MEAS (naměřená hodnota)"};
constexpr const char* kAout[] = {"0-20mA", "4-20mA", "20-0mA", "20-4mA"};
// The fifth entry is empty in the controller's own list too; choosing it stores 4.
constexpr const char* kRe12[] = {"NO (bez reakce)", "OPEN (relé 1 sepne relé 2 vypne)",
                                 "SHUT (relé 1 vypne relé 2 sepne)",
                                 "OFF (relé 1 vypne relé 2 vypne)", ""};
constexpr const char* kRe3[] = {"NO (bez reakce)", "ON (relé 3 sepne)", "OFF (relé 3 vypne)"};
constexpr const char* kYout[] = {"NO (bez reakce)", "0 mA", "20 mA"};
constexpr const char* kFilt[] = {"0 (bez filtru)", "1", "2", "3", "4", "5", "6", "7", "8"};
constexpr const char* kLock[] = {"NO (odemčená)", "YES (zamčená)"};
constexpr const char* kLevl[] = {"uživatelská úroveň", "servisní nastavení"};

// The one password digit shared by the preset and the file default.
constexpr const char* kPassDefault = "0";

constexpr Entries kEdit{};

using K = ValueKind;

const std::array<TabDef, kTabCount> kTabs{{
    {0, TableId::TAB_COMP, "COMP", "ta_comp", "COMP"},
    {1, TableId::TAB_ALARM1, "ALARM 1", "ta_ala1", "ALARM1"},
    {2, TableId::TAB_PID, "PID", "ta_pid", "PID"},
    {3, TableId::TAB_REGO, "REGO", "ta_rego", "REGO"},
    {4, TableId::TAB_SENS, "SENS", "ta_sens", "SENS"},
    {5, TableId::TAB_DACO, "DACO", "ta_daco", "DACO"},
    {6, TableId::TAB_ERRO, "ERRO", "ta_erro", "ERRO"},
    {7, TableId::TAB_OST, "OST_", "ta_ostat", "OSTAT"},
    {8, TableId::TAB_ADD, "ADD", "ta_add", "ADD"},
}};

// clang-format off
const std::vector<ParamDef> kCatalogue{
    // tab, mnemonic, label, control, kind, field, entries, INI key, file order, file default, preset
    {0, "SP", "žádaná hodnota", "ed_sp", K::Real,
     [](DeviceData& d) { return FieldRef(d.comp.SP); }, kEdit, "SP", 1, text("0"), untouched()},
    {0, "SP_L", "spodní mez", "ed_sp_l", K::Real,
     [](DeviceData& d) { return FieldRef(d.comp.SP_L); }, kEdit, "SP_L", 2, text("0"), untouched()},
    {0, "SP_H", "horní mez", "ed_sp_h", K::Real,
     [](DeviceData& d) { return FieldRef(d.comp.SP_H); }, kEdit, "SP_H", 3, text("100"), untouched()},

    {1, "RALA", "režim alarmu", "cb_rala1", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.alarm1.RALA); }, list(kRala), "RALA", 4, item(0), item(0)},
    {1, "RELE", "stav výstupního relé", "cb_re1", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.alarm1.RELE); }, list(kRele), "RELE", 5, item(0), item(0)},
    {1, "SPLO", "spodní hranice limity", "ed_splo1", K::Real,
     [](DeviceData& d) { return FieldRef(d.alarm1.SPLO); }, kEdit, "SPLO", 6, text("0"), text("0")},
    {1, "SPHI", "horní hranice limity", "ed_sphi1", K::Real,
     [](DeviceData& d) { return FieldRef(d.alarm1.SPHI); }, kEdit, "SPHI", 7, text("100"), text("100")},
    {1, "HYST", "hystereze", "ed_hyst1", K::Real,
     [](DeviceData& d) { return FieldRef(d.alarm1.HYST); }, kEdit, "HYST", 8, text("1"), text("1")},

    {2, "PB", "zesílení PID regulátoru", "ed_pb", K::Real,
     [](DeviceData& d) { return FieldRef(d.pid.PB); }, kEdit, "PB", 9, text("1"), text("1")},
    {2, "INT", "integrační konstanta", "ed_ti", K::Real,
     [](DeviceData& d) { return FieldRef(d.pid.INT); }, kEdit, "TI", 10, text("100"), text("100")},
    {2, "DER", "derivační konstanta", "ed_td", K::Real,
     [](DeviceData& d) { return FieldRef(d.pid.DER); }, kEdit, "TD", 11, text("1"), text("1")},
    {2, "TUNE", "automatické ladění konstant", "cb_tune", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.pid.TUNE); }, list(kNoYes), "TUNE", 12, item(0), item(0)},

    {3, "FEED", "Zpětná vazba", "cb_feed", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.rego.FEED); }, list(kFeed), "FEED", 13, item(3), item(0)},
    {3, "DSER", "doba servopohonu", "ed_dser", K::Whole32,
     [](DeviceData& d) { return FieldRef(d.rego.DSER); }, kEdit, "DSER", 15, text("60"), text("60")},
    {3, "DEAD", "necitlivost regulace [%]", "ed_dead", K::Whole32,
     [](DeviceData& d) { return FieldRef(d.rego.DEAD); }, kEdit, "DEAD", 16, text("2"), text("2")},
    {3, "F2", "výstupní filtr", "cb_f2", K::Choice32,
     [](DeviceData& d) { return FieldRef(d.rego.F2); }, list(kF2), "F2", 14, item(0), item(0)},
    {3, "TPID", "vzorkování", "cb_tpid", K::ChoicePlusOne,
     [](DeviceData& d) { return FieldRef(d.rego.TPID); }, list(kTpid), "TPID", 17, item(4), item(1)},
    {3, "TEAC", "učení krajních poloh serva", "cb_teac", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.rego.TEAC); }, list(kNoYes), nullptr, 0, untouched(), item(0)},

    {4, "TYPE", "typ senzoru", "cb_sens", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.sens.TYPE); }, list(kSensType), "TYPE", 21, item(4), item(4)},
    {4, "DP", "desetinná tečka", "cb_dp", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.sens.DP); }, list(kDp), "DP", 22, item(1), item(1)},
    {4, "STRS", "začátek rozsahu senzoru", "ed_strs", K::Real,
     [](DeviceData& d) { return FieldRef(d.sens.STRS); }, kEdit, "STRS", 18, text("0"), text("0")},
    {4, "ENDS", "Konec rozsahu senzoru", "ed_ends", K::Real,
     [](DeviceData& d) { return FieldRef(d.sens.ENDS); }, kEdit, "ENDS", 19, text("100"), text("100")},
    {4, "OFFS", "posuv rozsahu senzoru", "ed_offs", K::Real,
     [](DeviceData& d) { return FieldRef(d.sens.OFFS); }, kEdit, "OFFS", 20, text("0"), text("0")},
    {4, "COMP", "kompenzace studeného konce\ntermočlánku", "cb_komp", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.sens.COMP); }, list(kKomp), "KOMP", 23, item(1), item(1)},

    {5, "A-IN", "přiřazení analogového výstupu", "cb_ain", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.daco.A_IN); }, list(kAin), "AIN", 24, item(0), item(0)},
    {5, "A-OUT", "směr a velikost anlogového výstupu", "cb_aout", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.daco.A_OUT); }, list(kAout), "AOUT", 25, item(0), item(0)},
    {5, "ASTR", "začátek rozsahu analogového výstupu", "ed_astr", K::Real,
     [](DeviceData& d) { return FieldRef(d.daco.ASTR); }, kEdit, "ASTR", 26, text("0"), text("0")},
    {5, "AEND", "konec rozsahu analogového výsupu", "ed_aend", K::Real,
     [](DeviceData& d) { return FieldRef(d.daco.AEND); }, kEdit, "AEND", 27, text("100"), text("100")},

    {6, "RE12", "stav relé při poruše snímače", "cb_erro12", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.erro.RE12); }, list(kRe12), "RE12", 28, item(0), item(0)},
    {6, "RE-3", "stav relé při poruše snímače", "cb_erro3", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.erro.RE_3); }, list(kRe3), "RE-3", 29, item(0), item(0)},
    {6, "YOUT", "stav analogového výstupu\npři poruše snímače", "cb_yout", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.erro.YOUT); }, list(kYout), "YOUT", 30, item(0), item(0)},

    // Shown FILT first, although PASS comes first on the wire and in the file.
    {7, "FILT", "vstupní filtr", "cb_filtr", K::Choice32,
     [](DeviceData& d) { return FieldRef(d.ost.FILT); }, list(kFilt), "FILT", 32, item(0), item(0)},
    {7, "PASS", "heslo", "ed_pass", K::Whole32,
     [](DeviceData& d) { return FieldRef(d.ost.PASS); }, kEdit, "PASS", 31, text(kPassDefault), text(kPassDefault)},
    {7, "LOCK", "zamčení klávesnice", "cb_loc", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.ost.LOCK); }, list(kLock), "LOCK", 33, item(0), item(0)},
    {7, "LEVL", "zobrazení menu", "cb_level", K::Choice8,
     [](DeviceData& d) { return FieldRef(d.ost.LEVL); }, list(kLevl), "LEVEL", 34, item(0), item(0)},

    {8, "", "adresa regulátoru", "ed_adresa", K::Whole8,
     [](DeviceData& d) { return FieldRef(d.add.ADD); }, kEdit, "ADRESA", 35, text("0"), text("0")},
};
// clang-format on

}  // namespace

const std::array<TabDef, kTabCount>& tabs() { return kTabs; }

const TabDef& tab(int position) { return kTabs.at(static_cast<std::size_t>(position)); }

TableId ParamDef::table() const { return params::tab(tab).table; }

QString ParamDef::entry(int position) const {
    if (position < 0 || position >= entries.count) return QString();
    return QString::fromUtf8(entries.items[position]);
}

const std::vector<ParamDef>& catalogue() { return kCatalogue; }

std::vector<const ParamDef*> tab_params(int position) {
    std::vector<const ParamDef*> out;
    for (const ParamDef& p : kCatalogue)
        if (p.tab == position) out.push_back(&p);
    return out;
}

const ParamDef* find_control(const QString& control) {
    for (const ParamDef& p : kCatalogue)
        if (control == QLatin1String(p.control)) return &p;
    return nullptr;
}

std::vector<const ParamDef*> file_entries() {
    std::vector<const ParamDef*> out;
    for (const ParamDef& p : kCatalogue)
        if (p.ini_key) out.push_back(&p);
    std::sort(out.begin(), out.end(),
              [](const ParamDef* a, const ParamDef* b) { return a->file_order < b->file_order; });
    return out;
}

QString format_real(double value, const QLocale& locale) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    const QString point = locale.decimalPoint();
    const QString minus = locale.negativeSign();
    const double magnitude = std::fabs(value);
    if (magnitude == 0) return QLatin1Char('0') + point + QLatin1String("00");

    // Five significant digits first: d.dddde[+-]x, correctly rounded.
    char buf[32];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 4);
    const std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
    const std::size_t e = s.find('e');
    std::string digits{s[0]};
    digits += s.substr(2, e - 2);
    const char* exp_text = s.data() + e + 1;
    if (*exp_text == '+') ++exp_text;
    int exponent = 0;
    std::from_chars(exp_text, s.data() + s.size(), exponent);
    const QString sign = std::signbit(value) ? minus : QString();

    if (exponent >= 5) {
        // More than five digits before the separator.
        while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
        QString m = QString::fromLatin1(digits.data(), 1);
        if (digits.size() > 1)
            m +=
                point + QString::fromLatin1(digits.data() + 1, static_cast<int>(digits.size()) - 1);
        return sign + m + QLatin1Char('E') + QString::number(exponent);
    }

    // Then two decimals, rounding half away from zero, in hundredths.
    std::int64_t mantissa = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), mantissa);
    const int shift = exponent - 2;
    std::int64_t cents = 0;
    if (shift >= 0) {
        cents = mantissa;
        for (int i = 0; i < shift; ++i) cents *= 10;
    } else if (shift > -10) {
        std::int64_t divisor = 1;
        for (int i = 0; i < -shift; ++i) divisor *= 10;
        cents = (mantissa + divisor / 2) / divisor;
    }
    const QString frac = QStringLiteral("%1").arg(cents % 100, 2, 10, QLatin1Char('0'));
    return (cents ? sign : QString()) + QString::number(cents / 100) + point + frac;
}

std::optional<double> parse_number(const QString& text, const QLocale& locale) {
    QLocale l = locale;
    l.setNumberOptions(l.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = l.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<float> parse_real(const QString& text, const QLocale& locale) {
    const auto v = parse_number(text, locale);
    if (!v || std::fabs(*v) > static_cast<double>(std::numeric_limits<float>::max()))
        return std::nullopt;
    return static_cast<float>(*v);
}

std::optional<std::int32_t> parse_whole(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    for (int i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        const bool sign = i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+'));
        if (!sign && !(c >= QLatin1Char('0') && c <= QLatin1Char('9'))) return std::nullopt;
    }
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return v;
}

QString edit_text(const ParamDef& p, DeviceData& d) {
    const FieldRef f = p.field(d);
    switch (p.kind) {
        case ValueKind::Real:
            return format_real(*f.real);
        case ValueKind::Whole32:
            return QString::number(*f.i32);
        case ValueKind::Whole8:
            return QString::number(*f.i8);
        default:
            return QString();
    }
}

int list_position(const ParamDef& p, DeviceData& d) {
    const FieldRef f = p.field(d);
    int v = f.i32 ? *f.i32 : f.i8 ? *f.i8 : -1;
    if (p.kind == ValueKind::ChoicePlusOne) v -= 1;
    return v >= 0 && v < p.entries.count ? v : -1;
}

void store_position(const ParamDef& p, DeviceData& d, int position) {
    const FieldRef f = p.field(d);
    const int v = p.kind == ValueKind::ChoicePlusOne ? position + 1 : position;
    if (f.i32) *f.i32 = v;
    if (f.i8) *f.i8 = static_cast<std::int8_t>(v);
}

bool store_text(const ParamDef& p, DeviceData& d, const QString& text) {
    const FieldRef f = p.field(d);
    switch (p.kind) {
        case ValueKind::Real: {
            const auto v = parse_real(text);
            *f.real = v.value_or(0.0f);
            return v.has_value();
        }
        case ValueKind::Whole32: {
            const auto v = parse_whole(text);
            *f.i32 = v.value_or(0);
            return v.has_value();
        }
        case ValueKind::Whole8: {
            // Only the low eight bits of the number are kept (300 becomes 44).
            const auto v = parse_whole(text);
            *f.i8 = static_cast<std::int8_t>(static_cast<std::uint8_t>(v.value_or(0) & 0xFF));
            return v.has_value();
        }
        default:
            return false;
    }
}

}  // namespace params
