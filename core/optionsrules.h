#pragma once

// The checks the Options dialog makes before it saves, apart from the window.

#include <QString>
#include <QStringList>
#include <optional>

#include "platform/db/currency.h"

// A VAT rate as typed: a number of 0 or more, optionally followed by "%" ("17.5", "17.5%").
// nullopt when it is anything else.
std::optional<double> ParseVatRate(const QString& text);

// The mileage rate in pence per mile as typed under the user's locale: a number, whole or
// decimal, not negative, and nothing else ("45p", "£0.45", "1e3", "-0" and an empty box are
// refused).
std::optional<db::Currency> ParseMileageRate(const QString& typed);
// The rate as the System row keeps it, the same in every locale ("45.5").
QString MileageRateText(db::Currency pence);
// The rate as the box shows it, in the user's locale.
QString MileageRateShown(db::Currency pence);
// A stored rate read back: the row's own form, or a rate an earlier version kept as typed in
// the user's locale. nullopt for a text that is neither: the readers say so rather than count
// miles at some other rate.
std::optional<db::Currency> StoredMileageRate(const QString& stored);
inline const QString kMileageRateRefused = QStringLiteral(
    "The mileage rate must be a number of pence per mile, for example 45 or 45.5 (no \"p\" or "
    "currency sign).");

// A time of day as "HH:MM" ("9:05" gives "09:05"); nullopt when the text is not one.
std::optional<QString> NormaliseTime(const QString& text);

// The month names the financial-year month list offers, January first.
QStringList MonthNames();
// 0-based index of a month name (any case); nullopt when the text names no month.
std::optional<int> MonthIndex(const QString& text);

// The day list for a month as the month box offers it: the days CheckFinYearStart accepts for
// that month. Empty when the text names no month.
QStringList DaysOfMonth(const QString& monthText);

// The start of the financial year as chosen in the two boxes.
struct FinYearStartChoice {
    enum Outcome { NotChosen, Valid, Refused } outcome = NotChosen;
    int day = 0;
    int monthIndex = -1;  // 0 = January
    QString message;      // why it was refused
};
// Both boxes empty: NotChosen (nothing is saved). Otherwise the month must name a month and
// the day must be a day that month has in every year.
FinYearStartChoice CheckFinYearStart(const QString& dayText, const QString& monthText);
