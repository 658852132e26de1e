#include "platform/window_placement.h"

#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
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

class DialogPlacement : public QObject {
  public:
    DialogPlacement(QDialog& dialog, bool centre) : QObject(&dialog), centre_(centre) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        // A QWidget, not a QDialog: the dialog's destructor hides it once more.
        auto* dialog = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show) {
            // Moving before the dialog's own show handler also keeps the framework from
            // placing it anew over its parent.
            if (shown_before_)
                dialog->move(last_pos_);
            else if (centre_)
                centre(*dialog);
            keep_inside_screen(*dialog);
        } else if (event->type() == QEvent::Hide) {
            last_pos_ = dialog->pos();
            shown_before_ = true;
        }
        return false;
    }

  private:
    static void centre(QWidget& dialog) {
        const QWidget* owner = dialog.parentWidget() ? dialog.parentWidget()->window() : nullptr;
        QScreen* s = owner ? owner->screen() : nullptr;
        if (!s) s = QGuiApplication::primaryScreen();
        if (!s) return;
        QRect frame = frame_of(dialog);
        frame.moveCenter(s->availableGeometry().center());
        dialog.move(frame.topLeft());
    }

    bool centre_;
    bool shown_before_ = false;
    QPoint last_pos_;
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
    dialog.installEventFilter(new DialogPlacement(dialog, centre_on_screen));
}

}  // namespace placement
