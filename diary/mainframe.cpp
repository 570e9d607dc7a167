// The main window's frame: the layout of its controls, the splitter bar, and what it keeps
// of itself when it closes.
#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTableView>

#include "core/flexgrid.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "diary/cSplitter.h"
#include "diary/frmMain.h"
#include "diary/mainrules.h"
#include "platform/db/recordsetmodel.h"

namespace {

// The controls the layout places; their design places come from the window's .ui file.
const char* const kLaidOut[] = {"MainTabctl", "CalFrame",   "AppGrid",    "fnYearlbl", "FnYearCbo",
                                "PendInv",    "picSplit",   "lblSetInv",  "SetInv",    "lblPend",
                                "totPend",    "lblPendVAT", "totPendVAT", "lblTotSet", "totSet",
                                "lblSetVAT",  "totSetVat"};

}  // namespace

ControlBoxes frmMain::CurrentBoxes() const {
    ControlBoxes boxes;
    for (const char* name : kLaidOut) {
        const QWidget* w = findChild<QWidget*>(QString::fromLatin1(name));
        if (!w) continue;
        ControlBox b;
        b.left = w->x() * kTwipsPerPixel;
        b.top = w->y() * kTwipsPerPixel;
        b.width = w->width() * kTwipsPerPixel;
        b.height = w->height() * kTwipsPerPixel;
        b.tag = w->property("Tag").toString();
        boxes.emplace(QString::fromLatin1(name), b);
    }
    return boxes;
}

void frmMain::ApplyBoxes(const ControlBoxes& boxes) {
    for (const auto& [name, b] : boxes) {
        QWidget* w = findChild<QWidget*>(name);
        if (!w) continue;
        const QRect r(b.left / kTwipsPerPixel, b.top / kTwipsPerPixel, b.width / kTwipsPerPixel, std::max(1, b.height / kTwipsPerPixel));
        if (w->geometry() != r) w->setGeometry(r);
    }
}

void frmMain::ShowTabControls() {
    const bool tab0 = MainTabctl->currentIndex() == 0;
    for (QWidget* w : std::initializer_list<QWidget*>{CalFrame, Label1, AppGrid}) w->setVisible(tab0);
    for (QWidget* w : std::initializer_list<QWidget*>{fnYearlbl, FnYearCbo, Label2, PendInv, picSplit, lblSetInv, SetInv,
                                                      lblPend, totPend, lblTotSet, totSet})
        w->setVisible(!tab0);
    for (QWidget* w : std::initializer_list<QWidget*>{lblPendVAT, totPendVAT, lblSetVAT, totSetVat})
        w->setVisible(!tab0 && VatMultiplier != 0);
}

// ---- layout -----------------------------------------------------------------------------

void frmMain::Form_Resize() {
    ControlBoxes boxes = CurrentBoxes();
    const int W = centralWidget()->width() * kTwipsPerPixel;
    const int H = centralWidget()->height() * kTwipsPerPixel;
    // Both lists stay reachable whatever the window's size and the stored split.
    boxes[QStringLiteral("picSplit")].top = ClampSplitPosition(wantedSplit_ < 0 ? EvenSplitPosition(H) : wantedSplit_, H);
    LayoutMainWindow(boxes, W, H);
    ApplyBoxes(boxes);
}

void frmMain::m_cSplit_SplitComplete() {
    wantedSplit_ = picSplit->y() * kTwipsPerPixel;
    Form_Resize();
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) m_cSplit->Cancel();
    QMainWindow::changeEvent(event);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == AppGrid->viewport()) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonDblClick || type == QEvent::MouseButtonPress ||
            type == QEvent::MouseButtonRelease) {
            auto* me = static_cast<QMouseEvent*>(event);
            if (type == QEvent::MouseButtonDblClick && me->button() == Qt::LeftButton) {
                AppGrid_DblClick();
                return true;
            }
            // The pop-up acts on the row that was current before the click.
            if (me->button() == Qt::RightButton) {
                if (type == QEvent::MouseButtonRelease) mnuCxtSchedule->popup(me->globalPosition().toPoint());
                return true;
            }
        }
        return QMainWindow::eventFilter(watched, event);
    }
    if (watched == PendInv->viewport()) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
            type == QEvent::MouseButtonDblClick) {
            auto* me = static_cast<QMouseEvent*>(event);
            if (type == QEvent::MouseButtonRelease) PendInv_MouseUp(me->button(), me->globalPosition().toPoint());
            // The pop-up acts on the row that was current before the click.
            if (me->button() == Qt::RightButton) return true;
        }
    }
    // The tab control is the backdrop of every control: a bar the splitter sends to the back
    // stays above it, where the user can see and grab it.
    if (watched == picSplit && event->type() == QEvent::ZOrderChange) MainTabctl->lower();
    if (watched == picSplit && event->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton) m_cSplit->MouseDown(me->position().y());
        return true;
    }
    if (watched == centralWidget() || watched == picSplit) {
        if (event->type() == QEvent::MouseMove) {
            auto* me = static_cast<QMouseEvent*>(event);
            const QPoint p = static_cast<QWidget*>(watched)->mapTo(centralWidget(), me->position().toPoint());
            m_cSplit->MouseMove(p.y(), me->buttons() & Qt::LeftButton);
        } else if (event->type() == QEvent::MouseButtonRelease) {
            auto* me = static_cast<QMouseEvent*>(event);
            const QPoint p = static_cast<QWidget*>(watched)->mapTo(centralWidget(), me->position().toPoint());
            double y = p.y();
            m_cSplit->MouseUp(y);
        } else if (event->type() == QEvent::KeyPress && m_cSplit->Dragging()) {
            m_cSplit->Cancel();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- closing ----------------------------------------------------------------------------

void frmMain::SaveGridWidths(catalogue::StoreValue (*key)(int), int count, const std::function<int(int)>& widthOf) {
    for (int i = 0; i < count; ++i) {
        const int width = widthOf(i);
        if (width > 0) catalogue::WriteWholeNumber(key(i), width);
    }
}

// The client area's place is stored, and restored as such: the frame that the window manager
// adds round it is not known before the window is first shown, and a frame's place restored as
// the client's moves the window down by its title bar at every reload.
void frmMain::RestorePlace() {
    const int left = static_cast<int>(StoredNumber(catalogue::MainLeft));
    const int top = static_cast<int>(StoredNumber(catalogue::MainTop));
    const int width = static_cast<int>(StoredNumber(catalogue::MainWidth));
    const int height = static_cast<int>(StoredNumber(catalogue::MainHeight));
    QRect place(left / kTwipsPerPixel, top / kTwipsPerPixel, std::max(200, width / kTwipsPerPixel),
                std::max(150, height / kTwipsPerPixel));
    // A place stored on a larger or a second monitor must not leave the window out of reach.
    const QScreen* screen = QGuiApplication::screenAt(place.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) place = FitOnScreen(place, screen->availableGeometry());
    const bool maximised = catalogue::ReadBoolean(catalogue::MainMaximized).value_or(false);
    // Placing a maximised window would bring it back to its normal size.
    if (isMaximized()) {
        if (maximised) return;
        setWindowState(windowState() & ~Qt::WindowMaximized);
    }
    setGeometry(place);
    if (maximised) setWindowState(windowState() | Qt::WindowMaximized);
}

void frmMain::SaveLayout() {
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    catalogue::WriteWholeNumber(catalogue::MainLeft, normal.x() * kTwipsPerPixel);
    catalogue::WriteWholeNumber(catalogue::MainTop, normal.y() * kTwipsPerPixel);
    catalogue::WriteWholeNumber(catalogue::MainWidth, normal.width() * kTwipsPerPixel);
    catalogue::WriteWholeNumber(catalogue::MainHeight, normal.height() * kTwipsPerPixel);
    catalogue::WriteBoolean(catalogue::MainMaximized, isMaximized());
    // A bar the user never placed shares the height evenly again next time, whatever the size.
    if (wantedSplit_ >= 0) catalogue::WriteWholeNumber(catalogue::Split, wantedSplit_);

    // Only a year reaches the System row.
    const QString year = FnYearCbo->currentText();
    if (IsFourDigitYear(year) && DbConnection().State() == db::adStateOpen) {
        db::Recordset rs;
        if (rs.Open(QStringLiteral("select fieldname, value from system"), DbConnection(), db::adOpenDynamic,
                    db::adLockOptimistic))
            catalogue::WriteSystemRow(rs, catalogue::sys::CurrentFnYear, year);
    }
    catalogue::WriteWholeNumber(catalogue::Maintabctl, MainTabctl->currentIndex());

    // A column still at the width that fits its contents is left to fit them next time.
    SaveGridWidths(&catalogue::PendColWidth, PendInv->Cols(),
                   [this](int i) { return Fitted(PendInv, i) ? 0 : PendInv->ColWidth(i); });
    SaveGridWidths(&catalogue::SettledColWidth, SetInv->Cols(),
                   [this](int i) { return Fitted(SetInv, i) ? 0 : SetInv->ColWidth(i); });
    SaveGridWidths(&catalogue::CalendarColWidth, appModel_->columnCount(), [this](int i) {
        return AppGrid->isColumnHidden(i) || Fitted(AppGrid, i) ? 0 : AppGrid->columnWidth(i) * kTwipsPerPixel;
    });
}

void frmMain::closeEvent(QCloseEvent* event) {
    // Windows open beside this one close first; one that keeps unsaved edits stops the close.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == this || !w->isVisible() || w->isModal()) continue;
        if (!w->close()) {
            event->ignore();
            return;
        }
    }
    if (m_cSplit->Dragging()) m_cSplit->Cancel();
    SaveLayout();
    AppGrid->setFocus();
    appModel_->setRecordset(nullptr);
    AppointmentRecordset.Close();
    BillingRecordset.Close();
    PendingRecordset.Close();
    DbConnection().Close();
    event->accept();
}
