// ambrelle-bench-db [PATH]: times the main window's appointment record set against a plain
// SQLite read of the same rows, and its month filter. Without PATH it generates a database
// of the standard size in a temporary folder first.
#include <sqlite3.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/generator.h"
#include "bench/plainread.h"
#include "bench/timing.h"
#include "diary/mainrules.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace {

// The main window's appointment list.
const char* const kAppointments =
    "select JobID, Start, Finish, Description, CompanyName as Customer, Duration, PO_Number, "
    "iif(invoicenumber = 0, 'No', 'Yes') as 'Invoiced?' FROM JobDetails inner join companies on "
    "(jobdetails.customerid = companies.companyid) WHERE (((JobDetails.Cancelled)=False)) ORDER BY "
    "JobDetails.Start";
const char* const kAllJobs = "SELECT * FROM JobDetails";

using Clock = std::chrono::steady_clock;

struct Timing {
    std::vector<double> ms;
    long long rows = -1;
    double median() const { return bench::Median(ms); }
    double min() const { return ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end()); }
};

double Time(const std::function<void()>& f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

using bench::Cell;
using bench::PlainRead;

void Line(const char* what, const Timing& t) {
    std::printf("  %-44s %8lld %10.2f %10.2f\n", what, t.rows, t.median(), t.min());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Times the appointment record set of the main window."));
    p.addHelpOption();
    p.addPositionalArgument(QStringLiteral("PATH"),
                            QStringLiteral("a generated database (default: generate one)"));
    const QCommandLineOption runsOpt(QStringLiteral("runs"),
                                     QStringLiteral("timed runs of each open (default 15)"),
                                     QStringLiteral("N"), QStringLiteral("15"));
    const QCommandLineOption filterRunsOpt(
        QStringLiteral("filter-runs"),
        QStringLiteral("timed runs of the month filter (default 100)"), QStringLiteral("N"),
        QStringLiteral("100"));
    const QCommandLineOption monthOpt(
        QStringLiteral("month"), QStringLiteral("month to filter, yyyy-MM (default: this one)"),
        QStringLiteral("yyyy-MM"));
    p.addOptions({runsOpt, filterRunsOpt, monthOpt});
    p.process(app);
    const int runs = std::max(1, p.value(runsOpt).toInt());
    const int filterRuns = std::max(1, p.value(filterRunsOpt).toInt());
    QDate first = QDate::currentDate();
    first = QDate(first.year(), first.month(), 1);
    if (p.isSet(monthOpt)) {
        first = QDate::fromString(p.value(monthOpt) + QStringLiteral("-01"), Qt::ISODate);
        if (!first.isValid()) {
            std::fprintf(stderr, "--month wants yyyy-MM\n");
            return 2;
        }
    }

    QTemporaryDir temp;
    const QString path = bench::BenchmarkDatabase(
        p.positionalArguments().isEmpty() ? QString() : p.positionalArguments().first(),
        temp.path());
    if (path.isEmpty()) return 1;

    db::Connection connection;
    if (!connection.Open(QStringLiteral("DBQ=") + path)) {
        std::fprintf(stderr, "could not open %s: %s\n", qPrintable(path),
                     qPrintable(connection.LastError()));
        return 1;
    }
    sqlite3* plain = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &plain, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "could not open %s with sqlite3\n", qPrintable(path));
        return 1;
    }

    // Plain read and record set take turns, so that neither gets a warmer cache.
    auto compare = [&](const char* sql, Timing& plainT, Timing& openT, db::Recordset* keep) {
        std::vector<std::vector<Cell>> rows;
        PlainRead(plain, sql, rows);  // warm-up
        {
            db::Recordset rs;
            rs.Open(QString::fromUtf8(sql), connection, db::adOpenDynamic, db::adLockOptimistic);
        }
        for (int i = 0; i < runs; ++i) {
            plainT.ms.push_back(Time([&] { plainT.rows = PlainRead(plain, sql, rows); }));
            db::Recordset rs;
            bool ok = false;
            openT.ms.push_back(Time([&] {
                // The rows are read when first needed: the count asks for all of them.
                ok = rs.Open(QString::fromUtf8(sql), connection, db::adOpenDynamic,
                             db::adLockOptimistic) &&
                     rs.RecordCount() >= 0;
            }));
            if (!ok) {
                std::fprintf(stderr, "Recordset::Open failed: %s\n", qPrintable(rs.LastError()));
                std::exit(1);
            }
            openT.rows = rs.RecordCount();
            if (keep && i == runs - 1) *keep = std::move(rs);
        }
    };

    Timing plainS8, openS8, plainAll, openAll;
    db::Recordset appointments;
    compare(kAppointments, plainS8, openS8, &appointments);
    compare(kAllJobs, plainAll, openAll, nullptr);

    const QString monthFilter = MonthAppointmentFilter(first);
    Timing filterT, clearT;
    for (int i = 0; i < filterRuns; ++i) {
        bool ok = false;
        filterT.ms.push_back(Time([&] { ok = appointments.SetFilter(monthFilter); }));
        if (!ok) {
            std::fprintf(stderr, "SetFilter failed: %s\n", qPrintable(appointments.LastError()));
            return 1;
        }
        filterT.rows = appointments.RecordCount();
        clearT.ms.push_back(Time([&] { appointments.SetFilter(QString()); }));
        clearT.rows = appointments.RecordCount();
    }
    // A date sort over every row, as the grids' column sorts do.
    Timing sortT;
    for (int i = 0; i < std::max(1, filterRuns / 20); ++i) {
        sortT.ms.push_back(Time([&] { appointments.SetSort(QStringLiteral("Finish DESC")); }));
        sortT.rows = appointments.RecordCount();
        appointments.SetSort(QString());
    }
    sqlite3_close(plain);

    std::printf("\nDatabase %s; %d timed runs of each open, %d of each filter\n", qPrintable(path),
                runs, filterRuns);
    std::printf("  %-44s %8s %10s %10s\n", "operation", "rows", "median ms", "min ms");
    Line("appointment list: plain sqlite3 read", plainS8);
    Line("appointment list: db::Recordset::Open", openS8);
    Line("all JobDetails: plain sqlite3 read", plainAll);
    Line("all JobDetails: db::Recordset::Open", openAll);
    const QString label = QStringLiteral("month filter %1").arg(first.toString(u"yyyy-MM"));
    Line(qPrintable(label), filterT);
    Line("filter cleared", clearT);
    Line("sort by Finish DESC", sortT);
    std::printf("  filter text: %s\n\n", qPrintable(monthFilter));

    const double ratioS8 = openS8.median() / std::max(1e-9, plainS8.median());
    const double ratioAll = openAll.median() / std::max(1e-9, plainAll.median());
    std::printf(
        "  open / plain read (medians): appointment list %.2fx, all JobDetails %.2fx   aim: within "
        "3x -> %s\n",
        ratioS8, ratioAll, ratioS8 <= 3 && ratioAll <= 3 ? "met" : "MISSED");
    std::printf("  month filter median %.2f ms   aim: under 10 ms -> %s\n", filterT.median(),
                filterT.median() < 10 ? "met" : "MISSED");
    return 0;
}
