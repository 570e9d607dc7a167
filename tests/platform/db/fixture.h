#pragma once

// Sample rows shared by the database-layer tests. A fresh database gets the same keys
// every time, so data tables can name them.

#include <QDateTime>
#include <QString>
#include <QVariant>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace dbtest {

enum Ids {
    // Companies
    kAcme = 1,    // billing address same as postal
    kOBrien = 2,  // "O'Brien Ltd"
    // contacts
    kAnn = 1,
    kBob = 2 /* no last name (Null) */,
    kCy = 3,
    // Billing
    kInvPaid = 1,   // Acme, 20 Apr 2026, 250, stage 3, paid 1 May 2026
    kInvSaved = 2,  // O'Brien, 2 May 2026, 80, no stage written
    kInvSent = 3,   // Acme, 1 Dec 2025, 40, stage 2
    // JobDetails
    kJobSurvey = 1,      // Acme, 2 Apr 2026 09-11, fee 120.5
    kJobCancelled = 2,   // Acme, 10 Apr 2026, cancelled
    kJobInvoiced = 3,    // Acme, 3 May 2026, on kInvPaid
    kJobOccurrence = 4,  // Acme, 9 Apr 2026, occurrence of kJobSurvey
    kJobOrphan = 5,      // customer row missing
    kJobCheck = 6,       // O'Brien, 20 Apr 2026 10-12
    kJobCount = 6,
    // Outgoings
    kExpMiles = 1,    // 30 miles on kJobSurvey
    kExpParking = 2,  // 5.50, 15 Apr 2026, no appointment, receipt held
    kExpOld = 3,      // 3.00, 10 Jan 2025, no appointment
    // System
    kSysParkingType = 12,
    kSysRows = 15,
};

// Financial year of the samples: 1 April 2026 to 31 March 2027.
QDate FinYearStart();

void AddSampleRows(db::Connection& c);

QDateTime At(int y, int m, int d, int h = 0, int min = 0);

// Rows of a record set's field, from the current row to the end, joined with ",".
QString Column(db::Recordset& rs, const QString& field);

// The main window's appointment list: a join with an expression column.
inline const QString kAppointments = QStringLiteral(
    "select JobID, Start, Finish, Description, CompanyName as Customer, Duration, PO_Number, "
    "iif(invoicenumber = 0, 'No', 'Yes') as 'Invoiced?' FROM JobDetails inner join companies on "
    "(jobdetails.customerid = companies.companyid) WHERE (((JobDetails.Cancelled)=False)) ORDER BY "
    "JobDetails.Start");

// The appointment editor's rows.
inline const QString kScheduleJobs = QStringLiteral(
    "select JobID, Start, Finish, Duration, Description, PO_Number, Fee, CustomerID, StageID, "
    "Cancelled, invoicenumber, masterappointment, pattern, Outlook_LastUpdate FROM JobDetails;");

// The main window's invoice query: a grouped join whose rows are written through aliases.
inline const QString kBilling = QStringLiteral(
    "SELECT Billing.InvoiceNumber AS [Invoice Number], Companies.CompanyName AS Company, "
    "Billing.BillingDate AS "
    "[Invoice Date], Billing.PaymentDueDate AS [Payment Due On], Billing.PaymentDate as [Payment "
    "Date], "
    "Billing.InvoiceAmount AS Amount, Billing.Stage AS StageID FROM Companies INNER JOIN Billing "
    "ON "
    "Companies.CompanyID = Billing.CompanyID GROUP BY Billing.InvoiceNumber, "
    "Companies.CompanyName, "
    "Billing.BillingDate, Billing.InvoiceAmount, Billing.PaymentDueDate, Billing.PaymentDate, "
    "Billing.Stage ");

}  // namespace dbtest
