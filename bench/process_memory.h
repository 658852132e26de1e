#pragma once

#include <QFile>
#include <QString>

// The resident memory of a process in KiB, from /proc; -1 when it cannot be read.
inline long rss_kib(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}
