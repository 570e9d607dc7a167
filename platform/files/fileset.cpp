#include "fileset.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "savefile.h"

namespace files {

namespace {

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

QString Failed(const QString& path, const QString& reason) {
    return QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason;
}

QString SystemReason(int code) {
    return code != 0 ? QString::fromLocal8Bit(std::strerror(code))
                     : QStringLiteral("the file could not be replaced");
}

// A free name beside `target` in the shape of a temporary, so that a killed run's leftovers
// are cleared like any other (RemoveStaleTemporaries).
QString FreeName(const QString& target) {
    QTemporaryFile probe(target + QStringLiteral(".XXXXXX"));
    if (!probe.open()) return QString();
    return probe.fileName();  // removed again as the probe goes
}

}  // namespace

FileSet::FileSet() = default;

FileSet::~FileSet() {
    for (Entry& e : entries_)
        if (!e.backup.isEmpty()) ::unlink(Native(e.backup).constData());
}

QFile* FileSet::Add(const QString& target, QString* why) {
    QDir().mkpath(QFileInfo(target).absolutePath());
    // What a killed run left beside the target goes now, or nothing ever clears it.
    RemoveStaleTemporaries(target);
    auto file = std::make_unique<QTemporaryFile>(target + QStringLiteral(".XXXXXX"));
    errno = 0;
    if (!file->open()) {
        if (why) *why = Failed(target, Reason(*file, errno));
        return nullptr;
    }
    // A temporary is its owner's alone; the file it becomes keeps the old one's permissions,
    // or a new file's.
    file->setPermissions(QFileInfo::exists(target) ? QFile::permissions(target)
                                                   : QFile::ReadOwner | QFile::WriteOwner |
                                                         QFile::ReadGroup | QFile::ReadOther);
    entries_.push_back({target, std::move(file), QString(), false});
    return entries_.back().file.get();
}

bool FileSet::Commit(QString* why) {
    const auto fail = [&](const QString& path, const QString& reason) {
        const QString what = Failed(path, reason);  // before the entries go
        Undo();
        if (why) *why = what;
        return false;
    };
    // Every file written in full before the first takes its place: a full disk is met here.
    for (Entry& e : entries_) {
        errno = 0;
        if (!e.file->flush() || e.file->error() != QFileDevice::NoError)
            return fail(e.target, Reason(*e.file, errno));
        struct stat st {};
        if (::fstat(e.file->handle(), &st) != 0) return fail(e.target, SystemReason(errno));
        if (st.st_size != e.file->pos()) return fail(e.target, SystemReason(ENOSPC));
        e.file->close();
    }
    for (Entry& e : entries_) {
        const QByteArray target = Native(e.target);
        // The old file keeps a second name until all are in place; the target's own name is
        // never without a file.
        if (QFileInfo::exists(e.target)) {
            e.backup = FreeName(e.target);
            int code = e.backup.isEmpty() ? EACCES : 0;
            if (code == 0 && ::link(target.constData(), Native(e.backup).constData()) != 0) {
                code = errno;
                // A file system without links keeps a copy instead.
                const bool unlinkable =
                    code == EPERM || code == EXDEV || code == EOPNOTSUPP || code == EMLINK;
                if (unlinkable && QFileInfo(e.target).isFile() && QFile::copy(e.target, e.backup))
                    code = 0;
            }
            if (code != 0) {
                e.backup.clear();
                return fail(e.target, SystemReason(code));
            }
        }
        if (std::rename(Native(e.file->fileName()).constData(), target.constData()) != 0)
            return fail(e.target, SystemReason(errno));
        e.file->setAutoRemove(false);
        e.replaced = true;
    }
    for (Entry& e : entries_) {
        if (!e.backup.isEmpty()) ::unlink(Native(e.backup).constData());
        e.backup.clear();
    }
    entries_.clear();
    return true;
}

void FileSet::Undo() {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        Entry& e = *it;
        if (e.replaced) {
            if (!e.backup.isEmpty())
                std::rename(Native(e.backup).constData(), Native(e.target).constData());
            else
                ::unlink(Native(e.target).constData());
            e.backup.clear();
            e.replaced = false;
        } else if (!e.backup.isEmpty()) {
            ::unlink(Native(e.backup).constData());
            e.backup.clear();
        }
    }
    entries_.clear();  // the temporaries not put in place go with their files
}

}  // namespace files
