#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <string>
#include <vector>

// A date or time format of a locale ("dd.MM.yy", "h:mm:ss AP") compiled for reading
// many lines fast. Separators are compared by their ASCII punctuation only: spaces, and
// characters a code page could not hold (written as '?', or as UTF-8 bytes), may differ.
class DateTimePattern {
  public:
    DateTimePattern() = default;
    DateTimePattern(const QString& format, const QLocale& locale);

    bool valid() const { return !fields_.empty(); }
    const QString& format() const { return format_; }

    // bytes..bytes+size hold the text of one field of a line (Windows-1250 or UTF-8).
    bool read_date(const char* bytes, int size, QDate* out) const;
    bool read_time(const char* bytes, int size, QTime* out) const;

  private:
    enum class Kind {
        Day,
        Month,
        Year,
        Hour,
        Hour12,
        Minute,
        Second,
        Milli,
        AmPm,
        MonthName,
        DayName
    };
    struct Field {
        Kind kind;
        int min_digits;
        int max_digits;
        std::string before;  // the separator in front, ASCII punctuation only
    };
    struct Values {
        int day = 1, month = 1, year = 2000, hour = 0, minute = 0, second = 0, milli = 0;
        int pm = -1;  // -1: no AM/PM field
    };
    bool read(const char* bytes, int size, Values* v) const;
    int month_from_name(const QString& text) const;

    QString format_;
    std::vector<Field> fields_;
    std::string after_;  // trailing separator
    QLocale locale_;
};
