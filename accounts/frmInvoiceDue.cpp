#include "frmInvoiceDue.h"

#include "core/forms.h"

frmInvoiceDue::frmInvoiceDue(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    lblQuestion = ui_.lblQuestion;
    DTPDue = ui_.DTPDue;
    connect(ui_.OKButton, &QPushButton::clicked, this, &frmInvoiceDue::OKButton_Click);
    connect(ui_.CancelButton, &QPushButton::clicked, this, &frmInvoiceDue::CancelButton_Click);
}

void frmInvoiceDue::OKButton_Click() {
    DateAccepted = true;
    SelectedDate = DTPDue->date();
    QDialog::done(Accepted);
}

void frmInvoiceDue::CancelButton_Click() { reject(); }

void frmInvoiceDue::done(int result) {
    // Every way of closing but OK (Cancel, the close box, Escape) leaves no accepted date.
    DateAccepted = false;
    QDialog::done(result);
}

std::optional<QDate> AskInvoiceDate(QWidget* owner, const QString& question, const QDate& start) {
    frmInvoiceDue* dialog = Forms::get<frmInvoiceDue>(owner);
    dialog->lblQuestion->setText(question);
    dialog->DTPDue->setDate(start);
    dialog->exec();
    Forms::unload<frmInvoiceDue>();
    if (!frmInvoiceDue::DateAccepted) return std::nullopt;
    return frmInvoiceDue::SelectedDate;
}
