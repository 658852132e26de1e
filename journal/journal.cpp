#include "journal/journal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "journal/text_index.h"

namespace {

// SQLite's primary result codes, as the driver reports them.
constexpr int kBusy = 5;
constexpr int kLocked = 6;
constexpr int kReadOnly = 8;
constexpr int kIoError = 10;
constexpr int kCorrupt = 11;
constexpr int kFull = 13;
constexpr int kCantOpen = 14;
constexpr int kNotADatabase = 26;

// Long enough for tx20ctl's single-entry transactions, short enough for the window thread.
constexpr int kBusyTimeoutMs = 2000;

const char* const kColumns = "id, time, user, program, source, address, kind, ok, summary, changes";

// Each step brings the schema from the version before it to its own.
const char* const kMigrations[] = {
    // 1: the entries and what a query filters on.
    "CREATE TABLE entries ("
    " id INTEGER PRIMARY KEY,"
    " time INTEGER NOT NULL,"
    " user TEXT NOT NULL,"
    " program TEXT NOT NULL,"
    " source TEXT NOT NULL,"
    " address INTEGER,"
    " kind TEXT NOT NULL,"
    " ok INTEGER NOT NULL,"
    " summary TEXT NOT NULL);"
    "CREATE INDEX entries_time ON entries(time);"
    "CREATE INDEX entries_address ON entries(address, time);"
    "CREATE INDEX entries_kind ON entries(kind, time);",
    // 2: the changed fields of a write, and the alarm rules of each controller.
    "ALTER TABLE entries ADD COLUMN changes TEXT;"
    "CREATE TABLE alarm_rules (address INTEGER PRIMARY KEY, rules TEXT NOT NULL);",
};
static_assert(std::size(kMigrations) == Journal::kSchemaVersion);

// Entries between the background upkeep's rounds; the writer itself never checkpoints.
constexpr int kUpkeepEvery = 100;
// And when the journal is quiet (entries of other processes).
constexpr int kUpkeepIdleMs = 5000;
// Entries between checkpoints, and quiet rounds before one. After a whole checkpoint the
// next commit starts the WAL afresh and syncs its header: rare, it stays out of the P99.
constexpr int kCheckpointEvery = 1000;
constexpr int kCheckpointQuietRounds = 6;
// Entries indexed a transaction.
constexpr int kIndexBatch = 2000;
// Terms beginning with a text of one or two characters that are still looked up in the
// index; a text in more is common, and met soon along the time index.
constexpr int kMostShortTerms = 200;

int sqlite_code(const QSqlError& e) { return e.nativeErrorCode().toInt() & 0xFF; }

QString like_pattern(const QString& text) {
    QString p = text;
    p.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    p.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    p.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return QLatin1Char('%') + p + QLatin1Char('%');
}

// A phrase of the trigram index: the text as it is, quotes doubled.
QString match_phrase(const QString& text) {
    QString p = text;
    p.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + p + QLatin1Char('"');
}

JournalKind kind_of(const QString& name) {
    return kind_from_name(name).value_or(JournalKind::Write);
}

JournalEntry entry_of(const QSqlQuery& q, bool with_changes = true) {
    JournalEntry e;
    e.id = q.value(0).toLongLong();
    // UTC: a local time would ask the time zone for every row read.
    e.time = QDateTime::fromMSecsSinceEpoch(q.value(1).toLongLong(), Qt::UTC);
    e.user = q.value(2).toString();
    e.program = q.value(3).toString();
    e.source = q.value(4).toString();
    e.address = q.value(5).isNull() ? -1 : q.value(5).toInt();
    e.kind = kind_of(q.value(6).toString());
    e.ok = q.value(7).toInt() != 0;
    e.summary = q.value(8).toString();
    if (with_changes) e.changes = changes_from_json(q.value(9).toString());
    return e;
}

void row_of(const QSqlQuery& q, JournalRow& r) {
    r.id = q.value(0).toLongLong();
    r.time_ms = q.value(1).toLongLong();
    r.user = q.value(2).toString();
    r.program = q.value(3).toString();
    r.source = q.value(4).toString();
    const QVariant address = q.value(5);
    r.address = address.isNull() ? -1 : address.toInt();
    r.kind = kind_of(q.value(6).toString());
    r.ok = q.value(7).toInt() != 0;
    r.summary = q.value(8).toString();
}

bool exec_all(QSqlQuery& q, const QString& script) {
    for (const QString& statement : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (statement.trimmed().isEmpty()) continue;
        if (!q.exec(statement)) return false;
    }
    return true;
}

}  // namespace

// Runs the WAL checkpoints and keeps the text index up, on connections and a thread of its
// own: when asked, or after a quiet while. A passive checkpoint never waits for the writer
// nor holds it up, and the index is another file.
class Journal::Upkeeper {
  public:
    explicit Upkeeper(const QString& path) : path_(path), thread_([this] { run(); }) {}
    ~Upkeeper() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    void request(bool checkpoint) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            asked_ = true;
            checkpoint_ = checkpoint_ || checkpoint;
        }
        wake_.notify_one();
    }

  private:
    void run() {
        const QString id = QString::number(reinterpret_cast<quintptr>(this), 16);
        const QString journal_name = QStringLiteral("tx20-journal-upkeep-") + id;
        const QString index_name = QStringLiteral("tx20-journal-index-") + id;
        {
            QSqlDatabase journal =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), journal_name);
            journal.setDatabaseName(path_);
            journal.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
            QSqlDatabase index = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), index_name);
            index.setDatabaseName(text_index::path_for(path_));
            index.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
            std::unique_lock<std::mutex> lock(mutex_);
            bool first = true;
            int quiet = 0;
            while (!stop_) {
                if (!first) {
                    const bool asked =
                        wake_.wait_for(lock, std::chrono::milliseconds(kUpkeepIdleMs),
                                       [this] { return stop_ || asked_; });
                    quiet = asked ? 0 : quiet + 1;
                }
                if (stop_) break;
                const bool checkpoint = first || checkpoint_ || quiet == kCheckpointQuietRounds;
                first = false;
                asked_ = false;
                checkpoint_ = false;
                lock.unlock();
                // A failure is the writer's to report; the next round tries again.
                if (journal.isOpen() || journal.open()) {
                    if (checkpoint)
                        QSqlQuery(journal).exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
                    if (!index.isOpen() && index.open()) {
                        QSqlQuery(index).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
                        QSqlQuery(index).exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
                    }
                    if (index.isOpen()) text_index::catch_up(journal, index, kIndexBatch, &stop_);
                }
                lock.lock();
            }
            index.close();
            journal.close();
        }
        QSqlDatabase::removeDatabase(index_name);
        QSqlDatabase::removeDatabase(journal_name);
    }

    QString path_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool asked_ = false;
    bool checkpoint_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;  // last: starts once the rest is there
};

QString Journal::default_path() {
    // The program and tx20ctl have different application names; both use the program's
    // folder. Taken apart as text: cdUp() would stay put while the data folder does not
    // exist yet, and the first run would write a journal that later runs never find.
    const QString own = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(QDir::cleanPath(own + QStringLiteral("/..")))
        .filePath(QStringLiteral("TX-20/journal.sqlite"));
}

QString Journal::current_user() {
    for (const char* name : {"USER", "USERNAME", "LOGNAME"}) {
        const QString v = qEnvironmentVariable(name);
        if (!v.isEmpty()) return v;
    }
    return QDir::home().dirName();
}

Journal::Journal(const QString& path, Upkeep upkeep)
    : path_(path),
      upkeep_(upkeep),
      connection_(QStringLiteral("tx20-journal-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)) {
    ensure_open();
}

Journal::~Journal() {
    flush();
    close_database();
}

QSqlDatabase Journal::db() const { return QSqlDatabase::database(connection_, false); }

void Journal::close_database() {
    upkeeper_.reset();
    index_attached_ = false;
    if (!QSqlDatabase::contains(connection_)) return;
    {
        QSqlDatabase d = db();
        d.close();
    }
    QSqlDatabase::removeDatabase(connection_);
    open_ = false;
}

bool Journal::ensure_open() {
    if (open_) return true;
    if (fault_ != Fault::None && since_failure_.isValid() && since_failure_.elapsed() < retry_ms_)
        return false;
    return open_database();
}

bool Journal::open_database() {
    close_database();
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()))
        return failed_with(kCantOpen, QStringLiteral("folder cannot be created"));
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        d.setDatabaseName(path_);
        d.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (!d.open()) return failed_with(sqlite_code(d.lastError()), d.lastError().text());
    }
    QSqlQuery q(db());
    // Reading the schema tells a damaged or foreign file at once.
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) return failed(q);
    const int version = q.value(0).toInt();
    if (version > kSchemaVersion) {
        close_database();
        report(Fault::Newer,
               QStringLiteral("Deník servisu %1 je z novější verze programu a nelze do něj "
                              "zapisovat.")
                   .arg(QDir::toNativeSeparators(path_)));
        since_failure_.start();
        return false;
    }
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
        !q.exec(QStringLiteral("PRAGMA synchronous=NORMAL")) ||
        (upkeep_ == Upkeep::Background && !q.exec(QStringLiteral("PRAGMA wal_autocheckpoint=0"))))
        return failed(q);
    if (!migrate()) return false;
    open_ = true;
    if (upkeep_ == Upkeep::Background) upkeeper_ = std::make_unique<Upkeeper>(path_);
    since_upkeep_ = 0;
    return true;
}

bool Journal::migrate() {
    QSqlQuery q(db());
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) return failed(q);
    // Another process may have migrated while this one waited for the lock.
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        const bool r = failed(q);
        QSqlQuery(db()).exec(QStringLiteral("ROLLBACK"));
        return r;
    }
    const int version = q.value(0).toInt();
    for (int v = version; v < kSchemaVersion; ++v) {
        if (!exec_all(q, QString::fromLatin1(kMigrations[v]))) {
            const bool r = failed(q);
            QSqlQuery(db()).exec(QStringLiteral("ROLLBACK"));
            return r;
        }
    }
    if (version < kSchemaVersion &&
        !q.exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion))) {
        const bool r = failed(q);
        QSqlQuery(db()).exec(QStringLiteral("ROLLBACK"));
        return r;
    }
    if (!q.exec(QStringLiteral("COMMIT"))) {
        const bool r = failed(q);
        QSqlQuery(db()).exec(QStringLiteral("ROLLBACK"));
        return r;
    }
    return true;
}

bool Journal::failed(const QSqlQuery& q) {
    return failed_with(sqlite_code(q.lastError()), q.lastError().text());
}

bool Journal::failed_with(int code, const QString& text) {
    const QString where = QDir::toNativeSeparators(path_);
    const QString held = QStringLiteral(
        " Záznamy zůstávají v paměti a zapíší se, jakmile to půjde; program pracuje dál.");
    since_failure_.start();
    switch (code) {
        case kCorrupt:
        case kNotADatabase:
            if (!setting_aside_ && set_aside_damaged()) return open_ || open_database();
            report(Fault::Damaged,
                   QStringLiteral("Deník servisu %1 je poškozen a nelze jej odložit.").arg(where) +
                       held);
            break;
        case kReadOnly:
            report(Fault::ReadOnly,
                   QStringLiteral("Deník servisu %1 je jen pro čtení.").arg(where) + held);
            break;
        case kFull:
            report(Fault::Full,
                   QStringLiteral("Deník servisu %1: disk je plný.").arg(where) + held);
            break;
        case kBusy:
        case kLocked:
            report(Fault::Locked,
                   QStringLiteral("Deník servisu %1 je zamčen jiným programem.").arg(where) + held);
            break;
        case kIoError:
        case kCantOpen:
        default:
            report(Fault::Other,
                   QStringLiteral("Deník servisu %1 nelze zapsat (%2).").arg(where, text) + held);
            break;
    }
    close_database();
    return false;
}

void Journal::report(Fault f, const QString& text) {
    fault_ = f;
    fault_text_ = text;
    auto reported = reported_.begin() + static_cast<int>(f);
    if (*reported) return;
    *reported = true;
    if (on_fault_)
        on_fault_(text);
    else
        untold_ << text;
}

void Journal::set_fault_handler(std::function<void(const QString&)> handler) {
    on_fault_ = std::move(handler);
    if (!on_fault_) return;
    const QStringList untold = std::exchange(untold_, {});
    for (const QString& t : untold) on_fault_(t);
}

bool Journal::set_aside_damaged() {
    close_database();
    const QDateTime now = QDateTime::currentDateTime();
    QString target;
    for (int n = 0;; ++n) {
        target = path_ + QStringLiteral(".damaged-") +
                 now.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                 (n ? QStringLiteral("-%1").arg(n) : QString());
        if (!QFile::exists(target)) break;
    }
    if (!QFile::rename(path_, target)) return false;
    // The write-ahead log belongs to the damaged file; the index is rebuilt.
    for (const char* part : {"-wal", "-shm"}) {
        const QString from = path_ + QLatin1String(part);
        if (QFile::exists(from)) QFile::rename(from, target + QLatin1String(part));
    }
    set_aside_ = target;
    report(Fault::Damaged,
           QStringLiteral("Deník servisu byl poškozen; soubor je odložen jako %1 a začíná nový.")
               .arg(QDir::toNativeSeparators(target)));
    setting_aside_ = true;
    const bool ok = open_database();
    setting_aside_ = false;
    if (ok) {
        fault_ = Fault::None;
        fault_text_.clear();
    }
    return ok;
}

void Journal::hold(JournalEntry e) {
    held_.push_back(std::move(e));
    while (static_cast<int>(held_.size()) > max_held_) {
        if (missed_ == 0) missed_from_ = held_.front().time;
        missed_to_ = held_.front().time;
        ++missed_;
        held_.pop_front();
    }
}

bool Journal::insert(const JournalEntry& e) {
    if (insert_once(e)) return true;
    // A damaged file set aside leaves a fresh journal open: the entry goes there.
    return open_ && insert_once(e);
}

bool Journal::insert_once(const JournalEntry& e) {
    QSqlQuery q(db());
    q.prepare(QStringLiteral(
        "INSERT INTO entries (time, user, program, source, address, kind, ok, summary, changes) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    // A null text would go in as NULL, which the columns refuse: the entry would be held
    // for ever, and every one after it behind it.
    const auto text = [](const QString& s) { return s.isNull() ? QStringLiteral("") : s; };
    q.addBindValue(e.time.toMSecsSinceEpoch());
    q.addBindValue(text(e.user));
    q.addBindValue(text(e.program));
    q.addBindValue(text(e.source));
    q.addBindValue(e.address >= 0 ? QVariant(e.address) : QVariant(QMetaType(QMetaType::Int)));
    q.addBindValue(kind_name(e.kind));
    q.addBindValue(e.ok ? 1 : 0);
    q.addBindValue(text(e.summary));
    const QString changes = changes_json(e.changes);
    q.addBindValue(changes.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : changes);
    // In autocommit the one statement is the entry's transaction.
    if (q.exec()) {
        if (++since_upkeep_ % kUpkeepEvery == 0 && upkeeper_) {
            upkeeper_->request(since_upkeep_ >= kCheckpointEvery);
            if (since_upkeep_ >= kCheckpointEvery) since_upkeep_ = 0;
        }
        return true;
    }
    failed(q);
    return false;
}

bool Journal::write_missed() {
    if (missed_ == 0) return true;
    JournalEntry m;
    m.time = QDateTime::currentDateTime();
    m.user = current_user();
    m.program = QCoreApplication::applicationName();
    m.source = QStringLiteral("deník");
    m.kind = JournalKind::Missed;
    m.ok = false;
    m.summary = QStringLiteral("%1 záznamů se nepodařilo uložit (%2 – %3)")
                    .arg(missed_)
                    .arg(missed_from_.toString(Qt::ISODate), missed_to_.toString(Qt::ISODate));
    if (!insert(m)) return false;
    missed_ = 0;
    return true;
}

bool Journal::flush() {
    if (held_.empty() && missed_ == 0) return true;
    if (!ensure_open()) return false;
    if (!write_missed()) return false;
    while (!held_.empty()) {
        if (!insert(held_.front())) return false;
        held_.pop_front();
    }
    fault_ = Fault::None;
    fault_text_.clear();
    return true;
}

bool Journal::record(JournalEntry e) {
    if (!e.time.isValid()) e.time = QDateTime::currentDateTime();
    if (e.user.isEmpty()) e.user = current_user();
    if (e.program.isEmpty()) e.program = QCoreApplication::applicationName();
    if (!ensure_open() || !flush() || !insert(e)) {
        hold(std::move(e));
        return false;
    }
    fault_ = Fault::None;
    fault_text_.clear();
    return true;
}

bool Journal::attach_index() {
    if (index_attached_) return true;
    const QString index = text_index::path_for(path_);
    if (!QFileInfo::exists(index)) return false;
    QSqlQuery q(db());
    q.prepare(QStringLiteral("ATTACH DATABASE ? AS %1").arg(QLatin1String(text_index::kSchema)));
    q.addBindValue(index);
    index_attached_ = q.exec();
    return index_attached_;
}

bool Journal::index_now() {
    if (!ensure_open()) return false;
    const QString name = connection_ + QStringLiteral("-index");
    bool ok = false;
    {
        QSqlDatabase index = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        index.setDatabaseName(text_index::path_for(path_));
        index.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (index.open()) {
            QSqlQuery(index).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
            QSqlDatabase journal = db();
            ok = text_index::catch_up(journal, index, kIndexBatch);
        }
        index.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

std::optional<qint64> Journal::indexed_up_to() {
    if (!ensure_open() || !attach_index()) return std::nullopt;
    QSqlQuery q(db());
    // An index of another journal than this one is of no use.
    if (!q.exec(QStringLiteral("SELECT (SELECT value FROM %1.state WHERE key = 'last_id'), "
                               "(SELECT value FROM %1.state WHERE key = 'first') = "
                               "coalesce((SELECT time FROM entries WHERE id = 1), -1) AND "
                               "(SELECT value FROM %1.state WHERE key = 'format') = %2")
                    .arg(QLatin1String(text_index::kSchema))
                    .arg(text_index::kFormat)) ||
        !q.next() || q.value(0).isNull() || q.value(1).toInt() != 1)
        return std::nullopt;
    return q.value(0).toLongLong();
}

bool Journal::text_is_common(const QString& phrase) {
    QSqlQuery q(db());
    q.prepare(QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM %1.entries_text WHERE "
                             "entries_text MATCH ? LIMIT %2)")
                  .arg(QLatin1String(text_index::kSchema))
                  .arg(search_index_limit_));
    q.addBindValue(phrase);
    return !q.exec() || !q.next() || q.value(0).toInt() >= search_index_limit_;
}

Journal::Where Journal::where_of(const JournalFilter& f) {
    QStringList parts;
    Where w;
    if (f.since) {
        parts << QStringLiteral("time >= ?");
        w.values << f.since->toMSecsSinceEpoch();
    }
    if (f.until) {
        parts << QStringLiteral("time <= ?");
        w.values << f.until->toMSecsSinceEpoch();
    }
    if (f.address) {
        parts << QStringLiteral("address = ?");
        w.values << *f.address;
    }
    if (f.kind) {
        parts << QStringLiteral("kind = ?");
        w.values << kind_name(*f.kind);
    }
    if (!f.text.isEmpty()) {
        // The index holds three characters at a time and folds every letter's case: it
        // finds the candidates, LIKE keeps its own rule. A text found often is met soon
        // along the time index, and reading its every match would cost more.
        // A shorter text, through the terms of the index that begin with it.
        const std::optional<qint64> indexed = indexed_up_to();
        const std::optional<QString> phrase =
            !indexed                     ? std::nullopt
            : f.text.toUcs4().size() < 3 ? text_index::short_match(db(), f.text, kMostShortTerms)
                                         : std::optional<QString>(match_phrase(f.text));
        if (phrase && phrase->isEmpty()) {
            // In no entry the index holds. As a list, as below: a bare id > ? could walk
            // the whole time index in the order the window wants.
            parts << QStringLiteral("id IN (SELECT id FROM entries WHERE id > ?)");
            w.values << *indexed;
        } else if (phrase && !text_is_common(*phrase)) {
            // What the index has not reached yet is read as it is.
            parts << QStringLiteral(
                         "id IN (SELECT rowid FROM %1.entries_text WHERE entries_text MATCH ? "
                         "UNION ALL SELECT id FROM entries WHERE id > ?)")
                         .arg(QLatin1String(text_index::kSchema));
            w.values << *phrase << *indexed;
            w.uses_index = true;
        }
        parts << QStringLiteral("summary LIKE ? ESCAPE '\\'");
        w.values << like_pattern(f.text);
    }
    w.sql = parts.join(QStringLiteral(" AND "));
    return w;
}

std::vector<JournalEntry> Journal::query(const JournalFilter& filter, int limit,
                                         std::optional<Cursor> before) {
    std::vector<JournalEntry> out;
    if (!ensure_open()) return out;
    Where w = where_of(filter);
    if (before) {
        w.sql +=
            QLatin1String(w.sql.isEmpty() ? "" : " AND ") + QStringLiteral("(time, id) < (?, ?)");
        w.values << before->time_ms << before->id;
    }
    QSqlQuery q(db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM entries %2 ORDER BY time DESC, id DESC LIMIT %3")
                  .arg(QLatin1String(kColumns),
                       w.sql.isEmpty() ? QString() : QStringLiteral("WHERE ") + w.sql)
                  .arg(limit));
    for (const QVariant& v : w.values) q.addBindValue(v);
    if (!q.exec()) return out;
    while (q.next()) out.push_back(entry_of(q));
    return out;
}

template <typename Row>
qint64 Journal::each(const JournalFilter& filter, Row&& row) {
    if (!ensure_open()) return -1;
    const Where w = where_of(filter);
    QSqlQuery q(db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM entries %2 ORDER BY time, id")
                  .arg(QLatin1String(kColumns),
                       w.sql.isEmpty() ? QString() : QStringLiteral("WHERE ") + w.sql));
    for (const QVariant& v : w.values) q.addBindValue(v);
    if (!q.exec()) return -1;
    qint64 n = 0;
    while (q.next()) {
        row(q);
        ++n;
    }
    return n;
}

qint64 Journal::for_each(const JournalFilter& filter,
                         const std::function<void(const JournalEntry&)>& f, bool with_changes) {
    return each(filter, [&](const QSqlQuery& q) { f(entry_of(q, with_changes)); });
}

qint64 Journal::for_each_row(const JournalFilter& filter,
                             const std::function<void(const JournalRow&)>& f) {
    JournalRow r;
    return each(filter, [&](const QSqlQuery& q) {
        row_of(q, r);
        f(r);
    });
}

std::optional<QString> Journal::rules(int address) {
    if (!ensure_open()) return std::nullopt;
    QSqlQuery q(db());
    q.prepare(QStringLiteral("SELECT rules FROM alarm_rules WHERE address = ?"));
    q.addBindValue(address);
    if (!q.exec() || !q.next()) return std::nullopt;
    return q.value(0).toString();
}

bool Journal::set_rules(int address, const QString& json) {
    if (!ensure_open()) return false;
    QSqlQuery q(db());
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO alarm_rules (address, rules) VALUES (?, ?)"));
    q.addBindValue(address);
    q.addBindValue(json);
    if (q.exec()) return true;
    failed(q);
    return false;
}

std::vector<int> Journal::addresses_with_rules() {
    std::vector<int> out;
    if (!ensure_open()) return out;
    QSqlQuery q(db());
    if (!q.exec(QStringLiteral("SELECT address FROM alarm_rules ORDER BY address"))) return out;
    while (q.next()) out.push_back(q.value(0).toInt());
    return out;
}
