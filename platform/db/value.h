#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <optional>

#include "currency.h"

namespace db {

// The kind a column was declared with; it decides how a stored value is typed in C++.
enum class Kind { Unknown, Integer, Double, Text, DateTime, Currency, YesNo, Binary };

Kind KindFromDeclaredType(const QString& declared);

// Null is an invalid QVariant; an empty QString is a value.
inline bool IsNull(const QVariant& v) { return !v.isValid() || v.metaType().id() == QMetaType::Nullptr; }

// Dates are kept in the file as "YYYY-MM-DD HH:MM:SS", so that text order is date order.
QString CanonicalDateText(const QDateTime& dt);

// The year a two-digit year stands for, as every date reading here takes it: 30 to 99 are
// 1930 to 1999, 00 to 29 are 2000 to 2029.
int FullYear(int twoDigitYear);

// The local date-time of `date` at `time`. A time that the clocks skip that night does not
// exist; it is read with the offset in force before the change, as calendar files do (01:30 on
// the night the clocks go forward at 01:00 is 02:30), and `skipped` says so.
QDateTime LocalDateTime(const QDate& date, const QTime& time, bool* skipped = nullptr);

// Reads a date written as month/day/year (the literal form of SQL and filters), with an
// optional time "h:nn[:ss]" and AM/PM, or in the canonical form.
std::optional<QDateTime> ParseDateLiteral(QStringView text);

// The text a date takes in a filter when no "#" marks are written around it.
QString FilterDateText(const QDateTime& dt);

// Converts any value that could stand for a date (QDateTime, QDate, a date text in
// canonical, month/day/year or the user's short form).
std::optional<QDateTime> ToDateTime(const QVariant& v);

// A value in its everyday text form, as a grid or an export shows it: dates in the
// locale's short form (with the time when there is one), numbers with the locale's
// separators, Yes/No as True/False. Null gives the empty text.
QString ValueText(const QVariant& v);

// Quotes a text for SQL: 'O''Brien'. The one way user text may reach SQL text.
QString SqlQuote(const QString& text);
// A number as C-locale SQL text, whatever the user's locale ("1.175", never "1,175").
QString SqlNumber(double value);

}  // namespace db
