#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <functional>

#include "platform/com/propertybag.h"

namespace com {

// What a component library exports (all extern "C", nothing but Qt types crossing):
//   HRESULT DllRegisterServer();   HRESULT DllUnregisterServer();   HRESULT DllCanUnloadNow();
//   QWidget* CreateControl(const char* progId, QWidget* parent);   // nullptr for a ProgID it lacks
// and what the control it makes offers by name, through Qt's meta-object system:
//   Q_INVOKABLE void InitProperties();                         a new instance takes its defaults
//   Q_INVOKABLE void ReadProperties(const QVariantList& bag);  a saved one reads its bag
//                                                              (PropertyBag::ToVariant)
//   Q_INVOKABLE QVariantList WriteProperties();                its state for saving
//   signal PropertyChanged(QString name);                      its saved state changed
//   Q_INVOKABLE void ShowAboutBox();                           optional: the "About" entry
inline constexpr char kFactorySymbol[] = "CreateControl";

// Creates the control registered under `progId` as a child of `parent`: loads the library (which
// is then never unloaded), makes the control and lets it take its defaults (or the values of
// `bag`). Returns nullptr with LastError() set when the ProgID is unknown or the library is
// missing, unloadable or does not make it.
QWidget* CreateObject(const QString& progId, QWidget* parent);
QWidget* CreateObject(const QString& progId, QWidget* parent, const PropertyBag& bag);

// The container's side of persistence.
bool InitNew(QObject* control);
bool Load(QObject* control, const PropertyBag& bag);
bool Save(QObject* control, PropertyBag* bag);

// Late-bound access by member name, names compared without case. Unlike QObject::setProperty, an
// unknown name fails instead of creating a dynamic property.
bool SetProperty(QObject* object, const QString& name, const QVariant& value);
QVariant GetProperty(const QObject* object, const QString& name);  // invalid when unknown
bool CallMethod(QObject* object, const QString& name);             // no arguments, no result

// The property-changed notification: `handler` gets the property's name each time the control
// reports one of its saved properties changed. The connection ends with `context`.
bool OnPropertyChanged(QObject* control, QObject* context,
                       std::function<void(const QString&)> handler);

// The "About" entry a property browser offers.
bool HasAboutBox(const QObject* control);
bool ShowAboutBox(QObject* control);

}  // namespace com
