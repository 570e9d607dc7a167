#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "platform/db/connection.h"

// The year's figures for the accountant: the expenses and the paid invoices as CSV and
// XML files in the program's folder, and the mail that carries them.
namespace yearend {

struct Files {
    QString expenseCsv, expenseXml, invoiceCsv, invoiceXml;
    // In the order the mail attaches them.
    QStringList all() const { return {expenseCsv, expenseXml, invoiceCsv, invoiceXml}; }
};
// `yearText` as the financial-year list shows it.
Files FilesFor(const QString& folder, const QString& yearText);

enum class Written { Failed, WithoutPaidInvoices, All };
// Writes the four files anew: the year's expenses and the invoices paid in the year, as the
// year's reports list them (a year without expenses gets header-only expense files, so no
// file of an earlier run is left to be mailed). The four replace the old ones together or
// not at all. `error` says what failed.
Written WriteFiles(db::Connection& connection, const Files& files, const QDate& yearStart,
                   double perMile, QString* error);

// The question for the accountant's address when the System row holds none.
inline const QString kAccountantPrompt = QStringLiteral(
    "Please enter your accountant's e-mail address (several may be separated by \";\"):");
inline const QString kAccountantTitle = QStringLiteral("Accountant's e-mail address");
// Whether `text` has the form of one or more mail addresses (name@domain.tld) separated by ";".
bool IsMailAddressList(const QString& text);
QString NotAnAddress(const QString& text);
inline const QString kAccountantNotKept = QStringLiteral(
    "The accountant's e-mail address could not be kept; it will be asked for again next time.");

QString MailSubject(const QString& owner);
// `year` as the year list shows it, the one the files are named after.
QString MailBody(const QString& owner, const QString& year);
// What the user is told about a send's Simple MAPI code; empty for a code without one.
QString SendResultText(std::uint32_t code);

}  // namespace yearend
