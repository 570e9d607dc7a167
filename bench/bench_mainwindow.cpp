// Times the main window on a database of the standard size (1x) and on one sixteen times as
// large (16x): start-up, a month change, the refresh after the appointment editor, the memory
// it holds when idle and closing. Each time is set against the bare indexed SQL read of the
// rows the window shows, the floor any way of showing them stands on. Every database is
// measured by a child run of this program (--measure FOLDER) so that the memory figures stay
// apart; a child on an empty database gives the memory's reference.
#include <sqlite3.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "bench/generator.h"
#include "bench/plainread.h"
#include "bench/sidebyside.h"
#include "bench/timing.h"
#include "core/forms.h"
#include "core/globals.h"
#include "core/startup.h"
#include "diary/frmMain.h"
#include "platform/com/com.h"
#include "platform/settings/settings.h"
#include "platform/ui/prompts.h"

namespace {

using bench::Figures;
using bench::Median;
using bench::Ms;
using bench::TimeRead;

double ResidentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text)) return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

QString Day(const QDate& d) { return d.toString(Qt::ISODate); }

// The window's appointment list cut to one month, in SQLite's words. The planner left alone
// takes the index on Start and walks every earlier appointment.
std::string MonthSql(const QDate& first) {
    return QStringLiteral(
               "select JobID, Start, Finish, Description, CompanyName as Customer, Duration, "
               "PO_Number, iif(invoicenumber = 0, 'No', 'Yes') as 'Invoiced?' "
               "FROM JobDetails INDEXED BY JobDetails_Finish inner join companies "
               "on (jobdetails.customerid = companies.companyid) "
               "WHERE (((JobDetails.Cancelled)=0)) "
               "AND JobDetails.Finish >= '%1' AND JobDetails.Start < '%2' "
               "ORDER BY JobDetails.Start")
        .arg(Day(first), Day(first.addMonths(1)))
        .toStdString();
}

// The window's invoice list cut to one financial year.
std::string YearSql(const QDate& start) {
    return QStringLiteral(
               "SELECT Billing.InvoiceNumber AS [Invoice Number], "
               "Companies.CompanyName AS Company, Billing.BillingDate AS [Invoice Date], "
               "Billing.PaymentDueDate AS [Payment Due On], Billing.PaymentDate as [Payment Date], "
               "Billing.InvoiceAmount AS Amount, Billing.Stage AS StageID "
               "FROM Companies INNER JOIN Billing ON Companies.CompanyID = Billing.CompanyID "
               "WHERE Billing.BillingDate >= '%1' AND Billing.BillingDate < '%2' "
               "GROUP BY Billing.InvoiceNumber, Companies.CompanyName, Billing.BillingDate, "
               "Billing.InvoiceAmount, Billing.PaymentDueDate, Billing.PaymentDate, Billing.Stage")
        .arg(Day(start), Day(start.addYears(1)))
        .toStdString();
}

// The child: the program's figures on FOLDER/ambrelle.mdb, then the bare reads, on stdout.
int Measure(const QString& folder, int runs, int monthChanges) {
    const QDir dir(folder);
    SetProgramFolder(folder);
    settings::SetStoreFolder(dir.filePath(QStringLiteral("settings")));
    com::SetRegistryFile(dir.filePath(QStringLiteral("components.ini")));
    if (!com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY))) {
        QTextStream(stderr) << "cannot register the calendar: " << com::LastError() << "\n";
        return 1;
    }
    ui::Install(std::make_unique<ui::ScriptedPrompts>());  // nothing may wait for an answer

    std::vector<double> launches, months, refreshes, closes;
    std::vector<QDate> shown;  // first days of the months the changes showed
    double memory = 0;
    QDate yearStart;
    for (int run = 0; run < runs; ++run) {
        StartupHooks hooks;
        hooks.showMainWindow = [] { Forms::get<frmMain>()->show(); };
        QElapsedTimer t;
        t.start();
        Main(QString(), hooks);
        QApplication::processEvents();
        launches.push_back(Ms(t));
        frmMain* w = Forms::find<frmMain>();
        if (!w) {
            QTextStream(stderr) << "the main window did not open on " << folder << "\n";
            return 1;
        }
        if (run == 0) {
            QApplication::processEvents();
            memory = ResidentMb();
        }
        // Back first, so that the timed changes run over past months, full in any database.
        for (int m = 0; m < monthChanges; ++m) w->PrevMon_Click();
        QApplication::processEvents();
        for (int m = 0; m < monthChanges; ++m) {
            t.start();
            w->NextMon_Click();
            QApplication::processEvents();
            months.push_back(Ms(t));
            const QDate d = w->ViewDate.date();
            if (run == 0) shown.emplace_back(d.year(), d.month(), 1);
        }
        // One appointment of the shown month saved as the editor would, then the refresh
        // that follows the editor's closing.
        const QDate d = w->ViewDate.date();
        const QDate first(d.year(), d.month(), 1);
        const bool saved = DbConnection().Execute(
            QStringLiteral("UPDATE JobDetails SET Description = ? WHERE JobID = (SELECT JobID "
                           "FROM JobDetails WHERE Cancelled = 0 AND Finish >= ? AND Start < ? "
                           "ORDER BY Start LIMIT 1)"),
            {QStringLiteral("Edited in run %1").arg(run), Day(first), Day(first.addMonths(1))});
        if (!saved) QTextStream(stderr) << "cannot save: " << DbConnection().LastError() << "\n";
        t.start();
        w->ShowEditedAppointments();
        QApplication::processEvents();
        refreshes.push_back(Ms(t));
        yearStart = FinYearStart;  // the financial year the window read from the System rows

        t.start();
        Forms::unload<frmMain>();
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        closes.push_back(Ms(t));
    }

    sqlite3* handle = nullptr;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("ambrelle.mdb")));
    char* error = nullptr;
    if (sqlite3_open_v2(path.constData(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(handle,
                     "CREATE INDEX IF NOT EXISTS JobDetails_Finish ON JobDetails (Finish);"
                     "CREATE INDEX IF NOT EXISTS Billing_BillingDate ON Billing (BillingDate)",
                     nullptr, nullptr, &error) != SQLITE_OK) {
        QTextStream(stderr) << "cannot index " << folder << ": "
                            << (error ? error : sqlite3_errmsg(handle)) << "\n";
        return 1;
    }
    std::vector<double> monthReads;
    for (const QDate& first : shown) monthReads.push_back(TimeRead(handle, MonthSql(first)));
    Figures figures{{QStringLiteral("launch"), Median(launches)},
                    {QStringLiteral("month"), Median(months)},
                    {QStringLiteral("refresh"), Median(refreshes)},
                    {QStringLiteral("memory"), memory},
                    {QStringLiteral("closing"), Median(closes)},
                    {QStringLiteral("month-read"), Median(monthReads)},
                    {QStringLiteral("year-read"), TimeRead(handle, YearSql(yearStart))}};
    bench::AddCounts(handle, figures);
    sqlite3_close(handle);
    bench::PrintFigures(figures);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times the main window on a 1x and a 16x database."));
    parser.addHelpOption();
    const QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("Start-ups per database."),
                                  QStringLiteral("n"), QStringLiteral("5"));
    const QCommandLineOption months(QStringLiteral("months"),
                                    QStringLiteral("Month changes per start-up."),
                                    QStringLiteral("n"), QStringLiteral("12"));
    const bench::DatabaseOptions databases;
    parser.addOptions({runs, months});
    parser.addOptions(databases.all());
    parser.process(app);
    const int n = std::max(1, parser.value(runs).toInt());
    const int m = std::max(1, parser.value(months).toInt());
    if (parser.isSet(databases.measure)) return Measure(parser.value(databases.measure), n, m);

    QTemporaryDir dir;
    const auto folder = [&dir](const char* name) {
        return QDir(dir.path()).filePath(QString::fromLatin1(name));
    };
    const bench::Sizes one = bench::Scaled(1), sixteen = bench::Scaled(16);
    // Appointments run on to a few months past a year from now: every month shown is full.
    const QDate today = QDate::currentDate().addMonths(12);
    if (!bench::Prepare(folder("x1"), parser.value(databases.db1), one, today) ||
        !bench::Prepare(folder("x16"), parser.value(databases.db16), sixteen, today) ||
        !bench::Prepare(folder("empty"), QString(), bench::Sizes{0, 0, 0, 1, 0, 0}, QDate::currentDate()))
        return 1;
    const QStringList passOn{QStringLiteral("--runs"), QString::number(n),
                             QStringLiteral("--months"), QString::number(m)};
    const std::optional<Figures> x1 = bench::RunChild(folder("x1"), passOn);
    const std::optional<Figures> x16 = bench::RunChild(folder("x16"), passOn);
    const std::optional<Figures> none = bench::RunChild(folder("empty"), passOn);
    if (!x1 || !x16 || !none) {
        QTextStream(stderr) << "a measuring run failed\n";
        return 1;
    }

    QTextStream out(stdout);
    out << "1x: " << bench::SizesText(*x1) << "; 16x: " << bench::SizesText(*x16) << "; " << n << " start-ups, " << m
        << " month changes each\n";
    out << QStringLiteral("  %1 %2 %3 %4 %5  %6\n")
               .arg(QStringLiteral("figure"), -18)
               .arg(QStringLiteral("1x"), 10)
               .arg(QStringLiteral("1x ratio"), 12)
               .arg(QStringLiteral("16x"), 10)
               .arg(QStringLiteral("16x ratio"), 12)
               .arg(QStringLiteral("aims"));
    // aim1/aim16: the most a figure may be on each database; 0 where there is no aim.
    const auto row = [&](const char* name, const QString& key, double aim1, double aim16,
                         const QString& unit, const auto& ratioText) {
        const double a = x1->value(key), b = x16->value(key);
        QStringList aims;
        if (aim1 > 0)
            aims << QStringLiteral("1x < %1 %2 %3")
                        .arg(aim1)
                        .arg(unit, a < aim1 ? QStringLiteral("met") : QStringLiteral("missed"));
        if (aim16 > 0)
            aims << QStringLiteral("16x < %1 %2 %3")
                        .arg(aim16)
                        .arg(unit, b < aim16 ? QStringLiteral("met") : QStringLiteral("missed"));
        out << QStringLiteral("  %1 %2 %3 %4 %5  %6\n")
                   .arg(QString::fromLatin1(name), -18)
                   .arg(bench::TimeText(a), 10)
                   .arg(ratioText(*x1, a), 12)
                   .arg(bench::TimeText(b), 10)
                   .arg(ratioText(*x16, b), 12)
                   .arg(aims.join(QStringLiteral("; ")));
    };
    // A time against the bare reads of the same rows: the month's appointments, with the
    // year's invoices where the window reads both.
    const auto against = [](bool withYear) {
        return [withYear](const Figures& f, double ms) {
            const double bare =
                f[QStringLiteral("month-read")] + (withYear ? f[QStringLiteral("year-read")] : 0);
            return bare > 0 ? QString::number(ms / bare, 'f', 1) + QLatin1Char('x')
                            : QStringLiteral("-");
        };
    };
    const QString ms = QStringLiteral("ms");
    row("launch (ms)", QStringLiteral("launch"), 150, 300, ms, against(true));
    row("month change (ms)", QStringLiteral("month"), 5, 5, ms, against(false));
    row("refresh (ms)", QStringLiteral("refresh"), 0, 50, ms, against(true));
    const double emptyMb = none->value(QStringLiteral("memory"));
    row("idle memory (MB)", QStringLiteral("memory"), 0, 150, QStringLiteral("MB"),
        [emptyMb](const Figures&, double) {
            return QStringLiteral("empty %1").arg(emptyMb, 0, 'f', 1);
        });
    row("closing (ms)", QStringLiteral("closing"), 50, 50, ms, against(false));
    out << "  bare indexed reads (ms): month " << bench::TimeText(x1->value(QStringLiteral("month-read")))
        << " and " << bench::TimeText(x16->value(QStringLiteral("month-read"))) << ", financial year "
        << bench::TimeText(x1->value(QStringLiteral("year-read"))) << " and "
        << bench::TimeText(x16->value(QStringLiteral("year-read"))) << " at 1x and 16x\n";
    return 0;
}
