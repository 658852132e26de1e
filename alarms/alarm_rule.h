#pragma once

#include <QString>
#include <array>
#include <optional>
#include <vector>

// What an alarm of one controller watches. The names are stored with the rules and sent
// by the gateway: never rename one.
enum class AlarmCondition { High, Low, Deviation, CommLoss, Fault, Relay };
constexpr int kAlarmConditionCount = 6;

// One condition's settings. High, Low: the measured value against limit; Deviation: the
// measured value's distance from the set point against limit; Relay: limit names the
// output (1..3), positive when the alarm is the output on, negative when it is off.
// The dead band keeps an alarm until the value is that far back inside its limit; the
// on-delay is how long a condition must hold before it raises the alarm.
struct AlarmRule {
    AlarmCondition condition = AlarmCondition::High;
    bool enabled = false;
    double limit = 0;
    double deadband = 0;
    double delay_s = 0;
    int priority = 2;  // 1 high, 2 medium, 3 low
    bool operator==(const AlarmRule& o) const {
        return condition == o.condition && enabled == o.enabled && limit == o.limit &&
               deadband == o.deadband && delay_s == o.delay_s && priority == o.priority;
    }
};

using AlarmRules = std::array<AlarmRule, kAlarmConditionCount>;

QString condition_name(AlarmCondition c);
QString condition_caption(AlarmCondition c);
std::optional<AlarmCondition> condition_from_name(const QString& name);
QString priority_caption(int priority);

// A controller's rules before anyone set them: loss of communication and the
// controller's own fault, the rest off.
AlarmRules default_rules();

// As stored in the journal's database and in exported files: a JSON object per
// address. Unknown or missing members keep the default.
QString rules_to_json(const AlarmRules& rules);
AlarmRules rules_from_json(const QString& json);
