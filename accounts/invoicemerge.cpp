#include "invoicemerge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

#include "accounts/reportqueries.h"
#include "core/formatting.h"
#include "platform/db/recordset.h"

namespace merge {

namespace {

const QString kDataDocName = QStringLiteral("DataDoc.docx");

bool IsMoney(const QString& field) {
    return field.compare(u"Total", Qt::CaseInsensitive) == 0 ||
           field.compare(u"Fee", Qt::CaseInsensitive) == 0;
}

// Only the columns that hold dates are written as dates: a duration "2:30" or an order number
// "3/4" is the user's text.
bool IsDate(const QString& field) {
    for (const char* date : {"InvoiceDate", "Start", "Finish"})
        if (field.compare(QLatin1String(date), Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString& DataFolderOverride() {
    static QString folder;
    return folder;
}

}  // namespace

QString InvoiceSql(qint64 invoiceNumber) {
    return QStringLiteral(
               "SELECT Billing.InvoiceNumber, Billing.BillingDate as InvoiceDate, "
               "Billing.InvoiceAmount as Total, Billing.InvoicePaymentDetails, "
               "Companies.CompanyName as Customer, ") +
           reports::InvoiceAddressColumns() + u' ' + reports::OneInvoiceFrom(invoiceNumber) + u';';
}

QString JobsSql(qint64 invoiceNumber) {
    return QStringLiteral(
               "SELECT JobDetails.Start, JobDetails.Finish, JobDetails.Duration, "
               "JobDetails.Description, JobDetails.PO_Number, JobDetails.Fee ") +
           QStringLiteral("FROM JobDetails where invoicenumber = ") +
           QString::number(invoiceNumber);
}

QString MergeText(const QString& field, const QVariant& value, bool longDate) {
    if (db::IsNull(value)) return QString();
    if (IsMoney(field)) return FormatMoney(value);
    if (IsDate(field)) {
        bool ok = false;
        const QString text =
            longDate ? FormatLongDateTime(value, &ok) : FormatShortDateTime(value, &ok);
        if (ok) return text;
    }
    return value.toString();
}

QMap<QString, QString> Source::Record() const {
    QMap<QString, QString> record;
    for (int i = 0; i < names.size(); ++i) record[names[i]] = values.value(i);
    return record;
}

Source BuildSource(db::Recordset& invoice, db::Recordset& jobs, DateForms forms) {
    Source source;
    for (int f = 0; f < invoice.FieldCount(); ++f) {
        db::Field field = invoice.Fields(f);
        source.names << field.Name();
        source.values << (invoice.Eof() || invoice.Bof()
                              ? QString()
                              : MergeText(field.Name(), field.Value(), forms.invoiceLong));
    }
    QList<QStringList> lines(jobs.FieldCount());
    for (int f = 0; f < jobs.FieldCount(); ++f) source.names << jobs.Fields(f).Name();
    if (jobs.RecordCount() > 0) {
        for (jobs.MoveFirst(); !jobs.Eof(); jobs.MoveNext()) {
            for (int f = 0; f < jobs.FieldCount(); ++f) {
                db::Field field = jobs.Fields(f);
                const QString text = MergeText(field.Name(), field.Value(), forms.jobLong);
                if (!text.isEmpty()) lines[f] << text;
            }
        }
    }
    for (const QStringList& cell : lines) source.values << cell.join(u'\n');
    return source;
}

void SetDataFolder(const QString& folder) { DataFolderOverride() = folder; }

QString DataFolder() {
    const QString folder = DataFolderOverride().isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                               : DataFolderOverride();
    QDir().mkpath(folder);
    return folder;
}

QString DataDocPath() { return QDir(DataFolder()).filePath(kDataDocName); }

bool HeldOpen(const QString& path) {
    const QFileInfo document(path);
    const QString name = document.fileName();
    for (const QFileInfo& entry : document.dir().entryInfoList(QDir::Files | QDir::Hidden)) {
        const QString other = entry.fileName();
        // The lock files LibreOffice and Word keep beside a document they have open.
        if (other.compare(QStringLiteral(".~lock.") + name + u'#', Qt::CaseInsensitive) == 0 ||
            other.compare(QStringLiteral("~$") + name.mid(2), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString StillOpenText(const QString& path) {
    return QStringLiteral(
               "The invoice \"%1\" is still open in your word processor. \r\nPlease close it "
               "there, then print it again.")
        .arg(QDir::toNativeSeparators(path));
}

Clearance ClearDataDoc(const QString& folder, QString* why) {
    const QDir dir(folder);
    if (HeldOpen(dir.filePath(kDataDocName))) return Clearance::HeldOpen;
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files)) {
        if (entry.fileName().compare(kDataDocName, Qt::CaseInsensitive) != 0) continue;
        std::error_code error;
        if (std::filesystem::remove(QFile::encodeName(entry.filePath()).toStdString(), error))
            continue;
        if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted)
            return Clearance::HeldOpen;
        if (why)
            *why = QStringLiteral("The old data document \"%1\" could not be removed: %2")
                       .arg(QDir::toNativeSeparators(entry.filePath()),
                            QString::fromLocal8Bit(error.message().c_str()));
        return Clearance::Failed;
    }
    return Clearance::Clear;
}

QString TemplateFileName(const QString& fileName) {
    if (fileName.isEmpty() || !QFileInfo(fileName).suffix().isEmpty()) return fileName;
    return fileName + QStringLiteral(".docx");
}

}  // namespace merge
