#pragma once

#include <QString>

namespace db {

// The engine's compaction: writes a compacted, checked copy of the database at `source` to
// `target` (which must not exist) and makes sure it is on disk. `source` is only read.
bool CompactDatabase(const QString& source, const QString& target, QString* error);

// Puts `replacement` in the place of `target` in one step, so that at every moment one
// whole file stands at `target`.
bool ReplaceFile(const QString& replacement, const QString& target, QString* error);

}  // namespace db
