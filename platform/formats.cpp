#include "platform/formats.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace formats {
namespace {

// A decimal value: 0.d1d2d3... shifted so that d1 stands at 10^exponent. No digits
// means zero.
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

// The exact decimal expansion of a finite double (every double is a finite decimal
// fraction of at most 767 significant digits).
Decimal exact(double value) {
    Decimal d;
    if (value == 0.0) return d;
    std::array<char, 1024> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                                 std::chars_format::scientific, 800);
    const std::string text(buf.data(), r.ptr);
    std::size_t i = 0;
    if (text[i] == '-') {
        d.negative = true;
        ++i;
    }
    const std::size_t e = text.find('e', i);
    for (std::size_t k = i; k < e; ++k)
        if (text[k] != '.') d.digits.push_back(text[k]);
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    const char* exp_begin = text.data() + e + 1;
    if (*exp_begin == '+') ++exp_begin;
    std::from_chars(exp_begin, text.data() + text.size(), d.exponent);
    return d;
}

// Keeps `count` significant digits, rounding half away from zero.
Decimal round_digits(Decimal d, int count) {
    if (count >= static_cast<int>(d.digits.size())) return d;
    if (count < 0 || (count == 0 && d.digits[0] < '5')) return Decimal{};
    if (count == 0) return Decimal{d.negative, "1", d.exponent + 1};
    const bool up = d.digits[static_cast<std::size_t>(count)] >= '5';
    d.digits.resize(static_cast<std::size_t>(count));
    if (up) {
        int k = count - 1;
        while (k >= 0 && d.digits[static_cast<std::size_t>(k)] == '9')
            d.digits[static_cast<std::size_t>(k--)] = '0';
        if (k < 0) {
            d.digits.insert(d.digits.begin(), '1');
            d.digits.pop_back();
            ++d.exponent;
        } else {
            ++d.digits[static_cast<std::size_t>(k)];
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    if (d.digits.empty()) return Decimal{};
    return d;
}

char digit_at(const Decimal& d, int power) {
    const int index = d.exponent - power;
    if (index < 0 || index >= static_cast<int>(d.digits.size())) return '0';
    return d.digits[static_cast<std::size_t>(index)];
}

// The plain form with the given number of decimals (-1: as many as the digits need).
QString plain(const Decimal& d, int decimals, const QLocale& locale) {
    if (decimals < 0) decimals = std::max(0, static_cast<int>(d.digits.size()) - 1 - d.exponent);
    QString out;
    if (d.negative && !d.digits.empty()) out += QLatin1Char('-');
    for (int power = std::max(d.exponent, 0); power >= 0; --power)
        out += QLatin1Char(digit_at(d, power));
    if (decimals > 0) {
        out += locale.decimalPoint();
        for (int power = -1; power >= -decimals; --power) out += QLatin1Char(digit_at(d, power));
    }
    return out;
}

// "1,2346E8": the significant digits and the exponent.
QString scientific(const Decimal& d, const QLocale& locale) {
    QString out;
    if (d.negative) out += QLatin1Char('-');
    out += QLatin1Char(d.digits[0]);
    if (d.digits.size() > 1) {
        out += locale.decimalPoint();
        out += QString::fromLatin1(d.digits.data() + 1, static_cast<int>(d.digits.size() - 1));
    }
    out += QLatin1Char('E');
    out += QString::number(d.exponent);
    return out;
}

QString non_finite(double value) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

}  // namespace

QString fixed(double value, int decimals, int precision, const QLocale& locale) {
    if (!std::isfinite(value)) return non_finite(value);
    decimals = std::clamp(decimals, 0, 18);
    precision = std::clamp(precision, 1, 18);
    const Decimal d = exact(value);
    // One rounding, at whichever comes first: the last significant digit or the last decimal.
    const int count = std::min(precision, d.exponent + 1 + decimals);
    const Decimal r = round_digits(d, count);
    if (!r.digits.empty() && r.exponent + 1 > precision) return scientific(r, locale);
    return plain(r, decimals, locale);
}

QString general(double value, const QLocale& locale) {
    if (!std::isfinite(value)) return non_finite(value);
    const Decimal r = round_digits(exact(value), 15);
    if (r.digits.empty()) return QStringLiteral("0");
    if (r.exponent + 1 > 15 || r.exponent < -5) return scientific(r, locale);
    return plain(r, -1, locale);
}

QString short_date(const QDate& date, const QLocale& locale) {
    return locale.toString(date, locale.dateFormat(QLocale::ShortFormat));
}

QString long_time_format(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    // Drop unquoted time-zone fields ('t' runs) with the spaces that separate them.
    QString out;
    bool quoted = false;
    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) {
            while (!out.isEmpty() && out.back().isSpace()) out.chop(1);
            while (i + 1 < format.size() && format.at(i + 1) == QLatin1Char('t')) ++i;
            continue;
        }
        out += c;
    }
    return out.trimmed();
}

QString long_time(const QTime& time, const QLocale& locale) {
    return locale.toString(time, long_time_format(locale));
}

}  // namespace formats
