#include "commissioning/parameter_set.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>

#include "bus/bus_session.h"
#include "params/parameter_file.h"
#include "platform/private_profile.h"

namespace commissioning {

namespace {

const char* const kRealRefused = "Je nutné zadávat pouze čísla nebo desetinnou čárku";
const char* const kWholeRefused = "Je nutné zadávat pouze čísla";
const char* const kLimitRefused = "Žádaná hodnota je mimo hranice nastavení";
const char* const kOutOfList = "mimo rozsah seznamu";
const char* const kOutOfWire = "mimo rozsah, který regulátor uchová";

QString u(const char* s) { return QString::fromUtf8(s); }

// A field's value as one comparable number (reals by their bits).
std::int64_t field_value(const params::ParamDef& p, const DeviceData& d) {
    const params::FieldRef f = p.field(const_cast<DeviceData&>(d));
    if (f.real) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, f.real, sizeof bits);
        // +0 and -0 are the same value to the user.
        return *f.real == 0.0f ? 0 : static_cast<std::int64_t>(bits);
    }
    return f.i32 ? *f.i32 : *f.i8;
}

// What the controller would hold after a write and a read of every table.
DeviceData through_wire(const DeviceData& d) {
    DeviceData in = d;
    DeviceData out = d;
    for (int t = 0; t < kParameterTableCount; ++t) {
        std::uint8_t buf[256] = {};
        wire::encode(in, t, buf);
        wire::decode(out, t, buf);
    }
    return out;
}

}  // namespace

QString Source::text() const { return is_file() ? file : QStringLiteral("@%1").arg(address); }

const params::ParamDef& param(int i) { return params::catalogue().at(static_cast<std::size_t>(i)); }

int param_index(const params::ParamDef& p) {
    return static_cast<int>(&p - params::catalogue().data());
}

QString param_key(int i) {
    const params::ParamDef& p = param(i);
    return QString::fromLatin1(params::tab(p.tab).ini_section) + QLatin1Char('/') +
           QString::fromLatin1(p.ini_key ? p.ini_key : p.mnemonic);
}

QString ParameterSet::shown(int i) const {
    if (refused(i)) return refused_text[static_cast<std::size_t>(i)];
    if (!has(i)) return QString();
    const params::ParamDef& p = param(i);
    DeviceData d = data;
    if (!params::is_list(p.kind)) return params::edit_text(p, d);
    const int pos = params::list_position(p, d);
    if (pos >= 0) return p.entry(pos);
    return QStringLiteral("? (%1)").arg(field_value(p, d));
}

QString ParameterSet::file_value(int i) const {
    if (refused(i)) return refused_text[static_cast<std::size_t>(i)];
    if (!has(i)) return QString();
    const params::ParamDef& p = param(i);
    DeviceData d = data;
    if (!params::is_list(p.kind)) return params::edit_text(p, d);
    const int pos = params::list_position(p, d);
    if (pos >= 0 || field_value(p, d) == (p.kind == params::ValueKind::ChoicePlusOne ? 0 : -1))
        return QString::number(pos);
    return QStringLiteral("?%1").arg(field_value(p, d));
}

std::optional<ParameterSet> load_file(const QString& path, QStringList* errors) {
    QStringList problems;
    const QFileInfo info(path);
    QFile probe(path);
    if (!info.exists() || !info.isFile() || !probe.open(QIODevice::ReadOnly)) {
        problems << QStringLiteral("%1: soubor nelze přečíst").arg(path);
        if (errors) *errors = problems;
        return std::nullopt;
    }
    probe.close();
    const PrivateProfile ini(path);
    const QString missing = QStringLiteral("\x01");
    const QString version = ini.string(QStringLiteral("IDENT"), QStringLiteral("VERSION"),
                                       QString::fromLatin1(parameter_file::kSignature));
    if (!parameter_file::signature_matches(version)) {
        problems << QStringLiteral("%1: %2").arg(path, u(parameter_file::kWrongSignature));
        if (errors) *errors = problems;
        return std::nullopt;
    }

    ParameterSet set;
    set.source.file = path;
    for (const params::ParamDef* p : params::file_entries()) {
        const int i = param_index(*p);
        const auto idx = static_cast<std::size_t>(i);
        const QString section = QString::fromLatin1(params::tab(p->tab).ini_section);
        const QString text = ini.string(section, QString::fromLatin1(p->ini_key), missing);
        if (text == missing) {
            problems << QStringLiteral("%1: chybí %2").arg(path, param_key(i));
            continue;
        }
        set.present[idx] = true;
        if (params::is_list(p->kind)) {
            qint32 pos = -1;
            if (!PrivateProfile::parse_integer(text, &pos) || pos < 0 || pos >= p->entries.count) {
                set.refused_text[idx] = text;
                set.refused_reason[idx] = u(kOutOfList);
                continue;
            }
            params::store_position(*p, set.data, pos);
        } else if (!params::store_text(*p, set.data, text)) {
            set.refused_text[idx] = text;
            set.refused_reason[idx] =
                u(p->kind == params::ValueKind::Real ? kRealRefused : kWholeRefused);
        }
    }
    if (!problems.isEmpty()) {
        if (errors) *errors = problems;
        return std::nullopt;
    }

    // The set-point rule, on the numbers the three texts give.
    const auto& cat = params::catalogue();
    const int sp = param_index(*params::find_control(QStringLiteral("ed_sp")));
    if (!set.refused(sp) && !set.refused(sp + 1) && !set.refused(sp + 2)) {
        const float v = *cat[static_cast<std::size_t>(sp)].field(set.data).real;
        const float lo = *cat[static_cast<std::size_t>(sp) + 1].field(set.data).real;
        const float hi = *cat[static_cast<std::size_t>(sp) + 2].field(set.data).real;
        if (!(lo <= v && v <= hi)) {
            for (int i = sp; i < sp + 3; ++i) {
                set.refused_text[static_cast<std::size_t>(i)] = set.shown(i);
                set.refused_reason[static_cast<std::size_t>(i)] = u(kLimitRefused);
            }
        }
    }

    // A value that does not survive the wire (a whole number beyond 16 bits) would be
    // written as something else than the file says.
    const DeviceData held = through_wire(set.data);
    for (int i = 0; i < kParamCount; ++i) {
        if (!set.has(i) || set.refused(i)) continue;
        if (field_value(param(i), held) != field_value(param(i), set.data)) {
            set.refused_text[static_cast<std::size_t>(i)] = set.shown(i);
            set.refused_reason[static_cast<std::size_t>(i)] = u(kOutOfWire);
        }
    }
    set.data = held;
    return set;
}

std::optional<ParameterSet> read_controller(BusSession& s, int address, QString* error) {
    ParameterSet set;
    set.source.address = address;
    const Identification id = identify(s, address);
    set.type_text = id.type_text;
    set.version_text = id.version_text;
    if (!id.supported()) {
        if (error) *error = id.refusal();
        return std::nullopt;
    }
    for (int t = 0; t < kParameterTableCount; ++t) {
        if (!s.read(address, t, set.data)) {
            if (error) *error = u(kReadError);
            return std::nullopt;
        }
    }
    set.present.fill(true);
    return set;
}

void save_backup(const QString& path, const DeviceData& data) {
    DeviceData d = data;
    parameter_file::Contents contents;
    for (const params::ParamDef& p : params::catalogue()) {
        if (!p.ini_key) continue;
        parameter_file::ControlContent c;
        if (params::is_list(p.kind))
            c.position = params::list_position(p, d);
        else
            c.text = params::edit_text(p, d);
        contents.insert(QLatin1String(p.control), c);
    }
    parameter_file::save(path, contents);
}

bool differs(const ParameterSet& a, const ParameterSet& b, int i) {
    if (!a.has(i) || !b.has(i)) return false;
    if (a.refused(i) || b.refused(i)) return true;
    return field_value(param(i), a.data) != field_value(param(i), b.data);
}

std::vector<int> differences(const ParameterSet& a, const ParameterSet& b) {
    std::vector<int> out;
    for (int i = 0; i < kParamCount; ++i)
        if (differs(a, b, i)) out.push_back(i);
    return out;
}

}  // namespace commissioning
