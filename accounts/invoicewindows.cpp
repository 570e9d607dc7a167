// The windows the invoice editor prints through.
#include "accounts/Invoice_Print.h"
#include "accounts/frmInvoice.h"
#include "core/forms.h"

InvoicePrinting& InvoicePrintOutcalls() {
    static InvoicePrinting printing{
        {},
        [](frmInvoice* owner) {
            Forms::get<Invoice_Print>(owner)->exec();
            Forms::unload<Invoice_Print>();
        },
    };
    return printing;
}
