#include "tuning/tuning_plot.h"

#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

TuningPlot::TuningPlot(QWidget* parent) : QWidget(parent) {
    setMinimumSize(320, 160);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TuningPlot::set_series(std::vector<Series> s, const QString& left_label,
                            const QString& right_label) {
    series_ = std::move(s);
    left_ = left_label;
    right_ = right_label;
    update();
}

void TuningPlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paint(p, rect());
}

namespace {

struct Range {
    double lo = HUGE_VAL;
    double hi = -HUGE_VAL;
    void add(double v) {
        if (!std::isfinite(v)) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    void settle(bool pad = true) {
        if (lo > hi) lo = 0, hi = 1;
        if (hi - lo < 1e-9) lo -= 0.5, hi += 0.5;
        if (!pad) return;
        const double margin = 0.05 * (hi - lo);
        lo -= margin;
        hi += margin;
    }
};

QString tick(double v) {
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l.toString(v, 'g', 4);
}

}  // namespace

void TuningPlot::paint(QPainter& p, const QRect& r) const {
    p.save();
    p.fillRect(r, Qt::white);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics fm = p.fontMetrics();
    Range x, left, right;
    bool has_right = false;
    for (const Series& s : series_) {
        for (double v : s.x) x.add(v);
        for (double v : s.y) (s.right ? right : left).add(v);
        has_right = has_right || s.right;
    }
    x.settle(false);
    left.settle();
    right.settle();
    const int lw = fm.horizontalAdvance(QStringLiteral("-00000,0")) + 6;
    const QRect plot =
        r.adjusted(lw, fm.height() * 2 + 4, has_right ? -lw : -lw / 2, -fm.height() * 2 - 4);
    p.setPen(QColor(0xc8, 0xc8, 0xc8));
    for (int i = 0; i <= 4; ++i) {
        const int yy = plot.bottom() - i * plot.height() / 4;
        p.drawLine(plot.left(), yy, plot.right(), yy);
        const int xx = plot.left() + i * plot.width() / 4;
        p.drawLine(xx, plot.top(), xx, plot.bottom());
    }
    p.setPen(Qt::black);
    p.drawRect(plot);
    for (int i = 0; i <= 4; ++i) {
        const int yy = plot.bottom() - i * plot.height() / 4;
        p.drawText(QRect(r.left(), yy - fm.height() / 2, lw - 4, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, tick(left.lo + i * (left.hi - left.lo) / 4));
        if (has_right)
            p.drawText(QRect(plot.right() + 4, yy - fm.height() / 2, lw - 4, fm.height()),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       tick(right.lo + i * (right.hi - right.lo) / 4));
        const int xx = plot.left() + i * plot.width() / 4;
        p.drawText(QRect(xx - 40, plot.bottom() + 2, 80, fm.height()), Qt::AlignHCenter,
                   tick(x.lo + i * (x.hi - x.lo) / 4));
    }
    p.drawText(QRect(plot.left(), plot.bottom() + fm.height() + 2, plot.width(), fm.height()),
               Qt::AlignHCenter, QStringLiteral("t [s]"));
    p.drawText(QRect(r.left() + 2, r.top() + 2, plot.width(), fm.height()), Qt::AlignLeft, left_);
    if (has_right)
        p.drawText(QRect(r.right() - plot.width() - 2, r.top() + 2, plot.width(), fm.height()),
                   Qt::AlignRight, right_);
    // Legend along the top.
    int lx = plot.left();
    const int ly = r.top() + fm.height() + 3;
    for (const Series& s : series_) {
        QPen pen(s.color, 2, s.dashed ? Qt::DashLine : Qt::SolidLine);
        p.setPen(pen);
        p.drawLine(lx, ly + fm.height() / 2, lx + 18, ly + fm.height() / 2);
        p.setPen(Qt::black);
        p.drawText(lx + 22, ly + fm.ascent(), s.name);
        lx += 30 + fm.horizontalAdvance(s.name);
    }
    p.setClipRect(plot.adjusted(1, 1, -1, -1));
    for (const Series& s : series_) {
        const Range& yr = s.right ? right : left;
        QPainterPath path;
        bool open = false;
        const std::size_t n = std::min(s.x.size(), s.y.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (!std::isfinite(s.y[i])) {
                open = false;
                continue;
            }
            const QPointF pt(plot.left() + (s.x[i] - x.lo) / (x.hi - x.lo) * plot.width(),
                             plot.bottom() - (s.y[i] - yr.lo) / (yr.hi - yr.lo) * plot.height());
            if (open)
                path.lineTo(pt);
            else
                path.moveTo(pt);
            open = true;
        }
        p.setPen(QPen(s.color, 1.6, s.dashed ? Qt::DashLine : Qt::SolidLine));
        p.drawPath(path);
    }
    p.restore();
}
