#pragma once

#include <QString>

namespace db {

// The engine's compaction: writes a compacted, checked copy of the database at `source` to
// `target` (which must not exist). `source` is only read.
bool CompactDatabase(const QString& source, const QString& target, QString* error);

// Writes the database at `source` over the one at `target` through the engine, in one
// transaction and into the same file: `target` keeps its mode, owner and links.
bool CopyDatabaseInto(const QString& source, const QString& target, QString* error);

}  // namespace db
