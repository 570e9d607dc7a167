#pragma once

#include <QDialog>

#include "platform/db/recordset.h"
#include "ui_frmPartPayment.h"

class FlexGrid;
class QLineEdit;
class QToolBar;

// Part payments of the invoice open in the invoice editor, and what is still owed on it.
class frmPartPayment : public QDialog {
    Q_OBJECT
  public:
    explicit frmPartPayment(QWidget* parent = nullptr);
    ~frmPartPayment() override;

    db::Recordset PaymentRecordset;
    QToolBar* Toolbar1;
    FlexGrid* PayHist;
    QLineEdit* txtOut;

  public slots:
    void Form_Load();
    void Form_Unload();
    void ShowOutstanding();
    void MakePartPayment();
    void Complete();
    void Toolbar1_ButtonClick(const QString& key);

  protected:
    void done(int result) override;

  private:
    void OpenPayments();
    // The payments in the grid, in money and date form, and the amount outstanding.
    void ShowPayments();

    Ui::frmPartPayment ui_;
    qint64 invoice_ = 0;
    bool unloaded_ = false;
};
