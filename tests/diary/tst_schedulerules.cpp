// The appointment editor's rules: times composed from a picker date and a list entry, and
// the checks Save makes before it writes.
#include <QLocale>
#include <QTest>

#include "diary/schedulerules.h"
#include "platform/db/value.h"

using namespace schedule;

class TestScheduleRules : public QObject {
    Q_OBJECT

  private slots:
    void hourlyTimes() {
        const QStringList times = HourlyTimes();
        QCOMPARE(times.size(), 24);
        QCOMPARE(times.first(), QStringLiteral("00:00"));
        QCOMPARE(times.at(9), QStringLiteral("09:00"));
        QCOMPARE(times.last(), QStringLiteral("23:00"));
        QCOMPARE(TimeText(QDateTime(QDate(2026, 1, 5), QTime(7, 5, 59))), QStringLiteral("07:05"));
        QCOMPARE(TimeText(QDateTime()), QString());
    }

    void composeDateTime_data() {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QTime>("expected");  // invalid: refused
        QTest::newRow("list entry") << "09:00" << QTime(9, 0);
        QTest::newRow("one-digit hour") << "9:30" << QTime(9, 30);
        QTest::newRow("spaces") << "  17:45 " << QTime(17, 45);
        QTest::newRow("seconds") << "17:00:15" << QTime(17, 0, 15);
        QTest::newRow("pm") << "2:30 PM" << QTime(14, 30);
        QTest::newRow("noon") << "12 pm" << QTime(12, 0);
        QTest::newRow("midnight am") << "12:00am" << QTime(0, 0);
        QTest::newRow("empty is midnight") << "" << QTime(0, 0);
        QTest::newRow("last minute") << "23:59" << QTime(23, 59);
        QTest::newRow("hour 24") << "24:00" << QTime();
        QTest::newRow("minute 60") << "9:60" << QTime();
        QTest::newRow("bare number") << "9" << QTime();
        QTest::newRow("thirteen pm") << "13:00 PM" << QTime();
        QTest::newRow("dot") << "9.30" << QTime();
        QTest::newRow("words") << "after lunch" << QTime();
        QTest::newRow("negative") << "-1:00" << QTime();
    }
    void composeDateTime() {
        QFETCH(QString, time);
        QFETCH(QTime, expected);
        const QDate day(2026, 2, 28);
        QString error;
        const auto result = ComposeDateTime(day, time, &error);
        if (!expected.isValid()) {
            QVERIFY(!result);
            QVERIFY2(error.contains(time.trimmed()), qPrintable(error));
            return;
        }
        QVERIFY2(result, qPrintable(error));
        QCOMPARE(*result, QDateTime(day, expected));
    }

    // The clocks go forward at 01:00 on 28 March 2027 (Europe/London): a skipped time is refused
    // for one appointment, and read with the offset before the change for a series.
    void clocksGoForward_data() {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QTime>("local");  // as a series reads it; differs only when skipped
        QTest::newRow("last minute before") << QDate(2027, 3, 28) << QTime(0, 59) << QTime(0, 59);
        QTest::newRow("first skipped minute") << QDate(2027, 3, 28) << QTime(1, 0) << QTime(2, 0);
        QTest::newRow("half past one") << QDate(2027, 3, 28) << QTime(1, 30) << QTime(2, 30);
        QTest::newRow("first hour after") << QDate(2027, 3, 28) << QTime(2, 0) << QTime(2, 0);
        QTest::newRow("clocks going back") << QDate(2027, 10, 31) << QTime(1, 30) << QTime(1, 30);
    }
    void clocksGoForward() {
        QFETCH(QDate, day);
        QFETCH(QTime, time);
        QFETCH(QTime, local);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        QString error;
        const bool skipped = local != time;
        QCOMPARE(!ComposeDateTime(day, time.toString(QStringLiteral("HH:mm")), &error), skipped);
        if (skipped) QCOMPARE(error, ClocksForwardMessage(day, time));
        if (skipped) QVERIFY(error.startsWith(time.toString(QStringLiteral("HH:mm")) + QStringLiteral(" does not exist on 28/03/2027 because the clocks go forward")));
        bool moved = !skipped;
        QCOMPARE(db::LocalDateTime(day, time, &moved), QDateTime(day, local));
        QCOMPARE(moved, skipped);
    }

    void composeNeedsADate() {
        QString error;
        QVERIFY(!ComposeDateTime(QDate(), QStringLiteral("09:00"), &error));
        QVERIFY(!error.isEmpty());
    }

    void invoicedLock() {
        QVERIFY(!IsInvoiced(QVariant()));
        QVERIFY(!IsInvoiced(0));
        QVERIFY(!IsInvoiced(QVariant::fromValue(qlonglong(0))));
        QVERIFY(IsInvoiced(17));
        QVERIFY(IsInvoiced(-1));
    }

    void checkOrder() {
        const QDate d(2026, 3, 10);
        const QString nine = QStringLiteral("09:00"), five = QStringLiteral("17:00");
        // The lock comes before everything, even a missing customer or a broken time.
        QCOMPARE(CheckAppointment(4, QVariant(), false, d, QStringLiteral("xx"), d, five).refusal,
                 kInvoicedLock);
        QCOMPARE(CheckAppointment(0, QVariant(), false, d, nine, d, five).refusal, kNoCustomer);
        QCOMPARE(CheckAppointment(0, 0, true, d, nine, d, five).refusal, kNoCustomer);
        // A key the list does not hold (a removed company) counts as no customer.
        QCOMPARE(CheckAppointment(0, 12, false, d, nine, d, five).refusal, kNoCustomer);
        // Then the start time, before the finish.
        const AppointmentCheck badStart =
            CheckAppointment(0, 3, true, d, QStringLiteral("25:00"), d, QStringLiteral("x"));
        QVERIFY(badStart.refusal.contains(QStringLiteral("25:00")));
        const AppointmentCheck badFinish =
            CheckAppointment(QVariant(), 3, true, d, nine, d, QStringLiteral("5pm-ish"));
        QVERIFY(badFinish.refusal.contains(QStringLiteral("5pm-ish")));
    }

    void checkFinishAgainstStart() {
        const QDate d(2026, 3, 10);
        const AppointmentCheck sameDayBackwards =
            CheckAppointment(0, 3, true, d, QStringLiteral("17:00"), d, QStringLiteral("09:00"));
        QCOMPARE(sameDayBackwards.refusal, kFinishBeforeStart);
        const AppointmentCheck dayBefore = CheckAppointment(0, 3, true, d, QStringLiteral("09:00"),
                                                            d.addDays(-1), QStringLiteral("23:00"));
        QCOMPARE(dayBefore.refusal, kFinishBeforeStart);

        // Finishing when it starts, or overnight, is fine.
        const AppointmentCheck instant =
            CheckAppointment(0, 3, true, d, QStringLiteral("10:00"), d, QStringLiteral("10:00"));
        QVERIFY(instant.refusal.isEmpty());
        const AppointmentCheck overnight = CheckAppointment(
            QVariant(), 3, true, d, QStringLiteral("22:00"), d.addDays(1), QStringLiteral("06:30"));
        QVERIFY(overnight.refusal.isEmpty());
        QCOMPARE(overnight.start, QDateTime(d, QTime(22, 0)));
        QCOMPARE(overnight.finish, QDateTime(d.addDays(1), QTime(6, 30)));
    }
};

QTEST_APPLESS_MAIN(TestScheduleRules)
#include "tst_schedulerules.moc"
