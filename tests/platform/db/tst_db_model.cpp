// The grid model over a record set, checked by Qt's model tester while the record set changes.

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include "fixture.h"
#include "platform/db/recordset.h"
#include "platform/db/recordsetmodel.h"
#include "tests/support/testenv.h"

using namespace dbtest;

class TestDbModel : public QObject {
    Q_OBJECT

  private slots:
    void followsTheRecordset();
    void editsWriteThrough();
};

void TestDbModel::followsTheRecordset() {
    testsupport::TestEnv env;
    AddSampleRows(env.connection());
    db::Recordset rs;
    QVERIFY(
        rs.Open(QStringLiteral(
                    "select JobID, Start, Description, Fee, Cancelled, CustomerID from JobDetails"),
                env.connection(), db::adOpenDynamic, db::adLockOptimistic));
    db::RecordsetModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRecordset(&rs);
    QCOMPARE(model.rowCount(), int(kJobCount));
    QCOMPARE(model.columnCount(), 6);
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Description"));
    QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("Survey"));
    QCOMPARE(model.data(model.index(0, 1)).toString(), db::ValueText(At(2026, 4, 2, 9)));
    QCOMPARE(model.data(model.index(0, 1), Qt::EditRole), QVariant(At(2026, 4, 2, 9)));
    QCOMPARE(model.value(0, 3).value<db::Currency>(), db::Currency::fromDouble(120.5).value());
    QCOMPARE(model.data(model.index(1, 4)).toString(), QStringLiteral("True"));

    QVERIFY(rs.SetFilter(QStringLiteral("CustomerID = 1")));
    QCOMPARE(model.rowCount(), 4);
    QVERIFY(rs.SetSort(QStringLiteral("Start DESC")));
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("3"));

    QSignalSpy moved(&model, &db::RecordsetModel::currentRowChanged);
    QVERIFY(rs.MoveNext());
    QCOMPARE(moved.count(), 1);
    QCOMPARE(model.currentRow(), 1);
    QVERIFY(model.moveTo(3));
    QCOMPARE(rs.Fields(QStringLiteral("JobID")).Value(), QVariant(int(kJobSurvey)));

    QVERIFY(rs.AddNew());
    QCOMPARE(model.rowCount(), 5);
    QVERIFY(rs.Fields(QStringLiteral("Description")).SetValue(QStringLiteral("Added")));
    QVERIFY(rs.Update());
    QVERIFY(rs.MoveFirst());
    QVERIFY(rs.Delete());
    QCOMPARE(model.rowCount(), 4);

    // Changes made through a clone reach the grid of the original.
    db::Recordset clone = rs.Clone();
    QVERIFY(clone.SetFilter(QStringLiteral("JobID = 1")));
    QVERIFY(clone.Fields(QStringLiteral("Description")).SetValue(QStringLiteral("From the clone")));
    QVERIFY(clone.Update());
    // The added row has no customer: the original's filter now leaves it out, and the grid
    // must not keep a row for it.
    QCOMPARE(model.rowCount(), rs.RecordCount());
    QCOMPARE(model.rowCount(), 3);
    bool found = false;
    for (int r = 0; r < model.rowCount(); ++r)
        found |= model.data(model.index(r, 2)).toString() == QStringLiteral("From the clone");
    QVERIFY(found);
    QVERIFY(clone.Delete());
    QCOMPARE(model.rowCount(), rs.RecordCount());
    QCOMPARE(model.rowCount(), 2);

    QVERIFY(rs.Requery());
    QCOMPARE(model.rowCount(), 2);
    QVERIFY(rs.SetFilter(QString()));
    QCOMPARE(model.rowCount(), int(kJobCount) - 1);
    rs.Close();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 0);
    QVERIFY(rs.Open(QStringLiteral("select * from companies"), env.connection()));
    QCOMPARE(model.rowCount(), 2);
    model.setRecordset(nullptr);
    QCOMPARE(model.rowCount(), 0);
}

void TestDbModel::editsWriteThrough() {
    testsupport::TestEnv env;
    AddSampleRows(env.connection());
    db::Recordset rs;
    QVERIFY(rs.Open(QStringLiteral("select contactid, firstname, lastname from contacts"),
                    env.connection(), db::adOpenDynamic, db::adLockOptimistic));
    db::RecordsetModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRecordset(&rs);
    QVERIFY(!model.setData(model.index(1, 2), QStringLiteral("Smith")));
    model.setEditable(true);
    QVERIFY(model.flags(model.index(1, 2)) & Qt::ItemIsEditable);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setData(model.index(1, 2), QStringLiteral("Smith")));
    QVERIFY(changed.count() >= 1);
    QCOMPARE(model.data(model.index(1, 2)).toString(), QStringLiteral("Smith"));
    QCOMPARE(testsupport::QueryValue(env.connection(),
                                     QStringLiteral("select lastname from contacts where "
                                                    "contactid = 2")),
             QVariant(QStringLiteral("Smith")));
    // A value the column cannot hold is refused and nothing is left half-edited.
    QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("one")));
    QCOMPARE(rs.EditMode(), int(db::Recordset::adEditNone));
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("1"));

    db::RecordsetModel readOnly;
    db::Recordset ro;
    QVERIFY(ro.Open(QStringLiteral("select * from contacts"), env.connection(), db::adOpenStatic,
                    db::adLockReadOnly));
    readOnly.setRecordset(&ro);
    readOnly.setEditable(true);
    QVERIFY(!readOnly.setData(readOnly.index(0, 2), QStringLiteral("x")));
}

QTEST_GUILESS_MAIN(TestDbModel)
#include "tst_db_model.moc"
