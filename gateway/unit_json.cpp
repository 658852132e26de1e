#include "gateway/unit_json.h"

#include <QJsonArray>
#include <QLocale>
#include <QString>

#include "comm/live_texts.h"
#include "platform/formats.h"

namespace {

// Seven significant digits: what a float holds, without its binary tail.
double tidy(double v) { return QString::number(v, 'g', 7).toDouble(); }

QString utc_text(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

}  // namespace

QJsonObject live_json(const LiveGroup& live) {
    QJsonObject o;
    o.insert(QStringLiteral("measured"), tidy(live.MEAS));
    o.insert(QStringLiteral("set_point"), tidy(live.SP));
    o.insert(QStringLiteral("action"), tidy(live.YOUT / 10.0));
    o.insert(QStringLiteral("feedback"), tidy(live.FEEDBACK / 10.0));
    o.insert(QStringLiteral("terminal"), tidy(live.TTERM));
    QJsonArray relays;
    for (int bit = 0; bit < 3; ++bit) relays.append(((live.RELAYS >> bit) & 1) != 0);
    o.insert(QStringLiteral("relays"), relays);
    o.insert(QStringLiteral("fault"), live.FAULT != 0);
    return o;
}

QJsonObject state_json(const UnitReading& r) {
    QJsonObject o = live_json(r.live);
    o.insert(QStringLiteral("address"), r.address);
    o.insert(QStringLiteral("type"), r.type_text);
    o.insert(QStringLiteral("link"), r.link);
    o.insert(QStringLiteral("failures"), r.failures);
    o.insert(QStringLiteral("time"),
             r.last_good.isValid() ? QJsonValue(r.last_good.toUTC().toString(Qt::ISODateWithMs))
                                   : QJsonValue());
    return o;
}

QJsonObject view_json(const UnitReading& r) {
    static const QLocale czech(QLocale::Czech, QLocale::Czechia);
    QJsonObject o = state_json(r);
    QJsonObject t;
    // Before the first good reading nothing is known, not even a zero.
    const bool known = r.last_good.isValid();
    const LiveTexts texts = live_texts(r.live, czech);
    t.insert(QStringLiteral("measured"), known ? texts.measure : QString());
    t.insert(QStringLiteral("set_point"), known ? texts.sp : QString());
    t.insert(QStringLiteral("action"), known ? texts.yout : QString());
    QJsonArray relays;
    for (int bit = 0; bit < 3; ++bit)
        relays.append(!known                       ? QString()
                      : (r.live.RELAYS >> bit) & 1 ? QStringLiteral("ZAP")
                                                   : QStringLiteral("vyp"));
    t.insert(QStringLiteral("relays"), relays);
    t.insert(QStringLiteral("fault"), known ? texts.fault : QString());
    t.insert(QStringLiteral("link"), r.link ? QStringLiteral("OK")
                                     : r.failures > 0
                                         ? QStringLiteral("bez odpovědi (%1×)").arg(r.failures)
                                         : QString());
    t.insert(QStringLiteral("last_good"),
             known ? formats::long_time(r.last_good.toLocalTime().time(), czech) : QString());
    o.insert(QStringLiteral("texts"), t);
    return o;
}

QJsonObject alarm_json(int address, const std::vector<AlarmStatus>& alarms, qint64 time_ms) {
    QJsonArray list;
    int highest = 0;
    int unacknowledged = 0;
    for (const AlarmStatus& a : alarms) {
        list.append(QJsonObject{{QStringLiteral("condition"), condition_name(a.condition)},
                                {QStringLiteral("state"), state_name(a.state)},
                                {QStringLiteral("active"), is_active(a.state)},
                                {QStringLiteral("acknowledged"), !is_unacked(a.state)},
                                {QStringLiteral("priority"), a.priority},
                                {QStringLiteral("shelved"), a.shelved},
                                {QStringLiteral("chattering"), a.chattering},
                                {QStringLiteral("since"), utc_text(a.since_ms)},
                                {QStringLiteral("value"), tidy(a.value)}});
        if (a.shelved || a.state == AlarmState::Normal) continue;
        if (highest == 0 || a.priority < highest) highest = a.priority;
        if (is_unacked(a.state)) ++unacknowledged;
    }
    QJsonObject o;
    o.insert(QStringLiteral("address"), address);
    o.insert(QStringLiteral("priority"), highest > 0 ? QJsonValue(highest) : QJsonValue());
    o.insert(QStringLiteral("unacknowledged"), unacknowledged);
    o.insert(QStringLiteral("time"), utc_text(time_ms));
    o.insert(QStringLiteral("alarms"), list);
    return o;
}
