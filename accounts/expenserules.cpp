#include "expenserules.h"

#include <QLocale>

#include "core/amounts.h"
#include "core/formatting.h"
#include "core/optionsrules.h"
#include "core/settingscatalogue.h"
#include "platform/db/value.h"

namespace expense {

const ExpenseType* FindType(const QList<ExpenseType>& types, const QString& name) {
    for (const ExpenseType& t : types)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0) return &t;
    return nullptr;
}

bool RowCountsInMiles(const QList<ExpenseType>& types, const QString& name, const QVariant& milage) {
    if (const ExpenseType* t = FindType(types, name)) return t->miles;
    return !db::IsNull(milage) && milage.toLongLong() != 0;
}

QString AppointmentFilter(qint64 jobId) {
    return QStringLiteral("scheduleID = ") + QString::number(jobId);
}

QString YearFilter(const QDate& start) {
    const QDateTime from(start, QTime(0, 0));
    return QStringLiteral("scheduleID = 0 and ndate >= #") + FormatSqlDate(from) +
           QStringLiteral("# and ndate < #") + FormatSqlDate(from.addYears(1)) +
           QStringLiteral("#");
}

std::optional<double> MileageRatePence(const std::optional<QString>& stored) {
    const QString text = stored.value_or(QString()).trimmed();
    const auto rate = StoredMileageRate(text.isEmpty() ? catalogue::DefaultMilageShown : text);
    if (!rate) return std::nullopt;
    return rate->toDouble();
}

QString UnreadableMileageRate(const QString& stored) {
    return QStringLiteral(
               "The mileage rate \"%1\" kept in Tools, Options is not a number of pence per mile, "
               "so miles cannot be counted. Please correct it there.")
        .arg(stored);
}

QString AmountBoxText(bool miles, const QVariant& milage, const QVariant& amount) {
    if (miles)
        return db::IsNull(milage) ? QStringLiteral("0") : QString::number(milage.toLongLong());
    return db::IsNull(amount) ? FormatMoney(db::Currency()) : FormatMoney(amount);
}

std::optional<QVariant> AmountBoxValue(bool miles, const QString& text, QString* error) {
    const QString t = text.trimmed();
    if (miles) {
        if (t.isEmpty()) return QVariant(qint64(0));
        // Digits as the money boxes read them, with no decimal point: the column holds whole
        // miles, and 13.5 is not quietly made 13 or 135.
        const bool negative = t.startsWith(u'-');
        const QString digits = negative ? t.mid(1) : t;
        const auto n =
            digits.contains(QLocale().decimalPoint()) ? std::nullopt : ParseLocaleDecimal(digits);
        if (n)
            return QVariant(qlonglong((negative ? -1 : 1) * (n->ticks() / db::Currency::kScale)));
        if (error)
            *error = QStringLiteral(
                         "Type mismatch: \"%1\" is not a whole number of miles: only whole miles "
                         "are taken.")
                         .arg(text);
        return std::nullopt;
    }
    const auto money = t.isEmpty() ? std::optional(db::Currency()) : ParseMoney(t);
    if (money) return QVariant::fromValue(*money);
    if (error) *error = MoneyRefusal(text);
    return std::nullopt;
}

void AddToTotals(Totals& totals, const QVariant& milage, const QVariant& amount,
                 std::optional<double> ratePence) {
    const auto add = [](std::optional<db::Currency>& sum, const std::optional<db::Currency>& a) {
        sum = sum && a ? sum->plus(*a) : std::nullopt;
    };
    const qint64 miles = db::IsNull(milage) ? 0 : milage.toLongLong();
    if (miles != 0) {
        qint64 sum = 0;
        totals.miles = totals.miles && !__builtin_add_overflow(*totals.miles, miles, &sum)
                           ? std::optional(sum)
                           : std::nullopt;
        const auto worth = db::Currency::fromWholeNumber(miles);
        if (ratePence) add(totals.mileage, worth ? worth->times(*ratePence / 100) : std::nullopt);
    } else {
        add(totals.money, AmountOf(amount));
    }
}

QString TotalsText(const Totals& totals, std::optional<double> ratePence) {
    const QLocale loc;
    const QString miles = totals.miles ? loc.toString(*totals.miles) : kOverflow;
    if (!ratePence)
        return QStringLiteral("Money %1; %2 miles not counted: the mileage rate is no number")
            .arg(FormatTotal(totals.money), miles);
    return QStringLiteral("Total %1 — money %2; %3 miles at %4p: %5")
        .arg(FormatTotal(totals.all()), FormatTotal(totals.money), miles, loc.toString(*ratePence),
             FormatTotal(totals.mileage));
}

}  // namespace expense
