#include "journal/journal_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <limits>

namespace journal_text {

namespace {

QString csv_field(const QString& s) {
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) &&
        !s.contains(QLatin1Char('\n')) && !s.contains(QLatin1Char('\r')))
        return s;
    QString q = s;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

}  // namespace

QString iso_time(const QDateTime& t) {
    // Asking the time zone for every entry of a long export costs more than the rest of
    // it; the offset is asked once an hour of entries.
    static thread_local qint64 hour = std::numeric_limits<qint64>::min();
    static thread_local int offset = 0;
    const qint64 ms = t.toMSecsSinceEpoch();
    const qint64 h = ms / 3'600'000;
    if (h != hour) {
        hour = h;
        offset = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
    }
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offset)
        .toString(Qt::ISODateWithMs);
}

QString csv_header() {
    return QStringLiteral("id,time,user,program,source,address,kind,ok,summary\n");
}

QString csv_line(const JournalEntry& e) {
    QString line;
    line.reserve(160);
    line += QString::number(e.id);
    line += QLatin1Char(',');
    line += iso_time(e.time);
    for (const QString* s : {&e.user, &e.program, &e.source}) {
        line += QLatin1Char(',');
        line += csv_field(*s);
    }
    line += QLatin1Char(',');
    if (e.address >= 0) line += QString::number(e.address);
    line += QLatin1Char(',');
    line += kind_name(e.kind);
    line += e.ok ? QLatin1String(",1,") : QLatin1String(",0,");
    line += csv_field(e.summary);
    line += QLatin1Char('\n');
    return line;
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
