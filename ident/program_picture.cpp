#include "ident/program_picture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

QPixmap draw_picture() {
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient bg(0, 0, 0, 64);
    bg.setColorAt(0, QColor(0x2B, 0x4C, 0x7E));
    bg.setColorAt(1, QColor(0x10, 0x22, 0x40));
    p.setPen(QPen(QColor(0x0A, 0x16, 0x2A), 1.5));
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(1, 1, 62, 62), 9, 9);

    p.setPen(QPen(QColor(255, 255, 255, 50), 1));
    for (int x = 14; x < 60; x += 12) p.drawLine(x, 8, x, 56);
    for (int y = 14; y < 60; y += 12) p.drawLine(6, y, 58, y);

    // Set point and the measured value settling on it.
    p.setPen(QPen(QColor(0x7F, 0xD8, 0x7F), 1.5, Qt::DashLine));
    p.drawLine(QPointF(6, 24), QPointF(58, 24));
    QPainterPath trend(QPointF(6, 52));
    trend.cubicTo(QPointF(18, 50), QPointF(20, 14), QPointF(30, 18));
    trend.cubicTo(QPointF(38, 21), QPointF(42, 27), QPointF(48, 25));
    trend.lineTo(QPointF(58, 24));
    p.setPen(QPen(QColor(0xFF, 0x5A, 0x4A), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trend);
    return pm;
}

}  // namespace

QPixmap program_picture(int size) {
    const QPixmap pm = draw_picture();
    return size == pm.width()
               ? pm
               : pm.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}
