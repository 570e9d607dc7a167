#include "yearend.h"

#include <QDir>
#include <QSaveFile>

#include "core/exporttext.h"
#include "platform/db/recordset.h"
#include "reportqueries.h"

namespace yearend {

namespace {

bool FileFailed(const QSaveFile& file, QString* error) {
    *error = QDir::toNativeSeparators(file.fileName()) + QStringLiteral(": ") + file.errorString();
    return false;
}

TextSink Into(QSaveFile& file) {
    return [&file](const QString& piece) {
        const QByteArray bytes = piece.toUtf8();
        return file.write(bytes) == bytes.size();
    };
}

// Rows of `sql` into a CSV and an XML file in UTF-8, both from one reading of the rows and
// written as they are read; not committed. False with `error` set on failure.
bool Export(db::Connection& connection, const QString& sql, const QString& rowName, QSaveFile& csv,
            QSaveFile& xml, bool* hadRows, QString* error) {
    db::Recordset rs;
    if (!rs.Open(sql, connection, db::adOpenStatic, db::adLockReadOnly)) {
        *error = rs.LastError();
        return false;
    }
    *hadRows = rs.RecordCount() > 0;
    if (!csv.open(QIODevice::WriteOnly)) return FileFailed(csv, error);
    if (!xml.open(QIODevice::WriteOnly)) return FileFailed(xml, error);
    // The mark lets spreadsheet programs read the CSV as UTF-8 ("£", accents).
    const QByteArray mark("\xEF\xBB\xBF");
    const bool written =
        csv.write(mark) == mark.size() &&
        (*hadRows ? RecordsetToCsvAndXml(rs, Into(csv), rowName, Into(xml))
                  : Into(csv)(CsvHeader(rs)) && Into(xml)(XmlDataroot(QString()))) &&
        Into(xml)(QStringLiteral("\r\n"));
    if (written) return true;
    if (csv.error() != QFileDevice::NoError) return FileFailed(csv, error);
    if (xml.error() != QFileDevice::NoError) return FileFailed(xml, error);
    *error = rs.LastError();
    return false;
}

}  // namespace

Files FilesFor(const QString& folder, const QString& yearText) {
    const QDir dir(folder);
    return {dir.filePath(QStringLiteral("Expenses_") + yearText + QStringLiteral(".csv")),
            dir.filePath(QStringLiteral("Expenses_") + yearText + QStringLiteral(".xml")),
            dir.filePath(QStringLiteral("Invoices_") + yearText + QStringLiteral(".csv")),
            dir.filePath(QStringLiteral("Invoices_") + yearText + QStringLiteral(".xml"))};
}

Written WriteFiles(db::Connection& connection, const Files& files, const QDate& yearStart,
                   double perMile, QString* error) {
    // The files take their names only once all four are written, so that a failure, a kill
    // or a full disk never leaves this run's files beside an earlier run's.
    QSaveFile expenseCsv(files.expenseCsv), expenseXml(files.expenseXml),
        invoiceCsv(files.invoiceCsv), invoiceXml(files.invoiceXml);
    bool expenses = false, invoices = false;
    if (!Export(connection, reports::YearEndExpenseSql(yearStart, perMile),
                QStringLiteral("Expenses"), expenseCsv, expenseXml, &expenses, error) ||
        !Export(connection, reports::YearEndInvoiceSql(yearStart), QStringLiteral("Invoices"),
                invoiceCsv, invoiceXml, &invoices, error))
        return Written::Failed;
    const auto failed = [error](const QSaveFile& file) {
        FileFailed(file, error);
        return Written::Failed;
    };
    // All four written out before the first is renamed, so that a full disk is found first.
    const auto all = {&expenseCsv, &expenseXml, &invoiceCsv, &invoiceXml};
    for (QSaveFile* file : all)
        if (!file->flush()) return failed(*file);
    for (QSaveFile* file : all)
        if (!file->commit()) return failed(*file);
    return invoices ? Written::All : Written::WithoutPaidInvoices;
}

QString MailSubject(const QString& owner) {
    return QStringLiteral("Ambrelle accounts files for ") + owner + QStringLiteral(" attached");
}

QString MailBody(const QString& owner, const QString& year) {
    return QStringLiteral("Please find attached the end of year return for ") + owner +
           QStringLiteral(" for the financial year ending ") + year +
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
