#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

#include "bus/identification.h"
#include "comm/device_data.h"
#include "params/catalogue.h"
#include "params/value_check.h"

class BusSession;

// The 36 parameters of one controller or one parameter file, held as the controller
// holds them: tables 0..8 after the editor's conversions and the wire coding.
namespace commissioning {

constexpr int kParamCount = 36;

// Where a set came from: a parameter file or a controller at an address.
struct Source {
    QString file;      // empty for a controller
    int address = -1;  // -1 for a file
    bool is_file() const { return address < 0; }
    QString text() const;  // the file name, or "@N"
};

struct ParameterSet {
    Source source;
    DeviceData data;
    // A parameter a file does not carry (TEAC) is absent and never compared or written.
    std::array<bool, kParamCount> present{};
    // A file value the editor would refuse: its text as the file has it and why.
    std::array<QString, kParamCount> refused_text{};
    std::array<QString, kParamCount> refused_reason{};
    std::array<params::Verdict, kParamCount> refused_verdict{};
    // Identification of a controller source.
    QString type_text;
    QString version_text;

    bool refused(int i) const { return !refused_reason[static_cast<std::size_t>(i)].isEmpty(); }
    bool has(int i) const { return present[static_cast<std::size_t>(i)]; }
    // Marks parameter i refused, keeping a text already noted.
    void refuse(int i, const params::Verdict& v);
    // The value as the editor shows it: a real's text, a whole number, a list entry.
    QString shown(int i) const;
    // The value as the parameter file holds it: the edit text or the list position.
    QString file_value(int i) const;
};

// The catalogue entry of parameter i (0..35) and its "SECTION/KEY" name.
const params::ParamDef& param(int i);
QString param_key(int i);
int param_index(const params::ParamDef& p);

// A parameter file read with the program's reader. Missing sections or keys, a wrong
// signature and an unreadable file give nothing, with the reasons in errors; a value
// the editor would refuse (or that the controller could not hold) is kept as refused.
std::optional<ParameterSet> load_file(const QString& path, QStringList* errors);

// Marks every value of the set that the editor's rules refuse (params::check_value and
// the set-point rule); done by load_file, and before a clone from any source.
void mark_refusals(ParameterSet& set);

// Fills the set from a controller: identification as the parameter reading does it
// (only the supported model), then tables 0..8. Nothing on failure, with the reason
// ("Chyba při čtení nebo neznámé zřízení", "Identifikováno zařízení typu KRT 01",
// "Chyba při čtení").
std::optional<ParameterSet> read_controller(BusSession& s, int address, QString* error);

// The parameter file "Uložit..." writes after a complete reading: every edit as its
// field shows it, every list at its field's position.
void save_backup(const QString& path, const DeviceData& d);

// Whether parameter i differs between two sets; a parameter absent from either is
// never a difference, a refused one always is.
bool differs(const ParameterSet& a, const ParameterSet& b, int i);
std::vector<int> differences(const ParameterSet& a, const ParameterSet& b);

// Texts shared by the window, the report and the command line.
using ::kOlderModel;
using ::kUnknownDevice;
inline constexpr char kReadError[] = "Chyba při čtení";

}  // namespace commissioning
