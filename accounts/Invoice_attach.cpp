#include "Invoice_attach.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QStyle>
#include <QTableView>
#include <QToolBar>

#include "accounts/frmInvoice.h"
#include "accounts/invoicerules.h"
#include "core/boundboxes.h"
#include "core/formatting.h"
#include "core/forms.h"
#include "core/globals.h"
#include "core/toolbar.h"
#include "platform/db/recordsetmodel.h"
#include "platform/ui/prompts.h"

namespace {
constexpr int kFlagColumn = 8;
}

Invoice_attach::Invoice_attach(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    grdDataGrid = ui_.grdDataGrid;

    Toolbar1 = AddWindowToolbar(this, ui_.MainLayout, Qt::ToolButtonTextOnly);
    const auto click = [this](const QString& k) { Toolbar1_ButtonClick(k); };
    AddKeyedButton(Toolbar1, "btnSel", QStringLiteral("Select All"), QString(),
                   QStyle::SP_DialogYesButton, click);
    AddKeyedButton(Toolbar1, "btnClr", QStringLiteral("Clear All"), QString(),
                   QStyle::SP_DialogNoButton, click);
    AddKeyedButton(Toolbar1, "btnAtt", QStringLiteral("Attach"), QString(),
                   QStyle::SP_DialogApplyButton, click);
    AddKeyedButton(Toolbar1, "btnCan", QStringLiteral("Cancel"), QString(),
                   QStyle::SP_DialogCancelButton, click);

    mnuButton = new QMenu(QStringLiteral("Button"), this);
    mnuButton->setObjectName(QStringLiteral("mnuButton"));
    mnuYes = mnuButton->addAction(QStringLiteral("Yes"));
    mnuYes->setObjectName(QStringLiteral("mnuYes"));
    mnuNo = mnuButton->addAction(QStringLiteral("No"));
    mnuNo->setObjectName(QStringLiteral("mnuNo"));
    connect(mnuYes, &QAction::triggered, this, &Invoice_attach::mnuYes_Click);
    connect(mnuNo, &QAction::triggered, this, &Invoice_attach::mnuNo_Click);

    model_ = new db::RecordsetModel(this);
    SetUpRecordGrid(grdDataGrid, model_);
    for (int c : {2, 3})
        model_->setFormatter(c, [](const QVariant& v) { return FormatShortDateTime(v); });
    model_->setFormatter(7, [](const QVariant& v) { return FormatMoney(v); });
    model_->setFormatter(kFlagColumn, [](const QVariant& v) {
        return v.toBool() ? QStringLiteral("Yes") : QStringLiteral("No");
    });
    grdDataGrid->installEventFilter(this);
    // The flag column's cell button.
    connect(grdDataGrid, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (index.column() == kFlagColumn) grdDataGrid_ButtonClick();
    });

    Form_Load();
}

Invoice_attach::~Invoice_attach() { Form_Unload(); }

void Invoice_attach::Form_Load() {
    frmInvoice* editor = Forms::find<frmInvoice>();
    if (editor && HasCurrentRow(editor->EditorBillingRecordset)) {
        const db::Recordset& bill = editor->EditorBillingRecordset;
        const QVariant company = bill.Value(QStringLiteral("CompanyID"));
        const QVariant dated = bill.Value(QStringLiteral("BillingDate"));
        if (!db::IsNull(company) && ParseDbDate(dated))
            JobRecordset.Open(invoice::AttachCandidatesSql(company.toLongLong(), dated),
                              DbConnection(), db::adOpenStatic, db::adLockOptimistic);
    }
    if (JobRecordset.State() != db::adStateOpen || JobRecordset.RecordCount() <= 0) {
        ui::MsgBox(invoice::kNoWorkFound, ui::vbOKOnly, QString(), parentWidget());
        JobRecordset.Close();
        return;
    }
    candidates_ = true;
    FlagAll(false);
    model_->setRecordset(&JobRecordset);
    SetupGrid();
    JobRecordset.MoveFirst();
    ShowCurrentRow();
}

void Invoice_attach::SetupGrid() {
    grdDataGrid->setColumnHidden(0, true);
    grdDataGrid->setColumnHidden(1, true);
    model_->setHeaderData(kFlagColumn, Qt::Horizontal, QStringLiteral("Add to Invoice?"));
    grdDataGrid->setColumnWidth(
        kFlagColumn, std::max(1500 / kTwipsPerPixel,
                              grdDataGrid->horizontalHeader()->sectionSizeHint(kFlagColumn)));
}

void Invoice_attach::ShowCurrentRow() {
    const int row = JobRecordset.AbsolutePosition() - 1;
    if (row >= 0) grdDataGrid->selectRow(row);
}

// ---- ticks ------------------------------------------------------------------------------

bool Invoice_attach::StoreFlag(bool on) {
    return JobRecordset.SetValue(QStringLiteral("signedoff"), on) && JobRecordset.Update();
}

void Invoice_attach::FlagAll(bool on) {
    if (JobRecordset.State() != db::adStateOpen) return;
    for (JobRecordset.MoveFirst(); !JobRecordset.Eof(); JobRecordset.MoveNext())
        if (!StoreFlag(on)) {
            ShowJobError();
            break;
        }
    if (JobRecordset.RecordCount() > 0) JobRecordset.MoveFirst();
}

void Invoice_attach::SelectAllJobs() { FlagAll(true); }

void Invoice_attach::ClearAllSelections() { FlagAll(false); }

void Invoice_attach::grdDataGrid_ButtonClick() { mnuButton->popup(QCursor::pos()); }

void Invoice_attach::mnuYes_Click() {
    if (HasCurrentRow(JobRecordset) && !StoreFlag(true))
        ShowJobError();
}

void Invoice_attach::mnuNo_Click() {
    if (HasCurrentRow(JobRecordset) && !StoreFlag(false))
        ShowJobError();
}

// ---- commands ---------------------------------------------------------------------------

void Invoice_attach::Toolbar1_ButtonClick(const QString& key) {
    if (key == QLatin1String("btnSel"))
        SelectAllJobs();
    else if (key == QLatin1String("btnClr"))
        ClearAllSelections();
    else if (key == QLatin1String("btnAtt"))
        AttachSelected();
    else if (key == QLatin1String("btnCan"))
        CancelAttach();
}

void Invoice_attach::AttachSelected() {
    frmInvoice* editor = Forms::find<frmInvoice>();
    const qint64 number = editor ? editor->InvoiceNumber() : 0;
    if (number != 0 && JobRecordset.State() == db::adStateOpen) {
        for (JobRecordset.MoveFirst(); !JobRecordset.Eof(); JobRecordset.MoveNext()) {
            if (!JobRecordset.Value(QStringLiteral("signedoff")).toBool()) continue;
            if (!JobRecordset.SetValue(QStringLiteral("invoicenumber"), number) ||
                !JobRecordset.Update()) {
                ShowJobError();
                break;
            }
        }
    }
    accept();
}

void Invoice_attach::CancelAttach() { reject(); }

// ---- moving -----------------------------------------------------------------------------

void Invoice_attach::ShowJobError() {
    ui::MsgBox(JobRecordset.LastError(), ui::vbOKOnly, QString(), this);
}

void Invoice_attach::MoveFirstRecord() {
    if (!JobRecordset.MoveFirst()) return ShowJobError();
    ShowCurrentRow();
}

void Invoice_attach::MoveLastRecord() {
    if (!JobRecordset.MoveLast()) return ShowJobError();
    ShowCurrentRow();
}

void Invoice_attach::MoveNextRecord() {
    if (!JobRecordset.MoveNext()) return ShowJobError();
    if (JobRecordset.Eof()) {
        QApplication::beep();
        if (JobRecordset.RecordCount() > 0) JobRecordset.MoveLast();
    }
    ShowCurrentRow();
}

void Invoice_attach::MovePreviousRecord() {
    if (!JobRecordset.MovePrevious()) return ShowJobError();
    if (JobRecordset.Bof()) {
        QApplication::beep();
        if (JobRecordset.RecordCount() > 0) JobRecordset.MoveFirst();
    }
    ShowCurrentRow();
}

bool Invoice_attach::Form_KeyDown(int key, Qt::KeyboardModifiers modifiers) {
    const bool ctrl = modifiers & Qt::ControlModifier;
    switch (key) {
        case Qt::Key_End:
            MoveLastRecord();
            return true;
        case Qt::Key_Home:
            MoveFirstRecord();
            return true;
        case Qt::Key_Up:
        case Qt::Key_PageUp:
            ctrl ? MoveFirstRecord() : MovePreviousRecord();
            return true;
        case Qt::Key_Down:
        case Qt::Key_PageDown:
            ctrl ? MoveLastRecord() : MoveNextRecord();
            return true;
        default:
            return false;
    }
}

bool Invoice_attach::eventFilter(QObject* watched, QEvent* event) {
    // The window sees the moving keys before the grid does.
    if (watched == grdDataGrid && event->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(event);
        if (Form_KeyDown(ke->key(), ke->modifiers())) return true;
    }
    return QDialog::eventFilter(watched, event);
}

// ---- closing ----------------------------------------------------------------------------

void Invoice_attach::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    model_->setRecordset(nullptr);
    JobRecordset.Close();
    ui::SetMousePointer(ui::vbDefault);
}

void Invoice_attach::done(int result) {
    Form_Unload();
    QDialog::done(result);
}
