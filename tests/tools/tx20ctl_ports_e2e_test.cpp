// tx20ctl ports and the reasons it gives when a port will not open.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "tools/ctl_run.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

class Tx20ctlPorts : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(config.isValid()); }

    QString ini() const { return config.filePath(QStringLiteral("TavTx20.ini")); }
    QByteArray ini_bytes() const {
        QFile f(ini());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    void write_ini(const QByteArray& text) const {
        QFile f(ini());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    CtlRun tx20ctl(const QStringList& args) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        return ::tx20ctl(args, env);
    }

    QTemporaryDir config;
};

const QByteArray kForeign =
    "# hand-written\n[DESKTOP]\nTop=10\n\n[PORTMAP]\nCOM2=/dev/ttyS9\nbogus line\n\n"
    "[General]\nx=\"quoted, kept\"\n";

TEST_F(Tx20ctlPorts, MapAndUnmapChangeOnlyTheirEntry) {
    write_ini(kForeign);
    const QString device = config.filePath(QStringLiteral("adapter"));
    CtlRun r = tx20ctl(
        {QStringLiteral("ports"), QStringLiteral("--map"), QStringLiteral("com5=") + device});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("does not exist"))) << r.err.toStdString();
    EXPECT_EQ(ini_bytes(),
              "# hand-written\n[DESKTOP]\nTop=10\n\n[PORTMAP]\nCOM2=/dev/ttyS9\n"
              "bogus line\nCOM5=" +
                  device.toUtf8() + "\n\n[General]\nx=\"quoted, kept\"\n");

    r = tx20ctl({QStringLiteral("ports")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QRegularExpression(QStringLiteral("COM5 +") +
                                                  QRegularExpression::escape(device) +
                                                  QStringLiteral(" +missing\n"))))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QRegularExpression(QStringLiteral("COM1 +/dev/ttyS0"))));

    r = tx20ctl({QStringLiteral("ports"), QStringLiteral("--unmap"), QStringLiteral("COM5")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(ini_bytes(), kForeign);
}

TEST_F(Tx20ctlPorts, BadMappingsExitTwoAndLeaveTheFileAlone) {
    write_ini(kForeign);
    const std::vector<QStringList> cases = {
        {QStringLiteral("--map"), QStringLiteral("COM9=/dev/ttyUSB0")},
        {QStringLiteral("--map"), QStringLiteral("COM0=/dev/ttyUSB0")},
        {QStringLiteral("--map"), QStringLiteral("COM1=")},
        {QStringLiteral("--map"), QStringLiteral("/dev/ttyUSB0")},
        {QStringLiteral("--map")},
        {QStringLiteral("--unmap"), QStringLiteral("COM12")},
        {QStringLiteral("--map"), QStringLiteral("COM1=/dev/a"), QStringLiteral("--unmap"),
         QStringLiteral("LPT1")},
        {QStringLiteral("--bogus")},
    };
    for (QStringList args : cases) {
        args.prepend(QStringLiteral("ports"));
        const CtlRun r = tx20ctl(args);
        EXPECT_EQ(r.code, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("tx20ctl: "))) << r.err.toStdString();
    }
    EXPECT_EQ(ini_bytes(), kForeign);
}

TEST_F(Tx20ctlPorts, UnwritableSettingsExitOneWithTheReason) {
    ASSERT_TRUE(QDir(config.path()).mkdir(QStringLiteral("TavTx20.ini")));
    const CtlRun r = tx20ctl(
        {QStringLiteral("ports"), QStringLiteral("--map"), QStringLiteral("COM1=/dev/ttyUSB0")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("tx20ctl: cannot write ") + ini()))
        << r.err.toStdString();
}

// One language a sentence: English, or Czech under a Czech locale.
TEST_F(Tx20ctlPorts, FailedOpenGivesTheSystemsReasonInTheLocalesLanguage) {
    const QStringList args{QStringLiteral("--port"), QStringLiteral("/nonexistent/ttyS9"),
                           QStringLiteral("live")};
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString czech = QStringLiteral("cs_CZ.UTF-8");
    const CtlRun r = ::tx20ctl(args, env);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, QStringLiteral("tx20ctl: serial port /nonexistent/ttyS9 cannot be opened.\n"
                                    "tx20ctl: /nonexistent/ttyS9: No such file or directory\n"));
    const CtlRun cs = ::tx20ctl(args, env, czech);
    EXPECT_TRUE(cs.err.startsWith(
        QStringLiteral("tx20ctl: sériový port /nonexistent/ttyS9 nelze otevřít.\n")))
        << cs.err.toStdString();
    const CtlRun refused =
        ::tx20ctl({QStringLiteral("--port"), QStringLiteral("/nonexistent/ttyS9"),
                   QStringLiteral("write"), QStringLiteral("1"), QStringLiteral("RALA=9")},
                  env, czech);
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(
        refused.err,
        QStringLiteral("tx20ctl: 9 není platná hodnota pro RALA: seznam má jen položky 0..3\n"));
}

#ifdef Q_OS_UNIX
TEST_F(Tx20ctlPorts, RefusedAccessHintsAtTheDialoutGroup) {
    if (::geteuid() == 0) GTEST_SKIP() << "root opens any device node";
    const QString node = config.filePath(QStringLiteral("ttyLocked"));
    {
        QFile f(node);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.setPermissions(QFileDevice::Permissions()));
    }
    const CtlRun r = tx20ctl({QStringLiteral("--port"), node, QStringLiteral("live")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(node + QStringLiteral(": Permission denied")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("dialout"))) << r.err.toStdString();
}
#endif

}  // namespace
