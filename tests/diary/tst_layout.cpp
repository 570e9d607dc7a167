// The main window's layout and its splitter bar.
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "diary/cSplitter.h"
#include "diary/mainlayout.h"

namespace {

ControlBoxes Boxes(int split) {
    ControlBoxes b;
    b[QStringLiteral("MainTabctl")] = {120, 120, 100, 100, {}};
    b[QStringLiteral("AppGrid")] = {240, 3360, 100, 100, {}};
    b[QStringLiteral("CalFrame")] = {0, 600, 3600, 2550, {}};
    b[QStringLiteral("PendInv")] = {240, 960, 100, 100, {}};
    b[QStringLiteral("picSplit")] = {240, split, 100, 45, {}};
    b[QStringLiteral("lblSetInv")] = {240, 0, 3000, 240, {}};
    b[QStringLiteral("SetInv")] = {240, 0, 100, 100, {}};
    b[QStringLiteral("totPend")] = {0, 0, 1290, 300, QStringLiteral("mobile")};
    b[QStringLiteral("lblPend")] = {0, 0, 2400, 300, QStringLiteral("mlabel")};
    b[QStringLiteral("totPendVAT")] = {0, 0, 1290, 300, QStringLiteral("mobile")};
    b[QStringLiteral("lblPendVAT")] = {0, 0, 2400, 300, QStringLiteral("mlabel")};
    b[QStringLiteral("totSet")] = {0, 0, 1290, 300, QStringLiteral("mobile")};
    b[QStringLiteral("lblTotSet")] = {0, 0, 2400, 300, QStringLiteral("mlabel")};
    b[QStringLiteral("totSetVat")] = {0, 0, 1290, 300, QStringLiteral("mobile")};
    b[QStringLiteral("lblSetVAT")] = {0, 0, 2400, 300, QStringLiteral("mlabel")};
    b[QStringLiteral("FnYearCbo")] = {0, 600, 1200, 330, QStringLiteral("mobile")};
    b[QStringLiteral("fnYearlbl")] = {0, 615, 1275, 300, QStringLiteral("mlabel")};
    return b;
}

}  // namespace

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void resizeTable() {
        ControlBoxes b = Boxes(4000);
        LayoutMainWindow(b, 12000, 9000);
        QCOMPARE(b[QStringLiteral("MainTabctl")].width, 11650);
        QCOMPARE(b[QStringLiteral("MainTabctl")].height, 8000);
        QCOMPARE(b[QStringLiteral("AppGrid")].width, 11400);
        QCOMPARE(b[QStringLiteral("AppGrid")].height, 9000 - 4365);
        QCOMPARE(b[QStringLiteral("PendInv")].height, 2400);
        QCOMPARE(b[QStringLiteral("SetInv")].height, 9000 - 6200);
        QCOMPARE(b[QStringLiteral("SetInv")].top, 4400);
        QCOMPARE(b[QStringLiteral("lblSetInv")].top, 4150);
        QCOMPARE(b[QStringLiteral("totPend")].top, 960 + 2400 + 100);
        QCOMPARE(b[QStringLiteral("lblPend")].top, b[QStringLiteral("totPend")].top);
        QCOMPARE(b[QStringLiteral("totPendVAT")].top, 960 + 2400 + 100 + 300 + 50);
        QCOMPARE(b[QStringLiteral("totSet")].top, 4400 + 2800 + 100);
        QCOMPARE(b[QStringLiteral("lblSetVAT")].top, b[QStringLiteral("totSetVat")].top);
        // Right-aligned: the boxes 500 twips from the edge, their captions 1800.
        for (const char* box : {"totPend", "totPendVAT", "totSet", "totSetVat"})
            QCOMPARE(b[QString::fromLatin1(box)].left, 12000 - (1290 + 500));
        QCOMPARE(b[QStringLiteral("FnYearCbo")].left, 12000 - 1700);
        QCOMPARE(b[QStringLiteral("lblPend")].left, 12000 - (2400 + 1800));
        QCOMPARE(b[QStringLiteral("fnYearlbl")].left, 12000 - (1275 + 1800));
        QCOMPARE(b[QStringLiteral("CalFrame")].left, (12000 - 3600) / 2);
    }

    void negativeSizesAreRefused() {
        ControlBoxes b = Boxes(1000);  // above the least the pending list needs
        LayoutMainWindow(b, 500, 4000);
        QCOMPARE(b[QStringLiteral("AppGrid")].width, 100);   // 500 - 600 < 0: unchanged
        QCOMPARE(b[QStringLiteral("AppGrid")].height, 100);  // 4000 - 4365 < 0
        QCOMPARE(b[QStringLiteral("PendInv")].height, 100);  // 1000 - 1600 < 0
        QCOMPARE(b[QStringLiteral("MainTabctl")].width, 150);
        QCOMPARE(b[QStringLiteral("SetInv")].height, 800);
    }

    void splitClamp_data() {
        QTest::addColumn<int>("split");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("expected");
        QTest::newRow("inside") << 4000 << 9000 << 4000;
        QTest::newRow("too high up") << 500 << 9000 << 1600 + kMinListHeight;
        QTest::newRow("below the window") << 20000 << 9000 << 9000 - 2200 - kMinListHeight;
        QTest::newRow("window too low for both") << 4000 << 3000 << 1600 + kMinListHeight;
    }
    void splitClamp() {
        QFETCH(int, split);
        QFETCH(int, height);
        QFETCH(int, expected);
        QCOMPARE(ClampSplitPosition(split, height), expected);
    }

    void splitterDrag() {
        QWidget parent;
        parent.resize(400, 300);
        QWidget bar(&parent);
        bar.setGeometry(10, 100, 380, 3);
        parent.show();
        cSplitter split;
        split.Initialise(&bar, &parent);
        QCOMPARE(bar.height(), 3);
        QSignalSpy done(&split, &cSplitter::SplitComplete);

        split.MouseDown(1);
        QVERIFY(split.Dragging());
        QCOMPARE(bar.height(), 2);
        split.MouseMove(150);
        QCOMPARE(bar.y(), 150);
        split.MouseMove(0);  // on the edge: the bar stays
        QCOMPARE(bar.y(), 150);
        split.MouseMove(300);
        QCOMPARE(bar.y(), 150);
        split.MouseMove(200, false);  // a move without the button is ignored
        QCOMPARE(bar.y(), 150);
        double pos = 500;  // released beyond the window's edge
        QVERIFY(split.MouseUp(pos));
        QCOMPARE(pos, 298.0);  // the grab offset comes off, then the clamp keeps the bar inside
        QCOMPARE(bar.y(), 298);
        QCOMPARE(done.count(), 1);
        QVERIFY(!split.Dragging());

        double again = 100;
        QVERIFY(!split.MouseUp(again));  // no drag to end
        QCOMPARE(done.count(), 1);
    }

    void splitterRefusedOrCancelled() {
        QWidget parent;
        parent.resize(400, 300);
        QWidget bar(&parent);
        bar.setGeometry(10, 100, 380, 3);
        cSplitter split;
        split.Initialise(&bar, &parent);
        QSignalSpy done(&split, &cSplitter::SplitComplete);
        auto refuse = connect(&split, &cSplitter::DoSplit, [](bool* ok) { *ok = false; });
        split.MouseDown(1);
        QVERIFY(!split.Dragging());
        disconnect(refuse);

        split.MouseDown(1);
        split.MouseMove(200);
        QCOMPARE(bar.y(), 200);
        split.Cancel();  // the window lost the mouse: the bar goes back
        QVERIFY(!split.Dragging());
        QCOMPARE(bar.y(), 100);
        double pos = 50;
        QVERIFY(!split.MouseUp(pos));
        QCOMPARE(done.count(), 0);
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
