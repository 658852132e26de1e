#include "gateway/listen_address.h"

#include <QStringList>

bool parse_listen_address(const QString& text, ListenAddress* out) {
    const int colon = static_cast<int>(text.lastIndexOf(QLatin1Char(':')));
    if (colon < 0) return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        return false;  // an IPv6 address needs its brackets, or the port is ambiguous
    bool ok = false;
    const int port = text.mid(colon + 1).toInt(&ok);
    if (!ok || port < 1 || port > 65535) return false;
    out->host = host.isEmpty() ? QStringLiteral("127.0.0.1") : host;
    out->port = port;
    return true;
}

bool is_loopback_host(const QString& host) {
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
    const QHostAddress a(host);
    return !a.isNull() && a.isLoopback();
}

namespace {

// An IPv4 client on a dual-stack socket comes as ::ffff:a.b.c.d.
QHostAddress plain(const QHostAddress& a) {
    bool v4 = false;
    const quint32 ip = a.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip) : a;
}

}  // namespace

bool ClientAllowList::parse(const QString& text, QString* error) {
    std::vector<std::pair<QHostAddress, int>> ranges;
    for (const QString& raw : text.split(QLatin1Char(','))) {
        const QString item = raw.trimmed();
        std::pair<QHostAddress, int> range;
        if (item.contains(QLatin1Char('/'))) {
            range = QHostAddress::parseSubnet(item);
        } else {
            const QHostAddress a(item);
            if (!a.isNull()) range = {a, a.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128};
        }
        if (range.first.isNull() || range.second < 0) {
            *error = item.isEmpty() ? QStringLiteral("an empty item") : item;
            return false;
        }
        range.first = plain(range.first);
        ranges.push_back(range);
    }
    ranges_ = std::move(ranges);
    return true;
}

bool ClientAllowList::allows(const QHostAddress& client) const {
    if (ranges_.empty()) return true;
    const QHostAddress a = plain(client);
    for (const auto& r : ranges_)
        if (a.isInSubnet(r)) return true;
    return false;
}
