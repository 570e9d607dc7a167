#pragma once

#include <QMainWindow>

// The main window: the month's appointments, the calendar and the invoice lists.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
};
