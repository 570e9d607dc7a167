// Times the reports on the large generated database: the invoice report and the expense report
// of one financial year, each laid out and written to PDF, and the printed invoice.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <functional>
#include <vector>

#include "accounts/Invoice_system.h"
#include "accounts/Rpt_Expense.h"
#include "accounts/Rpt_Invoice.h"
#include "bench/generator.h"
#include "bench/timing.h"
#include "core/globals.h"

namespace {

struct Figure {
    double median = 0, max = 0;
    int pages = 0;
};

// Set-up, layout and PDF of a fresh report, `runs` times.
Figure Time(int runs, const QString& pdf,
            const std::function<std::unique_ptr<report::Report>()>& make) {
    std::vector<double> ms;
    Figure f;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const std::unique_ptr<report::Report> r = make();
        r->WritePdf(pdf);
        ms.push_back(t.nsecsElapsed() / 1e6);
        std::vector<report::Page> pages;
        r->Layout(&pages);
        f.pages = static_cast<int>(pages.size());
    }
    f.median = bench::Median(ms);
    f.max = *std::max_element(ms.begin(), ms.end());
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Times the invoice and expense reports and the printed invoice."));
    p.addHelpOption();
    p.addPositionalArgument(QStringLiteral("PATH"),
                            QStringLiteral("a generated database (default: generate one)"));
    const QCommandLineOption runsOpt(QStringLiteral("runs"),
                                     QStringLiteral("timed runs of each (default 5)"),
                                     QStringLiteral("N"), QStringLiteral("5"));
    p.addOption(runsOpt);
    p.process(app);
    const int runs = std::max(1, p.value(runsOpt).toInt());
    QTextStream out(stdout);

    QTemporaryDir temp;
    const QString path = bench::BenchmarkDatabase(
        p.positionalArguments().isEmpty() ? QString() : p.positionalArguments().first(),
        temp.path());
    if (path.isEmpty()) return 1;
    DbConnection().SetCursorLocation(db::adUseClient);
    if (!DbConnection().Open(QStringLiteral("DBQ=") + path)) {
        out << "could not open " << path << ": " << DbConnection().LastError() << "\n";
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

    const QString pdf = QDir(temp.path()).filePath(QStringLiteral("report.pdf"));
    const Figure invoices = Time(runs, pdf, [] {
        auto r = std::make_unique<Rpt_Invoice>();
        r->DataReport_Initialize(QString::number(FinYearStart.year()));
        return r;
    });
    const Figure expenses = Time(runs, pdf, [] {
        auto r = std::make_unique<Rpt_Expense>();
        r->DataReport_Initialize();
        return r;
    });
    const Figure printed = Time(runs, pdf, [] {
        auto r = std::make_unique<Invoice_system>();
        r->DataReport_Initialize();
        return r;
    });
    out << QStringLiteral("financial year from %1, %2 runs each, set-up + layout + PDF\n")
               .arg(FinYearStart.toString(Qt::ISODate))
               .arg(runs);
    auto row = [&out](const char* name, const Figure& f, double aim) {
        out << QStringLiteral("  %1 median %2 ms, max %3 ms, %4 pages   aim under %5 ms -> %6\n")
                   .arg(QString::fromLatin1(name), -16)
                   .arg(f.median, 8, 'f', 1)
                   .arg(f.max, 8, 'f', 1)
                   .arg(f.pages, 4)
                   .arg(aim)
                   .arg(f.median < aim ? QStringLiteral("met") : QStringLiteral("missed"));
    };
    row("invoice report", invoices, 1000);
    row("expense report", expenses, 1000);
    row("printed invoice", printed, 100);
    DbConnection().Close();
    return 0;
}
