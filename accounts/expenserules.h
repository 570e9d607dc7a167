#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

#include "platform/db/currency.h"

// The expenses' rules and texts, apart from the windows that show them.
namespace expense {

inline const QString kMilesLabel = QStringLiteral("Milage:");
inline const QString kMoneyLabel = QStringLiteral("Amount:");
inline const QString kNewRecord = QStringLiteral("New Record");
inline const QString kDeleteQuestion = QStringLiteral("Delete this expense?");
inline const QString kDeleteTitle = QStringLiteral("Delete expense");
inline const QString kNeedsTypeName = QStringLiteral("Please type a name for the expense type.");

// A System row with the key "Type".
struct ExpenseType {
    qint64 id = 0;
    QString name;
    bool miles = false;  // opt1 = 1: entered in miles
};

// The first type of that name, compared without case as the database compares text; null
// when no type has it (it was renamed or removed, or typed in by hand).
const ExpenseType* FindType(const QList<ExpenseType>& types, const QString& name);
// An expense is counted in miles when its type says so; one whose type is no type's (renamed,
// removed, typed in by hand) when it holds miles, as the reports count it.
bool RowCountsInMiles(const QList<ExpenseType>& types, const QString& name, const QVariant& milage);

// The rows of the expenses window: those of one appointment, or those tied to none and
// dated within the financial year that starts on `start` (its first day in, the next
// year's first day out).
QString AppointmentFilter(qint64 jobId);
QString YearFilter(const QDate& start);

// Pence per mile from the System row's text; the Options dialog's default when the row is
// missing or empty. nullopt when the text is no rate: miles are then counted at no rate at
// all, and the reader says why (UnreadableMileageRate). The window's totals, the expense
// report and the year-end export all count by it.
std::optional<double> MileageRatePence(const std::optional<QString>& stored);
QString UnreadableMileageRate(const QString& stored);

// What the amount box shows for a row: its miles, or its amount as money.
QString AmountBoxText(bool miles, const QVariant& milage, const QVariant& amount);
// The value the amount box holds: a number of miles or an amount of money (an empty box is
// 0). nullopt, with `error` set, when the text is neither.
std::optional<QVariant> AmountBoxValue(bool miles, const QString& text, QString* error);

// The sums of the listed expenses. A row with miles counts its miles at the mileage rate,
// any other its amount, as the expense report and the year-end export count them. A sum
// beyond the currency's range is nullopt (and shown so), never a wrapped figure.
struct Totals {
    std::optional<db::Currency> money = db::Currency();
    std::optional<qint64> miles = 0;
    std::optional<db::Currency> mileage = db::Currency();  // the miles at the rate
    std::optional<db::Currency> all() const {
        return money && mileage ? money->plus(*mileage) : std::nullopt;
    }
};
// Without a rate the miles are counted but given no worth.
void AddToTotals(Totals& totals, const QVariant& milage, const QVariant& amount,
                 std::optional<double> ratePence);
QString TotalsText(const Totals& totals, std::optional<double> ratePence);

}  // namespace expense
