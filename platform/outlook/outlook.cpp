#include "outlook.h"

#include <QDir>
#include <QStandardPaths>

#include "calendarstore.h"

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
    return item;
}

WriteBatch::WriteBatch() : store_(detail::CalendarStore::For(CalendarPath())) {
    store_->BeginBatch();
}

WriteBatch::~WriteBatch() { Commit(); }

bool WriteBatch::Commit() {
    if (done_) return true;
    done_ = true;
    QString error;
    return store_->EndBatch(&error) || Fail(error);
}

}  // namespace outlook
