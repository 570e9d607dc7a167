#include "amounts.h"

#include "platform/db/recordset.h"

db::Currency AmountOf(const QVariant& value) {
    if (db::IsNull(value)) return db::Currency();
    if (value.metaType() == QMetaType::fromType<db::Currency>()) return value.value<db::Currency>();
    return db::Currency::fromDouble(value.toDouble()).value_or(db::Currency());
}

db::Currency SumAmounts(db::Recordset& rs, const QString& field) {
    db::Currency sum;
    if (rs.State() != db::adStateOpen || rs.RecordCount() <= 0) return sum;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) sum += AmountOf(rs.Value(field));
    return sum;
}

db::Currency WithVat(db::Currency net, double vatMultiplier) { return net.times(vatMultiplier); }
