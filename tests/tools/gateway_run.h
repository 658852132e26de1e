#pragma once

// Helpers of the gateway's end-to-end tests: the running gateway, the real tools around
// it, and sockets on 127.0.0.1.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>
#include <memory>

#include "sim/pty_server.h"

inline int connect_to(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    timeval tv{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

struct Tool {
    int code = -1;
    QString out;
};

inline Tool run_tool(const QString& program, const QStringList& args, int timeout_ms = 15000) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Tool t;
    if (!p.waitForFinished(timeout_ms)) {
        p.kill();
        p.waitForFinished();
        return t;
    }
    t.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    t.out = QString::fromUtf8(p.readAll());
    return t;
}

// A running gateway.
class Gateway {
  public:
    explicit Gateway(const QStringList& args) { p_.start(QStringLiteral(TX20CTL_PATH), args); }
    ~Gateway() {
        if (p_.state() != QProcess::NotRunning) {
            p_.kill();
            p_.waitForFinished();
        }
    }
    bool wait_for(const QString& text, int timeout_ms = 10000) {
        QElapsedTimer t;
        t.start();
        while (!err_.contains(text) && t.elapsed() < timeout_ms) {
            p_.waitForReadyRead(50);
            err_ += QString::fromUtf8(p_.readAllStandardError());
        }
        return err_.contains(text);
    }
    // SIGTERM; the exit status.
    int stop() {
        p_.terminate();
        if (!p_.waitForFinished(10000)) return -1;
        err_ += QString::fromUtf8(p_.readAllStandardError());
        return p_.exitStatus() == QProcess::NormalExit ? p_.exitCode() : -2;
    }
    bool running() const { return p_.state() == QProcess::Running; }
    const QString& err() const { return err_; }

  private:
    QProcess p_;
    QString err_;
};

template <class F>
bool eventually(F&& f, int timeout_ms = 15000) {
    QElapsedTimer t;
    t.start();
    while (!f()) {
        if (t.elapsed() > timeout_ms) return false;
        QThread::msleep(100);
    }
    return true;
}

// One HTTP exchange on a connection of its own; the whole response, head and body.
inline QByteArray http_exchange(int port, const QByteArray& request) {
    const int fd = connect_to(port);
    if (fd < 0) return {};
    ::send(fd, request.constData(), static_cast<std::size_t>(request.size()), MSG_NOSIGNAL);
    QByteArray reply;
    char buf[4096];
    for (;;) {
        const auto n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        reply.append(buf, static_cast<int>(n));
    }
    ::close(fd);
    return reply;
}

inline QByteArray http_get(int port, const QByteArray& path, const QByteArray& more = {}) {
    return http_exchange(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + more +
                                   "Connection: close\r\n\r\n");
}

// The body of a response.
inline QByteArray http_body(const QByteArray& reply) {
    const auto at = reply.indexOf("\r\n\r\n");
    return at < 0 ? QByteArray() : reply.mid(at + 4);
}

// Controllers 3 and 7, holding still, each with values of its own; null when the
// simulator cannot start.
inline std::unique_ptr<sim::PtyServer> two_still_controllers() {
    sim::Options o;
    o.addresses = {3, 7};
    o.frozen = true;
    auto server = std::make_unique<sim::PtyServer>(std::move(o));
    if (!server->start()) return nullptr;
    auto lock = server->lock();
    LiveGroup& a = server->bus().station(3).live;
    a.MEAS = 41.5f;
    a.SP = 50.0f;
    a.YOUT = 427;
    a.FEEDBACK = 250;
    a.TTERM = 22.5f;
    a.RELAYS = 0b011;
    a.FAULT = 0;
    LiveGroup& b = server->bus().station(7).live;
    b.MEAS = -12.25f;
    b.SP = 80.0f;
    b.YOUT = 1000;
    b.FEEDBACK = 0;
    b.TTERM = 24.75f;
    b.RELAYS = 0b100;
    b.FAULT = 2;
    return server;
}
