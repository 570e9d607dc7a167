// The generated business: its rows spread over the years asked for, up to the day given.
#include <QTemporaryDir>
#include <QTest>

#include "bench/generator.h"
#include "platform/db/connection.h"
#include "tests/support/testenv.h"

class TestGenerator : public QObject {
    Q_OBJECT
private slots:
    // The share of each table in the last whole financial year (1 April to 31 March) before
    // `today`; expenses tied to an appointment fall on its day.
    void lastYearsShare_data() {
        QTest::addColumn<int>("years");
        QTest::addColumn<double>("share");
        QTest::newRow("ten years by default") << -1 << 0.1;
        QTest::newRow("four years") << 4 << 0.25;
        QTest::newRow("twenty years") << 20 << 0.05;
    }
    void lastYearsShare() {
        QFETCH(int, years);
        QFETCH(double, share);
        bench::Sizes sizes;
        sizes.appointments = 20000;
        sizes.invoices = 4000;
        sizes.expenses = 8000;
        sizes.customers = 100;
        if (years >= 0) sizes.years = years;
        const QDate today(2026, 12, 9);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("business.mdb"));
        QString error;
        bench::Generated made;
        QVERIFY2(bench::GenerateDatabase(path, sizes, 7, &error, &made, today), qPrintable(error));
        QCOMPARE(made.appointments, sizes.appointments);
        QCOMPARE(made.invoices, sizes.invoices);
        const int spanYears = years >= 0 ? years : 10;
        QVERIFY2(qAbs(made.firstDay.daysTo(today.addYears(-spanYears))) < 90,
                 qPrintable(made.firstDay.toString(Qt::ISODate)));

        db::Connection c;
        QVERIFY(c.Open(QStringLiteral("DBQ=") + path));
        const QVariantList year{QStringLiteral("2025-04-01"), QStringLiteral("2026-04-01")};
        const auto count = [&](const QString& sql) { return testsupport::QueryValue(c, sql, year).toDouble(); };
        const double jobs = count(QStringLiteral("SELECT COUNT(*) FROM JobDetails WHERE Start >= ? AND Start < ?"));
        const double invoices =
            count(QStringLiteral("SELECT COUNT(*) FROM Billing WHERE BillingDate >= ? AND BillingDate < ?"));
        const double expenses = count(QStringLiteral(
            "SELECT COUNT(*) FROM Outgoings LEFT JOIN JobDetails ON Outgoings.ScheduleID = JobDetails.JobID "
            "WHERE COALESCE(Outgoings.Date, JobDetails.Start) >= ? AND COALESCE(Outgoings.Date, JobDetails.Start) < ?"));
        const auto near = [share](double part, double whole) {
            return part / whole > share * 0.8 && part / whole < share * 1.2;
        };
        QVERIFY2(near(jobs, sizes.appointments), qPrintable(QString::number(jobs)));
        QVERIFY2(near(invoices, sizes.invoices), qPrintable(QString::number(invoices)));
        QVERIFY2(near(expenses, sizes.expenses), qPrintable(QString::number(expenses)));
    }
};

QTEST_GUILESS_MAIN(TestGenerator)
#include "tst_generator.moc"
