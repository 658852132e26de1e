#include "tuning/pid_convention.h"

#include <cmath>

namespace pid_convention {

double span(double strs, double ends) {
    const double s = std::fabs(ends - strs);
    return std::isfinite(s) && s > 0 ? s : 0.0;
}

PidFields to_fields(const PidSettings& s, double span) {
    PidFields f;
    f.PB = s.kc > 0 && span > 0 ? 10000.0 / (s.kc * span) : 0.0;
    f.INT = s.ti > 0 ? s.ti : 0.0;
    f.DER = s.td > 0 ? s.td : 0.0;
    return f;
}

PidSettings from_fields(const PidFields& f, double span) {
    PidSettings s;
    s.kc = f.PB > 0 && span > 0 ? 10000.0 / (f.PB * span) : 0.0;
    s.ti = f.INT > 0 ? f.INT : 0.0;
    s.td = f.DER > 0 ? f.DER : 0.0;
    return s;
}

double sample_period_s(int tpid) { return tpid >= 1 && tpid <= 10 ? double(tpid) : 1.0; }

double dead_band(int dead, double span) { return dead > 0 ? dead * span / 100.0 : 0.0; }

QString describe_cs() {
    return QStringLiteral(
        "PB = pásmo proporcionality v % rozsahu STRS..ENDS, INT a DER v sekundách, "
        "ideální (neinteragující) tvar PID");
}

QString describe_en() {
    return QStringLiteral(
        "PB = proportional band in % of the range STRS..ENDS, INT and DER in seconds, "
        "ideal (non-interacting) PID");
}

}  // namespace pid_convention
