#include "analysis/date_time_pattern.h"

#include "platform/cp1250.h"

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_ascii_letter(char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
bool is_ascii_punct(char c) {
    return static_cast<unsigned char>(c) > 0x20 && static_cast<unsigned char>(c) < 0x7F &&
           !is_digit(c) && !((c | 0x20) >= 'a' && (c | 0x20) <= 'z') && c != '?';
}
// Letters of a name: ASCII letters, a dot, and any byte above ASCII (accented letters).
bool is_name_byte(char c) {
    return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '.' ||
           static_cast<unsigned char>(c) >= 0x80;
}

std::string punct_only(const QString& s) {
    std::string out;
    for (QChar c : s)
        if (c.unicode() < 0x80 && is_ascii_punct(static_cast<char>(c.unicode())))
            out.push_back(static_cast<char>(c.unicode()));
    return out;
}

QString decode_name(const char* bytes, int size) {
    const QByteArray raw(bytes, size);
    const QString utf8 = QString::fromUtf8(raw);
    // Valid UTF-8 with non-ASCII letters decodes without replacement characters.
    if (!utf8.contains(QChar::ReplacementCharacter)) return utf8;
    return cp1250::decode(raw);
}

}  // namespace

DateTimePattern::DateTimePattern(const QString& format, const QLocale& locale)
    : format_(format), locale_(locale) {
    QString pending;  // literal text since the last field
    bool quoted = false;
    for (int i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            ++i;
            continue;
        }
        int run = 1;
        while (i + run < format.size() && format.at(i + run) == c) ++run;
        const char ch = c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : 0;
        Field f{Kind::Day, 1, 2, {}};
        bool field = !quoted;
        switch (ch) {
            case 'd':
                f = run <= 2 ? Field{Kind::Day, run, 2, {}} : Field{Kind::DayName, 0, 0, {}};
                break;
            case 'M':
                f = run <= 2 ? Field{Kind::Month, run, 2, {}} : Field{Kind::MonthName, 0, 0, {}};
                break;
            case 'y':
                f = run <= 2 ? Field{Kind::Year, 2, 2, {}} : Field{Kind::Year, 4, 4, {}};
                break;
            case 'H':
                f = {Kind::Hour, run, 2, {}};
                break;
            case 'h':
                f = {Kind::Hour12, run, 2, {}};
                break;
            case 'm':
                f = {Kind::Minute, run, 2, {}};
                break;
            case 's':
                f = {Kind::Second, run, 2, {}};
                break;
            case 'z':
                f = {Kind::Milli, run >= 3 ? 3 : 1, 3, {}};
                break;
            case 'A':
            case 'a':
                f = {Kind::AmPm, 0, 0, {}};
                if (i + run < format.size() && (format.at(i + run) == QLatin1Char('P') ||
                                                format.at(i + run) == QLatin1Char('p')))
                    ++run;
                break;
            default:
                field = false;
        }
        if (field) {
            f.before = punct_only(pending);
            pending.clear();
            fields_.push_back(f);
        } else {
            pending += format.mid(i, run);
        }
        i += run;
    }
    after_ = punct_only(pending);
}

int DateTimePattern::month_from_name(const QString& text) const {
    for (int m = 1; m <= 12; ++m) {
        for (QLocale::FormatType t : {QLocale::ShortFormat, QLocale::LongFormat}) {
            for (const QString& name : {locale_.monthName(m, t), locale_.standaloneMonthName(m, t)})
                if (!name.isEmpty() && text.compare(name, Qt::CaseInsensitive) == 0) return m;
        }
    }
    return 0;
}

bool DateTimePattern::read(const char* p, int size, Values* v) const {
    int pos = 0;
    // Before a name only what cannot start a name is a separator; before a number
    // anything but digits and ASCII letters.
    auto separator = [&](const std::string& want, bool name_follows) {
        std::string seen;
        while (pos < size && !is_digit(p[pos]) &&
               !(name_follows ? is_name_byte(p[pos]) : is_ascii_letter(p[pos]))) {
            if (is_ascii_punct(p[pos])) seen.push_back(p[pos]);
            ++pos;
        }
        return seen == want;
    };
    for (std::size_t k = 0; k < fields_.size(); ++k) {
        const Field& f = fields_[k];
        const bool name =
            f.kind == Kind::AmPm || f.kind == Kind::MonthName || f.kind == Kind::DayName;
        if (!separator(f.before, name)) return false;
        if (name) {
            const int from = pos;
            while (pos < size && is_name_byte(p[pos])) ++pos;
            if (pos == from) return false;
            // Spaces the code page could not hold (as UTF-8) stick to the name.
            const QString text = decode_name(p + from, pos - from).trimmed();
            if (f.kind == Kind::AmPm) {
                if (text.compare(locale_.amText(), Qt::CaseInsensitive) == 0 ||
                    text.compare(QLatin1String("AM"), Qt::CaseInsensitive) == 0) {
                    v->pm = 0;
                } else if (text.compare(locale_.pmText(), Qt::CaseInsensitive) == 0 ||
                           text.compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0) {
                    v->pm = 1;
                } else {
                    return false;
                }
            } else if (f.kind == Kind::MonthName) {
                QString name = text;
                v->month = month_from_name(name);
                if (v->month == 0 && name.endsWith(QLatin1Char('.'))) {
                    name.chop(1);
                    v->month = month_from_name(name);
                }
                if (v->month == 0) return false;
            }
            continue;
        }
        int n = 0;
        int value = 0;
        while (pos < size && n < f.max_digits && is_digit(p[pos])) {
            value = value * 10 + (p[pos] - '0');
            ++pos;
            ++n;
        }
        if (n < f.min_digits || n == 0) return false;
        switch (f.kind) {
            case Kind::Day:
                v->day = value;
                break;
            case Kind::Month:
                v->month = value;
                break;
            case Kind::Year:
                v->year = f.max_digits == 2 ? 2000 + value : value;
                break;
            case Kind::Hour:
                v->hour = value;
                break;
            case Kind::Hour12:
                v->hour = value;
                if (v->pm < 0) v->pm = -2;
                break;
            case Kind::Minute:
                v->minute = value;
                break;
            case Kind::Second:
                v->second = value;
                break;
            case Kind::Milli:
                v->milli = n == 1 ? value * 100 : n == 2 ? value * 10 : value;
                break;
            default:
                break;
        }
    }
    if (!separator(after_, false)) return false;
    return pos == size;
}

bool DateTimePattern::read_date(const char* bytes, int size, QDate* out) const {
    Values v;
    if (fields_.empty() || !read(bytes, size, &v)) return false;
    const QDate d(v.year, v.month, v.day);
    if (!d.isValid()) return false;
    *out = d;
    return true;
}

bool DateTimePattern::read_time(const char* bytes, int size, QTime* out) const {
    Values v;
    if (fields_.empty() || !read(bytes, size, &v)) return false;
    if (v.pm >= 0) {
        // 12-hour clock: 12 AM is midnight, 12 PM noon.
        if (v.hour < 1 || v.hour > 12) return false;
        v.hour = v.hour % 12 + (v.pm == 1 ? 12 : 0);
    }
    const QTime t(v.hour, v.minute, v.second, v.milli);
    if (!t.isValid()) return false;
    *out = t;
    return true;
}
