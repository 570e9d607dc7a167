#include "datebox.h"

#include <QKeyEvent>
#include <QLineEdit>

DateBox::DateBox(QWidget* parent) : QDateEdit(parent) {
    // The box's mouse events go to its text field, not to the box.
    lineEdit()->installEventFilter(this);
}

bool DateBox::eventFilter(QObject* watched, QEvent* event) {
    const bool click = event->type() == QEvent::MouseButtonRelease;
    const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
    if (watched != lineEdit() || (!click && !doubleClick)) return QDateEdit::eventFilter(watched, event);
    // The text field places the cursor (and makes its own selection) first.
    static_cast<QObject*>(lineEdit())->event(event);
    movedOn_ = false;
    // A drag that selected text keeps its selection.
    if (doubleClick || !lineEdit()->hasSelectedText()) setSelectedSection(currentSection());
    return true;
}

void DateBox::focusInEvent(QFocusEvent* event) {
    movedOn_ = false;
    QDateEdit::focusInEvent(event);
}

void DateBox::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    const QChar typed = text.isEmpty() ? QChar() : text.at(0);
    const bool digit = typed.isDigit();
    const bool separator = typed.isPrint() && !typed.isLetterOrNumber() && !typed.isSpace();
    if (separator && movedOn_) {
        movedOn_ = false;
        event->accept();
        return;
    }
    if (digit && lineEdit()->selectedText().size() > sectionText(currentSection()).size()) {
        // Typing over more than one part (all of it, say) types the date from its start.
        setCurrentSectionIndex(0);
        setSelectedSection(sectionAt(0));
    }
    const int before = currentSectionIndex();
    QDateEdit::keyPressEvent(event);
    movedOn_ = digit && currentSectionIndex() != before;
}
