// Business rules of the main window that need no window: financial years, filters, totals,
// the calendar's colour mask and the synchronisation's change test.
#include <QTest>

#include "diary/colourmask.h"
#include "diary/mainrules.h"
#include "diary/syncrules.h"
#include "platform/db/recordset.h"
#include "tests/support/testenv.h"

using db::Currency;

namespace {
QDateTime At(int y, int m, int d, int h = 0, int mi = 0) { return QDateTime(QDate(y, m, d), QTime(h, mi)); }
QString Cells(const QString& mask) { return mask.mid(7); }
}  // namespace

class TestRules : public QObject {
    Q_OBJECT
private slots:
    // A null text stands for a missing System row.
    void financialYearStart_data() {
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("month");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("expected");
        const QString none;
        QTest::newRow("all rows missing, after 1 April") << none << none << none << QDate(2026, 12, 9) << QDate(2026, 4, 1);
        QTest::newRow("all rows missing, before 1 April") << none << none << none << QDate(2026, 3, 31) << QDate(2025, 4, 1);
        QTest::newRow("all rows missing, on 1 April") << none << none << none << QDate(2026, 4, 1) << QDate(2026, 4, 1);
        QTest::newRow("month 0 is January") << "2024" << "1" << "0" << QDate(2026, 1, 1) << QDate(2024, 1, 1);
        QTest::newRow("month 11 is December") << "2024" << "15" << "11" << QDate(2026, 1, 1) << QDate(2024, 12, 15);
        QTest::newRow("31 February carries into March") << "2023" << "31" << "1" << QDate(2026, 1, 1) << QDate(2023, 3, 3);
        QTest::newRow("31 February of a leap year") << "2024" << "31" << "1" << QDate(2026, 1, 1) << QDate(2024, 3, 2);
        QTest::newRow("6 April start, today 5 April") << none << "6" << "3" << QDate(2026, 4, 5) << QDate(2025, 4, 6);
        QTest::newRow("a day that is no number") << "2025" << "x" << none << QDate(2026, 1, 1) << QDate(2025, 4, 1);
    }
    void financialYearStart() {
        QFETCH(QString, year);
        QFETCH(QString, day);
        QFETCH(QString, month);
        QFETCH(QDate, today);
        QFETCH(QDate, expected);
        auto row = [](const QString& text) { return text.isNull() ? std::nullopt : std::optional(text); };
        QString text;
        QCOMPARE(FinancialYearStart(row(year), row(day), row(month), today, &text), expected);
        QCOMPARE(text, QString::number(expected.year()));
    }

    void fourDigitYears() {
        QVERIFY(IsFourDigitYear(QStringLiteral("2026")));
        QVERIFY(IsFourDigitYear(QStringLiteral(" 1999 ")));
        for (const char* bad : {"", "abc", "26", "20266", "0999", "2026a", "-2026", "20 26"})
            QVERIFY2(!IsFourDigitYear(QString::fromLatin1(bad)), bad);
    }

    void fitOnScreen_data() {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("fitted");
        const QRect screen(0, 0, 1280, 1024);
        QTest::newRow("inside: kept")
            << QRect(120, 66, 667, 433) << screen << QRect(120, 66, 667, 433);
        QTest::newRow("far right and below")
            << QRect(5000, 3000, 667, 433) << screen << QRect(613, 591, 667, 433);
        QTest::newRow("above and left")
            << QRect(-900, -40, 667, 433) << screen << QRect(0, 0, 667, 433);
        QTest::newRow("larger than the screen") << QRect(100, 100, 2400, 1400) << screen << screen;
        QTest::newRow("half off a panel-reduced screen")
            << QRect(300, 10, 400, 300) << QRect(0, 30, 600, 570) << QRect(200, 30, 400, 300);
    }
    void fitOnScreen() {
        QFETCH(QRect, frame);
        QFETCH(QRect, available);
        QFETCH(QRect, fitted);
        QCOMPARE(FitOnScreen(frame, available), fitted);
    }

    // The year's bounds on real rows: the first day is in, the next year's first day is out.
    void invoiceFiltersKeepTheWholeYear() {
        testsupport::TestEnv env;
        db::Connection& c = env.connection();
        const int acme = testsupport::AddCompany(c, QStringLiteral("Acme"));
        auto add = [&](QDate d, int stage) {
            return testsupport::AddInvoice(c, acme, d, Currency::fromUnits(100), {{QStringLiteral("Stage"), stage}});
        };
        const int first = add(QDate(2025, 4, 1), 2);
        const int last = add(QDate(2026, 3, 31), 0);
        add(QDate(2026, 4, 1), 2);   // next year
        add(QDate(2025, 3, 31), 2);  // previous year
        const int paid = add(QDate(2025, 4, 1), 3);
        add(QDate(2025, 6, 1), 4);   // written off
        db::Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("SELECT Billing.InvoiceNumber AS [Invoice Number], Billing.BillingDate AS [Invoice Date], "
                                       "Billing.InvoiceAmount AS Amount, Billing.Stage AS StageID FROM Billing"),
                        c, db::adOpenDynamic, db::adLockOptimistic));
        auto numbers = [&rs] {
            QList<int> out;
            for (int r = 0; r < rs.RecordCount(); ++r) out << rs.ValueAt(r, 0).toInt();
            std::sort(out.begin(), out.end());
            return out;
        };
        QVERIFY(rs.SetFilter(PendingInvoiceFilter(QDate(2025, 4, 1), false)));
        QCOMPARE(numbers(), (QList<int>{first, last}));
        QVERIFY(rs.SetFilter(SettledInvoiceFilter(QDate(2025, 4, 1))));
        QCOMPARE(numbers(), QList<int>{paid});
        QVERIFY(rs.SetFilter(PendingInvoiceFilter(QDate(2025, 4, 1), true)));
        QCOMPARE(rs.RecordCount(), 4);  // every outstanding invoice, whatever its year
    }

    void monthFilterKeepsOverlappingAppointments() {
        testsupport::TestEnv env;
        db::Connection& c = env.connection();
        const int acme = testsupport::AddCompany(c, QStringLiteral("Acme"));
        const int across = testsupport::AddJob(c, acme, At(2026, 2, 28, 9), At(2026, 3, 2, 17));
        const int midnight = testsupport::AddJob(c, acme, At(2026, 2, 28, 20), At(2026, 3, 1));
        const int april = testsupport::AddJob(c, acme, At(2026, 4, 1), At(2026, 4, 1, 1));
        db::Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("select JobID, Start, Finish from JobDetails"), c));
        QVERIFY(rs.SetFilter(MonthAppointmentFilter(QDate(2026, 2, 14))));
        QCOMPARE(rs.RecordCount(), 2);
        QVERIFY(rs.SetFilter(MonthAppointmentFilter(QDate(2026, 3, 31))));
        QCOMPARE(rs.RecordCount(), 2);
        QCOMPARE(rs.Value(QStringLiteral("JobID")).toInt() + rs.ValueAt(1, 0).toInt(), across + midnight);
        QVERIFY(rs.SetFilter(MonthAppointmentFilter(QDate(2026, 4, 1))));
        QCOMPARE(rs.Value(QStringLiteral("JobID")).toInt(), april);
    }

    void totalsCountAnEmptyAmountAsNothing() {
        testsupport::TestEnv env;
        db::Connection& c = env.connection();
        const int acme = testsupport::AddCompany(c, QStringLiteral("Acme"));
        testsupport::AddInvoice(c, acme, QDate(2026, 1, 1), Currency::fromTicks(1000050));
        testsupport::InsertRow(c, QStringLiteral("Billing"), {{QStringLiteral("CompanyID"), acme}});
        testsupport::AddInvoice(c, acme, QDate(2026, 1, 2), Currency::fromTicks(333));
        db::Recordset rs;
        QVERIFY(rs.Open(QStringLiteral("SELECT InvoiceAmount AS Amount FROM Billing"), c));
        QCOMPARE(SumAmounts(rs, QStringLiteral("amount"))->ticks(), 1000383);
        QVERIFY(rs.Eof());
        QCOMPARE(WithVat(Currency::fromUnits(100), 1.2), Currency::fromUnits(120));
        QCOMPARE(WithVat(Currency::fromTicks(1000383), 1.175)->ticks(), 1175450);
    }

    void colourMask_data() {
        QTest::addColumn<QDate>("first");
        QTest::addColumn<int>("s");
        QTest::addColumn<QList<QDateTime>>("spans");  // start, finish pairs
        QTest::addColumn<QString>("cells");           // the 42 day cells
        const QString free(42, u'A');
        auto with = [&free](std::initializer_list<std::pair<int, QChar>> marks) {
            QString m = free;
            for (auto [cell, letter] : marks) m[cell] = letter;
            return m;
        };
        const QDate may(2026, 5, 1);  // a Friday: column 4 when weeks start on Monday
        QTest::newRow("free month") << may << 4 << QList<QDateTime>{} << free;
        QTest::newRow("one appointment") << may << 4 << QList<QDateTime>{At(2026, 5, 1, 9), At(2026, 5, 1, 10)}
                                         << with({{4, u'C'}});
        QTest::newRow("touching is busy") << may << 4
                                          << QList<QDateTime>{At(2026, 5, 4, 9), At(2026, 5, 4, 10), At(2026, 5, 4, 10),
                                                              At(2026, 5, 4, 11)}
                                          << with({{7, u'C'}});
        QTest::newRow("overlap is a conflict") << may << 4
                                               << QList<QDateTime>{At(2026, 5, 4, 9), At(2026, 5, 4, 11), At(2026, 5, 4, 10),
                                                                   At(2026, 5, 4, 12)}
                                               << with({{7, u'D'}});
        QTest::newRow("first and third overlap")
            << may << 4
            << QList<QDateTime>{At(2026, 5, 4, 8), At(2026, 5, 4, 12), At(2026, 5, 4, 9), At(2026, 5, 4, 9),
                                At(2026, 5, 4, 11), At(2026, 5, 4, 13)}
            << with({{7, u'D'}});
        QTest::newRow("Monday to Tuesday") << may << 4 << QList<QDateTime>{At(2026, 5, 4, 9), At(2026, 5, 5, 17)}
                                           << with({{7, u'C'}, {8, u'C'}});
        QTest::newRow("finishing at midnight marks that day")
            << may << 4 << QList<QDateTime>{At(2026, 5, 4, 22), At(2026, 5, 5, 0)} << with({{7, u'C'}, {8, u'C'}});
        QTest::newRow("S = 0: cell 0 is the 1st") << QDate(2026, 6, 1) << 0
                                                  << QList<QDateTime>{At(2026, 6, 1, 9), At(2026, 6, 1, 10)}
                                                  << with({{0, u'C'}});
        QTest::newRow("S = 6: six days of the month before") << QDate(2026, 3, 1) << 6
                                                             << QList<QDateTime>{At(2026, 2, 28, 23), At(2026, 3, 1, 1)}
                                                             << with({{5, u'C'}, {6, u'C'}});
        QTest::newRow("next month's days at the end") << QDate(2026, 2, 1) << 6
                                                      << QList<QDateTime>{At(2026, 3, 2, 9), At(2026, 3, 2, 10)}
                                                      << with({{35, u'C'}});
        QTest::newRow("the 42nd cell is painted") << QDate(2026, 2, 1) << 6
                                                  << QList<QDateTime>{At(2026, 3, 8, 9), At(2026, 3, 8, 10)}
                                                  << with({{41, u'C'}});
        QTest::newRow("order of the records does not matter")
            << may << 4 << QList<QDateTime>{At(2026, 5, 4, 10), At(2026, 5, 4, 12), At(2026, 5, 4, 9), At(2026, 5, 4, 11)}
            << with({{7, u'D'}});
    }
    void colourMask() {
        QFETCH(QDate, first);
        QFETCH(int, s);
        QFETCH(QList<QDateTime>, spans);
        QFETCH(QString, cells);
        std::vector<AppointmentSpan> list;
        for (qsizetype i = 0; i + 1 < spans.size(); i += 2) list.push_back({spans[i], spans[i + 1]});
        const QString mask = CalendarColourMask(first, s, list);
        QCOMPARE(mask.size(), 49);
        QCOMPARE(mask.left(7), QStringLiteral("BBBBBBB"));
        QCOMPARE(Cells(mask), cells);
    }

    void busyMonthHasNoLimit() {
        // Three appointments a day for the whole month, each overlapping the next.
        std::vector<AppointmentSpan> list;
        for (int d = 1; d <= 31; ++d)
            for (int k = 0; k < 3; ++k) list.push_back({At(2026, 5, d, 9 + k), At(2026, 5, d, 11 + k)});
        const QString mask = CalendarColourMask(QDate(2026, 5, 1), 4, list);
        QCOMPARE(mask.mid(7 + 4, 31), QString(31, u'D'));
        QCOMPARE(mask.mid(7, 4), QStringLiteral("AAAA"));
    }

    void startPositionDigit() {
        QCOMPARE(StartPositionFromOutputInfo(14632), 4);
        QCOMPARE(StartPositionFromOutputInfo(20000), 0);
        QCOMPARE(StartPositionFromOutputInfo(16000), 6);
        QCOMPARE(StartPositionFromOutputInfo(0), 0);
    }

    // Which side of an appointment changed since its last synchronisation.
    void syncChangeFlag_data() {
        QTest::addColumn<QDateTime>("database");
        QTest::addColumn<QDateTime>("calendar");
        QTest::addColumn<QDateTime>("lastSync");
        QTest::addColumn<int>("expected");
        const QDateTime sync = At(2026, 1, 5, 9);
        const QDateTime none;
        QTest::newRow("neither") << sync.addSecs(-60) << sync << sync << 0;
        QTest::newRow("equal times are no change") << sync << sync << sync << 0;
        QTest::newRow("database one second later") << sync.addSecs(1) << sync << sync << 1;
        QTest::newRow("calendar later") << sync << sync.addDays(1) << sync << 2;
        QTest::newRow("both later") << sync.addSecs(1) << sync.addSecs(1) << sync << 3;
        QTest::newRow("never stamped in the database") << none << sync << sync << 0;
        QTest::newRow("no last synchronisation") << none << sync.addSecs(-60) << none << 3;
    }
    void syncChangeFlag() {
        QFETCH(QDateTime, database);
        QFETCH(QDateTime, calendar);
        QFETCH(QDateTime, lastSync);
        QFETCH(int, expected);
        QCOMPARE(outlooksync::ChangeFlag(database, calendar, lastSync), expected);
    }
};

QTEST_MAIN(TestRules)
#include "tst_rules.moc"
