// Times the database layer on a 1x and a 16x database: the main window's appointment list and
// the whole appointment table opened as record sets (every row read), a month filter and a
// sort over the list held. Each is set against the bare SQLite read of the same rows.
#include <sqlite3.h>

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>
#include <string>
#include <vector>

#include "bench/plainread.h"
#include "bench/sidebyside.h"
#include "bench/timing.h"
#include "diary/mainrules.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace {

// The main window's appointment list, every row of it.
const char* const kAppointments =
    "select JobID, Start, Finish, Description, CompanyName as Customer, Duration, PO_Number, "
    "iif(invoicenumber = 0, 'No', 'Yes') as 'Invoiced?' FROM JobDetails inner join companies on "
    "(jobdetails.customerid = companies.companyid) WHERE (((JobDetails.Cancelled)=False)) ORDER BY "
    "JobDetails.Start";
const char* const kAppointmentsBare =
    "select JobID, Start, Finish, Description, CompanyName as Customer, Duration, PO_Number, "
    "iif(invoicenumber = 0, 'No', 'Yes') as 'Invoiced?' FROM JobDetails inner join companies on "
    "(jobdetails.customerid = companies.companyid) WHERE JobDetails.Cancelled = 0 ORDER BY "
    "JobDetails.Start";
const char* const kAllJobs = "SELECT * FROM JobDetails";

QString Day(const QDate& d) { return d.toString(Qt::ISODate); }

// The list opened and every row read.
double TimeOpen(db::Connection& c, const char* sql, int runs, db::Recordset* keep) {
    return bench::TimeMedian(
        runs,
        [&] {
            db::Recordset rs;
            if (rs.Open(QString::fromUtf8(sql), c, db::adOpenDynamic, db::adLockOptimistic)) rs.RecordCount();
            if (keep) *keep = std::move(rs);
        },
        true);
}

int Measure(const QString& folder, int runs, bench::Figures* f) {
    const QString path = QDir(folder).filePath(QStringLiteral("ambrelle.mdb"));
    db::Connection c;
    if (!c.Open(QStringLiteral("DBQ=") + path)) {
        QTextStream(stderr) << "could not open " << path << ": " << c.LastError() << "\n";
        return 1;
    }
    sqlite3* handle = bench::OpenBare(path);
    if (!handle) return 1;
    // The month a year before the diary's last: a full one in any database.
    std::vector<std::vector<bench::Cell>> last;
    bench::PlainRead(handle, "SELECT MAX(Start) FROM JobDetails", last);
    const QDate end = last.empty() ? QDate::currentDate()
                                   : QDate::fromString(QString::fromStdString(std::get<std::string>(last[0][0])).left(10),
                                                       Qt::ISODate);
    const QDate month = QDate(end.year(), end.month(), 1).addYears(-1);

    db::Recordset list;
    (*f)[QStringLiteral("list")] = TimeOpen(c, kAppointments, runs, &list);
    (*f)[QStringLiteral("list-read")] = bench::TimeRead(handle, kAppointmentsBare);
    (*f)[QStringLiteral("table")] = TimeOpen(c, kAllJobs, runs, nullptr);
    (*f)[QStringLiteral("table-read")] = bench::TimeRead(handle, kAllJobs);

    const QString filter = MonthAppointmentFilter(month);
    std::vector<double> filters, sorts;
    for (int i = 0; i < runs * 4; ++i) {
        QElapsedTimer t;
        t.start();
        list.SetFilter(filter);
        list.RecordCount();
        filters.push_back(bench::Ms(t));
        list.SetFilter(QString());
    }
    (*f)[QStringLiteral("filter")] = bench::Median(filters);
    // Left alone, the planner walks the index on Start from the first appointment on.
    (*f)[QStringLiteral("filter-read")] = bench::TimeRead(
        handle, QString::fromUtf8(kAppointmentsBare)
                    .replace(QStringLiteral("FROM JobDetails"), QStringLiteral("FROM JobDetails INDEXED BY JobDetails_Finish"))
                    .replace(QStringLiteral("ORDER BY"), QStringLiteral("AND JobDetails.Finish >= '%1' AND "
                                                                        "JobDetails.Start < '%2' ORDER BY")
                                                             .arg(Day(month), Day(month.addMonths(1))))
                    .toStdString());
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        list.SetSort(QStringLiteral("Finish DESC"));
        list.RecordCount();
        sorts.push_back(bench::Ms(t));
        list.SetSort(QString());
    }
    (*f)[QStringLiteral("sort")] = bench::Median(sorts);
    (*f)[QStringLiteral("sort-read")] = bench::TimeRead(
        handle, QString::fromUtf8(kAppointmentsBare)
                    .replace(QStringLiteral("ORDER BY JobDetails.Start"), QStringLiteral("ORDER BY JobDetails.Finish DESC"))
                    .toStdString());
    sqlite3_close(handle);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bench::SideBySide b;
    b.description = QStringLiteral(
        "Times the appointment record set, a month filter and a sort on a 1x and a 16x database.");
    b.defaultRuns = 5;
    b.measure = Measure;
    b.lines = {{QStringLiteral("appointment list, all rows"), QStringLiteral("list"), QStringLiteral("list-read"), 0, 3},
               {QStringLiteral("JobDetails, all rows"), QStringLiteral("table"), QStringLiteral("table-read"), 0, 3},
               {QStringLiteral("month filter over the list"), QStringLiteral("filter"), QStringLiteral("filter-read"), 0,
                2},
               {QStringLiteral("sort by Finish DESC"), QStringLiteral("sort"), QStringLiteral("sort-read"), 0, 2}};
    return bench::RunSideBySide(argc, argv, b);
}
