#include "gateway/register_map.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include "gateway/unit_json.h"

namespace {

using register_map::input_registers;

UnitReading reading() {
    UnitReading r;
    r.address = 3;
    r.live.MEAS = 55.0f;  // 0x425C0000
    r.live.SP = -1.5f;    // 0xBFC00000
    r.live.YOUT = 427;
    r.live.FEEDBACK = 65535;                         // the controller's 16 bits: -1 read as signed
    r.live.TTERM = 23.25f;                           // 0x41BA0000
    r.live.RELAYS = static_cast<std::int8_t>(0x7D);  // bits above 2 are no relays
    r.live.FAULT = 5;
    r.link = true;
    r.last_good_ms = 10'000;
    return r;
}

TEST(RegisterMap, EveryRegisterCarriesItsValueHighWordFirst) {
    const auto regs = input_registers(reading(), 12'500);
    const register_map::Registers expected{0x425C, 0x0000, 0xBFC0, 0x0000, 427, 0xFFFF,
                                           0x41BA, 0x0000, 0x5,    1,      1,   2};
    EXPECT_EQ(regs, expected);
}

TEST(RegisterMap, LinkAndAgeFollowTheLastGoodReading) {
    struct Case {
        bool link;
        qint64 last_good_ms;
        qint64 now_ms;
        std::uint16_t link_reg, age_reg;
    };
    const Case cases[] = {
        {true, 10'000, 10'999, 1, 0},
        {false, 10'000, 41'000, 0, 31},
        {false, 0, 100'000'000, 0, 65535},  // capped
        {false, -1, 5'000, 0, 65535},       // never read
    };
    for (const Case& c : cases) {
        UnitReading r = reading();
        r.link = c.link;
        r.last_good_ms = c.last_good_ms;
        const auto regs = input_registers(r, c.now_ms);
        EXPECT_EQ(regs[10], c.link_reg) << c.now_ms;
        EXPECT_EQ(regs[11], c.age_reg) << c.now_ms;
    }
}

TEST(RegisterMap, StateJsonHoldsTheValuesAndNoTimeBeforeAGoodReading) {
    UnitReading r = reading();
    r.last_good = QDateTime(QDate(2026, 3, 1), QTime(12, 0, 1, 250), Qt::UTC);
    QJsonObject o = state_json(r);
    EXPECT_EQ(o.value(QStringLiteral("measured")).toDouble(), 55.0);
    EXPECT_EQ(o.value(QStringLiteral("action")).toDouble(), 42.7);
    EXPECT_EQ(o.value(QStringLiteral("relays")).toArray(), QJsonArray({true, false, true}));
    EXPECT_TRUE(o.value(QStringLiteral("fault")).toBool());
    EXPECT_EQ(o.value(QStringLiteral("time")).toString(),
              QStringLiteral("2026-03-01T12:00:01.250Z"));
    r.last_good = QDateTime();
    EXPECT_TRUE(state_json(r).value(QStringLiteral("time")).isNull());
}

AlarmStatus alarm(AlarmCondition c, AlarmState state, int priority, bool shelved = false,
                  bool chattering = false) {
    AlarmStatus a;
    a.address = 3;
    a.condition = c;
    a.state = state;
    a.priority = priority;
    a.shelved = shelved;
    a.chattering = chattering;
    a.since_ms = 1'764'000'000'000;
    a.value = 85.25;
    return a;
}

TEST(RegisterMap, AlarmBlockAndJsonAgreeOnEveryAlarmOfAController) {
    using C = AlarmCondition;
    using S = AlarmState;
    struct Case {
        const char* name;
        std::vector<AlarmStatus> alarms;
        register_map::AlarmRegisters regs;  // active, unacked, shelved, chattering, prio, count
        QJsonValue priority;
    };
    const Case cases[] = {
        {"none", {}, {0, 0, 0, 0, 0, 0}, QJsonValue()},
        {"raised", {alarm(C::High, S::ActiveUnacked, 2)}, {1, 1, 0, 0, 2, 1}, 2},
        {"acknowledged, and a returned one of higher priority",
         {alarm(C::Fault, S::ActiveAcked, 3), alarm(C::CommLoss, S::ReturnedUnacked, 1)},
         {0x10, 0x08, 0, 0, 1, 1},
         1},
        {"a shelved one counts for nothing but its bit",
         {alarm(C::Relay, S::ActiveUnacked, 1, true, true), alarm(C::Low, S::ActiveUnacked, 3)},
         {0x22, 0x22, 0x20, 0x20, 3, 1},
         3},
        {"shelved while normal",
         {alarm(C::Deviation, S::Normal, 1, true)},
         {0, 0, 4, 0, 0, 0},
         QJsonValue()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(register_map::alarm_registers(c.alarms), c.regs) << c.name;
        const QJsonObject o = alarm_json(3, c.alarms, 1'764'000'001'500);
        EXPECT_EQ(o.value(QStringLiteral("priority")), c.priority) << c.name;
        EXPECT_EQ(o.value(QStringLiteral("unacknowledged")).toInt(), c.regs[5]) << c.name;
        EXPECT_EQ(o.value(QStringLiteral("alarms")).toArray().size(),
                  static_cast<int>(c.alarms.size()))
            << c.name;
    }
    const QJsonObject o =
        alarm_json(3, {alarm(C::CommLoss, S::ReturnedUnacked, 1, false, true)}, 1'764'000'001'500);
    EXPECT_EQ(o.value(QStringLiteral("time")).toString(),
              QStringLiteral("2025-11-24T16:00:01.500Z"));
    EXPECT_EQ(QJsonDocument(o.value(QStringLiteral("alarms")).toArray().first().toObject())
                  .toJson(QJsonDocument::Compact),
              QByteArray("{\"acknowledged\":false,\"active\":false,\"chattering\":true,"
                         "\"condition\":\"comm\",\"priority\":1,\"shelved\":false,"
                         "\"since\":\"2025-11-24T16:00:00.000Z\",\"state\":\"returned\","
                         "\"value\":85.25}"));
}

}  // namespace
