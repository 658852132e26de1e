#include "alarms/alarm_engine.h"

#include <algorithm>
#include <cmath>

namespace {

QString number(double v) { return QString::number(v, 'g', 6); }

// Whether the condition is beyond its limit, and whether it is back inside the dead band.
struct Verdict {
    bool beyond = false;
    bool back = false;
    double value = 0;
};

Verdict judge(const AlarmRule& r, bool ok, const LiveGroup& live) {
    const double meas = live.MEAS;
    switch (r.condition) {
        case AlarmCondition::High:
            return {meas > r.limit, meas <= r.limit - r.deadband, meas};
        case AlarmCondition::Low:
            return {meas < r.limit, meas >= r.limit + r.deadband, meas};
        case AlarmCondition::Deviation: {
            const double d = std::fabs(meas - double{live.SP});
            return {d > r.limit, d <= r.limit - r.deadband, d};
        }
        case AlarmCondition::CommLoss:
            return {!ok, ok, ok ? 0.0 : 1.0};
        case AlarmCondition::Fault:
            return {live.FAULT != 0, live.FAULT == 0, static_cast<double>(live.FAULT)};
        case AlarmCondition::Relay: {
            const int output = std::clamp(static_cast<int>(std::lround(std::fabs(r.limit))), 1, 3);
            const bool on = ((live.RELAYS >> (output - 1)) & 1) != 0;
            const bool alarm = r.limit >= 0 ? on : !on;
            return {alarm, !alarm, on ? 1.0 : 0.0};
        }
    }
    return {};
}

}  // namespace

QString state_name(AlarmState s) {
    switch (s) {
        case AlarmState::Normal:
            return QStringLiteral("normal");
        case AlarmState::ActiveUnacked:
            return QStringLiteral("unacknowledged");
        case AlarmState::ActiveAcked:
            return QStringLiteral("acknowledged");
        case AlarmState::ReturnedUnacked:
            return QStringLiteral("returned");
    }
    return {};
}

QString state_caption(AlarmState s) {
    switch (s) {
        case AlarmState::Normal:
            return QStringLiteral("normální");
        case AlarmState::ActiveUnacked:
            return QStringLiteral("aktivní, nepotvrzený");
        case AlarmState::ActiveAcked:
            return QStringLiteral("aktivní, potvrzený");
        case AlarmState::ReturnedUnacked:
            return QStringLiteral("odezněl, nepotvrzený");
    }
    return {};
}

QString event_summary(const AlarmEvent& e) {
    const QString what = condition_caption(e.status.condition);
    const QString prio = QStringLiteral(" (priorita %1)").arg(priority_caption(e.status.priority));
    const QString with_comment =
        e.comment.isEmpty() ? QString() : QStringLiteral(": „%1“").arg(e.comment);
    switch (e.what) {
        case AlarmEvent::What::Raised:
        case AlarmEvent::What::Returned: {
            QString s = QStringLiteral("%1%2: %3").arg(what, prio, state_caption(e.status.state));
            switch (e.status.condition) {
                case AlarmCondition::High:
                case AlarmCondition::Low:
                case AlarmCondition::Deviation:
                    s += QStringLiteral(", hodnota %1, mez %2")
                             .arg(number(e.status.value), number(e.limit));
                    break;
                default:
                    break;
            }
            return s;
        }
        case AlarmEvent::What::Acknowledged:
            return QStringLiteral("%1%2 potvrdil %3%4").arg(what, prio, e.user, with_comment);
        case AlarmEvent::What::Shelved:
            return QStringLiteral("%1%2 odložil %3 na %4 min%5")
                .arg(what, prio, e.user)
                .arg(number((e.status.shelved_until_ms - e.time_ms) / 60000.0))
                .arg(with_comment);
        case AlarmEvent::What::Unshelved:
            return QStringLiteral("%1%2: konec odložení, %3")
                .arg(what, prio, state_caption(e.status.state));
        case AlarmEvent::What::ChatteringBegan:
            return QStringLiteral("%1%2: kmitá (%3× za minutu)")
                .arg(what, prio)
                .arg(AlarmEngine::kChatterCount);
        case AlarmEvent::What::ChatteringEnded:
            return QStringLiteral("%1%2: přestal kmitat").arg(what, prio);
    }
    return what;
}

void AlarmEngine::set_rules(int address, const AlarmRules& rules) {
    rules_[address] = rules;
    // An alarm whose condition is switched off is no longer an alarm.
    for (const AlarmRule& r : rules) {
        const auto it = alarms_.find({address, static_cast<int>(r.condition)});
        if (it == alarms_.end()) continue;
        if (!r.enabled) {
            alarms_.erase(it);
            continue;
        }
        it->second.status.priority = r.priority;
    }
}

AlarmRules AlarmEngine::rules(int address) const {
    const auto it = rules_.find(address);
    return it == rules_.end() ? default_rules() : it->second;
}

AlarmEngine::Alarm& AlarmEngine::alarm(int address, AlarmCondition c) {
    Alarm& a = alarms_[{address, static_cast<int>(c)}];
    a.status.address = address;
    a.status.condition = c;
    return a;
}

void AlarmEngine::change(Alarm& a, AlarmState to, AlarmEvent::What what, qint64 now_ms,
                         double value, double limit, std::vector<AlarmEvent>& out) {
    AlarmEvent e;
    e.what = what;
    e.from = a.status.state;
    a.status.state = to;
    a.status.since_ms = now_ms;
    a.status.value = value;
    if (to == AlarmState::ActiveUnacked) {
        a.status.acked_by.clear();
        a.status.comment.clear();
    }
    e.status = a.status;
    e.time_ms = now_ms;
    e.limit = limit;
    out.push_back(e);
}

void AlarmEngine::update_chattering(Alarm& a, qint64 now_ms, double limit,
                                    std::vector<AlarmEvent>& out) {
    while (!a.raises.empty() && now_ms - a.raises.front() >= kChatterWindowMs) a.raises.pop_front();
    const bool chattering = static_cast<int>(a.raises.size()) >= kChatterCount;
    if (chattering == a.status.chattering) return;
    a.status.chattering = chattering;
    AlarmEvent e;
    e.what = chattering ? AlarmEvent::What::ChatteringBegan : AlarmEvent::What::ChatteringEnded;
    e.from = a.status.state;
    e.status = a.status;
    e.time_ms = now_ms;
    e.limit = limit;
    out.push_back(e);
}

std::vector<AlarmEvent> AlarmEngine::reading(int address, qint64 now_ms, bool ok,
                                             const LiveGroup& live) {
    std::vector<AlarmEvent> out;
    for (const AlarmRule& r : rules(address)) {
        if (!r.enabled) continue;
        // Without a reading only the loss of it can be judged.
        if (!ok && r.condition != AlarmCondition::CommLoss) continue;
        const Verdict v = judge(r, ok, live);
        Alarm& a = alarm(address, r.condition);
        a.status.priority = r.priority;
        if (!is_active(a.status.state)) {
            if (!v.beyond) {
                a.pending_since = -1;
            } else {
                if (a.pending_since < 0) a.pending_since = now_ms;
                if (now_ms - a.pending_since >=
                    static_cast<qint64>(std::llround(r.delay_s * 1000))) {
                    a.pending_since = -1;
                    a.raises.push_back(now_ms);
                    change(a, AlarmState::ActiveUnacked, AlarmEvent::What::Raised, now_ms, v.value,
                           r.limit, out);
                }
            }
        } else if (v.back) {
            change(a,
                   a.status.state == AlarmState::ActiveAcked ? AlarmState::Normal
                                                             : AlarmState::ReturnedUnacked,
                   AlarmEvent::What::Returned, now_ms, v.value, r.limit, out);
        }
        update_chattering(a, now_ms, r.limit, out);
    }
    return out;
}

std::vector<AlarmEvent> AlarmEngine::tick(qint64 now_ms) {
    std::vector<AlarmEvent> out;
    for (auto& [key, a] : alarms_) {
        if (a.status.shelved && now_ms >= a.status.shelved_until_ms) {
            a.status.shelved = false;
            // Still active: it must be looked at again.
            change(a, is_active(a.status.state) ? AlarmState::ActiveUnacked : AlarmState::Normal,
                   AlarmEvent::What::Unshelved, now_ms, a.status.value,
                   rules(a.status.address)[static_cast<std::size_t>(key.second)].limit, out);
        }
        update_chattering(a, now_ms, 0, out);
    }
    return out;
}

std::vector<AlarmEvent> AlarmEngine::acknowledge(int address, AlarmCondition c, const QString& user,
                                                 const QString& comment, qint64 now_ms) {
    std::vector<AlarmEvent> out;
    const auto it = alarms_.find({address, static_cast<int>(c)});
    if (it == alarms_.end() || !is_unacked(it->second.status.state)) return out;
    Alarm& a = it->second;
    a.status.acked_by = user;
    a.status.comment = comment;
    change(
        a,
        a.status.state == AlarmState::ActiveUnacked ? AlarmState::ActiveAcked : AlarmState::Normal,
        AlarmEvent::What::Acknowledged, now_ms, a.status.value, 0, out);
    out.back().user = user;
    out.back().comment = comment;
    return out;
}

std::vector<AlarmEvent> AlarmEngine::shelve(int address, AlarmCondition c, qint64 duration_ms,
                                            const QString& user, const QString& comment,
                                            qint64 now_ms) {
    std::vector<AlarmEvent> out;
    if (duration_ms <= 0) return out;
    Alarm& a = alarm(address, c);
    a.status.shelved = true;
    a.status.shelved_until_ms = now_ms + duration_ms;
    AlarmEvent e;
    e.what = AlarmEvent::What::Shelved;
    e.from = a.status.state;
    e.status = a.status;
    e.time_ms = now_ms;
    e.user = user;
    e.comment = comment;
    out.push_back(e);
    return out;
}

std::vector<AlarmStatus> AlarmEngine::list() const {
    std::vector<AlarmStatus> out;
    for (const auto& [key, a] : alarms_)
        if (a.status.state != AlarmState::Normal || a.status.shelved) out.push_back(a.status);
    std::stable_sort(out.begin(), out.end(), [](const AlarmStatus& x, const AlarmStatus& y) {
        if (x.priority != y.priority) return x.priority < y.priority;
        return x.since_ms > y.since_ms;
    });
    return out;
}

int AlarmEngine::unacknowledged() const {
    int n = 0;
    for (const auto& [key, a] : alarms_)
        if (is_unacked(a.status.state) && !a.status.shelved) ++n;
    return n;
}

const AlarmStatus* AlarmEngine::status(int address, AlarmCondition c) const {
    const auto it = alarms_.find({address, static_cast<int>(c)});
    return it == alarms_.end() ? nullptr : &it->second.status;
}

std::vector<int> AlarmEngine::addresses() const {
    std::vector<int> out;
    for (const auto& [key, a] : alarms_)
        if (out.empty() || out.back() != key.first) out.push_back(key.first);
    return out;
}
