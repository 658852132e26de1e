#pragma once

#include <QHash>
#include <QString>
#include <optional>

#include "platform/prompts.h"

class PrivateProfile;

// The parameter file: what the editor's controls show, saved as a private-profile INI
// file and loaded back. It records edit texts unchanged and list positions (-1 for no
// selection), never DeviceData, and nothing of it goes to the controller.
namespace parameter_file {

// The first 16 characters of IDENT/VERSION must be exactly this.
inline constexpr char kSignature[] = "KELVRA20 [V.1.0]";
inline constexpr char kWrongSignature[] = "INI soubor není typu KELVRA 20 [V.1.0]";
inline constexpr char kWrongSignatureCaption[] = "INI SOUBOR";

// One control as the file records it: an edit's text or a list's position.
struct ControlContent {
    QString text;
    int position = -1;
};
// Keyed by the control's name (ed_sp, cb_rala1 ...).
using Contents = QHash<QString, ControlContent>;

FileDialogRequest save_request();
FileDialogRequest open_request();

bool signature_matches(const QString& version);

// Writes the signature and every entry in the file's order, keeping everything else
// already in the file. One atomic replace; throws FileError naming the file.
void save(const QString& file, const Contents& contents);

// Every entry of the file, its default where the file (or the whole file) lacks it;
// nothing when the signature is wrong.
std::optional<Contents> load(const QString& file);

// The same on a profile in memory; write() leaves the commit to the caller.
void write(PrivateProfile& ini, const Contents& contents);
std::optional<Contents> read(const PrivateProfile& ini);

}  // namespace parameter_file
