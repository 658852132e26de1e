#pragma once

#include <QColor>
#include <QLineF>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "analysis/log_data.h"

// The three traces of a recorded log over wall-clock time, with fault and gap bands and two
// cursors. Each pixel column draws the lowest and highest value of the samples it
// covers, taken from the data's range blocks, so a repaint follows the width of the
// plot, not the number of samples. Wheel zooms round the mouse, a drag pans, a click
// puts cursor 1 (left button) or cursor 2 (right button) on the nearest sample.
class LogChart : public QWidget {
    Q_OBJECT
  public:
    explicit LogChart(std::shared_ptr<const LogData> data, QWidget* parent = nullptr);

    const LogData& data() const { return *data_; }

    void set_trace_shown(int trace, bool shown);
    bool trace_shown(int trace) const { return shown_[static_cast<std::size_t>(trace)]; }
    static QColor trace_color(int trace);
    static QString trace_name(int trace);
    // The bands: fault lines, and lines without an answer (gaps in the traces).
    static QString fault_band_name();
    static QString gap_band_name();

    // The visible span on the axis, in axis milliseconds.
    qint64 view_from() const { return from_; }
    qint64 view_to() const { return to_; }
    void set_view(qint64 from, qint64 to);
    void show_all();
    // Zooms by `factor` (< 1 in) round the axis position under pixel column x.
    void zoom_at(int x, double factor);
    void pan_pixels(int dx);
    // Samples inside the view, first and last (last < first when none).
    int first_visible() const;
    int last_visible() const;

    // Cursor 0 or 1: the sample index, or -1.
    int cursor(int which) const { return cursors_[static_cast<std::size_t>(which)]; }
    void set_cursor(int which, int index);

    // The plot area inside the axes at the current size, and the sample under a column.
    QRect plot_rect(const QRect& bounds) const;
    int sample_at_x(int x) const;

    // Paints the whole chart into any device (widget, image, SVG).
    void paint(QPainter& p, const QRect& bounds) const;

    QSize sizeHint() const override { return {900, 420}; }

  signals:
    void view_changed();
    void cursors_changed();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    struct Scale;
    Scale scale(const QRect& bounds) const;
    void build_trace(int trace, const Scale& s, std::vector<QLineF>& out) const;
    qint64 wall_at_axis(qint64 axis) const;

    std::shared_ptr<const LogData> data_;
    std::array<bool, LogData::kTraces> shown_{{true, true, true}};
    std::array<int, 2> cursors_{{-1, -1}};
    qint64 from_ = 0;
    qint64 to_ = 1;
    QPoint press_;
    qint64 press_from_ = 0;
    bool dragging_ = false;
    Qt::MouseButton press_button_ = Qt::NoButton;
    mutable std::vector<QLineF> lines_;  // reused between repaints
};
