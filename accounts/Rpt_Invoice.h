#pragma once

#include "platform/db/recordset.h"
#include "platform/report/report.h"

// The invoices paid in the selected financial year, with the year's totals.
class Rpt_Invoice : public report::Report {
  public:
    Rpt_Invoice();
    // Set-up at every showing for FinYearStart and the VAT of the moment; `yearText` is the
    // financial year as the main window's list shows it.
    void DataReport_Initialize(const QString& yearText);

    db::Recordset Rows;
};
