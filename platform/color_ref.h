#pragma once

#include <QColor>
#include <cstdint>

// Colours as the settings keep them: 0x00BBGGRR, or 0x80000000 + a system colour index.
QColor color_from_ref(std::uint32_t ref);
// The 0x00BBGGRR value of an RGB colour.
std::uint32_t color_to_ref(const QColor& c);
