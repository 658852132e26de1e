#pragma once

#include "platform/clock.h"

// A wall clock the test moves by hand.
class FakeClock : public Clock {
  public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53)))
        : now_(start) {}
    QDateTime now() const override { return now_; }
    void set(const QDateTime& t) { now_ = t; }
    void advance_seconds(int s) { now_ = now_.addSecs(s); }
    void advance_ms(int ms) { now_ = now_.addMSecs(ms); }

  private:
    QDateTime now_;
};
