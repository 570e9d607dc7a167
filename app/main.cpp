#include <QApplication>

#include "core/forms.h"
#include "core/startup.h"
#include "diary/frmMain.h"
#include "platform/db/connection.h"
#include "platform/ui/busywait.h"

int main(int argc, char** argv) {
    // Without TZ the C library reads the zone file again for every local date it converts.
    if (!qEnvironmentVariableIsSet("TZ")) qputenv("TZ", ":/etc/localtime");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tollbook"));
    QApplication::setApplicationVersion(QStringLiteral(AMBRELLE_VERSION));

    // A statement that meets another program's lock waits behind the busy pointer and a window
    // whose Cancel gives it up, rather than freezing the windows.
    auto databaseWait = std::make_shared<ui::BusyWait>(
        QStringLiteral("Another program is using the database. Waiting for it to finish..."));
    db::SetBusyWait({[databaseWait](int waitedMs) { return databaseWait->KeepWaiting(waitedMs); },
                     [databaseWait] { databaseWait->End(); }});

    StartupHooks hooks;
    hooks.showMainWindow = [] { Forms::get<frmMain>()->show(); };
    hooks.checkOwnerDetails = [] { Forms::find<frmMain>()->CheckOwnerDetailsAtStart(); };
    // The command line as one text, so that Main reads it the way it was typed.
    if (!Main(QApplication::arguments().mid(1).join(u' '), hooks)) return 0;
    return QApplication::exec();
}
