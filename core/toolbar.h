#pragma once

#include <QBoxLayout>
#include <QStyle>
#include <QToolBar>

#include <functional>

// Adds a button whose key (its object name, "btnSave") is what the window's toolbar handler
// is dispatched on, as every toolbar of the program is.
inline QAction* AddKeyedButton(QToolBar* bar, const char* key, const QString& caption, const QString& tip,
                               QStyle::StandardPixmap icon, const std::function<void(const QString&)>& onClick) {
    QAction* a = bar->addAction(bar->style()->standardIcon(icon), caption);
    a->setObjectName(QString::fromLatin1(key));
    a->setToolTip(tip);
    QObject::connect(a, &QAction::triggered, bar, [a, onClick] { onClick(a->objectName()); });
    return a;
}

// The window's toolbar ("Toolbar1"), first in its layout.
inline QToolBar* AddWindowToolbar(QWidget* window, QBoxLayout* layout, Qt::ToolButtonStyle style) {
    auto* bar = new QToolBar(window);
    bar->setObjectName(QStringLiteral("Toolbar1"));
    bar->setToolButtonStyle(style);
    layout->insertWidget(0, bar);
    return bar;
}
