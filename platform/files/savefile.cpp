#include "savefile.h"

#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>

namespace files {

QString Reason(const QFileDevice& file, int code) {
    const int err = code != 0 ? code : errno;
    const QString own = file.errorString();
    // Qt leaves "Unknown error" when the failure came through its buffer with no errno kept.
    if (!own.isEmpty() && own != QLatin1String("Unknown error")) return own;
    if (err != 0) return QString::fromLocal8Bit(std::strerror(err));
    return QStringLiteral("the file could not be written in full");
}

bool Commit(QSaveFile& file, qint64 expectedSize, QString* why) {
    const auto fail = [&](int code) {
        const QString reason = Reason(file, code);
        file.cancelWriting();
        file.commit();  // with writing cancelled this only removes the temporary file
        if (why) *why = reason;
        return false;
    };
    errno = 0;
    if (!file.isOpen()) return fail(0);
    if (!file.flush() || file.error() != QFileDevice::NoError) return fail(errno);
    struct stat st {};
    if (::fstat(file.handle(), &st) != 0) return fail(errno);
    if (expectedSize >= 0 && st.st_size != expectedSize) return fail(ENOSPC);
    if (!file.commit()) return fail(errno);
    return true;
}

bool WriteWhole(const QString& path, const QByteArray& bytes, QString* why) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        if (why) *why = Reason(file, errno);
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        const int code = errno;
        const QString reason = Reason(file, code);
        file.cancelWriting();
        file.commit();
        if (why) *why = reason;
        return false;
    }
    return Commit(file, bytes.size(), why);
}

int RemoveStaleTemporaries(const QString& path, int minAgeSeconds) {
    const QFileInfo target(path);
    const QDir dir = target.absoluteDir();
    // QSaveFile names its temporary "<name>.XXXXXX", six random letters. A suffix that reads as
    // a word ("backup", "BACKUP", "Backup") is taken for the user's own copy and kept.
    const QRegularExpression pattern(QStringLiteral("^") +
                                     QRegularExpression::escape(target.fileName()) +
                                     QStringLiteral("\\.[A-Za-z]{6}$"));
    const QRegularExpression wordLike(QStringLiteral("\\.([a-z]{6}|[A-Z]{6}|[A-Z][a-z]{5})$"));
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-minAgeSeconds);
    int removed = 0;
    const QStringList names = dir.entryList({target.fileName() + QStringLiteral(".??????")},
                                            QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (!pattern.match(name).hasMatch() || wordLike.match(name).hasMatch()) continue;
        const QFileInfo info(dir.filePath(name));
        if (info.lastModified().toUTC() > before) continue;
        if (QFile::remove(info.absoluteFilePath())) ++removed;
    }
    return removed;
}

}  // namespace files
