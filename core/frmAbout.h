#pragma once

#include <QDialog>

#include "ui_frmAbout.h"

class QLabel;
class QPushButton;

// What the program is and its version; starts the system-information tool on request.
class frmAbout : public QDialog {
    Q_OBJECT
  public:
    explicit frmAbout(QWidget* parent = nullptr);

    QLabel* Picture1;
    QLabel* lblDescription;
    QLabel* lblVersion;
    QLabel* lblCompany;
    QLabel* lblCopyright;
    QLabel* lblDisclaimer;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;

  public slots:
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

  private:
    Ui::frmAbout ui_;
};
