// The synchronisation run: one transaction and one calendar batch around every appointment,
// given up on both sides together.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QThread>
#include <QUuid>

#include "core/forms.h"
#include "core/frmInfo.h"
#include "core/globals.h"
#include "diary/synchronise.h"
#include "diary/syncrules.h"
#include "platform/db/recordset.h"
#include "platform/ui/prompts.h"

namespace outlooksync {

namespace {

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

void Synchroniser::Log(const QString& line) { pendingLog_ << line; }

void Synchroniser::ShowLog() {
    // Lines reach the window together: one appended text costs about what one line does.
    if (log_ && !pendingLog_.isEmpty()) log_->AddLog(pendingLog_.join(QStringLiteral("\r\n")));
    pendingLog_.clear();
}

bool Synchroniser::Failed(int JobID, const QString& reason) {
    ++failures_;
    Log(FailureLine(JobID, reason));
    return false;
}

bool Synchroniser::Stop(const QString& reason) {
    if (stop_.isEmpty()) stop_ = reason;
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
    ShowLog();
    return failures_;
}

namespace {

// "?, ?, ..." for `ids`, with the values to bind.
QString Marks(const QList<int>& ids, QVariantList* values) {
    QStringList marks;
    for (int id : ids) {
        marks << QStringLiteral("?");
        *values << id;
    }
    return marks.join(u',');
}

}  // namespace

QString JobsReadSql() {
    return QStringLiteral(
        "SELECT JobDetails.JobID, JobDetails.Start, JobDetails.Finish, JobDetails.Description, "
        "JobDetails.Outlook_REF, JobDetails.Outlook_LastUpdate, JobDetails.InvoiceNumber, "
        "Companies.CompanyName, Companies.Postal_AddressStreet, Companies.Postal_AddressTown, "
        "Companies.Postal_AddressCounty, Companies.Postal_AddressCountry, "
        "Companies.Postal_AddressPostcode FROM Companies INNER JOIN JobDetails ON "
        "Companies.CompanyID = JobDetails.CustomerID WHERE JobDetails.JobID IN (%1)");
}

QString SyncRowsReadSql() {
    return QStringLiteral("SELECT RecordID, LastSyncDate FROM sync WHERE RecordID IN (%1)");
}

bool Synchroniser::Preload(const QList<int>& jobIds, QHash<int, Job>* into, QString* error) {
    // Each statement binds at most as many values as the engine takes.
    constexpr qsizetype kChunk = 10000;
    for (qsizetype from = 0; from < jobIds.size(); from += kChunk) {
        QVariantList ids;
        const QString in = Marks(jobIds.mid(from, kChunk), &ids);
        db::Recordset rs;
        if (!rs.OpenWith(JobsReadSql().arg(in), DbConnection(), ids, db::adOpenStatic,
                         db::adLockReadOnly)) {
            *error = db::LastError();
            return false;
        }
        for (int r = 0, n = rs.RecordCount(); r < n; ++r) {
            const auto at = [&](int f) { return rs.ValueAt(r, f); };
            Job j;
            j.Start = DateValue(at(1));
            j.Finish = DateValue(at(2));
            j.Description = at(3).toString();
            j.OutlookRef = at(4).toString();
            j.OutlookLastUpdate = DateValue(at(5));
            j.InvoiceNumber = at(6).toLongLong();
            j.CompanyName = at(7).toString();
            QStringList address;
            for (int f = 8; f < 13; ++f) address << at(f).toString();
            j.Location = JoinLocation(address);
            into->insert(at(0).toInt(), j);
        }
        // The sync rows in one pass over the table, which has no index to find one by.
        db::Recordset sync;
        if (!sync.OpenWith(SyncRowsReadSql().arg(in), DbConnection(), ids, db::adOpenStatic,
                           db::adLockReadOnly)) {
            *error = db::LastError();
            return false;
        }
        for (int r = 0, n = sync.RecordCount(); r < n; ++r) {
            const auto found = into->find(sync.ValueAt(r, 0).toInt());
            if (found == into->end()) continue;
            const QDateTime at = DateValue(sync.ValueAt(r, 1));
            // The first row read alone would be any of them: the earliest asks the most.
            if (found->syncRows++ == 0 || (at.isValid() && at < found->LastSync))
                found->LastSync = at;
        }
    }
    return true;
}

bool Synchroniser::Mark() {
    if (!marked_ && !markFailed_) {
        marked_ = DbConnection().Savepoint(kAppointmentSavepoint);
        markFailed_ = !marked_;
    }
    return marked_;
}

int Synchroniser::Run(const QList<int>& jobIds) {
    if (log_) {
        log_->Timer1->stop();
        log_->show();
        log_->SetLog(kBegin);
        log_->PB1->setValue(0);
    }
    failures_ = 0;
    stop_.clear();
    OutlookApp.reset();
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
    preloaded_.clear();
    if (!Preload(jobIds, &preloaded_, &error)) {
        Log(DatabaseFailureLine(error));
        return GiveUp(batch, total, true);
    }
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    for (int i = 0; i < total; ++i) {
        // The windows are painted and the log can be pressed between appointments, a few dozen
        // times a second rather than at every one.
        if (i == 0 || sinceEvents.elapsed() >= 40) {
            ShowLog();
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
        if (AbortRequested) {
            batch.Discard();
            DbConnection().RollbackTrans();
            Log(kStopped);
            ShowLog();
            return failures_ = total;
        }
        const int mark = batch.Savepoint();
        db::Connection& c = DbConnection();
        marked_ = markFailed_ = false;
        const bool kept = SyncJob(jobIds[i]);
        preloaded_.remove(jobIds[i]);  // a second turn of the same appointment reads it anew
        if (!stop_.isEmpty()) {
            // Once, with its real reason: it holds for every appointment. The log is shown
            // in full before the box waits on it.
            Log(stop_);
            const int failed = GiveUp(batch, total, true);
            QCoreApplication::processEvents();
            ui::MsgBox(stop_, ui::vbCritical, QString(), owner_);
            return failed;
        }
        // Nothing of a failed appointment stays on either side; where the database cannot go
        // back to its point (or the engine gave up the whole transaction, a full disk for
        // one), nothing of the run does.
        if (!kept) batch.RollbackTo(mark);
        if (markFailed_ || !c.InTransaction() ||
            (marked_ && ((!kept && !c.RollbackToSavepoint(kAppointmentSavepoint)) ||
                         !c.ReleaseSavepoint(kAppointmentSavepoint)))) {
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
    ShowLog();
    return failures_;
}

}  // namespace outlooksync
