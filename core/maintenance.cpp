#include "maintenance.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include "core/forms.h"
#include "core/frmInfo.h"
#include "core/frmSplash.h"
#include "core/globals.h"
#include "platform/db/autonumber.h"
#include "platform/db/compact.h"
#include "platform/db/recordset.h"

namespace {

const QString CRLF = QStringLiteral("\r\n");

// Lets key and mouse presses reach the log window while the job waits.
void WaitResponsive(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void Add(const QPointer<frmInfo>& info, const QString& line) {
    if (info) info->AddLog(line);
}

}  // namespace

QString RepairFilePath(const QString& databasePath) {
    const QFileInfo db(databasePath);
    const QDir folder = db.absoluteDir();
    QString path = folder.filePath(QStringLiteral("repair.mdb"));
    if (QFileInfo(path) == db) path = folder.filePath(QStringLiteral("repair~.mdb"));
    return path;
}

void CompactAndRepairDatabase() {
    QPointer<frmInfo> info = Forms::get<frmInfo>();
    info->Timer1->stop();
    info->show();
    info->SetLog(QStringLiteral("Begining Compact and Repair of Jet 4 Database... "));

    const QString path = db::ConnectionStringValue(DbConnection().ProviderConnectString(), QStringLiteral("DBQ"));
    DbConnection().Close();
    const QString repair = RepairFilePath(path);
    QString error;
    auto failed = [&](const QString& why) {
        Add(info, QStringLiteral("An error occured whilst executing:"));
        Add(info, why);
        Forms::unload<frmSplash>();
    };

    // No other program may write the file between its copy and the copy's return.
    db::DatabaseLock alone;
    if (!alone.Acquire(path, db::DatabaseLock::Exclusive, &error)) return failed(error);

    Add(info, QStringLiteral("Deleting old repair file..."));
    if (QFile::exists(repair) && !QFile::remove(repair))
        return failed(QStringLiteral("Could not delete the old repair file '%1'.").arg(repair));
    Add(info, QStringLiteral("Done"));

    Add(info, QStringLiteral("Begining compact & repair process..."));
    if (!db::CompactDatabase(path, repair, &error)) return failed(error);
    Add(info, QStringLiteral("Done"));
    // Only a copy that passed its check is written back, into the original file itself.
    const bool written = db::CopyDatabaseInto(repair, path, &error);
    QFile::remove(repair);
    if (!written) return failed(error);

    Add(info, QStringLiteral("Compact and Repair completed successfuly"));
    if (info) info->Timer1->start();
    Forms::unload<frmSplash>();
    AbortRequested = true;
}

void ResetInvoiceNumber() {
    const qint64 n = StartInvoiceNumber;
    QPointer<frmInfo> info = Forms::get<frmInfo>();
    info->Timer1->stop();
    info->show();
    info->SetLog(QStringLiteral("Invoice Number will be set to: ") + QString::number(n) + CRLF +
                 QStringLiteral("Begining conversion of invoice number...") + CRLF + QStringLiteral("Press any key to abort"));

    const QString base = info->LogText();
    // Only the countdown can be stopped by closing the window.
    info->JobRunning = true;
    for (int remaining = 10; remaining >= 1; --remaining) {
        if (info) info->SetLog(base + CRLF + QString::number(remaining) + QStringLiteral(" seconds..."));
        WaitResponsive(CountdownStepMs);
        if (AbortRequested || !info || !info->isVisible()) {
            Add(info, QStringLiteral("Key press detected, operation aborted"));
            Forms::unload<frmInfo>();
            AbortRequested = false;  // after the unload, whose close also asks to stop
            return;
        }
    }
    if (info) info->JobRunning = false;

    auto failed = [&](const QString& why) {
        DbConnection().Close();
        Add(info, QStringLiteral("An error occured when updating:"));
        Add(info, why);
    };
    Add(info, QStringLiteral("Executing..."));
    db::Connection& conn = DbConnection();

    // Numbers already given cannot be given again: say so rather than report a change.
    const auto next = db::NextAutoNumber(conn, QStringLiteral("Billing"));
    if (!next) return failed(db::LastError().isEmpty() ? QStringLiteral("The invoice numbers cannot be read.") : db::LastError());
    if (n <= *next) {
        Add(info, n == *next ? QStringLiteral("The next invoice is already number %1; nothing was changed.").arg(n)
                             : QStringLiteral("Invoice numbers have already reached %1, so the next invoice will be "
                                              "number %2; nothing was changed.")
                                   .arg(*next - 1)
                                   .arg(*next));
        Forms::unload<frmSplash>();
        AbortRequested = true;
        conn.Close();
        return;
    }

    db::Recordset companies;
    if (!companies.Open(QStringLiteral("select companyid, companyname from companies"), conn, db::adOpenDynamic,
                        db::adLockOptimistic))
        return failed(companies.LastError());
    if (companies.Eof()) {
        if (!companies.AddNew() || !companies.SetValue(QStringLiteral("companyname"), QStringLiteral("Dummy Record")) ||
            !companies.Update())
            return failed(companies.LastError());
        Add(info, QStringLiteral("To ensure database continuity a dummy record has been inserted, you can change the "
                                 "information in the Companies form"));
        companies.MoveFirst();
    }
    const QVariant companyId = companies.Value(QStringLiteral("companyid"));
    companies.Close();

    const qint64 seed = n - 1;
    StartInvoiceNumber = static_cast<int>(seed);
    db::Recordset command;
    if (!command.Open(QStringLiteral("INSERT INTO Billing ( InvoiceNumber, CompanyID ) SELECT ") + QString::number(seed) +
                          QStringLiteral(" AS InvoiceNumber, ") + QString::number(companyId.toLongLong()) +
                          QStringLiteral(" AS CoID;"),
                      conn))
        return failed(command.LastError());
    Add(info, QStringLiteral("Record Inserted OK... removing record for continuity..."));
    if (!command.Open(QStringLiteral("DELETE Billing.InvoiceNumber From Billing WHERE (((Billing.InvoiceNumber)=") +
                          QString::number(seed) + QStringLiteral("));"),
                      conn))
        return failed(command.LastError());
    Add(info, QStringLiteral("Operation completed sucessfuly"));
    Forms::unload<frmSplash>();
    AbortRequested = true;
    conn.Close();
}
