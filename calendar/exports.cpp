// The library's entry points: self-registration and the control factory. Only C names and Qt
// types cross to the host.
#include <QWidget>

#include "calendar/orbicle.h"
#include "platform/com/registry.h"

#define ORBICLE_EXPORT extern "C" __attribute__((visibility("default")))

ORBICLE_EXPORT com::HRESULT DllRegisterServer();

ORBICLE_EXPORT com::HRESULT DllRegisterServer() {
    com::ComponentEntry entry;
    entry.progId = QLatin1String(Orbicle::kProgId);
    entry.library = com::ModulePath(reinterpret_cast<const void*>(&DllRegisterServer));
    entry.className = QStringLiteral("Orbicle");
    entry.typeLibrary = QStringLiteral("Gyrodate");
    entry.version = QStringLiteral("3.04");
    entry.description = QStringLiteral("OCX component  ( Month Calendar )");
    if (entry.library.isEmpty()) return com::SELFREG_E_CLASS;
    return com::RegisterComponent(entry) ? com::S_OK : com::SELFREG_E_CLASS;
}

ORBICLE_EXPORT com::HRESULT DllUnregisterServer() {
    return com::UnregisterComponent(QLatin1String(Orbicle::kProgId)) ? com::S_OK
                                                                     : com::SELFREG_E_CLASS;
}

ORBICLE_EXPORT com::HRESULT DllCanUnloadNow() {
    return Orbicle::LiveInstances() == 0 ? com::S_OK : com::S_FALSE;
}

ORBICLE_EXPORT QWidget* CreateControl(const char* progId, QWidget* parent) {
    if (!progId || QString::fromUtf8(progId).compare(QLatin1String(Orbicle::kProgId),
                                                     Qt::CaseInsensitive) != 0)
        return nullptr;
    return new Orbicle(parent);
}
