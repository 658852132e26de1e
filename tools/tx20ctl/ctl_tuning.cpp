#include "tools/tx20ctl/ctl_tuning.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <cmath>
#include <limits>

#include "analysis/log_reader.h"
#include "bus/bus_session.h"
#include "journal/service_journal.h"
#include "live/live_cycle.h"
#include "platform/clock.h"
#include "tools/tx20ctl/ctl_commands.h"
#include "tools/tx20ctl/ctl_progress.h"
#include "tools/tx20ctl/ctl_tr.h"
#include "tuning/step_test.h"
#include "tuning/tuning_study.h"
#include "tuning/tuning_write.h"

namespace {

// The core's own sentences (refusals, write outcomes) in the language the tool speaks.
bool czech() { return QLocale().language() == QLocale::Czech; }

struct TuneArgs {
    QString log;
    QString from, to;
    RuleChoice rule;
    bool json = false;
    bool write = false;
    double span = 100;
    bool span_given = false;
    int tpid = 1;
    // steptest
    double sp_step = 0;
    double duration = 0;
    double before = 10;
    QString out;
};

bool to_number(const QString& s, double* v) {
    bool ok = false;
    const double d = QLocale::c().toDouble(s, &ok);
    if (!ok || !std::isfinite(d)) return false;
    *v = d;
    return true;
}

QString parse(CtlOptions& o, TuneArgs& a) {
    const QStringList& args = o.command_args;
    const bool tune = o.command == CtlOptions::Command::Tune;
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        if (!arg.startsWith(QLatin1String("--"))) {
            if (!tune || !a.log.isEmpty()) return Ctl::tr("unexpected argument %1").arg(arg);
            a.log = arg;
            continue;
        }
        if (arg == QLatin1String("--json") && tune) {
            a.json = true;
            continue;
        }
        if (arg == QLatin1String("--write") && tune) {
            a.write = true;
            continue;
        }
        QString value;
        const int eq = static_cast<int>(arg.indexOf(QLatin1Char('=')));
        if (eq > 0 && arg != QLatin1String("--rule")) {
            value = arg.mid(eq + 1);
            arg = arg.left(eq);
        } else {
            if (i + 1 >= args.size()) return Ctl::tr("option %1 needs a value").arg(arg);
            value = args[++i];
        }
        double v = 0;
        if (arg == QLatin1String("--port")) {
            o.port = value;
        } else if (arg == QLatin1String("--da") || arg == QLatin1String("--sa") ||
                   arg == QLatin1String("--rate")) {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (arg == QLatin1String("--da")) {
                if (!ok || n < 0 || n > 126) return Ctl::tr("--da must be an address 0..126");
                o.da = n;
            } else if (arg == QLatin1String("--sa")) {
                if (!ok || n < 0 || n > 126) return Ctl::tr("--sa must be an address 0..126");
                o.sa = n;
            } else {
                if (!ok || n <= 0)
                    return Ctl::tr("--rate must be a positive number of bits per second");
                o.rate = n;
            }
        } else if (tune && arg == QLatin1String("--from")) {
            a.from = value;
        } else if (tune && arg == QLatin1String("--to")) {
            a.to = value;
        } else if (tune && arg == QLatin1String("--rule")) {
            if (value == QLatin1String("simc")) {
                a.rule = {TuningRule::Simc, 0};
            } else if (value == QLatin1String("amigo")) {
                a.rule = {TuningRule::Amigo, 0};
            } else if (value == QLatin1String("zn")) {
                a.rule = {TuningRule::ZieglerNichols, 0};
            } else if (value.startsWith(QLatin1String("lambda=")) && to_number(value.mid(7), &v) &&
                       v > 0) {
                a.rule = {TuningRule::Lambda, v};
            } else {
                return Ctl::tr("--rule must be simc, lambda=SECONDS, amigo or zn");
            }
        } else if (tune && arg == QLatin1String("--span")) {
            if (!to_number(value, &v) || v <= 0) return Ctl::tr("--span must be a number above 0");
            a.span = v;
            a.span_given = true;
        } else if (tune && arg == QLatin1String("--tpid")) {
            bool ok = false;
            a.tpid = value.toInt(&ok);
            if (!ok || a.tpid < 1 || a.tpid > 10) return Ctl::tr("--tpid must be 1..10");
        } else if (!tune && arg == QLatin1String("--sp-step")) {
            if (!to_number(value, &v) || v == 0)
                return Ctl::tr("--sp-step must be a number other than 0");
            a.sp_step = v;
        } else if (!tune && arg == QLatin1String("--duration")) {
            if (!to_number(value, &v) || v < 10 || v > 86400)
                return Ctl::tr("--duration must be 10..86400 seconds");
            a.duration = v;
        } else if (!tune && arg == QLatin1String("--before")) {
            if (!to_number(value, &v) || v < 1 || v > 3600)
                return Ctl::tr("--before must be 1..3600 seconds");
            a.before = v;
        } else if (!tune && arg == QLatin1String("--out")) {
            a.out = value;
        } else {
            return Ctl::tr("unknown option %1").arg(arg);
        }
    }
    if (tune) {
        if (a.log.isEmpty()) return Ctl::tr("tune needs a LOG");
        if (!a.from.isEmpty() && !a.to.isEmpty()) {
            // Both in one form can be ordered without the log.
            const QDateTime f = QDateTime::fromString(a.from, Qt::ISODate);
            const QDateTime t = QDateTime::fromString(a.to, Qt::ISODate);
            const QTime ft = QTime::fromString(a.from, QStringLiteral("H:mm:ss"));
            const QTime tt = QTime::fromString(a.to, QStringLiteral("H:mm:ss"));
            if ((f.isValid() && t.isValid() && f > t) || (ft.isValid() && tt.isValid() && ft > tt))
                return Ctl::tr("--from %1 lies after --to %2").arg(a.from, a.to);
        }
        if (a.write && o.port.isEmpty()) return Ctl::tr("--write needs --port");
    } else {
        if (a.sp_step == 0) return Ctl::tr("steptest needs --sp-step DELTA");
        if (a.duration == 0) return Ctl::tr("steptest needs --duration S");
        if (a.out.isEmpty()) return Ctl::tr("steptest needs --out LOG");
        if (o.port.isEmpty()) return Ctl::tr("--port is required");
    }
    return {};
}

// ISO 8601, or the log's own H:MM:SS on its first day; -1 when neither.
qint64 parse_time(const QString& text, const LogData& log) {
    QString s = text;
    s.replace(QLatin1Char(' '), QLatin1Char('T'));
    const QDateTime dt = QDateTime::fromString(s, Qt::ISODate);
    if (dt.isValid()) return LogData::from_date_time(dt.date(), dt.time());
    const QTime t = QTime::fromString(text, QStringLiteral("H:mm:ss"));
    if (t.isValid() && !log.empty())
        return LogData::from_date_time(LogData::to_date_time(log.wall_ms(0)).date(), t);
    return -1;
}

QString stamp(qint64 wall) {
    return LogData::to_date_time(wall).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QJsonObject study_json(const TuningStudy& s, const LoopSettings& loop) {
    const ModelFit& f = s.identification.model;
    const ProcessModel& m = f.model;
    QJsonObject model{{QStringLiteral("kind"), QString::fromLatin1(model_kind_name(m.kind))},
                      {QStringLiteral("gain"), m.gain},
                      {QStringLiteral("time_constant"), m.tau},
                      {QStringLiteral("dead_time"), m.dead},
                      {QStringLiteral("rmse"), f.rmse},
                      {QStringLiteral("gain_sd"), f.sd_gain},
                      {QStringLiteral("time_constant_sd"), f.sd_tau},
                      {QStringLiteral("dead_time_sd"), f.sd_dead}};
    if (m.kind == ModelKind::Sopdt) {
        model.insert(QStringLiteral("time_constant2"), m.tau2);
        model.insert(QStringLiteral("time_constant2_sd"), f.sd_tau2);
    }
    const Proposal& p = s.proposal;
    QJsonObject proposal{
        {QStringLiteral("rule"), QString::fromLatin1(rule_name(p.choice.rule))},
        {QStringLiteral("tau_c"), p.tau_c},
        {QStringLiteral("form"), p.pid ? QStringLiteral("PID") : QStringLiteral("PI")},
        {QStringLiteral("aggressive"), p.aggressive},
        {QStringLiteral("kc"), p.settings.kc},
        {QStringLiteral("ti"), p.settings.ti},
        {QStringLiteral("td"), p.settings.td},
        {QStringLiteral("PB"), p.fields.PB},
        {QStringLiteral("INT"), p.fields.INT},
        {QStringLiteral("DER"), p.fields.DER},
        {QStringLiteral("span"), loop.span},
        {QStringLiteral("convention"), pid_convention::describe_en()}};
    const Robustness& r = s.robustness;
    // JSON has no infinity: a margin that is never reached is null.
    auto margin = [](double v) { return std::isfinite(v) ? QJsonValue(v) : QJsonValue(); };
    QJsonObject robust{{QStringLiteral("ms"), r.ms},
                       {QStringLiteral("gain_margin"), margin(r.gain_margin)},
                       {QStringLiteral("phase_margin_deg"), margin(r.phase_margin_deg)}};
    const StepResponse& sp = s.prediction.setpoint;
    const StepResponse& ld = s.prediction.load;
    QJsonObject predicted{{QStringLiteral("overshoot_percent"), sp.overshoot_percent},
                          {QStringLiteral("settling_time"), sp.settling_time},
                          {QStringLiteral("iae"), sp.iae},
                          {QStringLiteral("load_step_percent"), 10.0},
                          {QStringLiteral("load_peak"), ld.peak},
                          {QStringLiteral("load_settling_time"), ld.settling_time},
                          {QStringLiteral("load_iae"), ld.iae}};
    return QJsonObject{{QStringLiteral("model"), model},
                       {QStringLiteral("proposal"), proposal},
                       {QStringLiteral("robustness"), robust},
                       {QStringLiteral("predicted"), predicted}};
}

QString num(double v, int prec = 4) { return QString::number(v, 'g', prec); }

void print_study(const TuningStudy& s, const LoopSettings& loop, QTextStream& out) {
    const ModelFit& f = s.identification.model;
    const ProcessModel& m = f.model;
    const char* kind = m.kind == ModelKind::Fopdt   ? "first order plus dead time"
                       : m.kind == ModelKind::Sopdt ? "second order plus dead time"
                                                    : "integrating plus dead time";
    out << "model:      " << kind << " (" << model_kind_name(m.kind) << ")\n";
    out << "  K  = " << num(m.gain) << " ± " << num(f.sd_gain, 2)
        << (m.kind == ModelKind::Integrating ? " units per % and second\n" : " units per %\n");
    if (m.kind != ModelKind::Integrating)
        out << "  τ  = " << num(m.tau) << " ± " << num(f.sd_tau, 2) << " s\n";
    if (m.kind == ModelKind::Sopdt)
        out << "  τ2 = " << num(m.tau2) << " ± " << num(f.sd_tau2, 2) << " s\n";
    out << "  θ  = " << num(m.dead) << " ± " << num(f.sd_dead, 2) << " s\n";
    out << "  fit error (rmse) " << num(f.rmse, 3) << "\n";
    const Proposal& p = s.proposal;
    out << "proposal:   " << rule_name(p.choice.rule) << (p.pid ? " PID" : " PI");
    if (p.choice.rule == TuningRule::Simc || p.choice.rule == TuningRule::Lambda)
        out << ", τc = " << num(p.tau_c) << " s";
    if (p.aggressive) out << " (aggressive: for reference only)";
    out << "\n  Kc = " << num(p.settings.kc) << " % per unit, Ti = " << num(p.settings.ti)
        << " s, Td = " << num(p.settings.td) << " s\n";
    out << "  PB = " << num(p.fields.PB) << ", INT = " << num(p.fields.INT)
        << ", DER = " << num(p.fields.DER) << "\n  (" << pid_convention::describe_en() << "; range "
        << num(loop.span) << " units)\n";
    const Robustness& r = s.robustness;
    out << "robustness: Ms " << num(r.ms, 3) << ", gain margin "
        << (std::isfinite(r.gain_margin) ? num(r.gain_margin, 3) : QStringLiteral("infinite"))
        << ", phase margin " << num(r.phase_margin_deg, 3) << "°\n";
    const StepResponse& sp = s.prediction.setpoint;
    const StepResponse& ld = s.prediction.load;
    out << "predicted:  set-point step: overshoot " << num(sp.overshoot_percent, 3)
        << " %, settling (2 %) " << num(sp.settling_time, 4) << " s, IAE " << num(sp.iae, 4)
        << " s per unit\n";
    out << "            load step of 10 %: peak " << num(ld.peak, 3) << " units, settling "
        << num(ld.settling_time, 4) << " s, IAE " << num(ld.iae, 4) << "\n";
}

int tune(const CtlOptions& o, const TuneArgs& a, BusSession* req, QTextStream& out,
         QTextStream& err, ServiceJournal* journal) {
    auto fail = [&](const QString& why) {
        err << "tx20ctl: " << why << Qt::endl;
        return kExitFailed;
    };
    const LogReadResult read = LogReader::read_file(a.log);
    if (!read.ok()) return fail(QStringLiteral("%1: %2").arg(a.log, read.error));
    const LogData& log = read.data;
    if (log.empty()) return fail(Ctl::tr("%1: the log holds no samples").arg(a.log));
    int first = 0, last = log.size() - 1;
    const qint64 from = a.from.isEmpty() ? 0 : parse_time(a.from, log);
    const qint64 to = a.to.isEmpty() ? 0 : parse_time(a.to, log);
    if (from < 0)
        return fail(Ctl::tr("--from %1 is no ISO 8601 date-time nor H:MM:SS").arg(a.from));
    if (to < 0) return fail(Ctl::tr("--to %1 is no ISO 8601 date-time nor H:MM:SS").arg(a.to));
    if (!a.from.isEmpty() && !a.to.isEmpty() && from > to)
        return fail(Ctl::tr("--from %1 lies after --to %2").arg(a.from, a.to));
    if (!a.from.isEmpty() || !a.to.isEmpty()) {
        // The clock written in the lines decides, so a log whose clock went back is cut
        // where its lines say.
        first = -1;
        last = -1;
        for (int i = 0; i < log.size(); ++i) {
            const qint64 w = log.wall_ms(i);
            if ((a.from.isEmpty() || w >= from) && (a.to.isEmpty() || w <= to)) {
                if (first < 0) first = i;
                last = i;
            }
        }
        if (first < 0)
            return fail(Ctl::tr("the range lies outside the log (%1 .. %2)")
                            .arg(stamp(log.wall_ms(0)), stamp(log.wall_ms(log.size() - 1))));
    }
    LoopSettings loop;
    loop.span = a.span;
    loop.sample_s = a.tpid;
    if (req) {
        // The controller's own range and sampling decide PB and the prediction.
        DeviceData d;
        if (!req->read(o.da, int(TableId::TAB_SENS), d) ||
            !req->read(o.da, int(TableId::TAB_REGO), d))
            return fail(Ctl::tr("reading tables 2 and 4 failed; nothing was written"));
        const double span = pid_convention::span(d.sens.STRS, d.sens.ENDS);
        if (span <= 0)
            return fail(Ctl::tr("the controller's range STRS..ENDS is empty; nothing was written"));
        if (!a.span_given) loop.span = span;
        loop.sample_s = pid_convention::sample_period_s(d.rego.TPID);
        loop.dead_band = pid_convention::dead_band(d.rego.DEAD, loop.span);
    }
    const LoopRecord record = LoopRecord::from_log(log, first, last);
    const TuningStudy s = study_loop(record, a.rule, loop);
    if (!s.identification.ok()) return fail(refusal_text(s.identification, czech()));
    if (!s.proposal.ok) return fail(s.proposal.reason);
    if (a.json) {
        out << QJsonDocument(study_json(s, loop)).toJson(QJsonDocument::Compact) << Qt::endl;
    } else {
        out << "range:      " << stamp(log.wall_ms(first)) << " .. " << stamp(log.wall_ms(last))
            << ", " << record.size() << " samples\n";
        print_study(s, loop, out);
    }
    if (!a.write) return kExitOk;
    const PidWrite w = write_pid_fields(*req, o.da, s.proposal.fields);
    if (journal) journal->tuning_written(o.da, w, QStringLiteral("tx20ctl tune --write"));
    QTextStream& to_stream = a.json ? err : out;
    if (w.outcome != PidWrite::Outcome::ReadFailed && w.outcome != PidWrite::Outcome::Refused) {
        to_stream << "@" << o.da << ": PB " << num(w.before.PB, 6) << " -> " << num(w.sent.PB, 6)
                  << ", INT " << num(w.before.INT, 6) << " -> " << num(w.sent.INT, 6) << ", DER "
                  << num(w.before.DER, 6) << " -> " << num(w.sent.DER, 6) << ", TUNE kept at "
                  << w.tune << Qt::endl;
    }
    if (!w.ok()) return fail(pid_write_text(w, czech()));
    to_stream << "@" << o.da << ": " << pid_write_text(w, czech()) << Qt::endl;
    return kExitOk;
}

int steptest(const CtlOptions& o, const TuneArgs& a, BusSession& req, QTextStream& out,
             QTextStream& err, const std::atomic<bool>& interrupted, ServiceJournal* journal) {
    const auto record = [&](double from, double to, bool ok, bool restoring, bool sent,
                            const QString& reason) {
        if (journal && sent)
            journal->set_point_written(o.da, from, to, ok, restoring, reason,
                                       QStringLiteral("tx20ctl steptest"));
    };
    double old_sp = 0;
    if (!read_set_point(req, o.da, &old_sp)) {
        err << "tx20ctl: " << Ctl::tr("reading the set point failed; nothing was changed")
            << Qt::endl;
        return kExitFailed;
    }
    StepTest::Config c;
    c.sp_step = a.sp_step;
    c.max_s = a.duration;
    c.before_s = a.before;
    StepTest test(c, old_sp);
    SystemClock wall;
    LiveCycle cycle(wall);  // the log, and its lines as the window writes them
    cycle.start_log();
    QElapsedTimer clock;
    clock.start();
    QString why;
    bool step_failed = false;
    // How far the test has come, on a terminal only: scripts and logs never see it.
    Progress progress(err);
    LiveGroup live;  // the last reading; a failed one is logged with these values
    for (int k = 0;; ++k) {
        // One reading a second, as the live cycle takes them.
        const qint64 due = qint64(k) * 1000;
        while (clock.elapsed() < due && !interrupted)
            QThread::msleep(std::min<qint64>(50, due - clock.elapsed()));
        if (interrupted) break;
        const double t = double(clock.elapsed()) / 1000.0;
        const std::optional<LiveGroup> got = req.read_live(o.da);
        const bool ok = got.has_value();
        if (ok) live = *got;
        test.reading(t, ok, live.MEAS, live.SP, live.YOUT * 0.1, live.FAULT != 0);
        cycle.log(LiveReading::of(live, ok));
        if (test.link_lost()) break;
        if (test.step_due(t)) {
            bool sent = false;
            const bool done = write_set_point(req, o.da, test.new_sp(), &why, czech(), &sent);
            record(old_sp, test.new_sp(), done, false, sent, why);
            if (!done) {
                // The controller may have taken the step while its answer was lost: the
                // old set point goes back all the same.
                test.stepped(t);
                step_failed = true;
                break;
            }
            test.stepped(t);
            progress.clear();
            out << Ctl::tr("set point %1 -> %2").arg(old_sp).arg(test.new_sp()) << Qt::endl;
        }
        if (test.finished(t)) break;
        progress.show(Ctl::tr("%1 s, %2 %: MEAS %3, YOUT %4 %")
                          .arg(int(t))
                          .arg(int(100 * test.progress(t)))
                          .arg(live.MEAS)
                          .arg(live.YOUT * 0.1));
    }
    progress.clear();
    // Whatever ended it: the old set point goes back, and is checked.
    bool restored = !test.has_stepped();
    QString restore_why;
    bool restore_sent = false;
    for (int attempt = 0; attempt < 5 && !restored; ++attempt) {
        if (attempt > 0) QThread::msleep(500);
        bool sent = false;
        restored = write_set_point(req, o.da, old_sp, &restore_why, czech(), &sent);
        restore_sent = restore_sent || sent;
    }
    record(test.new_sp(), old_sp, restored, true, restore_sent, restore_why);
    int status = kExitOk;
    try {
        cycle.measurement_log().write_file(a.out);
    } catch (const std::exception& e) {
        err << "tx20ctl: " << a.out << ": " << QString::fromLocal8Bit(e.what()) << Qt::endl;
        status = kExitFailed;
    }
    if (step_failed) {
        err << "tx20ctl: " << Ctl::tr("the step could not be written: %1").arg(why) << Qt::endl;
        status = kExitFailed;
    }
    const double t_end = double(clock.elapsed()) / 1000.0;
    if (test.link_lost()) {
        err << "tx20ctl: " << Ctl::tr("the controller stopped answering; the test was stopped")
            << Qt::endl;
        status = kExitFailed;
    } else if (interrupted) {
        err << "tx20ctl: " << Ctl::tr("interrupted") << Qt::endl;
        status = kExitFailed;
    } else if (!step_failed) {
        out << (test.settled() ? Ctl::tr("settled after %1 s").arg(int(t_end - a.before))
                               : Ctl::tr("not settled within %1 s").arg(a.duration))
            << Qt::endl;
    }
    if (!restored) {
        err << "tx20ctl: "
            << Ctl::tr(
                   "WARNING: the old set point %1 could NOT be put back (%2); the controller "
                   "may still be at %3")
                   .arg(old_sp)
                   .arg(restore_why)
                   .arg(test.new_sp())
            << Qt::endl;
        return kExitFailed;
    }
    if (test.has_stepped()) out << Ctl::tr("set point %1 put back").arg(old_sp) << Qt::endl;
    out << Ctl::tr("log written to %1 (%2 readings)").arg(a.out).arg(test.record().size())
        << Qt::endl;
    return status;
}

}  // namespace

bool is_tuning_command(const QString& word, CtlOptions::Command* command) {
    if (word == QLatin1String("tune")) {
        if (command) *command = CtlOptions::Command::Tune;
        return true;
    }
    if (word == QLatin1String("steptest")) {
        if (command) *command = CtlOptions::Command::StepTest;
        return true;
    }
    return false;
}

bool is_tuning(CtlOptions::Command c) {
    return c == CtlOptions::Command::Tune || c == CtlOptions::Command::StepTest;
}

QString check_tuning(CtlOptions& o) {
    TuneArgs a;
    return parse(o, a);
}

bool tuning_needs_port(const CtlOptions& o) {
    if (o.command == CtlOptions::Command::StepTest) return true;
    CtlOptions copy = o;
    TuneArgs a;
    parse(copy, a);
    return a.write;
}

int run_tuning(const CtlOptions& o, BusSession* req, QTextStream& out, QTextStream& err,
               const std::atomic<bool>& interrupted, ServiceJournal* journal) {
    CtlOptions copy = o;
    TuneArgs a;
    if (!parse(copy, a).isEmpty()) return kExitUsage;
    if (o.command == CtlOptions::Command::Tune)
        return tune(o, a, a.write ? req : nullptr, out, err, journal);
    if (!req) return kExitUsage;
    return steptest(o, a, *req, out, err, interrupted, journal);
}
