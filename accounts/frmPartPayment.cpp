#include "frmPartPayment.h"

#include <QLineEdit>
#include <QLocale>
#include <QStyle>
#include <QToolBar>

#include "accounts/frmInvoice.h"
#include "accounts/frmInvoiceDue.h"
#include "accounts/invoicerules.h"
#include "core/amounts.h"
#include "core/flexgrid.h"
#include "core/formatting.h"
#include "core/forms.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "core/toolbar.h"
#include "platform/ui/prompts.h"

frmPartPayment::frmPartPayment(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    PayHist = ui_.PayHist;
    txtOut = ui_.txtOut;

    Toolbar1 = AddWindowToolbar(this, ui_.MainLayout, Qt::ToolButtonTextUnderIcon);
    const auto click = [this](const QString& k) { Toolbar1_ButtonClick(k); };
    AddKeyedButton(Toolbar1, "btnPart", QStringLiteral("Part Pay"),
                   QStringLiteral("Make a part payment"), QStyle::SP_FileDialogDetailedView, click)
        ->setStatusTip(QStringLiteral("Make a part payment"));
    AddKeyedButton(Toolbar1, "btnComplete", QStringLiteral("Complete"),
                   QStringLiteral("The Invoice has been paid in full."),
                   QStyle::SP_DialogApplyButton, click)
        ->setStatusTip(QStringLiteral("The Invoice has been paid in full."));

    Form_Load();
}

frmPartPayment::~frmPartPayment() { Form_Unload(); }

void frmPartPayment::OpenPayments() {
    const frmInvoice* editor = Forms::find<frmInvoice>();
    invoice_ = editor ? editor->InvoiceNumber() : 0;
    PaymentRecordset.Close();
    if (invoice_ == 0) return;
    PaymentRecordset.Open(
        QStringLiteral(
            "select invoiceid, Date, Amount from billing_part_payment where invoiceid =") +
            QString::number(invoice_),
        DbConnection(), db::adOpenDynamic, db::adLockOptimistic);
}

void frmPartPayment::Form_Load() {
    OpenPayments();
    if (PaymentRecordset.State() == db::adStateOpen && PaymentRecordset.RecordCount() > 0) ShowPayments();
}

void frmPartPayment::ShowPayments() {
    PayHist->Bind(PaymentRecordset);
    ShowOutstanding();
    for (int r = 1; r < PayHist->Rows(); ++r) {
        PayHist->SetTextMatrix(r, 2, FormatMoney(PayHist->Value(r, 2)));
        const auto d = ParseDbDate(PayHist->Value(r, 1));
        PayHist->SetTextMatrix(r, 1, d ? QLocale().toString(*d, QLocale::ShortFormat) : QString());
    }
}

void frmPartPayment::ShowOutstanding() {
    const frmInvoice* editor = Forms::find<frmInvoice>();
    // The amount as the editor shows it, saved or not; an empty box counts nothing.
    const db::Currency amount =
        editor ? ParseMoney(editor->FieldText(2)).value_or(db::Currency()) : db::Currency();
    PayHist->SetColWidth(0, 0);
    for (int c = 1; c < PayHist->Cols(); ++c)
        PayHist->SetColWidth(
            c, static_cast<int>(
                   catalogue::ReadWholeNumber(catalogue::PayHistoryColWidth(c)).value_or(1050)));
    db::Recordset payments = PaymentRecordset.Clone();
    txtOut->setText(FormatTotal(invoice::Outstanding(
        amount, VatMultiplier, SumAmounts(payments, QStringLiteral("Amount")))));
}

void frmPartPayment::MakePartPayment() {
    // Payments are filed under the invoice's number, which a new invoice gets when saved.
    if (invoice_ == 0) {
        ui::MsgBox(invoice::kSaveBeforePartPayment, ui::vbOKOnly, QString(), this);
        return;
    }
    const auto answer =
        ui::InputBox(QStringLiteral("How much is this payment worth?"),
                     QStringLiteral("Make a part payment"), QStringLiteral("0"), this);
    if (!answer || answer->trimmed().isEmpty()) return;
    const auto value = ParseMoney(*answer);
    // An answer that is no amount is said, never read as another.
    if (!value) {
        ui::MsgBox(MoneyRefusal(*answer), ui::vbOKOnly, QString(), this);
        return;
    }
    if (*value == db::Currency()) return;
    // Received on a day of the user's choosing, not before the invoice's own, as the final
    // payment is.
    const frmInvoice* editor = Forms::find<frmInvoice>();
    const auto received = AskInvoiceDate(this, invoice::kPartPaidQuestion, QDate::currentDate());
    if (!received) return;
    const QString refusal =
        invoice::PaymentRefusal(*received, editor ? editor->InvoiceDate() : QVariant());
    if (!refusal.isEmpty()) {
        ui::MsgBox(refusal, ui::vbOKOnly, QString(), this);
        return;
    }
    if (!PaymentRecordset.AddNew() ||
        !PaymentRecordset.SetValue(QStringLiteral("invoiceid"), invoice_) ||
        !PaymentRecordset.SetValue(QStringLiteral("date"), QDateTime(*received, QTime(0, 0))) ||
        !PaymentRecordset.SetValue(QStringLiteral("amount"), QVariant::fromValue(*value)) ||
        !PaymentRecordset.Update()) {
        ui::MsgBox(PaymentRecordset.LastError(), ui::vbOKOnly, QString(), this);
        PaymentRecordset.CancelUpdate();
        return;
    }
    ShowPayments();
}

void frmPartPayment::Complete() {
    if (frmInvoice* editor = Forms::find<frmInvoice>()) editor->Process();
}

void frmPartPayment::Toolbar1_ButtonClick(const QString& key) {
    if (key == QLatin1String("btnPart"))
        MakePartPayment();
    else if (key == QLatin1String("btnComplete"))
        Complete();
}

void frmPartPayment::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    PaymentRecordset.Close();
}

void frmPartPayment::done(int result) {
    Form_Unload();
    QDialog::done(result);
}
