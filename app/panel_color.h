#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>
#include <cstdint>

#include "platform/color_ref.h"

// Stored colour values of the panels (0x00BBGGRR, or 0x80000000 + a system colour).
constexpr std::uint32_t kYellow = 0x0000FFFF;
constexpr std::uint32_t kRed = 0x000000FF;
constexpr std::uint32_t kButtonFace = 0x8000000F;

// Panels and swatches show a colour as their filled background.

inline void set_panel_color(QWidget* panel, const QColor& color) {
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, color);
    panel->setPalette(p);
    panel->setAutoFillBackground(true);
}

inline QColor panel_color(const QWidget* panel) { return panel->palette().color(QPalette::Window); }
