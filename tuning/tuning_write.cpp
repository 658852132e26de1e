#include "tuning/tuning_write.h"

#include <QLocale>

#include "bus/bus_session.h"
#include "params/catalogue.h"
#include "params/value_check.h"

namespace {

const params::ParamDef& param(const char* control) {
    return *params::find_control(QString::fromLatin1(control));
}

double rounded(double v) {
    const auto f = params::parse_real(params::format_real(v, QLocale::c()), QLocale::c());
    return f ? double(*f) : v;
}

PidFields held(const PidGroup& g) { return {g.PB, g.INT, g.DER}; }

}  // namespace

PidFields editor_rounded(const PidFields& f) {
    return {rounded(f.PB), rounded(f.INT), rounded(f.DER)};
}

PidWrite write_pid_fields(BusSession& s, int address, const PidFields& wanted) {
    PidWrite w;
    DeviceData d;
    if (!s.read(address, int(TableId::TAB_PID), d)) {
        w.outcome = PidWrite::Outcome::ReadFailed;
        return w;
    }
    w.before = held(d.pid);
    w.tune = d.pid.TUNE;
    const PidFields v = editor_rounded(wanted);
    const std::pair<const char*, double> fields[] = {
        {"ed_pb", v.PB}, {"ed_ti", v.INT}, {"ed_td", v.DER}};
    DeviceData next = d;
    for (const auto& [control, value] : fields) {
        const params::ParamDef& p = param(control);
        const params::Verdict verdict = params::check_value(p, value);
        if (!verdict.ok() || value < 0) {
            w.outcome = PidWrite::Outcome::Refused;
            w.refused =
                QString::fromLatin1(p.mnemonic) + QStringLiteral(" = ") +
                QString::number(value, 'g', 6) +
                (verdict.ok() ? QString() : QStringLiteral(": ") + params::editor_reason(verdict));
            return w;
        }
        params::store_value(p, next, verdict.value);
    }
    w.sent = held(next.pid);  // TUNE as read
    if (!s.write(address, int(TableId::TAB_PID), next)) {
        w.outcome = PidWrite::Outcome::WriteFailed;
        return w;
    }
    if (!s.read(address, int(TableId::TAB_PID), d)) {
        w.outcome = PidWrite::Outcome::NotVerified;
        return w;
    }
    w.after = held(d.pid);
    const bool same = d.pid.PB == next.pid.PB && d.pid.INT == next.pid.INT &&
                      d.pid.DER == next.pid.DER && d.pid.TUNE == next.pid.TUNE;
    w.outcome = same ? PidWrite::Outcome::Verified : PidWrite::Outcome::NotVerified;
    return w;
}

QString pid_write_text(const PidWrite& w, bool czech) {
    switch (w.outcome) {
        case PidWrite::Outcome::Verified:
            return czech ? QStringLiteral("Zapsáno a ověřeno čtením.")
                         : QStringLiteral("written and verified by reading back");
        case PidWrite::Outcome::Refused:
            return czech ? QStringLiteral("Nezapsáno, hodnotu by editor parametrů odmítl: %1")
                               .arg(w.refused)
                         : QStringLiteral("nothing written, the parameter editor refuses %1")
                               .arg(w.refused);
        case PidWrite::Outcome::ReadFailed:
            return czech ? QStringLiteral("Nezapsáno: tabulku PID se nepodařilo přečíst.")
                         : QStringLiteral("nothing written: reading table 3 failed");
        case PidWrite::Outcome::WriteFailed:
            return czech ? QStringLiteral("Regulátor zápis tabulky PID odmítl nebo neodpověděl.")
                         : QStringLiteral("writing table 3 failed: refused or no answer");
        case PidWrite::Outcome::NotVerified:
            return czech ? QStringLiteral("Zapsáno, ale čtení zpět nesouhlasí nebo selhalo.")
                         : QStringLiteral("written, but reading it back failed or differs");
    }
    return {};
}

bool read_set_point(BusSession& s, int address, double* sp) {
    DeviceData d;
    if (!s.read(address, int(TableId::TAB_COMP), d)) return false;
    *sp = d.comp.SP;
    return true;
}

bool write_set_point(BusSession& s, int address, double sp, QString* why, bool czech, bool* sent) {
    if (sent) *sent = false;
    auto fail = [&](const QString& cs, const QString& en) {
        if (why) *why = czech ? cs : en;
        return false;
    };
    DeviceData d;
    if (!s.read(address, int(TableId::TAB_COMP), d))
        return fail(QStringLiteral("Žádanou hodnotu se nepodařilo přečíst."),
                    QStringLiteral("reading table 0 failed"));
    const auto f = params::parse_real(params::format_real(sp, QLocale::c()), QLocale::c());
    const float value = f ? *f : float(sp);
    if (!params::check_set_point(value, d.comp.SP_L, d.comp.SP_H).ok())
        return fail(QStringLiteral("Žádaná hodnota %1 je mimo meze %2 až %3.")
                        .arg(value)
                        .arg(d.comp.SP_L)
                        .arg(d.comp.SP_H),
                    QStringLiteral("set point %1 lies outside SP_L %2 .. SP_H %3")
                        .arg(value)
                        .arg(d.comp.SP_L)
                        .arg(d.comp.SP_H));
    // Already there (a refused step leaves the old value): nothing to write, nothing to
    // be refused.
    if (d.comp.SP == value) return true;
    d.comp.SP = value;
    if (sent) *sent = true;
    if (!s.write(address, int(TableId::TAB_COMP), d))
        return fail(QStringLiteral("Regulátor zápis žádané hodnoty odmítl nebo neodpověděl."),
                    QStringLiteral("writing table 0 failed: refused or no answer"));
    DeviceData back;
    if (!s.read(address, int(TableId::TAB_COMP), back) || back.comp.SP != value)
        return fail(QStringLiteral("Zapsaná žádaná hodnota se nepotvrdila čtením."),
                    QStringLiteral("the set point written did not read back"));
    return true;
}
