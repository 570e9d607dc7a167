#pragma once

#include <QPointer>
#include <QString>

class QProgressDialog;

namespace ui {

// A wait the user can give up, for work that holds this thread (a statement waiting for a lock
// another program holds): the busy pointer from the first call and, after a moment, a window
// with `text` and a Cancel button. KeepWaiting is called again and again while the wait lasts;
// each call serves the windows for a short while, so they repaint and Cancel can be pressed.
class BusyWait {
  public:
    explicit BusyWait(QString text, int showAfterMs = 500);
    ~BusyWait();
    BusyWait(const BusyWait&) = delete;
    BusyWait& operator=(const BusyWait&) = delete;

    // `waitedMs` is the time the wait has lasted. False once the user gave it up. Without a
    // window system, or off the windows' thread, it waits a round and gives up after 5 s.
    bool KeepWaiting(int waitedMs);
    // Takes the pointer and the window away; the next KeepWaiting starts a new wait.
    void End();

  private:
    QString text_;
    int showAfterMs_;
    bool active_ = false;
    bool cancelled_ = false;
    QPointer<QProgressDialog> window_;
};

}  // namespace ui
