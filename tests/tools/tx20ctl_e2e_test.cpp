// The command-line tool as a script would use it, against the simulated controller.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "sim/pty_server.h"
#include "tools/ctl_run.h"

namespace {

class Tx20ctlE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        server = std::make_unique<sim::PtyServer>(sim::Options{});
        ASSERT_TRUE(server->start()) << server->error().toStdString();
        port = server->path();
    }
    CtlRun run(QStringList args) {
        args.prepend(port);
        args.prepend(QStringLiteral("--port"));
        return tx20ctl(args);
    }
    template <class F>
    auto on_bus(F&& f) {
        auto lock = server->lock();
        return f(server->bus());
    }

    std::unique_ptr<sim::PtyServer> server;
    QString port;
};

TEST_F(Tx20ctlE2E, ReadPrintsTheFieldsAndTracesTheTelegrams) {
    const CtlRun r = run({QStringLiteral("--trace"), QStringLiteral("read"), QStringLiteral("10")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("-> 68 07 07 68 01 00 6C 01 0A 15 00 8D 16")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("<- 68 18 18 68 00 01 08 "))) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("MEAS = ")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("FAULT = 0")));
}

TEST_F(Tx20ctlE2E, WriteOfTheAddressSendsTheKnownTelegram) {
    const CtlRun r = run({QStringLiteral("--trace"), QStringLiteral("write"), QStringLiteral("8"),
                          QStringLiteral("ADD=7")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("-> 68 08 08 68 01 00 63 02 08 01 00 07 76 16")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("<- 10 00 01 00 01 16")));
    EXPECT_TRUE(on_bus([](sim::Bus& b) { return b.has_station(7); }));
}

TEST_F(Tx20ctlE2E, WriteChangesOnlyTheNamedFields) {
    const CtlRun r = run({QStringLiteral("write"), QStringLiteral("0"), QStringLiteral("sp=42.5")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const CompGroup c = on_bus([](sim::Bus& b) { return b.station(1).comp; });
    EXPECT_FLOAT_EQ(c.SP, 42.5f);
    EXPECT_FLOAT_EQ(c.SP_H, 100.0f);
}

// The editor's rules: a decimal comma is a number, a set point beyond the limits the
// controller holds is refused with nothing written.
TEST_F(Tx20ctlE2E, WriteTakesADecimalCommaAndRefusesASetPointOutsideItsLimits) {
    const CtlRun comma =
        run({QStringLiteral("write"), QStringLiteral("0"), QStringLiteral("SP=58,5")});
    ASSERT_EQ(comma.code, 0) << comma.err.toStdString();
    EXPECT_FLOAT_EQ(on_bus([](sim::Bus& b) { return b.station(1).comp.SP; }), 58.5f);

    const CtlRun high = run({QStringLiteral("--trace"), QStringLiteral("write"),
                             QStringLiteral("0"), QStringLiteral("SP=150")});
    EXPECT_EQ(high.code, 2);
    EXPECT_TRUE(high.err.contains(QStringLiteral("SP 150 lies outside SP_L 0 .. SP_H 100")))
        << high.err.toStdString();
    EXPECT_FALSE(high.err.contains(QStringLiteral("63 02 00"))) << "a write telegram went out";
    EXPECT_FLOAT_EQ(on_bus([](sim::Bus& b) { return b.station(1).comp.SP; }), 58.5f);
}

TEST_F(Tx20ctlE2E, IdentAndEepromTraceTheirRequests) {
    CtlRun r = run({QStringLiteral("--trace"), QStringLiteral("ident")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("type: KELVRA 20")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("version: FW-R-18-02")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("-> 68 04 04 68 01 00 6C 00 6D 16")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("-> 68 04 04 68 01 00 6C 04 71 16")));

    r = run({QStringLiteral("--trace"), QStringLiteral("eeprom")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("-> 68 04 04 68 01 00 63 06 6A 16")));
}

TEST_F(Tx20ctlE2E, FailedRequestExitsWithOneLineReason) {
    const CtlRun r = run(
        {QStringLiteral("--da"), QStringLiteral("9"), QStringLiteral("read"), QStringLiteral("8")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, QStringLiteral("tx20ctl: reading table 8 failed\n"));
    EXPECT_TRUE(r.out.isEmpty());
}

TEST_F(Tx20ctlE2E, PortNamesGoThroughThePortMap) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    QFile ini(config.filePath(QStringLiteral("TavTx20.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[PORTMAP]\nCOM3=" + port.toUtf8() + "\n");
    ini.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    const CtlRun r =
        tx20ctl({QStringLiteral("--port"), QStringLiteral("COM3"), QStringLiteral("live")}, env);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("MEAS="))) << r.out.toStdString();
}

TEST_F(Tx20ctlE2E, WatchRepeatsUntilInterrupted) {
    QProcess p;
    p.start(QStringLiteral(TX20CTL_PATH), {QStringLiteral("--port"), port, QStringLiteral("live"),
                                           QStringLiteral("--watch"), QStringLiteral("0.1")});
    QByteArray out;
    for (int i = 0; i < 100 && out.count('\n') < 2; ++i) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    EXPECT_GE(out.count('\n'), 2);
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}

// The device goes away and comes back under the same name; the exit status tells
// whether the last reading worked.
TEST(Tx20ctlWatch, ReopensThePortWhenTheDeviceComesBackAndExitsOneIfTheLastReadFailed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttyKELVRA"));
    auto device = std::make_unique<sim::PtyServer>(sim::Options{});
    ASSERT_TRUE(device->start(link)) << device->error().toStdString();

    QProcess p;
    p.start(QStringLiteral(TX20CTL_PATH), {QStringLiteral("--port"), link, QStringLiteral("live"),
                                           QStringLiteral("--watch"), QStringLiteral("0.1")});
    QByteArray out, err;
    const auto wait_for = [&](const QByteArray& what, QByteArray& in, int count) {
        for (int i = 0; i < 100 && in.count(what) < count; ++i) {
            p.waitForReadyRead(100);
            out += p.readAllStandardOutput();
            err += p.readAllStandardError();
        }
        return in.count(what) >= count;
    };
    ASSERT_TRUE(wait_for("MEAS=", out, 1)) << err.toStdString();

    device->stop();
    ASSERT_TRUE(wait_for("has gone", err, 1)) << err.toStdString();
    const int lines_before = out.count("MEAS=");
    device = std::make_unique<sim::PtyServer>(sim::Options{});
    ASSERT_TRUE(device->start(link)) << device->error().toStdString();
    ASSERT_TRUE(wait_for("MEAS=", out, lines_before + 2)) << err.toStdString();
    EXPECT_EQ(err.count("reopened"), 1) << err.toStdString();
    EXPECT_EQ(err.count("has gone"), 1) << err.toStdString();

    device->stop();
    ASSERT_TRUE(wait_for("has gone", err, 2)) << err.toStdString();
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);
}

TEST_F(Tx20ctlE2E, BadUsageExitsTwoBeforeTouchingTheLine) {
    const QString p = port;
    const std::vector<QStringList> cases = {
        {},
        {QStringLiteral("live")},
        {QStringLiteral("--port"), p},
        {QStringLiteral("--port"), p, QStringLiteral("frobnicate")},
        {QStringLiteral("--port"), p, QStringLiteral("--bogus"), QStringLiteral("live")},
        {QStringLiteral("--port"), p, QStringLiteral("read")},
        {QStringLiteral("--port"), p, QStringLiteral("read"), QStringLiteral("12")},
        {QStringLiteral("--port"), p, QStringLiteral("read"), QStringLiteral("1"),
         QStringLiteral("2")},
        {QStringLiteral("--port"), p, QStringLiteral("write"), QStringLiteral("9"),
         QStringLiteral("W0=1")},
        {QStringLiteral("--port"), p, QStringLiteral("write"), QStringLiteral("0")},
        {QStringLiteral("--port"), p, QStringLiteral("write"), QStringLiteral("0"),
         QStringLiteral("NOPE=1")},
        {QStringLiteral("--port"), p, QStringLiteral("write"), QStringLiteral("0"),
         QStringLiteral("SP=1.005,5")},
        {QStringLiteral("--port"), p, QStringLiteral("write"), QStringLiteral("1"),
         QStringLiteral("RALA=4")},
        {QStringLiteral("--port"), p, QStringLiteral("write"), QStringLiteral("4"),
         QStringLiteral("DSER=1.5")},
        {QStringLiteral("--port"), p, QStringLiteral("write"), QStringLiteral("4"),
         QStringLiteral("RESV=1")},
        {QStringLiteral("--port"), p, QStringLiteral("write"), QStringLiteral("8"),
         QStringLiteral("ADD=300")},
        {QStringLiteral("--port"), p, QStringLiteral("--da"), QStringLiteral("200"),
         QStringLiteral("live")},
        {QStringLiteral("--port"), p, QStringLiteral("--rate"), QStringLiteral("fast"),
         QStringLiteral("live")},
        {QStringLiteral("--port"), p, QStringLiteral("read"), QStringLiteral("1"),
         QStringLiteral("--watch"), QStringLiteral("2")},
        {QStringLiteral("--port"), p, QStringLiteral("live"), QStringLiteral("--watch"),
         QStringLiteral("0")},
    };
    for (const QStringList& args : cases) {
        const CtlRun r = tx20ctl(args);
        EXPECT_EQ(r.code, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("tx20ctl: "))) << r.err.toStdString();
    }
    EXPECT_EQ(server->requests(), 0);
}

}  // namespace
