#include "journal/journal.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>
#include <ctime>
#include <set>

#include "journal/journal_text.h"

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

namespace {

JournalEntry entry(JournalKind kind, int address, const QString& summary, qint64 ms = 0) {
    JournalEntry e;
    e.kind = kind;
    e.address = address;
    e.summary = summary;
    e.source = QStringLiteral("test");
    if (ms) e.time = QDateTime::fromMSecsSinceEpoch(ms);
    return e;
}

// Opens the file with SQLite itself, apart from the journal.
struct RawDb {
    explicit RawDb(const QString& path) {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        d.setDatabaseName(path);
        d.open();
    }
    ~RawDb() {
        QSqlDatabase::database(name).close();
        QSqlDatabase::removeDatabase(name);
    }
    QVariant scalar(const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(name));
        if (!q.exec(sql) || !q.next()) return {};
        return q.value(0);
    }
    bool exec(const QString& sql) { return QSqlQuery(QSqlDatabase::database(name)).exec(sql); }
    QString name = QStringLiteral("raw");
};

QByteArray exported(Journal& j, const JournalFilter& f, int* pieces = nullptr) {
    QByteArray out;
    j.export_csv(f, [&](const QByteArray& piece) {
        out += piece;
        if (pieces) ++*pieces;
    });
    return out;
}

// The export as every entry read back through Qt gives it.
QByteArray row_by_row(Journal& j, const JournalFilter& f) {
    QByteArray out = journal_text::csv_header().toUtf8();
    j.for_each_row(f, [&](const JournalRow& r) { journal_text::append_csv(out, r); });
    return out;
}

TEST(Journal, KeepsEveryKindOfEntryWithItsDetails) {
    QTemporaryDir dir;
    Journal j(dir.filePath(QStringLiteral("j.sqlite")));
    for (int k = 0; k < kJournalKindCount; ++k) {
        JournalEntry e = entry(static_cast<JournalKind>(k), k == 5 ? -1 : k,
                               kind_name(JournalKind(k)), 1'600'000'000'000 + k * 1000);
        e.ok = k % 2 == 0;
        e.user = QStringLiteral("technik");
        e.program = QStringLiteral("tx20ctl");
        if (k == 0)
            e.changes = {{3, QStringLiteral("PB"), QStringLiteral("1.5"), QStringLiteral("2")},
                         {3, QStringLiteral("INT"), QString(), QStringLiteral("120")}};
        ASSERT_TRUE(j.record(e)) << k;
    }
    const auto all = j.query({}, 100);
    ASSERT_EQ(all.size(), std::size_t(kJournalKindCount));
    for (const JournalEntry& e : all) {
        const int k = static_cast<int>(e.kind);
        SCOPED_TRACE(k);
        EXPECT_EQ(e.summary, kind_name(e.kind));
        EXPECT_EQ(e.address, k == 5 ? -1 : k);
        EXPECT_EQ(e.ok, k % 2 == 0);
        EXPECT_EQ(e.user, QStringLiteral("technik"));
        EXPECT_EQ(e.program, QStringLiteral("tx20ctl"));
        EXPECT_EQ(e.source, QStringLiteral("test"));
        EXPECT_EQ(e.time.toMSecsSinceEpoch(), 1'600'000'000'000 + k * 1000);
        EXPECT_EQ(e.changes.size(), k == 0 ? 2u : 0u);
    }
    EXPECT_EQ(all.back().changes[1].new_value, QStringLiteral("120"));
    EXPECT_TRUE(all.back().changes[1].old_value.isEmpty());
    // Missing user and program are those running it.
    ASSERT_TRUE(j.record(entry(JournalKind::Port, -1, QStringLiteral("x"))));
    EXPECT_EQ(j.query({}, 1).front().user, Journal::current_user());
    EXPECT_FALSE(j.query({}, 1).front().program.isEmpty());
}

TEST(Journal, FiltersByTimeAddressKindAndTextAndPagesNewestFirst) {
    QTemporaryDir dir;
    Journal j(dir.filePath(QStringLiteral("j.sqlite")));
    const qint64 t0 = 1'800'000'000'000;
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(j.record(entry(i % 2 ? JournalKind::Write : JournalKind::Link, i % 5 + 1,
                                   QStringLiteral("řádek %1%2").arg(i).arg(i == 7 ? " 50%_x" : ""),
                                   t0 + i * 60'000)));
    struct Case {
        const char* name;
        JournalFilter f;
        int expected;
    };
    JournalFilter range;
    range.since = QDateTime::fromMSecsSinceEpoch(t0 + 10 * 60'000);
    range.until = QDateTime::fromMSecsSinceEpoch(t0 + 19 * 60'000);
    JournalFilter address;
    address.address = 3;
    JournalFilter kind;
    kind.kind = JournalKind::Write;
    JournalFilter text;
    text.text = QStringLiteral("ŘÁDEK 1");  // letters beyond ASCII match their own case only
    JournalFilter text2;
    text2.text = QStringLiteral("řádek 1");
    JournalFilter upper;
    upper.text = QStringLiteral("řáDEK 1");  // ASCII letters match either case
    JournalFilter wild;
    wild.text = QStringLiteral("50%_");  // no wildcards
    JournalFilter nowhere;
    nowhere.text = QStringLiteral("dek 99");
    JournalFilter short_text;  // fewer characters than the index holds together
    short_text.text = QStringLiteral("9");
    JournalFilter short_end;  // two characters that end a summary
    short_end.text = QStringLiteral("_X");
    JournalFilter short_nowhere;
    short_nowhere.text = QStringLiteral("zz");
    JournalFilter short_case;  // the index folds it, LIKE does not
    short_case.text = QStringLiteral("Ř");
    JournalFilter quote;
    quote.text = QStringLiteral("\"řá");
    JournalFilter both = address;
    both.kind = JournalKind::Link;
    JournalFilter text_address = address;
    text_address.text = QStringLiteral("řádek 2");
    const Case cases[] = {{"all", {}, 50},
                          {"range", range, 10},
                          {"address", address, 10},
                          {"kind", kind, 25},
                          {"case", text, 0},
                          {"text", text2, 11},
                          {"ascii case", upper, 11},
                          {"wild", wild, 1},
                          {"nowhere", nowhere, 0},
                          {"short", short_text, 5},
                          {"short at the end", short_end, 1},
                          {"short nowhere", short_nowhere, 0},
                          {"short case", short_case, 0},
                          {"quote", quote, 0},
                          {"address+kind", both, 5},
                          {"text+address", text_address, 3}};
    // Without an index, through the text index (a rare text, and entries it has not
    // reached yet) and along the time index (a common one): the same entries.
    const auto check = [&](const char* how) {
        for (const Case& c : cases) {
            EXPECT_EQ(j.query(c.f, 1000).size(), std::size_t(c.expected)) << c.name << ", " << how;
            const QByteArray csv = exported(j, c.f);
            EXPECT_EQ(csv.count('\n'), c.expected + 1) << c.name << ", " << how;
            EXPECT_EQ(csv, row_by_row(j, c.f)) << c.name << ", " << how;
        }
    };
    EXPECT_FALSE(j.indexed_up_to());
    check("no index");
    ASSERT_TRUE(j.index_now());
    EXPECT_EQ(j.indexed_up_to(), 50);
    check("index");
    j.set_search_index_limit(0);
    check("common");
    j.set_search_index_limit(1'000'000);

    // Pages of 20 cover everything once, newest first.
    std::vector<qint64> seen;
    std::optional<Journal::Cursor> after;
    for (;;) {
        const auto page = j.query({}, 20, after);
        if (page.empty()) break;
        for (const auto& e : page) seen.push_back(e.time.toMSecsSinceEpoch());
        after = Journal::Cursor{page.back().time.toMSecsSinceEpoch(), page.back().id};
    }
    ASSERT_EQ(seen.size(), 50u);
    EXPECT_TRUE(std::is_sorted(seen.rbegin(), seen.rend()));
    qint64 n = j.for_each(address, [](const JournalEntry& e) { EXPECT_EQ(e.address, 3); });
    EXPECT_EQ(n, 10);

    // Entries after the last the index holds.
    for (int i = 50; i < 60; ++i)
        ASSERT_TRUE(j.record(
            entry(JournalKind::Port, 9, QStringLiteral("později %1").arg(i), t0 + i * 60'000)));
    JournalFilter later;
    later.text = QStringLiteral("později 5");
    EXPECT_EQ(j.query(later, 100).size(), 10u) << "beyond the index";
    ASSERT_TRUE(j.index_now());
    EXPECT_EQ(j.query(later, 100).size(), 10u);
}

// Each older schema as its program left it, with an entry.
TEST(Journal, MigratesAnOlderSchemaAndKeepsItsEntries) {
    const char* const v1 =
        "CREATE TABLE entries (id INTEGER PRIMARY KEY, time INTEGER NOT NULL, user TEXT NOT "
        "NULL, program TEXT NOT NULL, source TEXT NOT NULL, address INTEGER, kind TEXT NOT "
        "NULL, ok INTEGER NOT NULL, summary TEXT NOT NULL)";
    for (int version : {1, 2}) {
        SCOPED_TRACE(version);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("j.sqlite"));
        {
            RawDb raw(path);
            ASSERT_TRUE(raw.exec(QString::fromLatin1(v1)));
            ASSERT_TRUE(raw.exec(QStringLiteral("CREATE INDEX entries_time ON entries(time)")));
            if (version == 2) {
                ASSERT_TRUE(
                    raw.exec(QStringLiteral("ALTER TABLE entries ADD COLUMN changes TEXT")));
                ASSERT_TRUE(
                    raw.exec(QStringLiteral("CREATE TABLE alarm_rules (address INTEGER PRIMARY "
                                            "KEY, rules TEXT NOT NULL)")));
            }
            ASSERT_TRUE(raw.exec(QStringLiteral(
                "INSERT INTO entries (id, time, user, program, source, address, kind, ok, summary) "
                "VALUES (1, 1000, 'u', 'tx20', 's', 4, 'eeprom', 1, 'staré uložení')")));
            ASSERT_TRUE(raw.exec(QStringLiteral("PRAGMA user_version = %1").arg(version)));
        }
        Journal j(path);
        EXPECT_EQ(j.fault(), Journal::Fault::None);
        ASSERT_TRUE(j.set_rules(4, QStringLiteral("{}")));
        ASSERT_TRUE(j.record(entry(JournalKind::Write, 4, QStringLiteral("nové uložení"))));
        const auto all = j.query({}, 10);
        ASSERT_EQ(all.size(), 2u);
        EXPECT_EQ(all.back().summary, QStringLiteral("staré uložení"));
        EXPECT_EQ(all.back().kind, JournalKind::Eeprom);
        // The old entry is indexed as well as the new one.
        ASSERT_TRUE(j.index_now());
        EXPECT_EQ(j.indexed_up_to(), 2);
        JournalFilter f;
        f.text = QStringLiteral("uložení");
        EXPECT_EQ(j.query(f, 10).size(), 2u);
        RawDb raw(path);
        EXPECT_EQ(raw.scalar(QStringLiteral("PRAGMA user_version")).toInt(),
                  Journal::kSchemaVersion);
        EXPECT_EQ(raw.scalar(QStringLiteral("PRAGMA journal_mode")).toString(),
                  QStringLiteral("wal"));
    }
}

// The program's journal indexes by itself; an index left by a journal set aside or
// removed is of no use to the one begun in its place, and is built again.
TEST(Journal, TheTextIndexKeepsUpWithItsOwnJournalOnly) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("j.sqlite"));
    const auto wait_indexed = [](Journal& j, qint64 id) {
        for (int i = 0; i < 200 && j.indexed_up_to().value_or(0) < id; ++i) QThread::msleep(50);
        return j.indexed_up_to().value_or(0) == id;
    };
    {
        Journal j(path, Journal::Upkeep::Background);
        for (int i = 0; i < 150; ++i)
            ASSERT_TRUE(j.record(entry(JournalKind::Write, 1, QStringLiteral("první %1").arg(i),
                                       1'800'000'000'000 + i)));
        EXPECT_TRUE(wait_indexed(j, 150));
    }
    for (const char* part : {"", "-wal", "-shm"}) QFile::remove(path + QLatin1String(part));
    Journal j(path, Journal::Upkeep::Background);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(j.record(entry(JournalKind::Write, 1, QStringLiteral("druhý %1").arg(i),
                                   1'900'000'000'000 + i)));
    JournalFilter f;
    f.text = QStringLiteral("druhý");
    EXPECT_EQ(j.query(f, 100).size(), 3u);
    ASSERT_TRUE(j.index_now());
    EXPECT_EQ(j.indexed_up_to(), 3);
    EXPECT_EQ(j.query(f, 100).size(), 3u);
    f.text = QStringLiteral("první");
    EXPECT_TRUE(j.query(f, 100).empty());
}

TEST(Journal, SetsADamagedFileAsideAndStartsAnew) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("j.sqlite"));
    QByteArray garbage(8192, '\x5a');
    garbage.prepend("not a database at all");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    QStringList told;
    QString first_aside;
    {
        Journal j(path);
        j.set_fault_handler([&](const QString& t) { told << t; });
        ASSERT_TRUE(j.record(entry(JournalKind::Port, -1, QStringLiteral("po"))));
        first_aside = j.set_aside_path();
        EXPECT_EQ(j.query({}, 10).size(), 1u);
    }
    ASSERT_FALSE(first_aside.isEmpty());
    // Damaged again within the same second: a name of its own, nothing overwritten.
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("garbage");
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
    }
    Journal again(path);
    EXPECT_TRUE(again.record(entry(JournalKind::Port, -1, QStringLiteral("znovu"))));
    EXPECT_FALSE(again.set_aside_path().isEmpty());
    EXPECT_NE(again.set_aside_path(), first_aside);
    QFile aside(first_aside);
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), garbage);
}

TEST(Journal, RefusesToWriteIntoANewerSchema) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("j.sqlite"));
    {
        RawDb raw(path);
        raw.exec(QStringLiteral("PRAGMA user_version = 99"));
    }
    Journal j(path);
    EXPECT_FALSE(j.record(entry(JournalKind::Port, -1, QStringLiteral("x"))));
    EXPECT_EQ(j.fault(), Journal::Fault::Newer);
    EXPECT_EQ(j.held(), 1);
    RawDb raw(path);
    EXPECT_EQ(raw.scalar(QStringLiteral("PRAGMA user_version")).toInt(), 99);
}

#ifdef Q_OS_LINUX
// A small tmpfs of the test's own, to be filled or made read-only; needs the right to
// mount, else the test is skipped.
class SmallDisk {
  public:
    explicit SmallDisk(int kib) {
        path_ = dir_.path();
        const QByteArray options = "size=" + QByteArray::number(kib) + "k";
        mounted_ = ::mount("tmpfs", QFile::encodeName(path_).constData(), "tmpfs", 0,
                           options.constData()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    QString file(const QString& name) const { return QDir(path_).filePath(name); }
    bool remount(bool read_only) {
        return ::mount("tmpfs", QFile::encodeName(path_).constData(), "tmpfs",
                       MS_REMOUNT | (read_only ? MS_RDONLY : 0), nullptr) == 0;
    }
    // Fills the disk with a file of its own; false when it could not.
    bool fill() {
        QFile f(file(QStringLiteral("filler")));
        if (!f.open(QIODevice::WriteOnly)) return false;
        const QByteArray block(4096, 'x');
        while (f.write(block) == block.size() && f.flush()) {
        }
        return true;
    }
    void unfill() { QFile::remove(file(QStringLiteral("filler"))); }

  private:
    QTemporaryDir dir_;
    QString path_;
    bool mounted_ = false;
};

TEST(Journal, AFullDiskIsReportedOnceAndTheEntriesFollowLater) {
    SmallDisk disk(512);
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    QStringList told;
    Journal j(disk.file(QStringLiteral("j.sqlite")));
    j.set_fault_handler([&](const QString& t) { told << t; });
    j.set_retry_interval_ms(0);
    j.set_max_held(3);
    ASSERT_TRUE(j.record(entry(JournalKind::Port, -1, QStringLiteral("před"))));
    ASSERT_TRUE(disk.fill());
    // Big entries so that the first one already needs a new page.
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(j.record(entry(JournalKind::Write, 1, QString(3000, QLatin1Char('a' + i)))));
    EXPECT_EQ(j.fault(), Journal::Fault::Full);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.front().contains(QStringLiteral("plný"))) << told.front().toStdString();
    EXPECT_EQ(j.held(), 3);
    EXPECT_EQ(j.missed(), 2);
    disk.unfill();
    ASSERT_TRUE(j.record(entry(JournalKind::Port, -1, QStringLiteral("po"))));
    EXPECT_EQ(j.held(), 0);
    const auto all = j.query({}, 100);
    ASSERT_EQ(all.size(), 6u);  // before, missed, three held, after
    EXPECT_EQ(std::count_if(all.begin(), all.end(),
                            [](const JournalEntry& e) { return e.kind == JournalKind::Missed; }),
              1);
    EXPECT_EQ(told.size(), 1);
}

TEST(Journal, AReadOnlyDiskIsReportedOnceAndNothingElseStops) {
    SmallDisk disk(2048);
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    const QString path = disk.file(QStringLiteral("j.sqlite"));
    {
        Journal first(path);
        ASSERT_TRUE(first.record(entry(JournalKind::Port, -1, QStringLiteral("před"))));
    }
    ASSERT_TRUE(disk.remount(true));
    QStringList told;
    Journal j(path);
    j.set_fault_handler([&](const QString& t) { told << t; });
    j.set_retry_interval_ms(0);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(j.record(entry(JournalKind::Write, 1, QStringLiteral("w"))));
    EXPECT_EQ(told.size(), 1);
    EXPECT_NE(j.fault(), Journal::Fault::None);
    EXPECT_EQ(j.held(), 3);
    ASSERT_TRUE(disk.remount(false));
    EXPECT_TRUE(j.flush());
    EXPECT_EQ(j.query({}, 10).size(), 4u);
}
#endif

#ifdef Q_OS_UNIX
QStringList writer_args(const QString& path, int count, const QString& tag) {
    return {path, QString::number(count), tag};
}

TEST(Journal, TwoProcessesWritingAtOnceLoseNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("j.sqlite"));
    { Journal create(path); }
    QProcess a;
    QProcess b;
    a.start(QStringLiteral(TX20_JOURNAL_WRITER), writer_args(path, 300, QStringLiteral("a")));
    b.start(QStringLiteral(TX20_JOURNAL_WRITER), writer_args(path, 300, QStringLiteral("b")));
    Journal here(path);
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(here.record(entry(JournalKind::Link, 1, QStringLiteral("c %1").arg(i))));
    ASSERT_TRUE(a.waitForFinished(60000));
    ASSERT_TRUE(b.waitForFinished(60000));
    EXPECT_EQ(a.exitCode(), 0);
    EXPECT_EQ(b.exitCode(), 0);
    std::set<QString> summaries;
    here.for_each({}, [&](const JournalEntry& e) { summaries.insert(e.summary); });
    EXPECT_EQ(summaries.size(), 700u);
}

TEST(Journal, KilledWhileWritingKeepsEveryAcknowledgedEntry) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("j.sqlite"));
    QProcess w;
    w.start(QStringLiteral(TX20_JOURNAL_WRITER), writer_args(path, 100000, QStringLiteral("k")));
    ASSERT_TRUE(w.waitForStarted());
    QByteArray out;
    while (out.count('\n') < 200 && w.waitForReadyRead(20000)) out += w.readAllStandardOutput();
    w.kill();  // SIGKILL
    w.waitForFinished();
    out += w.readAllStandardOutput();
    const QList<QByteArray> lines = out.split('\n');
    ASSERT_GE(lines.size(), 200);
    RawDb raw(path);
    EXPECT_EQ(raw.scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
              QStringLiteral("ok"));
    Journal j(path);
    std::set<QString> stored;
    j.for_each({}, [&](const JournalEntry& e) { stored.insert(e.summary); });
    for (const QByteArray& l : lines)
        if (!l.isEmpty()) {
            EXPECT_TRUE(stored.count(QStringLiteral("k ") + QString::fromLatin1(l)))
                << l.constData();
        }
}
#endif

TEST(Journal, TheDefaultPlaceIsTheSameBeforeTheDataFolderExists) {
    QTemporaryDir dir;
    const QByteArray before = qgetenv("XDG_DATA_HOME");
    const QString data = dir.filePath(QStringLiteral("not-yet"));
    qputenv("XDG_DATA_HOME", data.toLocal8Bit());
    const QString fresh = Journal::default_path();
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    const QString later = Journal::default_path();
    qputenv("XDG_DATA_HOME", before);
    EXPECT_EQ(fresh, data + QStringLiteral("/TX-20/journal.sqlite"));
    EXPECT_EQ(later, fresh);
}

// The export writes times without QDateTime: they read as Qt writes them, in zones with
// and without summer time, with offsets of half and three quarter hours, either side of
// leap days, a change of summer time and the epoch.
TEST(JournalText, TimesAreWrittenAsQtWritesThemInEveryZone) {
    const QByteArray saved = qgetenv("TZ");
    const qint64 times[] = {0,
                            -1,
                            951'782'400'000 - 1,  // 2000-02-29 up to the day after
                            951'868'800'000,
                            1'950'000'000'123,
                            1'961'110'799'999,  // 2032-02-23 and a summer time change
                            1'963'526'400'500,
                            1'963'530'000'000,
                            1'981'846'799'000,
                            253'402'300'799'999};  // 9999-12-31 23:59:59.999 UTC
    for (const char* zone : {"UTC", "Europe/Prague", "America/St_Johns", "Asia/Kathmandu"}) {
        qputenv("TZ", zone);
        tzset();
        for (qint64 ms : times) {
            // Far from each other: the offset asked once an hour is asked again.
            const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms);
            const QString qt =
                QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, t.offsetFromUtc())
                    .toString(Qt::ISODateWithMs);
            EXPECT_EQ(journal_text::iso_time(t), qt) << zone << " " << ms;
        }
    }
    if (saved.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
    tzset();
}

TEST(Journal, ExportsEveryFieldAsItReadsBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("j.sqlite"));
    Journal j(path);
    const QString texts[] = {QStringLiteral("a,b"),        QStringLiteral("\"x\" y"),
                             QStringLiteral("dva\nřádky"), QStringLiteral("cr\r"),
                             QStringLiteral("žluťoučký"),  QString()};
    for (int i = 0; i < 2000; ++i) {
        JournalEntry e =
            entry(static_cast<JournalKind>(i % kJournalKindCount), i % 7 - 1,
                  texts[i % 6] + QString(60, QLatin1Char('-')), 1'800'000'000'000 + i * 997);
        e.user = texts[(i + 1) % 6] + QStringLiteral("u");
        e.program = texts[(i + 2) % 6] + QStringLiteral("p");
        e.source = texts[(i + 3) % 6];
        e.ok = i % 3 != 0;
        ASSERT_TRUE(j.record(e)) << i << j.fault_text().toStdString();  // null texts too
    }
    {
        // Rows no program of ours writes: a kind it does not know, another case, no address.
        RawDb raw(path);
        ASSERT_TRUE(raw.exec(QStringLiteral(
            "INSERT INTO entries (time, user, program, source, address, kind, ok, summary) "
            "VALUES (1900000000000, 'u', 'p', '', NULL, 'budoucí', 1, 's'), "
            "(1900000000001, 'u', 'p', '', -5, 'EEPROM', 0, '')")));
    }
    int pieces = 0;
    const QByteArray csv = exported(j, {}, &pieces);
    EXPECT_GT(pieces, 2);
    EXPECT_EQ(csv, row_by_row(j, {}));
    const QList<QByteArray> last = csv.right(200).split('\n');
    ASSERT_GE(last.size(), 3);
    EXPECT_TRUE(last[last.size() - 3].endsWith(",u,p,,,write,1,s")) << csv.right(200).data();
    EXPECT_TRUE(last[last.size() - 2].endsWith(",u,p,,,eeprom,0,")) << csv.right(200).data();
}

TEST(JournalText, CsvQuotesWhatNeedsItAndTimesCarryTheirOffset) {
    JournalEntry e =
        entry(JournalKind::Write, 3, QStringLiteral("PB 1,5 → 2; \"x\""), 1'800'000'000'123);
    e.id = 9;
    e.user = QStringLiteral("jan");
    e.program = QStringLiteral("tx20");
    const QString line = journal_text::csv_line(e);
    EXPECT_TRUE(line.endsWith(QStringLiteral(",3,write,1,\"PB 1,5 → 2; \"\"x\"\"\"\n")))
        << line.toStdString();
    const QString t = journal_text::iso_time(e.time);
    EXPECT_EQ(QDateTime::fromString(t, Qt::ISODateWithMs).toMSecsSinceEpoch(), 1'800'000'000'123);
    EXPECT_TRUE(journal_text::json_line(e).contains(QStringLiteral("\"address\":3")));

    struct Case {
        const char* text;
        bool end;
        bool valid;
        QDateTime expected;
    };
    const QDate d(2026, 12, 10);
    const Case cases[] = {
        {"2026-12-10", false, true, QDateTime(d, QTime(0, 0))},
        {"2026-12-10", true, true, QDateTime(d, QTime(23, 59, 59, 999))},
        {"2026-12-10T08:30", false, true, QDateTime(d, QTime(8, 30))},
        {"2026-12-10 08:30:05", false, true, QDateTime(d, QTime(8, 30, 5))},
        {"10.12.2026", false, false, {}},
        {"", false, false, {}},
    };
    for (const Case& c : cases) {
        const auto r = journal_text::parse_time(QString::fromLatin1(c.text), c.end);
        EXPECT_EQ(r.has_value(), c.valid) << c.text;
        if (r && c.valid) {
            EXPECT_EQ(*r, c.expected) << c.text;
        }
    }
}

}  // namespace
