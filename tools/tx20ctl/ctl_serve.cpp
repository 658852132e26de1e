#include "tools/tx20ctl/ctl_serve.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <memory>
#include <mutex>
#include <thread>

#include "bus/address_list.h"
#include "bus/bus_poller.h"
#include "bus/bus_scan.h"
#include "bus/bus_session.h"
#include "bus/unit_table.h"
#include "comm/recording_line.h"
#include "comm/serial_line.h"
#include "comm/serial_ports.h"
#include "gateway/modbus_server.h"
#include "gateway/mqtt_publisher.h"
#include "platform/settings_store.h"
#include "tools/tx20ctl/ctl_commands.h"
#include "tools/tx20ctl/ctl_options.h"

namespace {

constexpr int kReopenMs = 1000;
constexpr int kModbusPollMs = 200;

bool parse_host_port(const QString& text, QString* host, int* port) {
    const int colon = static_cast<int>(text.lastIndexOf(QLatin1Char(':')));
    if (colon < 0) return false;
    QString h = text.left(colon);
    if (h.startsWith(QLatin1Char('[')) && h.endsWith(QLatin1Char(']'))) h = h.mid(1, h.size() - 2);
    bool ok = false;
    const int p = text.mid(colon + 1).toInt(&ok);
    if (!ok || p < 1 || p > 65535) return false;
    *host = h;
    *port = p;
    return true;
}

// Sleeps in small steps so that a stop signal is noticed.
void nap(qint64 ms, const std::atomic<bool>& interrupted) {
    QElapsedTimer t;
    t.start();
    while (!interrupted && t.elapsed() < ms)
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(ms - t.elapsed(), 50)));
}

}  // namespace

bool is_serve_flag(const QString& arg) { return arg == QLatin1String("--scan"); }

bool is_serve_option(const QString& arg) {
    return arg == QLatin1String("--addresses") || arg == QLatin1String("--period") ||
           arg == QLatin1String("--modbus") || arg == QLatin1String("--mqtt") ||
           arg == QLatin1String("--topic");
}

QString apply_serve_option(ServeOptions& s, const QString& arg, const QString& value) {
    s.given = true;
    if (arg == QLatin1String("--addresses")) {
        QString why;
        const auto list = address_list::parse(value, &why);
        if (!list)
            return QStringLiteral(
                       "--addresses must be a list of addresses 1..126 like 1,2,5-9 (%1)")
                .arg(why);
        s.addresses = *list;
        std::sort(s.addresses.begin(), s.addresses.end());
    } else if (arg == QLatin1String("--period")) {
        bool ok = false;
        const double v = QLocale::c().toDouble(value, &ok);
        if (!ok || !std::isfinite(v) || v < 0 || v > 86400)
            return QStringLiteral("--period must be a number of seconds, 0 or more");
        s.period_s = v;
    } else if (arg == QLatin1String("--modbus")) {
        if (!parse_host_port(value, &s.modbus_host, &s.modbus_port))
            return QStringLiteral("--modbus must be HOST:PORT");
    } else if (arg == QLatin1String("--mqtt")) {
        if (!parse_host_port(value, &s.mqtt_host, &s.mqtt_port) || s.mqtt_host.isEmpty())
            return QStringLiteral("--mqtt must be HOST:PORT");
    } else if (arg == QLatin1String("--topic")) {
        if (value.isEmpty() || value.contains(QLatin1Char('#')) || value.contains(QLatin1Char('+')))
            return QStringLiteral("--topic must be a topic prefix without wildcards");
        s.topic = value;
    }
    return {};
}

QString check_serve_options(const ServeOptions& s, bool serve_command) {
    if (!serve_command)
        return s.given ? QStringLiteral(
                             "--addresses, --scan, --period, --modbus, --mqtt and "
                             "--topic belong to the serve command")
                       : QString();
    if (s.scan == !s.addresses.empty())
        return QStringLiteral("serve needs either --addresses LIST or --scan");
    if (s.modbus_port == 0 && s.mqtt_port == 0)
        return QStringLiteral("serve needs --modbus HOST:PORT, --mqtt HOST:PORT or both");
    return {};
}

int run_serve(const CtlOptions& o, QTextStream& err, const std::atomic<bool>& interrupted) {
    const ServeOptions& s = o.serve;
    std::signal(SIGPIPE, SIG_IGN);
    std::mutex log_mutex;
    const auto log = [&](const QString& line) {
        std::lock_guard<std::mutex> lock(log_mutex);
        err << "tx20ctl: " << line << Qt::endl;
    };

    static const QRegularExpression com_name(QStringLiteral("^COM[0-9]+$"));
    const QString device =
        com_name.match(o.port).hasMatch() ? SettingsStore().port_device(o.port) : o.port;

    UnitTable table;
    table.set_addresses(s.addresses);

    // Modbus TCP on a thread of its own: it answers while an exchange blocks the bus.
    std::unique_ptr<ModbusServer> modbus;
    std::atomic<bool> stop_modbus{false};
    std::thread modbus_thread;
    if (s.modbus_port > 0) {
        modbus = std::make_unique<ModbusServer>(table, monotonic_ms);
        if (!modbus->listen(s.modbus_host, s.modbus_port)) {
            log(QStringLiteral("cannot serve Modbus TCP on %1:%2: %3")
                    .arg(s.modbus_host, QString::number(s.modbus_port), modbus->error()));
            return kExitFailed;
        }
        modbus_thread = std::thread([&] {
            while (!stop_modbus) modbus->serve(kModbusPollMs);
        });
        log(QStringLiteral("serving Modbus TCP on %1:%2")
                .arg(s.modbus_host.isEmpty() ? QStringLiteral("*") : s.modbus_host)
                .arg(s.modbus_port));
    }
    const auto end_modbus = [&] {
        stop_modbus = true;
        if (modbus_thread.joinable()) modbus_thread.join();
    };

    std::unique_ptr<MqttPublisher> mqtt;
    if (s.mqtt_port > 0) {
        mqtt = std::make_unique<MqttPublisher>(s.mqtt_host, s.mqtt_port, s.topic, log);
        if (!mqtt->start()) {
            log(QStringLiteral("cannot publish to MQTT broker %1:%2: %3")
                    .arg(s.mqtt_host, QString::number(s.mqtt_port), mqtt->error()));
            end_modbus();
            mqtt.reset();
            MqttPublisher::end_library();
            return kExitFailed;
        }
        log(QStringLiteral("publishing to MQTT broker %1:%2 under %3/")
                .arg(s.mqtt_host)
                .arg(s.mqtt_port)
                .arg(s.topic));
    }

    // The bus: polled on this thread, where the port lives.
    SerialLine serial;
    // Only the counts per address are kept, for the poller's snapshot.
    RecordingLine recorded(serial, 16);
    BusSession session(recorded, static_cast<std::uint8_t>(o.sa));
    BusPoller poller(table);
    poller.set_line_stats([&recorded] { return recorded.stats(); });
    poller.set_on_reading([&](const UnitReading& r) {
        if (mqtt) mqtt->publish(r);
    });
    const auto publish_all = [&] {
        if (!mqtt) return;
        for (int a : table.addresses())
            if (const auto r = table.get(a)) mqtt->publish(*r);
    };

    bool opened_once = false;
    bool gone = false;
    bool scanned = !s.scan;
    const auto period_ms = static_cast<qint64>(std::llround(s.period_s * 1000));
    QElapsedTimer clock;
    clock.start();
    qint64 due = 0;
    while (!interrupted) {
        if (!serial.is_open()) {
            try {
                serial.open(o.port, device, o.rate);
                if (gone) log(QStringLiteral("%1 reopened").arg(o.port));
                gone = false;
                poller.forget_failures();
            } catch (const PortError& e) {
                if (!gone) {
                    // Said once; meanwhile every controller's link is down.
                    if (opened_once) {
                        log(QStringLiteral("%1 has gone; waiting for it to come back").arg(o.port));
                    } else {
                        log(e.message());
                        for (const QString& l : explain_open_failure(device, serial.open_error(),
                                                                     serial.open_error_reason(),
                                                                     serial_access_denied(device)))
                            log(l);
                        log(QStringLiteral("waiting for %1").arg(o.port));
                    }
                    gone = true;
                    table.all_down();
                    publish_all();
                }
                nap(kReopenMs, interrupted);
                continue;
            }
            if (!opened_once)
                log(QStringLiteral("polling on %1 at %2 baud").arg(o.port).arg(o.rate));
            opened_once = true;
        }
        if (!scanned) {
            const std::vector<int> found =
                bus_scan::scan(session, bus_scan::probe_wait_ms(o.rate), interrupted);
            if (interrupted || !serial.is_open()) continue;
            poller.set_addresses(found);
            QStringList list;
            for (int a : found) list << QString::number(a);
            log(found.empty() ? QStringLiteral("no controller answered the scan")
                              : QStringLiteral("found %1").arg(list.join(QLatin1Char(','))));
            scanned = true;
        }
        poller.poll_pass(session, interrupted);
        due += period_ms;
        if (clock.elapsed() > due) due = clock.elapsed();  // fell behind: no catching up
        nap(due - clock.elapsed(), interrupted);
    }
    end_modbus();
    if (mqtt) {
        mqtt.reset();
        MqttPublisher::end_library();
    }
    return kExitOk;
}
