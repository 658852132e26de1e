#include "sim/request_framer.h"

#include <gtest/gtest.h>

#include "sim/sim_test_util.h"

using namespace simtest;

namespace {

std::vector<Bytes> drain(sim::RequestFramer& f) {
    std::vector<Bytes> out;
    Bytes frame;
    while (f.next(frame)) out.push_back(frame);
    return out;
}

void feed(sim::RequestFramer& f, const Bytes& b) { f.feed(b.data(), static_cast<int>(b.size())); }

}  // namespace

TEST(RequestFramer, FramesArriveWholeWhateverTheSplit) {
    const Bytes read = read_request(10);
    const Bytes status = status_request(5);
    Bytes stream = read;
    stream.insert(stream.end(), status.begin(), status.end());
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        sim::RequestFramer f;
        f.feed(stream.data(), static_cast<int>(cut));
        std::vector<Bytes> got = drain(f);
        f.feed(stream.data() + cut, static_cast<int>(stream.size() - cut));
        for (Bytes& b : drain(f)) got.push_back(b);
        EXPECT_EQ(got, (std::vector<Bytes>{read, status})) << cut;
        EXPECT_TRUE(f.empty());
        EXPECT_EQ(f.dropped(), 0);
    }
}

TEST(RequestFramer, NoiseIsDroppedUntilAFrameFollows) {
    const Bytes read = read_request(0);
    Bytes corrupt = read;
    corrupt[11] ^= 0xFF;
    Bytes stream{0x00, 0x68, 0xFF, 0x10, 0x16};
    stream.insert(stream.end(), corrupt.begin(), corrupt.end());
    stream.insert(stream.end(), read.begin(), read.end());
    sim::RequestFramer f;
    feed(f, stream);
    EXPECT_EQ(drain(f), std::vector<Bytes>{read});
    EXPECT_TRUE(f.empty());
    EXPECT_EQ(f.dropped(), static_cast<int>(stream.size() - read.size()));
}

TEST(RequestFramer, StalePartialFrameIsGivenUp) {
    sim::RequestFramer f;
    feed(f, Bytes{0x68, 0x07, 0x07, 0x68, 0x01});  // a request cut short
    EXPECT_TRUE(drain(f).empty());
    EXPECT_FALSE(f.empty());
    f.drop_stale();
    const Bytes status = status_request(1);
    feed(f, status);
    EXPECT_EQ(drain(f), std::vector<Bytes>{status});
}
