#pragma once

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <optional>

#include "platform/outlook/outlook.h"

class QWidget;
class frmInfo;
namespace db {
class Recordset;
}

namespace outlooksync {

// The JobIDs of the rows a record set shows, in its order.
QList<int> ShownJobIDs(const db::Recordset& appointments);

// Two-way synchronisation of appointments with the calendar, reported line by line into the
// progress log. One appointment's failure is logged with its reason, leaves nothing of it on
// either side, and the run goes on. The run's changes reach the calendar file and the database
// together at its end, or neither does: a key or mouse press in the log between appointments
// stops it with both as they were.
class Synchroniser {
  public:
    // How long a run waits for another program's run to leave the calendar (tests shorten it).
    static inline int LockWaitMs = 5000;

    // `log` is shown and written; `owner` owns the conflict dialog and the messages.
    Synchroniser(frmInfo* log, QWidget* owner);

    // Synchronises every appointment given; returns how many failed.
    int Run(const QList<int>& jobIds);

    bool SyncJob(int JobID);
    bool OpenOutlook();
    bool LoadJobForSync(int JobID);
    bool CreateOutlookEntry(int JobID);
    bool SyncExistingEntry(int JobID);
    bool WriteAppointment(int JobID);
    bool UpdateJobFromOutlook(int JobID);
    bool RecordSync(const QString& syncType, const QString& recordType, int JobID);
    QDateTime GetLastSyncDate(int JobID);
    void ShowSyncConflict();

    int Failures() const { return failures_; }

  private:
    void Log(const QString& line);
    bool Failed(int JobID, const QString& reason);
    // A calendar entry that no longer exists is forgotten, so the next run makes it again.
    void ForgetEntry(int JobID);
    bool WaitForCalendar(outlook::WriteBatch& batch);
    // Takes up the entry an earlier run made for this appointment but could not record.
    bool RelinkEntry(int JobID, const QString& uid);
    // Keeps the calendar entry's reference on the appointment; false, logged, when it cannot.
    bool StoreEntryRef(int JobID, const QString& ref);
    // The entry holds what the database would write into it.
    bool SameOnBothSides() const;
    // Ends a run whose changes are given up on both sides; `began` when it began the
    // transaction (another run's is never touched).
    int GiveUp(outlook::WriteBatch& batch, int total, bool began);

    QPointer<frmInfo> log_;
    QPointer<QWidget> owner_;
    int failures_ = 0;
    bool notInstalledShown_ = false;
    QString databaseId_;
    bool relinked_ = false;

    std::optional<outlook::Application> OutlookApp;
    std::optional<outlook::Namespace> OutlookNamespace;
    std::optional<outlook::Folder> OutlookCalendarFolder;
    std::optional<outlook::AppointmentItem> OutlookItem;
    QString SyncCategory;

    // The appointment being synchronised; cleared before each one.
    struct Job {
        QDateTime Start, Finish, OutlookLastUpdate;
        QString Description, OutlookRef, CompanyName, Location;
        qint64 InvoiceNumber = 0;
    } job_;
};

}  // namespace outlooksync
