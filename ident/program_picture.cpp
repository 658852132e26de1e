#include "ident/program_picture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kSize = 64;  // the shapes' own coordinates

const QColor kTop(0x2B, 0x4C, 0x7E);
const QColor kBottom(0x10, 0x22, 0x40);
const QColor kFrame(0x0A, 0x16, 0x2A);
const QColor kGrid(255, 255, 255, 50);
const QColor kSetPoint(0x7F, 0xD8, 0x7F);
const QColor kTrend(0xFF, 0x5A, 0x4A);
constexpr qreal kFrameWidth = 1.5;
constexpr qreal kSetPointWidth = 1.5;
constexpr qreal kTrendWidth = 3;
const QRectF kPlate(1, 1, 62, 62);
constexpr qreal kCorner = 9;
constexpr qreal kSetPointY = 24;

template <class F>
void for_each_grid_line(F&& f) {
    for (int x = 14; x < 60; x += 12) f(QPointF(x, 8), QPointF(x, 56));
    for (int y = 14; y < 60; y += 12) f(QPointF(6, y), QPointF(58, y));
}

// Set point and the measured value settling on it.
QPainterPath trend() {
    QPainterPath path(QPointF(6, 52));
    path.cubicTo(QPointF(18, 50), QPointF(20, 14), QPointF(30, 18));
    path.cubicTo(QPointF(38, 21), QPointF(42, 27), QPointF(48, 25));
    path.lineTo(QPointF(58, kSetPointY));
    return path;
}

void paint(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 0, kSize);
    bg.setColorAt(0, kTop);
    bg.setColorAt(1, kBottom);
    p.setPen(QPen(kFrame, kFrameWidth));
    p.setBrush(bg);
    p.drawRoundedRect(kPlate, kCorner, kCorner);

    p.setPen(QPen(kGrid, 1));
    for_each_grid_line([&p](QPointF a, QPointF b) { p.drawLine(a, b); });

    p.setPen(QPen(kSetPoint, kSetPointWidth, Qt::DashLine));
    p.drawLine(QPointF(6, kSetPointY), QPointF(58, kSetPointY));
    p.setPen(QPen(kTrend, kTrendWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trend());
}

QPixmap draw_picture() {
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paint(p);
    return pm;
}

QString num(qreal v) { return QString::number(v, 'g', 6); }

QString stroke(const QColor& c, qreal width) {
    QString s = QStringLiteral("stroke=\"%1\" stroke-width=\"%2\"").arg(c.name(), num(width));
    if (c.alpha() != 255) s += QStringLiteral(" stroke-opacity=\"%1\"").arg(num(c.alphaF()));
    return s;
}

QString line(QPointF a, QPointF b, const QString& style) {
    return QStringLiteral("  <line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\" %5/>\n")
        .arg(num(a.x()), num(a.y()), num(b.x()), num(b.y()), style);
}

}  // namespace

QPixmap program_picture(int size) {
    const QPixmap pm = draw_picture();
    return size == pm.width()
               ? pm
               : pm.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QImage program_picture_image(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.scale(qreal(size) / kSize, qreal(size) / kSize);
    paint(p);
    return img;
}

QString program_picture_svg() {
    QString svg = QStringLiteral(
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                      "viewBox=\"0 0 %1 %1\">\n"
                      "  <defs>\n"
                      "    <linearGradient id=\"plate\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"%1\" "
                      "gradientUnits=\"userSpaceOnUse\">\n"
                      "      <stop offset=\"0\" stop-color=\"%2\"/>\n"
                      "      <stop offset=\"1\" stop-color=\"%3\"/>\n"
                      "    </linearGradient>\n"
                      "  </defs>\n")
                      .arg(QString::number(kSize), kTop.name(), kBottom.name());
    svg += QStringLiteral(
               "  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" ry=\"%5\" "
               "fill=\"url(#plate)\" %6/>\n")
               .arg(num(kPlate.x()), num(kPlate.y()), num(kPlate.width()), num(kPlate.height()),
                    num(kCorner), stroke(kFrame, kFrameWidth));
    const QString grid = stroke(kGrid, 1);
    for_each_grid_line([&](QPointF a, QPointF b) { svg += line(a, b, grid); });
    // Qt's dash line: dashes of four pen widths, gaps of two.
    svg += line(QPointF(6, kSetPointY), QPointF(58, kSetPointY),
                stroke(kSetPoint, kSetPointWidth) +
                    QStringLiteral(" stroke-dasharray=\"%1 %2\"")
                        .arg(num(4 * kSetPointWidth), num(2 * kSetPointWidth)));
    QString d;
    const QPainterPath path = trend();
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo())
            d += QStringLiteral("M");
        else if (e.isLineTo())
            d += QStringLiteral(" L");
        else if (e.isCurveTo())
            d += QStringLiteral(" C");
        d += QStringLiteral(" %1 %2").arg(num(e.x), num(e.y));
    }
    svg += QStringLiteral(
               "  <path d=\"%1\" fill=\"none\" %2 stroke-linecap=\"round\" "
               "stroke-linejoin=\"round\"/>\n")
               .arg(d, stroke(kTrend, kTrendWidth));
    svg += QStringLiteral("</svg>\n");
    return svg;
}
