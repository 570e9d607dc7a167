#include "mainrules.h"

#include <QRegularExpression>

#include "core/formatting.h"
#include "platform/db/recordset.h"

namespace {

std::optional<int> WholeNumber(const QVariant& v) {
    if (!v.isValid()) return std::nullopt;
    bool ok = false;
    const int n = v.toString().trimmed().toInt(&ok);
    return ok ? std::optional(n) : std::nullopt;
}

}  // namespace

QDate FinancialYearStart(const QVariant& currentFnYear, const QVariant& finYearDay, const QVariant& finYearMonth,
                         const QDate& today, QString* yearText) {
    const int day = WholeNumber(finYearDay).value_or(1);
    const auto storedMonth = WholeNumber(finYearMonth);
    const int month = storedMonth ? *storedMonth + 1 : 4;
    int year = 0;
    if (const auto stored = WholeNumber(currentFnYear)) {
        year = *stored;
    } else {
        // A year that starts today has begun.
        year = today >= DateSerial(today.year(), month, day) ? today.year() : today.year() - 1;
    }
    if (yearText) *yearText = QString::number(year);
    return DateSerial(year, month, day);
}

bool IsFourDigitYear(const QString& text) {
    static const QRegularExpression re(QStringLiteral(R"(^[1-9]\d{3}$)"));
    return re.match(text.trimmed()).hasMatch();
}

QString MonthAppointmentFilter(const QDate& dayInMonth) {
    const QDate first(dayInMonth.year(), dayInMonth.month(), 1);
    const QDate next = first.addMonths(1);
    return QStringLiteral("finish >= ") + db::FilterDateText(QDateTime(first, QTime(0, 0))) +
           QStringLiteral(" and start < ") + db::FilterDateText(QDateTime(next, QTime(0, 0)));
}

namespace {
QString YearBounds(const QDate& start) {
    return QStringLiteral("[Invoice Date] >= ") + db::FilterDateText(QDateTime(start, QTime(0, 0))) +
           QStringLiteral(" and [Invoice Date] < ") + db::FilterDateText(QDateTime(start.addYears(1), QTime(0, 0)));
}
}  // namespace

QString PendingInvoiceFilter(const QDate& yearStart, bool allOutstanding) {
    if (allOutstanding) return QStringLiteral("stageid <= 2");
    return YearBounds(yearStart) + QStringLiteral(" and stageid <= 2");
}

QString SettledInvoiceFilter(const QDate& yearStart) { return YearBounds(yearStart) + QStringLiteral(" and stageid = 3"); }

db::Currency SumAmounts(db::Recordset& rs, const QString& field) {
    db::Currency sum;
    if (rs.State() != db::adStateOpen || rs.RecordCount() <= 0) return sum;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        const QVariant v = rs.Value(field);
        if (v.metaType() == QMetaType::fromType<db::Currency>()) sum += v.value<db::Currency>();
        else if (!db::IsNull(v)) sum += db::Currency::fromDouble(v.toDouble());
    }
    return sum;
}

db::Currency WithVat(db::Currency net, double vatMultiplier) { return net.times(vatMultiplier); }
