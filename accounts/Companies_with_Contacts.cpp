#include "Companies_with_Contacts.h"

#include <QEvent>
#include <QHeaderView>
#include <QTabBar>
#include <QToolBar>

#include "accounts/Contacts.h"
#include "core/forms.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "core/toolbar.h"
#include "core/typingfocus.h"
#include "core/unsavededits.h"
#include "platform/ui/prompts.h"

namespace {

const QString kCompaniesSql = QStringLiteral(
    "SELECT Companies.CompanyID, Companies.CompanyName, Companies.Postal_AddressStreet, "
    "Companies.Postal_AddressTown, Companies.Postal_AddressCounty, "
    "Companies.Postal_AddressCountry, "
    "Companies.Postal_AddressPostcode, Companies.IsBillingAddressSameasPostal, "
    "Companies.Billing_AddressStreet, "
    "Companies.Billing_AddressTown, Companies.Billing_AddressCounty, "
    "Companies.Billing_AddressCountry, "
    "Companies.Billing_AddressPostcode, Companies.Telephone1, Companies.Telephone2, Companies.Fax, "
    "Companies.Website FROM Companies;");
const QString kContactsSql = QStringLiteral(
    "select firstname & ' ' & lastname as Name, directtelephone as Direct, "
    "mobiletelephone as Mobile, contactid, companyid from contacts");
const QString kNotSaved = QStringLiteral("Save the company before adding contacts to it.");

constexpr int kContactIdColumn = 3;
constexpr int kCompanyIdColumn = 4;

}  // namespace

Companies_with_Contacts::Companies_with_Contacts(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    txtFields = {
        {0, ui_.txtFields_0}, {3, ui_.txtFields_3}, {4, ui_.txtFields_4}, {5, ui_.txtFields_5}};
    AdodcCPY = ui_.AdodcCPY;
    SSTab1 = ui_.SSTab1;
    Text1 = ui_.Text1;
    Text2 = ui_.Text2;
    PAddr = {ui_.PAddr1, ui_.PAddr2, ui_.PAddr3, ui_.PAddr4, ui_.PAddr5};
    SameAsChk = ui_.SameAsChk;
    BAddr = {ui_.BAddr1, ui_.BAddr2, ui_.BAddr3, ui_.BAddr4, ui_.BAddr5};
    ContactGrid = ui_.ContactGrid;
    // Tab goes from the company's name to the boxes of the page shown; Ctrl+Tab turns pages.
    SSTab1->tabBar()->setFocusPolicy(Qt::NoFocus);
    FocusFirstBoxOfShownPage(SSTab1);

    Toolbar1 = AddWindowToolbar(this, ui_.MainLayout, Qt::ToolButtonTextBesideIcon);
    auto add = [this](const char* key, const QString& caption, QStyle::StandardPixmap icon) {
        AddKeyedButton(Toolbar1, key, caption, QString(), icon,
                       [this](const QString& k) { Toolbar1_ButtonClick(k); });
    };
    add("btnSave", QStringLiteral("Save"), QStyle::SP_DialogSaveButton);
    add("btnNewCompany", QStringLiteral("New Company"), QStyle::SP_FileDialogNewFolder);
    add("btnNewContact", QStringLiteral("New Contact"), QStyle::SP_FileIcon);

    AdodcCPY->bind(txtFields[0], QStringLiteral("CompanyName"));
    AdodcCPY->bind(Text1, QStringLiteral("Telephone1"));
    AdodcCPY->bind(Text2, QStringLiteral("Telephone1"));
    AdodcCPY->bind(txtFields[3], QStringLiteral("Telephone2"));
    AdodcCPY->bind(txtFields[4], QStringLiteral("Fax"));
    AdodcCPY->bind(txtFields[5], QStringLiteral("Website"));
    const char* const postal[] = {"Street", "Town", "County", "Country", "Postcode"};
    for (size_t i = 0; i < PAddr.size(); ++i) {
        AdodcCPY->bind(PAddr[i], QStringLiteral("Postal_Address") + QLatin1String(postal[i]));
        AdodcCPY->bind(BAddr[i], QStringLiteral("Billing_Address") + QLatin1String(postal[i]));
    }
    AdodcCPY->bind(SameAsChk, QStringLiteral("IsBillingAddressSameasPostal"));
    connect(AdodcCPY, &db::DataControl::MoveComplete, this,
            &Companies_with_Contacts::AdodcCPY_MoveComplete);
    connect(AdodcCPY, &db::DataControl::Error, this, &Companies_with_Contacts::AdodcCPY_Error);
    connect(SameAsChk, &QCheckBox::toggled, this, &Companies_with_Contacts::SameAsChk_Click);

    contactModel_ = new db::RecordsetModel(this);
    ContactGrid->setModel(contactModel_);
    ContactGrid->verticalHeader()->hide();
    ContactGrid->viewport()->installEventFilter(this);
    // A filter or reload resets the grid's columns; the user's widths are put back each time.
    connect(contactModel_, &QAbstractItemModel::modelReset, this,
            &Companies_with_Contacts::FormatContactGrid);
    connect(ContactGrid->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int size) {
                if (column < kSizedColumns && size > 0) contactWidths_[column] = size;
            });

    Form_Load();
}

Companies_with_Contacts::~Companies_with_Contacts() { Form_Unload(); }

void Companies_with_Contacts::Form_Load() {
    for (int c = 0; c < kSizedColumns; ++c)
        contactWidths_[c] = static_cast<int>(
            catalogue::ReadWholeNumber(catalogue::ContactColWidth(c)).value_or(1500) /
            kTwipsPerPixel);
    if (!CompaniesRecordset.Open(kCompaniesSql, DbConnection(), db::adOpenDynamic,
                                 db::adLockOptimistic)) {
        ui::MsgBox(CompaniesRecordset.LastError(), ui::vbOKOnly, QString(), this);
        return;
    }
    init_ContactGrid();
    AdodcCPY->setRecordset(CompaniesRecordset);  // runs AdodcCPY_MoveComplete
    // An empty table opens on a new company, as "New Company" gives it.
    if (CompaniesRecordset.Bof() && CompaniesRecordset.Eof()) new_cpy();
}

int Companies_with_Contacts::SavedCompanyID() const {
    if (!db::HasCurrentRow(CompaniesRecordset)) return 0;
    const QVariant id = CompaniesRecordset.Value(QStringLiteral("CompanyID"));
    return db::IsNull(id) ? 0 : id.toInt();
}

bool Companies_with_Contacts::new_cpy() {
    if (!AdodcCPY->AddNew()) return false;
    CompaniesRecordset.SetValue(QStringLiteral("IsBillingAddressSameasPostal"), true);
    AdodcCPY->Refresh();
    EnableBillingAddress();
    // The new company's name is what the user types next.
    txtFields[0]->setFocus(Qt::OtherFocusReason);
    return true;
}

void Companies_with_Contacts::init_ContactGrid() {
    ReleaseContactGrid();
    if (!ContactsRecordset.Open(kContactsSql, DbConnection(), db::adOpenUnspecified,
                                db::adLockReadOnly)) {
        ui::MsgBox(ContactsRecordset.LastError(), ui::vbOKOnly, QString(), this);
        return;
    }
    // Filtered before the grid asks for rows, so that only the company's contacts are read.
    ShowCompanyContacts();
    contactModel_->setRecordset(&ContactsRecordset);
}

void Companies_with_Contacts::ShowCompanyContacts() {
    const int id = SavedCompanyID();
    if (id == 0) {
        ContactGrid->setVisible(false);
        return;
    }
    if (ContactsRecordset.State() == db::adStateOpen)
        ContactsRecordset.SetFilter(QStringLiteral("companyid = ") + QString::number(id));
    ContactGrid->setVisible(true);
    FormatContactGrid();
}

void Companies_with_Contacts::FormatContactGrid() {
    for (int c = 0; c < contactModel_->columnCount(); ++c) {
        if (c == kContactIdColumn || c == kCompanyIdColumn) {
            ContactGrid->setColumnHidden(c, true);
        } else if (c < kSizedColumns) {
            ContactGrid->setColumnWidth(c, contactWidths_[c]);
        }
    }
    // No contacts: no heading row either.
    ContactGrid->horizontalHeader()->setVisible(contactModel_->rowCount() > 0);
}

void Companies_with_Contacts::AdodcCPY_MoveComplete(int) {
    AdodcCPY->setCaption(QStringLiteral("Record %1 of %2")
                             .arg(CompaniesRecordset.AbsolutePosition())
                             .arg(CompaniesRecordset.RecordCount()));
    if (!db::HasCurrentRow(CompaniesRecordset)) return;
    EnableBillingAddress();
    // Renewed on every move, whatever the company before had.
    ShowCompanyContacts();
}

void Companies_with_Contacts::AdodcCPY_Error(const QString& description) {
    // The user's changes stay in the row and the boxes, to be put right and saved.
    ui::MsgBox(description, ui::vbOKOnly, QString(), this);
}

void Companies_with_Contacts::EnableBillingAddress() {
    const bool same = SameAsChk->checkState() == Qt::Checked;
    for (QLineEdit* box : BAddr) box->setEnabled(!same);
}

void Companies_with_Contacts::SameAsChk_Click() { EnableBillingAddress(); }

void Companies_with_Contacts::Toolbar1_ButtonClick(const QString& key) {
    if (key == QLatin1String("btnSave")) {
        if (!AdodcCPY->Update()) {
            ui::MsgBox(AdodcCPY->LastError(), ui::vbOKOnly, QString(), this);
            return;
        }
        // A company saved for the first time now has an id and can list contacts.
        ShowCompanyContacts();
    } else if (key == QLatin1String("btnNewCompany")) {
        if (!new_cpy()) ui::MsgBox(AdodcCPY->LastError(), ui::vbOKOnly, QString(), this);
    } else if (key == QLatin1String("btnNewContact")) {
        new_contact();
    }
}

void Companies_with_Contacts::new_contact() {
    CurrentContactID = 0;
    if (!HandOverCompany()) return;
    ShowContactWindow();
    init_ContactGrid();
}

bool Companies_with_Contacts::HandOverCompany() {
    const int id = SavedCompanyID();
    if (id == 0) {
        ui::MsgBox(kNotSaved, ui::vbOKOnly, QString(), this);
        return false;
    }
    CurrentCompanyID = id;
    return true;
}

void Companies_with_Contacts::ContactGrid_DblClick() {
    if (ContactsRecordset.State() != db::adStateOpen || contactModel_->rowCount() == 0) {
        CurrentContactID = 0;
        if (!HandOverCompany()) return;
    } else {
        const QModelIndex current = ContactGrid->currentIndex();
        const int row = current.isValid() ? current.row() : 0;
        ContactGrid->setCurrentIndex(contactModel_->index(row, kContactIdColumn));
        CurrentContactID = contactModel_->value(row, kContactIdColumn).toInt();
    }
    ui::SetMousePointer(ui::vbHourglass);
    ReleaseContactGrid();
    ShowContactWindow();
    init_ContactGrid();
}

void Companies_with_Contacts::ShowContactWindow() { Forms::get<Contacts>(this)->exec(); }

void Companies_with_Contacts::ReleaseContactGrid() {
    contactModel_->setRecordset(nullptr);
    ContactsRecordset.Close();
}

int Companies_with_Contacts::ShowModal(QWidget* owner) {
    if (parentWidget() != owner) setParent(owner, windowFlags());
    return exec();
}

bool Companies_with_Contacts::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ContactGrid->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        ContactGrid_DblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool Companies_with_Contacts::HasPendingEdits() const {
    if (!db::HasCurrentRow(CompaniesRecordset)) return false;
    // Showing a row resets a box's modified flag, so it is set only by the user's typing.
    QList<const QLineEdit*> boxes{Text1, Text2};
    for (const QLineEdit* box : txtFields) boxes << box;
    for (const QLineEdit* box : PAddr) boxes << box;
    for (const QLineEdit* box : BAddr) boxes << box;
    for (const QLineEdit* box : boxes)
        if (box->isModified()) return true;
    const QVariant same = CompaniesRecordset.Value(QStringLiteral("IsBillingAddressSameasPostal"));
    return (SameAsChk->checkState() == Qt::Checked) != (!db::IsNull(same) && same.toBool());
}

bool Companies_with_Contacts::SavedOrDiscarded() {
    if (!HasPendingEdits()) return true;
    const QString name = txtFields[0]->text().trimmed();
    return SaveChangesBeforeClosing(this, name.isEmpty() ? QStringLiteral("the new company") : name,
                                    [this] {
                                        if (AdodcCPY->Update()) return true;
                                        ui::MsgBox(AdodcCPY->LastError(), ui::vbOKOnly, QString(), this);
                                        return false;
                                    });
}

void Companies_with_Contacts::reject() {
    if (!unloaded_ && !SavedOrDiscarded()) return;
    QDialog::reject();
}

void Companies_with_Contacts::done(int result) {
    Form_Unload();
    QDialog::done(result);
    if (Forms::find<Companies_with_Contacts>() == this) Forms::unload<Companies_with_Contacts>();
}

void Companies_with_Contacts::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    for (int c = 0; c < kSizedColumns; ++c)
        catalogue::WriteWholeNumber(catalogue::ContactColWidth(c),
                                    contactWidths_[c] * kTwipsPerPixel);
    ReleaseContactGrid();
    CompaniesRecordset.Close();
    ui::SetMousePointer(ui::vbDefault);
}

void ShowCustomerWindow(QWidget* owner) {
    const bool fresh = !Forms::loaded<Companies_with_Contacts>();
    Companies_with_Contacts* w = Forms::get<Companies_with_Contacts>(owner);
    if (fresh && owner)
        QObject::connect(owner, &QObject::destroyed, w,
                         [] { Forms::unload<Companies_with_Contacts>(); });
    // Owned, it stays above the main window when that is clicked, without blocking it.
    if (owner && w->parentWidget() != owner) w->setParent(owner, w->windowFlags());
    w->show();
    w->raise();
    w->activateWindow();
}
