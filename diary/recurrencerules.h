#pragma once

// Recurring series without a window: the pattern text stored on every row of a series, and
// the occurrence dates a pattern gives from its master.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <array>

namespace recurrence {

// The option buttons of the recurrence editor, in their order.
enum Kind { None = 0, Daily = 1, Weekly = 2, Monthly = 3, Annual = 4 };

// A series stops here; slot 0, the master, is not counted.
inline constexpr int kMaxOccurrences = 1000;

inline const QString kNoSecondOccurrence = QStringLiteral(
    "The second occurance would finish after the end date of the range, please change the End "
    "Date");
inline const QString kTooClose =
    QStringLiteral("Time between occurances cannot be less than the lenght of the appointment.");

// What the editor's controls hold. Lists are zero-based positions, -1 for no selection; the
// interval boxes are kept as typed.
struct Choice {
    int kind = None;
    int flex = 1;                // optFlex(1) or optFlex(2)
    QString txt1;                // days, weeks, or the day of the month
    QString text2;               // months, or the day of the annual date
    QString text3;               // months of the n-th weekday rule
    int instance = -1;           // cboInstance: First .. Fourth
    int weekday = -1;            // cboDay: Sunday .. Saturday
    int yearMonth = -1;          // cboYear_Mnth: January .. December
    int month = -1;              // cboMonth
    std::array<bool, 7> days{};  // chk(1) Sunday .. chk(7) Saturday
    QDate end;

    bool operator==(const Choice&) const = default;
};

// The full pattern text: the kind's fields, then the end date as dd/MM/yyyy.
QString PatternText(const Choice& c);
// The kind a pattern text names (None for any other first letter).
Kind PatternKind(const QString& text);
// Overwrites in `into` every field the text holds; a field that cannot be read keeps its value.
void ReadPattern(const QString& text, Choice& into);

struct Occurrence {
    QDateTime start;
    QDateTime finish;
    bool operator==(const Occurrence&) const = default;
};

// An occurrence whose time does not exist that day, the clocks going forward: it is put
// where a calendar file puts it, the time read with the offset before the change.
struct ClockChange {
    QDate day;
    QTime asked;  // the series' time that day
    Occurrence given;
    bool operator==(const ClockChange&) const = default;
};

struct Series {
    QString refusal;  // why nothing was built; empty when built
    QString pattern;
    QList<Occurrence> dates;  // [0] is the master, the occurrences follow
    bool capped = false;      // more would have followed the last one
    QList<ClockChange> clockChanges;
};

// The pattern and occurrences of a choice from a master. Nothing falls after the end date.
Series BuildRecurrence(const Choice& c, const QDateTime& masterStart,
                       const QDateTime& masterFinish);

// The n-th (`instance` 0 = first) weekday of a month, the weekday counted Sunday = 1.
QDate NthWeekday(int year, int month, int instance, int weekdaySundayFirst);
// Which of its month's weekdays of that name `day` is, 0 to 3 (a fifth counts as the fourth).
int InstanceOfDay(const QDate& day);

// Told when a series reached kMaxOccurrences before its end date; `last` is its last day.
QString CappedMessage(const QDate& last);
// Told when occurrences were moved because the clocks go forward.
QString ClockChangeMessage(const QList<ClockChange>& changes);
// Told when a change or removal left occurrences that are invoiced or have expenses.
QString KeptMessage(int kept);

}  // namespace recurrence
