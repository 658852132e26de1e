#include "chart/point_ring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <random>
#include <utility>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Model {
    double x;
    double y;
    std::uint8_t color;
};

PointRing::Extremes brute_extremes(const std::deque<Model>& m, int first, int last) {
    PointRing::Extremes e{kInf, -kInf};
    for (int i = first; i <= last; ++i) {
        const double v = m[static_cast<std::size_t>(i)].y;
        if (std::isfinite(v)) {
            e.min = std::min(e.min, v);
            e.max = std::max(e.max, v);
        }
    }
    return e;
}

void expect_same(const PointRing& ring, const std::deque<Model>& model, std::mt19937& rng) {
    ASSERT_EQ(ring.size(), static_cast<int>(model.size()));
    for (int i = 0; i < ring.size(); ++i) {
        const Model& m = model[static_cast<std::size_t>(i)];
        ASSERT_EQ(ring.x(i), m.x);
        ASSERT_TRUE(ring.y(i) == m.y || (std::isnan(ring.y(i)) && std::isnan(m.y)));
        ASSERT_EQ(ring.color(i), m.color);
    }
    if (model.empty()) return;
    std::uniform_int_distribution<int> pick(0, ring.size() - 1);
    for (int k = 0; k < 20; ++k) {
        int a = pick(rng);
        int b = pick(rng);
        if (a > b) std::swap(a, b);
        const PointRing::Extremes want = brute_extremes(model, a, b);
        const PointRing::Extremes got = ring.extremes(a, b);
        ASSERT_EQ(got.empty(), want.empty()) << a << ".." << b;
        if (!want.empty()) {
            ASSERT_EQ(got.min, want.min) << a << ".." << b;
            ASSERT_EQ(got.max, want.max) << a << ".." << b;
        }
    }
    const PointRing::Extremes all = ring.extremes_all();
    const PointRing::Extremes want_all = brute_extremes(model, 0, ring.size() - 1);
    ASSERT_EQ(all.empty(), want_all.empty());
    if (!want_all.empty()) {
        ASSERT_EQ(all.min, want_all.min);
        ASSERT_EQ(all.max, want_all.max);
    }
    // Colour runs cover every point with its own colour and break where it changes.
    for (int i = 0; i < ring.size(); ++i) {
        const int run = ring.run_of(i);
        ASSERT_EQ(ring.run_color(run), model[static_cast<std::size_t>(i)].color) << i;
        ASSERT_LE(ring.run_first(run), i);
        ASSERT_GE(ring.run_last(run), i);
    }
}

// Random appends and removals at the front, with gaps, through wrap-round and growth,
// against a plain deque.
TEST(PointRing, MatchesAPlainDequeThroughAppendsRemovalsAndGrowth) {
    std::mt19937 rng(20);
    std::uniform_real_distribution<double> value(-50, 50);
    std::uniform_int_distribution<int> dice(0, 99);
    PointRing ring;
    std::deque<Model> model;
    double x = 0;
    std::uint8_t color = 0;
    for (int step = 0; step < 4000; ++step) {
        const int d = dice(rng);
        if (d < 35 && !model.empty()) {
            EXPECT_EQ(ring.pop_front(), model.front().color);
            model.pop_front();
        } else {
            if (d > 95) ++color;
            double y = value(rng);
            if (d == 60) y = kNaN;
            if (d == 61) y = kInf;
            if (d == 62) y = -kInf;
            x += 1;
            ring.push_back(x, y, color);
            model.push_back({x, y, color});
        }
        if (step % 97 == 0) expect_same(ring, model, rng);
        if (HasFatalFailure()) return;
    }
    expect_same(ring, model, rng);
}

TEST(PointRing, SteadyAppendAndRemoveKeepsTheNewestPoints) {
    PointRing ring;
    for (int i = 1; i <= 201; ++i) ring.push_back(i, i * 0.5, 0);
    for (int i = 202; i <= 5000; ++i) {
        ring.pop_front();
        ring.push_back(i, i * 0.5, static_cast<std::uint8_t>(i / 1000));
    }
    ASSERT_EQ(ring.size(), 201);
    EXPECT_EQ(ring.x(0), 4800);
    EXPECT_EQ(ring.x(200), 5000);
    EXPECT_EQ(ring.extremes_all().min, 2400);
    EXPECT_EQ(ring.extremes_all().max, 2500);
    EXPECT_EQ(ring.color(0), 4);
    EXPECT_EQ(ring.color(200), 5);
}

// A ring that has wrapped, with one high and one low point put at every index in turn:
// ranges across the wrap find them, whichever slot holds them, the last one too.
TEST(PointRing, RangesAcrossTheWrapFindAnExtremeInAnySlot) {
    constexpr int kSize = 4 * PointRing::kBlock;  // fills the first allocation; 10 more wrap
    for (int spike = 0; spike < kSize; ++spike) {
        for (double value : {100.0, -100.0}) {
            PointRing ring;
            for (int seq = 0; seq < kSize + 10; ++seq) {
                if (ring.size() == kSize) ring.pop_front();
                ring.push_back(seq, seq == spike + 10 ? value : 0.0, 0);
            }
            ASSERT_EQ(ring.x(0), 10);
            for (const auto& [first, last] :
                 {std::pair{0, kSize - 1}, std::pair{std::max(spike - 1, 0), kSize - 1}}) {
                const PointRing::Extremes e = ring.extremes(first, last);
                EXPECT_EQ(value > 0 ? e.max : e.min, value)
                    << spike << ": " << first << ".." << last;
            }
        }
    }
}

TEST(PointRing, GapsOnlyRangeHasNoExtremes) {
    PointRing ring;
    ring.push_back(1, kNaN, 0);
    ring.push_back(2, kInf, 0);
    ring.push_back(3, -kInf, 0);
    EXPECT_TRUE(ring.extremes(0, 2).empty());
    EXPECT_TRUE(ring.extremes_all().empty());
    ring.push_back(4, 7, 0);
    EXPECT_EQ(ring.extremes_all().min, 7);
    EXPECT_EQ(ring.extremes_all().max, 7);
}

TEST(PointRing, RemovingTheExtremeUpdatesTheTotal) {
    PointRing ring;
    ring.push_back(1, 1000, 0);
    for (int i = 2; i < 100; ++i) ring.push_back(i, i, 0);
    EXPECT_EQ(ring.extremes_all().max, 1000);
    ring.pop_front();
    EXPECT_EQ(ring.extremes_all().max, 99);
    EXPECT_EQ(ring.extremes_all().min, 2);
}

TEST(PointRing, InsertKeepsTheOtherPointsInOrder) {
    PointRing ring;
    for (int i = 0; i < 40; ++i) ring.push_back(i * 2, i, 1);
    ring.pop_front();
    ring.insert(10, 20.5, -3, 2);
    ASSERT_EQ(ring.size(), 40);
    EXPECT_EQ(ring.x(9), 20);
    EXPECT_EQ(ring.x(10), 20.5);
    EXPECT_EQ(ring.x(11), 22);
    EXPECT_EQ(ring.extremes_all().min, -3);
    EXPECT_EQ(ring.color(ring.run_first(ring.run_of(10))), 2);
    EXPECT_EQ(ring.run_last(ring.run_of(10)), 10);
}

TEST(PointRing, LowerBoundFindsTheFirstPointAtOrPastX) {
    PointRing ring;
    for (int i = 1; i <= 100; ++i) ring.push_back(i, 0, 0);
    for (int i = 0; i < 30; ++i) ring.pop_front();
    EXPECT_EQ(ring.lower_bound_x(0, 0), 0);
    EXPECT_EQ(ring.lower_bound_x(31, 0), 0);
    EXPECT_EQ(ring.lower_bound_x(50.5, 0), 20);
    EXPECT_EQ(ring.lower_bound_x(50, 25), 25);
    EXPECT_EQ(ring.lower_bound_x(1000, 0), 70);
}

TEST(PointRing, ClearReleasesEverything) {
    PointRing ring;
    for (int i = 0; i < 1000; ++i) ring.push_back(i, i, 0);
    ring.clear();
    EXPECT_EQ(ring.size(), 0);
    EXPECT_EQ(ring.memory_bytes(), 0u);
    EXPECT_TRUE(ring.extremes_all().empty());
    EXPECT_EQ(ring.pop_front(), 0);  // harmless when empty
}

TEST(PointRing, LongSeriesStaysWithinThirtyTwoBytesPerPoint) {
    for (int n : {1000, 10000, 100001}) {
        PointRing ring;
        for (int i = 0; i < n; ++i) ring.push_back(i, i % 7, 0);
        EXPECT_LE(static_cast<double>(ring.memory_bytes()) / n, 32.0) << n;
    }
}

}  // namespace
