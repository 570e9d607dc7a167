#pragma once

#include "platform/db/recordset.h"
#include "platform/report/report.h"

// The expenses of the selected financial year, mileage at the owner's rate, with the totals.
class Rpt_Expense : public report::Report {
  public:
    Rpt_Expense();
    // Set-up at every showing for FinYearStart, the VAT and the mileage rate of the moment.
    void DataReport_Initialize();

    db::Recordset Rows;
};
