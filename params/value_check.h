#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "comm/device_data.h"
#include "params/catalogue.h"

// What the parameter editor lets a controller be given, for every writer that is not the
// editor (the command line, the clone, tuning): a value the editor could not have put
// into a field, or that the controller would hold as something else, is refused with a
// reason, and nothing is written.
namespace params {

enum class Refusal {
    None,
    NotANumber,       // a real that is no decimal number fitting a float
    NotAWholeNumber,  // a whole number or list position with a fraction or letters
    OutOfRange,       // a whole number the field does not hold as given (low..high)
    NotInList,        // a list position without an entry (low..high are the valid ones)
    SetPointLimits,   // SP outside SP_L..SP_H
};

struct Verdict {
    Refusal refusal = Refusal::None;
    double value = 0;  // as the field holds it: a float's value, a whole number, a position
    std::int64_t low = 0;
    std::int64_t high = 0;

    bool ok() const { return refusal == Refusal::None; }
};

// A value text for p, with a decimal point or a decimal comma. Lists take the value the
// field holds: the position, for TPID the number shown.
Verdict check_text(const ParamDef& p, const QString& text);
// A value for p as its field would hold it.
Verdict check_value(const ParamDef& p, double value);
// The set-point rule: SP_L <= SP <= SP_H, equality allowed.
Verdict check_set_point(double sp, double sp_l, double sp_h);

// The value p's field holds in d.
double field_value(const ParamDef& p, const DeviceData& d);
// Stores a value that check_value accepted.
void store_value(const ParamDef& p, DeviceData& d, double value);

struct RefusedParam {
    const ParamDef* param;
    Verdict verdict;
};
// Every parameter of table t as d holds it, then the set-point rule (reported on SP).
std::vector<RefusedParam> check_table(const DeviceData& d, TableId t);

// The catalogue entry of a DeviceData field of table t, or nullptr (RESV has none).
const ParamDef* param_of_field(TableId t, const void* field, const DeviceData& d);

// The reason in the editor's words ("Je nutné zadávat pouze čísla", ...).
QString editor_reason(const Verdict& v);

}  // namespace params
