#include "synchronise.h"

#include <QPlainTextEdit>
#include <QProgressBar>

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

int Synchroniser::Run(const QList<int>& jobIds) {
    if (log_) {
        log_->Timer1->stop();
        log_->show();
        log_->SetLog(kBegin);
        log_->PB1->setValue(0);
    }
    failures_ = 0;
    // The calendar file and the database take the run's changes together at its end: with
    // one write of the file and one commit, and with neither when the file cannot be written.
    outlook::WriteBatch batch;
    const bool transaction = DbConnection().BeginTrans();
    for (int i = 0; i < jobIds.size(); ++i) {
        SyncJob(jobIds[i]);
        if (log_) log_->PB1->setValue(static_cast<int>(100LL * (i + 1) / jobIds.size()));
    }
    if (!batch.Commit()) {
        Log(outlook::LastError());
        if (transaction && DbConnection().RollbackTrans())
            failures_ = static_cast<int>(jobIds.size());
        else
            ++failures_;
    } else if (transaction && !DbConnection().CommitTrans()) {
        Log(DbConnection().LastError());
        ++failures_;
    }
    Log(ClosingLine(failures_, static_cast<int>(jobIds.size())));
    return failures_;
}

bool Synchroniser::SyncJob(int JobID) {
    SyncFlag = 0;
    job_ = {};
    OutlookItem.reset();
    if (!OpenOutlook()) return Failed(JobID, outlook::LastError());
    if (!LoadJobForSync(JobID)) return false;
    return job_.OutlookRef.isEmpty() ? CreateOutlookEntry(JobID) : SyncExistingEntry(JobID);
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
        return Failed(JobID, QStringLiteral("its calendar entry no longer exists; the next "
                                            "synchronisation creates it again"));
    }
    const QDateTime lastSync = GetLastSyncDate(JobID);
    Log(kExists);
    SyncFlag = ChangeFlag(job_.OutlookLastUpdate, OutlookItem->LastModificationTime(), lastSync);
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
    return true;
}

bool Synchroniser::UpdateJobFromOutlook(int JobID) {
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
    if (ok && syncType == QStringLiteral("new")) {
        int changed = 0;
        ok = DbConnection().Execute(
                 QStringLiteral("UPDATE JobDetails SET Outlook_REF = ? WHERE JobID = ?"),
                 {OutlookItem->EntryID(), JobID}, &changed) &&
             changed == 1;
    }
    if (!ok)
        return Failed(
            JobID, QStringLiteral("the synchronisation could not be recorded: ") + db::LastError());
    return true;
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
