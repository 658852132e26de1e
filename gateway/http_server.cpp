#include "gateway/http_server.h"

#include <QAbstractHttpServer>
#include <QDateTime>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <map>

#include "gateway/metrics.h"
#include "gateway/unit_json.h"

namespace {

using Status = QHttpServerResponder::StatusCode;
using Method = QHttpServerRequest::Method;

class GuardedSocket : public QTcpSocket {
  public:
    using QTcpSocket::QTcpSocket;
    qint64 pending = 0;  // bytes received since the last answer
};

// Hands the HTTP server its connections, at most kMaxConnections at once, each closed
// after kIdleMs without an answer.
class LimitedTcpServer : public QTcpServer {
  public:
    using QTcpServer::QTcpServer;

  protected:
    void incomingConnection(qintptr handle) override {
        auto* socket = new GuardedSocket(this);
        if (!socket->setSocketDescriptor(handle)) {
            delete socket;
            return;
        }
        if (open_ >= HttpServer::kMaxConnections) {
            socket->abort();
            delete socket;
            return;
        }
        ++open_;
        connect(socket, &QObject::destroyed, this, [this] { --open_; });
        auto* idle = new QTimer(socket);
        idle->setSingleShot(true);
        idle->start(HttpServer::kIdleMs);
        connect(socket, &QTcpSocket::bytesWritten, idle, [idle] { idle->start(); });
        connect(idle, &QTimer::timeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        // Connected before the HTTP server's own reader, so it sees each chunk before
        // that one takes it: what came since the last answer, bounded.
        connect(socket, &QTcpSocket::bytesWritten, socket, [socket] { socket->pending = 0; });
        connect(socket, &QIODevice::readyRead, socket, [socket] {
            socket->pending += socket->bytesAvailable();
            if (socket->pending <= HttpServer::kMaxRequestBytes) return;
            socket->write(
                "HTTP/1.1 413 Payload Too Large\r\nContent-Type: text/plain; charset=utf-8\r\n"
                "Content-Length: 24\r\nConnection: close\r\n\r\nPříliš dlouhý dotaz.");
            socket->flush();
            socket->abort();
            socket->deleteLater();
        });
        addPendingConnection(socket);
    }

  private:
    int open_ = 0;
};

bool same_bytes(const QByteArray& a, const QByteArray& b) {
    // The whole length every time: how long a refusal takes tells nothing.
    unsigned diff = static_cast<unsigned>(a.size() ^ b.size());
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned>(a[i] ^ (i < b.size() ? b[i] : 0));
    return diff == 0;
}

}  // namespace

class StatusHttpServer : public QAbstractHttpServer {
  public:
    StatusHttpServer(HttpServer::Snapshot snapshot, const GatewayRecord& record,
                     std::optional<Credentials> login)
        : snapshot_(std::move(snapshot)), record_(record) {
        if (login)
            authorization_ =
                "Basic " + (login->user + QLatin1Char(':') + login->password).toUtf8().toBase64();
        QFile page(QStringLiteral(":/gateway/status_page.html"));
        if (page.open(QIODevice::ReadOnly)) page_ = page.readAll();
    }

    bool start(const QHostAddress& address, int port, QString* error) {
        auto* tcp = new LimitedTcpServer(this);
        if (!tcp->listen(address, static_cast<quint16>(port))) {
            *error = tcp->errorString();
            delete tcp;
            return false;
        }
        bind(tcp);
        return true;
    }

  protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        respond(request, socket);
        // The library keeps every connection open; a client that asked otherwise would
        // wait for the idle time-out to see the end of its answer.
        if (request.value(QByteArrayLiteral("connection")).toLower().contains("close"))
            QMetaObject::invokeMethod(socket, &QTcpSocket::disconnectFromHost,
                                      Qt::QueuedConnection);
        return true;
    }

    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override {
        makeResponder(request, socket).write(Status::NotFound);
    }

  private:
    void respond(const QHttpServerRequest& request, QTcpSocket* socket) {
        QHttpServerResponder responder = makeResponder(request, socket);
        const QString path = request.url().path();
        // A HEAD gets the headers a GET would, and no body, whatever the status.
        const bool head = request.method() == Method::Head;
        const auto reply = [&](Status status, const QByteArray& type, const QByteArray& body,
                               const QByteArray& header = {}, const QByteArray& value = {}) {
            responder.writeStatusLine(status);
            responder.writeHeader("Content-Type", type);
            responder.writeHeader("Content-Length", QByteArray::number(body.size()));
            responder.writeHeader("Cache-Control", "no-store");
            responder.writeHeader("X-Content-Type-Options", "nosniff");
            if (!header.isEmpty()) responder.writeHeader(header, value);
            responder.writeBody(head ? QByteArray() : body);
        };
        const QByteArray text = "text/plain; charset=utf-8";
        if (!authorization_.isEmpty() &&
            !same_bytes(request.value(QByteArrayLiteral("authorization")), authorization_)) {
            reply(Status::Unauthorized, text, QByteArrayLiteral("Přihlaste se.\n"),
                  "WWW-Authenticate", "Basic realm=\"TX-20\", charset=\"UTF-8\"");
            return;
        }
        static const QStringList paths{QStringLiteral("/"), QStringLiteral("/metrics"),
                                       QStringLiteral("/api/state"), QStringLiteral("/api/view"),
                                       QStringLiteral("/api/history")};
        if (!paths.contains(path)) {
            reply(Status::NotFound, text, QByteArrayLiteral("Nenalezeno.\n"));
        } else if (request.method() != Method::Get && !head) {
            reply(Status::MethodNotAllowed, text, QByteArrayLiteral("Jen ke čtení.\n"), "Allow",
                  "GET, HEAD");
        } else if (path == QLatin1String("/")) {
            reply(Status::Ok, "text/html; charset=utf-8", page_);
        } else if (path == QLatin1String("/metrics")) {
            reply(Status::Ok, kMetricsContentType, prometheus_metrics(snapshot_()));
        } else {
            const QByteArray json = path == QLatin1String("/api/state")  ? units_json(false)
                                    : path == QLatin1String("/api/view") ? units_json(true)
                                                                         : history_json();
            reply(Status::Ok, "application/json", json);
        }
    }

    QByteArray units_json(bool view) {
        QJsonArray units;
        for (const UnitSnapshot& u : snapshot_().units)
            units.append(view ? cached_view(u.reading) : state_json(u.reading));
        QJsonObject o;
        o.insert(QStringLiteral("units"), units);
        // The page draws the hour on the gateway's clock, whatever the browser's says.
        if (view)
            o.insert(QStringLiteral("now"),
                     static_cast<double>(QDateTime::currentMSecsSinceEpoch()));
        return QJsonDocument(o).toJson(QJsonDocument::Compact);
    }

    QByteArray history_json() const {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QJsonArray units;
        for (const UnitSnapshot& u : snapshot_().units) {
            QJsonArray points;
            for (const auto& [ms, value] : record_.hour(u.reading.address, now))
                points.append(
                    QJsonArray{static_cast<double>(ms), QString::number(value, 'g', 7).toDouble()});
            units.append(QJsonObject{{QStringLiteral("address"), u.reading.address},
                                     {QStringLiteral("points"), points}});
        }
        QJsonObject o;
        o.insert(QStringLiteral("units"), units);
        return QJsonDocument(o).toJson(QJsonDocument::Compact);
    }

    // The texts change only with a reading, and every browser asks every second: each
    // controller's row is made once per reading.
    QJsonObject cached_view(const UnitReading& r) {
        View& v = views_[r.address];
        if (v.row.isEmpty() || v.last_good_ms != r.last_good_ms || v.failures != r.failures ||
            v.link != r.link || v.type != r.type_text) {
            v = {r.last_good_ms, r.failures, r.link, r.type_text, view_json(r)};
        }
        return v.row;
    }

    struct View {
        qint64 last_good_ms = -1;
        int failures = 0;
        bool link = false;
        QString type;
        QJsonObject row;
    };

    HttpServer::Snapshot snapshot_;
    const GatewayRecord& record_;
    std::map<int, View> views_;  // this thread only
    QByteArray authorization_;
    QByteArray page_;
};

HttpServer::HttpServer(Snapshot snapshot, const GatewayRecord& record,
                       std::optional<Credentials> login)
    : snapshot_(std::move(snapshot)), record_(record), login_(std::move(login)) {}

HttpServer::~HttpServer() { stop(); }

bool HttpServer::listen(const QString& host, int port) {
    const QHostAddress address = host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
                                     ? QHostAddress(QHostAddress::LocalHost)
                                     : QHostAddress(host);
    if (address.isNull()) {
        error_ = QStringLiteral("%1 is no IP address").arg(host);
        return false;
    }
    server_ = new StatusHttpServer(snapshot_, record_, login_);
    server_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("http"));
    thread_.start();
    bool ok = false;
    QMetaObject::invokeMethod(
        server_, [&] { ok = server_->start(address, port, &error_); },
        Qt::BlockingQueuedConnection);
    if (!ok) stop();
    return ok;
}

void HttpServer::stop() {
    if (!server_) return;
    // Deleted on its own thread, with every socket it holds, as the thread ends.
    server_->deleteLater();
    server_ = nullptr;
    thread_.quit();
    thread_.wait();
}
