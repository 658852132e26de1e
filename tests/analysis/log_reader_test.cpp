#include "analysis/log_reader.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>

#include "analysis/log_csv.h"
#include "platform/atomic_file.h"
#include "platform/cp1250.h"
#include "tests/analysis/sample_logs.h"

namespace {

const QLocale kCzech(QLocale::Czech, QLocale::Czechia);
const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

std::vector<LogSample> samples() {
    const QDate d(2026, 12, 9);
    return {{QDateTime(d, QTime(23, 59, 58)), 21.46, 55.0, 65.5, false},
            {QDateTime(d, QTime(23, 59, 59)), -3.2, 55.0, 100.0, true},
            {QDateTime(d.addDays(1), QTime(0, 0, 0)), 1234.5, 60.25, 0.0, false},
            {QDateTime(d.addDays(1), QTime(12, 30, 1)), 0.01, 60.25, 7.1, false},
            {QDateTime(d.addDays(1), QTime(13, 5, 7)), 99.99, 60.25, 7.1, true}};
}

qint64 wall(const QDateTime& t) { return LogData::from_date_time(t.date(), t.time()); }

struct RoundTrip {
    const char* name;
    QLocale written;
    QLocale current;
    bool header;
    const char* formats;  // whose formats the reader used
};

class ReaderReadsTheWriter : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(ReaderReadsTheWriter, everyValueTimeAndFault) {
    const RoundTrip& p = GetParam();
    const LogReadResult r =
        LogReader::read_bytes(written_log(p.written, p.header, samples()), p.current);
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.header, p.header);
    EXPECT_EQ(r.lines, p.header ? 8 : 5);
    EXPECT_EQ(r.skipped, 0);
    EXPECT_TRUE(r.notes.isEmpty()) << r.notes.join(' ').toStdString();
    EXPECT_EQ(r.locale_name, QString::fromLatin1(p.formats));
    if (p.header) {
        EXPECT_EQ(r.start, LogData::to_date_time(wall(samples().front().at)));
    }
    const auto s = samples();
    ASSERT_EQ(r.data.size(), static_cast<int>(s.size()));
    for (int i = 0; i < r.data.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.data.wall_ms(i), wall(s[static_cast<std::size_t>(i)].at));
        EXPECT_FLOAT_EQ(r.data.value(LogData::Measured, i),
                        static_cast<float>(s[static_cast<std::size_t>(i)].measure));
        EXPECT_FLOAT_EQ(r.data.value(LogData::SetPoint, i),
                        static_cast<float>(s[static_cast<std::size_t>(i)].set_point));
        EXPECT_FLOAT_EQ(r.data.value(LogData::Action, i),
                        static_cast<float>(s[static_cast<std::size_t>(i)].action));
        EXPECT_EQ(r.data.fault(i), s[static_cast<std::size_t>(i)].fault);
    }
    EXPECT_EQ(r.data.decimals(LogData::Measured), 2);
    EXPECT_EQ(r.data.decimals(LogData::Action), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, ReaderReadsTheWriter,
    ::testing::Values(RoundTrip{"czech", kCzech, kCzech, true, "cs_CZ"},
                      RoundTrip{"czech_no_header", kCzech, kCzech, false, "cs_CZ"},
                      RoundTrip{"us_12_hour", kUs, kUs, true, "en_US"},
                      RoundTrip{"us_no_header", kUs, kUs, false, "en_US"},
                      // A Czech file read where the current locale is another one.
                      RoundTrip{"czech_under_us", kCzech, kUs, true, "cs_CZ"},
                      // A log of a tool run without regional settings, read under Czech ones.
                      RoundTrip{"c_under_czech", QLocale::c(), kCzech, true, "C"},
                      RoundTrip{"month_names", QLocale::c(), QLocale::c(), true, "C"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LogReader, readsIso8601DatesAsTheLastResort) {
    const QByteArray bytes = "1,00; 2,00; 3,0; PORUCHA;   07:08:09;   2026-12-09\r\n";
    const LogReadResult r = LogReader::read_bytes(bytes, kUs);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.locale_name, QStringLiteral("ISO 8601"));
    EXPECT_EQ(r.data.wall_ms(0), wall(QDateTime(QDate(2026, 12, 9), QTime(7, 8, 9))));
}

TEST(LogReader, skipsAndCountsUnreadableLinesAndNamesTheFirst) {
    QByteArray bytes = written_log(kCzech, true, samples());
    const QList<QByteArray> lines = bytes.split('\n');
    // Header (3), good, cut in the middle, good, wrong date, garbage, good, good, good.
    QByteArray mixed = lines[0] + '\n' + lines[1] + '\n' + lines[2] + '\n' + lines[3] + '\n' +
                       lines[4].left(10) + "\r\n" + lines[5] + '\n' +
                       "1,00; 2,00; 3,0; PORUCHA;   07:08:09;   31.02.26\r\n" +
                       "\x01\x02garbage\r\n" + lines[6] + '\n' + lines[7] + '\n';
    const LogReadResult r = LogReader::read_bytes(mixed, kCzech);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.lines, 10);
    EXPECT_EQ(r.skipped, 3);
    EXPECT_EQ(r.first_bad_line, 5);
    EXPECT_EQ(r.data.size(), 4);
    ASSERT_FALSE(r.notes.isEmpty());
    EXPECT_TRUE(r.notes.join(' ').contains(
        QStringLiteral("Vynechané nečitelné řádky: 3, první na řádku 5")));
}

struct BadInput {
    const char* name;
    QByteArray bytes;
    const char* error;  // part of the error; empty when the file reads with a note
    const char* note;   // part of a note
    int samples;
    int skipped = 0;
};

class BadInputs : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputs, giveAClearMessage) {
    const BadInput& p = GetParam();
    const LogReadResult r = LogReader::read_bytes(p.bytes, kCzech);
    if (*p.error) {
        EXPECT_FALSE(r.ok());
        EXPECT_TRUE(r.error.contains(QString::fromUtf8(p.error))) << r.error.toStdString();
    } else {
        EXPECT_TRUE(r.ok()) << r.error.toStdString();
        EXPECT_TRUE(r.notes.join(' ').contains(QString::fromUtf8(p.note)))
            << r.notes.join(' ').toStdString();
        EXPECT_EQ(r.skipped, p.skipped);
    }
    EXPECT_EQ(r.data.size(), p.samples);
}

QByteArray czech() { return written_log(kCzech, true, samples()); }
QByteArray utf8() { return cp1250::decode(czech()).toUtf8(); }
QByteArray lf() { return czech().replace("\r\n", "\n"); }
QByteArray cut() { return czech().left(czech().size() - 12); }
QByteArray backwards() {
    const QDate d(2026, 10, 25);
    return written_log(kCzech, false,
                       {{QDateTime(d, QTime(2, 59, 59)), 1, 1, 1, false},
                        {QDateTime(d, QTime(2, 0, 0)), 2, 2, 2, false},
                        {QDateTime(d, QTime(2, 0, 1)), 3, 3, 3, false}});
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadInputs,
    ::testing::Values(
        BadInput{"empty", QByteArray(), "prázdný", "", 0},
        BadInput{"binary",
                 QByteArray("\x7f"
                            "ELF\x02\x01\x01\x00\x00\x00\n\x00\x01",
                            14),
                 "binární data", "", 0},
        BadInput{"only_header", czech().left(czech().indexOf("-\r\n") + 3),
                 "není žádný řádek měření", "", 0},
        BadInput{"us_dates_read_as_czech", written_log(kUs, false, samples()),
                 "první nečitelný řádek: 1", "", 0},
        BadInput{"utf8", utf8(), "", "UTF-8", 5},
        BadInput{"utf8_with_byte_order_mark", "\xEF\xBB\xBF" + utf8(), "", "UTF-8", 5},
        BadInput{"lf_line_ends", lf(), "", "LF", 5},
        BadInput{"cut_while_written", cut(), "", "neúplný", 4, 1},
        BadInput{"clock_goes_back", backwards(), "", "vrací zpět (1×, poprvé na řádku 2)", 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LogReader, keepsTheAxisInOrderWhereTheClockGoesBack) {
    const LogReadResult r = LogReader::read_bytes(backwards(), kCzech);
    ASSERT_EQ(r.data.size(), 3);
    EXPECT_LT(r.data.axis_ms(0), r.data.axis_ms(1));
    EXPECT_LT(r.data.axis_ms(1), r.data.axis_ms(2));
    EXPECT_EQ(r.data.axis_ms(2) - r.data.axis_ms(1), 1000);
    EXPECT_EQ(r.data.wall_ms(1), wall(QDateTime(QDate(2026, 10, 25), QTime(2, 0, 0))));
}

TEST(LogReader, refusesAFileAboveTheLimitWithoutReadingIt) {
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("big.txt")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(2LL * 1024 * 1024 * 1024));  // sparse: costs no disk
    f.close();
    const LogReadResult r = LogReader::read_file(f.fileName());
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.error.contains(QStringLiteral("2048 MB"))) << r.error.toStdString();
}

TEST(LogReader, joinsLinesCutBetweenPieces) {
    const QByteArray bytes = czech();
    for (int piece : {1, 7, 64}) {
        LogReader reader(kCzech);
        for (qsizetype i = 0; i < bytes.size(); i += piece)
            reader.feed(bytes.constData() + i, std::min<qsizetype>(piece, bytes.size() - i));
        const LogReadResult r = reader.finish();
        EXPECT_EQ(r.data.size(), 5) << piece;
        EXPECT_EQ(r.skipped, 0) << piece;
    }
}

TEST(LogData, rangeFiguresMatchASeriesScannedByHand) {
    LogData d;
    for (int i = 0; i < 1000; ++i) {
        const float m = static_cast<float>((i * 37) % 101) - 50.0f;
        d.append(i * 1000LL, {m, i == 500 ? NAN : 10.0f, static_cast<float>(i)}, false);
    }
    d.finish();
    for (auto [first, last] :
         {std::pair{0, 999}, {3, 3}, {5, 70}, {63, 64}, {100, 900}, {490, 510}}) {
        SCOPED_TRACE(first);
        double lo = 1e9, hi = -1e9, sum = 0;
        for (int i = first; i <= last; ++i) {
            lo = std::min<double>(lo, d.value(0, i));
            hi = std::max<double>(hi, d.value(0, i));
            sum += d.value(0, i);
        }
        const LogData::Stats s = d.stats(LogData::Measured, first, last);
        EXPECT_EQ(s.min, lo);
        EXPECT_EQ(s.max, hi);
        EXPECT_NEAR(s.mean, sum / (last - first + 1), 1e-9);
        EXPECT_DOUBLE_EQ(d.stats(LogData::Action, first, last).mean, (first + last) / 2.0);
        // A missing value counts in neither the mean nor the count.
        EXPECT_EQ(d.stats(LogData::SetPoint, first, last).count,
                  last - first + 1 - (first <= 500 && 500 <= last ? 1 : 0));
    }
    EXPECT_EQ(d.nearest(2400), 2);
    EXPECT_EQ(d.nearest(2600), 3);
    EXPECT_EQ(d.nearest(-5000), 0);
    EXPECT_EQ(d.nearest(5000000), 999);
}

TEST(LogCsv, bytesOfASmallLog) {
    const LogReadResult r = LogReader::read_bytes(written_log(kCzech, true, samples()), kCzech);
    const QByteArray expected =
        "\xc4\x8d"
        "as,nam\xc4\x9b\xc5\x99"
        "en\xc3\xa1 hodnota,\xc5\xbe\xc3\xa1"
        "dan\xc3\xa1 hodnota,"
        "ak\xc4\x8dn\xc3\xad z\xc3\xa1sah,porucha,\xc4\x8dten\xc3\xad\r\n"
        "2026-12-09T23:59:58,21.46,55.00,65.5,0,1\r\n"
        "2026-12-09T23:59:59,-3.20,55.00,100.0,1,1\r\n"
        "2026-12-10T00:00:00,1234.50,60.25,0.0,0,1\r\n"
        "2026-12-10T12:30:01,0.01,60.25,7.1,0,1\r\n"
        "2026-12-10T13:05:07,99.99,60.25,7.1,1,1\r\n";
    EXPECT_EQ(log_csv::bytes(r.data, 0, r.data.size() - 1), expected);
    EXPECT_EQ(log_csv::rows(r.data, 1, 1), "2026-12-09T23:59:59,-3.20,55.00,100.0,1,1\r\n");
}

// Lines written while the controller did not answer repeat the values before them; they
// are gaps, not readings, whichever encoding the file has.
TEST(LogReader, linesWithoutAnAnswerAreGapsOutsideTheRangeFigures) {
    const QDate d(2026, 12, 10);
    const std::vector<LogSample> s = {
        {QDateTime(d, QTime(5, 41, 17)), 60.5, 60.5, 25.0, false},
        {QDateTime(d, QTime(5, 41, 18)), 61.0, 60.5, 20.0, false},
        {QDateTime(d, QTime(5, 41, 19)), 61.0, 60.5, 20.0, false, false},
        {QDateTime(d, QTime(5, 41, 20)), 61.0, 60.5, 20.0, false, false},
        {QDateTime(d, QTime(5, 41, 21)), 59.0, 60.5, 30.0, true}};
    const QByteArray cp1250 = written_log(kCzech, true, s);
    const QByteArray utf8 = cp1250::decode(cp1250).toUtf8();
    for (const QByteArray& bytes : {cp1250, utf8}) {
        const LogReadResult r = LogReader::read_bytes(bytes, kCzech);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r.skipped, 0);
        ASSERT_EQ(r.data.size(), 5);
        EXPECT_TRUE(r.data.is_reading(1));
        EXPECT_FALSE(r.data.is_reading(2));
        EXPECT_FALSE(r.data.is_reading(3));
        EXPECT_FALSE(r.data.fault(2));
        EXPECT_TRUE(std::isnan(r.data.value(LogData::Measured, 2)));
        EXPECT_EQ(r.data.gap_runs(), (std::vector<std::pair<int, int>>{{2, 3}}));
        EXPECT_EQ(r.data.gap_count(), 2);
        const LogData::Stats m = r.data.stats(LogData::Measured, 0, 4);
        EXPECT_EQ(m.count, 3);
        EXPECT_DOUBLE_EQ(m.mean, (60.5 + 61.0 + 59.0) / 3);
        EXPECT_EQ(log_csv::rows(r.data, 1, 4),
                  "2026-12-10T05:41:18,61.00,60.50,20.0,0,1\r\n"
                  "2026-12-10T05:41:19,,,,,0\r\n"
                  "2026-12-10T05:41:20,,,,,0\r\n"
                  "2026-12-10T05:41:21,59.00,60.50,30.0,1,1\r\n");
    }
}

TEST(LogCsv, aFailedWriteLeavesTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    const LogReadResult r = LogReader::read_bytes(czech(), kCzech);
    QString reason;
    {
        AtomicFile::InjectedFault fault(AtomicFile::Fault::ShortWrite);
        EXPECT_FALSE(log_csv::write(path, r.data, 0, r.data.size() - 1, &reason));
    }
    EXPECT_FALSE(reason.isEmpty());
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old");
}

TEST(LogReader, theFastWeekLogMatchesTheWriter) {
    const QList<QByteArray> fast = week_log(90000).split('\n');
    const QDateTime start(QDate(2026, 12, 7), QTime(0, 0, 0));
    for (int i : {0, 1, 59, 86399, 86400}) {
        const LogReadResult r = LogReader::read_bytes(fast[i + 3] + '\n', kCzech);
        ASSERT_TRUE(r.ok()) << i;
        const QByteArray by_writer =
            written_log(kCzech, false,
                        {{start.addSecs(i), r.data.value(0, 0), r.data.value(1, 0),
                          r.data.value(2, 0), r.data.fault(0)}});
        EXPECT_EQ(fast[i + 3] + '\n', by_writer) << i;
    }
}

}  // namespace
