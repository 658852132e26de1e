#include "journal/journal_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <algorithm>
#include <limits>

#include "platform/civil_date.h"

namespace journal_text {

namespace {

// The local offset of a moment. The time zone costs more than the rest of an export: it
// is asked at both ends of a day, which then has one offset unless they differ (no zone
// changes its offset twice in a day), and an hour at a time on a day they differ.
int local_offset(qint64 ms) {
    constexpr qint64 kHour = 3'600'000;
    constexpr qint64 kDay = 24 * kHour;
    static thread_local qint64 from = 1;
    static thread_local qint64 to = 0;  // [from, to) has the one offset
    static thread_local int offset = 0;
    if (ms >= from && ms < to) return offset;
    const auto ask = [](qint64 t) { return QDateTime::fromMSecsSinceEpoch(t).offsetFromUtc(); };
    const qint64 hour = (ms >= 0 ? ms : ms - kHour + 1) / kHour * kHour;
    offset = ask(hour);
    if (ask(hour + kDay) == offset) {
        from = hour;
        to = hour + kDay;
    } else {
        from = hour;
        to = hour + kHour;
    }
    return offset;
}

void put_digits(char*& p, qint64 v, int width) {
    for (int i = width - 1; i >= 0; --i) {
        p[i] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    p += width;
}

void civil(qint64 days, qint64& y, int& m, int& d) {
    const civil_date::Date c = civil_date::from_days(days);
    y = c.year;
    m = c.month;
    d = c.day;
}

void csv_field(QByteArray& out, const QString& s) {
    const QByteArray utf8 = s.toUtf8();
    append_csv_field(out, utf8.constData(), utf8.size());
}

// User, program and source repeat from one entry to the next: each is encoded once.
struct RepeatedField {
    QString text;
    QByteArray field;
    void put(QByteArray& out, const QString& s) {
        if (s != text || field.isNull()) {
            text = s;
            field = QByteArray("");
            csv_field(field, s);
        }
        out += field;
    }
};

}  // namespace

void append_csv_field(QByteArray& out, const char* utf8, qsizetype size) {
    const char* end = utf8 + size;
    const auto special = [](char c) { return c == ',' || c == '"' || c == '\n' || c == '\r'; };
    if (std::find_if(utf8, end, special) == end) {
        out.append(utf8, size);
        return;
    }
    out += '"';
    for (const char* p = utf8; p != end; ++p) {
        if (*p == '"') out += '"';
        out += *p;
    }
    out += '"';
}

void append_iso_time(QByteArray& out, qint64 ms) {
    const int offset = local_offset(ms);
    const qint64 local = ms + qint64{offset} * 1000;
    const qint64 day_ms = 86'400'000;
    const qint64 days = (local >= 0 ? local : local - day_ms + 1) / day_ms;
    const qint64 in_day = local - days * day_ms;
    qint64 y = 0;
    int m = 0;
    int d = 0;
    civil(days, y, m, d);
    if (y < 1 || y > 9999) {
        // Far from any real entry: the slow way gives what Qt would.
        out += QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offset)
                   .toString(Qt::ISODateWithMs)
                   .toLatin1();
        return;
    }
    char buffer[32];
    char* p = buffer;
    put_digits(p, y, 4);
    *p++ = '-';
    put_digits(p, m, 2);
    *p++ = '-';
    put_digits(p, d, 2);
    *p++ = 'T';
    put_digits(p, in_day / 3'600'000, 2);
    *p++ = ':';
    put_digits(p, in_day / 60'000 % 60, 2);
    *p++ = ':';
    put_digits(p, in_day / 1000 % 60, 2);
    *p++ = '.';
    put_digits(p, in_day % 1000, 3);
    // As Qt writes it: Z for UTC, else hours and minutes.
    if (offset == 0) {
        *p++ = 'Z';
    } else {
        const int a = offset < 0 ? -offset : offset;
        *p++ = offset < 0 ? '-' : '+';
        put_digits(p, a / 3600, 2);
        *p++ = ':';
        put_digits(p, a / 60 % 60, 2);
    }
    out.append(buffer, p - buffer);
}

QString iso_time(const QDateTime& t) {
    QByteArray out;
    append_iso_time(out, t.toMSecsSinceEpoch());
    return QString::fromLatin1(out);
}

QString csv_header() {
    return QStringLiteral("id,time,user,program,source,address,kind,ok,summary\n");
}

void append_csv(QByteArray& out, const JournalRow& r) {
    out += QByteArray::number(r.id);
    out += ',';
    append_iso_time(out, r.time_ms);
    static thread_local RepeatedField repeated[3];
    const QString* fields[] = {&r.user, &r.program, &r.source};
    for (int i = 0; i < 3; ++i) {
        out += ',';
        repeated[i].put(out, *fields[i]);
    }
    out += ',';
    if (r.address >= 0) out += QByteArray::number(r.address);
    out += ',';
    static thread_local RepeatedField kind;
    kind.put(out, kind_name(r.kind));
    out += r.ok ? ",1," : ",0,";
    csv_field(out, r.summary);
    out += '\n';
}

QString csv_line(const JournalEntry& e) {
    JournalRow r;
    r.id = e.id;
    r.time_ms = e.time.toMSecsSinceEpoch();
    r.user = e.user;
    r.program = e.program;
    r.source = e.source;
    r.address = e.address;
    r.kind = e.kind;
    r.ok = e.ok;
    r.summary = e.summary;
    QByteArray out;
    append_csv(out, r);
    return QString::fromUtf8(out);
}

QString json_line(const JournalEntry& e) {
    QJsonObject o{{QStringLiteral("id"), e.id},         {QStringLiteral("time"), iso_time(e.time)},
                  {QStringLiteral("user"), e.user},     {QStringLiteral("program"), e.program},
                  {QStringLiteral("source"), e.source}, {QStringLiteral("kind"), kind_name(e.kind)},
                  {QStringLiteral("ok"), e.ok},         {QStringLiteral("summary"), e.summary}};
    o.insert(QStringLiteral("address"), e.address >= 0 ? QJsonValue(e.address) : QJsonValue());
    if (!e.changes.empty()) {
        QJsonArray a;
        for (const FieldChange& c : e.changes)
            a.append(QJsonObject{{QStringLiteral("table"), c.table},
                                 {QStringLiteral("field"), c.field},
                                 {QStringLiteral("old"), c.old_value},
                                 {QStringLiteral("new"), c.new_value}});
        o.insert(QStringLiteral("changes"), a);
    }
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<QDateTime> parse_time(const QString& text, bool end_of_day) {
    const QString t = text.trimmed();
    const QDate date = QDate::fromString(t, Qt::ISODate);
    if (date.isValid() && t.size() == 10)
        return end_of_day ? QDateTime(date, QTime(23, 59, 59, 999)) : QDateTime(date, QTime(0, 0));
    QDateTime dt = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!dt.isValid()) dt = QDateTime::fromString(t, Qt::ISODate);
    if (!dt.isValid()) {
        QString spaced = t;
        spaced.replace(QLatin1Char(' '), QLatin1Char('T'));
        dt = QDateTime::fromString(spaced, Qt::ISODate);
    }
    if (!dt.isValid()) return std::nullopt;
    return dt;
}

}  // namespace journal_text
