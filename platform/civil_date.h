#pragma once

#include <QtGlobal>

// Calendar dates of day counts, for the exports that write timestamps by the million
// without going through QDate.
namespace civil_date {

struct Date {
    qint64 year;  // astronomical: the year before 1 is 0
    int month;    // 1..12
    int day;      // 1..31
};

// The proleptic Gregorian date of a day count from 1970-01-01, in 400-year eras of
// 146097 days counted from 0000-03-01 so that the leap day ends a year.
constexpr Date from_days(qint64 days) {
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 doe = days - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

}  // namespace civil_date
