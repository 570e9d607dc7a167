#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QLockFile;

// The calendar automation the synchronisation drives, over one iCalendar file. Appointment
// items are the file's events; everything else in the file is kept as it was.
namespace outlook {

namespace detail {
class CalendarStore;
}

// The calendar file: $AMBRELLE_CALENDAR, or calendar.ics in the per-user data folder.
QString CalendarPath();
// Why the last call of this layer failed.
QString LastError();
// Tests only: runs after each write of the calendar file, once the new file is in place.
void SetWriteHook(std::function<void()> hook);

inline constexpr int olFolderCalendar = 9;
inline constexpr int olAppointmentItem = 1;

class AppointmentItem {
  public:
    // Times are local; an event written in another zone reads as the same instant here.
    QDateTime Start() const { return start_; }
    void SetStart(const QDateTime& value) { start_ = value; }
    QDateTime End() const { return end_; }
    void SetEnd(const QDateTime& value) { end_ = value; }
    QString Subject() const { return subject_; }
    void SetSubject(const QString& value) { subject_ = value; }
    QString Location() const { return location_; }
    void SetLocation(const QString& value) { location_ = value; }
    QString Body() const { return body_; }
    void SetBody(const QString& value) { body_ = value; }
    // Comma-separated, as the calendar lists them.
    QString Categories() const { return categories_; }
    void SetCategories(const QString& value) { categories_ = value; }
    // Changes on every save, also within the same second.
    QDateTime LastModificationTime() const { return lastModified_; }
    // Fixed by the first save: the one given before it, or one made by it.
    QString EntryID() const { return entryId_; }
    // Names a new item before its first save, so that it can be found again by that name.
    // Saving it when the calendar already holds an entry of that name changes that entry.
    void SetEntryID(const QString& value) {
        if (created_) entryId_ = value;
    }

    // Writes the item into the file. False (LastError says why) when the file cannot be
    // written or the item was deleted from it meanwhile.
    bool Save();

  private:
    friend class detail::CalendarStore;
    friend class Namespace;
    friend class Application;
    std::shared_ptr<detail::CalendarStore> store_;
    QDateTime start_, end_, lastModified_;
    QString subject_, location_, body_, categories_, entryId_;
    bool created_ = false;  // made by CreateItem and not yet saved
};

class Folder {
  public:
    int Kind() const { return kind_; }

  private:
    friend class Namespace;
    int kind_ = 0;
};

class Namespace {
  public:
    std::optional<Folder> GetDefaultFolder(int kind) const;
    // The item with this entry identifier; nullopt when the file no longer holds it.
    std::optional<AppointmentItem> GetItemFromID(const QString& entryId) const;

  private:
    friend class Application;
    std::shared_ptr<detail::CalendarStore> store_;
};

class Application {
  public:
    // Connects to the calendar file, reading it again when another program changed it.
    // A missing file is created on the first save.
    Application();
    // "Outlook" when the file can be read and written; empty otherwise (LastError says why).
    QString Name() const { return name_; }
    std::optional<Namespace> GetNamespace(const QString& type) const;
    std::optional<AppointmentItem> CreateItem(int kind) const;

  private:
    std::shared_ptr<detail::CalendarStore> store_;
    QString name_;
};

// One run's hold on the calendar. It locks the file against every other run of this layer
// (another program's too) for as long as it lives; while it holds the lock, saves are kept in
// memory and Commit writes them in one go. What is not committed is forgotten.
class WriteBatch {
  public:
    // Takes the lock when it is free.
    WriteBatch();
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    // Another run holds the lock (rather than it being impossible to take).
    bool HeldElsewhere() const;
    // Tries for the lock again; false, LastError says who holds it or why it cannot be had.
    bool TryLock();
    // How far the saves have got, and going back there.
    int Savepoint() const;
    void RollbackTo(int savepoint);
    // Writes what was saved; false (LastError says why) when the file could not be written.
    bool Commit();
    // After a Commit: puts back the file as it was before it.
    bool Restore();
    // Forgets what was saved.
    void Discard();

  private:
    std::shared_ptr<detail::CalendarStore> store_;
    std::unique_ptr<QLockFile> lock_;
    bool open_ = false;
    bool committed_ = false;
};

}  // namespace outlook
