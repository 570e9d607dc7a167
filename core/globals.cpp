#include "globals.h"

#include <QCoreApplication>

namespace {
QString& ProgramFolderOverride() {
    static QString folder;
    return folder;
}
}  // namespace

db::Connection& DbConnection() {
    static db::Connection connection;
    return connection;
}

QString ProgramFolder() {
    if (!ProgramFolderOverride().isEmpty()) return ProgramFolderOverride();
    return QCoreApplication::applicationDirPath();
}

void SetProgramFolder(const QString& folder) { ProgramFolderOverride() = folder; }
