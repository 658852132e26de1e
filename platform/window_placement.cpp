#include "platform/window_placement.h"

#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace placement {

int clamp_coordinate(std::int32_t stored) {
    return std::clamp<std::int32_t>(stored, -kMaxCoordinate, kMaxCoordinate);
}

int clamp_extent(std::int32_t stored) { return std::clamp<std::int32_t>(stored, 1, kMaxExtent); }

QRect fit_into(const QRect& frame, const QRect& available) {
    if (available.isEmpty() || available.contains(frame)) return frame;
    const int w = std::min(frame.width(), available.width());
    const int h = std::min(frame.height(), available.height());
    const int x = std::clamp(frame.x(), available.x(), available.x() + available.width() - w);
    const int y = std::clamp(frame.y(), available.y(), available.y() + available.height() - h);
    return {x, y, w, h};
}

QScreen* screen_of(const QRect& frame) {
    if (QScreen* s = QGuiApplication::screenAt(frame.center())) return s;
    QScreen* best = nullptr;
    qint64 best_area = 0;
    for (QScreen* s : QGuiApplication::screens()) {
        const QRect common = s->geometry().intersected(frame);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > best_area) {
            best = s;
            best_area = area;
        }
    }
    return best;
}

QRect frame_of(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    if (frame != window.geometry()) return frame;
    const int title = window.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return frame.adjusted(0, 0, 0, title);
}

namespace {

// Puts a window whose frame is `frame` so that its frame becomes `target`.
void place(QWidget& window, const QRect& frame, const QRect& target) {
    if (target == frame) return;
    if (target.size() != frame.size())
        window.resize(window.size() - (frame.size() - target.size()));
    window.move(target.topLeft());
}

QRect available_for(const QRect& frame) {
    QScreen* s = screen_of(frame);
    if (!s) s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect();
}

// The frame as the platform reports it. The native window is asked first: the widget
// keeps a copy of the frame's margins that it renews only when it moves.
QRect reported_frame(const QWidget& window) {
    const QWindow* native = window.windowHandle();
    return native ? native->frameGeometry() : window.frameGeometry();
}

// The margins the frame adds around the window, when the platform knows them.
bool known_margins(const QWidget& window, QMargins* margins) {
    const QWindow* native = window.windowHandle();
    const QRect f = reported_frame(window);
    const QRect g = native ? native->geometry() : window.geometry();
    if (f == g) return false;
    *margins = QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(),
                        f.bottom() - g.bottom());
    return true;
}

// Keeps one top-level window placed by its frame over its showings. On each showing
// the window goes where its frame should be, with the frame as well as it can be
// guessed; once the window manager has framed it (its first exposure), the frame it
// reports is used to place it again, which moves it only if the guess was wrong.
class FramePlacement : public QObject {
  public:
    FramePlacement(QWidget& window, bool centre)
        : QObject(&window), window_(window), centre_(centre) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        // The window manager's own hiding and showing (minimising) changes nothing here.
        if (event->spontaneous() && event->type() != QEvent::Expose) return false;
        if (watched == &window_) {
            if (event->type() == QEvent::Show)
                shown();
            else if (event->type() == QEvent::Hide)
                hidden();
        } else if (watched == handle_ && event->type() == QEvent::Expose && pending_ &&
                   window_.isVisible()) {
            pending_ = false;
            framed();
        }
        return false;
    }

  private:
    void shown() {
        if (QWindow* handle = window_.windowHandle(); handle != handle_) {
            // A new native window (the widget was given another parent).
            if (handle_) handle_->removeEventFilter(this);
            handle_ = handle;
            if (handle_) handle_->installEventFilter(this);
        }
        centring_ = !shown_before_ && centre_;
        // A window that nobody moved goes where the window manager puts it.
        free_ = !shown_before_ && !centring_ && !window_.testAttribute(Qt::WA_Moved);
        if (!shown_before_) target_ = window_.pos();
        shown_before_ = true;
        pending_ = true;
        if (!free_) apply(margins());
    }

    void hidden() {
        // A frame not reported yet (hidden before the window manager framed it) leaves
        // the aim as it was.
        QMargins m;
        if (known_margins(window_, &m)) {
            target_ = reported_frame(window_).topLeft();
            last_margins_ = m;
            have_margins_ = true;
        }
        pending_ = false;
    }

    void framed() {
        QMargins m;
        if (!known_margins(window_, &m)) return;  // no window manager: no frame
        last_margins_ = m;
        have_margins_ = true;
        if (free_) target_ = reported_frame(window_).topLeft();
        apply(m);
    }

    // What the frame adds around the window: the window manager's figures when it
    // reports them, else those it gave this window before, else those of the window
    // that owns it, else a title bar of the style's height.
    QMargins margins() const {
        QMargins m;
        if (known_margins(window_, &m)) return m;
        if (have_margins_) return last_margins_;
        if (const QWidget* owner = window_.parentWidget())
            if (known_margins(*owner->window(), &m)) return m;
        return {0, window_.style()->pixelMetric(QStyle::PM_TitleBarHeight), 0, 0};
    }

    void apply(const QMargins& m) {
        // A maximised or full-screen window is where the window manager keeps it.
        if (window_.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return;
        QRect frame(target_, window_.size().grownBy(m));
        if (centring_) {
            const QWidget* owner =
                window_.parentWidget() ? window_.parentWidget()->window() : nullptr;
            QScreen* s = owner ? owner->screen() : window_.screen();
            if (!s) s = QGuiApplication::primaryScreen();
            if (s) frame.moveCenter(s->availableGeometry().center());
            target_ = frame.topLeft();
        } else if (!screen_of(frame)) {
            // Entirely off every screen (a monitor that is gone): to the primary screen.
            if (QScreen* primary = QGuiApplication::primaryScreen())
                frame.moveTopLeft(primary->availableGeometry().topLeft());
        }
        const QRect client = fit_into(frame, available_for(frame)).marginsRemoved(m);
        if (client != window_.geometry()) window_.setGeometry(client);
    }

    QWidget& window_;
    const bool centre_;
    QPointer<QWindow> handle_;
    bool shown_before_ = false;
    bool centring_ = false;  // this showing is centred
    bool free_ = false;      // this showing is where the window manager put it
    bool pending_ = false;   // shown, and not yet placed with the reported frame
    QPoint target_;          // where the frame's top-left corner goes
    QMargins last_margins_;
    bool have_margins_ = false;
};

}  // namespace

void keep_inside_screen(QWidget& window) {
    const QRect frame = frame_of(window);
    QRect target = frame;
    if (!screen_of(frame)) {
        // Entirely off every screen (a monitor that is gone): to the primary screen.
        if (QScreen* primary = QGuiApplication::primaryScreen())
            target.moveTopLeft(primary->availableGeometry().topLeft());
    }
    place(window, frame, fit_into(target, available_for(target)));
}

void keep_dialog_placement(QDialog& dialog, bool centre_on_screen) {
    dialog.installEventFilter(new FramePlacement(dialog, centre_on_screen));
}

void keep_window_placement(QWidget& window) {
    window.installEventFilter(new FramePlacement(window, false));
}

}  // namespace placement
