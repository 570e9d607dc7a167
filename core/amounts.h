#pragma once

#include <QString>

#include "platform/db/currency.h"

namespace db {
class Recordset;
}

// Sum of the field over every row from the first to the end (an empty amount counts as 0);
// leaves the record set at its end.
db::Currency SumAmounts(db::Recordset& rs, const QString& field);
// An amount with VAT added.
db::Currency WithVat(db::Currency net, double vatMultiplier);
