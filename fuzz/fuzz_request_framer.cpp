// The simulator's request framer on any byte stream cut any way: every frame it gives
// is well formed and stands in the stream where the framer says, no byte is lost
// uncounted, and a clean frame after the noise still comes through.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "comm/telegram.h"
#include "sim/request_framer.h"

namespace {

[[noreturn]] void violated(const char* what) {
    std::fprintf(stderr, "invariant violated: %s\n", what);
    std::abort();
}

bool well_formed(const std::vector<std::uint8_t>& f) {
    using namespace telegram;
    if (f.size() == static_cast<std::size_t>(kSd1Length) && f[0] == SD1)
        return f[5] == ED && checksum(f.data() + 1, 3) == f[4];
    if (f.size() < 10 || f[0] != SD2) return false;
    const int le = f[1];
    return f[2] == le && f[3] == SD2 && f.size() == static_cast<std::size_t>(le) + 6 &&
           checksum(f.data() + 4, le) == f[f.size() - 2] && f.back() == ED;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sim::RequestFramer framer;
    std::vector<std::uint8_t> stream;  // everything fed, in order
    std::size_t framed = 0;            // bytes handed out as frames
    std::vector<std::uint8_t> frame;
    const auto drain = [&] {
        while (framer.next(frame)) {
            if (!well_formed(frame)) violated("a malformed frame");
            const std::size_t at = framed + static_cast<std::size_t>(framer.dropped());
            if (at + frame.size() > stream.size() ||
                !std::equal(frame.begin(), frame.end(), stream.begin() + static_cast<long>(at)))
                violated("a frame that is not where the stream has it");
            framed += frame.size();
        }
    };

    // Records: a control byte (bit 7: the line went quiet first; bits 0..5: chunk
    // length), then the chunk.
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t control = data[i++];
        if (control & 0x80) framer.drop_stale();
        std::size_t n = control & 0x3F;
        if (n > size - i) n = size - i;
        framer.feed(data + i, static_cast<int>(n));
        stream.insert(stream.end(), data + i, data + i + n);
        i += n;
        drain();
    }
    while (!framer.empty()) {
        framer.drop_stale();
        drain();
    }
    if (framed + static_cast<std::size_t>(framer.dropped()) != stream.size())
        violated("bytes lost uncounted");

    // In step again: a status request comes through whole.
    telegram::Buffer status{};
    const int n = telegram::build_status(status, 1, 0);
    framer.feed(status.data(), n);
    if (!framer.next(frame) ||
        frame != std::vector<std::uint8_t>(status.begin(), status.begin() + n) || !framer.empty())
        violated("a clean request after the noise did not come through");
    return 0;
}
