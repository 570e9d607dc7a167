#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace db {
class Recordset;
}

// The invoice as a one-record merge source for word-processor templates, and the files the
// merge leaves behind, apart from the window that runs it.
namespace merge {

inline const QString kNoReports = QStringLiteral("No Reports found");
inline const QString kStillOpen = QStringLiteral(
    "You appear to still have an invoice open in your word processor, \r\nplease close this "
    "before attempting any further print operations.");
inline const QString kNoWordProcessor =
    QStringLiteral("No word processor is installed or configured to open documents");
// The paragraphs a new template starts with, after the owner's name and address.
inline const QString kGuide = QStringLiteral(
    "Welcome to the Ambrelle's template creator.  If you are not familiar with creating "
    "mailmerge documents in your word processor then we suggest that you read the help files "
    "associated with it.\r\rTo proceed, set out your invoice as you wish it to appear, however "
    "when you require an object from the database to appear in the invoice, for example the "
    "InvoiceNumber, copy it from the list below.\r\rOnce complete, just save the document under "
    "the same name, then you can access from inside the invoice print window.");

// How the two groups of dates are written: long or short.
struct DateForms {
    bool invoiceLong = true;
    bool jobLong = true;
};

// The invoice with its customer and invoice address (the billing address unless the
// customer's billing address is the postal one), read alone.
QString InvoiceSql(qint64 invoiceNumber);
// The work an invoice bills, in the order the database gives it.
QString JobsSql(qint64 invoiceNumber);

// A value as the merge writes it: money for Total and Fee, a long or short date (with the
// time when it is not midnight) for InvoiceDate, Start and Finish, anything else as stored.
QString MergeText(const QString& field, const QVariant& value, bool longDate);

// Field names in order and the one record's texts. The job fields hold one line per job
// ("\n" between them); a job with no value in a field adds no line to it.
struct Source {
    QStringList names;
    QStringList values;
    QMap<QString, QString> Record() const;
};
// From the invoice's current row and every row of its work.
Source BuildSource(db::Recordset& invoice, db::Recordset& jobs, DateForms forms);

// Where the merge writes its data document and merged invoices: the per-user data folder,
// made when missing, unless a test pointed it elsewhere.
QString DataFolder();
void SetDataFolder(const QString& folder);
QString DataDocPath();
// Whether a word processor has the document at `path` open: the lock file LibreOffice or
// Word keeps beside it exists (its name compared without regard to case).
bool HeldOpen(const QString& path);
// What a print that would overwrite a merged invoice still open in a word processor says.
QString StillOpenText(const QString& path);

// What clearing the way for a new data document found.
enum class Clearance { Clear, HeldOpen, Failed };
// Deletes a data document in `folder` (its name in any case), unless a word processor holds
// it open. A failure says why in `why`.
Clearance ClearDataDoc(const QString& folder, QString* why = nullptr);

// The file a template chosen as `fileName` is saved to: with ".docx" when it has no suffix.
QString TemplateFileName(const QString& fileName);

}  // namespace merge
