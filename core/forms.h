#pragma once

#include <QPointer>
#include <QWidget>

// Each window has one instance, created on first use and destroyed when unloaded, so one
// window can read another's open record set and controls.
class Forms {
public:
    // The window, created (with `parent`) when it does not exist yet.
    template <class T>
    static T* get(QWidget* parent = nullptr) {
        QPointer<T>& p = slot<T>();
        if (!p) {
            p = new T(parent);
            p->setAttribute(Qt::WA_DeleteOnClose, true);
        }
        return p.data();
    }
    // The window if it exists; never creates it.
    template <class T>
    static T* find() {
        return slot<T>().data();
    }
    template <class T>
    static bool loaded() {
        return !slot<T>().isNull();
    }
    // Closes the window (its close handler may refuse) and destroys it. The next get()
    // makes a new one at once; the old one is deleted when control returns to the event loop,
    // so a window may unload itself from its own handler.
    template <class T>
    static bool unload() {
        QPointer<T>& p = slot<T>();
        if (!p) return true;
        T* w = p.data();
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        if (w->isVisible() && !w->close()) {
            w->setAttribute(Qt::WA_DeleteOnClose, true);
            return false;
        }
        p.clear();
        w->hide();
        w->deleteLater();
        return true;
    }

private:
    template <class T>
    static QPointer<T>& slot() {
        static QPointer<T> p;
        return p;
    }
};
