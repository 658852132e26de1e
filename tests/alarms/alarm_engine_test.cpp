#include "alarms/alarm_engine.h"

#include <gtest/gtest.h>

namespace {

using S = AlarmState;

struct Step {
    enum Op { Read, Fail, Tick, Ack, Shelve } op;
    qint64 t_s;
    double value;  // the measured value, FAULT, RELAYS, or the shelving minutes
    S state;
    bool shelved = false;
    bool chattering = false;
};

struct Case {
    const char* name;
    AlarmRule rule;
    std::vector<Step> steps;
};

AlarmRule rule(AlarmCondition c, double limit, double deadband = 0, double delay = 0) {
    AlarmRule r;
    r.condition = c;
    r.enabled = true;
    r.limit = limit;
    r.deadband = deadband;
    r.delay_s = delay;
    r.priority = 1;
    return r;
}

LiveGroup live_of(AlarmCondition c, double v) {
    LiveGroup l;
    l.SP = 50;
    l.MEAS = 50;
    if (c == AlarmCondition::Fault)
        l.FAULT = static_cast<std::int8_t>(v);
    else if (c == AlarmCondition::Relay)
        l.RELAYS = static_cast<std::int8_t>(v);
    else
        l.MEAS = static_cast<float>(v);
    return l;
}

TEST(AlarmEngine, FollowsTheAlarmStatesInVirtualTime) {
    using C = AlarmCondition;
    const Case cases[] = {
        {"on-delay, dead band, return, acknowledge",
         rule(C::High, 80, 2, 3),
         {{Step::Read, 0, 85, S::Normal},
          {Step::Read, 2, 85, S::Normal},
          {Step::Read, 3, 85, S::ActiveUnacked},
          {Step::Read, 4, 79, S::ActiveUnacked},  // inside the dead band
          {Step::Read, 5, 78, S::ReturnedUnacked},
          {Step::Ack, 6, 0, S::Normal}}},
        {"a dip restarts the on-delay",
         rule(C::High, 80, 0, 3),
         {{Step::Read, 0, 85, S::Normal},
          {Step::Read, 2, 79, S::Normal},
          {Step::Read, 3, 85, S::Normal},
          {Step::Read, 5, 85, S::Normal},
          {Step::Read, 6, 85, S::ActiveUnacked}}},
        {"acknowledged while active, then return",
         rule(C::Low, 20, 1),
         {{Step::Read, 0, 19, S::ActiveUnacked},
          {Step::Ack, 1, 0, S::ActiveAcked},
          {Step::Ack, 2, 0, S::ActiveAcked},
          {Step::Read, 3, 20.5, S::ActiveAcked},
          {Step::Read, 4, 21, S::Normal}}},
        {"returned, then raised again before acknowledgement",
         rule(C::Deviation, 5),
         {{Step::Read, 0, 56, S::ActiveUnacked},
          {Step::Read, 1, 52, S::ReturnedUnacked},
          {Step::Read, 2, 44, S::ActiveUnacked}}},
        {"the controller's fault",
         rule(C::Fault, 0),
         {{Step::Read, 0, 0, S::Normal},
          {Step::Read, 1, 3, S::ActiveUnacked},
          {Step::Read, 2, 0, S::ReturnedUnacked}}},
        {"relay 1 on",
         rule(C::Relay, 1),
         {{Step::Read, 0, 2, S::Normal}, {Step::Read, 1, 3, S::ActiveUnacked}}},
        {"relay 3 off",
         rule(C::Relay, -3),
         {{Step::Read, 0, 4, S::Normal}, {Step::Read, 1, 0, S::ActiveUnacked}}},
        {"loss of communication after its delay; other conditions wait",
         rule(C::CommLoss, 0, 0, 5),
         {{Step::Fail, 0, 0, S::Normal},
          {Step::Fail, 4, 0, S::Normal},
          {Step::Fail, 5, 0, S::ActiveUnacked},
          {Step::Read, 6, 50, S::ReturnedUnacked}}},
        {"shelving ends by itself, unacknowledged while still active",
         rule(C::High, 80),
         {{Step::Read, 0, 90, S::ActiveUnacked},
          {Step::Ack, 1, 0, S::ActiveAcked},
          {Step::Shelve, 10, 1, S::ActiveAcked, true},
          {Step::Tick, 69, 0, S::ActiveAcked, true},
          {Step::Tick, 70, 0, S::ActiveUnacked, false}}},
        {"shelving ends in normal when the alarm has gone",
         rule(C::High, 80),
         {{Step::Read, 0, 90, S::ActiveUnacked},
          {Step::Shelve, 1, 1, S::ActiveUnacked, true},
          {Step::Read, 2, 70, S::ReturnedUnacked, true},
          {Step::Tick, 61, 0, S::Normal, false}}},
        {"three raises within a minute is chattering, until they stop",
         rule(C::High, 80),
         {{Step::Read, 0, 85, S::ActiveUnacked},
          {Step::Read, 5, 75, S::ReturnedUnacked},
          {Step::Read, 10, 85, S::ActiveUnacked},
          {Step::Read, 15, 75, S::ReturnedUnacked},
          {Step::Read, 20, 85, S::ActiveUnacked, false, true},
          {Step::Read, 25, 75, S::ReturnedUnacked, false, true},
          {Step::Tick, 59, 0, S::ReturnedUnacked, false, true},
          {Step::Tick, 80, 0, S::ReturnedUnacked, false, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AlarmEngine engine;
        AlarmRules rules = default_rules();
        for (AlarmRule& r : rules) r.enabled = false;
        rules[static_cast<std::size_t>(c.rule.condition)] = c.rule;
        engine.set_rules(7, rules);
        for (const Step& s : c.steps) {
            SCOPED_TRACE(s.t_s);
            const qint64 now = s.t_s * 1000;
            switch (s.op) {
                case Step::Read:
                case Step::Fail:
                    engine.reading(7, now, s.op == Step::Read, live_of(c.rule.condition, s.value));
                    break;
                case Step::Tick:
                    engine.tick(now);
                    break;
                case Step::Ack:
                    engine.acknowledge(7, c.rule.condition, QStringLiteral("jan"),
                                       QStringLiteral("viděl"), now);
                    break;
                case Step::Shelve:
                    engine.shelve(7, c.rule.condition, static_cast<qint64>(s.value * 60000),
                                  QStringLiteral("jan"), {}, now);
                    break;
            }
            const AlarmStatus* st = engine.status(7, c.rule.condition);
            const S state = st ? st->state : S::Normal;
            EXPECT_EQ(state, s.state);
            EXPECT_EQ(st && st->shelved, s.shelved);
            EXPECT_EQ(st && st->chattering, s.chattering);
            const bool counted = is_unacked(state) && !(st && st->shelved);
            EXPECT_EQ(engine.unacknowledged(), counted ? 1 : 0);
        }
    }
}

TEST(AlarmEngine, TellsEachTransitionOnceWithWhoAndWhy) {
    AlarmEngine engine;
    LiveGroup hot;
    hot.MEAS = 120;
    auto raised = engine.reading(2, 0, true, hot);  // the default rules: fault and comm only
    EXPECT_TRUE(raised.empty());
    AlarmRules r = default_rules();
    r[0].enabled = true;
    r[0].limit = 100;
    engine.set_rules(2, r);
    raised = engine.reading(2, 1000, true, hot);
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0].what, AlarmEvent::What::Raised);
    EXPECT_EQ(event_summary(raised[0]),
              QStringLiteral("vysoká hodnota (priorita střední): aktivní, nepotvrzený, hodnota "
                             "120, mez 100"));
    EXPECT_TRUE(engine.reading(2, 2000, true, hot).empty());
    const auto ack = engine.acknowledge(2, AlarmCondition::High, QStringLiteral("jan"),
                                        QStringLiteral("ventil"), 3000);
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(event_summary(ack[0]),
              QStringLiteral("vysoká hodnota (priorita střední) potvrdil jan: „ventil“"));
    EXPECT_EQ(engine.status(2, AlarmCondition::High)->acked_by, QStringLiteral("jan"));
    EXPECT_EQ(engine.list().size(), 1u);
    // Switching the rule off ends the alarm.
    r[0].enabled = false;
    engine.set_rules(2, r);
    EXPECT_TRUE(engine.list().empty());
}

TEST(AlarmRules, RoundTripThroughJsonAndKeepDefaultsForWhatIsMissing) {
    AlarmRules r = default_rules();
    r[1].enabled = true;
    r[1].limit = -5.5;
    r[1].deadband = 0.5;
    r[1].delay_s = 2;
    r[1].priority = 3;
    EXPECT_EQ(rules_from_json(rules_to_json(r)), r);
    const AlarmRules partial =
        rules_from_json(QStringLiteral("{\"high\":{\"enabled\":true,\"priority\":9}}"));
    EXPECT_TRUE(partial[0].enabled);
    EXPECT_EQ(partial[0].priority, 3);  // clamped
    EXPECT_EQ(partial[3], default_rules()[3]);
    EXPECT_EQ(rules_from_json(QStringLiteral("nonsense")), default_rules());
}

}  // namespace
