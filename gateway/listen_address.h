#pragma once

#include <QHostAddress>
#include <QString>
#include <utility>
#include <vector>

// Where a server listens. A host left out means the loopback address: a port opens to
// the network only when someone wrote the address down.
struct ListenAddress {
    QString host;  // never empty once parsed
    int port = 0;
};

// "HOST:PORT", "[V6]:PORT" or ":PORT"; false for anything else or a port beyond 1..65535.
bool parse_listen_address(const QString& text, ListenAddress* out);
// 127.0.0.0/8, ::1 and "localhost"; any other name or address may be reached from outside.
bool is_loopback_host(const QString& host);

// The clients a server lets in: addresses and CIDR ranges, IPv4 or IPv6. Empty: all.
class ClientAllowList {
  public:
    // "192.168.1.0/24,10.0.0.5,::1"; false with the offending item in error.
    bool parse(const QString& text, QString* error);
    bool empty() const { return ranges_.empty(); }
    bool allows(const QHostAddress& client) const;

  private:
    std::vector<std::pair<QHostAddress, int>> ranges_;
};
