// Which rows were written since a window read them, so that it reads again only those.
#include "connection.h"
#include "internal.h"

namespace db {

namespace detail {
namespace {

// Past this many rows of one table a reader is better off reading its rows again whole.
constexpr int kKeptRows = 10000;

void Reported(void* context, int /*operation*/, const char* /*database*/, const char* table, sqlite3_int64 rowid) {
    auto& log = *static_cast<ChangeLog*>(context);
    ++log.hooked;
    ++log.serial;
    ChangeLog::Table& t = log.tables[QString::fromUtf8(table).toLower()];
    if (t.rows.size() >= kKeptRows) {
        t.rows.clear();
        t.forgottenUntil = log.serial;
    }
    t.rows.insert(rowid, log.serial);
}

// The engine reports rows one by one except where it empties a table at once, and it counts
// them all: any difference is writes that went unreported.
void Audit(ConnectionState& conn) {
    ChangeLog& log = conn.changes;
    const qint64 total = sqlite3_total_changes64(conn.handle);
    if (total - log.uncounted == log.hooked) return;
    log.blindUntil = ++log.serial;
    log.uncounted = total - log.hooked;
}

// Commits of other connections to the file, as the engine counts them.
qint64 OthersCommits(sqlite3* handle) {
    Statement stmt;
    if (stmt.Prepare(handle, QStringLiteral("PRAGMA data_version")) != SQLITE_OK ||
        Step(stmt.get()) != SQLITE_ROW)
        return -1;
    return sqlite3_column_int64(stmt.get(), 0);
}

}  // namespace

void WatchChanges(ConnectionState& conn) {
    static quint64 openings = 0;
    conn.changes.opening = ++openings;
    conn.changes.uncounted = sqlite3_total_changes64(conn.handle);
    sqlite3_update_hook(conn.handle, &Reported, &conn.changes);
}

}  // namespace detail

ChangeMark Connection::Changes() const {
    if (State() != adStateOpen) return {};
    detail::Audit(*state_);
    return {state_->changes.opening, state_->changes.serial, detail::OthersCommits(state_->handle)};
}

std::optional<QSet<qint64>> Connection::ChangedRows(const QString& table, const ChangeMark& mark) const {
    if (State() != adStateOpen || mark.opening != state_->changes.opening) return std::nullopt;
    detail::Audit(*state_);
    const detail::ChangeLog& log = state_->changes;
    const qint64 others = detail::OthersCommits(state_->handle);
    if (others < 0 || others != mark.others || log.blindUntil > mark.serial) return std::nullopt;
    QSet<qint64> keys;
    const auto t = log.tables.constFind(table.toLower());
    if (t == log.tables.cend()) return keys;
    if (t->forgottenUntil > mark.serial) return std::nullopt;
    for (auto it = t->rows.cbegin(); it != t->rows.cend(); ++it)
        if (it.value() > mark.serial) keys.insert(it.key());
    return keys;
}

}  // namespace db
