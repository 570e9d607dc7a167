#pragma once

#include <QDate>
#include <QLocale>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace orbicle {

// Colours are 32-bit values &H00BBGGRR, as hosts pass them.
using OleColor = std::uint32_t;

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kCells = 42;
inline constexpr int kHeadings = 7;
inline constexpr int kWeekRows = 6;
inline constexpr int kLines = 8;
inline constexpr int kMaskLength = 49;

int ToPixels(int twips);
QRect ToPixels(const QRect& twips);
QPoint ToPixels(const QPoint& twips);
QSize ToPixels(const QSize& twips);

// Days of `month` (1-12) in `year`, Gregorian; any other month counts 30.
int DaysInMonth(int year, int month);
bool IsLeapYear(int year);
// Weekday counted from Sunday = 1 to Saturday = 7.
int SundayBasedWeekday(const QDate& date);
// A start day of 0 means the locale's first day of the week; the result is 1 (Sunday) to 7.
int ResolveStartDay(int startDay, const QLocale& locale);
// Week of the year of `date`, weeks beginning on `startDay` (1-7). Week 1 is the first week with
// at least `firstWeekDays` days of the year: 1 = the week holding 1 January, 4 = ISO 8601,
// 7 = the first full week. Days before it belong to the last week of the year before.
int WeekOfYear(const QDate& date, int startDay, int firstWeekDays = 1);
// The first-week rule of the system's time locale as a `firstWeekDays` value; 1 when the
// locale has none.
int SystemFirstWeekDays();
// The five-digit month-information code LSWDP; 0 when the month cannot be formed.
int MonthInfoCode(int year, int month, int startDay);

enum class CellKind { Empty, PreviousMonth, ShownMonth, NextMonth };

// A text box of the grid: a day cell, a weekday heading or a week number.
struct Box {
    QRect rect;  // twips
    bool visible = false;
    QString text;
    OleColor foreColor = 0;
    OleColor backColor = 0;
    int fontSize = 8;
    bool bold = false;
};

struct Cell : Box {
    CellKind kind = CellKind::Empty;
    int day = 0;  // 0 when the cell shows no number
};

using Heading = Box;

struct WeekNumber : Box {
    int number = 0;
};

struct GridLine {
    QPoint from;  // twips
    QPoint to;
    int width = 1;  // pixels
    bool visible = true;
    OleColor color = 0;
};

// Everything one repaint depends on.
struct MonthInput {
    int year = 2000;
    int month = 1;
    int startDay = 1;      // 0 = the locale's first day, 1 = Sunday ... 7 = Saturday
    int othersMonths = 3;  // 0-255
    int firstWeekDays = 1;  // as WeekOfYear takes it
    bool labels = true;
    bool small = false;
    bool viewWeeks = true;
    QDate today;
    QString mask;
    std::array<OleColor, 8> colors{};  // Color_A ... Color_H
    OleColor colorLabels = 0;
    OleColor colorDayIn = 0;
    OleColor colorDayOut = 0;
    OleColor backColor = 0;
    OleColor colorWeek = 0;
    OleColor gridColor = 0;
    OleColor todayColor = 0;
    QLocale locale;
};

// The whole picture of one month: every element's place in twips, its text and colours.
struct MonthLayout {
    std::array<Cell, kCells> cells;
    std::array<Heading, kHeadings> headings;
    std::array<WeekNumber, kWeekRows> weeks;
    std::array<GridLine, kLines> line1;  // vertical: left edge of each column and the right edge
    std::array<GridLine, kLines>
        line2;   // horizontal: 0 above the headings, 1 below, r + 1 below row r
    QSize size;  // the control's size in twips
    int rows = 0;
    int labelOffset = 0;
    int startPosition = 0;  // column of the 1st
    int firstWeek = 0;      // week of the year of the 1st
    int outputInfo = 0;
    bool hideTodayMark = false;
    OleColor backColor = 0;
};

// nullopt when the input names no month of the supported range (years 1900-2199, months 1-12,
// start days 0-7) or the other-months code is outside 0-255.
std::optional<MonthLayout> ComputeMonthLayout(const MonthInput& in);

// Background colours from a colour mask: cells 0-41 from positions 8-49, then headings 0-6 from
// positions 1-7 (only when `labels`). A character other than A-H (any case) or a missing
// position repeats the colour chosen last, black before any.
void PaintColorMask(MonthLayout& layout, const QString& mask, const std::array<OleColor, 8>& colors,
                    bool labels);

}  // namespace orbicle
