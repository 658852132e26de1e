#include "platform/settings_store.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

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

}  // namespace

SettingsStore::SettingsStore()
#ifdef Q_OS_WIN
    : settings_(std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\TavTx20"),
                                            QSettings::NativeFormat))
#else
    : settings_(std::make_unique<QSettings>(user_store_path(), QSettings::IniFormat))
#endif
{
}

SettingsStore::SettingsStore(const QString& ini_path)
    : settings_(std::make_unique<QSettings>(ini_path, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() { settings_->sync(); }

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
