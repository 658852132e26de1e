#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class LogData;
class Prompts;

// CSV of recorded samples for spreadsheets and scripts: UTF-8, a header row, ISO 8601
// timestamps, a decimal point, comma separators, CR LF line ends. Each value keeps the
// decimals the log wrote; a missing value is an empty field. The last column says
// whether the line is a reading (1) or a line written without an answer (0), whose
// values and fault state are empty.
namespace log_csv {

QByteArray header();
// Samples first..last (both included).
QByteArray rows(const LogData& data, int first, int last);
QByteArray bytes(const LogData& data, int first, int last);

// Replaces the file atomically; false with the reason when anything failed (the old
// file then stays as it was).
bool write(const QString& path, const LogData& data, int first, int last, QString* reason);

// The save dialog of "Exportovat CSV" offering name, then write at the chosen path; a
// failure is told under that caption.
bool save_as(Prompts& prompts, const QString& name,
             const std::function<bool(const QString& path, QString* reason)>& write);

// "2026-12-09T13:05:07" (milliseconds only when there are any).
void append_iso(QByteArray& out, qint64 wall_ms);
void append_value(QByteArray& out, double value, int decimals);

}  // namespace log_csv
