#pragma once

#include <QDialog>
#include <array>

#include "platform/db/datacontrol.h"
#include "platform/db/recordset.h"
#include "ui_Contacts.h"

class QLineEdit;
class QToolBar;

// One contact person of a customer company, or a new one. The caller sets CurrentContactID
// (0 = new) and, for a new contact, CurrentCompanyID before showing it; both are 0 again
// once it closes.
class Contacts : public QDialog {
    Q_OBJECT
  public:
    explicit Contacts(QWidget* parent = nullptr);
    ~Contacts() override;

    QToolBar* Toolbar1;
    // Firstname, Lastname, Position, DirectTelephone, MobileTelephone, EmailAddress1,
    // EmailAddress2.
    std::array<QLineEdit*, 7> txtfields{};

    db::Recordset ContactRecordset;

    void SaveContact();
    void DeleteContact();

  public slots:
    void Form_Load();
    void Form_Unload();
    void Toolbar1_ButtonClick(const QString& key);

  protected:
    void done(int result) override;

  private:
    Ui::Contacts ui_;
    db::BoundFields fields_;
    bool unloaded_ = false;
};
