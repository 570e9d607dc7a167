#pragma once

#include <QString>
#include <QVariant>

#include <optional>

#include "platform/db/currency.h"

namespace db {
class Recordset;
}

// Money read, summed and multiplied; nullopt is an amount beyond the currency's range, which
// the caller shows as an overflow rather than as a wrapped or dropped figure.

// The money a field holds; 0 for Null.
std::optional<db::Currency> AmountOf(const QVariant& value);
// Sum of the field over every row from the first to the end (an empty amount counts as 0);
// leaves the record set at its end.
std::optional<db::Currency> SumAmounts(db::Recordset& rs, const QString& field);
// An amount with VAT added (a sum that already overflowed stays so).
std::optional<db::Currency> WithVat(const std::optional<db::Currency>& net, double vatMultiplier);
