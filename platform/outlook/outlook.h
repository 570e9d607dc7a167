#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

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
// Tests only: runs when a new version of the file is written beside it, before it takes
// the file's place.
void SetReplaceHook(std::function<void()> hook);

inline constexpr int olFolderCalendar = 9;
inline constexpr int olAppointmentItem = 1;

class AppointmentItem {
  public:
    // Times are local; an event written in another zone reads as the same instant here.
    QDateTime Start() const { return values().start; }
    void SetStart(const QDateTime& value) { values().start = value; }
    QDateTime End() const { return values().end; }
    void SetEnd(const QDateTime& value) { values().end = value; }
    QString Subject() const { return values().subject; }
    void SetSubject(const QString& value) { values().subject = value; }
    QString Location() const { return values().location; }
    void SetLocation(const QString& value) { values().location = value; }
    QString Body() const { return values().body; }
    void SetBody(const QString& value) { values().body = value; }
    // The entry's categories joined by ", "; a save writes the value as one category.
    QString Categories() const { return values().categories; }
    void SetCategories(const QString& value) { values().categories = value; }
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
    // written, the item was deleted from it meanwhile, or another program changed it since
    // it was read.
    bool Save();

  private:
    friend class detail::CalendarStore;
    friend class Namespace;
    friend class Application;
    struct Values {
        QDateTime start, end;
        QString subject, location, body, categories;
    };
    // The entry's values are read from its text when first asked for: finding out whether
    // an entry changed needs its stamp alone.
    const Values& values() const;
    Values& values() { return const_cast<Values&>(std::as_const(*this).values()); }

    std::shared_ptr<detail::CalendarStore> store_;
    mutable Values values_;
    mutable bool unread_ = false;  // values_ not yet read from read_
    QDateTime lastModified_;
    QString entryId_;
    QByteArray read_;  // the event's text this item was read from or last saved as
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
    // Why no entry at all can be found in the file, though none may have been deleted: it
    // is missing, holds nothing but white space, or cannot be read. Empty otherwise.
    QString CalendarProblem() const;

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
    // Writes what was saved into the file as it now stands, so long as no other program
    // changed an entry that was saved meanwhile; false (LastError says why) otherwise or
    // when the file could not be written. The old file then stays as it was.
    bool Commit();
    // After a Commit: takes back what it wrote. What another program saved since is kept;
    // false (LastError says why) when that left some of the commit's entries in place.
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
