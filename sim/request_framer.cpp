#include "sim/request_framer.h"

#include "comm/telegram.h"

namespace sim {

void RequestFramer::feed(const std::uint8_t* bytes, int n) {
    if (n > 0) buf_.insert(buf_.end(), bytes, bytes + n);
}

void RequestFramer::drop_stale() {
    if (buf_.empty()) return;
    buf_.erase(buf_.begin());
    ++dropped_;
}

bool RequestFramer::next(std::vector<std::uint8_t>& frame) {
    using namespace telegram;
    while (!buf_.empty()) {
        const std::size_t have = buf_.size();
        std::size_t len = 0;
        bool good = false;
        if (buf_[0] == SD1) {
            if (have < kSd1Length) return false;
            len = kSd1Length;
            good = buf_[5] == ED && checksum(buf_.data() + 1, 3) == buf_[4];
        } else if (buf_[0] == SD2) {
            if (have < 4) return false;
            const int le = buf_[1];
            if (buf_[2] == le && buf_[3] == SD2 && le >= 4) {
                len = static_cast<std::size_t>(le) + 6;
                if (have < len) return false;
                good = buf_[len - 1] == ED && checksum(buf_.data() + 4, le) == buf_[len - 2];
            }
        }
        if (good) {
            frame.assign(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(len));
            buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(len));
            return true;
        }
        buf_.erase(buf_.begin());
        ++dropped_;
    }
    return false;
}

}  // namespace sim
