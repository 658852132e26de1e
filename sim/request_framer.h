#pragma once

#include <cstdint>
#include <vector>

namespace sim {

// Cuts the byte stream a station hears into request frames. Bytes that cannot start
// a well-formed frame are dropped one at a time until the stream is in step again.
class RequestFramer {
  public:
    void feed(const std::uint8_t* bytes, int n);
    // Takes the next complete well-formed frame; false when none is complete yet.
    bool next(std::vector<std::uint8_t>& frame);
    // Gives up on a partial frame that stopped arriving: drops its first byte.
    void drop_stale();
    bool empty() const { return buf_.empty(); }
    int dropped() const { return dropped_; }

  private:
    std::vector<std::uint8_t> buf_;
    int dropped_ = 0;
};

}  // namespace sim
