#include "mainlayout.h"

#include <algorithm>

namespace {

void SetWidth(ControlBoxes& b, const char* name, int value) {
    auto it = b.find(QString::fromLatin1(name));
    if (it != b.end() && value >= 0) it->second.width = value;
}

void SetHeight(ControlBoxes& b, const char* name, int value) {
    auto it = b.find(QString::fromLatin1(name));
    if (it != b.end() && value >= 0) it->second.height = value;
}

void SetTop(ControlBoxes& b, const char* name, int value) {
    auto it = b.find(QString::fromLatin1(name));
    if (it != b.end()) it->second.top = value;
}

int Bottom(ControlBoxes& b, const char* name) {
    const ControlBox& c = b[QString::fromLatin1(name)];
    return c.top + c.height;
}

}  // namespace

void LayoutMainWindow(ControlBoxes& b, int W, int H) {
    const int S = b[QStringLiteral("picSplit")].top;
    SetWidth(b, "MainTabctl", W - 350);
    SetWidth(b, "AppGrid", W - 600);
    SetWidth(b, "PendInv", W - 600);
    SetWidth(b, "SetInv", W - 600);
    SetWidth(b, "picSplit", W - 600);
    SetHeight(b, "MainTabctl", H - 1000);
    SetHeight(b, "AppGrid", H - 4365);
    SetHeight(b, "PendInv", S - 1600);
    SetHeight(b, "SetInv", H - (S + 2200));
    SetTop(b, "totPend", Bottom(b, "PendInv") + 100);
    SetTop(b, "lblPend", b[QStringLiteral("totPend")].top);
    SetTop(b, "totPendVAT", Bottom(b, "totPend") + 50);
    SetTop(b, "lblPendVAT", b[QStringLiteral("totPendVAT")].top);
    SetTop(b, "lblSetInv", S + 150);
    SetTop(b, "SetInv", S + 400);
    SetTop(b, "totSet", Bottom(b, "SetInv") + 100);
    SetTop(b, "lblTotSet", b[QStringLiteral("totSet")].top);
    SetTop(b, "totSetVat", Bottom(b, "totSet") + 50);
    SetTop(b, "lblSetVAT", b[QStringLiteral("totSetVat")].top);

    // The toolkit's tab pages hide what is not shown, so every control keeps its place
    // whichever tab is selected.
    if (auto cal = b.find(QStringLiteral("CalFrame")); cal != b.end()) cal->second.left = (W - cal->second.width) / 2;
    for (auto& [name, box] : b) {
        if (box.tag == u"mobile") box.left = W - (box.width + 500);
        else if (box.tag == u"mlabel") box.left = W - (box.width + 1800);
    }
}

int ClampSplitPosition(int split, int H) {
    const int low = 1600 + kMinListHeight;
    const int high = H - 2200 - kMinListHeight;
    return std::max(low, std::min(split, high));
}

int EvenSplitPosition(int H) {
    // The pending list runs from 1600 twips to the bar, the settled one from 2200 below the bar
    // to the bottom.
    return (H + 1600 - 2200) / 2;
}
