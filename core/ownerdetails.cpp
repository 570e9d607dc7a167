#include "ownerdetails.h"

#include "core/forms.h"
#include "core/frmOptions.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "platform/db/recordset.h"
#include "platform/ui/prompts.h"

bool OwnerDetailsMissing(db::Connection& connection) {
    db::Recordset rs;
    // A table that cannot be read counts as empty, as a missing row does.
    rs.Open(QStringLiteral("select fieldname, value from system"), connection, db::adOpenDynamic,
            db::adLockReadOnly);
    bool missing = false;
    // The name row itself: OwnerCompanyName holds a stand-in text when the row is missing.
    for (const QString& key : {catalogue::sys::MyAddress, catalogue::sys::MyPostcode,
                               catalogue::sys::MyEmail, catalogue::sys::MyCompanyName}) {
        if (catalogue::ReadSystemRow(rs, key).value_or(QString()).trimmed().isEmpty())
            missing = true;
    }
    rs.Close();
    return missing;
}

bool CheckOwnerDetails(QWidget* owner) {
    if (!OwnerDetailsMissing(DbConnection())) return false;
    ui::MsgBox(
        QStringLiteral("There appears to be information about you / your company missing,\r\n"
                       "please fill in the details section of the options form."),
        ui::vbOKOnly, AppTitle, owner);
    frmOptions* options = Forms::get<frmOptions>(owner);
    if (options->parentWidget() != owner) options->setParent(owner, options->windowFlags());
    options->tbsOptions->setCurrentIndex(frmOptions::DetailsTab - 1);
    ui::SetMousePointer(ui::vbDefault);
    options->exec();
    return true;
}
