#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <memory>

#include "outlook.h"

struct icalcomponent_impl;

namespace outlook::detail {

// What identifies one version of the file on disk.
struct FileStamp {
    bool exists = false;
    qint64 size = -1;
    qint64 mtimeNs = -1;
    qint64 inode = -1;
    bool operator==(const FileStamp&) const = default;
};

// The parsed calendar file, shared by every object that works on the same path. It is read
// again whenever the file on disk is no longer the version it read or wrote last.
class CalendarStore {
  public:
    static std::shared_ptr<CalendarStore> For(const QString& path);
    explicit CalendarStore(const QString& path) : path_(path) {}
    ~CalendarStore();
    CalendarStore(const CalendarStore&) = delete;
    CalendarStore& operator=(const CalendarStore&) = delete;

    // Reads the file when it changed; false when it cannot be read as a calendar.
    bool Refresh(QString* error);
    bool Writable(QString* error) const;
    // Fills `item` from the event with this UID; false when there is none.
    bool Read(const QString& uid, AppointmentItem* item);
    // Writes `item` into its event (a new one when it has no entry id yet).
    bool Save(AppointmentItem* item, QString* error);

    void BeginBatch() { ++batch_; }
    bool EndBatch(QString* error);

  private:
    bool Load(QString* error);
    bool WriteFile(QString* error);
    void Index();
    // The local zone's definition, added to the file once; empty when times go out in UTC.
    QString LocalZoneId();

    QString path_;
    icalcomponent_impl* cal_ = nullptr;
    QHash<QString, icalcomponent_impl*> events_;
    FileStamp stamp_;
    bool stale_ = false;
    int batch_ = 0;
    // Events saved in a batch and not yet written, kept over a re-read of the file.
    QSet<QString> unwritten_;
};

}  // namespace outlook::detail
