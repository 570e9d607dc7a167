#include "mainrules.h"

#include <QRegularExpression>

#include <limits>

#include "core/formatting.h"
#include "core/settingscatalogue.h"
#include "platform/db/recordset.h"

namespace {

std::optional<int> WholeNumber(const std::optional<QString>& row) {
    const auto n = row ? catalogue::WholeNumberFromText(*row) : std::nullopt;
    if (!n || *n < std::numeric_limits<int>::min() || *n > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*n);
}

}  // namespace

QDate FinancialYearStart(const std::optional<QString>& currentFnYear,
                         const std::optional<QString>& finYearDay,
                         const std::optional<QString>& finYearMonth, const QDate& today,
                         QString* yearText) {
    const int day = WholeNumber(finYearDay).value_or(*WholeNumber(catalogue::DefaultFinYearDay));
    const int month = WholeNumber(finYearMonth).value_or(catalogue::DefaultFinYearMonth) + 1;
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
        else if (const auto c = db::Currency::fromDouble(v.toDouble()))
            sum += *c;
    }
    return sum;
}

db::Currency WithVat(db::Currency net, double vatMultiplier) { return net.times(vatMultiplier); }
