#include "comm/serial_line.h"

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <utility>

#include "comm/telegram.h"

#if defined(Q_OS_UNIX)
#include <termios.h>

#include <cerrno>
#elif defined(Q_OS_WIN)
#include <qt_windows.h>
#endif

namespace {

// Milliseconds that chars characters of 11 bits (start, 8 data, parity, stop) take on
// the wire, rounded up.
qint64 wire_ms(qint64 chars, qint32 baud) { return (chars * 11 * 1000 + baud - 1) / baud; }

bool is_soft_error(QSerialPort::SerialPortError e) {
    return e == QSerialPort::NoError || e == QSerialPort::TimeoutError;
}

}  // namespace

SerialLine::SerialLine() = default;

// A write hands at most 256 bytes to the driver; allow for the slowest rate's wire
// time in case the driver's queue is still full, but never wait without end.
int SerialLine::write_timeout_ms(int n, qint32 baud) {
    const qint64 wire_ms = static_cast<qint64>(n) * 11 * 1000 / std::max<qint32>(baud, 1);
    return static_cast<int>(std::min<qint64>(2000 + 2 * wire_ms, 60000));
}

SerialLine::Timeouts SerialLine::read_timeouts(qint32 baud, int request_bytes, int reply_bytes) {
    const qint64 bus_total =
        kTotalTimeoutBaseMs + static_cast<qint64>(kTotalTimeoutPerByteMs) * reply_bytes;
    Timeouts t{kIntervalTimeoutMs, static_cast<int>(bus_total)};
    if (baud <= 0) return t;
    const qint64 wire = wire_ms(std::max(request_bytes, 0) + std::max(reply_bytes, 0), baud);
    if (wire + kTurnaroundMarginMs > bus_total)
        t.total_ms = static_cast<int>(std::max(bus_total, kTotalTimeoutBaseMs + wire));
    // At 110 baud one character alone takes 100 ms.
    t.interval_ms = static_cast<int>(std::max<qint64>(kIntervalTimeoutMs, wire_ms(3, baud)));
    return t;
}

SerialLine::~SerialLine() { close(); }

void SerialLine::open(const QString& com_name, const QString& device, qint32 baud) {
    close();
    baud_ = baud;
    open_error_ = QSerialPort::NoError;
    open_error_reason_.clear();
    port_.setPortName(device);
    // Line parameters go in before open(): a pseudo-terminal refuses parity on an open
    // port, yet opens fine with it requested (it simply cannot carry parity).
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::EvenParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(kQueueSize);
    // The rate goes in with the open here, though it is the last step of setting the
    // line up: a port that opens at the default rate exists, and only the rate failed.
    // A rate that cannot be one is not tried at all: a failed open leaves a
    // pseudo-terminal half set up.
    const auto fail_open = [&](bool tried) {
        if (!tried || baud != kDefaultBaud) {
            port_.setBaudRate(kDefaultBaud);
            const bool exists = port_.open(QIODevice::ReadWrite);
            close();
            if (exists) return make_port_error(PortError::Kind::ApplySettings, com_name);
        }
        return make_port_error(PortError::Kind::Open, com_name);
    };
    if (baud <= 0) throw fail_open(false);
    port_.setBaudRate(baud);
    // open() also locks the port (lock file and exclusive tty mode), so a port held by
    // another program fails here as well. The driver has no queue sizes or time-outs
    // to set: the queue is the read buffer above, the time-outs live in read_bytes().
    if (!port_.open(QIODevice::ReadWrite)) {
        open_error_ = port_.error();
        open_error_reason_ = port_.errorString();
        port_.clearError();
        throw fail_open(true);
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
    drained_ = false;
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
    last_request_ = 0;
    if (!port_.isOpen()) return false;
    purge_rx();
    purge_tx();
    if (n <= 0) return true;
    drained_ = false;
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
    // The purge after a failed exchange must not catch the last re-send still queued in
    // the driver or a USB adapter: return only once the bytes have left.
#if defined(Q_OS_UNIX)
    int drained = 0;
    do {
        drained = ::tcdrain(static_cast<int>(port_.handle()));
    } while (drained != 0 && errno == EINTR);
    if (drained != 0) return fail_hard();
#elif defined(Q_OS_WIN)
    if (!::FlushFileBuffers(reinterpret_cast<HANDLE>(port_.handle()))) return fail_hard();
#endif
    drained_ = true;
    *written = n;
    last_request_ = n;
    return true;
}

bool SerialLine::read_bytes(std::uint8_t* buf, int n, int* received) {
    return read_until(buf, n, received, false);
}

bool SerialLine::read_frame(std::uint8_t* buf, int n, int* received) {
    return read_until(buf, n, received, true);
}

bool SerialLine::read_until(std::uint8_t* buf, int n, int* received, bool frame) {
    *received = 0;
    const int request = std::exchange(last_request_, 0);
    if (!port_.isOpen()) return false;
    if (n <= 0) return true;
    const Timeouts limits = read_timeouts(baud_, request, n);
    const qint64 total_ms = total_timeout_ms_ > 0 ? total_timeout_ms_ : limits.total_ms;
    QElapsedTimer total;
    total.start();
    QElapsedTimer since_byte;  // started at the first byte
    int got = 0;
    int want = n;
    while (got < want) {
        if (port_.bytesAvailable() > 0) {
            const qint64 r = port_.read(reinterpret_cast<char*>(buf + got), want - got);
            if (r < 0) return fail_hard();
            if (r > 0) {
                got += static_cast<int>(r);
                if (frame) want = std::max(telegram::frame_length(buf, got, n), got);
                since_byte.start();
                continue;
            }
        }
        qint64 wait = total_ms - total.elapsed();
        if (got > 0) wait = std::min(wait, limits.interval_ms + 1 - since_byte.elapsed());
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
    // After a drained write the queue is empty; a pseudo-terminal's flush would reach
    // past it into bytes the far end has not yet taken in, i.e. off the wire.
    if (port_.isOpen() && !drained_) port_.clear(QSerialPort::Output);
    port_.clearError();
}

void SerialLine::pause_ms(int ms) {
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}
