#pragma once

#include <QString>

#include "tuning/pid_convention.h"

class BusSession;

// The one place where a tuning reaches a controller, for the window and tx20ctl alike:
// PB, INT and DER of the PID table, TUNE kept as the controller holds it, each value
// checked as the parameter editor checks it, written and read back.
struct PidWrite {
    enum class Outcome { Verified, Refused, ReadFailed, WriteFailed, NotVerified };
    Outcome outcome = Outcome::ReadFailed;
    PidFields before;  // as the controller held them (valid from Refused on)
    PidFields after;   // as read back (Verified, NotVerified)
    PidFields sent;    // the values as the controller's fields hold them
    int tune = 0;      // TUNE, kept
    QString refused;   // which field and why, for Refused

    bool ok() const { return outcome == Outcome::Verified; }
};

// The values as the editor would show and store them: five significant digits, two
// decimals.
PidFields editor_rounded(const PidFields& f);

// Reads the PID table of the controller at address, writes PB, INT and DER and reads it
// back.
PidWrite write_pid_fields(BusSession& s, int address, const PidFields& wanted);
QString pid_write_text(const PidWrite& w, bool czech);

// A new set point for the controller at address, checked against its SP_L..SP_H,
// written and read back; false with the reason otherwise. sent tells whether the table
// went out (not when the reading failed, the value was refused or already in place).
bool write_set_point(BusSession& s, int address, double sp, QString* why, bool czech,
                     bool* sent = nullptr);
// The set point the controller at address holds in table 0.
bool read_set_point(BusSession& s, int address, double* sp);
