#include "chart/trend_chart.h"

#include <QEvent>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "chart/axis_ticks.h"
#include "chart/color_palette.h"
#include "chart/point_ring.h"
#include "chart/ribbon_sweep.h"
#include "chart/span_canvas.h"
#include "chart/text_cache.h"
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
    if (text == locale.negativeSign() + locale.zeroDigit()) return locale.zeroDigit();
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
    int value_decimals = 3;
    QColor back = Qt::white;
    QColor panel;
    int legend_text_width = 0;  // only grows, so the plot does not jitter
    TextCache texts;

    // Reused between frames so painting does not allocate.
    QImage layer;  // the plot inside the axes, rasterised directly
    std::vector<TraceLine> lines;
    std::vector<TraceLine> edges;
    RibbonSweep sweep;
    std::vector<RibbonSweep::Span> spans;

    const QStaticText& text(const QString& t, const QFont& f) { return texts.get(t, f); }
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

    // The same geometry in the device pixels of the plot layer, origin at its corner.
    Layout in_layer(qreal dpr) const {
        Layout g = *this;
        auto scaled = [dpr](int v) { return static_cast<int>(std::lround(v * dpr)); };
        g.dx = scaled(dx);
        g.dy = scaled(dy);
        g.plot = QRect(0, 0, scaled(plot.width()), scaled(plot.height()));
        g.front = QRect(0, g.dy, g.plot.width() - g.dx, g.plot.height() - g.dy);
        return g;
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
    emit point_added(x);
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

void TrendChart::set_value_decimals(int decimals) {
    d_->value_decimals = std::clamp(decimals, 0, 6);
    update();
}

int TrendChart::value_decimals() const { return d_->value_decimals; }

double TrendChart::minimum_value_span(int decimals) {
    return 100.0 * std::pow(10.0, -std::clamp(decimals, 0, 6));
}

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

QStringList TrendChart::value_axis_labels() const {
    const Layout l = layout();
    const QLocale locale;
    QStringList out;
    for (int i = 0; i < l.y_ticks.count; ++i)
        out << tick_text(locale, l.y_ticks.value(i), l.y_ticks.decimals);
    return out;
}

std::size_t TrendChart::series_memory_bytes() const { return d_->points.memory_bytes(); }

QSize TrendChart::sizeHint() const { return {400, 250}; }

TrendChart::Layout TrendChart::layout() const {
    Layout l;
    const PointRing& pts = d_->points;
    const int n = pts.size();
    const QFont f = font();
    const QFontMetrics fm(f);
    const QLocale locale;
    const int fh = fm.height();
    auto text_width = [&](const QString& t) {
        return static_cast<int>(std::ceil(d_->text(t, f).size().width()));
    };

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
    // A flat or nearly flat series: a span round its middle that the shown decimals can
    // label, instead of float noise scaled up to fill the plot.
    const double min_span = minimum_value_span(d_->value_decimals);
    if (std::isfinite(l.y_min) && std::isfinite(l.y_max) && l.y_max - l.y_min < min_span) {
        const double mid = l.y_min / 2 + l.y_max / 2;
        if (std::abs(mid) < std::numeric_limits<double>::max() / 2) {
            l.y_min = mid - min_span / 2;
            l.y_max = mid + min_span / 2;
        }
    }
    make_usable(l.y_min, l.y_max);

    const int top = fh / 2 + kOuterGap;
    const int bottom = height() - (kTickLength + fh + kOuterGap);
    if (bottom - top < 8) return l;

    l.y_ticks = AxisTicks::nice(l.y_min, l.y_max, std::clamp((bottom - top) / (fh * 2), 2, 12),
                                std::pow(10.0, -d_->value_decimals));
    int y_label_width = 0;
    for (int i = 0; i < l.y_ticks.count; ++i) {
        y_label_width = std::max(
            y_label_width, text_width(tick_text(locale, l.y_ticks.value(i), l.y_ticks.decimals)));
    }
    const int left = kOuterGap + y_label_width + 2 + kTickLength;

    // Legend: only the rows that are painted are measured.
    l.row_height = fh + 2;
    int right = width() - kOuterGap;
    for (int row = 0;; ++row) {
        const int index = legend_index_at_row(row);
        if (index < 0) break;
        d_->legend_text_width =
            std::max(d_->legend_text_width, text_width(value_text(locale, pts.y(index))));
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
    const int x_target = std::clamp(l.front.width() / (text_width(widest) + 2 * fh), 2, 15);
    l.x_ticks = AxisTicks::nice(l.x_min, l.x_max, x_target, x_span >= 1 ? 1.0 : 0.0);
    l.valid = true;
    return l;
}

void TrendChart::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    const Layout l = layout();
    if (!l.valid) {
        p.fillRect(rect(), d_->panel);
        return;
    }
    // Panel colour round the plot; the plot itself comes whole from the layer.
    const QRect& pl = l.plot;
    p.fillRect(QRect(0, 0, width(), pl.top()), d_->panel);
    p.fillRect(QRect(0, pl.bottom() + 1, width(), height() - pl.bottom() - 1), d_->panel);
    p.fillRect(QRect(0, pl.top(), pl.left(), pl.height()), d_->panel);
    p.fillRect(QRect(pl.right() + 1, pl.top(), width() - pl.right() - 1, pl.height()), d_->panel);
    paint_plot(l);
    p.drawImage(pl.topLeft(), d_->layer);
    paint_labels(p, l);
    paint_legend(p, l);
}

void TrendChart::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        d_->texts.clear();
        d_->legend_text_width = 0;
    }
    QWidget::changeEvent(event);
}

void TrendChart::paint_plot(const Layout& logical) {
    const qreal dpr = devicePixelRatioF();
    const Layout l = logical.in_layer(dpr);
    if (d_->layer.size() != l.plot.size()) d_->layer = QImage(l.plot.size(), QImage::Format_RGB32);
    d_->layer.setDevicePixelRatio(dpr);
    SpanCanvas c(d_->layer);

    const QRect& f = l.front;
    const QRect back = f.translated(l.dx, -l.dy);
    const QRgb back_rgb = d_->back.rgb();
    const QRgb grid = qRgb(128, 128, 128);
    const double slope = l.dx > 0 ? static_cast<double>(l.dy) / l.dx : 0.0;
    auto wall_point = [&](double x, double y, double depth) {
        return QPointF(x + depth * l.dx, y - depth * l.dy);
    };

    if (l.dx > 0) {
        // Only the two corners the walls leave open show the panel.
        const QRgb panel = d_->panel.rgb();
        c.fill(QRect(0, 0, l.dx + 1, l.dy + 1), panel);
        c.fill(QRect(f.right(), back.bottom(), l.dx + 1, l.dy + 1), panel);
        c.fill(back, back_rgb);
        // Side walls in shades of the back colour so the box reads as depth.
        const QRgb wall = d_->back.darker(112).rgb();
        for (int k = 0; k <= l.dx; ++k) {
            c.vline(f.left() + k, f.top() - k * slope, f.bottom() - k * slope, wall);
        }
        const QRgb floor = d_->back.darker(125).rgb();
        for (int r = 0; r <= l.dy; ++r) {
            const int shift = static_cast<int>(std::lround(r / slope));
            c.hline(f.left() + shift, f.right() + shift, f.bottom() - r, floor);
        }
    } else {
        c.fill(f, back_rgb);
    }

    for (int i = 0; i < l.y_ticks.count; ++i) {
        const double y = l.py(l.y_ticks.value(i));
        c.dotted_line(wall_point(f.left(), y, 1), wall_point(f.right(), y, 1), grid);
        if (l.dx > 0) c.dotted_line(QPointF(f.left(), y), wall_point(f.left(), y, 1), grid);
    }
    for (int i = 0; i < l.x_ticks.count; ++i) {
        const double x = l.px(l.x_ticks.value(i));
        c.dotted_line(QPointF(x + l.dx, back.top()), QPointF(x + l.dx, back.bottom()), grid);
        if (l.dx > 0) c.dotted_line(QPointF(x, f.bottom()), wall_point(x, f.bottom(), 1), grid);
    }

    if (l.dx > 0) {
        const QRgb edge = qRgb(64, 64, 64);
        c.line(back.topLeft(), back.topRight(), edge);
        c.line(back.topRight(), back.bottomRight(), edge);
        c.line(back.topLeft(), back.bottomLeft(), edge);
        c.line(f.topLeft(), back.topLeft(), edge);
        c.line(f.topLeft(), f.bottomLeft(), edge);
        c.line(f.bottomLeft(), f.bottomRight(), edge);
        c.line(f.bottomLeft(), back.bottomLeft(), edge);
        c.line(f.bottomRight(), back.bottomRight(), edge);
        c.line(back.bottomLeft(), back.bottomRight(), edge);
    } else {
        const QRgb frame = qRgb(0, 0, 0);
        c.hline(f.left(), f.right(), f.top(), frame);
        c.hline(f.left(), f.right(), f.bottom(), frame);
        c.vline(f.left(), f.top(), f.bottom(), frame);
        c.vline(f.right(), f.top(), f.bottom(), frame);
    }

    TraceDecimator::build(d_->points, {l.x_min, l.x_max, l.y_min, l.y_max, f}, d_->lines);
    const ColorPalette& palette = d_->palette;
    if (l.dx == 0) {
        for (const TraceLine& t : d_->lines) c.line(t.a, t.b, palette.rgb(t.color));
        return;
    }
    // Edges a shade darker than the ribbon's face.
    auto shade = [&](std::uint8_t i) {
        const QRgb v = palette.rgb(i);
        return qRgb(qRed(v) * 2 / 3, qGreen(v) * 2 / 3, qBlue(v) * 2 / 3);
    };
    const QPointF depth(l.dx, -l.dy);
    for (std::size_t first = 0, last = 0; first < d_->lines.size(); first = last) {
        last = RibbonSweep::stretch_end(d_->lines, first);
        d_->sweep.sweep(d_->lines, first, last, l.dx, l.dy, d_->spans);
        for (const RibbonSweep::Span& s : d_->spans) {
            c.vline(static_cast<int>(s.line.x1()), s.line.y1(), s.line.y2(), palette.rgb(s.color));
        }
        RibbonSweep::outline(d_->lines, first, last, d_->edges);
        for (const TraceLine& t : d_->edges) c.line(t.a + depth, t.b + depth, shade(t.color));
        for (const TraceLine& t : d_->edges) c.line(t.a, t.b, shade(t.color));
    }
}

void TrendChart::paint_labels(QPainter& p, const Layout& l) const {
    const QFont f = font();
    const QFontMetrics fm(f);
    const QLocale locale;
    const QRect& fr = l.front;
    p.setPen(Qt::black);

    const double half_height = fm.height() / 2.0;
    for (int i = 0; i < l.y_ticks.count; ++i) {
        const double v = l.y_ticks.value(i);
        const int y = static_cast<int>(std::lround(l.py(v)));
        const QStaticText& text = d_->text(tick_text(locale, v, l.y_ticks.decimals), f);
        p.fillRect(QRect(fr.left() - kTickLength, y, kTickLength, 1), Qt::black);
        p.drawStaticText(
            QPointF(fr.left() - kTickLength - 2 - text.size().width(), y - half_height), text);
    }
    double free_from = -std::numeric_limits<double>::infinity();
    const double last_right = (l.legend_rows > 0 ? l.legend.left() : width()) - 2.0;
    for (int i = 0; i < l.x_ticks.count; ++i) {
        const double v = l.x_ticks.value(i);
        const int x = static_cast<int>(std::lround(l.px(v)));
        const QStaticText& text = d_->text(tick_text(locale, v, l.x_ticks.decimals), f);
        const double w = text.size().width();
        p.fillRect(QRect(x, fr.bottom() + 1, 1, kTickLength), Qt::black);
        const double from = std::min(x - w / 2.0, last_right - w);
        if (from < free_from) continue;  // never print labels over each other
        p.drawStaticText(QPointF(from, fr.bottom() + kTickLength + 1), text);
        free_from = from + w + fm.averageCharWidth();
    }
}

void TrendChart::paint_legend(QPainter& p, const Layout& l) const {
    if (l.legend_rows == 0) return;
    const QFont f = font();
    const QFontMetrics fm(f);
    const QLocale locale;
    const QRect& box = l.legend;
    p.fillRect(box, Qt::black);
    p.fillRect(box.adjusted(1, 1, -1, -1), Qt::white);
    p.setPen(Qt::black);
    const int swatch = fm.height() - 4;
    for (int row = 0; row < l.legend_rows; ++row) {
        const int index = legend_index_at_row(row);
        const int y = box.top() + kLegendPad + row * l.row_height;
        const QRect mark(box.left() + kLegendPad, y + 3, swatch, swatch);
        p.fillRect(mark, Qt::black);
        p.fillRect(mark.adjusted(1, 1, -1, -1),
                   QColor::fromRgb(d_->palette.rgb(d_->points.color(index))));
        p.drawStaticText(QPointF(box.left() + kLegendPad + fm.height() + 4, y + 1),
                         d_->text(value_text(locale, d_->points.y(index)), f));
    }
}
