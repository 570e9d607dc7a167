#include "frmMailLogon.h"

namespace mapi {

frmMailLogon::frmMailLogon(const MailProfile& shown, QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    ui_.txtServer->setText(shown.server);
    ui_.txtPort->setValue(shown.port);
    ui_.cboSecurity->setCurrentIndex(shown.security);
    ui_.txtUser->setText(shown.user);
    ui_.txtPassword->setText(shown.password);
    ui_.txtSender->setText(shown.sender);
    connect(ui_.cmdButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui_.cmdButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // A known profile lacks only its password.
    if (shown.complete()) ui_.txtPassword->setFocus();
}

MailProfile frmMailLogon::Profile() const {
    MailProfile p;
    p.server = ui_.txtServer->text().trimmed();
    p.port = ui_.txtPort->value();
    p.security = static_cast<MailProfile::Security>(ui_.cboSecurity->currentIndex());
    p.user = ui_.txtUser->text().trimmed();
    p.password = ui_.txtPassword->text();
    p.sender = ui_.txtSender->text().trimmed();
    return p;
}

}  // namespace mapi
