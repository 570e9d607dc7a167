#include "frmAbout.h"

#include <QCoreApplication>

#include "core/frmSplash.h"
#include "core/sysinfo.h"

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    Picture1 = ui_.Picture1;
    lblDescription = ui_.lblDescription;
    lblVersion = ui_.lblVersion;
    lblCompany = ui_.lblCompany;
    lblCopyright = ui_.lblCopyright;
    lblDisclaimer = ui_.lblDisclaimer;
    cmdOK = ui_.cmdOK;
    cmdSysInfo = ui_.cmdSysInfo;
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    Form_Load();
}

void frmAbout::Form_Load() {
    ShowProgramLogo(Picture1);
    lblDescription->setText(QStringLiteral(
        "Ambrelle, the scheduling and invoicing management application for the small business."));
    lblVersion->setText(frmSplash::VersionCaption(QCoreApplication::applicationVersion()));
}

void frmAbout::cmdOK_Click() { close(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(this); }
