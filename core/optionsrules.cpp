#include "optionsrules.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>

#include "core/formatting.h"
#include "core/settingscatalogue.h"

namespace {

// The last day a financial year may start on in the month: one that exists every year, so
// February stops at 28.
int LastStartDay(int monthIndex) { return QDate(2001, monthIndex + 1, 1).daysInMonth(); }

}  // namespace

std::optional<double> ParseVatRate(const QString& text) {
    // A typed rate may end in the sign; the stored rule would quietly drop anything after it.
    const QString t = text.trimmed();
    const qsizetype percent = t.indexOf(u'%');
    if (percent >= 0 && percent != t.size() - 1) return std::nullopt;
    const auto rate = catalogue::VatRateFromText(t);
    if (!rate || *rate < 0) return std::nullopt;
    return rate;
}

std::optional<db::Currency> ParseMileageRate(const QString& typed) {
    // No sign is read: a rate below nothing has no meaning, and "-0" is no rate either.
    return ParseLocaleDecimal(typed);
}

QString MileageRateText(db::Currency pence) { return pence.toPlainText(); }

QString MileageRateShown(db::Currency pence) {
    return pence.toPlainText().replace(u'.', QLocale().decimalPoint());
}

std::optional<db::Currency> StoredMileageRate(const QString& stored) {
    const QString t = stored.trimmed();
    const bool signed_ = t.startsWith(u'-') || t.startsWith(u'+');
    if (const auto rate = db::Currency::fromPlainText(t); rate && !signed_) return rate;
    return ParseMileageRate(stored);
}

std::optional<QString> NormaliseTime(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^([0-9]{1,2}):([0-9]{2})$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch()) return std::nullopt;
    const int h = m.captured(1).toInt();
    const int mi = m.captured(2).toInt();
    if (h > 23 || mi > 59) return std::nullopt;
    return QTime(h, mi).toString(QStringLiteral("HH:mm"));
}

QStringList MonthNames() {
    return {QStringLiteral("January"), QStringLiteral("February"), QStringLiteral("March"),
            QStringLiteral("April"),   QStringLiteral("May"),      QStringLiteral("June"),
            QStringLiteral("July"),    QStringLiteral("August"),   QStringLiteral("September"),
            QStringLiteral("October"), QStringLiteral("November"), QStringLiteral("December")};
}

std::optional<int> MonthIndex(const QString& text) {
    const QStringList names = MonthNames();
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(text.trimmed(), Qt::CaseInsensitive) == 0) return i;
    return std::nullopt;
}

QStringList DaysOfMonth(const QString& monthText) {
    const auto month = MonthIndex(monthText);
    QStringList days;
    if (!month) return days;
    for (int d = 1; d <= LastStartDay(*month); ++d) days << QString::number(d);
    return days;
}

FinYearStartChoice CheckFinYearStart(const QString& dayText, const QString& monthText) {
    FinYearStartChoice c;
    const QString dayT = dayText.trimmed();
    const QString monthT = monthText.trimmed();
    if (dayT.isEmpty() && monthT.isEmpty()) return c;
    c.outcome = FinYearStartChoice::Refused;
    const auto month = MonthIndex(monthT);
    if (!month) {
        c.message = QStringLiteral("Choose the month in which the financial year starts.");
        return c;
    }
    bool ok = false;
    const int day = dayT.toInt(&ok);
    if (!ok || day < 1 || day > 31) {
        c.message =
            QStringLiteral("Choose the day of the month on which the financial year starts.");
        return c;
    }
    const int last = LastStartDay(*month);
    if (day > last) {
        c.message =
            QStringLiteral("The financial year cannot start on %1 %2: choose a day from 1 to %3.")
                .arg(day)
                .arg(MonthNames()[*month])
                .arg(last);
        return c;
    }
    c.outcome = FinYearStartChoice::Valid;
    c.day = day;
    c.monthIndex = *month;
    return c;
}
