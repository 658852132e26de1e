#pragma once

#include <QString>
#include <QtGlobal>
#include <cstdint>

#include "platform/errors.h"

// The byte line the request layer talks to: purge-then-write, reads bounded by the
// bus time-outs (100 ms between bytes, 500 ms + 2 ms per byte in total).
class Line {
  public:
    virtual ~Line() = default;
    // Purges receive, then transmit, then writes n bytes. True when the write call worked.
    virtual bool write_bytes(const std::uint8_t* buf, int n, int* written) = 0;
    // Reads up to n bytes; true when the read call worked, even if it timed out early.
    virtual bool read_bytes(std::uint8_t* buf, int n, int* received) = 0;
    // Reads bytes that answer nothing the caller will use (a late reply after a failed
    // exchange); decorators that interpret the traffic tell them apart.
    virtual bool discard_late(std::uint8_t* buf, int n, int* received) {
        return read_bytes(buf, n, received);
    }
    // Reads as read_bytes does, but ends as soon as a whole frame has come (SD1: 6 bytes,
    // SD2: its length byte plus 6) rather than at the silence after it.
    virtual bool read_frame(std::uint8_t* buf, int n, int* received) {
        return read_bytes(buf, n, received);
    }
    virtual void purge_rx() = 0;
    virtual void purge_tx() = 0;
    // A pause between exchanges (real time on a real line, virtual time on a fake one).
    virtual void pause_ms(int ms) = 0;
    // Bounds every read to ms in total (0: the line's own time-outs); returns the bound
    // it replaces. Lines without time-outs of their own ignore it.
    virtual int bound_reads(int ms) {
        (void)ms;
        return 0;
    }
};

// A shorter wait for the reads of one operation; the line's own comes back when it ends,
// also by an exception.
class ReadBound {
  public:
    ReadBound(Line& line, int ms) : line_(line), active_(ms > 0) {
        if (active_) before_ = line_.bound_reads(ms);
    }
    ~ReadBound() {
        if (active_) line_.bound_reads(before_);
    }
    ReadBound(const ReadBound&) = delete;
    ReadBound& operator=(const ReadBound&) = delete;

  private:
    Line& line_;
    bool active_;
    int before_ = 0;
};

// A line on a port that can be opened, re-rated and closed. Configuration failures
// throw PortError carrying the message for the user, naming com_name.
class PortLine : public Line {
  public:
    virtual void open(const QString& com_name, const QString& device, qint32 baud) = 0;
    // Applies a new rate to the open port without reopening it.
    virtual void apply_rate(const QString& com_name, qint32 baud) = 0;
    virtual void close() = 0;
    virtual bool is_open() const = 0;
};

// The messages of the five configuration failures.
inline PortError make_port_error(PortError::Kind kind, const QString& name) {
    switch (kind) {
        case PortError::Kind::Open:
            return PortError(
                kind, QStringLiteral("Sériový port ") + name + QStringLiteral(" nelze otevřít"));
        case PortError::Kind::Queues:
            return PortError(kind, QStringLiteral("Na ") + name +
                                       QStringLiteral(" nelze otevřít vyrovnávací buffer"));
        case PortError::Kind::Timeouts:
            return PortError(
                kind, QStringLiteral("Na ") + name + QStringLiteral(" nelze nastavit Timeout"));
        case PortError::Kind::ReadSettings:
            return PortError(kind,
                             QStringLiteral("Nelze získat konfiguraci na sériovém portu ") + name);
        case PortError::Kind::ApplySettings:
            break;
    }
    return PortError(PortError::Kind::ApplySettings,
                     QStringLiteral("Nepodařila se reinicializace portu ") + name);
}
