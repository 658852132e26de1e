#include "tools/tx20ctl/trace_line.h"

#include <QTime>

QString TraceLine::hex(const std::uint8_t* buf, int n) {
    QString s;
    s.reserve(n * 3);
    for (int i = 0; i < n; ++i) {
        if (i > 0) s += QLatin1Char(' ');
        s += QStringLiteral("%1").arg(buf[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return s;
}

void TraceLine::line(const QString& text) {
    out_ << QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")) << ' ' << text
         << Qt::endl;
}

bool TraceLine::write_bytes(const std::uint8_t* buf, int n, int* written) {
    const bool ok = inner_.write_bytes(buf, n, written);
    line(QStringLiteral("-> ") + hex(buf, n) +
         (ok ? QString() : QStringLiteral("  (write failed)")));
    return ok;
}

bool TraceLine::discard_late(std::uint8_t* buf, int n, int* received) {
    const bool ok = inner_.discard_late(buf, n, received);
    if (ok && *received > 0)
        line(QStringLiteral("<- ") + hex(buf, *received) + QStringLiteral("  (late, discarded)"));
    return ok;
}

bool TraceLine::read_bytes(std::uint8_t* buf, int n, int* received) {
    const bool ok = inner_.read_bytes(buf, n, received);
    return traced(ok, buf, n, *received, false);
}

bool TraceLine::read_frame(std::uint8_t* buf, int n, int* received) {
    const bool ok = inner_.read_frame(buf, n, received);
    return traced(ok, buf, n, *received, true);
}

// A frame read ends at the frame's own length: fewer bytes than asked is no shortfall.
bool TraceLine::traced(bool ok, const std::uint8_t* buf, int n, int got, bool frame) {
    QString text = QStringLiteral("<- ") + hex(buf, got);
    if (!ok)
        text += QStringLiteral("  (read failed)");
    else if (got < n && (!frame || got == 0))
        text += QStringLiteral("%1(%2 of %3 bytes)")
                    .arg(got > 0 ? QStringLiteral("  ") : QString())
                    .arg(got)
                    .arg(n);
    line(text);
    return ok;
}
