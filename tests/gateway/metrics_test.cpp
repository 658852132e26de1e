#include "gateway/metrics.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QRegularExpression>
#include <QStringList>
#include <map>
#include <set>

#include "gateway/unit_json.h"

namespace {

GatewaySnapshot snapshot() {
    GatewaySnapshot s;
    s.now_ms = 20'000;
    s.cycles = 7;
    s.last_cycle_ms = 1520;
    UnitSnapshot a;
    a.reading.address = 3;
    a.reading.type_text = QStringLiteral("KELVRA 20");
    a.reading.live.MEAS = 41.5f;
    a.reading.live.SP = 50.0f;
    a.reading.live.YOUT = 427;
    a.reading.live.FEEDBACK = -15;
    a.reading.live.TTERM = 22.5f;
    a.reading.live.RELAYS = 0b101;
    a.reading.live.FAULT = 2;
    a.reading.link = true;
    a.reading.last_good_ms = 17'500;
    a.reading.last_good = QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
    a.line.requests = 12;
    a.line.good = 10;
    a.line.timeouts = 1;
    a.line.checksum_errors = 1;
    a.line.resends = 2;
    a.polls = 11;
    UnitSnapshot silent;  // listed, never answered
    silent.reading.address = 9;
    silent.reading.failures = 4;
    silent.line.requests = 4;
    silent.line.timeouts = 4;
    silent.polls = 4;
    s.units = {a, silent};
    return s;
}

// name{labels} -> value, and the declared type of each family.
struct Exposition {
    std::map<QString, QString> samples;
    std::map<QString, QString> types;
    std::set<QString> helped;
};

Exposition parse(const QByteArray& text) {
    Exposition e;
    static const QRegularExpression sample(QStringLiteral("^([a-z0-9_]+)(\\{[^}]*\\})? (\\S+)$"));
    for (const QString& line :
         QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList w = line.split(QLatin1Char(' '));
        if (line.startsWith(QLatin1String("# TYPE "))) {
            e.types[w[2]] = w[3];
        } else if (line.startsWith(QLatin1String("# HELP "))) {
            e.helped.insert(w[2]);
        } else {
            const auto m = sample.match(line);
            EXPECT_TRUE(m.hasMatch()) << line.toStdString();
            EXPECT_TRUE(e.types.count(m.captured(1)))
                << "sample before its TYPE: " << line.toStdString();
            e.samples[m.captured(1) + m.captured(2)] = m.captured(3);
        }
    }
    return e;
}

TEST(Metrics, EveryControllerHasItsGaugesAndCountersUnderItsAddress) {
    const Exposition e = parse(prometheus_metrics(snapshot()));
    const std::map<QString, QString> expected = {
        {"tx20_controller_info{address=\"3\",type=\"KELVRA 20\"}", "1"},
        {"tx20_measured_value{address=\"3\"}", "41.5"},
        {"tx20_set_point{address=\"3\"}", "50"},
        {"tx20_control_action_percent{address=\"3\"}", "42.7"},
        {"tx20_servo_feedback_percent{address=\"3\"}", "-1.5"},
        {"tx20_terminal_temperature_celsius{address=\"3\"}", "22.5"},
        {"tx20_relay_on{address=\"3\",relay=\"1\"}", "1"},
        {"tx20_relay_on{address=\"3\",relay=\"2\"}", "0"},
        {"tx20_relay_on{address=\"3\",relay=\"3\"}", "1"},
        {"tx20_fault{address=\"3\"}", "1"},
        {"tx20_link_up{address=\"3\"}", "1"},
        {"tx20_last_good_reading_age_seconds{address=\"3\"}", "2.5"},
        {"tx20_line_requests_total{address=\"3\"}", "12"},
        {"tx20_line_good_replies_total{address=\"3\"}", "10"},
        {"tx20_line_timeouts_total{address=\"3\"}", "1"},
        {"tx20_line_checksum_errors_total{address=\"3\"}", "1"},
        {"tx20_line_format_errors_total{address=\"3\"}", "0"},
        {"tx20_line_resends_total{address=\"3\"}", "2"},
        {"tx20_gateway_polls_total{address=\"3\"}", "11"},
        // Nothing known of the silent one but its link, age and counts.
        {"tx20_link_up{address=\"9\"}", "0"},
        {"tx20_last_good_reading_age_seconds{address=\"9\"}", "+Inf"},
        {"tx20_reading_failures{address=\"9\"}", "4"},
        {"tx20_line_timeouts_total{address=\"9\"}", "4"},
        {"tx20_gateway_polls_total{address=\"9\"}", "4"},
        {"tx20_gateway_cycles_total", "7"},
        {"tx20_gateway_cycle_seconds", "1.52"},
    };
    for (const auto& [key, value] : expected) {
        ASSERT_TRUE(e.samples.count(key)) << key.toStdString();
        EXPECT_EQ(e.samples.at(key), value) << key.toStdString();
    }
    for (const char* unknown : {"tx20_measured_value{address=\"9\"}", "tx20_fault{address=\"9\"}",
                                "tx20_relay_on{address=\"9\",relay=\"1\"}"})
        EXPECT_FALSE(e.samples.count(QLatin1String(unknown))) << unknown;
    for (const auto& [name, type] : e.types) {
        EXPECT_TRUE(e.helped.count(name)) << name.toStdString();
        EXPECT_EQ(type == QLatin1String("counter"), name.endsWith(QLatin1String("_total")))
            << name.toStdString();
    }
}

TEST(UnitJson, ThePageRowCarriesTheOverviewsCzechTexts) {
    UnitReading r = snapshot().units[0].reading;
    r.live.MEAS = -1234.567f;
    QJsonObject t = view_json(r)[QStringLiteral("texts")].toObject();
    EXPECT_EQ(t[QStringLiteral("measured")].toString(), QStringLiteral("-1234,60"));
    EXPECT_EQ(t[QStringLiteral("set_point")].toString(), QStringLiteral("50,00"));
    EXPECT_EQ(t[QStringLiteral("action")].toString(), QStringLiteral("42,7"));
    EXPECT_EQ(t[QStringLiteral("relays")].toArray(),
              QJsonArray({QStringLiteral("ZAP"), QStringLiteral("vyp"), QStringLiteral("ZAP")}));
    EXPECT_EQ(t[QStringLiteral("fault")].toString(), QStringLiteral("PORUCHA"));
    EXPECT_EQ(t[QStringLiteral("link")].toString(), QStringLiteral("OK"));

    r = snapshot().units[1].reading;
    t = view_json(r)[QStringLiteral("texts")].toObject();
    EXPECT_EQ(t[QStringLiteral("link")].toString(), QStringLiteral("bez odpovědi (4×)"));
    EXPECT_EQ(t[QStringLiteral("measured")].toString(), QString());
    EXPECT_EQ(t[QStringLiteral("last_good")].toString(), QString());
}

}  // namespace

TEST(GatewayRecord, KeepsOnePointPerStepForAnHourAndCountsEveryPoll) {
    GatewayRecord record;
    UnitReading r;
    r.address = 3;
    const auto note = [&](qint64 ms, float value, bool link) {
        r.live.MEAS = value;
        r.link = link;
        record.note(r, ms);
    };
    constexpr qint64 step = GatewayRecord::kStepMs, hour = GatewayRecord::kHourMs;
    note(0, 1, true);
    note(step / 2, 2, true);  // the same step: the newer stands for it
    note(step, 3, true);
    note(step + 1, 9, false);  // failed: counted, not drawn
    using Points = std::vector<std::pair<qint64, float>>;
    EXPECT_EQ(record.hour(3, step + 1), (Points{{step / 2, 2}, {step, 3}}));
    EXPECT_EQ(record.polls(3), 4u);
    note(hour + step, 4, true);
    EXPECT_EQ(record.hour(3, hour + step), (Points{{step, 3}, {hour + step, 4}}));
    EXPECT_EQ(record.hour(3, 2 * hour + step + 1), Points{});
    note(5, 5, true);  // the clock was set back
    EXPECT_EQ(record.hour(3, 5), (Points{{5, 5}}));
    EXPECT_EQ(record.polls(9), 0u);
}
