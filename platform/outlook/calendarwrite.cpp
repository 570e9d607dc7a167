// Writing the calendar file beside other programs that may save it at any moment: saves go
// into the file as it stands when they are written, and a version another program saved is
// never written over.
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <functional>

#include "calendarstore.h"
#include "platform/files/savefile.h"

namespace outlook {

namespace {
std::function<void()>& WriteHook() {
    static std::function<void()> hook;
    return hook;
}
std::function<void()>& ReplaceHook() {
    static std::function<void()> hook;
    return hook;
}
}  // namespace

void SetWriteHook(std::function<void()> hook) { WriteHook() = std::move(hook); }
void SetReplaceHook(std::function<void()> hook) { ReplaceHook() = std::move(hook); }

}  // namespace outlook

namespace outlook::detail {

namespace {

// Another program saving the file over and over is given up on after this many tries.
constexpr int kTries = 3;

QString ChangedMeanwhile(const QString& path) {
    return QStringLiteral("Another program saved the calendar file %1 while the synchronisation "
                          "ran; its save is kept - synchronise again")
        .arg(path);
}

}  // namespace

bool CalendarStore::EndBatch(QString* error) {
    batch_ = false;
    return WriteFile(error);
}

bool CalendarStore::Unchanged() {
    const FileStamp now = Stat(path_);
    if (!(now == stamp_)) return false;
    if (!now.exists) return true;
    // The same size and time may still hide a save made within the clock's resolution.
    QFile f(path_);
    return f.open(QIODevice::ReadOnly) && f.readAll() == onDisk_;
}

bool CalendarStore::WriteFile(QString* error) {
    if (staged_.isEmpty()) {
        ClearStaged();
        return true;
    }
    std::vector<Change> changes;
    changes.reserve(order_.size());
    for (const QString& uid : std::as_const(order_))
        changes.push_back({uid, base_.value(uid), staged_.value(uid)});
    Rewritten done;
    const bool ok = Rewrite(changes, stagedZoneId_, stagedZone_, false, &done, error);
    ClearStaged();
    if (!ok) return false;
    replaced_ = Replaced{done.existed, done.before, done.after, std::move(changes)};
    if (WriteHook()) WriteHook()();
    return true;
}

bool CalendarStore::Rewrite(const std::vector<Change>& changes, const QString& zoneId,
                            const QByteArray& zone, bool skipChanged, Rewritten* result,
                            QString* error) {
    struct Edit {
        qsizetype begin, end;
        QByteArray text;
    };
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if (!Refresh(error)) return false;
        if (blank_ && sawContent_ && !skipChanged) {
            // Emptied while a program rewrites it in place: what it is writing would be lost.
            *error = QStringLiteral("The calendar file %1 went missing or was emptied meanwhile; "
                                    "nothing was written - synchronise again")
                         .arg(path_);
            return false;
        }
        *result = Rewritten{stamp_.exists, onDisk_, {}, 0};
        std::vector<Edit> edits;
        if (!zone.isEmpty() && !zones_.contains(zoneId))
            edits.push_back({file_.zonesAt, file_.zonesAt, zone});
        QByteArray added;
        for (const Change& c : changes) {
            // An event saved here that another program changed since it was read: its
            // version is not written over.
            if (FileEventText(c.uid) != c.expected) {
                if (!skipChanged) {
                    *error = ChangedMeanwhile(path_);
                    return false;
                }
                ++result->skipped;
                continue;
            }
            if (auto e = events_.constFind(c.uid); e != events_.cend()) {
                const Span span = file_.components[*e].span;
                edits.push_back({span.begin, span.end, c.replacement.value_or(QByteArray())});
            } else if (c.replacement) {
                added += *c.replacement;
            }
        }
        result->after = onDisk_;
        if (edits.empty() && added.isEmpty()) return true;  // nothing left to write
        edits.push_back({file_.endAt, file_.endAt, added});
        std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
            return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
        });
        qsizetype size = file_.bytes.size();
        for (const Edit& e : edits) size += e.text.size() - (e.end - e.begin);
        QByteArray out;
        out.reserve(size);
        qsizetype at = 0;
        for (const Edit& e : edits) {
            out += QByteArrayView(file_.bytes).sliced(at, e.begin - at);
            out += e.text;
            at = e.end;
        }
        out += QByteArrayView(file_.bytes).sliced(at);
        result->after = out;

        switch (Replace(out, error)) {
            case Put::Done: {
                QString ignored;
                Took(out, &ignored);
                return true;
            }
            case Put::Failed:
                return false;
            case Put::FileChanged:
                loaded_ = false;  // read it again, whatever its stamp says
                break;
        }
    }
    *error = ChangedMeanwhile(path_);
    return false;
}

CalendarStore::Put CalendarStore::Replace(const QByteArray& bytes, QString* error) {
    const auto failed = [&](const QString& why) {
        *error = QStringLiteral("The calendar file %1 cannot be written: %2").arg(path_, why);
        return Put::Failed;
    };
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSaveFile f(path_);
    errno = 0;
    if (!f.open(QIODevice::WriteOnly)) return failed(files::Reason(f));
    if (f.write(bytes) != bytes.size()) {
        const QString why = files::Reason(f);
        f.cancelWriting();
        f.commit();  // only removes the temporary file
        return failed(why);
    }
    // A failed flush is reported by the commit below; the file it would replace is compared
    // with the one read only once the new one is on disk, to keep that moment short.
    struct stat st {};
    if (f.flush() && ::fstat(f.handle(), &st) == 0) {
        if (ReplaceHook()) ReplaceHook()();
        if (!Unchanged()) {
            f.cancelWriting();
            f.commit();
            return Put::FileChanged;
        }
    }
    QString why;
    if (!files::Commit(f, bytes.size(), &why)) return failed(why);
    // The renamed file keeps the temporary's inode and time: a save by another program
    // right after the rename still shows as a change.
    stamp_ = {true, static_cast<qint64>(st.st_size),
              static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
              static_cast<qint64>(st.st_ino)};
    return Put::Done;
}

bool CalendarStore::Restore(QString* error) {
    if (!replaced_) return true;
    Replaced r = std::move(*replaced_);
    replaced_.reset();
    // Still as written: the file goes back whole, as it was before, zone definition and all.
    if (Refresh(error) && stamp_.exists && onDisk_ == r.written) {
        if (!r.existed) {
            const bool removed = Unchanged() && QFile::remove(path_);
            loaded_ = false;
            if (removed) return true;
        } else {
            switch (Replace(r.bytes, error)) {
                case Put::Done: {
                    QString ignored;
                    Took(r.bytes, &ignored);
                    return true;
                }
                case Put::Failed:
                    return false;
                case Put::FileChanged:
                    loaded_ = false;
                    break;
            }
        }
    }
    // Another program saved it since: each entry written goes back where that program left
    // it as written.
    std::vector<Change> back;
    back.reserve(r.changes.size());
    for (const Change& c : r.changes) back.push_back({c.uid, c.replacement, c.expected});
    Rewritten done;
    if (!Rewrite(back, QString(), QByteArray(), true, &done, error)) return false;
    if (done.skipped == 0) return true;
    *error = QStringLiteral("Another program changed %1 of the entries the synchronisation wrote "
                            "into %2; they were left as it saved them")
                 .arg(done.skipped)
                 .arg(path_);
    return false;
}

}  // namespace outlook::detail
