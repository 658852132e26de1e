#pragma once
#include <QElapsedTimer>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "comm/line.h"
#include "comm/telegram_record.h"

// Decorates a port line: every write/read/purge/time-out becomes a telegram record kept in a
// fixed ring; counts per address. The bus worker writes through it while windows read
// its records and counts, so one lock guards them (never held across the inner line).
class RecordingLine : public PortLine {
  public:
    static constexpr int kCapacity = 10000;
    explicit RecordingLine(PortLine& inner);
    // A smaller ring, for tools that keep only the last few telegrams.
    RecordingLine(PortLine& inner, int capacity);
    RecordingLine(const RecordingLine&) = delete;
    RecordingLine& operator=(const RecordingLine&) = delete;

    void open(const QString& com_name, const QString& device, qint32 baud) override;
    void apply_rate(const QString& com_name, qint32 baud) override;
    void close() override;
    bool is_open() const override;
    bool write_bytes(const std::uint8_t* buf, int n, int* written) override;
    bool read_bytes(std::uint8_t* buf, int n, int* received) override;
    bool read_frame(std::uint8_t* buf, int n, int* received) override;
    int bound_reads(int ms) override;
    bool discard_late(std::uint8_t* buf, int n, int* received) override;
    void purge_rx() override;
    void purge_tx() override;
    void pause_ms(int ms) override;

    PortLine& inner() const { return inner_; }

    int capacity() const { return capacity_; }
    // Records with seq > after_seq, oldest first (at most capacity()).
    std::vector<TelegramRecord> records_since(std::uint64_t after_seq) const;
    std::uint64_t last_seq() const;
    void clear_records();                       // the ring only; seq keeps counting
    std::map<int, AddressStats> stats() const;  // key: device address
    void reset_stats();
    LinkState link_state() const;
    // Called (synchronously, on the line's thread, without the lock) after every new
    // record; one observer.
    void set_observer(std::function<void()> on_record);

  private:
    struct Accum {
        AddressStats s;
        qint64 reply_sum_ms = 0;
        int reply_count = 0;
        qint64 wall_error_ms = -1;
    };

    bool record_read(bool ok, std::uint8_t* buf, int n, int* received);
    TelegramRecord& push(TelegramDir dir, const std::uint8_t* p, int n);
    void count_error(Accum& a, qint64 now);
    void end_exchange();
    void notify();

    PortLine& inner_;
    QElapsedTimer clock_;
    int capacity_;
    std::vector<TelegramRecord> ring_;  // capacity_ slots, allocated once
    std::uint64_t next_seq_ = 1;
    std::uint64_t first_kept_ = 1;  // oldest seq still in the ring

    // The exchange in progress: the last request written.
    std::array<std::uint8_t, TelegramRecord::kMaxBytes> request_{};
    int request_len_ = 0;
    std::uint64_t request_seq_ = 0;
    qint64 request_at_ = 0;
    int request_dest_ = -1;
    bool exchange_open_ = false;         // a reply may still come
    bool exchange_failed_ = false;       // a read of this exchange went wrong
    bool last_read_failed_ = false;      // the last operation was a failed read
    bool last_read_incomplete_ = false;  // ... that brought no or too few bytes
    qint64 last_good_wall_ms_ = -1;

    std::map<int, Accum> stats_;
    LinkState link_;
    std::shared_ptr<const std::function<void()>> observer_;
    mutable std::mutex mutex_;
};
