#include "chart/axis_ticks.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct TickCase {
    double min;
    double max;
    int target;
    double min_step;
    double step;
    double first;
    double last;
    int decimals;
};

TEST(AxisTicks, PicksRoundStepsInsideTheRange) {
    const TickCase cases[] = {
        {0, 100, 5, 0, 20, 0, 100, 0},
        {1, 201, 10, 1, 20, 20, 200, 0},
        {-0.37, 0.91, 7, 0, 0.2, -0.2, 0.8, 1},
        {1, 4, 10, 1, 1, 1, 4, 0},  // point numbers never get fractional ticks
        {20.01, 20.04, 3, 0, 0.01, 20.01, 20.04, 2},
        {-1500, -1200, 3, 0, 100, -1500, -1200, 0},
        {99901, 100001, 8, 1, 20, 99920, 100000, 0},
    };
    for (const TickCase& c : cases) {
        const AxisTicks t = AxisTicks::nice(c.min, c.max, c.target, c.min_step);
        SCOPED_TRACE(testing::Message() << c.min << ".." << c.max);
        EXPECT_DOUBLE_EQ(t.step, c.step);
        ASSERT_GT(t.count, 0);
        EXPECT_NEAR(t.value(0), c.first, 1e-9);
        EXPECT_NEAR(t.value(t.count - 1), c.last, 1e-9);
        EXPECT_EQ(t.decimals, c.decimals);
    }
}

TEST(AxisTicks, ZeroIsExactlyZero) {
    const AxisTicks t = AxisTicks::nice(-0.3, 0.3, 6, 0);
    bool seen = false;
    for (int i = 0; i < t.count; ++i) seen = seen || t.value(i) == 0.0;
    EXPECT_TRUE(seen);
}

TEST(AxisTicks, ExtremeRangesGiveFewTicksAndNoHang) {
    const double big = std::numeric_limits<double>::max();
    const AxisTicks whole = AxisTicks::nice(-big, big, 8, 0);
    EXPECT_GT(whole.count, 0);
    EXPECT_LE(whole.count, 26);
    // A step far below the values' resolution collapses to one tick instead of many.
    const AxisTicks far = AxisTicks::nice(1e17, 1e17 + 64, 8, 0);
    EXPECT_LE(far.count, 26);
    const AxisTicks tiny = AxisTicks::nice(1e-300, 2e-300, 5, 0);
    EXPECT_GT(tiny.count, 0);
}

}  // namespace
