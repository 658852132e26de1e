#include "platform/civil_date.h"

#include <gtest/gtest.h>

#include <QDate>

namespace {

constexpr qint64 kEpochJulianDay = 2440588;  // 1970-01-01

// QDate has no year 0: its year -1 is the astronomical year 0.
qint64 astronomical_year(const QDate& q) { return q.year() > 0 ? q.year() : q.year() + 1; }

void expect_as_qdate(qint64 days) {
    const civil_date::Date c = civil_date::from_days(days);
    const QDate q = QDate::fromJulianDay(kEpochJulianDay + days);
    ASSERT_EQ(c.year, astronomical_year(q)) << days;
    ASSERT_EQ(c.month, q.month()) << days;
    ASSERT_EQ(c.day, q.day()) << days;
}

TEST(CivilDate, EveryDayFromBeforeYearZeroToYear10000IsQDatesDate) {
    const qint64 first = QDate(-401, 1, 1).toJulianDay() - kEpochJulianDay;
    const qint64 last = QDate(10001, 12, 31).toJulianDay() - kEpochJulianDay;
    for (qint64 days = first; days <= last; ++days) expect_as_qdate(days);
}

TEST(CivilDate, DaysFarFromTheEpochKeepTheCalendar) {
    // Timestamps a journal or log may carry when damaged: a hundred million years either way.
    for (qint64 days = -36'500'000'000; days <= 36'500'000'000; days += 999'999'937)
        expect_as_qdate(days);
}

TEST(CivilDate, YearZeroPrecedesYearOne) {
    const civil_date::Date first = civil_date::from_days(-719528);
    EXPECT_EQ(first.year, 0);
    EXPECT_EQ(first.month, 1);
    EXPECT_EQ(first.day, 1);
    const civil_date::Date last = civil_date::from_days(-719163);
    EXPECT_EQ(last.year, 0);
    EXPECT_EQ(last.month, 12);
    EXPECT_EQ(last.day, 31);
    EXPECT_EQ(civil_date::from_days(-719162).year, 1);
}

}  // namespace
