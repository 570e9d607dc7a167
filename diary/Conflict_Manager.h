#pragma once

#include <QDialog>

#include "ui_Conflict_Manager.h"

// Asks which side wins when an appointment changed both in the database and in the calendar.
// The answer goes to SyncFlag; closing the dialog otherwise leaves SyncFlag as it was.
class Conflict_Manager : public QDialog {
    Q_OBJECT
  public:
    explicit Conflict_Manager(QWidget* parent = nullptr);

    QLineEdit* DBStart;
    QLineEdit* DBFinish;
    QPlainTextEdit* DBDescription;
    QPushButton* btnDB;
    QLineEdit* OLStart;
    QLineEdit* OLFinish;
    QPlainTextEdit* OLDescription;
    QPushButton* btnOutlook;

  public slots:
    void btnDB_Click();
    void btnOutlook_Click();

  private:
    Ui::Conflict_Manager ui_;
};
