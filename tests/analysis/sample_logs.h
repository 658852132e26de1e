#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <cstdio>
#include <vector>

#include "app/measurement_log.h"
#include "live/log_format.h"
#include "platform/formats.h"

// Logs as the program writes them, for the reader's tests.
struct LogSample {
    QDateTime at;
    double measure;
    double set_point;
    double action;
    bool fault;
    bool answered = true;  // false: the line written when the controller did not answer
};

// Through the program's own log writer, with the texts of `locale`.
inline QByteArray written_log(const QLocale& locale, bool header,
                              const std::vector<LogSample>& samples) {
    MeasurementLog log;
    if (header && !samples.empty())
        log.start(formats::short_date(samples.front().at.date(), locale),
                  formats::long_time(samples.front().at.time(), locale));
    for (const LogSample& s : samples) {
        log.append(log_format::data_line(
            formats::fixed(s.measure, 2, 15, locale), formats::fixed(s.set_point, 2, 15, locale),
            formats::fixed(s.action, 1, 15, locale),
            !s.answered ? QStringLiteral("bez odpovědi")
            : s.fault   ? QStringLiteral("PORUCHA")
                        : QStringLiteral("není porucha"),
            formats::long_time(s.at.time(), locale), formats::short_date(s.at.date(), locale)));
    }
    return log.file_bytes();
}

// A week at one sample a second in the Czech texts of the writer, made fast: the header
// and the lines the writer would give for the same values (a test checks the first lines
// against the writer). The measured value swings with the hour, a fault every six hours.
inline QByteArray week_log(int seconds = 7 * 86400) {
    const QDateTime start(QDate(2026, 12, 7), QTime(0, 0, 0));
    QByteArray out =
        written_log(QLocale(QLocale::Czech, QLocale::Czechia), true, {{start, 0, 0, 0, false}});
    out.chop(out.size() - out.lastIndexOf("\r\n", out.size() - 3) - 2);  // header only
    out.reserve(out.size() + static_cast<qsizetype>(seconds) * 62);
    char line[128];
    for (int i = 0; i < seconds; ++i) {
        const int day = 7 + i / 86400;
        const int t = i % 86400;
        const int m = 5000 + (i / 60) % 600 + ((i % 3600) < 1800 ? (i % 1800) : 1800 - (i % 1800));
        const int sp = 5500;
        const int y = (i / 7) % 1000;
        const bool fault = i % 21600 < 300;
        const int n = std::snprintf(
            line, sizeof line, "%d,%02d; %d,%02d; %d,%d; %s;   %d:%02d:%02d;   %02d.12.26\r\n",
            m / 100, m % 100, sp / 100, sp % 100, y / 10, y % 10,
            fault ? "PORUCHA" : "nen\xed porucha", t / 3600, t / 60 % 60, t % 60, day);
        out.append(line, n);
    }
    return out;
}
