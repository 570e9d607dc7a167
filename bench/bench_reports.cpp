// Times the year's reports and the year-end export on a 1x and a 16x database: the invoice
// report and the expense report of the last full financial year, each from its set-up to the
// preview's first page on the screen and to the whole of it written to PDF, the printed invoice
// to PDF, and the four year-end files written. Each is set against the bare SQLite read of all
// the rows it shows.
#include <QDir>
#include <QEventLoop>
#include <QPrinter>
#include <QTextStream>

#include "accounts/Invoice_system.h"
#include "accounts/Rpt_Expense.h"
#include "accounts/Rpt_Invoice.h"
#include "accounts/expenserules.h"
#include "accounts/yearend.h"
#include "bench/sidebyside.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "platform/report/preview.h"

namespace {

QString Day(const QDate& d) { return d.toString(Qt::ISODate); }

// The expense report's rows as SQLite is best asked for them: the expenses dated in the
// year and tied to no job, then the expenses of the year's jobs.
std::string ExpenseSql(const QDate& start, double perMile) {
    const QString subT =
        QStringLiteral("CASE WHEN o.Milage = 0 THEN o.Amount ELSE o.Milage * %1 END").arg(perMile);
    const QString columns =
        QStringLiteral(
            "SELECT o.RecordID, CASE WHEN j.Start IS NULL THEN o.Date "
            "ELSE j.Start || ' to ' || j.Finish END AS Dates, c.CompanyName, o.Type, "
            "o.Description, o.Milage, %1 AS SubT, %1 * 0.2 AS VAT, %1 * 1.2 AS SubTotal, "
            "CASE WHEN o.Reciept = 0 THEN 'No' ELSE 'Yes' END ")
            .arg(subT);
    return (columns +
            QStringLiteral("FROM Outgoings o LEFT JOIN JobDetails j ON j.JobID = o.ScheduleID "
                           "LEFT JOIN Companies c ON c.CompanyID = j.CustomerID "
                           "WHERE o.Date >= '%1' AND o.Date < '%2' AND j.Start IS NULL UNION ALL ") +
            columns +
            QStringLiteral("FROM JobDetails j INNER JOIN Outgoings o ON j.JobID = o.ScheduleID "
                           "LEFT JOIN Companies c ON c.CompanyID = j.CustomerID "
                           "WHERE +o.Date IS NULL AND j.Start >= '%1' AND j.Start < '%2'"))
        .arg(Day(start), Day(start.addYears(1)))
        .toStdString();
}

std::string InvoiceReportSql(const QDate& start) {
    return QStringLiteral(
               "SELECT b.InvoiceNumber, b.PaymentDate, b.InvoiceAmount, b.InvoiceAmount * 0.2 AS "
               "VAT, b.InvoiceAmount * 1.2 AS subTotal, c.CompanyName "
               "FROM Companies c INNER JOIN Billing b ON c.CompanyID = b.CompanyID "
               "WHERE b.PaymentDate >= '%1' AND b.PaymentDate < '%2'")
        .arg(Day(start), Day(start.addYears(1)))
        .toStdString();
}

std::string PrintedInvoiceSql(int number) {
    return QStringLiteral(
               "SELECT b.*, c.* FROM Companies c INNER JOIN Billing b "
               "ON c.CompanyID = b.CompanyID WHERE b.InvoiceNumber = %1; ")
        .arg(number)
        .toStdString();
}

std::string PrintedWorkSql(int number) {
    return QStringLiteral("SELECT * FROM JobDetails WHERE InvoiceNumber = %1").arg(number).toStdString();
}

// The year-end's invoice rows: those paid in the year.
std::string PaidInvoicesSql(const QDate& start) {
    return QStringLiteral(
               "SELECT b.InvoiceNumber, c.CompanyName, b.BillingDate, b.PaymentDueDate, "
               "b.PaymentDate, b.InvoiceAmount FROM Companies c INNER JOIN Billing b "
               "ON c.CompanyID = b.CompanyID WHERE b.PaymentDate >= '%1' AND b.PaymentDate < '%2'")
        .arg(Day(start), Day(start.addYears(1)))
        .toStdString();
}

// Set-up, layout and PDF of a fresh report.
template <class R, class Init>
double TimeReport(int runs, const QString& pdf, Init init) {
    return bench::TimeMedian(runs, [&] {
        R r;
        init(r);
        r.WritePdf(pdf);
    });
}

// From the set-up of a fresh report to its preview's first page painted on the screen, as
// after the menu command: the rows read, the page count known, the first page made and drawn.
template <class R, class Init>
double TimePreview(int runs, Init init) {
    return bench::TimeMedian(runs, [&] {
        R r;
        init(r);
        QPrinter printer(QPrinter::HighResolution);
        report::PreviewDialog preview(r, printer);
        QEventLoop shown;
        QObject::connect(&preview, &report::PreviewDialog::pageShown, &shown, &QEventLoop::quit);
        QObject::connect(&preview, &QDialog::finished, &shown, &QEventLoop::quit);
        preview.show();
        shown.exec();
    });
}

int Measure(const QString& folder, int runs, bench::Figures* f) {
    const QDir dir(folder);
    const QString path = dir.filePath(QStringLiteral("ambrelle.mdb"));
    DbConnection().SetCursorLocation(db::adUseClient);
    if (!DbConnection().Open(QStringLiteral("DBQ=") + path)) {
        QTextStream(stderr) << "could not open " << path << ": " << DbConnection().LastError() << "\n";
        return 1;
    }
    OwnerCompanyName = QStringLiteral("Benchmark Ltd");
    VatMultiplier = 1.2;
    // The last full financial year, which the generated data covers.
    const QDate today = QDate::currentDate();
    FinYearStart = QDate(today.month() >= 4 ? today.year() - 1 : today.year() - 2, 4, 1);
    db::Recordset last;
    last.Open(QStringLiteral("select max(InvoiceNumber) as n from Billing"), DbConnection());
    CurrentInvoiceNumber = last.Value(QStringLiteral("n")).toInt();
    last.Close();
    const double perMile =
        expense::MileageRatePence(catalogue::SystemValue(DbConnection(), catalogue::sys::Milage))
            .value_or(0) /
        100;

    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    const auto setUpInvoices = [](Rpt_Invoice& r) {
        r.DataReport_Initialize(QString::number(FinYearStart.year()));
    };
    const auto setUpExpenses = [](Rpt_Expense& r) { r.DataReport_Initialize(); };
    (*f)[QStringLiteral("invoice-preview")] = TimePreview<Rpt_Invoice>(runs, setUpInvoices);
    (*f)[QStringLiteral("invoice-report")] = TimeReport<Rpt_Invoice>(runs, pdf, setUpInvoices);
    (*f)[QStringLiteral("expense-preview")] = TimePreview<Rpt_Expense>(runs, setUpExpenses);
    (*f)[QStringLiteral("expense-report")] = TimeReport<Rpt_Expense>(runs, pdf, setUpExpenses);
    (*f)[QStringLiteral("printed-invoice")] =
        TimeReport<Invoice_system>(runs, pdf, [](Invoice_system& r) { r.DataReport_Initialize(); });
    const yearend::Files files = yearend::FilesFor(folder, QString::number(FinYearStart.year() + 1));
    QString error;
    bool written = true;
    (*f)[QStringLiteral("year-end")] = bench::TimeMedian(runs, [&] {
        written = written && yearend::WriteFiles(DbConnection(), files, FinYearStart, perMile,
                                                 &error) != yearend::Written::Failed;
    });
    DbConnection().Close();
    if (!written) {
        QTextStream(stderr) << "the year-end files were not written: " << error << "\n";
        return 1;
    }

    sqlite3* handle = bench::OpenBare(path);
    if (!handle) return 1;
    const double expenses = bench::TimeRead(handle, ExpenseSql(FinYearStart, perMile));
    (*f)[QStringLiteral("expense-read")] = expenses;
    (*f)[QStringLiteral("invoice-read")] = bench::TimeRead(handle, InvoiceReportSql(FinYearStart));
    (*f)[QStringLiteral("printed-read")] =
        bench::TimeRead(handle, PrintedInvoiceSql(static_cast<int>(CurrentInvoiceNumber))) +
        bench::TimeRead(handle, PrintedWorkSql(static_cast<int>(CurrentInvoiceNumber)));
    (*f)[QStringLiteral("year-end-read")] = expenses + bench::TimeRead(handle, PaidInvoicesSql(FinYearStart));
    sqlite3_close(handle);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bench::SideBySide b;
    b.description = QStringLiteral(
        "Times the invoice and expense reports, the printed invoice and the year-end export on a "
        "1x and a 16x database.");
    b.defaultRuns = 5;
    b.measure = Measure;
    b.lines = {{QStringLiteral("invoice report, 1st page"), QStringLiteral("invoice-preview"),
                QStringLiteral("invoice-read"), 1000},
               {QStringLiteral("invoice report + PDF"), QStringLiteral("invoice-report"),
                QStringLiteral("invoice-read"), 1000},
               {QStringLiteral("expense report, 1st page"), QStringLiteral("expense-preview"),
                QStringLiteral("expense-read"), 1000},
               {QStringLiteral("expense report + PDF"), QStringLiteral("expense-report"),
                QStringLiteral("expense-read"), 3000},
               {QStringLiteral("printed invoice + PDF"), QStringLiteral("printed-invoice"),
                QStringLiteral("printed-read"), 100},
               {QStringLiteral("year-end export, four files"), QStringLiteral("year-end"),
                QStringLiteral("year-end-read"), 2000}};
    return bench::RunSideBySide(argc, argv, b);
}
