// The Jet dialect: Jet texts run against the sample rows, checked by the values they return.

#include <QTest>

#include "fixture.h"
#include "platform/db/recordset.h"
#include "tests/support/testenv.h"

using namespace dbtest;
using testsupport::QueryValue;

namespace {
// The expense report's query, with the financial year of the samples.
const QString kExpenseReport = QStringLiteral(
    "SELECT Outgoings.RecordID, IIf([Start] Is Null,[Date],[Start] & ' to ' & [Finish]) AS "
    "[Dates], "
    "Companies.CompanyName, Outgoings.Type, Outgoings.Description, "
    "IIf([milage]=0,[amount],[milage]*0.004) AS SubT, "
    "iif(outgoings.reciept = 0, 'No', 'Yes') as Receipt FROM Companies RIGHT JOIN (JobDetails "
    "RIGHT JOIN Outgoings "
    "ON JobDetails.JobID = Outgoings.ScheduleID) ON Companies.CompanyID = JobDetails.CustomerID "
    "WHERE "
    "(((Outgoings.Date)>#4/1/2026# And (Outgoings.Date)<#4/1/2027#) AND ((JobDetails.Start) Is "
    "Null)) OR "
    "(((Outgoings.Date) Is Null) AND ((JobDetails.Start)>#4/1/2026# And "
    "(JobDetails.Start)<#4/1/2027#));");

// Every field of the current row, as text, joined with "|".
QString RowText(db::Recordset& rs) {
    QStringList out;
    for (int i = 0; i < rs.FieldCount(); ++i) out << rs.Fields(i).Text();
    return out.join(u'|');
}

QStringList FieldNames(db::Recordset& rs) {
    QStringList out;
    for (int i = 0; i < rs.FieldCount(); ++i) out << rs.Fields(i).Name();
    return out;
}
}  // namespace

class TestDbJetSql : public QObject {
    Q_OBJECT
    std::unique_ptr<testsupport::TestEnv> env;
    QVariant Db(const QString& sql) { return QueryValue(env->connection(), sql); }

  private slots:
    void init() {
        QLocale::setDefault(QLocale::c());
        env = std::make_unique<testsupport::TestEnv>();
        AddSampleRows(env->connection());
    }
    void cleanup() {
        env.reset();
        QLocale::setDefault(QLocale::c());
    }

    void dialect_data();
    void dialect();
    void nestedRightJoinKeepsColumnNames();
    void expressionsOverDatesGiveDates();
    void reusedAliasOnEveryRow();
    void deleteColumnsFrom();
    void apostrophes();
    void autoNumberContinuesAfterHighestKey();
    void numberAndDateTextIgnoreLocale();
    void untranslatableTextFails_data();
    void untranslatableTextFails();
    void oneStatementPerText_data();
    void oneStatementPerText();
};

void TestDbJetSql::dialect_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");  // the first row's fields as text, joined with "|"

    const QString survey = db::ValueText(At(2026, 4, 2, 9)) + QStringLiteral(" to ") +
                           db::ValueText(At(2026, 4, 2, 11));

    QTest::newRow("#m/d/yyyy#")
        << "SELECT count(*) FROM JobDetails WHERE Start >= #4/9/2026# AND Start < #4/11/2026#"
        << "2";
    QTest::newRow("#m/d/yyyy h:nn:ss#")
        << "SELECT JobID FROM JobDetails WHERE Start = #4/20/2026 10:00:00#"
        << "6";
    QTest::newRow("# 23:59#") << "select count(*) from JobDetails where finish < #4/2/2026 23:59#"
                              << "1";
    QTest::newRow("# h:nn:ss PM#")
        << "SELECT JobID FROM JobDetails WHERE Start = #5/3/2026 1:00:00 PM#"
        << "3";
    QTest::newRow("#dates# as values")
        << "SELECT #12/31/2026#, #1/2/2026 8:05:00#"
        << db::ValueText(At(2026, 12, 31)) + u'|' + db::ValueText(At(2026, 1, 2, 8, 5));
    QTest::newRow("Between")
        << "SELECT count(*) FROM Billing WHERE BillingDate Between #4/20/2026# And #5/2/2026#"
        << "2";
    QTest::newRow("& texts")
        << "select firstname & ' ' & lastname as Name from contacts where contactid = 1"
        << "Ann Lee";
    QTest::newRow("& Null last")
        << "select firstname & ' ' & lastname from contacts where contactid = 2"
        << "Bob ";
    QTest::newRow("& Null first")
        << "select lastname & ', ' & firstname from contacts where contactid = 2"
        << ", Bob";
    QTest::newRow("& numbers")
        << "SELECT 'Invoice ' & InvoiceNumber & ' of ' & CompanyID FROM Billing WHERE "
           "InvoiceNumber = 2"
        << "Invoice 2 of 2";
    QTest::newRow("& dates") << "SELECT [Start] & ' to ' & [Finish] FROM JobDetails WHERE JobID = 1"
                             << survey;
    QTest::newRow("& with calls and parentheses")
        << "SELECT upper(firstname) & '-' & (lastname & '!') FROM contacts WHERE contactid = 1"
        << "ANN-Lee!";
    QTest::newRow("& of calls with commas")
        << "SELECT substr(Description, 1, 3) & ' ' & substr(PO_Number, 4, 1) & IIf(Fee > 100, ' "
           "(big)', '') FROM JobDetails WHERE JobID = 1"
        << "Sur 1 (big)";
    QTest::newRow("reused alias holding &") << "select firstname & ' ' & lastname as FullName, "
                                               "FullName & '!' as Shout from contacts where "
                                               "contactid = 1"
                                            << "Ann Lee|Ann Lee!";
    QTest::newRow("& binds looser than +")
        << "SELECT 'n=' & InvoiceNumber + 1 FROM Billing WHERE InvoiceNumber = 2"
        << "n=3";
    QTest::newRow("& and # inside quotes kept")
        << "SELECT 'Smith & Sons #1/2/2003#', \"a & b\" FROM System WHERE id = 1"
        << "Smith & Sons #1/2/2003#|a & b";
    QTest::newRow("& compared without case")
        << "SELECT contactid FROM contacts WHERE firstname & ' ' & lastname = 'cy o''neil'"
        << "3";
    QTest::newRow("True") << "SELECT count(*) FROM JobDetails WHERE Cancelled = True"
                          << "1";
    QTest::newRow("<> False")
        << "SELECT CompanyName FROM Companies WHERE IsBillingAddressSameasPostal <> False"
        << "Acme";
    QTest::newRow("True in IIf")
        << "SELECT IIf(Reciept = True, 'Yes', 'No'), IIf(False, 1, 2) FROM Outgoings WHERE "
           "RecordID = 2"
        << "Yes|2";
    QTest::newRow("IIf, quoted alias")
        << "select iif(invoicenumber = 0, 'No', 'Yes') as 'Invoiced?' from jobdetails "
           "where jobid = 3"
        << "Yes";
    QTest::newRow("IIf on Is Null")
        << "SELECT IIf(Lastname Is Null, 'none', Lastname) FROM contacts WHERE contactid "
           "= 2"
        << "none";
    QTest::newRow("Is Null") << "SELECT count(*) FROM Outgoings WHERE Date Is Null"
                             << "1";
    QTest::newRow("'milage' finds Milage") << "select value from system where fieldname = 'milage'"
                                           << "40";
    QTest::newRow("names in any case")
        << "SELECT INVOICENUMBER, billingdate FROM billing WHERE invoiceNumber = 3"
        << "3|" + db::ValueText(At(2025, 12, 1));
}

void TestDbJetSql::dialect() {
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    db::Recordset rs;
    QVERIFY2(rs.Open(sql, env->connection(), db::adOpenStatic, db::adLockReadOnly),
             qPrintable(rs.LastError()));
    QVERIFY(!rs.Eof());
    QCOMPARE(RowText(rs), expected);
}

void TestDbJetSql::nestedRightJoinKeepsColumnNames() {
    db::Recordset rs;
    QVERIFY2(rs.Open(kExpenseReport, env->connection(), db::adOpenDynamic, db::adLockReadOnly),
             qPrintable(rs.LastError()));
    QCOMPARE(FieldNames(rs), QStringList({"RecordID", "Dates", "CompanyName", "Type", "Description",
                                          "SubT", "Receipt"}));
    QCOMPARE(rs.RecordCount(), 2);
    rs.SetSort(QStringLiteral("RecordID"));  // the statement has no order of its own
    QCOMPARE(RowText(rs),
             QStringLiteral("1|%1 to %2|Acme|Milage|Drive|0.12|No")
                 .arg(db::ValueText(At(2026, 4, 2, 9)), db::ValueText(At(2026, 4, 2, 11))));
    QVERIFY(rs.MoveNext());
    QCOMPARE(rs.Fields(QStringLiteral("Description")).Text(), QStringLiteral("Car park"));
    QVERIFY(rs.Fields(QStringLiteral("CompanyName")).IsNull());
    QCOMPARE(rs.Fields(QStringLiteral("SubT")).Value().toDouble(), 5.5);
    QCOMPARE(rs.Fields(QStringLiteral("Receipt")).Text(), QStringLiteral("Yes"));

    // Both descriptions selected: each is found by its table.
    db::Recordset both;
    QVERIFY(both.Open(
        QStringLiteral("SELECT JobDetails.Description, Outgoings.Description FROM JobDetails RIGHT "
                       "JOIN Outgoings ON JobDetails.JobID = Outgoings.ScheduleID WHERE "
                       "Outgoings.RecordID = 1"),
        env->connection()));
    QCOMPARE(both.Fields(QStringLiteral("JobDetails.Description")).Text(),
             QStringLiteral("Survey"));
    QCOMPARE(both.Fields(QStringLiteral("Outgoings.Description")).Text(), QStringLiteral("Drive"));
}

void TestDbJetSql::expressionsOverDatesGiveDates() {
    db::Recordset rs;
    QVERIFY2(
        rs.Open(QStringLiteral(
                    "SELECT Max(BillingDate) AS Latest, IIf(Stage = 0, BillingDate, 'none') AS "
                    "Saved, Min(PaymentDate) & '' AS Joined FROM Billing WHERE InvoiceNumber < 3 "
                    "GROUP BY Stage ORDER BY Stage"),
                env->connection()),
        qPrintable(rs.LastError()));
    QCOMPARE(rs.Fields(QStringLiteral("Latest")).Value(), QVariant(At(2026, 5, 2)));
    QCOMPARE(rs.Fields(QStringLiteral("Saved")).Value(), QVariant(At(2026, 5, 2)));
    QVERIFY(rs.Fields(QStringLiteral("Joined")).Text().isEmpty());
    QVERIFY(rs.MoveNext());
    QCOMPARE(rs.Fields(QStringLiteral("Saved")).Value(), QVariant(QStringLiteral("none")));
    QCOMPARE(rs.Fields(QStringLiteral("Joined")).Value(), QVariant(db::ValueText(At(2026, 5, 1))));

    db::Recordset report;
    QVERIFY(report.Open(kExpenseReport, env->connection()));
    report.SetSort(QStringLiteral("RecordID"));
    QVERIFY(report.MoveLast());
    QCOMPARE(report.Fields(QStringLiteral("Dates")).Value(), QVariant(At(2026, 4, 15)));
    // Text that only looks like a date stays text where the column says so.
    QVERIFY(env->connection().Execute(QStringLiteral(
        "UPDATE Companies SET Website = '2026-01-01 00:00:00' WHERE CompanyID = 1")));
    QCOMPARE(Db("select website from companies where companyid = 1"),
             QVariant(QStringLiteral("2026-01-01 00:00:00")));
}

void TestDbJetSql::reusedAliasOnEveryRow() {
    db::Recordset rs;
    QVERIFY2(
        rs.Open(QStringLiteral(
                    "SELECT Outgoings.RecordID, Outgoings.Milage, IIf([milage]=0,[amount],[milage]*"
                    "0.004) AS SubT, subT * 0.2 as VAT, subT * 1.2 as SubTotal FROM Outgoings"),
                env->connection()),
        qPrintable(rs.LastError()));
    QCOMPARE(rs.RecordCount(), 3);
    for (; !rs.Eof(); rs.MoveNext()) {
        const double subT = rs.Fields(QStringLiteral("subt")).Value().toDouble();
        QVERIFY(subT > 0);
        QCOMPARE(rs.Fields(QStringLiteral("VAT")).Value().toDouble(), subT * 0.2);
        QCOMPARE(rs.Fields(QStringLiteral("SubTotal")).Value().toDouble(), subT * 1.2);
    }
}

void TestDbJetSql::deleteColumnsFrom() {
    db::Recordset rs;
    QVERIFY2(rs.Open(QStringLiteral("DELETE JobDetails.MasterAppointment From JobDetails WHERE "
                                    "JobDetails.MasterAppointment=1"),
                     env->connection(), db::adOpenDynamic, db::adLockOptimistic),
             qPrintable(rs.LastError()));
    QCOMPARE(rs.State(), int(db::adStateClosed));
    QCOMPARE(Db("select count(*) from jobdetails"), QVariant(int(kJobCount) - 1));
    QCOMPARE(Db("select count(*) from jobdetails where jobid = 4"), QVariant(0));

    QVERIFY(rs.Open(QStringLiteral("DELETE Billing.InvoiceNumber From Billing WHERE "
                                   "(((Billing.InvoiceNumber)=3));"),
                    env->connection()));
    QCOMPARE(Db("select count(*) from billing"), QVariant(2));
    QVERIFY(rs.Open(
        QStringLiteral(
            "DELETE Outgoings.RecordID, Outgoings.Type FROM Outgoings WHERE Outgoings.Type = "
            "'PARKING'"),
        env->connection()));
    QCOMPARE(Db("select count(*) from outgoings"), QVariant(1));
    QVERIFY(
        rs.Open(QStringLiteral("DELETE * FROM contacts WHERE CompanyID = 1"), env->connection()));
    QCOMPARE(Db("select count(*) from contacts"), QVariant(1));
}

void TestDbJetSql::apostrophes() {
    const QString name = QStringLiteral("O'Brien Ltd");
    QCOMPARE(db::SqlQuote(name), QStringLiteral("'O''Brien Ltd'"));
    QCOMPARE(Db("select companies.companyid from companies where companyname = " +
                db::SqlQuote(name.toUpper())),
             QVariant(int(kOBrien)));
    QCOMPARE(QueryValue(env->connection(),
                        QStringLiteral("select companyid from companies where companyname = ?"),
                        {QStringLiteral("o'brien ltd")}),
             QVariant(int(kOBrien)));
    // Parameters hold any text, marks included.
    const QString odd = QStringLiteral("Dave's \"#1\" & Co; -- ?");
    QVERIFY(env->connection().Execute(
        QStringLiteral("INSERT INTO Companies (CompanyName) VALUES (?)"), {odd}));
    QCOMPARE(Db("select companyid from companies where companyname = " + db::SqlQuote(odd)),
             QVariant(3));
    db::Recordset rs;
    QVERIFY(rs.Open(QStringLiteral("select * from companies"), env->connection(), db::adOpenDynamic,
                    db::adLockOptimistic));
    QVERIFY(rs.SetFilter(QStringLiteral("CompanyName = ") + db::SqlQuote(odd)));
    QCOMPARE(rs.RecordCount(), 1);
    QVERIFY(rs.Fields(QStringLiteral("Website")).SetValue(QStringLiteral("it's.example")));
    QVERIFY(rs.Update());
    QCOMPARE(Db("select website from companies where companyid = 3"),
             QVariant(QStringLiteral("it's.example")));
}

void TestDbJetSql::autoNumberContinuesAfterHighestKey() {
    // The invoice-number reset: insert n-1 with an explicit key, delete it, add an invoice.
    db::Recordset rs;
    QVERIFY2(
        rs.Open(
            QStringLiteral(
                "INSERT INTO Billing ( InvoiceNumber, CompanyID ) SELECT 1199 AS InvoiceNumber, "
                "1 AS CoID;"),
            env->connection()),
        qPrintable(rs.LastError()));
    QCOMPARE(rs.State(), int(db::adStateClosed));
    QCOMPARE(Db("select companyid from billing where invoicenumber = 1199"), QVariant(1));
    QVERIFY2(rs.Open(QStringLiteral("DELETE Billing.InvoiceNumber From Billing WHERE "
                                    "(((Billing.InvoiceNumber)=1199));"),
                     env->connection()),
             qPrintable(rs.LastError()));
    QCOMPARE(Db("select count(*) from billing where invoicenumber = 1199"), QVariant(0));

    auto addInvoice = [&]() -> int {
        db::Recordset billing;
        if (!billing.Open(
                QStringLiteral("SELECT InvoiceNumber, CompanyID, BillingDate, Stage FROM Billing"),
                env->connection(), db::adOpenDynamic, db::adLockOptimistic))
            return -1;
        billing.AddNew();
        billing.Fields(QStringLiteral("CompanyID")).SetValue(1);
        if (!billing.Update()) return -1;
        return billing.Fields(QStringLiteral("InvoiceNumber")).Value().toInt();
    };
    QCOMPARE(addInvoice(), 1200);

    // A number not above the counter leaves it alone.
    QVERIFY(
        rs.Open(QStringLiteral(
                    "INSERT INTO Billing ( InvoiceNumber, CompanyID ) SELECT 99 AS InvoiceNumber, "
                    "1 AS CoID;"),
                env->connection()));
    QVERIFY(rs.Open(
        QStringLiteral(
            "DELETE Billing.InvoiceNumber From Billing WHERE (((Billing.InvoiceNumber)=99));"),
        env->connection()));
    QCOMPARE(addInvoice(), 1201);
    // Nor does deleting the newest invoice hand its number out again.
    QVERIFY(env->connection().Execute(
        QStringLiteral("DELETE FROM Billing WHERE InvoiceNumber = 1201")));
    QCOMPARE(addInvoice(), 1202);
}

void TestDbJetSql::numberAndDateTextIgnoreLocale() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(db::SqlNumber(1.175), QStringLiteral("1.175"));
    QCOMPARE(db::SqlNumber(0.004), QStringLiteral("0.004"));
    QCOMPARE(db::SqlNumber(-2), QStringLiteral("-2"));
    QCOMPARE(db::SqlNumber(0.2), QStringLiteral("0.2"));
    QCOMPARE(db::SqlNumber(1234567.5), QStringLiteral("1234567.5"));
    QCOMPARE(db::FilterDateText(At(2026, 4, 1)), QStringLiteral("2026-04-01"));
    QCOMPARE(db::FilterDateText(At(2026, 4, 1, 9, 30)), QStringLiteral("2026-04-01 09:30:00"));

    QCOMPARE(Db("SELECT billing.invoiceamount * " + db::SqlNumber(1.175 - 1) +
                " FROM Billing WHERE InvoiceNumber = 1")
                 .toDouble(),
             250 * 0.175);
    db::Recordset rs;
    QVERIFY(rs.Open(QStringLiteral("select * from jobdetails"), env->connection(),
                    db::adOpenDynamic, db::adLockOptimistic));
    QVERIFY2(rs.SetFilter(QStringLiteral("Fee > 100.25 and Start >= #4/2/2026#")),
             qPrintable(rs.LastError()));
    QCOMPARE(rs.RecordCount(), 1);
    QVERIFY(rs.Fields(QStringLiteral("Fee"))
                .SetValue(QVariant::fromValue(db::Currency::fromDouble(99.75).value())));
    QVERIFY(rs.Update());
    QCOMPARE(Db("select fee from jobdetails where jobid = 1").value<db::Currency>(),
             db::Currency::fromDouble(99.75).value());
}

void TestDbJetSql::untranslatableTextFails_data() {
    QTest::addColumn<QString>("sql");
    QTest::newRow("not a date") << "SELECT * FROM Billing WHERE BillingDate > #13/45/2026#";
    QTest::newRow("unclosed #") << "SELECT * FROM Billing WHERE BillingDate > #4/1/2026";
    QTest::newRow("unclosed quote") << "SELECT * FROM Companies WHERE CompanyName = 'O'Brien'";
    QTest::newRow("unclosed bracket") << "SELECT [Invoice Number FROM Billing";
    QTest::newRow("extra )") << "SELECT * FROM Billing WHERE (Stage = 1))";
}

void TestDbJetSql::untranslatableTextFails() {
    QFETCH(QString, sql);
    db::Recordset rs;
    QVERIFY(!rs.Open(sql, env->connection()));
    QCOMPARE(rs.State(), int(db::adStateClosed));
    QVERIFY(!rs.LastError().isEmpty());
    QCOMPARE(db::LastError(), rs.LastError());
    QCOMPARE(Db("select count(*) from billing"), QVariant(3));
}

void TestDbJetSql::oneStatementPerText_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("throughOpen");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("invoicesLeft");
    const struct {
        const char* tag;
        const char* sql;
        bool accepted;
        int left;
    } cases[] = {
        {"second statement", "DELETE FROM Billing WHERE InvoiceNumber = 3; DELETE FROM Billing",
         false, 3},
        {"two semicolons", "DELETE FROM Billing WHERE InvoiceNumber = 3;;", false, 3},
        {"trailing ; and blanks", "DELETE FROM Billing WHERE InvoiceNumber = 3 ;  ", true, 2},
        {"; inside quotes", "DELETE FROM Billing WHERE InvoicePaymentDetails = 'a; b'", true, 3},
    };
    for (const auto& c : cases) {
        for (const bool open : {false, true}) {
            QTest::addRow("%s, %s", c.tag, open ? "Open" : "Execute")
                << QString::fromLatin1(c.sql) << open << c.accepted << c.left;
        }
    }
}

void TestDbJetSql::oneStatementPerText() {
    QFETCH(QString, sql);
    QFETCH(bool, throughOpen);
    QFETCH(bool, accepted);
    QFETCH(int, invoicesLeft);
    db::Recordset rs;
    const bool ran = throughOpen ? rs.Open(sql, env->connection()) : env->connection().Execute(sql);
    QCOMPARE(ran, accepted);
    if (!accepted)
        QCOMPARE(db::LastError(), QStringLiteral("Characters found after end of SQL statement."));
    QCOMPARE(Db("select count(*) from billing"), QVariant(invoicesLeft));
}

QTEST_GUILESS_MAIN(TestDbJetSql)
#include "tst_db_jetsql.moc"
