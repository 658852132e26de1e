// Any bytes as a parameter file: what loads must save and load back to the same
// controls, and a save must keep every other entry of the file as it read.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QSet>

#include "params/parameter_file.h"
#include "platform/cp1250.h"
#include "platform/private_profile.h"

namespace {

[[noreturn]] void violated(const char* what, const QString& detail = QString()) {
    std::fprintf(stderr, "invariant violated: %s %s\n", what, detail.toUtf8().constData());
    std::abort();
}

// What a text becomes on its way through the file: a value stays on its line, and
// the code page holds what it holds.
QString through_the_file(QString s) {
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return cp1250::decode(cp1250::encode(s));
}

void expect_same(const parameter_file::Contents& before, const PrivateProfile& after,
                 const char* what) {
    const std::optional<parameter_file::Contents> again = parameter_file::read(after);
    if (!again) violated(what, QStringLiteral("saved file lost its signature"));
    if (again->size() != before.size()) violated(what, QStringLiteral("entry count"));
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const parameter_file::ControlContent& b = it.value();
        const parameter_file::ControlContent a = again->value(it.key());
        if (a.position != b.position) violated(what, it.key());
        if (a.text != through_the_file(b.text))
            violated(what, it.key() + QStringLiteral(": [") + b.text + QStringLiteral("] -> [") +
                               a.text + QLatin1Char(']'));
    }
}

// Section and key names as a reader of the file would find them; the profile itself
// decides what they read.
QList<QPair<QString, QString>> names_in(const QByteArray& bytes) {
    QList<QPair<QString, QString>> out;
    QString section;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = cp1250::decode(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            const int close = line.indexOf(QLatin1Char(']'));
            section = (close < 0 ? line.mid(1) : line.mid(1, close - 1)).trimmed();
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0) out.append({section, line.left(eq).trimmed()});
    }
    return out;
}

bool written_by_save(const QString& section, const QString& key) {
    static const QSet<QString> names = [] {
        QSet<QString> s{QStringLiteral("IDENT/VERSION")};
        PrivateProfile p = PrivateProfile::from_bytes(QByteArray());
        parameter_file::write(p, parameter_file::Contents());
        for (const auto& n : names_in(p.bytes())) s.insert((n.first + '/' + n.second).toUpper());
        return s;
    }();
    return names.contains((section + QLatin1Char('/') + key).toUpper());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const PrivateProfile file = PrivateProfile::from_bytes(bytes);

    // Reading and writing back untouched changes nothing but the line ends.
    const QByteArray normal = file.bytes();
    if (PrivateProfile::from_bytes(normal).bytes() != normal)
        violated("an untouched profile changed on a second pass");

    const std::optional<parameter_file::Contents> loaded = parameter_file::read(file);
    if (!loaded) return 0;

    // Saved over the same file.
    PrivateProfile over = PrivateProfile::from_bytes(bytes);
    parameter_file::write(over, *loaded);
    const PrivateProfile reread = PrivateProfile::from_bytes(over.bytes());
    expect_same(*loaded, reread, "save over the file");
    const QString absent = QStringLiteral("\x01absent");
    for (const auto& n : names_in(bytes)) {
        if (written_by_save(n.first, n.second)) continue;
        if (file.string(n.first, n.second, absent) != reread.string(n.first, n.second, absent))
            violated("another entry changed", n.first + QLatin1Char('/') + n.second);
    }

    // Saved as a new file.
    PrivateProfile fresh = PrivateProfile::from_bytes(QByteArray());
    parameter_file::write(fresh, *loaded);
    expect_same(*loaded, PrivateProfile::from_bytes(fresh.bytes()), "save as a new file");
    return 0;
}
