#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "icstext.h"
#include "outlook.h"

namespace outlook::detail {

// What identifies one version of the file on disk.
struct FileStamp {
    bool exists = false;
    qint64 size = -1;
    qint64 mtimeNs = -1;
    qint64 inode = -1;
    bool operator==(const FileStamp&) const = default;
};

// The calendar file, shared by every object that works on the same path. It is read again
// whenever the file on disk is no longer the version it read or wrote last. Events are
// changed as text: a save rewrites only the properties an appointment item has, and every
// other byte of the file is written back as it was read.
class CalendarStore {
  public:
    static std::shared_ptr<CalendarStore> For(const QString& path);
    explicit CalendarStore(const QString& path) : path_(path) {}
    CalendarStore(const CalendarStore&) = delete;
    CalendarStore& operator=(const CalendarStore&) = delete;

    QString Path() const { return path_; }
    // Reads the file when it changed; false when it cannot be read as a calendar.
    bool Refresh(QString* error);
    bool Writable(QString* error) const;
    // Fills `item` from the event with this UID; false when there is none.
    bool Read(const QString& uid, AppointmentItem* item);
    // Writes `item` into its event; a new item makes a new event, or takes over the event
    // that already has the entry id it was given.
    bool Save(AppointmentItem* item, QString* error);

    // While a batch is open, saves are kept in memory and EndBatch writes them at once.
    void BeginBatch();
    // How far the batch has got, and going back there (the saves since are forgotten).
    int Savepoint() const { return static_cast<int>(undo_.size()); }
    void RollbackTo(int savepoint);
    bool EndBatch(QString* error);
    void DiscardBatch();
    // Puts back the file that the last batch's write replaced.
    bool Restore(QString* error);

  private:
    bool Load(QString* error);
    bool WriteFile(QString* error);
    bool Put(const QByteArray& bytes, QString* error);
    void Index();
    // The event's text as it now stands, with the batch's saves; empty when there is none.
    QByteArray EventText(const QString& uid) const;
    QByteArray ZoneText(const QString& tzid) const;
    void Stage(const QString& uid, const QByteArray& text);
    void ClearStaged();
    // The local zone's definition, added to the file once; empty when times go out in UTC.
    QString LocalZoneId();
    QByteArray Lines(QByteArray text) const;

    QString path_;
    CalendarText file_;
    QByteArray onDisk_;  // the file's bytes as last read or written; empty when there was none
    bool loaded_ = false;
    QHash<QString, qsizetype> events_;  // UID -> component
    QHash<QString, qsizetype> zones_;   // TZID -> component
    FileStamp stamp_;
    bool batch_ = false;
    // Saved events not yet written, with the order in which they were first saved, and the
    // zone definition they need; kept over a re-read of the file.
    QHash<QString, QByteArray> staged_;
    QStringList order_;
    QString stagedZoneId_;
    QByteArray stagedZone_;
    struct Undo {
        QString uid;
        std::optional<QByteArray> before;
    };
    std::vector<Undo> undo_;
    // The file the last batch's write replaced.
    struct Replaced {
        bool existed = false;
        QByteArray bytes;
    };
    std::optional<Replaced> replaced_;
};

}  // namespace outlook::detail
