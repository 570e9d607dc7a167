#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <vector>

struct AppointmentSpan {
    QDateTime start;
    QDateTime finish;
};

// The calendar's colour letters for a month: "B" for each of the seven weekday headings, then
// one letter for each of the 42 day cells, cell 0 being `startPosition` days before the 1st:
// "A" free, "C" busy, "D" when two of the day's appointments overlap in time (appointments
// that only touch do not). An appointment marks every day from its start to its finish.
QString CalendarColourMask(const QDate& firstOfMonth, int startPosition, const std::vector<AppointmentSpan>& appointments);

// The column of the 1st (digit S) out of the calendar's five-digit month-information code.
int StartPositionFromOutputInfo(int outputInfo);
