#include "synchronise.h"

#include <QPlainTextEdit>

#include "core/formatting.h"
#include "core/forms.h"
#include "core/globals.h"
#include "diary/Conflict_Manager.h"
#include "diary/syncrules.h"
#include "platform/db/recordset.h"
#include "platform/ui/prompts.h"

namespace outlooksync {

namespace {

const QString kSchedule = QStringLiteral("schedule");

}  // namespace

bool Synchroniser::SyncJob(int JobID) {
    SyncFlag = 0;
    job_ = {};
    relinked_ = false;
    OutlookItem.reset();
    if (!OpenOutlook()) return Stop(outlook::LastError());
    if (!LoadJobForSync(JobID)) return false;
    if (!job_.OutlookRef.isEmpty()) return SyncExistingEntry(JobID);
    return TakeUpOrCreate(JobID);
}

bool Synchroniser::TakeUpOrCreate(int JobID) {
    // Another appointment's entry may hold this one's name: the database was put back from
    // a copy older than it, and the number came round again. The next name is tried.
    constexpr int kNames = 100;
    for (int copy = 1; copy <= kNames; ++copy) {
        const QString uid = EntryUid(databaseId_, JobID, copy);
        OutlookItem = OutlookNamespace->GetItemFromID(uid);
        if (!OutlookItem) return CreateOutlookEntry(JobID, uid);
        if (WrittenFromJob()) return RelinkEntry(JobID, uid);
    }
    return Failed(JobID, QStringLiteral("the calendar holds %1 other entries under its names")
                             .arg(kNames));
}

bool Synchroniser::WrittenFromJob() const {
    return OutlookItem->Start() == job_.Start && OutlookItem->End() == job_.Finish &&
           SameText(OutlookItem->Body(), job_.Description);
}

bool Synchroniser::RelinkEntry(int JobID, const QString& uid) {
    if (!StoreEntryRef(JobID, uid)) return false;
    job_.OutlookRef = uid;
    relinked_ = true;
    return SyncExistingEntry(JobID);
}

bool Synchroniser::OpenOutlook() {
    // Started once a run; the calendar file is still read again whenever it changed.
    if (OutlookApp && OutlookNamespace) return true;
    OutlookApp.emplace();
    if (OutlookApp->Name() != QStringLiteral("Outlook")) {
        OutlookApp.reset();
        return false;
    }
    OutlookNamespace = OutlookApp->GetNamespace(QStringLiteral("MAPI"));
    if (OutlookNamespace)
        OutlookCalendarFolder = OutlookNamespace->GetDefaultFolder(outlook::olFolderCalendar);
    return OutlookNamespace.has_value();
}

bool Synchroniser::LoadJobForSync(int JobID) {
    auto found = preloaded_.constFind(JobID);
    QHash<int, Job> read;
    if (found == preloaded_.cend()) {
        QString error;
        if (!Preload({JobID}, &read, &error) || !read.contains(JobID))
            return Failed(JobID, QStringLiteral("the appointment or its customer was not found"));
        found = read.constFind(JobID);
    }
    job_ = *found;
    if (!job_.Start.isValid() || !job_.Finish.isValid())
        return Failed(JobID, QStringLiteral("the appointment has no start or finish"));
    return true;
}

bool Synchroniser::CreateOutlookEntry(int JobID, const QString& uid) {
    SyncCategory = OwnerCompanyName;
    OutlookItem = OutlookApp->CreateItem(outlook::olAppointmentItem);
    if (!OutlookItem) return Failed(JobID, outlook::LastError());
    OutlookItem->SetEntryID(uid);
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
    if (!Mark()) return;
    DbConnection().Execute(
        QStringLiteral("UPDATE JobDetails SET Outlook_REF = NULL WHERE JobID = ?"), {JobID});
    DbConnection().Execute(QStringLiteral("DELETE FROM sync WHERE RecordID = ?"), {JobID});
    job_.syncRows = 0;
}

bool Synchroniser::SyncExistingEntry(int JobID) {
    OutlookItem = OutlookNamespace->GetItemFromID(job_.OutlookRef);
    if (!OutlookItem) {
        // A file that went (or is being written again by another program) is no sign that
        // entries were deleted; only one that still holds others is.
        const QString problem = OutlookNamespace->CalendarProblem();
        if (!problem.isEmpty()) return Stop(CalendarGoneLine(problem));
        ForgetEntry(JobID);
        Failed(JobID, QStringLiteral("its calendar entry no longer exists; the next "
                                     "synchronisation creates it again"));
        return true;  // the forgetting stands
    }
    const QDateTime lastSync = GetLastSyncDate(JobID);
    Log(kExists);
    SyncFlag = ChangeFlag(job_.OutlookLastUpdate, OutlookItem->LastModificationTime(), lastSync);
    // Both written alike since the last known synchronisation (a run whose database side was
    // lost wrote the entry): there is nothing to copy and nothing to ask. An entry taken up
    // by its name holds the appointment's times and text: the database's version stands.
    bool record = false;
    if (SyncFlag == kConflict && (lastSync.isValid() || relinked_) && SameOnBothSides()) {
        SyncFlag = 0;
        record = true;
    } else if (relinked_) {
        SyncFlag = kDatabaseChanged;
    } else if (SyncFlag == kDatabaseChanged && SameOnBothSides()) {
        // Nothing to copy: the entry holds what would be written (a change time ahead of the
        // clock would otherwise have it written again at every run).
        SyncFlag = 0;
    }
    if (job_.InvoiceNumber != 0 && (SyncFlag & kOutlookChanged)) {
        // Invoiced work is fixed: the calendar gets the database's version back.
        Log(InvoicedLine(JobID));
        SyncFlag = kDatabaseChanged;
    }
    if (SyncFlag == kConflict) {
        Log(kBothChanged);
        ShowLog();
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
    if (!refusal.isEmpty()) {
        // Said once: the sync row takes this version of the entry as seen, so that only a
        // later change of it is looked at again.
        Failed(JobID, refusal);
        return true;
    }
    int changed = 0;
    if (!Mark()) return false;
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
    if (!Mark()) return false;
    // One row per appointment, whatever an earlier version left.
    int changed = 0;
    bool ok = job_.syncRows == 0 ||
              DbConnection().Execute(QStringLiteral("UPDATE sync SET RecordType = ?, "
                                                    "LastSyncDate = ?, synctype = ? WHERE "
                                                    "RecordID = ?"),
                                     {recordType, modified, syncType, JobID}, &changed);
    if (ok && changed == 0)
        ok = DbConnection().Execute(QStringLiteral("INSERT INTO sync (RecordType, RecordID, "
                                                   "LastSyncDate, synctype) VALUES (?, ?, ?, ?)"),
                                    {recordType, JobID, modified, syncType});
    if (!ok)
        return Failed(JobID, QStringLiteral("the synchronisation could not be recorded: ") +
                                 DbConnection().LastError());
    job_.syncRows = 1;
    return syncType != QStringLiteral("new") || StoreEntryRef(JobID, OutlookItem->EntryID());
}

bool Synchroniser::StoreEntryRef(int JobID, const QString& ref) {
    int changed = 0;
    if (Mark() && DbConnection().Execute(
            QStringLiteral("UPDATE JobDetails SET Outlook_REF = ? WHERE JobID = ?"), {ref, JobID},
            &changed) &&
        changed == 1)
        return true;
    return Failed(JobID,
                  QStringLiteral("the synchronisation could not be recorded: ") + db::LastError());
}

QDateTime Synchroniser::GetLastSyncDate(int JobID) {
    Q_UNUSED(JobID);  // read with the appointment
    return job_.LastSync;
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
