// Registers or unregisters a component library in the component registry, by running the
// library's own DllRegisterServer or DllUnregisterServer.
//   tollbook-regsvr [-u] [-s] LIBRARY      ("/" may stand for "-")
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include "platform/com/registry.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool unregister = false;
    bool silent = false;
    bool bad = false;
    QString library;
    const QStringList args = app.arguments().mid(1);
    for (const QString& a : args) {
        const QString opt =
            a.size() == 2 && (a[0] == u'-' || a[0] == u'/') ? a.mid(1).toLower() : QString();
        if (opt == u"u")
            unregister = true;
        else if (opt == u"s")
            silent = true;
        else if (library.isEmpty() && !a.startsWith(u'-'))
            library = a;
        else
            bad = true;  // an unknown option or a second library
    }
    QTextStream err(stderr);
    if (bad || library.isEmpty()) {
        err << "Usage: tollbook-regsvr [-u] [-s] LIBRARY\n"
               "  -u  unregister the library's components\n"
               "  -s  silent: print nothing on success\n";
        return 2;
    }
    const QString path = QFileInfo(library).absoluteFilePath();
    const bool ok = unregister ? com::UnregisterLibrary(path) : com::RegisterLibrary(path);
    if (!ok) {
        err << com::LastError() << '\n';
        return 1;
    }
    if (!silent)
        QTextStream(stdout) << (unregister ? "DllUnregisterServer" : "DllRegisterServer")
                            << " in \"" << path << "\" succeeded (component registry \""
                            << com::RegistryFile() << "\").\n";
    return 0;
}
