#include "autonumber.h"

#include <algorithm>

#include "connection.h"
#include "internal.h"

namespace db {

std::optional<qint64> NextAutoNumber(Connection& connection, const QString& table) {
    if (connection.State() != adStateOpen) return std::nullopt;
    const auto state = connection.state();
    const detail::TableInfo* info = state->table(table);
    if (!info || info->keyColumn.isEmpty()) return std::nullopt;
    auto readOne = [&](const QString& sql, bool bindName) -> std::optional<qint64> {
        detail::Statement stmt;
        if (stmt.Prepare(state->handle, sql) != SQLITE_OK) return std::nullopt;
        if (bindName) detail::Bind(stmt.get(), 1, info->name);
        if (detail::Step(stmt.get()) != SQLITE_ROW) return qint64(0);
        return sqlite3_column_int64(stmt.get(), 0);
    };
    // The counter lives in sqlite_sequence once a row was ever added; the highest key covers
    // rows written with an explicit key before that.
    const auto seq = readOne(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"), true);
    const auto max = readOne(QStringLiteral("SELECT max(\"%1\") FROM \"%2\"").arg(info->keyColumn, info->name), false);
    if (!seq || !max) return std::nullopt;
    return std::max(*seq, *max) + 1;
}

}  // namespace db
