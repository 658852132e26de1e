#include "app/measurement_log.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/file_write_failure.h"
#include "live/log_format.h"
#include "platform/errors.h"

namespace {

// Windows-1250 bytes of the header, split where an escape could run into the next letter.
// clang-format off
const QByteArray kHeader1 = QByteArray("Za" "\xE8" "\xE1" "tek m" "\xEC" "\xF8" "en" "\xED"
                                       " na regul" "\xE1" "toru KELVRA 20   ");
const QByteArray kHeader2 = QByteArray("Nam" "\xEC" "\xF8" "en" "\xE1" " hodnota; " "\x8E" "\xE1"
                                       "dan" "\xE1" " hodnota;Ak" "\xE8" "n" "\xED" " z" "\xE1"
                                       "sah; Porucha; " "\xE8" "as; datum");
// clang-format on
const QByteArray kRule(65, '-');

QByteArray read_all(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray("<unreadable>");
    return f.readAll();
}

void write_bytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

MeasurementLog two_sample_log() {
    MeasurementLog log;
    log.start(QStringLiteral("14.03.2026"), QStringLiteral("9:26:53"));
    log.append(log_format::data_line(QStringLiteral("21,46"), QStringLiteral("55,00"),
                                     QStringLiteral("12,3"), QStringLiteral("není porucha"),
                                     QStringLiteral("9:26:54"), QStringLiteral("14.03.2026")));
    log.append(log_format::data_line(QStringLiteral("-3,10"), QStringLiteral("55,00"),
                                     QStringLiteral("100,0"), QStringLiteral("PORUCHA"),
                                     QStringLiteral("9:26:55"), QStringLiteral("14.03.2026")));
    return log;
}

// clang-format off
const QByteArray kTwoSampleFile =
    kHeader1 + "14.03.2026     9:26:53\r\n" + kHeader2 + "\r\n" + kRule + "\r\n" +
    "21,46; 55,00; 12,3; nen" "\xED" " porucha;   9:26:54;   14.03.2026\r\n" +
    "-3,10; 55,00; 100,0; PORUCHA;   9:26:55;   14.03.2026\r\n";
// clang-format on

TEST(MeasurementLogTest, HeaderFirstLineHasFortyOneCharactersBeforeTheDate) {
    const QString line = log_format::header(QStringLiteral("D"), QStringLiteral("T")).front();
    EXPECT_EQ(line.left(41), QStringLiteral("Začátek měření na regulátoru KELVRA 20   "));
    EXPECT_EQ(line.mid(41), QStringLiteral("D     T"));
}

TEST(MeasurementLogTest, TwoSamplesGiveFiveWindows1250LinesEachEndingInCrLf) {
    const MeasurementLog log = two_sample_log();
    EXPECT_EQ(log.line_count(), 5);
    EXPECT_EQ(log.file_bytes(), kTwoSampleFile);
    EXPECT_EQ(log.file_size(), kTwoSampleFile.size());
    EXPECT_EQ(log.line_bytes(1), kHeader2);
    EXPECT_EQ(log.line_bytes(2), kRule);
}

TEST(MeasurementLogTest, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    MeasurementLog log;
    log.append(QStringLiteral("ŠŽšžĚŮůýÝ€°→漢😀"));
    EXPECT_EQ(log.line_bytes(0), QByteArray("\x8A\x8E\x9A\x9E\xCC\xD9\xF9\xFD\xDD\x80\xB0???"));
}

TEST(MeasurementLogTest, StartReplacesEverythingWithTheHeader) {
    MeasurementLog log = two_sample_log();
    log.start(QStringLiteral("1.1.2027"), QStringLiteral("0:00:00"));
    EXPECT_EQ(log.file_bytes(),
              kHeader1 + "1.1.2027     0:00:00\r\n" + kHeader2 + "\r\n" + kRule + "\r\n");
}

TEST(MeasurementLogTest, LinesStayIntactAcrossManyBlocks) {
    MeasurementLog log;
    QByteArray expected;
    for (int i = 0; i < 60000; ++i) {
        const QString line = QString(i % 97, QLatin1Char('x')) + QString::number(i);
        log.append(line);
        expected += line.toLatin1() + "\r\n";
    }
    const QString huge(3 * 1024 * 1024, QLatin1Char('h'));
    log.append(huge);
    log.append(QStringLiteral("after"));
    expected += huge.toLatin1() + "\r\n" + "after\r\n";

    EXPECT_EQ(log.file_bytes(), expected);
    for (int i : {0, 1, 95, 96, 4095, 30000, 59999})
        EXPECT_EQ(log.line_bytes(i),
                  QString(i % 97, QLatin1Char('x')).toLatin1() + QByteArray::number(i))
            << i;
    EXPECT_EQ(log.line_bytes(60000).size(), huge.size());
    EXPECT_EQ(log.line_bytes(60001), QByteArray("after"));
    EXPECT_LE(log.memory_size(), log.file_size() * 3 / 2);
}

class MeasurementLogFileTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

TEST_F(MeasurementLogFileTest, WriteReplacesTheFileWhole) {
    const QString file = path(QStringLiteral("log.txt"));
    write_bytes(file, QByteArray(10000, 'z'));
    two_sample_log().write_file(file);
    EXPECT_EQ(read_all(file), kTwoSampleFile);
}

TEST_F(MeasurementLogFileTest, EmptyLogWritesAnEmptyFile) {
    const QString file = path(QStringLiteral("empty.txt"));
    MeasurementLog().write_file(file);
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_EQ(QFileInfo(file).size(), 0);
}

TEST_F(MeasurementLogFileTest, UnwritablePlacesRaiseFileErrorNamingThePath) {
    write_bytes(path(QStringLiteral("plain")), "x");
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    for (const QString& target :
         {path(QStringLiteral("plain/log.txt")), path(QStringLiteral("missing/log.txt")),
          path(QStringLiteral("folder"))}) {
        try {
            two_sample_log().write_file(target);
            ADD_FAILURE() << "no error for " << target.toStdString();
        } catch (const FileError& e) {
            EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(target)))
                << e.message().toStdString();
        }
    }
    EXPECT_EQ(read_all(path(QStringLiteral("plain"))), QByteArray("x"));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("folder"))).isDir());
}

#ifdef TX20_HAVE_FILE_SIZE_LIMIT
TEST_F(MeasurementLogFileTest, WriteFailingHalfWayKeepsThePreviousFile) {
    // Small logs fail only when the last bytes are flushed, large ones while writing.
    for (int lines : {40, 5000}) {
        SCOPED_TRACE(lines);
        const QString file = path(QStringLiteral("log.txt"));
        write_bytes(file, "previous\r\n");
        MeasurementLog log;
        for (int i = 0; i < lines; ++i) log.append(QStringLiteral("line %1").arg(i));
        {
            FileSizeLimit limit(100);
            EXPECT_THROW(log.write_file(file), FileError);
        }
        EXPECT_EQ(read_all(file), QByteArray("previous\r\n"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("log.txt")});
    }
}
#endif

}  // namespace
