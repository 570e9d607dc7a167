// Times opening the customer window and the expenses window on a 1x and a 16x database:
// each loaded, shown and painted, the customer window on its first company, the expenses
// window for appointments spread over the diary and for the financial year's miscellaneous
// expenses. Each is set against the bare SQLite read of the rows it shows.
#include <QApplication>
#include <QDir>
#include <QTextStream>
#include <vector>

#include "accounts/Companies_with_Contacts.h"
#include "accounts/Expenses.h"
#include "bench/sidebyside.h"
#include "bench/timing.h"
#include "core/forms.h"
#include "core/globals.h"
#include "platform/settings/settings.h"
#include "platform/ui/prompts.h"

namespace {

using bench::Median;
using bench::Ms;

// The window shown and painted; then unloaded.
template <class W>
double TimeOpening() {
    QElapsedTimer t;
    t.start();
    W* w = Forms::get<W>();
    w->show();
    QApplication::processEvents();
    const double ms = Ms(t);
    Forms::unload<W>();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return ms;
}

QString Day(const QDate& d) { return d.toString(Qt::ISODate); }

int Measure(const QString& folder, int runs, bench::Figures* f) {
    const QDir dir(folder);
    const QString path = dir.filePath(QStringLiteral("ambrelle.mdb"));
    SetProgramFolder(folder);
    settings::SetStoreFolder(dir.filePath(QStringLiteral("settings")));
    ui::Install(std::make_unique<ui::ScriptedPrompts>());  // nothing may wait for an answer
    DbConnection().SetCursorLocation(db::adUseClient);
    if (!DbConnection().Open(QStringLiteral("DBQ=") + path)) {
        QTextStream(stderr) << "could not open " << path << ": " << DbConnection().LastError() << "\n";
        return 1;
    }
    const QDate today = QDate::currentDate();
    FinYearStart = QDate(today.month() >= 4 ? today.year() - 1 : today.year() - 2, 4, 1);

    // Appointments with expenses, spread over the table.
    const std::vector<int> jobs = bench::SpreadOver(
        DbConnection(),
        QStringLiteral("select distinct ScheduleID from Outgoings where ScheduleID <> 0 order by ScheduleID"),
        std::max(5, runs * 5));

    (*f)[QStringLiteral("customer-window")] = bench::TimeMedian(runs, TimeOpening<Companies_with_Contacts>, true);
    std::vector<double> appointment;
    TimeOpening<Expenses>();  // warms the caches
    for (int job : jobs) {
        CurrentJobID = job;
        appointment.push_back(TimeOpening<Expenses>());
    }
    (*f)[QStringLiteral("expenses-job")] = Median(appointment);
    CurrentJobID = 0;
    (*f)[QStringLiteral("expenses-year")] = bench::TimeMedian(runs, TimeOpening<Expenses>);
    DbConnection().Close();

    sqlite3* handle = bench::OpenBare(path);
    if (!handle) return 1;
    // The window reads every company (its data control moves through them all) and the
    // contacts of the first.
    (*f)[QStringLiteral("customers-read")] =
        bench::TimeRead(handle,
                        "SELECT Companies.CompanyID, Companies.CompanyName, Companies.Postal_AddressStreet, "
                        "Companies.Postal_AddressTown, Companies.Postal_AddressCounty, "
                        "Companies.Postal_AddressCountry, Companies.Postal_AddressPostcode, "
                        "Companies.IsBillingAddressSameasPostal, Companies.Billing_AddressStreet, "
                        "Companies.Billing_AddressTown, Companies.Billing_AddressCounty, "
                        "Companies.Billing_AddressCountry, Companies.Billing_AddressPostcode, "
                        "Companies.Telephone1, Companies.Telephone2, Companies.Fax, Companies.Website "
                        "FROM Companies") +
        bench::TimeRead(handle,
                        "SELECT FirstName || ' ' || LastName, DirectTelephone, MobileTelephone, "
                        "ContactID, CompanyID FROM contacts WHERE CompanyID = "
                        "(SELECT MIN(CompanyID) FROM Companies)");
    std::vector<double> reads;
    for (int job : jobs)
        reads.push_back(bench::TimeRead(
            handle, ("SELECT RecordID, ScheduleID, Type, Description, Milage, Amount, Reciept, "
                     "Date FROM Outgoings WHERE ScheduleID = " +
                     QString::number(job))
                        .toStdString()));
    (*f)[QStringLiteral("expenses-job-read")] = Median(reads);
    (*f)[QStringLiteral("expenses-year-read")] = bench::TimeRead(
        handle, QStringLiteral("SELECT RecordID, ScheduleID, Type, Description, Milage, Amount, "
                               "Reciept, Date FROM Outgoings WHERE +ScheduleID = 0 AND Date > '%1' "
                               "AND Date < '%2'")
                    .arg(Day(FinYearStart), Day(FinYearStart.addYears(1)))
                    .toStdString());
    sqlite3_close(handle);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bench::SideBySide b;
    b.description = QStringLiteral(
        "Times opening the customer window and the expenses window on a 1x and a 16x database.");
    b.defaultRuns = 5;
    b.measure = Measure;
    b.lines = {{QStringLiteral("open customer window"), QStringLiteral("customer-window"),
                QStringLiteral("customers-read"), 50},
               {QStringLiteral("open expenses, appointment"), QStringLiteral("expenses-job"),
                QStringLiteral("expenses-job-read"), 50},
               {QStringLiteral("open expenses, the year"), QStringLiteral("expenses-year"),
                QStringLiteral("expenses-year-read"), 50}};
    return bench::RunSideBySide(argc, argv, b);
}
