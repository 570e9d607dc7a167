#include "cSplitter.h"

#include <QApplication>
#include <QCursor>
#include <QPalette>
#include <QWidget>

#include <cmath>

cSplitter::cSplitter(QObject* parent) : QObject(parent) {}

void cSplitter::SetOrientation(int orientation) {
    orientation_ = orientation;
    if (bar_) bar_->setCursor(orientation_ == 1 ? Qt::SizeVerCursor : Qt::SizeHorCursor);
}

void cSplitter::Initialise(QWidget* picSplitter, QWidget* frmParent) {
    bar_ = picSplitter;
    parent_ = frmParent;
    bar_->setAutoFillBackground(true);
    bar_->lower();
    bar_->setCursor(orientation_ == 1 ? Qt::SizeVerCursor : Qt::SizeHorCursor);
    SetIdleLook(3);
    bar_->show();
}

void cSplitter::SetIdleLook(int thickness) {
    QPalette p = bar_->palette();
    p.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    bar_->setPalette(p);
    if (orientation_ == 1) bar_->resize(bar_->width(), thickness);
    else bar_->resize(thickness, bar_->height());
}

int cSplitter::Limit() const {
    if (!parent_) return 0;
    return orientation_ == 1 ? parent_->height() : parent_->width();
}

int cSplitter::BarPosition() const {
    const QPoint p = bar_->mapTo(parent_, QPoint(0, 0));
    return orientation_ == 1 ? p.y() : p.x();
}

void cSplitter::MoveBar(int position) {
    // The bar may sit inside another widget of the window: move it in its own parent's terms.
    const QPoint origin = bar_->parentWidget() == parent_ ? QPoint(0, 0)
                                                          : bar_->parentWidget()->mapTo(parent_, QPoint(0, 0));
    if (orientation_ == 1) bar_->move(bar_->x(), position - origin.y());
    else bar_->move(position - origin.x(), bar_->y());
}

void cSplitter::MouseDown(double position) {
    if (!bar_ || !parent_) return;
    bool split = true;
    emit DoSplit(&split);
    if (!split) return;
    dragging_ = true;
    startPosition_ = BarPosition();
    grabOffset_ = static_cast<int>(std::lround(position));
    QPalette p = bar_->palette();
    p.setColor(QPalette::Window, QApplication::palette().color(QPalette::ButtonText));
    bar_->setPalette(p);
    bar_->raise();
    if (orientation_ == 1) bar_->resize(bar_->width(), 2);
    else bar_->resize(2, bar_->height());
    parent_->grabMouse();
}

void cSplitter::MouseMove(double position, bool buttonHeld) {
    if (!dragging_ || !buttonHeld) return;
    const int pos = static_cast<int>(std::lround(position));
    const Qt::CursorShape shape =
        borderSize_ < pos && pos < Limit() - borderSize_ ? (orientation_ == 1 ? Qt::SizeVerCursor : Qt::SizeHorCursor)
                                                         : Qt::ForbiddenCursor;
    if (overrideCursor_) QApplication::changeOverrideCursor(shape);
    else QApplication::setOverrideCursor(shape);
    overrideCursor_ = true;
    if (shape != Qt::ForbiddenCursor) MoveBar(pos);
}

void cSplitter::EndDrag() {
    if (parent_) parent_->releaseMouse();
    if (bar_) {
        SetIdleLook(2);
        bar_->lower();
    }
    dragging_ = false;
    if (overrideCursor_) QApplication::restoreOverrideCursor();
    overrideCursor_ = false;
}

bool cSplitter::MouseUp(double& position) {
    if (!dragging_) return false;
    // The place the bar was grabbed comes off first, so that the clamp keeps the whole bar
    // inside the window.
    EndDrag();
    const int thickness = orientation_ == 1 ? bar_->height() : bar_->width();
    int pos = static_cast<int>(std::lround(position)) - grabOffset_;
    pos = std::min(pos, Limit() - borderSize_ - thickness);
    pos = std::max(pos, borderSize_);
    MoveBar(pos);
    position = pos;
    emit SplitComplete();
    return true;
}

void cSplitter::Cancel() {
    if (!dragging_) return;
    EndDrag();
    MoveBar(startPosition_);
}
