#pragma once

#include <QDate>
#include <QString>

namespace db {
class Recordset;
}
namespace report {
class Report;
}

// The queries of the printed invoice and of the year's invoice and expense reports. A
// financial year runs from its first day, inclusive, to the same day a year later, exclusive.
namespace reports {

// The customer's invoice address as Street, Town, County, Country and Postcode: postal when
// the billing address is the same, else billing.
QString InvoiceAddressColumns();
// The FROM and WHERE of a query that reads one invoice with its customer.
QString OneInvoiceFrom(qint64 invoiceNumber);

// One invoice with its customer's invoice address (postal when the billing address is the
// same, else billing); with VAT also its VAT and gross total.
QString PrintedInvoiceSql(double vatMultiplier, qint64 invoiceNumber);
QString PrintedInvoiceWorkSql();  // the invoice's jobs, its number bound to "?"

// Invoices paid in the year starting on `yearStart`.
QString InvoiceReportSql(const QDate& yearStart, double vatMultiplier);
// The same invoices as the accountant's export lists them.
QString YearEndInvoiceSql(const QDate& yearStart);

// Expenses of the year: by their own date, or by their job's start when tied to one.
// Mileage is worth `perMile` pounds a mile; an expense without miles counts its amount.
QString ExpenseReportSql(const QDate& yearStart, double vatMultiplier, double perMile);
// The same expenses as the accountant's export lists them, one SubTotal each.
QString YearEndExpenseSql(const QDate& yearStart, double perMile);

// The year reports' money columns (lblAmm/txtAmm/fncAmm, lblVAT/txtVAT/fncVAT, lblSubT/txtSubT/
// fncTotal in Section2, Section1 and Section5): without VAT only the last, headed "Amount";
// with VAT the last two bound to the query's VAT and SubTotal.
void SetVatColumns(report::Report& r, bool vat);
// Opens the report's rows from `sql`; a query that fails leaves the report saying why.
void OpenRows(report::Report& r, db::Recordset& rows, const QString& sql);

}  // namespace reports
