#pragma once

#include <QDialog>

#include "ui_frmSplash.h"

class QLabel;

// Shown while the program connects to its database.
class frmSplash : public QDialog {
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);

    QLabel* Picture1;
    QLabel* lblVersion;
    QLabel* Status;
    QLabel* lblCompany;
    QLabel* lblCopyright;
    QLabel* lblDisclaimer;

    // "Version 1.1.4" from a version text such as "1.01.0004".
    static QString VersionCaption(const QString& version);
    static QString LogoFileName() { return QStringLiteral("ambrelle-logo.png"); }

public slots:
    void Form_Load();

private:
    Ui::frmSplash ui_;
};

// The program's logo, fitted into `picture`; nothing when the file is missing.
void ShowProgramLogo(QLabel* picture);
