#include "tools/tx20ctl/ctl_diag.h"

#include <QElapsedTimer>
#include <QTime>

#include "comm/bus_framer.h"
#include "comm/line.h"
#include "tools/tx20ctl/ctl_commands.h"

void print_stats(const std::map<int, AddressStats>& stats, QTextStream& out) {
    out << "address requests good timeouts short checksum format refused resent"
           " reply_min_ms reply_mean_ms reply_max_ms last_error\n";
    if (stats.empty()) out << "(no exchanges)\n";
    for (const auto& [address, s] : stats) {
        const auto ms = [](int v) { return v < 0 ? QStringLiteral("-") : QString::number(v); };
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9")
                   .arg(address, 7)
                   .arg(s.requests, 8)
                   .arg(s.good, 4)
                   .arg(s.timeouts, 8)
                   .arg(s.short_replies, 5)
                   .arg(s.checksum_errors, 8)
                   .arg(s.format_errors, 6)
                   .arg(s.refusals, 7)
                   .arg(s.resends, 6)
            << QStringLiteral(" %1 %2 %3 %4")
                   .arg(ms(s.reply_min_ms), 12)
                   .arg(s.good > 0 ? QString::number(s.reply_mean_ms, 'f', 1) : QStringLiteral("-"),
                        13)
                   .arg(ms(s.reply_max_ms), 12)
                   .arg(s.last_error_at.isValid()
                            ? s.last_error_at.toString(QStringLiteral("HH:mm:ss.zzz"))
                            : QStringLiteral("-"))
            << '\n';
    }
    out.flush();
}

QString listen_line(qint64 time_ms, const std::uint8_t* p, int n, bool well_formed) {
    TelegramRecord r;
    r.dir = TelegramDir::Received;
    set_record_bytes(r, p, n);
    // Noise has no addresses, even where it looks like a frame's head.
    int dest = -1, src = -1;
    if (well_formed) request_addresses(r.bytes.data(), r.length, &dest, &src);
    const auto addr = [](int a) { return a < 0 ? QStringLiteral("?") : QString::number(a); };
    const qint64 s = time_ms / 1000;
    return QStringLiteral("%1.%2 %3 -> %4  %5  %6%7  %8")
        .arg(s, 6)
        .arg(time_ms % 1000, 3, 10, QLatin1Char('0'))
        .arg(addr(src), 3)
        .arg(addr(dest), -3)
        .arg(well_formed ? telegram_meaning(r) : QStringLiteral("šum"))
        .arg(telegram_hex(r))
        .arg(r.truncated ? QStringLiteral(" ...") : QString())
        .arg(well_formed ? QStringLiteral("OK") : QStringLiteral("chybný rámec"));
}

int listen_bus(Line& line, QTextStream& out, QTextStream& err,
               const std::atomic<bool>& interrupted) {
    QElapsedTimer clock;
    clock.start();
    BusFramer framer([&](const std::uint8_t* p, int n, bool good) {
        out << listen_line(clock.elapsed(), p, n, good) << Qt::endl;
    });
    std::uint8_t buf[256];
    while (!interrupted) {
        int got = 0;
        if (!line.read_bytes(buf, static_cast<int>(sizeof buf), &got)) {
            framer.flush();
            err << "tx20ctl: the line failed while listening" << Qt::endl;
            return kExitFailed;
        }
        framer.feed(buf, got);
        // A read that stops early saw the bus go quiet: no frame spans that gap.
        if (got < static_cast<int>(sizeof buf)) framer.flush();
    }
    framer.flush();
    return kExitOk;
}
