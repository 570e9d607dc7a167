#pragma once

#include <QDialog>

#include "mailprofile.h"
#include "ui_frmMailLogon.h"

namespace mapi {

// The logon dialog of the send call: asks for the mail profile and the password.
class frmMailLogon : public QDialog {
    Q_OBJECT
  public:
    frmMailLogon(const MailProfile& shown, QWidget* parent = nullptr);
    MailProfile Profile() const;

  private:
    Ui::frmMailLogon ui_;
};

}  // namespace mapi
