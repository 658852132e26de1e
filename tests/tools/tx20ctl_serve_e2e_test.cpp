// The gateway end to end: tx20ctl serve on the simulated bus, read by mbpoll over Modbus
// TCP and by mosquitto_sub through a mosquitto broker, all on 127.0.0.1.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <array>
#include <cmath>
#include <memory>

#include "alarms/alarm_rule.h"
#include "journal/journal.h"
#include "sim/pty_server.h"
#include "support/free_port.h"
#include "tools/ctl_run.h"
#include "tools/gateway_run.h"

namespace {

// Read input registers 0..11 of a unit, as Modbus TCP puts it on the wire.
QByteArray read_request(int unit, std::uint16_t transaction) {
    const char frame[] = {
        char(transaction >> 8), char(transaction & 0xFF), 0, 0, 0, 6, char(unit), 4, 0, 0, 0, 12};
    return QByteArray(frame, sizeof frame);
}

// mbpoll once against the gateway; the values it printed, in order.
struct Poll {
    int code = -1;
    QString out;
    std::vector<double> values;
};

Poll mbpoll(int port, int unit, const QStringList& what) {
    // The host first: a value to write follows it.
    QStringList args{QStringLiteral("127.0.0.1"), QStringLiteral("-m"),  QStringLiteral("tcp"),
                     QStringLiteral("-a"),        QString::number(unit), QStringLiteral("-1"),
                     QStringLiteral("-o"),        QStringLiteral("2"),   QStringLiteral("-p"),
                     QString::number(port)};
    args << what;
    const Tool t = run_tool(QStringLiteral("mbpoll"), args);
    Poll p{t.code, t.out, {}};
    static const QRegularExpression value(QStringLiteral("^\\[\\d+\\]:\\s+(-?[0-9.eE+-]+)"),
                                          QRegularExpression::MultilineOption);
    for (auto it = value.globalMatch(t.out); it.hasNext();)
        p.values.push_back(it.next().captured(1).toDouble());
    return p;
}

std::vector<double> registers(int port, int unit) {
    return mbpoll(port, unit,
                  {QStringLiteral("-t"), QStringLiteral("3"), QStringLiteral("-r"),
                   QStringLiteral("1"), QStringLiteral("-c"), QStringLiteral("12")})
        .values;
}

// Two controllers that hold still, each with values of its own.
class ServeE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        server = two_still_controllers();
        ASSERT_TRUE(server) << "the simulator did not start";
    }
    QStringList serve(const QStringList& more) {
        return QStringList{QStringLiteral("--port"), server->path(),
                           QStringLiteral("serve"),  QStringLiteral("--addresses"),
                           QStringLiteral("3,7,9"),  QStringLiteral("--period"),
                           QStringLiteral("0.1")} +
               more;
    }
    QJsonObject live_json(int address) {
        const CtlRun r =
            tx20ctl({QStringLiteral("--port"), server->path(), QStringLiteral("--da"),
                     QString::number(address), QStringLiteral("--json"), QStringLiteral("live")});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out.toUtf8()).object();
    }

    std::unique_ptr<sim::PtyServer> server;
};

TEST_F(ServeE2E, MbpollReadsWhatLiveReadsAndTheServerRefusesWhatItDoesNotServe) {
    const int port = free_port();
    Gateway gw(serve({QStringLiteral("--modbus"), QStringLiteral("127.0.0.1:%1").arg(port)}));
    ASSERT_TRUE(gw.wait_for(QStringLiteral("serving Modbus TCP"))) << gw.err().toStdString();
    ASSERT_TRUE(eventually([&] {
        const auto a = registers(port, 3), b = registers(port, 7);
        return a.size() == 12 && b.size() == 12 && a[10] == 1 && b[10] == 1;
    })) << gw.err().toStdString();

    struct Seen {
        std::vector<double> regs, floats, tterm;
    };
    std::map<int, Seen> seen;
    for (int unit : {3, 7}) {
        seen[unit].regs = registers(port, unit);
        seen[unit].floats =
            mbpoll(port, unit, {"-t", "3:float", "-B", "-r", "1", "-c", "2"}).values;
        seen[unit].tterm = mbpoll(port, unit, {"-t", "3:float", "-B", "-r", "7"}).values;
    }
    // The listed controller that never answers.
    const auto silent = registers(port, 9);
    ASSERT_EQ(silent.size(), 12u);
    EXPECT_EQ(silent[10], 0);
    EXPECT_EQ(silent[11], 65535);

    const struct {
        int unit;
        QStringList what;
        const char* answer;
    } refused[] = {
        {5, {"-t", "3", "-r", "1"}, "Target device failed to respond"},
        {3, {"-t", "4", "-r", "1", "5"}, "Illegal function"},
        {3, {"-t", "4", "-r", "1"}, "Illegal function"},
        {3, {"-t", "0", "-r", "1"}, "Illegal function"},
        {3, {"-t", "3", "-r", "12", "-c", "2"}, "Illegal data address"},
    };
    for (const auto& r : refused) {
        const Poll p = mbpoll(port, r.unit, r.what);
        EXPECT_NE(p.code, 0) << p.out.toStdString();
        EXPECT_TRUE(p.out.contains(QLatin1String(r.answer))) << p.out.toStdString();
    }
    EXPECT_EQ(gw.stop(), 0) << gw.err().toStdString();

    // The same moment, as live --json reads it (the process holds still).
    for (int unit : {3, 7}) {
        const QJsonObject live = live_json(unit);
        const Seen& s = seen[unit];
        ASSERT_EQ(s.regs.size(), 12u);
        ASSERT_EQ(s.floats.size(), 2u);
        ASSERT_EQ(s.tterm.size(), 1u);
        EXPECT_NEAR(s.floats[0], live[QStringLiteral("measured")].toDouble(), 1e-3) << unit;
        EXPECT_NEAR(s.floats[1], live[QStringLiteral("set_point")].toDouble(), 1e-3) << unit;
        EXPECT_NEAR(s.regs[4] / 10.0, live[QStringLiteral("action")].toDouble(), 1e-9) << unit;
        EXPECT_NEAR(s.regs[5] / 10.0, live[QStringLiteral("feedback")].toDouble(), 1e-9) << unit;
        EXPECT_NEAR(s.tterm[0], live[QStringLiteral("terminal")].toDouble(), 1e-3) << unit;
        const QJsonArray relays = live[QStringLiteral("relays")].toArray();
        int bits = 0;
        for (int i = 0; i < 3; ++i) bits |= relays[i].toBool() ? 1 << i : 0;
        EXPECT_EQ(s.regs[8], bits) << unit;
        EXPECT_EQ(s.regs[9], live[QStringLiteral("fault")].toBool() ? 1 : 0) << unit;
        EXPECT_EQ(s.regs[10], 1) << unit;
        EXPECT_LE(s.regs[11], 1) << unit;
    }
    EXPECT_EQ(seen[3].floats[0], 41.5);
    EXPECT_EQ(seen[7].regs[9], 1);
}

TEST_F(ServeE2E, CrowdsSilentReadersAndGarbageStopNeitherThePollingNorTheOthers) {
    const int port = free_port();
    Gateway gw(serve({QStringLiteral("--modbus"), QStringLiteral("127.0.0.1:%1").arg(port)}));
    ASSERT_TRUE(gw.wait_for(QStringLiteral("serving Modbus TCP"))) << gw.err().toStdString();

    // A client that asks and asks but never reads its answers.
    const int hog = connect_to(port);
    ASSERT_GE(hog, 0);
    const QByteArray ask = read_request(3, 1).repeated(512);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 3000 && ::send(hog, ask.constData(), static_cast<std::size_t>(ask.size()),
                                        MSG_NOSIGNAL | MSG_DONTWAIT) > 0) {
    }
    // Garbage of every kind on connections of their own.
    const QByteArray garbage[] = {QByteArrayLiteral("GET / HTTP/1.0\r\n\r\n"),
                                  QByteArray::fromHex("0001000000ff0304"),  // length beyond a frame
                                  QByteArray::fromHex("000100000001"),      // no function
                                  QByteArray::fromHex("00010000000603"),    // cut short
                                  QByteArray(300, '\xff')};
    for (const QByteArray& g : garbage) {
        const int fd = connect_to(port);
        ASSERT_GE(fd, 0);
        ::send(fd, g.constData(), static_cast<std::size_t>(g.size()), MSG_NOSIGNAL);
        ::close(fd);
    }
    // A hundred clients at once, each with its own question.
    std::vector<int> crowd;
    for (int i = 0; i < 100; ++i) crowd.push_back(connect_to(port));
    for (std::size_t i = 0; i < crowd.size(); ++i) {
        ASSERT_GE(crowd[i], 0) << i;
        const QByteArray q = read_request(i % 2 ? 3 : 7, static_cast<std::uint16_t>(i));
        ::send(crowd[i], q.constData(), static_cast<std::size_t>(q.size()), MSG_NOSIGNAL);
    }
    int answered = 0;
    for (std::size_t i = 0; i < crowd.size(); ++i) {
        std::array<char, 64> reply{};
        int got = 0;
        while (got < 33) {
            const auto n = ::recv(crowd[i], reply.data() + got,
                                  reply.size() - static_cast<std::size_t>(got), 0);
            if (n <= 0) break;
            got += static_cast<int>(n);
        }
        // Transaction echoed, function 4, 24 bytes of registers.
        if (got == 33 && static_cast<std::uint8_t>(reply[1]) == (i & 0xFF) && reply[7] == 4 &&
            reply[8] == 24)
            ++answered;
        ::close(crowd[i]);
    }
    EXPECT_EQ(answered, 100);
    EXPECT_EQ(registers(port, 3).size(), 12u);
    ::close(hog);
    EXPECT_TRUE(gw.running());
    EXPECT_EQ(gw.stop(), 0) << gw.err().toStdString();
}

TEST_F(ServeE2E, MosquittoSubGetsEveryStateAndTheGatewayOutlivesABrokerRestart) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const int port = free_port();
    const QString conf = dir.filePath(QStringLiteral("mosquitto.conf"));
    QFile f(conf);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n").arg(port).toUtf8());
    f.close();
    const auto start_broker = [&](QProcess& broker) {
        broker.setProcessChannelMode(QProcess::MergedChannels);
        broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf});
        return broker.waitForStarted() && eventually(
                                              [&] {
                                                  const int fd = connect_to(port);
                                                  if (fd >= 0) ::close(fd);
                                                  return fd >= 0;
                                              },
                                              5000);
    };
    auto broker = std::make_unique<QProcess>();
    ASSERT_TRUE(start_broker(*broker)) << broker->readAll().toStdString();

    Gateway gw(serve({QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1:%1").arg(port),
                      QStringLiteral("--topic"), QStringLiteral("plant/bus1")}));
    ASSERT_TRUE(gw.wait_for(QStringLiteral("publishing to MQTT"))) << gw.err().toStdString();
    // Retained: whoever subscribes gets the last of each.
    const auto subscribe = [&](const QStringList& topics, int count) {
        QStringList args{QStringLiteral("-h"),   QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                         QString::number(port),  QStringLiteral("-v"),        QStringLiteral("-C"),
                         QString::number(count), QStringLiteral("-W"),        QStringLiteral("20")};
        for (const QString& t : topics) args << QStringLiteral("-t") << t;
        std::map<QString, QString> last;
        const Tool t = run_tool(QStringLiteral("mosquitto_sub"), args, 30000);
        for (const QString& line : t.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const int space = static_cast<int>(line.indexOf(QLatin1Char(' ')));
            if (space > 0) last[line.left(space)] = line.mid(space + 1);
        }
        return last;
    };
    const auto state = [](const QString& payload) {
        return QJsonDocument::fromJson(payload.toUtf8()).object();
    };
    // The silent controller is published after its failed reading, so it comes last.
    ASSERT_TRUE(eventually([&] {
        return subscribe({QStringLiteral("plant/bus1/9/state")}, 1)
                   .count(QStringLiteral("plant/bus1/9/state")) == 1;
    }));
    // Each controller's alarms are retained beside its state: the states by name.
    auto got =
        subscribe({QStringLiteral("plant/bus1/status"), QStringLiteral("plant/bus1/+/state")}, 4);
    EXPECT_EQ(got[QStringLiteral("plant/bus1/status")], QStringLiteral("online"));
    const QJsonObject three = state(got[QStringLiteral("plant/bus1/3/state")]);
    EXPECT_EQ(three[QStringLiteral("measured")].toDouble(), 41.5);
    EXPECT_EQ(three[QStringLiteral("relays")].toArray(), QJsonArray({true, true, false}));
    EXPECT_EQ(three[QStringLiteral("type")].toString(), QStringLiteral("KELVRA 20"));
    EXPECT_TRUE(three[QStringLiteral("link")].toBool());
    EXPECT_TRUE(QDateTime::fromString(three[QStringLiteral("time")].toString(), Qt::ISODateWithMs)
                    .isValid());
    EXPECT_TRUE(state(got[QStringLiteral("plant/bus1/7/state")])[QStringLiteral("fault")].toBool());
    const QJsonObject nine = state(got[QStringLiteral("plant/bus1/9/state")]);
    EXPECT_FALSE(nine[QStringLiteral("link")].toBool());
    EXPECT_TRUE(nine[QStringLiteral("time")].isNull());

    // The broker goes away (and forgets everything) and comes back.
    broker->terminate();
    ASSERT_TRUE(broker->waitForFinished(5000));
    QThread::msleep(1500);
    broker = std::make_unique<QProcess>();
    ASSERT_TRUE(start_broker(*broker));
    got = subscribe({QStringLiteral("plant/bus1/status"), QStringLiteral("plant/bus1/3/state")}, 2);
    EXPECT_EQ(got[QStringLiteral("plant/bus1/status")], QStringLiteral("online"))
        << gw.err().toStdString();
    EXPECT_TRUE(state(got[QStringLiteral("plant/bus1/3/state")])[QStringLiteral("link")].toBool());
    EXPECT_TRUE(gw.running());
    EXPECT_TRUE(gw.wait_for(QStringLiteral("connected"), 1000)) << gw.err().toStdString();
    EXPECT_EQ(gw.err().count(QStringLiteral("lost")), 1) << gw.err().toStdString();

    EXPECT_EQ(gw.stop(), 0);
    got = subscribe({QStringLiteral("plant/bus1/status")}, 1);
    EXPECT_EQ(got[QStringLiteral("plant/bus1/status")], QStringLiteral("offline"));
    broker->terminate();
    broker->waitForFinished(5000);
}

TEST_F(ServeE2E, TheGoneDeviceIsToldOnceAndEveryLinkGoesDownUntilItIsBack) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttyBUS"));
    server->stop();
    server = std::make_unique<sim::PtyServer>(sim::Options{});
    ASSERT_TRUE(server->start(link));
    const int port = free_port();
    Gateway gw({QStringLiteral("--port"), link, QStringLiteral("serve"),
                QStringLiteral("--addresses"), QStringLiteral("1"), QStringLiteral("--period"),
                QStringLiteral("0.1"), QStringLiteral("--modbus"),
                QStringLiteral("127.0.0.1:%1").arg(port)});
    const auto link_reg = [&] {
        const auto r = registers(port, 1);
        return r.size() == 12 ? static_cast<int>(r[10]) : -1;
    };
    ASSERT_TRUE(eventually([&] { return link_reg() == 1; })) << gw.err().toStdString();
    server->stop();
    ASSERT_TRUE(gw.wait_for(QStringLiteral("has gone"))) << gw.err().toStdString();
    EXPECT_EQ(link_reg(), 0);
    server = std::make_unique<sim::PtyServer>(sim::Options{});
    ASSERT_TRUE(server->start(link));
    ASSERT_TRUE(eventually([&] { return link_reg() == 1; })) << gw.err().toStdString();
    EXPECT_EQ(gw.err().count(QStringLiteral("has gone")), 1);
    EXPECT_EQ(gw.stop(), 0);
}

TEST_F(ServeE2E, JsonOutputIsOneObjectPerResult) {
    const QString p = server->path();
    const struct {
        QStringList args;
        int objects;
        const char* key;
        QJsonValue value;
    } cases[] = {
        {{"--da", "7", "live"}, 1, "measured", -12.25},
        {{"--da", "3", "read", "0"}, 1, "table", 0},
        {{"scan", "--timeout", "20"}, 2, "address", 3},
        {{"--da", "7", "ident"}, 1, "type", QStringLiteral("KELVRA 20")},
    };
    for (const auto& c : cases) {
        const CtlRun r = tx20ctl(QStringList{"--port", p, "--json"} + c.args);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), c.objects) << r.out.toStdString();
        for (const QString& line : lines) {
            QJsonParseError e{};
            QJsonDocument::fromJson(line.toUtf8(), &e);
            EXPECT_EQ(e.error, QJsonParseError::NoError) << line.toStdString();
        }
        const QJsonObject first = QJsonDocument::fromJson(lines.first().toUtf8()).object();
        EXPECT_EQ(first.value(QLatin1String(c.key)), c.value) << r.out.toStdString();
    }
    const QJsonObject table =
        QJsonDocument::fromJson(
            tx20ctl({"--port", p, "--json", "--da", "3", "read", "0"}).out.toUtf8())
            .object();
    EXPECT_EQ(table[QStringLiteral("fields")].toObject()[QStringLiteral("SP")].toDouble(), 55.0);
}

TEST_F(ServeE2E, AlarmsGoRetainedToMqttIntoTheModbusAlarmBlockAndIntoTheJournal) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString db = dir.filePath(QStringLiteral("journal.sqlite"));
    {
        // 3 is above its high limit; 9 never answers and is lost at once; 7 keeps the
        // default rules, which watch its FAULT.
        Journal j(db);
        AlarmRules three = default_rules();
        three[static_cast<std::size_t>(AlarmCondition::High)] = {
            AlarmCondition::High, true, 40, 1, 0, 2};
        AlarmRules nine = default_rules();
        nine[static_cast<std::size_t>(AlarmCondition::CommLoss)].delay_s = 0;
        nine[static_cast<std::size_t>(AlarmCondition::CommLoss)].priority = 3;
        ASSERT_TRUE(j.set_rules(3, rules_to_json(three)));
        ASSERT_TRUE(j.set_rules(9, rules_to_json(nine)));
    }
    const int modbus = free_port();
    const int mqtt = free_port();
    Gateway gw(serve({QStringLiteral("--modbus"), QStringLiteral("127.0.0.1:%1").arg(modbus),
                      QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1:%1").arg(mqtt),
                      QStringLiteral("--journal"), db}));
    ASSERT_TRUE(gw.wait_for(QStringLiteral("serving Modbus TCP"))) << gw.err().toStdString();
    const auto alarm_block = [&](int unit) {
        return mbpoll(modbus, unit,
                      {QStringLiteral("-t"), QStringLiteral("3"), QStringLiteral("-r"),
                       QStringLiteral("17"), QStringLiteral("-c"), QStringLiteral("6")})
            .values;
    };
    // Active, unacknowledged, shelved, chattering, highest priority, unacknowledged count.
    const std::map<int, std::vector<double>> expected{
        {3, {1, 1, 0, 0, 2, 1}}, {7, {16, 16, 0, 0, 1, 1}}, {9, {8, 8, 0, 0, 3, 1}}};
    ASSERT_TRUE(eventually([&] { return alarm_block(9) == expected.at(9); }))
        << gw.err().toStdString();
    for (const auto& [unit, regs] : expected) EXPECT_EQ(alarm_block(unit), regs) << unit;
    // The blocks keep their bounds: the gap between them and the end are refused.
    const QStringList refused[] = {{"-t", "3", "-r", "16", "-c", "2"},
                                   {"-t", "3", "-r", "22", "-c", "2"}};
    for (const QStringList& what : refused) {
        const Poll p = mbpoll(modbus, 3, what);
        EXPECT_TRUE(p.out.contains(QLatin1String("Illegal data address"))) << p.out.toStdString();
    }
    EXPECT_EQ(registers(modbus, 3).size(), 12u);

    // The broker comes after the alarms were raised: they are published on connecting.
    const QString conf = dir.filePath(QStringLiteral("mosquitto.conf"));
    QFile f(conf);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n").arg(mqtt).toUtf8());
    f.close();
    QProcess broker;
    broker.setProcessChannelMode(QProcess::MergedChannels);
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf});
    ASSERT_TRUE(broker.waitForStarted());
    ASSERT_TRUE(gw.wait_for(QStringLiteral("connected"), 15000)) << gw.err().toStdString();
    const Tool sub =
        run_tool(QStringLiteral("mosquitto_sub"),
                 {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                  QString::number(mqtt), QStringLiteral("-v"), QStringLiteral("-C"),
                  QStringLiteral("3"), QStringLiteral("-W"), QStringLiteral("20"),
                  QStringLiteral("-t"), QStringLiteral("tx20/+/alarm")},
                 30000);
    std::map<QString, QJsonObject> got;
    for (const QString& line : sub.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int space = static_cast<int>(line.indexOf(QLatin1Char(' ')));
        if (space > 0)
            got[line.left(space)] = QJsonDocument::fromJson(line.mid(space + 1).toUtf8()).object();
    }
    ASSERT_EQ(got.size(), 3u) << sub.out.toStdString();
    const std::pair<const char*, int> alarms[] = {{"3", 2}, {"7", 1}, {"9", 3}};
    for (const auto& [address, priority] : alarms) {
        const QJsonObject o = got[QStringLiteral("tx20/%1/alarm").arg(QLatin1String(address))];
        EXPECT_EQ(o[QStringLiteral("priority")].toInt(), priority) << address;
        EXPECT_EQ(o[QStringLiteral("unacknowledged")].toInt(), 1) << address;
        EXPECT_EQ(o[QStringLiteral("alarms")][0][QStringLiteral("state")].toString(),
                  QStringLiteral("unacknowledged"))
            << address;
    }
    const QJsonObject high =
        got[QStringLiteral("tx20/3/alarm")][QStringLiteral("alarms")][0].toObject();
    EXPECT_EQ(high[QStringLiteral("condition")].toString(), QStringLiteral("high"));
    EXPECT_EQ(high[QStringLiteral("value")].toDouble(), 41.5);
    EXPECT_EQ(gw.stop(), 0) << gw.err().toStdString();
    broker.terminate();
    broker.waitForFinished(5000);

    Journal j(db);
    JournalFilter filter;
    filter.kind = JournalKind::Alarm;
    const auto entries = j.query(filter, 100);
    ASSERT_EQ(entries.size(), 3u);
    for (const JournalEntry& e : entries) EXPECT_EQ(e.program, QStringLiteral("tx20ctl"));
}

TEST(ServeUsage, BadServeOptionsExitTwo) {
    const std::vector<QStringList> cases = {
        {"--port", "/dev/null", "serve", "--modbus", "127.0.0.1:1502"},  // nothing to poll
        {"--port", "/dev/null", "serve", "--addresses", "1"},            // nowhere to serve
        {"--port", "/dev/null", "serve", "--addresses", "1", "--scan", "--modbus", ":1502"},
        {"--port", "/dev/null", "serve", "--addresses", "1-200", "--modbus", ":1502"},
        {"--port", "/dev/null", "serve", "--addresses", "1", "--modbus", "1502"},
        {"--port", "/dev/null", "serve", "--addresses", "1", "--mqtt", "host:0"},
        {"--port", "/dev/null", "serve", "--scan", "--mqtt", "h:1", "--topic", "a/#"},
        {"--port", "/dev/null", "live", "--addresses", "1"},
        {"--port", "/dev/null", "--json", "eeprom"},
        // Another address for HTTP needs a login or a word that it is open on purpose.
        {"--port", "/dev/null", "serve", "--addresses", "1", "--http", "0.0.0.0:8080"},
        {"--port", "/dev/null", "serve", "--addresses", "1", "--http", "gw.plant:8080",
         "--http-open"},
        {"--port", "/dev/null", "serve", "--addresses", "1", "--http", ":8080", "--http-open",
         "--http-auth", "f"},
        {"--port", "/dev/null", "serve", "--addresses", "1", "--modbus", ":1502", "--http-open"},
        {"--port", "/dev/null", "serve", "--addresses", "1", "--modbus", ":1502", "--modbus-allow",
         "10.0.0.0/40"},
        {"--port", "/dev/null", "serve", "--addresses", "1", "--http", ":80", "--modbus-allow",
         "10.0.0.1"},
        {"--port", "/dev/null", "serve", "--addresses", "1", "--modbus", ":1502", "--mqtt-auth",
         "f"},
        {"--port", "/dev/null", "serve", "--addresses", "1", "--mqtt", "h:1", "--mqtt-cert", "c"},
        {"--port", "/dev/null", "serve", "--addresses", "1", "--modbus", ":1502", "--journal", ""},
    };
    for (const QStringList& args : cases) {
        const CtlRun r = tx20ctl(args);
        EXPECT_EQ(r.code, 2) << args.join(QLatin1Char(' ')).toStdString();
    }
}

}  // namespace
