// The recurrence rules alone: the pattern text both ways and the occurrence dates.
#include <QLocale>
#include <QTest>

#include "diary/recurrencerules.h"

using recurrence::Choice;

namespace {

// A choice written the way the tables read: "D1 3", "W 2 0100100", "M2 1 2 3",
// "A1 6 4" (list positions, then texts), kind and sub-option first.
Choice Make(const QString& spec, const QDate& end = QDate(2026, 12, 31)) {
    const QStringList p = spec.split(u' ');
    Choice c;
    c.kind = recurrence::PatternKind(p[0]);
    c.flex = p[0].size() > 1 && p[0][1] == u'2' ? 2 : 1;
    auto at = [&p](int i) { return i < p.size() ? p[i] : QString(); };
    switch (c.kind) {
        case recurrence::Daily:
            c.txt1 = at(1);
            break;
        case recurrence::Weekly:
            c.txt1 = at(1);
            for (int k = 0; k < 7; ++k) c.days[static_cast<size_t>(k)] = at(2).mid(k, 1) == u"1";
            break;
        case recurrence::Monthly:
            if (c.flex == 1) {
                c.txt1 = at(1);
                c.text2 = at(2);
            } else {
                c.instance = at(1).toInt();
                c.weekday = at(2).toInt();
                c.text3 = at(3);
            }
            break;
        case recurrence::Annual:
            if (c.flex == 1) {
                c.yearMonth = at(1).toInt();
                c.text2 = at(2);
            } else {
                c.instance = at(1).toInt();
                c.weekday = at(2).toInt();
                c.month = at(3).toInt();
            }
            break;
        default:
            break;
    }
    c.end = end;
    return c;
}

QDateTime At(const QString& iso) { return QDateTime::fromString(iso, Qt::ISODate); }

}  // namespace

class TestRecurrenceRules : public QObject {
    Q_OBJECT
  private slots:
    void patternText_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("text");
        QTest::newRow("every 12 days") << "D1 12"
                                       << "D112";
        QTest::newRow("every weekday") << "D2"
                                       << "D2";
        QTest::newRow("10 weeks, Sun and Sat") << "W 10 1000001"
                                               << "W101000001";
        QTest::newRow("day 5 every 10 months") << "M1 5 10"
                                               << "M10510";
        QTest::newRow("fourth Saturday, 12 months") << "M2 3 6 12"
                                                    << "M23612";
        QTest::newRow("25 December") << "A1 11 25"
                                     << "A11125";
        QTest::newRow("fourth Saturday of January") << "A2 3 6 0"
                                                    << "A230600";
    }
    void patternText() {
        QFETCH(QString, choice);
        QFETCH(QString, text);
        const Choice c = Make(choice);
        // The same text, read back the same, whatever the user's date order.
        for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedKingdom),
                                      QLocale(QLocale::English, QLocale::UnitedStates)}) {
            QLocale::setDefault(locale);
            const QString written = recurrence::PatternText(c);
            QCOMPARE(written, text + QStringLiteral("31/12/2026"));
            Choice read;
            recurrence::ReadPattern(written, read);
            QCOMPARE(recurrence::PatternText(read), written);
            QCOMPARE(read.kind, c.kind);
            QCOMPARE(read.flex, c.flex);
            QCOMPARE(read.instance, c.instance);
            QCOMPARE(read.weekday, c.weekday);
            QCOMPARE(read.yearMonth, c.yearMonth);
            QCOMPARE(read.month, c.month);
            QCOMPARE(read.days, c.days);
            QCOMPARE(read.end, QDate(2026, 12, 31));
        }
        QLocale::setDefault(QLocale::c());
    }

    // Fields that cannot be read keep what the editor showed before.
    void readPatternKeepsWhatItCannotRead_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("after");
        QTest::newRow("cut short") << "M231/12/2026"
                                   << "M20301" + QStringLiteral("31/12/2026");
        QTest::newRow("month-first end date") << "M2120312/31/2026"
                                              << "M21203" + QStringLiteral("01/06/2026");
        QTest::newRow("instance out of range") << "M2920331/12/2026"
                                               << "M20203" + QStringLiteral("31/12/2026");
        QTest::newRow("no end date") << "D112"
                                     << "D112" + QStringLiteral("01/06/2026");
    }
    void readPatternKeepsWhatItCannotRead() {
        QFETCH(QString, text);
        QFETCH(QString, after);
        Choice shown = Make(QStringLiteral("M1 10 1"), QDate(2026, 6, 1));
        shown.text3 = QStringLiteral("1");
        shown.instance = 0;
        shown.weekday = 3;
        recurrence::ReadPattern(text, shown);
        QCOMPARE(recurrence::PatternText(shown), after);
    }

    void generation_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("master");  // start/finish
        QTest::addColumn<QDate>("end");
        QTest::addColumn<QString>("days");  // occurrence days after the master
        const QString dec = QStringLiteral("2026-12-01T09:00/2026-12-01T10:30");
        QTest::newRow("daily, end on an occurrence")
            << "D1 2" << dec << QDate(2026, 12, 5) << "2026-12-03 2026-12-05";
        QTest::newRow("daily overnight")
            << "D1 3"
            << "2026-12-01T22:00/2026-12-02T02:00" << QDate(2026, 12, 7) << "2026-12-04 2026-12-07";
        QTest::newRow("every weekday from a Friday")
            << "D2"
            << "2026-03-06T09:00/2026-03-06T10:00" << QDate(2026, 3, 11)
            << "2026-03-09 2026-03-10 2026-03-11";
        QTest::newRow("fortnightly Sun, Wed from a Sunday")
            << "W 2 1001000"
            << "2026-03-01T09:00/2026-03-01T10:00" << QDate(2026, 3, 31)
            << "2026-03-04 2026-03-15 2026-03-18 2026-03-29";
        QTest::newRow("weekly, master's day not ticked")
            << "W 1 0000010"
            << "2026-03-03T09:00/2026-03-03T10:00" << QDate(2026, 3, 20)
            << "2026-03-06 2026-03-13 2026-03-20";
        QTest::newRow("day 31 over month ends")
            << "M1 31 1"
            << "2026-01-31T09:00/2026-01-31T10:00" << QDate(2026, 5, 31)
            << "2026-02-28 2026-03-31 2026-04-30 2026-05-31";
        QTest::newRow("day 29 in a leap year")
            << "M1 29 1"
            << "2028-01-29T09:00/2028-01-29T10:00" << QDate(2028, 3, 29) << "2028-02-29 2028-03-29";
        QTest::newRow("day 15, first after the end")
            << "M1 15 1"
            << "2026-03-10T09:00/2026-03-10T10:00" << QDate(2026, 4, 10) << "";
        QTest::newRow("day 10 every 5 months over a year end")
            << "M1 10 5"
            << "2026-10-10T09:00/2026-10-10T10:00" << QDate(2027, 12, 31)
            << "2027-03-10 2027-08-10";
        QTest::newRow("fourth Friday every 2 months")
            << "M2 3 5 2"
            << "2026-01-01T09:00/2026-01-01T10:00" << QDate(2026, 7, 31)
            << "2026-03-27 2026-05-22 2026-07-24";
        QTest::newRow("4 July yearly")
            << "A1 6 4"
            << "2026-03-10T09:00/2026-03-10T10:00" << QDate(2028, 7, 4) << "2027-07-04 2028-07-04";
        QTest::newRow("29 February yearly")
            << "A1 1 29"
            << "2024-02-29T09:00/2024-02-29T10:00" << QDate(2028, 12, 31)
            << "2025-02-28 2026-02-28 2027-02-28 2028-02-29";
        QTest::newRow("first Monday of September")
            << "A2 0 1 8"
            << "2026-01-05T09:00/2026-01-05T10:00" << QDate(2028, 9, 30) << "2027-09-06 2028-09-04";
    }
    void generation() {
        QFETCH(QString, choice);
        QFETCH(QString, master);
        QFETCH(QDate, end);
        QFETCH(QString, days);
        const QDateTime start = At(master.section(u'/', 0, 0));
        const QDateTime finish = At(master.section(u'/', 1, 1));
        const recurrence::Series s = recurrence::BuildRecurrence(Make(choice, end), start, finish);
        QVERIFY2(s.refusal.isEmpty(), qPrintable(s.refusal));
        QVERIFY(!s.capped);
        QVERIFY(!s.dates.isEmpty());
        QCOMPARE(s.dates[0], (recurrence::Occurrence{start, finish}));
        QStringList got;
        const qint64 span = start.date().daysTo(finish.date());
        for (qsizetype i = 1; i < s.dates.size(); ++i) {
            const recurrence::Occurrence& o = s.dates[i];
            got << o.start.date().toString(Qt::ISODate);
            QCOMPARE(o.start.time(), start.time());
            QCOMPARE(o.finish, QDateTime(o.start.date().addDays(span), finish.time()));
        }
        QCOMPARE(got.join(u' '), days);
    }

    // The clocks go forward at 01:00 on 28 March 2027 (Europe/London): that day's occurrence
    // moves as calendar files move it, keeps its length, and is told.
    void clocksGoForward_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("master");  // start/finish
        QTest::addColumn<QString>("told");    // empty: nothing moves
        QTest::newRow("start skipped") << "D1 1" << "2027-03-26T01:30/2027-03-26T02:30"
                                       << "01:30 does not exist on 28/03/2027 because the clocks go forward that night: that appointment is from 02:30 to 03:30.";
        QTest::newRow("finish skipped, weekly") << "W 1 1000000" << "2027-03-21T00:30/2027-03-21T01:30"
                                                << "01:30 does not exist on 28/03/2027 because the clocks go forward that night: that appointment is from 00:30 to 02:30.";
        QTest::newRow("clocks going back") << "D1 1" << "2027-10-29T01:30/2027-10-29T02:30" << "";
    }
    void clocksGoForward() {
        QFETCH(QString, choice);
        QFETCH(QString, master);
        QFETCH(QString, told);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        const QDateTime start = At(master.section(u'/', 0, 0)), finish = At(master.section(u'/', 1, 1));
        const recurrence::Series s = recurrence::BuildRecurrence(Make(choice, start.date().addDays(7)), start, finish);
        for (const recurrence::Occurrence& o : s.dates) QVERIFY(o.start.isValid() && o.start < o.finish);
        QCOMPARE(recurrence::ClockChangeMessage(s.clockChanges), told);
        if (!told.isEmpty()) QVERIFY(s.dates.contains(s.clockChanges.first().given));
    }

    void refusals_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("message");
        QTest::newRow("no kind") << "X"
                                 << "Daily, Weekly";
        QTest::newRow("0 days") << "D1 0"
                                << "number of days";
        QTest::newRow("days not a number") << "D1 3x"
                                           << "number of days";
        QTest::newRow("no day ticked") << "W 1 0000000"
                                       << "tick the days";
        QTest::newRow("day 32") << "M1 32 1"
                                << "day of the month";
        QTest::newRow("0 months") << "M1 5 0"
                                  << "number of months";
        QTest::newRow("no instance") << "M2 -1 2 1"
                                     << "First, Second";
        QTest::newRow("no weekday") << "M2 1 -1 1"
                                    << "day of the week";
        QTest::newRow("annual, no month") << "A1 -1 4"
                                          << "choose the month";
    }
    void refusals() {
        QFETCH(QString, choice);
        QFETCH(QString, message);
        const recurrence::Series s =
            recurrence::BuildRecurrence(Make(choice), At(QStringLiteral("2026-03-02T09:00")),
                                        At(QStringLiteral("2026-03-02T10:00")));
        QVERIFY2(s.refusal.contains(message), qPrintable(s.refusal));
        QVERIFY(s.pattern.isEmpty());
        QVERIFY(s.dates.isEmpty());
    }

    void thousandOccurrencesAtMost_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QDate>("end");
        QTest::addColumn<bool>("capped");
        QTest::addColumn<QDate>("last");
        QTest::newRow("daily, the 1000th on the end")
            << "D1 1" << QDate(2028, 9, 27) << false << QDate(2028, 9, 27);
        QTest::newRow("daily, one more to come")
            << "D1 1" << QDate(2028, 9, 28) << true << QDate(2028, 9, 27);
        QTest::newRow("weekly Mon to Fri for ten years")
            << "W 1 0111110" << QDate(2036, 1, 1) << true << QDate(2029, 11, 1);
    }
    void thousandOccurrencesAtMost() {
        QFETCH(QString, choice);
        QFETCH(QDate, end);
        QFETCH(bool, capped);
        QFETCH(QDate, last);
        const recurrence::Series s =
            recurrence::BuildRecurrence(Make(choice, end), At(QStringLiteral("2026-01-01T09:00")),
                                        At(QStringLiteral("2026-01-01T10:00")));
        QCOMPARE(s.dates.size(), recurrence::kMaxOccurrences + 1);
        QCOMPARE(s.capped, capped);
        QCOMPARE(s.dates.last().start.date(), last);
    }

    void instanceOfDay_data() {
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("instance");
        for (auto [day, instance] : {std::pair{7, 0}, {8, 1}, {22, 3}, {31, 3}})
            QTest::addRow("day %d", day) << day << instance;
    }
    void instanceOfDay() {
        QFETCH(int, day);
        QFETCH(int, instance);
        const QDate d(2026, 3, day);
        QCOMPARE(recurrence::InstanceOfDay(d), instance);
        // Read back as a rule, the instance finds the day itself.
        if (day <= 28)
            QCOMPARE(recurrence::NthWeekday(2026, 3, instance, d.dayOfWeek() % 7 + 1), d);
    }
};

QTEST_GUILESS_MAIN(TestRecurrenceRules)
#include "tst_recurrencerules.moc"
