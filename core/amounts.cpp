#include "amounts.h"

#include "platform/db/recordset.h"

std::optional<db::Currency> AmountOf(const QVariant& value) {
    if (db::IsNull(value)) return db::Currency();
    if (value.metaType() == QMetaType::fromType<db::Currency>()) return value.value<db::Currency>();
    // A number another program stored beyond the range.
    return db::Currency::fromDouble(value.toDouble());
}

std::optional<db::Currency> SumAmounts(db::Recordset& rs, const QString& field) {
    std::optional<db::Currency> sum = db::Currency();
    const int rows = rs.State() == db::adStateOpen ? rs.RecordCount() : 0;
    if (rows <= 0) return sum;
    // Read in place: a long list is summed without moving through it row by row.
    const int f = rs.FieldIndex(field);
    for (int r = 0; r < rows && sum; ++r) {
        const auto amount = AmountOf(rs.ValueAt(r, f));
        sum = amount ? sum->plus(*amount) : std::nullopt;
    }
    rs.MoveLast();
    rs.MoveNext();
    return sum;
}

std::optional<db::Currency> WithVat(const std::optional<db::Currency>& net, double vatMultiplier) {
    return net ? net->times(vatMultiplier) : std::nullopt;
}
