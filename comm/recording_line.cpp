#include "comm/recording_line.h"

#include <algorithm>

#include "comm/telegram.h"

RecordingLine::RecordingLine(PortLine& inner) : RecordingLine(inner, kCapacity) {}

RecordingLine::RecordingLine(PortLine& inner, int capacity)
    : inner_(inner), capacity_(std::max(capacity, 1)) {
    ring_.resize(static_cast<std::size_t>(capacity_));
    clock_.start();
}

void RecordingLine::open(const QString& com_name, const QString& device, qint32 baud) {
    end_exchange();
    inner_.open(com_name, device, baud);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        link_.port_lost = false;
    }
    notify();
}

void RecordingLine::apply_rate(const QString& com_name, qint32 baud) {
    inner_.apply_rate(com_name, baud);
}

void RecordingLine::close() {
    end_exchange();
    inner_.close();
}

bool RecordingLine::is_open() const { return inner_.is_open(); }

void RecordingLine::pause_ms(int ms) { inner_.pause_ms(ms); }

// A purge ends the exchange: whatever comes later answers nothing we asked.
void RecordingLine::purge_rx() {
    end_exchange();
    inner_.purge_rx();
}

void RecordingLine::purge_tx() {
    end_exchange();
    inner_.purge_tx();
}

void RecordingLine::end_exchange() {
    std::lock_guard<std::mutex> lock(mutex_);
    exchange_open_ = false;
    last_read_failed_ = false;
    last_read_incomplete_ = false;
}

TelegramRecord& RecordingLine::push(TelegramDir dir, const std::uint8_t* p, int n) {
    const std::uint64_t seq = next_seq_++;
    TelegramRecord& r =
        ring_[static_cast<std::size_t>((seq - 1) % static_cast<std::uint64_t>(capacity_))];
    r.seq = seq;
    r.time_ms = clock_.elapsed();
    r.dir = dir;
    r.dest = -1;
    r.src = -1;
    r.verdict = Verdict::Pending;
    r.expected = 0;
    r.received = 0;
    r.answers = 0;
    r.reply_ms = -1;
    set_record_bytes(r, p, n);
    if (next_seq_ - first_kept_ > static_cast<std::uint64_t>(capacity_))
        first_kept_ = next_seq_ - static_cast<std::uint64_t>(capacity_);
    return r;
}

bool RecordingLine::write_bytes(const std::uint8_t* buf, int n, int* written) {
    const bool ok = inner_.write_bytes(buf, n, written);
    // Asked here, on the line's own thread: a failed call on a port that is no longer open.
    const bool lost = !ok && !inner_.is_open();
    std::unique_lock<std::mutex> lock(mutex_);
    link_.port_lost = lost;
    const int len = std::clamp(n, 0, TelegramRecord::kMaxBytes);
    // The request layer sends the same bytes again right after a read that came back
    // empty or cut (with at most a pause between): a re-send within one exchange, not a
    // new request. A spoilt but complete reply is never asked for again.
    const bool resend = last_read_incomplete_ && exchange_open_ && len == request_len_ &&
                        std::equal(buf, buf + len, request_.begin());
    TelegramRecord& r = push(TelegramDir::Sent, buf, n);
    request_addresses(r.bytes.data(), r.length, &r.dest, &r.src);
    if (resend) {
        r.verdict = Verdict::Resent;
        if (r.dest >= 0) ++stats_[r.dest].s.resends;
    } else {
        std::copy_n(buf, len, request_.begin());
        request_len_ = len;
        exchange_failed_ = false;
        if (r.dest >= 0 && r.dest != telegram::kBroadcast) ++stats_[r.dest].s.requests;
    }
    request_seq_ = r.seq;
    request_at_ = r.time_ms;
    request_dest_ = r.dest;
    exchange_open_ = true;
    last_read_failed_ = false;
    last_read_incomplete_ = false;
    lock.unlock();
    notify();
    return ok;
}

void RecordingLine::count_error(Accum& a, qint64 now) {
    a.s.last_error_ms = now;
    a.wall_error_ms = QDateTime::currentMSecsSinceEpoch();
}

bool RecordingLine::read_bytes(std::uint8_t* buf, int n, int* received) {
    return record_read(inner_.read_bytes(buf, n, received), buf, n, received);
}

bool RecordingLine::read_frame(std::uint8_t* buf, int n, int* received) {
    return record_read(inner_.read_frame(buf, n, received), buf, n, received);
}

int RecordingLine::bound_reads(int ms) { return inner_.bound_reads(ms); }

bool RecordingLine::record_read(bool ok, std::uint8_t* buf, int n, int* received) {
    const bool lost = !ok && !inner_.is_open();
    std::unique_lock<std::mutex> lock(mutex_);
    link_.port_lost = lost;
    const int got = ok ? std::clamp(*received, 0, std::max(n, 0)) : 0;
    const ReplyJudgement j = judge_reply(request_.data(), request_len_, buf, got);
    TelegramRecord& r = push(TelegramDir::Received, buf, got);
    r.verdict = j.verdict;
    r.expected = j.expected;
    r.received = got;
    r.dest = j.dest;
    r.src = got > 0 ? j.src : request_dest_;
    r.answers = request_seq_;
    if (got > 0) r.reply_ms = static_cast<int>(r.time_ms - request_at_);

    // Listening again after a failed read without asking again can miss nothing.
    const bool echo_of_failure = j.verdict == Verdict::NoReply && last_read_failed_;
    const int address = request_dest_ >= 0 ? request_dest_ : j.src;
    if (address >= 0 && !echo_of_failure) {
        Accum& a = stats_[address];
        switch (j.verdict) {
            case Verdict::Ok: {
                ++a.s.good;
                a.reply_sum_ms += r.reply_ms;
                ++a.reply_count;
                a.s.reply_min_ms =
                    a.s.reply_min_ms < 0 ? r.reply_ms : std::min(a.s.reply_min_ms, r.reply_ms);
                a.s.reply_max_ms = std::max(a.s.reply_max_ms, r.reply_ms);
                a.s.reply_mean_ms = static_cast<double>(a.reply_sum_ms) / a.reply_count;
                break;
            }
            case Verdict::NoReply:
                ++a.s.timeouts;
                break;
            case Verdict::ShortReply:
                ++a.s.short_replies;
                break;
            case Verdict::BadChecksum:
                ++a.s.checksum_errors;
                break;
            case Verdict::Refused:
                ++a.s.refusals;
                break;
            default:
                ++a.s.format_errors;
                break;
        }
        if (j.verdict != Verdict::Ok) count_error(a, r.time_ms);
    }

    link_.any_exchange = true;
    if (j.verdict == Verdict::Ok) {
        link_.ok = true;
        link_.last_verdict = Verdict::Ok;
        link_.failures_in_row = 0;
        last_good_wall_ms_ = QDateTime::currentMSecsSinceEpoch();
    } else if (!exchange_failed_) {
        // One failed exchange counts once, however many reads it took.
        link_.ok = false;
        link_.last_verdict = j.verdict;
        ++link_.failures_in_row;
    }
    exchange_failed_ = j.verdict != Verdict::Ok;
    last_read_failed_ = j.verdict != Verdict::Ok;
    last_read_incomplete_ = j.verdict == Verdict::NoReply || j.verdict == Verdict::ShortReply ||
                            j.verdict == Verdict::LengthMismatch;
    if (j.verdict == Verdict::Ok) exchange_open_ = false;
    lock.unlock();
    notify();
    return ok;
}

// Late bytes cleared away after a failed exchange: listed, but neither counted nor
// taken as a sign of the link, since the exchange they belong to is already judged.
bool RecordingLine::discard_late(std::uint8_t* buf, int n, int* received) {
    const bool ok = inner_.discard_late(buf, n, received);
    const int got = ok ? std::clamp(*received, 0, std::max(n, 0)) : 0;
    if (got > 0) {
        std::unique_lock<std::mutex> lock(mutex_);
        TelegramRecord& r = push(TelegramDir::Received, buf, got);
        const ReplyJudgement j = judge_reply(request_.data(), request_len_, buf, got);
        r.verdict = Verdict::Discarded;
        r.received = got;
        r.dest = j.dest;
        r.src = j.src;
        r.answers = request_seq_;
        lock.unlock();
        notify();
    }
    return ok;
}

std::vector<TelegramRecord> RecordingLine::records_since(std::uint64_t after_seq) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<TelegramRecord> out;
    const std::uint64_t from = std::max(after_seq + 1, first_kept_);
    if (from >= next_seq_) return out;
    out.reserve(static_cast<std::size_t>(next_seq_ - from));
    for (std::uint64_t s = from; s < next_seq_; ++s)
        out.push_back(
            ring_[static_cast<std::size_t>((s - 1) % static_cast<std::uint64_t>(capacity_))]);
    return out;
}

std::uint64_t RecordingLine::last_seq() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return next_seq_ - 1;
}

void RecordingLine::clear_records() {
    std::lock_guard<std::mutex> lock(mutex_);
    first_kept_ = next_seq_;
}

std::map<int, AddressStats> RecordingLine::stats() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::map<int, AddressStats> out;
    for (const auto& [address, a] : stats_) {
        AddressStats s = a.s;
        if (a.wall_error_ms >= 0) s.last_error_at = QDateTime::fromMSecsSinceEpoch(a.wall_error_ms);
        out.emplace(address, s);
    }
    return out;
}

void RecordingLine::reset_stats() {
    std::lock_guard<std::mutex> lock(mutex_);
    stats_.clear();
}

LinkState RecordingLine::link_state() const {
    std::lock_guard<std::mutex> lock(mutex_);
    LinkState s = link_;
    if (last_good_wall_ms_ >= 0) s.last_good = QDateTime::fromMSecsSinceEpoch(last_good_wall_ms_);
    return s;
}

void RecordingLine::set_observer(std::function<void()> on_record) {
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::make_shared<const std::function<void()>>(std::move(on_record));
}

void RecordingLine::notify() {
    std::shared_ptr<const std::function<void()>> observer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        observer = observer_;
    }
    if (observer && *observer) (*observer)();
}
