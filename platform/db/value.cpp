#include "value.h"

#include "internal.h"

#include <QLocale>
#include <QTimeZone>
#include <QRegularExpression>

#include <cmath>

namespace db {

Kind KindFromDeclaredType(const QString& declared) {
    const QString t = declared.trimmed().toUpper();
    if (t.isEmpty()) return Kind::Unknown;
    if (t.startsWith(u"DATE") || t == u"TIMESTAMP") return Kind::DateTime;
    if (t == u"CURRENCY" || t == u"MONEY") return Kind::Currency;
    if (t == u"YESNO" || t == u"BOOLEAN" || t == u"BIT") return Kind::YesNo;
    if (t.contains(u"INT") || t == u"LONG" || t == u"COUNTER") return Kind::Integer;
    if (t.contains(u"CHAR") || t.contains(u"TEXT") || t.contains(u"CLOB") || t == u"MEMO")
        return Kind::Text;
    if (t.contains(u"REAL") || t.contains(u"FLOA") || t.contains(u"DOUB") || t == u"NUMERIC")
        return Kind::Double;
    if (t.contains(u"BLOB") || t == u"PICTURE" || t == u"IMAGE" || t == u"OLEOBJECT")
        return Kind::Binary;
    return Kind::Unknown;
}

namespace {

// The stored form "yyyy-MM-dd[ HH:mm[:ss]]", with blanks around it allowed.
std::optional<QDateTime> ParseStoredForm(QStringView s) {
    const auto d = detail::StoredDateFromText(s.trimmed());
    return d ? std::optional(detail::FromStoredDate(*d)) : std::nullopt;
}

// The user's date forms, alone or followed by a time as ValueText writes it. A two-digit
// year falls in 1930-2029.
std::optional<QDateTime> ParseUserDate(const QString& s) {
    const QLocale loc;
    for (const auto fmt : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QString date = loc.dateFormat(fmt);
        const QString patterns[] = {date, date + QStringLiteral(" H:mm:ss"), date + QStringLiteral(" H:mm"),
                                    loc.dateTimeFormat(fmt)};
        for (const QString& pattern : patterns) {
            QDateTime dt = loc.toDateTime(s, pattern);
            if (!dt.isValid()) continue;
            if (!pattern.contains(QStringLiteral("yyyy")) && dt.date().year() < 1930) dt = dt.addYears(100);
            return dt;
        }
    }
    return std::nullopt;
}

}  // namespace

QString CanonicalDateText(const QDateTime& dt) {
    return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

int FullYear(int twoDigitYear) { return twoDigitYear + (twoDigitYear < 30 ? 2000 : 1900); }

std::optional<QDateTime> ParseDateLiteral(QStringView text) {
    if (auto stored = ParseStoredForm(text)) return stored;
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*(\d{1,2})/(\d{1,2})/(\d{2,4})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2}))?\s*([AaPp][Mm])?)?\s*$)"));
    const auto m = re.match(text.toString());
    if (!m.hasMatch()) return std::nullopt;
    int y = m.capturedView(3).toInt();
    if (m.capturedView(3).size() == 2) y = FullYear(y);
    int h = m.capturedView(4).isEmpty() ? 0 : m.capturedView(4).toInt();
    const int mi = m.capturedView(5).isEmpty() ? 0 : m.capturedView(5).toInt();
    const int se = m.capturedView(6).isEmpty() ? 0 : m.capturedView(6).toInt();
    const int mo = m.capturedView(1).toInt(), d = m.capturedView(2).toInt();
    const QStringView ampm = m.capturedView(7);
    if (!ampm.isEmpty()) {
        if (h < 1 || h > 12) return std::nullopt;
        const bool pm = ampm[0].toUpper() == u'P';
        h = (h % 12) + (pm ? 12 : 0);
    }
    if (!QDate::isValid(y, mo, d) || !QTime::isValid(h, mi, se)) return std::nullopt;
    return LocalDateTime(QDate(y, mo, d), QTime(h, mi, se));
}

QDateTime LocalDateTime(const QDate& date, const QTime& time, bool* skipped) {
    QDateTime local(date, time);
    if (skipped) *skipped = !local.isValid() && date.isValid() && time.isValid();
    if (local.isValid() || !date.isValid() || !time.isValid()) return local;
    // The offset in force before the change: the same time the day before, or midnight.
    QDateTime before(date.addDays(-1), time);
    if (!before.isValid()) before = QDateTime(date, QTime(0, 0));
    return QDateTime(date, time, QTimeZone::utc()).addSecs(-before.offsetFromUtc()).toLocalTime();
}

QString FilterDateText(const QDateTime& dt) {
    if (dt.time() == QTime(0, 0)) return dt.toString(QStringLiteral("yyyy-MM-dd"));
    return CanonicalDateText(dt);
}

std::optional<QDateTime> ToDateTime(const QVariant& v) {
    if (IsNull(v)) return std::nullopt;
    switch (v.metaType().id()) {
        case QMetaType::QDateTime: {
            const QDateTime dt = v.toDateTime();
            return dt.isValid() ? std::optional(dt) : std::nullopt;
        }
        case QMetaType::QDate: {
            const QDate d = v.toDate();
            return d.isValid() ? std::optional(QDateTime(d, QTime(0, 0))) : std::nullopt;
        }
        case QMetaType::QString: {
            // Text in the stored form, then as the user writes dates, then month/day/year.
            const QString s = v.toString().trimmed();
            if (auto dt = ParseStoredForm(s)) return dt;
            if (auto dt = ParseUserDate(s)) return dt;
            return ParseDateLiteral(s);
        }
        default:
            return std::nullopt;
    }
}

namespace {

// The user's locale without group separators, made again only when the default changes:
// setting the option copies the locale, and exports write hundreds of thousands of values.
const QLocale& TextLocale() {
    thread_local QLocale base, withOptions;
    thread_local bool made = false;
    if (!made || QLocale() != base) {
        base = QLocale();
        withOptions = base;
        withOptions.setNumberOptions(QLocale::OmitGroupSeparator);
        made = true;
    }
    return withOptions;
}

}  // namespace

QString ValueText(const QVariant& v) {
    if (IsNull(v)) return QString();
    const QLocale& loc = TextLocale();
    switch (v.metaType().id()) {
        case QMetaType::QDateTime: {
            const QDateTime dt = v.toDateTime();
            QString s = loc.toString(dt.date(), QLocale::ShortFormat);
            if (dt.time() != QTime(0, 0)) s += u' ' + dt.time().toString(QStringLiteral("HH:mm:ss"));
            return s;
        }
        case QMetaType::QDate:
            return loc.toString(v.toDate(), QLocale::ShortFormat);
        case QMetaType::Bool:
            return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        case QMetaType::Double:
            return loc.toString(v.toDouble(), 'g', 15);
        case QMetaType::Int:
        case QMetaType::LongLong:
            return loc.toString(v.toLongLong());
        default:
            break;
    }
    if (v.metaType() == QMetaType::fromType<Currency>())
        return v.value<Currency>().toPlainText().replace(u'.', loc.decimalPoint());
    return v.toString();
}

QString SqlQuote(const QString& text) {
    QString s = text;
    s.replace(u'\'', QStringLiteral("''"));
    return u'\'' + s + u'\'';
}

QString SqlNumber(double value) {
    if (std::isnan(value) || std::isinf(value)) return QStringLiteral("0");
    QString s = QString::number(value, 'f', 10);
    while (s.contains(u'.') && (s.endsWith(u'0') || s.endsWith(u'.'))) {
        const bool dot = s.endsWith(u'.');
        s.chop(1);
        if (dot) break;
    }
    return s;
}

}  // namespace db
