#include "analysis/live_chart_tools.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <charconv>
#include <cmath>

#include "analysis/chart_picture.h"
#include "analysis/log_csv.h"
#include "analysis/log_data.h"
#include "chart/trend_chart.h"
#include "platform/atomic_file.h"
#include "platform/formats.h"
#include "platform/prompts.h"

namespace {
constexpr int kNearPixels = 12;
}

LiveChartTools::LiveChartTools(TrendChart& chart, Prompts& prompts, std::function<QDateTime()> now)
    : QObject(&chart), chart_(chart), prompts_(prompts), now_(std::move(now)) {
    chart.installEventFilter(this);
    connect(&chart, &TrendChart::point_added, this, &LiveChartTools::point_added);
}

void LiveChartTools::point_added(double x) {
    // A cleared trend starts again from its first point.
    if (chart_.point_count() == 1) times_.clear();
    const QDateTime t = now_();
    times_.emplace_back(x, LogData::from_date_time(t.date(), t.time()));
    while (static_cast<int>(times_.size()) > chart_.point_count()) times_.pop_front();
}

QDateTime LiveChartTools::time_of(int index) const {
    if (index < 0 || index >= chart_.point_count()) return {};
    const double x = chart_.x_at(index);
    const auto it =
        std::lower_bound(times_.begin(), times_.end(), x,
                         [](const std::pair<double, qint64>& e, double v) { return e.first < v; });
    if (it == times_.end() || it->first != x) return {};
    return LogData::to_date_time(it->second);
}

int LiveChartTools::point_near(int x) const {
    const int n = chart_.point_count();
    if (n == 0) return -1;
    // Points are ordered by x, so their pixel columns ascend.
    int lo = 0;
    int hi = n;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (chart_.map_to_pixel(chart_.x_at(mid), 0).x() < x) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    int best = -1;
    double distance = kNearPixels + 1;
    for (int i : {lo - 1, lo}) {
        if (i < 0 || i >= n) continue;
        const double d = std::abs(chart_.map_to_pixel(chart_.x_at(i), 0).x() - x);
        if (d < distance) {
            distance = d;
            best = i;
        }
    }
    return distance <= kNearPixels ? best : -1;
}

QString LiveChartTools::tooltip_text(int index) const {
    const QDateTime t = time_of(index);
    // As the display shows values, not the float's noise.
    const QString value = formats::fixed(chart_.y_at(index), chart_.value_decimals(), 15);
    if (!t.isValid()) return value;
    return QStringLiteral("%1 %2\n%3")
        .arg(formats::short_date(t.date()), formats::long_time(t.time()), value);
}

QByteArray LiveChartTools::csv() const {
    QByteArray out = QStringLiteral("čas,hodnota\r\n").toUtf8();
    for (int i = 0; i < chart_.point_count(); ++i) {
        const QDateTime t = time_of(i);
        if (t.isValid()) log_csv::append_iso(out, LogData::from_date_time(t.date(), t.time()));
        out.append(',');
        const double y = chart_.y_at(i);
        if (std::isfinite(y)) {
            char buf[32];
            const auto r = std::to_chars(buf, buf + sizeof buf, y);
            out.append(buf, r.ptr - buf);
        }
        out.append("\r\n");
    }
    return out;
}

void LiveChartTools::save_picture() {
    TrendChart* chart = &chart_;
    chart_picture::save_as(prompts_, QStringLiteral("graf"), chart_.size(),
                           [chart](QPainter& p, const QRect&) { chart->render(&p); });
}

void LiveChartTools::export_csv() {
    log_csv::save_as(prompts_, QStringLiteral("graf"), [this](const QString& path, QString* why) {
        const QByteArray bytes = csv();
        return AtomicFile::write(path, {QByteArrayView(bytes)}, why);
    });
}

bool LiveChartTools::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &chart_) return false;
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int i = point_near(help->pos().x());
        if (i < 0) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), tooltip_text(i), &chart_);
        }
        return true;
    }
    if (event->type() == QEvent::ContextMenu) {
        auto* menu_event = static_cast<QContextMenuEvent*>(event);
        QMenu menu(&chart_);
        QAction* picture = menu.addAction(QStringLiteral("Uložit obrázek..."));
        QAction* csv_action = menu.addAction(QStringLiteral("Exportovat CSV..."));
        QAction* chosen = menu.exec(menu_event->globalPos());
        if (chosen == picture) save_picture();
        if (chosen == csv_action) export_csv();
        return true;
    }
    return false;
}
