// The windows the invoice editor prints through.
#include "accounts/Invoice_Print.h"
#include "accounts/Invoice_system.h"
#include "accounts/frmInvoice.h"
#include "core/forms.h"
#include "core/reports.h"

InvoicePrinting& InvoicePrintOutcalls() {
    static InvoicePrinting printing{
        [](frmInvoice* owner) {
            Invoice_system printed;
            printed.DataReport_Initialize();
            ShowReport(printed, owner);
        },
        [](frmInvoice* owner) {
            Forms::get<Invoice_Print>(owner)->exec();
            Forms::unload<Invoice_Print>();
        },
    };
    return printing;
}
