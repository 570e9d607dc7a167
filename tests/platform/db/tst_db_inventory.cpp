// Every SQL, filter and sort text the program runs, with sample values in place of the
// values it pastes in, on the sample rows: each must run, and find what the rows hold.

#include <QTest>

#include "fixture.h"
#include "platform/db/jetsql.h"
#include "platform/db/recordset.h"
#include "tests/support/testenv.h"

using namespace dbtest;

namespace {

// The date form the program writes between # marks in SQL: month/day/year, no leading zeros.
QString Hash(const QDate& d) { return u'#' + d.toString(QStringLiteral("M/d/yyyy")) + u'#'; }
QString Num(double v) { return db::SqlNumber(v); }
QString Int(int v) { return QString::number(v); }
QString Bare(const QDate& d) { return db::FilterDateText(QDateTime(d, QTime(0, 0))); }

const double kVat = 1.2;                // VatMultiplier
const double kMileFactor = 40 / 100.0;  // the Milage row (pence per mile) / 100

// Postal address when the flag is Yes, billing address otherwise (No or Null).
QString AddressColumns() {
    QStringList out;
    for (const char* part : {"Street", "Town", "County", "Country", "Postcode"}) {
        out << QStringLiteral(
                   "IIf(Companies.IsBillingAddressSameasPostal = True, Companies.Postal_Address%1, "
                   "Companies.Billing_Address%1) AS %1")
                   .arg(QLatin1String(part));
    }
    return out.join(QStringLiteral(", "));
}

QString ExpenseQuery(const QString& columns, const QDate& from, const QDate& to) {
    return QStringLiteral(
               "SELECT %1 FROM Companies RIGHT JOIN (JobDetails RIGHT JOIN Outgoings ON "
               "JobDetails.JobID "
               "= Outgoings.ScheduleID) ON Companies.CompanyID = JobDetails.CustomerID WHERE "
               "(((Outgoings.Date)>%2 And (Outgoings.Date)<%3) AND ((JobDetails.Start) Is Null)) "
               "OR "
               "(((Outgoings.Date) Is Null) AND ((JobDetails.Start)>%2 And "
               "(JobDetails.Start)<%3));")
        .arg(columns, Hash(from), Hash(to));
}

struct Statements {
    QMap<QString, QString> sql;
    Statements();
};

Statements::Statements() {
    const QDate fy = FinYearStart();
    const QString system2 = QStringLiteral("select fieldname, value from system");
    const QString systemImage =
        QStringLiteral("SELECT System.FieldName, System.Value, system.image From System");
    const QString companyNames = QStringLiteral("select companies.companyname from companies");
    const QString billingCols = QStringLiteral(
        "SELECT InvoiceNumber, CompanyID, BillingDate, InvoiceAmount, InvoicePaymentDetails, "
        "PaymentDueDate, "
        "PaymentMade, PaymentDate, Stage FROM Billing");
    sql["S1"] = "SELECT System.FieldName, System.Value From System";
    sql["S2"] = system2;
    sql["S3"] = "select companyid, companyname from companies";
    sql["S4"] = "INSERT INTO Billing ( InvoiceNumber, CompanyID ) SELECT " + Int(999) +
                " AS InvoiceNumber, " + Int(kAcme) + " AS CoID;";
    sql["S5"] = "DELETE Billing.InvoiceNumber From Billing WHERE (((Billing.InvoiceNumber)=" +
                Int(kInvSent) + "));";
    sql["S6"] = systemImage;
    sql["S7"] = "SELECT System.FieldName, System.Value From System";
    sql["S8"] = kAppointments;
    sql["S9"] = kBilling;
    sql["S10"] = system2;
    sql["S11"] = "select * from jobdetails";
    sql["S12"] =
        "DELETE JobDetails.MasterAppointment From JobDetails WHERE JobDetails.MasterAppointment=" +
        Int(kJobSurvey);
    sql["S13"] = kScheduleJobs;
    sql["S14"] = companyNames;
    sql["S15"] =
        "select companies.companyname from companies where companies.companyid = " + Int(kOBrien);
    sql["S16"] =
        "select companies.companyid from companies where companyname = " + db::SqlQuote("acme");
    sql["S17"] =
        "SELECT JobDetails.Start, JobDetails.Finish, JobDetails.Description, "
        "JobDetails.Outlook_REF, "
        "JobDetails.Outlook_LastUpdate, Companies.CompanyName, Companies.Postal_AddressStreet, "
        "Companies.Postal_AddressTown, Companies.Postal_AddressCounty, "
        "Companies.Postal_AddressCountry, "
        "Companies.Postal_AddressPostcode FROM Companies INNER JOIN JobDetails ON "
        "Companies.CompanyID = "
        "JobDetails.CustomerID Where jobdetails.JobID = " +
        Int(kJobCheck);
    sql["S18"] =
        "select start, finish, description, outlook_lastupdate from jobdetails where jobid = " +
        Int(kJobSurvey);
    sql["S19"] =
        "INSERT INTO sync (RecordType, RecordID, LastSyncDate, synctype) VALUES ('schedule', '" +
        Int(kJobCheck) + "', '" + db::CanonicalDateText(At(2026, 4, 20, 12, 5)) + "', 'new')";
    sql["S20"] =
        "select outlook_ref, outlook_lastupdate from jobdetails where jobid = " + Int(kJobCheck);
    sql["S21"] =
        "SELECT * from sync where RecordType = 'schedule' and RecordID = " + Int(kJobSurvey);
    sql["S22"] = "SELECT Lastsyncdate FROM sync WHERE recordid = " + Int(kJobSurvey);
    sql["S23"] = billingCols;
    sql["S24"] = billingCols + " where invoicenumber = " + Int(kInvSaved);
    sql["S25"] =
        "select companies.companyname from companies where companies.companyid = " + Int(kOBrien);
    sql["S26"] = companyNames;
    sql["S27"] = "select * from system";
    sql["S28"] =
        "select invoicenumber, Start, Finish, Duration, Description, PO_Number, Fee FROM "
        "JobDetails where "
        "invoicenumber = " +
        Int(kInvPaid);
    sql["S29"] = "select companies.companyid from companies where companyname = " +
                 db::SqlQuote("O'BRIEN LTD");
    sql["S30"] =
        "select JobID,Invoicenumber,Start,Finish,Duration,Description,PO_Number,Fee,SignedOff from "
        "JobDetails where JobDetails.Cancelled=False and invoicenumber = 0 and customerid = " +
        Int(kAcme) + " and finish < #" + QDate(2026, 4, 20).toString(QStringLiteral("M/d/yyyy")) +
        " 23:59#";
    sql["S31"] = "select invoiceid, Date, Amount from billing_part_payment where invoiceid =" +
                 Int(kInvSaved);
    sql["S32"] =
        "SELECT Companies.CompanyID, Companies.CompanyName, Companies.Postal_AddressStreet, "
        "Companies.Postal_AddressTown, Companies.Postal_AddressCounty, "
        "Companies.Postal_AddressCountry, "
        "Companies.Postal_AddressPostcode, Companies.IsBillingAddressSameasPostal, "
        "Companies.Billing_AddressStreet, Companies.Billing_AddressTown, "
        "Companies.Billing_AddressCounty, "
        "Companies.Billing_AddressCountry, Companies.Billing_AddressPostcode, "
        "Companies.Telephone1, "
        "Companies.Telephone2, Companies.Fax, Companies.Website FROM Companies;";
    sql["S33"] =
        "select firstname & ' ' & lastname as Name, directtelephone as Direct, mobiletelephone as "
        "Mobile, "
        "contactid, companyid from contacts";
    sql["S34"] = "select * from contacts";
    sql["S35"] =
        "SELECT Billing.InvoiceNumber, Billing.BillingDate as InvoiceDate, Billing.InvoiceAmount "
        "as Total, "
        "Billing.InvoicePaymentDetails, Companies.CompanyName as Customer, " +
        AddressColumns() +
        " FROM Companies INNER JOIN Billing ON Companies.CompanyID = Billing.CompanyID;";
    sql["S36"] =
        "SELECT JobDetails.Start, JobDetails.Finish, JobDetails.Duration, JobDetails.Description, "
        "JobDetails.PO_Number, JobDetails.Fee FROM JobDetails where invoicenumber = " +
        Int(kInvPaid);
    sql["S37"] =
        "SELECT System.fieldID, System.value From System WHERE (((System.FieldName)='report'));";
    sql["S38"] = "SELECT System.Value, system.Image, system.fieldname From System";
    // The two shaped report statements are rewritten into a parent and a child query where
    // they are used, so they are not run here.
    sql["S41"] = systemImage;
    const QString between = " WHERE (((Billing.PaymentDate) Between " + Hash(fy) + " And " +
                            Hash(fy.addYears(1).addDays(-1)) + "));";
    const QString invoiceJoin =
        " FROM Companies INNER JOIN Billing ON Companies.CompanyID = Billing.CompanyID";
    sql["S42"] =
        "SELECT Billing.InvoiceNumber, Billing.PaymentDate, Billing.InvoiceAmount, "
        "Companies.CompanyName" +
        invoiceJoin + between;
    sql["S43"] =
        "SELECT Billing.InvoiceNumber, Billing.PaymentDate, Billing.InvoiceAmount, "
        "billing.invoiceamount * " +
        Num(kVat - 1) + " as VAT, billing.invoiceamount * " + Num(kVat) +
        " as subTotal, Companies.CompanyName" + invoiceJoin + between;
    sql["S44"] = "select value from system where fieldname = 'milage'";
    const QString dates =
        "Outgoings.RecordID, IIf([Start] Is Null,[Date],[Start] & ' to ' & [Finish]) AS [Dates], "
        "Companies.CompanyName, Outgoings.Type, Outgoings.Description, ";
    const QString subT = "IIf([milage]=0,[amount],[milage]*" + Num(kMileFactor) + ")";
    const QString receipt = "iif(outgoings.reciept = 0, 'No', 'Yes') as Receipt";
    sql["S45"] = ExpenseQuery(dates + subT + " AS SubT, " + receipt, fy, fy.addYears(1));
    sql["S46"] =
        ExpenseQuery(dates + "Outgoings.Milage, " + subT + " AS SubT, subT * " + Num(kVat - 1) +
                         " as VAT, subT * " + Num(kVat) + " as SubTotal, " + receipt,
                     fy, fy.addYears(1));
    sql["S47"] =
        "select recordid, scheduleid, type, description, milage, amount, reciept, date as [ndate] "
        "from "
        "outgoings";
    sql["S48"] = "SELECT system.Value, system.opt1 FROM system WHERE system.FieldName = 'Type'";
    sql["S49"] =
        "SELECT fieldname, System.Value, system.id, system.opt1 From System WHERE "
        "(((System.FieldName)='type'));";
    sql["S50"] =
        ExpenseQuery(dates + subT + " AS SubTotal, " + receipt, fy, fy.addYears(1).addDays(-1));
    sql["S51"] =
        "SELECT Billing.InvoiceNumber AS [Invoice Number], Companies.CompanyName AS Company, "
        "Billing.BillingDate AS [Invoice Date], Billing.PaymentDueDate AS [Payment Due On], "
        "Billing.PaymentDate as [Payment Date], Billing.InvoiceAmount AS Amount FROM Companies "
        "INNER JOIN "
        "Billing ON Companies.CompanyID = Billing.CompanyID where billing.stage = 3";
    sql["S52"] = system2;
}

const Statements& Inventory() {
    static const Statements s;
    return s;
}

}  // namespace

class TestDbInventory : public QObject {
    Q_OBJECT
    std::unique_ptr<testsupport::TestEnv> env;

  private slots:
    void init() {
        env = std::make_unique<testsupport::TestEnv>();
        AddSampleRows(env->connection());
    }
    void cleanup() { env.reset(); }

    void statements_data();
    void statements();
    void filters_data();
    void filters();
    void sqlAndMemoryAgree_data();
    void sqlAndMemoryAgree();
    void outerJoinsAsWritten_data();
    void outerJoinsAsWritten();
};

void TestDbInventory::statements_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("rows");       // -1: a statement that returns no rows
    QTest::addColumn<QString>("check");  // run afterwards on the file
    QTest::addColumn<QVariant>("expected");

    const QMap<QString, int> rows = {
        {"S1", kSysRows},   {"S2", kSysRows},  {"S3", 2},          {"S4", -1},
        {"S5", -1},         {"S6", kSysRows},  {"S7", kSysRows},   {"S8", 4},
        {"S9", 3},          {"S10", kSysRows}, {"S11", kJobCount}, {"S12", -1},
        {"S13", kJobCount}, {"S14", 2},        {"S15", 1},         {"S16", 1},
        {"S17", 1},         {"S18", 1},        {"S19", -1},        {"S20", 1},
        {"S21", 1},         {"S22", 1},        {"S23", 3},         {"S24", 1},
        {"S25", 1},         {"S26", 2},        {"S27", kSysRows},  {"S28", 1},
        {"S29", 1},         {"S30", 2},        {"S31", 2},         {"S32", 2},
        {"S33", 3},         {"S34", 3},        {"S35", 3},         {"S36", 1},
        {"S37", 1},         {"S38", kSysRows}, {"S41", kSysRows},  {"S42", 1},
        {"S43", 1},         {"S44", 1},        {"S45", 2},         {"S46", 2},
        {"S47", 3},         {"S48", 2},        {"S49", 2},         {"S50", 2},
        {"S51", 1},         {"S52", kSysRows}};
    const QMap<QString, QPair<QString, QVariant>> checks = {
        {"S4", {"select companyid from billing where invoicenumber = 999", kAcme}},
        {"S5", {"select count(*) from billing", 2}},
        {"S12", {"select count(*) from jobdetails where masterappointment = 1", 0}},
        {"S19", {"select lastsyncdate from sync where recordid = 6", At(2026, 4, 20, 12, 5)}},
        {"S16", {"select count(*) from companies", 2}},
    };
    QSet<QString> seen;
    for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
        QVERIFY2(Inventory().sql.contains(it.key()), qPrintable(it.key()));
        // Several places run the same text; once is enough.
        const QString& sql = Inventory().sql[it.key()];
        if (seen.contains(sql)) continue;
        seen.insert(sql);
        const auto check = checks.value(it.key());
        QTest::newRow(qPrintable(it.key()))
            << sql << it.value() << check.first << check.second;
    }
}

void TestDbInventory::statements() {
    QFETCH(QString, sql);
    QFETCH(int, rows);
    QFETCH(QString, check);
    QFETCH(QVariant, expected);
    db::Recordset rs;
    QVERIFY2(rs.Open(sql, env->connection(), db::adOpenDynamic, db::adLockOptimistic),
             qPrintable(rs.LastError()));
    if (rows < 0) {
        QCOMPARE(rs.State(), int(db::adStateClosed));
    } else {
        QCOMPARE(rs.State(), int(db::adStateOpen));
        QCOMPARE(rs.RecordCount(), rows);
        for (int i = 0; i < rs.FieldCount(); ++i) {
            const QString name = rs.Fields(i).Name();
            QVERIFY2(!name.contains(u':') && rs.FieldIndex(name) == i, qPrintable(name));
        }
    }
    if (!check.isEmpty()) QCOMPARE(testsupport::QueryValue(env->connection(), check), expected);
}

void TestDbInventory::filters_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("filters");  // set in turn
    QTest::addColumn<bool>("onClone");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("keys");  // of the rows shown, in order; empty: not checked
    QTest::addColumn<QString>("sort");

    const QDate fy = FinYearStart(), fyEnd = fy.addYears(1).addDays(-1);
    const QString yearOfInvoices =
        "[Invoice Date] > " + Bare(fy) + " and [Invoice Date] <= " + Bare(fyEnd);
    struct F {
        const char* tag;
        const char* statement;
        QStringList filters;
        int count;
        const char* key;
        const char* keys;
        bool onClone = false;
        const char* sort = "";
    };
    const std::vector<F> table = {
        {"F1 on S1", "S1", {"Fieldname = 'VATRate'"}, 1, "Value", "20"},
        {"F2 on S2", "S2", {"fieldname = 'MyAddress'"}, 1, "value", "1 Main St"},
        {"F4 on S2", "S2", {"fieldname = 'myemail'"}, 1, "value", "me@example.com"},
        {"F5 on S6", "S6", {"Fieldname = 'MyAddress'"}, 1, "Value", "1 Main St"},
        {"F6 on S7", "S7", {"Fieldname = 'CurrentFnYear'"}, 1, "Value", "2026"},
        {"F10 on S8",
         "S8",
         {"finish >= " + Bare(QDate(2026, 4, 1)) + " and start < " + Bare(QDate(2026, 5, 1))},
         3,
         "JobID",
         "1,4,6"},
        {"F12 on S9", "S9", {yearOfInvoices + " and stageid <= 2"}, 1, "Invoice Number", "2", true},
        {"F13 on S9, T1",
         "S9",
         {"stageid <= 2"},
         2,
         "Invoice Number",
         "2,3",
         true,
         "[StageID], [Invoice Date]"},
        {"F14 on S9", "S9", {yearOfInvoices + " and stageid = 3"}, 1, "Invoice Number", "1"},
        {"F15 on S13", "S13", {"JobID = " + Int(kJobSurvey)}, 1, "JobID", "1"},
        {"F16 on S11", "S11", {"JobID = " + Int(kJobSurvey)}, 1, "JobID", "1"},
        {"F17 on S11",
         "S11",
         {"JobID = " + Int(kJobSurvey), ""},
         kJobCount,
         "JobID",
         "1,2,3,4,5,6"},
        {"F19 on S13", "S13", {"jobid = " + Int(kJobSurvey)}, 1, "JobID", "1"},
        {"F20 on S27", "S27", {"Fieldname = 'Payment_Terms'"}, 1, "Value", "30 days"},
        {"F21 on S9",
         "S9",
         {"stageid <= 2", "[Invoice Number] = '" + Int(kInvSaved) + "'"},
         1,
         "Invoice Number",
         "2",
         true},
        {"F22 on S33", "S33", {"companyid = " + Int(kAcme)}, 2, "Name", "Ann Lee,Bob "},
        {"F24 on S34", "S34", {"contactID = " + Int(kCy)}, 1, "Lastname", "O'Neil"},
        {"F25 on S35", "S35", {"InvoiceNumber = " + Int(kInvPaid)}, 1, "Street", "1 High St"},
        // The shaped report's parent rows carry the merge query's columns.
        {"F29 on S35", "S35", {"InvoiceNumber = " + Int(kInvSaved)}, 1, "Street", "3 Bill St"},
        {"F26 on S37", "S37", {"value = 'C:\\Templates\\Invoice v2.dotx'"}, 1, "fieldID", "1"},
        {"F27 on S38", "S38", {"FieldName ='MyAddress'"}, 1, "Value", "1 Main St"},
        {"F32 on S47",
         "S47",
         {"scheduleID = 0 and ndate >#" + Bare(fy) + "# and ndate <#" + Bare(fy.addYears(1)) + "#"},
         1,
         "recordid",
         "2"},
        {"F33 on S47", "S47", {"scheduleID = " + Int(kJobSurvey)}, 1, "recordid", "1"},
        {"F34 on S48", "S48", {"value = 'milage'"}, 1, "opt1", "1"},
        {"F36 on S48", "S48", {"value = 'PARKING'"}, 1, "Value", "Parking"},
        {"F37 on S49", "S49", {"value = 'Parking'"}, 1, "id", "12"},
        {"F38 on S49", "S49", {"id = " + Int(kSysParkingType)}, 1, "Value", "Parking"},
        {"F39 on S49", "S49", {"id = " + Int(kSysParkingType), ""}, 2, "id", "12,13"},
        {"F41 on S52", "S52", {"fieldname = 'AccountantEmail'"}, 1, "value", "books@example.com"},
    };
    for (const F& f : table) {
        QTest::newRow(f.tag) << Inventory().sql[QLatin1String(f.statement)] << f.filters
                             << f.onClone << f.count << QString::fromLatin1(f.key)
                             << QString::fromLatin1(f.keys) << QString::fromLatin1(f.sort);
    }
}

void TestDbInventory::filters() {
    QFETCH(QString, sql);
    QFETCH(QStringList, filters);
    QFETCH(bool, onClone);
    QFETCH(int, count);
    QFETCH(QString, key);
    QFETCH(QString, keys);
    QFETCH(QString, sort);
    db::Recordset opened;
    QVERIFY2(opened.Open(sql, env->connection(), db::adOpenDynamic, db::adLockOptimistic),
             qPrintable(opened.LastError()));
    db::Recordset clone = onClone ? opened.Clone() : db::Recordset();
    db::Recordset& rs = onClone ? clone : opened;
    for (const QString& f : filters) QVERIFY2(rs.SetFilter(f), qPrintable(rs.LastError()));
    if (!sort.isEmpty()) QVERIFY2(rs.SetSort(sort), qPrintable(rs.LastError()));
    QCOMPARE(rs.RecordCount(), count);
    QCOMPARE(Column(rs, key), keys);
}

void TestDbInventory::sqlAndMemoryAgree_data() {
    filters_data();
    // Statements without an order of their own, and values beyond the inventory's.
    const QString since2000 = "Start >= " + Bare(QDate(2000, 1, 1));
    const struct {
        const char* tag;
        QString sql;
        QString filter;
        const char* key;
    } more[] = {
        {"no order, index range", "SELECT * FROM JobDetails WHERE Start >= '2000-01-01'", "CustomerID = 1", "JobID"},
        {"no order, covering index", "SELECT JobID, Start FROM JobDetails", since2000, "JobID"},
        {"no order, join",
         "SELECT JobID, Start, CompanyName FROM JobDetails INNER JOIN Companies ON JobDetails.CustomerID = "
         "Companies.CompanyID",
         since2000, "JobID"},
        {"union", "SELECT JobID, Start FROM JobDetails UNION ALL SELECT '77', '2026-04-01'", "JobID = 77", "JobID"},
        {"order descending", "SELECT JobID, Start FROM JobDetails ORDER BY Start DESC", since2000, "JobID"},
        {"order by an alias", "SELECT JobID, Start AS [When] FROM JobDetails ORDER BY [When]", "When >= 2000-01-01",
         "JobID"},
        {"order by a qualified name",
         "SELECT JobID, JobDetails.Start, Companies.CompanyName FROM JobDetails INNER JOIN Companies ON "
         "JobDetails.CustomerID = Companies.CompanyID ORDER BY Companies.CompanyName, JobDetails.Start",
         since2000, "JobID"},
        {"whole number beyond 2^53", "SELECT * FROM JobDetails", "CustomerID = 9007199254740993", "JobID"},
        {"outer joins, S45", Inventory().sql["S45"], "Type = 'milage'", "RecordID"},
        {"outer joins, S50", Inventory().sql["S50"], "CompanyName = 'Acme Ltd' OR Receipt = 'No'", "RecordID"},
    };
    for (const auto& m : more)
        QTest::newRow(m.tag) << m.sql << QStringList{m.filter} << false << 0 << QString::fromLatin1(m.key) << QString()
                             << QString();
}

// A filter run by the engine on the statement and the same filter run on rows already read
// show the same rows, also for dates stored in the shorter forms, at the bounds' own days.
void TestDbInventory::sqlAndMemoryAgree() {
    QFETCH(QString, sql);
    QFETCH(QStringList, filters);
    QFETCH(bool, onClone);
    QFETCH(QString, key);
    QFETCH(QString, sort);
    const QDate fy = FinYearStart();
    const QString acme = Int(kAcme);
    for (const QString& insert : {
             "INSERT INTO JobDetails (Start, Finish, CustomerID) VALUES ('2026-04-30', '2026-05-01T08:00', " + acme + ")",
             "INSERT INTO JobDetails (Start, Finish, CustomerID) VALUES ('2026-03-31 23:59', '2026-04-01', " + acme + ")",
             "INSERT INTO JobDetails (Start, Finish, CustomerID) VALUES ('2026-05-01 00:00', NULL, " + acme + ")",
             // The same start: the later finish first.
             "INSERT INTO JobDetails (Start, Finish, CustomerID) VALUES ('2026-04-14 09:00:00', '2026-04-14 12:00:00', " +
                 acme + ")",
             "INSERT INTO JobDetails (Start, Finish, CustomerID) VALUES ('2026-04-14 09:00:00', '2026-04-14 10:00:00', " +
                 acme + ")",
             QStringLiteral("INSERT INTO JobDetails (Start, CustomerID) VALUES ('2026-01-05 09:00:00', 9007199254740992)"),
             QStringLiteral("INSERT INTO JobDetails (Start, CustomerID) VALUES ('2025-12-05 09:00:00', 9007199254740993)"),
             "INSERT INTO Billing (CompanyID, BillingDate, Stage) VALUES (" + acme + ", '" + fy.toString(Qt::ISODate) + "', 1)",
             "INSERT INTO Billing (CompanyID, BillingDate, Stage) VALUES (" + acme + ", '" +
                 fy.addYears(1).addDays(-1).toString(Qt::ISODate) + " 10:00', 3)",
             "INSERT INTO Billing (CompanyID, BillingDate, Stage) VALUES (" + acme + ", '" +
                 fy.addDays(1).toString(Qt::ISODate) + "', 'two')",
             "INSERT INTO Outgoings (ScheduleID, Date) VALUES (0, '" + fy.toString(Qt::ISODate) + "T00:00')",
         })
        QVERIFY2(env->connection().Execute(insert), qPrintable(env->connection().LastError()));

    auto shown = [&](bool readFirst) {
        db::Recordset opened;
        if (!opened.Open(sql, env->connection(), db::adOpenDynamic, db::adLockOptimistic)) return opened.LastError();
        // Once every row is held, filters run on them.
        if (readFirst) opened.RecordCount();
        db::Recordset clone = onClone ? opened.Clone() : db::Recordset();
        db::Recordset& rs = onClone ? clone : opened;
        for (const QString& f : filters)
            if (!rs.SetFilter(f)) return rs.LastError();
        if (!sort.isEmpty()) rs.SetSort(sort);
        return QString::number(rs.RecordCount()) + u':' + Column(rs, key);
    };
    QCOMPARE(shown(false), shown(true));
}

// Statements with RIGHT JOINs, as the engine runs them (as LEFT JOINs with the sides
// exchanged) and as written: the same columns under the same names, and the same rows.
void TestDbInventory::outerJoinsAsWritten_data() {
    QTest::addColumn<QString>("sql");
    for (const char* id : {"S45", "S46", "S50"}) QTest::newRow(id) << Inventory().sql[id];
    const QString nested = QStringLiteral(
        "FROM Companies RIGHT JOIN (JobDetails RIGHT JOIN Outgoings ON JobDetails.JobID = "
        "Outgoings.ScheduleID) ON Companies.CompanyID = JobDetails.CustomerID");
    QTest::newRow("select *, nested") << "SELECT * " + nested;
    QTest::newRow("select *, aliases and another item")
        << QStringLiteral("SELECT *, o.Amount FROM JobDetails AS j RIGHT OUTER JOIN Outgoings o "
                          "ON j.JobID = o.ScheduleID");
    QTest::newRow("inner join, then right")
        << QStringLiteral("SELECT Companies.CompanyName, JobDetails.JobID, Outgoings.RecordID FROM "
                          "Companies INNER JOIN JobDetails ON Companies.CompanyID = "
                          "JobDetails.CustomerID RIGHT JOIN Outgoings ON JobDetails.JobID = "
                          "Outgoings.ScheduleID WHERE Outgoings.Milage = 0");
    QTest::newRow("right join in a subquery")
        << "SELECT x.n, Companies.CompanyName FROM (SELECT Outgoings.RecordID AS n, "
           "JobDetails.CustomerID AS c " + nested.section(u' ', 0, 0) +
               " JobDetails RIGHT JOIN Outgoings ON JobDetails.JobID = Outgoings.ScheduleID) AS x "
               "LEFT JOIN Companies ON Companies.CompanyID = x.c";
    QTest::newRow("brackets")
        << QStringLiteral("SELECT [o].RecordID, [JobDetails].Fee FROM [JobDetails] RIGHT JOIN "
                          "[Outgoings] AS [o] ON ([JobDetails].[JobID] = [o].[ScheduleID])");
}

void TestDbInventory::outerJoinsAsWritten() {
    QFETCH(QString, sql);
    // An expense of a job of no known customer, and one of no known job.
    QVERIFY(env->connection().Execute(
        "INSERT INTO JobDetails (JobID, Start, Finish, CustomerID) VALUES (90, '" +
        FinYearStart().addDays(3).toString(Qt::ISODate) + " 09:00', NULL, 999)"));
    QVERIFY(env->connection().Execute("INSERT INTO Outgoings (ScheduleID, Type, Amount) VALUES (90, 'Parking', 2)"));
    QVERIFY(env->connection().Execute("INSERT INTO Outgoings (ScheduleID, Type, Amount, Date) VALUES (91, 'Fuel', 3, '" +
                                      FinYearStart().addDays(4).toString(Qt::ISODate) + "')"));
    auto run = [&](db::OuterJoins joins) {
        env->connection().SetOuterJoins(joins);
        db::Recordset rs;
        if (!rs.Open(sql, env->connection(), db::adOpenStatic, db::adLockReadOnly)) return QStringList{rs.LastError()};
        QStringList names, rows;
        for (int i = 0; i < rs.FieldCount(); ++i) names << rs.Fields(i).Name();
        for (; !rs.Eof(); rs.MoveNext()) {
            QStringList row;
            for (int i = 0; i < rs.FieldCount(); ++i) row << rs.Fields(i).Text();
            rows << row.join(u'|');
        }
        rows.sort();  // neither form has an order of its own
        return QStringList{names.join(u',')} + rows;
    };
    QVERIFY(!db::TranslateJetSql(sql).sql.contains(QStringLiteral("right join"), Qt::CaseInsensitive));
    const QStringList written = run(db::OuterJoins::AsWritten);
    QVERIFY2(written.size() > 2, qPrintable(written.join(u'\n')));
    QCOMPARE(run(db::OuterJoins::AsLeft), written);
}

QTEST_GUILESS_MAIN(TestDbInventory)
#include "tst_db_inventory.moc"
