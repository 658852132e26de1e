#pragma once

#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <optional>

#include "gateway/credentials.h"
#include "gateway/gateway_record.h"

class StatusHttpServer;

// The gateway over HTTP, read-only, on a thread of its own so that it answers while an
// exchange blocks the bus:
//   /             the status page for a browser (Czech, self-contained)
//   /api/state    {"units": [the state of every controller, as MQTT publishes it]}
//   /api/view     the same with the texts of the bus overview and the time, for the page
//   /api/history  the last hour of measured values, for the page's charts
//   /metrics      the Prometheus text format
// GET and HEAD only; with credentials every path asks for them (basic authentication).
class HttpServer {
  public:
    using Snapshot = std::function<GatewaySnapshot()>;
    // Beyond these a connection is closed at once: a crowd cannot eat the descriptors.
    static constexpr int kMaxConnections = 512;
    // A connection that has had no answer for this long is closed, so a client that
    // sends its request a byte at a time holds its socket no longer.
    static constexpr int kIdleMs = 30000;
    // A read-only server needs no bodies: a longer request is refused (413) and closed.
    static constexpr qint64 kMaxRequestBytes = 64 * 1024;

    HttpServer(Snapshot snapshot, const GatewayRecord& record, std::optional<Credentials> login);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // host: an IP address or "localhost". False with error() set.
    bool listen(const QString& host, int port);
    QString error() const { return error_; }
    // Closes every connection and ends the thread.
    void stop();

  private:
    Snapshot snapshot_;
    const GatewayRecord& record_;
    std::optional<Credentials> login_;
    QThread thread_;
    StatusHttpServer* server_ = nullptr;  // lives on thread_
    QString error_;
};
