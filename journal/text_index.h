#pragma once

#include <QString>
#include <atomic>
#include <optional>

class QSqlDatabase;

// The search index of the journal's summaries: every three characters of each, in an
// SQLite file of its own beside the journal (FTS5, trigram). It is derived from the
// journal and kept up with it by whoever runs the catch-up, never by the writer of an
// entry: an index inside the journal would merge its segments within the entry's own
// commit. An index that no longer matches its journal (a journal set aside and begun
// anew) is emptied and built again.
namespace text_index {

QString path_for(const QString& journal_path);
// The name the journal's connection gives the index when it attaches it.
inline constexpr const char* kSchema = "text_index";
// What a summary is indexed as; an index of another format is built anew.
// 2: two characters of padding after each summary, and the terms table.
inline constexpr qint64 kFormat = 2;

// A text shorter than three characters is found through the terms the index holds (each
// three characters of each summary, case folded, with two characters of padding after
// it so that every character has two behind it): those that begin with the text. The
// phrase of the index that finds the entries holding some of them; empty when there are
// none, none when there are more than `most` (a common text) or the index cannot be read.
// db is the journal's connection with the index attached as kSchema.
std::optional<QString> short_match(const QSqlDatabase& db, const QString& text, int most);

// Adds the entries the index lacks, at most batch a transaction, until it is up with the
// journal or stop is set. journal and index are connections of the calling thread.
bool catch_up(QSqlDatabase& journal, QSqlDatabase& index, int batch,
              const std::atomic<bool>* stop = nullptr);

}  // namespace text_index
