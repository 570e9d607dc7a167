#include "registry.h"

#include <dlfcn.h>

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

#include "internal.h"

namespace com {
namespace {

constexpr char kRegistryVariable[] = "AMBRELLE_COMPONENT_REGISTRY";

QString& ErrorText() {
    static QString text;
    return text;
}

std::unique_ptr<QSettings> OpenRegistry() {
    return std::make_unique<QSettings>(RegistryFile(), QSettings::IniFormat);
}

// The stored spelling of a ProgID, or an empty text when it is not registered.
QString StoredProgId(const QSettings& s, const QString& progId) {
    for (const QString& g : s.childGroups())
        if (g.compare(progId, Qt::CaseInsensitive) == 0) return g;
    return QString();
}

bool Written(QSettings& s) {
    s.sync();
    if (s.status() == QSettings::NoError) return true;
    return internal::Fail(
        QStringLiteral("The component registry \"%1\" cannot be written.").arg(RegistryFile()));
}

using EntryPoint = HRESULT (*)();

bool RunEntryPoint(const QString& path, const char* name) {
    const QString file = QFileInfo(path).absoluteFilePath();
    if (!QFileInfo(file).isFile())
        return internal::Fail(QStringLiteral("The library \"%1\" cannot be found.").arg(file));
    if (const QString defect = internal::LibraryDefect(file); !defect.isEmpty())
        return internal::Fail(
            QStringLiteral("The library \"%1\" is damaged: it %2.").arg(file, defect));
    QLibrary lib(file);
    if (!lib.load())
        return internal::Fail(
            QStringLiteral("The library \"%1\" cannot be loaded: %2").arg(file, lib.errorString()));
    auto entry = reinterpret_cast<EntryPoint>(lib.resolve(name));
    if (!entry)
        return internal::Fail(
            QStringLiteral("The library \"%1\" was loaded, but the entry point %2 was not found.")
                .arg(file, QLatin1String(name)));
    const HRESULT hr = entry();
    if (hr != S_OK)
        return internal::Fail(QStringLiteral("%1 in \"%2\" failed with error code 0x%3.")
                                  .arg(QLatin1String(name), file)
                                  .arg(quint32(hr), 8, 16, QLatin1Char('0')));
    return true;
}

}  // namespace

namespace internal {

bool Fail(const QString& text) {
    ErrorText() = text;
    return false;
}

void ClearError() { ErrorText().clear(); }

}  // namespace internal

QString LastError() { return ErrorText(); }

QString RegistryFile() {
    if (const QByteArray env = qgetenv(kRegistryVariable); !env.isEmpty())
        return QString::fromLocal8Bit(env);
    QString folder;
    if (const QByteArray env = qgetenv("AMBRELLE_SETTINGS_DIR"); !env.isEmpty())
        folder = QString::fromLocal8Bit(env);
    else
        folder = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                     .filePath(QStringLiteral("Ambrelle"));
    return QDir(folder).filePath(QStringLiteral("components.ini"));
}

void SetRegistryFile(const QString& path) {
    if (path.isEmpty())
        qunsetenv(kRegistryVariable);
    else
        qputenv(kRegistryVariable, QFileInfo(path).absoluteFilePath().toLocal8Bit());
}

bool RegisterComponent(const ComponentEntry& entry) {
    internal::ClearError();
    if (entry.progId.trimmed().isEmpty() || entry.progId.contains(u'/') ||
        entry.progId.contains(u'\\'))
        return internal::Fail(QStringLiteral("\"%1\" is not a valid ProgID.").arg(entry.progId));
    if (entry.library.isEmpty())
        return internal::Fail(QStringLiteral("No library given for \"%1\".").arg(entry.progId));
    QDir().mkpath(QFileInfo(RegistryFile()).absolutePath());
    auto s = OpenRegistry();
    // Replace an entry spelled with other case, so that one ProgID has one entry.
    if (const QString old = StoredProgId(*s, entry.progId); !old.isEmpty()) s->remove(old);
    s->beginGroup(entry.progId);
    s->setValue(QStringLiteral("Library"), QFileInfo(entry.library).absoluteFilePath());
    s->setValue(QStringLiteral("Class"), entry.className);
    s->setValue(QStringLiteral("TypeLibrary"), entry.typeLibrary);
    s->setValue(QStringLiteral("Version"), entry.version);
    s->setValue(QStringLiteral("Description"), entry.description);
    s->endGroup();
    return Written(*s);
}

bool UnregisterComponent(const QString& progId) {
    internal::ClearError();
    if (!QFileInfo::exists(RegistryFile())) return true;
    auto s = OpenRegistry();
    if (const QString stored = StoredProgId(*s, progId); !stored.isEmpty()) s->remove(stored);
    return Written(*s);
}

std::optional<ComponentEntry> FindComponent(const QString& progId) {
    if (progId.isEmpty() || !QFileInfo::exists(RegistryFile())) return std::nullopt;
    auto s = OpenRegistry();
    const QString stored = StoredProgId(*s, progId);
    if (stored.isEmpty()) return std::nullopt;
    s->beginGroup(stored);
    ComponentEntry e;
    e.progId = stored;
    e.library = s->value(QStringLiteral("Library")).toString();
    e.className = s->value(QStringLiteral("Class")).toString();
    e.typeLibrary = s->value(QStringLiteral("TypeLibrary")).toString();
    e.version = s->value(QStringLiteral("Version")).toString();
    e.description = s->value(QStringLiteral("Description")).toString();
    s->endGroup();
    return e;
}

QStringList RegisteredProgIds() {
    if (!QFileInfo::exists(RegistryFile())) return {};
    return OpenRegistry()->childGroups();
}

bool RegisterLibrary(const QString& path) {
    internal::ClearError();
    return RunEntryPoint(path, "DllRegisterServer");
}

bool UnregisterLibrary(const QString& path) {
    internal::ClearError();
    return RunEntryPoint(path, "DllUnregisterServer");
}

QString ModulePath(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname) return QString();
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

}  // namespace com
