#include "journal/journal_entry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>

namespace {

struct KindText {
    const char* name;
    const char* caption;
};

constexpr std::array<KindText, kJournalKindCount> kKinds{{
    {"write", "zápis"},
    {"eeprom", "EEPROM"},
    {"clone", "klonování"},
    {"tuning", "ladění"},
    {"ident", "identifikace"},
    {"port", "port"},
    {"link", "spojení"},
    {"file", "soubor"},
    {"alarm", "alarm"},
    {"ack", "potvrzení"},
    {"missed", "chybí záznamy"},
}};

}  // namespace

QString kind_name(JournalKind k) {
    return QString::fromLatin1(kKinds[static_cast<std::size_t>(k)].name);
}

QString kind_caption(JournalKind k) {
    return QString::fromUtf8(kKinds[static_cast<std::size_t>(k)].caption);
}

std::optional<JournalKind> kind_from_name(const QString& name) {
    for (std::size_t i = 0; i < kKinds.size(); ++i)
        if (name.compare(QLatin1String(kKinds[i].name), Qt::CaseInsensitive) == 0)
            return static_cast<JournalKind>(i);
    return std::nullopt;
}

QString changes_text(const std::vector<FieldChange>& changes) {
    QStringList parts;
    for (const FieldChange& c : changes)
        parts << QStringLiteral("%1 %2 → %3")
                     .arg(c.field, c.old_value.isEmpty() ? QStringLiteral("?") : c.old_value,
                          c.new_value);
    return parts.join(QStringLiteral("; "));
}

QString changes_json(const std::vector<FieldChange>& changes) {
    if (changes.empty()) return {};
    QJsonArray a;
    for (const FieldChange& c : changes)
        a.append(QJsonObject{{QStringLiteral("table"), c.table},
                             {QStringLiteral("field"), c.field},
                             {QStringLiteral("old"), c.old_value},
                             {QStringLiteral("new"), c.new_value}});
    return QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Compact));
}

std::vector<FieldChange> changes_from_json(const QString& json) {
    std::vector<FieldChange> out;
    if (json.isEmpty()) return out;
    const QJsonArray a = QJsonDocument::fromJson(json.toUtf8()).array();
    for (const QJsonValue& v : a) {
        const QJsonObject o = v.toObject();
        out.push_back(
            {o.value(QStringLiteral("table")).toInt(), o.value(QStringLiteral("field")).toString(),
             o.value(QStringLiteral("old")).toString(), o.value(QStringLiteral("new")).toString()});
    }
    return out;
}
