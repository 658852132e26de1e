// Feeds arbitrary bytes to the bus framer of the listener and to the interpreter of the
// recording line.
//
// Input layout: a chunk byte (the framer gets the stream in pieces of this size, 0: all
// at once; odd: the bus goes quiet after each piece), a split byte (the first that many
// stream bytes are also taken as a request, the rest as its reply), then the stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "comm/bus_framer.h"
#include "comm/recording_line.h"
#include "comm/telegram_record.h"

namespace {

[[noreturn]] void violated(const char* what) {
    __builtin_printf("invariant violated: %s\n", what);
    std::abort();
}

// Writes go nowhere; the one read hands over the reply bytes, however many were asked.
class ReplyLine : public PortLine {
  public:
    ReplyLine(const std::uint8_t* p, int n) : p_(p), n_(n) {}
    bool write_bytes(const std::uint8_t*, int n, int* written) override {
        *written = n;
        return true;
    }
    bool read_bytes(std::uint8_t* buf, int n, int* received) override {
        const int take = n < n_ ? n : n_;
        for (int i = 0; i < take; ++i) buf[i] = p_[i];
        *received = n_;  // a line may claim more than was asked for
        return true;
    }
    void purge_rx() override {}
    void purge_tx() override {}
    void pause_ms(int) override {}
    void open(const QString&, const QString&, qint32) override {}
    void apply_rate(const QString&, qint32) override {}
    void close() override {}
    bool is_open() const override { return true; }

  private:
    const std::uint8_t* p_;
    int n_;
};

void look_at(const TelegramRecord& r) {
    if (r.length < 0 || r.length > TelegramRecord::kMaxBytes) violated("record length");
    (void)telegram_meaning(r);
    if (telegram_hex(r).size() != (r.length > 0 ? r.length * 3 - 1 : 0)) violated("hex length");
    (void)verdict_text(r);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int chunk = data[0];
    const int split_at = data[1];
    const std::uint8_t* p = data + 2;
    const int n = static_cast<int>(size - 2);

    long handed_on = 0;
    BusFramer framer([&](const std::uint8_t* f, int len, bool good) {
        if (len <= 0) violated("an empty frame");
        int dest = 0, src = 0;
        if (good != frame_well_formed(f, len, &dest, &src)) violated("framer and check disagree");
        handed_on += len;
        TelegramRecord r;
        set_record_bytes(r, f, len);
        look_at(r);
    });
    const int step = chunk == 0 ? (n > 0 ? n : 1) : chunk;
    for (int at = 0; at < n; at += step) {
        framer.feed(p + at, step < n - at ? step : n - at);
        if (chunk & 1) framer.flush();
    }
    framer.flush();
    if (handed_on != n) violated("the framer lost or made up bytes");

    const int split = split_at < n ? split_at : n;
    const ReplyJudgement j = judge_reply(p, split, p + split, n - split);
    if (j.expected < 0) violated("a negative expected length");

    ReplyLine line(p + split, n - split);
    RecordingLine rec(line, 4);
    std::uint8_t rx[256];
    int w = 0, got = 0;
    rec.write_bytes(p, split, &w);
    rec.read_bytes(rx, (chunk & 0x7F) * 2, &got);
    for (const TelegramRecord& r : rec.records_since(0)) look_at(r);
    (void)rec.stats();
    return 0;
}
