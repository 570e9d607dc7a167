#include "monthlayout.h"

#include <langinfo.h>

#include <cmath>

namespace orbicle {
namespace {

// The geometry of one of the two sizes, in twips.
struct SizeGeometry {
    int cellLeft, cellStep, cellTop, rowStep, cellWidth, cellHeight, cellFont;
    bool cellBold;
    int headingFont;
    int weekLeft, weekTop;
    int lineRight;   // right end of the horizontal lines
    int line2First;  // y of Line2 1
    int widthWithWeeks, widthWithoutWeeks;
    int hiddenHeadingHeight;
    std::array<int, 3> bottoms;  // bottom of the vertical lines for 4, 5 and 6 rows
    std::array<int, 3> heights;  // control height for 4, 5 and 6 rows
};

// clang-format off
constexpr SizeGeometry kSmall{30,  375,  270,  210,  375,  210,  8,    false, 8,
                              2670, 270, 2634, 255,  2895, 2650, 240,
                              {1110, 1320, 1530}, {1125, 1335, 1545}};
constexpr SizeGeometry kBig{15,   420,  345,  270,  435,  285,  10,   true, 12,
                            2985, 375, 2949, 330,  3210, 2970, 315,
                            {1410, 1680, 1950}, {1440, 1710, 1980}};
// clang-format on

constexpr int kWeekLabelSize = 225;
constexpr int kWeekFont = 7;
constexpr int kLineTop = 15;

// Two characters of the localised short weekday name: "Mo", "Tu", ...
QString HeadingText(const QLocale& locale, int sundayBasedDay) {
    const int qtDay = sundayBasedDay == 1 ? 7 : sundayBasedDay - 1;
    const QString name = locale.dayName(qtDay, QLocale::ShortFormat);
    QString text = name.left(1).toUpper();
    if (name.size() > 1) text += name.mid(1, 1).toLower();
    return text;
}

bool SameMonth(const QDate& d, int year, int month) {
    return d.year() == year && d.month() == month;
}

}  // namespace

int ToPixels(int twips) { return int(std::lround(double(twips) / kTwipsPerPixel)); }
QRect ToPixels(const QRect& t) {
    return QRect(ToPixels(t.x()), ToPixels(t.y()), ToPixels(t.width()), ToPixels(t.height()));
}
QPoint ToPixels(const QPoint& t) { return QPoint(ToPixels(t.x()), ToPixels(t.y())); }
QSize ToPixels(const QSize& t) { return QSize(ToPixels(t.width()), ToPixels(t.height())); }

bool IsLeapYear(int year) { return year % 4 == 0 && !(year % 100 == 0 && year % 400 != 0); }

int DaysInMonth(int year, int month) {
    switch (month) {
        case 1:
        case 3:
        case 5:
        case 7:
        case 8:
        case 10:
        case 12:
            return 31;
        case 2:
            return IsLeapYear(year) ? 29 : 28;
        default:
            return 30;
    }
}

int SundayBasedWeekday(const QDate& date) { return date.dayOfWeek() % 7 + 1; }

int ResolveStartDay(int startDay, const QLocale& locale) {
    if (startDay >= 1 && startDay <= 7) return startDay;
    return int(locale.firstDayOfWeek()) % 7 + 1;
}

int WeekOfYear(const QDate& date, int startDay, int firstWeekDays) {
    if (firstWeekDays < 1 || firstWeekDays > 7) firstWeekDays = 1;
    const auto weekStart = [startDay](const QDate& d) {
        return d.addDays(-((SundayBasedWeekday(d) - startDay + 7) % 7));
    };
    const auto firstWeekStart = [&](int year) {
        const QDate newYear(year, 1, 1);
        const QDate start = weekStart(newYear);
        return start.daysTo(newYear) > 7 - firstWeekDays ? start.addDays(7) : start;
    };
    const QDate week = weekStart(date);
    int year = date.year();
    if (week < firstWeekStart(year))
        --year;
    else if (week >= firstWeekStart(year + 1))
        ++year;
    return int(firstWeekStart(year).daysTo(week) / 7) + 1;
}

int SystemFirstWeekDays() {
#ifdef __GLIBC__
    const int days = *nl_langinfo(_NL_TIME_WEEK_1STWEEK);
    if (days >= 1 && days <= 7) return days;
#endif
    return 1;
}

int MonthInfoCode(int year, int month, int startDay) {
    if (year < 1900 || year > 2199 || month < 1 || month > 12 || startDay < 1 || startDay > 7)
        return 0;
    const QDate first(year, month, 1);
    const int column = (SundayBasedWeekday(first) - startDay + 7) % 7;
    const int previousDays = month == 1 ? 31 : DaysInMonth(year, month - 1);
    return (IsLeapYear(year) ? 2 : 1) * 10000 + column * 1000 + SundayBasedWeekday(first) * 100 +
           (DaysInMonth(year, month) - 28) * 10 + (previousDays - 28);
}

void PaintColorMask(MonthLayout& layout, const QString& mask, const std::array<OleColor, 8>& colors,
                    bool labels) {
    OleColor current = 0;  // black until a letter chooses a colour
    const auto choose = [&](int position) {
        if (position > mask.size()) return;
        const QChar ch = mask.at(position - 1).toUpper();
        if (ch >= u'A' && ch <= u'H') current = colors[ch.unicode() - u'A'];
    };
    for (int k = 1; k <= kCells; ++k) {
        choose(7 + k);
        layout.cells[k - 1].backColor = current;
    }
    if (!labels) return;
    for (int i = 1; i <= kHeadings; ++i) {
        choose(i);
        layout.headings[i - 1].backColor = current;
    }
}

std::optional<MonthLayout> ComputeMonthLayout(const MonthInput& in) {
    if (in.year < 1900 || in.year > 2199 || in.month < 1 || in.month > 12 || in.startDay < 0 ||
        in.startDay > 7 || in.othersMonths < 0 || in.othersMonths > 255)
        return std::nullopt;
    const SizeGeometry& g = in.small ? kSmall : kBig;
    const int startDay = ResolveStartDay(in.startDay, in.locale);
    MonthLayout out;
    out.backColor = in.backColor;

    // Headings
    out.labelOffset = in.labels ? 0 : g.hiddenHeadingHeight;
    for (int c = 0; c < kHeadings; ++c) {
        Heading& h = out.headings[c];
        h.rect = QRect(g.cellLeft + g.cellStep * c, 30, g.cellWidth, g.cellHeight);
        h.visible = in.labels;
        h.text = HeadingText(in.locale, (startDay - 1 + c) % 7 + 1);
        h.foreColor = in.colorLabels;
        h.fontSize = g.headingFont;
        h.bold = true;
    }

    // The month and its rows
    const QDate first(in.year, in.month, 1);
    const int days = DaysInMonth(in.year, in.month);
    const int wd = (SundayBasedWeekday(first) - startDay + 7) % 7 + 1;
    const int s = days + wd;
    out.rows = s == 29 ? 4 : (s <= 36 ? 5 : 6);
    out.startPosition = wd - 1;
    const int layoutIndex = out.rows - 4;
    const int bottom = g.bottoms[layoutIndex] - out.labelOffset;
    out.size = QSize(in.viewWeeks ? g.widthWithWeeks : g.widthWithoutWeeks,
                     g.heights[layoutIndex] - out.labelOffset);

    // Grid lines; the line below the last shown row is drawn two pixels wide, one pixel lower.
    out.line2[0] = GridLine{QPoint(15, 15), QPoint(g.lineRight, 15), 1, in.labels, in.gridColor};
    for (int i = 1; i < kLines; ++i) {
        const int y = g.line2First + g.rowStep * (i - 1) - out.labelOffset;
        GridLine& l = out.line2[i];
        l = GridLine{QPoint(15, y), QPoint(g.lineRight, y), 1, true, in.gridColor};
        if (i >= 5) {
            l.visible = i <= out.rows + 1;
            if (i == out.rows + 1) {
                l.width = 2;
                l.from.ry() += 15;
                l.to.ry() += 15;
            }
        }
    }
    for (int i = 0; i < kLines; ++i) {
        const int x = 15 + g.cellStep * i;
        out.line1[i] = GridLine{QPoint(x, kLineTop), QPoint(x, bottom), 1, true, in.gridColor};
    }

    // Week numbers carry on past the year's last week rather than wrap to 1; a January whose
    // first row still belongs to last year's last week goes on with week 1.
    out.firstWeek = WeekOfYear(first, startDay, in.firstWeekDays);
    const bool startsInLastYearsWeek = in.month == 1 && out.firstWeek > 1;
    for (int r = 0; r < kWeekRows; ++r) {
        WeekNumber& w = out.weeks[r];
        w.rect = QRect(g.weekLeft, g.weekTop + g.rowStep * r - out.labelOffset, kWeekLabelSize,
                       kWeekLabelSize);
        w.visible = in.viewWeeks && r < out.rows;
        w.number = startsInLastYearsWeek && r > 0 ? r : out.firstWeek + r;
        w.text = QString::number(w.number);
        w.fontSize = kWeekFont;
        w.foreColor = in.colorWeek;
        w.backColor = in.backColor;
    }

    // Day numbers, with the neighbouring months' days when wanted
    int v = in.othersMonths;
    out.hideTodayMark = v > 3;
    if (v > 3) v -= 4;
    const bool showPrevious = v == 1 || v == 3;
    const bool showNext = v == 2 || v == 3;
    const int previousDays = in.month == 1 ? 31 : DaysInMonth(in.year, in.month - 1);
    const QDate previousMonth = first.addMonths(-1);
    const QDate nextMonth = first.addMonths(1);
    const auto isToday = [&](const QDate& monthOfCell, int day) {
        return !out.hideTodayMark && in.today.isValid() &&
               SameMonth(in.today, monthOfCell.year(), monthOfCell.month()) &&
               in.today.day() == day;
    };
    for (int i = 0; i < kCells; ++i) {
        Cell& c = out.cells[i];
        const int row = i / 7;
        const int col = i % 7;
        c.rect = QRect(g.cellLeft + g.cellStep * col, g.cellTop + g.rowStep * row - out.labelOffset,
                       g.cellWidth, g.cellHeight);
        c.visible = i < out.rows * 7;
        c.fontSize = g.cellFont;
        c.bold = g.cellBold;
        c.foreColor = in.colorDayOut;
        if (i < wd - 1) {
            if (showPrevious) {
                c.kind = CellKind::PreviousMonth;
                c.day = previousDays - wd + 2 + i;
                c.foreColor = isToday(previousMonth, c.day) ? in.todayColor : in.colorDayOut;
            }
        } else if (i < wd + days - 1) {
            c.kind = CellKind::ShownMonth;
            c.day = i - wd + 2;
            c.foreColor = isToday(first, c.day) ? in.todayColor : in.colorDayIn;
        } else if (showNext) {
            c.kind = CellKind::NextMonth;
            c.day = i - (wd + days - 1) + 1;
            c.foreColor = isToday(nextMonth, c.day) ? in.todayColor : in.colorDayOut;
        }
        if (c.day > 0) c.text = QString::number(c.day);
    }

    PaintColorMask(out, in.mask, in.colors, in.labels);
    out.outputInfo = MonthInfoCode(in.year, in.month, startDay);
    return out;
}

}  // namespace orbicle
