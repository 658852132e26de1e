#include "comm/serial_ports.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

TEST(SerialPorts, OpenFailuresAreExplainedWithTheSystemsReason) {
    struct Case {
        const char* what;
        QSerialPort::SerialPortError error;
        const char* reason;
        bool denied;
        QStringList lines;
    };
    const QString dev = QStringLiteral("/dev/ttyUSB0");
    const Case cases[] = {
        {"refused access names the group",
         QSerialPort::PermissionError,
         "Permission denied",
         true,
         {dev + QStringLiteral(": Permission denied"),
          QStringLiteral("hint: this user may not use the serial port; join the group dialout "
                         "(sudo usermod -aG dialout $USER), then log out and in again")}},
        {"a missing device gives only the reason",
         QSerialPort::DeviceNotFoundError,
         "No such file or directory",
         false,
         {dev + QStringLiteral(": No such file or directory")}},
        {"no reason still says what failed",
         QSerialPort::UnknownError,
         "",
         false,
         {dev + QStringLiteral(": cannot be opened")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(explain_open_failure(dev, c.error, QString::fromUtf8(c.reason), c.denied),
                  c.lines);
    }
}

#ifdef Q_OS_UNIX
TEST(SerialPorts, StablePathIsTheLinkThatLeadsToTheDevice) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString dev = dir.filePath(QStringLiteral("ttyUSB1"));
    const QString other = dir.filePath(QStringLiteral("ttyUSB2"));
    for (const QString& p : {dev, other}) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir().mkdir(dir.filePath(QStringLiteral("by-id"))));
    const QString by_id = dir.filePath(QStringLiteral("by-id"));
    ASSERT_TRUE(QFile::link(QStringLiteral("../ttyUSB2"), by_id + QStringLiteral("/usb-B-port0")));
    ASSERT_TRUE(QFile::link(QStringLiteral("../ttyUSB1"), by_id + QStringLiteral("/usb-A-port0")));
    ASSERT_TRUE(QFile::link(QStringLiteral("../gone"), by_id + QStringLiteral("/usb-C-port0")));
    EXPECT_EQ(stable_serial_path(dev, by_id), by_id + QStringLiteral("/usb-A-port0"));
    EXPECT_EQ(stable_serial_path(dir.filePath(QStringLiteral("ttyUSB3")), by_id), QString());
    EXPECT_EQ(stable_serial_path(dev, dir.filePath(QStringLiteral("none"))), QString());
}
#endif

}  // namespace
