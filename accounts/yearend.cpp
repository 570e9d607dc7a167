#include "yearend.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/exporttext.h"
#include "platform/db/recordset.h"
#include "reportqueries.h"

namespace yearend {

namespace {

// The files are written under names of their own and take their real names only once all
// of them are written, so that a kill or a full disk never leaves this run's files beside
// an earlier run's. A run that fails removes what it wrote; one that was killed leaves
// names the next run writes over.
class PendingFiles {
  public:
    PendingFiles() = default;
    PendingFiles(const PendingFiles&) = delete;
    PendingFiles& operator=(const PendingFiles&) = delete;
    ~PendingFiles() {
        for (const QString& path : written_) QFile::remove(Pending(path));
    }

    bool Write(const QString& path, const QByteArray& bytes, QString* error) {
        QFile file(Pending(path));
        written_ << path;
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
            file.write(bytes) == bytes.size() && file.flush() && ::fsync(file.handle()) == 0)
            return true;
        *error = QDir::toNativeSeparators(path) + QStringLiteral(": ") + file.errorString();
        return false;
    }

    bool Commit(QString* error) {
        while (!written_.isEmpty()) {
            const QString path = written_.takeFirst();
            // rename() puts the new file in the old one's place in one step.
            if (std::rename(QFile::encodeName(Pending(path)).constData(),
                            QFile::encodeName(path).constData()) != 0) {
                *error = QDir::toNativeSeparators(path) + QStringLiteral(": ") +
                         QString::fromLocal8Bit(std::strerror(errno));
                written_.prepend(path);
                return false;
            }
        }
        return true;
    }

  private:
    static QString Pending(const QString& path) { return path + QStringLiteral(".part"); }
    QStringList written_;
};

// Rows of `sql` as CSV and XML text in UTF-8, both from one reading of the rows; false with
// `error` set on failure.
bool Export(db::Connection& connection, const QString& sql, const QString& rowName,
            QByteArray* csvBytes, QByteArray* xmlBytes, bool* hadRows, QString* error) {
    db::Recordset rs;
    if (!rs.Open(sql, connection, db::adOpenStatic, db::adLockReadOnly)) {
        *error = rs.LastError();
        return false;
    }
    *hadRows = rs.RecordCount() > 0;
    const auto into = [](QByteArray* bytes) {
        return [bytes](const QString& piece) {
            *bytes += piece.toUtf8();
            return true;
        };
    };
    // The mark lets spreadsheet programs read the CSV as UTF-8 ("£", accents).
    *csvBytes = QByteArray("\xEF\xBB\xBF");
    xmlBytes->clear();
    const bool written = *hadRows ? RecordsetToCsvAndXml(rs, into(csvBytes), rowName, into(xmlBytes))
                                  : into(csvBytes)(CsvHeader(rs)) && into(xmlBytes)(XmlDataroot(QString()));
    if (!written) {
        *error = rs.LastError();
        return false;
    }
    *xmlBytes += "\r\n";
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

Written WriteFiles(db::Connection& connection, const Files& files, const QDate& yearStart,
                   double perMile, QString* error) {
    bool expenses = false, invoices = false;
    QByteArray expenseCsv, expenseXml, invoiceCsv, invoiceXml;
    if (!Export(connection, reports::YearEndExpenseSql(yearStart, perMile),
                QStringLiteral("Expenses"), &expenseCsv, &expenseXml, &expenses, error) ||
        !Export(connection, reports::YearEndInvoiceSql(yearStart), QStringLiteral("Invoices"),
                &invoiceCsv, &invoiceXml, &invoices, error))
        return Written::Failed;
    PendingFiles out;
    if (!out.Write(files.expenseCsv, expenseCsv, error) ||
        !out.Write(files.expenseXml, expenseXml, error) ||
        !out.Write(files.invoiceCsv, invoiceCsv, error) ||
        !out.Write(files.invoiceXml, invoiceXml, error) || !out.Commit(error))
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
