#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <optional>

#include "platform/db/currency.h"

// The invoice life cycle's rules and texts, apart from the windows that show them.
namespace invoice {

// Billing.Stage: below 2 saved, then sent, paid, written off.
inline constexpr int kStageSent = 2;
inline constexpr int kStagePaid = 3;
inline constexpr int kStageWrittenOff = 4;

inline const QString kNeedsCustomer =
    QStringLiteral("Please select a customer to bill before attaching work");
inline const QString kAttachQuestion =
    QStringLiteral("This will save this invoice and allocate an invoice number");
inline const QString kAttachTitle = QStringLiteral("Do you want to continue?");
inline const QString kDueQuestion = QStringLiteral("When is the invoice due to be paid?");
inline const QString kPaidQuestion = QStringLiteral("Specify the date payment was received:");
inline const QString kPartPaidQuestion =
    QStringLiteral("Specify the date this part payment was received:");
inline const QString kNoRemovalWhenSent =
    QStringLiteral("You cannot remove work once an invoice has been sent.");
inline const QString kNoWorkAttached = QStringLiteral("No work attached to this invoice");
inline const QString kNoWorkFound = QStringLiteral("No work found, try changing the invoice date");
inline const QString kWriteOffTitle = QStringLiteral("Write-off an Invoice");
inline const QString kWriteOffPrompt = QStringLiteral(
    "WARNING, This operation is not reversible, if you do not wish to continue click Cancel now. "
    "\r\n\r\nWhat is the reason for writing off this invoice?:\r\n(this may be used for tax "
    "purposes)");
inline const QString kPrintingNotAvailable =
    QStringLiteral("Printing is not available in this version of the program.");
inline const QString kSaveBeforePartPayment =
    QStringLiteral("Please save this invoice before recording a part payment.");

// Empty when a payment received on `paid` may settle an invoice dated `invoiceDate` (on or
// after it); otherwise the message that refuses it. An invoice without a date refuses none.
QString PaymentRefusal(const QDate& paid, const QVariant& invoiceDate);

// Payment terms after a write-off on `today` for `reason`, the old terms kept below.
QString WriteOffDetails(const QDate& today, const QString& reason, const QVariant& oldTerms);

// What is still owed: the amount, with VAT when the owner charges it, less the payments;
// nullopt when that is beyond the currency's range.
std::optional<db::Currency> Outstanding(db::Currency amount, double vatMultiplier,
                                        const std::optional<db::Currency>& paid);

// The work of a customer that an invoice dated `billingDate` may bill: not cancelled, not
// invoiced, finished before 23:59 of that day.
QString AttachCandidatesSql(qint64 companyId, const QVariant& billingDate);

// The number a grid cell's text holds (as the main window reads invoice numbers), 0 for
// a text that is no number.
double CellNumber(const QString& text);

}  // namespace invoice
