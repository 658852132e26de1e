#pragma once

#include <QString>
#include <deque>
#include <map>
#include <utility>
#include <vector>

#include "alarms/alarm_rule.h"
#include "comm/device_data.h"

// The states of an alarm: normal; active and not yet acknowledged; active and
// acknowledged; returned to normal while still unacknowledged.
enum class AlarmState { Normal, ActiveUnacked, ActiveAcked, ReturnedUnacked };

QString state_name(AlarmState s);
QString state_caption(AlarmState s);
inline bool is_active(AlarmState s) {
    return s == AlarmState::ActiveUnacked || s == AlarmState::ActiveAcked;
}
inline bool is_unacked(AlarmState s) {
    return s == AlarmState::ActiveUnacked || s == AlarmState::ReturnedUnacked;
}

struct AlarmStatus {
    int address = 0;
    AlarmCondition condition = AlarmCondition::High;
    AlarmState state = AlarmState::Normal;
    int priority = 2;
    bool shelved = false;
    qint64 shelved_until_ms = 0;
    bool chattering = false;
    qint64 since_ms = 0;  // the last change of state
    double value = 0;     // what the condition saw at that change
    QString acked_by;
    QString comment;
};

struct AlarmEvent {
    enum class What {
        Raised,
        Returned,
        Acknowledged,
        Shelved,
        Unshelved,
        ChatteringBegan,
        ChatteringEnded
    };
    What what = What::Raised;
    AlarmState from = AlarmState::Normal;
    AlarmStatus status;  // after the event
    qint64 time_ms = 0;
    double limit = 0;
    QString user;     // acknowledging or shelving
    QString comment;  // given with it
};

// One sentence for the journal.
QString event_summary(const AlarmEvent& e);

// The alarms of every controller watched, evaluated from the readings the program
// makes anyway; time is given by the caller (milliseconds), so tests run in virtual
// time. Not thread-safe: one thread feeds it.
class AlarmEngine {
  public:
    void set_rules(int address, const AlarmRules& rules);
    AlarmRules rules(int address) const;
    bool has_rules(int address) const { return rules_.count(address) > 0; }

    // A reading of table 10 from address; ok false when it failed.
    std::vector<AlarmEvent> reading(int address, qint64 now_ms, bool ok, const LiveGroup& live);
    // Ends shelving whose time is up.
    std::vector<AlarmEvent> tick(qint64 now_ms);
    std::vector<AlarmEvent> acknowledge(int address, AlarmCondition c, const QString& user,
                                        const QString& comment, qint64 now_ms);
    std::vector<AlarmEvent> shelve(int address, AlarmCondition c, qint64 duration_ms,
                                   const QString& user, const QString& comment, qint64 now_ms);

    // Every alarm that is not normal, or is shelved: by priority, then newest first.
    std::vector<AlarmStatus> list() const;
    // Not normal, not shelved, not acknowledged.
    int unacknowledged() const;
    const AlarmStatus* status(int address, AlarmCondition c) const;
    // Addresses with any alarm state, for the gateway.
    std::vector<int> addresses() const;

    // Alarms toggling this often within a minute are marked as chattering.
    static constexpr int kChatterCount = 3;
    static constexpr qint64 kChatterWindowMs = 60000;

  private:
    struct Alarm {
        AlarmStatus status;
        qint64 pending_since = -1;  // condition holding, on-delay running
        std::deque<qint64> raises;  // within the chattering window
    };
    Alarm& alarm(int address, AlarmCondition c);
    void update_chattering(Alarm& a, qint64 now_ms, double limit, std::vector<AlarmEvent>& out);
    void change(Alarm& a, AlarmState to, AlarmEvent::What what, qint64 now_ms, double value,
                double limit, std::vector<AlarmEvent>& out);

    std::map<int, AlarmRules> rules_;
    std::map<std::pair<int, int>, Alarm> alarms_;
};
