#include "mainrules.h"

#include <QRegularExpression>

#include <algorithm>
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

bool IsCalendarYear(int year) { return year >= kFirstCalendarYear && year <= kLastCalendarYear; }

QRect FitOnScreen(const QRect& frame, const QRect& available) {
    QRect fitted(frame.topLeft(), frame.size().boundedTo(available.size()));
    fitted.moveLeft(
        std::clamp(fitted.left(), available.left(), available.right() - fitted.width() + 1));
    fitted.moveTop(
        std::clamp(fitted.top(), available.top(), available.bottom() - fitted.height() + 1));
    return fitted;
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

void RunningTotal::Count(const db::Recordset& rs, const QString& key, const QString& amount) {
    counted_.clear();
    sum_ = db::Currency();
    Add(rs, key, amount, nullptr);
}

void RunningTotal::Recount(const db::Recordset& rs, const QString& key, const QString& amount,
                           const QSet<qint64>& keys) {
    // A sum beyond the range has lost what it held: only adding up again brings it back.
    if (!sum_) return Count(rs, key, amount);
    for (const qint64 k : keys) {
        const auto was = counted_.constFind(k);
        if (was == counted_.cend()) continue;
        sum_ = sum_->minus(*was);
        counted_.erase(was);
        if (!sum_) return Count(rs, key, amount);
    }
    Add(rs, key, amount, &keys);
}

void RunningTotal::Add(const db::Recordset& rs, const QString& key, const QString& amount,
                       const QSet<qint64>* only) {
    const int rows = rs.State() == db::adStateOpen ? rs.RecordCount() : 0;
    const int k = rs.FieldIndex(key), a = rs.FieldIndex(amount);
    for (int r = 0; r < rows; ++r) {
        const qint64 id = rs.ValueAt(r, k).toLongLong();
        if (only && !only->contains(id)) continue;
        const auto value = AmountOf(rs.ValueAt(r, a));
        if (value) counted_.insert(id, *value);
        sum_ = sum_ && value ? sum_->plus(*value) : std::nullopt;
    }
}
