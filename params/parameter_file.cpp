#include "params/parameter_file.h"

#include "params/catalogue.h"
#include "platform/private_profile.h"

namespace parameter_file {

namespace {

const QString kIdentSection = QStringLiteral("IDENT");
const QString kVersionKey = QStringLiteral("VERSION");

QString section_of(const params::ParamDef& p) {
    return QString::fromLatin1(params::tab(p.tab).ini_section);
}

FileDialogRequest request(const char* filter) {
    FileDialogRequest r;
    r.file_name = QStringLiteral("Kelvra20");
    r.default_suffix = QStringLiteral("INI");
    r.filters = {QString::fromUtf8(filter) + QStringLiteral(" (*.ini)")};
    r.hide_read_only = true;
    return r;
}

}  // namespace

FileDialogRequest save_request() {
    FileDialogRequest r = request("Parametry regulátoru[*.ini]");
    r.overwrite_prompt = true;
    return r;
}

FileDialogRequest open_request() {
    // The chosen file need not exist: a new name loads the defaults.
    return request("Parametry regulátoru [*.ini]");
}

bool signature_matches(const QString& version) {
    return version.left(16) == QLatin1String(kSignature);
}

void save(const QString& file, const Contents& contents) {
    PrivateProfile ini(file);
    write(ini, contents);
    ini.commit();
}

std::optional<Contents> load(const QString& file) { return read(PrivateProfile(file)); }

void write(PrivateProfile& ini, const Contents& contents) {
    ini.set_string(kIdentSection, kVersionKey, QString::fromLatin1(kSignature));
    for (const params::ParamDef* p : params::file_entries()) {
        const ControlContent c = contents.value(QLatin1String(p->control));
        const QString key = QString::fromLatin1(p->ini_key);
        if (params::is_list(p->kind))
            ini.set_integer(section_of(*p), key, c.position);
        else
            ini.set_string(section_of(*p), key, c.text);
    }
}

std::optional<Contents> read(const PrivateProfile& ini) {
    const QString signature = QString::fromLatin1(kSignature);
    if (!signature_matches(ini.string(kIdentSection, kVersionKey, signature))) return std::nullopt;
    Contents out;
    for (const params::ParamDef* p : params::file_entries()) {
        const QString key = QString::fromLatin1(p->ini_key);
        ControlContent c;
        if (params::is_list(p->kind))
            c.position = ini.integer(section_of(*p), key, p->file_default.position);
        else
            c.text = ini.string(section_of(*p), key, QString::fromUtf8(p->file_default.text));
        out.insert(QLatin1String(p->control), c);
    }
    return out;
}

}  // namespace parameter_file
