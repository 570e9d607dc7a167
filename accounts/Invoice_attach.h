#pragma once

#include <QDialog>

#include "platform/db/recordset.h"
#include "ui_Invoice_attach.h"

class QAction;
class QMenu;
class QTableView;
class QToolBar;
namespace db {
class RecordsetModel;
}

// Picks the work the invoice open in the invoice editor bills: the customer's appointments
// that are not cancelled, not invoiced and finished before the end of the invoice date. The
// ticks ("Add to Invoice?", kept in SignedOff) are stored as they are made.
class Invoice_attach : public QDialog {
    Q_OBJECT
  public:
    explicit Invoice_attach(QWidget* parent = nullptr);
    ~Invoice_attach() override;

    db::Recordset JobRecordset;
    QToolBar* Toolbar1;
    QTableView* grdDataGrid;
    QMenu* mnuButton;
    QAction* mnuYes;
    QAction* mnuNo;

    // False when nothing could be attached: the window has said so and is not to be shown.
    bool HasCandidates() const { return candidates_; }

  public slots:
    void Form_Load();
    void Form_Unload();
    void SetupGrid();
    void Toolbar1_ButtonClick(const QString& key);
    void SelectAllJobs();
    void ClearAllSelections();
    void AttachSelected();
    void CancelAttach();
    void grdDataGrid_ButtonClick();
    void mnuYes_Click();
    void mnuNo_Click();
    void MoveFirstRecord();
    void MoveLastRecord();
    void MoveNextRecord();
    void MovePreviousRecord();
    // True when the key was one of the moving keys.
    bool Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

  private:
    // Stores the flag on every row from the first to the end.
    void FlagAll(bool on);
    bool StoreFlag(bool on);
    void ShowCurrentRow();
    // The record set's last error in a message box.
    void ShowJobError();

    Ui::Invoice_attach ui_;
    db::RecordsetModel* model_ = nullptr;
    bool candidates_ = false;
    bool unloaded_ = false;
};
