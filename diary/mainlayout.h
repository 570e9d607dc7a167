#pragma once

#include <QString>

#include <map>

// A control's place in the main window, in twips of the window's client area.
struct ControlBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    QString tag;  // "mobile" (totals, financial-year list) or "mlabel" (their captions)
};
using ControlBoxes = std::map<QString, ControlBox>;

// Lays the main window out for a client area of W x H twips with the splitter bar
// ("picSplit") at its current top. A size that would be negative leaves that control as it
// was. Controls tagged "mobile" sit 500 twips from the right edge, "mlabel" ones 1800; the
// calendar frame is centred.
void LayoutMainWindow(ControlBoxes& boxes, int W, int H);

// Least height each invoice list keeps, in twips.
inline constexpr int kMinListHeight = 300;
// The splitter position kept inside the window so that both invoice lists keep at least
// kMinListHeight; when the window is too low for both, the pending list wins.
int ClampSplitPosition(int split, int H);

// The splitter position, in twips, at which the two invoice lists of a client area H twips high
// are equally high: where the bar stands until the user places it.
int EvenSplitPosition(int H);
