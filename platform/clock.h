#pragma once

#include <QDateTime>

// The wall clock, injected so the live cycle can be driven second by second in tests.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
  public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
