#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "journal/journal_entry.h"

class QSqlDatabase;
class QSqlQuery;

// The service journal: one SQLite database per user that the program and tx20ctl both
// append to (WAL, a busy time-out, one transaction per entry), and the alarm rules of
// each controller. Use one object on one thread.
//
// A database that cannot be written never stops anything else: the fault is reported
// once, entries are held in memory and written when the database takes them again, and
// what had to be given up is recorded as one "missed" entry. A damaged file is set aside
// under a new name and a fresh journal begins.
//
// On the window thread the writer never runs a WAL checkpoint (its fsync would stall
// it): a thread of the object's own does, every thousand entries and when the journal is
// quiet, and keeps the text index beside the journal up (text_index.h).
class Journal {
  public:
    enum class Fault { None, ReadOnly, Full, Locked, Damaged, Newer, Other };

    // The place the program and tx20ctl share: the per-user data folder.
    static QString default_path();
    // The name of the user running the program.
    static QString current_user();
    // The schema this program writes.
    static constexpr int kSchemaVersion = 2;

    // Who checkpoints and indexes: SQLite within the writer's commits and nobody, or a
    // thread of the journal's own (the program's window thread).
    enum class Upkeep { Inline, Background };

    explicit Journal(const QString& path = default_path(), Upkeep upkeep = Upkeep::Inline);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    const QString& path() const { return path_; }

    // True once the entry is in the database. Missing time, user and program are filled
    // in. False: the entry is held, and written with the next one that gets through.
    bool record(JournalEntry entry);
    // Writes what is held, if the database takes it now.
    bool flush();
    int held() const { return static_cast<int>(held_.size()); }
    // Entries given up since the last "missed" entry was written.
    qint64 missed() const { return missed_; }
    Fault fault() const { return fault_; }
    QString fault_text() const { return fault_text_; }
    // Told once for each kind of fault, with a sentence for the user.
    // Told once for each kind of fault, with a sentence for the user; a fault met before
    // the handler was given is told at once.
    void set_fault_handler(std::function<void(const QString&)> handler);
    // Where a damaged file was put; empty when none was.
    const QString& set_aside_path() const { return set_aside_; }
    // How long a failed database is left alone before it is tried again.
    void set_retry_interval_ms(int ms) { retry_ms_ = ms; }
    void set_max_held(int n) { max_held_ = n; }

    // Newest first, at most limit entries, older than `before` when given (the last
    // entry of the previous page). Changes are included.
    struct Cursor {
        qint64 time_ms = 0;
        qint64 id = 0;
    };
    std::vector<JournalEntry> query(const JournalFilter& filter, int limit,
                                    std::optional<Cursor> before = std::nullopt);
    // Every matching entry, oldest first; returns how many, -1 when the database could not
    // be read.
    qint64 for_each(const JournalFilter& filter, const std::function<void(const JournalEntry&)>& f,
                    bool with_changes = true);
    // The same without the changes and without a QDateTime a row, for long exports.
    qint64 for_each_row(const JournalFilter& filter,
                        const std::function<void(const JournalRow&)>& f);
    // The matching entries as CSV (journal_text.h), header first, oldest first, handed to
    // sink in pieces of some 64 KiB; returns how many entries, -1
    // when the database could not be read. Read through SQLite itself, a million entries
    // in well under two seconds.
    qint64 export_csv(const JournalFilter& filter,
                      const std::function<void(const QByteArray&)>& sink);

    // A text found in more entries than this is searched along the time index (the first
    // page is near), a rarer one through the trigram index. For tests.
    void set_search_index_limit(int n) { search_index_limit_ = n; }
    // Brings the text index up to the journal on this thread (the background upkeep does
    // so by itself); false when it could not be written.
    bool index_now();
    // The last entry the index holds, none when there is no usable index.
    std::optional<qint64> indexed_up_to();

    // The alarm rules of one controller as the alarm window stores them (JSON text).
    std::optional<QString> rules(int address);
    bool set_rules(int address, const QString& json);
    std::vector<int> addresses_with_rules();

  private:
    class Upkeeper;
    struct Where {
        QString sql;
        QVariantList values;
        bool uses_index = false;
    };
    // None when SQLite itself cannot read the journal (the export then goes through Qt).
    std::optional<qint64> export_csv_direct(const Where& w, QByteArray& out,
                                            const std::function<void(const QByteArray&)>& sink);
    Where where_of(const JournalFilter& f);
    bool text_is_common(const QString& phrase);
    bool attach_index();
    template <typename Row>
    qint64 each(const JournalFilter& filter, Row&& row);

    bool ensure_open();
    bool open_database();
    void close_database();
    bool migrate();
    bool insert(const JournalEntry& e);
    bool insert_once(const JournalEntry& e);
    bool write_missed();
    void hold(JournalEntry e);
    bool failed(const QSqlQuery& q);
    bool failed_with(int sqlite_code, const QString& text);
    void report(Fault f, const QString& text);
    bool set_aside_damaged();
    QSqlDatabase db() const;

    QString path_;
    Upkeep upkeep_;
    QString connection_;
    bool open_ = false;
    Fault fault_ = Fault::None;
    QString fault_text_;
    std::vector<bool> reported_ = std::vector<bool>(7, false);
    std::function<void(const QString&)> on_fault_;
    QStringList untold_;
    QString set_aside_;
    bool setting_aside_ = false;
    QElapsedTimer since_failure_;
    int retry_ms_ = 5000;
    int max_held_ = 10000;
    std::deque<JournalEntry> held_;
    qint64 missed_ = 0;
    QDateTime missed_from_;
    QDateTime missed_to_;
    int search_index_limit_ = 10000;
    std::unique_ptr<Upkeeper> upkeeper_;
    int since_upkeep_ = 0;
    bool index_attached_ = false;
};
