#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRgb>

// Writes opaque pixels straight into a 32-bit image. The trend's plot is made of short
// vertical runs (one or more per pixel column); a general painter treats every pixel of
// such a run as a span of its own, which costs far more than the pixels themselves.
// Everything is clipped to the image.
class SpanCanvas {
  public:
    explicit SpanCanvas(QImage& image);

    void fill(const QRect& r, QRgb color);
    void vline(int x, double y0, double y1, QRgb color);
    void hline(int x0, int x1, int y, QRgb color);
    // A 1-pixel line, as a vertical run per pixel column it crosses.
    void line(QPointF a, QPointF b, QRgb color);
    // Every other pixel of a 1-pixel line, for grid lines.
    void dotted_line(QPointF a, QPointF b, QRgb color);

  private:
    void put(int x, int y, QRgb color) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_) row(y)[x] = color;
    }
    QRgb* row(int y) {
        return reinterpret_cast<QRgb*>(bits_ + static_cast<qsizetype>(y) * stride_);
    }

    uchar* bits_;
    qsizetype stride_;
    int width_;
    int height_;
};
