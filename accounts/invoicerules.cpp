#include "invoicerules.h"

#include <QLocale>

#include "core/formatting.h"
#include "platform/db/value.h"

namespace invoice {

QString PaymentRefusal(const QDate& paid, const QVariant& invoiceDate) {
    const auto dated = ParseDbDate(invoiceDate);
    if (!dated || paid >= *dated) return QString();
    const QLocale loc;
    return QStringLiteral("Payment date (") + loc.toString(paid, QLocale::ShortFormat) +
           QStringLiteral(") cannot occur before Invoice Date (") +
           loc.toString(*dated, QLocale::ShortFormat) + QStringLiteral(").");
}

QString WriteOffDetails(const QDate& today, const QString& reason, const QVariant& oldTerms) {
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("INVOICE WRITTEN OFF ON: ") +
           QLocale().toString(today, QLocale::ShortFormat) + crlf + QStringLiteral("REASON: ") +
           crlf + reason + crlf + (db::IsNull(oldTerms) ? QString() : oldTerms.toString());
}

std::optional<db::Currency> Outstanding(db::Currency amount, double vatMultiplier,
                                        const std::optional<db::Currency>& paid) {
    const auto owed = vatMultiplier != 0 ? amount.times(vatMultiplier) : amount;
    return owed && paid ? owed->minus(*paid) : std::nullopt;
}

QString AttachCandidatesSql(qint64 companyId, const QVariant& billingDate) {
    return QStringLiteral(
               "select "
               "JobID,Invoicenumber,Start,Finish,Duration,Description,PO_Number,Fee,SignedOff "
               "from JobDetails ") +
           QStringLiteral(
               "where JobDetails.Cancelled=False and invoicenumber = 0 and customerid = ") +
           QString::number(companyId) + QStringLiteral(" and finish < #") +
           FormatSqlDate(billingDate) + QStringLiteral(" 23:59#");
}

double CellNumber(const QString& text) {
    bool ok = false;
    const double n = text.trimmed().toDouble(&ok);
    return ok ? n : 0;
}

}  // namespace invoice
