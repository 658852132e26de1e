#include "ident/program_picture.h"

#include <QPainter>
#include <QPainterPath>

QPixmap program_picture(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(QPen(QColor(40, 60, 90), s * 0.04));
    p.setBrush(QColor(225, 232, 240));
    p.drawRoundedRect(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88), s * 0.12, s * 0.12);
    p.setBrush(QColor(20, 30, 45));
    p.setPen(Qt::NoPen);
    const QRectF screen(s * 0.16, s * 0.18, s * 0.68, s * 0.40);
    p.drawRect(screen);
    QPainterPath trend;
    trend.moveTo(screen.left() + 2, screen.bottom() - s * 0.05);
    trend.cubicTo(screen.left() + s * 0.2, screen.bottom() - s * 0.05,
                  screen.left() + s * 0.25, screen.top() + s * 0.06, screen.right() - 2,
                  screen.top() + s * 0.08);
    p.setPen(QPen(QColor(230, 60, 50), s * 0.035));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trend);
    const QColor lamps[] = {QColor(60, 190, 80), QColor(240, 190, 40), QColor(220, 60, 50)};
    for (int i = 0; i < 3; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(lamps[i]);
        p.drawEllipse(QPointF(s * (0.28 + 0.22 * i), s * 0.74), s * 0.06, s * 0.06);
    }
    return pm;
}
