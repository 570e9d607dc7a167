#pragma once

#include <QDate>
#include <QString>
#include <QVariant>

#include <optional>

#include "platform/db/currency.h"

// The date of a database or picker value (QDateTime, QDate, or text as "2004-05-06[ 14:30]"
// or in the user's short form), without its time; nullopt for empty, Null or an impossible date.
std::optional<QDate> ParseDbDate(const QVariant& value);

// month/day/year with no leading zeros ("5/6/2004"), whatever the user's settings: the form
// of "#" literals in SQL and filters. Empty when the value is no date.
QString FormatSqlDate(const QVariant& value);

// The user's long (or short) date, followed by " HH:mm" when the time is not midnight to the
// minute. `ok` is false (and the text empty) when the value is no date.
QString FormatLongDateTime(const QVariant& value, bool* ok = nullptr);
QString FormatShortDateTime(const QVariant& value, bool* ok = nullptr);

// Money in the user's currency format: symbol, thousands separators, two decimals and the
// user's negative style ("£1,234.50" in the United Kingdom).
QString FormatMoney(db::Currency amount);
// What a sum or product shows: the money, or "Overflow" for one beyond the currency's range.
inline const QString kOverflow = QStringLiteral("Overflow");
QString FormatTotal(const std::optional<db::Currency>& amount);
// The same for a value read from a record set or a box: Currency, a number, or plain text.
// `ok` is false (and the text empty) when the value is no amount.
QString FormatMoney(const QVariant& value, bool* ok = nullptr);

// The one reader of money typed into a box, under the user's locale: everything FormatMoney
// writes, and plain numbers with or without a sign and the currency symbol; group separators
// only between groups of three digits before the one decimal point. Anything else is no
// amount (nullopt), never read as another; `overflow` then tells a number beyond the
// currency's range from a text that is no number. Fixed-point throughout, never a double.
std::optional<db::Currency> ParseMoney(const QString& text, bool* overflow = nullptr);
// Why a box refuses a text as money: "Type mismatch: ..." or, for a number too large,
// "Overflow: ...".
QString MoneyRefusal(const QString& text);
// The number part of that reader: digits as the user's locale groups them, with its decimal
// point; no sign, no symbol. Rounded to four decimals.
std::optional<db::Currency> ParseLocaleDecimal(const QString& text, bool* overflow = nullptr);

// The date of year, month and day where months and days beyond their range carry into the
// next month or year (month 13 of 2025 is January 2026, 31 February is early March).
QDate DateSerial(int year, int month, int day);
