#include "analysis/log_csv.h"

#include <charconv>
#include <cmath>

#include "analysis/log_data.h"
#include "platform/atomic_file.h"
#include "platform/civil_date.h"
#include "platform/save_as.h"

namespace log_csv {
namespace {

constexpr qint64 kDayMs = 86400000;

void two(char* p, int v) {
    p[0] = static_cast<char>('0' + v / 10);
    p[1] = static_cast<char>('0' + v % 10);
}

}  // namespace

QByteArray header() {
    return QStringLiteral("čas,naměřená hodnota,žádaná hodnota,akční zásah,porucha,čtení\r\n")
        .toUtf8();
}

void append_iso(QByteArray& out, qint64 wall) {
    qint64 days = wall >= 0 ? wall / kDayMs : -((-wall + kDayMs - 1) / kDayMs);
    const qint64 ms = wall - days * kDayMs;
    const auto [y, m, d] = civil_date::from_days(days);
    char buf[40];
    char* p = buf;
    if (y >= 0 && y <= 9999) {
        const int yy = static_cast<int>(y);
        two(p, yy / 100);
        two(p + 2, yy % 100);
        p += 4;
    } else {
        p = std::to_chars(p, buf + 20, y).ptr;
    }
    *p++ = '-';
    two(p, m);
    p += 2;
    *p++ = '-';
    two(p, d);
    p += 2;
    *p++ = 'T';
    const int sec = static_cast<int>(ms / 1000);
    two(p, sec / 3600);
    p[2] = ':';
    two(p + 3, sec / 60 % 60);
    p[5] = ':';
    two(p + 6, sec % 60);
    p += 8;
    if (ms % 1000 != 0) {
        const int milli = static_cast<int>(ms % 1000);
        *p++ = '.';
        *p++ = static_cast<char>('0' + milli / 100);
        two(p, milli % 100);
        p += 2;
    }
    out.append(buf, p - buf);
}

void append_value(QByteArray& out, double value, int decimals) {
    if (!std::isfinite(value)) return;
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) {
        const auto g = std::to_chars(buf, buf + sizeof buf, value);
        out.append(buf, g.ptr - buf);
        return;
    }
    out.append(buf, r.ptr - buf);
}

QByteArray rows(const LogData& data, int first, int last) {
    QByteArray out;
    first = std::max(first, 0);
    last = std::min(last, data.size() - 1);
    if (first > last) return out;
    out.reserve(static_cast<qsizetype>(last - first + 1) * 48);
    for (int i = first; i <= last; ++i) {
        append_iso(out, data.wall_ms(i));
        for (int t = 0; t < LogData::kTraces; ++t) {
            out.append(',');
            append_value(out, data.value(t, i), data.decimals(t));
        }
        // A line without an answer knows neither values nor the fault state.
        if (!data.is_reading(i))
            out.append(",,0\r\n");
        else
            out.append(data.fault(i) ? ",1,1\r\n" : ",0,1\r\n");
    }
    return out;
}

QByteArray bytes(const LogData& data, int first, int last) {
    return header() + rows(data, first, last);
}

bool write(const QString& path, const LogData& data, int first, int last, QString* reason) {
    const QByteArray head = header();
    const QByteArray body = rows(data, first, last);
    return AtomicFile::write(path, {QByteArrayView(head), QByteArrayView(body)}, reason);
}

bool save_as(Prompts& prompts, const QString& name,
             const std::function<bool(const QString& path, QString* reason)>& write) {
    FileDialogRequest r;
    r.title = QStringLiteral("Exportovat CSV");
    r.file_name = name;
    r.default_suffix = QStringLiteral("csv");
    r.filters = {QStringLiteral("CSV (*.csv)")};
    r.overwrite_prompt = true;
    return ::save_as(prompts, r, r.title, write);
}

}  // namespace log_csv
