#pragma once

#include <QRgb>
#include <array>
#include <cstdint>

// The few colours a trend uses, so each point stores one byte instead of a colour.
// Entries are reference counted by the points that use them; an entry no point uses
// any more is recycled, so a long run of pen changes never runs out.
class ColorPalette {
  public:
    // Index for the colour, counted as used once more.
    std::uint8_t acquire(QRgb rgb);
    void release(std::uint8_t index);
    QRgb rgb(std::uint8_t index) const { return rgbs_[index]; }
    void clear();

  private:
    std::array<QRgb, 256> rgbs_{};
    std::array<std::uint32_t, 256> uses_{};
    int size_ = 0;
    int last_ = -1;  // the pen rarely changes: remember the last hit
};
