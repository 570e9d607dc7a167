#pragma once

#include <QDialog>
#include <QMap>
#include <array>

#include "platform/db/datacontrol.h"
#include "platform/db/recordset.h"
#include "platform/db/recordsetmodel.h"
#include "ui_Companies_with_Contacts.h"

class QCheckBox;
class QLineEdit;
class QTabWidget;
class QTableView;
class QToolBar;

// The customer companies, one at a time through the data control, with the contact people
// of the company shown. The main window opens it modelessly (ShowCustomerWindow); the
// appointment editor starts a new company with new_cpy() and then shows it with ShowModal().
class Companies_with_Contacts : public QDialog {
    Q_OBJECT
  public:
    explicit Companies_with_Contacts(QWidget* parent = nullptr);
    ~Companies_with_Contacts() override;

    QToolBar* Toolbar1;
    QMap<int, QLineEdit*> txtFields;  // 0 CompanyName, 3 Telephone2, 4 Fax, 5 Website
    db::DataControl* AdodcCPY;
    QTabWidget* SSTab1;
    QLineEdit* Text1;
    QLineEdit* Text2;
    std::array<QLineEdit*, 5> PAddr{};  // PAddr1 to PAddr5
    QCheckBox* SameAsChk;
    std::array<QLineEdit*, 5> BAddr{};  // BAddr1 to BAddr5
    QTableView* ContactGrid;

    db::Recordset CompaniesRecordset;
    db::Recordset ContactsRecordset;

    // Saves the company shown and starts a new one, billed at its postal address. False
    // when the company shown could not be saved (AdodcCPY->LastError() says why).
    bool new_cpy();
    void init_ContactGrid();
    void EnableBillingAddress();
    void new_contact();
    // Shows the window modally with `owner` as its owner.
    int ShowModal(QWidget* owner);

  public slots:
    void Form_Load();
    void Form_Unload();
    void AdodcCPY_MoveComplete(int reason);
    void AdodcCPY_Error(const QString& description);
    void SameAsChk_Click();
    void Toolbar1_ButtonClick(const QString& key);
    void ContactGrid_DblClick();

  public slots:
    // Closing by the frame, Escape or the main window: asks first when the company shown has
    // edits not saved yet; Cancel keeps the window open.
    void reject() override;

  protected:
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Name, Direct and Mobile keep the widths the user gives them.
    static constexpr int kSizedColumns = 3;

    // The CompanyID of the company shown; 0 when there is none or it is not saved yet.
    int SavedCompanyID() const;
    // Sets CurrentCompanyID for a new contact of the company shown; says so when it cannot.
    bool HandOverCompany();
    // Narrows the contacts to the company shown; a company not saved yet has none to show.
    void ShowCompanyContacts();
    void FormatContactGrid();
    void ShowContactWindow();
    void ReleaseContactGrid();
    bool HasPendingEdits() const;
    // False when the window is to stay open.
    bool SavedOrDiscarded();

    Ui::Companies_with_Contacts ui_;
    db::RecordsetModel* contactModel_;
    std::array<int, kSizedColumns> contactWidths_{};  // pixels
    bool unloaded_ = false;
};

// The main window's "View", "Customers": the customer window, modeless. It closes with `owner`.
void ShowCustomerWindow(QWidget* owner);
