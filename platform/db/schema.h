#pragma once

#include <QString>
#include <QStringList>

namespace db {

// The SQL that creates the database's tables (one file, shared by the tools and tests).
const QString& SchemaSql();
// The tables a file must hold to be opened, as the schema names them.
const QStringList& RequiredTables();
// Writes a new database from the schema. Refuses to touch an existing file.
bool CreateDatabase(const QString& path, QString* error = nullptr);

}  // namespace db
