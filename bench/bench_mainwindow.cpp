// Times the main window on a ten-year database of the standard size (1x) and on one sixteen
// times as large (16x): the program started as a process until its window is shown, month
// changes, the refresh after the appointment editor and after the invoice editor, the memory
// it holds when idle and closing. Each time is set beside the bare SQLite read of the rows that
// step reads, the floor any way of showing them stands on. Every database is measured by a
// child run of this program (--measure FOLDER) so that the memory figures stay apart; a child
// on an empty database gives the memory's reference.
#include <sqlite3.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWindow>
#include <algorithm>
#include <chrono>
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

// The clock all processes share, in ms.
double Now() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
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

// The window's two invoice lists: the financial year's pending and settled invoices.
std::string YearSql(const QDate& start, const QString& more = QString()) {
    return QStringLiteral(
               "SELECT Billing.InvoiceNumber AS [Invoice Number], "
               "Companies.CompanyName AS Company, Billing.BillingDate AS [Invoice Date], "
               "Billing.PaymentDueDate AS [Payment Due On], Billing.PaymentDate as [Payment Date], "
               "Billing.InvoiceAmount AS Amount, Billing.Stage AS StageID "
               "FROM Companies INNER JOIN Billing ON Companies.CompanyID = Billing.CompanyID "
               "WHERE Billing.BillingDate >= '%1' AND Billing.BillingDate < '%2' "
               "AND (Billing.Stage = 3 OR Billing.Stage <= 2) %3"
               "GROUP BY Billing.InvoiceNumber, Companies.CompanyName, Billing.BillingDate, "
               "Billing.InvoiceAmount, Billing.PaymentDueDate, Billing.PaymentDate, Billing.Stage")
        .arg(Day(start), Day(start.addYears(1)), more)
        .toStdString();
}

// Where a measuring child keeps the program's files.
void UseFolder(const QString& folder) {
    const QDir dir(folder);
    SetProgramFolder(folder);
    settings::SetStoreFolder(dir.filePath(QStringLiteral("settings")));
    com::SetRegistryFile(dir.filePath(QStringLiteral("components.ini")));
    ui::Install(std::make_unique<ui::ScriptedPrompts>());  // nothing may wait for an answer
}

// The grandchild: the program's start as main() makes it, on FOLDER/ambrelle.mdb; prints the
// shared clock once the main window is shown and painted, and ends.
int Launch(const QString& folder) {
    UseFolder(folder);
    StartupHooks hooks;
    hooks.showMainWindow = [] { Forms::get<frmMain>()->show(); };
    hooks.checkOwnerDetails = [] { Forms::find<frmMain>()->CheckOwnerDetailsAtStart(); };
    if (!Main(QString(), hooks)) return 1;
    frmMain* w = Forms::find<frmMain>();
    if (!w) return 1;
    while (!w->windowHandle() || !w->windowHandle()->isExposed())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();  // the paint that follows the exposure
    QTextStream(stdout) << "shown " << QString::number(Now(), 'f', 3) << "\n";
    return 0;
}

// The program started `runs` times, each until its window is shown.
double TimeLaunches(const QString& folder, int runs) {
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const double start = Now();
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--launch"), folder});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) return -1;
        const QList<QByteArray> words = child.readAllStandardOutput().simplified().split(' ');
        if (words.size() != 2 || words[0] != "shown") return -1;
        ms.push_back(words[1].toDouble() - start);
    }
    return Median(ms);
}

// The child: the program's figures on FOLDER/ambrelle.mdb, then the bare reads, on stdout.
int Measure(const QString& folder, int runs, int monthChanges) {
    const QDir dir(folder);
    UseFolder(folder);
    if (!com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY))) {
        QTextStream(stderr) << "cannot register the calendar: " << com::LastError() << "\n";
        return 1;
    }
    const double launch = TimeLaunches(folder, runs);
    if (launch < 0) {
        QTextStream(stderr) << "the program did not start on " << folder << "\n";
        return 1;
    }

    std::vector<double> opens, months, refreshes, invoiceRefreshes, closes;
    std::vector<QDate> shown;  // first days of the months the changes showed
    std::vector<int> attachedTo;  // invoices work was attached to
    double memory = 0;
    QDate yearStart, refreshed;
    for (int run = 0; run < runs; ++run) {
        StartupHooks hooks;
        hooks.showMainWindow = [] { Forms::get<frmMain>()->show(); };
        QElapsedTimer t;
        t.start();
        Main(QString(), hooks);
        QApplication::processEvents();
        opens.push_back(Ms(t));
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
        refreshed = first;
        yearStart = FinYearStart;  // the financial year the window read from the System rows
        const QVariantList month{Day(first), Day(first.addMonths(1))};
        const bool saved = DbConnection().Execute(
            QStringLiteral("UPDATE JobDetails SET Description = ? WHERE JobID = (SELECT JobID "
                           "FROM JobDetails WHERE Cancelled = 0 AND Finish >= ? AND Start < ? "
                           "ORDER BY Start LIMIT 1)"),
            QVariantList{QStringLiteral("Edited in run %1").arg(run)} + month);
        if (!saved) QTextStream(stderr) << "cannot save: " << DbConnection().LastError() << "\n";
        t.start();
        w->ShowEditedAppointments();
        QApplication::processEvents();
        refreshes.push_back(Ms(t));

        // Work of the month attached to one of the year's pending invoices, whose amount
        // grows by its fee, as the invoice editor does; then the refresh after it.
        db::Recordset pick;
        pick.OpenWith(QStringLiteral("SELECT InvoiceNumber FROM Billing WHERE BillingDate >= ? AND BillingDate < ? "
                                     "AND Stage <= 2 ORDER BY InvoiceNumber"),
                      DbConnection(), {Day(yearStart), Day(yearStart.addYears(1))}, db::adOpenForwardOnly,
                      db::adLockReadOnly);
        // The empty database, measured for its memory alone, has none.
        const int invoice =
            pick.SetAbsolutePosition(run + 1) ? pick.Value(QStringLiteral("InvoiceNumber")).toInt() : 0;
        pick.Close();
        if (invoice > 0) attachedTo.push_back(invoice);
        const bool attached = invoice > 0 &&
            DbConnection().Execute(QStringLiteral("UPDATE JobDetails SET InvoiceNumber = ? WHERE JobID = (SELECT JobID "
                                                  "FROM JobDetails WHERE Cancelled = 0 AND InvoiceNumber = 0 AND "
                                                  "Finish >= ? AND Start < ? ORDER BY Start LIMIT 1)"),
                                   QVariantList{invoice} + month) &&
            DbConnection().Execute(QStringLiteral("UPDATE Billing SET InvoiceAmount = InvoiceAmount + 35 WHERE "
                                                  "InvoiceNumber = ?"),
                                   {invoice});
        if (attached) {
            t.start();
            w->ShowEditedAppointments();
            QApplication::processEvents();
            invoiceRefreshes.push_back(Ms(t));
        }

        t.start();
        Forms::unload<frmMain>();
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        closes.push_back(Ms(t));
    }

    sqlite3* handle = nullptr;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("ambrelle.mdb")));
    char* error = nullptr;
    if (sqlite3_open_v2(path.constData(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK ||
        sqlite3_exec(handle,
                     "CREATE INDEX IF NOT EXISTS JobDetails_Finish ON JobDetails (Finish);"
                     "CREATE INDEX IF NOT EXISTS Billing_BillingDate ON Billing (BillingDate)",
                     nullptr, nullptr, &error) != SQLITE_OK) {
        QTextStream(stderr) << "cannot index " << folder << ": "
                            << (error ? error : sqlite3_errmsg(handle)) << "\n";
        return 1;
    }
    std::vector<double> monthReads, invoiceReads;
    for (const QDate& first : shown) monthReads.push_back(TimeRead(handle, MonthSql(first)));
    for (int invoice : attachedTo)
        invoiceReads.push_back(TimeRead(handle, YearSql(yearStart, QStringLiteral("AND Billing.InvoiceNumber = %1 ").arg(invoice))));
    const double shownMonth = TimeRead(handle, MonthSql(refreshed));
    const double year = TimeRead(handle, YearSql(yearStart));
    const QString from = Day(yearStart), to = Day(yearStart.addYears(1));
    Figures figures{{QStringLiteral("launch"), launch},
                    {QStringLiteral("launch-read"), shownMonth + year},
                    {QStringLiteral("open"), Median(opens)},
                    {QStringLiteral("month"), Median(months)},
                    {QStringLiteral("month-read"), Median(monthReads)},
                    {QStringLiteral("refresh"), Median(refreshes)},
                    {QStringLiteral("refresh-read"), shownMonth},
                    {QStringLiteral("invoice-refresh"), Median(invoiceRefreshes)},
                    {QStringLiteral("invoice-refresh-read"), shownMonth + Median(invoiceReads)},
                    {QStringLiteral("memory"), memory},
                    {QStringLiteral("closing"), Median(closes)},
                    {QStringLiteral("year-read"), year},
                    {QStringLiteral("year-start"), yearStart.year()},
                    {QStringLiteral("year-pending"),
                     bench::Number(handle, QStringLiteral("SELECT COUNT(*) FROM Billing WHERE BillingDate >= '%1' AND "
                                                          "BillingDate < '%2' AND Stage <= 2").arg(from, to))},
                    {QStringLiteral("year-settled"),
                     bench::Number(handle, QStringLiteral("SELECT COUNT(*) FROM Billing WHERE BillingDate >= '%1' AND "
                                                          "BillingDate < '%2' AND Stage = 3").arg(from, to))},
                    {QStringLiteral("month-rows"),
                     bench::Number(handle, QStringLiteral("SELECT COUNT(*) FROM JobDetails WHERE Cancelled = 0 AND Finish >= "
                                                          "'%1' AND Start < '%2'")
                                               .arg(Day(refreshed), Day(refreshed.addMonths(1))))}};
    bench::AddCounts(handle, figures);
    sqlite3_close(handle);
    bench::PrintFigures(figures);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // As the program does: without TZ the C library reads the zone file for every local date.
    if (!qEnvironmentVariableIsSet("TZ")) qputenv("TZ", ":/etc/localtime");
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
    QCommandLineOption launch(QStringLiteral("launch"), QString(), QStringLiteral("folder"));
    launch.setFlags(QCommandLineOption::HiddenFromHelp);
    const bench::DatabaseOptions databases;
    parser.addOptions({runs, months, launch});
    parser.addOptions(databases.all());
    parser.process(app);
    if (parser.isSet(launch)) return Launch(parser.value(launch));
    const int n = std::max(1, parser.value(runs).toInt());
    const int m = std::max(1, parser.value(months).toInt());
    if (parser.isSet(databases.measure)) return Measure(parser.value(databases.measure), n, m);

    QTemporaryDir dir;
    const auto folder = [&dir](const char* name) {
        return QDir(dir.path()).filePath(QString::fromLatin1(name));
    };
    // Appointments run on to a few months past a year from now: every month shown is full.
    const QDate today = QDate::currentDate().addMonths(12);
    if (!bench::Prepare(folder("x1"), parser.value(databases.db1), bench::Scaled(1), today) ||
        !bench::Prepare(folder("x16"), parser.value(databases.db16), bench::Scaled(16), today) ||
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
    out << "1x: " << bench::SizesText(*x1) << "\n  " << bench::YearText(*x1) << "\n16x: " << bench::SizesText(*x16)
        << "\n  " << bench::YearText(*x16) << "\n";
    for (const auto& [name, f] : {std::pair{"1x", &*x1}, std::pair{"16x", &*x16}})
        out << "  " << name << ": the financial year from 1 April " << f->value(QStringLiteral("year-start"))
            << " lists " << f->value(QStringLiteral("year-pending")) << " pending and "
            << f->value(QStringLiteral("year-settled")) << " settled invoices; the month refreshed holds "
            << f->value(QStringLiteral("month-rows")) << " appointments\n";
    out << n << " start-ups, " << m << " month changes each; medians in ms, each beside the bare "
        << "read of the rows it reads (" << qgetenv("QT_QPA_PLATFORM") << ")\n";
    out << QStringLiteral("  %1 %2 %3 %4 %5 %6 %7  %8\n")
               .arg(QStringLiteral("figure"), -32)
               .arg(QStringLiteral("1x"), 8)
               .arg(QStringLiteral("bare 1x"), 8)
               .arg(QStringLiteral("ratio"), 6)
               .arg(QStringLiteral("16x"), 8)
               .arg(QStringLiteral("bare 16x"), 8)
               .arg(QStringLiteral("ratio"), 6)
               .arg(QStringLiteral("aim"));
    // aim: the most the 16x figure may be, in ms; aimRatio: the most it may be over its read.
    const auto row = [&](const char* label, const char* key, const char* bareKey, double aim, double aimRatio) {
        const QString k = QString::fromLatin1(key), b = QString::fromLatin1(bareKey);
        const double a = x1->value(k), c = x16->value(k), bareA = x1->value(b), bareC = x16->value(b);
        const auto ratio = [](double ms, double bare) {
            return bare > 0 ? QString::number(ms / bare, 'f', 1) + QLatin1Char('x') : QStringLiteral("-");
        };
        QString aimText;
        if (aim > 0) aimText = QStringLiteral("16x < %1 ms %2").arg(aim).arg(c < aim ? "met" : "missed");
        if (aimRatio > 0)
            aimText = QStringLiteral("16x within %1x of its read %2")
                          .arg(aimRatio)
                          .arg(bareC > 0 && c <= aimRatio * bareC ? "met" : "missed");
        out << QStringLiteral("  %1 %2 %3 %4 %5 %6 %7  %8\n")
                   .arg(QString::fromLatin1(label), -32)
                   .arg(bench::TimeText(a), 8)
                   .arg(bench::TimeText(bareA), 8)
                   .arg(ratio(a, bareA), 6)
                   .arg(bench::TimeText(c), 8)
                   .arg(bench::TimeText(bareC), 8)
                   .arg(ratio(c, bareC), 6)
                   .arg(aimText);
    };
    row("launch, process to window shown", "launch", "launch-read", 300, 0);
    row("main window opened in process", "open", "launch-read", 0, 0);
    row("month change", "month", "month-read", 0, 2);
    row("refresh after the appointment ed.", "refresh", "refresh-read", 150, 0);
    row("refresh after the invoice editor", "invoice-refresh", "invoice-refresh-read", 150, 0);
    row("closing", "closing", "", 50, 0);
    out << QStringLiteral("  idle memory (MB): 1x %1, 16x %2, empty %3; aim 16x < 150 MB %4\n")
               .arg(x1->value(QStringLiteral("memory")), 0, 'f', 1)
               .arg(x16->value(QStringLiteral("memory")), 0, 'f', 1)
               .arg(none->value(QStringLiteral("memory")), 0, 'f', 1)
               .arg(x16->value(QStringLiteral("memory")) < 150 ? "met" : "missed");
    out << "  reads: launch = the month shown and the year's two lists (year alone "
        << bench::TimeText(x1->value(QStringLiteral("year-read"))) << " and "
        << bench::TimeText(x16->value(QStringLiteral("year-read")))
        << "); refresh = the month; invoice refresh = the month and the invoice changed\n";
    return 0;
}
