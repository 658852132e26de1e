#include "tools/tx20ctl/ctl_options.h"

#include <QLocale>
#include <cmath>

#include "tools/tx20ctl/ctl_commissioning.h"
#include "tools/tx20ctl/ctl_tuning.h"

namespace {

// The C locale without group separators: "1,5" is no number.
QLocale strict_c() {
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    return c;
}

bool to_int(const QString& text, int lo, int hi, int* out) {
    bool ok = false;
    const int v = strict_c().toInt(text, &ok);
    if (!ok || v < lo || v > hi) return false;
    *out = v;
    return true;
}

}  // namespace

QString ctl_usage() {
    return QStringLiteral(
        "Usage: tx20ctl --port PATH|COMn [--rate B] [--da N] [--sa N] [--trace] [--stats]\n"
        "               [--json] COMMAND\n"
        "       tx20ctl ports [--map COMn=PATH]... [--unmap COMn]...\n"
        "       tx20ctl log2csv IN [OUT]\n"
        "       tx20ctl journal [--since T] [--until T] [--address N] [--kind K] [--text S]\n"
        "               [--json|--csv]\n"
        "\n"
        "Options:\n"
        "  --port PATH|COMn  serial device, or a port name mapped through the settings\n"
        "  --rate B          transfer rate in bits per second (default 9600)\n"
        "  --da N            controller address 0..127 (default 1; 127 broadcasts)\n"
        "  --sa N            computer address 0..126 (default 0)\n"
        "  --trace           print every telegram sent and received (to stderr)\n"
        "  --stats           print the per-address counts when the command ends (to stderr)\n"
        "  --json            live, read, scan, ident: one JSON object per result\n"
        "\n"
        "Commands:\n"
        "  live [--watch SECONDS]   read the live values (table 10); repeat every SECONDS\n"
        "  read N                   read table N (0..11) field by field\n"
        "  write N FIELD=VALUE...   change fields of parameter table N (0..8) and write it;\n"
        "                           a value the editor refuses exits 2, nothing written\n"
        "  eeprom                   store the controller's parameters in its EEPROM\n"
        "  scan [--timeout MS]      probe the addresses 0..126, print those that answer;\n"
        "                           MS bounds each probe's wait for a reply (default: its\n"
        "                           wire time at the rate plus 50 ms)\n"
        "  listen                   send nothing, print every frame seen on the bus\n"
        "  ident                    read the device type and version texts\n"
        "  backup FILE              save tables 0..8 of --da as a parameter file\n"
        "  diff [--all] A [B]       compare parameter sets (FILE or @N; B defaults to @DA);\n"
        "                           ADD/ADRESA only with --all\n"
        "  clone --from FILE|@N --to LIST [--eeprom] [--with-password] [--dry-run]\n"
        "                           write the differing tables onto each target, verify\n"
        "  report --out FILE.pdf [--reference FILE] [--technician NAME] [--note TEXT]\n"
        "         [--with-password] write the service report of --da as a PDF (PASS as\n"
        "                           **** unless --with-password)\n"
        "         [--changes-since T [--changes-until T]]  with the journal's changes\n"
        "  serve                    the gateway: poll controllers and serve their values\n"
        "    --addresses LIST       the controllers, e.g. 1,2,5-9 (or --scan: all that answer)\n"
        "    --period SECONDS       from one poll of every controller to the next (default 1)\n"
        "    --modbus HOST:PORT     serve them over Modbus TCP (input registers, unit = address);\n"
        "                           :PORT listens on 127.0.0.1 only\n"
        "    --modbus-allow LIST    only these Modbus clients, e.g. 192.168.1.0/24,10.0.0.5\n"
        "    --mqtt HOST:PORT       publish them to an MQTT broker\n"
        "    --topic PREFIX         MQTT topic prefix (default tx20)\n"
        "    --mqtt-auth FILE       log in to the broker: user on line 1, password on line 2\n"
        "    --mqtt-cafile FILE     TLS, the broker's certificate verified against FILE's CAs\n"
        "    --mqtt-cert FILE       TLS with this client certificate (and --mqtt-key FILE)\n"
        "    --mqtt-key FILE        the client certificate's private key\n"
        "    --http HOST:PORT       status page, /api/state and /metrics; :PORT on 127.0.0.1\n"
        "    --http-auth FILE       ask browsers and scrapers for the user and password in FILE\n"
        "    --http-open            serve HTTP on another address without a login\n"
        "    --journal FILE         the alarm rules, and where the alarms are recorded\n"
        "                           (default: the user's service journal)\n"
        "  ports                    list the serial devices and the COM1..COM8 map\n"
        "    --map COMn=PATH        point COMn at a device in the user's settings\n"
        "    --unmap COMn           give COMn its default device again\n"
        "  log2csv IN [OUT]         a measurement log as CSV, to OUT or standard output\n"
        "  journal                  the service journal, oldest first (no port needed)\n"
        "    --since T, --until T   from, until a time: 2026-12-10 or 2026-12-10T08:30\n"
        "    --address N            one controller's entries\n"
        "    --kind K               write, eeprom, clone, tuning, ident, port, link, file,\n"
        "                           alarm, ack or missed\n"
        "    --text S               entries whose description contains S\n"
        "    --csv                  as CSV (UTF-8, header row); --json: one object a line\n"
        "  tune LOG [--from T] [--to T] [--rule simc|lambda=SECONDS|amigo|zn] [--json]\n"
        "           [--span UNITS] [--tpid N] [--write]\n"
        "                           identify the process from a step in a measurement log\n"
        "                           and propose PB, INT and DER; T is ISO 8601 or the log's\n"
        "                           H:MM:SS on its first day; --write (with --port, --da)\n"
        "                           writes them to the controller and reads them back\n"
        "  steptest --sp-step DELTA --duration S --out LOG [--before S]\n"
        "                           step the set point of --da, record at one reading a\n"
        "                           second until settled or S seconds, put the old one back\n"
        "\n"
        "Exit status: 0 success, 1 failed request, 2 bad usage.\n"
        "tune: 1 when no model can be found (the reason on stderr).\n"
        "diff: 0 equal, 1 different, 2 bad usage or a failed read.\n");
}

CtlParse parse_ctl_args(const QStringList& args) {
    CtlParse r;
    CtlOptions& o = r.options;
    QStringList positional;
    bool watch_given = false;
    const auto fail = [&r](const QString& message) {
        r.error = message;
        return r;
    };

    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        if (!arg.startsWith(QLatin1String("--"))) {
            // The commissioning commands take the rest of the line as options of their own.
            if (positional.isEmpty() &&
                (is_commissioning_command(arg, &o.command) || is_tuning_command(arg, &o.command))) {
                o.command_args = args.mid(i + 1);
                if (watch_given || o.timeout_ms > 0)
                    return fail(QStringLiteral("--watch and --timeout belong to live and scan"));
                return r;
            }
            positional << arg;
            continue;
        }
        if (arg == QLatin1String("--help")) {
            o.help = true;
            return r;
        }
        if (arg == QLatin1String("--trace")) {
            o.trace = true;
            continue;
        }
        if (arg == QLatin1String("--stats")) {
            o.stats = true;
            continue;
        }
        if (arg == QLatin1String("--json")) {
            o.json = true;
            continue;
        }
        if (is_serve_flag(arg)) {
            apply_serve_flag(o.serve, arg);
            continue;
        }
        QString value;
        bool has_value = false;
        const int eq = arg.indexOf(QLatin1Char('='));
        if (eq > 0) {
            value = arg.mid(eq + 1);
            arg = arg.left(eq);
            has_value = true;
        }
        const bool known = arg == QLatin1String("--port") || arg == QLatin1String("--rate") ||
                           arg == QLatin1String("--da") || arg == QLatin1String("--sa") ||
                           arg == QLatin1String("--watch") || arg == QLatin1String("--timeout") ||
                           is_serve_option(arg);
        if (!known) return fail(QStringLiteral("unknown option %1").arg(arg));
        if (!has_value) {
            if (i + 1 >= args.size())
                return fail(QStringLiteral("option %1 needs a value").arg(arg));
            value = args[++i];
        }
        if (arg == QLatin1String("--port")) {
            if (value.isEmpty()) return fail(QStringLiteral("--port needs a device path or COMn"));
            o.port = value;
        } else if (arg == QLatin1String("--rate")) {
            int rate = 0;
            if (!to_int(value, 1, 4000000, &rate))
                return fail(QStringLiteral("--rate must be a positive number of bits per second"));
            o.rate = rate;
        } else if (arg == QLatin1String("--da")) {
            if (!to_int(value, 0, 127, &o.da))
                return fail(QStringLiteral("--da must be an address 0..127"));
        } else if (arg == QLatin1String("--sa")) {
            if (!to_int(value, 0, 126, &o.sa))
                return fail(QStringLiteral("--sa must be an address 0..126"));
        } else if (is_serve_option(arg)) {
            const QString problem = apply_serve_option(o.serve, arg, value);
            if (!problem.isEmpty()) return fail(problem);
        } else if (arg == QLatin1String("--timeout")) {
            if (!to_int(value, 1, 60000, &o.timeout_ms))
                return fail(QStringLiteral("--timeout must be a number of milliseconds 1..60000"));
        } else {  // --watch
            bool ok = false;
            const double s = strict_c().toDouble(value, &ok);
            if (!ok || !std::isfinite(s) || s <= 0 || s > 86400)
                return fail(QStringLiteral("--watch must be a number of seconds above 0"));
            o.watch_s = s;
            watch_given = true;
        }
    }

    if (positional.isEmpty()) return fail(QStringLiteral("no command given"));
    const QString cmd = positional.takeFirst();
    if (cmd == QLatin1String("live")) {
        o.command = CtlOptions::Command::Live;
    } else if (cmd == QLatin1String("read")) {
        o.command = CtlOptions::Command::Read;
    } else if (cmd == QLatin1String("write")) {
        o.command = CtlOptions::Command::Write;
    } else if (cmd == QLatin1String("eeprom")) {
        o.command = CtlOptions::Command::Eeprom;
    } else if (cmd == QLatin1String("scan")) {
        o.command = CtlOptions::Command::Scan;
    } else if (cmd == QLatin1String("ident")) {
        o.command = CtlOptions::Command::Ident;
    } else if (cmd == QLatin1String("listen")) {
        o.command = CtlOptions::Command::Listen;
    } else if (cmd == QLatin1String("serve")) {
        o.command = CtlOptions::Command::Serve;
    } else {
        return fail(QStringLiteral("unknown command %1").arg(cmd));
    }

    if (watch_given && o.command != CtlOptions::Command::Live)
        return fail(QStringLiteral("--watch belongs to the live command"));
    if (o.timeout_ms > 0 && o.command != CtlOptions::Command::Scan)
        return fail(QStringLiteral("--timeout belongs to the scan command"));
    using Command = CtlOptions::Command;
    const bool json_command = o.command == Command::Live || o.command == Command::Read ||
                              o.command == Command::Scan || o.command == Command::Ident;
    if (o.json && !json_command)
        return fail(QStringLiteral("--json belongs to the live, read, scan and ident commands"));
    const QString serve_problem =
        check_serve_options(o.serve, o.command == CtlOptions::Command::Serve);
    if (!serve_problem.isEmpty()) return fail(serve_problem);

    switch (o.command) {
        case CtlOptions::Command::Read:
        case CtlOptions::Command::Write: {
            const bool write = o.command == CtlOptions::Command::Write;
            const int last = write ? 8 : 11;
            if (positional.isEmpty())
                return fail(QStringLiteral("%1 needs a table number").arg(cmd));
            if (!to_int(positional.takeFirst(), 0, last, &o.table))
                return fail(
                    QStringLiteral("the table number of %1 must be 0..%2").arg(cmd).arg(last));
            if (write) {
                if (positional.isEmpty())
                    return fail(QStringLiteral("write needs at least one FIELD=VALUE"));
                for (const QString& a : positional) {
                    if (a.indexOf(QLatin1Char('=')) <= 0)
                        return fail(QStringLiteral("%1 is not of the form FIELD=VALUE").arg(a));
                }
                o.assignments = positional;
                positional.clear();
            }
            break;
        }
        default:
            break;
    }
    if (!positional.isEmpty())
        return fail(QStringLiteral("unexpected argument %1").arg(positional.first()));
    if (o.port.isEmpty()) return fail(QStringLiteral("--port is required"));
    return r;
}
