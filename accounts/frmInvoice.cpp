#include "frmInvoice.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QStyle>
#include <QTableView>
#include <QToolBar>

#include "accounts/Invoice_attach.h"
#include "accounts/frmInvoiceDue.h"
#include "accounts/frmPartPayment.h"
#include "accounts/invoicerules.h"
#include "core/amounts.h"
#include "core/formatting.h"
#include "core/forms.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "core/toolbar.h"
#include "core/unsavededits.h"
#include "platform/db/recordsetmodel.h"
#include "platform/ui/prompts.h"

namespace {

const QString kBillingSql =
    QStringLiteral(
        "SELECT InvoiceNumber, CompanyID, BillingDate, InvoiceAmount, "
        "InvoicePaymentDetails, ") +
    QStringLiteral("PaymentDueDate, PaymentMade, PaymentDate, Stage FROM Billing");

// What a store found in the invoice's row and its boxes; unless the row gets stored, they are
// put back, so that nothing of a refused step rides along with the next Save (a paid stage on
// an invoice whose payment was never stored).
class PendingStep {
  public:
    PendingStep(db::Recordset& rs, BoundBoxes& boxes)
        : rs_(rs), boxes_(boxes), edit_(rs.SavePendingEdit()), written_(boxes) {}
    ~PendingStep() {
        if (done_) return;
        rs_.RestorePendingEdit(edit_);
        boxes_ = written_;
    }
    PendingStep(const PendingStep&) = delete;
    PendingStep& operator=(const PendingStep&) = delete;
    void Done() { done_ = true; }

  private:
    db::Recordset& rs_;
    BoundBoxes& boxes_;
    const db::Recordset::PendingEdit edit_;
    const BoundBoxes written_;
    bool done_ = false;
};

}  // namespace

frmInvoice::frmInvoice(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    txtFields = {{0, ui_.txtFields_0}, {2, ui_.txtFields_2}, {3, ui_.txtFields_3}};
    DTPDate = ui_.DTPDate;
    cboCompanyName = ui_.cboCompanyName;
    btnCalc = ui_.btnCalc;
    txtFeeVAT = ui_.txtFeeVAT;
    lblFeeVAT = ui_.lblFeeVAT;
    InvGrid = ui_.InvGrid;

    Toolbar1 = AddWindowToolbar(this, ui_.MainLayout, Qt::ToolButtonTextUnderIcon);
    auto add = [this](const char* key, const QString& caption, const QString& tip,
                      QStyle::StandardPixmap icon) {
        return AddKeyedButton(Toolbar1, key, caption, tip, icon,
                              [this](const QString& k) { Toolbar1_ButtonClick(k); });
    };
    add("btnSave", QStringLiteral("Save"), QStringLiteral("Save this invoice."),
        QStyle::SP_DialogSaveButton);
    add("btnAttach", QStringLiteral("Attach"), QStringLiteral("Attach work to this invoice."),
        QStyle::SP_FileDialogNewFolder);
    add("btnPrint", QStringLiteral("Print"), QStringLiteral("Prints the invoice."),
        QStyle::SP_FileIcon);
    add("btnSend", QStringLiteral("Send"),
        QStringLiteral("Tell the system that the invoice has been sent."), QStyle::SP_ArrowRight);
    add("btnPart", QStringLiteral("Part Pay"), QStringLiteral("Make a part payment"),
        QStyle::SP_FileDialogDetailedView);
    add("btnProcess", QStringLiteral("Process"),
        QStringLiteral("Once payment has been received, the invoice can be processed."),
        QStyle::SP_DialogApplyButton)
        ->setStatusTip(QStringLiteral("Process this invoice as paid."));
    add("btnWO", QStringLiteral("Write Off"),
        QStringLiteral("Write off this invoice, in case of no chance of settlement."),
        QStyle::SP_TrashIcon)
        ->setStatusTip(QStringLiteral("Write this invoice off."));

    mnuWrkCtxt = new QMenu(QStringLiteral("Work Context menu"), this);
    mnuWrkCtxt->setObjectName(QStringLiteral("mnuWrkCtxt"));
    mnuRemoveOne = mnuWrkCtxt->addAction(QStringLiteral("Remove this job"));
    mnuRemoveOne->setObjectName(QStringLiteral("mnuRemoveOne"));
    mnuWrkCtxt->addSeparator()->setObjectName(QStringLiteral("spc1"));
    mnuRemoveAll = mnuWrkCtxt->addAction(QStringLiteral("Remove All Work"));
    mnuRemoveAll->setObjectName(QStringLiteral("mnuRemoveAll"));
    connect(mnuRemoveOne, &QAction::triggered, this, &frmInvoice::mnuRemoveOne_Click);
    connect(mnuRemoveAll, &QAction::triggered, this, &frmInvoice::mnuRemoveAll_Click);

    workModel_ = new db::RecordsetModel(this);
    SetUpRecordGrid(InvGrid, workModel_);
    for (int c : {1, 2})
        workModel_->setFormatter(c, [](const QVariant& v) { return FormatShortDateTime(v); });
    workModel_->setFormatter(6, [](const QVariant& v) { return FormatMoney(v); });
    InvGrid->viewport()->installEventFilter(this);

    boxes_.Add(txtFields[0], QStringLiteral("InvoiceNumber"), BoundBoxes::WholeNumber);
    boxes_.Add(txtFields[2], QStringLiteral("InvoiceAmount"), BoundBoxes::Money);
    boxes_.Add(txtFields[3], QStringLiteral("InvoicePaymentDetails"));

    connect(cboCompanyName, &QComboBox::activated, this, &frmInvoice::cboCompanyName_Click);
    connect(ui_.txtFields_2, &QLineEdit::editingFinished, this, [this] { txtFields_Validate(2); });
    connect(btnCalc, &QPushButton::clicked, this, &frmInvoice::btnCalc_Click);

    shown_.Watch([this] { return cboCompanyName->currentText(); });
    shown_.Watch([this] { return DTPDate->date().toString(Qt::ISODate); });
    for (int i : {2, 3}) shown_.Watch([this, i] { return FieldText(i); });

    Form_Load();
}

frmInvoice::~frmInvoice() { Form_Unload(); }

QString frmInvoice::FieldText(int index) const {
    return BoundBoxes::BoxText(txtFields.value(index));
}

qint64 frmInvoice::InvoiceNumber() const {
    if (!HasCurrentRow(EditorBillingRecordset)) return 0;
    const QVariant n = EditorBillingRecordset.Value(QStringLiteral("InvoiceNumber"));
    return db::IsNull(n) ? 0 : n.toLongLong();
}

QVariant frmInvoice::InvoiceDate() const {
    if (InvoiceNumber() == 0 || DateEdited()) return QDateTime(DTPDate->date(), QTime(0, 0));
    return EditorBillingRecordset.Value(QStringLiteral("BillingDate"));
}

bool frmInvoice::HasCustomer() const {
    return HasCurrentRow(EditorBillingRecordset) &&
           !db::IsNull(EditorBillingRecordset.Value(QStringLiteral("CompanyID")));
}

void frmInvoice::ShowError(const QString& text) { ui::MsgBox(text, ui::vbOKOnly, QString(), this); }

// ---- loading ----------------------------------------------------------------------------

void frmInvoice::Form_Load() {
    OpenBillingRecord(CurrentInvoiceNumber);
    LoadCustomerList();
    ShowCustomerName();
    const auto dated = ParseDbDate(EditorBillingRecordset.Value(QStringLiteral("BillingDate")));
    DTPDate->setDate(CurrentInvoiceNumber == 0 || !dated ? QDate::currentDate() : *dated);
    datedShown_ = DTPDate->date();
    LoadAttachedWork();
    boxes_.Load(EditorBillingRecordset);

    // An invoice without terms, a new one too, takes the owner's usual ones; they are stored with
    // its next update, so that its first print has them.
    if (FieldText(3).size() < 2) {
        const auto terms = catalogue::SystemValue(DbConnection(), catalogue::sys::PaymentTerms);
        if (terms && !terms->isEmpty()) BoundBoxes::SetBoxText(txtFields[3], *terms);
    }
    UpdateVatDisplay();
    shown_.Mark();
}

void frmInvoice::OpenBillingRecord(qint64 number) {
    db::Recordset rs;
    if (number == 0) {
        // The row is added to a set of none: the other invoices are never shown here, and a
        // saved one is opened again by its key.
        if (rs.Open(kBillingSql + QStringLiteral(" where False"), DbConnection(), db::adOpenDynamic,
                    db::adLockOptimistic))
            rs.AddNew();
    } else {
        rs.Open(kBillingSql + QStringLiteral(" where invoicenumber = ") + QString::number(number),
                DbConnection(), db::adOpenDynamic, db::adLockOptimistic);
    }
    EditorBillingRecordset = std::move(rs);
}

void frmInvoice::LoadCustomerList() { ::LoadCustomerList(cboCompanyName); }

void frmInvoice::ShowCustomerName() {
    if (!HasCustomer()) return;
    const QSignalBlocker block(cboCompanyName);
    cboCompanyName->setCurrentIndex(cboCompanyName->findData(
        EditorBillingRecordset.Value(QStringLiteral("CompanyID")).toLongLong()));
}

void frmInvoice::LoadAttachedWork() {
    const qint64 number = InvoiceNumber();
    db::Recordset rs;
    if (number != 0)
        rs.Open(QStringLiteral(
                    "select invoicenumber, Start, Finish, Duration, Description, PO_Number, Fee ") +
                    QStringLiteral("FROM JobDetails where invoicenumber = ") +
                    QString::number(number),
                DbConnection(), db::adOpenDynamic, db::adLockOptimistic);
    EditorWorkRecordset = std::move(rs);
    workModel_->setRecordset(&EditorWorkRecordset);
    const bool open = EditorWorkRecordset.State() == db::adStateOpen;
    if (open) InvGrid->setColumnHidden(0, true);
    btnCalc->setEnabled(open);
    ui_.InvGridCaption->setText(open ? QString() : invoice::kNoWorkAttached);
    ui_.InvGridCaption->setVisible(!open);
}

// ---- amounts ----------------------------------------------------------------------------

void frmInvoice::UpdateVatDisplay() {
    const bool vat = VatMultiplier != 0;
    txtFeeVAT->setVisible(vat);
    lblFeeVAT->setVisible(vat);
    if (!vat) return;
    const QString amount = FieldText(2);
    if (amount.trimmed().isEmpty()) return;
    // An amount that is no number leaves the box as it was.
    if (const auto net = ParseMoney(amount))
        txtFeeVAT->setText(FormatTotal(WithVat(*net, VatMultiplier)));
}

void frmInvoice::txtFields_Validate(int index) {
    if (index != 2) return;
    // The amount shows in money form, as the window repaints it.
    if (const auto net = ParseMoney(FieldText(2)))
        BoundBoxes::SetBoxText(txtFields[2], FormatMoney(*net));
    UpdateVatDisplay();
}

void frmInvoice::btnCalc_Click() {
    // Totalled on a clone, so that the grid keeps its current row.
    db::Recordset work = EditorWorkRecordset.Clone();
    const auto total = SumAmounts(work, QStringLiteral("Fee"));
    // A total beyond the largest amount is said, and the amount box keeps what it held.
    if (!total) return ShowError(kOverflow);
    BoundBoxes::SetBoxText(txtFields[2], FormatMoney(*total));
    UpdateVatDisplay();
}

void frmInvoice::cboCompanyName_Click(int index) {
    const QVariant key = cboCompanyName->itemData(index);
    if (index >= 0 && key.isValid() && HasCurrentRow(EditorBillingRecordset))
        EditorBillingRecordset.SetValue(QStringLiteral("CompanyID"), key.toLongLong());
}

// ---- commands ---------------------------------------------------------------------------

void frmInvoice::Toolbar1_ButtonClick(const QString& key) {
    // The toolbar takes no focus, so an amount being typed has not been left yet.
    if (txtFields[2]->hasFocus()) txtFields_Validate(2);
    if (key == QLatin1String("btnSave"))
        SaveInvoice();
    else if (key == QLatin1String("btnAttach"))
        AttachWork();
    else if (key == QLatin1String("btnPrint"))
        PrintInvoice();
    else if (key == QLatin1String("btnSend"))
        SendInvoice();
    else if (key == QLatin1String("btnPart"))
        ShowPartPayments();
    else if (key == QLatin1String("btnProcess"))
        Process();
    else if (key == QLatin1String("btnWO"))
        WriteOffInvoice();
}

bool frmInvoice::StoreInvoice(bool takeDate, const std::function<bool()>& change) {
    if (!HasCurrentRow(EditorBillingRecordset)) {
        if (EditorBillingRecordset.State() == db::adStateOpen)
            EditorBillingRecordset.Value(QStringLiteral("CompanyID"));
        ShowError(EditorBillingRecordset.LastError());
        return false;
    }
    // An invoice without a customer would be stored where no list ever shows it.
    if (!HasCustomer()) {
        ShowError(invoice::kNeedsCustomer);
        return false;
    }
    const bool isNew = InvoiceNumber() == 0;
    PendingStep step(EditorBillingRecordset, boxes_);
    QString error;
    if (!boxes_.Write(EditorBillingRecordset, &error)) {
        ShowError(error);
        return false;
    }
    if (change && !change()) {
        ShowError(EditorBillingRecordset.LastError());
        return false;
    }
    if ((takeDate || isNew) &&
        !EditorBillingRecordset.SetValue(QStringLiteral("BillingDate"),
                                         QDateTime(DTPDate->date(), QTime(0, 0)))) {
        ShowError(EditorBillingRecordset.LastError());
        return false;
    }
    if (!EditorBillingRecordset.Update()) {
        ShowError(EditorBillingRecordset.LastError());
        return false;
    }
    step.Done();
    if (takeDate || isNew) datedShown_ = DTPDate->date();
    // The new row is found again by the key its insert was given, whatever sorts last.
    if (isNew) {
        const qint64 number = InvoiceNumber();
        if (number != 0) OpenBillingRecord(number);
    }
    boxes_.Load(EditorBillingRecordset);
    shown_.Mark();
    return true;
}

bool frmInvoice::SaveInvoice() { return StoreInvoice(true); }

void frmInvoice::AttachWork() {
    if (!HasCustomer()) {
        ShowError(invoice::kNeedsCustomer);
        return;
    }
    if (InvoiceNumber() == 0 &&
        ui::MsgBox(invoice::kAttachQuestion, ui::vbYesNo, invoice::kAttachTitle, this) != ui::vbYes)
        return;
    // Work is attached only to an invoice that has its number.
    if (!SaveInvoice() || InvoiceNumber() == 0) return;
    Invoice_attach* attach = Forms::get<Invoice_attach>(this);
    if (attach->HasCandidates()) attach->exec();
    Forms::unload<Invoice_attach>();
    LoadAttachedWork();
}

void frmInvoice::PrintInvoice() {
    if (!SaveInvoice()) return;
    InvoicePrinting& printing = InvoicePrintOutcalls();
    if (catalogue::ReadWholeNumber(catalogue::AdvancedPrint).value_or(0) == 1) {
        if (printing.merge) return printing.merge(this);
    } else if (printing.report) {
        CurrentInvoiceNumber = static_cast<int>(InvoiceNumber());
        return printing.report(this);
    }
    ui::MsgBox(invoice::kPrintingNotAvailable, ui::vbInformation, QString(), this);
}

// Send, Process and Write Off store the invoice's edits with their step, a changed date
// among them, so that none is lost to a step that looked like a save.
void frmInvoice::SendInvoice() {
    if (!StoreInvoice(DateEdited())) return;
    const QVariant billed = EditorBillingRecordset.Value(QStringLiteral("BillingDate"));
    const QDate from = ParseDbDate(billed).value_or(DTPDate->date());
    const auto due = AskInvoiceDate(this, invoice::kDueQuestion, from.addMonths(1));
    if (!due) return;
    StoreInvoice(false, [&] {
        return EditorBillingRecordset.SetValue(QStringLiteral("PaymentDueDate"),
                                               QDateTime(*due, QTime(0, 0))) &&
               EditorBillingRecordset.SetValue(QStringLiteral("Stage"), QStringLiteral("2"));
    });
}

void frmInvoice::Process() {
    const auto paid = AskInvoiceDate(this, invoice::kPaidQuestion, QDate::currentDate());
    if (!paid) return;
    // Checked against the date the invoice is about to be stored with.
    const QString refusal = invoice::PaymentRefusal(*paid, InvoiceDate());
    if (!refusal.isEmpty()) {
        ShowError(refusal);
        return;
    }
    StoreInvoice(DateEdited(), [&] {
        return EditorBillingRecordset.SetValue(QStringLiteral("Stage"), QStringLiteral("3")) &&
               EditorBillingRecordset.SetValue(QStringLiteral("PaymentDate"),
                                               QDateTime(*paid, QTime(0, 0)));
    });
}

void frmInvoice::ShowPartPayments() {
    frmPartPayment* payments = Forms::get<frmPartPayment>(this);
    payments->exec();
    Forms::unload<frmPartPayment>();
}

void frmInvoice::WriteOffInvoice() {
    const auto reason =
        ui::InputBox(invoice::kWriteOffPrompt, invoice::kWriteOffTitle, QString(), this);
    if (!reason || reason->isEmpty()) return;
    // Run once the boxes are written, so that the old terms kept below are the box's, edits
    // and all.
    const bool stored = StoreInvoice(DateEdited(), [&] {
        const QString terms = invoice::WriteOffDetails(
            QDate::currentDate(), *reason,
            EditorBillingRecordset.Value(QStringLiteral("InvoicePaymentDetails")));
        return EditorBillingRecordset.SetValue(QStringLiteral("InvoicePaymentDetails"), terms) &&
               EditorBillingRecordset.SetValue(QStringLiteral("Stage"), invoice::kStageWrittenOff);
    });
    if (stored) accept();
}

// ---- attached work ----------------------------------------------------------------------

bool frmInvoice::eventFilter(QObject* watched, QEvent* event) {
    if (watched == InvGrid->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        InvGrid_MouseUp(me->button(), me->globalPosition().toPoint());
    }
    return QDialog::eventFilter(watched, event);
}

void frmInvoice::InvGrid_MouseUp(Qt::MouseButton button, const QPoint& globalPos) {
    if (button != Qt::RightButton) return;
    const QVariant stage = HasCurrentRow(EditorBillingRecordset)
                               ? EditorBillingRecordset.Value(QStringLiteral("Stage"))
                               : QVariant();
    if (!db::IsNull(stage) && stage.toInt() == invoice::kStageSent) {
        ShowError(invoice::kNoRemovalWhenSent);
        return;
    }
    mnuWrkCtxt->popup(globalPos);
}

void frmInvoice::mnuRemoveOne_Click() {
    if (!HasCurrentRow(EditorWorkRecordset)) return;
    if (!EditorWorkRecordset.Fields(0).SetValue(0) || !EditorWorkRecordset.Update())
        ShowError(EditorWorkRecordset.LastError());
    LoadAttachedWork();
}

void frmInvoice::mnuRemoveAll_Click() {
    if (EditorWorkRecordset.State() != db::adStateOpen) return;
    for (EditorWorkRecordset.MoveFirst(); !EditorWorkRecordset.Eof();
         EditorWorkRecordset.MoveNext()) {
        if (!EditorWorkRecordset.Fields(0).SetValue(0) || !EditorWorkRecordset.Update()) {
            ShowError(EditorWorkRecordset.LastError());
            break;
        }
    }
    LoadAttachedWork();
}

// ---- closing ----------------------------------------------------------------------------

void frmInvoice::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    workModel_->setRecordset(nullptr);
    // Unstored edits, and a new invoice never saved, go with the record sets.
    EditorWorkRecordset.Close();
    EditorBillingRecordset.Close();
}

void frmInvoice::reject() {
    if (!unloaded_ && shown_.Changed()) {
        // An amount still being typed is taken as leaving the box would take it.
        if (txtFields[2]->hasFocus()) txtFields_Validate(2);
        const qint64 number = InvoiceNumber();
        const QString what = number == 0 ? QStringLiteral("the new invoice")
                                         : QStringLiteral("invoice %1").arg(number);
        if (!SaveChangesBeforeClosing(this, what, [this] { return SaveInvoice(); })) return;
    }
    QDialog::reject();
}

void frmInvoice::done(int result) {
    Form_Unload();
    QDialog::done(result);
}
