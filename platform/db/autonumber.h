#pragma once

#include <QString>

#include <optional>

namespace db {

class Connection;

// The key the table's AutoNumber column will give the next row added: one above the highest
// key ever given, even when that row was deleted since. nullopt when it cannot be read.
std::optional<qint64> NextAutoNumber(Connection& connection, const QString& table);

}  // namespace db
