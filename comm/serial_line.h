#pragma once

#include <QSerialPort>
#include <QString>
#include <QThread>
#include <utility>

#include "comm/line.h"

// The bus line on a real serial port: 8 data bits, even parity, one stop bit, reads
// bounded by 100 ms between bytes and 500 ms + 2 ms per byte in total (longer at the
// rates too slow to carry an exchange in that time, see read_timeouts()).
class SerialLine : public PortLine {
  public:
    SerialLine();
    ~SerialLine() override;
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    // Opens device for the port named com_name (the name the error messages show).
    void open(const QString& com_name, const QString& device, qint32 baud) override;
    void apply_rate(const QString& com_name, qint32 baud) override;
    void close() override;
    bool is_open() const override;

    bool write_bytes(const std::uint8_t* buf, int n, int* written) override;
    bool read_bytes(std::uint8_t* buf, int n, int* received) override;
    bool read_frame(std::uint8_t* buf, int n, int* received) override;
    void purge_rx() override;
    void purge_tx() override;
    void pause_ms(int ms) override;

    qint32 baud() const { return baud_; }
    // The port object must live on the thread that does the exchanges.
    void move_to_thread(QThread* thread) { port_.moveToThread(thread); }
    // Bounds every read to ms in total instead of the bus time-out (a fast search);
    // 0 restores the bus time-out.
    void set_total_timeout_ms(int ms) { total_timeout_ms_ = ms; }
    int bound_reads(int ms) override { return std::exchange(total_timeout_ms_, ms); }

    // Why the last open() failed, in the system's words (empty after a success).
    QSerialPort::SerialPortError open_error() const { return open_error_; }
    const QString& open_error_reason() const { return open_error_reason_; }

    static constexpr int kIntervalTimeoutMs = 100;
    static constexpr int kTotalTimeoutBaseMs = 500;
    static constexpr int kTotalTimeoutPerByteMs = 2;
    static constexpr int kQueueSize = 256;
    static constexpr qint32 kDefaultBaud = 9600;
    // Keeping the bus time-outs needs this much of the 500 ms left over for the
    // controller's turnaround once the request and the reply have crossed the wire.
    static constexpr int kTurnaroundMarginMs = 250;

    struct Timeouts {
        int interval_ms;
        int total_ms;
    };
    // The time-outs of a read of reply_bytes after a request of request_bytes. The bus
    // values hold wherever the exchange fits them with margin; slower rates get the
    // wire time of both plus 500 ms in total, and three characters between bytes.
    static Timeouts read_timeouts(qint32 baud, int request_bytes, int reply_bytes);
    // How long a write of n bytes may wait for the driver to take them.
    static int write_timeout_ms(int n, qint32 baud);

  private:
    // Closes the port after an error that leaves it unusable (the device vanished).
    bool fail_hard();
    bool read_until(std::uint8_t* buf, int n, int* received, bool frame);

    QSerialPort port_;
    qint32 baud_ = 9600;
    int last_request_ = 0;  // bytes of the write the next read answers
    bool drained_ = false;  // every byte written so far has left
    int total_timeout_ms_ = 0;
    QSerialPort::SerialPortError open_error_ = QSerialPort::NoError;
    QString open_error_reason_;
};
