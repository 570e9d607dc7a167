#include "frmMain.h"

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Ambrelle"));
    resize(800, 600);
}
