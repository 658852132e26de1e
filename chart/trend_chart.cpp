#include "chart/trend_chart.h"

#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QPalette>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "chart/axis_ticks.h"
#include "chart/color_palette.h"
#include "chart/point_ring.h"
#include "chart/ribbon_sweep.h"
#include "chart/trace_decimator.h"

namespace {

constexpr int kOuterGap = 8;
constexpr int kTickLength = 4;
constexpr int kLegendPad = 4;
constexpr QRgb kSeriesColor = 0xffff0000;  // red, for points added without a colour

// Up to three decimals, trailing zeros dropped: "20", "20,5", "20,125".
QString value_text(const QLocale& locale, double v) {
    if (!(std::abs(v) < 1e15)) return locale.toString(v, 'g', 10);
    QString text = locale.toString(v, 'f', 3);
    const QString point = locale.decimalPoint();
    if (text.contains(point)) {
        while (text.endsWith(locale.zeroDigit())) text.chop(1);
        if (text.endsWith(point)) text.chop(point.size());
    }
    return text;
}

// Fixed decimals read best on an axis; very large values switch to an exponent.
QString tick_text(const QLocale& locale, double v, int decimals) {
    return std::abs(v) < 1e10 ? locale.toString(v, 'f', decimals) : locale.toString(v, 'g', 6);
}

// A value range the axes can map onto: finite and not empty.
void make_usable(double& lo, double& hi) {
    if (lo < hi) return;
    const double d = std::max(1.0, std::abs(lo) * 1e-6);
    const double max = std::numeric_limits<double>::max();
    const double v = lo;
    lo = v - d;
    hi = v + d;
    if (!std::isfinite(hi) || hi > max) {
        hi = v;
        lo = v - 2 * d;
    }
    if (!std::isfinite(lo) || lo < -max) {
        lo = v;
        hi = v + 2 * d;
    }
}

}  // namespace

struct TrendChart::Impl {
    PointRing points;
    ColorPalette palette;
    int legend_rows = 0;  // 0: as many as fit
    int legend_first = 0;
    bool view_3d = true;
    int percent_3d = 15;
    QColor back = Qt::white;
    QColor panel;
    mutable int legend_text_width = 0;  // only grows, so the plot does not jitter

    // Reused between frames so painting does not allocate.
    std::vector<TraceLine> lines;
    std::vector<TraceLine> edges;
    RibbonSweep sweep;
    std::vector<RibbonSweep::Span> spans;
    std::vector<QLineF> batch;
};

struct TrendChart::Layout {
    bool valid = false;
    QRect plot;   // inside the axes, depth included
    QRect front;  // the plane the values map onto
    int dx = 0;
    int dy = 0;
    QRect legend;
    int legend_rows = 0;  // rows painted
    int row_height = 0;
    double x_min = 0, x_max = 1, y_min = 0, y_max = 1;
    AxisTicks x_ticks;
    AxisTicks y_ticks;

    double px(double x) const {
        return front.left() + (x - x_min) / (x_max - x_min) * std::max(front.width() - 1, 1);
    }
    double py(double y) const {
        return front.bottom() -
               (y / 2 - y_min / 2) / (y_max / 2 - y_min / 2) * std::max(front.height() - 1, 0);
    }
};

TrendChart::TrendChart(QWidget* parent) : QWidget(parent), d_(std::make_unique<Impl>()) {
    d_->panel = palette().color(QPalette::Button);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TrendChart::~TrendChart() = default;

void TrendChart::add_point(double x, double y, const QString& /*label*/, const QColor& color) {
    PointRing& pts = d_->points;
    const int n = pts.size();
    // x must stay ordered for the pixel-column search; a missing x continues the last one.
    if (!std::isfinite(x)) x = n > 0 ? pts.x(n - 1) : 0.0;
    const std::uint8_t c = d_->palette.acquire(color.isValid() ? color.rgb() : kSeriesColor);
    if (n == 0 || x >= pts.x(n - 1)) {
        pts.push_back(x, y, c);
    } else {
        // Out of order: keep x ascending, after any equal x (rare, costs a copy).
        int lo = 0;
        int hi = n;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (pts.x(mid) <= x) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        pts.insert(lo, x, y, c);
    }
    update();
}

int TrendChart::point_count() const { return d_->points.size(); }

void TrendChart::delete_first() {
    if (d_->points.empty()) return;
    d_->palette.release(d_->points.pop_front());
    update();
}

void TrendChart::clear() {
    d_->points.clear();
    d_->palette.clear();
    // A fresh series is listed from its start, whatever the old one scrolled to.
    d_->legend_first = 0;
    d_->legend_text_width = 0;
    update();
}

double TrendChart::x_at(int index) const {
    return index >= 0 && index < d_->points.size() ? d_->points.x(index) : 0.0;
}

double TrendChart::y_at(int index) const {
    return index >= 0 && index < d_->points.size() ? d_->points.y(index) : 0.0;
}

QColor TrendChart::color_at(int index) const {
    if (index < 0 || index >= d_->points.size()) return {};
    return QColor::fromRgb(d_->palette.rgb(d_->points.color(index)));
}

int TrendChart::legend_rows_fitting() const {
    const QFontMetrics fm(font());
    const int row = fm.height() + 2;
    const int top = fm.height() / 2 + kOuterGap;
    return std::max(0, (height() - top - kOuterGap - 2 * kLegendPad) / row);
}

int TrendChart::legend_visible_rows() const {
    return d_->legend_rows > 0 ? d_->legend_rows : legend_rows_fitting();
}

void TrendChart::set_legend_visible_rows(int rows) {
    d_->legend_rows = std::max(rows, 0);
    update();
}

int TrendChart::legend_first_value() const { return d_->legend_first; }

void TrendChart::set_legend_first_value(int index) {
    d_->legend_first = std::max(index, 0);
    update();
}

int TrendChart::legend_index_at_row(int row) const {
    const int rows = std::min(legend_visible_rows(), legend_rows_fitting());
    const int last = std::min(d_->legend_first + legend_visible_rows(), d_->points.size()) - 1;
    // Newest at the top: row 0 lists the highest index of the listed range.
    const int index = last - row;
    if (row < 0 || row >= rows || index < d_->legend_first) return -1;
    return index;
}

void TrendChart::set_view_3d(bool on) {
    d_->view_3d = on;
    update();
}

bool TrendChart::view_3d() const { return d_->view_3d; }

void TrendChart::set_percent_3d(int percent) {
    d_->percent_3d = std::clamp(percent, 1, 100);
    update();
}

int TrendChart::percent_3d() const { return d_->percent_3d; }

void TrendChart::set_back_color(const QColor& c) {
    d_->back = c;
    update();
}

QColor TrendChart::back_color() const { return d_->back; }

void TrendChart::set_panel_color(const QColor& c) {
    d_->panel = c;
    update();
}

QColor TrendChart::panel_color() const { return d_->panel; }

QPointF TrendChart::map_to_pixel(double x, double y) const {
    const Layout l = layout();
    return {l.px(x), l.py(y)};
}

std::size_t TrendChart::series_memory_bytes() const { return d_->points.memory_bytes(); }

QSize TrendChart::sizeHint() const { return {400, 250}; }

TrendChart::Layout TrendChart::layout() const {
    Layout l;
    const PointRing& pts = d_->points;
    const int n = pts.size();
    const QFontMetrics fm(font());
    const QLocale locale;
    const int fh = fm.height();

    if (n > 0) {
        l.x_min = pts.x(0);
        l.x_max = pts.x(n - 1);
        const PointRing::Extremes e = pts.extremes_all();
        if (!e.empty()) {
            l.y_min = e.min;
            l.y_max = e.max;
        }
    }
    make_usable(l.x_min, l.x_max);
    make_usable(l.y_min, l.y_max);

    const int top = fh / 2 + kOuterGap;
    const int bottom = height() - (kTickLength + fh + kOuterGap);
    if (bottom - top < 8) return l;

    l.y_ticks = AxisTicks::nice(l.y_min, l.y_max, std::clamp((bottom - top) / (fh * 2), 2, 12), 0);
    int y_label_width = 0;
    for (int i = 0; i < l.y_ticks.count; ++i) {
        y_label_width = std::max(
            y_label_width,
            fm.horizontalAdvance(tick_text(locale, l.y_ticks.value(i), l.y_ticks.decimals)));
    }
    const int left = kOuterGap + y_label_width + 2 + kTickLength;

    // Legend: only the rows that are painted are measured.
    l.row_height = fh + 2;
    int right = width() - kOuterGap;
    for (int row = 0;; ++row) {
        const int index = legend_index_at_row(row);
        if (index < 0) break;
        d_->legend_text_width =
            std::max(d_->legend_text_width, fm.horizontalAdvance(value_text(locale, pts.y(index))));
        l.legend_rows = row + 1;
    }
    if (l.legend_rows > 0) {
        const int w = 2 * kLegendPad + fh + 4 + d_->legend_text_width;
        l.legend = QRect(right - w, top, w, 2 * kLegendPad + l.legend_rows * l.row_height);
        right = l.legend.left() - 2 * kOuterGap;
    }
    if (right - left < 8) return l;

    l.plot = QRect(QPoint(left, top), QPoint(right, bottom));
    if (d_->view_3d) {
        const int side = std::min(l.plot.width(), l.plot.height());
        l.dx =
            std::clamp(static_cast<int>(std::lround(side * d_->percent_3d / 250.0)), 1, side / 2);
        l.dy = l.dx;
    }
    l.front =
        QRect(l.plot.left(), l.plot.top() + l.dy, l.plot.width() - l.dx, l.plot.height() - l.dy);

    const double x_span = l.x_max - l.x_min;
    const QString widest = tick_text(locale, std::max(std::abs(l.x_min), std::abs(l.x_max)), 0);
    const int x_target =
        std::clamp(l.front.width() / (fm.horizontalAdvance(widest) + 2 * fh), 2, 15);
    l.x_ticks = AxisTicks::nice(l.x_min, l.x_max, x_target, x_span >= 1 ? 1.0 : 0.0);
    l.valid = true;
    return l;
}

void TrendChart::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.fillRect(rect(), d_->panel);
    const Layout l = layout();
    if (!l.valid) return;
    paint_walls(p, l);
    paint_trace(p, l);
    paint_labels(p, l);
    paint_legend(p, l);
}

void TrendChart::paint_walls(QPainter& p, const Layout& l) const {
    const QRect& f = l.front;
    const QRect back = f.translated(l.dx, -l.dy);
    p.fillRect(back, d_->back);

    QPen grid(QColor(128, 128, 128), 0, Qt::DotLine);
    const QColor edge(64, 64, 64);
    if (l.dx > 0) {
        // Side walls in shades of the back colour so the box reads as depth.
        const QPolygon left_wall({f.topLeft(), back.topLeft(), back.bottomLeft(), f.bottomLeft()});
        const QPolygon floor(
            {f.bottomLeft(), f.bottomRight(), back.bottomRight(), back.bottomLeft()});
        p.setPen(edge);
        p.setBrush(d_->back.darker(112));
        p.drawPolygon(left_wall);
        p.setBrush(d_->back.darker(125));
        p.drawPolygon(floor);
        p.setBrush(Qt::NoBrush);
    }

    p.setPen(grid);
    for (int i = 0; i < l.y_ticks.count; ++i) {
        const double y = l.py(l.y_ticks.value(i));
        p.drawLine(QLineF(back.left(), y - l.dy, back.right(), y - l.dy));
        if (l.dx > 0) p.drawLine(QLineF(f.left(), y, back.left(), y - l.dy));
    }
    for (int i = 0; i < l.x_ticks.count; ++i) {
        const double x = l.px(l.x_ticks.value(i));
        p.drawLine(QLineF(x + l.dx, back.top(), x + l.dx, back.bottom()));
        if (l.dx > 0) p.drawLine(QLineF(x, f.bottom(), x + l.dx, back.bottom()));
    }
    p.setPen(l.dx > 0 ? edge : QColor(Qt::black));
    p.drawRect(back.adjusted(0, 0, -1, -1));
}

void TrendChart::paint_trace(QPainter& p, const Layout& l) {
    TraceDecimator::build(d_->points, {l.x_min, l.x_max, l.y_min, l.y_max, l.front}, d_->lines);
    if (d_->lines.empty()) return;

    // Consecutive pieces of one colour go to the painter in one call.
    auto draw_batched = [&](auto begin, auto end, auto line_of, auto pen_of) {
        d_->batch.clear();
        int current = -1;
        for (auto it = begin; it != end; ++it) {
            if (it->color != current && !d_->batch.empty()) {
                p.setPen(pen_of(static_cast<std::uint8_t>(current)));
                p.drawLines(d_->batch.data(), static_cast<int>(d_->batch.size()));
                d_->batch.clear();
            }
            current = it->color;
            d_->batch.push_back(line_of(*it));
        }
        if (!d_->batch.empty()) {
            p.setPen(pen_of(static_cast<std::uint8_t>(current)));
            p.drawLines(d_->batch.data(), static_cast<int>(d_->batch.size()));
        }
    };
    auto plain = [&](std::uint8_t c) { return QPen(QColor::fromRgb(d_->palette.rgb(c)), 0); };
    auto shaded = [&](std::uint8_t c) {
        return QPen(QColor::fromRgb(d_->palette.rgb(c)).darker(150), 0);
    };
    auto front_line = [](const TraceLine& t) { return QLineF(t.a, t.b); };

    if (l.dx == 0) {
        draw_batched(d_->lines.begin(), d_->lines.end(), front_line, plain);
        return;
    }
    d_->sweep.build(d_->lines, l.dx, l.dy, d_->spans);
    draw_batched(
        d_->spans.begin(), d_->spans.end(), [](const RibbonSweep::Span& s) { return s.line; },
        plain);
    RibbonSweep::outline(d_->lines, d_->edges);
    const QPointF depth(l.dx, -l.dy);
    draw_batched(
        d_->edges.begin(), d_->edges.end(),
        [&](const TraceLine& t) { return QLineF(t.a + depth, t.b + depth); }, shaded);
    draw_batched(d_->edges.begin(), d_->edges.end(), front_line, shaded);
}

void TrendChart::paint_labels(QPainter& p, const Layout& l) const {
    const QFontMetrics fm(font());
    const QLocale locale;
    const QRect& f = l.front;
    p.setPen(Qt::black);

    const int half_ascent = fm.ascent() / 2 - 1;
    for (int i = 0; i < l.y_ticks.count; ++i) {
        const double v = l.y_ticks.value(i);
        const double y = l.py(v);
        const QString text = tick_text(locale, v, l.y_ticks.decimals);
        p.drawLine(QLineF(f.left() - kTickLength, y, f.left() - 1, y));
        p.drawText(
            QPointF(f.left() - kTickLength - 2 - fm.horizontalAdvance(text), y + half_ascent),
            text);
    }
    double free_from = -std::numeric_limits<double>::infinity();
    const double last_right = (l.legend_rows > 0 ? l.legend.left() : width()) - 2.0;
    for (int i = 0; i < l.x_ticks.count; ++i) {
        const double v = l.x_ticks.value(i);
        const double x = l.px(v);
        const QString text = tick_text(locale, v, l.x_ticks.decimals);
        const int w = fm.horizontalAdvance(text);
        p.drawLine(QLineF(x, f.bottom() + 1, x, f.bottom() + kTickLength));
        const double from = std::min(x - w / 2.0, last_right - w);
        if (from < free_from) continue;  // never print labels over each other
        p.drawText(QPointF(from, f.bottom() + kTickLength + fm.ascent()), text);
        free_from = from + w + fm.averageCharWidth();
    }
}

void TrendChart::paint_legend(QPainter& p, const Layout& l) const {
    if (l.legend_rows == 0) return;
    const QFontMetrics fm(font());
    const QLocale locale;
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(l.legend.adjusted(0, 0, -1, -1));
    const int swatch = fm.height() - 4;
    for (int row = 0; row < l.legend_rows; ++row) {
        const int index = legend_index_at_row(row);
        const int y = l.legend.top() + kLegendPad + row * l.row_height;
        p.setBrush(QColor::fromRgb(d_->palette.rgb(d_->points.color(index))));
        p.drawRect(l.legend.left() + kLegendPad, y + 3, swatch - 1, swatch - 1);
        p.drawText(QPointF(l.legend.left() + kLegendPad + fm.height() + 4, y + 1 + fm.ascent()),
                   value_text(locale, d_->points.y(index)));
    }
    p.setBrush(Qt::NoBrush);
}

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
