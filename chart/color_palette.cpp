#include "chart/color_palette.h"

#include <cstdlib>
#include <limits>

std::uint8_t ColorPalette::acquire(QRgb rgb) {
    if (last_ >= 0 && rgbs_[static_cast<std::size_t>(last_)] == rgb) {
        ++uses_[static_cast<std::size_t>(last_)];
        return static_cast<std::uint8_t>(last_);
    }
    int free_slot = -1;
    for (int i = 0; i < size_; ++i) {
        const auto u = static_cast<std::size_t>(i);
        if (rgbs_[u] == rgb) {
            ++uses_[u];
            last_ = i;
            return static_cast<std::uint8_t>(i);
        }
        if (uses_[u] == 0 && free_slot < 0) free_slot = i;
    }
    if (free_slot < 0 && size_ < static_cast<int>(rgbs_.size())) free_slot = size_++;
    if (free_slot < 0) {
        // 256 distinct colours all in use: share the nearest one rather than fail.
        int best = 0;
        int best_distance = std::numeric_limits<int>::max();
        for (int i = 0; i < size_; ++i) {
            const QRgb c = rgbs_[static_cast<std::size_t>(i)];
            const int d = std::abs(qRed(c) - qRed(rgb)) + std::abs(qGreen(c) - qGreen(rgb)) +
                          std::abs(qBlue(c) - qBlue(rgb));
            if (d < best_distance) {
                best_distance = d;
                best = i;
            }
        }
        ++uses_[static_cast<std::size_t>(best)];
        return static_cast<std::uint8_t>(best);
    }
    const auto u = static_cast<std::size_t>(free_slot);
    rgbs_[u] = rgb;
    uses_[u] = 1;
    last_ = free_slot;
    return static_cast<std::uint8_t>(free_slot);
}

void ColorPalette::release(std::uint8_t index) {
    if (uses_[index] > 0) --uses_[index];
}

void ColorPalette::clear() {
    uses_.fill(0);
    size_ = 0;
    last_ = -1;
}
