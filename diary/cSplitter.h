#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// Turns a thin widget into a bar the user drags to move the split between two areas of a
// window. The window forwards the mouse to it and lays itself out on SplitComplete.
// Positions are in pixels: MouseDown's inside the bar, the others in the window's client area.
class cSplitter : public QObject {
    Q_OBJECT
public:
    explicit cSplitter(QObject* parent = nullptr);

    // 1 = a horizontal bar moving up and down (the default); anything else moves sideways.
    void SetOrientation(int orientation);
    int Orientation() const { return orientation_; }
    // Margin kept free at both ends of the bar's travel.
    void SetBorderSize(int size) { borderSize_ = size; }
    int BorderSize() const { return borderSize_; }

    void Initialise(QWidget* picSplitter, QWidget* frmParent);
    void MouseDown(double position);
    // Moves without the button held are ignored.
    void MouseMove(double position, bool buttonHeld = true);
    // Ends the drag; `position` becomes the bar's final place. True when a drag ended.
    bool MouseUp(double& position);
    // Ends a drag without moving the bar (the grab was lost, the window lost the focus).
    void Cancel();
    bool Dragging() const { return dragging_; }

signals:
    // Raised at every mouse-down; a handler that sets *bSplit false refuses the drag.
    void DoSplit(bool* bSplit);
    void SplitComplete();

private:
    int Limit() const;
    int BarPosition() const;
    void MoveBar(int position);
    void SetIdleLook(int thickness);
    void EndDrag();

    QPointer<QWidget> bar_;
    QPointer<QWidget> parent_;
    bool dragging_ = false;
    int grabOffset_ = 0;
    int startPosition_ = 0;
    int borderSize_ = 0;
    int orientation_ = 1;
    bool overrideCursor_ = false;
};
