#include "journal/text_index.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <utility>
#include <vector>

namespace text_index {

namespace {

// The first entry's time tells one journal from another begun in its place.
qint64 first_time(QSqlDatabase& journal) {
    QSqlQuery q(journal);
    if (!q.exec(QStringLiteral("SELECT time FROM entries WHERE id = 1")) || !q.next()) return -1;
    return q.value(0).toLongLong();
}

bool state(QSqlDatabase& index, qint64* last_id, qint64* first) {
    QSqlQuery q(index);
    if (!q.exec(QStringLiteral("SELECT key, value FROM state"))) return false;
    while (q.next()) {
        if (q.value(0).toString() == QLatin1String("last_id")) *last_id = q.value(1).toLongLong();
        if (q.value(0).toString() == QLatin1String("first")) *first = q.value(1).toLongLong();
    }
    return true;
}

bool set_state(QSqlDatabase& index, qint64 last_id, qint64 first) {
    QSqlQuery q(index);
    q.prepare(
        QStringLiteral("INSERT OR REPLACE INTO state (key, value) VALUES ('last_id', ?), "
                       "('first', ?)"));
    q.addBindValue(last_id);
    q.addBindValue(first);
    return q.exec();
}

bool rollback(QSqlDatabase& index) {
    QSqlQuery(index).exec(QStringLiteral("ROLLBACK"));
    return false;
}

}  // namespace

QString path_for(const QString& journal_path) {
    const QFileInfo f(journal_path);
    const QString base = f.suffix().isEmpty() ? f.fileName() : f.completeBaseName();
    return f.dir().filePath(base + QStringLiteral("-text.sqlite"));
}

bool catch_up(QSqlDatabase& journal, QSqlDatabase& index, int batch,
              const std::atomic<bool>* stop) {
    QSqlQuery q(index);
    if (!q.exec(QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS entries_text USING "
                               "fts5(summary, content='', tokenize='trigram')")) ||
        !q.exec(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS state (key TEXT PRIMARY KEY, value INTEGER)")))
        return false;
    while (!stop || !*stop) {
        qint64 last_id = 0;
        qint64 first = -1;
        if (!state(index, &last_id, &first)) return false;
        const qint64 journal_first = first_time(journal);
        QSqlQuery j(journal);
        j.setForwardOnly(true);
        if (!j.exec(QStringLiteral("SELECT max(id) FROM entries")) || !j.next()) return false;
        const qint64 journal_last = j.value(0).toLongLong();
        j.finish();
        if (journal_first != first || last_id > journal_last) {
            // Another journal than the one indexed.
            if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) return false;
            if (!q.exec(QStringLiteral(
                    "INSERT INTO entries_text(entries_text) VALUES ('delete-all')")) ||
                !set_state(index, 0, journal_first) || !q.exec(QStringLiteral("COMMIT")))
                return rollback(index);
            continue;
        }
        j.prepare(QStringLiteral("SELECT id, summary FROM entries WHERE id > ? ORDER BY id "
                                 "LIMIT %1")
                      .arg(batch));
        j.addBindValue(last_id);
        if (!j.exec()) return false;
        std::vector<std::pair<qint64, QString>> rows;
        while (j.next()) rows.emplace_back(j.value(0).toLongLong(), j.value(1).toString());
        j.finish();
        if (rows.empty()) return true;
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) return false;
        // Another process may have indexed them meanwhile.
        qint64 now_last = 0;
        qint64 now_first = -1;
        if (!state(index, &now_last, &now_first)) return rollback(index);
        if (now_last != last_id) {
            rollback(index);
            continue;
        }
        QSqlQuery add(index);
        add.prepare(QStringLiteral("INSERT INTO entries_text (rowid, summary) VALUES (?, ?)"));
        for (const auto& [id, summary] : rows) {
            add.addBindValue(id);
            add.addBindValue(summary);
            if (!add.exec()) return rollback(index);
        }
        if (!set_state(index, rows.back().first, journal_first) ||
            !q.exec(QStringLiteral("COMMIT")))
            return rollback(index);
    }
    return true;
}

}  // namespace text_index
