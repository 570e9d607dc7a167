#include "synchronise.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QThread>
#include <QUuid>

#include "core/formatting.h"
#include "core/forms.h"
#include "core/frmInfo.h"
#include "core/globals.h"
#include "diary/Conflict_Manager.h"
#include "diary/syncrules.h"
#include "platform/db/recordset.h"
#include "platform/ui/prompts.h"

namespace outlooksync {

namespace {

const QString kSchedule = QStringLiteral("schedule");

QDateTime DateValue(const QVariant& v) { return db::ToDateTime(v).value_or(QDateTime()); }

}  // namespace

QList<int> ShownJobIDs(const db::Recordset& appointments) {
    QList<int> ids;
    if (appointments.State() != db::adStateOpen) return ids;
    const int field = appointments.FieldIndex(QStringLiteral("JobID"));
    for (int r = 0; r < appointments.RecordCount(); ++r)
        ids << appointments.ValueAt(r, field).toInt();
    return ids;
}

Synchroniser::Synchroniser(frmInfo* log, QWidget* owner) : log_(log), owner_(owner) {}

void Synchroniser::Log(const QString& line) {
    if (log_) log_->AddLog(line);
}

bool Synchroniser::Failed(int JobID, const QString& reason) {
    ++failures_;
    Log(FailureLine(JobID, reason));
    return false;
}

namespace {

const QString kIdentityKey = QStringLiteral("CalendarID");

// The database file's own identity, made once and kept in it, so that every run on it (or on a
// copy of it) names an appointment's calendar entry the same way. Empty, with `error`, when the
// database cannot be read or written.
QString DatabaseIdentity(QString* error) {
    const QString read = QStringLiteral(
        "SELECT Value FROM System WHERE FieldName = ? AND Value <> '' ORDER BY id");
    for (int attempt = 0; attempt < 2; ++attempt) {
        db::Recordset rs;
        if (!rs.OpenWith(read, DbConnection(), {kIdentityKey}, db::adOpenStatic,
                         db::adLockReadOnly)) {
            *error = db::LastError();
            return {};
        }
        if (!rs.Eof()) return rs.Fields(0).Text();
        // One statement, so that two programs starting together still make only one.
        if (!DbConnection().Execute(
                QStringLiteral("INSERT INTO System (FieldName, Value) SELECT ?, ? WHERE NOT "
                               "EXISTS (SELECT 1 FROM System WHERE FieldName = ? AND Value <> '')"),
                {kIdentityKey, QUuid::createUuid().toString(QUuid::WithoutBraces), kIdentityKey})) {
            *error = DbConnection().LastError();
            return {};
        }
    }
    *error = QStringLiteral("the database's identity could not be kept");
    return {};
}

// While a run goes on, the log window takes every key and click (one stops the run) and the
// main window none, so that no save of the user joins the run's transaction.
class RunningJob {
  public:
    explicit RunningJob(frmInfo* log) : log_(log) {
        AbortRequested = false;
        if (!log_) return;
        log_->JobRunning = true;
        log_->hide();
        log_->setWindowModality(Qt::ApplicationModal);
        log_->show();
    }
    ~RunningJob() {
        AbortRequested = false;
        if (!log_) return;
        log_->JobRunning = false;
        const bool shown = log_->isVisible();
        log_->hide();
        log_->setWindowModality(Qt::NonModal);
        if (shown) log_->show();
    }

  private:
    QPointer<frmInfo> log_;
};

const QString kAppointmentSavepoint = QStringLiteral("appointment");

}  // namespace

bool Synchroniser::WaitForCalendar(outlook::WriteBatch& batch) {
    QElapsedTimer waited;
    waited.start();
    bool said = false;
    while (!batch.TryLock()) {
        if (!batch.HeldElsewhere() || waited.elapsed() >= LockWaitMs || AbortRequested)
            return false;
        if (!said) Log(kWaitingForCalendar);
        said = true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
    return true;
}

int Synchroniser::GiveUp(outlook::WriteBatch& batch, int total, bool began) {
    batch.Discard();
    if (began && DbConnection().InTransaction()) DbConnection().RollbackTrans();
    Log(kNothingChanged);
    failures_ = total;
    Log(ClosingLine(failures_, total));
    return failures_;
}

int Synchroniser::Run(const QList<int>& jobIds) {
    if (log_) {
        log_->Timer1->stop();
        log_->show();
        log_->SetLog(kBegin);
        log_->PB1->setValue(0);
    }
    failures_ = 0;
    const int total = static_cast<int>(jobIds.size());
    RunningJob running(log_);
    outlook::WriteBatch batch;
    if (!WaitForCalendar(batch)) {
        Log(outlook::LastError());
        return GiveUp(batch, total, false);
    }
    QString error;
    databaseId_ = DatabaseIdentity(&error);
    if (databaseId_.isEmpty() || !DbConnection().BeginTrans()) {
        Log(DatabaseFailureLine(databaseId_.isEmpty() ? error : DbConnection().LastError()));
        return GiveUp(batch, total, false);
    }
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    for (int i = 0; i < total; ++i) {
        // The windows are painted and the log can be pressed between appointments, a few dozen
        // times a second rather than at every one.
        if (i == 0 || sinceEvents.elapsed() >= 40) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
        if (AbortRequested) {
            batch.Discard();
            DbConnection().RollbackTrans();
            Log(kStopped);
            return failures_ = total;
        }
        const int mark = batch.Savepoint();
        db::Connection& c = DbConnection();
        const bool marked = c.Savepoint(kAppointmentSavepoint);
        const bool kept = marked && SyncJob(jobIds[i]);
        // Nothing of a failed appointment stays on either side; where the database cannot go
        // back to its point (or the engine gave up the whole transaction, a full disk for
        // one), nothing of the run does.
        if (!kept) batch.RollbackTo(mark);
        if (!marked || !c.InTransaction() || (!kept && !c.RollbackToSavepoint(kAppointmentSavepoint)) ||
            !c.ReleaseSavepoint(kAppointmentSavepoint)) {
            Log(DatabaseFailureLine(db::LastError()));
            return GiveUp(batch, total, true);
        }
        if (log_) log_->PB1->setValue(static_cast<int>(100LL * (i + 1) / total));
    }
    // The file first: a run stopped between the two leaves entries that the next run finds
    // again by their names, where the other order would leave references to entries never made.
    if (!batch.Commit()) {
        Log(outlook::LastError());
        return GiveUp(batch, total, true);
    }
    if (!DbConnection().CommitTrans()) {
        Log(DatabaseFailureLine(DbConnection().LastError()));
        if (batch.Restore()) {
            Log(kNothingChanged);
        } else {
            Log(NotPutBackLine(outlook::LastError()));
        }
        failures_ = total;
    }
    Log(ClosingLine(failures_, total));
    return failures_;
}

bool Synchroniser::SyncJob(int JobID) {
    SyncFlag = 0;
    job_ = {};
    relinked_ = false;
    OutlookItem.reset();
    if (!OpenOutlook()) return Failed(JobID, outlook::LastError());
    if (!LoadJobForSync(JobID)) return false;
    if (!job_.OutlookRef.isEmpty()) return SyncExistingEntry(JobID);
    const QString uid = EntryUid(databaseId_, JobID);
    if (OutlookNamespace->GetItemFromID(uid)) return RelinkEntry(JobID, uid);
    return CreateOutlookEntry(JobID);
}

bool Synchroniser::RelinkEntry(int JobID, const QString& uid) {
    if (!StoreEntryRef(JobID, uid)) return false;
    job_.OutlookRef = uid;
    relinked_ = true;
    return SyncExistingEntry(JobID);
}

bool Synchroniser::OpenOutlook() {
    OutlookApp.emplace();
    if (OutlookApp->Name() != QStringLiteral("Outlook")) {
        // Once a run: every appointment after the first fails for the same reason.
        if (!notInstalledShown_) ui::MsgBox(kNotInstalled, ui::vbCritical, QString(), owner_);
        notInstalledShown_ = true;
        return false;
    }
    OutlookNamespace = OutlookApp->GetNamespace(QStringLiteral("MAPI"));
    if (OutlookNamespace)
        OutlookCalendarFolder = OutlookNamespace->GetDefaultFolder(outlook::olFolderCalendar);
    return OutlookNamespace.has_value();
}

bool Synchroniser::LoadJobForSync(int JobID) {
    db::Recordset rs;
    rs.OpenWith(
        QStringLiteral(
            "SELECT JobDetails.Start, JobDetails.Finish, JobDetails.Description, "
            "JobDetails.Outlook_REF, JobDetails.Outlook_LastUpdate, JobDetails.InvoiceNumber, "
            "Companies.CompanyName, Companies.Postal_AddressStreet, "
            "Companies.Postal_AddressTown, Companies.Postal_AddressCounty, "
            "Companies.Postal_AddressCountry, Companies.Postal_AddressPostcode ") +
            QStringLiteral("FROM Companies INNER JOIN JobDetails ON Companies.CompanyID = "
                           "JobDetails.CustomerID Where jobdetails.JobID = ?"),
        DbConnection(), {JobID}, db::adOpenDynamic, db::adLockReadOnly);
    if (rs.State() != db::adStateOpen || rs.Eof())
        return Failed(JobID, QStringLiteral("the appointment or its customer was not found"));
    job_.Start = DateValue(rs.Value(QStringLiteral("Start")));
    job_.Finish = DateValue(rs.Value(QStringLiteral("Finish")));
    job_.Description = rs.Fields(QStringLiteral("Description")).Text();
    job_.OutlookRef = rs.Fields(QStringLiteral("Outlook_REF")).Text();
    job_.OutlookLastUpdate = DateValue(rs.Value(QStringLiteral("Outlook_LastUpdate")));
    job_.InvoiceNumber = rs.Value(QStringLiteral("InvoiceNumber")).toLongLong();
    job_.CompanyName = rs.Fields(QStringLiteral("CompanyName")).Text();
    QStringList address;
    for (const char* part : {"Street", "Town", "County", "Country", "Postcode"})
        address << rs.Fields(QStringLiteral("Postal_Address") + QLatin1String(part)).Text();
    job_.Location = JoinLocation(address);
    if (!job_.Start.isValid() || !job_.Finish.isValid())
        return Failed(JobID, QStringLiteral("the appointment has no start or finish"));
    return true;
}

bool Synchroniser::CreateOutlookEntry(int JobID) {
    SyncCategory = OwnerCompanyName;
    OutlookItem = OutlookApp->CreateItem(outlook::olAppointmentItem);
    if (!OutlookItem) return Failed(JobID, outlook::LastError());
    OutlookItem->SetEntryID(EntryUid(databaseId_, JobID));
    Log(kCreating + QString::number(JobID));
    return WriteAppointment(JobID) && RecordSync(QStringLiteral("new"), kSchedule, JobID);
}

bool Synchroniser::WriteAppointment(int JobID) {
    OutlookItem->SetStart(job_.Start);
    OutlookItem->SetEnd(job_.Finish);
    OutlookItem->SetSubject(SubjectText(OwnerCompanyName, job_.CompanyName));
    OutlookItem->SetLocation(job_.Location);
    OutlookItem->SetBody(job_.Description);
    OutlookItem->SetCategories(SyncCategory);
    if (!OutlookItem->Save()) return Failed(JobID, outlook::LastError());
    return true;
}

void Synchroniser::ForgetEntry(int JobID) {
    DbConnection().Execute(
        QStringLiteral("UPDATE JobDetails SET Outlook_REF = NULL WHERE JobID = ?"), {JobID});
    DbConnection().Execute(QStringLiteral("DELETE FROM sync WHERE RecordID = ?"), {JobID});
}

bool Synchroniser::SyncExistingEntry(int JobID) {
    OutlookItem = OutlookNamespace->GetItemFromID(job_.OutlookRef);
    if (!OutlookItem) {
        ForgetEntry(JobID);
        Failed(JobID, QStringLiteral("its calendar entry no longer exists; the next "
                                     "synchronisation creates it again"));
        return true;  // the forgetting stands
    }
    const QDateTime lastSync = GetLastSyncDate(JobID);
    Log(kExists);
    SyncFlag = ChangeFlag(job_.OutlookLastUpdate, OutlookItem->LastModificationTime(), lastSync);
    // Both written alike since the last known synchronisation (a run whose database side was
    // lost wrote the entry): there is nothing to copy and nothing to ask.
    bool record = false;
    if (SyncFlag == kConflict && (lastSync.isValid() || relinked_) && SameOnBothSides()) {
        SyncFlag = 0;
        record = true;
    }
    if (job_.InvoiceNumber != 0 && (SyncFlag & kOutlookChanged)) {
        // Invoiced work is fixed: the calendar gets the database's version back.
        Log(InvoicedLine(JobID));
        SyncFlag = kDatabaseChanged;
    }
    if (SyncFlag == kConflict) {
        Log(kBothChanged);
        ShowSyncConflict();
    }
    if (SyncFlag == kDatabaseChanged) {
        Log(kDatabaseWins);
        SyncCategory = OwnerCompanyName;
        return WriteAppointment(JobID) && RecordSync(QStringLiteral("update"), kSchedule, JobID);
    }
    if (SyncFlag == kOutlookChanged) {
        Log(kOutlookWins);
        return UpdateJobFromOutlook(JobID) &&
               RecordSync(QStringLiteral("update"), kSchedule, JobID);
    }
    Log(NoChangesLine(JobID));
    return !record ||
           RecordSync(lastSync.isValid() ? QStringLiteral("update") : QStringLiteral("new"),
                      kSchedule, JobID);
}

bool Synchroniser::SameOnBothSides() const {
    return OutlookItem->Start() == job_.Start && OutlookItem->End() == job_.Finish &&
           SameText(OutlookItem->Body(), job_.Description) &&
           OutlookItem->Subject() == SubjectText(OwnerCompanyName, job_.CompanyName) &&
           OutlookItem->Location() == job_.Location &&
           OutlookItem->Categories() == OwnerCompanyName;
}

bool Synchroniser::UpdateJobFromOutlook(int JobID) {
    const QString refusal = CalendarTimesRefusal(OutlookItem->Start(), OutlookItem->End());
    if (!refusal.isEmpty()) return Failed(JobID, refusal);
    int changed = 0;
    if (!DbConnection().Execute(
            QStringLiteral("UPDATE JobDetails SET Description = ?, Start = ?, finish = ?, "
                           "outlook_lastupdate = ? WHERE JobID = ?"),
            {OutlookItem->Body(), OutlookItem->Start(), OutlookItem->End(),
             OutlookItem->LastModificationTime(), JobID},
            &changed))
        return Failed(JobID, QStringLiteral("Error: ") + DbConnection().LastError());
    if (changed != 1)
        return Failed(JobID, QStringLiteral("Error: the appointment no longer exists"));
    return true;
}

bool Synchroniser::RecordSync(const QString& syncType, const QString& recordType, int JobID) {
    const QDateTime modified = OutlookItem->LastModificationTime();
    db::Recordset rs;
    // One row per appointment, whatever an earlier version left.
    bool ok = rs.OpenWith(QStringLiteral("SELECT * FROM sync WHERE RecordID = ?"), DbConnection(),
                          {JobID}, db::adOpenDynamic, db::adLockOptimistic);
    if (ok && rs.Eof()) ok = rs.AddNew();
    ok = ok && rs.SetValue(QStringLiteral("RecordType"), recordType) &&
         rs.SetValue(QStringLiteral("RecordID"), JobID) &&
         rs.SetValue(QStringLiteral("LastSyncDate"), modified) &&
         rs.SetValue(QStringLiteral("synctype"), syncType) && rs.Update();
    if (!ok)
        return Failed(
            JobID, QStringLiteral("the synchronisation could not be recorded: ") + db::LastError());
    return syncType != QStringLiteral("new") || StoreEntryRef(JobID, OutlookItem->EntryID());
}

bool Synchroniser::StoreEntryRef(int JobID, const QString& ref) {
    int changed = 0;
    if (DbConnection().Execute(
            QStringLiteral("UPDATE JobDetails SET Outlook_REF = ? WHERE JobID = ?"), {ref, JobID},
            &changed) &&
        changed == 1)
        return true;
    return Failed(JobID,
                  QStringLiteral("the synchronisation could not be recorded: ") + db::LastError());
}

QDateTime Synchroniser::GetLastSyncDate(int JobID) {
    db::Recordset rs;
    if (!rs.OpenWith(QStringLiteral("SELECT LastSyncDate FROM sync WHERE RecordID = ?"),
                     DbConnection(), {JobID}, db::adOpenStatic, db::adLockReadOnly) ||
        rs.Eof())
        return {};
    return DateValue(rs.Fields(0).Value());
}

void Synchroniser::ShowSyncConflict() {
    Conflict_Manager* dialog = Forms::get<Conflict_Manager>(owner_);
    dialog->OLStart->setText(FormatShortDateTime(OutlookItem->Start()));
    dialog->OLFinish->setText(FormatShortDateTime(OutlookItem->End()));
    dialog->OLDescription->setPlainText(OutlookItem->Body());
    dialog->DBStart->setText(FormatShortDateTime(job_.Start));
    dialog->DBFinish->setText(FormatShortDateTime(job_.Finish));
    dialog->DBDescription->setPlainText(job_.Description);
    dialog->exec();
    Forms::unload<Conflict_Manager>();
}

}  // namespace outlooksync
