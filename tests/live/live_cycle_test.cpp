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
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
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

// The bytes the log held when its line was built from the panels' texts, and what the
// reader makes of them.
TEST_F(LiveCycleCore, LinesOfReadingsAndWhatTheReaderReadsBack) {
    const auto live = [](float meas, float sp, int yout, int fault) {
        LiveGroup g;
        g.MEAS = meas;
        g.SP = sp;
        g.YOUT = yout;
        g.FAULT = static_cast<std::uint8_t>(fault);
        return g;
    };
    // clang-format off
    const LineCase cases[] = {
        {live(21.456f, 55, 123, 0), true, "21,46; 55,00; 12,3; nen\xed porucha;   9:26:54;   14.03.26"},
        {live(1234.56f, -3.1f, 65535, 3), true, "1234,60; -3,10; 6554,0; PORUCHA;   9:26:55;   14.03.26"},
        {live(123456.7f, 0, 0, 0), true, "1,2346E5; 0,00; 0,0; nen\xed porucha;   9:26:56;   14.03.26"},
        // No answer: the previous values, a fault or not, and the fault column says so.
        {live(42, 55, 7, 1), false, "42,00; 55,00; 0,7; bez odpov\xec" "di;   9:26:57;   14.03.26"},
        {LiveGroup{}, false, "0,00; 0,00; 0,0; bez odpov\xec" "di;   9:26:58;   14.03.26"},
    };
    // clang-format on
    cycle.start_log();
    for (const LineCase& c : cases) {
        clock.advance_seconds(1);
        const LiveReading r = LiveReading::of(c.live, c.answered);
        EXPECT_DOUBLE_EQ(r.trend_value(), static_cast<double>(c.live.MEAS));
        cycle.log(r);
        const MeasurementLog& log = cycle.measurement_log();
        EXPECT_EQ(log.line_bytes(log.line_count() - 1), QByteArray(c.line)) << c.line;
    }

    const LogReadResult back = LogReader::read_bytes(cycle.measurement_log().file_bytes(), kCzech);
    ASSERT_TRUE(back.ok()) << back.error.toStdString();
    EXPECT_EQ(back.start, QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53)));
    ASSERT_EQ(back.data.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const LineCase& c = cases[i];
        EXPECT_EQ(back.data.is_reading(i), c.answered) << i;
        EXPECT_EQ(back.data.fault(i), c.live.FAULT != 0 && c.answered) << i;
        if (c.answered) {  // as shown: five digits
            EXPECT_NEAR(back.data.value(LogData::Measured, i), c.live.MEAS, 5e-4 * c.live.MEAS)
                << i;
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
