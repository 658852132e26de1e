#pragma once

#include <QFile>
#include <QString>
#include <algorithm>
#include <utility>
#include <vector>

// Figures of the gateway probes.

// The resident memory of a process in KiB, from /proc; -1 when it cannot be read.
inline long rss_kib(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Least-squares slope of (seconds, KiB) samples from `from_s` on, in KiB per second.
inline double rss_slope_per_s(const std::vector<std::pair<double, long>>& samples, double from_s) {
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const auto& [x, y] : samples) {
        if (x < from_s) continue;
        n += 1;
        sx += x;
        sy += static_cast<double>(y);
        sxx += x * x;
        sxy += x * static_cast<double>(y);
    }
    return n > 1 ? (n * sxy - sx * sy) / (n * sxx - sx * sx) : 0;
}

// The q-quantile (0..1) of the values, sorting them; -1 when there are none.
inline double quantile(std::vector<double>& values, double q) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))];
}
