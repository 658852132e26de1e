// The gateway where a plant runs it: a broker that wants a login and TLS, Modbus clients
// from where they are meant to be, HTTP that a crowd or a slow client cannot stop.
// Real mosquitto, openssl and mbpoll, all on 127.0.0.1.
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <memory>
#include <thread>

#include "sim/pty_server.h"
#include "support/free_port.h"
#include "tools/ctl_run.h"
#include "tools/gateway_run.h"

namespace {

bool write_file(const QString& path, const QByteArray& text,
                QFileDevice::Permissions mode = QFile::ReadOwner | QFile::WriteOwner) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size() && f.setPermissions(mode);
}

bool port_open(int port) {
    const int fd = connect_to(port);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
}

class SecureServe : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        sim::Options o;
        o.addresses = {3};
        o.frozen = true;
        server = std::make_unique<sim::PtyServer>(std::move(o));
        ASSERT_TRUE(server->start()) << server->error().toStdString();
    }
    QString file(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QStringList serve(const QStringList& more) const {
        return QStringList{"--port", server->path(), "serve", "--addresses",
                           "3",      "--period",     "0.1"} +
               more;
    }
    // The controller's link as the HTTP side sees it.
    static bool link_up(int http_port) {
        const QJsonObject o =
            QJsonDocument::fromJson(http_body(http_get(http_port, "/api/state"))).object();
        const QJsonArray units = o[QStringLiteral("units")].toArray();
        return !units.isEmpty() && units[0].toObject()[QStringLiteral("link")].toBool();
    }

    QTemporaryDir dir;
    std::unique_ptr<sim::PtyServer> server;
};

TEST_F(SecureServe, CredentialFilesThatAreMissingEmptyOrReadableByOthersStopTheStartWithTheReason) {
    ASSERT_TRUE(write_file(file("open"), "u\np\n", QFile::ReadOwner | QFile::ReadGroup));
    ASSERT_TRUE(write_file(file("empty"), ""));
    ASSERT_TRUE(write_file(file("ok"), "u\np\n"));
    const struct {
        QStringList args;
        const char* reason;
    } cases[] = {
        {{"--mqtt", "127.0.0.1:1", "--mqtt-auth", file("missing")}, "cannot use --mqtt-auth"},
        {{"--mqtt", "127.0.0.1:1", "--mqtt-auth", file("open")}, "others may read"},
        {{"--mqtt", "127.0.0.1:1", "--mqtt-auth", file("empty")}, "it is empty"},
        {{"--http", ":1", "--http-auth", file("open")}, "cannot use --http-auth"},
        {{"--mqtt", "127.0.0.1:1", "--mqtt-auth", file("ok"), "--mqtt-cafile", file("missing")},
         "cannot use --mqtt-cafile"},
    };
    for (const auto& c : cases) {
        const CtlRun r = tx20ctl(serve(c.args));
        EXPECT_EQ(r.code, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.reason))) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QLatin1String("polling"))) << r.err.toStdString();
        // The password never reaches the log.
        EXPECT_FALSE(r.err.contains(QLatin1String("\np\n")));
    }
}

TEST_F(SecureServe, ModbusClientsOutsideTheAllowListAreClosedAtConnectAndToldOnce) {
    const int refused_port = free_port();
    Gateway refusing(serve({"--modbus", QStringLiteral(":%1").arg(refused_port), "--modbus-allow",
                            "10.0.0.0/8,192.168.7.7"}));
    const int port = free_port();
    Gateway allowing(serve(
        {"--modbus", QStringLiteral("127.0.0.1:%1").arg(port), "--modbus-allow", "127.0.0.0/8"}));
    ASSERT_TRUE(refusing.wait_for(QStringLiteral("to 10.0.0.0/8,192.168.7.7 only")))
        << refusing.err().toStdString();
    ASSERT_TRUE(allowing.wait_for(QStringLiteral("serving Modbus TCP")));
    const QStringList ask{"127.0.0.1", "-m", "tcp", "-a", "3", "-1", "-o",
                          "1",         "-t", "3",   "-r", "1", "-c", "2"};
    for (int i = 0; i < 2; ++i) {
        const Tool t = run_tool(QStringLiteral("mbpoll"),
                                ask + QStringList{"-p", QString::number(refused_port)});
        EXPECT_NE(t.code, 0) << t.out.toStdString();
    }
    EXPECT_TRUE(refusing.wait_for(QStringLiteral("client 127.0.0.1 refused")));
    EXPECT_EQ(refusing.err().count(QStringLiteral("refused")), 1) << refusing.err().toStdString();
    EXPECT_TRUE(eventually([&] {
        return run_tool(QStringLiteral("mbpoll"), ask + QStringList{"-p", QString::number(port)})
                   .code == 0;
    }));
    EXPECT_EQ(refusing.stop(), 0);
    EXPECT_EQ(allowing.stop(), 0);
}

QByteArray status_line(const QByteArray& reply) { return reply.left(reply.indexOf("\r\n")); }

TEST_F(SecureServe, HttpIsReadOnlyBehindItsLoginAndOutlastsCrowdsSlowAndHugeRequests) {
    ASSERT_TRUE(write_file(file("login"), "operator\nheslo 1\n"));
    const int port = free_port();
    Gateway gw(
        serve({"--http", QStringLiteral("127.0.0.1:%1").arg(port), "--http-auth", file("login")}));
    ASSERT_TRUE(gw.wait_for(QStringLiteral("serving HTTP"))) << gw.err().toStdString();
    const QByteArray login =
        "Authorization: Basic " + QByteArray("operator:heslo 1").toBase64() + "\r\n";
    ASSERT_TRUE(eventually(
        [&] { return http_body(http_get(port, "/api/state", login)).contains("\"link\":true"); }));

    const struct {
        QByteArray request;
        const char* status;
        const char* has;
    } cases[] = {
        {"GET / HTTP/1.1\r\n" + login, "HTTP/1.1 200", "Naměřená hodnota"},
        {"GET /api/state HTTP/1.1\r\n" + login, "HTTP/1.1 200", "\"address\":3"},
        {"GET /api/view HTTP/1.1\r\n" + login, "HTTP/1.1 200", "\"texts\""},
        {"GET /api/history HTTP/1.1\r\n" + login, "HTTP/1.1 200", "\"points\""},
        {"GET /metrics HTTP/1.1\r\n" + login, "HTTP/1.1 200", "version=0.0.4"},
        {"HEAD / HTTP/1.1\r\n" + login, "HTTP/1.1 200", "Content-Length"},
        {"GET /nic HTTP/1.1\r\n" + login, "HTTP/1.1 404", ""},
        {"POST /api/state HTTP/1.1\r\nContent-Length: 2\r\n" + login + "\r\n{}", "HTTP/1.1 405",
         "Allow: GET, HEAD"},
        {"DELETE /metrics HTTP/1.1\r\n" + login, "HTTP/1.1 405", ""},
        {"GET /metrics HTTP/1.1\r\n", "HTTP/1.1 401", "WWW-Authenticate: Basic"},
        {"GET / HTTP/1.1\r\nAuthorization: Basic " + QByteArray("operator:heslo").toBase64() +
             "\r\n",
         "HTTP/1.1 401", ""},
        {"POST /metrics HTTP/1.1\r\nContent-Length: 30000\r\n" + login + "\r\n" +
             QByteArray(30000, 'x'),
         "HTTP/1.1 405", ""},
    };
    for (const auto& c : cases) {
        QByteArray request = c.request;
        request.insert(request.indexOf("\r\n") + 2, "Host: x\r\nConnection: close\r\n");
        if (!request.contains("\r\n\r\n")) request += "\r\n";
        const QByteArray reply = http_exchange(port, request);
        EXPECT_EQ(status_line(reply).left(12), QByteArray(c.status)) << request.left(60).data();
        EXPECT_TRUE(reply.contains(c.has)) << request.left(60).data();
    }
    for (const QByteArray& path : {QByteArray("/"), QByteArray("/nic")}) {
        const QByteArray head = "HEAD " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n";
        EXPECT_TRUE(http_body(http_exchange(port, head + login + "\r\n")).isEmpty()) << path.data();
    }
    // The page is whole in itself: a plant's browser is often offline.
    const QByteArray page = http_body(http_get(port, "/", login));
    for (const char* external : {"<link", "src=", "@import", "url(", "https:"})
        EXPECT_FALSE(page.contains(external)) << external;

    // One that sends its request a byte at a time, a header of a megabyte, two hundred
    // at once, and fifty that keep their connections open through the end.
    std::atomic<bool> slow_done{false};
    std::thread slow([&] {
        const int fd = connect_to(port);
        for (char c : QByteArray("GET /api/state HTTP/1.1\r\n")) {
            if (slow_done) break;
            ::send(fd, &c, 1, MSG_NOSIGNAL);
            QThread::msleep(200);
        }
        ::close(fd);
    });
    // Refused, or cut off while still sending: never read to its end.
    for (const QByteArray& huge :
         {"POST / HTTP/1.1\r\nContent-Length: 1048576\r\n" + login + "\r\n" +
              QByteArray(1 << 20, 'x'),
          "GET / HTTP/1.1\r\nX-Big: " + QByteArray(1 << 20, 'a') + "\r\n" + login + "\r\n"}) {
        const QByteArray reply = http_exchange(port, huge);
        EXPECT_TRUE(reply.isEmpty() || reply.startsWith("HTTP/1.1 413")) << reply.left(40).data();
    }
    std::vector<int> crowd;
    for (int i = 0; i < 200; ++i) crowd.push_back(connect_to(port));
    const QByteArray ask = "GET /api/state HTTP/1.1\r\nHost: x\r\n" + login + "\r\n";
    for (int fd : crowd)
        ::send(fd, ask.constData(), static_cast<std::size_t>(ask.size()), MSG_NOSIGNAL);
    int answered = 0;
    for (int fd : crowd) {
        char buf[512];
        const auto n = ::recv(fd, buf, sizeof buf, 0);
        if (n > 12 && QByteArray(buf, 12) == "HTTP/1.1 200") ++answered;
    }
    EXPECT_EQ(answered, 200);
    for (std::size_t i = 50; i < crowd.size(); ++i) ::close(crowd[i]);
    EXPECT_TRUE(http_body(http_get(port, "/api/state", login)).contains("\"link\":true"));
    slow_done = true;
    slow.join();
    EXPECT_TRUE(gw.running());
    EXPECT_EQ(gw.stop(), 0) << gw.err().toStdString();
    for (int i = 0; i < 50; ++i) ::close(crowd[static_cast<std::size_t>(i)]);
}

// A broker with a password file, a plain listener and a TLS one, certificates made here.
class BrokerServe : public SecureServe {
  protected:
    void SetUp() override {
        SecureServe::SetUp();
        const auto openssl = [&](const QStringList& args) {
            const Tool t = run_tool(QStringLiteral("openssl"), args);
            EXPECT_EQ(t.code, 0) << t.out.toStdString();
        };
        const QString ec = QStringLiteral("ec:") + file("ec.pem");
        openssl({"ecparam", "-name", "prime256v1", "-out", file("ec.pem")});
        for (const char* ca : {"ca", "other-ca"})
            openssl({"req", "-x509", "-newkey", ec, "-nodes", "-days", "2", "-subj",
                     QStringLiteral("/CN=%1").arg(QLatin1String(ca)), "-keyout", file(ca) + ".key",
                     "-out", file(ca) + ".crt"});
        ASSERT_TRUE(write_file(file("san.cnf"), "subjectAltName=IP:127.0.0.1,DNS:localhost\n"));
        openssl({"req", "-newkey", ec, "-nodes", "-subj", "/CN=127.0.0.1", "-keyout",
                 file("server.key"), "-out", file("server.csr")});
        openssl({"x509", "-req", "-in", file("server.csr"), "-CA", file("ca.crt"), "-CAkey",
                 file("ca.key"), "-CAcreateserial", "-days", "2", "-extfile", file("san.cnf"),
                 "-out", file("server.crt")});
        // The same, run out yesterday.
        openssl({"x509", "-req", "-in", file("server.csr"), "-CA", file("ca.crt"), "-CAkey",
                 file("ca.key"), "-CAcreateserial", "-days", "-1", "-extfile", file("san.cnf"),
                 "-out", file("expired.crt")});
        QFile::setPermissions(file("server.key"), QFile::ReadOwner | QFile::WriteOwner);

        ASSERT_EQ(run_tool(QStringLiteral("mosquitto_passwd"),
                           {"-b", "-c", file("passwd"), "gateway", "right password"})
                      .code,
                  0);
        plain = free_port();
        tls = free_port();
        expired = free_port();
        ASSERT_TRUE(write_file(
            file("mosquitto.conf"),
            // As root it would become user mosquitto, who may not read this folder.
            QStringLiteral("user %7\nper_listener_settings false\nallow_anonymous false\n"
                           "password_file %1\n"
                           "listener %2 127.0.0.1\n"
                           "listener %3 127.0.0.1\ncafile %4\ncertfile %5\nkeyfile %6\n"
                           "listener %8 127.0.0.1\ncafile %4\ncertfile %9\nkeyfile %6\n")
                .arg(file("passwd"))
                .arg(plain)
                .arg(tls)
                .arg(file("ca.crt"), file("server.crt"), file("server.key"),
                     QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name))
                .arg(expired)
                .arg(file("expired.crt"))
                .toUtf8()));
        broker.setProcessChannelMode(QProcess::MergedChannels);
        broker.start(QStringLiteral("mosquitto"), {"-c", file("mosquitto.conf")});
        ASSERT_TRUE(broker.waitForStarted());
        ASSERT_TRUE(eventually(
            [&] { return port_open(plain) && port_open(tls) && port_open(expired); }, 5000))
            << broker.readAll().toStdString();
        ASSERT_TRUE(write_file(file("right"), "gateway\nright password\n"));
        ASSERT_TRUE(write_file(file("wrong"), "gateway\nwrong password\n"));
    }
    void TearDown() override {
        broker.terminate();
        broker.waitForFinished(5000);
    }
    // The last retained state of controller 3 as a subscriber with the login sees it.
    QJsonObject state_over_tls() {
        const Tool t = run_tool(
            QStringLiteral("mosquitto_sub"),
            {"-h", "127.0.0.1", "-p", QString::number(tls), "--cafile", file("ca.crt"), "-u",
             "gateway", "-P", "right password", "-t", "tx20/3/state", "-C", "1", "-W", "10"},
            15000);
        return QJsonDocument::fromJson(t.out.toUtf8()).object();
    }

    int plain = 0, tls = 0, expired = 0;
    QProcess broker;
};

TEST_F(BrokerServe, TheGatewayLogsInOverTlsWithTheServersCertificateVerified) {
    Gateway gw(serve({"--mqtt", QStringLiteral("127.0.0.1:%1").arg(tls), "--mqtt-auth",
                      file("right"), "--mqtt-cafile", file("ca.crt")}));
    ASSERT_TRUE(gw.wait_for(QStringLiteral("over TLS"))) << gw.err().toStdString();
    QJsonObject state;
    ASSERT_TRUE(eventually([&] {
        state = state_over_tls();
        return state[QStringLiteral("link")].toBool();
    })) << gw.err().toStdString();
    EXPECT_EQ(state[QStringLiteral("address")].toInt(), 3);
    EXPECT_FALSE(gw.err().contains(QLatin1String("trying again"))) << gw.err().toStdString();
    EXPECT_EQ(gw.stop(), 0);
}

TEST_F(BrokerServe, RefusalsAreToldOnceWithTheReasonWhilePollingGoesOn) {
    // A "broker" that takes the connection and closes it with half a TLS record.
    const int cut = free_port();
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(cut));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 8), 0);
    std::atomic<bool> stop_closer{false};
    std::thread closing([&] {
        while (!stop_closer) {
            pollfd p{listener, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int fd = ::accept(listener, nullptr, nullptr);
            if (fd < 0) continue;
            ::send(fd, "\x16\x03\x01\x00", 4, MSG_NOSIGNAL);
            ::close(fd);
        }
    });

    const struct {
        QStringList mqtt;
        const char* reason;
    } cases[] = {
        {{"--mqtt", QStringLiteral("127.0.0.1:%1").arg(plain), "--mqtt-auth", file("wrong")},
         "refused the login: Connection Refused: not authorised; trying again"},
        {{"--mqtt", QStringLiteral("127.0.0.1:%1").arg(tls), "--mqtt-auth", file("right"),
          "--mqtt-cafile", file("other-ca.crt")},
         "certificate verify failed"},
        {{"--mqtt", QStringLiteral("127.0.0.1:%1").arg(expired), "--mqtt-auth", file("right"),
          "--mqtt-cafile", file("ca.crt")},
         "certificate verify failed"},
        {{"--mqtt", QStringLiteral("127.0.0.1:%1").arg(cut), "--mqtt-auth", file("right"),
          "--mqtt-cafile", file("ca.crt")},
         "TLS failed"},
    };
    // All at once: the retries come after 1 and 2 seconds, the reason stays said once.
    std::vector<std::unique_ptr<Gateway>> gateways;
    std::vector<int> http;
    std::vector<std::unique_ptr<sim::PtyServer>> buses;  // a bus each
    for (const auto& c : cases) {
        buses.push_back(std::make_unique<sim::PtyServer>(sim::Options{}));
        ASSERT_TRUE(buses.back()->start());
        http.push_back(free_port());
        QStringList args =
            serve(c.mqtt + QStringList{"--http", QStringLiteral(":%1").arg(http.back())});
        args[1] = buses.back()->path();
        args[4] = QStringLiteral("1");
        gateways.push_back(std::make_unique<Gateway>(args));
    }
    for (std::size_t i = 0; i < gateways.size(); ++i) {
        Gateway& gw = *gateways[i];
        ASSERT_TRUE(gw.wait_for(QLatin1String(cases[i].reason))) << gw.err().toStdString();
        EXPECT_TRUE(eventually([&] { return link_up(http[i]); })) << gw.err().toStdString();
    }
    QThread::msleep(3500);
    for (std::size_t i = 0; i < gateways.size(); ++i) {
        Gateway& gw = *gateways[i];
        gw.wait_for(QStringLiteral("never"), 10);
        EXPECT_EQ(gw.err().count(QLatin1String(cases[i].reason)), 1) << gw.err().toStdString();
        EXPECT_TRUE(link_up(http[i]));
        EXPECT_EQ(gw.stop(), 0) << gw.err().toStdString();
    }
    stop_closer = true;
    closing.join();
    ::close(listener);
}

}  // namespace
