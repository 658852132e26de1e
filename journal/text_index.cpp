#include "journal/text_index.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <cstdint>
#include <unordered_set>
#include <utility>
#include <vector>

namespace text_index {

namespace {

constexpr char32_t kPad = 0xE000;

// Three code points in one number, for the set of terms already stored.
std::uint64_t packed(const char32_t* p) {
    return (std::uint64_t{p[0]} << 42) | (std::uint64_t{p[1]} << 21) | p[2];
}

// The first entry's time tells one journal from another begun in its place.
qint64 first_time(QSqlDatabase& journal) {
    QSqlQuery q(journal);
    if (!q.exec(QStringLiteral("SELECT time FROM entries WHERE id = 1")) || !q.next()) return -1;
    return q.value(0).toLongLong();
}

struct State {
    qint64 last_id = 0;
    qint64 first = -1;
    qint64 format = 1;
};

bool state(QSqlDatabase& index, State* s) {
    QSqlQuery q(index);
    if (!q.exec(QStringLiteral("SELECT key, value FROM state"))) return false;
    while (q.next()) {
        const QString key = q.value(0).toString();
        if (key == QLatin1String("last_id")) s->last_id = q.value(1).toLongLong();
        if (key == QLatin1String("first")) s->first = q.value(1).toLongLong();
        if (key == QLatin1String("format")) s->format = q.value(1).toLongLong();
    }
    return true;
}

bool set_state(QSqlDatabase& index, qint64 last_id, qint64 first) {
    QSqlQuery q(index);
    q.prepare(
        QStringLiteral("INSERT OR REPLACE INTO state (key, value) VALUES ('last_id', ?), "
                       "('first', ?), ('format', ?)"));
    q.addBindValue(last_id);
    q.addBindValue(first);
    q.addBindValue(kFormat);
    return q.exec();
}

// Adds the terms of one summary that the set does not hold yet.
bool add_terms(QSqlQuery& add, const QString& summary, std::unordered_set<std::uint64_t>& known,
               std::vector<std::uint64_t>& added) {
    std::u32string text = summary.toCaseFolded().toStdU32String();
    text.append(2, kPad);
    for (std::size_t i = 0; i + 3 <= text.size(); ++i) {
        if (!known.insert(packed(text.data() + i)).second) continue;
        added.push_back(packed(text.data() + i));
        add.addBindValue(QString::fromUcs4(text.data() + i, 3));
        if (!add.exec()) return false;
    }
    return true;
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

QString padded(const QString& summary) { return summary + QString::fromUcs4(U"\uE000\uE000", 2); }

std::optional<QString> short_match(const QSqlDatabase& db, const QString& text, int most) {
    const QString from = text.toCaseFolded();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT term FROM %1.terms WHERE term >= ? AND term <= ? LIMIT %2")
                  .arg(QLatin1String(kSchema))
                  .arg(most + 1));
    q.addBindValue(from);
    q.addBindValue(from + QString::fromUcs4(U"\U0010FFFF", 1));
    if (!q.exec()) return std::nullopt;
    QStringList phrases;
    while (q.next()) {
        QString term = q.value(0).toString();
        term.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        phrases << QLatin1Char('"') + term + QLatin1Char('"');
    }
    if (phrases.size() > most) return std::nullopt;
    return phrases.join(QStringLiteral(" OR "));
}

bool catch_up(QSqlDatabase& journal, QSqlDatabase& index, int batch,
              const std::atomic<bool>* stop) {
    QSqlQuery q(index);
    if (!q.exec(QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS entries_text USING "
                               "fts5(summary, content='', tokenize='trigram')")) ||
        !q.exec(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS state (key TEXT PRIMARY KEY, value INTEGER)")) ||
        !q.exec(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS terms (term TEXT PRIMARY KEY) WITHOUT ROWID")))
        return false;
    std::unordered_set<std::uint64_t> known;
    {
        QSqlQuery t(index);
        t.setForwardOnly(true);
        if (!t.exec(QStringLiteral("SELECT term FROM terms"))) return false;
        while (t.next()) {
            const std::u32string term = t.value(0).toString().toStdU32String();
            if (term.size() == 3) known.insert(packed(term.data()));
        }
    }
    while (!stop || !*stop) {
        State s;
        if (!state(index, &s)) return false;
        const qint64 last_id = s.last_id;
        const qint64 journal_first = first_time(journal);
        QSqlQuery j(journal);
        j.setForwardOnly(true);
        if (!j.exec(QStringLiteral("SELECT max(id) FROM entries")) || !j.next()) return false;
        const qint64 journal_last = j.value(0).toLongLong();
        j.finish();
        if (journal_first != s.first || last_id > journal_last || s.format != kFormat) {
            // Another journal than the one indexed, or an index of another format.
            if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) return false;
            if (!q.exec(QStringLiteral(
                    "INSERT INTO entries_text(entries_text) VALUES ('delete-all')")) ||
                !q.exec(QStringLiteral("DELETE FROM terms")) ||
                !set_state(index, 0, journal_first) || !q.exec(QStringLiteral("COMMIT")))
                return rollback(index);
            known.clear();
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
        State now;
        if (!state(index, &now)) return rollback(index);
        if (now.last_id != last_id) {
            rollback(index);
            continue;
        }
        std::vector<std::uint64_t> added;
        QSqlQuery add(index);
        add.prepare(QStringLiteral("INSERT INTO entries_text (rowid, summary) VALUES (?, ?)"));
        QSqlQuery add_term(index);
        add_term.prepare(QStringLiteral("INSERT OR IGNORE INTO terms (term) VALUES (?)"));
        bool ok = true;
        for (const auto& [id, summary] : rows) {
            add.addBindValue(id);
            add.addBindValue(padded(summary));
            if (!add.exec() || !add_terms(add_term, summary, known, added)) {
                ok = false;
                break;
            }
        }
        if (!ok || !set_state(index, rows.back().first, journal_first) ||
            !q.exec(QStringLiteral("COMMIT"))) {
            for (std::uint64_t t : added) known.erase(t);
            return rollback(index);
        }
    }
    return true;
}

}  // namespace text_index
