#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// Splits the byte stream of a bus into frames for a listener. Bytes that belong to no
// well-formed frame are handed on as a bad frame; a frame cut by noise gives way to the
// next start delimiter. Holds at most one frame's worth of bytes.
class BusFramer {
  public:
    using Sink = std::function<void(const std::uint8_t* p, int n, bool well_formed)>;

    explicit BusFramer(Sink sink) : sink_(std::move(sink)) {}

    void feed(const std::uint8_t* p, int n);
    // The bus went quiet: whatever is held cannot grow into a frame any more.
    void flush();

    static constexpr int kMaxNoise = 256;  // noise is handed on in pieces of this size

  private:
    void parse();
    void to_noise(int n);
    void emit_noise();

    Sink sink_;
    std::vector<std::uint8_t> buf_;
    std::vector<std::uint8_t> noise_;
};
