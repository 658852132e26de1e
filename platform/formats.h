#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

// Numbers, dates and times as the user's regional settings show them: the locale's
// decimal separator, no thousands separator, a plain '-' for negatives.
namespace formats {

// Rounded once to at most `precision` significant digits and at most `decimals`
// decimals, then shown with exactly `decimals` digits after the separator
// (21.456 -> "21,46", 1234.56 -> "1234,60" with 2 and 5). More integer digits than
// the precision switch to scientific notation ("1,2346E8").
QString fixed(double value, int decimals, int precision, const QLocale& locale = QLocale());

// The shortest plain form with at most 15 significant digits (42 -> "42",
// 21.1 -> "21,1"); scientific below 0.00001 or beyond 15 integer digits.
QString general(double value, const QLocale& locale = QLocale());

// The locale's short date format.
QString short_date(const QDate& date, const QLocale& locale = QLocale());

// The locale's long time format, with seconds and without a time-zone name.
QString long_time(const QTime& time, const QLocale& locale = QLocale());

// The long time format of the locale with any time-zone field removed.
QString long_time_format(const QLocale& locale = QLocale());

}  // namespace formats
