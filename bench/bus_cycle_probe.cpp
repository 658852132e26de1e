// Polling cycle of the gateway and of the bus overview against the wire time: 1, 10 and
// 30 simulated controllers on a pseudo-terminal that paces its replies at the rate.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "bench/silent_prompts.h"
#include "bus/bus_poller.h"
#include "bus/bus_session.h"
#include "comm/Unit_hl.h"
#include "comm/bus_worker.h"
#include "comm/serial_line.h"
#include "gateway/register_map.h"
#include "journal/service_journal.h"
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

// With a journal, every reading is judged by the alarms as the program and the gateway
// judge them.
double gateway_cycle_ms(int n, int passes, ServiceJournal* journal = nullptr) {
    sim::PtyServer server(controllers(n), kRate, true);
    if (!server.start()) return -1;
    SerialLine line;
    line.open(QStringLiteral("bench"), server.path(), kRate);
    BusSession session(line);
    UnitTable table;
    BusPoller poller(table);
    poller.set_addresses(controllers(n).addresses);
    if (journal)
        poller.set_on_reading([journal](const UnitReading& r) {
            journal->reading(r.address, r.link, r.live);
            std::vector<AlarmStatus> mine;
            for (const AlarmStatus& a : journal->alarms().list())
                if (a.address == r.address) mine.push_back(a);
            (void)register_map::alarm_registers(mine);
        });
    std::atomic<bool> stop{false};
    poller.poll_pass(session, stop);  // warm up; reads each type text once
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < passes; ++i) poller.poll_pass(session, stop);
    return static_cast<double>(t.elapsed()) / passes;
}

// The main window's one-second reading while the overview polls: how long each waits
// from being asked to being done (its own exchange included).
struct Shared {
    double mean_ms = 0;
    double max_ms = 0;
    int readings = 0;
};
Shared g_shared;

double overview_cycle_ms(int n, int cycles, ServiceJournal* journal = nullptr,
                         bool main_window_reads = true) {
    sim::PtyServer server(controllers(n), kRate, true);
    if (!server.start()) return -1;
    SerialLine line;
    SilentPrompts prompts;
    RequestLayer requests(line, prompts);
    BusWorker bus(requests, prompts);
    bus.set_device_address(1);  // the main window's own controller
    line.open(QStringLiteral("bench"), server.path(), kRate);
    line.move_to_thread(bus.worker_thread());
    double result = -1;
    {
        BusOverview overview(bus, nullptr);
        overview.set_addresses(controllers(n).addresses);
        if (journal)
            overview.set_reading_observer([journal](int a, bool ok, const LiveGroup& live) {
                journal->reading(a, ok, live);
            });
        overview.show();
        // The first cycles also read each type text once: measured from the third on.
        while (overview.cycles() < 2)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        const int start = overview.cycles();
        QElapsedTimer t;
        t.start();
        QTimer second;
        std::vector<qint64> waits;
        QObject::connect(&second, &QTimer::timeout, [&] {
            QElapsedTimer asked;
            asked.start();
            bus.post([](RequestLayer& r) { return r.read_table(TableId::TAB_LIVE); },
                     [&waits, asked](bool) { waits.push_back(asked.elapsed()); });
        });
        if (main_window_reads) second.start(1000);
        while (overview.cycles() < start + cycles)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        result = static_cast<double>(t.elapsed()) / cycles;
        second.stop();
        g_shared = {};
        for (qint64 w : waits) {
            g_shared.mean_ms += static_cast<double>(w) / static_cast<double>(waits.size());
            g_shared.max_ms = std::max(g_shared.max_ms, static_cast<double>(w));
        }
        g_shared.readings = static_cast<int>(waits.size());
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
    std::printf(
        "| controllers | wire time | gateway pass | overview cycle | overview cycle against its "
        "wire time with the main window's readings | main window's reading meanwhile: mean / "
        "max wait | overview cycle, the main window not reading |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int n : {1, 10, 30}) {
        const int passes = n == 1 ? 40 : n == 10 ? 8 : 6;
        const double g = gateway_cycle_ms(n, passes);
        const double o = overview_cycle_ms(n, passes);
        const Shared shared = g_shared;
        const double alone = overview_cycle_ms(n, passes, nullptr, false);
        // The main window's readings share the line: their telegrams are part of the cycle.
        const double shared_wire = (n + static_cast<double>(shared.readings) / passes) * kWireMs;
        std::printf(
            "| %d | %.0f ms | %.0f ms (%.2f x) | %.0f ms (%.2f x) | %.2f x | %.0f / %.0f ms (%d) "
            "| %.0f ms (%.2f x) |\n",
            n, n * kWireMs, g, g / (n * kWireMs), o, o / (n * kWireMs), o / shared_wire,
            shared.mean_ms, shared.max_ms, shared.readings, alone, alone / (n * kWireMs));
        std::fflush(stdout);
    }
    // The alarms judged from every reading, side by side with none (30 controllers, FAULT
    // and loss of communication watched as by default).
    QTemporaryDir dir;
    ServiceJournal journal(dir.filePath(QStringLiteral("journal.sqlite")));
    std::printf(
        "\n| 30 controllers | without alarms | with alarms | ratio |\n|---|---:|---:|---:|\n");
    const double g0 = gateway_cycle_ms(30, 6);
    const double g1 = gateway_cycle_ms(30, 6, &journal);
    std::printf("| gateway pass | %.0f ms | %.0f ms | %.3f |\n", g0, g1, g1 / g0);
    const double o0 = overview_cycle_ms(30, 6);
    const double o1 = overview_cycle_ms(30, 6, &journal);
    std::printf("| overview cycle | %.0f ms | %.0f ms | %.3f |\n", o0, o1, o1 / o0);
    return 0;
}
