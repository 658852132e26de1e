// Log analysis on a week of one sample a second (604,800 lines), each figure beside a
// plain line split of the same file:
//   log_analysis_probe make FILE      writes the week through the program's log writer
//   log_analysis_probe split FILE     reads FILE and counts its lines, nothing else
//   log_analysis_probe show FILE      opens the window and ends at its first paint
//   log_analysis_probe open FILE      start to the analysis window's first paint, then the
//                                     memory it added and repaint times (prints a table)
//   log_analysis_probe csv FILE OUT   reads FILE and writes the CSV, as log2csv does
// "split", "show" and "csv" are also whole processes for an outside timer.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "analysis/analysis_window.h"
#include "analysis/log_chart.h"
#include "analysis/log_csv.h"
#include "analysis/log_reader.h"
#include "app/measurement_log.h"
#include "bench/first_paint.h"
#include "bench/silent_prompts.h"
#include "chart/trend_chart.h"
#include "live/log_format.h"
#include "platform/formats.h"

namespace {

double rss_mib() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
           (1024.0 * 1024.0);
}

int make(const char* path) {
    const QLocale czech(QLocale::Czech, QLocale::Czechia);
    const QDateTime start(QDate(2026, 12, 7), QTime(0, 0, 0));
    MeasurementLog log;
    log.start(formats::short_date(start.date(), czech), formats::long_time(start.time(), czech));
    for (int i = 0; i < 7 * 86400; ++i) {
        const QDateTime t = start.addSecs(i);
        const double m = 55.0 + 8.0 * std::sin(i / 2000.0) + 0.3 * std::sin(i / 7.0) +
                         (i % 86400 < 600 ? 6.0 : 0.0);
        const double y = std::clamp(50.0 + 40.0 * std::sin(i / 2000.0 + 1.0), 0.0, 100.0);
        const bool fault = i % 86400 >= 43200 && i % 86400 < 43500;
        log.append(log_format::data_line(
            formats::fixed(m, 2, 15, czech), formats::fixed(55.0, 2, 15, czech),
            formats::fixed(y, 1, 15, czech),
            fault ? QStringLiteral("PORUCHA") : QStringLiteral("není porucha"),
            formats::long_time(t.time(), czech), formats::short_date(t.date(), czech)));
    }
    log.write_file(QString::fromLocal8Bit(path));
    std::printf("%lld bytes, %lld lines\n", static_cast<long long>(log.file_size()),
                static_cast<long long>(log.line_count()));
    return 0;
}

qint64 split(const char* path) {
    QFile f(QString::fromLocal8Bit(path));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    QByteArray chunk(4 * 1024 * 1024, Qt::Uninitialized);
    qint64 lines = 0;
    for (qint64 n; (n = f.read(chunk.data(), chunk.size())) > 0;) {
        for (const char* p = chunk.constData();
             (p = static_cast<const char*>(
                  std::memchr(p, '\n', static_cast<std::size_t>(chunk.constData() + n - p))));
             ++p)
            ++lines;
    }
    return lines;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Milliseconds per step: `step` changes the chart, then it is rendered whole into an
// image as a repaint would paint it.
template <class Step>
double repaint_ms(QWidget& w, Step step, int count = 40) {
    QImage image(w.size(), QImage::Format_RGB32);
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer t;
        t.start();
        step(i);
        w.render(&image);
        times.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

int open(int argc, char** argv, const char* path) {
    QElapsedTimer since_start;
    since_start.start();
    QApplication app(argc, argv);
    SilentPrompts prompts;
    const double rss_before = rss_mib();
    QElapsedTimer t;
    t.start();
    AnalysisWindow* w = AnalysisWindow::open(QString::fromLocal8Bit(path), prompts, nullptr);
    if (!w) return 1;
    const double read_ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    bool painted = false;
    FirstPaint first(&w->chart());
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&] { painted = true; });
    QApplication::exec();
    const double paint_ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    const double total_ms = static_cast<double>(since_start.nsecsElapsed()) / 1e6;
    const double rss_after = rss_mib();
    const double file_mib =
        static_cast<double>(QFile(QString::fromLocal8Bit(path)).size()) / (1024.0 * 1024.0);
    QElapsedTimer s;
    s.start();
    const qint64 lines = split(path);
    const double split_ms = static_cast<double>(s.nsecsElapsed()) / 1e6;

    std::printf("painted=%d lines=%lld samples=%d\n", painted, static_cast<long long>(lines),
                w->chart().data().size());
    std::printf(
        "process start to first paint of the whole week: %.0f ms (read %.0f ms, open+paint %.0f "
        "ms)\n",
        total_ms, read_ms, paint_ms);
    std::printf("plain line split of the same file: %.0f ms  (open / split = %.1f)\n", split_ms,
                paint_ms / split_ms);
    std::printf(
        "file %.1f MiB, rss %.1f -> %.1f MiB, added %.1f MiB = %.2f x file; samples hold %.1f "
        "MiB\n",
        file_mib, rss_before, rss_after, rss_after - rss_before,
        (rss_after - rss_before) / file_mib,
        static_cast<double>(w->chart().data().memory_bytes()) / (1024.0 * 1024.0));

    QImage picture(w->size(), QImage::Format_RGB32);
    w->render(&picture);
    picture.save(QStringLiteral("/tmp/log_analysis_week.png"));

    LogChart& chart = w->chart();
    chart.resize(1000, 500);
    const int mid = chart.plot_rect(chart.rect()).center().x();
    const double full = repaint_ms(chart, [](int) {});
    const double zoom = repaint_ms(chart, [&](int i) {
        chart.show_all();
        chart.zoom_at(mid, i % 2 ? 0.8 : 1.25);
    });
    chart.show_all();
    chart.zoom_at(mid, 0.8);  // just inside the full range so a pan can move
    const double pan = repaint_ms(chart, [&](int i) { chart.pan_pixels(i % 2 ? 20 : -20); });
    chart.set_view(chart.data().axis_ms(0), chart.data().axis_ms(0) + 3600000);
    const double hour = repaint_ms(chart, [&](int i) { chart.pan_pixels(i % 2 ? 20 : -20); });

    // Today's live chart in the same run: 100,001 points, one point added and the oldest
    // removed per step, as the main window does once a second.
    TrendChart live;
    live.resize(1000, 500);
    for (int i = 0; i < 100001; ++i)
        live.add_point(i, 50 + 10 * std::sin(i / 300.0), QString(), Qt::red);
    int next = 100001;
    auto live_step = [&](int) {
        live.delete_first();
        live.add_point(next, 50 + 10 * std::sin(next / 300.0), QString(), Qt::red);
        ++next;
    };
    live.set_view_3d(false);
    const double live2d = repaint_ms(live, live_step);
    live.set_view_3d(true);
    const double live3d = repaint_ms(live, live_step);
    std::printf("repaint 1000x500, median of 40:\n");
    std::printf("  analysis, whole week, no change      %.2f ms\n", full);
    std::printf("  analysis, zoom step at full range    %.2f ms\n", zoom);
    std::printf("  analysis, pan step near full range   %.2f ms\n", pan);
    std::printf("  analysis, pan step, one hour shown   %.2f ms\n", hour);
    std::printf("  live trend chart 2D, 100,001 points  %.2f ms\n", live2d);
    std::printf("  live trend chart 3D, 100,001 points  %.2f ms\n", live3d);
    std::printf("  zoom step / live 2D = %.1f, / live 3D = %.1f\n", zoom / live2d, zoom / live3d);

    delete w;
    return 0;
}

int csv(const char* in, const char* out) {
    QElapsedTimer t;
    t.start();
    const LogReadResult r = LogReader::read_file(QString::fromLocal8Bit(in));
    if (!r.ok()) return 1;
    const double read_ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    QString reason;
    if (!log_csv::write(QString::fromLocal8Bit(out), r.data, 0, r.data.size() - 1, &reason))
        return 1;
    const double total_ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    QElapsedTimer s;
    s.start();
    split(in);
    const double split_ms = static_cast<double>(s.nsecsElapsed()) / 1e6;
    std::printf("csv: read %.0f ms, total %.0f ms; plain split %.0f ms (csv / split = %.1f)\n",
                read_ms, total_ms, split_ms, total_ms / split_ms);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: log_analysis_probe make|split|open|csv FILE [OUT]\n");
        return 2;
    }
    const QByteArray mode = argv[1];
    if (mode == "make") return make(argv[2]);
    if (mode == "split") return split(argv[2]) < 0 ? 1 : 0;
    if (mode == "open") return open(argc, argv, argv[2]);
    if (mode == "show") {
        QApplication app(argc, argv);
        SilentPrompts prompts;
        AnalysisWindow* w = AnalysisWindow::open(QString::fromLocal8Bit(argv[2]), prompts, nullptr);
        if (!w) return 1;
        FirstPaint first(&w->chart());
        QApplication::exec();
        delete w;
        return 0;
    }
    if (mode == "csv" && argc > 3) return csv(argv[2], argv[3]);
    return 2;
}
