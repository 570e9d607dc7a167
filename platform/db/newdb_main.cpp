// tollbook-newdb PATH: writes an empty Ambrelle database.
#include <QCoreApplication>
#include <QTextStream>

#include "platform/db/schema.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() == 2 && (args[1] == u"-h" || args[1] == u"--help")) {
        QTextStream(stdout) << "usage: tollbook-newdb PATH\nWrites a new, empty Ambrelle database; an existing file is left alone.\n";
        return 0;
    }
    // A name that looks like an option is far more likely a mistyped one than a file name.
    if (args.size() != 2 || args[1].startsWith(u'-')) {
        err << "usage: tollbook-newdb PATH\n";
        return 2;
    }
    QString error;
    if (!db::CreateDatabase(args[1], &error)) {
        err << error << "\n";
        return 1;
    }
    return 0;
}
