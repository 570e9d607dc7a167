// Filter and Sort texts on an open record set: every literal form and spacing the windows
// write, evaluated against sample rows.

#include <QTest>

#include "fixture.h"
#include "platform/db/recordset.h"
#include "tests/support/testenv.h"

using namespace dbtest;

namespace {
const QString kOutgoings = QStringLiteral(
    "select recordid, scheduleid, type, description, milage, amount, reciept, date as [ndate] from "
    "outgoings");
const QString kSystem =
    QStringLiteral("SELECT fieldname, System.Value, system.id, system.opt1 From System");
const QString kJobs = QStringLiteral("select * from jobdetails");
const QString kContacts = QStringLiteral("select * from contacts");
const QString kCompanies = QStringLiteral("select * from companies");

QString D(int y, int m, int d, int h = 0, int min = 0) {
    return db::FilterDateText(At(y, m, d, h, min));
}
}  // namespace

class TestDbFilter : public QObject {
    Q_OBJECT
    std::unique_ptr<testsupport::TestEnv> env;

  private slots:
    void init() {
        env = std::make_unique<testsupport::TestEnv>();
        AddSampleRows(env->connection());
        // An expense type with an empty name, and a text holding a quote.
        testsupport::InsertRow(env->connection(), "System", {{"FieldName", "Type"}, {"Value", ""}});
        testsupport::InsertRow(env->connection(), "System",
                               {{"FieldName", "Note"}, {"Value", "it's 'quoted'"}});
        testsupport::InsertRow(env->connection(), "System",
                               {{"FieldName", "Note"}, {"Value", "Bits and bobs"}});
    }
    void cleanup() { env.reset(); }

    void filter_data();
    void filter();
    void quotedDateText_data();
    void quotedDateText();
    void filterDateTextReadsBack_data();
    void filterDateTextReadsBack();
    void badFilterKeepsRows_data();
    void badFilterKeepsRows();
    void sort_data();
    void sort();
    void sortStaysUnderNewFilter();
};

void TestDbFilter::filter_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");  // keys of the matching rows, in order

    // Text: quotes, case, blanks, spacing.
    QTest::newRow("text, case of name and value") << kSystem << "Fieldname = 'vatrate'"
                                                  << "id"
                                                  << "1";
    QTest::newRow("no blanks at all") << kSystem << "fieldname='MYPOSTCODE'"
                                      << "id"
                                      << "3";
    QTest::newRow("many blanks") << kSystem << "  fieldname    =    'myemail'  "
                                 << "id"
                                 << "4";
    QTest::newRow("path with \\ : . and blanks")
        << kSystem << "value = 'c:\\templates\\INVOICE V2.dotx'"
        << "id"
        << "14";
    QTest::newRow("empty text") << kSystem << "value = ''"
                                << "id"
                                << "16";
    QTest::newRow("empty text is not Null") << kContacts << "lastname = ''"
                                            << "contactID"
                                            << "";
    QTest::newRow("doubled quote") << kCompanies << "CompanyName = 'o''brien ltd'"
                                   << "CompanyID"
                                   << "2";
    QTest::newRow("doubled quotes around") << kSystem << "value = 'IT''S ''QUOTED'''"
                                           << "id"
                                           << "17";
    QTest::newRow("text against number field") << kSystem << "value = 20"
                                               << "id"
                                               << "1";
    QTest::newRow("text order") << kCompanies << "CompanyName > 'b'"
                                << "CompanyID"
                                << "2";
    QTest::newRow("Null is not matched") << kContacts << "lastname > 'A'"
                                         << "contactID"
                                         << "1,3";

    // Numbers.
    QTest::newRow("number") << kJobs << "JobID = 3"
                            << "JobID"
                            << "3";
    QTest::newRow("number, no blanks") << kJobs << "jobid=3"
                                       << "JobID"
                                       << "3";
    QTest::newRow("<= no blanks") << kBilling << "stageid<=2"
                                  << "Invoice Number"
                                  << "2,3";
    QTest::newRow(">=") << kJobs << "JobID >= 5"
                        << "JobID"
                        << "5,6";
    QTest::newRow("<") << kJobs << "JobID < 2"
                       << "JobID"
                       << "1";
    QTest::newRow("OR, AND binding tighter") << kJobs << "JobID = 1 or JobID >= 5 AND JobID < 6"
                                             << "JobID"
                                             << "1,5";
    QTest::newRow("quoted number vs number field") << kBilling << "[Invoice Number] = '2'"
                                                   << "Invoice Number"
                                                   << "2";
    QTest::newRow("quoted number, order") << kBilling << "[Invoice Number] > '1'"
                                          << "Invoice Number"
                                          << "2,3";
    QTest::newRow("quoted date vs date field") << kBilling << "[Payment Date] <= '2026-05-01'"
                                               << "Invoice Number"
                                               << "1";
    QTest::newRow("money") << kJobs << "Fee > 100"
                           << "JobID"
                           << "1";
    QTest::newRow("money with decimals") << kJobs << "Fee = 120.5"
                                         << "JobID"
                                         << "1";
    QTest::newRow("Yes/No = True") << kJobs << "Cancelled = True"
                                   << "JobID"
                                   << "2";
    QTest::newRow("Yes/No = -1") << kJobs << "Cancelled = -1"
                                 << "JobID"
                                 << "2";
    QTest::newRow("Yes/No = 0") << kOutgoings << "reciept = 0"
                                << "recordid"
                                << "1,3";
    QTest::newRow("Yes/No = false") << kOutgoings << "Reciept = false"
                                    << "recordid"
                                    << "1,3";

    // Dates: #...# around the C-locale forms and the undelimited form of FilterDateText.
    QTest::newRow("#m/d/yyyy#") << kOutgoings << "ndate = #4/15/2026#"
                                << "recordid"
                                << "2";
    QTest::newRow("#yyyy-mm-dd#") << kOutgoings << "ndate = #2026-04-15#"
                                  << "recordid"
                                  << "2";
    QTest::newRow("# with time") << kJobs << "Start = #4/2/2026 9:00:00#"
                                 << "JobID"
                                 << "1";
    QTest::newRow("# with time, no seconds") << kJobs << "Start >= #4/20/2026 10:00#"
                                             << "JobID"
                                             << "3,6";
    QTest::newRow("# with AM/PM") << kJobs << "Start = #4/20/2026 10:00:00 AM#"
                                  << "JobID"
                                  << "6";
    QTest::newRow("bare dates of a month")
        << kJobs << "finish >= " + D(2026, 4, 1) + " and start < " + D(2026, 5, 1) << "JobID"
        << "1,2,4,5,6";
    QTest::newRow("bare date with time") << kJobs << "start >= " + D(2026, 4, 20, 10) << "JobID"
                                         << "3,6";
    QTest::newRow("bare date, no blanks") << kJobs << "finish<" + D(2026, 4, 9, 10) << "JobID"
                                          << "1";
    QTest::newRow("date equal to the day")
        << kBilling << "[Payment Date] = " + D(2026, 5, 1) << "Invoice Number"
        << "1";
    QTest::newRow("Null date matches no comparison")
        << kBilling << "[Payment Date] < " + D(2030, 1, 1) << "Invoice Number"
        << "1";

    // Conjunctions.
    QTest::newRow("AND upper") << kJobs << "CustomerID = 1 AND Cancelled = False"
                               << "JobID"
                               << "1,3,4";
    QTest::newRow("And mixed") << kJobs << "CustomerID = 1 And JobID > 3"
                               << "JobID"
                               << "4";
    QTest::newRow("three terms, text with and")
        << kSystem << "fieldname = 'Type' and value = 'Milage' and opt1 = 1"
        << "id"
        << "13";
    QTest::newRow("text holding the keyword")
        << kSystem << "value = 'bits AND bobs' and fieldname = 'note'"
        << "id"
        << "18";
}

void TestDbFilter::filter() {
    QFETCH(QString, sql);
    QFETCH(QString, filter);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    db::Recordset rs;
    QVERIFY2(rs.Open(sql, env->connection(), db::adOpenDynamic, db::adLockOptimistic),
             qPrintable(rs.LastError()));
    QVERIFY2(rs.SetFilter(filter), qPrintable(rs.LastError()));
    QCOMPARE(rs.RecordCount(), expected.isEmpty() ? 0 : int(expected.count(u',')) + 1);
    if (expected.isEmpty())
        QVERIFY(rs.Eof() && rs.Bof());
    else
        QCOMPARE(rs.AbsolutePosition(), 1);
    QCOMPARE(Column(rs, key), expected);
    // A clone starts without it; "" shows every row again.
    db::Recordset clone = rs.Clone();
    QVERIFY(rs.SetFilter(QStringLiteral("")));
    QCOMPARE(rs.RecordCount(), clone.RecordCount());
}

void TestDbFilter::quotedDateText_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");  // JobIDs matching
    QTest::addColumn<QString>("error");     // how the filter is refused, empty when it is not
    QTest::newRow("m/d/yyyy, not the user's order")
        << "Start >= '04/09/2026' and Start < '4/11/2026'"
        << "2,4" << QString();
    QTest::newRow("with time") << "Start < '4/9/2026 12:00:00' and Start >= '4/2/2026 9:00'"
                               << "1,4" << QString();
    QTest::newRow("stored form") << "Start >= '2026-05-01'"
                                 << "3" << QString();
    QTest::newRow("a day that does not exist")
        << "Start >= '2/29/2027'" << QString() << "'2/29/2027' is not a date";
    QTest::newRow("no date at all") << "Start = 'soon'" << QString() << "'soon' is not a date";
}

void TestDbFilter::quotedDateText() {
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QFETCH(QString, error);
    // Read month first, as a #date# is, whatever the user's locale.
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedKingdom),
                                  QLocale(QLocale::English, QLocale::UnitedStates)}) {
        QLocale::setDefault(locale);
        db::Recordset rs;
        QVERIFY(rs.Open(kJobs, env->connection(), db::adOpenDynamic, db::adLockOptimistic));
        const bool set = rs.SetFilter(filter);
        QLocale::setDefault(QLocale::c());
        if (!error.isEmpty()) {
            QVERIFY(!set);
            QVERIFY2(rs.LastError().endsWith(error), qPrintable(rs.LastError()));
            QCOMPARE(rs.RecordCount(), int(kJobCount));
            continue;
        }
        QVERIFY2(set, qPrintable(rs.LastError()));
        QCOMPARE(Column(rs, QStringLiteral("JobID")), expected);
    }
}

void TestDbFilter::filterDateTextReadsBack_data() {
    QTest::addColumn<QDateTime>("when");
    QTest::newRow("midnight") << At(2026, 4, 1);
    QTest::newRow("with time") << At(2026, 4, 2, 9, 45);
    QTest::newRow("end of year") << At(2026, 12, 31, 23, 59);
    QTest::newRow("one digit month and day") << At(2026, 1, 2);
}

void TestDbFilter::filterDateTextReadsBack() {
    QFETCH(QDateTime, when);
    // Whatever the user's locale, the text a filter is built from reads back as the same day.
    for (const QLocale& locale :
         {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
          QLocale(QLocale::English, QLocale::UnitedKingdom), QLocale(QLocale::German)}) {
        QLocale::setDefault(locale);
        db::Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select jobid, start from jobdetails"), env->connection()));
        QVERIFY(rs.AddNew());
        QVERIFY(rs.Fields(QStringLiteral("start")).SetValue(when));
        QVERIFY(rs.Update());
        const int id = rs.Fields(QStringLiteral("jobid")).Value().toInt();
        QVERIFY2(rs.SetFilter(QStringLiteral("start = ") + db::FilterDateText(when)),
                 qPrintable(rs.LastError()));
        QCOMPARE(rs.RecordCount(), 1);
        QCOMPARE(rs.Fields(QStringLiteral("jobid")).Value().toInt(), id);
        QVERIFY(rs.SetFilter(QStringLiteral("start = #") + db::FilterDateText(when) + u'#'));
        QCOMPARE(rs.RecordCount(), 1);
        QVERIFY(rs.SetFilter(QStringLiteral("start < ") + db::FilterDateText(when) +
                             QStringLiteral(" and jobid = ") + QString::number(id)));
        QCOMPARE(rs.RecordCount(), 0);
        QVERIFY(rs.SetFilter(QString()));
        QVERIFY(rs.SetAbsolutePosition(rs.RecordCount()));
        QVERIFY(rs.Delete());
    }
    QLocale::setDefault(QLocale::c());
}

void TestDbFilter::badFilterKeepsRows_data() {
    QTest::addColumn<QString>("filter");
    QTest::newRow("unknown field") << "NoSuchField = 1";
    QTest::newRow("unterminated text") << "fieldname = 'Type";
    QTest::newRow("no operator") << "fieldname 'Type'";
    QTest::newRow("bad date") << "id = #13/45/2026#";
    QTest::newRow("OR without a comparison") << "id = 1 or";
    QTest::newRow("trailing words") << "id = 1 2";
}

void TestDbFilter::badFilterKeepsRows() {
    QFETCH(QString, filter);
    db::Recordset rs;
    QVERIFY(rs.Open(kSystem, env->connection(), db::adOpenDynamic, db::adLockOptimistic));
    QVERIFY(rs.SetFilter(QStringLiteral("fieldname = 'Type'")));
    QVERIFY(rs.MoveNext());
    QVERIFY(!rs.SetFilter(filter));
    QVERIFY(rs.LastError().contains(filter.trimmed()));
    QCOMPARE(db::LastError(), rs.LastError());
    QCOMPARE(rs.Filter(), QStringLiteral("fieldname = 'Type'"));
    QCOMPARE(rs.RecordCount(), 3);
    QCOMPARE(rs.AbsolutePosition(), 2);
}

void TestDbFilter::sort_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two bracketed aliases") << kBilling << "[StageID], [Invoice Date]"
                                           << "Invoice Number"
                                           << "2,3,1";
    QTest::newRow("descending date") << kBilling << "[Invoice Date] DESC"
                                     << "Invoice Number"
                                     << "2,1,3";
    QTest::newRow("alias with blank, unbracketed, ASC") << kBilling << "Invoice Date ASC"
                                                        << "Invoice Number"
                                                        << "3,1,2";
    QTest::newRow("Null first") << kBilling << "[Payment Date], [Invoice Number] desc"
                                << "Invoice Number"
                                << "3,2,1";
    QTest::newRow("Null last when descending")
        << kBilling << "[Payment Date] DESC, [Invoice Number]"
        << "Invoice Number"
        << "1,2,3";
    QTest::newRow("text without case") << kCompanies << "CompanyName"
                                       << "CompanyName"
                                       << "Acme,beta,O'Brien Ltd";
    QTest::newRow("text descending") << kCompanies << "CompanyName DESC"
                                     << "CompanyID"
                                     << "2,3,1";
    // Yes is -1, so it sorts before No.
    QTest::newRow("Yes/No") << kJobs << "Cancelled, JobID DESC"
                            << "JobID"
                            << "2,6,5,4,3,1";
    QTest::newRow("keys of several kinds") << kJobs << "Cancelled DESC, CustomerID desc, Fee, Start"
                                           << "JobID"
                                           << "5,6,4,3,1,2";
    QTest::newRow("money") << kJobs << "fee desc"
                           << "JobID"
                           << "1,3,6,2,4,5";
    QTest::newRow("lower-case keywords") << kOutgoings << "ndate desc, recordid asc"
                                         << "recordid"
                                         << "2,3,1";
}

void TestDbFilter::sort() {
    QFETCH(QString, sql);
    QFETCH(QString, sort);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    testsupport::AddCompany(env->connection(), QStringLiteral("beta"));
    db::Recordset rs;
    QVERIFY2(rs.Open(sql, env->connection(), db::adOpenDynamic, db::adLockOptimistic),
             qPrintable(rs.LastError()));
    QVERIFY(rs.MoveLast());
    QVERIFY2(rs.SetSort(sort), qPrintable(rs.LastError()));
    QCOMPARE(rs.Sort(), sort);
    QCOMPARE(rs.AbsolutePosition(), 1);
    QCOMPARE(Column(rs, key), expected);
}

void TestDbFilter::sortStaysUnderNewFilter() {
    db::Recordset rs;
    QVERIFY(rs.Open(kBilling, env->connection(), db::adOpenDynamic, db::adLockOptimistic));
    db::Recordset pending = rs.Clone();
    QVERIFY(pending.SetFilter(QStringLiteral("stageid <= 2")));
    QVERIFY(pending.SetSort(QStringLiteral("[StageID], [Invoice Date]")));
    QCOMPARE(Column(pending, QStringLiteral("Invoice Number")), QStringLiteral("2,3"));
    QVERIFY(pending.SetFilter(QStringLiteral("[Invoice Number] >= 1")));
    QCOMPARE(Column(pending, QStringLiteral("Invoice Number")), QStringLiteral("2,3,1"));
    QVERIFY(!rs.SetSort(QStringLiteral("[No such field]")));
    QCOMPARE(rs.Sort(), QString());
    QVERIFY(pending.SetSort(QString()));
    QVERIFY(pending.MoveFirst());
    QCOMPARE(Column(pending, QStringLiteral("Invoice Number")), QStringLiteral("1,2,3"));
}

QTEST_GUILESS_MAIN(TestDbFilter)
#include "tst_db_filter.moc"
