// The printed invoice and the year's invoice and expense reports on a fixture database; every
// report's pages whole on a fixture at the edges of what they print.
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

#include "accounts/Invoice_system.h"
#include "accounts/Rpt_Expense.h"
#include "accounts/Rpt_Invoice.h"
#include "core/globals.h"
#include "diary/Rpt_Monthly_Planner.h"
#include "diary/frmMain.h"
#include "platform/com/com.h"
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

QStringList Texts(const report::Report& r) {
    std::vector<report::Page> pages;
    QString error;
    if (!r.Layout(&pages, &error)) return {QStringLiteral("error: ") + error};
    QStringList all;
    for (const report::Page& p : pages) all += p.texts();
    return all;
}

// The lines of an item's text as they print in its box: its font at its size on a page of
// 1440 dots an inch, where a dot is a twip.
QStringList PrintedLines(const report::Item& item, QSizeF* size) {
    static QImage page = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        i.setDotsPerMeterX(56693);
        i.setDotsPerMeterY(56693);
        return i;
    }();
    QFont font = item.font;
    font.setHintingPreference(QFont::PreferNoHinting);
    QString text = item.text;
    text.replace(QRegularExpression(QStringLiteral("\r\n|\r|\n")), QChar(QChar::LineSeparator));
    QTextLayout layout(text, font, &page);
    QTextOption option(item.alignment & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    *size = QSizeF();
    layout.beginLayout();
    for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
        l.setLeadingIncluded(true);
        l.setLineWidth(item.box.width());
        size->rwidth() = std::max(size->width(), l.naturalTextWidth());
        size->rheight() += l.height();
        lines << text.mid(l.textStart(), l.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

QString Squeezed(QString s) { return s.remove(QRegularExpression(QStringLiteral("\\s"))); }

const QString kOwner =
    QStringLiteral("Dan Hughes Plumbing & Heating Engineers of Harrogate and Knaresborough");
const QString kCustomer =
    QStringLiteral("The Trustees of the Ripon and Wetherby Almshouses Charitable Foundation");
const QString kDetails = QStringLiteral(
    "Payment within 30 days by bank transfer to Yorkshire Building Society, sort code 60-83-71, "
    "account 20456789,\r\nquoting the invoice number, or by cheque payable to Dan Hughes "
    "Plumbing & Heating at the address above.");

QString Words(int n) {
    QStringList w;
    for (int i = 0; i < n; ++i)
        w << QStringLiteral("remove%1 and replace combi boiler, flush the system").arg(i);
    return w.join(u' ');
}

}  // namespace

class TestReports : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env_;
    db::Connection& c() { return env_->connection(); }

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

    void printedInvoice_data() {
        QTest::addColumn<double>("vat");
        QTest::addColumn<QVariant>("sameAsPostal");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("no VAT, billing address")
            << 0.0 << QVariant(0)
            << QStringList{"Bill St", "Total", "£1,150.50", "4.Jan.27", "£150.50"}
            << QStringList{"Post St", "VAT", "Sub Total", "17.50%"};
        QTest::newRow("VAT, postal address")
            << 1.175 << QVariant(1)
            << QStringList{"Post St", "Sub Total", "£1,150.50", "£201.34", "£1,351.84", "17.50%"}
            << QStringList{"Bill St"};
        QTest::newRow("Yes stored as -1: postal address")
            << 0.0 << QVariant(-1) << QStringList{"Post St"} << QStringList{"Bill St"};
    }
    void printedInvoice() {
        QFETCH(double, vat);
        QFETCH(QVariant, sameAsPostal);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, absent);
        VatMultiplier = vat;
        testsupport::SetSystemRow(c(), QStringLiteral("MyAddress"), QStringLiteral("1 High St"));
        testsupport::SetSystemRow(c(), QStringLiteral("MyPostcode"), QStringLiteral("LS1 1AA"));
        const int acme =
            AddCompany(c(), QStringLiteral("Acme"),
                       {{QStringLiteral("IsBillingAddressSameasPostal"), sameAsPostal},
                        {QStringLiteral("Postal_AddressStreet"), QStringLiteral("Post St")},
                        {QStringLiteral("Billing_AddressStreet"), QStringLiteral("Bill St")}});
        const int n =
            AddInvoice(c(), acme, QDate(2027, 1, 10), Currency::fromDouble(1150.5).value());
        AddInvoice(c(), acme, QDate(2027, 1, 11), Currency::fromDouble(9).value());
        AddJob(c(), acme, At(2027, 1, 4, 9), At(2027, 1, 4, 10),
               {{"InvoiceNumber", n}, {"Fee", Pounds(150.5)}});
        AddJob(c(), acme, At(2027, 1, 5, 9), At(2027, 1, 5, 10),
               {{"InvoiceNumber", n}, {"Fee", Pounds(1000)}});
        CurrentInvoiceNumber = n;
        Invoice_system r;
        r.DataReport_Initialize();
        const QStringList texts = Texts(r);
        for (const QString& e : expected)
            QVERIFY2(texts.contains(e), qPrintable(e + " in " + texts.join('|')));
        for (const QString& a : absent) QVERIFY2(!texts.contains(a), qPrintable(a));
        QCOMPARE(texts.filter(QStringLiteral("Acme")).size(), 1);
        QVERIFY(texts.contains(QStringLiteral("10 January 2027")));
        QVERIFY(texts.contains(QStringLiteral("1 High St\rLS1 1AA")));
        QCOMPARE(texts.first(), QStringLiteral("Brightwater"));
        CurrentInvoiceNumber = 0;
    }

    void invoiceReportTakesTheWholeYear_data() {
        QTest::addColumn<double>("vat");
        QTest::addColumn<QStringList>("totals");
        QTest::newRow("no VAT") << 0.0 << QStringList{"£300.00"};
        QTest::newRow("VAT 20%") << 1.2 << QStringList{"£300.00", "£60.00", "£360.00"};
    }
    void invoiceReportTakesTheWholeYear() {
        QFETCH(double, vat);
        QFETCH(QStringList, totals);
        VatMultiplier = vat;
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        const auto paid = [&](const QDateTime& when) {
            return AddInvoice(c(), acme, QDate(2026, 3, 1), Currency::fromUnits(100),
                              {{"PaymentDate", when}, {"Stage", 3}});
        };
        const int first = paid(At(2026, 4, 1));
        const int last = paid(At(2027, 3, 31, 18));
        paid(At(2027, 4, 1));
        paid(At(2026, 3, 31, 23));
        AddInvoice(c(), acme, QDate(2026, 5, 1), Currency::fromUnits(100));  // never paid
        const int mid = paid(At(2026, 9, 9));
        Rpt_Invoice r;
        r.DataReport_Initialize(QStringLiteral("2026"));
        QCOMPARE(r.Title, QStringLiteral("Brightwater Invoice report for financial year 2026"));
        QStringList numbers;
        for (int row = 0; row < r.Rows.RecordCount(); ++row)
            numbers << r.Rows.ValueAt(row, 0).toString();
        numbers.sort();
        QCOMPARE(numbers, (QStringList{QString::number(first), QString::number(last),
                                       QString::number(mid)}));
        const QStringList texts = Texts(r);
        QCOMPARE(texts.mid(texts.indexOf(QStringLiteral("Total(s) for the year:")) + 1),
                 totals + QStringList{"Page 1 of 1"});
    }

    void expenseReportValuesMileage_data() {
        QTest::addColumn<QString>("pence");  // empty: no row
        QTest::addColumn<QString>("mileage");
        QTest::newRow("40 pence") << "40"
                                  << "£40.00";
        QTest::newRow("no rate: the Options dialog's 39 pence") << ""
                                                                << "£39.00";
    }
    void expenseReportValuesMileage() {
        QFETCH(QString, pence);
        QFETCH(QString, mileage);
        VatMultiplier = 0;
        if (!pence.isEmpty()) testsupport::SetSystemRow(c(), QStringLiteral("Milage"), pence);
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        const int job = AddJob(c(), acme, At(2026, 6, 2, 9), At(2026, 6, 2, 11));
        AddExpense(c(), {{"Type", "Mileage"},
                         {"Milage", 100},
                         {"Amount", Pounds(5)},
                         {"Date", At(2026, 5, 1)}});
        AddExpense(c(), {{"Type", "Parts"},
                         {"Amount", Pounds(12.5)},
                         {"Date", At(2026, 4, 1)},
                         {"Reciept", 1}});
        AddExpense(c(), {{"Type", "Tools"},
                         {"Milage", 0},
                         {"Amount", Pounds(7)},
                         {"Date", At(2027, 3, 31, 20)}});
        AddExpense(c(), {{"Type", "Lunch"}, {"Amount", Pounds(3)}, {"ScheduleID", job}});
        AddExpense(c(), {{"Type", "Late"}, {"Amount", Pounds(99)}, {"Date", At(2027, 4, 1)}});
        AddExpense(c(), {{"Type", "Early"}, {"Amount", Pounds(99)}, {"Date", At(2026, 3, 31, 23)}});
        Rpt_Expense r;
        r.DataReport_Initialize();
        const QStringList texts = Texts(r);
        QVERIFY2(texts.contains(mileage), qPrintable(texts.join('|')));
        for (const char* kept :
             {"Parts", "Tools", "Lunch", "Acme", "£12.50", "£7.00", "£3.00", "Yes", "No"})
            QVERIFY2(texts.contains(QString::fromUtf8(kept)), kept);
        for (const char* out : {"Late", "Early", "VAT"})
            QVERIFY2(!texts.contains(QString::fromLatin1(out)), out);
        QVERIFY(texts.contains(QStringLiteral("02/06/2026 09:00:00 to 02/06/2026 11:00:00")));
        QCOMPARE(texts.mid(texts.indexOf(QStringLiteral("Total:")) + 1, 2),
                 (QStringList{"4", "Items"}));
    }

    // A stored rate that is no number of pence gives no report rather than one at another rate.
    void expenseReportNeedsAReadableRate_data() {
        QTest::addColumn<QString>("pence");
        for (const char* bad : {"45p", "£0.45", "0,45", "1e3"})
            QTest::addRow("%s", bad) << QString::fromUtf8(bad);
    }
    void expenseReportNeedsAReadableRate() {
        QFETCH(QString, pence);
        VatMultiplier = 0;
        testsupport::SetSystemRow(c(), QStringLiteral("Milage"), pence);
        AddExpense(c(), {{"Type", "Mileage"}, {"Milage", 100}, {"Date", At(2026, 5, 1)}});
        Rpt_Expense r;
        r.DataReport_Initialize();
        const QString shown = Texts(r).join(u'|');
        QVERIFY2(shown.startsWith("error: The mileage rate \"" + pence + '"'), qPrintable(shown));
    }

    // Long names and descriptions, payment details of two lines, amounts up to £9,999,999.99.
    int FillToTheEdges() {
        testsupport::SetSystemRow(c(), QStringLiteral("MyCompanyName"), kOwner);
        testsupport::SetSystemRow(c(), QStringLiteral("MyAddress"),
                                  QStringLiteral("Unit 14, Claro Court Business Centre, Claro "
                                                 "Road\r\nHarrogate\r\nNorth Yorkshire"));
        testsupport::SetSystemRow(c(), QStringLiteral("MyPostcode"), QStringLiteral("HG1 5QT"));
        const int trust =
            AddCompany(c(), kCustomer,
                       {{"IsBillingAddressSameasPostal", 1},
                        {"Postal_AddressStreet", "The Old Vicarage, 112 Kirkgate and Bondgate"},
                        {"Postal_AddressTown", "Ripon"},
                        {"Postal_AddressPostcode", "HG4 1PB"}});
        const int n = AddInvoice(
            c(), trust, QDate(2027, 2, 10), Currency::fromDouble(9999999.99).value(),
            {{"InvoicePaymentDetails", kDetails}, {"PaymentDate", At(2027, 3, 1)}, {"Stage", 3}});
        AddInvoice(c(), trust, QDate(2026, 5, 1), Currency::fromDouble(98765.43).value(),
                   {{"PaymentDate", At(2026, 5, 9)}, {"Stage", 3}});
        AddInvoice(c(), AddCompany(c(), QStringLiteral("Acme")), QDate(2026, 6, 1),
                   Currency::fromDouble(126832.5).value(),
                   {{"PaymentDate", At(2026, 6, 9)}, {"Stage", 3}});
        const double fees[] = {9999999.99, 98765.43, 12.5};
        const int words[] = {40, 120, 2};  // 2,000 characters, one longer than a page, a short one
        for (int i = 0; i < 3; ++i)
            AddJob(c(), trust, At(2027, 2, 3 + i, 9), At(2027, 2, 3 + i, 17),
                   {{"InvoiceNumber", n},
                    {"Fee", Pounds(fees[i])},
                    {"PO_Number", "PO-2027-0001234567"},
                    {"Description", Words(words[i])}});
        const int job = AddJob(c(), trust, At(2026, 7, 1, 9), At(2026, 7, 1, 17));
        AddExpense(c(), {{"Type", "Materials and sundries for the boiler"},
                         {"Description", Words(6)},
                         {"Amount", Pounds(9999999.99)},
                         {"ScheduleID", job},
                         {"Reciept", 1}});
        AddExpense(c(), {{"Type", "Mileage"}, {"Milage", 25000}, {"Date", At(2026, 8, 1)}});
        return n;
    }

    void everyReportPrintsWhole_data() {
        QTest::addColumn<QString>("report");
        QTest::addColumn<double>("vat");
        QTest::addColumn<QStringList>("whole");  // texts printed in full, in one control each
        const QStringList invoice = {kOwner,       kCustomer, "£9,999,999.99",
                                     "£98,765.43", Words(40), Words(120),
                                     kDetails,     "HG1 5QT", "PO-2027-0001234567"};
        const QList<std::pair<const char*, QStringList>> rows = {
            {"invoice", invoice},
            {"reminder", invoice + QStringList{"Payment Reminder"}},
            {"invoice report", {kCustomer, "£9,999,999.99", "Payment made", "Invoice Number:"}},
            {"expense report", {kCustomer, "£9,999,999.99", Words(6), "Receipt?"}},
            {"planner", {kCustomer, Words(120), "Number of appointments:"}}};
        for (const auto& [name, whole] : rows)
            for (double vat : {1.2, 0.0})
                QTest::addRow("%s, VAT %g", name, vat) << QString::fromLatin1(name) << vat << whole;
    }
    void everyReportPrintsWhole() {
        QFETCH(QString, report);
        QFETCH(double, vat);
        QFETCH(QStringList, whole);
        VatMultiplier = vat;
        OwnerCompanyName = kOwner;
        CurrentInvoiceNumber = FillToTheEdges();
        SetProgramFolder(env_->programFolder());
        QVERIFY(com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY)));
        frmMain main;
        main.ViewDate = At(2027, 2, 14);
        main.ShowMonth();
        Invoice_system invoice;
        Rpt_Invoice invoices;
        Rpt_Expense expenses;
        Rpt_Monthly_Planner planner;
        const std::map<QString, report::Report*> reports = {{"invoice", &invoice},
                                                            {"reminder", &invoice},
                                                            {"invoice report", &invoices},
                                                            {"expense report", &expenses},
                                                            {"planner", &planner}};
        invoice.DataReport_Initialize();
        if (report == u"reminder")
            invoice.section(1)->control(QStringLiteral("lblINV"))->caption =
                QStringLiteral("Payment Reminder");
        invoices.DataReport_Initialize(QStringLiteral("2026"));
        expenses.DataReport_Initialize();
        planner.DataReport_Initialize(&main);
        const report::Report& r = *reports.at(report);
        std::vector<report::Page> pages;
        QString error;
        QVERIFY2(r.Layout(&pages, &error), qPrintable(error));

        if (QFontDatabase::hasFamily(QStringLiteral("Liberation Sans")))
            QCOMPARE(QFontInfo(report::TwipFont(QFont(QStringLiteral("Arial"), 9))).family(),
                     QStringLiteral("Liberation Sans"));
        const QRectF paper = QRectF(r.LeftMargin, 0, r.PageWidth() - 2 * r.LeftMargin,
                                    r.PageHeight() - r.BottomMargin)
                                 .adjusted(-0.5, -0.5, 0.5, 0.5);
        std::map<QString, QString> printed;  // each control's texts, page after page
        for (const report::Page& page : pages) {
            for (const report::Item& i : page.items) {
                QVERIFY2(paper.contains(i.box.topLeft()) && paper.contains(i.box.bottomRight()),
                         qPrintable(i.control + " runs off the paper"));
                if (i.kind != report::Item::Text || i.text.isEmpty()) continue;
                printed[i.control] += Squeezed(i.text);
                QSizeF needs;
                const QStringList lines = PrintedLines(i, &needs);
                QVERIFY2(
                    needs.width() <= i.box.width() + 0.5 && needs.height() <= i.box.height() + 0.5,
                    qPrintable(QStringLiteral("%1 \"%2\" needs %3 x %4 in %5 x %6")
                                   .arg(i.control, i.text.left(40))
                                   .arg(needs.width())
                                   .arg(needs.height())
                                   .arg(i.box.width())
                                   .arg(i.box.height())));
                if (i.alignment & Qt::AlignRight) QCOMPARE(lines.size(), 1);  // money
                if (i.control == u"cpyAddress") QCOMPARE(lines.last(), QStringLiteral("HG1 5QT"));
                for (const report::Item& j : page.items) {
                    if (&j == &i || j.kind != report::Item::Text || j.text.isEmpty()) continue;
                    const QRectF both = i.box & j.box;
                    QVERIFY2(both.width() < 0.5 || both.height() < 0.5,
                             qPrintable(i.control + " overlaps " + j.control));
                }
            }
        }
        for (const QString& w : whole)
            QVERIFY2(std::any_of(printed.begin(), printed.end(),
                                 [&w](const auto& p) { return p.second.contains(Squeezed(w)); }),
                     qPrintable(w.left(40)));
        main.close();
    }

    void printingFromThePreviewKeepsItsPaper() {
        const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
        if (pdfinfo.isEmpty()) QSKIP("pdfinfo (poppler-utils) is not installed");
        VatMultiplier = 1.2;
        FillToTheEdges();
        Rpt_Expense r;
        r.DataReport_Initialize();
        const QString path = QDir(env_->programFolder()).filePath(QStringLiteral("expenses.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        env_->prompts().ExpectPrint(true);
        // The preview's Print button, then the print dialog's Print.
        QTimer::singleShot(0, [] {
            auto* preview = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(preview);
            QTimer::singleShot(0, [] {
                if (auto* d = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget()))
                    d->accept();
            });
            for (QAction* a : preview->findChildren<QAction*>())
                if (a->text() == QStringLiteral("Print")) return a->trigger();
        });
        QTimer guard;  // a dialog that never comes up does not hold the test
        guard.callOnTimeout([] {
            while (QWidget* w = QApplication::activeModalWidget()) w->close();
        });
        guard.start(30000);
        QVERIFY(r.Preview(printer, nullptr));
        QProcess info;
        info.start(pdfinfo, {path});
        QVERIFY(info.waitForFinished(20000));
        const QString out = QString::fromUtf8(info.readAllStandardOutput());
        const QRegularExpressionMatch size =
            QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts \\(A4\\)"))
                .match(out);
        QVERIFY2(size.hasMatch(), qPrintable(out));
        QVERIFY2(size.captured(1).toDouble() > size.captured(2).toDouble(), qPrintable(out));
        QVERIFY2(out.contains(QRegularExpression(QStringLiteral("Page rot:\\s+0"))),
                 qPrintable(out));
    }

    void aReportWithoutItsRowsSaysWhy() {
        QVERIFY(c().Execute(QStringLiteral("DROP TABLE Outgoings")));
        Rpt_Expense r;
        r.DataReport_Initialize();
        QString error;
        QVERIFY(!r.Show(nullptr, &error));
        QVERIFY2(error.contains(QStringLiteral("Outgoings"), Qt::CaseInsensitive), qPrintable(error));
    }
};

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
