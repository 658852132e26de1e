// Any bytes as a parameter file: what loads must save and load back to the same
// controls, and a save must keep every other line of the file.
#include <QSet>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

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

// An entry line's section and key; a null key for any other line.
struct Place {
    QString section, key;
};

QList<Place> places(const QList<QByteArray>& lines) {
    QList<Place> out;
    QString section;
    for (const QByteArray& raw : lines) {
        const QString line = cp1250::decode(raw).trimmed();
        Place p;
        if (line.startsWith(QLatin1Char('['))) {
            const int close = line.indexOf(QLatin1Char(']'));
            section = (close < 0 ? line.mid(1) : line.mid(1, close - 1)).trimmed().toUpper();
        } else if (const int eq = line.indexOf(QLatin1Char('=')); eq > 0) {
            p = {section, line.left(eq).trimmed().toUpper()};
        }
        out.append(p);
    }
    return out;
}

QList<QByteArray> lines_of(const QByteArray& bytes) {
    QList<QByteArray> l = bytes.split('\n');
    l.removeLast();  // bytes() ends every line
    return l;
}

bool written_by_save(const Place& p) {
    static const QSet<QString> names = [] {
        PrivateProfile ini = PrivateProfile::from_bytes(QByteArray());
        parameter_file::write(ini, parameter_file::Contents());
        QSet<QString> s;
        for (const Place& q : places(lines_of(ini.bytes())))
            if (!q.key.isNull()) s.insert(q.section + QLatin1Char('/') + q.key);
        return s;
    }();
    return !p.key.isNull() && names.contains(p.section + QLatin1Char('/') + p.key);
}

// Every line a save has no business with stands in the saved text, in its order.
void expect_kept(const QByteArray& before, const QByteArray& after) {
    const QList<QByteArray> old = lines_of(before);
    const QList<Place> where = places(old);
    const QList<QByteArray> now = lines_of(after);
    qsizetype j = 0;
    for (qsizetype i = 0; i < old.size(); ++i) {
        if (written_by_save(where.at(i))) continue;
        while (j < now.size() && now.at(j) != old.at(i)) ++j;
        if (j == now.size())
            violated("a line the save had no business with is gone", cp1250::decode(old.at(i)));
        ++j;
    }
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

    // Saved over the same file; a file without the sections gets them added.
    PrivateProfile over = PrivateProfile::from_bytes(bytes);
    parameter_file::write(over, *loaded);
    expect_same(*loaded, PrivateProfile::from_bytes(over.bytes()), "save");
    expect_kept(normal, over.bytes());
    return 0;
}
