#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

// Panels and swatches show a colour as their filled background.
inline void set_panel_color(QWidget* panel, const QColor& color) {
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, color);
    panel->setPalette(p);
    panel->setAutoFillBackground(true);
}

inline QColor panel_color(const QWidget* panel) { return panel->palette().color(QPalette::Window); }
