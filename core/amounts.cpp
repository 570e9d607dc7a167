#include "amounts.h"

#include "platform/db/recordset.h"

db::Currency SumAmounts(db::Recordset& rs, const QString& field) {
    db::Currency sum;
    if (rs.State() != db::adStateOpen || rs.RecordCount() <= 0) return sum;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        const QVariant v = rs.Value(field);
        if (v.metaType() == QMetaType::fromType<db::Currency>())
            sum += v.value<db::Currency>();
        // An amount beyond the currency's range is left out rather than wrapped.
        else if (const auto c = db::IsNull(v) ? std::nullopt : db::Currency::fromDouble(v.toDouble()))
            sum += *c;
    }
    return sum;
}

db::Currency WithVat(db::Currency net, double vatMultiplier) { return net.times(vatMultiplier); }
