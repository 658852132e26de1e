#pragma once

#include <QString>
#include <optional>

// The program's version record. On Windows it is the version resource of the program's
// own executable file; elsewhere the same values are compiled in. Both come from the
// project version of the build.
namespace version_info {

// The one string table the record carries: Czech (0x0405), code page 1250 (0x04E2).
inline constexpr char kStringTable[] = "040504E2";

struct VersionRecord {
    QString CompanyName;
    QString FileDescription;
    QString FileVersion;
    QString InternalName;
    QString LegalCopyright;
    QString OriginalFilename;
    QString ProductName;
    QString ProductVersion;
};

// The values the build gives the record.
VersionRecord compiled_record();

// The string value "\StringFileInfo\<table>\<name>" of the program's own version
// record; nothing when the record, the table or the value is missing.
std::optional<QString> program_value(const QString& table, const QString& name);

}  // namespace version_info
