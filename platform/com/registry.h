#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace com {

// One registered component: the ProgID a host asks for and the library that makes it.
struct ComponentEntry {
    QString progId;
    QString library;  // absolute path of the shared library
    QString className;
    QString typeLibrary;
    QString version;
    QString description;
};

// Status codes of a library's exported entry points (32-bit, negative on failure).
using HRESULT = std::int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);

// The component registry: a file in the per-user settings folder ("components.ini"). The
// environment variable AMBRELLE_COMPONENT_REGISTRY names another file; tests set it (through
// SetRegistryFile) so that they never touch the user's. The choice is process-wide, so a library
// that registers itself writes where its host reads.
QString RegistryFile();
// An empty path returns to the default.
void SetRegistryFile(const QString& path);

// Written by a library's DllRegisterServer and removed by its DllUnregisterServer. ProgIDs compare
// without case.
bool RegisterComponent(const ComponentEntry& entry);
bool UnregisterComponent(const QString& progId);
std::optional<ComponentEntry> FindComponent(const QString& progId);
QStringList RegisteredProgIds();

// What the register tool does: loads the library at `path` and runs its DllRegisterServer
// (DllUnregisterServer). The library stays loaded.
bool RegisterLibrary(const QString& path);
bool UnregisterLibrary(const QString& path);

// The absolute file name of the loaded module that holds `address`; lets a library name itself
// when it registers.
QString ModulePath(const void* address);

// Text of the last failure of any call in this layer.
QString LastError();

}  // namespace com
