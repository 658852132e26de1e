#include "platform/settings_store.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <map>
#include <vector>

#include "platform/atomic_file.h"

namespace {

#ifndef Q_OS_WIN
QString user_store_path() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(dir).filePath(QStringLiteral("TavTx20.ini"));
}
#endif

QString key(const QString& section, const QString& name) {
    return section + QLatin1Char('/') + name;
}

// Every value of the store is a text. Anything else (a typed value, a list that an
// unquoted comma makes of a hand-edited line, a registry number) is treated as missing.
bool is_text(const QVariant& v) { return v.typeId() == QMetaType::QString; }

#ifndef Q_OS_WIN
// The line the store itself writes for name=value in a section, so that an entry put
// in by hand-editing reads back exactly as written.
bool settings_line(const QString& name, const QString& value, QByteArray* line) {
    QTemporaryDir dir;
    if (!dir.isValid()) return false;
    const QString path = dir.filePath(QStringLiteral("entry.ini"));
    {
        QSettings s(path, QSettings::IniFormat);
        s.setValue(key(QStringLiteral("S"), name), value);
        s.sync();
        if (s.status() != QSettings::NoError) return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray prefix = name.toUtf8() + '=';
    for (const QByteArray& l : f.readAll().split('\n')) {
        if (l.startsWith(prefix)) {
            *line = l;
            return true;
        }
    }
    return false;
}

QByteArray line_end(const QByteArray& l) {
    if (l.endsWith("\r\n")) return QByteArrayLiteral("\r\n");
    return l.endsWith('\n') ? QByteArrayLiteral("\n") : QByteArray();
}

// Sets (line given) or removes (line null) the entry name of section in INI text,
// leaving every other byte alone. Later duplicates of the entry are dropped, since
// they would hide the new value.
QByteArray edit_ini_entry(const QByteArray& text, const QByteArray& section, const QByteArray& name,
                          const QByteArray* line) {
    const QByteArray eol =
        text.contains("\r\n") ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    const QByteArray header = '[' + section + ']';
    std::vector<QByteArray> out;
    qsizetype anchor = -1;  // a new entry goes after this line of the first such section
    bool seen = false;
    bool in_section = false;
    bool in_first = false;
    bool done = false;
    for (qsizetype from = 0; from < text.size();) {
        qsizetype next = text.indexOf('\n', from);
        next = next < 0 ? text.size() : next + 1;
        const QByteArray l = text.mid(from, next - from);
        from = next;
        const QByteArray t = l.trimmed();
        if (t.startsWith('[')) {
            in_section = t == header;
            in_first = in_section && !seen;
            seen = seen || in_section;
            out.push_back(l);
            if (in_first) anchor = static_cast<qsizetype>(out.size()) - 1;
            continue;
        }
        const qsizetype eq = t.indexOf('=');
        if (in_section && eq > 0 && t.left(eq).trimmed() == name) {
            if (line && !done) out.push_back(*line + line_end(l));
            done = true;
            continue;
        }
        out.push_back(l);
        if (in_first && !t.isEmpty()) anchor = static_cast<qsizetype>(out.size()) - 1;
    }
    if (line && !done && anchor >= 0) {
        if (line_end(out[static_cast<size_t>(anchor)]).isEmpty())
            out[static_cast<size_t>(anchor)] += eol;
        out.insert(out.begin() + anchor + 1, *line + eol);
    }
    QByteArray result;
    for (const QByteArray& l : out) result += l;
    if (line && !done && anchor < 0) {
        if (!result.isEmpty() && !result.endsWith('\n')) result += eol;
        if (!result.isEmpty()) result += eol;
        result += header + eol + *line + eol;
    }
    return result;
}
#endif

}  // namespace

SettingsStore::SettingsStore() {
#ifdef Q_OS_WIN
    settings_ = std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\TavTx20"),
                                            QSettings::NativeFormat);
#else
    open_ini(user_store_path());
#endif
}

SettingsStore::SettingsStore(const QString& ini_path) { open_ini(ini_path); }

SettingsStore::~SettingsStore() { sync(); }

namespace {

bool read_all(const QString& path, QByteArray* bytes) {
    QFile f(path);
    if (!f.exists()) {
        bytes->clear();
        return true;
    }
    if (!f.open(QIODevice::ReadOnly)) return false;
    *bytes = f.readAll();
    return true;
}

// Puts bytes into the private copy so that QSettings takes them as a change on disk
// (it compares size and time stamp) and merges its pending values on top.
bool put_shadow(const QString& shadow, const QByteArray& bytes) {
    const QDateTime before = QFileInfo(shadow).lastModified();
    QFile f(shadow);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    if (before.isValid() && QFileInfo(shadow).lastModified() == before) {
        QFile t(shadow);
        if (t.open(QIODevice::ReadWrite))
            t.setFileTime(before.addSecs(1), QFileDevice::FileModificationTime);
    }
    return true;
}

}  // namespace

struct SettingsShadow {
    QString file;
    QByteArray on_disk;  // the user's file as last read or written
};

namespace {

// Takes in what another program (or a store on the file itself) wrote since.
bool refresh(SettingsShadow& shadow, const QString& path) {
    QByteArray now;
    if (!read_all(path, &now)) return false;
    if (now == shadow.on_disk) return true;
    if (!put_shadow(shadow.file, now)) return false;
    shadow.on_disk = now;
    return true;
}

// Null when no private copy can be made; the store then works on the file itself.
SettingsShadow* shadow_of(const QString& path) {
    static QMutex mutex;
    static QTemporaryDir dir;
    static std::map<QString, SettingsShadow> shadows;
    const QMutexLocker locker(&mutex);
    const QString key = QFileInfo(path).absoluteFilePath();
    const auto found = shadows.find(key);
    if (found != shadows.end()) return refresh(found->second, path) ? &found->second : nullptr;
    if (!dir.isValid()) return nullptr;
    SettingsShadow s;
    s.file = dir.filePath(QStringLiteral("%1.ini").arg(shadows.size()));
    if (!read_all(path, &s.on_disk) || !put_shadow(s.file, s.on_disk)) return nullptr;
    return &shadows.emplace(key, std::move(s)).first->second;
}

}  // namespace

void SettingsStore::open_ini(const QString& path) {
    path_ = path;
    shadow_ = shadow_of(path);
    settings_ = std::make_unique<QSettings>(shadow_ ? shadow_->file : path, QSettings::IniFormat);
}

// Lets QSettings merge the pending values into the file as it is on disk now, and
// replaces the user's file only when its text changed.
bool SettingsStore::sync_ini() {
    QLockFile lock(path_ + QStringLiteral(".lock"));  // the lock QSettings takes
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()) || !lock.tryLock(5000)) return false;
    if (!refresh(*shadow_, path_)) return false;
    settings_->sync();
    if (settings_->status() == QSettings::AccessError) return false;
    QByteArray merged;
    if (!read_all(shadow_->file, &merged)) return false;
    if (merged == shadow_->on_disk) return true;
    if (!AtomicFile::write(path_, {QByteArrayView(merged)}, nullptr)) return false;
    shadow_->on_disk = merged;
    return true;
}

qint32 SettingsStore::read_int(const QString& section, const QString& name, qint32 def) const {
    const QVariant v = settings_->value(key(section, name));
    if (!is_text(v)) return def;
    bool ok = false;
    const qint32 n = v.toString().trimmed().toInt(&ok, 10);
    return ok ? n : def;
}

void SettingsStore::write_int(const QString& section, const QString& name, qint32 value) {
    settings_->setValue(key(section, name), QString::number(value));
}

QString SettingsStore::read_string(const QString& section, const QString& name,
                                   const QString& def) const {
    const QVariant v = settings_->value(key(section, name));
    return is_text(v) ? v.toString() : def;
}

void SettingsStore::write_string(const QString& section, const QString& name,
                                 const QString& value) {
    settings_->setValue(key(section, name), value);
}

bool SettingsStore::sync() {
    if (shadow_) return sync_ini();
    settings_->sync();
    // A malformed file still reads and is rewritten whole; only a failed write counts.
    return settings_->status() != QSettings::AccessError;
}

QString SettingsStore::port_device(const QString& com_name) const {
#ifdef Q_OS_WIN
    return com_name;
#else
    bool ok = false;
    const int n = com_name.mid(3).toInt(&ok);
    const QString def = ok && n >= 1 ? QStringLiteral("/dev/ttyS%1").arg(n - 1) : com_name;
    return read_string(QStringLiteral("PORTMAP"), com_name, def);
#endif
}

QString SettingsStore::location() const { return shadow_ ? path_ : settings_->fileName(); }

bool SettingsStore::set_port_device(const QString& com_name, const QString& device,
                                    QString* error) {
    const QString entry = key(QStringLiteral("PORTMAP"), com_name);
#ifdef Q_OS_WIN
    if (device.isEmpty())
        settings_->remove(entry);
    else
        settings_->setValue(entry, device);
    if (sync()) return true;
    *error = QStringLiteral("cannot write the settings");
    return false;
#else
    // QSettings would rewrite the whole file in its own order and drop comments and
    // lines it does not understand, so the one entry is edited in the text instead.
    if (!sync()) {
        *error = QStringLiteral("cannot write %1").arg(location());
        return false;
    }
    const QString path = location();
    const auto fail = [&](const QString& why) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, why);
        return false;
    };
    QByteArray line;
    if (!device.isEmpty() && !settings_line(com_name, device, &line))
        return fail(QStringLiteral("no temporary folder"));
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(QStringLiteral("cannot create its folder"));
    // The same lock QSettings takes, so a running program's save does not interleave.
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(5000)) return fail(QStringLiteral("the file is locked"));
    QByteArray text;
    QFile in(path);
    if (in.exists()) {
        if (!in.open(QIODevice::ReadOnly)) return fail(in.errorString());
        text = in.readAll();
        in.close();
    }
    const QByteArray edited = edit_ini_entry(text, QByteArrayLiteral("PORTMAP"), com_name.toUtf8(),
                                             device.isEmpty() ? nullptr : &line);
    if (edited != text) {
        QString reason;
        if (!AtomicFile::write(path, {QByteArrayView(edited)}, &reason)) return fail(reason);
    }
    lock.unlock();
    sync();  // picks up the new file
    return true;
#endif
}
