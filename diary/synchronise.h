#pragma once

#include <QDateTime>
#include <QHash>
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

// What a run reads of its appointments, and of their sync rows; %1 stands for the JobIDs.
QString JobsReadSql();
QString SyncRowsReadSql();

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
    bool CreateOutlookEntry(int JobID, const QString& uid);
    bool SyncExistingEntry(int JobID);
    bool WriteAppointment(int JobID);
    bool UpdateJobFromOutlook(int JobID);
    bool RecordSync(const QString& syncType, const QString& recordType, int JobID);
    QDateTime GetLastSyncDate(int JobID);
    void ShowSyncConflict();

    int Failures() const { return failures_; }

  private:
    // The appointment being synchronised; cleared before each one.
    struct Job {
        QDateTime Start, Finish, OutlookLastUpdate, LastSync;
        QString Description, OutlookRef, CompanyName, Location;
        qint64 InvoiceNumber = 0;
        int syncRows = 0;
    };

    void Log(const QString& line);
    // Shows the lines logged since the last call.
    void ShowLog();
    bool Failed(int JobID, const QString& reason);
    // Ends the run at the next appointment with nothing changed: the calendar cannot be
    // used for any of them. Always false.
    bool Stop(const QString& reason);
    // Goes back to before the run on both sides; `began` when it began the transaction
    // (another run's is never touched). Returns how many failed: all of them.
    int GiveUp(outlook::WriteBatch& batch, int total, bool began);
    // Reads every appointment's values and sync rows at once, so that one that did not
    // change costs no query of its own; those not found are left out.
    static bool Preload(const QList<int>& jobIds, QHash<int, Job>* into, QString* error);
    // Before the first database write of an appointment: the point its failure goes back
    // to. False, and the run is given up, when it cannot be made.
    bool Mark();
    // A calendar entry that no longer exists is forgotten, so the next run makes it again.
    void ForgetEntry(int JobID);
    bool WaitForCalendar(outlook::WriteBatch& batch);
    // Takes up the entry an earlier run made for this appointment but could not record;
    // an entry of that name that was not written from it is left alone and a new one made.
    bool TakeUpOrCreate(int JobID);
    bool RelinkEntry(int JobID, const QString& uid);
    // Keeps the calendar entry's reference on the appointment; false, logged, when it cannot.
    bool StoreEntryRef(int JobID, const QString& ref);
    // The entry holds the times and text the database holds.
    bool WrittenFromJob() const;
    // The entry holds what the database would write into it.
    bool SameOnBothSides() const;

    QPointer<frmInfo> log_;
    QPointer<QWidget> owner_;
    QStringList pendingLog_;
    int failures_ = 0;
    QString databaseId_;
    QString stop_;
    bool relinked_ = false;
    bool marked_ = false;
    bool markFailed_ = false;
    QHash<int, Job> preloaded_;

    std::optional<outlook::Application> OutlookApp;
    std::optional<outlook::Namespace> OutlookNamespace;
    std::optional<outlook::Folder> OutlookCalendarFolder;
    std::optional<outlook::AppointmentItem> OutlookItem;
    QString SyncCategory;

    Job job_;
};

}  // namespace outlooksync
