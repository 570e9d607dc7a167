#pragma once

// Every file the program writes whole goes through QSaveFile and one of these. QSaveFile's
// commit() does not report a failed flush of a write that still sat in its buffer (Qt 6.4), so
// a full disk would rename an empty or short file over the good one: here the buffer is
// flushed and the size on disk checked before the rename.
#include <QByteArray>
#include <QSaveFile>
#include <QString>

namespace files {

// Why `file` failed, never empty: the device's own text, else the system's text for `code`
// (an errno value; 0 takes the current errno).
QString Reason(const QFileDevice& file, int code = 0);

// Flushes `file`, checks that it holds `expectedSize` bytes on disk (any size when negative)
// and renames it over its target. On failure the target is untouched, the temporary file is
// removed and `why` holds the reason.
bool Commit(QSaveFile& file, qint64 expectedSize, QString* why);

// Writes `bytes` as the whole of the file at `path`, creating its folder; the old file stays
// when anything fails.
bool WriteWhole(const QString& path, const QByteArray& bytes, QString* why);

// Removes what a run killed between writing and renaming left beside `path` (QSaveFile's
// "name.XXXXXX" temporaries) when it is older than `minAgeSeconds`, so that a run in progress
// keeps its own; a suffix that reads as a word is kept. Returns how many were removed.
int RemoveStaleTemporaries(const QString& path, int minAgeSeconds = 60);

}  // namespace files
