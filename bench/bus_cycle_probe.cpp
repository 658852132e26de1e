// Polling cycle of the gateway and of the bus overview against the wire time: 1, 10 and
// 30 simulated controllers on a pseudo-terminal that paces its replies at the rate.
#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <cstdio>

#include "bench/silent_prompts.h"
#include "comm/Unit_hl.h"
#include "comm/bus_worker.h"
#include "comm/serial_line.h"
#include "gateway/bus_poller.h"
#include "overview/bus_overview.h"
#include "sim/pty_server.h"

namespace {

constexpr int kRate = 9600;
// One exchange of table 10: 13 request bytes and 30 reply bytes of 11 bits each.
constexpr double kWireMs = (13 + 30) * 11 * 1000.0 / kRate;

sim::Options controllers(int n) {
    sim::Options o;
    o.addresses.clear();
    for (int a = 1; a <= n; ++a) o.addresses.push_back(a);
    return o;
}

double gateway_cycle_ms(int n, int passes) {
    sim::PtyServer server(controllers(n), kRate, true);
    if (!server.start()) return -1;
    SerialLine line;
    line.open(QStringLiteral("bench"), server.path(), kRate);
    SilentPrompts prompts;
    RequestLayer requests(line, prompts);
    UnitTable table;
    std::vector<int> all = controllers(n).addresses;
    table.set_addresses(all);
    BusPoller poller(requests, table);
    std::atomic<bool> stop{false};
    poller.poll_pass(stop);  // warm up
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < passes; ++i) poller.poll_pass(stop);
    return static_cast<double>(t.elapsed()) / passes;
}

double overview_cycle_ms(int n, int cycles) {
    sim::PtyServer server(controllers(n), kRate, true);
    if (!server.start()) return -1;
    SerialLine line;
    SilentPrompts prompts;
    RequestLayer requests(line, prompts);
    BusWorker bus(requests, prompts);
    line.open(QStringLiteral("bench"), server.path(), kRate);
    line.move_to_thread(bus.worker_thread());
    double result = -1;
    {
        BusOverview overview(bus, nullptr);
        overview.set_addresses(controllers(n).addresses);
        overview.show();
        while (overview.cycles() < 1) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const int start = overview.cycles();
        QElapsedTimer t;
        t.start();
        while (overview.cycles() < start + cycles)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        result = static_cast<double>(t.elapsed()) / cycles;
        overview.hide();
        bus.wait_idle();
    }
    bus.run([&line](RequestLayer&) {
        line.close();
        line.move_to_thread(QCoreApplication::instance()->thread());
        return true;
    });
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("%d baud paced; wire time of one table-10 exchange %.1f ms\n", kRate, kWireMs);
    std::printf("| controllers | wire time | gateway pass | overview cycle |\n");
    std::printf("|---:|---:|---:|---:|\n");
    for (int n : {1, 10, 30}) {
        const int passes = n == 1 ? 40 : n == 10 ? 8 : 4;
        const double g = gateway_cycle_ms(n, passes);
        const double o = overview_cycle_ms(n, passes);
        std::printf("| %d | %.0f ms | %.0f ms (%.2f x) | %.0f ms (%.2f x) |\n", n, n * kWireMs, g,
                    g / (n * kWireMs), o, o / (n * kWireMs));
        std::fflush(stdout);
    }
    return 0;
}
