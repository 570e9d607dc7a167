#pragma once

#include <QDateEdit>

// A date box that takes a date typed in the locale's short form, as a user types it: a click
// or double-click picks the part under the pointer, and typing over the whole text starts at
// its first part. Each part complete moves on to the next, where a separator typed then is
// the one already passed. The arrows, the calendar and Shift+Arrow work as before.
class DateBox : public QDateEdit {
    Q_OBJECT
  public:
    explicit DateBox(QWidget* parent = nullptr);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    // The last key completed a part and moved on to the next.
    bool movedOn_ = false;
};
