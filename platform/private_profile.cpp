#include "platform/private_profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/atomic_file.h"
#include "platform/cp1250.h"
#include "platform/errors.h"

namespace {

// Views into the line: every lookup runs over all the lines.
bool section_name(QStringView line, QStringView* name) {
    const QStringView t = line.trimmed();
    if (!t.startsWith(u'[')) return false;
    const qsizetype close = t.indexOf(u']');
    *name = (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
    return true;
}

bool entry(QStringView line, QStringView* key, QStringView* value) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0) return false;
    *key = line.left(eq).trimmed();
    if (key->isEmpty() || key->startsWith(u'[')) return false;
    if (value) *value = line.mid(eq + 1).trimmed();
    return true;
}

bool ascii_digit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

bool hex_digit(QChar c) {
    const QChar l = c.toLower();
    return ascii_digit(c) || (l >= QLatin1Char('a') && l <= QLatin1Char('f'));
}

bool same_name(QStringView a, QStringView b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// A file line must stay one line, whatever the caller passes.
QString one_line(QString s) {
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

bool quoted(QStringView v) {
    return v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front();
}

// Reading drops blanks round a value and a pair of quotes round it; a value that would
// lose either goes into quotes of its own so it reads back as it was.
QString as_written(const QString& v) {
    if (quoted(v) || v.trimmed().size() != v.size()) return QLatin1Char('"') + v + QLatin1Char('"');
    return v;
}

}  // namespace

PrivateProfile::PrivateProfile(const QString& file) : file_(file) {
    QFile f(file);
    if (!f.exists()) return;
    if (!f.open(QIODevice::ReadOnly)) {
        unreadable_ = true;
        return;
    }
    parse(f.readAll());
}

PrivateProfile PrivateProfile::from_bytes(const QByteArray& bytes) {
    PrivateProfile p;
    p.parse(bytes);
    return p;
}

void PrivateProfile::parse(const QByteArray& bytes) {
    // Lines keep their bytes until they are rewritten, so nothing of the rest of the
    // file is lost to the code page's gaps.
    raw_ = bytes.split('\n');
    if (!raw_.isEmpty() && raw_.constLast().isEmpty()) raw_.removeLast();
    for (QByteArray& l : raw_) {
        if (l.endsWith('\r')) l.chop(1);
        lines_.append(cp1250::decode(l));
    }
}

void PrivateProfile::put_line(int index, const QString& line, bool insert) {
    if (insert) {
        lines_.insert(index, line);
        raw_.insert(index, cp1250::encode(line));
    } else {
        lines_[index] = line;
        raw_[index] = cp1250::encode(line);
    }
}

int PrivateProfile::find_section(const QString& section) const {
    QStringView name;
    for (int i = 0; i < lines_.size(); ++i)
        if (section_name(lines_.at(i), &name) && same_name(name, section)) return i;
    return -1;
}

int PrivateProfile::section_end(int header) const {
    QStringView name;
    int i = header + 1;
    while (i < lines_.size() && !section_name(lines_.at(i), &name)) ++i;
    return i;
}

int PrivateProfile::find_key(int header, const QString& key) const {
    const int end = section_end(header);
    QStringView k;
    for (int i = header + 1; i < end; ++i)
        if (entry(lines_.at(i), &k, nullptr) && same_name(k, key)) return i;
    return -1;
}

QString PrivateProfile::string(const QString& section, const QString& key,
                               const QString& def) const {
    const int header = find_section(section);
    if (header < 0) return def;
    const int at = find_key(header, key);
    if (at < 0) return def;
    QStringView k, v;
    entry(lines_.at(at), &k, &v);
    if (quoted(v)) v = v.mid(1, v.size() - 2);
    return v.left(kMaxValueLength).toString();
}

bool PrivateProfile::parse_integer(const QString& text, qint32* out) {
    const QString t = text.trimmed();
    bool ok = false;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QString digits = t.mid(2);
        if (digits.isEmpty() || digits.size() > 8) return false;
        for (const QChar c : digits)
            if (!hex_digit(c)) return false;
        const quint32 u = digits.toUInt(&ok, 16);
        if (!ok) return false;
        *out = static_cast<qint32>(u);
        return true;
    }
    for (int i = 0; i < t.size(); ++i) {
        const bool sign = i == 0 && (t.at(i) == QLatin1Char('-') || t.at(i) == QLatin1Char('+'));
        if (!ascii_digit(t.at(i)) && !sign) return false;
    }
    const qint32 v = t.toInt(&ok, 10);
    if (!ok) return false;
    *out = v;
    return true;
}

qint32 PrivateProfile::integer(const QString& section, const QString& key, qint32 def) const {
    // A key that is there but holds no integer gives def like a missing one.
    qint32 v = def;
    return parse_integer(string(section, key, QString()), &v) ? v : def;
}

void PrivateProfile::set_string(const QString& section, const QString& key, const QString& value) {
    const QString v = as_written(one_line(value));
    const int header = find_section(section);
    if (header < 0) {
        put_line(lines_.size(), QLatin1Char('[') + section + QLatin1Char(']'), true);
        put_line(lines_.size(), key + QLatin1Char('=') + v, true);
        return;
    }
    const int at = find_key(header, key);
    if (at >= 0) {
        QStringView k;
        entry(lines_.at(at), &k, nullptr);
        put_line(at, k.toString() + QLatin1Char('=') + v, false);
        return;
    }
    // After the last line of the section that is not blank.
    int insert = section_end(header);
    while (insert > header + 1 && lines_.at(insert - 1).trimmed().isEmpty()) --insert;
    put_line(insert, key + QLatin1Char('=') + v, true);
}

void PrivateProfile::set_integer(const QString& section, const QString& key, qint32 value) {
    set_string(section, key, QString::number(value));
}

QByteArray PrivateProfile::bytes() const {
    QByteArray out;
    for (const QByteArray& l : raw_) {
        out.append(l);
        out.append("\r\n");
    }
    return out;
}

void PrivateProfile::commit() const {
    const auto fail = [this] {
        throw FileError(
            QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(file_)));
    };
    const QFileInfo info(file_);
    // A read-only file stays as it is, as it would on Windows (for administrators too).
    const auto write_bits =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (unreadable_ || (info.exists() && (!info.isFile() || !info.isWritable() ||
                                          !(info.permissions() & write_bits))))
        fail();
    const QByteArray text = bytes();
    if (!AtomicFile::write(file_, {QByteArrayView(text)}, nullptr)) fail();
}

QString PrivateProfile::read_string(const QString& file, const QString& section, const QString& key,
                                    const QString& def) {
    return PrivateProfile(file).string(section, key, def);
}

qint32 PrivateProfile::read_int(const QString& file, const QString& section, const QString& key,
                                qint32 def) {
    return PrivateProfile(file).integer(section, key, def);
}

void PrivateProfile::write_string(const QString& file, const QString& section, const QString& key,
                                  const QString& value) {
    PrivateProfile p(file);
    p.set_string(section, key, value);
    p.commit();
}

void PrivateProfile::write_int(const QString& file, const QString& section, const QString& key,
                               qint32 value) {
    PrivateProfile p(file);
    p.set_integer(section, key, value);
    p.commit();
}
