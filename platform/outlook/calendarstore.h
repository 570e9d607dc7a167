#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "icstext.h"
#include "icsvalues.h"
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
FileStamp Stat(const QString& path);

// The calendar file, shared by every object that works on the same path. It is read again
// whenever the file on disk is no longer the version it read or wrote last. Events are
// changed as text: a save rewrites only the properties an appointment item has, and every
// other byte of the file is written back as it was read. Another program may save the file
// at any time: what it saved is never written over (see WriteFile).
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
    // The file was missing or held nothing but white space when it was last read.
    bool Blank() const { return blank_; }
    // Fills `item` from the event with this UID; false when there is none.
    bool Read(const QString& uid, AppointmentItem* item);
    // An event's values, and its change time when `stamp` is given; false when libical
    // cannot read it as an event.
    bool ReadValues(const QByteArray& text, AppointmentItem::Values* values,
                    QDateTime* stamp = nullptr);
    // Writes `item` into its event; a new item makes a new event, or takes over the event
    // that already has the entry id it was given. Refused when another program changed the
    // event since `item` was read from it.
    bool Save(AppointmentItem* item, QString* error);

    // While a batch is open, saves are kept in memory and EndBatch writes them at once.
    void BeginBatch();
    // How far the batch has got, and going back there (the saves since are forgotten).
    int Savepoint() const { return static_cast<int>(undo_.size()); }
    void RollbackTo(int savepoint);
    bool EndBatch(QString* error);
    void DiscardBatch();
    // Takes back what the last batch's write changed. Events another program has saved
    // since are left as it saved them; false, with the reason, when any was.
    bool Restore(QString* error);

  private:
    bool Load(QString* error);
    // The file now holds `bytes` (read, or written here): they become the version known.
    // False, with the reason, when they are no calendar.
    bool Took(const QByteArray& bytes, QString* error);
    bool WriteFile(QString* error);
    // The file on disk is still, byte for byte, the version last read or written.
    bool Unchanged();
    // One change of an event: the text it must have now (none: no such event) and the
    // text it gets (none: it goes).
    struct Change {
        QString uid;
        std::optional<QByteArray> expected, replacement;
    };
    // Applies `changes` to the file as it now stands, adds the zone definition `zone` when
    // the file lacks it, and replaces the file; so long as each event is as expected, or
    // (`skipChanged`) leaving an event that is not as it is. False, with the reason, when the
    // file cannot be read or written, or keeps being changed meanwhile.
    struct Rewritten {
        bool existed = false;
        QByteArray before, after;  // the file replaced, and what replaced it
        int skipped = 0;           // events left as another program saved them
    };
    bool Rewrite(const std::vector<Change>& changes, const QString& zoneId, const QByteArray& zone,
                 bool skipChanged, Rewritten* result, QString* error);
    // Writes `bytes` over the file if it is still the version read last.
    enum class Put { Done, Failed, FileChanged };
    Put Replace(const QByteArray& bytes, QString* error);
    void Index();
    // The event's text as it now stands, with the batch's saves; empty when there is none.
    QByteArray EventText(const QString& uid) const;
    // The event's text in the file as read; none when the file holds no such event.
    std::optional<QByteArray> FileEventText(const QString& uid) const;
    QByteArray ZoneText(const QString& tzid) const;
    // The zone a TZID names: the file's definition of it, else libical's own; null when none.
    _icaltimezone* Zone(const QByteArray& tzid);
    void Stage(const QString& uid, const QByteArray& text);
    void ClearStaged();
    // The local zone's definition, added to the file once; empty when times go out in UTC.
    QString LocalZoneId();
    QByteArray Lines(QByteArray text) const;

    QString path_;
    CalendarText file_;
    QByteArray onDisk_;  // the file's bytes as last read or written; empty when there was none
    bool loaded_ = false;
    bool blank_ = false;
    bool sawContent_ = false;  // read with content since the batch began
    QHash<QString, qsizetype> events_;  // UID -> component
    QHash<QString, qsizetype> zones_;   // TZID -> component
    ZoneCache zoneCache_;
    QHash<QByteArray, _icaltimezone*> resolved_;  // TZID -> zone, for the file as read
    FileStamp stamp_;
    bool batch_ = false;
    // Saved events not yet written, with the order in which they were first saved, and the
    // zone definition they need; kept over a re-read of the file.
    QHash<QString, QByteArray> staged_;
    QStringList order_;
    QString stagedZoneId_;
    QByteArray stagedZone_;
    // Each staged event as the file held it when it was first saved (none: it held none).
    QHash<QString, std::optional<QByteArray>> base_;
    struct Undo {
        QString uid;
        std::optional<QByteArray> before;
    };
    std::vector<Undo> undo_;
    // What the last batch's write replaced and wrote.
    struct Replaced {
        bool existed = false;
        QByteArray bytes, written;
        std::vector<Change> changes;  // each event as written, and as it was before
    };
    std::optional<Replaced> replaced_;
};

}  // namespace outlook::detail
