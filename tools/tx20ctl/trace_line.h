#pragma once

#include <QTextStream>

#include "comm/line.h"

// Forwards to another line and prints every telegram written and every reply read,
// in hex with a millisecond time stamp.
class TraceLine : public Line {
  public:
    TraceLine(Line& inner, QTextStream& out) : inner_(inner), out_(out) {}

    bool write_bytes(const std::uint8_t* buf, int n, int* written) override;
    bool read_bytes(std::uint8_t* buf, int n, int* received) override;
    bool read_frame(std::uint8_t* buf, int n, int* received) override;
    bool discard_late(std::uint8_t* buf, int n, int* received) override;
    void purge_rx() override { inner_.purge_rx(); }
    void purge_tx() override { inner_.purge_tx(); }
    void pause_ms(int ms) override { inner_.pause_ms(ms); }
    int bound_reads(int ms) override { return inner_.bound_reads(ms); }

    // "12 AB 00", upper case, one blank between bytes.
    static QString hex(const std::uint8_t* buf, int n);

  private:
    void line(const QString& text);
    bool traced(bool ok, const std::uint8_t* buf, int n, int got, bool frame);

    Line& inner_;
    QTextStream& out_;
};
