// The Options dialog's checks: VAT rate, appointment times, the financial-year start.
#include <QTest>

#include "core/optionsrules.h"

class TestOptionsRules : public QObject {
    Q_OBJECT
  private slots:
    void vatRate_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("rate");  // -1 = refused
        QTest::newRow("plain") << "17.5" << 17.5;
        QTest::newRow("percent sign") << "17.5%" << 17.5;
        QTest::newRow("letters") << "abc" << -1.0;
        QTest::newRow("text after the sign") << "17.5%x" << -1.0;
        QTest::newRow("two signs") << "17.5%%" << -1.0;
        QTest::newRow("negative") << "-5" << -1.0;
    }
    void vatRate() {
        QFETCH(QString, text);
        QFETCH(double, rate);
        const auto r = ParseVatRate(text);
        QCOMPARE(r.has_value(), rate >= 0);
        if (r) QCOMPARE(*r, rate);
    }

    void times_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("saved");  // empty = refused
        QTest::newRow("as stored") << "09:00"
                                   << "09:00";
        QTest::newRow("one-digit hour") << "9:05"
                                        << "09:05";
        QTest::newRow("last minute") << "23:59"
                                     << "23:59";
        QTest::newRow("blanks around") << " 17:30 "
                                       << "17:30";
        QTest::newRow("hour 24") << "24:00"
                                 << "";
        QTest::newRow("minute 60") << "17:60"
                                   << "";
        QTest::newRow("no colon") << "0900"
                                  << "";
        QTest::newRow("one-digit minute") << "9:5"
                                          << "";
        QTest::newRow("seconds") << "09:00:00"
                                 << "";
        QTest::newRow("am/pm") << "9:00 AM"
                               << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void times() {
        QFETCH(QString, text);
        QFETCH(QString, saved);
        const auto t = NormaliseTime(text);
        QCOMPARE(t.has_value(), !saved.isEmpty());
        if (t) QCOMPARE(*t, saved);
    }

    void monthNames() {
        QCOMPARE(MonthIndex(QStringLiteral("January")), std::optional<int>(0));
        QCOMPARE(MonthIndex(QStringLiteral("april")), std::optional<int>(3));
        QCOMPARE(MonthIndex(QStringLiteral(" December ")), std::optional<int>(11));
        QVERIFY(!MonthIndex(QStringLiteral("Apr")).has_value());
        QVERIFY(!MonthIndex(QString()).has_value());
    }

    // The day list offers exactly the days the check accepts.
    void daysOfMonth_data() {
        QTest::addColumn<QString>("month");
        QTest::addColumn<int>("last");  // 0 = no list
        QTest::newRow("January") << "January" << 31;
        QTest::newRow("February, leap year or not") << "February" << 28;
        QTest::newRow("April") << "april" << 30;
        QTest::newRow("no such month") << "Smarch" << 0;
    }
    void daysOfMonth() {
        QFETCH(QString, month);
        QFETCH(int, last);
        const QStringList days = DaysOfMonth(month);
        QStringList expected;
        for (int d = 1; d <= last; ++d) expected << QString::number(d);
        QCOMPARE(days, expected);
        for (const QString& d : days)
            QCOMPARE(CheckFinYearStart(d, month).outcome, FinYearStartChoice::Valid);
        QCOMPARE(CheckFinYearStart(QString::number(last + 1), month).outcome,
                 FinYearStartChoice::Refused);
    }

    void finYearStart_data() {
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("month");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("savedDay");
        QTest::addColumn<int>("savedMonth");
        QTest::addColumn<QString>("message");
        const QString chooseMonth =
            QStringLiteral("Choose the month in which the financial year starts.");
        const QString chooseDay =
            QStringLiteral("Choose the day of the month on which the financial year starts.");
        QTest::newRow("both empty")
            << ""
            << "" << int(FinYearStartChoice::NotChosen) << 0 << -1 << QString();
        QTest::newRow("6 April") << "6"
                                 << "April" << int(FinYearStartChoice::Valid) << 6 << 3
                                 << QString();
        QTest::newRow("leading zero, lower case")
            << "01"
            << "january" << int(FinYearStartChoice::Valid) << 1 << 0 << QString();
        QTest::newRow("30 April") << "30"
                                  << "April" << int(FinYearStartChoice::Valid) << 30 << 3
                                  << QString();
        QTest::newRow("31 December")
            << "31"
            << "December" << int(FinYearStartChoice::Valid) << 31 << 11 << QString();
        QTest::newRow("31 April")
            << "31"
            << "April" << int(FinYearStartChoice::Refused) << 0 << -1
            << QStringLiteral(
                   "The financial year cannot start on 31 April: choose a day from 1 to 30.");
        QTest::newRow("29 February")
            << "29"
            << "February" << int(FinYearStartChoice::Refused) << 0 << -1
            << QStringLiteral(
                   "The financial year cannot start on 29 February: choose a day from 1 to 28.");
        QTest::newRow("day without month")
            << "5"
            << "" << int(FinYearStartChoice::Refused) << 0 << -1 << chooseMonth;
        QTest::newRow("no such month")
            << "5"
            << "Smarch" << int(FinYearStartChoice::Refused) << 0 << -1 << chooseMonth;
        QTest::newRow("month without day")
            << ""
            << "April" << int(FinYearStartChoice::Refused) << 0 << -1 << chooseDay;
        QTest::newRow("day not a number")
            << "x"
            << "June" << int(FinYearStartChoice::Refused) << 0 << -1 << chooseDay;
        QTest::newRow("day 0") << "0"
                               << "June" << int(FinYearStartChoice::Refused) << 0 << -1
                               << chooseDay;
        QTest::newRow("day 32") << "32"
                                << "June" << int(FinYearStartChoice::Refused) << 0 << -1
                                << chooseDay;
    }
    void finYearStart() {
        QFETCH(QString, day);
        QFETCH(QString, month);
        QFETCH(int, outcome);
        QFETCH(int, savedDay);
        QFETCH(int, savedMonth);
        QFETCH(QString, message);
        const FinYearStartChoice c = CheckFinYearStart(day, month);
        QCOMPARE(int(c.outcome), outcome);
        QCOMPARE(c.message, message);
        if (c.outcome == FinYearStartChoice::Valid) {
            QCOMPARE(c.day, savedDay);
            QCOMPARE(c.monthIndex, savedMonth);
        }
    }
};

QTEST_GUILESS_MAIN(TestOptionsRules)
#include "tst_optionsrules.moc"
