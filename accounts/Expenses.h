#pragma once

#include <QDialog>

#include "accounts/expenserules.h"
#include "platform/db/datacontrol.h"
#include "platform/db/recordset.h"
#include "ui_Expenses.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QToolBar;

// The expenses of the appointment in CurrentJobID, or, when it is 0 while the window
// loads, the expenses tied to no appointment and dated in the financial year from
// FinYearStart. Shown modally by the main window and the appointment editor.
class Expenses : public QDialog {
    Q_OBJECT
  public:
    explicit Expenses(QWidget* parent = nullptr);
    ~Expenses() override;

    QToolBar* Toolbar1;
    QLabel* lblDate;
    QDateEdit* DTPDate;
    QLabel* Label1;
    QComboBox* cboType;
    QLineEdit* Text1;
    QLabel* lblAmnt;
    QLineEdit* txtAmm;
    QCheckBox* Check1;
    db::DataControl* AdodcExp;
    QLabel* lblTotals;

    db::Recordset m_rsOutgoings;

    bool Miscellaneous() const { return jobId_ == 0; }
    const expense::Totals& ShownTotals() const { return totals_; }

  public slots:
    void Form_Load();
    void Form_Unload();
    void Toolbar1_ButtonClick(const QString& key);
    void AdodcExp_MoveComplete(int reason);
    void AdodcExp_Error(const QString& description);
    void cboType_Click(int index);
    void DTPDate_Validate();
    void Label1_Click();
    bool AddNewExpense();
    bool SaveExpense();
    bool DeleteExpense();

  protected:
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void LoadTypes();
    // A new row of the window's appointment (dated by the picker in miscellaneous mode).
    bool StartRow();
    // A new row the user has not touched: leaving it drops it rather than storing a blank.
    bool BlankNewRow() const;
    // The amount box, when the user changed it (or the row is new), into miles or money by
    // the type, and the picker's date; not saved.
    bool StoreAmountAndDate();
    // Whether the row shown counts in miles with the type `name` (see RowCountsInMiles).
    bool RowInMiles(const QString& name) const;
    void ShowAmount(const QString& text, bool miles);
    void ShowAmountLabel(bool miles);
    void ShowTotals();
    void ShowError(const QString& text);

    Ui::Expenses ui_;
    qint64 jobId_ = 0;
    QList<expense::ExpenseType> types_;
    std::optional<double> ratePence_;  // none when the stored rate is no number
    expense::Totals totals_;
    QString amountShown_;  // the amount box as the window last filled it,
    bool amountShownInMiles_ = false;  // with the row's miles rather than its money
    bool unloaded_ = false;
};

// Shows the expenses window modally over `owner` for CurrentJobID, and unloads it.
void ShowExpenses(QWidget* owner);
