#pragma once

#include <QSerialPort>
#include <QString>

#include "comm/line.h"

// The bus line on a real serial port: 8 data bits, even parity, one stop bit, reads
// bounded by 100 ms between bytes and 500 ms + 2 ms per byte in total.
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
    void purge_rx() override;
    void purge_tx() override;
    void pause_ms(int ms) override;

    qint32 baud() const { return baud_; }

    // Why the last open() failed, in the system's words (empty after a success).
    QSerialPort::SerialPortError open_error() const { return open_error_; }
    const QString& open_error_reason() const { return open_error_reason_; }

    static constexpr int kIntervalTimeoutMs = 100;
    static constexpr int kTotalTimeoutBaseMs = 500;
    static constexpr int kTotalTimeoutPerByteMs = 2;
    static constexpr int kQueueSize = 256;

  private:
    // Closes the port after an error that leaves it unusable (the device vanished).
    bool fail_hard();

    QSerialPort port_;
    qint32 baud_ = 9600;
    QSerialPort::SerialPortError open_error_ = QSerialPort::NoError;
    QString open_error_reason_;
};
