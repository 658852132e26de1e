#include "support/fake_line.h"

#include <algorithm>

#include "comm/telegram.h"

std::vector<Bytes> FakeLine::writes() const {
    std::vector<Bytes> out;
    for (const auto& e : events_)
        if (e.op == Op::Write) out.push_back(e.bytes);
    return out;
}

int FakeLine::count(Op op) const {
    return static_cast<int>(
        std::count_if(events_.begin(), events_.end(), [op](const Event& e) { return e.op == op; }));
}

QString FakeLine::trace() const {
    QStringList parts;
    for (const auto& e : events_) {
        switch (e.op) {
            case Op::Write:
                parts << QStringLiteral("W");
                break;
            case Op::Read:
                parts << QStringLiteral("R");
                break;
            case Op::PurgeRx:
                parts << QStringLiteral("PR");
                break;
            case Op::PurgeTx:
                parts << QStringLiteral("PT");
                break;
            case Op::Pause:
                parts << QStringLiteral("P%1").arg(e.requested);
                break;
            case Op::Open:
                parts << QStringLiteral("O");
                break;
            case Op::ApplyRate:
                parts << QStringLiteral("B");
                break;
            case Op::Close:
                parts << QStringLiteral("C");
                break;
        }
    }
    return parts.join(QLatin1Char(' '));
}

bool FakeLine::write_bytes(const std::uint8_t* buf, int n, int* written) {
    // The purges that start every write are part of the write, not recorded apart.
    pending_.clear();
    Bytes request(buf, buf + n);
    events_.push_back({Op::Write, request, n, {}});
    if (fail_writes_ || !open_) {
        *written = 0;
        return false;
    }
    *written = n;
    if (!scripted_.empty()) {
        for (auto& c : scripted_.front()) pending_.push_back(c);
        scripted_.pop_front();
    } else if (responder_) {
        Bytes reply = responder_(request);
        if (!reply.empty()) pending_.push_back({std::move(reply), 0});
    }
    return true;
}

bool FakeLine::read_bytes(std::uint8_t* buf, int n, int* received) {
    return read(buf, n, received, false);
}

bool FakeLine::read_frame(std::uint8_t* buf, int n, int* received) {
    return read(buf, n, received, true);
}

bool FakeLine::read(std::uint8_t* buf, int n, int* received, bool frame) {
    *received = 0;
    Event e{Op::Read, {}, n, {}};
    if (fail_reads_ || !open_) {
        events_.push_back(e);
        return false;
    }
    const std::int64_t start = now_ms_;
    const std::int64_t total = bound_ms_ > 0 ? bound_ms_ : 500 + 2 * static_cast<std::int64_t>(n);
    const int limit = n;
    int got = 0;
    bool timed_out = false;
    while (got < n && !pending_.empty()) {
        Chunk& c = pending_.front();
        if (got > 0 && c.gap_ms > 100) {  // interval time-out inside the reply
            now_ms_ += 100;
            timed_out = true;
            c.gap_ms -= 100;
            break;
        }
        now_ms_ += c.gap_ms;
        c.gap_ms = 0;
        if (now_ms_ - start >= total) {
            now_ms_ = start + total;
            timed_out = true;
            break;
        }
        const int take = std::min<int>(n - got, static_cast<int>(c.bytes.size()));
        std::copy_n(c.bytes.begin(), take, buf + got);
        e.bytes.insert(e.bytes.end(), c.bytes.begin(), c.bytes.begin() + take);
        c.bytes.erase(c.bytes.begin(), c.bytes.begin() + take);
        got += take;
        if (c.bytes.empty()) pending_.pop_front();
        if (frame) n = std::max(telegram::frame_length(buf, got, limit), got);
    }
    if (got < n && !timed_out) now_ms_ = got == 0 ? start + total : now_ms_ + 100;
    *received = got;
    events_.push_back(e);
    return true;
}

void FakeLine::purge_rx() {
    pending_.clear();
    events_.push_back({Op::PurgeRx, {}, 0, {}});
}

void FakeLine::purge_tx() { events_.push_back({Op::PurgeTx, {}, 0, {}}); }

void FakeLine::pause_ms(int ms) {
    now_ms_ += ms;
    events_.push_back({Op::Pause, {}, ms, {}});
}

void FakeLine::open(const QString& com_name, const QString& device, qint32 baud) {
    events_.push_back({Op::Open, {}, baud, device});
    if (fail_open_.contains(device)) {
        open_ = false;
        throw make_port_error(PortError::Kind::Open, com_name);
    }
    open_ = true;
    device_ = device;
    baud_ = baud;
}

void FakeLine::apply_rate(const QString& com_name, qint32 baud) {
    events_.push_back({Op::ApplyRate, {}, baud, {}});
    if (!open_) throw make_port_error(PortError::Kind::ApplySettings, com_name);
    baud_ = baud;
}

void FakeLine::close() {
    events_.push_back({Op::Close, {}, 0, {}});
    open_ = false;
}
