#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>

#include "app/measurement_log.h"
#include "comm/device_data.h"
#include "comm/live_texts.h"

class Clock;

// One reading of the live values as the window, the trend and the log take it. After a
// reading without an answer the values are the previous ones, shown again but no
// measurement: the fault text then says "bez odpovědi".
struct LiveReading {
    LiveGroup live;
    bool answered = false;
    LiveTexts texts;

    static LiveReading of(const LiveGroup& live, bool answered, const QLocale& locale = QLocale());
    double trend_value() const { return live.MEAS; }
};

// The main window's reading cycle without its widgets, driven by the clock: which second
// reads, the log it keeps and the line a reading adds to it, when the file is due. Also
// the fixed-period repeat of tx20ctl live --watch.
class LiveCycle {
  public:
    explicit LiveCycle(const Clock& clock) : clock_(clock) {}

    // Recording rates: LIST, JEDNOTKY (1 seconds, 60 minutes), SOUBOR in minutes.
    std::int32_t list = 1;
    std::int32_t jednotky = 1;
    std::int32_t soubor = 15;

    // The 200 ms timer: true once per change of the clock's seconds part; a second that
    // passes while nobody asks is not made up.
    bool new_second();
    // Automatic reading, once a second: true when this second reads.
    bool sample_step();
    // Writing to file, once a second: true when the file is due. The counter restarts
    // first, so after a failed write the next try comes a full period later.
    bool file_step();

    std::int32_t sample_ticks() const { return sample_ticks_; }
    std::int32_t file_ticks() const { return file_ticks_; }

    // A new log: the header with the clock's time, taken before its date.
    void start_log();
    // A new log's counters, once its first readings are in.
    void restart() { sample_ticks_ = file_ticks_ = 0; }
    // The reading's line, the date and the time taken now.
    void log(const LiveReading& r);
    const MeasurementLog& measurement_log() const { return log_; }

    // A repeat at a fixed period: start_repeat() before the first reading, after each one
    // reading_done(); the next reading is due when wait_ms() is 0. A reading that ends
    // late moves the next one on instead of catching up, and so does a clock set back.
    void start_repeat(qint64 period_ms);
    void reading_done();
    qint64 wait_ms();

  private:
    const Clock& clock_;
    std::int16_t last_second_ = 0;
    std::int32_t sample_ticks_ = 0;
    std::int32_t file_ticks_ = 0;
    MeasurementLog log_;
    qint64 period_ms_ = 0;
    qint64 due_ms_ = 0;
};
