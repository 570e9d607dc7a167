// The month layout as pure data: month codes, row counts, geometry of both sizes, neighbouring
// days, today's mark, week numbers and the colour mask.
#include <QTest>

#include "calendar/monthlayout.h"

using namespace orbicle;

namespace {

constexpr int kSunday = 1;
constexpr int kMonday = 2;

MonthInput Month(int year, int month, int startDay = kSunday) {
    MonthInput in;
    in.year = year;
    in.month = month;
    in.startDay = startDay;
    in.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    in.mask = QString(7, u'B') + QString(42, u'A');
    in.colors = {0x00FFFFFF, 0x00C0C0C0, 0x000000FF, 0x0000FF00,
                 0x00FF0000, 0x00111111, 0x00222222, 0x00333333};
    in.colorDayIn = 0x00000001;
    in.colorDayOut = 0x00000002;
    in.todayColor = 0x00FF00FF;
    in.gridColor = 0x00000003;
    in.today = QDate(1950, 6, 15);  // far from every shown month unless a test says otherwise
    return in;
}

MonthLayout Layout(const MonthInput& in) {
    const auto l = ComputeMonthLayout(in);
    if (!l) qFatal("no layout for %d-%d", in.year, in.month);
    return *l;
}

QStringList Texts(const MonthLayout& l, int from, int to) {
    QStringList t;
    for (int i = from; i <= to; ++i) t << l.cells[i].text;
    return t;
}

}  // namespace

class TestMonthLayout : public QObject {
    Q_OBJECT
private slots:
    void monthInfo_data();
    void monthInfo();
    void rows_data();
    void rows();
    void geometry_data();
    void geometry();
    void cellPlaces();
    void dayNumbersAndNeighbours_data();
    void dayNumbersAndNeighbours();
    void todayMark_data();
    void todayMark();
    void weekNumbers();
    void firstWeekRule_data();
    void firstWeekRule();
    void headings();
    void colourMask_data();
    void colourMask();
    void refusesMonthsItCannotForm();
};

void TestMonthLayout::monthInfo_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("startDay");
    QTest::addColumn<int>("info");
    QTest::newRow("May 2026, Monday start") << 2026 << 5 << kMonday << 14632;
    QTest::newRow("February 2026 from Sunday") << 2026 << 2 << kSunday << 10103;
    QTest::newRow("leap February 2024") << 2024 << 2 << kSunday << 24513;
    QTest::newRow("2000 is leap") << 2000 << 2 << kMonday << 21313;
    QTest::newRow("1900 is not leap") << 1900 << 2 << kSunday << 14503;
    QTest::newRow("2100 is not leap") << 2100 << 2 << kSunday << 11203;
    QTest::newRow("January: previous has 31") << 2026 << 1 << kMonday << 13533;
    QTest::newRow("Sunday 1st, Sunday start") << 2026 << 3 << kSunday << 10130;
    QTest::newRow("Sunday 1st, Monday start: last column") << 2026 << 3 << kMonday << 16130;
    QTest::newRow("Sunday 1st, Saturday start") << 2026 << 3 << 7 << 11130;
    QTest::newRow("last supported month") << 2199 << 12 << kSunday << 10132;
}

void TestMonthLayout::monthInfo() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, startDay);
    QFETCH(int, info);
    QCOMPARE(MonthInfoCode(year, month, startDay), info);
    const MonthLayout l = Layout(Month(year, month, startDay));
    QCOMPARE(l.outputInfo, info);
    QCOMPARE(l.startPosition, info / 1000 % 10);
}

void TestMonthLayout::rows_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("startDay");
    QTest::addColumn<int>("rows");
    QTest::newRow("28-day February from the first column") << 2026 << 2 << kSunday << 4;
    QTest::newRow("February 2021 from Monday") << 2021 << 2 << kMonday << 4;
    QTest::newRow("leap February from the first column") << 2032 << 2 << kSunday << 5;
    QTest::newRow("31 days from the sixth column") << 2025 << 8 << kSunday << 6;
    QTest::newRow("31 days from the seventh column") << 2025 << 3 << kSunday << 6;
    QTest::newRow("30 days from the seventh column") << 2025 << 11 << kSunday << 6;
    QTest::newRow("30 days from the sixth column") << 2025 << 11 << kMonday << 5;
    QTest::newRow("31 days from the fifth column") << 2026 << 5 << kMonday << 5;
    QTest::newRow("Monday start moves a Sunday 1st to the end") << 2026 << 3 << kMonday << 6;
}

void TestMonthLayout::rows() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, startDay);
    QFETCH(int, rows);
    const MonthLayout l = Layout(Month(year, month, startDay));
    QCOMPARE(l.rows, rows);
    for (int i = 0; i < kCells; ++i) QCOMPARE(l.cells[i].visible, i < rows * 7);
    // Every day of the month lies in a shown cell.
    int shown = 0;
    for (const Cell& c : l.cells) shown += c.kind == CellKind::ShownMonth && c.visible;
    QCOMPARE(shown, DaysInMonth(year, month));
}

void TestMonthLayout::geometry_data() {
    QTest::addColumn<bool>("small");
    QTest::addColumn<bool>("labels");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("height");       // twips
    QTest::addColumn<int>("lineBottom");   // bottom of the vertical lines
    QTest::addColumn<int>("firstRowTop");  // top of cell 0
    QTest::addColumn<int>("line1Y");       // Line2 1, below the headings
    QTest::addColumn<int>("lastLineY");    // the two-pixel line below the last row
    // 4 rows: February 2026; 5 rows: February 2024; 6 rows: August 2025 (all from Sunday).
    // Each size meets every row layout once, with and without headings.
    QTest::newRow("small, headings, 4")
        << true << true << 2026 << 2 << 4 << 1125 << 1110 << 270 << 255 << 1110;
    QTest::newRow("small, headings, 6")
        << true << true << 2025 << 8 << 6 << 1545 << 1530 << 270 << 255 << 1530;
    QTest::newRow("small, no headings, 5")
        << true << false << 2024 << 2 << 5 << 1095 << 1080 << 30 << 15 << 1080;
    QTest::newRow("big, headings, 5")
        << false << true << 2024 << 2 << 5 << 1710 << 1680 << 345 << 330 << 1695;
    QTest::newRow("big, no headings, 4")
        << false << false << 2026 << 2 << 4 << 1125 << 1095 << 30 << 15 << 1110;
    QTest::newRow("big, no headings, 6")
        << false << false << 2025 << 8 << 6 << 1665 << 1635 << 30 << 15 << 1650;
}

void TestMonthLayout::geometry() {
    QFETCH(bool, small);
    QFETCH(bool, labels);
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, rows);
    QFETCH(int, height);
    QFETCH(int, lineBottom);
    QFETCH(int, firstRowTop);
    QFETCH(int, line1Y);
    QFETCH(int, lastLineY);
    MonthInput in = Month(year, month);
    in.small = small;
    in.labels = labels;
    for (bool weeks : {true, false}) {
        in.viewWeeks = weeks;
        const MonthLayout l = Layout(in);
        QCOMPARE(l.rows, rows);
        QCOMPARE(l.size.height(), height);
        QCOMPARE(l.size.width(), small ? (weeks ? 2895 : 2650) : (weeks ? 3210 : 2970));
        QCOMPARE(l.cells[0].rect.top(), firstRowTop);
        QCOMPARE(l.line2[1].from.y(), line1Y);
        QCOMPARE(l.line2[0].visible, labels);
        for (const Heading& h : l.headings) QCOMPARE(h.visible, labels);
        for (int i = 0; i < kLines; ++i) {
            QCOMPARE(l.line1[i].from, QPoint(15 + (small ? 375 : 420) * i, 15));
            QCOMPARE(l.line1[i].to.y(), lineBottom);
        }
        // Line2 1-4 always show; 5-7 down to the line below the last row, which is two pixels wide.
        for (int i = 1; i < kLines; ++i) {
            QCOMPARE(l.line2[i].visible, i <= rows + 1);
            if (!l.line2[i].visible) continue;
            QCOMPARE(l.line2[i].width, i == rows + 1 ? 2 : 1);
            QCOMPARE(l.line2[i].to.x(), small ? 2634 : 2949);
        }
        QCOMPARE(l.line2[rows + 1].from.y(), lastLineY);
        for (int r = 0; r < kWeekRows; ++r) QCOMPARE(l.weeks[r].visible, weeks && r < rows);
        // In pixels the control is exactly its twips over 15, rounded.
        QCOMPARE(ToPixels(l.size), QSize(qRound(l.size.width() / 15.0), height / 15));
    }
}

void TestMonthLayout::cellPlaces() {
    MonthInput in = Month(2025, 8);
    in.small = true;
    MonthLayout l = Layout(in);
    QCOMPARE(l.cells[0].rect, QRect(30, 270, 375, 210));
    QCOMPARE(l.cells[41].rect, QRect(30 + 375 * 6, 270 + 210 * 5, 375, 210));
    QCOMPARE(l.headings[6].rect, QRect(30 + 375 * 6, 30, 375, 210));
    QCOMPARE(l.weeks[5].rect, QRect(2670, 270 + 210 * 5, 225, 225));
    QCOMPARE(ToPixels(l.cells[8].rect), QRect(27, 32, 25, 14));
    QCOMPARE(l.cells[8].fontSize, 8);
    QVERIFY(!l.cells[8].bold);
    QCOMPARE(l.headings[0].fontSize, 8);

    in.small = false;
    l = Layout(in);
    QCOMPARE(l.cells[0].rect, QRect(15, 345, 435, 285));
    QCOMPARE(l.cells[41].rect, QRect(15 + 420 * 6, 345 + 270 * 5, 435, 285));
    QCOMPARE(l.weeks[5].rect, QRect(2985, 375 + 270 * 5, 225, 225));
    QCOMPARE(l.cells[8].fontSize, 10);
    QVERIFY(l.cells[8].bold);
    QCOMPARE(l.headings[0].fontSize, 12);
    QCOMPARE(l.line2[3].from, QPoint(15, 60 + 270 * 3));
}

void TestMonthLayout::dayNumbersAndNeighbours_data() {
    QTest::addColumn<int>("othersMonths");
    QTest::addColumn<bool>("previous");
    QTest::addColumn<bool>("next");
    QTest::newRow("0: neither") << 0 << false << false;
    QTest::newRow("1: previous") << 1 << true << false;
    QTest::newRow("2: next") << 2 << false << true;
    QTest::newRow("3: both") << 3 << true << true;
    QTest::newRow("4: as 0") << 4 << false << false;
    QTest::newRow("7: as 3") << 7 << true << true;
    QTest::newRow("8: neither") << 8 << false << false;
    QTest::newRow("255: neither") << 255 << false << false;
}

void TestMonthLayout::dayNumbersAndNeighbours() {
    QFETCH(int, othersMonths);
    QFETCH(bool, previous);
    QFETCH(bool, next);
    // May 2026 from Monday: the 1st (a Friday) in column 4, five rows.
    MonthInput in = Month(2026, 5, kMonday);
    in.othersMonths = othersMonths;
    const MonthLayout l = Layout(in);
    QCOMPARE(Texts(l, 0, 3),
             previous ? QStringList({"27", "28", "29", "30"}) : QStringList({"", "", "", ""}));
    QCOMPARE(l.cells[0].kind, previous ? CellKind::PreviousMonth : CellKind::Empty);
    QCOMPARE(l.cells[4].text, QStringLiteral("1"));
    QCOMPARE(l.cells[34].text, QStringLiteral("31"));
    QCOMPARE(l.cells[4].foreColor, in.colorDayIn);
    // Trailing days continue into the cells the row layout hides.
    QCOMPARE(Texts(l, 35, 41),
             next ? QStringList({"1", "2", "3", "4", "5", "6", "7"}) : QStringList(7, QString()));
    if (previous) QCOMPARE(l.cells[3].foreColor, in.colorDayOut);
    if (next) QCOMPARE(l.cells[35].kind, CellKind::NextMonth);

    // January's previous month is December with 31 days.
    MonthInput jan = Month(2026, 1, kMonday);
    jan.othersMonths = othersMonths;
    const MonthLayout j = Layout(jan);
    QCOMPARE(j.cells[2].text, previous ? QStringLiteral("31") : QString());
}

void TestMonthLayout::todayMark_data() {
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("othersMonths");
    QTest::addColumn<int>("cell");
    QTest::addColumn<bool>("marked");
    // The shown month is May 2026 from Monday: cells 0-3 are April 27-30, 4-34 May, 35-41 June 1-7.
    QTest::newRow("today in the month") << QDate(2026, 5, 13) << 3 << 16 << true;
    QTest::newRow("today in the month, 4-7 hide it") << QDate(2026, 5, 13) << 7 << 16 << false;
    QTest::newRow("today in the month, 8 hides it") << QDate(2026, 5, 13) << 8 << 16 << false;
    QTest::newRow("today in the month, 0 still marks it") << QDate(2026, 5, 13) << 0 << 16 << true;
    QTest::newRow("today among the previous days") << QDate(2026, 4, 29) << 3 << 2 << true;
    QTest::newRow("today among the next days") << QDate(2026, 6, 2) << 2 << 36 << true;
    QTest::newRow("today among the next days, 6 hides it") << QDate(2026, 6, 2) << 6 << 36 << false;
    QTest::newRow("same day number a year later") << QDate(2027, 5, 13) << 3 << 16 << false;
    QTest::newRow("same day number in the month before") << QDate(2026, 4, 13) << 3 << 16 << false;
}

void TestMonthLayout::todayMark() {
    QFETCH(QDate, today);
    QFETCH(int, othersMonths);
    QFETCH(int, cell);
    QFETCH(bool, marked);
    MonthInput in = Month(2026, 5, kMonday);
    in.othersMonths = othersMonths;
    in.today = today;
    const MonthLayout l = Layout(in);
    QCOMPARE(l.cells[cell].text, QString::number(l.cells[cell].day));
    QCOMPARE(l.cells[cell].foreColor == in.todayColor, marked);
    int markedCells = 0;
    for (const Cell& c : l.cells) markedCells += c.foreColor == in.todayColor;
    QCOMPARE(markedCells, marked ? 1 : 0);
}

void TestMonthLayout::weekNumbers() {
    // A Sunday 1 January: the Monday after is still week 1 from Sunday, week 2 from Monday.
    QCOMPARE(WeekOfYear(QDate(2023, 1, 2), kSunday), 1);
    QCOMPARE(WeekOfYear(QDate(2023, 1, 2), kMonday), 2);
    QCOMPARE(WeekOfYear(QDate(2026, 5, 1), kMonday), 18);

    // December runs past the last week of the year instead of wrapping to 1.
    MonthInput in = Month(2026, 12, kSunday);
    const MonthLayout l = Layout(in);
    QCOMPARE(l.firstWeek, 49);
    QCOMPARE(l.rows, 5);
    for (int r = 0; r < 5; ++r) QCOMPARE(l.weeks[r].number, 49 + r);
    QCOMPARE(l.weeks[4].number, 53);
    QVERIFY(!l.weeks[5].visible);

    MonthInput feb = Month(2026, 2, kSunday);
    feb.colorWeek = 0x00ABCDEF;
    feb.backColor = 0x00123456;
    const MonthLayout f = Layout(feb);
    QCOMPARE(f.weeks[0].number, 6);
    QCOMPARE(f.weeks[0].foreColor, 0x00ABCDEFu);
    QCOMPARE(f.weeks[0].backColor, 0x00123456u);
    QVERIFY(f.weeks[3].visible);
    QVERIFY(!f.weeks[4].visible);
}

void TestMonthLayout::firstWeekRule_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("startDay");
    QTest::addColumn<int>("firstWeekDays");
    QTest::addColumn<QList<int>>("weeks");  // the visible rows
    QTest::newRow("January 2027, ISO") << 2027 << 1 << kMonday << 4 << QList<int>{53, 1, 2, 3, 4};
    QTest::newRow("January 2027, 1 January rule")
        << 2027 << 1 << kMonday << 1 << QList<int>{1, 2, 3, 4, 5};
    QTest::newRow("January 2027, first full week")
        << 2027 << 1 << kMonday << 7 << QList<int>{52, 1, 2, 3, 4};
    QTest::newRow("January 2027 from Sunday, 1 January rule")
        << 2027 << 1 << kSunday << 1 << QList<int>{1, 2, 3, 4, 5, 6};
    QTest::newRow("May 2023, ISO") << 2023 << 5 << kMonday << 4 << QList<int>{18, 19, 20, 21, 22};
    QTest::newRow("May 2023, 1 January rule")
        << 2023 << 5 << kMonday << 1 << QList<int>{19, 20, 21, 22, 23};
    QTest::newRow("January 2026, ISO: 1 January in week 1")
        << 2026 << 1 << kMonday << 4 << QList<int>{1, 2, 3, 4, 5};
    QTest::newRow("no rule given counts from 1 January")
        << 2027 << 1 << kMonday << 0 << QList<int>{1, 2, 3, 4, 5};
}

void TestMonthLayout::firstWeekRule() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, startDay);
    QFETCH(int, firstWeekDays);
    QFETCH(QList<int>, weeks);
    MonthInput in = Month(year, month, startDay);
    in.firstWeekDays = firstWeekDays;
    const MonthLayout l = Layout(in);
    QList<int> shown;
    for (const WeekNumber& w : l.weeks)
        if (w.visible) shown << w.number;
    QCOMPARE(shown, weeks);
}

void TestMonthLayout::headings() {
    MonthInput in = Month(2026, 5, kSunday);
    MonthLayout l = Layout(in);
    QStringList names;
    for (const Heading& h : l.headings) names << h.text;
    QCOMPARE(names, QStringList({"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"}));

    in.startDay = kMonday;
    l = Layout(in);
    QCOMPARE(l.headings[0].text, QStringLiteral("Mo"));
    QCOMPARE(l.headings[6].text, QStringLiteral("Su"));

    // 0 follows the locale's first day of the week.
    in.startDay = 0;
    QCOMPARE(Layout(in).headings[0].text, QStringLiteral("Su"));
    QCOMPARE(Layout(in).outputInfo, MonthInfoCode(2026, 5, kSunday));
    in.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
    QCOMPARE(Layout(in).headings[0].text, QStringLiteral("Mo"));
    QCOMPARE(Layout(in).outputInfo, 14632);
}

void TestMonthLayout::colourMask_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("labels");
    QTest::addColumn<QString>("cells");     // one letter per day cell 0-41, '0' for black
    QTest::addColumn<QString>("headings");  // one per heading
    const QString a42(42, u'A');
    QTest::newRow("default") << QString(7, u'B') + a42 << true << a42 << "BBBBBBB";
    QTest::newRow("48 letters repeat cell 40")
        << "BBBBBBB" + QString(40, u'A') + "C" << true << QString(40, u'A') + "CC"
        << "BBBBBBB";
    QTest::newRow("58 letters paint as 49")
        << "CDCDCDC" + a42 + "EEEEEEEEE" << true << a42 << "CDCDCDC";
    QTest::newRow("empty mask is black") << "" << true << QString(42, u'0') << "0000000";
    QTest::newRow("no headings: not painted") << "CCCCCCC" + a42 << false << a42 << "0000000";
    QTest::newRow("a bad heading letter follows the last cell")
        << "?BBBBBB" + QString(41, u'A') + "D" << true << QString(41, u'A') + "D"
        << "DBBBBBB";
    QTest::newRow("Z first is black")
        << "BBBBBBBZC" + QString(40, u'A') << true << "0C" + QString(40, u'A') << "BBBBBBB";
    QTest::newRow("Z later repeats")
        << "BBBBBBBACZ" + QString(39, u'A') << true << "ACC" + QString(39, u'A') << "BBBBBBB";
    QTest::newRow("lower case letters")
        << "bbbbbbbhg" + QString(40, u'a') << true << "HG" + QString(40, u'A') << "BBBBBBB";
}

void TestMonthLayout::colourMask() {
    QFETCH(QString, mask);
    QFETCH(bool, labels);
    QFETCH(QString, cells);
    QFETCH(QString, headings);
    MonthInput in = Month(2026, 5);
    in.mask = mask;
    in.labels = labels;
    const MonthLayout l = Layout(in);
    const auto colourOf = [&in](QChar letter) -> OleColor {
        return letter == u'0' ? 0 : in.colors[letter.unicode() - u'A'];
    };
    for (int i = 0; i < kCells; ++i) QCOMPARE(l.cells[i].backColor, colourOf(cells[i]));
    for (int i = 0; i < kHeadings; ++i) QCOMPARE(l.headings[i].backColor, colourOf(headings[i]));
    for (const GridLine& line : l.line1) QCOMPARE(line.color, in.gridColor);
    for (const GridLine& line : l.line2) QCOMPARE(line.color, in.gridColor);
}

void TestMonthLayout::refusesMonthsItCannotForm() {
    QVERIFY(!ComputeMonthLayout(Month(2026, 13)));
    QVERIFY(!ComputeMonthLayout(Month(2026, 0)));
    QVERIFY(!ComputeMonthLayout(Month(1899, 12)));
    QVERIFY(!ComputeMonthLayout(Month(2200, 1)));
    QVERIFY(!ComputeMonthLayout(Month(2026, 5, 8)));
    QVERIFY(ComputeMonthLayout(Month(1900, 1)));
    QCOMPARE(MonthInfoCode(2026, 13, kSunday), 0);
    QCOMPARE(DaysInMonth(2026, 13), 30);
}

QTEST_GUILESS_MAIN(TestMonthLayout)
#include "test_monthlayout.moc"
