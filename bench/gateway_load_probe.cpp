// The gateway under load: tx20ctl serve polling 30 paced controllers at 9600 baud and
// publishing to a local mosquitto, while 10 Modbus TCP clients each ask 10 times a
// second. Prints the response times (P50, P99, max) and the gateway's resident memory
// every 10 s with its slope. Usage: gateway_load_probe [SECONDS]
#include <arpa/inet.h>
#include <modbus.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "bench/process_memory.h"
#include "sim/pty_server.h"
#include "tests/support/free_port.h"

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    constexpr int kUnits = 30, kClients = 10, kHz = 10;

    sim::Options o;
    o.addresses.clear();
    for (int a = 1; a <= kUnits; ++a) o.addresses.push_back(a);
    sim::PtyServer server(o, 9600, true);
    if (!server.start()) return 1;

    QTemporaryDir dir;
    const int mqtt_port = free_port();
    QFile conf(dir.filePath(QStringLiteral("m.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(
        QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n").arg(mqtt_port).toUtf8());
    conf.close();
    QProcess broker;
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
    broker.waitForStarted();
    QThread::msleep(300);

    const int port = free_port();
    QProcess gw;
    gw.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    gw.start(
        QStringLiteral(TX20CTL_PATH),
        {QStringLiteral("--port"), server.path(), QStringLiteral("serve"),
         QStringLiteral("--addresses"), QStringLiteral("1-30"), QStringLiteral("--period"),
         QStringLiteral("0"), QStringLiteral("--modbus"), QStringLiteral("127.0.0.1:%1").arg(port),
         QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1:%1").arg(mqtt_port)});
    gw.waitForStarted();
    QThread::msleep(3000);  // every controller read once (30 x 50 ms) and its type text

    std::mutex mutex;
    std::vector<double> latencies_ms;
    std::atomic<int> errors{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
            if (!ctx || modbus_connect(ctx) != 0) {
                ++errors;
                return;
            }
            std::vector<double> mine;
            auto next = Clock::now();
            for (int i = 0; !stop; ++i) {
                const int unit = (c * 3 + i) % kUnits + 1;
                modbus_set_slave(ctx, unit);
                std::uint16_t regs[12];
                const auto t0 = Clock::now();
                if (modbus_read_input_registers(ctx, 0, 12, regs) != 12) ++errors;
                mine.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
                next += std::chrono::milliseconds(1000 / kHz);
                std::this_thread::sleep_until(next);
            }
            modbus_close(ctx);
            modbus_free(ctx);
            std::lock_guard<std::mutex> lock(mutex);
            latencies_ms.insert(latencies_ms.end(), mine.begin(), mine.end());
        });
    }

    std::printf("| t [s] | gateway RSS [KiB] |\n|---:|---:|\n");
    std::vector<std::pair<double, long>> samples;
    const auto started = Clock::now();
    for (int t = 0; t <= seconds; t += 10) {
        std::this_thread::sleep_until(started + std::chrono::seconds(t));
        const long rss = rss_kib(gw.processId());
        samples.emplace_back(t, rss);
        std::printf("| %d | %ld |\n", t, rss);
        std::fflush(stdout);
    }
    stop = true;
    for (std::thread& t : clients) t.join();
    gw.terminate();
    gw.waitForFinished(10000);
    broker.terminate();
    broker.waitForFinished(5000);

    const auto at = [&](double q) { return quantile(latencies_ms, q); };
    const double slope = rss_slope_per_s(samples, seconds >= 120 ? 60 : 0);
    std::printf("\n%d clients x %d Hz, %d controllers, %d s: %zu requests, %d errors\n", kClients,
                kHz, kUnits, seconds, latencies_ms.size(), errors.load());
    std::printf("response time P50 %.2f ms, P99 %.2f ms, max %.2f ms\n", at(0.5), at(0.99),
                at(1.0));
    std::printf("RSS slope %.1f KiB/hour (from %s), gateway exit status %d\n", slope * 3600,
                seconds >= 120 ? "60 s" : "0 s", gw.exitCode());
    return 0;
}
