// Trend chart against a general-purpose chart widget: one add (deleting the oldest
// point) plus a full repaint at 1000 x 500, and heap bytes per point.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QImage>
#include <QLineSeries>
#include <QValueAxis>
#include <cmath>
#include <memory>
#include <string>

#include "chart/trend_chart.h"

namespace {

const QSize kSize(1000, 500);

double sample(int i) { return 20 + 5 * std::sin(i / 3000.0) + (i * 7919 % 13) * 0.1; }
// The pen changes now and then, as an operator would change it.
QColor pen_at(int i) { return (i / 30000) % 2 ? QColor(Qt::blue) : QColor(Qt::red); }

double heap_in_use() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd);
}

void save_png(const QImage& image, const std::string& name) {
    const QByteArray dir = qgetenv("TX20_BENCH_PNG");
    if (!dir.isEmpty()) {
        image.save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromStdString(name)));
    }
}

void trend_chart(benchmark::State& state, int n, bool view_3d) {
    QImage image(kSize, QImage::Format_ARGB32_Premultiplied);
    TrendChart chart;
    chart.resize(kSize);
    chart.set_view_3d(view_3d);
    chart.set_percent_3d(15);
    chart.render(&image);
    const double before = heap_in_use();
    const int rows = chart.legend_visible_rows();
    for (int i = 1; i <= n; ++i) chart.add_point(i, sample(i), QString(), pen_at(i));
    chart.set_legend_first_value(std::max(0, n - 1 - rows));
    chart.render(&image);
    const double after = heap_in_use();
    save_png(image, "trend_chart_" + std::to_string(n) + (view_3d ? "_3d.png" : "_2d.png"));

    int next = n + 1;
    for (auto _ : state) {
        // What the main window does once a second.
        chart.delete_first();
        if (chart.point_count() > rows) chart.set_legend_first_value(chart.point_count() - rows);
        chart.add_point(next, sample(next), QString(), pen_at(next));
        ++next;
        QCoreApplication::processEvents();
        chart.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["heap_bytes_per_point"] = (after - before) / n;
    state.counters["series_bytes_per_point"] =
        static_cast<double>(chart.series_memory_bytes()) / chart.point_count();
}

void add_only(benchmark::State& state, int n) {
    TrendChart chart;
    for (int i = 1; i <= n; ++i) chart.add_point(i, sample(i), QString(), pen_at(i));
    int next = n + 1;
    for (auto _ : state) {
        chart.delete_first();
        chart.add_point(next, sample(next), QString(), pen_at(next));
        ++next;
    }
}

void qt_charts(benchmark::State& state, int n) {
    QImage image(kSize, QImage::Format_ARGB32_Premultiplied);
    // Owned by the view through the chart; the chart owns series and axes.
    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    QChartView view(chart);
    view.resize(kSize);
    view.QWidget::render(&image);  // the widget, as it would be painted on screen
    const double before = heap_in_use();

    auto* series = new QLineSeries;
    series->setColor(Qt::red);
    QList<QPointF> points;
    points.reserve(n);
    for (int i = 1; i <= n; ++i) points.append(QPointF(i, sample(i)));
    series->replace(points);
    points = {};
    chart->addSeries(series);
    auto* x_axis = new QValueAxis;
    auto* y_axis = new QValueAxis;
    chart->addAxis(x_axis, Qt::AlignBottom);
    chart->addAxis(y_axis, Qt::AlignLeft);
    series->attachAxis(x_axis);
    series->attachAxis(y_axis);
    x_axis->setRange(1, n);
    y_axis->setRange(14, 27);
    QCoreApplication::processEvents();
    view.QWidget::render(&image);  // the widget, as it would be painted on screen
    const double after = heap_in_use();
    save_png(image, "qt_charts_" + std::to_string(n) + ".png");

    int next = n + 1;
    for (auto _ : state) {
        series->remove(0);
        series->append(next, sample(next));
        x_axis->setRange(next - n + 1, next);
        ++next;
        QCoreApplication::processEvents();
        view.QWidget::render(&image);  // the widget, as it would be painted on screen
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["heap_bytes_per_point"] = (after - before) / n;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    for (int n : {1000, 10000, 100001}) {
        const std::string size = std::to_string(n);
        benchmark::RegisterBenchmark(("add_repaint/" + size + "/trend_chart_2d").c_str(),
                                     [n](benchmark::State& s) { trend_chart(s, n, false); })
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("add_repaint/" + size + "/trend_chart_3d").c_str(),
                                     [n](benchmark::State& s) { trend_chart(s, n, true); })
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("add_repaint/" + size + "/qt_charts").c_str(),
                                     [n](benchmark::State& s) { qt_charts(s, n); })
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("add_only/" + size + "/trend_chart").c_str(),
                                     [n](benchmark::State& s) { add_only(s, n); });
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
