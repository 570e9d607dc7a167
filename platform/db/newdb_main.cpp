// tollbook-newdb PATH: writes an empty Ambrelle database.
#include <QCoreApplication>
#include <QTextStream>

#include "platform/db/schema.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
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
