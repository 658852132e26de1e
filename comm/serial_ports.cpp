#include "comm/serial_ports.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <unistd.h>

#include <cerrno>
#endif

namespace {

QString canonical(const QString& path) {
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? path : c;
}

#ifdef Q_OS_LINUX
bool process_alive(qint64 pid) {
    return pid > 0 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

// The lock files serial programs leave, QSerialPort among them.
bool locked_by_other(const QString& device) {
    const QString name =
        QStringLiteral("LCK..") + QFileInfo(device).fileName().replace(QLatin1Char('/'), '_');
    for (const QString& dir : {QStringLiteral("/var/lock"), QStringLiteral("/run/lock"),
                               QStringLiteral("/etc/locks"), QStringLiteral("/var/spool/locks"),
                               QStringLiteral("/var/spool/uucp"), QDir::tempPath()}) {
        QFile f(QDir(dir).filePath(name));
        if (!f.open(QIODevice::ReadOnly)) continue;
        bool ok = false;
        const qint64 pid = f.readLine().trimmed().toLongLong(&ok);
        if (ok && pid != QCoreApplication::applicationPid() && process_alive(pid)) return true;
    }
    return false;
}

// Any process (that we may look at) with a descriptor on the device.
bool open_by_other(const QString& device) {
    const QString target = canonical(device);
    const qint64 self = QCoreApplication::applicationPid();
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        if (pid.toLongLong(&ok) == self || !ok) continue;
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == target) return true;
        }
    }
    return false;
}
#endif

}  // namespace

QString stable_serial_path(const QString& device, const QString& by_id_dir) {
    const QString target = canonical(device);
    const QDir dir(by_id_dir);
    for (const QFileInfo& link :
         dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        if (link.isSymLink() && canonical(link.filePath()) == target) return link.filePath();
    }
    return QString();
}

bool serial_device_busy(const QString& device) {
#ifdef Q_OS_LINUX
    return locked_by_other(device) || open_by_other(device);
#else
    Q_UNUSED(device);
    return false;
#endif
}

bool serial_access_denied(const QString& device) {
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    Q_UNUSED(device);
    return false;
#endif
}

std::vector<SerialDeviceInfo> serial_devices() {
    std::vector<SerialDeviceInfo> list;
    for (const QSerialPortInfo& p : QSerialPortInfo::availablePorts()) {
        SerialDeviceInfo d;
        d.path = p.systemLocation();
        d.stable_path = stable_serial_path(d.path);
        d.description = p.description();
        if (!p.manufacturer().isEmpty() && !d.description.contains(p.manufacturer()))
            d.description = (d.description + QLatin1Char(' ') + p.manufacturer()).trimmed();
        if (p.hasVendorIdentifier() && p.hasProductIdentifier())
            d.usb_id = QStringLiteral("%1:%2")
                           .arg(p.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                           .arg(p.productIdentifier(), 4, 16, QLatin1Char('0'));
        d.busy = serial_device_busy(d.path);
        list.push_back(d);
    }
    std::sort(list.begin(), list.end(),
              [](const SerialDeviceInfo& a, const SerialDeviceInfo& b) { return a.path < b.path; });
    return list;
}

QStringList explain_open_failure(const QString& device, QSerialPort::SerialPortError error,
                                 const QString& reason, bool access_denied) {
    QStringList lines;
    // In the language of the command line tool that prints them.
    lines << device + QStringLiteral(": ") +
                 (reason.isEmpty() ? QCoreApplication::translate("tx20ctl", "cannot be opened")
                                   : reason);
    if (access_denied) {
        lines << QCoreApplication::translate(
            "tx20ctl",
            "hint: this user may not use the serial port; join the group dialout "
            "(sudo usermod -aG dialout $USER), then log out and in again");
    } else if (error == QSerialPort::PermissionError && serial_device_busy(device)) {
        lines << QCoreApplication::translate("tx20ctl", "hint: another program has the port open");
    }
    return lines;
}
