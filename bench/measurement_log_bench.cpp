// A week of one log line a second: appending, memory held, writing the whole file.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "app/measurement_log.h"
#include "live/log_format.h"

namespace {

constexpr int kWeek = 7 * 24 * 3600;  // 604,800 lines

QString sample_line(int i) {
    const int s = i % 86400;
    return log_format::data_line(
        QStringLiteral("%1,%2").arg(20 + i % 7).arg(i % 100, 2, 10, QLatin1Char('0')),
        QStringLiteral("55,00"), QStringLiteral("%1,%2").arg(i % 100).arg(i % 10),
        i % 50 ? QStringLiteral("není porucha") : QStringLiteral("PORUCHA"),
        QStringLiteral("%1:%2:%3")
            .arg(s / 3600)
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0')),
        QStringLiteral("%1.03.2026").arg(14 + i / 86400));
}

void fill(MeasurementLog& log, int lines) {
    log.start(QStringLiteral("14.03.2026"), QStringLiteral("0:00:00"));
    for (int i = 0; i < lines; ++i) log.append(sample_line(i));
}

// Cost of one more line with the log empty and with a week in it: flat if O(1).
void BM_AppendLine(benchmark::State& state) {
    MeasurementLog log;
    fill(log, static_cast<int>(state.range(0)));
    const QString line = sample_line(12345);
    for (auto _ : state) log.append(line);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendLine)->Arg(0)->Arg(kWeek);

// Building a week, with the memory held against the bytes of the file it becomes.
void BM_WeekMemory(benchmark::State& state) {
    for (auto _ : state) {
        const std::size_t heap_before = mallinfo2().uordblks;
        auto log = std::make_unique<MeasurementLog>();
        fill(*log, kWeek);
        const std::size_t heap_after = mallinfo2().uordblks;
        state.counters["file_MB"] = static_cast<double>(log->file_size()) / 1e6;
        state.counters["held_MB"] = static_cast<double>(log->memory_size()) / 1e6;
        state.counters["held_ratio"] =
            static_cast<double>(log->memory_size()) / static_cast<double>(log->file_size());
        state.counters["heap_ratio"] =
            static_cast<double>(heap_after - heap_before) / static_cast<double>(log->file_size());
    }
}
BENCHMARK(BM_WeekMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

// For comparison: the same week as a list of strings, as a list control would hold it.
void BM_WeekMemoryStringList(benchmark::State& state) {
    for (auto _ : state) {
        const std::size_t heap_before = mallinfo2().uordblks;
        auto lines = std::make_unique<QStringList>();
        qint64 file_bytes = 0;
        for (int i = 0; i < kWeek; ++i) {
            lines->append(sample_line(i));
            file_bytes += lines->constLast().size() + 2;
        }
        const std::size_t heap_after = mallinfo2().uordblks;
        state.counters["file_MB"] = static_cast<double>(file_bytes) / 1e6;
        state.counters["heap_ratio"] =
            static_cast<double>(heap_after - heap_before) / static_cast<double>(file_bytes);
    }
}
BENCHMARK(BM_WeekMemoryStringList)->Unit(benchmark::kMillisecond)->Iterations(1);

// Writing a week's log whole (temporary file, flush, rename over the old one).
void BM_WriteWeek(benchmark::State& state) {
    MeasurementLog log;
    fill(log, kWeek);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Záznam Kelvra20.TXT"));
    log.write_file(path);  // the file exists from now on, as after the first save
    for (auto _ : state) log.write_file(path);
    state.SetBytesProcessed(state.iterations() * log.file_size());
}
BENCHMARK(BM_WriteWeek)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
