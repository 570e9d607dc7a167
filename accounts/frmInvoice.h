#pragma once

#include <QDialog>
#include <QMap>
#include <functional>

#include "core/boundboxes.h"
#include "core/unsavededits.h"
#include "platform/db/recordset.h"
#include "ui_frmInvoice.h"

class QAction;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;
class QToolBar;
class frmInvoice;
namespace db {
class RecordsetModel;
}

// The two ways an invoice is printed, each shown modally over the editor once the invoice is
// saved; an empty one is a way the program does not have.
struct InvoicePrinting {
    std::function<void(frmInvoice* owner)> report;  // the printed invoice (CurrentInvoiceNumber)
    std::function<void(frmInvoice* owner)> merge;   // the word-processor merge
};
InvoicePrinting& InvoicePrintOutcalls();

// One invoice (a Billing row), new when CurrentInvoiceNumber is 0 while it loads, carried
// through its life: saved, work attached, sent, part-paid, paid or written off. Shown
// modally by the main window. The attach-work and part-payment windows read its open
// record and its amount box.
class frmInvoice : public QDialog {
    Q_OBJECT
  public:
    explicit frmInvoice(QWidget* parent = nullptr);
    ~frmInvoice() override;

    db::Recordset EditorBillingRecordset;
    db::Recordset EditorWorkRecordset;

    QToolBar* Toolbar1;
    // 0 number, 2 amount (QLineEdit), 3 payment terms (QPlainTextEdit)
    QMap<int, QWidget*> txtFields;
    QDateEdit* DTPDate;
    ElidingComboBox* cboCompanyName;
    QPushButton* btnCalc;
    QLineEdit* txtFeeVAT;
    QLabel* lblFeeVAT;
    QTableView* InvGrid;
    QMenu* mnuWrkCtxt;
    QAction* mnuRemoveOne;
    QAction* mnuRemoveAll;

    // The text of a bound box.
    QString FieldText(int index) const;
    // The invoice's number; 0 while it has none.
    qint64 InvoiceNumber() const;
    // The invoice's date as the window shows it: the picker's once changed (or for a new
    // invoice), else the stored one. What payments are checked against.
    QVariant InvoiceDate() const;

  public slots:
    void Form_Load();
    void Form_Unload();
    void OpenBillingRecord(qint64 number);
    void LoadCustomerList();
    void ShowCustomerName();
    void LoadAttachedWork();
    void UpdateVatDisplay();
    void cboCompanyName_Click(int index);
    void txtFields_Validate(int index);
    void btnCalc_Click();
    void Toolbar1_ButtonClick(const QString& key);
    bool SaveInvoice();
    void AttachWork();
    void PrintInvoice();
    void SendInvoice();
    void Process();
    void ShowPartPayments();
    void WriteOffInvoice();
    void InvGrid_MouseUp(Qt::MouseButton button, const QPoint& globalPos);
    void mnuRemoveOne_Click();
    void mnuRemoveAll_Click();

    // Closing by the frame or Escape: asks first when there are edits not saved yet; Cancel
    // keeps the window open.
    void reject() override;

  protected:
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool HasCustomer() const;
    // Writes the boxes and what `change` sets besides, and updates the row; a new invoice then
    // reopens by the key its insert allocated. Shows the error and returns false when that
    // fails, the row and the boxes put back as they were.
    bool StoreInvoice(bool takeDate, const std::function<bool()>& change = {});
    void ShowError(const QString& text);

    // The picker changed since the invoice was loaded or stored.
    bool DateEdited() const { return DTPDate->date() != datedShown_; }

    Ui::frmInvoice ui_;
    QDate datedShown_;
    BoundBoxes boxes_;
    EditSnapshot shown_;
    db::RecordsetModel* workModel_ = nullptr;
    bool unloaded_ = false;
};
