#include "yearend.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>

#include "core/exporttext.h"
#include "platform/db/recordset.h"
#include "platform/files/fileset.h"
#include "platform/files/savefile.h"
#include "reportqueries.h"

namespace yearend {

namespace {

// What failed in writing `file`, by the target it stands for, with the system's reason.
bool FileFailed(const QFile& file, const QString& target, int code, QString* error) {
    *error = QDir::toNativeSeparators(target) + QStringLiteral(": ") + files::Reason(file, code);
    return false;
}

// Each piece appended to the file; a failed write leaves its errno in `code`.
TextSink Into(QFile& file, int* code) {
    return [&file, code](const QString& piece) {
        const QByteArray bytes = piece.toUtf8();
        errno = 0;
        if (file.write(bytes) == bytes.size()) return true;
        *code = errno;
        return false;
    };
}

// Rows of `sql` into a CSV and an XML file in UTF-8, both from one reading of the rows and
// written as they are read; not committed. False with `error` set on failure.
bool Export(db::Connection& connection, const QString& sql, const QString& rowName,
            files::FileSet& set, const QString& csvPath, const QString& xmlPath, bool* hadRows,
            QString* error) {
    db::Recordset rs;
    if (!rs.Open(sql, connection, db::adOpenStatic, db::adLockReadOnly)) {
        *error = rs.LastError();
        return false;
    }
    *hadRows = rs.RecordCount() > 0;
    QFile* csv = set.Add(csvPath, error);
    QFile* xml = csv ? set.Add(xmlPath, error) : nullptr;
    if (!xml) return false;
    int csvCode = 0, xmlCode = 0;
    // The mark lets spreadsheet programs read the CSV as UTF-8 ("£", accents).
    const QChar mark(0xFEFF);
    const bool written =
        Into(*csv, &csvCode)(QString(mark)) &&
        (*hadRows ? RecordsetToCsvAndXml(rs, Into(*csv, &csvCode), rowName, Into(*xml, &xmlCode))
                  : Into(*csv, &csvCode)(CsvHeader(rs)) &&
                        Into(*xml, &xmlCode)(XmlDataroot(QString()))) &&
        Into(*xml, &xmlCode)(QStringLiteral("\r\n"));
    if (written) return true;
    if (csv->error() != QFileDevice::NoError || csvCode != 0)
        return FileFailed(*csv, csvPath, csvCode, error);
    if (xml->error() != QFileDevice::NoError || xmlCode != 0)
        return FileFailed(*xml, xmlPath, xmlCode, error);
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
    // The four replace the old ones together or not at all: a failure, a full disk or a kill
    // never leaves this run's files beside an earlier run's.
    files::FileSet set;
    bool expenses = false, invoices = false;
    if (!Export(connection, reports::YearEndExpenseSql(yearStart, perMile),
                QStringLiteral("Expenses"), set, files.expenseCsv, files.expenseXml, &expenses,
                error) ||
        !Export(connection, reports::YearEndInvoiceSql(yearStart), QStringLiteral("Invoices"), set,
                files.invoiceCsv, files.invoiceXml, &invoices, error) ||
        !set.Commit(error))
        return Written::Failed;
    return invoices ? Written::All : Written::WithoutPaidInvoices;
}

bool IsMailAddressList(const QString& text) {
    // The form only: something before one "@", a domain of dotted names after it.
    static const QRegularExpression address(
        QStringLiteral(R"re(^[^\s@<>()",;:]+@[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)*\.[A-Za-z]{2,}$)re"));
    // A ";" at the end, or doubled, separates nothing.
    QStringList parts;
    for (const QString& part : text.split(u';'))
        if (!part.trimmed().isEmpty()) parts << part.trimmed();
    return !parts.isEmpty() && std::all_of(parts.cbegin(), parts.cend(), [](const QString& a) {
        return address.match(a).hasMatch();
    });
}

QString NotAnAddress(const QString& text) {
    return QStringLiteral(
               "\"%1\" is not an e-mail address. Please type one such as "
               "name@example.co.uk (several may be separated by \";\").")
        .arg(text);
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
