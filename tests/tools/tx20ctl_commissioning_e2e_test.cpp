// backup, diff, clone and report of the command-line tool against simulated controllers
// on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <memory>

#include "params/catalogue.h"
#include "platform/private_profile.h"
#include "sim/pty_server.h"
#include "tools/ctl_run.h"

namespace {

class CommissioningE2E : public ::testing::Test {
  protected:
    void serve(std::vector<int> addresses, std::vector<sim::FaultSpec> faults = {}) {
        sim::Options o;
        o.addresses = std::move(addresses);
        o.faults = std::move(faults);
        server = std::make_unique<sim::PtyServer>(o);
        ASSERT_TRUE(server->start()) << server->error().toStdString();
    }
    CtlRun run(QStringList args) {
        args.prepend(server->path());
        args.prepend(QStringLiteral("--port"));
        return tx20ctl(args);
    }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    // A backup of controller 1 with some entries changed.
    QString reference(const std::vector<std::pair<const char*, const char*>>& changes,
                      const char* name = "ref.ini") {
        const QString file = path(name);
        const CtlRun r = run({QStringLiteral("backup"), file});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        PrivateProfile ini(file);
        for (const auto& [key, value] : changes) {
            const QStringList sk = QString::fromLatin1(key).split(QLatin1Char('/'));
            ini.set_string(sk[0], sk[1], QString::fromLatin1(value));
        }
        ini.commit();
        return file;
    }
    // Write telegrams in a trace, per destination address.
    static std::map<int, int> writes(const QString& trace) {
        static const QRegularExpression w(
            QStringLiteral("-> 68 (?:[0-9A-F]{2} ){3}([0-9A-F]{2}) [0-9A-F]{2} 63 02 "));
        std::map<int, int> out;
        for (auto it = w.globalMatch(trace); it.hasNext();)
            ++out[it.next().captured(1).toInt(nullptr, 16)];
        return out;
    }
    DeviceData station(int a) {
        auto lock = server->lock();
        return server->bus().station(a);
    }

    QTemporaryDir dir;
    std::unique_ptr<sim::PtyServer> server;
};

}  // namespace

TEST_F(CommissioningE2E, DiffPrintsOneLinePerDifferenceWithDiffsExitStatus) {
    serve({1});
    const QString same = reference({}, "same.ini");
    CtlRun r = run({QStringLiteral("diff"), same});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QString());

    // One of each kind: a real, a whole number, a list.
    const QString file = reference({{"COMP/SP", "41.50"}, {"REGO/DSER", "75"}, {"SENS/TYPE", "8"}});
    r = run({QStringLiteral("diff"), file, QStringLiteral("@1")});
    EXPECT_EQ(r.code, 1) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("COMP/SP: 41.50 -> 55.00\nREGO/DSER: 75 -> 60\n"
                                    "SENS/TYPE: 8 -> 4\n"));

    // Two files need no port at all.
    r = tx20ctl({QStringLiteral("diff"), same, file});
    EXPECT_EQ(r.code, 1) << r.err.toStdString();

    const QString bad = reference({{"PID/TI", "abc"}}, "bad.ini");
    r = run({QStringLiteral("diff"), bad});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.out.contains(QStringLiteral("PID/TI: abc -> 100.00")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("PID/TI \"abc\" refused"))) << r.err.toStdString();

    r = tx20ctl({QStringLiteral("diff"), same, path("none.ini")});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QString::fromUtf8("none.ini: soubor nelze přečíst")));
}

// Two identically set controllers differ only in their addresses, which no clone writes.
TEST_F(CommissioningE2E, DiffOfTwoControllersLeavesTheAddressOutUnlessAll) {
    serve({1, 2});
    CtlRun r = run({QStringLiteral("diff"), QStringLiteral("@1"), QStringLiteral("@2")});
    EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(r.out, QString());
    r = run({QStringLiteral("diff"), QStringLiteral("--all"), QStringLiteral("@1"),
             QStringLiteral("@2")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, QStringLiteral("ADD/ADRESA: 1 -> 2\n"));
}

TEST_F(CommissioningE2E, CloneVerifiesEveryTargetAndReportsTheRefusingOne) {
    serve({1, 2, 3, 4}, {{sim::Fault::RefuseWrite, 1, 4}});
    const QString file = reference({{"COMP/SP", "40.00"},
                                    {"REGO/DSER", "90"},
                                    {"OSTAT/FILT", "3"},
                                    {"OSTAT/PASS", "1234"},
                                    {"ADD/ADRESA", "77"}});

    CtlRun r =
        run({QStringLiteral("--trace"), QStringLiteral("clone"), QStringLiteral("--from"), file,
             QStringLiteral("--to"), QStringLiteral("1-4"), QStringLiteral("--dry-run")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(writes(r.err).empty());
    EXPECT_TRUE(r.out.contains(QString::fromUtf8("@2: KELVRA 20; to write: COMP, REGO, OST_;")))
        << r.out.toStdString();
    // Each target's changes, as the window's confirmation lists them.
    EXPECT_TRUE(r.out.contains(QStringLiteral("\n    COMP/SP: 55.00 -> 40.00\n")))
        << r.out.toStdString();

    r = run({QStringLiteral("--trace"), QStringLiteral("clone"), QStringLiteral("--from"), file,
             QStringLiteral("--to"), QStringLiteral("1-4")});
    EXPECT_EQ(r.code, 1);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << r.out.toStdString();
    for (int a = 1; a <= 3; ++a)
        EXPECT_EQ(lines[a - 1],
                  QString::fromUtf8("@%1: KELVRA 20; written: COMP, REGO, OST_; verified").arg(a));
    EXPECT_TRUE(
        lines[3].startsWith(QString::fromUtf8("@4: KELVRA 20; written: none; not verified")))
        << lines[3].toStdString();
    const auto w = writes(r.err);
    for (int a = 1; a <= 3; ++a) EXPECT_EQ(w.at(a), 3) << a;
    for (int a = 1; a <= 3; ++a) {
        const DeviceData d = station(a);
        EXPECT_FLOAT_EQ(d.comp.SP, 40.0f);
        EXPECT_EQ(d.ost.FILT, 3);
        EXPECT_EQ(d.ost.PASS, 0);
        EXPECT_EQ(d.add.ADD, a);
    }
    EXPECT_FLOAT_EQ(station(4).comp.SP, 55.0f);
}

TEST_F(CommissioningE2E, BadInputWritesNothing) {
    serve({1});
    const QString file = reference({{"COMP/SP", "40.00"}});
    const QString refused = path("refused.ini");
    QFile::copy(file, refused);
    PrivateProfile::write_string(refused, QStringLiteral("PID"), QStringLiteral("PB"),
                                 QStringLiteral("x"));
    const struct {
        QStringList args;
        const char* message;
    } cases[] = {
        {{QStringLiteral("--to"), QStringLiteral("1,1")}, "1 je v seznamu dvakrát"},
        {{QStringLiteral("--to"), QStringLiteral("0-2")}, "0 leží mimo 1..126"},
        {{QStringLiteral("--to"), QStringLiteral("1+2")}, "není adresa"},
        {{QStringLiteral("--from"), refused, QStringLiteral("--to"), QStringLiteral("1")},
         "PID/PB \"x\" refused"},
        {{QStringLiteral("--from"), path("none.ini"), QStringLiteral("--to"), QStringLiteral("1")},
         "nelze přečíst"},
    };
    for (const auto& c : cases) {
        QStringList args{QStringLiteral("--trace"), QStringLiteral("clone")};
        if (!c.args.contains(QStringLiteral("--from"))) args << QStringLiteral("--from") << file;
        const CtlRun r = run(args + c.args);
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
        EXPECT_TRUE(writes(r.err).empty()) << c.message;
    }
    EXPECT_FLOAT_EQ(station(1).comp.SP, 55.0f);
}

TEST_F(CommissioningE2E, ReportIsAPdfWithEveryParameterAndTheDeviceTexts) {
    serve({1});
    const QString ref = reference({{"COMP/SP", "40.00"}});
    const QString pdf = path("report.pdf");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    const CtlRun r = tx20ctl({QStringLiteral("--port"), server->path(), QStringLiteral("report"),
                              QStringLiteral("--out"), pdf, QStringLiteral("--reference"), ref,
                              QStringLiteral("--technician"), QString::fromUtf8("Jiří Šťastný"),
                              QStringLiteral("--note"), QString::fromUtf8("Výměna čidla")},
                             env);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QProcess text;
    text.start(QStringLiteral("pdftotext"),
               {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(20000));
    ASSERT_EQ(text.exitCode(), 0) << text.readAllStandardError().toStdString();
    const QString t = QString::fromUtf8(text.readAllStandardOutput());
    for (const params::ParamDef& p : params::catalogue()) {
        const QString name =
            *p.mnemonic ? QString::fromLatin1(p.mnemonic) : QStringLiteral("ADRESA");
        EXPECT_TRUE(t.contains(name)) << p.control;
    }
    for (const char* word : {"KELVRA 20", "FW-R-18-02", "žádaná hodnota", "Jiří Šťastný",
                             "Výměna čidla", "Technik:", "Poznámka:", "Rozdílů proti referenci: 1"})
        EXPECT_TRUE(t.contains(QString::fromUtf8(word))) << word;
}
