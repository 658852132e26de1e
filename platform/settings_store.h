#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

class QSettings;
struct SettingsShadow;

// The per-user settings store "TavTx20": sections of named values holding signed
// decimal texts. On Windows the registry key HKEY_CURRENT_USER\TavTx20, elsewhere
// an INI file TavTx20.ini in the user's configuration folder.
class SettingsStore {
  public:
    // The store of the current user.
    SettingsStore();
    // A store backed by the INI file at path (tests, tools).
    explicit SettingsStore(const QString& ini_path);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // A missing section or value, or a text that is not a 32-bit integer, gives def.
    qint32 read_int(const QString& section, const QString& name, qint32 def) const;
    void write_int(const QString& section, const QString& name, qint32 value);

    QString read_string(const QString& section, const QString& name, const QString& def) const;
    void write_string(const QString& section, const QString& name, const QString& value);

    // Writes pending changes to the backing file or registry; false when they could not
    // be stored (a folder without write access, a path that is a folder).
    bool sync();

    // The device path a port name "COMn" maps to (section PORTMAP); on Windows the
    // name itself.
    QString port_device(const QString& com_name) const;

    // Maps com_name to device in PORTMAP, or removes its mapping when device is empty.
    // Only that entry changes: every other line of the file stays as it was, and the
    // file is replaced atomically. False with a reason in *error when it cannot be
    // written.
    bool set_port_device(const QString& com_name, const QString& device, QString* error);

    // The backing file (or registry path).
    QString location() const;

  private:
    void open_ini(const QString& path);
    bool sync_ini();

    // An INI store works on a private copy (one per file, shared by the stores of the
    // process), so that the user's file is only ever replaced whole by the program's
    // one atomic writer.
    QString path_;
    SettingsShadow* shadow_ = nullptr;
    std::unique_ptr<QSettings> settings_;
};
