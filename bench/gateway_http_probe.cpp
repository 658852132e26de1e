// The gateway's HTTP side under load, against 30 paced controllers at 9600 baud.
//   gateway_http_probe metrics [SECONDS]   10 scrapers of /metrics at 1 Hz: response
//                                          times P50, P99, max
//   gateway_http_probe page [SECONDS]      50 clients fetching what the status page
//                                          fetches (/api/view) once a second on
//                                          keep-alive connections: the gateway's memory
//                                          every 10 s with its slope, and the polling
//                                          cycle with them against a minute without
//                                          before and after
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
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
#include "tests/tools/gateway_run.h"

namespace {

using Clock = std::chrono::steady_clock;

// One request on a kept-alive connection; false when the answer did not come whole.
bool fetch(int fd, const QByteArray& path, QByteArray* body) {
    const QByteArray request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    if (::send(fd, request.constData(), static_cast<std::size_t>(request.size()), MSG_NOSIGNAL) !=
        request.size())
        return false;
    QByteArray in;
    char buf[16384];
    qsizetype head = -1, length = -1;
    while (head < 0 || in.size() < head + 4 + length) {
        const auto n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return false;
        in.append(buf, static_cast<int>(n));
        if (head < 0 && (head = in.indexOf("\r\n\r\n")) >= 0) {
            static const QRegularExpression cl(QStringLiteral("(?i)content-length: *(\\d+)"));
            const auto m = cl.match(QString::fromLatin1(in.left(head)));
            if (!m.hasMatch()) return false;
            length = m.captured(1).toLongLong();
        }
    }
    *body = in.mid(head + 4, length);
    return in.startsWith("HTTP/1.1 200");
}

// Readings the gateway asked for so far, all controllers together.
double polls(int port) {
    const int fd = connect_to(port);
    QByteArray body;
    const bool ok = fd >= 0 && fetch(fd, "/metrics", &body);
    if (fd >= 0) ::close(fd);
    if (!ok) return -1;
    double sum = 0;
    for (const QByteArray& line : body.split('\n'))
        if (line.startsWith("tx20_gateway_polls_total{"))
            sum += line.mid(line.lastIndexOf(' ') + 1).toDouble();
    return sum;
}

// Seconds per pass over the 30 controllers, measured over the next `seconds`.
double cycle_s(int port, int seconds) {
    const double p0 = polls(port);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double p1 = polls(port);
    const double dt = std::chrono::duration<double>(Clock::now() - t0).count();
    return p1 > p0 ? 30 * dt / (p1 - p0) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("metrics");
    const bool page = mode == QLatin1String("page");
    const int seconds = argc > 2 ? std::atoi(argv[2]) : (page ? 600 : 60);
    constexpr int kUnits = 30;
    const int clients_n = page ? 50 : 10;
    const QByteArray path = page ? "/api/view" : "/metrics";

    sim::Options o;
    o.addresses.clear();
    for (int a = 1; a <= kUnits; ++a) o.addresses.push_back(a);
    sim::PtyServer server(o, 9600, true);
    if (!server.start()) return 1;

    const int port = free_port();
    QProcess gw;
    gw.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    gw.start(QStringLiteral(TX20CTL_PATH),
             {QStringLiteral("--port"), server.path(), QStringLiteral("serve"),
              QStringLiteral("--addresses"), QStringLiteral("1-30"), QStringLiteral("--period"),
              QStringLiteral("0"), QStringLiteral("--http"), QStringLiteral(":%1").arg(port)});
    gw.waitForStarted();
    QThread::msleep(4000);  // every controller read once and its type text

    const double before = page ? cycle_s(port, 60) : 0;

    std::mutex mutex;
    std::vector<double> latencies_ms;
    std::atomic<int> errors{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> clients;
    for (int c = 0; c < clients_n; ++c) {
        clients.emplace_back([&, c] {
            int fd = connect_to(port);
            std::vector<double> mine;
            // Spread over the second, as scrapers and browsers are.
            auto next = Clock::now() + std::chrono::milliseconds(1000 * c / clients_n);
            std::this_thread::sleep_until(next);
            while (!stop) {
                QByteArray body;
                const auto t0 = Clock::now();
                if (fd < 0 || !fetch(fd, path, &body) || body.isEmpty()) {
                    ++errors;
                    if (fd >= 0) ::close(fd);
                    fd = connect_to(port);
                } else {
                    mine.push_back(
                        std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
                }
                next += std::chrono::seconds(1);
                std::this_thread::sleep_until(next);
            }
            if (fd >= 0) ::close(fd);
            std::lock_guard<std::mutex> lock(mutex);
            latencies_ms.insert(latencies_ms.end(), mine.begin(), mine.end());
        });
    }

    std::vector<std::pair<double, long>> samples;
    double during = 0;
    if (page) {
        std::printf("| t [s] | gateway RSS [KiB] |\n|---:|---:|\n");
        const auto started = Clock::now();
        const double p0 = polls(port);
        for (int t = 0; t <= seconds; t += 10) {
            std::this_thread::sleep_until(started + std::chrono::seconds(t));
            const long rss = rss_kib(gw.processId());
            samples.emplace_back(t, rss);
            std::printf("| %d | %ld |\n", t, rss);
            std::fflush(stdout);
        }
        const double p1 = polls(port);
        const double dt = std::chrono::duration<double>(Clock::now() - started).count();
        during = p1 > p0 ? 30 * dt / (p1 - p0) : -1;
    } else {
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
    }
    stop = true;
    for (std::thread& t : clients) t.join();
    const double after = page ? cycle_s(port, 60) : 0;
    gw.terminate();
    gw.waitForFinished(10000);

    const auto at = [&](double q) { return quantile(latencies_ms, q); };
    std::printf("\n%d clients of %s at 1 Hz, %d controllers, %d s: %zu answers, %d errors\n",
                clients_n, path.constData(), kUnits, seconds, latencies_ms.size(), errors.load());
    std::printf("response time P50 %.2f ms, P99 %.2f ms, max %.2f ms\n", at(0.5), at(0.99),
                at(1.0));
    if (page) {
        const double slope = rss_slope_per_s(samples, seconds >= 120 ? 60 : 0);
        std::printf("RSS slope %.1f KiB/hour\n", slope * 3600);
        const double without = (before + after) / 2;
        std::printf(
            "polling cycle: %.3f s without clients (%.3f before, %.3f after), %.3f s with "
            "them: %.3fx\n",
            without, before, after, during, without > 0 ? during / without : -1);
    }
    std::printf("gateway exit status %d\n", gw.exitCode());
    return 0;
}
