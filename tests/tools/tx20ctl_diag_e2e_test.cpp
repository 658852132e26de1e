// tx20ctl's diagnostics: statistics, the bus listener and the fast scan.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <memory>

#include "comm/telegram.h"
#include "sim/pty_server.h"

namespace {

QStringList lines_of(const QString& text) {
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The statistics line of one address, split into its columns.
QStringList stats_row(const QString& err, int address) {
    for (const QString& l : lines_of(err)) {
        const QStringList cols = l.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (cols.size() == 13 && cols[0] == QString::number(address)) return cols;
    }
    return {};
}

TEST(Tx20ctlDiag, StatsArePrintedAfterAnInterruptedWatch) {
    sim::Options o;
    o.faults.push_back({sim::Fault::BadChecksum, 3});
    sim::PtyServer server(std::move(o));
    ASSERT_TRUE(server.start()) << server.error().toStdString();

    QProcess p;
    p.start(QStringLiteral(TX20CTL_PATH),
            {QStringLiteral("--port"), server.path(), QStringLiteral("--stats"),
             QStringLiteral("live"), QStringLiteral("--watch"), QStringLiteral("0.05")});
    QByteArray out;
    for (int i = 0; i < 100 && out.count('\n') < 4; ++i) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    const QStringList row = stats_row(err, 1);
    ASSERT_FALSE(row.isEmpty()) << err.toStdString();
    const int requests = row[1].toInt(), good = row[2].toInt(), checksum = row[5].toInt();
    EXPECT_GE(requests, 4);
    EXPECT_EQ(good + checksum, requests);
    // Every third reply is spoilt; a re-send's answer may be purged unheard and shift it.
    EXPECT_GE(checksum, 1);
    EXPECT_LE(checksum, (requests + 2) / 3);
    EXPECT_EQ(row[3], QStringLiteral("0"));  // no time-outs
}

TEST(Tx20ctlDiag, ScanWithAShortTimeoutFindsBothControllers) {
    sim::Options o;
    o.addresses = {3, 40};
    sim::PtyServer server(std::move(o));
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    QProcess p;
    p.start(QStringLiteral(TX20CTL_PATH),
            {QStringLiteral("--port"), server.path(), QStringLiteral("scan"),
             QStringLiteral("--timeout"), QStringLiteral("50")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()), QStringLiteral("3\n40\n"));
    // Not a terminal: no progress.
    EXPECT_FALSE(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("/127")));

    // On a terminal (script gives it one) the address reached is redrawn in place, and
    // taken away for each result line and at the end.
    QProcess t;
    t.start(QStringLiteral("script"), {QStringLiteral("-qec"),
                                       QStringLiteral("%1 --port %2 scan --timeout 20")
                                           .arg(QStringLiteral(TX20CTL_PATH), server.path()),
                                       QStringLiteral("/dev/null")});
    ASSERT_TRUE(t.waitForFinished(30000));
    EXPECT_EQ(t.exitCode(), 0);
    const QByteArray shown = t.readAllStandardOutput();
    EXPECT_TRUE(shown.contains("\r3/127\x1b[K\r\x1b[K3\r\n")) << shown.left(300).toStdString();
    EXPECT_TRUE(shown.endsWith("\r126/127\x1b[K\r\x1b[K")) << shown.right(100).toStdString();
}

// A bus on which another master talks: a pseudo-terminal we write the bytes into.
class RawPty {
  public:
    RawPty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) != 0) return;
        path_ = QString::fromLocal8Bit(name);
        slave_ = ::open(name, O_RDWR | O_NOCTTY);
        termios tio{};
        if (slave_ < 0 || ::tcgetattr(slave_, &tio) != 0) return;
        ::cfmakeraw(&tio);
        ::tcsetattr(slave_, TCSANOW, &tio);
    }
    ~RawPty() {
        if (slave_ >= 0) ::close(slave_);
        if (master_ >= 0) ::close(master_);
    }
    QString path() const { return path_; }
    bool put(const std::vector<std::uint8_t>& b) {
        return ::write(master_, b.data(), b.size()) == static_cast<ssize_t>(b.size());
    }

  private:
    int master_ = -1, slave_ = -1;
    QString path_;
};

TEST(Tx20ctlDiag, ListenerDecodesARecordedStreamWithNoise) {
    RawPty bus;
    ASSERT_FALSE(bus.path().isEmpty());
    QProcess p;
    p.start(QStringLiteral(TX20CTL_PATH),
            {QStringLiteral("--port"), bus.path(), QStringLiteral("listen")});
    ASSERT_TRUE(p.waitForStarted());
    QThread::msleep(500);  // the port must be open before the bytes go by

    using Bytes = std::vector<std::uint8_t>;
    const Bytes read10 = {0x68, 0x07, 0x07, 0x68, 0x05, 0x02, 0x6C,
                          0x01, 0x0A, 0x15, 0x00, 0x93, 0x16};
    telegram::Buffer b{};
    const std::uint8_t data[21] = {};
    const int n = telegram::build_data_reply(b, 2, 5, data, 21);
    const Bytes reply(b.begin(), b.begin() + n);
    const Bytes status = {0x10, 0x05, 0x02, 0x69, 0x70, 0x16};
    const Bytes noise = {0xFF, 0x68, 0x00};
    Bytes stream = read10;
    stream.insert(stream.end(), reply.begin(), reply.end());
    stream.insert(stream.end(), noise.begin(), noise.end());
    stream.insert(stream.end(), status.begin(), status.end());
    stream.insert(stream.end(), read10.begin(), read10.begin() + 5);  // cut by noise
    stream.insert(stream.end(), read10.begin(), read10.end());
    ASSERT_TRUE(bus.put(stream));

    QString out;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000 && lines_of(out).size() < 6) {
        p.waitForReadyRead(100);
        out += QString::fromUtf8(p.readAllStandardOutput());
    }
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 0);
    const QStringList got = lines_of(out);
    ASSERT_EQ(got.size(), 6) << out.toStdString();
    const auto has = [](const QString& l, const char* text) {
        return l.contains(QString::fromUtf8(text));
    };
    EXPECT_TRUE(has(got[0], "2 -> 5    čtení tabulky 10  68 07 07 68 05 02 6C") &&
                has(got[0], " OK"))
        << got[0].toStdString();
    EXPECT_TRUE(has(got[1], "5 -> 2    odpověď  68 18 18 68 02 05 08")) << got[1].toStdString();
    EXPECT_TRUE(has(got[2], "šum  FF 68 00  chybný rámec")) << got[2].toStdString();
    EXPECT_TRUE(has(got[3], "stav stanice  10 05 02 69 70 16  OK")) << got[3].toStdString();
    EXPECT_TRUE(has(got[4], "68 07 07 68 05  chybný rámec")) << got[4].toStdString();
    EXPECT_TRUE(has(got[5], "čtení tabulky 10") && has(got[5], " OK")) << got[5].toStdString();
}

}  // namespace
