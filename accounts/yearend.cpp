#include "yearend.h"

#include <QDir>
#include <QSaveFile>

#include "core/exporttext.h"
#include "platform/db/recordset.h"
#include "reportqueries.h"

namespace yearend {

namespace {

// The rows of `sql` into a CSV and an XML file, each written anew; false with `error` set.
bool Export(db::Connection& connection, const QString& sql, const QString& rowName,
            const QString& csvPath, const QString& xmlPath, bool* hadRows, QString* error) {
    db::Recordset rs;
    if (!rs.Open(sql, connection, db::adOpenStatic, db::adLockReadOnly)) {
        *error = rs.LastError();
        return false;
    }
    *hadRows = rs.RecordCount() > 0;
    QSaveFile csv(csvPath), xml(xmlPath);
    const auto fileError = [error](const QSaveFile& f) {
        *error = QDir::toNativeSeparators(f.fileName()) + QStringLiteral(": ") + f.errorString();
        return false;
    };
    const auto into = [](QSaveFile& f) {
        return [&f](const QString& piece) {
            const QByteArray bytes = piece.toUtf8();
            return f.write(bytes) == bytes.size();
        };
    };
    if (!csv.open(QIODevice::WriteOnly)) return fileError(csv);
    if (!xml.open(QIODevice::WriteOnly)) return fileError(xml);
    // The mark lets spreadsheet programs read the CSV as UTF-8 ("£", accents).
    const QByteArray mark("\xEF\xBB\xBF");
    if (csv.write(mark) != mark.size()) return fileError(csv);
    const bool written = *hadRows ? RecordsetToCsvAndXml(rs, into(csv), rowName, into(xml))
                                  : into(csv)(CsvHeader(rs)) && into(xml)(XmlDataroot(QString()));
    if (!written) {
        if (csv.error() != QFileDevice::NoError) return fileError(csv);
        if (xml.error() != QFileDevice::NoError) return fileError(xml);
        *error = rs.LastError();
        return false;
    }
    if (!into(xml)(QStringLiteral("\r\n")) || !xml.commit()) return fileError(xml);
    if (!csv.commit()) return fileError(csv);
    return true;
}

}  // namespace

Files FilesFor(const QString& folder, const QString& yearText) {
    const QDir dir(folder);
    return {dir.filePath(QStringLiteral("Expenses_") + yearText + QStringLiteral(".csv")),
            dir.filePath(QStringLiteral("Expenses_") + yearText + QStringLiteral(".xml")),
            dir.filePath(QStringLiteral("Invoices_") + yearText + QStringLiteral(".csv")),
            dir.filePath(QStringLiteral("Invoices_") + yearText + QStringLiteral(".xml"))};
}

QString InvoiceSql() {
    return QStringLiteral(
        "SELECT Billing.InvoiceNumber AS [Invoice Number], Companies.CompanyName AS Company, "
        "Billing.BillingDate AS [Invoice Date], Billing.PaymentDueDate AS [Payment Due On], "
        "Billing.PaymentDate as [Payment Date], Billing.InvoiceAmount AS Amount "
        "FROM Companies INNER JOIN Billing ON Companies.CompanyID = Billing.CompanyID "
        "where billing.stage = 3");
}

Written WriteFiles(db::Connection& connection, const Files& files, const QDate& yearStart,
                   double perMile, QString* error) {
    bool expenses = false, invoices = false;
    if (!Export(connection, reports::YearEndExpenseSql(yearStart, perMile),
                QStringLiteral("Expenses"), files.expenseCsv, files.expenseXml, &expenses, error))
        return Written::Failed;
    if (!Export(connection, InvoiceSql(), QStringLiteral("Invoices"), files.invoiceCsv,
                files.invoiceXml, &invoices, error))
        return Written::Failed;
    return invoices ? Written::All : Written::WithoutPaidInvoices;
}

QString MailSubject(const QString& owner) {
    return QStringLiteral("Ambrelle accounts files for ") + owner + QStringLiteral(" attached");
}

QString MailBody(const QString& owner, const QDate& yearEnd) {
    return QStringLiteral("Please find attached the end of year return for ") + owner +
           QStringLiteral(" for the financial year ending ") + QString::number(yearEnd.year()) +
           QStringLiteral(", please acknowledge the reciept of these files.");
}

QString SendResultText(std::uint32_t code) {
    // Indexed by the code; Simple MAPI has no code 7.
    // clang-format off
    static const char* const reasons[] = {
        nullptr, "User Aborted", "General Failure", "Login Failure", "Disk Full",
        "Insufficient Memory", "Access Denied", nullptr, "Too Many Sessions", "Too Many Files",
        "Too Many Recipients", "Attachment Not Found", "Attachment Open Failure",
        "Attachment Write Failure", "Unknown Recipient", "Bad Recipient Type", "No Messages",
        "Invalid Message", "Text Too Large", "Invalid Session", "Type Not Supported",
        "Ambiguous Recipient", "Message In Use", "Network Failure", "Invalid Edit Fields",
        "Invalid Recipients", "Not Supported"};
    // clang-format on
    if (code == 0)
        return QStringLiteral(
            "Operation complete, your end of year accounts have been sent to your accountant.");
    if (code >= std::size(reasons) || !reasons[code]) return QString();
    return QStringLiteral("Operation failed, could not send an email - ") +
           QString::fromLatin1(reasons[code]);
}

}  // namespace yearend
