#pragma once

#include <QRect>
#include <cstdint>

class QDialog;
class QScreen;
class QWidget;

// Where top-level windows go on the screens. Windows are placed by their frames: a
// position is where the frame's top-left corner goes, and the whole frame is kept
// inside the screen's free area.
namespace placement {

// Stored placement values are clamped to these before any geometry arithmetic, so
// that no sum of a position and a size can overflow.
constexpr int kMaxCoordinate = 1 << 20;
constexpr int kMaxExtent = 1 << 16;
int clamp_coordinate(std::int32_t stored);
int clamp_extent(std::int32_t stored);

// The frame moved, and only when it is larger shrunk, so that it lies inside
// `available`; a frame that fits comes back unchanged.
QRect fit_into(const QRect& frame, const QRect& available);

// The screen a frame is on: the one holding its centre, else the one it overlaps most;
// null when it is on none.
QScreen* screen_of(const QRect& frame);

// The window's frame; where the platform does not know it yet (before the first
// showing), a title bar of the style's height is assumed above the window.
QRect frame_of(const QWidget& window);

// Moves (and if need be shrinks) a top-level window so that its whole frame is inside
// its screen's available area. A window on no screen goes to the primary one.
void keep_inside_screen(QWidget& window);

// A dialog shown again appears where its frame was when it was last hidden; its first
// showing is centred on the screen when asked, else where the framework puts it.
// Every showing is kept inside the screen. The frame is estimated until the window
// manager has framed the dialog, and the placement is made again with the frame it
// reports.
void keep_dialog_placement(QDialog& dialog, bool centre_on_screen);

// The same for a top-level window that is not a dialog: each showing puts its frame
// where the window's position says (or, for a window never moved, where the window
// manager put it) and keeps it inside the screen, again once the real frame is known.
void keep_window_placement(QWidget& window);

}  // namespace placement
