// A field's text without its value's conversion to a local date and time: the same text as
// the value gives, also on the days the clocks change (run with TZ=Europe/London).
#include <QTest>

#include "platform/db/recordset.h"
#include "tests/support/testenv.h"

class TestDbDateText : public QObject {
    Q_OBJECT

  private slots:
    void textIsTheValuesText_data() {
        QTest::addColumn<QString>("stored");  // NULL for none
        QTest::newRow("summer, morning") << "2026-06-01 09:00:00";
        QTest::newRow("midnight") << "2026-06-01 00:00:00";
        QTest::newRow("clocks forward, the hour skipped") << "2027-03-28 01:30:00";
        QTest::newRow("clocks forward, midnight") << "2027-03-28 00:00:00";
        QTest::newRow("clocks back, the hour twice") << "2026-10-25 01:30:00";
        QTest::newRow("long ago") << "1936-02-06 12:30:00";
        QTest::newRow("before the zone's rules") << "0560-02-18 08:00:00";
        QTest::newRow("none") << "NULL";
    }
    void textIsTheValuesText() {
        QFETCH(QString, stored);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        testsupport::TestEnv env;
        const QString value = stored == u"NULL" ? stored : u'\'' + stored + u'\'';
        QVERIFY(env.connection().Execute(
            QStringLiteral("INSERT INTO JobDetails (Start, CustomerID) VALUES (%1, 1)").arg(value)));
        db::Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("SELECT Start FROM JobDetails"), env.connection()));
        db::Field start = rs.Fields(0);
        QCOMPARE(start.IsNull(), stored == u"NULL");
        QCOMPARE(start.Text(), db::ValueText(start.Value()));
        if (!start.IsNull()) QVERIFY(start.Text().contains(stored.mid(0, 4)));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(start.Text(), db::ValueText(start.Value()));  // the locale of the moment
    }
};

QTEST_GUILESS_MAIN(TestDbDateText)
#include "tst_db_datetext.moc"
