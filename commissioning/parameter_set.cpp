#include "commissioning/parameter_set.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>

#include "bus/bus_session.h"
#include "params/parameter_file.h"
#include "params/value_check.h"
#include "platform/private_profile.h"

namespace commissioning {

namespace {

// A field's value as one comparable number (reals by their bits).
std::int64_t comparable(const params::ParamDef& p, const DeviceData& d) {
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
    return QStringLiteral("? (%1)").arg(comparable(p, d));
}

QString ParameterSet::file_value(int i) const {
    if (refused(i)) return refused_text[static_cast<std::size_t>(i)];
    if (!has(i)) return QString();
    const params::ParamDef& p = param(i);
    DeviceData d = data;
    if (!params::is_list(p.kind)) return params::edit_text(p, d);
    const int pos = params::list_position(p, d);
    if (pos >= 0 || comparable(p, d) == (p.kind == params::ValueKind::ChoicePlusOne ? 0 : -1))
        return QString::number(pos);
    return QStringLiteral("?%1").arg(comparable(p, d));
}

void ParameterSet::refuse(int i, const params::Verdict& v) {
    const auto idx = static_cast<std::size_t>(i);
    if (refused_text[idx].isEmpty()) refused_text[idx] = shown(i);
    refused_reason[idx] = params::editor_reason(v);
    refused_verdict[idx] = v;
}

void mark_refusals(ParameterSet& set) {
    // A value the controller would hold as something else than the set says (a whole
    // number beyond 16 bits, an address off the bus, a list position without an entry) is
    // refused as every writer refuses it.
    for (int i = 0; i < kParamCount; ++i) {
        if (!set.has(i) || set.refused(i)) continue;
        const params::Verdict v =
            params::check_value(param(i), params::field_value(param(i), set.data));
        if (!v.ok()) set.refuse(i, v);
    }
    // The set-point rule, on the three numbers.
    const int sp = param_index(*params::find_control(QStringLiteral("ed_sp")));
    for (int i = sp; i < sp + 3; ++i)
        if (!set.has(i) || set.refused(i)) return;
    const params::Verdict v =
        params::check_set_point(set.data.comp.SP, set.data.comp.SP_L, set.data.comp.SP_H);
    if (!v.ok())
        for (int i = sp; i < sp + 3; ++i) set.refuse(i, v);
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
        problems << QStringLiteral("%1: %2").arg(
            path, QString::fromUtf8(parameter_file::kWrongSignature));
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
                params::Verdict v;
                v.refusal = params::Refusal::NotInList;
                v.high = p->entries.count - 1;
                set.refuse(i, v);
                continue;
            }
            params::store_position(*p, set.data, pos);
        } else if (!params::store_text(*p, set.data, text)) {
            set.refused_text[idx] = text;
            params::Verdict v;
            v.refusal = p->kind == params::ValueKind::Real ? params::Refusal::NotANumber
                                                           : params::Refusal::NotAWholeNumber;
            set.refuse(i, v);
        }
    }
    if (!problems.isEmpty()) {
        if (errors) *errors = problems;
        return std::nullopt;
    }

    mark_refusals(set);
    const DeviceData held = through_wire(set.data);
    set.data = held;
    return set;
}

std::optional<ParameterSet> read_controller(BusSession& s, int address, QString* error) {
    ParameterSet set;
    set.source.address = address;
    const DeviceIdentity id = identify(s, address);
    set.type_text = id.type_text;
    set.version_text = id.version_text;
    if (!id.supported()) {
        if (error) *error = id.refusal();
        return std::nullopt;
    }
    for (int t = 0; t < kParameterTableCount; ++t) {
        if (!s.read(address, t, set.data)) {
            if (error) *error = QString::fromUtf8(kReadError);
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
    return comparable(param(i), a.data) != comparable(param(i), b.data);
}

std::vector<int> differences(const ParameterSet& a, const ParameterSet& b) {
    std::vector<int> out;
    for (int i = 0; i < kParamCount; ++i)
        if (differs(a, b, i)) out.push_back(i);
    return out;
}

}  // namespace commissioning
