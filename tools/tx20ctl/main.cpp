// tx20ctl: the controller's requests from the command line, for scripts and diagnostics.
#include <QCoreApplication>
#include <QRegularExpression>
#include <QTextStream>
#include <QTranslator>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>

#include "bus/bus_session.h"
#include "comm/Unit_hl.h"
#include "comm/recording_line.h"
#include "comm/serial_line.h"
#include "comm/serial_ports.h"
#include "journal/service_journal.h"
#include "platform/settings_store.h"
#include "tools/tx20ctl/console_prompts.h"
#include "tools/tx20ctl/ctl_commands.h"
#include "tools/tx20ctl/ctl_commissioning.h"
#include "tools/tx20ctl/ctl_diag.h"
#include "tools/tx20ctl/ctl_options.h"
#include "tools/tx20ctl/ctl_tr.h"
#include "tools/tx20ctl/ctl_tuning.h"
#include "tools/tx20ctl/journal_command.h"
#include "tools/tx20ctl/log2csv_command.h"
#include "tools/tx20ctl/ports_command.h"
#include "tools/tx20ctl/trace_line.h"

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void on_signal(int) { g_interrupted = true; }

// Commands that change a controller or tell who it is leave an entry in the journal.
std::unique_ptr<ServiceJournal> journal_for(const CtlOptions& o, QTextStream& err) {
    using C = CtlOptions::Command;
    const bool tune_write =
        o.command == C::Tune && o.command_args.contains(QStringLiteral("--write"));
    if (o.command != C::Write && o.command != C::Eeprom && o.command != C::Ident &&
        o.command != C::Clone && o.command != C::StepTest && !tune_write)
        return nullptr;
    auto j = std::make_unique<ServiceJournal>();
    j->journal().set_fault_handler(
        [&err](const QString& t) { err << "tx20ctl: " << t << Qt::endl; });
    return j;
}

int run(const CtlOptions& o, QTextStream& out, QTextStream& err) {
    if (is_commissioning(o.command) && !commissioning_needs_port(o))
        return run_commissioning(o, nullptr, nullptr, out, err, g_interrupted);
    if (is_tuning(o.command) && !tuning_needs_port(o))
        return run_tuning(o, nullptr, out, err, g_interrupted);
    // Port names like COM3 go through the user's port map, anything else is a path.
    static const QRegularExpression com_name(QStringLiteral("^COM[0-9]+$"));
    const bool is_com = com_name.match(o.port).hasMatch();
    const QString device = is_com ? SettingsStore().port_device(o.port) : o.port;

    SerialLine serial;
    try {
        serial.open(o.port, device, o.rate);
    } catch (const PortError& e) {
        err << "tx20ctl: " << port_error_text(e, o.port) << '.' << Qt::endl;
        for (const QString& l :
             explain_open_failure(device, serial.open_error(), serial.open_error_reason(),
                                  serial_access_denied(device)))
            err << "tx20ctl: " << l << Qt::endl;
        return kExitFailed;
    }
    if (o.command == CtlOptions::Command::Listen)
        return listen_bus(serial, out, err, g_interrupted);
    RecordingLine recorded(serial);
    TraceLine traced(recorded, err);
    Line& line = o.trace ? static_cast<Line&>(traced) : recorded;
    BusSession session(line, static_cast<std::uint8_t>(o.sa));
    const auto journal = journal_for(o, err);
    CtlCommands commands(session, o.da, out, err, g_interrupted);
    commands.set_json(o.json);
    commands.set_journal(journal.get());
    commands.keep_port_open(serial, o.port, device, o.rate);
    const int status =
        is_commissioning(o.command)
            ? run_commissioning(o, &session, &recorded, out, err, g_interrupted, journal.get())
        : is_tuning(o.command) ? run_tuning(o, &session, out, err, g_interrupted, journal.get())
                               : commands.run(o);
    if (journal && journal->journal().held() > 0)
        err << "tx20ctl: " << journal->journal().held() << " journal entries could not be stored"
            << Qt::endl;
    if (o.stats) {
        out.flush();
        print_stats(recorded.stats(), err);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const auto app = make_ctl_application(argc, argv);
    QTranslator czech;
    install_ctl_translator(czech);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (!args.isEmpty() && args.first() == QLatin1String("ports")) {
        SettingsStore store;
        return run_ports_command(args.mid(1), store, out, err);
    }
    if (!args.isEmpty() && args.first() == QLatin1String("journal"))
        return run_journal_command(args.mid(1), stdout, err);
    if (!args.isEmpty() && args.first() == QLatin1String("log2csv"))
        return run_log2csv_command(args.mid(1), stdout, err);
    CtlParse parsed = parse_ctl_args(args);
    if (parsed.options.help) {
        out << ctl_usage();
        return kExitOk;
    }
    if (parsed.error.isEmpty() && parsed.options.command == CtlOptions::Command::Write) {
        const QString problem =
            CtlCommands::check_assignments(parsed.options.table, parsed.options.assignments);
        if (!problem.isEmpty()) {
            err << "tx20ctl: " << problem << Qt::endl;
            return kExitUsage;
        }
    }
    if (parsed.error.isEmpty() && is_tuning(parsed.options.command)) {
        const QString problem = check_tuning(parsed.options);
        if (!problem.isEmpty()) {
            err << "tx20ctl: " << problem << Qt::endl;
            return kExitUsage;
        }
    }
    if (parsed.error.isEmpty() && is_commissioning(parsed.options.command)) {
        const QString problem = check_commissioning(parsed.options);
        if (!problem.isEmpty()) {
            err << "tx20ctl: " << problem << Qt::endl;
            return kExitUsage;
        }
    }
    if (!parsed.error.isEmpty()) {
        err << "tx20ctl: " << parsed.error << "\n\n" << ctl_usage();
        err.flush();
        return kExitUsage;
    }

    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    try {
        if (parsed.options.command == CtlOptions::Command::Serve)
            return run_serve(parsed.options, err, g_interrupted);
        return run(parsed.options, out, err);
    } catch (const std::exception& e) {
        err << "tx20ctl: " << QString::fromLocal8Bit(e.what()) << Qt::endl;
        return kExitFailed;
    }
}
