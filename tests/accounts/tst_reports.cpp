// The printed invoice and the year's invoice and expense reports on a fixture database.
#include <QTest>

#include "accounts/Invoice_system.h"
#include "accounts/Rpt_Expense.h"
#include "accounts/Rpt_Invoice.h"
#include "core/globals.h"
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
