// The recording line's cost on unpaced table reads, measured against the bare line in
// alternating blocks on one simulator, and the fast scan of the whole bus.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "comm/Unit_hl.h"
#include "comm/recording_line.h"
#include "comm/serial_line.h"
#include "platform/prompts.h"
#include "sim/pty_server.h"

namespace {

class SilentPrompts : public Prompts {
  public:
    PromptAnswer message(const QString&, const QString&, PromptIcon, PromptButtons,
                         PromptOwner) override {
        return PromptAnswer::Ok;
    }
    std::optional<QString> save_file(const FileDialogRequest&) override { return {}; }
    std::optional<QString> open_file(const FileDialogRequest&) override { return {}; }
    std::optional<std::uint32_t> choose_color(std::uint32_t) override { return {}; }
};

// Blocks alternate between the two lines so that changes in the machine's load fall on
// both alike.
void BM_ReadTable10RecordedVsBare(benchmark::State& state) {
    sim::PtyServer server(sim::Options{}, 9600, false);
    if (!server.start()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    SerialLine serial;
    serial.open(QStringLiteral("COM1"), server.path(), 9600);
    RecordingLine recorder(serial);
    SilentPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer req(serial, prompts, data, buffer);
    req.set_device_address(1);
    constexpr int kBlock = 1000;
    constexpr int kBlocks = 20;
    qint64 bare_ns = 0, recorded_ns = 0;
    int failures = 0;
    for (auto _ : state) {
        for (int b = 0; b < kBlocks; ++b) {
            for (int which = 0; which < 2; ++which) {
                req.set_line(which == 0 ? static_cast<Line&>(serial) : recorder);
                QElapsedTimer t;
                t.start();
                for (int i = 0; i < kBlock; ++i)
                    if (!req.read_table(TableId::TAB_LIVE)) ++failures;
                (which == 0 ? bare_ns : recorded_ns) += t.nsecsElapsed();
            }
        }
    }
    const double n = static_cast<double>(kBlock) * kBlocks * static_cast<double>(state.iterations());
    const double bare = n / (static_cast<double>(bare_ns) / 1e9);
    const double recorded = n / (static_cast<double>(recorded_ns) / 1e9);
    state.counters["bare_per_s"] = bare;
    state.counters["recorded_per_s"] = recorded;
    state.counters["slower_pct"] = (bare / recorded - 1.0) * 100.0;
    state.counters["failures"] = failures;
    state.counters["ring_full"] = recorder.records_since(0).size() == RecordingLine::kCapacity;
}
BENCHMARK(BM_ReadTable10RecordedVsBare)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// The whole bus at 9600 baud, paced, two controllers present; probe read time-out as
// given (512 is the line's own bound for a 6-byte reply).
void BM_ScanPaced9600(benchmark::State& state) {
    sim::Options o;
    o.addresses = {1, 2};
    sim::PtyServer server(std::move(o), 9600, true);
    if (!server.start()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    SerialLine serial;
    serial.open(QStringLiteral("COM1"), server.path(), 9600);
    const int timeout = static_cast<int>(state.range(0));
    if (timeout != 512) serial.set_total_timeout_ms(timeout);
    RecordingLine recorder(serial);
    SilentPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer req(recorder, prompts, data, buffer);
    int found = 0;
    for (auto _ : state) {
        found = 0;
        for (int a = 0; a <= 126; ++a) {
            req.set_device_address(static_cast<std::uint8_t>(a));
            if (req.probe_station()) ++found;
        }
    }
    state.counters["found"] = found;
}
BENCHMARK(BM_ScanPaced9600)->Arg(50)->Arg(512)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
