// The real serial line on a pseudo-terminal whose other end the test drives itself.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>
#include <thread>

#include "comm/serial_line.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The controller's end of a pseudo-terminal.
class RawPty {
  public:
    RawPty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0)
            path_ = QString::fromLocal8Bit(::ptsname(master_));
    }
    ~RawPty() { close(); }
    void close() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    const QString& path() const { return path_; }
    void send(const Bytes& b) {
        ASSERT_EQ(::write(master_, b.data(), b.size()), ssize_t(b.size()));
    }
    // Everything the line has written so far (waits up to a second for the first byte).
    Bytes take() {
        Bytes out;
        for (int i = 0; i < 100 && out.empty(); ++i) {
            std::uint8_t buf[512];
            const int flags = ::fcntl(master_, F_GETFL);
            ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
            const ssize_t k = ::read(master_, buf, sizeof buf);
            ::fcntl(master_, F_SETFL, flags);
            if (k > 0)
                out.assign(buf, buf + k);
            else
                QThread::msleep(10);
        }
        return out;
    }

  private:
    int master_ = -1;
    QString path_;
};

class SerialLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(pty.path().isEmpty());
        line.open(QStringLiteral("COM1"), pty.path(), 9600);
    }
    // Reads up to n bytes and returns them.
    Bytes read(int n, bool* ok = nullptr) {
        std::uint8_t buf[256] = {};
        int got = -1;
        const bool r = line.read_bytes(buf, n, &got);
        if (ok) *ok = r;
        return Bytes(buf, buf + std::max(got, 0));
    }

    RawPty pty;
    SerialLine line;
};

TEST_F(SerialLineTest, WriteHandsTheBytesOver) {
    const Bytes req{0x68, 0x04, 0x04, 0x68, 0x01, 0x00, 0x6C, 0x04, 0x71, 0x16};
    int written = 0;
    ASSERT_TRUE(line.write_bytes(req.data(), 10, &written));
    EXPECT_EQ(written, 10);
    EXPECT_EQ(pty.take(), req);
}

// A failed exchange purges right after its last re-send; that re-send must be out.
TEST_F(SerialLineTest, WrittenBytesSurviveAnImmediatePurge) {
    const Bytes req{0x68, 0x07, 0x07, 0x68, 0x01, 0x00, 0x6C, 0x01, 0x0A, 0x15, 0x00, 0x8D, 0x16};
    int written = 0;
    ASSERT_TRUE(line.write_bytes(req.data(), 13, &written));
    line.purge_tx();
    line.purge_rx();
    EXPECT_EQ(pty.take(), req);
}

TEST_F(SerialLineTest, ReadEndsAtTheRequestedCountAndKeepsTheRest) {
    pty.send({1, 2, 3, 4, 5, 6, 7, 8});
    bool ok = false;
    EXPECT_EQ(read(6, &ok), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(ok);
    EXPECT_EQ(read(6), (Bytes{7, 8}));
}

TEST_F(SerialLineTest, ReadOfNothingSucceedsWithNoBytesAfterTheTotalTimeout) {
    QElapsedTimer t;
    t.start();
    bool ok = false;
    EXPECT_TRUE(read(6, &ok).empty());
    EXPECT_TRUE(ok);
    EXPECT_GE(t.elapsed(), 500 + 2 * 6);
    EXPECT_TRUE(line.is_open());
}

TEST_F(SerialLineTest, PauseOfMoreThan100msEndsTheReadWithAShortCount) {
    std::thread device([this] {
        pty.send({0x68, 0x07, 0x07});
        QThread::msleep(250);
        pty.send({0x68, 0x01});
    });
    bool ok = false;
    const Bytes first = read(30, &ok);
    device.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(first, (Bytes{0x68, 0x07, 0x07}));
}

TEST_F(SerialLineTest, WriteDiscardsBytesThatArrivedLate) {
    pty.send({0xAA, 0xBB, 0xCC});
    QThread::msleep(50);
    const Bytes req{0x10, 0x05, 0x00, 0x69, 0x6E, 0x16};
    int written = 0;
    ASSERT_TRUE(line.write_bytes(req.data(), 6, &written));
    EXPECT_EQ(pty.take(), req);
    pty.send({0x10, 0x00, 0x05, 0x00, 0x05, 0x16});
    EXPECT_EQ(read(6), (Bytes{0x10, 0x00, 0x05, 0x00, 0x05, 0x16}));
}

TEST_F(SerialLineTest, PurgeRxDiscardsWhatWaits) {
    pty.send({1, 2, 3});
    QThread::msleep(50);
    line.purge_rx();
    line.purge_tx();
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(read(3).empty());
}

TEST_F(SerialLineTest, RateChangesOnTheOpenPort) {
    line.apply_rate(QStringLiteral("COM1"), 19200);
    EXPECT_TRUE(line.is_open());
    EXPECT_EQ(line.baud(), 19200);
    pty.send({9});
    EXPECT_EQ(read(1), Bytes{9});
}

TEST_F(SerialLineTest, VanishedDeviceFailsAndClosesTheLine) {
    pty.close();
    bool ok = true;
    QElapsedTimer t;
    t.start();
    read(30, &ok);
    EXPECT_FALSE(ok);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_FALSE(line.is_open());
    int written = 0;
    const std::uint8_t b[1] = {0};
    EXPECT_FALSE(line.write_bytes(b, 1, &written));
}

TEST_F(SerialLineTest, DeviceVanishingDuringAReadEndsIt) {
    std::thread device([this] {
        QThread::msleep(150);
        pty.close();
    });
    bool ok = true;
    read(255, &ok);
    device.join();
    EXPECT_FALSE(ok);
    EXPECT_FALSE(line.is_open());
}

TEST_F(SerialLineTest, ABusyPortCannotBeOpenedTwice) {
    SerialLine other;
    try {
        other.open(QStringLiteral("COM2"), pty.path(), 9600);
        FAIL() << "opened a port that is in use";
    } catch (const PortError& e) {
        EXPECT_EQ(e.kind(), PortError::Kind::Open);
        EXPECT_EQ(e.message(), QStringLiteral("Sériový port COM2 nelze otevřít"));
    }
    EXPECT_FALSE(other.is_open());
    EXPECT_TRUE(line.is_open());
}

TEST_F(SerialLineTest, ClosedLineFailsEveryTransfer) {
    line.close();
    EXPECT_FALSE(line.is_open());
    bool ok = true;
    read(6, &ok);
    EXPECT_FALSE(ok);
}

TEST(SerialLineOpen, MissingDeviceRaisesTheOpenMessage) {
    SerialLine line;
    try {
        line.open(QStringLiteral("COM5"), QStringLiteral("/nonexistent/ttyS4"), 9600);
        FAIL() << "opened a missing device";
    } catch (const PortError& e) {
        EXPECT_EQ(e.kind(), PortError::Kind::Open);
        EXPECT_EQ(e.message(), QStringLiteral("Sériový port COM5 nelze otevřít"));
    }
    EXPECT_FALSE(line.is_open());
    std::uint8_t buf[6] = {};
    int n = -1;
    EXPECT_FALSE(line.read_bytes(buf, 6, &n));
    EXPECT_EQ(n, 0);
    EXPECT_FALSE(line.write_bytes(buf, 6, &n));
}

// The rate is the last thing set up: an existing port with a rate it cannot take fails
// there, a missing one still fails at the open.
TEST(SerialLineOpen, UnusableRateFailsAsTheReinitialisation) {
    RawPty pty;
    struct Case {
        QString device;
        qint32 baud;
        PortError::Kind kind;
        const char* message;
    };
    const Case cases[] = {
        {pty.path(), -9600, PortError::Kind::ApplySettings,
         "Nepodařila se reinicializace portu COM1"},
        {pty.path(), 0, PortError::Kind::ApplySettings, "Nepodařila se reinicializace portu COM1"},
        {QStringLiteral("/nonexistent/ttyS0"), -9600, PortError::Kind::Open,
         "Sériový port COM1 nelze otevřít"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.device.toStdString() << " at " << c.baud);
        SerialLine line;
        try {
            line.open(QStringLiteral("COM1"), c.device, c.baud);
            ADD_FAILURE() << "opened with an unusable rate";
        } catch (const PortError& e) {
            EXPECT_EQ(e.kind(), c.kind);
            EXPECT_EQ(e.message(), QString::fromUtf8(c.message));
        }
        EXPECT_FALSE(line.is_open());
    }
    // Nothing was left holding the port.
    SerialLine line;
    EXPECT_NO_THROW(line.open(QStringLiteral("COM1"), pty.path(), 9600));
}

TEST(SerialLineOpen, AFileThatIsNoTerminalCannotBeOpened) {
    SerialLine line;
    EXPECT_THROW(line.open(QStringLiteral("COM1"), QStringLiteral("/dev/null"), 9600), PortError);
    EXPECT_FALSE(line.is_open());
}

TEST(SerialLineOpen, RateChangeOnAClosedPortNamesTheGivenPort) {
    SerialLine line;
    try {
        line.apply_rate(QStringLiteral("COM0"), 19200);
        FAIL() << "applied a rate to a closed port";
    } catch (const PortError& e) {
        EXPECT_EQ(e.kind(), PortError::Kind::ApplySettings);
        EXPECT_EQ(e.message(), QStringLiteral("Nepodařila se reinicializace portu COM0"));
    }
}

}  // namespace
