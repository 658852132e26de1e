#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <vector>

// What the system tells about one serial device, for finding the right adapter.
struct SerialDeviceInfo {
    QString path;         // e.g. /dev/ttyUSB0
    QString stable_path;  // the /dev/serial/by-id link to it, or empty
    QString description;  // driver's or USB descriptor's text, may be empty
    QString usb_id;       // "vvvv:pppp" for a USB adapter, else empty
    bool busy = false;    // another process holds it open or locked
};

// The serial devices present now, sorted by path.
std::vector<SerialDeviceInfo> serial_devices();

// The link in by_id_dir that resolves to device, or empty when there is none.
QString stable_serial_path(const QString& device,
                           const QString& by_id_dir = QStringLiteral("/dev/serial/by-id"));

// True when another process has device open or holds its lock file.
bool serial_device_busy(const QString& device);

// Lines that tell someone at a terminal why device could not be opened: the system's
// reason and, when access was refused, what to do about it.
QStringList explain_open_failure(const QString& device, QSerialPort::SerialPortError error,
                                 const QString& reason, bool access_denied);

// Whether the current user lacks read and write permission on device.
bool serial_access_denied(const QString& device);
