#include "analysis/log_reader.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "live/log_format.h"
#include "platform/formats.h"

namespace {

bool is_space(char c) { return c == ' ' || c == '\t'; }

void trim(const char*& p, int& n) {
    while (n > 0 && is_space(*p)) ++p, --n;
    while (n > 0 && is_space(p[n - 1])) --n;
}

// A value as the live panels show it: either decimal separator, an optional exponent,
// "NAN", "INF", "-INF". Counts the digits after the separator.
bool read_number(const char* p, int n, float* out, int* decimals) {
    trim(p, n);
    if (n == 0 || n > 40) return false;
    char buf[48];
    int dec = 0;
    bool after_point = false;
    bool exponent = false;
    for (int i = 0; i < n; ++i) {
        char c = p[i];
        if (c == ',') c = '.';
        if (c == '.') {
            if (after_point || exponent) return false;
            after_point = true;
        } else if (c == 'E' || c == 'e') {
            exponent = true;
        } else if (c >= '0' && c <= '9') {
            if (after_point && !exponent) ++dec;
        } else if (c != '-' && c != '+' && c != 'N' && c != 'A' && c != 'I' && c != 'F') {
            return false;
        }
        buf[i] = c;
    }
    if (n == 3 && std::memcmp(buf, "NAN", 3) == 0) {
        *out = std::numeric_limits<float>::quiet_NaN();
    } else if ((n == 3 && std::memcmp(buf, "INF", 3) == 0) ||
               (n == 4 && std::memcmp(buf, "-INF", 4) == 0)) {
        *out = buf[0] == '-' ? -std::numeric_limits<float>::infinity()
                             : std::numeric_limits<float>::infinity();
    } else {
        double v = 0;
        const char* begin = buf[0] == '+' ? buf + 1 : buf;
        const auto res = std::from_chars(begin, buf + n, v);
        if (res.ec != std::errc() || res.ptr != buf + n) return false;
        *out = static_cast<float>(v);
    }
    *decimals = dec;
    return true;
}

bool starts_with(const char* p, int n, const char* prefix) {
    const int k = static_cast<int>(std::strlen(prefix));
    return n >= k && std::memcmp(p, prefix, static_cast<std::size_t>(k)) == 0;
}

// Length of the UTF-8 sequence starting at p, or 0 when it is not one.
int utf8_sequence(const unsigned char* p, qsizetype left) {
    const unsigned char c = p[0];
    const int len = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (len == 0 || len > left || c > 0xF4) return 0;
    for (int i = 1; i < len; ++i)
        if ((p[i] & 0xC0) != 0x80) return 0;
    return len;
}

}  // namespace

LogReader::LogReader(const QLocale& current) {
    const QLocale czech(QLocale::Czech, QLocale::Czechia);
    // The C locale's too: a tool run without regional settings writes its log in them.
    for (const QLocale& l : {current, czech, QLocale::c()}) {
        formats_.push_back({l.name(), DateTimePattern(l.dateFormat(QLocale::ShortFormat), l),
                            DateTimePattern(formats::long_time_format(l), l)});
    }
    formats_.push_back({QStringLiteral("ISO 8601"),
                        DateTimePattern(QStringLiteral("yyyy-MM-dd"), QLocale::c()),
                        DateTimePattern(QStringLiteral("HH:mm:ss"), QLocale::c())});
}

void LogReader::feed(const char* bytes, qsizetype size) {
    // Encoding evidence, on the raw bytes.
    const auto* u = reinterpret_cast<const unsigned char*>(bytes);
    for (qsizetype i = 0; i < size; ++i) {
        if (u[i] < 0x80) {
            if (u[i] == 0) ++nul_bytes_;
            continue;
        }
        const int len = utf8_sequence(u + i, size - i);
        if (len > 0) {
            utf8_bytes_ += len;
            i += len - 1;
        } else {
            ++other_high_;
        }
    }
    qsizetype from = 0;
    if (!carry_.isEmpty() || overlong_) {
        const char* nl =
            static_cast<const char*>(std::memchr(bytes, '\n', static_cast<std::size_t>(size)));
        if (!nl) {
            keep(bytes, size);
            return;
        }
        keep(bytes, nl - bytes + 1);
        from = nl - bytes + 1;
        end_carried_line(true);
    }
    while (from < size) {
        const char* start = bytes + from;
        const char* nl = static_cast<const char*>(
            std::memchr(start, '\n', static_cast<std::size_t>(size - from)));
        if (!nl) {
            keep(start, size - from);
            return;
        }
        qsizetype n = nl - start;
        const bool cr = n > 0 && start[n - 1] == '\r';
        if (cr) --n;
        line(start, static_cast<int>(std::min<qsizetype>(n, INT_MAX)), cr);
        from = nl - bytes + 1;
    }
}

void LogReader::keep(const char* bytes, qsizetype size) {
    // No line of a log is anywhere near this long: such a "line" is counted, not held.
    if (overlong_ || carry_.size() + size > kMaxLine) {
        overlong_ = true;
        carry_.clear();
        return;
    }
    carry_.append(bytes, size);
}

void LogReader::end_carried_line(bool ended) {
    if (overlong_) {
        overlong_ = false;
        line("", 0, true);
        // An empty line would not count; this one is unreadable.
        if (r_.first_bad_line == 0) r_.first_bad_line = r_.lines;
        ++r_.skipped;
        return;
    }
    qsizetype n = carry_.size();
    if (ended) --n;  // the LF
    const bool cr = ended && n > 0 && carry_.at(n - 1) == '\r';
    if (cr) --n;
    line(carry_.constData(), static_cast<int>(n), cr || !ended);
    carry_.clear();
}

void LogReader::line(const char* p, int size, bool had_cr) {
    ++r_.lines;
    if (!had_cr) ++lf_only_;
    // Editors that save UTF-8 may put a byte order mark in front.
    if (r_.lines == 1 && starts_with(p, size, "\xEF\xBB\xBF")) {
        p += 3;
        size -= 3;
    }
    if (size == 0 && !overlong_) return;  // a blank line holds nothing to lose
    if (data_line(p, size) || header_line(p, size)) return;
    ++r_.skipped;
    if (r_.first_bad_line == 0) r_.first_bad_line = r_.lines;
}

bool LogReader::header_line(const char* p, int size) {
    const log_format::HeaderLine h = log_format::read_header(p, size);
    if (h.kind == log_format::Header::None) return false;
    if (h.kind != log_format::Header::Start) return true;
    r_.header = true;
    qint64 wall = 0;
    if (h.stamped && read_stamp(h.time.p, h.time.n, h.date.p, h.date.n, &wall))
        r_.start = LogData::to_date_time(wall);
    return true;
}

bool LogReader::read_stamp(const char* tp, int tn, const char* dp, int dn, qint64* wall) {
    trim(tp, tn);
    trim(dp, dn);
    // Most lines repeat the date of the line before.
    const bool same_date =
        last_date_.size() == dn &&
        std::memcmp(last_date_.constData(), dp, static_cast<std::size_t>(dn)) == 0;
    const int count = static_cast<int>(formats_.size());
    for (int k = 0; k < count; ++k) {
        const int f = k == 0 ? last_format_ : (k <= last_format_ ? k - 1 : k);
        QTime t;
        if (!formats_[static_cast<std::size_t>(f)].time.read_time(tp, tn, &t)) continue;
        qint64 day_ms = 0;
        if (same_date && f == last_format_) {
            day_ms = last_day_ms_;
        } else {
            QDate d;
            if (!formats_[static_cast<std::size_t>(f)].date.read_date(dp, dn, &d)) continue;
            day_ms = LogData::from_date_time(d, QTime(0, 0));
            last_date_ = QByteArray(dp, dn);
            last_day_ms_ = day_ms;
        }
        last_format_ = f;
        *wall = day_ms + t.msecsSinceStartOfDay();
        return true;
    }
    return false;
}

bool LogReader::data_line(const char* p, int size) {
    using namespace log_format;
    static_assert(int(LogData::Measured) == kMeasured && int(LogData::SetPoint) == kSetPoint &&
                  int(LogData::Action) == kAction && LogData::kTraces == kAction + 1);
    Piece field[kColumns];
    if (!split(p, size, field)) return false;
    std::array<float, LogData::kTraces> v{};
    std::array<int, LogData::kTraces> dec{};
    for (int t = 0; t < LogData::kTraces; ++t)
        if (!read_number(field[t].p, field[t].n, &v[static_cast<std::size_t>(t)],
                         &dec[static_cast<std::size_t>(t)]))
            return false;
    Piece fault = field[kFault];
    trim(fault.p, fault.n);
    const FaultColumn f = read_fault(fault);
    qint64 wall = 0;
    if (!read_stamp(field[kTime].p, field[kTime].n, field[kDate].p, field[kDate].n, &wall))
        return false;
    const int before = r_.data.clock_jumps();
    r_.data.append(wall, v, f.fault, f.reading);
    if (r_.data.clock_jumps() != before && jumps_first_line_ == 0) jumps_first_line_ = r_.lines;
    for (int t = 0; t < LogData::kTraces; ++t)
        r_.data.note_decimals(t, dec[static_cast<std::size_t>(t)]);
    if (r_.data.size() == 1) r_.locale_name = formats_[static_cast<std::size_t>(last_format_)].name;
    return true;
}

LogReadResult LogReader::finish() {
    if (!carry_.isEmpty() || overlong_) {
        // The last line has no line end: the file was cut, or is still being written.
        const qint64 skipped = r_.skipped;
        end_carried_line(false);
        last_cut_ = r_.skipped != skipped;
    }
    r_.data.finish();
    LogReadResult out = std::move(r_);
    r_ = LogReadResult{};

    if (out.lines == 0) {
        out.error = QStringLiteral("Soubor je prázdný.");
        return out;
    }
    if (nul_bytes_ > 0 && out.data.empty()) {
        out.error = QStringLiteral("Soubor není záznam měření: obsahuje binární data.");
        return out;
    }
    if (out.data.empty() && out.first_bad_line == 0) {
        out.error = QStringLiteral("V souboru není žádný řádek měření.");
        return out;
    }
    if (out.data.empty()) {
        out.error = QStringLiteral(
                        "V souboru není žádný čitelný řádek měření (první nečitelný "
                        "řádek: %1).")
                        .arg(out.first_bad_line);
        return out;
    }
    if (utf8_bytes_ > 0 && other_high_ == 0)
        out.notes << QStringLiteral("Soubor je v kódování UTF-8, ne Windows-1250.");
    if (lf_only_ > 0)
        out.notes << QStringLiteral("Řádky končí jen znakem LF (%1×), ne CR LF.").arg(lf_only_);
    if (out.skipped > 0)
        out.notes << QStringLiteral("Vynechané nečitelné řádky: %1, první na řádku %2.")
                         .arg(out.skipped)
                         .arg(out.first_bad_line);
    if (last_cut_)
        out.notes << QStringLiteral(
            "Poslední řádek je neúplný (soubor byl přerušen nebo se "
            "ještě zapisuje).");
    if (out.data.clock_jumps() > 0)
        out.notes << QStringLiteral(
                         "Čas se vrací zpět (%1×, poprvé na řádku %2); graf pokračuje "
                         "za předchozím vzorkem.")
                         .arg(out.data.clock_jumps())
                         .arg(jumps_first_line_);
    return out;
}

LogReadResult LogReader::read_bytes(const QByteArray& bytes, const QLocale& current) {
    LogReader reader(current);
    reader.feed(bytes.constData(), bytes.size());
    return reader.finish();
}

LogReadResult LogReader::read_file(const QString& path, const QLocale& current) {
    LogReadResult r;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        r.error = QStringLiteral("Soubor %1 nelze otevřít: %2").arg(path, file.errorString());
        return r;
    }
    const qint64 size = file.size();
    if (size > kMaxFileBytes) {
        r.error = QStringLiteral("Soubor má %1 MB; otevřít lze záznam do %2 MB.")
                      .arg(size / (1024 * 1024))
                      .arg(kMaxFileBytes / (1024 * 1024));
        return r;
    }
    // In pieces: the file is never held whole, only the samples read from it.
    LogReader reader(current);
    QByteArray chunk(4 * 1024 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(chunk.data(), chunk.size());
        if (n < 0) {
            r.error = QStringLiteral("Soubor %1 nelze číst: %2").arg(path, file.errorString());
            return r;
        }
        if (n == 0) break;
        reader.feed(chunk.constData(), n);
    }
    return reader.finish();
}
