#include "tools/tx20ctl/ctl_tr.h"

QString refusal_text(const params::Verdict& v) {
    using params::Refusal;
    switch (v.refusal) {
        case Refusal::None:
            break;
        case Refusal::NotANumber:
            return Ctl::tr("a decimal number is expected, with a decimal point or comma");
        case Refusal::NotAWholeNumber:
            return Ctl::tr("a whole number is expected");
        case Refusal::OutOfRange:
            return Ctl::tr("the value must lie in %1..%2").arg(v.low).arg(v.high);
        case Refusal::NotInList:
            return Ctl::tr("the list has the positions %1..%2 only").arg(v.low).arg(v.high);
        case Refusal::SetPointLimits:
            return Ctl::tr("the set point lies outside its limits");
    }
    return QString();
}
