// The CSV export, read through SQLite's own interface: through Qt SQL every column of a
// million rows becomes a QVariant and a UTF-16 string on its way back to UTF-8, which
// costs more than all the rest. The export opens a read-only connection of its own: Qt's
// driver may bring a SQLite of its own (on Windows), whose handle is not ours to use. On
// Unix the driver uses the system's library, the one linked here, so the two connections
// share its locks.
#include <sqlite3.h>

#include <QFileInfo>
#include <array>

#include "journal/journal.h"
#include "journal/journal_text.h"
#include "journal/text_index.h"

namespace {

constexpr int kBusyTimeoutMs = 2000;
constexpr int kPiece = 1 << 16;

struct Connection {
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    ~Connection() {
        sqlite3_finalize(statement);
        sqlite3_close(db);
    }
};

const char* text_of(sqlite3_stmt* s, int column, int& size) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    size = t ? sqlite3_column_bytes(s, column) : 0;
    return t ? t : "";
}

void put_text(QByteArray& out, sqlite3_stmt* s, int column) {
    int size = 0;
    const char* t = text_of(s, column, size);
    journal_text::append_csv_field(out, t, size);
}

// resize, not clear: the buffer keeps its room.
void hand_on(QByteArray& out, const std::function<void(const QByteArray&)>& sink) {
    sink(out);
    out.resize(0);
}

bool bind(sqlite3_stmt* s, int i, const QVariant& v) {
    if (v.typeId() == QMetaType::QString) {
        const QByteArray utf8 = v.toString().toUtf8();
        return sqlite3_bind_text(s, i, utf8.constData(), static_cast<int>(utf8.size()),
                                 SQLITE_TRANSIENT) == SQLITE_OK;
    }
    return sqlite3_bind_int64(s, i, v.toLongLong()) == SQLITE_OK;
}

}  // namespace

qint64 Journal::export_csv(const JournalFilter& filter,
                           const std::function<void(const QByteArray&)>& sink) {
    QByteArray out;
    out.reserve(2 * kPiece);
    out += journal_text::csv_header().toUtf8();
    if (!ensure_open()) return -1;
    const Where w = where_of(filter);
    if (const std::optional<qint64> n = export_csv_direct(w, out, sink)) {
        sink(out);
        return *n;
    }
    // SQLite itself could not read it where Qt's driver can (its own library, another
    // build): the slower way gives the same bytes.
    out.resize(0);
    out += journal_text::csv_header().toUtf8();
    const qint64 m = for_each_row(filter, [&](const JournalRow& r) {
        journal_text::append_csv(out, r);
        if (out.size() >= kPiece) hand_on(out, sink);
    });
    sink(out);
    return m;
}

std::optional<qint64> Journal::export_csv_direct(
    const Where& w, QByteArray& out, const std::function<void(const QByteArray&)>& sink) {
    Connection c;
    if (sqlite3_open_v2(QFileInfo(path_).absoluteFilePath().toUtf8().constData(), &c.db,
                        SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return std::nullopt;
    sqlite3_busy_timeout(c.db, kBusyTimeoutMs);
    if (w.uses_index) {
        sqlite3_stmt* attach = nullptr;
        const QByteArray sql =
            QByteArray("ATTACH DATABASE ? AS ") + QByteArray(text_index::kSchema);
        const QByteArray index = text_index::path_for(path_).toUtf8();
        const bool attached =
            sqlite3_prepare_v2(c.db, sql.constData(), -1, &attach, nullptr) == SQLITE_OK &&
            sqlite3_bind_text(attach, 1, index.constData(), -1, SQLITE_STATIC) == SQLITE_OK &&
            sqlite3_step(attach) == SQLITE_DONE;
        sqlite3_finalize(attach);
        if (!attached) return std::nullopt;
    }
    const QByteArray sql = QByteArray(
                               "SELECT id, time, user, program, source, address, kind, ok, summary "
                               "FROM entries ") +
                           (w.sql.isEmpty() ? QByteArray() : "WHERE " + w.sql.toUtf8()) +
                           " ORDER BY time, id";
    if (sqlite3_prepare_v2(c.db, sql.constData(), -1, &c.statement, nullptr) != SQLITE_OK)
        return std::nullopt;
    for (int i = 0; i < w.values.size(); ++i)
        if (!bind(c.statement, i + 1, w.values[i])) return std::nullopt;

    // The kinds as the journal names them; one it does not know reads as a write, as an
    // entry read back does.
    std::array<QByteArray, kJournalKindCount> kinds;
    for (int k = 0; k < kJournalKindCount; ++k)
        kinds[static_cast<std::size_t>(k)] = kind_name(static_cast<JournalKind>(k)).toUtf8();
    const QByteArray& fallback = kinds[static_cast<std::size_t>(JournalKind::Write)];

    qint64 n = 0;
    int step = 0;
    while ((step = sqlite3_step(c.statement)) == SQLITE_ROW) {
        sqlite3_stmt* s = c.statement;
        out += QByteArray::number(sqlite3_column_int64(s, 0));
        out += ',';
        journal_text::append_iso_time(out, sqlite3_column_int64(s, 1));
        for (int column = 2; column <= 4; ++column) {
            out += ',';
            put_text(out, s, column);
        }
        out += ',';
        if (sqlite3_column_type(s, 5) != SQLITE_NULL) {
            const sqlite3_int64 address = sqlite3_column_int64(s, 5);
            if (address >= 0) out += QByteArray::number(address);
        }
        out += ',';
        int size = 0;
        const char* kind = text_of(s, 6, size);
        const QByteArray* name = &fallback;
        for (const QByteArray& k : kinds)
            if (k.size() == size && qstrnicmp(k.constData(), kind, size) == 0) name = &k;
        out += *name;
        out += sqlite3_column_int64(s, 7) != 0 ? ",1," : ",0,";
        put_text(out, s, 8);
        out += '\n';
        ++n;
        if (out.size() >= kPiece) hand_on(out, sink);
    }
    if (step == SQLITE_DONE) return n;
    // Nothing handed out yet: the other way may read it. Once rows are out, what they
    // gave stands and the caller learns of the failure.
    if (n == 0) return std::nullopt;
    return -1;
}
