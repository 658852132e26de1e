// The recording line's cost on unpaced table reads, measured against the bare line in
// alternating blocks on one simulator, and the fast scan of the whole bus.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <vector>

#include "bench/bench_support.h"
#include "comm/Unit_hl.h"
#include "comm/recording_line.h"
#include "comm/serial_line.h"
#include "platform/prompts.h"
#include "sim/pty_server.h"

namespace {

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
    constexpr int kBlock = 100;
    constexpr int kBlocks = 150;
    qint64 bare_ns = 0, recorded_ns = 0;
    std::vector<double> pair_ratios;  // recorded / bare time of neighbouring blocks
    int failures = 0;
    for (auto _ : state) {
        for (int b = 0; b < kBlocks; ++b) {
            qint64 ns[2] = {0, 0};
            for (int k = 0; k < 2; ++k) {
                const int which = (b + k) % 2;  // ABBA: neither always goes first
                req.set_line(which == 0 ? static_cast<Line&>(serial) : recorder);
                QElapsedTimer t;
                t.start();
                for (int i = 0; i < kBlock; ++i)
                    if (!req.read_table(TableId::TAB_LIVE)) ++failures;
                ns[which] = t.nsecsElapsed();
            }
            bare_ns += ns[0];
            recorded_ns += ns[1];
            pair_ratios.push_back(static_cast<double>(ns[1]) / static_cast<double>(ns[0]));
        }
    }
    std::sort(pair_ratios.begin(), pair_ratios.end());
    state.counters["median_pair_slower_pct"] = (pair_ratios[pair_ratios.size() / 2] - 1.0) * 100.0;
    const double n =
        static_cast<double>(kBlock) * kBlocks * static_cast<double>(state.iterations());
    const double bare = n / (static_cast<double>(bare_ns) / 1e9);
    const double recorded = n / (static_cast<double>(recorded_ns) / 1e9);
    state.counters["bare_per_s"] = bare;
    state.counters["recorded_per_s"] = recorded;
    state.counters["slower_pct"] = (bare / recorded - 1.0) * 100.0;
    state.counters["failures"] = failures;
    state.counters["ring_full"] = recorder.records_since(0).size() == RecordingLine::kCapacity;
}
BENCHMARK(BM_ReadTable10RecordedVsBare)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5);

// The recorder's own work per exchange, on a line that answers at once: what it adds to
// every round trip whatever the machine's load.
class InstantLine : public PortLine {
  public:
    InstantLine() {
        telegram::Buffer b{};
        std::uint8_t d[21] = {};
        n_ = telegram::build_data_reply(b, 0, 1, d, 21);
        std::copy_n(b.begin(), n_, reply_.begin());
    }
    bool write_bytes(const std::uint8_t*, int n, int* written) override {
        *written = n;
        return true;
    }
    bool read_bytes(std::uint8_t* buf, int n, int* received) override {
        *received = std::min(n, n_);
        std::copy_n(reply_.begin(), *received, buf);
        return true;
    }
    void purge_rx() override {}
    void purge_tx() override {}
    void pause_ms(int) override {}
    void open(const QString&, const QString&, qint32) override {}
    void apply_rate(const QString&, qint32) override {}
    void close() override {}
    bool is_open() const override { return true; }

  private:
    telegram::Buffer reply_{};
    int n_ = 0;
};

void BM_ReadTable10InstantLine(benchmark::State& state) {
    InstantLine instant;
    RecordingLine recorder(instant);
    SilentPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer req(state.range(0) ? static_cast<Line&>(recorder) : instant, prompts, data,
                     buffer);
    req.set_device_address(1);
    for (auto _ : state) benchmark::DoNotOptimize(req.read_table(TableId::TAB_LIVE));
}
BENCHMARK(BM_ReadTable10InstantLine)->Arg(0)->Arg(1)->Unit(benchmark::kNanosecond);

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
BENCHMARK(BM_ScanPaced9600)
    ->Arg(50)
    ->Arg(512)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return run_benchmarks_with_core_app(argc, argv); }
