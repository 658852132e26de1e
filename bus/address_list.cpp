#include "bus/address_list.h"

#include <QRegularExpression>
#include <QStringList>
#include <set>

namespace address_list {

std::optional<std::vector<int>> parse(const QString& text, QString* error) {
    static const QRegularExpression item(
        QStringLiteral("^\\s*(\\d{1,3})\\s*(?:-\\s*(\\d{1,3})\\s*)?$"));
    const auto fail = [error](const QString& why) {
        if (error) *error = why;
        return std::nullopt;
    };
    if (text.trimmed().isEmpty()) return fail(QStringLiteral("seznam adres je prázdný"));
    std::vector<int> out;
    std::set<int> seen;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QRegularExpressionMatch m = item.match(part);
        if (!m.hasMatch())
            return fail(QStringLiteral("\"%1\" není adresa ani rozsah adres").arg(part.trimmed()));
        const int from = m.captured(1).toInt();
        const int to = m.captured(2).isEmpty() ? from : m.captured(2).toInt();
        for (int a : {from, to})
            if (a < kLowest || a > kHighest)
                return fail(
                    QStringLiteral("adresa %1 leží mimo %2..%3").arg(a).arg(kLowest).arg(kHighest));
        if (to < from) return fail(QStringLiteral("rozsah %1 jde pozpátku").arg(part.trimmed()));
        for (int a = from; a <= to; ++a) {
            if (!seen.insert(a).second)
                return fail(QStringLiteral("adresa %1 je v seznamu dvakrát").arg(a));
            out.push_back(a);
        }
    }
    return out;
}

QString text(const std::vector<int>& addresses) {
    QStringList parts;
    for (std::size_t i = 0; i < addresses.size();) {
        std::size_t j = i;
        while (j + 1 < addresses.size() && addresses[j + 1] == addresses[j] + 1) ++j;
        parts << (j > i + 1 ? QStringLiteral("%1-%2").arg(addresses[i]).arg(addresses[j])
                            : QString::number(addresses[i]));
        if (j == i + 1) parts << QString::number(addresses[j]);
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

}  // namespace address_list
