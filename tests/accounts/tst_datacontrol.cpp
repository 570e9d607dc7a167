// The data control: navigation, bound editors written on moves, errors that keep the edits.
#include <QSignalSpy>
#include <QTest>

#include "platform/db/datacontrol.h"
#include "platform/db/recordset.h"
#include "tests/support/testenv.h"

using testsupport::QueryValue;
using testsupport::TestEnv;

namespace {

struct Fixture {
    TestEnv env;
    db::Recordset rs;
    db::DataControl control;
    QLineEdit name, phone, phoneAgain;
    QCheckBox same;
    int ids[3] = {};

    Fixture() {
        auto& c = env.connection();
        ids[0] = testsupport::AddCompany(c, QStringLiteral("Alder"),
                                         {{QStringLiteral("Telephone1"), QStringLiteral("111")}});
        ids[1] = testsupport::AddCompany(c, QStringLiteral("Birch"),
                                         {{QStringLiteral("IsBillingAddressSameasPostal"), 1}});
        ids[2] = testsupport::AddCompany(c, QStringLiteral("Cedar"));
        rs.Open(QStringLiteral("SELECT CompanyID, CompanyName, Telephone1, "
                               "IsBillingAddressSameasPostal FROM Companies"),
                c, db::adOpenDynamic, db::adLockOptimistic);
        control.bind(&name, QStringLiteral("CompanyName"));
        control.bind(&phone, QStringLiteral("Telephone1"));
        control.bind(&phoneAgain, QStringLiteral("Telephone1"));
        control.bind(&same, QStringLiteral("IsBillingAddressSameasPostal"));
        control.setRecordset(rs);
    }
    QVariant Stored(int id, const QString& column) {
        return QueryValue(
            env.connection(),
            QStringLiteral("SELECT %1 FROM Companies WHERE CompanyID = ?").arg(column), {id});
    }
    void Refuse(const QString& when) {
        QVERIFY(env.connection().Execute(
            QStringLiteral("CREATE TRIGGER refuse BEFORE %1 ON Companies BEGIN SELECT RAISE(ABORT, "
                           "'row is locked'); END")
                .arg(when)));
    }
};

}  // namespace

class TestDataControl : public QObject {
    Q_OBJECT
  private slots:
    void navigationShowsRowsAndStaysAtTheEnds() {
        Fixture f;
        QSignalSpy moved(&f.control, &db::DataControl::MoveComplete);
        QCOMPARE(f.name.text(), QStringLiteral("Alder"));
        QCOMPARE(f.phone.text(), QStringLiteral("111"));
        QCOMPARE(f.same.checkState(), Qt::Unchecked);

        f.control.btnNext->click();
        QCOMPARE(f.name.text(), QStringLiteral("Birch"));
        QCOMPARE(f.phone.text(), QString());
        QCOMPARE(f.same.checkState(), Qt::Checked);
        f.control.btnLast->click();
        f.control.btnNext->click();  // past the end: stays on the last row
        QCOMPARE(f.rs.AbsolutePosition(), 3);
        QCOMPARE(f.name.text(), QStringLiteral("Cedar"));
        f.control.btnFirst->click();
        f.control.btnPrevious->click();
        QCOMPARE(f.rs.AbsolutePosition(), 1);
        QCOMPARE(moved.size(), 5);
        QCOMPARE(moved.at(0).at(0).toInt(), int(db::DataControl::adRsnMoveNext));
        QCOMPARE(moved.at(4).at(0).toInt(), int(db::DataControl::adRsnMovePrevious));

        // Moves made on the record set itself are followed too.
        f.rs.MoveLast();
        QCOMPARE(f.name.text(), QStringLiteral("Cedar"));
        QCOMPARE(moved.size(), 6);
    }

    void editsAreWrittenWhenTheControlMoves() {
        Fixture f;
        f.name.setText(QStringLiteral("Alder & Sons"));
        f.phone.clear();
        f.same.setChecked(true);
        QVERIFY(f.control.MoveNext());
        QCOMPARE(f.Stored(f.ids[0], QStringLiteral("CompanyName")).toString(),
                 QStringLiteral("Alder & Sons"));
        QVERIFY(db::IsNull(
            f.Stored(f.ids[0], QStringLiteral("Telephone1"))));  // an emptied box is Null
        QCOMPARE(f.Stored(f.ids[0], QStringLiteral("IsBillingAddressSameasPostal")).toInt(), 1);

        // Untouched rows are not written: a second box on the same field does not undo the first.
        f.phoneAgain.setText(QStringLiteral("222"));
        QVERIFY(f.control.Update());
        QCOMPARE(f.rs.AbsolutePosition(), 2);
        QCOMPARE(f.phone.text(), QStringLiteral("222"));
        QCOMPARE(f.Stored(f.ids[1], QStringLiteral("Telephone1")).toString(),
                 QStringLiteral("222"));
        QCOMPARE(f.Stored(f.ids[1], QStringLiteral("CompanyName")).toString(),
                 QStringLiteral("Birch"));
    }

    void addNewSavesTheRowBeforeAndShowsAnEmptyOne() {
        Fixture f;
        QSignalSpy moved(&f.control, &db::DataControl::MoveComplete);
        f.name.setText(QStringLiteral("O'Neill"));
        QVERIFY(f.control.AddNew());
        QCOMPARE(f.Stored(f.ids[0], QStringLiteral("CompanyName")).toString(),
                 QStringLiteral("O'Neill"));
        QCOMPARE(f.name.text(), QString());
        QCOMPARE(f.rs.EditMode(), int(db::Recordset::adEditAdd));
        QCOMPARE(moved.last().at(0).toInt(), int(db::DataControl::adRsnAddNew));
        f.name.setText(QStringLiteral("Dogwood"));
        QVERIFY(f.control.MoveFirst());
        QCOMPARE(QueryValue(f.env.connection(),
                            QStringLiteral("SELECT count(*) FROM Companies WHERE CompanyName = ?"),
                            {QStringLiteral("Dogwood")})
                     .toInt(),
                 1);
        QCOMPARE(f.rs.RecordCount(), 4);
    }

    void aRefusedSaveKeepsTheEditsAndThePosition() {
        Fixture f;
        QSignalSpy errors(&f.control, &db::DataControl::Error);
        QSignalSpy moved(&f.control, &db::DataControl::MoveComplete);
        f.Refuse(QStringLiteral("UPDATE"));
        f.name.setText(QStringLiteral("Alder Ltd"));
        f.control.btnNext->click();
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.at(0).at(0).toString().contains(QStringLiteral("row is locked")));
        QCOMPARE(moved.size(), 0);
        QCOMPARE(f.rs.AbsolutePosition(), 1);
        QCOMPARE(f.name.text(), QStringLiteral("Alder Ltd"));
        QCOMPARE(f.rs.EditMode(), int(db::Recordset::adEditInProgress));
        QCOMPARE(f.Stored(f.ids[0], QStringLiteral("CompanyName")).toString(),
                 QStringLiteral("Alder"));

        // Calls from code report by their result, not through the signal.
        QVERIFY(!f.control.Update());
        QVERIFY(f.control.LastError().contains(QStringLiteral("row is locked")));
        QCOMPARE(errors.size(), 1);

        QVERIFY(f.env.connection().Execute(QStringLiteral("DROP TRIGGER refuse")));
        f.control.btnNext->click();
        QCOMPARE(errors.size(), 1);
        QCOMPARE(f.rs.AbsolutePosition(), 2);
        QCOMPARE(f.Stored(f.ids[0], QStringLiteral("CompanyName")).toString(),
                 QStringLiteral("Alder Ltd"));
    }

    void aValueTheFieldCannotHoldIsAnError() {
        TestEnv env;
        const int job =
            testsupport::AddJob(env.connection(), 1, QDateTime(QDate(2024, 3, 1), QTime(9, 0)),
                                QDateTime(QDate(2024, 3, 1), QTime(10, 0)));
        testsupport::AddJob(env.connection(), 1, QDateTime(QDate(2024, 3, 2), QTime(9, 0)),
                            QDateTime(QDate(2024, 3, 2), QTime(10, 0)));
        db::Recordset rs;
        rs.Open(QStringLiteral("SELECT JobID, Start FROM JobDetails"), env.connection(),
                db::adOpenDynamic, db::adLockOptimistic);
        db::DataControl control;
        QLineEdit start;
        control.bind(&start, QStringLiteral("Start"));
        control.setRecordset(rs);
        QVERIFY(!start.text().isEmpty());
        start.setText(QStringLiteral("not a date"));
        QVERIFY(!control.MoveNext());
        QCOMPARE(rs.AbsolutePosition(), 1);
        QCOMPARE(start.text(), QStringLiteral("not a date"));
        QVERIFY(!control.MoveNext());  // still pending: not taken as written
        QCOMPARE(QueryValue(env.connection(),
                            QStringLiteral("SELECT Start FROM JobDetails WHERE JobID = ?"), {job})
                     .toDateTime(),
                 QDateTime(QDate(2024, 3, 1), QTime(9, 0)));
    }

    void anEmptyRecordsetEmptiesTheEditors() {
        TestEnv env;
        db::Recordset rs;
        rs.Open(QStringLiteral("SELECT CompanyID, CompanyName FROM Companies"), env.connection(),
                db::adOpenDynamic, db::adLockOptimistic);
        db::DataControl control;
        QLineEdit name;
        name.setText(QStringLiteral("left over"));
        control.bind(&name, QStringLiteral("CompanyName"));
        control.setRecordset(rs);
        QCOMPARE(name.text(), QString());
        QVERIFY(control.MoveNext());
        QVERIFY(control.MoveLast());
        db::DataControl closed;
        QVERIFY(!closed.MoveNext());
        QVERIFY(!closed.LastError().isEmpty());
    }
};

QTEST_MAIN(TestDataControl)
#include "tst_datacontrol.moc"
