#include "chart/point_ring.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

PointRing::Extremes merged(PointRing::Extremes a, PointRing::Extremes b) {
    return {std::min(a.min, b.min), std::max(a.max, b.max)};
}

constexpr PointRing::Extremes kNone{kInf, -kInf};

}  // namespace

void PointRing::push_back(double x, double y, std::uint8_t color) {
    if (size_ == capacity_) grow();
    const int s = slot(size_);
    xs_[static_cast<std::size_t>(s)] = x;
    ys_[static_cast<std::size_t>(s)] = y;
    colors_[static_cast<std::size_t>(s)] = color;
    ++size_;
    if (std::isfinite(y)) {
        Node& leaf = tree_[static_cast<std::size_t>(blocks_ + s / kBlock)];
        leaf.min = std::min(leaf.min, y);
        leaf.max = std::max(leaf.max, y);
        lift(s / kBlock);
    }
    push_run(color);
}

void PointRing::insert(int index, double x, double y, std::uint8_t color) {
    index = std::clamp(index, 0, size_);
    if (index == size_) {
        push_back(x, y, color);
        return;
    }
    std::vector<double> xs;
    std::vector<double> ys;
    std::vector<std::uint8_t> cs;
    xs.reserve(static_cast<std::size_t>(size_) + 1);
    ys.reserve(static_cast<std::size_t>(size_) + 1);
    cs.reserve(static_cast<std::size_t>(size_) + 1);
    for (int i = 0; i < size_; ++i) {
        if (i == index) {
            xs.push_back(x);
            ys.push_back(y);
            cs.push_back(color);
        }
        xs.push_back(this->x(i));
        ys.push_back(this->y(i));
        cs.push_back(this->color(i));
    }
    clear();
    for (std::size_t i = 0; i < xs.size(); ++i) push_back(xs[i], ys[i], cs[i]);
}

std::uint8_t PointRing::pop_front() {
    if (size_ == 0) return 0;
    const int s = head_;
    const std::uint8_t color = colors_[static_cast<std::size_t>(s)];
    // A freed slot holds NaN so block rescans and tree leaves ignore it.
    ys_[static_cast<std::size_t>(s)] = kNaN;
    head_ = head_ + 1 == capacity_ ? 0 : head_ + 1;
    --size_;
    ++first_seq_;
    rescan_block(s / kBlock);
    lift(s / kBlock);
    while (runs_.size() >= 2 && runs_[1].start() <= first_seq_) runs_.pop_front();
    if (size_ == 0) runs_.clear();
    return color;
}

void PointRing::clear() {
    std::vector<double>().swap(xs_);
    std::vector<double>().swap(ys_);
    std::vector<std::uint8_t>().swap(colors_);
    std::vector<Node>().swap(tree_);
    std::deque<Run>().swap(runs_);
    blocks_ = capacity_ = head_ = size_ = 0;
    first_seq_ = 0;
}

PointRing::Extremes PointRing::extremes(int first, int last) const {
    first = std::max(first, 0);
    last = std::min(last, size_ - 1);
    if (first > last) return kNone;
    const int pf = slot(first);
    const int pl = slot(last);
    if (pf <= pl) return physical_range(pf, pl);
    return merged(physical_range(pf, capacity_ - 1), physical_range(0, pl));
}

PointRing::Extremes PointRing::extremes_all() const {
    if (blocks_ == 0) return kNone;
    const Node& root = tree_[1];
    return {root.min, root.max};
}

int PointRing::lower_bound_x(double x, int from) const {
    int lo = std::max(from, 0);
    int hi = size_;
    if (lo >= hi || !(this->x(lo) < x)) return lo;
    if (!(this->x(hi - 1) >= x)) return hi;
    // Points usually come at an even pace: start where an even spread puts x, then
    // widen the window by doubling steps until it holds the answer.
    const double x0 = this->x(lo);
    const double x1 = this->x(hi - 1);
    const double share = x1 > x0 ? (x - x0) / (x1 - x0) : 0.0;
    const int guess = lo + static_cast<int>(std::clamp(share, 0.0, 1.0) * (hi - 1 - lo));
    if (this->x(guess) < x) {
        lo = guess + 1;
        for (int step = 1;; step *= 2) {
            const int probe = lo + step - 1;
            if (probe >= hi) break;
            if (this->x(probe) >= x) {
                hi = probe + 1;
                break;
            }
            lo = probe + 1;
        }
    } else {
        hi = guess;
        for (int step = 1;; step *= 2) {
            const int probe = hi - step;
            if (probe < lo) break;
            if (this->x(probe) < x) {
                lo = probe + 1;
                break;
            }
            hi = probe;
        }
    }
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (this->x(mid) < x) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

int PointRing::run_of(int index) const {
    const std::uint64_t seq = first_seq_ + static_cast<std::uint64_t>(std::max(index, 0));
    auto it = std::upper_bound(runs_.begin(), runs_.end(), seq,
                               [](std::uint64_t s, const Run& r) { return s < r.start(); });
    if (it == runs_.begin()) return 0;
    return static_cast<int>(it - runs_.begin()) - 1;
}

int PointRing::run_first(int run) const {
    const std::uint64_t start = runs_[static_cast<std::size_t>(run)].start();
    return start <= first_seq_ ? 0 : static_cast<int>(start - first_seq_);
}

int PointRing::run_last(int run) const {
    const auto next = static_cast<std::size_t>(run) + 1;
    if (next >= runs_.size()) return size_ - 1;
    return static_cast<int>(runs_[next].start() - first_seq_) - 1;
}

std::size_t PointRing::memory_bytes() const {
    return xs_.capacity() * sizeof(double) + ys_.capacity() * sizeof(double) +
           colors_.capacity() * sizeof(std::uint8_t) + tree_.capacity() * sizeof(Node) +
           runs_.size() * sizeof(Run);
}

void PointRing::grow() {
    // Growth by a quarter keeps the slack (and so the bytes per point) low at large sizes.
    int capacity = std::max(4 * kBlock, capacity_ + capacity_ / 4);
    capacity = (capacity + kBlock - 1) / kBlock * kBlock;
    std::vector<double> xs(static_cast<std::size_t>(capacity), 0.0);
    std::vector<double> ys(static_cast<std::size_t>(capacity), kNaN);
    std::vector<std::uint8_t> cs(static_cast<std::size_t>(capacity), 0);
    for (int i = 0; i < size_; ++i) {
        const auto s = static_cast<std::size_t>(slot(i));
        xs[static_cast<std::size_t>(i)] = xs_[s];
        ys[static_cast<std::size_t>(i)] = ys_[s];
        cs[static_cast<std::size_t>(i)] = colors_[s];
    }
    xs_.swap(xs);
    ys_.swap(ys);
    colors_.swap(cs);
    capacity_ = capacity;
    head_ = 0;
    blocks_ = capacity / kBlock;
    tree_.assign(2 * static_cast<std::size_t>(blocks_), Node{kInf, -kInf});
    for (int b = 0; b < blocks_; ++b) rescan_block(b);
    for (int i = blocks_ - 1; i >= 1; --i) {
        const auto u = static_cast<std::size_t>(i);
        tree_[u] = {std::min(tree_[2 * u].min, tree_[2 * u + 1].min),
                    std::max(tree_[2 * u].max, tree_[2 * u + 1].max)};
    }
}

void PointRing::rescan_block(int block) {
    const Extremes e = scan(block * kBlock, block * kBlock + kBlock - 1);
    tree_[static_cast<std::size_t>(blocks_ + block)] = {e.min, e.max};
}

void PointRing::lift(int block) {
    auto i = static_cast<std::size_t>(blocks_ + block);
    while (i > 1) {
        i >>= 1;
        tree_[i] = {std::min(tree_[2 * i].min, tree_[2 * i + 1].min),
                    std::max(tree_[2 * i].max, tree_[2 * i + 1].max)};
    }
}

PointRing::Extremes PointRing::scan(int first_slot, int last_slot) const {
    Extremes e = kNone;
    const double* y = ys_.data();
    for (int s = first_slot; s <= last_slot; ++s) {
        // Selects rather than branches: gaps are mixed in at random.
        const double v = y[s];
        const bool finite = v - v == 0.0;
        e.min = std::min(e.min, finite ? v : kInf);
        e.max = std::max(e.max, finite ? v : -kInf);
    }
    return e;
}

PointRing::Extremes PointRing::physical_range(int first_slot, int last_slot) const {
    const int bf = first_slot / kBlock;
    const int bl = last_slot / kBlock;
    if (bf == bl) return scan(first_slot, last_slot);
    Extremes e = merged(scan(first_slot, bf * kBlock + kBlock - 1), scan(bl * kBlock, last_slot));
    auto l = static_cast<std::size_t>(blocks_ + bf + 1);
    auto r = static_cast<std::size_t>(blocks_ + bl);  // exclusive
    while (l < r) {
        if (l & 1) {
            e = merged(e, {tree_[l].min, tree_[l].max});
            ++l;
        }
        if (r & 1) {
            --r;
            e = merged(e, {tree_[r].min, tree_[r].max});
        }
        l >>= 1;
        r >>= 1;
    }
    return e;
}

void PointRing::push_run(std::uint8_t color) {
    if (runs_.empty() || runs_.back().color() != color) {
        runs_.push_back(Run::make(first_seq_ + static_cast<std::uint64_t>(size_ - 1), color));
    }
}
