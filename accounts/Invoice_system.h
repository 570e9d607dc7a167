#pragma once

#include "platform/db/recordset.h"
#include "platform/report/report.h"

// One invoice, or with its title changed the reminder for it: the owner's name and address,
// the customer's invoice address, one line a job, the amounts and the payment details.
class Invoice_system : public report::Report {
  public:
    Invoice_system();
    // Set-up at every showing, for CurrentInvoiceNumber with the VAT and owner of the moment.
    void DataReport_Initialize();

    db::Recordset ParentCMD;
};
