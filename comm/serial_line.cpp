#include "comm/serial_line.h"

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <termios.h>

#include <cerrno>
#endif

namespace {

// A write hands at most 256 bytes to the driver; allow for the slowest rate's wire
// time in case the driver's queue is still full, but never wait without end.
int write_timeout_ms(int n, qint32 baud) {
    const qint64 wire_ms = static_cast<qint64>(n) * 11 * 1000 / std::max<qint32>(baud, 1);
    return static_cast<int>(std::min<qint64>(2000 + 2 * wire_ms, 60000));
}

bool is_soft_error(QSerialPort::SerialPortError e) {
    return e == QSerialPort::NoError || e == QSerialPort::TimeoutError;
}

}  // namespace

SerialLine::SerialLine() = default;

SerialLine::~SerialLine() { close(); }

void SerialLine::open(const QString& com_name, const QString& device, qint32 baud) {
    close();
    baud_ = baud;
    open_error_ = QSerialPort::NoError;
    open_error_reason_.clear();
    port_.setPortName(device);
    // Line parameters go in before open(): a pseudo-terminal refuses parity on an open
    // port, yet opens fine with it requested (it simply cannot carry parity).
    port_.setBaudRate(baud);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::EvenParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(kQueueSize);
    // open() also locks the port (lock file and exclusive tty mode), so a port held by
    // another program fails here as well. The driver has no queue sizes or time-outs
    // to set: the queue is the read buffer above, the time-outs live in read_bytes().
    if (!port_.open(QIODevice::ReadWrite)) {
        open_error_ = port_.error();
        open_error_reason_ = port_.errorString();
        port_.clearError();
        throw make_port_error(PortError::Kind::Open, com_name);
    }
#ifdef Q_OS_UNIX
    termios tio{};
    if (::tcgetattr(static_cast<int>(port_.handle()), &tio) != 0) {
        open_error_ = QSerialPort::UnsupportedOperationError;
        open_error_reason_ = qt_error_string(errno);
        close();
        throw make_port_error(PortError::Kind::ReadSettings, com_name);
    }
#endif
    purge_tx();
    purge_rx();
}

void SerialLine::apply_rate(const QString& com_name, qint32 baud) {
    baud_ = baud;
    if (!port_.isOpen() || !port_.setBaudRate(baud)) {
        close();
        throw make_port_error(PortError::Kind::ApplySettings, com_name);
    }
}

void SerialLine::close() {
    if (port_.isOpen()) port_.close();
    port_.clearError();
}

bool SerialLine::is_open() const { return port_.isOpen(); }

bool SerialLine::fail_hard() {
    close();
    return false;
}

bool SerialLine::write_bytes(const std::uint8_t* buf, int n, int* written) {
    *written = 0;
    if (!port_.isOpen()) return false;
    purge_rx();
    purge_tx();
    if (n <= 0) return true;
    const qint64 queued = port_.write(reinterpret_cast<const char*>(buf), n);
    if (queued != n) return fail_hard();
    // QSerialPort hands bytes to the driver only while waiting.
    while (port_.bytesToWrite() > 0) {
        if (!port_.waitForBytesWritten(write_timeout_ms(n, baud_))) {
            if (!is_soft_error(port_.error())) return fail_hard();
            port_.clearError();
            port_.clear(QSerialPort::Output);
            return false;
        }
    }
    *written = n;
    return true;
}

bool SerialLine::read_bytes(std::uint8_t* buf, int n, int* received) {
    *received = 0;
    if (!port_.isOpen()) return false;
    if (n <= 0) return true;
    const qint64 total_ms = kTotalTimeoutBaseMs + static_cast<qint64>(kTotalTimeoutPerByteMs) * n;
    QElapsedTimer total;
    total.start();
    QElapsedTimer since_byte;  // started at the first byte
    int got = 0;
    while (got < n) {
        if (port_.bytesAvailable() > 0) {
            const qint64 r = port_.read(reinterpret_cast<char*>(buf + got), n - got);
            if (r < 0) return fail_hard();
            if (r > 0) {
                got += static_cast<int>(r);
                since_byte.start();
                continue;
            }
        }
        qint64 wait = total_ms - total.elapsed();
        if (got > 0) wait = std::min(wait, kIntervalTimeoutMs + 1 - since_byte.elapsed());
        if (wait <= 0) break;
        if (!port_.waitForReadyRead(static_cast<int>(wait))) {
            if (!is_soft_error(port_.error())) {
                *received = got;
                return fail_hard();
            }
            port_.clearError();
        }
    }
    *received = got;
    return true;
}

void SerialLine::purge_rx() {
    if (port_.isOpen()) port_.clear(QSerialPort::Input);
    port_.clearError();
}

void SerialLine::purge_tx() {
    if (port_.isOpen()) port_.clear(QSerialPort::Output);
    port_.clearError();
}

void SerialLine::pause_ms(int ms) {
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}
