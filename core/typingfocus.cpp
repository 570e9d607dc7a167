#include "typingfocus.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextEdit>

namespace {

bool TakesTyping(const QWidget* w) {
    if (const auto* line = qobject_cast<const QLineEdit*>(w)) return !line->isReadOnly();
    if (const auto* text = qobject_cast<const QPlainTextEdit*>(w)) return !text->isReadOnly();
    if (const auto* text = qobject_cast<const QTextEdit*>(w)) return !text->isReadOnly();
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(w)) return !spin->isReadOnly();
    return qobject_cast<const QComboBox*>(w) != nullptr;
}

bool TabReaches(const QWidget* w, const QWidget* page) {
    return (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(page) &&
           !w->focusProxy();
}

}  // namespace

QWidget* FirstBox(QWidget* page) {
    if (!page) return nullptr;
    QWidget* fallback = nullptr;
    // The focus chain is the Tab order; it runs through the whole window and back.
    for (QWidget* w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain()) {
        if (!page->isAncestorOf(w) || !TabReaches(w, page)) continue;
        if (TakesTyping(w)) return w;
        if (!fallback) fallback = w;
    }
    return fallback;
}

void FocusFirstBox(QWidget* page) {
    if (QWidget* box = FirstBox(page)) box->setFocus(Qt::OtherFocusReason);
}

void FocusFirstBoxOfShownPage(QTabWidget* tabs) {
    QObject::connect(tabs, &QTabWidget::currentChanged, tabs,
                     [tabs](int index) { FocusFirstBox(tabs->widget(index)); });
}
