#include "live/live_cycle.h"

#include <gtest/gtest.h>

#include <vector>

#include "analysis/log_reader.h"
#include "platform/cp1250.h"
#include "support/fake_clock.h"

namespace {

const QLocale kCzech(QLocale::Czech, QLocale::Czechia);

class LiveCycleCore : public ::testing::Test {
  protected:
    void SetUp() override { QLocale::setDefault(kCzech); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
    FakeClock clock;  // 14.03.2026 9:26:53
    LiveCycle cycle{clock};
};

struct RateCase {
    int list, jednotky, soubor, seconds;
    int first_read, read_every;  // 0: no reading
    std::vector<int> files;      // the seconds that write the file
};

TEST_F(LiveCycleCore, ReadsAndWritesAtTheRecordingRates) {
    const RateCase cases[] = {
        {1, 1, 1, 121, 1, 1, {60, 120}},
        {3, 1, 15, 10, 3, 3, {}},
        {2, 60, 15, 240, 120, 120, {}},
        {0, 1, 15, 3, 1, 1, {}},
        {-2, 60, 15, 3, 1, 1, {}},
        {2147483647, 60, 2, 240, 0, 0, {120, 240}},  // the product overflows 32 bits
    };
    for (const RateCase& c : cases) {
        SCOPED_TRACE(c.list);
        LiveCycle k(clock);
        k.list = c.list;
        k.jednotky = c.jednotky;
        k.soubor = c.soubor;
        std::vector<int> reads, want, files;
        for (int s = 1; s <= c.seconds; ++s) {
            clock.advance_seconds(1);
            ASSERT_TRUE(k.new_second());
            if (k.sample_step()) reads.push_back(s);
            if (k.file_step()) files.push_back(s);
            if (c.first_read > 0 && s >= c.first_read && (s - c.first_read) % c.read_every == 0)
                want.push_back(s);
        }
        EXPECT_EQ(reads, want);
        EXPECT_EQ(files, c.files);
    }
}

struct LineCase {
    LiveGroup live;
    bool answered;
    const char* line;  // Windows-1250, as the window's panels gave it
};

// The bytes the log held when its line was built from the panels' texts.
TEST_F(LiveCycleCore, LineBytesOfReadings) {
    const auto live = [](float meas, float sp, int yout, int fault) {
        LiveGroup g;
        g.MEAS = meas;
        g.SP = sp;
        g.YOUT = yout;
        g.FAULT = static_cast<std::uint8_t>(fault);
        return g;
    };
    const LineCase cases[] = {
        {live(21.456f, 55, 123, 0), true,
         "21,46; 55,00; 12,3; nen\xed porucha;   9:26:53;   14.03.26"},
        {live(1234.56f, -3.1f, 65535, 3), true,
         "1234,60; -3,10; 6554,0; PORUCHA;   9:26:53;   14.03.26"},
        {live(123456.7f, 0, 0, 0), true,
         "1,2346E5; 0,00; 0,0; nen\xed porucha;   9:26:53;   14.03.26"},
        // No answer: the previous values, a fault or not, and the fault column says so.
        {live(42, 55, 7, 1), false,
         "42,00; 55,00; 0,7; bez odpov\xec"
         "di;   9:26:53;   14.03.26"},
        {LiveGroup{}, false,
         "0,00; 0,00; 0,0; bez odpov\xec"
         "di;   9:26:53;   14.03.26"},
    };
    for (const LineCase& c : cases) {
        const LiveReading r = LiveReading::of(c.live, c.answered);
        EXPECT_DOUBLE_EQ(r.trend_value(), static_cast<double>(c.live.MEAS));
        cycle.log(r);
        const qsizetype i = cycle.measurement_log().line_count() - 1;
        EXPECT_EQ(cycle.measurement_log().line_bytes(i), QByteArray(c.line)) << c.line;
    }
}

TEST_F(LiveCycleCore, TheReaderReadsWhatTheCycleWrote) {
    cycle.start_log();
    LiveGroup g;
    g.MEAS = 21.456f;
    g.SP = 55;
    g.YOUT = 655;
    const bool answered[] = {true, false, true};
    for (bool ok : answered) {
        clock.advance_seconds(1);
        cycle.log(LiveReading::of(g, ok));
        g.FAULT = 1;
    }
    const LogReadResult r = LogReader::read_bytes(cycle.measurement_log().file_bytes(), kCzech);
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_TRUE(r.header);
    EXPECT_EQ(r.start, QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53)));
    ASSERT_EQ(r.data.size(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.data.is_reading(i), answered[i]);
        EXPECT_EQ(r.data.fault(i), i == 2);
        EXPECT_EQ(r.data.wall_ms(i),
                  LogData::from_date_time(QDate(2026, 3, 14), QTime(9, 26, 54 + i)));
        if (answered[i]) {
            EXPECT_FLOAT_EQ(r.data.value(LogData::Measured, i), 21.46f);
            EXPECT_FLOAT_EQ(r.data.value(LogData::Action, i), 65.5f);
        }
    }
}

// tx20ctl live --watch: a period after the reading before, no catching up.
TEST_F(LiveCycleCore, FixedRepeatMovesOnWhenLate) {
    cycle.start_repeat(1000);
    clock.advance_ms(200);  // a reading of 200 ms
    cycle.reading_done();
    EXPECT_EQ(cycle.wait_ms(), 800);
    clock.advance_ms(800);
    EXPECT_EQ(cycle.wait_ms(), 0);
    clock.advance_ms(2500);  // a reading that timed out
    cycle.reading_done();
    EXPECT_EQ(cycle.wait_ms(), 0);
    clock.advance_ms(100);
    cycle.reading_done();
    EXPECT_EQ(cycle.wait_ms(), 900);
    clock.advance_seconds(-3600);  // the clock set back
    EXPECT_EQ(cycle.wait_ms(), 1000);
}

}  // namespace
