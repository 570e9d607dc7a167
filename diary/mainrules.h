#pragma once

#include <QDate>
#include <QRect>
#include <QString>

#include <optional>

#include "core/amounts.h"
#include "platform/db/currency.h"

namespace db {
class Recordset;
}

// The first day of the selected financial year from the System rows CurrentFnYear (start
// year), FinYearDay and FinYearMonth (0-based); a row that is missing or holds no number takes
// its default (1 April of the year in which the last start on or before today fell).
// `yearText` gets the start year.
QDate FinancialYearStart(const std::optional<QString>& currentFnYear,
                         const std::optional<QString>& finYearDay,
                         const std::optional<QString>& finYearMonth, const QDate& today,
                         QString* yearText = nullptr);

// A year typed or stored as a financial or calendar year: four digits, nothing else.
bool IsFourDigitYear(const QString& text);
// The years the calendar control can show; the window moves to no other.
inline constexpr int kFirstCalendarYear = 1900;
inline constexpr int kLastCalendarYear = 2199;
bool IsCalendarYear(int year);

// A restored window's frame moved and, when larger, shrunk so that it lies wholly inside
// `available` (the usable part of a screen).
QRect FitOnScreen(const QRect& frame, const QRect& available);

// Record-set filters of the main window. A year runs from its first day, inclusive, to the
// same day a year later, exclusive.
QString MonthAppointmentFilter(const QDate& dayInMonth);
QString PendingInvoiceFilter(const QDate& yearStart, bool allOutstanding);
QString SettledInvoiceFilter(const QDate& yearStart);
