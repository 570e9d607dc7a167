#include "formatting.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>

#include "platform/db/value.h"

std::optional<QDate> ParseDbDate(const QVariant& value) {
    if (db::IsNull(value)) return std::nullopt;
    switch (value.metaType().id()) {
        case QMetaType::QDateTime: {
            const QDate d = value.toDateTime().date();
            return d.isValid() ? std::optional(d) : std::nullopt;
        }
        case QMetaType::QDate:
            return value.toDate().isValid() ? std::optional(value.toDate()) : std::nullopt;
        default:
            break;
    }
    const QString text = value.toString().trimmed();
    if (text.isEmpty()) return std::nullopt;
    if (text.left(4).contains(u'-') || text.left(4).contains(u'/')) {
        // The user's own short form, possibly with a time: day and month in its order
        // (06/05/2004 is 6 May in the United Kingdom, 5 June in the United States), and a
        // two-digit year as the database layer reads one.
        static const QRegularExpression regional(
            QStringLiteral(R"(^(\d{1,2})[/-](\d{1,2})[/-](\d{4}|\d{2})(?!\d))"));
        const auto m = regional.match(text);
        if (!m.hasMatch()) return std::nullopt;
        const QString shortFormat = QLocale().dateFormat(QLocale::ShortFormat);
        const bool dayFirst = shortFormat.indexOf(u'd') < shortFormat.indexOf(u'M');
        const int first = m.captured(1).toInt(), second = m.captured(2).toInt();
        const int year =
            m.capturedLength(3) == 2 ? db::FullYear(m.captured(3).toInt()) : m.captured(3).toInt();
        const QDate d = dayFirst ? QDate(year, second, first) : QDate(year, first, second);
        return d.isValid() ? std::optional(d) : std::nullopt;
    }
    // Fixed positions: yyyy-mm-dd.
    static const QRegularExpression iso(QStringLiteral(R"(^(\d{4}).(\d{2}).(\d{2}))"));
    const auto m = iso.match(text);
    if (!m.hasMatch()) return std::nullopt;
    // An impossible month or day gives no date rather than one rolled into the next month.
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    return d.isValid() ? std::optional(d) : std::nullopt;
}

QString FormatSqlDate(const QVariant& value) {
    const auto d = ParseDbDate(value);
    if (!d) return QString();
    return QStringLiteral("%1/%2/%3").arg(d->month()).arg(d->day()).arg(d->year(), 4, 10, QLatin1Char('0'));
}

namespace {

QString FormatDateTime(const QVariant& value, QLocale::FormatType format, bool* ok) {
    const auto dt = db::ToDateTime(value);
    if (ok) *ok = dt.has_value();
    if (!dt) return QString();
    const QLocale loc;
    QString text = loc.toString(dt->date(), format);
    const QString t = dt->time().toString(QStringLiteral("HH:mm"));
    if (t > QStringLiteral("00:00")) text += u' ' + t;
    return text;
}

}  // namespace

QString FormatLongDateTime(const QVariant& value, bool* ok) { return FormatDateTime(value, QLocale::LongFormat, ok); }

QString FormatShortDateTime(const QVariant& value, bool* ok) {
    return FormatDateTime(value, QLocale::ShortFormat, ok);
}

QString FormatMoney(db::Currency amount) {
    // Rounded to pence first so that the text and the amount it stands for agree, and written
    // from the amount's own digits into the shape the locale gives a sample amount.
    const db::Currency::Pence p = amount.pence();
    const QLocale loc;
    const QString sample = loc.toString(1.0, 'f', 2);
    QString text = loc.toCurrencyString(p.negative ? -1.0 : 1.0, QString(), 2);
    const qsizetype at = text.indexOf(sample);
    if (at < 0) return text;  // a locale whose money shows no number: none known
    const QString hundredths =
        p.hundredths < 10 ? loc.zeroDigit() + loc.toString(p.hundredths) : loc.toString(p.hundredths);
    return text.replace(at, sample.size(),
                        loc.toString(static_cast<qulonglong>(p.units)) + loc.decimalPoint() + hundredths);
}

QString FormatTotal(const std::optional<db::Currency>& amount) {
    return amount ? FormatMoney(*amount) : kOverflow;
}

QString FormatMoney(const QVariant& value, bool* ok) {
    if (ok) *ok = false;
    if (db::IsNull(value)) return QString();
    db::Currency amount;
    if (value.metaType() == QMetaType::fromType<db::Currency>()) {
        amount = value.value<db::Currency>();
    } else if (value.metaType().id() == QMetaType::QString) {
        const auto parsed = ParseMoney(value.toString());
        if (!parsed) return QString();
        amount = *parsed;
    } else {
        bool converted = false;
        const auto d = db::Currency::fromDouble(value.toDouble(&converted));
        if (!converted || !d) return QString();
        amount = *d;
    }
    if (ok) *ok = true;
    return FormatMoney(amount);
}

std::optional<db::Currency> ParseMoney(const QString& input, bool* overflow) {
    if (overflow) *overflow = false;
    const QLocale loc;
    QString text = input.trimmed();
    if (text.isEmpty()) return std::nullopt;
    // One sign at most: parentheses or a minus, before or after the number; and at most one
    // currency symbol beside it. Blanks may stand between them and the number.
    bool negative = false;
    if (text.startsWith(u'(') && text.endsWith(u')')) {
        negative = true;
        text = text.mid(1, text.size() - 2).trimmed();
    }
    const QString minus = loc.negativeSign();
    const QStringList symbols = {loc.currencySymbol(),
                                 loc.currencySymbol(QLocale::CurrencyIsoCode)};
    bool symbolSeen = false;
    const auto peel = [&](bool front) {
        for (;;) {
            const auto at = [&](const QString& s) {
                return !s.isEmpty() && (front ? text.startsWith(s) : text.endsWith(s));
            };
            const auto drop = [&](qsizetype n) {
                text = (front ? text.mid(n) : text.left(text.size() - n)).trimmed();
            };
            if (!negative && (at(minus) || at(QStringLiteral("-")))) {
                negative = true;
                drop(at(minus) ? minus.size() : 1);
                continue;
            }
            bool found = false;
            for (const QString& s : symbols) {
                if (symbolSeen || !at(s)) continue;
                symbolSeen = found = true;
                drop(s.size());
                break;
            }
            if (!found) return;
        }
    };
    peel(true);
    peel(false);
    const auto amount = ParseLocaleDecimal(text, overflow);
    if (!amount || !negative) return amount;
    return amount->negated();
}

std::optional<db::Currency> ParseLocaleDecimal(const QString& input, bool* overflow) {
    if (overflow) *overflow = false;
    const QLocale loc;
    const QString text = input.trimmed();
    // Group separators only between groups of three digits before the decimal point, and that
    // point once, so that "12,5" in the United Kingdom is refused rather than read as 125, and
    // "12.50" in Germany rather than as 1250.
    const auto allDigits = [](QStringView s) {
        return std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    const QString point = loc.decimalPoint();
    const QString group = loc.groupSeparator();
    const qsizetype dot = text.indexOf(point);
    const QString whole = dot < 0 ? text : text.left(dot);
    const QString fraction = dot < 0 ? QString() : text.mid(dot + point.size());
    if (!allDigits(fraction) || (whole.isEmpty() && fraction.isEmpty())) return std::nullopt;
    QString digits;
    if (!group.isEmpty() && whole.contains(group)) {
        const QStringList groups = whole.split(group);
        for (qsizetype i = 0; i < groups.size(); ++i) {
            const qsizetype n = groups[i].size();
            if (!allDigits(groups[i]) || n == 0 || n > 3 || (i > 0 && n != 3)) return std::nullopt;
            digits += groups[i];
        }
    } else {
        if (!allDigits(whole)) return std::nullopt;
        digits = whole;
    }
    const auto amount =
        db::Currency::fromPlainText((digits.isEmpty() ? QStringLiteral("0") : digits) + u'.' +
                                    (fraction.isEmpty() ? QStringLiteral("0") : fraction));
    // The text is a number by now: refused, it is one beyond the range.
    if (!amount && overflow) *overflow = true;
    return amount;
}

QString MoneyRefusal(const QString& text) {
    bool overflow = false;
    if (ParseMoney(text, &overflow) || !overflow)
        return QStringLiteral("Type mismatch: \"%1\" is not an amount of money.").arg(text);
    return QStringLiteral("Overflow: \"%1\" is beyond the largest amount of money.").arg(text);
}

QDate DateSerial(int year, int month, int day) {
    return QDate(year, 1, 1).addMonths(month - 1).addDays(day - 1);
}
