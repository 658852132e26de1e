#include "live/log_format.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>

#include "platform/cp1250.h"

namespace log_format {

namespace {

// The start line is known by its ASCII ends: the Czech letters between them differ with
// the encoding a file was saved in.
constexpr char kStartLead[] = "Za";
constexpr char kStartMarker[] = "KELVRA 20   ";
constexpr char kStartGap[] = "     ";  // between the date and the time
constexpr int kRuleLength = 65;
const QString kValueGap = QStringLiteral("; ");
const QString kStampGap = QStringLiteral(";   ");

bool starts_with(const char* p, int n, const QByteArray& prefix) {
    return n >= prefix.size() && std::memcmp(p, prefix.constData(), prefix.size()) == 0;
}

bool equals(Piece f, const QByteArray& text) {
    return f.n == text.size() && starts_with(f.p, f.n, text);
}

// A text as the bytes of either encoding the reader takes.
struct Encoded {
    explicit Encoded(const QString& text) : cp1250(cp1250::encode(text)), utf8(text.toUtf8()) {}
    bool starts(const char* p, int n) const {
        return starts_with(p, n, cp1250) || starts_with(p, n, utf8);
    }
    bool is(Piece f) const { return equals(f, cp1250) || equals(f, utf8); }
    QByteArray cp1250;
    QByteArray utf8;
};

const QString kColumnNames =
    QStringLiteral("Naměřená hodnota; Žádaná hodnota;Akční zásah; Porucha; čas; datum");

}  // namespace

QStringList header(const QString& date_text, const QString& time_text) {
    return {QStringLiteral("Začátek měření na regulátoru ") + QLatin1String(kStartMarker) +
                date_text + QLatin1String(kStartGap) + time_text,
            kColumnNames, QString(kRuleLength, QLatin1Char('-'))};
}

QString data_line(const QString& measure, const QString& set_point, const QString& action,
                  const QString& fault, const QString& time_text, const QString& date_text) {
    return measure + kValueGap + set_point + kValueGap + action + kValueGap + fault + kStampGap +
           time_text + kStampGap + date_text;
}

QString fault_text(bool fault) {
    return fault ? QStringLiteral("PORUCHA") : QStringLiteral("není porucha");
}

QString no_answer_text() { return QStringLiteral("bez odpovědi"); }

HeaderLine read_header(const char* p, int n) {
    HeaderLine h;
    if (n == kRuleLength && std::all_of(p, p + n, [](char c) { return c == '-'; })) {
        h.kind = Header::Rule;
        return h;
    }
    // The first column's name and its semicolon.
    static const Encoded first_column(
        kColumnNames.left(kColumnNames.indexOf(QLatin1Char(kSeparator)) + 1));
    if (first_column.starts(p, n)) {
        h.kind = Header::Columns;
        return h;
    }
    if (!starts_with(p, n, QByteArray::fromRawData(kStartLead, 2))) return h;
    const char* end = p + n;
    const char* at = std::search(p, end, kStartMarker, kStartMarker + std::strlen(kStartMarker));
    if (at == end) return h;
    h.kind = Header::Start;
    const char* rest = at + std::strlen(kStartMarker);
    const char* gap = std::search(rest, end, kStartGap, kStartGap + std::strlen(kStartGap));
    if (gap != end) {
        h.stamped = true;
        h.date = {rest, static_cast<int>(gap - rest)};
        const char* time = gap + std::strlen(kStartGap);
        h.time = {time, static_cast<int>(end - time)};
    }
    return h;
}

bool split(const char* p, int n, Piece (&fields)[kColumns]) {
    const char* end = p + n;
    for (int k = 0; k < kColumns; ++k) {
        const auto* semi =
            static_cast<const char*>(std::memchr(p, kSeparator, static_cast<std::size_t>(end - p)));
        // Every field but the last ends at a separator.
        if ((semi != nullptr) != (k + 1 < kColumns)) return false;
        fields[k] = {p, static_cast<int>((semi ? semi : end) - p)};
        if (semi) p = semi + 1;
    }
    return true;
}

FaultColumn read_fault(Piece f) {
    static const QByteArray fault = fault_text(true).toLatin1();
    static const Encoded no_answer(no_answer_text());
    FaultColumn c;
    c.fault = equals(f, fault);
    c.reading = !no_answer.is(f);
    return c;
}

}  // namespace log_format
