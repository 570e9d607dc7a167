// Draws the control, created by ProgID, in both sizes with a colour mask and saves the window as
// a PNG (default /tmp/orbicle.png). Run under xvfb-run to look at it.
#include <QApplication>
#include <QDate>
#include <QHBoxLayout>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include "platform/com/com.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/orbicle.png");
    QTemporaryDir registry;
    com::SetRegistryFile(registry.filePath(QStringLiteral("components.ini")));
    if (!com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY))) {
        QTextStream(stderr) << com::LastError() << '\n';
        return 1;
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("Orbicle"));
    auto* layout = new QHBoxLayout(&window);
    const QDate today = QDate::currentDate();
    for (const bool small : {false, true}) {
        QWidget* c = com::CreateObject(QStringLiteral("Gyrodate.Orbicle"), &window);
        if (!c) {
            QTextStream(stderr) << com::LastError() << '\n';
            return 1;
        }
        com::SetProperty(c, QStringLiteral("Small"), small);
        com::SetProperty(c, QStringLiteral("StartDay"), small ? 2 : 1);
        com::SetProperty(c, QStringLiteral("MonthIN"), today.month());
        com::SetProperty(c, QStringLiteral("YearIN"), today.year());
        com::SetProperty(c, QStringLiteral("Color_A"), 0x00FFFFFF);
        com::SetProperty(c, QStringLiteral("Color_B"), 0x00C0C0C0);
        com::SetProperty(c, QStringLiteral("Color_C"), 0x0080FFFF);  // light yellow: busy
        com::SetProperty(c, QStringLiteral("Color_D"), 0x008080FF);  // light red: conflicting
        // Busy on the 3rd, 10th-12th and 20th, conflicting on the 15th.
        const int first = com::GetProperty(c, QStringLiteral("OutputInfo")).toInt() / 1000 % 10;
        QString mask = QString(7, u'B') + QString(42, u'A');
        for (int day : {3, 10, 11, 12, 20}) mask[first + 7 + day - 1] = u'C';
        mask[first + 7 + 15 - 1] = u'D';
        com::SetProperty(c, QStringLiteral("ColorMask"), mask);
        layout->addWidget(c, 0, Qt::AlignTop);
    }
    window.show();
    QTimer::singleShot(300, &app, [&] {
        const bool saved = window.grab().save(out);
        QTextStream(stdout) << (saved ? "saved " : "could not save ") << out << '\n';
        app.exit(saved ? 0 : 1);
    });
    return app.exec();
}
