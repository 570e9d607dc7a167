#include "expenserules.h"

#include <QLocale>

#include "core/amounts.h"
#include "core/formatting.h"
#include "core/settingscatalogue.h"
#include "platform/db/value.h"

namespace expense {

const ExpenseType* FindType(const QList<ExpenseType>& types, const QString& name) {
    for (const ExpenseType& t : types)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0) return &t;
    return nullptr;
}

bool CountsInMiles(const QList<ExpenseType>& types, const QString& name) {
    const ExpenseType* t = FindType(types, name);
    return t && t->miles;
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

double MileageRatePence(const std::optional<QString>& stored) {
    bool ok = false;
    const double pence = stored ? stored->trimmed().toDouble(&ok) : 0;
    return ok ? pence : catalogue::DefaultMilageShown.toDouble();
}

QString AmountBoxText(bool miles, const QVariant& milage, const QVariant& amount) {
    if (miles)
        return db::IsNull(milage) ? QStringLiteral("0") : QString::number(milage.toLongLong());
    return db::IsNull(amount) ? FormatMoney(db::Currency()) : FormatMoney(amount);
}

std::optional<QVariant> AmountBoxValue(bool miles, const QString& text, QString* error) {
    const QString t = text.trimmed();
    if (miles) {
        bool ok = t.isEmpty();
        const qint64 n = ok ? 0 : QLocale().toLongLong(t, &ok);
        if (ok) return QVariant(n);
        if (error)
            *error = QStringLiteral("Type mismatch: \"%1\" is not a number of miles.").arg(text);
        return std::nullopt;
    }
    const auto money = t.isEmpty() ? std::optional(db::Currency()) : ParseMoney(t);
    if (money) return QVariant::fromValue(*money);
    if (error)
        *error = QStringLiteral("Type mismatch: \"%1\" is not an amount of money.").arg(text);
    return std::nullopt;
}

void AddToTotals(Totals& totals, const QVariant& milage, const QVariant& amount, double ratePence) {
    const qint64 miles = db::IsNull(milage) ? 0 : milage.toLongLong();
    if (miles != 0) {
        totals.miles += miles;
        totals.mileage += db::Currency::fromWholeNumber(miles).value_or(db::Currency()).times(ratePence / 100);
    } else {
        totals.money += AmountOf(amount);
    }
}

QString TotalsText(const Totals& totals, double ratePence) {
    const QLocale loc;
    return QStringLiteral("Total %1 — money %2; %3 miles at %4p: %5")
        .arg(FormatMoney(totals.all()), FormatMoney(totals.money), loc.toString(totals.miles),
             loc.toString(ratePence), FormatMoney(totals.mileage));
}

}  // namespace expense
