#include "busywait.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include "prompts.h"

namespace ui {

namespace {
constexpr int kRoundMs = 20;
constexpr int kPlainWaitMs = 5000;
}  // namespace

BusyWait::BusyWait(QString text, int showAfterMs)
    : text_(std::move(text)), showAfterMs_(showAfterMs) {}

BusyWait::~BusyWait() { End(); }

bool BusyWait::KeepWaiting(int waitedMs) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread()) {
        QThread::msleep(kRoundMs);
        return waitedMs < kPlainWaitMs;
    }
    if (!active_) {
        active_ = true;
        cancelled_ = false;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    if (!window_ && waitedMs >= showAfterMs_) {
        window_ = new QProgressDialog(text_, QStringLiteral("Cancel"), 0, 0,
                                      QApplication::activeWindow());
        window_->setObjectName(QStringLiteral("frmBusyWait"));
        window_->setWindowTitle(ApplicationTitle());
        window_->setWindowModality(Qt::ApplicationModal);
        window_->setMinimumDuration(0);
        window_->setAutoClose(false);
        window_->setAutoReset(false);
        QObject::connect(window_, &QProgressDialog::canceled, window_,
                         [this] { cancelled_ = true; });
        // Still busy, but the Cancel button must look as if it can be pressed.
        QApplication::changeOverrideCursor(Qt::BusyCursor);
        window_->show();
    }
    // Until the window is up, a click or a key waits in the queue rather than reaching a
    // window that would start more work on the thread that is busy.
    QEventLoop round;
    QTimer::singleShot(kRoundMs, &round, &QEventLoop::quit);
    round.exec(window_ ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    return !cancelled_;
}

void BusyWait::End() {
    if (!active_) return;
    active_ = false;
    delete window_.data();
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::restoreOverrideCursor();
}

}  // namespace ui
