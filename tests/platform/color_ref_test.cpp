#include "platform/color_ref.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>

namespace {

TEST(ColorRef, MapsRgbAndSystemColours) {
    EXPECT_EQ(color_from_ref(0x000000FF), QColor(255, 0, 0));
    EXPECT_EQ(color_from_ref(0x00FF0000), QColor(0, 0, 255));
    EXPECT_EQ(color_from_ref(0x00336699), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(color_from_ref(0x8000000F), QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(color_from_ref(0x80000005), QApplication::palette().color(QPalette::Base));
    EXPECT_TRUE(color_from_ref(0x800000FF).isValid());  // unknown index: still a colour
    for (std::uint32_t ref : {0x00000000u, 0x00FFFFFFu, 0x00336699u, 0x000080FFu}) {
        EXPECT_EQ(color_to_ref(color_from_ref(ref)), ref);
    }
}

}  // namespace
