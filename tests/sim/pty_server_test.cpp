#include "sim/pty_server.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>

#include "comm/serial_line.h"
#include "sim/sim_test_util.h"

using namespace simtest;

namespace {

// A plain POSIX client on the slave side.
class Client {
  public:
    explicit Client(const QString& path) {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ >= 0) {
            termios tio{};
            ::tcgetattr(fd_, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~Client() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    void send(const Bytes& b) {
        ASSERT_EQ(::write(fd_, b.data(), b.size()), static_cast<ssize_t>(b.size()));
    }
    // Reads until n bytes came or the line stayed quiet for quiet_ms.
    Bytes receive(std::size_t n, int quiet_ms = 1500) {
        Bytes out;
        while (out.size() < n) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, quiet_ms) <= 0) break;
            std::uint8_t buf[256];
            const auto k = ::read(fd_, buf, sizeof buf);
            if (k <= 0) break;
            out.insert(out.end(), buf, buf + k);
        }
        return out;
    }
    Bytes exchange(const Bytes& request, std::size_t n, int quiet_ms = 1500) {
        send(request);
        return receive(n, quiet_ms);
    }

  private:
    int fd_ = -1;
};

}  // namespace

TEST(PtyServer, AnswersRequestsOnThePseudoTerminal) {
    sim::PtyServer server(sim::Options{});
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    Client c(server.path());
    ASSERT_TRUE(c.ok());
    const Bytes live = c.exchange(read_request(10), 30);
    ASSERT_EQ(live.size(), 30u);
    EXPECT_TRUE(valid_data(live));
    EXPECT_EQ(c.exchange(status_request(1), 6), (Bytes{0x10, 0x00, 0x01, 0x00, 0x01, 0x16}));
    EXPECT_TRUE(c.exchange(status_request(9), 6, 300).empty());  // nobody there
    EXPECT_EQ(server.requests(), 3);
    EXPECT_EQ(server.replies(), 2);
}

TEST(PtyServer, SkipsNoiseAndServesTheFramesBehindIt) {
    sim::PtyServer server(sim::Options{});
    ASSERT_TRUE(server.start());
    Client c(server.path());
    Bytes stream{0x00, 0x68, 0x99, 0x16};
    const Bytes req = read_request(8);
    stream.insert(stream.end(), req.begin(), req.end());
    const Bytes r = c.exchange(stream, 10);
    ASSERT_EQ(r.size(), 10u);
    EXPECT_TRUE(valid_data(r));
}

TEST(PtyServer, KeepsServingWhenTheClientReopensTheLine) {
    sim::PtyServer server(sim::Options{});
    ASSERT_TRUE(server.start());
    for (int round = 0; round < 3; ++round) {
        Client c(server.path());
        ASSERT_TRUE(c.ok());
        EXPECT_TRUE(valid_data(c.exchange(read_request(0), 21))) << round;
    }
}

// A client killed while holding the terminal exclusively never clears that mode.
TEST(PtyServer, AcceptsANewClientAfterOneLeftItExclusive) {
    sim::PtyServer server(sim::Options{});
    ASSERT_TRUE(server.start());
    const QByteArray path = QFile::encodeName(server.path());
    int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ioctl(fd, TIOCEXCL), 0);
    // ... and leaves its settings behind too, which the serial library then refuses.
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    tio.c_iflag = IGNPAR;
    tio.c_cflag |= PARENB | CLOCAL;
    ::cfsetspeed(&tio, B9600);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);
    ::close(fd);
    // Without privileges the open fails while the mode is on; with them it succeeds,
    // so ask the terminal itself.
    int exclusive = 1;
    for (int i = 0; i < 100 && exclusive != 0; ++i) {
        fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) {
            ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
            if (exclusive != 0) ::close(fd);
        }
        if (exclusive != 0) ::usleep(10000);
    }
    ASSERT_EQ(exclusive, 0);
    ::close(fd);
    {
        Client c(server.path());
        EXPECT_TRUE(valid_data(c.exchange(read_request(0), 21)));
    }
    SerialLine line;
    EXPECT_NO_THROW(line.open(QStringLiteral("COM1"), server.path(), 9600));
}

TEST(PtyServer, ChangesMadeUnderTheLockAreServed) {
    sim::PtyServer server(sim::Options{});
    ASSERT_TRUE(server.start());
    {
        auto guard = server.lock();
        server.bus().station(1).comp.SP = 77.0f;
    }
    Client c(server.path());
    const Bytes r = c.exchange(read_request(0), 21);
    ASSERT_TRUE(valid_data(r));
    DeviceData d;
    wire::decode(d, 0, r.data() + 7);
    EXPECT_FLOAT_EQ(d.comp.SP, 77.0f);
}

TEST(PtyServer, PacedRepliesArriveWhole) {
    sim::PtyServer server(sim::Options{}, 115200, true);
    ASSERT_TRUE(server.start());
    Client c(server.path());
    const Bytes r = c.exchange(read_request(11), 95);
    ASSERT_EQ(r.size(), 95u);
    EXPECT_TRUE(valid_data(r));
}

TEST(PtyServer, LinkPointsAtTheTerminalUntilStopped) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("kelvra"));
    sim::PtyServer server(sim::Options{});
    ASSERT_TRUE(server.start(link)) << server.error().toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), server.path());
    Client c(link);
    EXPECT_TRUE(valid_ack(c.exchange(status_request(1), 6)));
    server.stop();
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(PtyServer, RefusesToReplaceAFileThatIsNotALink) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plain"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    sim::PtyServer server(sim::Options{});
    EXPECT_FALSE(server.start(path));
    EXPECT_FALSE(server.error().isEmpty());
    EXPECT_TRUE(QFileInfo(path).isFile());
}

TEST(PtyServer, StopsPromptlyWhileAReplyIsHeldBack) {
    sim::Options o;
    o.faults = {{sim::Fault::LateBytes, 1}};
    sim::PtyServer server(o);
    ASSERT_TRUE(server.start());
    Client c(server.path());
    c.send(read_request(10));
    while (server.requests() == 0) ::usleep(1000);
    server.stop();  // must not wait for the late reply, nor hang with the client open
    server.stop();
    EXPECT_EQ(server.replies(), 0);
}

#ifdef KELVRA20_SIM_EXE
TEST(SimExecutable, BadUsageExitsWithTwo) {
    QProcess p;
    p.start(QStringLiteral(KELVRA20_SIM_EXE), {QStringLiteral("--fault"), QStringLiteral("noise")});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardError().contains("noise"));
}

TEST(SimExecutable, PrintsThePathAnswersAndStopsOnTerm) {
    QProcess p;
    p.start(QStringLiteral(KELVRA20_SIM_EXE),
            {QStringLiteral("--address"), QStringLiteral("4"), QStringLiteral("--model"),
             QStringLiteral("krt01:1")});
    ASSERT_TRUE(p.waitForReadyRead(10000));
    const QString path = QString::fromLocal8Bit(p.readLine()).trimmed();
    ASSERT_TRUE(path.startsWith(QStringLiteral("/dev/")));
    {
        Client c(path);
        const Bytes r = c.exchange(command_request(telegram::FC_SRD, telegram::CMD_VERSION, 4), 25);
        ASSERT_EQ(r.size(), 25u);
        EXPECT_TRUE(valid_data(r));
        EXPECT_EQ(std::string(r.begin() + 7, r.begin() + 17), "FW-R-11-01");
    }
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}
#endif
