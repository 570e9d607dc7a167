#pragma once

#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>

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
    // Empty until the first save; fixed afterwards.
    QString EntryID() const { return entryId_; }

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

// While one lives, saves are kept in memory and the file is written once when it goes, so a
// run over many items writes the file once. A save still fails at once when the file is not
// writable.
class WriteBatch {
  public:
    WriteBatch();
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;
    // Writes what was saved; false (LastError says why) when the file could not be written.
    bool Commit();

  private:
    std::shared_ptr<detail::CalendarStore> store_;
    bool done_ = false;
};

}  // namespace outlook
