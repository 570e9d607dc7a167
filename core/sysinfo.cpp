#include "sysinfo.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

#include "platform/ui/prompts.h"

using namespace registry;

bool GetKeyValue(Root root, const QString& keyName, const QString& valueName, QString* keyValue) {
    keyValue->clear();
    HKEY key = nullptr;
    // Reading needs no more: change rights are refused to users who may only read the key.
    if (RegOpenKeyEx(root, keyName, KEY_READ, &key) != ERROR_SUCCESS) return false;
    std::uint32_t type = 0;
    QByteArray data(1024, '\0');
    const bool read = RegQueryValueEx(key, valueName, &type, &data) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (!read) return false;
    if (type == REG_SZ) {
        const qsizetype nul = data.indexOf('\0');
        *keyValue = QString::fromUtf8(nul < 0 ? data : data.left(nul));
        return true;
    }
    if (type == REG_DWORD && data.size() == 4) {
        *keyValue = QString::number(qFromLittleEndian<quint32>(data.constData()));
        return true;
    }
    return false;
}

QStringList DesktopSysInfoPrograms() {
    return {QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
            QStringLiteral("gnome-system-monitor"), QStringLiteral("mate-system-monitor"),
            QStringLiteral("xfce4-taskmanager")};
}

QString FindSysInfoProgram(const QStringList& searchPath) {
    QString value;
    if (GetKeyValue(HKEY_LOCAL_MACHINE, kMsinfoKey, QStringLiteral("PATH"), &value)) return value;
    if (GetKeyValue(HKEY_LOCAL_MACHINE, kMsinfoLocationKey, QStringLiteral("MSINFO"), &value)) {
        const QString program = QDir(value).filePath(kMsinfoProgram);
        if (QFileInfo(program).isFile()) return program;
    }
    for (const QString& name : DesktopSysInfoPrograms()) {
        const QString program = QStandardPaths::findExecutable(name, searchPath);
        if (!program.isEmpty()) return program;
    }
    return QString();
}

void StartSysInfo(QWidget* parent, const QStringList& searchPath) {
    const QString program = FindSysInfoProgram(searchPath);
    if (program.isEmpty() || !QProcess::startDetached(program, {}))
        ui::MsgBox(QStringLiteral("System Information Is Unavailable At This Time"), ui::vbOKOnly,
                   QString(), parent);
}
