// tx20ctl's writes leave entries in the journal, which tx20ctl journal prints.
#include <gtest/gtest.h>

#include <QDate>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "sim/pty_server.h"
#include "tools/ctl_run.h"

namespace {

TEST(Tx20ctlJournal, WritesCommitsAndClonesAreRecordedAndPrinted) {
    sim::Options o;
    o.addresses = {1, 2};
    sim::PtyServer server(o);
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    QTemporaryDir data;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    const auto run = [&](QStringList args) {
        args.prepend(server.path());
        args.prepend(QStringLiteral("--port"));
        return tx20ctl(args, env);
    };
    EXPECT_EQ(tx20ctl({QStringLiteral("journal")}, env).code, 1);  // none yet
    ASSERT_EQ(run({QStringLiteral("write"), QStringLiteral("3"), QStringLiteral("PB=2.5")}).code,
              0);
    ASSERT_EQ(run({QStringLiteral("eeprom")}).code, 0);
    ASSERT_EQ(run({QStringLiteral("clone"), QStringLiteral("--from"), QStringLiteral("@1"),
                   QStringLiteral("--to"), QStringLiteral("2")})
                  .code,
              0);

    const CtlRun csv = tx20ctl({QStringLiteral("journal"), QStringLiteral("--csv")}, env);
    ASSERT_EQ(csv.code, 0) << csv.err.toStdString();
    const QStringList lines = csv.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << csv.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("id,time,user,program,source,address,kind,ok,summary"));
    EXPECT_TRUE(lines[1].contains(QStringLiteral(",tx20ctl,tx20ctl write,1,write,1,")))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("PB 1 → 2.5"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(QStringLiteral(",eeprom,1,"))) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].contains(QStringLiteral(",2,clone,1,Klonování z @1: ověřeno")))
        << lines[3].toStdString();

    const CtlRun json = tx20ctl({QStringLiteral("journal"), QStringLiteral("--kind"),
                                 QStringLiteral("write"), QStringLiteral("--json")},
                                env);
    ASSERT_EQ(json.code, 0);
    EXPECT_TRUE(json.out.contains(QStringLiteral(
        "\"changes\":[{\"field\":\"PB\",\"new\":\"2.5\",\"old\":\"1\",\"table\":3}]")))
        << json.out.toStdString();
    EXPECT_TRUE(
        tx20ctl({QStringLiteral("journal"), QStringLiteral("--address"), QStringLiteral("2")}, env)
            .out.contains(QStringLiteral("clone")));
    EXPECT_EQ(
        tx20ctl({QStringLiteral("journal"), QStringLiteral("--since"), QStringLiteral("yesterday")},
                env)
            .code,
        2);

    // The service report of controller 1 with the changes of today: its write and commit,
    // not the clone onto 2.
    const QString pdf = data.filePath(QStringLiteral("r.pdf"));
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    ASSERT_EQ(run({QStringLiteral("report"), QStringLiteral("--out"), pdf,
                   QStringLiteral("--changes-since"), today})
                  .code,
              0);
    QProcess text;
    text.start(QStringLiteral("pdftotext"),
               {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(20000));
    const QString t = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(t.contains(QStringLiteral("Provedené změny"))) << t.toStdString();
    EXPECT_TRUE(t.contains(QStringLiteral("tabulka 3: PB"))) << t.toStdString();
    EXPECT_TRUE(t.contains(QStringLiteral("Parametry uloženy do EEPROM")));
    EXPECT_FALSE(t.contains(QStringLiteral("Klonování")));
    EXPECT_EQ(run({QStringLiteral("report"), QStringLiteral("--out"), pdf,
                   QStringLiteral("--changes-since"), QStringLiteral("včera")})
                  .code,
              2);
}

}  // namespace
