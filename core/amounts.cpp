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
    if (rs.State() != db::adStateOpen || rs.RecordCount() <= 0) return sum;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        const auto amount = AmountOf(rs.Value(field));
        sum = sum && amount ? sum->plus(*amount) : std::nullopt;
    }
    return sum;
}

std::optional<db::Currency> WithVat(const std::optional<db::Currency>& net, double vatMultiplier) {
    return net ? net->times(vatMultiplier) : std::nullopt;
}
