#include "tools/tx20ctl/ctl_commissioning.h"

#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>

#include "bus/address_list.h"
#include "bus/bus_session.h"
#include "comm/recording_line.h"
#include "commissioning/clone.h"
#include "commissioning/service_report.h"
#include "journal/journal.h"
#include "journal/journal_text.h"
#include "journal/service_journal.h"
#include "platform/errors.h"
#include "tools/tx20ctl/ctl_commands.h"
#include "tools/tx20ctl/ctl_progress.h"
#include "tools/tx20ctl/ctl_tr.h"

namespace {

using namespace commissioning;

struct Args {
    QStringList positional;
    QString from, to, out, reference, technician, note;
    QString changes_since, changes_until;  // report: the section of the journal's changes
    CloneOptions clone;
    bool all = false;            // diff: the address too
    bool show_password = false;  // report: PASS as its number
    std::vector<int> targets;
};

// "@N" is the controller at address N, anything else a parameter file.
bool controller_source(const QString& s, int* address) {
    if (!s.startsWith(QLatin1Char('@'))) return false;
    bool ok = false;
    const int a = s.mid(1).toInt(&ok);
    *address = ok ? a : -1;
    return true;
}

QString parse(const CtlOptions& o, Args& a) {
    const QStringList& args = o.command_args;
    const bool clone = o.command == CtlOptions::Command::Clone;
    const bool report = o.command == CtlOptions::Command::Report;
    const bool diff = o.command == CtlOptions::Command::Diff;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (diff && arg == QLatin1String("--all")) {
            a.all = true;
        } else if (report && arg == QLatin1String("--with-password")) {
            a.show_password = true;
        } else if (clone && arg == QLatin1String("--eeprom")) {
            a.clone.eeprom = true;
        } else if (clone && arg == QLatin1String("--with-password")) {
            a.clone.with_password = true;
        } else if (clone && arg == QLatin1String("--dry-run")) {
            a.clone.dry_run = true;
        } else if ((clone && (arg == QLatin1String("--from") || arg == QLatin1String("--to"))) ||
                   (report &&
                    (arg == QLatin1String("--out") || arg == QLatin1String("--reference") ||
                     arg == QLatin1String("--technician") || arg == QLatin1String("--note") ||
                     arg == QLatin1String("--changes-since") ||
                     arg == QLatin1String("--changes-until")))) {
            if (i + 1 >= args.size()) return Ctl::tr("option %1 needs a value").arg(arg);
            const QString v = args[++i];
            QString* target = arg == QLatin1String("--from")            ? &a.from
                              : arg == QLatin1String("--to")            ? &a.to
                              : arg == QLatin1String("--out")           ? &a.out
                              : arg == QLatin1String("--reference")     ? &a.reference
                              : arg == QLatin1String("--technician")    ? &a.technician
                              : arg == QLatin1String("--changes-since") ? &a.changes_since
                              : arg == QLatin1String("--changes-until") ? &a.changes_until
                                                                        : &a.note;
            *target = v;
        } else if (arg.startsWith(QLatin1String("--"))) {
            return Ctl::tr("unknown option %1").arg(arg);
        } else {
            a.positional << arg;
        }
    }
    int address = 0;
    const auto check_source = [&address](const QString& s) {
        if (controller_source(s, &address) && (address < 0 || address > 126))
            return Ctl::tr("%1 is not a controller address @0..@126").arg(s);
        return QString();
    };
    switch (o.command) {
        case CtlOptions::Command::Backup:
            if (a.positional.size() != 1) return Ctl::tr("backup needs one FILE");
            break;
        case CtlOptions::Command::Diff:
            if (a.positional.isEmpty() || a.positional.size() > 2)
                return Ctl::tr("diff needs A and optionally B");
            for (const QString& s : a.positional)
                if (!check_source(s).isEmpty()) return check_source(s);
            break;
        case CtlOptions::Command::Clone: {
            if (!a.positional.isEmpty())
                return Ctl::tr("unexpected argument %1").arg(a.positional.first());
            if (a.from.isEmpty()) return Ctl::tr("clone needs --from FILE|@N");
            if (a.to.isEmpty()) return Ctl::tr("clone needs --to LIST");
            if (!check_source(a.from).isEmpty()) return check_source(a.from);
            QString why;
            const auto targets = address_list::parse(a.to, &why);
            if (!targets) return QStringLiteral("--to %1: %2").arg(a.to, why);
            a.targets = *targets;
            break;
        }
        case CtlOptions::Command::Report:
            if (!a.positional.isEmpty())
                return Ctl::tr("unexpected argument %1").arg(a.positional.first());
            if (a.out.isEmpty()) return Ctl::tr("report needs --out FILE.pdf");
            if (!check_source(a.reference).isEmpty()) return check_source(a.reference);
            for (const QString* t : {&a.changes_since, &a.changes_until})
                if (!t->isEmpty() && !journal_text::parse_time(*t, t == &a.changes_until))
                    return QStringLiteral("%1 is not a time (2026-12-10 or 2026-12-10T08:30)")
                        .arg(*t);
            if (a.changes_since.isEmpty() && !a.changes_until.isEmpty())
                return QStringLiteral("--changes-until needs --changes-since");
            break;
        default:
            break;
    }
    return {};
}

bool needs_port(const CtlOptions& o, const Args& a) {
    int address = 0;
    switch (o.command) {
        case CtlOptions::Command::Diff:
            return a.positional.size() < 2 || controller_source(a.positional[0], &address) ||
                   controller_source(a.positional[1], &address);
        default:
            return true;
    }
}

// The tables by their tabs' captions, in the tool's language when there are none.
QString tables(const std::vector<int>& t) { return t.empty() ? Ctl::tr("none") : tables_text(t); }

// A target's outcome in the tool's language; a failure keeps the program's own words.
QString status(const TargetResult& r) {
    switch (r.outcome) {
        case TargetResult::Outcome::Verified:
            return Ctl::tr("verified");
        case TargetResult::Outcome::NotVerified: {
            QStringList keys;
            for (int i : r.mismatched) keys << param_key(i);
            QString t = Ctl::tr("not verified");
            if (!r.failure.isEmpty()) t += QStringLiteral(": ") + r.failure;
            if (!keys.isEmpty()) t += QStringLiteral(" (") + keys.join(QStringLiteral(", ")) + ')';
            return t;
        }
        case TargetResult::Outcome::Failed:
            return r.failure;
        case TargetResult::Outcome::Planned:
            return Ctl::tr("nothing written (dry run)");
        case TargetResult::Outcome::Skipped:
            break;
    }
    return Ctl::tr("interrupted");
}

class Runner {
  public:
    Runner(const CtlOptions& o, const Args& a, BusSession* req, const RecordingLine* recorded,
           QTextStream& out, QTextStream& err, const std::atomic<bool>& interrupted,
           ServiceJournal* journal)
        : journal_(journal),
          o_(o),
          a_(a),
          req_(req),
          recorded_(recorded),
          out_(out),
          err_(err),
          interrupted_(interrupted) {}

    int run() {
        switch (o_.command) {
            case CtlOptions::Command::Backup:
                return backup();
            case CtlOptions::Command::Diff:
                return diff();
            case CtlOptions::Command::Clone:
                return clone();
            case CtlOptions::Command::Report:
                return report();
            default:
                return kExitUsage;
        }
    }

  private:
    void say(const QString& text) { err_ << "tx20ctl: " << text << Qt::endl; }

    ServiceJournal* journal_;

    // A set from a file or a controller; nothing after the reasons were printed.
    std::optional<ParameterSet> load(const QString& source) {
        int address = 0;
        if (controller_source(source, &address)) {
            QString why;
            auto set = read_controller(*req_, address, &why);
            if (!set) say(QStringLiteral("%1: %2").arg(source, why));
            return set;
        }
        QStringList why;
        auto set = load_file(source, &why);
        for (const QString& w : why) say(w);
        return set;
    }

    // Each value the editor would refuse, one line each; true when there was one.
    bool report_refusals(const ParameterSet& s) {
        bool any = false;
        for (int i = 0; i < kParamCount; ++i) {
            if (!s.refused(i)) continue;
            say(Ctl::tr("%1: %2 \"%3\" refused: %4")
                    .arg(s.source.text(), param_key(i), s.refused_text[static_cast<std::size_t>(i)],
                         refusal_text(s.refused_verdict[static_cast<std::size_t>(i)])));
            any = true;
        }
        return any;
    }

    int backup() {
        QString why;
        const auto set = read_controller(*req_, o_.da, &why);
        if (!set) {
            say(QStringLiteral("@%1: %2").arg(o_.da).arg(why));
            return kExitFailed;
        }
        try {
            save_backup(a_.positional[0], set->data);
        } catch (const FileError& e) {
            say(e.message());
            return kExitFailed;
        }
        return kExitOk;
    }

    int diff() {
        const QString b =
            a_.positional.size() > 1 ? a_.positional[1] : QStringLiteral("@%1").arg(o_.da);
        const auto sa = load(a_.positional[0]);
        if (!sa) return kExitUsage;
        const auto sb = load(b);
        if (!sb) return kExitUsage;
        // Two controllers always differ in their addresses, which no clone writes.
        std::vector<int> diffs = differences(*sa, *sb);
        const params::ParamDef* address = params::find_control(QStringLiteral("ed_adresa"));
        if (!a_.all)
            diffs.erase(std::remove_if(diffs.begin(), diffs.end(),
                                       [address](int i) { return &param(i) == address; }),
                        diffs.end());
        for (int i : diffs)
            out_ << param_key(i) << ": " << sa->file_value(i) << " -> " << sb->file_value(i)
                 << Qt::endl;
        const bool refused = report_refusals(*sa) | report_refusals(*sb);
        if (refused) return kExitUsage;
        return diffs.empty() ? kExitOk : kExitFailed;
    }

    int clone() {
        auto reference = load(a_.from);
        if (!reference) return kExitUsage;
        // A controller's values go through the same rules as a file's.
        mark_refusals(*reference);
        const std::vector<int> blocking = blocking_refusals(*reference, a_.clone);
        if (!blocking.empty()) {
            report_refusals(*reference);
            say(Ctl::tr("nothing was written"));
            return kExitUsage;
        }
        bool all = true;
        bool stopped = false;
        Progress progress(err_);
        const int count = static_cast<int>(a_.targets.size());
        for (int n = 0; n < count; ++n) {
            const int address = a_.targets[static_cast<std::size_t>(n)];
            TargetResult r;
            r.address = address;
            if (interrupted_) {
                stopped = true;
            } else {
                progress.show(Ctl::tr("target %1 of %2: @%3").arg(n + 1).arg(count).arg(address));
                r = clone_target(*req_, address, *reference, a_.clone);
                progress.clear();
            }
            if (journal_) journal_->cloned(r, a_.from, QStringLiteral("tx20ctl clone"));
            const bool good =
                a_.clone.dry_run ? r.outcome == TargetResult::Outcome::Planned : r.verified();
            all = all && good;
            out_ << '@' << address << ": ";
            if (r.identified) out_ << r.type_text << "; ";
            if (a_.clone.dry_run && r.identified)
                out_ << Ctl::tr("to write: %1").arg(tables(r.tables_planned)) << "; ";
            else if (r.identified)
                out_ << Ctl::tr("written: %1").arg(tables(r.tables_written)) << "; ";
            out_ << status(r) << Qt::endl;
            if (a_.clone.dry_run)
                for (const PlannedChange& c : r.changes) out_ << "    " << c.text() << Qt::endl;
        }
        if (stopped) say(Ctl::tr("interrupted; the controllers after it were not touched"));
        return all ? kExitOk : kExitFailed;
    }

    int report() {
        ReportInput in;
        in.when = QDateTime::currentDateTime();
        in.port = o_.port;
        in.rate = o_.rate;
        in.address = o_.da;
        in.technician = a_.technician;
        in.note = a_.note;
        in.show_password = a_.show_password;
        if (!a_.reference.isEmpty()) {
            in.reference = load(a_.reference);
            if (!in.reference) return kExitUsage;
            report_refusals(*in.reference);
        }
        QString why;
        auto actual = read_controller(*req_, o_.da, &why);
        if (!actual) {
            say(QStringLiteral("@%1: %2").arg(o_.da).arg(why));
            return kExitFailed;
        }
        in.actual = *actual;
        in.type_text = actual->type_text;
        in.version_text = actual->version_text;
        // The serial number stands in the input table; a controller without one still
        // gets its report.
        DeviceData inputs;
        if (req_->read(o_.da, static_cast<int>(TableId::TAB_INPUTS), inputs))
            in.serial_number = inputs.inputs.IN[23];
        if (recorded_) in.stats = recorded_->stats();
        if (!a_.changes_since.isEmpty()) {
            const QDateTime since = *journal_text::parse_time(a_.changes_since, false);
            const QDateTime until = a_.changes_until.isEmpty()
                                        ? in.when
                                        : *journal_text::parse_time(a_.changes_until, true);
            // No journal yet: nothing was recorded, and none is made for asking.
            if (QFileInfo::exists(Journal::default_path())) {
                Journal journal;
                journal.set_fault_handler([this](const QString& t) { say(t); });
                in.changes = report_changes(journal, o_.da, since, until);
            } else {
                in.changes = ReportChanges{since, until, {}, true, 0};
            }
        }
        QString reason;
        if (!write_report(a_.out, in, &reason)) {
            say(QStringLiteral("%1: %2").arg(a_.out, reason));
            return kExitFailed;
        }
        return kExitOk;
    }

    const CtlOptions& o_;
    const Args& a_;
    BusSession* req_;
    const RecordingLine* recorded_;
    QTextStream& out_;
    QTextStream& err_;
    const std::atomic<bool>& interrupted_;
};

}  // namespace

bool is_commissioning_command(const QString& word, CtlOptions::Command* command) {
    static const std::pair<const char*, CtlOptions::Command> kWords[] = {
        {"backup", CtlOptions::Command::Backup},
        {"diff", CtlOptions::Command::Diff},
        {"clone", CtlOptions::Command::Clone},
        {"report", CtlOptions::Command::Report}};
    for (const auto& [w, c] : kWords) {
        if (word == QLatin1String(w)) {
            if (command) *command = c;
            return true;
        }
    }
    return false;
}

bool is_commissioning(CtlOptions::Command c) {
    return c == CtlOptions::Command::Backup || c == CtlOptions::Command::Diff ||
           c == CtlOptions::Command::Clone || c == CtlOptions::Command::Report;
}

QString check_commissioning(const CtlOptions& o) {
    Args a;
    const QString problem = parse(o, a);
    if (!problem.isEmpty()) return problem;
    if (needs_port(o, a) && o.port.isEmpty()) return Ctl::tr("--port is required");
    return {};
}

bool commissioning_needs_port(const CtlOptions& o) {
    Args a;
    parse(o, a);
    return needs_port(o, a);
}

int run_commissioning(const CtlOptions& o, BusSession* req, const RecordingLine* recorded,
                      QTextStream& out, QTextStream& err, const std::atomic<bool>& interrupted,
                      ServiceJournal* journal) {
    Args a;
    if (!parse(o, a).isEmpty()) return kExitUsage;
    if (!req && needs_port(o, a)) return kExitUsage;
    return Runner(o, a, req, recorded, out, err, interrupted, journal).run();
}

std::unique_ptr<QCoreApplication> make_ctl_application(int& argc, char** argv) {
    bool report = false;
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "report") == 0) report = true;
    if (!report) return std::make_unique<QCoreApplication>(argc, argv);
    // The tool shows no window: a display that is set but unreachable must not stop it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}
