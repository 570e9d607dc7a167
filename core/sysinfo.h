#pragma once

#include <QString>
#include <QStringList>

#include "platform/settings/registry.h"

class QWidget;

// The text of one registry value: a text as it is (up to its first NUL), a 32-bit number as
// its decimal text. False, and an empty text, when the key or value cannot be read or the
// value is of another type.
bool GetKeyValue(registry::Root root, const QString& keyName, const QString& valueName,
                 QString* keyValue);

// Where the system-information tool is recorded, and the desktop's own tools looked for on
// the search path when it is not.
inline const QString kMsinfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
inline const QString kMsinfoLocationKey =
    QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
inline const QString kMsinfoProgram = QStringLiteral("MSINFO32.EXE");
QStringList DesktopSysInfoPrograms();

// The system-information tool to start; empty when there is none. `searchPath` is the
// folders the desktop's tools are looked for in (the PATH when empty).
QString FindSysInfoProgram(const QStringList& searchPath = {});

// Starts the tool without waiting for it, or says that there is none.
void StartSysInfo(QWidget* parent = nullptr, const QStringList& searchPath = {});
