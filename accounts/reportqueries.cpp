#include "reportqueries.h"

#include "accounts/invoicerules.h"
#include "core/formatting.h"
#include "core/globals.h"
#include "platform/db/recordset.h"
#include "platform/report/report.h"

namespace reports {

namespace {

QString Literal(const QDate& d) { return u'#' + FormatSqlDate(QDateTime(d, QTime(0, 0))) + u'#'; }

// `column` >= the year's first day and < the next year's.
QString InYear(const QString& column, const QDate& start) {
    return u'(' + column + QStringLiteral(" >= ") + Literal(start) + QStringLiteral(" And ") +
           column + QStringLiteral(" < ") + Literal(start.addYears(1)) + u')';
}

const QString kInvoicesWithCustomers = QStringLiteral(
    "FROM Companies INNER JOIN Billing ON Companies.CompanyID = Billing.CompanyID WHERE ");

// The invoices with their customers, paid within the year: what the invoice report and the
// accountant's export both list. Paid by their stage too: one written off after it was marked
// paid keeps its payment date, but is no income.
QString PaidInYear(const QDate& start) {
    return kInvoicesWithCustomers + InYear(QStringLiteral("Billing.PaymentDate"), start) +
           QStringLiteral(" AND Billing.Stage = %1;").arg(invoice::kStagePaid);
}

}  // namespace

QString InvoiceAddressColumns() {
    QStringList columns;
    for (const char* part : {"Street", "Town", "County", "Country", "Postcode"})
        columns
            << QStringLiteral(
                   "IIf(Companies.IsBillingAddressSameasPostal <> 0, Companies.Postal_Address%1, "
                   "Companies.Billing_Address%1) AS %1")
                   .arg(QLatin1String(part));
    return columns.join(QStringLiteral(", "));
}

QString OneInvoiceFrom(qint64 invoiceNumber) {
    return kInvoicesWithCustomers + QStringLiteral("Billing.InvoiceNumber = ") +
           QString::number(invoiceNumber);
}

QString PrintedInvoiceSql(double vatMultiplier, qint64 invoiceNumber) {
    QString sql = QStringLiteral(
        "SELECT Billing.InvoiceNumber, Billing.BillingDate, Billing.InvoiceAmount, ");
    if (vatMultiplier != 0)
        sql += QStringLiteral("billing.invoiceamount * ") + QString::number(vatMultiplier - 1) +
               QStringLiteral(" as VAT, Billing.InvoiceAmount * ") +
               QString::number(vatMultiplier) + QStringLiteral(" as Total, ");
    return sql + QStringLiteral("Billing.InvoicePaymentDetails, Companies.CompanyName, ") +
           InvoiceAddressColumns() + u' ' + OneInvoiceFrom(invoiceNumber);
}

QString PrintedInvoiceWorkSql() {
    return QStringLiteral(
        "select JobID,Start,Finish,Duration,Description,PO_Number,Fee,InvoiceNumber from "
        "JobDetails "
        "where InvoiceNumber = ?");
}

QString InvoiceReportSql(const QDate& yearStart, double vatMultiplier) {
    QString sql = QStringLiteral(
        "SELECT Billing.InvoiceNumber, Billing.PaymentDate, Billing.InvoiceAmount, ");
    if (vatMultiplier != 0)
        sql += QStringLiteral("billing.invoiceamount * ") + QString::number(vatMultiplier - 1) +
               QStringLiteral(" as VAT, billing.invoiceamount * ") +
               QString::number(vatMultiplier) + QStringLiteral(" as subTotal, ");
    return sql + QStringLiteral("Companies.CompanyName ") + PaidInYear(yearStart);
}

QString YearEndInvoiceSql(const QDate& yearStart) {
    return QStringLiteral(
               "SELECT Billing.InvoiceNumber AS [Invoice Number], Companies.CompanyName AS "
               "Company, Billing.BillingDate AS [Invoice Date], Billing.PaymentDueDate AS "
               "[Payment Due On], Billing.PaymentDate as [Payment Date], Billing.InvoiceAmount "
               "AS Amount ") +
           PaidInYear(yearStart);
}

namespace {

QString ExpenseSubTotal(double perMile) {
    return QStringLiteral("IIf([milage] Is Null Or [milage]=0,[amount],[milage]*") +
           QString::number(perMile) + u')';
}

const QString kExpenseColumns = QStringLiteral(
    "SELECT Outgoings.RecordID, "
    "IIf([Start] Is Null,[Date],[Start] & ' to ' & [Finish]) AS [Dates], "
    "Companies.CompanyName, Outgoings.Type, Outgoings.Description");

// The year's expenses as two reads, each through its own index: those dated themselves and
// tied to no job, then those of the year's jobs. The same rows as the one condition joined
// by OR, which the engine can only answer by reading every job's expenses. The plus keeps it
// from reading every undated expense through the date index instead of the year's jobs.
QString ExpenseFromWhere(const QString& columns, const QDate& yearStart) {
    return columns +
           QStringLiteral(
               "FROM Companies RIGHT JOIN (JobDetails RIGHT JOIN Outgoings "
               "ON JobDetails.JobID = Outgoings.ScheduleID) "
               "ON Companies.CompanyID = JobDetails.CustomerID WHERE ") +
           InYear(QStringLiteral("Outgoings.Date"), yearStart) +
           QStringLiteral(" AND (JobDetails.Start Is Null) UNION ALL ") + columns +
           QStringLiteral(
               "FROM (JobDetails INNER JOIN Outgoings ON JobDetails.JobID = Outgoings.ScheduleID) "
               "LEFT JOIN Companies ON Companies.CompanyID = JobDetails.CustomerID "
               "WHERE (+Outgoings.Date Is Null) AND ") +
           InYear(QStringLiteral("JobDetails.Start"), yearStart) + u';';
}

const QString kReceipt = QStringLiteral("iif(outgoings.reciept = 0, 'No', 'Yes') as Receipt ");

}  // namespace

QString ExpenseReportSql(const QDate& yearStart, double vatMultiplier, double perMile) {
    const QString subT = ExpenseSubTotal(perMile);
    QString sql = kExpenseColumns + QStringLiteral(", ");
    if (vatMultiplier != 0) sql += QStringLiteral("Outgoings.Milage, ");
    sql += subT + QStringLiteral(" AS SubT, ");
    // SubT spelled out again: an alias cannot be used in its own select list.
    if (vatMultiplier != 0)
        sql += subT + QStringLiteral(" * ") + QString::number(vatMultiplier - 1) +
               QStringLiteral(" as VAT, ") + subT + QStringLiteral(" * ") +
               QString::number(vatMultiplier) + QStringLiteral(" as SubTotal, ");
    return ExpenseFromWhere(sql + kReceipt, yearStart);
}

QString YearEndExpenseSql(const QDate& yearStart, double perMile) {
    // Named so: the export's header and element names come from the column names.
    return ExpenseFromWhere(kExpenseColumns + QStringLiteral(" AS Description, ") +
                                ExpenseSubTotal(perMile) + QStringLiteral(" AS SubTotal, ") +
                                kReceipt,
                            yearStart);
}

void SetVatColumns(report::Report& r, bool vat) {
    report::Section* head = r.section(QStringLiteral("Section2"));
    report::Section* detail = r.section(QStringLiteral("Section1"));
    report::Section* total = r.section(QStringLiteral("Section5"));
    if (!vat) {
        for (const char* name : {"lblVAT", "lblAmm"}) head->control(name)->visible = false;
        head->control(QStringLiteral("lblSubT"))->caption = QStringLiteral("Amount");
        for (const char* name : {"txtVAT", "txtAmm"}) detail->control(name)->visible = false;
        for (const char* name : {"fncVAT", "fncAmm"}) total->control(name)->visible = false;
        return;
    }
    detail->control(QStringLiteral("txtVAT"))->dataField = QStringLiteral("VAT");
    detail->control(QStringLiteral("txtSubT"))->dataField = QStringLiteral("SubTotal");
    total->control(QStringLiteral("fncVAT"))->dataField = QStringLiteral("VAT");
    total->control(QStringLiteral("fncTotal"))->dataField = QStringLiteral("SubTotal");
}

void OpenRows(report::Report& r, db::Recordset& rows, const QString& sql) {
    if (!rows.Open(sql, DbConnection(), db::adOpenDynamic, db::adLockReadOnly))
        r.SetUpError = rows.LastError();
    r.DataSource = &rows;
}

}  // namespace reports
