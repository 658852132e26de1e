#pragma once

#include <QString>
#include <QStringList>

// The measurement log's text format, for the writer and the reader alike: three header
// lines (the start, the column names, a rule), then one line a sample,
// "measured; set point; action; fault;   time;   date", with the display texts of the
// values. The reader takes the bytes of a line (Windows-1250 or UTF-8, without its end).
namespace log_format {

// The columns of a data line, in order, between semicolons.
enum Column { kMeasured, kSetPoint, kAction, kFault, kTime, kDate, kColumns };
constexpr char kSeparator = ';';

// The three header lines: the start, the column names, the rule.
QStringList header(const QString& date_text, const QString& time_text);
QString data_line(const QString& measure, const QString& set_point, const QString& action,
                  const QString& fault, const QString& time_text, const QString& date_text);

// The fault column: the controller's fault state, or that it did not answer.
QString fault_text(bool fault);
QString no_answer_text();

struct Piece {
    const char* p = nullptr;
    int n = 0;
};

enum class Header { None, Start, Columns, Rule };
struct HeaderLine {
    Header kind = Header::None;
    bool stamped = false;  // a start line with its date and time (untrimmed)
    Piece date;
    Piece time;
};
HeaderLine read_header(const char* p, int n);

// The fields of a data line; false unless it has exactly kColumns of them.
bool split(const char* p, int n, Piece (&fields)[kColumns]);

struct FaultColumn {
    bool fault = false;
    bool reading = true;  // false: "bez odpovědi", the values are not a measurement
};
FaultColumn read_fault(Piece trimmed);

}  // namespace log_format
