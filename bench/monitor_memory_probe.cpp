// The traffic monitor open while table 10 is read unpaced, as fast as the simulator on a
// pseudo-terminal answers, with the event loop run between exchanges. Prints the
// process's resident memory every few seconds: after the ring has filled it stays flat.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <fstream>

#include "bench/silent_prompts.h"
#include "comm/Unit_hl.h"
#include "comm/recording_line.h"
#include "comm/serial_line.h"
#include "monitor/comm_monitor.h"
#include "monitor/telegram_model.h"
#include "platform/prompts.h"
#include "sim/pty_server.h"

namespace {

double rss_mib() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
           (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 60;
    const int step_s = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 5;
    // "closed": the same run with the monitor never shown, for comparison.
    const bool open = !(argc > 3 && QLatin1String(argv[3]) == QLatin1String("closed"));

    sim::PtyServer server(sim::Options{}, 9600, false);
    if (!server.start()) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(server.error()));
        return 1;
    }
    SerialLine serial;
    serial.open(QStringLiteral("COM1"), server.path(), 9600);
    RecordingLine recorder(serial);
    SilentPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer requests(recorder, prompts, data, buffer);
    requests.set_device_address(1);
    requests.set_computer_address(0);

    CommMonitor monitor(recorder, prompts);
    recorder.set_observer([&monitor] { monitor.notify(); });
    if (open) monitor.show();
    QApplication::processEvents();

    std::printf("%6s %10s %10s %8s %9s\n", "t_s", "exchanges", "telegrams", "rows", "rss_MiB");
    QElapsedTimer clock;
    clock.start();
    long exchanges = 0, failures = 0;
    qint64 next_report = 0;
    for (;;) {
        const qint64 now = clock.elapsed();
        if (now >= next_report) {
            std::printf("%6lld %10ld %10llu %8d %9.1f\n", static_cast<long long>(now / 1000),
                        exchanges, static_cast<unsigned long long>(recorder.last_seq()),
                        monitor.model().rowCount(), rss_mib());
            std::fflush(stdout);
            next_report += step_s * 1000;
        }
        if (now >= seconds * 1000LL) break;
        if (!requests.read_table(TableId::TAB_LIVE)) ++failures;
        ++exchanges;
        QApplication::processEvents();
    }
    std::printf("failures %ld, exchanges per second %.0f\n", failures,
                static_cast<double>(exchanges) * 1000.0 / static_cast<double>(clock.elapsed()));
    recorder.set_observer({});
    return 0;
}
