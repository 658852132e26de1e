// Feeds arbitrary bytes to every reply path of the request layer.
//
// Input layout: one flag byte (bit 0: writes fail, bit 1: broadcast address), then one
// record per read the request layer makes: a count byte (0xFF: the read call fails)
// followed by up to that many reply bytes. A read is given at most what it asked for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "comm/Unit_hl.h"
#include "platform/prompts.h"

namespace {

[[noreturn]] void violated(const char* what) {
    __builtin_printf("invariant violated: %s\n", what);
    std::abort();
}

class FuzzLine : public Line {
  public:
    FuzzLine(const std::uint8_t* data, std::size_t size, const CommBuffer& buf)
        : p_(data), end_(data + size), buf_(buf) {}

    bool write_bytes(const std::uint8_t* b, int n, int* written) override {
        if (b != buf_.tx.data() || n < 0 || n > static_cast<int>(buf_.tx.size()))
            violated("write outside the send buffer");
        *written = fail_writes ? 0 : n;
        return !fail_writes;
    }
    bool read_bytes(std::uint8_t* b, int n, int* received) override {
        if (b != buf_.rx.data() || n < 0 || n > static_cast<int>(buf_.rx.size()))
            violated("read outside the receive buffer");
        return take(b, n, received);
    }
    // Late bytes after a failed exchange go to the layer's own scratch space.
    bool discard_late(std::uint8_t* b, int n, int* received) override {
        if (b == nullptr || n < 0 || n > RequestLayer::kQuietReadLen)
            violated("discarding read of a bad size");
        return take(b, n, received);
    }
    void purge_rx() override {}
    void purge_tx() override {}
    void pause_ms(int) override {}

    bool fail_writes = false;

  private:
    bool take(std::uint8_t* b, int n, int* received) {
        *received = 0;
        if (p_ == end_) return true;  // silence
        const int count = *p_++;
        if (count == 0xFF) return false;
        int got = count < n ? count : n;
        if (got > end_ - p_) got = static_cast<int>(end_ - p_);
        std::memcpy(b, p_, static_cast<std::size_t>(got));
        p_ += got;
        *received = got;
        return true;
    }

    const std::uint8_t* p_;
    const std::uint8_t* end_;
    const CommBuffer& buf_;
};

class NoPrompts : public Prompts {
  public:
    PromptAnswer message(const QString&, const QString&, PromptIcon, PromptButtons,
                         PromptOwner) override {
        violated("a prompt for a valid table number");
    }
    std::optional<QString> save_file(const FileDialogRequest&) override { return {}; }
    std::optional<QString> open_file(const FileDialogRequest&) override { return {}; }
    std::optional<std::uint32_t> choose_color(std::uint32_t) override { return {}; }
};

template <class T>
void check_field(const char*, T& v) {
    if constexpr (std::is_same_v<T, std::int32_t>) {
        if (v < 0 || v > 65535) violated("a 16-bit field outside 0..65535");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    DeviceData dd;
    CommBuffer cb;
    FuzzLine line(data + 1, size - 1, cb);
    NoPrompts prompts;
    RequestLayer req(line, prompts, dd, cb);
    line.fail_writes = (data[0] & 1) != 0;
    req.set_device_address((data[0] & 2) != 0 ? telegram::kBroadcast : 1);
    req.set_computer_address(0);

    for (int t = 0; t < kTableCount; ++t) req.read_table(t);
    for (int t = 0; t < kParameterTableCount; ++t) req.write_table(t);
    req.store_eeprom();
    req.probe_station();
    req.read_type_text();
    req.read_version_text();
    req.read_foreign_ident();

    if (cb.type_text.back() != 0 || cb.version_text.back() != 0)
        violated("a text without its terminating zero");
    for (int t = 0; t < kTableCount; ++t)
        with_group(dd, t, [](auto& g) {
            for_each_field(g, [](const char* n, auto& v) { check_field(n, v); });
        });
    return 0;
}
