#include "journal/service_journal.h"

#include <QDir>
#include <QTimer>

#include "commissioning/clone.h"
#include "ident/ident_result.h"
#include "tuning/tuning_write.h"

namespace {

const QString kAlarmSource = QStringLiteral("Alarmy");

}  // namespace

ServiceJournal::ServiceJournal(const QString& path, QObject* parent, Journal::Upkeep upkeep)
    : QObject(parent),
      journal_(std::make_unique<Journal>(path, upkeep)),
      clock_([] { return QDateTime::currentDateTime(); }) {
    journal_->set_fault_handler([this](const QString& text) { emit fault(text); });
    auto* timer = new QTimer(this);
    timer->setInterval(1000);
    connect(timer, &QTimer::timeout, this, &ServiceJournal::tick);
    timer->start();
}

ServiceJournal::~ServiceJournal() = default;

JournalEntry ServiceJournal::make(JournalKind kind, int address, const QString& source, bool ok,
                                  const QString& summary) const {
    JournalEntry e;
    e.time = clock_();
    e.kind = kind;
    e.address = address;
    e.source = source;
    e.ok = ok;
    e.summary = summary;
    return e;
}

bool ServiceJournal::record(JournalEntry e) {
    if (!e.time.isValid()) e.time = clock_();
    const bool ok = journal_->record(std::move(e));
    emit recorded();
    return ok;
}

void ServiceJournal::table_read(int address, int table, bool ok, const DeviceData& d) {
    if (ok) known_.known(address, table, d);
}

void ServiceJournal::table_written(int address, int table, bool ok, const DeviceData& d,
                                   const QString& source) {
    JournalEntry e = make(JournalKind::Write, address, source, ok, {});
    e.changes = known_.changes(address, table, d);
    const QString what = e.changes.empty() ? QStringLiteral("beze změny") : changes_text(e.changes);
    e.summary = ok ? QStringLiteral("Tabulka %1 zapsána: %2").arg(table).arg(what)
                   : QStringLiteral("Zápis tabulky %1 selhal: %2").arg(table).arg(what);
    // After a failed write nobody knows what the controller holds.
    if (ok)
        known_.known(address, table, d);
    else
        known_.forget(address);
    record(std::move(e));
}

void ServiceJournal::eeprom_stored(int address, bool ok, const QString& source) {
    record(make(JournalKind::Eeprom, address, source, ok,
                ok ? QStringLiteral("Parametry uloženy do EEPROM")
                   : QStringLiteral("Uložení do EEPROM selhalo")));
}

void ServiceJournal::cloned(const commissioning::TargetResult& r, const QString& reference,
                            const QString& source) {
    using Outcome = commissioning::TargetResult::Outcome;
    const bool ok = r.outcome == Outcome::Verified || r.outcome == Outcome::Planned;
    QString summary = QStringLiteral("Klonování z %1: %2").arg(reference, r.status_text());
    if (!r.tables_written.empty())
        summary += QStringLiteral("; zapsány tabulky %1")
                       .arg(commissioning::tables_text(r.tables_written));
    known_.forget(r.address);
    record(make(JournalKind::Clone, r.address, source, ok, summary));
}

void ServiceJournal::tuning_written(int address, const PidWrite& w, const QString& source) {
    // Nothing went out when the reading failed or a value was refused.
    if (w.outcome == PidWrite::Outcome::ReadFailed || w.outcome == PidWrite::Outcome::Refused)
        return;
    JournalEntry e = make(JournalKind::Tuning, address, source, w.ok(), {});
    const auto text = [](double v) { return QString::number(v, 'g', 7); };
    const std::pair<const char*, std::pair<double, double>> fields[] = {
        {"PB", {w.before.PB, w.sent.PB}},
        {"INT", {w.before.INT, w.sent.INT}},
        {"DER", {w.before.DER, w.sent.DER}}};
    for (const auto& [name, values] : fields)
        e.changes.push_back(
            {3, QString::fromLatin1(name), text(values.first), text(values.second)});
    e.summary = QStringLiteral("Ladění zapsáno: %1 (%2)")
                    .arg(changes_text(e.changes), pid_write_text(w, true));
    known_.forget(address);
    record(std::move(e));
}

void ServiceJournal::set_point_written(int address, double from, double to, bool ok, bool restoring,
                                       const QString& why, const QString& source) {
    const auto text = [](double v) { return QString::number(v, 'g', 7); };
    JournalEntry e = make(JournalKind::Write, address, source, ok, {});
    e.changes.push_back({0, QStringLiteral("SP"), text(from), text(to)});
    QString what;
    if (ok)
        what = restoring ? QStringLiteral("původní žádaná hodnota vrácena")
                         : QStringLiteral("skok žádané hodnoty");
    else
        what = (restoring ? QStringLiteral("původní žádanou hodnotu nelze vrátit (%1)")
                          : QStringLiteral("skok žádané hodnoty nelze zapsat (%1)"))
                   .arg(why);
    e.summary = QStringLiteral("Krokový test: %1: %2").arg(what, changes_text(e.changes));
    // Table 0 is no longer what was read before the test.
    known_.forget(address);
    record(std::move(e));
}

QString ServiceJournal::verdict(int r) {
    if (r < 0) return QStringLiteral("jiné zařízení");
    switch (static_cast<IdentResult>(r)) {
        case IdentResult::Supported:
            return QStringLiteral("KELVRA 20");
        case IdentResult::Unknown:
            return QStringLiteral("neznámé zařízení");
        default:
            return QStringLiteral("KRT 01, odmítnut");
    }
}

void ServiceJournal::identified(int address, bool ok, const QString& type, const QString& version,
                                const QString& verdict, const QString& source) {
    QStringList parts;
    if (!verdict.isEmpty()) parts << verdict;
    if (!type.isEmpty()) parts << QStringLiteral("typ „%1“").arg(type);
    if (!version.isEmpty()) parts << QStringLiteral("verze „%1“").arg(version);
    if (parts.isEmpty()) parts << QStringLiteral("bez odpovědi");
    record(make(JournalKind::Ident, address, source, ok,
                QStringLiteral("Identifikace: %1").arg(parts.join(QStringLiteral(", ")))));
}

void ServiceJournal::port_opened(const QString& name, const QString& device, bool ok,
                                 const QString& reason) {
    const QString where =
        device.isEmpty() || device == name
            ? name
            : QStringLiteral("%1 (%2)").arg(name, QDir::toNativeSeparators(device));
    record(make(JournalKind::Port, -1, QStringLiteral("Port"), ok,
                ok ? QStringLiteral("Port %1 otevřen").arg(where)
                   : QStringLiteral("Port %1 nelze otevřít: %2").arg(where, reason)));
    link_.clear();
}

void ServiceJournal::port_closed(const QString& name) {
    record(make(JournalKind::Port, -1, QStringLiteral("Port"), true,
                QStringLiteral("Port %1 zavřen").arg(name)));
    link_.clear();
}

void ServiceJournal::file_saved(const QString& what, const QString& path, const QString& source) {
    record(make(JournalKind::File, -1, source, true,
                QStringLiteral("%1 uložen: %2").arg(what, QDir::toNativeSeparators(path))));
}

void ServiceJournal::reading(int address, bool ok, const LiveGroup& live, const QString& source) {
    const auto it = link_.find(address);
    // The first reading after start tells nothing unless it fails.
    if (it == link_.end() ? !ok : it->second != ok)
        record(make(JournalKind::Link, address, source, ok,
                    ok ? QStringLiteral("Spojení obnoveno")
                       : QStringLiteral("Spojení ztraceno: regulátor neodpovídá")));
    link_[address] = ok;
    load_rules(address);
    const auto events = alarms_.reading(address, clock_().toMSecsSinceEpoch(), ok, live);
    record_alarm_events(events);
}

void ServiceJournal::record_alarm_events(const std::vector<AlarmEvent>& events) {
    for (const AlarmEvent& ev : events) {
        const bool ack =
            ev.what == AlarmEvent::What::Acknowledged || ev.what == AlarmEvent::What::Shelved;
        JournalEntry e = make(ack ? JournalKind::Ack : JournalKind::Alarm, ev.status.address,
                              kAlarmSource, ev.what != AlarmEvent::What::Raised, event_summary(ev));
        e.time = QDateTime::fromMSecsSinceEpoch(ev.time_ms);
        if (!ev.user.isEmpty()) e.user = ev.user;
        record(std::move(e));
    }
    if (!events.empty()) emit alarms_changed();
}

void ServiceJournal::acknowledge(int address, AlarmCondition c, const QString& comment) {
    record_alarm_events(alarms_.acknowledge(address, c, Journal::current_user(), comment,
                                            clock_().toMSecsSinceEpoch()));
}

void ServiceJournal::shelve(int address, AlarmCondition c, int minutes, const QString& comment) {
    record_alarm_events(alarms_.shelve(address, c, qint64{minutes} * 60000, Journal::current_user(),
                                       comment, clock_().toMSecsSinceEpoch()));
}

void ServiceJournal::tick() { record_alarm_events(alarms_.tick(clock_().toMSecsSinceEpoch())); }

void ServiceJournal::load_rules(int address) {
    if (alarms_.has_rules(address)) return;
    const auto stored = journal_->rules(address);
    alarms_.set_rules(address, stored ? rules_from_json(*stored) : default_rules());
}

void ServiceJournal::reload_rules(int address) {
    const auto stored = journal_->rules(address);
    // Nothing read may also be a database that is busy: the rules in use stay.
    if (!stored && alarms_.has_rules(address)) return;
    const AlarmRules rules = stored ? rules_from_json(*stored) : default_rules();
    if (alarms_.has_rules(address) && alarms_.rules(address) == rules) return;
    alarms_.set_rules(address, rules);
    emit alarms_changed();
}

AlarmRules ServiceJournal::rules(int address) {
    load_rules(address);
    return alarms_.rules(address);
}

bool ServiceJournal::set_rules(int address, const AlarmRules& rules) {
    alarms_.set_rules(address, rules);
    emit alarms_changed();
    return journal_->set_rules(address, rules_to_json(rules));
}
