// Table reads through the real serial line against the simulated controller on a
// pseudo-terminal: round trips per second unpaced, and the exchange time against the
// wire time when the simulator paces its bytes at 9600 baud.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPort>
#include <algorithm>
#include <utility>
#include <vector>

#include "bench/bench_support.h"
#include "comm/Unit_hl.h"
#include "comm/bus_worker.h"
#include "comm/serial_line.h"
#include "platform/prompts.h"
#include "sim/pty_server.h"

namespace {

struct LineRig {
    // open_here: false leaves the line closed for the bus worker to open.
    LineRig(int rate, bool pace, sim::Options options = {}, bool open_here = true)
        : server(std::move(options), rate, pace) {
        ok = server.start();
        if (ok && open_here) line.open(QStringLiteral("COM1"), server.path(), rate);
        req.set_device_address(1);
        req.set_computer_address(0);
    }
    sim::PtyServer server;
    SerialLine line;
    SilentPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer req{line, prompts, data, buffer};
    bool ok = false;
};

void BM_ReadTable10Unpaced(benchmark::State& state) {
    LineRig s(9600, false);
    if (!s.ok) {
        state.SkipWithError("simulator did not start");
        return;
    }
    int failures = 0;
    for (auto _ : state) {
        if (!s.req.read_table(TableId::TAB_LIVE)) ++failures;
    }
    state.counters["round_trips_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["failures"] = failures;
}
BENCHMARK(BM_ReadTable10Unpaced)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(0.5)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

// The same reading asked for by a window: through the bus worker, waited for as a modal
// flow waits (the worker's thread hop, copies and the window thread's event loop).
struct WorkerRig {
    WorkerRig(int rate, bool pace) : rig(rate, pace, {}, false), ok(rig.ok) {
        rig.line.move_to_thread(bus.worker_thread());
        if (ok)
            bus.run([&](RequestLayer&) {
                rig.line.open(QStringLiteral("COM1"), rig.server.path(), rate);
                return true;
            });
        bus.set_device_address(1);
    }
    ~WorkerRig() {
        bus.run([&](RequestLayer&) {
            rig.line.close();
            rig.line.move_to_thread(QCoreApplication::instance()->thread());
            return true;
        });
    }
    LineRig rig;
    BusWorker bus{rig.req, rig.prompts};
    bool ok;
};

void BM_ReadTable10UnpacedOnTheWorker(benchmark::State& state) {
    WorkerRig s(9600, false);
    if (!s.ok) {
        state.SkipWithError("simulator did not start");
        return;
    }
    int failures = 0;
    for (auto _ : state) {
        if (!s.bus.read_table(TableId::TAB_LIVE)) ++failures;
    }
    state.counters["round_trips_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["failures"] = failures;
}
BENCHMARK(BM_ReadTable10UnpacedOnTheWorker)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(0.5)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

// The same exchange on a bare QSerialPort, without purges or time-out bookkeeping: the
// floor the line's figure is to be compared with (both run side by side, so the
// machine's load affects them alike).
void BM_BareQSerialPortExchange(benchmark::State& state) {
    sim::PtyServer server(sim::Options{}, 9600, false);
    if (!server.start()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    QSerialPort port;
    port.setPortName(server.path());
    if (!port.open(QIODevice::ReadWrite)) {
        state.SkipWithError("port did not open");
        return;
    }
    telegram::Buffer tx{};
    const int n = telegram::build_read(tx, 1, 0, 10, 21);
    char rx[64];
    int failures = 0;
    for (auto _ : state) {
        port.write(reinterpret_cast<const char*>(tx.data()), n);
        port.waitForBytesWritten(1000);
        qint64 got = 0;
        while (got < 30 && port.waitForReadyRead(1000)) got += port.read(rx + got, 30 - got);
        if (got != 30) ++failures;
    }
    state.counters["round_trips_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["failures"] = failures;
}
BENCHMARK(BM_BareQSerialPortExchange)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(0.5)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

// 13 request and 30 reply characters of 11 bits each.
constexpr double kWireMs = 43 * 11 * 1000.0 / 9600;

// Times each reading against the wire time of its telegrams.
template <class Read>
void time_paced_readings(benchmark::State& state, Read read) {
    std::vector<double> ms;
    int failures = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        if (!read()) ++failures;
        const double took = static_cast<double>(t.nsecsElapsed()) / 1e6;
        state.SetIterationTime(took / 1000.0);
        ms.push_back(took);
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms.empty() ? 0 : ms[ms.size() / 2];
    state.counters["median_ms"] = median;
    state.counters["wire_ms"] = kWireMs;
    state.counters["ratio"] = median / kWireMs;
    state.counters["failures"] = failures;
}

void BM_ReadTable10Paced9600(benchmark::State& state) {
    LineRig s(9600, true);
    if (!s.ok) {
        state.SkipWithError("simulator did not start");
        return;
    }
    time_paced_readings(state, [&] { return s.req.read_table(TableId::TAB_LIVE); });
}
BENCHMARK(BM_ReadTable10Paced9600)->Unit(benchmark::kMillisecond)->Iterations(60)->UseManualTime();

void BM_ReadTable10Paced9600OnTheWorker(benchmark::State& state) {
    WorkerRig s(9600, true);
    if (!s.ok) {
        state.SkipWithError("simulator did not start");
        return;
    }
    time_paced_readings(state, [&] { return s.bus.read_table(TableId::TAB_LIVE); });
}
BENCHMARK(BM_ReadTable10Paced9600OnTheWorker)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(60)
    ->UseManualTime();

// Times the reads the request layer makes to let late answers go by: the only ones
// that ask for 255 bytes during a table read.
class SettleTimingLine : public Line {
  public:
    explicit SettleTimingLine(Line& inner) : inner_(inner) {}
    bool write_bytes(const std::uint8_t* b, int n, int* w) override {
        return inner_.write_bytes(b, n, w);
    }
    bool read_bytes(std::uint8_t* b, int n, int* r) override {
        QElapsedTimer t;
        t.start();
        const bool ok = inner_.read_bytes(b, n, r);
        if (n == 255) settle_ms += static_cast<double>(t.nsecsElapsed()) / 1e6;
        return ok;
    }
    void purge_rx() override { inner_.purge_rx(); }
    void purge_tx() override { inner_.purge_tx(); }
    void pause_ms(int ms) override { inner_.pause_ms(ms); }
    double settle_ms = 0;

  private:
    Line& inner_;
};

// A failed or repeated exchange against a faulty controller, paced at 9600 baud. Late:
// every answer comes 700 ms after its request, so each read sends again after its
// time-out, takes the late answer to the first request, then waits until the answer to
// the repetition has passed and the line is quiet. Silent: two read time-outs, then the
// quiet window. The settle figure is the time the request layer adds for it.
void BM_FaultRecovery(benchmark::State& state, sim::Fault fault) {
    sim::Options o;
    o.faults.push_back({fault, 1});
    LineRig s(9600, true, o);
    if (!s.ok) {
        state.SkipWithError("simulator did not start");
        return;
    }
    SettleTimingLine timed(s.line);
    s.req.set_line(timed);
    std::vector<double> total, settle;
    int failures = 0;
    for (auto _ : state) {
        timed.settle_ms = 0;
        QElapsedTimer t;
        t.start();
        if (!s.req.read_table(TableId::TAB_LIVE)) ++failures;
        const double took = static_cast<double>(t.nsecsElapsed()) / 1e6;
        state.SetIterationTime(took / 1000.0);
        total.push_back(took);
        settle.push_back(timed.settle_ms);
    }
    std::sort(total.begin(), total.end());
    std::sort(settle.begin(), settle.end());
    state.counters["median_total_ms"] = total[total.size() / 2];
    state.counters["median_settle_ms"] = settle[settle.size() / 2];
    state.counters["failures"] = failures;
}
BENCHMARK_CAPTURE(BM_FaultRecovery, late, sim::Fault::LateBytes)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseManualTime();
BENCHMARK_CAPTURE(BM_FaultRecovery, silent, sim::Fault::Silence)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseManualTime();

}  // namespace

int main(int argc, char** argv) { return run_benchmarks_with_core_app(argc, argv); }
