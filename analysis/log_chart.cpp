#include "analysis/log_chart.h"

#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "analysis/time_ticks.h"
#include "chart/axis_ticks.h"

namespace {

constexpr int kGap = 8;
constexpr int kTick = 4;
constexpr qint64 kMinSpan = 2000;  // the closest zoom: two seconds across the plot
const QColor kFaultBand(255, 205, 205);
const QColor kGapBand(215, 215, 215);

QString time_label(const QDateTime& t, qint64 step) {
    if (step < 1000) return t.toString(QStringLiteral("HH:mm:ss.zzz"));
    if (step < 60000) return t.toString(QStringLiteral("HH:mm:ss"));
    return t.toString(QStringLiteral("HH:mm"));
}

// A line into or out of the plot from a sample far beyond its edge is cut at the edge, so
// the painter never sees coordinates millions of pixels away.
void add_clipped(std::vector<QLineF>& out, QPointF a, QPointF b, double left, double right) {
    if ((a.x() < left && b.x() < left) || (a.x() > right && b.x() > right)) return;
    auto at_x = [&](double x) {
        return QPointF(x, a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x()));
    };
    const QPointF from = a.x() < left ? at_x(left) : a;
    const QPointF to = b.x() > right ? at_x(right) : b;
    out.emplace_back(from, to);
}

}  // namespace

struct LogChart::Scale {
    QRect plot;
    qint64 from, to;
    double y_min, y_max;
    AxisTicks y_ticks;
    TimeTicks x_ticks;

    double px(qint64 axis) const {
        return plot.left() + static_cast<double>(axis - from) / static_cast<double>(to - from) *
                                 (plot.width() - 1);
    }
    double py(double v) const {
        return plot.bottom() - (v - y_min) / (y_max - y_min) * (plot.height() - 1);
    }
    qint64 axis_at(double x) const {
        return from +
               static_cast<qint64>(std::llround((x - plot.left()) / std::max(plot.width() - 1, 1) *
                                                static_cast<double>(to - from)));
    }
};

LogChart::LogChart(std::shared_ptr<const LogData> data, QWidget* parent)
    : QWidget(parent), data_(std::move(data)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::WheelFocus);
    show_all();
}

QColor LogChart::trace_color(int trace) {
    switch (trace) {
        case LogData::Measured:
            return QColor(220, 0, 0);
        case LogData::SetPoint:
            return QColor(0, 70, 220);
        default:
            return QColor(0, 140, 0);
    }
}

QString LogChart::trace_name(int trace) {
    switch (trace) {
        case LogData::Measured:
            return QStringLiteral("Naměřená hodnota");
        case LogData::SetPoint:
            return QStringLiteral("Žádaná hodnota");
        default:
            return QStringLiteral("Akční zásah");
    }
}

QString LogChart::fault_band_name() { return QStringLiteral("porucha"); }

QString LogChart::gap_band_name() { return QStringLiteral("bez odpovědi"); }

void LogChart::set_trace_shown(int trace, bool shown) {
    shown_[static_cast<std::size_t>(trace)] = shown;
    update();
    emit view_changed();
}

void LogChart::set_view(qint64 from, qint64 to) {
    if (data_->empty()) return;
    const qint64 lo = data_->axis_ms(0);
    const qint64 hi = std::max(data_->axis_ms(data_->size() - 1), lo + kMinSpan);
    qint64 span = std::clamp(to - from, kMinSpan, hi - lo);
    from = std::clamp(from, lo, hi - span);
    if (from == from_ && from + span == to_) return;
    from_ = from;
    to_ = from + span;
    update();
    emit view_changed();
}

void LogChart::show_all() {
    if (data_->empty()) return;
    set_view(data_->axis_ms(0), data_->axis_ms(data_->size() - 1));
}

void LogChart::zoom_at(int x, double factor) {
    const Scale s = scale(rect());
    const qint64 at = std::clamp(s.axis_at(x), from_, to_);
    const auto from =
        at - static_cast<qint64>(std::llround(static_cast<double>(at - from_) * factor));
    const auto to = at + static_cast<qint64>(std::llround(static_cast<double>(to_ - at) * factor));
    set_view(from, to);
}

void LogChart::pan_pixels(int dx) {
    const Scale s = scale(rect());
    const auto shift = static_cast<qint64>(
        std::llround(static_cast<double>(dx) * static_cast<double>(to_ - from_) /
                     std::max(s.plot.width() - 1, 1)));
    set_view(from_ - shift, to_ - shift);
}

int LogChart::first_visible() const { return data_->lower_bound(from_); }

int LogChart::last_visible() const { return data_->lower_bound(to_ + 1) - 1; }

void LogChart::set_cursor(int which, int index) {
    cursors_[static_cast<std::size_t>(which)] = index < data_->size() ? index : -1;
    update();
    emit cursors_changed();
}

QRect LogChart::plot_rect(const QRect& bounds) const { return scale(bounds).plot; }

int LogChart::sample_at_x(int x) const { return data_->nearest(scale(rect()).axis_at(x)); }

qint64 LogChart::wall_at_axis(qint64 axis) const {
    const int i = data_->nearest(axis);
    return i < 0 ? axis : data_->wall_ms(i) + (axis - data_->axis_ms(i));
}

LogChart::Scale LogChart::scale(const QRect& bounds) const {
    Scale s;
    s.from = from_;
    s.to = std::max(to_, from_ + 1);
    // Values: the shown traces over the visible samples.
    s.y_min = std::numeric_limits<double>::infinity();
    s.y_max = -s.y_min;
    const int a = first_visible() - 1;
    const int b = last_visible() + 1;
    for (int t = 0; t < LogData::kTraces; ++t) {
        if (!trace_shown(t)) continue;
        const LogData::Stats st = data_->stats(t, a, b);
        if (st.count == 0) continue;
        s.y_min = std::min(s.y_min, st.min);
        s.y_max = std::max(s.y_max, st.max);
    }
    if (!(s.y_min <= s.y_max)) {
        s.y_min = 0;
        s.y_max = 1;
    }
    const double pad =
        std::max((s.y_max - s.y_min) * 0.05, std::max(std::abs(s.y_max) * 1e-6, 0.5));
    s.y_min -= pad;
    s.y_max += pad;

    const QFontMetrics fm(font());
    const int fh = fm.height();
    const int top = kGap + fh + 4;                                 // the legend row
    const int bottom = bounds.bottom() - (kTick + 2 * fh + kGap);  // time and date rows
    s.y_ticks = AxisTicks::nice(s.y_min, s.y_max, std::clamp((bottom - top) / (fh * 2), 2, 12), 0);
    const QLocale locale;
    int label_w = 0;
    for (int i = 0; i < s.y_ticks.count; ++i)
        label_w = std::max(label_w, fm.horizontalAdvance(locale.toString(s.y_ticks.value(i), 'f',
                                                                         s.y_ticks.decimals)));
    const int left = bounds.left() + kGap + label_w + 2 + kTick;
    const int right = bounds.right() - kGap - fm.horizontalAdvance(QStringLiteral("00:00")) / 2;
    s.plot = QRect(QPoint(left, bounds.top() + top),
                   QPoint(std::max(right, left + 8), std::max(bottom, top + 8)));
    const int label = fm.horizontalAdvance(QStringLiteral("00:00:00")) + 2 * fh;
    s.x_ticks = TimeTicks::nice(s.from, s.to, std::clamp(s.plot.width() / label, 2, 15));
    return s;
}

void LogChart::build_trace(int trace, const Scale& s, std::vector<QLineF>& out) const {
    out.clear();
    const LogData& d = *data_;
    const int n = d.size();
    const int columns = s.plot.width();
    if (n == 0 || columns <= 0) return;
    // One sample each side of the view so the line runs to the edges.
    int begin = std::max(first_visible() - 1, 0);
    const int stop = std::min(last_visible() + 2, n);
    const double ms_per_px = static_cast<double>(s.to - s.from) / std::max(columns - 1, 1);
    bool have_prev = false;
    QPointF prev;
    auto at = [&](int i) { return QPointF(s.px(d.axis_ms(i)), s.py(d.value(trace, i))); };
    while (begin < stop) {
        // The samples that fall into the pixel column of `begin`.
        // Samples beyond either edge count as the column just outside it.
        const double col = std::clamp(std::floor(s.px(d.axis_ms(begin)) - s.plot.left() + 0.5),
                                      -1.0, static_cast<double>(columns));
        const auto edge = s.from + static_cast<qint64>(std::ceil((col + 0.5) * ms_per_px));
        const int end = std::clamp(d.lower_bound(edge), begin + 1, stop);
        const float first = d.value(trace, begin);
        if (std::isfinite(first)) {
            const QPointF p = at(begin);
            if (have_prev) add_clipped(out, prev, p, s.plot.left() - 1.0, s.plot.right() + 1.0);
            if (end - begin > 1) {
                const LogData::Stats st = d.stats(trace, begin, end - 1);
                const double x = s.plot.left() + col;
                if (st.count > 0 && st.min < st.max)
                    out.emplace_back(QPointF(x, s.py(st.max)), QPointF(x, s.py(st.min)));
            }
            const float last = d.value(trace, end - 1);
            have_prev = std::isfinite(last);
            prev = at(end - 1);
        } else {
            have_prev = false;  // a missing value breaks the line
        }
        begin = end;
    }
}

void LogChart::paint(QPainter& p, const QRect& bounds) const {
    const Scale s = scale(bounds);
    const QFontMetrics fm(font());
    const QLocale locale;
    p.fillRect(bounds, palette().color(QPalette::Button));
    p.fillRect(s.plot, Qt::white);

    // Fault bands under everything else.
    const LogData& d = *data_;
    const int first = first_visible();
    const int last = last_visible();
    const auto bands = [&](const std::vector<std::pair<int, int>>& runs, const QColor& band) {
        auto run =
            std::lower_bound(runs.begin(), runs.end(), first,
                             [](const std::pair<int, int>& r, int i) { return r.second < i; });
        for (; run != runs.end() && run->first <= last + 1; ++run) {
            const double x0 = std::max<double>(s.px(d.axis_ms(run->first)), s.plot.left());
            const int after = std::min(run->second + 1, d.size() - 1);
            const double x1 = std::min<double>(s.px(d.axis_ms(after)), s.plot.right());
            p.fillRect(QRectF(x0, s.plot.top(), std::max(x1 - x0, 1.0), s.plot.height()), band);
        }
    };
    bands(d.fault_runs(), kFaultBand);
    bands(d.gap_runs(), kGapBand);

    // Grid and frame.
    QPen grid(QColor(160, 160, 160), 0, Qt::DotLine);
    p.setPen(grid);
    for (int i = 0; i < s.y_ticks.count; ++i) {
        const double y = std::round(s.py(s.y_ticks.value(i)));
        p.drawLine(QPointF(s.plot.left(), y), QPointF(s.plot.right(), y));
    }
    for (int i = 0; i < s.x_ticks.count; ++i) {
        const double x = std::round(s.px(s.x_ticks.value(i)));
        p.drawLine(QPointF(x, s.plot.top()), QPointF(x, s.plot.bottom()));
    }
    p.setPen(QPen(Qt::black, 0));
    p.drawRect(s.plot.adjusted(0, 0, -1, -1));

    // Traces, clipped to the plot.
    p.save();
    p.setClipRect(s.plot);
    for (int t = LogData::kTraces - 1; t >= 0; --t) {
        if (!trace_shown(t)) continue;
        build_trace(t, s, lines_);
        p.setPen(QPen(trace_color(t), 0));
        p.drawLines(lines_.data(), static_cast<int>(lines_.size()));
    }
    // Cursors.
    for (int c = 0; c < 2; ++c) {
        const int i = cursors_[static_cast<std::size_t>(c)];
        if (i < 0 || i >= d.size()) continue;
        const double x = std::round(s.px(d.axis_ms(i)));
        p.setPen(QPen(c == 0 ? QColor(0, 0, 0) : QColor(140, 0, 160), 0, Qt::DashLine));
        p.drawLine(QPointF(x, s.plot.top()), QPointF(x, s.plot.bottom()));
        p.drawText(QPointF(x + 3, s.plot.top() + fm.ascent() + 2), QString::number(c + 1));
    }
    p.restore();

    // Axis labels.
    p.setPen(Qt::black);
    for (int i = 0; i < s.y_ticks.count; ++i) {
        const double y = s.py(s.y_ticks.value(i));
        const QString text = locale.toString(s.y_ticks.value(i), 'f', s.y_ticks.decimals);
        p.drawLine(QPointF(s.plot.left() - kTick, y), QPointF(s.plot.left() - 1, y));
        p.drawText(QPointF(s.plot.left() - kTick - 2 - fm.horizontalAdvance(text),
                           y + fm.ascent() / 2.0 - 1),
                   text);
    }
    QDate last_date;
    double free_from = -1e9;
    for (int i = 0; i < s.x_ticks.count; ++i) {
        const double x = s.px(s.x_ticks.value(i));
        const QDateTime wall = LogData::to_date_time(wall_at_axis(s.x_ticks.value(i)));
        const QString text = time_label(wall, s.x_ticks.step);
        const int w = fm.horizontalAdvance(text);
        p.drawLine(QPointF(x, s.plot.bottom() + 1), QPointF(x, s.plot.bottom() + kTick));
        if (x - w / 2.0 < free_from) continue;
        const double base = s.plot.bottom() + kTick + fm.ascent() + 1;
        // Centred under the tick, but never past the edges of the chart.
        auto left_of = [&](int width) {
            return std::clamp(x - width / 2.0, bounds.left() + 2.0, bounds.right() - 2.0 - width);
        };
        p.drawText(QPointF(left_of(w), base), text);
        // The date under the first label and wherever the day changes.
        if (wall.date() != last_date) {
            const QString date = locale.toString(wall.date(), QLocale::ShortFormat);
            p.drawText(QPointF(left_of(fm.horizontalAdvance(date)), base + fm.height()), date);
            last_date = wall.date();
            free_from = x + std::max(w, fm.horizontalAdvance(date)) / 2.0 + fm.averageCharWidth();
        } else {
            free_from = x + w / 2.0 + fm.averageCharWidth();
        }
    }

    // Legend: the shown traces in their colours, then the bands the file has.
    double x = s.plot.right();
    const auto band_entry = [&](const QString& name, const QColor& color) {
        x -= fm.horizontalAdvance(name);
        p.setPen(Qt::black);
        p.drawText(QPointF(x, bounds.top() + kGap + fm.ascent()), name);
        x -= fm.height() + 2;
        p.fillRect(QRectF(x, bounds.top() + kGap + 2, fm.height() - 4, fm.height() - 4), color);
        x -= 2 * fm.averageCharWidth();
    };
    if (!d.gap_runs().empty()) band_entry(gap_band_name(), kGapBand);
    if (!d.fault_runs().empty()) band_entry(fault_band_name(), kFaultBand);
    for (int t = LogData::kTraces - 1; t >= 0; --t) {
        if (!trace_shown(t)) continue;
        const QString name = trace_name(t);
        x -= fm.horizontalAdvance(name);
        p.setPen(Qt::black);
        p.drawText(QPointF(x, bounds.top() + kGap + fm.ascent()), name);
        x -= fm.height() + 2;
        p.fillRect(QRectF(x, bounds.top() + kGap + fm.height() / 2.0 - 1, fm.height() - 4, 3),
                   trace_color(t));
        x -= 2 * fm.averageCharWidth();
    }
}

void LogChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paint(p, rect());
}

void LogChart::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0) return;
    zoom_at(static_cast<int>(event->position().x()), std::pow(0.8, steps));
    event->accept();
}

void LogChart::mousePressEvent(QMouseEvent* event) {
    press_ = event->pos();
    press_from_ = from_;
    press_button_ = event->button();
    dragging_ = false;
}

void LogChart::mouseMoveEvent(QMouseEvent* event) {
    if (press_button_ != Qt::LeftButton) return;
    const int dx = event->pos().x() - press_.x();
    if (!dragging_ && std::abs(dx) < 4) return;
    dragging_ = true;
    const Scale s = scale(rect());
    const auto shift = static_cast<qint64>(
        std::llround(static_cast<double>(dx) * static_cast<double>(to_ - from_) /
                     std::max(s.plot.width() - 1, 1)));
    set_view(press_from_ - shift, press_from_ - shift + (to_ - from_));
}

void LogChart::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ && event->button() == press_button_) {
        if (event->button() == Qt::LeftButton) set_cursor(0, sample_at_x(event->pos().x()));
        if (event->button() == Qt::RightButton) set_cursor(1, sample_at_x(event->pos().x()));
    }
    dragging_ = false;
    press_button_ = Qt::NoButton;
}
