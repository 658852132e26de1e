#include "live/live_cycle.h"

#include <algorithm>

#include "live/log_format.h"
#include "platform/clock.h"
#include "platform/formats.h"

LiveReading LiveReading::of(const LiveGroup& live, bool answered, const QLocale& locale) {
    LiveReading r{live, answered, live_texts(live, locale)};
    if (!answered) r.texts.fault = log_format::no_answer_text();
    return r;
}

bool LiveCycle::new_second() {
    const auto second = static_cast<std::int16_t>(clock_.now().time().second());
    if (second == last_second_) return false;
    last_second_ = second;
    return true;
}

bool LiveCycle::sample_step() {
    ++sample_ticks_;
    // Wide, so that huge stored rates cannot overflow into a negative period; a period of
    // 0 or less reads every second.
    if (sample_ticks_ < static_cast<std::int64_t>(list) * jednotky) return false;
    sample_ticks_ = 0;
    return true;
}

bool LiveCycle::file_step() {
    ++file_ticks_;
    if (file_ticks_ < static_cast<std::int64_t>(soubor) * 60) return false;
    file_ticks_ = 0;
    return true;
}

void LiveCycle::start_log() {
    const QDateTime now = clock_.now();
    log_.start(formats::short_date(now.date()), formats::long_time(now.time()));
}

void LiveCycle::log(const LiveReading& r) {
    const QDateTime now = clock_.now();
    log_.append(log_format::data_line(r.texts.measure, r.texts.sp, r.texts.yout, r.texts.fault,
                                      formats::long_time(now.time()),
                                      formats::short_date(now.date())));
}

void LiveCycle::start_repeat(qint64 period_ms) {
    period_ms_ = period_ms;
    due_ms_ = clock_.now().toMSecsSinceEpoch();
}

void LiveCycle::reading_done() {
    due_ms_ = std::max(due_ms_ + period_ms_, clock_.now().toMSecsSinceEpoch());
}

qint64 LiveCycle::wait_ms() {
    const qint64 now = clock_.now().toMSecsSinceEpoch();
    due_ms_ = std::min(due_ms_, now + period_ms_);
    return std::max<qint64>(due_ms_ - now, 0);
}
