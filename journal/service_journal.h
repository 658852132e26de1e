#pragma once

#include <QDateTime>
#include <QObject>
#include <functional>
#include <map>
#include <memory>

#include "alarms/alarm_engine.h"
#include "journal/journal.h"
#include "journal/parameter_changes.h"

// What the program tells the journal, in the words of the flows: a table read or
// written, a commit, an identification, the port, a file, each live reading (which
// also drives the link state and the alarms). Turns each into its entry; keeps what each
// controller was last known to hold, the link state per address and the alarms with
// their rules. Lives on the window thread.
struct PidWrite;
namespace commissioning {
struct TargetResult;
}

class ServiceJournal : public QObject {
    Q_OBJECT
  public:
    explicit ServiceJournal(const QString& path = Journal::default_path(),
                            QObject* parent = nullptr,
                            Journal::Upkeep upkeep = Journal::Upkeep::Inline);
    ~ServiceJournal() override;

    Journal& journal() { return *journal_; }
    const AlarmEngine& alarms() const { return alarms_; }
    // The wall clock, replaceable for tests.
    void set_clock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

    // Any entry, for flows that make their own (tuning written ...). Missing time, user
    // and program are filled in.
    bool record(JournalEntry e);

    void table_read(int address, int table, bool ok, const DeviceData& d);
    // d holds what was sent. Records the fields that differ from what the controller was
    // last known to hold.
    void table_written(int address, int table, bool ok, const DeviceData& d, const QString& source);
    void eeprom_stored(int address, bool ok, const QString& source);
    // One target of a clone with its verdict; the controller's tables are no longer known.
    void cloned(const commissioning::TargetResult& r, const QString& reference,
                const QString& source);
    // PB, INT and DER of a tuning written and read back.
    void tuning_written(int address, const PidWrite& w, const QString& source);
    // The set point a step test wrote (restoring: put back at its end); nothing is
    // recorded for a write that never went out.
    void set_point_written(int address, double from, double to, bool ok, bool restoring,
                           const QString& why, const QString& source);
    // The model a version text names, in the journal's words; -1 is a foreign device.
    static QString verdict(int ident_result);
    void identified(int address, bool ok, const QString& type, const QString& version,
                    const QString& verdict, const QString& source);
    void port_opened(const QString& name, const QString& device, bool ok, const QString& reason);
    void port_closed(const QString& name);
    void file_saved(const QString& what, const QString& path, const QString& source);
    // A reading of the live table: link lost or back, and the alarms. Every window that
    // reads a controller feeds the same alarms: one state per controller and condition.
    void reading(int address, bool ok, const LiveGroup& live,
                 const QString& source = QStringLiteral("Čtení"));

    void acknowledge(int address, AlarmCondition c, const QString& comment);
    void shelve(int address, AlarmCondition c, int minutes, const QString& comment);
    // Ends shelving whose time is up (also done each second by a timer).
    void tick();

    AlarmRules rules(int address);
    bool set_rules(int address, const AlarmRules& rules);
    // Takes a controller's rules from the database again: another process may have
    // changed them.
    void reload_rules(int address);

  signals:
    void alarms_changed();
    void recorded();
    // A journal that cannot be written, told once for each kind of fault.
    void fault(const QString& text);

  private:
    JournalEntry make(JournalKind kind, int address, const QString& source, bool ok,
                      const QString& summary) const;
    void load_rules(int address);
    void record_alarm_events(const std::vector<AlarmEvent>& events);

    std::unique_ptr<Journal> journal_;
    ParameterChanges known_;
    AlarmEngine alarms_;
    std::map<int, bool> link_;  // address -> answered at the last reading
    std::function<QDateTime()> clock_;
};
