#include "tools/tx20ctl/ctl_serve.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <map>
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
#include "gateway/credentials.h"
#include "gateway/gateway_record.h"
#include "gateway/http_server.h"
#include "gateway/listen_address.h"
#include "gateway/modbus_server.h"
#include "gateway/mqtt_publisher.h"
#include "gateway/register_map.h"
#include "gateway/unit_json.h"
#include "journal/service_journal.h"
#include "platform/settings_store.h"
#include "tools/tx20ctl/ctl_commands.h"
#include "tools/tx20ctl/ctl_options.h"

namespace {

constexpr int kReopenMs = 1000;
constexpr int kModbusPollMs = 200;
// Rules changed in the program's alarm window reach a running gateway this soon.
constexpr qint64 kRulesReloadMs = 10000;

// Sleeps in small steps so that a stop signal is noticed.
void nap(qint64 ms, const std::atomic<bool>& interrupted) {
    QElapsedTimer t;
    t.start();
    while (!interrupted && t.elapsed() < ms)
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(ms - t.elapsed(), 50)));
}

}  // namespace

bool is_serve_flag(const QString& arg) {
    return arg == QLatin1String("--scan") || arg == QLatin1String("--http-open");
}

void apply_serve_flag(ServeOptions& s, const QString& arg) {
    s.given = true;
    if (arg == QLatin1String("--scan"))
        s.scan = true;
    else
        s.http_open = true;
}

bool is_serve_option(const QString& arg) {
    static const QStringList options{
        QStringLiteral("--addresses"), QStringLiteral("--period"),
        QStringLiteral("--modbus"),    QStringLiteral("--modbus-allow"),
        QStringLiteral("--mqtt"),      QStringLiteral("--topic"),
        QStringLiteral("--mqtt-auth"), QStringLiteral("--mqtt-cafile"),
        QStringLiteral("--mqtt-cert"), QStringLiteral("--mqtt-key"),
        QStringLiteral("--http"),      QStringLiteral("--http-auth"),
        QStringLiteral("--journal")};
    return options.contains(arg);
}

QString apply_serve_option(ServeOptions& s, const QString& arg, const QString& value) {
    s.given = true;
    ListenAddress at;
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
        if (!parse_listen_address(value, &at))
            return QStringLiteral("--modbus must be HOST:PORT or :PORT");
        s.modbus_host = at.host;
        s.modbus_port = at.port;
    } else if (arg == QLatin1String("--http")) {
        if (!parse_listen_address(value, &at) ||
            (QHostAddress(at.host).isNull() && !is_loopback_host(at.host)))
            return QStringLiteral("--http must be ADDRESS:PORT or :PORT (an IP address)");
        s.http_host = at.host;
        s.http_port = at.port;
    } else if (arg == QLatin1String("--modbus-allow")) {
        QString bad;
        if (!ClientAllowList().parse(value, &bad))
            return QStringLiteral(
                       "--modbus-allow must be a list of addresses and ranges like "
                       "192.168.1.0/24,10.0.0.5 (not %1)")
                .arg(bad);
        s.modbus_allow = value;
    } else if (arg == QLatin1String("--mqtt")) {
        if (!parse_listen_address(value, &at) || value.startsWith(QLatin1Char(':')))
            return QStringLiteral("--mqtt must be HOST:PORT");
        s.mqtt_host = at.host;
        s.mqtt_port = at.port;
    } else if (arg == QLatin1String("--topic")) {
        if (value.isEmpty() || value.contains(QLatin1Char('#')) || value.contains(QLatin1Char('+')))
            return QStringLiteral("--topic must be a topic prefix without wildcards");
        s.topic = value;
    } else if (arg == QLatin1String("--journal")) {
        if (value.isEmpty()) return QStringLiteral("--journal needs a file");
        s.journal = value;
    } else {
        // The files: read when the gateway starts, so that a mistake is told with its reason.
        if (value.isEmpty()) return QStringLiteral("%1 needs a file").arg(arg);
        QString* file = arg == QLatin1String("--mqtt-auth")     ? &s.mqtt_auth
                        : arg == QLatin1String("--mqtt-cafile") ? &s.mqtt_cafile
                        : arg == QLatin1String("--mqtt-cert")   ? &s.mqtt_cert
                        : arg == QLatin1String("--mqtt-key")    ? &s.mqtt_key
                                                                : &s.http_auth;
        *file = value;
    }
    return {};
}

QString check_serve_options(const ServeOptions& s, bool serve_command) {
    if (!serve_command)
        return s.given ? QStringLiteral(
                             "--addresses, --scan, --period, --modbus, --mqtt, --http "
                             "and their companions belong to the serve command")
                       : QString();
    if (s.scan == !s.addresses.empty())
        return QStringLiteral("serve needs either --addresses LIST or --scan");
    if (s.modbus_port == 0 && s.mqtt_port == 0 && s.http_port == 0)
        return QStringLiteral(
            "serve needs --modbus HOST:PORT, --mqtt HOST:PORT, --http HOST:PORT "
            "or several of them");
    if (!s.modbus_allow.isEmpty() && s.modbus_port == 0)
        return QStringLiteral("--modbus-allow belongs to --modbus");
    const bool mqtt_extras = !s.mqtt_auth.isEmpty() || !s.mqtt_cafile.isEmpty() ||
                             !s.mqtt_cert.isEmpty() || !s.mqtt_key.isEmpty();
    if (mqtt_extras && s.mqtt_port == 0)
        return QStringLiteral(
            "--mqtt-auth, --mqtt-cafile, --mqtt-cert and --mqtt-key belong to "
            "--mqtt");
    if (s.mqtt_cert.isEmpty() != s.mqtt_key.isEmpty())
        return QStringLiteral("--mqtt-cert and --mqtt-key go together");
    if ((!s.http_auth.isEmpty() || s.http_open) && s.http_port == 0)
        return QStringLiteral("--http-auth and --http-open belong to --http");
    if (!s.http_auth.isEmpty() && s.http_open)
        return QStringLiteral("--http-auth and --http-open exclude each other");
    if (s.http_port > 0 && !is_loopback_host(s.http_host) && s.http_auth.isEmpty() && !s.http_open)
        return QStringLiteral(
                   "--http %1:%2 is reachable from other machines: give --http-auth FILE for a "
                   "login, or --http-open to serve it to anyone")
            .arg(s.http_host)
            .arg(s.http_port);
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

    // The files first: a mistake in them is told before anything opens.
    MqttSecurity security;
    std::optional<Credentials> http_login;
    {
        QString problem;
        Credentials c;
        if (!s.mqtt_auth.isEmpty()) {
            if (read_credentials(s.mqtt_auth, &c, &problem)) {
                security.user = c.user;
                security.password = c.password;
            } else {
                problem = QStringLiteral("cannot use --mqtt-auth %1: %2").arg(s.mqtt_auth, problem);
            }
        }
        if (problem.isEmpty() && !s.http_auth.isEmpty()) {
            if (read_credentials(s.http_auth, &c, &problem))
                http_login = c;
            else
                problem = QStringLiteral("cannot use --http-auth %1: %2").arg(s.http_auth, problem);
        }
        const std::pair<const char*, QString> tls_files[] = {{"--mqtt-cafile", s.mqtt_cafile},
                                                             {"--mqtt-cert", s.mqtt_cert},
                                                             {"--mqtt-key", s.mqtt_key}};
        for (const auto& [option, file] : tls_files) {
            if (!problem.isEmpty() || file.isEmpty()) continue;
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly))
                problem = QStringLiteral("cannot use %1 %2: %3")
                              .arg(QLatin1String(option), file, f.errorString());
        }
        if (!problem.isEmpty()) {
            log(problem);
            return kExitFailed;
        }
        security.ca_file = s.mqtt_cafile;
        security.cert_file = s.mqtt_cert;
        security.key_file = s.mqtt_key;
    }

    UnitTable table;
    table.set_addresses(s.addresses);
    GatewayRecord record;

    // Modbus TCP on a thread of its own: it answers while an exchange blocks the bus.
    std::unique_ptr<ModbusServer> modbus;
    std::atomic<bool> stop_modbus{false};
    std::thread modbus_thread;
    if (s.modbus_port > 0) {
        modbus = std::make_unique<ModbusServer>(table, monotonic_ms);
        ClientAllowList allowed;
        QString bad;  // checked with the options
        if (!s.modbus_allow.isEmpty()) allowed.parse(s.modbus_allow, &bad);
        modbus->set_allowed(allowed, log);
        if (!modbus->listen(s.modbus_host, s.modbus_port)) {
            log(QStringLiteral("cannot serve Modbus TCP on %1:%2: %3")
                    .arg(s.modbus_host, QString::number(s.modbus_port), modbus->error()));
            return kExitFailed;
        }
        modbus_thread = std::thread([&] {
            while (!stop_modbus) modbus->serve(kModbusPollMs);
        });
        log(QStringLiteral("serving Modbus TCP on %1:%2 (%3)")
                .arg(s.modbus_host)
                .arg(s.modbus_port)
                .arg(!s.modbus_allow.isEmpty() ? QStringLiteral("to %1 only").arg(s.modbus_allow)
                     : is_loopback_host(s.modbus_host) ? QStringLiteral("to this machine only")
                                                       : QStringLiteral("to anyone who reaches it, "
                                                                        "without a login")));
    }
    std::unique_ptr<MqttPublisher> mqtt;
    // However serving ends: the Modbus thread first, then the broker's library.
    const auto end = qScopeGuard([&] {
        stop_modbus = true;
        if (modbus_thread.joinable()) modbus_thread.join();
        if (mqtt) {
            mqtt.reset();
            MqttPublisher::end_library();
        }
    });
    if (s.mqtt_port > 0) {
        mqtt = std::make_unique<MqttPublisher>(s.mqtt_host, s.mqtt_port, s.topic, log, security);
        if (!mqtt->start()) {
            log(QStringLiteral("cannot publish to MQTT broker %1:%2: %3")
                    .arg(s.mqtt_host, QString::number(s.mqtt_port), mqtt->error()));
            return kExitFailed;
        }
        log(QStringLiteral("publishing to MQTT broker %1:%2 under %3/%4")
                .arg(s.mqtt_host)
                .arg(s.mqtt_port)
                .arg(s.topic)
                .arg(security.tls() ? QStringLiteral(" over TLS") : QString()));
    }

    SerialLine serial;
    // Counts per address for the metrics; a short ring, nobody reads the telegrams.
    RecordingLine recorded(serial, 16);

    BusPoller poller(table);
    poller.set_line_stats([&recorded] { return recorded.stats(); });

    std::unique_ptr<HttpServer> http;
    if (s.http_port > 0) {
        // On the HTTP thread.
        const auto snapshot = [&] {
            const BusPoller::Snapshot polled = poller.snapshot();
            GatewaySnapshot snap;
            snap.now_ms = monotonic_ms();
            snap.cycles = polled.cycles;
            snap.last_cycle_ms = polled.last_cycle_ms;
            for (const UnitReading& r : polled.units) {
                UnitSnapshot u;
                u.reading = r;
                const auto it = polled.line.find(r.address);
                if (it != polled.line.end()) u.line = it->second;
                u.polls = record.polls(r.address);
                snap.units.push_back(std::move(u));
            }
            return snap;
        };
        http = std::make_unique<HttpServer>(snapshot, record, http_login);
        if (!http->listen(s.http_host, s.http_port)) {
            log(QStringLiteral("cannot serve HTTP on %1:%2: %3")
                    .arg(s.http_host, QString::number(s.http_port), http->error()));
            return kExitFailed;
        }
        log(QStringLiteral("serving HTTP on %1:%2 (%3)")
                .arg(s.http_host)
                .arg(s.http_port)
                .arg(http_login ? QStringLiteral("with a login")
                     : is_loopback_host(s.http_host)
                         ? QStringLiteral("to this machine only")
                         : QStringLiteral("open to anyone who reaches it")));
    }

    // The alarms of every controller, judged from the poller's readings by the rules in
    // the journal's database, each transition recorded there. This thread only.
    ServiceJournal journal(s.journal.isEmpty() ? Journal::default_path() : s.journal);
    journal.journal().set_fault_handler([&log](const QString& t) { log(t); });
    const QString source = QStringLiteral("tx20ctl serve");
    std::map<int, QJsonObject> alarms_sent;
    // Published when a controller's alarms change, and once at its first reading.
    const auto publish_alarms = [&](int address) {
        std::vector<AlarmStatus> alarms;
        for (const AlarmStatus& a : journal.alarms().list())
            if (a.address == address) alarms.push_back(a);
        QJsonObject json = alarm_json(address, alarms, QDateTime::currentMSecsSinceEpoch());
        QJsonObject unchanged = json;
        unchanged.remove(QStringLiteral("time"));
        const auto sent = alarms_sent.find(address);
        if (sent != alarms_sent.end() && sent->second == unchanged) return;
        alarms_sent[address] = unchanged;
        if (modbus) modbus->set_alarms(address, register_map::alarm_registers(alarms));
        if (mqtt) mqtt->publish_alarm(address, json);
    };
    const auto judge = [&](int address, bool ok, const LiveGroup& live) {
        journal.reading(address, ok, live, source);
        publish_alarms(address);
    };

    // The bus: polled on this thread, where the port lives.
    BusSession session(recorded, static_cast<std::uint8_t>(o.sa));
    poller.set_on_reading([&](const UnitReading& r) {
        record.note(r, QDateTime::currentMSecsSinceEpoch());
        if (mqtt) mqtt->publish(r);
        judge(r.address, r.link, r.live);
    });
    QElapsedTimer since_rules;
    since_rules.start();
    const auto keep_alarms = [&] {
        const bool reload = since_rules.elapsed() >= kRulesReloadMs;
        if (reload) since_rules.restart();
        journal.tick();
        for (int a : table.addresses()) {
            if (reload) journal.reload_rules(a);
            publish_alarms(a);
        }
    };
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
                // No controller answers while the line is gone: their loss of
                // communication is judged all the same.
                for (int a : table.addresses()) judge(a, false, LiveGroup{});
                keep_alarms();
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
        keep_alarms();
        due += period_ms;
        if (clock.elapsed() > due) due = clock.elapsed();  // fell behind: no catching up
        nap(due - clock.elapsed(), interrupted);
    }
    if (http) http->stop();
    return kExitOk;
}
