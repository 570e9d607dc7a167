#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow w;
    w.setObjectName(QStringLiteral("frmMain"));
    w.setWindowTitle(QStringLiteral("Ambrelle"));
    w.resize(800, 600);
    w.show();
    return app.exec();
}
