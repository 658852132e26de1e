#include "platform/formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const QLocale kCzech(QLocale::Czech, QLocale::Czechia);
const QLocale kC(QLocale::C);

struct FixedCase {
    double value;
    int decimals;
    int precision;
    const char* czech;
};

class FixedFormat : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedFormat, RoundsOnceAndPadsToTheDecimals) {
    const FixedCase& c = GetParam();
    EXPECT_EQ(formats::fixed(c.value, c.decimals, c.precision, kCzech).toStdString(), c.czech);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FixedFormat,
    ::testing::Values(FixedCase{21.456, 2, 5, "21,46"},     // decimals limit first
                      FixedCase{1234.56, 2, 5, "1234,60"},  // precision limits, zero padded
                      FixedCase{0.0, 2, 5, "0,00"}, FixedCase{0.0, 1, 4, "0,0"},
                      FixedCase{-3.14159, 2, 5, "-3,14"},
                      FixedCase{-0.001, 2, 5, "0,00"},  // no sign on a rounded zero
                      FixedCase{0.125, 2, 5, "0,13"},   // halves round away from zero
                      FixedCase{-0.125, 2, 5, "-0,13"},
                      FixedCase{9.99996, 2, 5, "10,00"},  // carry into a new digit
                      FixedCase{65.5, 1, 4, "65,5"}, FixedCase{6553.5, 1, 4, "6554,0"},
                      FixedCase{12345.4, 2, 5, "12345,00"},
                      FixedCase{123456.7, 2, 5, "1,2346E5"},  // more integer digits than p
                      FixedCase{99999.5, 2, 5, "1E5"},
                      FixedCase{1234567.0, 1, 8, "1234567,0"},  // never grouped
                      FixedCase{0.0004, 2, 5, "0,00"}, FixedCase{0.006, 2, 5, "0,01"},
                      FixedCase{23.45f, 1, 5, "23,5"}));  // float widened exactly

TEST(FixedFormatLocale, UsesTheLocaleDecimalSeparator) {
    EXPECT_EQ(formats::fixed(21.456, 2, 5, kC), QStringLiteral("21.46"));
    EXPECT_EQ(formats::fixed(-1234.5, 1, 5, kC), QStringLiteral("-1234.5"));
}

TEST(FixedFormatLocale, ShowsNonFiniteValuesWithoutFailing) {
    EXPECT_EQ(formats::fixed(std::numeric_limits<double>::quiet_NaN(), 2, 5),
              QStringLiteral("NAN"));
    EXPECT_EQ(formats::fixed(std::numeric_limits<double>::infinity(), 2, 5), QStringLiteral("INF"));
    EXPECT_EQ(formats::fixed(-std::numeric_limits<double>::infinity(), 2, 5),
              QStringLiteral("-INF"));
    EXPECT_EQ(formats::fixed(std::numeric_limits<float>::max(), 2, 5, kC),
              QStringLiteral("3.4028E38"));
}

struct GeneralCase {
    double value;
    const char* czech;
};

class GeneralFormat : public ::testing::TestWithParam<GeneralCase> {};

TEST_P(GeneralFormat, IsTheShortestFormWithFifteenDigits) {
    EXPECT_EQ(formats::general(GetParam().value, kCzech).toStdString(), GetParam().czech);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneralFormat,
    ::testing::Values(GeneralCase{42, "42"}, GeneralCase{0, "0"}, GeneralCase{21.1, "21,1"},
                      GeneralCase{21.01, "21,01"},
                      GeneralCase{21.01 + 9 * 0.01, "21,1"},  // binary noise beyond 15 digits
                      GeneralCase{-2.5, "-2,5"}, GeneralCase{100, "100"},
                      GeneralCase{0.00001, "0,00001"}, GeneralCase{0.000001, "1E-6"},
                      GeneralCase{123456789012345.0, "123456789012345"}, GeneralCase{1e15, "1E15"},
                      GeneralCase{1.5e20, "1,5E20"}, GeneralCase{1.0 / 3.0, "0,333333333333333"}));

TEST(DateTimeFormats, LongTimeHasSecondsAndNoTimeZone) {
    const QTime t(9, 26, 53);
    for (const QLocale& l :
         {kC, kCzech, QLocale(QLocale::English, QLocale::UnitedStates),
          QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::Japanese, QLocale::Japan)}) {
        const QString format = formats::long_time_format(l);
        EXPECT_FALSE(format.contains(QLatin1Char('t'))) << format.toStdString();
        EXPECT_TRUE(formats::long_time(t, l).contains(QStringLiteral("53")))
            << formats::long_time(t, l).toStdString();
        EXPECT_FALSE(formats::long_time(t, l).endsWith(QLatin1Char(' ')));
    }
    EXPECT_EQ(formats::long_time(t, kCzech), QStringLiteral("9:26:53"));
    EXPECT_EQ(formats::long_time(QTime(14, 5, 7), QLocale(QLocale::English, QLocale::UnitedStates)),
              QStringLiteral("2:05:07 PM"));
}

TEST(DateTimeFormats, ShortDateFollowsTheLocale) {
    const QDate d(2026, 3, 14);
    EXPECT_EQ(formats::short_date(d, kCzech), kCzech.toString(d, QLocale::ShortFormat));
    EXPECT_TRUE(formats::short_date(d, kCzech).contains(QStringLiteral("14")));
    EXPECT_NE(formats::short_date(d, kCzech), formats::short_date(d, kC));
}

}  // namespace
