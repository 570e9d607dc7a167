#include "Contacts.h"

#include <QStyle>
#include <QToolBar>

#include "core/forms.h"
#include "core/globals.h"
#include "core/toolbar.h"
#include "core/typingfocus.h"
#include "platform/ui/prompts.h"

namespace {
const char* const kFields[] = {"Firstname",       "Lastname",        "Position",
                               "DirectTelephone", "MobileTelephone", "EmailAddress1",
                               "EmailAddress2"};
}

Contacts::Contacts(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    txtfields = {ui_.txtfields_0, ui_.txtfields_1, ui_.txtfields_2, ui_.txtfields_3,
                 ui_.txtfields_4, ui_.txtfields_5, ui_.txtfields_6};
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Toolbar1->setGeometry(0, 0, width(), 38);
    auto add = [this](const char* key, const QString& caption, const QString& tip,
                      QStyle::StandardPixmap icon) {
        AddKeyedButton(Toolbar1, key, caption, tip, icon,
                       [this](const QString& k) { Toolbar1_ButtonClick(k); });
    };
    add("btnSave", QStringLiteral("Save"), QStringLiteral("Click here to save your changes"),
        QStyle::SP_DialogSaveButton);
    add("btnCancel", QStringLiteral("Delete"),
        QStringLiteral("Click here to abort changes and close the form."), QStyle::SP_TrashIcon);
    setFixedSize(size());
    Form_Load();
}

Contacts::~Contacts() { Form_Unload(); }

void Contacts::Form_Load() {
    ContactRecordset.Open(QStringLiteral("select * from contacts"), DbConnection(),
                          db::adOpenDynamic, db::adLockOptimistic);
    fields_.setRecordset(ContactRecordset);
    for (size_t i = 0; i < txtfields.size(); ++i)
        fields_.bind(txtfields[i], QString::fromLatin1(kFields[i]));
    ui::SetMousePointer(ui::vbDefault);
    if (CurrentContactID != 0) {
        ContactRecordset.SetFilter(QStringLiteral("contactID = ") +
                                   QString::number(CurrentContactID));
    } else if (ContactRecordset.AddNew()) {
        ContactRecordset.SetValue(QStringLiteral("CompanyID"), CurrentCompanyID);
    }
    fields_.Load();
    FocusFirstBox(this);
}

void Contacts::Toolbar1_ButtonClick(const QString& key) {
    if (key == QLatin1String("btnSave")) {
        SaveContact();
    } else if (key == QLatin1String("btnCancel")) {
        DeleteContact();
    }
}

void Contacts::SaveContact() {
    if (!fields_.Write()) {
        ui::MsgBox(fields_.LastError(), ui::vbOKOnly, QString(), this);
        return;
    }
    if (!ContactRecordset.Update()) {
        // The edits stay in the boxes so the user can put them right or delete the contact.
        ui::MsgBox(ContactRecordset.LastError(), ui::vbOKOnly, QString(), this);
        return;
    }
    accept();
}

void Contacts::DeleteContact() {
    if (ContactRecordset.EditMode() == db::Recordset::adEditAdd) {
        ContactRecordset.CancelUpdate();
    } else if (db::HasCurrentRow(ContactRecordset)) {
        if (ui::MsgBox(QStringLiteral("Are you sure you want to delete this contact?"),
                       ui::vbYesNo | ui::vbQuestion, QString(), this) != ui::vbYes)
            return;
        if (!ContactRecordset.Delete()) {
            ui::MsgBox(ContactRecordset.LastError(), ui::vbOKOnly, QString(), this);
            return;
        }
    }
    accept();
}

void Contacts::done(int result) {
    Form_Unload();
    QDialog::done(result);
    // One contact per showing: the next showing loads a fresh window.
    if (Forms::find<Contacts>() == this) Forms::unload<Contacts>();
}

void Contacts::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    CurrentContactID = 0;
    CurrentCompanyID = 0;
    ContactRecordset.Close();
}
