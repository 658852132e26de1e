// tune and steptest as a script runs them, on logs of a known process and against the
// simulator running a given process.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <memory>

#include "analysis/log_reader.h"
#include "sim/pty_server.h"
#include "tests/analysis/sample_logs.h"
#include "tests/tuning/synthetic_loop.h"
#include "tools/ctl_run.h"

namespace {

const QLocale kCzech(QLocale::Czech, QLocale::Czechia);

// A log of a step on K 2, τ 40 s, θ 8 s, starting at 08:00:00.
QString step_log(const QTemporaryDir& dir, int seconds = 600) {
    SyntheticLoop s;
    s.process.gain = 2.0;
    s.process.tau = 40;
    s.process.dead = 8;
    s.noise = 0.01;
    s.duration = seconds;
    const LoopRecord r = make_record(s);
    std::vector<LogSample> samples;
    const QDateTime start(QDate(2026, 12, 9), QTime(8, 0, 0));
    for (int i = 0; i < r.size(); ++i) {
        const auto k = std::size_t(i);
        samples.push_back({start.addSecs(i), r.y[k], r.sp[k], r.u[k], false});
    }
    const QString path = dir.filePath(QStringLiteral("step.txt"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(written_log(kCzech, true, samples));
    return path;
}

TEST(Tx20ctlTune, JsonHasTheKeysScriptsRelyOn) {
    QTemporaryDir dir;
    const CtlRun r = tx20ctl({QStringLiteral("tune"), step_log(dir), QStringLiteral("--json")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    const QJsonObject m = o.value(QStringLiteral("model")).toObject();
    EXPECT_EQ(m.value(QStringLiteral("kind")).toString(), QStringLiteral("fopdt"));
    EXPECT_NEAR(m.value(QStringLiteral("gain")).toDouble(), 2.0, 0.06);
    EXPECT_NEAR(m.value(QStringLiteral("time_constant")).toDouble(), 40, 2);
    EXPECT_NEAR(m.value(QStringLiteral("dead_time")).toDouble(), 8, 1);
    EXPECT_TRUE(m.contains(QStringLiteral("rmse")));
    const QJsonObject p = o.value(QStringLiteral("proposal")).toObject();
    EXPECT_EQ(p.value(QStringLiteral("rule")).toString(), QStringLiteral("simc"));
    for (const char* key : {"kc", "ti", "td", "PB", "INT", "DER"})
        EXPECT_TRUE(p.value(QLatin1String(key)).isDouble()) << key;
    EXPECT_NEAR(p.value(QStringLiteral("PB")).toDouble(),
                10000 / (p.value(QStringLiteral("kc")).toDouble() * 100), 1e-6);
    const QJsonObject rb = o.value(QStringLiteral("robustness")).toObject();
    EXPECT_NEAR(rb.value(QStringLiteral("ms")).toDouble(), 1.6, 0.1);
    EXPECT_NEAR(rb.value(QStringLiteral("gain_margin")).toDouble(), 3.1, 0.3);
    EXPECT_NEAR(rb.value(QStringLiteral("phase_margin_deg")).toDouble(), 61, 3);
    const QJsonObject pr = o.value(QStringLiteral("predicted")).toObject();
    EXPECT_TRUE(pr.value(QStringLiteral("overshoot_percent")).isDouble());
    EXPECT_GT(pr.value(QStringLiteral("settling_time")).toDouble(), 0);
}

TEST(Tx20ctlTune, BadInputGetsAReasonAndItsExitStatus) {
    QTemporaryDir dir;
    const QString log = step_log(dir);
    struct Case {
        QStringList args;
        int code;
        const char* says;
    } cases[] = {
        {{QStringLiteral("--from"), QStringLiteral("8:05:00"), QStringLiteral("--to"),
          QStringLiteral("8:01:00")},
         2,
         "lies after"},
        {{QStringLiteral("--from"), QStringLiteral("2026-12-10T09:00:00")}, 1, "outside the log"},
        {{QStringLiteral("--to"), QStringLiteral("8:01:00")}, 1, "no step"},
        {{QStringLiteral("--from"), QStringLiteral("8:00:00"), QStringLiteral("--to"),
          QStringLiteral("8:00:40")},
         1,
         "at least 60"},
        {{QStringLiteral("--from"), QStringLiteral("8:01:00"), QStringLiteral("--to"),
          QStringLiteral("8:03:00")},
         1,
         "θ + 3τ"},
        {{QStringLiteral("--rule"), QStringLiteral("fast")}, 2, "--rule"},
        {{QStringLiteral("--write")}, 2, "--port"},
        {{QStringLiteral("--from"), QStringLiteral("yesterday")}, 1, "ISO 8601"},
    };
    for (const Case& c : cases) {
        const CtlRun r = tx20ctl(QStringList{QStringLiteral("tune"), log} + c.args);
        EXPECT_EQ(r.code, c.code) << c.args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.says))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
    const CtlRun missing =
        tx20ctl({QStringLiteral("tune"), dir.filePath(QStringLiteral("none.txt"))});
    EXPECT_EQ(missing.code, 1);
}

class Tx20ctlTuneOnSimulator : public ::testing::Test {
  protected:
    void start(std::vector<sim::FaultSpec> faults = {}) {
        sim::Options o;
        sim::PlantSpec plant;
        plant.model.gain = 1.5;
        plant.model.tau = 6;
        plant.model.dead = 1.5;
        plant.noise = 0.01;
        o.plant = plant;
        o.faults = std::move(faults);
        server = std::make_unique<sim::PtyServer>(o);
        ASSERT_TRUE(server->start()) << server->error().toStdString();
        auto lock = server->lock();
        DeviceData& d = server->bus().station(1);
        d.pid = {80.0f, 8.0f, 0.0f, 1};
        d.rego.DEAD = 0;
        d.rego.TPID = 1;
    }
    PidGroup pid() {
        auto lock = server->lock();
        return server->bus().station(1).pid;
    }
    float sp() {
        auto lock = server->lock();
        return server->bus().station(1).comp.SP;
    }
    std::unique_ptr<sim::PtyServer> server;
};

TEST_F(Tx20ctlTuneOnSimulator, WriteSendsTheProposalAndReadsItBackKeepingTune) {
    start();
    QTemporaryDir dir;
    const CtlRun r = tx20ctl({QStringLiteral("--port"), server->path(), QStringLiteral("tune"),
                              step_log(dir), QStringLiteral("--write")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("PB 80 -> "))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("verified"))) << r.out.toStdString();
    const PidGroup g = pid();
    EXPECT_NE(g.PB, 80.0f);
    EXPECT_NEAR(g.INT, 40, 2);
    EXPECT_EQ(g.TUNE, 1);
}

TEST_F(Tx20ctlTuneOnSimulator, AWriteTheControllerRefusesIsReportedAndChangesNothing) {
    start({{sim::Fault::RefuseWrite, 1, -1}});
    QTemporaryDir dir;
    const CtlRun r = tx20ctl({QStringLiteral("--port"), server->path(), QStringLiteral("tune"),
                              step_log(dir), QStringLiteral("--write")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("writing table 3 failed"))) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains(QStringLiteral("verified")));
    EXPECT_EQ(pid().PB, 80.0f);
}

TEST_F(Tx20ctlTuneOnSimulator, ARefusedStepIsToldAndLeavesTheSetPointWithoutAFalseAlarm) {
    start({{sim::Fault::RefuseWrite, 1, -1}});
    QTemporaryDir dir;
    const CtlRun r =
        tx20ctl({QStringLiteral("--port"), server->path(), QStringLiteral("steptest"),
                 QStringLiteral("--sp-step"), QStringLiteral("2"), QStringLiteral("--duration"),
                 QStringLiteral("60"), QStringLiteral("--before"), QStringLiteral("1"),
                 QStringLiteral("--out"), dir.filePath(QStringLiteral("st.txt"))});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("step could not be written"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("could NOT be put back"))) << r.err.toStdString();
    EXPECT_EQ(sp(), 55.0f);
}

// The step test records, and whatever stops it the old set point goes back: here an
// interrupt, then a link that goes away (which must be said loudly).
TEST_F(Tx20ctlTuneOnSimulator, StepTestPutsTheSetPointBackWhenInterrupted) {
    start();
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("st.txt"));
    QProcess p;
    p.setProcessEnvironment(ctl_environment());
    p.start(QStringLiteral(TX20CTL_PATH),
            {QStringLiteral("--port"), server->path(), QStringLiteral("steptest"),
             QStringLiteral("--sp-step"), QStringLiteral("2"), QStringLiteral("--duration"),
             QStringLiteral("60"), QStringLiteral("--before"), QStringLiteral("1"),
             QStringLiteral("--out"), out});
    for (int i = 0; i < 100 && sp() == 55.0f; ++i) QThread::msleep(50);
    EXPECT_EQ(sp(), 57.0f);
    QThread::msleep(1500);
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(sp(), 55.0f);
    const QString said = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(said.contains(QStringLiteral("set point 55 put back"))) << said.toStdString();
    const LogReadResult log = LogReader::read_file(out);
    ASSERT_TRUE(log.ok()) << log.error.toStdString();
    EXPECT_GE(log.data.size(), 2);
    // Both set points are in the journal, as writes of table 0.
    const CtlRun journal =
        tx20ctl({QStringLiteral("journal"), QStringLiteral("--kind"), QStringLiteral("write"),
                 QStringLiteral("--address"), QStringLiteral("1")});
    EXPECT_TRUE(
        journal.out.contains(QStringLiteral("Krokový test: skok žádané hodnoty: SP 55 → 57")))
        << journal.out.toStdString();
    EXPECT_TRUE(journal.out.contains(
        QStringLiteral("Krokový test: původní žádaná hodnota vrácena: SP 57 → 55")));
}

TEST_F(Tx20ctlTuneOnSimulator, StepTestSaysLoudlyWhenTheSetPointCouldNotBePutBack) {
    start();
    QTemporaryDir dir;
    QProcess p;
    p.setProcessEnvironment(ctl_environment());
    p.start(QStringLiteral(TX20CTL_PATH),
            {QStringLiteral("--port"), server->path(), QStringLiteral("steptest"),
             QStringLiteral("--sp-step"), QStringLiteral("2"), QStringLiteral("--duration"),
             QStringLiteral("60"), QStringLiteral("--before"), QStringLiteral("1"),
             QStringLiteral("--out"), dir.filePath(QStringLiteral("st.txt"))});
    for (int i = 0; i < 100 && sp() == 55.0f; ++i) QThread::msleep(50);
    ASSERT_EQ(sp(), 57.0f);
    server->stop();  // the link is gone
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 1);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    // The link may go with the step's own answer: the step is then told as not written,
    // and the put-back is tried all the same.
    EXPECT_TRUE(err.contains(QStringLiteral("stopped answering")) ||
                err.contains(QStringLiteral("step could not be written")))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("could NOT be put back"))) << err.toStdString();
}

}  // namespace
