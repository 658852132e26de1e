#include "tools/tx20ctl/ctl_commands.h"

#include <QDateTime>
#include <QLocale>
#include <QThread>
#include <QTime>
#include <cmath>
#include <type_traits>

#include "bus/bus_scan.h"
#include "bus/identification.h"
#include "ident/ident_texts.h"
#include "journal/service_journal.h"
#include "live/live_cycle.h"
#include "params/value_check.h"
#include "platform/clock.h"
#include "tools/tx20ctl/ctl_json.h"
#include "tools/tx20ctl/ctl_progress.h"
#include "tools/tx20ctl/ctl_tr.h"

namespace {

QString format_float(float v) { return QString::number(static_cast<double>(v), 'g', 7); }

template <class T>
QString format_field(const T& v) {
    if constexpr (std::is_same_v<T, float>)
        return format_float(v);
    else
        return QString::number(static_cast<int>(v));
}

// Field names match ignoring case, with '_' standing for '-' (A_IN for A-IN).
bool same_field(const char* name, const QString& wanted) {
    QString n = QString::fromLatin1(name);
    n.replace(QLatin1Char('-'), QLatin1Char('_'));
    QString w = wanted;
    w.replace(QLatin1Char('-'), QLatin1Char('_'));
    return n.compare(w, Qt::CaseInsensitive) == 0;
}

// Applies assignments to group t of d with the editor's rules for each value; returns the
// first problem, or an empty text.
QString apply_assignments(DeviceData& d, int table, const QStringList& assignments) {
    QString error;
    const auto t = static_cast<TableId>(table);
    for (const QString& a : assignments) {
        const int eq = a.indexOf(QLatin1Char('='));
        const QString name = a.left(eq).trimmed();
        const QString value = a.mid(eq + 1).trimmed();
        bool found = false;
        with_group(d, table, [&](auto& group) {
            for_each_field(group, [&](const char* field_name, auto& field) {
                if (found || !same_field(field_name, name)) return;
                found = true;
                const params::ParamDef* p = params::param_of_field(t, &field, d);
                if (!p) {
                    error = Ctl::tr("%1 is not a parameter: the editor always writes it as 0")
                                .arg(QString::fromLatin1(field_name));
                    return;
                }
                const params::Verdict v = params::check_text(*p, value);
                if (!v.ok()) {
                    error = Ctl::tr("%1 is not a valid value for %2: %3")
                                .arg(value, QString::fromLatin1(field_name), refusal_text(v));
                    return;
                }
                params::store_value(*p, d, v.value);
            });
        });
        if (!found) error = Ctl::tr("table %1 has no field %2").arg(table).arg(name);
        if (!error.isEmpty()) break;
    }
    return error;
}

// Letters as they are, control characters as escapes.
QString printable(const QString& text) {
    QString s;
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() != 0x7F)
            s += c;
        else
            s += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
    return s;
}

}  // namespace

int CtlCommands::failed(const QString& reason) {
    err_ << "tx20ctl: " << reason << Qt::endl;
    return kExitFailed;
}

QString CtlCommands::check_assignments(int table, const QStringList& assignments) {
    DeviceData scratch;
    return apply_assignments(scratch, table, assignments);
}

int CtlCommands::run(const CtlOptions& o) {
    switch (o.command) {
        case CtlOptions::Command::Live:
            return live(o.watch_s);
        case CtlOptions::Command::Read:
            return read(o.table);
        case CtlOptions::Command::Write:
            return write(o.table, o.assignments);
        case CtlOptions::Command::Eeprom:
            return eeprom();
        case CtlOptions::Command::Scan:
            return scan(o.timeout_ms > 0 ? o.timeout_ms : bus_scan::probe_wait_ms(o.rate));
        case CtlOptions::Command::Ident:
            return ident();
        case CtlOptions::Command::Listen:  // needs the bare line, not the request layer
        case CtlOptions::Command::Backup:  // the commissioning commands run on their own
        case CtlOptions::Command::Diff:
        case CtlOptions::Command::Clone:
        case CtlOptions::Command::Report:
        case CtlOptions::Command::Serve:  // opens the port itself, again when it vanishes
        case CtlOptions::Command::Tune:   // tuning runs on its own as well
        case CtlOptions::Command::StepTest:
        case CtlOptions::Command::None:
            break;
    }
    return kExitUsage;
}

void CtlCommands::print_live(const LiveGroup& l, bool stamp) {
    if (json_) {
        out_ << ctl_json::live(da_, l, QDateTime::currentDateTime()) << Qt::endl;
        return;
    }
    const auto relay = [&](int bit) { return (l.RELAYS >> bit) & 1; };
    if (stamp) out_ << QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) << ' ';
    const auto fixed = [](float v) { return QString::number(static_cast<double>(v), 'f', 2); };
    out_ << "MEAS=" << fixed(l.MEAS) << " SP=" << fixed(l.SP) << " OUT1=" << relay(0)
         << " OUT2=" << relay(1) << " OUT3=" << relay(2)
         << " YOUT=" << QString::number(l.YOUT / 10.0, 'f', 1) << '%'
         << " FEEDBACK=" << QString::number(l.FEEDBACK / 10.0, 'f', 1) << '%'
         << " TTERM=" << fixed(l.TTERM) << " FAULT=" << static_cast<int>(l.FAULT) << Qt::endl;
}

int CtlCommands::live(double watch_s) {
    if (watch_s <= 0) {
        const auto l = session_.read_live(da_);
        if (!l) return failed(Ctl::tr("reading table 10 failed"));
        print_live(*l, false);
        return kExitOk;
    }
    SystemClock clock;
    LiveCycle cycle(clock);
    cycle.start_repeat(static_cast<qint64>(std::llround(watch_s * 1000)));
    bool last_ok = true;
    bool gone = false;  // told the user the port has gone
    while (!interrupted_) {
        // The line closes itself when the device vanishes (a USB adapter pulled out, the
        // simulator restarted); once the device is back the port opens again.
        if (port_ && !port_->is_open()) {
            if (!gone) {
                err_ << "tx20ctl: " << port_name_ << " has gone; waiting for it to come back"
                     << Qt::endl;
                gone = true;
            }
            try {
                port_->open(port_name_, device_, rate_);
                err_ << "tx20ctl: " << port_name_ << " reopened" << Qt::endl;
                gone = false;
            } catch (const PortError&) {
            }
        }
        if (gone) {
            last_ok = false;
        } else if (const auto l = session_.read_live(da_)) {
            last_ok = true;
            print_live(*l, true);
        } else {
            last_ok = false;
            err_ << "tx20ctl: reading table 10 failed" << Qt::endl;
        }
        cycle.reading_done();
        while (!interrupted_ && cycle.wait_ms() > 0)
            QThread::msleep(static_cast<unsigned long>(std::min<qint64>(cycle.wait_ms(), 50)));
    }
    return last_ok ? kExitOk : kExitFailed;
}

int CtlCommands::read(int table) {
    DeviceData d;
    if (!session_.read(da_, table, d)) return failed(Ctl::tr("reading table %1 failed").arg(table));
    if (json_) {
        out_ << ctl_json::table(da_, table, d) << Qt::endl;
        return kExitOk;
    }
    with_group(d, table, [&](auto& group) {
        for_each_field(group, [&](const char* name, auto& field) {
            out_ << name << " = " << format_field(field) << Qt::endl;
        });
    });
    return kExitOk;
}

int CtlCommands::write(int table, const QStringList& assignments) {
    // Fields not named keep what the controller holds.
    DeviceData d;
    if (!session_.read(da_, table, d)) return failed(Ctl::tr("reading table %1 failed").arg(table));
    if (journal_) journal_->table_read(da_, table, true, d);
    const QString error = apply_assignments(d, table, assignments);
    if (!error.isEmpty()) return failed(error);  // checked before; cannot happen
    // As the editor sends it with every write of its tab.
    if (table == static_cast<int>(TableId::TAB_REGO)) d.rego.RESV = 0;
    // The set-point rule needs the limits the controller holds.
    if (table == static_cast<int>(TableId::TAB_COMP)) {
        const params::Verdict v = params::check_set_point(d.comp.SP, d.comp.SP_L, d.comp.SP_H);
        if (!v.ok()) {
            err_ << "tx20ctl: "
                 << Ctl::tr("SP %1 lies outside SP_L %2 .. SP_H %3; nothing was written")
                        .arg(format_float(d.comp.SP), format_float(d.comp.SP_L),
                             format_float(d.comp.SP_H))
                 << Qt::endl;
            return kExitUsage;
        }
    }
    const bool ok = session_.write(da_, table, d);
    if (journal_) journal_->table_written(da_, table, ok, d, QStringLiteral("tx20ctl write"));
    if (!ok) return failed(Ctl::tr("writing table %1 failed").arg(table));
    return kExitOk;
}

int CtlCommands::eeprom() {
    const bool ok = session_.store_eeprom(da_);
    if (journal_) journal_->eeprom_stored(da_, ok, QStringLiteral("tx20ctl eeprom"));
    if (!ok) return failed(Ctl::tr("storing in EEPROM failed"));
    return kExitOk;
}

int CtlCommands::scan(int wait_ms) {
    Progress progress(err_);
    progress.show(QStringLiteral("0/%1").arg(bus_scan::kAddressCount));
    const std::vector<int> found =
        bus_scan::scan(session_, wait_ms, interrupted_, [&](int a, bool answered) {
            if (answered) {
                progress.clear();
                out_ << (json_ ? ctl_json::station(a) : QString::number(a)) << Qt::endl;
            }
            if (a < bus_scan::kLastAddress)
                progress.show(QStringLiteral("%1/%2").arg(a + 1).arg(bus_scan::kAddressCount));
        });
    progress.clear();
    if (found.empty()) return failed(Ctl::tr("no station answered"));
    return kExitOk;
}

int CtlCommands::ident() {
    if (json_) return ident_json();
    const DeviceIdentity id = identify(session_, da_);
    if (id.type_read) out_ << "type: " << printable(id.type_text) << Qt::endl;
    if (id.version_read) out_ << "version: " << printable(id.version_text) << Qt::endl;
    if (journal_ && (id.type_read || id.version_read))
        journal_->identified(
            da_, id.supported(), id.type_read ? id.type_text : QString(),
            id.version_read ? id.version_text : QString(),
            id.version_read ? ServiceJournal::verdict(static_cast<int>(id.model)) : QString(),
            QStringLiteral("tx20ctl ident"));
    if (id.type_read && id.version_read) return kExitOk;
    if (id.type_read || id.version_read)
        return failed(id.type_read ? Ctl::tr("reading the version text failed")
                                   : Ctl::tr("reading the type text failed"));
    // A device of another kind may still answer the type request loosely.
    const auto foreign = session_.read_foreign_ident(da_);
    if (!foreign) return failed(Ctl::tr("the device did not identify itself"));
    for (int line = 0; line < 3; ++line)
        out_ << "foreign: " << printable(text_from_device(foreign->data() + line * 32, 32))
             << Qt::endl;
    return kExitOk;
}
