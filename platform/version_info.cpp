#include "platform/version_info.h"

#include "version_config.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <cwchar>
#include <string>
#include <vector>
#endif

namespace version_info {

VersionRecord compiled_record() {
    VersionRecord r;
    r.CompanyName = QStringLiteral(TX20_COMPANY_NAME);
    r.FileDescription = QStringLiteral(TX20_FILE_DESCRIPTION);
    r.FileVersion = QStringLiteral(TX20_VERSION_TEXT);
    r.InternalName = QStringLiteral(TX20_INTERNAL_NAME);
    r.LegalCopyright = QStringLiteral(TX20_LEGAL_COPYRIGHT);
    r.OriginalFilename = QStringLiteral(TX20_ORIGINAL_FILENAME);
    r.ProductName = QStringLiteral(TX20_PRODUCT_NAME);
    r.ProductVersion = QStringLiteral(TX20_PRODUCT_VERSION);
    return r;
}

#ifdef Q_OS_WIN

namespace {

std::wstring own_executable_path() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return std::wstring(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

}  // namespace

std::optional<QString> program_value(const QString& table, const QString& name) {
    const std::wstring path = own_executable_path();
    if (path.empty()) return std::nullopt;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return std::nullopt;
    std::vector<unsigned char> buf(size + 1);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, buf.data())) return std::nullopt;
    const QString sub = QStringLiteral("\\StringFileInfo\\%1\\%2").arg(table, name);
    void* value = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(buf.data(), reinterpret_cast<LPCWSTR>(sub.utf16()), &value, &len) ||
        value == nullptr)
        return std::nullopt;
    // len counts characters and may include the terminating zero.
    const auto* text = static_cast<const wchar_t*>(value);
    return QString::fromWCharArray(text, static_cast<qsizetype>(wcsnlen(text, len)));
}

#else

std::optional<QString> program_value(const QString& table, const QString& name) {
    // Lookups by table and name ignore case, as the Windows version service does.
    if (table.compare(QLatin1String(kStringTable), Qt::CaseInsensitive) != 0) return std::nullopt;
    const VersionRecord r = compiled_record();
    const std::pair<const char*, const QString*> values[] = {
        {"CompanyName", &r.CompanyName},       {"FileDescription", &r.FileDescription},
        {"FileVersion", &r.FileVersion},       {"InternalName", &r.InternalName},
        {"LegalCopyright", &r.LegalCopyright}, {"OriginalFilename", &r.OriginalFilename},
        {"ProductName", &r.ProductName},       {"ProductVersion", &r.ProductVersion},
    };
    for (const auto& [key, value] : values)
        if (name.compare(QLatin1String(key), Qt::CaseInsensitive) == 0) return *value;
    return std::nullopt;
}

#endif

}  // namespace version_info
