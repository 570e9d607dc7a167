// Times the invoice editor on a 1x and a 16x database: opening it on invoices spread over the
// table (the editor loaded and shown) and on a new one, the main window's refresh after it
// closes, and one invoice printed through a template (the template opened, the invoice's merge
// source built and its data document written, the merged invoice saved). Each is set against
// the bare SQLite read of the rows it reads.
#include <QApplication>
#include <QDir>
#include <QTextStream>
#include <vector>

#include "accounts/Invoice_Print.h"
#include "accounts/frmInvoice.h"
#include "accounts/invoicemerge.h"
#include "bench/plainread.h"
#include "bench/sidebyside.h"
#include "bench/timing.h"
#include "core/forms.h"
#include "core/globals.h"
#include "core/startup.h"
#include "diary/frmMain.h"
#include "platform/com/com.h"
#include "platform/settings/settings.h"
#include "platform/ui/desktop.h"
#include "platform/ui/prompts.h"
#include "platform/word/document.h"

namespace {

using bench::Median;
using bench::Ms;

// The editor's customer list: every customer's key and name.
double CustomersRead(sqlite3* handle) {
    return bench::TimeRead(handle, "select companies.companyid, companies.companyname from companies");
}

// What the editor shows of invoice `number`: its row, its customer's name, the names of the
// customer list and the attached work.
double EditorRead(sqlite3* handle, int number) {
    const QString n = QString::number(number);
    return bench::TimeRead(handle, ("SELECT InvoiceNumber, CompanyID, BillingDate, InvoiceAmount, "
                                    "InvoicePaymentDetails, PaymentDueDate, PaymentMade, "
                                    "PaymentDate, Stage FROM Billing WHERE InvoiceNumber = " +
                                    n)
                                       .toStdString()) +
           CustomersRead(handle) +
           bench::TimeRead(handle, ("SELECT invoicenumber, Start, Finish, Duration, Description, "
                                    "PO_Number, Fee FROM JobDetails WHERE InvoiceNumber = " +
                                    n)
                                       .toStdString());
}

// The merge's rows of invoice `number`: the invoice with its customer, and its work.
double MergeRead(sqlite3* handle, int number) {
    const QString n = QString::number(number);
    return bench::TimeRead(handle, ("SELECT b.*, c.* FROM Companies c INNER JOIN Billing b ON "
                                    "c.CompanyID = b.CompanyID WHERE b.InvoiceNumber = " +
                                    n)
                                       .toStdString()) +
           bench::TimeRead(handle, ("SELECT Start, Finish, Duration, Description, PO_Number, Fee "
                                    "FROM JobDetails WHERE InvoiceNumber = " +
                                    n)
                                       .toStdString());
}

QString Day(const QDate& d) { return d.toString(Qt::ISODate); }

// What the main window reads again after the editor: the shown month when appointments or
// names were written, the invoices written (all of the year's when names were), as the
// window's lists hold them.
struct RefreshReads {
    bool month = false;
    bool year = false;
    QSet<qint64> invoices;
};

double RefreshRead(sqlite3* handle, const RefreshReads& r, const QDate& month, const QDate& yearStart) {
    double ms = 0;
    if (r.month)
        ms += bench::TimeRead(
            handle, QStringLiteral("select JobID, Start, Finish, Description, CompanyName as Customer, Duration, "
                                   "PO_Number, iif(invoicenumber = 0, 'No', 'Yes') as 'Invoiced?' FROM JobDetails "
                                   "inner join companies on (jobdetails.customerid = companies.companyid) WHERE "
                                   "JobDetails.Cancelled = 0 AND JobDetails.Finish >= '%1' AND JobDetails.Start < '%2' "
                                   "ORDER BY JobDetails.Start")
                        .arg(Day(month), Day(month.addMonths(1)))
                        .toStdString());
    if (!r.year && r.invoices.isEmpty()) return ms;
    QStringList keys;
    for (qint64 k : r.invoices) keys << QString::number(k);
    return ms + bench::TimeRead(
                    handle,
                    QStringLiteral("SELECT Billing.InvoiceNumber, Companies.CompanyName, Billing.BillingDate, "
                                   "Billing.PaymentDueDate, Billing.PaymentDate, Billing.InvoiceAmount, Billing.Stage "
                                   "FROM Companies INNER JOIN Billing ON Companies.CompanyID = Billing.CompanyID "
                                   "WHERE Billing.BillingDate >= '%1' AND Billing.BillingDate < '%2' %3 GROUP BY "
                                   "Billing.InvoiceNumber, Companies.CompanyName, Billing.BillingDate, "
                                   "Billing.InvoiceAmount, Billing.PaymentDueDate, Billing.PaymentDate, Billing.Stage")
                        .arg(Day(yearStart), Day(yearStart.addYears(1)),
                             r.year ? QString() : QStringLiteral("AND Billing.InvoiceNumber IN (%1)").arg(keys.join(u',')))
                        .toStdString());
}

// A template holding every merge field.
QString MakeTemplate(const QDir& dir) {
    word::Document templ;
    templ.TypeText(QStringLiteral("Invoice"));
    templ.TypeParagraph();
    for (const char* name : {"InvoiceNumber", "InvoiceDate", "Total", "InvoicePaymentDetails",
                             "Customer", "Street", "Town", "County", "Country", "Postcode", "Start",
                             "Finish", "Duration", "Description", "PO_Number", "Fee"}) {
        templ.InsertMergeField(QString::fromLatin1(name));
        templ.TypeParagraph();
    }
    const QString path = dir.filePath(QStringLiteral("template.docx"));
    return templ.SaveAs(path) ? path : QString();
}

int Measure(const QString& folder, int runs, bench::Figures* f) {
    const QDir dir(folder);
    SetProgramFolder(folder);
    settings::SetStoreFolder(dir.filePath(QStringLiteral("settings")));
    com::SetRegistryFile(dir.filePath(QStringLiteral("components.ini")));
    merge::SetDataFolder(dir.filePath(QStringLiteral("merge")));
    if (!com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY))) {
        QTextStream(stderr) << "cannot register the calendar: " << com::LastError() << "\n";
        return 1;
    }
    ui::Install(std::make_unique<ui::ScriptedPrompts>());  // nothing may wait for an answer
    ui::SetUrlOpener([](const QUrl&) { return true; });    // the merged invoice is not shown
    const QString templ = MakeTemplate(dir);
    if (templ.isEmpty()) {
        QTextStream(stderr) << "cannot write the template\n";
        return 1;
    }

    StartupHooks hooks;
    hooks.showMainWindow = [] { Forms::get<frmMain>()->show(); };
    Main(QString(), hooks);
    frmMain* main = Forms::find<frmMain>();
    if (!main) {
        QTextStream(stderr) << "the main window did not open on " << folder << "\n";
        return 1;
    }

    // Invoices spread over the whole table, each with its attached work.
    const int count = std::max(5, runs * 5);
    const std::vector<int> numbers =
        bench::SpreadOver(DbConnection(), QStringLiteral("select InvoiceNumber from Billing"), count);

    std::vector<double> opens, refreshes, merges;
    std::vector<RefreshReads> reads;
    bool merged = true;
    for (int number : numbers) {
        const db::ChangeMark before = DbConnection().Changes();
        QElapsedTimer t;
        t.start();
        CurrentInvoiceNumber = number;
        frmInvoice* editor = Forms::get<frmInvoice>(main);
        editor->show();
        QApplication::processEvents();
        opens.push_back(Ms(t));

        Invoice_Print* print = Forms::get<Invoice_Print>(editor);
        print->cboReports->addItem(templ);
        print->cboReports->setCurrentIndex(print->cboReports->count() - 1);
        const QString out = Invoice_Print::MergedPath(number);
        QFile::remove(out);
        t.restart();
        print->bntPrint_Click();
        merges.push_back(Ms(t));
        merged = merged && QFile::exists(out);
        Forms::unload<Invoice_Print>();

        t.restart();
        Forms::unload<frmInvoice>();
        CurrentInvoiceNumber = 0;
        RefreshReads r;
        const auto written = [&](const char* table) { return DbConnection().ChangedRows(QString::fromLatin1(table), before); };
        const auto jobs = written("JobDetails"), names = written("Companies"), invoices = written("Billing");
        r.month = !jobs || !jobs->isEmpty() || !names || !names->isEmpty();
        r.year = !names || !names->isEmpty() || !invoices;
        if (invoices) r.invoices = *invoices;
        reads.push_back(r);
        main->ShowEditedAppointments();  // what the window does once the editor closes
        QApplication::processEvents();
        refreshes.push_back(Ms(t));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::vector<double> news;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer t;
        t.start();
        CurrentInvoiceNumber = 0;
        Forms::get<frmInvoice>(main)->show();
        QApplication::processEvents();
        news.push_back(Ms(t));
        Forms::unload<frmInvoice>();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    (*f)[QStringLiteral("new")] = Median(news);
    const QDate shown(main->ViewDate.date().year(), main->ViewDate.date().month(), 1);
    const QDate yearStart = FinYearStart;
    Forms::unload<frmMain>();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (!merged) {
        QTextStream(stderr) << "a merged invoice was not written\n";
        return 1;
    }
    (*f)[QStringLiteral("open")] = Median(opens);
    (*f)[QStringLiteral("refresh")] = Median(refreshes);
    (*f)[QStringLiteral("merge")] = Median(merges);

    sqlite3* handle = bench::OpenBare(dir.filePath(QStringLiteral("ambrelle.mdb")));
    if (!handle) return 1;
    std::vector<double> editorReads, mergeReads;
    for (size_t i = 0; i < numbers.size(); i += std::max<size_t>(1, numbers.size() / 5)) {
        editorReads.push_back(EditorRead(handle, numbers[i]));
        mergeReads.push_back(MergeRead(handle, numbers[i]));
    }
    std::vector<double> refreshReads;
    for (const RefreshReads& r : reads) refreshReads.push_back(RefreshRead(handle, r, shown, yearStart));
    (*f)[QStringLiteral("open-read")] = Median(editorReads);
    (*f)[QStringLiteral("new-read")] = CustomersRead(handle);
    (*f)[QStringLiteral("refresh-read")] = Median(refreshReads);
    (*f)[QStringLiteral("merge-read")] = Median(mergeReads);
    sqlite3_close(handle);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bench::SideBySide b;
    b.description = QStringLiteral(
        "Times opening the invoice editor, the refresh after it and a template merge on a 1x and "
        "a 16x database.");
    b.defaultRuns = 5;
    b.measure = Measure;
    b.lines = {{QStringLiteral("open invoice editor"), QStringLiteral("open"),
                QStringLiteral("open-read"), 50},
               {QStringLiteral("open it on a new invoice"), QStringLiteral("new"), QStringLiteral("new-read"), 50},
               {QStringLiteral("main window refresh after it"), QStringLiteral("refresh"),
                QStringLiteral("refresh-read"), 150},
               {QStringLiteral("template merge, one invoice"), QStringLiteral("merge"),
                QStringLiteral("merge-read"), 100}};
    return bench::RunSideBySide(argc, argv, b);
}
