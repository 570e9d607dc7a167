// The year reports on paper whatever page the preview or the print dialog chooses, their money
// columns against their totals, order numbers and dates in one piece, and the Invoice Tracker's
// total boxes, on a fixture database.
#include <QAction>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include "accounts/Invoice_system.h"
#include "accounts/Rpt_Expense.h"
#include "accounts/Rpt_Invoice.h"
#include "core/globals.h"
#include "diary/frmMain.h"
#include "platform/com/com.h"
#include "platform/report/preview.h"
#include "platform/report/text.h"
#include "tests/support/testenv.h"

using db::Currency;
using testsupport::AddCompany;
using testsupport::AddExpense;
using testsupport::AddInvoice;
using testsupport::AddJob;
using testsupport::TestEnv;

namespace {

QVariant Pounds(double v) { return QVariant::fromValue(Currency::fromDouble(v).value()); }
QDateTime At(int y, int m, int d, int h = 0) { return QDateTime(QDate(y, m, d), QTime(h, 0)); }

// A money text as whole pence.
qint64 Pence(QString text) {
    const bool negative = text.startsWith(u'-');
    text.remove(QRegularExpression(QStringLiteral("[^0-9]")));
    return (negative ? -1 : 1) * text.toLongLong();
}

// Each page's text from poppler's pdftotext, which leaves out what lies off the paper.
QStringList PdfPages(const QString& path) {
    QProcess p;
    p.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")),
            {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(u'\f');
    pages.removeLast();
    return pages;
}

int Matches(const QString& text, const QString& pattern) {
    int n = 0;
    for (auto it = QRegularExpression(pattern).globalMatch(text); it.hasNext(); it.next()) ++n;
    return n;
}

}  // namespace

class TestReportsOnPaper : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env_;
    db::Connection& c() { return env_->connection(); }

    // A year of `invoices` paid invoices and `expenses` expenses, amounts in odd pence so that
    // VAT at 17.5% leaves fractions of a penny; each row has a mark of its own.
    void FillYear(int invoices, int expenses) {
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        for (int i = 1; i <= invoices; ++i)
            AddInvoice(
                c(), AddCompany(c(), QStringLiteral("Customer-%1").arg(i, 3, 10, QChar(u'0'))),
                QDate(2026, 4, 1), Currency::fromDouble((10 + i * 7919 % 500000) / 100.0).value(),
                {{"PaymentDate", At(2026, 4, 1).addDays(i % 365)}, {"Stage", 3}});
        testsupport::SetSystemRow(c(), QStringLiteral("Milage"), QStringLiteral("45"));
        for (int i = 1; i <= expenses; ++i) {
            QVariantMap e{
                {"Type", i % 3 ? "Materials" : "Mileage"},
                {"Description", QStringLiteral("Receipt-%1 for the boiler at the vicarage")
                                    .arg(i, 4, 10, QChar(u'0'))},
                {"Reciept", i % 2}};
            e[i % 3 ? "Amount" : "Milage"] =
                i % 3 ? Pounds((10 + i * 4271 % 30000) / 100.0) : QVariant(i);
            if (i % 4)
                e["Date"] = At(2026, 4, 2, 10).addDays(i % 360);
            else
                e["ScheduleID"] = AddJob(c(), acme, At(2026, 5, 1, 9).addDays(i % 300),
                                         At(2026, 5, 1, 17).addDays(i % 300));
            AddExpense(c(), e);
        }
    }

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() {
        env_ = std::make_unique<TestEnv>();
        DbConnection().SetCursorLocation(db::adUseClient);
        QVERIFY(DbConnection().Open(env_->connectionString()));
        OwnerCompanyName = QStringLiteral("Brightwater");
        FinYearStart = QDate(2026, 4, 1);
    }
    void cleanup() {
        DbConnection().Close();
        env_.reset();
    }

    // The preview's page turned (its buttons, Page setup, the print dialog), then printed to
    // a PDF: every row and every money column on the paper, each page with its footer.
    void aChangeOfPageInThePreviewPrintsEveryRow_data() {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("landscape");
        QTest::newRow("invoice report, Landscape button") << "invoice"
                                                          << "Landscape" << true;
        QTest::newRow("expense report, Portrait button") << "expense"
                                                         << "Portrait" << false;
        QTest::newRow("expense report, Letter portrait in Page setup") << "expense"
                                                                       << "Letter" << false;
        QTest::newRow("invoice report, turned in the print dialog") << "invoice"
                                                                    << "dialog" << true;
    }
    void aChangeOfPageInThePreviewPrintsEveryRow() {
        QFETCH(QString, report);
        QFETCH(QString, change);
        QFETCH(bool, landscape);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        VatMultiplier = 1.175;
        FillYear(193, 120);
        Rpt_Invoice invoices;
        Rpt_Expense expenses;
        invoices.DataReport_Initialize(QStringLiteral("2026"));
        expenses.DataReport_Initialize();
        const bool isInvoices = report == u"invoice";
        const QString path = QDir(env_->programFolder()).filePath(QStringLiteral("report.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        report::PreviewDialog preview(
            isInvoices ? static_cast<report::Report&>(invoices) : expenses, printer);
        QSignalSpy laidOut(&preview, &report::PreviewDialog::laidOut);
        const auto action = [&preview](const QString& text) {
            for (QAction* a : preview.findChildren<QAction*>())
                if (a->text() == text) return a;
            return static_cast<QAction*>(nullptr);
        };
        preview.show();
        QVERIFY(laidOut.wait(30000));
        if (change == u"Letter") {
            report::Sheet sheet = preview.pages().sheet();
            sheet.paper = QPageSize(QPageSize::Letter);
            sheet.orientation = QPageLayout::Portrait;
            preview.SetSheet(sheet);
            QVERIFY(laidOut.wait(30000));
        } else if (change == u"dialog") {
            printer.setPageOrientation(QPageLayout::Landscape);
        } else {
            action(change)->trigger();
            QVERIFY(laidOut.wait(30000));
        }
        env_->prompts().ExpectPrint(true);
        action(QStringLiteral("Print"))->trigger();
        QCOMPARE(preview.result(), int(QDialog::Accepted));

        const QStringList pages = PdfPages(path);
        QVERIFY(pages.size() > 1);
        const QString all = pages.join(u'\n');
        const int rows = isInvoices ? 193 : 120;
        for (int i = 1; i <= rows; ++i)
            QCOMPARE(Matches(all, (isInvoices ? QStringLiteral("Customer-%1\\b")
                                              : QStringLiteral("Receipt-%1\\b"))
                                      .arg(i, isInvoices ? 3 : 4, 10, QChar(u'0'))),
                     1);
        // Three amounts a row, three totals.
        QCOMPARE(Matches(all, QStringLiteral("£[\\d,]+\\.\\d\\d")), 3 * rows + 3);
        if (!isInvoices) QCOMPARE(Matches(all, QStringLiteral("\\b(Yes|No)\\b")), rows);
        for (int p = 0; p < pages.size(); ++p)
            QVERIFY2(
                pages[p].contains(QStringLiteral("Page %1 of %2").arg(p + 1).arg(pages.size())),
                qPrintable(pages[p].right(200)));
        QProcess info;
        info.start(QStandardPaths::findExecutable(QStringLiteral("pdfinfo")), {path});
        QVERIFY(info.waitForFinished(20000));
        const QRegularExpressionMatch size =
            QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)"))
                .match(QString::fromUtf8(info.readAllStandardOutput()));
        QVERIFY(size.hasMatch());
        QCOMPARE(size.captured(1).toDouble() > size.captured(2).toDouble(), landscape);
    }

    // Every printed money column adds up to its printed total, each line rounded to pence as
    // it prints; without fractions of a penny the totals are the database's sums.
    void printedColumnsAddUpToTheirTotals_data() {
        QTest::addColumn<QString>("report");
        QTest::addColumn<double>("vat");
        QTest::addColumn<bool>("wholePounds");
        QTest::newRow("invoice report, VAT 17.5%") << "invoice" << 1.175 << false;
        QTest::newRow("invoice report, no VAT") << "invoice" << 0.0 << false;
        QTest::newRow("invoice report, VAT 20% on whole pounds") << "invoice" << 1.2 << true;
        QTest::newRow("expense report, VAT 17.5%, mileage") << "expense" << 1.175 << false;
    }
    void printedColumnsAddUpToTheirTotals() {
        QFETCH(QString, report);
        QFETCH(double, vat);
        QFETCH(bool, wholePounds);
        VatMultiplier = vat;
        FillYear(wholePounds ? 0 : 193, 120);
        double net = 0;
        for (int i = 1; wholePounds && i <= 50; ++i) {
            AddInvoice(c(), AddCompany(c(), QStringLiteral("C%1").arg(i)), QDate(2026, 4, 1),
                       Currency::fromWholeNumber(i * 37).value(),
                       {{"PaymentDate", At(2026, 6, 1)}, {"Stage", 3}});
            net += i * 37;
        }
        Rpt_Invoice invoices;
        Rpt_Expense expenses;
        invoices.DataReport_Initialize(QStringLiteral("2026"));
        expenses.DataReport_Initialize();
        std::vector<report::Page> pages;
        QVERIFY((report == u"invoice" ? static_cast<report::Report&>(invoices) : expenses)
                    .Layout(&pages));
        std::map<QString, qint64> printed;
        for (const report::Page& page : pages)
            for (const report::Item& i : page.items)
                if (i.text.startsWith(u'£')) printed[i.control] += Pence(i.text);
        const std::map<QString, QString> totals = {
            {"txtAmm", "fncAmm"}, {"txtVAT", "fncVAT"}, {"txtSubT", "fncTotal"}};
        int columns = 0;
        for (const auto& [line, total] : totals) {
            if (!printed.count(total)) continue;
            ++columns;
            QCOMPARE(printed[line], printed[total]);
        }
        QCOMPARE(columns, vat == 0 ? 1 : 3);
        if (wholePounds) {
            QCOMPARE(printed["fncAmm"], qint64(net * 100));
            QCOMPARE(printed["fncTotal"], qRound64(net * 120));
        }
    }

    // An order number prints whole on one line where the invoice has room for it; the
    // expense report's dates take one form, a date of its own as a job's are joined.
    void identifiersAndDatesPrintInOnePiece_data() {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::newRow("order number") << "invoice"
                                      << "Text14"
                                      << "PO-2025-0001234567";
        QTest::newRow("an expense's own date") << "expense"
                                               << "Text1"
                                               << "01/05/2026 10:00:00";
        QTest::newRow("a job's dates") << "expense"
                                       << "Text1"
                                       << "02/06/2026 09:00:00 to 02/06/2026 17:00:00";
    }
    void identifiersAndDatesPrintInOnePiece() {
        QFETCH(QString, report);
        QFETCH(QString, control);
        QFETCH(QString, text);
        VatMultiplier = 1.2;
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        CurrentInvoiceNumber = AddInvoice(c(), acme, QDate(2026, 6, 3), Currency::fromUnits(90));
        AddJob(c(), acme, At(2026, 6, 2, 9), At(2026, 6, 2, 17),
               {{"InvoiceNumber", CurrentInvoiceNumber},
                {"Fee", Pounds(90)},
                {"PO_Number", "PO-2025-0001234567"},
                {"Description", "Survey"}});
        AddExpense(c(), {{"Type", "Parts"}, {"Amount", Pounds(5)}, {"Date", At(2026, 5, 1, 10)}});
        AddExpense(c(), {{"Type", "Lunch"},
                         {"Amount", Pounds(3)},
                         {"ScheduleID", AddJob(c(), acme, At(2026, 6, 2, 9), At(2026, 6, 2, 17))}});
        Invoice_system invoice;
        Rpt_Expense expenses;
        invoice.DataReport_Initialize();
        expenses.DataReport_Initialize();
        std::vector<report::Page> pages;
        QVERIFY((report == u"invoice" ? static_cast<report::Report&>(invoice) : expenses)
                    .Layout(&pages));
        bool found = false;
        for (const report::Item& i : pages.at(0).items) {
            if (i.control != control || i.text != text) continue;
            found = true;
            QVERIFY2(report::text::Face::Of(i.font).NaturalWidth(i.text) <= i.box.width(),
                     qPrintable(QStringLiteral("%1 is %2 wide").arg(text).arg(i.box.width())));
        }
        QVERIFY2(found, qPrintable(pages.at(0).texts().join(u'|')));
        CurrentInvoiceNumber = 0;
    }

    // The Invoice Tracker's totals never lose a digit or the pound sign: an amount too wide
    // for its box ends in "…", the whole of it in the tooltip.
    void totalBoxesNeverCutAnAmountSilently_data() {
        QTest::addColumn<double>("amount");
        QTest::newRow("hundreds") << 200.0;
        QTest::newRow("a million") << 9999915.63;
        QTest::newRow("ten million") << 12345678.9;
    }
    void totalBoxesNeverCutAnAmountSilently() {
        QFETCH(double, amount);
        for (const auto& [key, value] :
             {std::pair{"CurrentFnYear", "2026"}, {"FinYearMonth", "3"}, {"FinYearDay", "1"}})
            testsupport::SetSystemRow(c(), QString::fromLatin1(key), QString::fromLatin1(value));
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        AddInvoice(c(), acme, QDate(2026, 6, 1), Currency::fromDouble(amount).value(),
                   {{"Stage", 3}, {"PaymentDate", At(2026, 7, 1)}});
        AddInvoice(c(), acme, QDate(2026, 6, 1), Currency::fromDouble(amount).value());
        VatMultiplier = 1.2;
        SetProgramFolder(env_->programFolder());
        QVERIFY(com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY)));
        frmMain main;
        main.MainTabctl->setCurrentIndex(1);
        for (QLineEdit* box : {main.totPend, main.totPendVAT, main.totSet, main.totSetVat}) {
            const QString whole = box->toolTip();
            const double expected =
                box == main.totPend || box == main.totSet ? amount : amount * 1.2;
            QCOMPARE(Pence(whole), qRound64(expected * 100));
            QVERIFY2(box->text() == whole ||
                         (box->text().endsWith(u'…') && whole.startsWith(box->text().chopped(1))),
                     qPrintable(box->text()));
            QVERIFY(box->text().startsWith(u'£'));
            QVERIFY2(
                box->fontMetrics().horizontalAdvance(box->text()) < box->contentsRect().width(),
                qPrintable(box->text()));
        }
        main.close();
    }
};

QTEST_MAIN(TestReportsOnPaper)
#include "tst_reports_paper.moc"
