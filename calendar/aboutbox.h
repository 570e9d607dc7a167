#pragma once

#include <QDialog>
#include <QList>

class QFrame;
class QLabel;
class QPushButton;

// The control's about box: product name, version and the maker's details.
class frmAboutH : public QDialog {
    Q_OBJECT
public:
    explicit frmAboutH(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;  // product name
    QList<QLabel*> Label2;     // the maker's details
    QLabel* Label3 = nullptr;  // version
    QFrame* Line1 = nullptr;
    QPushButton* cmdOK = nullptr;

public slots:
    void cmdOK_Click();
};
