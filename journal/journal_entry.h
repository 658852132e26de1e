#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

// What an entry of the service journal tells. The names are stored in the database and
// given to tx20ctl journal --kind: never rename one.
enum class JournalKind {
    Write,   // a parameter table written
    Eeprom,  // parameters committed to EEPROM
    Clone,   // a parameter set copied onto controllers, one entry per target
    Tuning,  // tuning constants written
    Ident,   // identification result
    Port,    // serial port opened or closed
    Link,    // link to one address lost or back
    File,    // log or parameter file saved
    Alarm,   // alarm transition
    Ack,     // alarm acknowledged or shelved
    Missed,  // entries that could not be stored
};
constexpr int kJournalKindCount = 11;

QString kind_name(JournalKind k);
// The word the windows show.
QString kind_caption(JournalKind k);
std::optional<JournalKind> kind_from_name(const QString& name);

// One changed field of a written table, values as the controller's texts.
struct FieldChange {
    int table = 0;
    QString field;
    QString old_value;  // empty when the program did not know it
    QString new_value;
    bool operator==(const FieldChange& o) const {
        return table == o.table && field == o.field && old_value == o.old_value &&
               new_value == o.new_value;
    }
};

struct JournalEntry {
    qint64 id = 0;     // given by the database
    QDateTime time;    // left invalid, record() takes the current time
    QString user;      // empty: the user running the program
    QString program;   // empty: the application's name
    QString source;    // the window or command that made the entry
    int address = -1;  // the controller's address, -1 for none
    JournalKind kind = JournalKind::Write;
    bool ok = true;   // the operation's outcome
    QString summary;  // one line, as the window shows it
    std::vector<FieldChange> changes;
};

// An entry as an export reads it: the time as milliseconds since the epoch, no changes.
struct JournalRow {
    qint64 id = 0;
    qint64 time_ms = 0;
    QString user;
    QString program;
    QString source;
    int address = -1;
    JournalKind kind = JournalKind::Write;
    bool ok = true;
    QString summary;
};

// Which entries a query returns; an unset member matches everything.
struct JournalFilter {
    std::optional<QDateTime> since;  // inclusive
    std::optional<QDateTime> until;  // inclusive
    std::optional<int> address;
    std::optional<JournalKind> kind;
    QString text;  // part of the summary; ASCII letters match either case, no wildcards
};

// "PB 1.5 → 2; INT 100 → 120" for the summary.
QString changes_text(const std::vector<FieldChange>& changes);
QString changes_json(const std::vector<FieldChange>& changes);
std::vector<FieldChange> changes_from_json(const QString& json);
