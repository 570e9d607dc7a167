#pragma once

#include <QDialog>

#include "platform/db/recordset.h"
#include "ui_Expense_Types.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The list of expense types (System rows "Type"): a name, and whether amounts of the type
// are entered in miles. A picked name is edited until Add rewrites it or Remove deletes it.
// Shown modally by the expenses window.
class Expense_Types : public QDialog {
    Q_OBJECT
  public:
    explicit Expense_Types(QWidget* parent = nullptr);
    ~Expense_Types() override;

    QLineEdit* txtNewExp;
    QCheckBox* Chk_Milage;
    QPushButton* btnAdd;
    QPushButton* btnDel;
    QListWidget* Type_List;

    db::Recordset m_rsTypes;
    // The id of the type picked for editing; 0 when none is.
    qint64 m_SelectedTypeId = 0;

  public slots:
    void Form_Load();
    void Form_Unload();
    void Type_List_Click(QListWidgetItem* item);
    void btnAdd_Click();
    void btnDel_Click();

  protected:
    void done(int result) override;

  private:
    // Narrows the record set to the type's row; false when it is gone.
    bool FindType(qint64 id);
    // Ends an edit: the picked name leaves the list for good, or goes back where it was.
    void DropPicked();
    void RestorePicked();
    void ShowError(const QString& text);

    Ui::Expense_Types ui_;
    QListWidgetItem* picked_ = nullptr;  // out of the list while it is edited
    int pickedRow_ = -1;
    bool unloaded_ = false;
};
