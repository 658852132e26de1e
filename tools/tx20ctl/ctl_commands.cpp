#include "tools/tx20ctl/ctl_commands.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QThread>
#include <QTime>
#include <cmath>
#include <type_traits>

#include "params/value_check.h"
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

QString printable(const char* text, int size) {
    QString s;
    for (int i = 0; i < size && text[i] != 0; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F)
            s += QLatin1Char(static_cast<char>(c));
        else
            s += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
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
            return scan();
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

void CtlCommands::print_live(bool stamp) {
    const LiveGroup& l = req_.data().live;
    if (json_) {
        out_ << ctl_json::live(req_.device_address(), l, QDateTime::currentDateTime()) << Qt::endl;
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
        if (!req_.read_table(TableId::TAB_LIVE))
            return failed(QStringLiteral("reading table 10 failed"));
        print_live(false);
        return kExitOk;
    }
    const auto period_ms = static_cast<qint64>(std::llround(watch_s * 1000));
    QElapsedTimer clock;
    clock.start();
    qint64 due = 0;
    bool last_ok = true;
    bool gone = false;  // told the user the port has gone
    while (!interrupted_) {
        due += period_ms;
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
        } else if (req_.read_table(TableId::TAB_LIVE)) {
            last_ok = true;
            print_live(true);
        } else {
            last_ok = false;
            err_ << "tx20ctl: reading table 10 failed" << Qt::endl;
        }
        if (clock.elapsed() > due) due = clock.elapsed();  // fell behind: no catching up
        while (!interrupted_ && clock.elapsed() < due)
            QThread::msleep(
                static_cast<unsigned long>(std::min<qint64>(due - clock.elapsed(), 50)));
    }
    return last_ok ? kExitOk : kExitFailed;
}

int CtlCommands::read(int table) {
    if (!req_.read_table(table))
        return failed(QStringLiteral("reading table %1 failed").arg(table));
    if (json_) {
        out_ << ctl_json::table(req_.device_address(), table, req_.data()) << Qt::endl;
        return kExitOk;
    }
    with_group(req_.data(), table, [&](auto& group) {
        for_each_field(group, [&](const char* name, auto& field) {
            out_ << name << " = " << format_field(field) << Qt::endl;
        });
    });
    return kExitOk;
}

int CtlCommands::write(int table, const QStringList& assignments) {
    // Fields not named keep what the controller holds.
    if (!req_.read_table(table)) return failed(Ctl::tr("reading table %1 failed").arg(table));
    DeviceData& d = req_.data();
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
    if (!req_.write_table(table)) return failed(Ctl::tr("writing table %1 failed").arg(table));
    return kExitOk;
}

int CtlCommands::eeprom() {
    if (!req_.store_eeprom()) return failed(QStringLiteral("storing in EEPROM failed"));
    return kExitOk;
}

int CtlCommands::scan() {
    const std::uint8_t own = req_.device_address();
    int found = 0;
    Progress progress(err_);
    for (int a = 0; a <= 126 && !interrupted_; ++a) {
        progress.show(QStringLiteral("%1/127").arg(a));
        req_.set_device_address(static_cast<std::uint8_t>(a));
        if (req_.probe_station()) {
            progress.clear();
            out_ << (json_ ? ctl_json::station(a) : QString::number(a)) << Qt::endl;
            ++found;
        }
    }
    progress.clear();
    req_.set_device_address(own);
    if (found == 0) return failed(QStringLiteral("no station answered"));
    return kExitOk;
}

int CtlCommands::ident() {
    if (json_) return ident_json();
    CommBuffer& b = req_.buffer();
    const bool type_ok = req_.read_type_text();
    if (type_ok) out_ << "type: " << printable(b.type_text.data(), 250) << Qt::endl;
    const bool version_ok = req_.read_version_text();
    if (version_ok) out_ << "version: " << printable(b.version_text.data(), 250) << Qt::endl;
    if (type_ok && version_ok) return kExitOk;
    if (type_ok || version_ok)
        return failed(type_ok ? QStringLiteral("reading the version text failed")
                              : QStringLiteral("reading the type text failed"));
    // A device of another kind may still answer the type request loosely.
    if (!req_.read_foreign_ident())
        return failed(QStringLiteral("the device did not identify itself"));
    for (int line = 0; line < 3; ++line)
        out_ << "foreign: " << printable(b.foreign_ident.data() + line * 32, 32) << Qt::endl;
    return kExitOk;
}
