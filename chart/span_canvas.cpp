#include "chart/span_canvas.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Nearest pixel. Clamped so far-off coordinates cannot overflow the conversion; the
// offset makes truncation round (cheaper than a library call per pixel run).
int round_px(double v) {
    constexpr double kOffset = 1 << 24;
    const double c = v > -1e6 ? (v < 1e6 ? v : 1e6) : -1e6;  // NaN lands on an edge too
    return static_cast<int>(c + kOffset + 0.5) - (1 << 24);
}

}  // namespace

SpanCanvas::SpanCanvas(QImage& image)
    : bits_(image.bits()),
      stride_(image.bytesPerLine()),
      width_(image.width()),
      height_(image.height()) {}

void SpanCanvas::fill(const QRect& r, QRgb color) {
    const QRect c = r.intersected(QRect(0, 0, width_, height_));
    for (int y = c.top(); y <= c.bottom(); ++y) std::fill_n(row(y) + c.left(), c.width(), color);
}

void SpanCanvas::vline(int x, double y0, double y1, QRgb color) {
    if (x < 0 || x >= width_ || std::isnan(y0) || std::isnan(y1)) return;
    int a = round_px(y0);
    int b = round_px(y1);
    if (a > b) std::swap(a, b);
    a = std::max(a, 0);
    b = std::min(b, height_ - 1);
    uchar* p = bits_ + static_cast<qsizetype>(a) * stride_ + static_cast<qsizetype>(x) * 4;
    for (int y = a; y <= b; ++y, p += stride_) *reinterpret_cast<QRgb*>(p) = color;
}

void SpanCanvas::hline(int x0, int x1, int y, QRgb color) {
    if (y < 0 || y >= height_) return;
    if (x0 > x1) std::swap(x0, x1);
    x0 = std::max(x0, 0);
    x1 = std::min(x1, width_ - 1);
    if (x0 <= x1) std::fill_n(row(y) + x0, x1 - x0 + 1, color);
}

void SpanCanvas::line(QPointF a, QPointF b, QRgb color) {
    if (a.x() > b.x()) std::swap(a, b);
    const int from = round_px(a.x());
    const int to = round_px(b.x());
    const double run = b.x() - a.x();
    if (from == to || run <= 0) {
        vline(from, a.y(), b.y(), color);
        return;
    }
    const double slope = (b.y() - a.y()) / run;
    for (int c = std::max(from, 0); c <= std::min(to, width_ - 1); ++c) {
        // The part of the line inside this pixel column.
        const double xa = std::max(a.x(), c - 0.5);
        const double xb = std::min(b.x(), c + 0.5);
        vline(c, a.y() + slope * (xa - a.x()), a.y() + slope * (xb - a.x()), color);
    }
}

void SpanCanvas::dotted_line(QPointF a, QPointF b, QRgb color) {
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const int steps = round_px(std::max(std::abs(dx), std::abs(dy)));
    if (steps == 0) {
        put(round_px(a.x()), round_px(a.y()), color);
        return;
    }
    for (int i = 0; i <= steps; i += 2) {
        put(round_px(a.x() + dx * i / steps), round_px(a.y() + dy * i / steps), color);
    }
}
