#include "Conflict_Manager.h"

#include "core/globals.h"
#include "diary/syncrules.h"

Conflict_Manager::Conflict_Manager(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    setFixedSize(size());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    DBStart = ui_.DBStart;
    DBFinish = ui_.DBFinish;
    DBDescription = ui_.DBDescription;
    btnDB = ui_.btnDB;
    OLStart = ui_.OLStart;
    OLFinish = ui_.OLFinish;
    OLDescription = ui_.OLDescription;
    btnOutlook = ui_.btnOutlook;
    connect(btnDB, &QPushButton::clicked, this, &Conflict_Manager::btnDB_Click);
    connect(btnOutlook, &QPushButton::clicked, this, &Conflict_Manager::btnOutlook_Click);
}

void Conflict_Manager::btnDB_Click() {
    SyncFlag = outlooksync::kDatabaseChanged;
    accept();
}

void Conflict_Manager::btnOutlook_Click() {
    SyncFlag = outlooksync::kOutlookChanged;
    accept();
}
