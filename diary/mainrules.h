#pragma once

#include <QDate>
#include <QHash>
#include <QRect>
#include <QSet>
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

// A list's total kept as its rows change: what each row counted is remembered, so that rows
// read again take back what they counted and count afresh, and the list is never added up
// whole again.
class RunningTotal {
public:
    // Adds up `amount` over every row `rs` shows, each row known by its `key`.
    void Count(const db::Recordset& rs, const QString& key, const QString& amount);
    // The rows with these keys: what they counted is taken back, and those `rs` shows now are
    // counted.
    void Recount(const db::Recordset& rs, const QString& key, const QString& amount, const QSet<qint64>& keys);
    // nullopt: beyond the currency's range.
    std::optional<db::Currency> Sum() const { return sum_; }

private:
    // Counts the rows `rs` shows, or only those with the keys given.
    void Add(const db::Recordset& rs, const QString& key, const QString& amount, const QSet<qint64>* only);

    QHash<qint64, db::Currency> counted_;
    std::optional<db::Currency> sum_ = db::Currency();
};
