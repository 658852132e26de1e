#include "params/value_check.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace params {

namespace {

// Whole fields held in 32 bits travel as 16 unsigned bits; the address is one station
// of the bus.
constexpr std::int64_t kWireMax = 65535;
constexpr std::int64_t kAddressMax = 126;

Verdict refuse(Refusal r, std::int64_t low = 0, std::int64_t high = 0) {
    Verdict v;
    v.refusal = r;
    v.low = low;
    v.high = high;
    return v;
}

Verdict accept(double value) {
    Verdict v;
    v.value = value;
    return v;
}

// A decimal number written with a point or a comma, without group separators.
std::optional<double> parse_decimal(const QString& text) {
    QString t = text.trimmed();
    if (t.contains(QLatin1Char(',')) && t.contains(QLatin1Char('.'))) return std::nullopt;
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    return parse_number(t, QLocale::c());
}

bool whole(double v) { return std::isfinite(v) && v == std::trunc(v); }

}  // namespace

Verdict check_value(const ParamDef& p, double value) {
    switch (p.kind) {
        case ValueKind::Real:
            if (!std::isfinite(value) ||
                std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max()))
                return refuse(Refusal::NotANumber);
            return accept(static_cast<double>(static_cast<float>(value)));
        case ValueKind::Whole32:
        case ValueKind::Whole8: {
            if (!whole(value)) return refuse(Refusal::NotAWholeNumber);
            const std::int64_t high = p.kind == ValueKind::Whole8 ? kAddressMax : kWireMax;
            if (value < 0 || value > static_cast<double>(high))
                return refuse(Refusal::OutOfRange, 0, high);
            return accept(value);
        }
        case ValueKind::Choice8:
        case ValueKind::Choice32:
        case ValueKind::ChoicePlusOne: {
            if (!whole(value)) return refuse(Refusal::NotAWholeNumber);
            const std::int64_t low = p.kind == ValueKind::ChoicePlusOne ? 1 : 0;
            const std::int64_t high = low + p.entries.count - 1;
            if (value < static_cast<double>(low) || value > static_cast<double>(high))
                return refuse(Refusal::NotInList, low, high);
            return accept(value);
        }
    }
    return refuse(Refusal::NotANumber);
}

Verdict check_text(const ParamDef& p, const QString& text) {
    if (p.kind == ValueKind::Real) {
        const auto v = parse_decimal(text);
        if (!v) return refuse(Refusal::NotANumber);
        return check_value(p, *v);
    }
    const auto v = parse_whole(text);
    if (!v) return refuse(Refusal::NotAWholeNumber);
    return check_value(p, *v);
}

Verdict check_set_point(double sp, double sp_l, double sp_h) {
    if (!(sp_l <= sp && sp <= sp_h)) return refuse(Refusal::SetPointLimits);
    return accept(sp);
}

double field_value(const ParamDef& p, const DeviceData& d) {
    // Read only: the catalogue hands out fields of a mutable record.
    const FieldRef f = p.field(const_cast<DeviceData&>(d));
    if (f.real) return static_cast<double>(*f.real);
    return f.i32 ? *f.i32 : *f.i8;
}

void store_value(const ParamDef& p, DeviceData& d, double value) {
    const FieldRef f = p.field(d);
    if (f.real) *f.real = static_cast<float>(value);
    if (f.i32) *f.i32 = static_cast<std::int32_t>(value);
    if (f.i8) *f.i8 = static_cast<std::int8_t>(value);
}

std::vector<RefusedParam> check_table(const DeviceData& d, TableId t) {
    std::vector<RefusedParam> out;
    for (const ParamDef& p : catalogue()) {
        if (p.table() != t) continue;
        const Verdict v = check_value(p, field_value(p, d));
        if (!v.ok()) out.push_back({&p, v});
    }
    if (t == TableId::TAB_COMP) {
        const Verdict v = check_set_point(d.comp.SP, d.comp.SP_L, d.comp.SP_H);
        if (!v.ok()) out.push_back({find_control(QStringLiteral("ed_sp")), v});
    }
    return out;
}

const ParamDef* param_of_field(TableId t, const void* field, const DeviceData& d) {
    for (const ParamDef& p : catalogue()) {
        if (p.table() != t) continue;
        const FieldRef f = p.field(const_cast<DeviceData&>(d));
        const void* at = f.real  ? static_cast<const void*>(f.real)
                         : f.i32 ? static_cast<const void*>(f.i32)
                                 : static_cast<const void*>(f.i8);
        if (at == field) return &p;
    }
    return nullptr;
}

QString editor_reason(const Verdict& v) {
    switch (v.refusal) {
        case Refusal::None:
            break;
        case Refusal::NotANumber:
            return QStringLiteral("Je nutné zadávat pouze čísla nebo desetinnou čárku");
        case Refusal::NotAWholeNumber:
            return QStringLiteral("Je nutné zadávat pouze čísla");
        case Refusal::OutOfRange:
            return QStringLiteral("Je nutné zadávat pouze čísla v rozsahu %1 až %2")
                .arg(v.low)
                .arg(v.high);
        case Refusal::NotInList:
            return QStringLiteral("Seznam má jen položky %1 až %2").arg(v.low).arg(v.high);
        case Refusal::SetPointLimits:
            return QStringLiteral("Žádaná hodnota je mimo hranice nastavení");
    }
    return QString();
}

}  // namespace params
