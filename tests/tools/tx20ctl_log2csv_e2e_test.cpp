// tx20ctl log2csv on logs written by the program's own writer.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "tests/analysis/sample_logs.h"
#include "tools/ctl_run.h"

namespace {

class Tx20ctlLog2csv : public ::testing::Test {
  protected:
    QString file(const char* name, const QByteArray& bytes) const {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir;
};

const QString kCsv = QStringLiteral(
    "čas,naměřená hodnota,žádaná hodnota,akční zásah,porucha,čtení\r\n"
    "2026-12-09T23:59:59,21.46,55.00,65.5,0,1\r\n"
    "2026-12-10T00:00:00,-1.50,55.00,100.0,1,1\r\n"
    "2026-12-10T00:00:01,,,,,0\r\n");

QByteArray two_samples() {
    const QDate d(2026, 12, 9);
    return written_log(QLocale(QLocale::Czech, QLocale::Czechia), true,
                       {{QDateTime(d, QTime(23, 59, 59)), 21.46, 55, 65.5, false},
                        {QDateTime(d.addDays(1), QTime(0, 0, 0)), -1.5, 55, 100, true},
                        {QDateTime(d.addDays(1), QTime(0, 0, 1)), -1.5, 55, 100, true, false}});
}

TEST_F(Tx20ctlLog2csv, writesTheCsvToStandardOutputOrToAFile) {
    const QString in = file("log.txt", two_samples());
    const CtlRun to_stdout = tx20ctl({QStringLiteral("log2csv"), in});
    EXPECT_EQ(to_stdout.code, 0) << to_stdout.err.toStdString();
    EXPECT_EQ(to_stdout.out, kCsv);
    EXPECT_EQ(to_stdout.err, QString());

    const QString out = dir.filePath(QStringLiteral("log.csv"));
    const CtlRun to_file = tx20ctl({QStringLiteral("log2csv"), in, out});
    EXPECT_EQ(to_file.code, 0);
    EXPECT_EQ(to_file.out, QString());
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), kCsv);
}

TEST_F(Tx20ctlLog2csv, namesSkippedLinesAndFailsWhenNothingReads) {
    QByteArray mixed = two_samples();
    mixed.insert(mixed.indexOf("21,46"), "rozbitý řádek\r\n");
    const CtlRun partly = tx20ctl({QStringLiteral("log2csv"), file("mixed.txt", mixed)});
    EXPECT_EQ(partly.code, 0);
    EXPECT_EQ(partly.out, kCsv);
    EXPECT_TRUE(partly.err.contains(QStringLiteral("první na řádku 4")))
        << partly.err.toStdString();

    const CtlRun none =
        tx20ctl({QStringLiteral("log2csv"), file("junk.txt", "hello\r\nworld\r\n")});
    EXPECT_EQ(none.code, 1);
    EXPECT_EQ(none.out, QString());
    EXPECT_TRUE(none.err.contains(QStringLiteral("řádek: 1"))) << none.err.toStdString();

    EXPECT_EQ(
        tx20ctl({QStringLiteral("log2csv"), dir.filePath(QStringLiteral("missing.txt"))}).code, 1);
    EXPECT_EQ(tx20ctl({QStringLiteral("log2csv")}).code, 2);
}

}  // namespace
