#pragma once

#include <QDialog>

#include "ui_frmODBCLogon.h"

class QComboBox;
class QLineEdit;
class QPushButton;

// Composes an ODBC connection string for the database connection from a data source, or a
// driver and server, with user, password and database, and stores it for start-up.
class frmODBCLogon : public QDialog {
    Q_OBJECT
  public:
    explicit frmODBCLogon(QWidget* parent = nullptr);

    QComboBox* cboDSNList;
    QComboBox* cboDrivers;
    QLineEdit* txtServer;
    QLineEdit* txtUID;
    QLineEdit* txtPWD;
    QLineEdit* txtDatabase;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

  public slots:
    void Form_Load();
    void GetDSNsAndDrivers();
    void cboDSNList_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

  private:
    Ui::frmODBCLogon ui_;
};
