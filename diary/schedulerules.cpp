#include "schedulerules.h"

#include <QLocale>
#include <QRegularExpression>

#include "platform/db/value.h"

namespace schedule {

QStringList HourlyTimes() {
    QStringList times;
    for (int h = 0; h < 24; ++h) times << QStringLiteral("%1:00").arg(h, 2, 10, QLatin1Char('0'));
    return times;
}

QString TimeText(const QDateTime& value) {
    return value.isValid() ? value.time().toString(QStringLiteral("HH:mm")) : QString();
}

std::optional<QDateTime> ComposeDateTime(const QDate& date, const QString& time, QString* error) {
    auto fail = [&](const QString& text) -> std::optional<QDateTime> {
        if (error) *error = text;
        return std::nullopt;
    };
    if (!date.isValid()) return fail(QStringLiteral("The date is not a valid date."));
    const QString t = time.trimmed();
    if (t.isEmpty()) return QDateTime(date, QTime(0, 0));
    // A bare number is no time; hours need minutes after them or AM/PM.
    static const QRegularExpression form(
        QStringLiteral(R"(^(\d{1,2})(?::(\d{1,2})(?::(\d{1,2}))?)?\s*(am|pm|a|p)?$)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = form.match(t);
    const QString notATime =
        QStringLiteral("Type mismatch: \"%1\" is not a time of day (hh:mm).").arg(t);
    if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(4).isEmpty()))
        return fail(notATime);
    int h = m.captured(1).toInt();
    const int min = m.captured(2).isEmpty() ? 0 : m.captured(2).toInt();
    const int sec = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    const QString half = m.captured(4).toLower();
    if (!half.isEmpty()) {
        if (h > 12) return fail(notATime);
        if (half.startsWith(u'p') && h < 12) h += 12;
        if (half.startsWith(u'a') && h == 12) h = 0;
    }
    if (h > 23 || min > 59 || sec > 59) return fail(notATime);
    const QTime clock(h, min, sec);
    bool skipped = false;
    const QDateTime composed = db::LocalDateTime(date, clock, &skipped);
    if (skipped) return fail(ClocksForwardMessage(date, clock));
    return composed;
}

QString ClocksForwardMessage(const QDate& date, const QTime& time) {
    return QStringLiteral(
               "%1 does not exist on %2 because the clocks go forward that night. Please choose "
               "another time.")
        .arg(time.toString(QStringLiteral("HH:mm")), QLocale().toString(date, QLocale::ShortFormat));
}

bool IsInvoiced(const QVariant& invoiceNumber) {
    return !db::IsNull(invoiceNumber) && invoiceNumber.toLongLong() != 0;
}

AppointmentCheck CheckAppointment(const QVariant& invoiceNumber, const QVariant& customerId,
                                  bool customerListed, const QDate& startDate,
                                  const QString& startTime, const QDate& finishDate,
                                  const QString& finishTime) {
    AppointmentCheck check;
    if (IsInvoiced(invoiceNumber)) {
        check.refusal = kInvoicedLock;
        return check;
    }
    // A row without a company is left out of every list that joins the customer.
    if (db::IsNull(customerId) || customerId.toLongLong() <= 0 || !customerListed) {
        check.refusal = kNoCustomer;
        return check;
    }
    const auto start = ComposeDateTime(startDate, startTime, &check.refusal);
    if (!start) return check;
    const auto finish = ComposeDateTime(finishDate, finishTime, &check.refusal);
    if (!finish) return check;
    if (*finish < *start) {
        check.refusal = kFinishBeforeStart;
        return check;
    }
    check.start = *start;
    check.finish = *finish;
    return check;
}

}  // namespace schedule
