#pragma once

#include <QString>

// A PID controller as control textbooks write it: ideal (non-interacting) form
// u = Kc (e + 1/Ti ∫e dt + Td de/dt), Kc in % of control action per unit of the
// measured value, Ti and Td in seconds; Ti 0 means no integral action.
struct PidSettings {
    double kc = 0;
    double ti = 0;
    double td = 0;
};

// The controller's own fields of the PID table.
struct PidFields {
    double PB = 0;
    double INT = 0;
    double DER = 0;
};

// How TX-20 reads the controller's PID fields. The controller's manual does not say,
// so this is the one place that decides, for the tuning proposal, its prediction and
// the simulated controller alike:
//   PB   proportional band in % of the sensor span ENDS - STRS: an error of PB % of
//        the span moves the control action by 100 %, so Kc = 10000 / (PB * span);
//   INT  integral time Ti in seconds, 0 = no integral action;
//   DER  derivative time Td in seconds, 0 = none;
//   TPID the controller's sampling period in seconds;
//   DEAD a dead band of the error in % of the span, inside which the action holds.
// The band and the times are what controllers of this class show on their own
// keypads; the ideal form is the one they compute.
namespace pid_convention {

// |ENDS - STRS|; 0 when the range is unusable (equal ends, not finite).
double span(double strs, double ends);
PidFields to_fields(const PidSettings& s, double span);
PidSettings from_fields(const PidFields& f, double span);
// TPID 1..10 in seconds; anything else is taken as 1 s.
double sample_period_s(int tpid);
// DEAD in % of the span, as measured-value units.
double dead_band(int dead, double span);

// One line naming the convention, for the window and for tx20ctl.
QString describe_cs();
QString describe_en();

}  // namespace pid_convention
