#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// The zip container of a .docx, read and written whole. Internal to the word layer.
namespace word::detail {

// No part of a template is anywhere near this; a part that unpacks beyond it is a damaged or
// hostile file, and is refused before it is unpacked.
constexpr qint64 kMaxPartBytes = qint64(64) * 1024 * 1024;
// The same for all parts together (pictures included).
constexpr qint64 kMaxPackageBytes = qint64(256) * 1024 * 1024;

struct ZipEntries {
    QStringList order;  // names as the file held them; folders left out
    QMap<QString, QByteArray> data;
};

// False with `error` set (libzip's own reason, the file's name in it) when the file cannot be
// read whole within the bounds above.
bool ReadZip(const QString& path, ZipEntries* entries, QString* error);
// Writes the entries in their order. The file is replaced at once when all is written; an
// interrupted write leaves the old file and, where the file system allows, no temporary one.
bool WriteZip(const QString& path, const ZipEntries& entries, QString* error);

}  // namespace word::detail
