#pragma once

#include <QString>

#include "journal/journal_entry.h"

// Entries as text for spreadsheets and scripts: CSV (UTF-8, a header row, ISO 8601
// times with the offset, commas, quotes where needed) and one JSON object a line.
namespace journal_text {

QString csv_header();
QString csv_line(const JournalEntry& e);
// The same line appended as UTF-8, for exports of any length.
void append_csv(QByteArray& out, const JournalRow& r);
// One field of UTF-8 text, quoted when it holds a comma, a quote or a line break.
void append_csv_field(QByteArray& out, const char* utf8, qsizetype size);
QString json_line(const JournalEntry& e);
// ISO 8601 with the local offset, seconds and milliseconds.
QString iso_time(const QDateTime& t);
void append_iso_time(QByteArray& out, qint64 ms);
// Accepts 2026-12-10, 2026-12-10T08:30[:00], with or without an offset (local time);
// an until-date alone means the end of that day.
std::optional<QDateTime> parse_time(const QString& text, bool end_of_day);

}  // namespace journal_text
