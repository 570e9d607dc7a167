#include "frmSplash.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>

#include "core/globals.h"

frmSplash::frmSplash(QWidget* parent) : QDialog(parent, Qt::SplashScreen) {
    ui_.setupUi(this);
    Picture1 = ui_.Picture1;
    lblVersion = ui_.lblVersion;
    Status = ui_.Status;
    lblCompany = ui_.lblCompany;
    lblCopyright = ui_.lblCopyright;
    lblDisclaimer = ui_.lblDisclaimer;
    Form_Load();
}

QString frmSplash::VersionCaption(const QString& version) {
    const QStringList parts = version.split(u'.');
    auto part = [&](int i) { return i < parts.size() ? QString::number(parts[i].toInt()) : QStringLiteral("0"); };
    return QStringLiteral("Version %1.%2.%3").arg(part(0), part(1), part(2));
}

void ShowProgramLogo(QLabel* picture) {
    const QPixmap logo(QDir(ProgramFolder()).filePath(frmSplash::LogoFileName()));
    if (!logo.isNull()) picture->setPixmap(logo.scaled(picture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void frmSplash::Form_Load() {
    ShowProgramLogo(Picture1);
    lblVersion->setText(VersionCaption(QCoreApplication::applicationVersion()));
}
