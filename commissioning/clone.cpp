#include "commissioning/clone.h"

#include <set>

#include "bus/bus_session.h"

namespace commissioning {

namespace {

const params::ParamDef& def_of(const char* control) {
    return *params::find_control(QLatin1String(control));
}

// Copies parameter i's field from one record to another.
void copy_field(const params::ParamDef& p, const DeviceData& from, DeviceData& to) {
    const params::FieldRef src = p.field(const_cast<DeviceData&>(from));
    const params::FieldRef dst = p.field(to);
    if (src.real) *dst.real = *src.real;
    if (src.i32) *dst.i32 = *src.i32;
    if (src.i8) *dst.i8 = *src.i8;
}

}  // namespace

bool clone_writes(int i, const CloneOptions& o) {
    const params::ParamDef& p = param(i);
    if (&p == &def_of("ed_adresa")) return false;
    if (&p == &def_of("ed_pass")) return o.with_password;
    return true;
}

std::vector<int> plan_tables(const ParameterSet& reference, const ParameterSet& target,
                             const CloneOptions& o) {
    std::set<int> tables;
    for (int i : differences(reference, target))
        if (clone_writes(i, o)) tables.insert(static_cast<int>(param(i).table()));
    return {tables.begin(), tables.end()};
}

DeviceData planned_data(const ParameterSet& reference, const ParameterSet& target,
                        const CloneOptions& o) {
    DeviceData d = target.data;
    for (int i = 0; i < kParamCount; ++i)
        if (clone_writes(i, o) && reference.has(i) && !reference.refused(i))
            copy_field(param(i), reference.data, d);
    // As the editor sends it with every write of its tab.
    d.rego.RESV = 0;
    return d;
}

std::vector<int> counted_differences(const ParameterSet& a, const ParameterSet& b,
                                     const CloneOptions& o) {
    std::vector<int> out;
    for (int i : differences(a, b))
        if (clone_writes(i, o)) out.push_back(i);
    return out;
}

QString PlannedChange::text() const {
    return QStringLiteral("%1: %2 -> %3").arg(param_key(param), from, to);
}

std::vector<int> blocking_refusals(const ParameterSet& reference, const CloneOptions& o) {
    std::vector<int> out;
    for (int i = 0; i < kParamCount; ++i)
        if (clone_writes(i, o) && reference.refused(i)) out.push_back(i);
    return out;
}

QString TargetResult::status_text() const {
    switch (outcome) {
        case Outcome::Verified:
            return QStringLiteral("ověřeno");
        case Outcome::NotVerified: {
            QStringList keys;
            for (int i : mismatched) keys << param_key(i);
            QString t = QStringLiteral("neověřeno");
            if (!failure.isEmpty()) t += QStringLiteral(": ") + failure;
            if (!keys.isEmpty()) t += QStringLiteral(" (") + keys.join(QStringLiteral(", ")) + ')';
            return t;
        }
        case Outcome::Failed:
            return failure;
        case Outcome::Planned:
            return QStringLiteral("bez zápisu (zkouška)");
        case Outcome::Skipped:
            break;
    }
    return QStringLiteral("přerušeno");
}

TargetResult clone_target(BusSession& s, int address, const ParameterSet& reference,
                          const CloneOptions& o) {
    TargetResult res;
    res.address = address;
    const DeviceIdentity id = identify(s, address);
    res.type_text = id.type_text;
    if (!id.supported()) {
        res.outcome = TargetResult::Outcome::Failed;
        res.failure = id.refusal();
        return res;
    }
    res.identified = true;
    ParameterSet target;
    target.source.address = address;
    target.present.fill(true);
    for (int t = 0; t < kParameterTableCount; ++t) {
        if (!s.read(address, t, target.data)) {
            res.outcome = TargetResult::Outcome::Failed;
            res.failure = QString::fromUtf8(kReadError);
            return res;
        }
    }
    res.tables_planned = plan_tables(reference, target, o);
    for (int i : counted_differences(reference, target, o))
        res.changes.push_back({i, target.shown(i), reference.shown(i)});
    if (o.dry_run) {
        res.outcome = TargetResult::Outcome::Planned;
        return res;
    }

    // Anything that goes wrong from here on may have changed the controller: it is
    // reported as not verified, never as merely failed.
    const DeviceData planned = planned_data(reference, target, o);
    for (int t : res.tables_planned) {
        if (!s.write(address, t, planned)) {
            res.outcome = TargetResult::Outcome::NotVerified;
            res.failure = QStringLiteral("Chyba při zápisu (tabulka %1)").arg(t);
            return res;
        }
        res.tables_written.push_back(t);
    }
    if (o.eeprom && !s.store_eeprom(address)) {
        res.outcome = TargetResult::Outcome::NotVerified;
        res.failure = QStringLiteral("Chyba při zápisu do EEPROM");
        return res;
    }
    // Read back what was written; the other tables matched already.
    ParameterSet back = target;
    for (int t : res.tables_written) {
        if (!s.read(address, t, back.data)) {
            res.outcome = TargetResult::Outcome::NotVerified;
            res.failure = QString::fromUtf8(kReadError);
            return res;
        }
    }
    for (int i : differences(reference, back))
        if (clone_writes(i, o)) res.mismatched.push_back(i);
    res.outcome = res.mismatched.empty() ? TargetResult::Outcome::Verified
                                         : TargetResult::Outcome::NotVerified;
    return res;
}

QString tables_text(const std::vector<int>& tables) {
    if (tables.empty()) return QStringLiteral("žádná");
    QStringList parts;
    for (int t : tables) {
        QString name = QString::number(t);
        for (const params::TabDef& tab : params::tabs())
            if (static_cast<int>(tab.table) == t) name = QString::fromLatin1(tab.caption);
        parts << name;
    }
    return parts.join(QStringLiteral(", "));
}

}  // namespace commissioning
