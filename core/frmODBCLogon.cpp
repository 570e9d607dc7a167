#include "frmODBCLogon.h"

#include "core/odbclogonrules.h"
#include "core/settingscatalogue.h"
#include "platform/odbc/odbc.h"

frmODBCLogon::frmODBCLogon(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    cboDSNList = ui_.cboDSNList;
    cboDrivers = ui_.cboDrivers;
    txtServer = ui_.txtServer;
    txtUID = ui_.txtUID;
    txtPWD = ui_.txtPWD;
    txtDatabase = ui_.txtDatabase;
    cmdOK = ui_.cmdOK;
    cmdCancel = ui_.cmdCancel;
    connect(cboDSNList, &QComboBox::currentIndexChanged, this, &frmODBCLogon::cboDSNList_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmODBCLogon::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmODBCLogon::cmdCancel_Click);
    Form_Load();
}

void frmODBCLogon::Form_Load() { GetDSNsAndDrivers(); }

void frmODBCLogon::GetDSNsAndDrivers() {
    cboDSNList->clear();
    cboDrivers->clear();
    cboDSNList->addItem(odbclogon::kNoDataSource);
    QStringList drivers;
    if (const auto sources = odbc::DataSources()) {
        for (const odbc::DataSource& source : *sources) {
            if (source.name.trimmed().isEmpty()) continue;
            cboDSNList->addItem(source.name);
            drivers << source.driver;
        }
    }
    cboDrivers->addItems(odbclogon::CollapseNeighbouringDuplicates(drivers));
    cboDSNList->setCurrentIndex(0);
    cboDSNList_Click();
}

void frmODBCLogon::cboDSNList_Click() {
    const bool none = cboDSNList->currentText() == odbclogon::kNoDataSource;
    txtServer->setEnabled(none);
    cboDrivers->setEnabled(none);
}

void frmODBCLogon::cmdOK_Click() {
    odbclogon::LogonValues values;
    if (cboDSNList->currentIndex() > 0) {
        values.dataSource = cboDSNList->currentText();
    } else {
        values.driver = cboDrivers->currentText();
        values.server = txtServer->text();
    }
    values.user = txtUID->text();
    values.password = txtPWD->text();
    values.database = txtDatabase->text();
    catalogue::WriteText(catalogue::ADOString, odbclogon::ConnectionString(values));
    // Stored: start-up reads it next time, so the window has nothing more to do.
    close();
}

void frmODBCLogon::cmdCancel_Click() { close(); }
