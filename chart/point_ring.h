#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// The points of a trend in order: x, y and a colour index per point. Appending and
// removing the oldest point cost O(1) amortised plus a short tree update; nothing is
// shifted. A min/max tree over blocks of points answers "lowest and highest finite y
// between two indices" in logarithmic time, so painting never scans the whole series.
// Runs of equal colour are kept beside the points so a painter can split a range by
// colour without reading every point.
class PointRing {
  public:
    struct Extremes {
        double min;
        double max;
        bool empty() const { return !(min <= max); }
    };

    int size() const { return size_; }
    bool empty() const { return size_ == 0; }

    void push_back(double x, double y, std::uint8_t color);
    // Puts a point at an arbitrary index; O(n), for the rare out-of-order x.
    void insert(int index, double x, double y, std::uint8_t color);
    // Removes the oldest point and returns its colour index.
    std::uint8_t pop_front();
    void clear();

    double x(int i) const { return xs_[slot(i)]; }
    double y(int i) const { return ys_[slot(i)]; }
    std::uint8_t color(int i) const { return colors_[slot(i)]; }

    // Lowest and highest finite y over the indices first..last (both included).
    // NaN and infinities are gaps and never count.
    Extremes extremes(int first, int last) const;
    Extremes extremes_all() const;

    // First index >= from whose x is not below x (x values ascend).
    int lower_bound_x(double x, int from) const;

    // Colour runs: maximal ranges of consecutive points with the same colour index.
    int run_of(int index) const;
    int run_first(int run) const;
    int run_last(int run) const;
    std::uint8_t run_color(int run) const { return runs_[static_cast<std::size_t>(run)].color(); }

    // Heap bytes held for the points, the tree and the runs.
    std::size_t memory_bytes() const;

    static constexpr int kBlock = 16;

  private:
    struct Node {
        double min;
        double max;
    };
    // Sequence number of the run's first point in the high 56 bits, colour in the low 8.
    struct Run {
        std::uint64_t packed;
        static Run make(std::uint64_t start, std::uint8_t color) { return {start << 8 | color}; }
        std::uint64_t start() const { return packed >> 8; }
        std::uint8_t color() const { return static_cast<std::uint8_t>(packed & 0xFF); }
    };

    int slot(int i) const {
        int s = head_ + i;
        return s >= capacity_ ? s - capacity_ : s;
    }
    void grow();
    void rescan_block(int block);
    void lift(int block);
    Extremes scan(int first_slot, int last_slot) const;
    Extremes physical_range(int first_slot, int last_slot) const;
    void push_run(std::uint8_t color);

    std::vector<double> xs_;
    std::vector<double> ys_;
    std::vector<std::uint8_t> colors_;
    std::vector<Node> tree_;  // blocks_ leaves after blocks_ inner nodes, bottom-up layout
    int blocks_ = 0;
    int capacity_ = 0;
    int head_ = 0;
    int size_ = 0;
    std::uint64_t first_seq_ = 0;  // sequence number of index 0
    std::deque<Run> runs_;
};
