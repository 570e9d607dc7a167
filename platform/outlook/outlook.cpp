#include "outlook.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <cerrno>

#include "calendarstore.h"
#include "platform/files/savefile.h"

namespace outlook {

namespace {

QString& ErrorText() {
    static QString text;
    return text;
}

bool Fail(const QString& text) {
    ErrorText() = text;
    return false;
}

}  // namespace

QString CalendarPath() {
    const QString named = qEnvironmentVariable("AMBRELLE_CALENDAR");
    if (!named.isEmpty()) return named;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Ambrelle/calendar.ics"));
}

QString LastError() { return ErrorText(); }

const AppointmentItem::Values& AppointmentItem::values() const {
    if (unread_) {
        unread_ = false;
        if (store_) store_->ReadValues(read_, &values_);
    }
    return values_;
}

bool AppointmentItem::Save() {
    if (!store_) return Fail(QStringLiteral("The item belongs to no calendar"));
    QString error;
    return store_->Save(this, &error) || Fail(error);
}

std::optional<Folder> Namespace::GetDefaultFolder(int kind) const {
    if (kind != olFolderCalendar) {
        Fail(QStringLiteral("Only the calendar folder is available"));
        return std::nullopt;
    }
    Folder f;
    f.kind_ = kind;
    return f;
}

std::optional<AppointmentItem> Namespace::GetItemFromID(const QString& entryId) const {
    QString error;
    if (!store_->Refresh(&error)) {
        Fail(error);
        return std::nullopt;
    }
    AppointmentItem item;
    item.store_ = store_;
    if (!store_->Read(entryId, &item)) {
        Fail(QStringLiteral("The calendar holds no entry %1").arg(entryId));
        return std::nullopt;
    }
    return item;
}

QString Namespace::CalendarProblem() const {
    QString error;
    if (!store_->Refresh(&error)) return error;
    if (store_->Blank())
        return QStringLiteral("The calendar file %1 is missing or empty").arg(store_->Path());
    return {};
}

Application::Application() : store_(detail::CalendarStore::For(CalendarPath())) {
    QString error;
    if (store_->Refresh(&error) && store_->Writable(&error))
        name_ = QStringLiteral("Outlook");
    else
        Fail(error);
}

std::optional<Namespace> Application::GetNamespace(const QString& type) const {
    if (type.compare(QStringLiteral("MAPI"), Qt::CaseInsensitive) != 0 || name_.isEmpty()) {
        Fail(name_.isEmpty() ? LastError() : QStringLiteral("Unknown namespace ") + type);
        return std::nullopt;
    }
    Namespace ns;
    ns.store_ = store_;
    return ns;
}

std::optional<AppointmentItem> Application::CreateItem(int kind) const {
    if (kind != olAppointmentItem || name_.isEmpty()) {
        Fail(name_.isEmpty() ? LastError() : QStringLiteral("Only appointment items can be made"));
        return std::nullopt;
    }
    AppointmentItem item;
    item.store_ = store_;
    item.created_ = true;
    return item;
}

WriteBatch::WriteBatch() : store_(detail::CalendarStore::For(CalendarPath())) { TryLock(); }

WriteBatch::~WriteBatch() { Discard(); }

bool WriteBatch::HeldElsewhere() const {
    return lock_ && !lock_->isLocked() && lock_->error() == QLockFile::LockFailedError;
}

bool WriteBatch::TryLock() {
    if (lock_ && lock_->isLocked()) return true;
    const QString path = store_->Path();
    if (!lock_) {
        const QString dir = QFileInfo(path).absolutePath();
        if (!QDir().mkpath(dir))
            return Fail(QStringLiteral("The folder %1 cannot be made: %2")
                            .arg(dir, qt_error_string(errno)));
        lock_ = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
        // A run may wait on a question for long; only a holder that has gone frees the lock.
        lock_->setStaleLockTime(0);
    }
    if (!lock_->tryLock(0)) {
        qint64 pid = 0;
        QString host, program;
        if (lock_->error() == QLockFile::LockFailedError && lock_->getLockInfo(&pid, &host, &program))
            return Fail(QStringLiteral("The calendar file %1 is being synchronised by another "
                                       "program (%2, process %3 on %4)")
                            .arg(path, program.isEmpty() ? QStringLiteral("unknown") : program)
                            .arg(pid)
                            .arg(host));
        return Fail(QStringLiteral("The calendar file %1 cannot be locked: %2")
                        .arg(path, lock_->error() == QLockFile::PermissionError
                                       ? qt_error_string(EACCES)
                                       : qt_error_string(errno)));
    }
    // A run killed before its file took the calendar's place left its temporary beside it.
    files::RemoveStaleTemporaries(path);
    store_->BeginBatch();
    open_ = true;
    return true;
}

int WriteBatch::Savepoint() const { return open_ ? store_->Savepoint() : 0; }

void WriteBatch::RollbackTo(int savepoint) {
    if (open_) store_->RollbackTo(savepoint);
}

bool WriteBatch::Commit() {
    if (!open_) return true;
    open_ = false;
    committed_ = true;
    QString error;
    return store_->EndBatch(&error) || Fail(error);
}

bool WriteBatch::Restore() {
    if (!committed_) return true;
    committed_ = false;
    QString error;
    return store_->Restore(&error) || Fail(error);
}

void WriteBatch::Discard() {
    if (open_) store_->DiscardBatch();
    open_ = false;
}

}  // namespace outlook
