// Date and money helpers under a pinned United Kingdom locale.
#include <QLocale>
#include <QTest>

#include "core/formatting.h"

using db::Currency;

class TestFormatting : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }

    void parseDbDate_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QDate>("expected");  // invalid = no date
        QTest::newRow("empty text") << QVariant(QString()) << QDate();
        QTest::newRow("null") << QVariant() << QDate();
        QTest::newRow("iso date") << QVariant(QStringLiteral("2004-05-06")) << QDate(2004, 5, 6);
        QTest::newRow("iso date and time") << QVariant(QStringLiteral("2004-05-06 14:30")) << QDate(2004, 5, 6);
        QTest::newRow("regional text") << QVariant(QStringLiteral("06/05/2004")) << QDate(2004, 5, 6);
        QTest::newRow("date-time at 23:59") << QVariant(QDateTime(QDate(2004, 5, 6), QTime(23, 59))) << QDate(2004, 5, 6);
        QTest::newRow("month 13") << QVariant(QStringLiteral("2004-13-06")) << QDate();
        QTest::newRow("30 February") << QVariant(QStringLiteral("2004-02-30")) << QDate();
        QTest::newRow("31 April regional") << QVariant(QStringLiteral("31/04/2004")) << QDate();
        QTest::newRow("no date") << QVariant(QStringLiteral("tomorrow")) << QDate();
    }
    void parseDbDate() {
        QFETCH(QVariant, value);
        QFETCH(QDate, expected);
        const auto d = ParseDbDate(value);
        QCOMPARE(d.value_or(QDate()), expected);
    }

    void parseRegionalDate_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("expected");  // invalid = no date
        const QString gb = QStringLiteral("en_GB"), us = QStringLiteral("en_US");
        QTest::newRow("GB reads day first") << gb << "06/05/2004" << QDate(2004, 5, 6);
        QTest::newRow("US reads month first") << us << "06/05/2004" << QDate(2004, 6, 5);
        QTest::newRow("GB two-digit year") << gb << "06/05/04" << QDate(2004, 5, 6);
        QTest::newRow("29 is 2029") << us << "1/2/29" << QDate(2029, 1, 2);
        QTest::newRow("30 is 1930") << gb << "1/2/30" << QDate(1930, 2, 1);
        QTest::newRow("US with a time") << us << "12/31/2004 14:30" << QDate(2004, 12, 31);
        QTest::newRow("GB with dashes") << gb << "6-5-2004" << QDate(2004, 5, 6);
        QTest::newRow("GB has no month 13") << gb << "06/13/2004" << QDate();
    }
    void parseRegionalDate() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QDate, expected);
        const QLocale pinned;
        QLocale::setDefault(QLocale(locale));
        const auto d = ParseDbDate(QVariant(text));
        QLocale::setDefault(pinned);
        QCOMPARE(d.value_or(QDate()), expected);
    }

    void formatSqlDate_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1 December 2005") << QVariant(QDate(2005, 12, 1)) << QStringLiteral("12/1/2005");
        QTest::newRow("6 May 2004 with time") << QVariant(QDateTime(QDate(2004, 5, 6), QTime(9, 0))) << QStringLiteral("5/6/2004");
        QTest::newRow("stored text") << QVariant(QStringLiteral("2026-04-01 00:00:00")) << QStringLiteral("4/1/2026");
        QTest::newRow("nothing") << QVariant(QString()) << QString();
    }
    void formatSqlDate() {
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        QCOMPARE(FormatSqlDate(value), expected);
    }

    void formatDateTimes() {
        const QDate d(2004, 5, 6);
        const QString longDate = QLocale().toString(d, QLocale::LongFormat);
        const QString shortDate = QLocale().toString(d, QLocale::ShortFormat);
        QCOMPARE(shortDate, QStringLiteral("06/05/2004"));
        QCOMPARE(FormatLongDateTime(QDateTime(d, QTime(0, 0))), longDate);
        QCOMPARE(FormatLongDateTime(QDateTime(d, QTime(0, 0, 30))), longDate);  // midnight to the minute
        QCOMPARE(FormatLongDateTime(QDateTime(d, QTime(0, 1))), longDate + QStringLiteral(" 00:01"));
        QCOMPARE(FormatShortDateTime(QDateTime(d, QTime(14, 30))), shortDate + QStringLiteral(" 14:30"));
        bool ok = true;
        QCOMPARE(FormatShortDateTime(QVariant(QStringLiteral("no date")), &ok), QString());
        QVERIFY(!ok);
    }

    void formatMoney_data() {
        QTest::addColumn<qint64>("ticks");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1234.5") << qint64(12345000) << QStringLiteral("£1,234.50");
        QTest::newRow("zero") << qint64(0) << QStringLiteral("£0.00");
        QTest::newRow("half a penny rounds up") << qint64(50) << QStringLiteral("£0.01");
        QTest::newRow("a million") << qint64(10000000000) << QStringLiteral("£1,000,000.00");
    }
    void formatMoney() {
        QFETCH(qint64, ticks);
        QFETCH(QString, expected);
        QCOMPARE(FormatMoney(Currency::fromTicks(ticks)), expected);
    }

    // Sums and products of money keep its range; texts come from the amount's own digits and
    // read back to it.
    void moneyKeepsItsRange_data() {
        QTest::addColumn<QString>("got");
        QTest::addColumn<QString>("expected");
        const Currency t600 = Currency::fromUnits(600000000000000);
        const Currency largest = Currency::fromTicks(INT64_MAX), lowest = Currency::fromTicks(INT64_MIN);
        QTest::newRow("sum beyond") << FormatTotal(t600.plus(t600)) << "Overflow";
        QTest::newRow("difference beyond") << FormatTotal(lowest.minus(Currency::fromTicks(1))) << "Overflow";
        QTest::newRow("lowest negated") << FormatTotal(lowest.negated()) << "Overflow";
        QTest::newRow("VAT on 800 trillion")
            << FormatTotal(Currency::fromUnits(800000000000000).times(1.2)) << "Overflow";
        QTest::newRow("17.5% on 150.50") << FormatTotal(Currency::fromTicks(1505000).times(1.175)) << "£176.84";
        QTest::newRow("beyond 900 billion")
            << FormatMoney(Currency::fromTicks(1234567890123456700)) << "£123,456,789,012,345.67";
        QTest::newRow("largest") << FormatMoney(largest) << "£922,337,203,685,477.58";
        QTest::newRow("largest read back")
            << FormatMoney(ParseMoney(FormatMoney(largest)).value_or(Currency())) << "£922,337,203,685,477.58";
        QTest::newRow("lowest") << FormatMoney(lowest) << "(£922,337,203,685,477.58)";
        const QLocale pinned;
        QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
        QTest::newRow("German") << FormatMoney(Currency::fromTicks(-12345600)) << "-1.234,56\u00a0€";
        QLocale::setDefault(pinned);
        QTest::newRow("16 digits typed")
            << MoneyRefusal("1234567890123456")
            << "Overflow: \"1234567890123456\" is beyond the largest amount of money.";
        QTest::newRow("no digits typed") << MoneyRefusal("£") << "Type mismatch: \"£\" is not an amount of money.";
        QTest::newRow("two decimal points typed")
            << MoneyRefusal("1.2.3") << "Type mismatch: \"1.2.3\" is not an amount of money.";
    }
    void moneyKeepsItsRange() {
        QFETCH(QString, got);
        QFETCH(QString, expected);
        QCOMPARE(got, expected);
    }

    void parseMoneyIsTheInverse() {
        // Every amount in pence formats and reads back to itself.
        for (qint64 pence : {0LL, 1LL, 99LL, 100LL, 123456LL, -5LL, -123456789LL, 99999999999LL}) {
            const Currency c = Currency::fromTicks(pence * 100);
            const auto back = ParseMoney(FormatMoney(c));
            QVERIFY2(back.has_value(), qPrintable(FormatMoney(c)));
            QCOMPARE(back->ticks(), c.ticks());
        }
    }

    void parseMoneyTyped_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("ticks");  // -1 = refused
        QTest::newRow("plain") << QStringLiteral("12.5") << qint64(125000);
        QTest::newRow("separators") << QStringLiteral("1,234.56") << qint64(12345600);
        QTest::newRow("symbol and blanks") << QStringLiteral("  £ 7 ") << qint64(70000);
        QTest::newRow("parentheses") << QStringLiteral("(£3.00)") << qint64(-30000);
        QTest::newRow("letters") << QStringLiteral("12a") << qint64(-1);
        QTest::newRow("two points") << QStringLiteral("1.2.3") << qint64(-1);
        QTest::newRow("stray separator") << QStringLiteral(",5") << qint64(-1);
        QTest::newRow("empty") << QString() << qint64(-1);
        QTest::newRow("only a symbol") << QStringLiteral("£") << qint64(-1);
    }
    void parseMoneyTyped() {
        QFETCH(QString, text);
        QFETCH(qint64, ticks);
        const auto c = ParseMoney(text);
        if (ticks == -1) {
            QVERIFY2(!c.has_value(), qPrintable(text));
        } else {
            QVERIFY2(c.has_value(), qPrintable(text));
            QCOMPARE(c->ticks(), ticks);
        }
    }

    // Every money box reads the user's own form only: another locale's, or a separator out of
    // place, is refused rather than read as some other amount.
    void moneyBoxesReadTheLocalesFormOnly_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("ticks");  // -1 = refused
        for (const char* gb : {"12,5", "1,2,3", "1.234,50", "1234,567", "£5£", "--5"})
            QTest::addRow("GB %s", gb) << "en_GB" << QString::fromUtf8(gb) << qint64(-1);
        for (const char* de : {"12.50", "1,234.50"})
            QTest::addRow("DE %s", de) << "de_DE" << QString::fromUtf8(de) << qint64(-1);
        const std::tuple<const char*, const char*, qint64> rows[] = {
            {"en_GB", "1,234,567.8", 12345678000}, {"en_GB", "£-5", -50000},
            {"de_DE", "1.234,50 €", 12345000}, {"de_DE", "12,5", 125000}};
        for (const auto& [locale, text, ticks] : rows)
            QTest::addRow("%s %s", locale, text) << locale << QString::fromUtf8(text) << ticks;
    }
    void moneyBoxesReadTheLocalesFormOnly() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        const QLocale pinned;
        QLocale::setDefault(QLocale(locale));
        const auto c = ParseMoney(text);
        QLocale::setDefault(pinned);
        QTEST(c ? c->ticks() : qint64(-1), "ticks");
    }
};

QTEST_MAIN(TestFormatting)
#include "tst_formatting.moc"
