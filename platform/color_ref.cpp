#include "platform/color_ref.h"

#include <QGuiApplication>
#include <QPalette>
#include <iterator>

QColor color_from_ref(std::uint32_t ref) {
    if ((ref & 0xFF000000u) != 0x80000000u) {
        return QColor(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF),
                      static_cast<int>((ref >> 16) & 0xFF));
    }
    // System colour indices as stored in the settings, mapped to the nearest palette role.
    struct Role {
        QPalette::ColorGroup group;
        QPalette::ColorRole role;
    };
    constexpr QPalette::ColorGroup A = QPalette::Active;
    constexpr QPalette::ColorGroup D = QPalette::Disabled;
    static const Role roles[] = {
        {A, QPalette::Button},           // 0 scroll bar
        {A, QPalette::Dark},             // 1 desktop
        {A, QPalette::Highlight},        // 2 active caption
        {A, QPalette::Mid},              // 3 inactive caption
        {A, QPalette::Window},           // 4 menu
        {A, QPalette::Base},             // 5 window
        {A, QPalette::Shadow},           // 6 window frame
        {A, QPalette::WindowText},       // 7 menu text
        {A, QPalette::Text},             // 8 window text
        {A, QPalette::HighlightedText},  // 9 caption text
        {A, QPalette::Window},           // 10 active border
        {A, QPalette::Window},           // 11 inactive border
        {A, QPalette::Dark},             // 12 application workspace
        {A, QPalette::Highlight},        // 13 highlight
        {A, QPalette::HighlightedText},  // 14 highlighted text
        {A, QPalette::Button},           // 15 button face
        {A, QPalette::Dark},             // 16 button shadow
        {D, QPalette::Text},             // 17 grey text
        {A, QPalette::ButtonText},       // 18 button text
        {D, QPalette::WindowText},       // 19 inactive caption text
        {A, QPalette::Light},            // 20 button highlight
        {A, QPalette::Shadow},           // 21 dark shadow
        {A, QPalette::Midlight},         // 22 light
        {A, QPalette::ToolTipText},      // 23 tooltip text
        {A, QPalette::ToolTipBase},      // 24 tooltip background
        {A, QPalette::Window},           // 25 unused
        {A, QPalette::Link},             // 26 hot-tracked item
        {A, QPalette::Highlight},        // 27 active caption gradient
        {A, QPalette::Mid},              // 28 inactive caption gradient
        {A, QPalette::Highlight},        // 29 menu highlight
        {A, QPalette::Window},           // 30 menu bar
    };
    const std::uint32_t index = ref & 0x00FFFFFFu;
    const QPalette palette = QGuiApplication::palette();
    if (index >= std::size(roles)) return palette.color(QPalette::Active, QPalette::Window);
    return palette.color(roles[index].group, roles[index].role);
}

std::uint32_t color_to_ref(const QColor& c) {
    const QColor rgb = c.toRgb();
    return static_cast<std::uint32_t>(rgb.red()) | static_cast<std::uint32_t>(rgb.green()) << 8 |
           static_cast<std::uint32_t>(rgb.blue()) << 16;
}
