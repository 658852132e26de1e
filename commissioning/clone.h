#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "commissioning/parameter_set.h"

class BusSession;

// Putting one reference set onto many controllers, each read back and compared.
namespace commissioning {

struct CloneOptions {
    bool eeprom = false;         // commit to EEPROM after the writes
    bool with_password = false;  // OSTAT/PASS goes too
    bool dry_run = false;        // identify, read and plan; write nothing
};

// Whether the clone may write parameter i. The address never goes: two controllers on
// one address break the bus. The password goes only when asked for.
bool clone_writes(int i, const CloneOptions& o);

// The parameter tables (0..7) in which the target differs from the reference in a
// parameter the clone writes, in ascending order.
std::vector<int> plan_tables(const ParameterSet& reference, const ParameterSet& target,
                             const CloneOptions& o);
// The reference's values the clone writes, over the target's own for the rest.
DeviceData planned_data(const ParameterSet& reference, const ParameterSet& target,
                        const CloneOptions& o);
// The differences that count for a clone: those in parameters it writes. The others
// (the address, the password without the option) are shown but not counted.
std::vector<int> counted_differences(const ParameterSet& a, const ParameterSet& b,
                                     const CloneOptions& o);
// Parameters the clone would write that the reference cannot give (refused values).
std::vector<int> blocking_refusals(const ParameterSet& reference, const CloneOptions& o);

// One value a clone changes on a target: its parameter, as the target holds it and as
// the reference gives it, both as the editor shows them.
struct PlannedChange {
    int param = 0;
    QString from;
    QString to;
    QString text() const;  // "COMP/SP: 55,00 -> 40,00"
};

struct TargetResult {
    enum class Outcome { Verified, NotVerified, Failed, Planned, Skipped };
    int address = 0;
    Outcome outcome = Outcome::Skipped;
    bool identified = false;
    QString type_text;
    std::vector<int> tables_planned;
    std::vector<PlannedChange> changes;  // what the plan changes, parameter by parameter
    std::vector<int> tables_written;
    std::vector<int> mismatched;  // parameters whose read-back differs
    QString failure;              // the reason of a failure

    bool verified() const { return outcome == Outcome::Verified; }
    // "ověřeno", "neověřeno: ...", the failure, "bez zápisu (zkouška)", "přerušeno".
    QString status_text() const;
};

// One target: identify, read tables 0..8, write the differing tables, optionally
// commit, read the written tables back and compare.
TargetResult clone_target(BusSession& s, int address, const ParameterSet& reference,
                          const CloneOptions& o);

// The tables by their tabs' captions, "COMP, PID", or "žádná".
QString tables_text(const std::vector<int>& tables);

}  // namespace commissioning
