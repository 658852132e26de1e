#include "alarms/alarm_rule.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {

struct ConditionText {
    const char* name;
    const char* caption;
};

constexpr std::array<ConditionText, kAlarmConditionCount> kConditions{{
    {"high", "vysoká hodnota"},
    {"low", "nízká hodnota"},
    {"deviation", "odchylka od žádané"},
    {"comm", "ztráta komunikace"},
    {"fault", "porucha regulátoru"},
    {"relay", "alarmové relé"},
}};

}  // namespace

QString condition_name(AlarmCondition c) {
    return QString::fromLatin1(kConditions[static_cast<std::size_t>(c)].name);
}

QString condition_caption(AlarmCondition c) {
    return QString::fromUtf8(kConditions[static_cast<std::size_t>(c)].caption);
}

std::optional<AlarmCondition> condition_from_name(const QString& name) {
    for (std::size_t i = 0; i < kConditions.size(); ++i)
        if (name == QLatin1String(kConditions[i].name)) return static_cast<AlarmCondition>(i);
    return std::nullopt;
}

QString priority_caption(int priority) {
    switch (priority) {
        case 1:
            return QStringLiteral("vysoká");
        case 2:
            return QStringLiteral("střední");
        default:
            return QStringLiteral("nízká");
    }
}

AlarmRules default_rules() {
    AlarmRules r;
    for (int i = 0; i < kAlarmConditionCount; ++i)
        r[static_cast<std::size_t>(i)].condition = static_cast<AlarmCondition>(i);
    auto& comm = r[static_cast<std::size_t>(AlarmCondition::CommLoss)];
    comm.enabled = true;
    comm.delay_s = 5;
    comm.priority = 2;
    auto& fault = r[static_cast<std::size_t>(AlarmCondition::Fault)];
    fault.enabled = true;
    fault.priority = 1;
    r[static_cast<std::size_t>(AlarmCondition::High)].limit = 100;
    r[static_cast<std::size_t>(AlarmCondition::Deviation)].limit = 10;
    r[static_cast<std::size_t>(AlarmCondition::Relay)].limit = 1;
    return r;
}

QString rules_to_json(const AlarmRules& rules) {
    QJsonObject o;
    for (const AlarmRule& r : rules)
        o.insert(condition_name(r.condition),
                 QJsonObject{{QStringLiteral("enabled"), r.enabled},
                             {QStringLiteral("limit"), r.limit},
                             {QStringLiteral("deadband"), r.deadband},
                             {QStringLiteral("delay_s"), r.delay_s},
                             {QStringLiteral("priority"), r.priority}});
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

AlarmRules rules_from_json(const QString& json) {
    AlarmRules rules = default_rules();
    const QJsonObject o = QJsonDocument::fromJson(json.toUtf8()).object();
    for (AlarmRule& r : rules) {
        const QJsonObject c = o.value(condition_name(r.condition)).toObject();
        if (c.isEmpty()) continue;
        r.enabled = c.value(QStringLiteral("enabled")).toBool(r.enabled);
        r.limit = c.value(QStringLiteral("limit")).toDouble(r.limit);
        r.deadband = std::max(0.0, c.value(QStringLiteral("deadband")).toDouble(r.deadband));
        r.delay_s = std::max(0.0, c.value(QStringLiteral("delay_s")).toDouble(r.delay_s));
        r.priority = std::clamp(c.value(QStringLiteral("priority")).toInt(r.priority), 1, 3);
    }
    return rules;
}
