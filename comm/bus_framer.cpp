#include "comm/bus_framer.h"

#include "comm/telegram.h"
#include "comm/telegram_record.h"

using namespace telegram;

void BusFramer::feed(const std::uint8_t* p, int n) {
    for (int i = 0; i < n; ++i) {
        buf_.push_back(p[i]);
        parse();
    }
}

void BusFramer::flush() {
    // A cut frame may hide whole frames behind its claimed length: drop its first byte
    // and look again until nothing is held.
    while (!buf_.empty()) {
        to_noise(1);
        parse();
    }
    emit_noise();
}

void BusFramer::to_noise(int n) {
    for (int i = 0; i < n; ++i) {
        noise_.push_back(buf_[static_cast<std::size_t>(i)]);
        if (static_cast<int>(noise_.size()) >= kMaxNoise) emit_noise();
    }
    buf_.erase(buf_.begin(), buf_.begin() + n);
}

void BusFramer::emit_noise() {
    if (noise_.empty()) return;
    sink_(noise_.data(), static_cast<int>(noise_.size()), false);
    noise_.clear();
}

void BusFramer::parse() {
    for (;;) {
        int start = 0;
        const int size = static_cast<int>(buf_.size());
        while (start < size && buf_[static_cast<std::size_t>(start)] != SD1 &&
               buf_[static_cast<std::size_t>(start)] != SD2)
            ++start;
        if (start > 0) to_noise(start);
        if (buf_.empty()) return;

        int need = kSd1Length;
        if (buf_[0] == SD2) {
            if (buf_.size() < 4) return;
            if (buf_[1] != buf_[2] || buf_[3] != SD2) {
                to_noise(1);
                continue;
            }
            need = buf_[1] + 6;
        }
        if (static_cast<int>(buf_.size()) < need) return;
        int dest = -1, src = -1;
        if (!frame_well_formed(buf_.data(), need, &dest, &src)) {
            to_noise(1);
            continue;
        }
        emit_noise();
        sink_(buf_.data(), need, true);
        buf_.erase(buf_.begin(), buf_.begin() + need);
    }
}
