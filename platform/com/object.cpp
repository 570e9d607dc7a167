#include "object.h"

#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QObject>
#include <QWidget>

#include <climits>

#include "internal.h"
#include "registry.h"

namespace com {
namespace {

using Factory = QWidget* (*)(const char* progId, QWidget* parent);

struct LoadedLibrary {
    QLibrary* library;
    Factory factory;
};

// Libraries stay loaded for the life of the process: a control that lives on must never lose its
// code.
QHash<QString, LoadedLibrary>& Loaded() {
    static auto* loaded = new QHash<QString, LoadedLibrary>;
    return *loaded;
}

Factory LoadFactory(const QString& path) {
    if (const auto it = Loaded().constFind(path); it != Loaded().cend()) return it->factory;
    auto* lib = new QLibrary(path);
    if (!lib->load()) {
        internal::Fail(QStringLiteral("The component library \"%1\" cannot be loaded: %2")
                           .arg(path, lib->errorString()));
        delete lib;  // does not unload; the failed load left nothing to unload
        return nullptr;
    }
    auto factory = reinterpret_cast<Factory>(lib->resolve(kFactorySymbol));
    if (!factory) {
        internal::Fail(
            QStringLiteral("The component library \"%1\" does not create controls.").arg(path));
        delete lib;  // does not unload
        return nullptr;
    }
    Loaded().insert(path, {lib, factory});
    return factory;
}

QWidget* Make(const QString& progId, QWidget* parent) {
    internal::ClearError();
    const auto entry = FindComponent(progId);
    if (!entry) {
        internal::Fail(QStringLiteral("The component \"%1\" is not registered.").arg(progId));
        return nullptr;
    }
    if (entry->library.isEmpty() || !QFileInfo(entry->library).isFile()) {
        internal::Fail(
            QStringLiteral(
                "The library \"%1\" registered for the component \"%2\" cannot be found.")
                .arg(entry->library, entry->progId));
        return nullptr;
    }
    const QString path = QFileInfo(entry->library).absoluteFilePath();
    if (const QString defect = internal::LibraryDefect(path); !defect.isEmpty()) {
        internal::Fail(QStringLiteral("The component \"%1\" is damaged: its library \"%2\" %3.")
                           .arg(entry->progId, path, defect));
        return nullptr;
    }
    const Factory factory = LoadFactory(path);
    if (!factory) return nullptr;
    QWidget* w = factory(entry->progId.toUtf8().constData(), parent);
    if (!w)
        internal::Fail(QStringLiteral("The library \"%1\" does not make the component \"%2\".")
                           .arg(entry->library, entry->progId));
    return w;
}

QMetaMethod FindMethod(const QObject* object, const QString& name) {
    const QMetaObject* mo = object->metaObject();
    for (int i = 0; i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        if (QString::fromLatin1(m.name()).compare(name, Qt::CaseInsensitive) == 0) return m;
    }
    return QMetaMethod();
}

QMetaProperty FindProperty(const QObject* object, const QString& name) {
    const QMetaObject* mo = object->metaObject();
    for (int i = 0; i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        if (QString::fromLatin1(p.name()).compare(name, Qt::CaseInsensitive) == 0) return p;
    }
    return QMetaProperty();
}

bool NoMember(const QObject* object, const QString& name) {
    return internal::Fail(QStringLiteral("%1 doesn't support this property or method: %2")
                              .arg(object ? QString::fromLatin1(object->metaObject()->className())
                                          : QStringLiteral("Object"),
                                   name));
}

class PropertyChangedRelay : public QObject {
    Q_OBJECT
public:
    PropertyChangedRelay(std::function<void(const QString&)> handler, QObject* parent)
        : QObject(parent), handler_(std::move(handler)) {}
public slots:
    void relay(const QString& name) { handler_(name); }

private:
    std::function<void(const QString&)> handler_;
};

}  // namespace

QWidget* CreateObject(const QString& progId, QWidget* parent) {
    QWidget* w = Make(progId, parent);
    if (w) InitNew(w);
    return w;
}

QWidget* CreateObject(const QString& progId, QWidget* parent, const PropertyBag& bag) {
    QWidget* w = Make(progId, parent);
    if (w) Load(w, bag);
    return w;
}

bool InitNew(QObject* control) {
    if (!control) return NoMember(control, QStringLiteral("InitProperties"));
    const QMetaMethod m = FindMethod(control, QStringLiteral("InitProperties"));
    if (!m.isValid()) return true;  // a control without saved state has nothing to set up
    return m.invoke(control, Qt::DirectConnection) ||
           internal::Fail(QStringLiteral("InitProperties failed."));
}

bool Load(QObject* control, const PropertyBag& bag) {
    if (!control) return NoMember(control, QStringLiteral("ReadProperties"));
    const QMetaMethod m = FindMethod(control, QStringLiteral("ReadProperties"));
    if (!m.isValid()) return NoMember(control, QStringLiteral("ReadProperties"));
    return m.invoke(control, Qt::DirectConnection, Q_ARG(QVariantList, bag.ToVariant())) ||
           internal::Fail(QStringLiteral("ReadProperties failed."));
}

bool Save(QObject* control, PropertyBag* bag) {
    if (!control || !bag) return NoMember(control, QStringLiteral("WriteProperties"));
    const QMetaMethod m = FindMethod(control, QStringLiteral("WriteProperties"));
    if (!m.isValid()) return NoMember(control, QStringLiteral("WriteProperties"));
    QVariantList list;
    if (!m.invoke(control, Qt::DirectConnection, Q_RETURN_ARG(QVariantList, list)))
        return internal::Fail(QStringLiteral("WriteProperties failed."));
    *bag = PropertyBag::FromVariant(list);
    return true;
}

bool SetProperty(QObject* object, const QString& name, const QVariant& value) {
    internal::ClearError();
    if (!object) return NoMember(object, name);
    const QMetaProperty p = FindProperty(object, name);
    if (!p.isValid()) return NoMember(object, name);
    if (!p.isWritable())
        return internal::Fail(QStringLiteral("Property %1 is read-only.").arg(name));
    // Qt would wrap a whole number too big for the property's type; a dispatch call overflows.
    if (const int type = p.metaType().id(); type == QMetaType::Int || type == QMetaType::UInt) {
        bool isNumber = false;
        const qlonglong n = value.toLongLong(&isNumber);
        const qlonglong high = type == QMetaType::Int ? INT_MAX : UINT_MAX;
        if (isNumber && (n < INT_MIN || n > high))
            return internal::Fail(QStringLiteral("Overflow assigning property %1.").arg(name));
    }
    if (!p.write(object, value))
        return internal::Fail(QStringLiteral("Type mismatch assigning property %1.").arg(name));
    return true;
}

QVariant GetProperty(const QObject* object, const QString& name) {
    internal::ClearError();
    if (!object) return NoMember(object, name), QVariant();
    const QMetaProperty p = FindProperty(object, name);
    if (!p.isValid()) return NoMember(object, name), QVariant();
    return p.read(object);
}

bool CallMethod(QObject* object, const QString& name) {
    internal::ClearError();
    if (!object) return NoMember(object, name);
    const QMetaMethod m = FindMethod(object, name);
    if (!m.isValid() || m.parameterCount() != 0 || m.methodType() == QMetaMethod::Signal)
        return NoMember(object, name);
    return m.invoke(object, Qt::DirectConnection) ||
           internal::Fail(QStringLiteral("%1 failed.").arg(name));
}

bool OnPropertyChanged(QObject* control, QObject* context,
                       std::function<void(const QString&)> handler) {
    internal::ClearError();
    if (!control || !handler ||
        control->metaObject()->indexOfSignal("PropertyChanged(QString)") < 0)
        return NoMember(control, QStringLiteral("PropertyChanged"));
    auto* relay = new PropertyChangedRelay(std::move(handler), context ? context : control);
    if (!QObject::connect(control, SIGNAL(PropertyChanged(QString)), relay, SLOT(relay(QString)))) {
        delete relay;
        return NoMember(control, QStringLiteral("PropertyChanged"));
    }
    return true;
}

bool HasAboutBox(const QObject* control) {
    return control && FindMethod(control, QStringLiteral("ShowAboutBox")).isValid();
}

bool ShowAboutBox(QObject* control) { return CallMethod(control, QStringLiteral("ShowAboutBox")); }

}  // namespace com

#include "object.moc"
