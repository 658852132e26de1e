#pragma once

#include <QSet>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "comm/line.h"

using Bytes = std::vector<std::uint8_t>;

// A scripted line in virtual time. Each write takes the next scripted reply (or asks
// the responder) and queues its bytes for the reads that follow; reads take what is
// queued and cost the time a real line would wait. Every call is recorded.
class FakeLine : public PortLine {
  public:
    enum class Op { Write, Read, PurgeRx, PurgeTx, Pause, Open, ApplyRate, Close };
    struct Event {
        Op op;
        Bytes bytes;        // written bytes, or bytes returned by a read
        int requested = 0;  // read limit, pause or rate
        QString name;       // open: device path
    };
    // A piece of a reply; gap_ms is the silence before its first byte.
    struct Chunk {
        Bytes bytes;
        int gap_ms = 0;
    };
    using Responder = std::function<Bytes(const Bytes& request)>;

    // The reply to the next write that has none scripted yet (empty: silence).
    void queue_reply(Bytes reply) { scripted_.push_back({{std::move(reply), 0}}); }
    // A reply made of chunks separated by pauses.
    void queue_reply_chunks(std::vector<Chunk> chunks) { scripted_.push_back(std::move(chunks)); }
    // Bytes that arrive on the line now, without a request (late replies, noise).
    void inject(Bytes bytes) { pending_.push_back({std::move(bytes), 0}); }
    // Answers writes that have no scripted reply (e.g. a simulated bus).
    void set_responder(Responder r) { responder_ = std::move(r); }

    void fail_writes(bool f) { fail_writes_ = f; }
    void fail_reads(bool f) { fail_reads_ = f; }
    // open() of these device paths throws the "cannot open" error.
    void fail_open(const QString& device) { fail_open_.insert(device); }

    const std::vector<Event>& events() const { return events_; }
    void clear_events() { events_.clear(); }
    std::vector<Bytes> writes() const;
    int count(Op op) const;
    // The recorded operations as a compact text, e.g. "W R R PT PR".
    QString trace() const;

    std::int64_t now_ms() const { return now_ms_; }
    const QString& device() const { return device_; }
    qint32 baud() const { return baud_; }

    bool write_bytes(const std::uint8_t* buf, int n, int* written) override;
    bool read_bytes(std::uint8_t* buf, int n, int* received) override;
    bool read_frame(std::uint8_t* buf, int n, int* received) override;
    int bound_reads(int ms) override { return std::exchange(bound_ms_, ms); }
    int read_bound() const { return bound_ms_; }
    void purge_rx() override;
    void purge_tx() override;
    void pause_ms(int ms) override;
    void open(const QString& com_name, const QString& device, qint32 baud) override;
    void apply_rate(const QString& com_name, qint32 baud) override;
    void close() override;
    bool is_open() const override { return open_; }

  private:
    bool read(std::uint8_t* buf, int n, int* received, bool frame);

    std::deque<std::vector<Chunk>> scripted_;
    std::deque<Chunk> pending_;
    Responder responder_;
    std::vector<Event> events_;
    QSet<QString> fail_open_;
    bool fail_writes_ = false;
    bool fail_reads_ = false;
    bool open_ = true;
    QString device_;
    qint32 baud_ = 9600;
    std::int64_t now_ms_ = 0;
    int bound_ms_ = 0;
};
