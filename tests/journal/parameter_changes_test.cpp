#include "journal/parameter_changes.h"

#include <gtest/gtest.h>

namespace {

TEST(ParameterChanges, RecordsOnlyWhatDiffersFromTheControllersKnownValues) {
    DeviceData known;
    known.pid.PB = 1.5f;
    known.pid.INT = 100;
    known.pid.DER = 1;
    ParameterChanges c;

    DeviceData now = known;
    now.pid.PB = 2;
    now.pid.TUNE = 1;
    // Nothing known yet: every field, old left empty.
    auto first = c.changes(1, 3, now);
    ASSERT_EQ(first.size(), 4u);
    EXPECT_TRUE(first[0].old_value.isEmpty());

    c.known(1, 3, known);
    const auto changes = c.changes(1, 3, now);
    const std::vector<FieldChange> expected{{3, "PB", "1.5", "2"}, {3, "TUNE", "0", "1"}};
    EXPECT_EQ(changes, expected);
    // Another address and another table know nothing of it.
    EXPECT_EQ(c.changes(2, 3, now).size(), 4u);
    EXPECT_FALSE(c.knows(1, 0));
    c.known(1, 3, now);
    EXPECT_TRUE(c.changes(1, 3, now).empty());
    c.forget(1);
    EXPECT_FALSE(c.knows(1, 3));
    EXPECT_EQ(changes_text(expected), QStringLiteral("PB 1.5 → 2; TUNE 0 → 1"));
    EXPECT_EQ(changes_from_json(changes_json(expected)), expected);
}

TEST(ParameterChanges, NamesFieldsAsTheControllerDoes) {
    DeviceData d;
    d.daco.A_IN = 1;
    const auto f = ParameterChanges::fields(5, d);
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[0].first, QStringLiteral("A-IN"));
    EXPECT_EQ(f[0].second, QStringLiteral("1"));
}

}  // namespace
