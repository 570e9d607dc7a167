#pragma once

#include <QString>
#include <QVariant>

#include "platform/db/currency.h"

namespace db {
class Recordset;
}

// The money a field holds; 0 for Null, and for a number beyond the currency's range (left
// out rather than wrapped).
db::Currency AmountOf(const QVariant& value);
// Sum of the field over every row from the first to the end (an empty amount counts as 0);
// leaves the record set at its end.
db::Currency SumAmounts(db::Recordset& rs, const QString& field);
// An amount with VAT added.
db::Currency WithVat(db::Currency net, double vatMultiplier);
