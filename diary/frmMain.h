#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QMainWindow>

#include <optional>

#include "diary/mainlayout.h"
#include "diary/mainrules.h"
#include "platform/db/recordset.h"
#include "ui_frmMain.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class FlexGrid;
class cSplitter;
namespace db {
class RecordsetModel;
}
namespace catalogue {
struct StoreValue;
}

// The hub window: the shown month's appointments beside the calendar, and the pending and
// settled invoices of the selected financial year with their totals.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Read by other windows.
    db::Recordset AppointmentRecordset;
    db::Recordset BillingRecordset;
    db::Recordset PendingRecordset;
    QDateTime ViewDate;
    QString CurrentFnYearText;

    QTabWidget* MainTabctl;
    QFrame* CalFrame;
    QWidget* SchCal1 = nullptr;  // the calendar control; null when it could not be created
    QComboBox* YearCbo;
    QComboBox* MonthCbo;
    QPushButton* NextMon;
    QPushButton* PrevMon;
    QLabel* Label1;
    QTableView* AppGrid;
    QLabel* fnYearlbl;
    QComboBox* FnYearCbo;
    QLabel* Label2;
    FlexGrid* PendInv;
    QLabel* lblSetInv;
    FlexGrid* SetInv;
    QLabel* lblPend;
    QLineEdit* totPend;
    QLabel* lblPendVAT;
    QLineEdit* totPendVAT;
    QLabel* lblTotSet;
    QLineEdit* totSet;
    QLabel* lblSetVAT;
    QLineEdit* totSetVat;
    QFrame* picSplit;
    QMenu* mnuCxtInvoice;
    QMenu* mnuCxtSchedule;

    Ui::frmMain& ui() { return ui_; }

public slots:
    void Form_Load();
    void LoadSystemSettings();
    void SetShownDateToToday();
    void OpenAppointmentRecordset();
    void ShowMonthAppointments();
    void BuildCalendarColourMask();
    void OpenBillingRecordset();
    void FillInvoiceGrids();
    void FormatMainGrids();
    void ShowMonth();
    void SaveLayout();
    // The invoice lists read again and formatted: only the invoices written since they were
    // read, or the whole year when that cannot be told.
    void RefreshInvoices();
    // After an editor closed: the grid, the invoices and the calendar, each read again where
    // the editor wrote to what it shows.
    void ShowEditedAppointments();

    void MonthCbo_Click();
    void NextMon_Click();
    void PrevMon_Click();
    void YearCbo_Click();
    void YearCbo_LostFocus();
    void FnYearCbo_Click();
    void Form_Resize();
    void m_cSplit_SplitComplete();
    void mnuExit_Click();
    void AppGrid_DblClick();
    void mnuFileNewApp_Click();
    void mnuViewCompanies_Click();
    void mnuViewConfig_Click();
    void PendInv_DblClick();
    void PendInv_MouseUp(Qt::MouseButton button, const QPoint& globalPos);
    void mnuEditInv_Click();
    void mnuProcessInv_Click();
    void mnuFileNewInvoice_Click();
    void mnuReportsMonthly_Click();
    void mnuReportsInvoice_Click();
    void mnuReportsExpense_Click();
    void mnuSendReminder_Click();
    void mnuHelpMain_Click();
    void mnuOnlineSupport_Click();
    void mnuHelpAbout_Click();
    void mnuEditExp_Click();
    void mnuAddMiscExpense_Click();
    void mnuSync_Click();
    void mnuEndofYear_Click();
    // At start-up, after the window is shown: asks for the owner's details when they are
    // missing, and then reads the settings again, as after Tools, Options.
    void CheckOwnerDetailsAtStart();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateCalendar();
    // The window's stored place, size and maximised state.
    void RestorePlace();
    // The laid-out controls' places as the window shows them.
    ControlBoxes CurrentBoxes() const;
    // Shows the appointment editor, then refreshes what it may have changed.
    void ShowSchedule();
    // Shows the invoice editor on CurrentInvoiceNumber, then refreshes the invoice lists.
    void ShowInvoice();
    // The invoice number of the pending list's current row; 0 for none or the heading row.
    int PendingInvoiceNumber() const;
    // Mails the year-end files to the accountant and says how it went.
    void MailYearEndFiles(const QStringList& attachments);
    // Whether rows of these tables were written since `mark`, or may have been.
    static bool Written(const db::ChangeMark& mark, std::initializer_list<const char*> tables);
    // Reads again the invoices written since the lists were read, the totals running on;
    // false when the year has to be read whole.
    bool ResyncInvoices();
    // Closes the two invoice record sets and opens and fills them again, unless the invoices
    // written meanwhile can be read alone.
    void ReadInvoicesAgain();
    void SetCalendar(const char* property, const QVariant& value);
    void ApplyBoxes(const ControlBoxes& boxes);
    void ShowTabControls();
    void FormatInvoiceGrid(FlexGrid* grid, bool pending);
    // Gives a column its saved width, or one that fits its contents (at least `least` pixels)
    // when none is saved.
    void FitColumn(QTableView* grid, int col, std::optional<qint64> savedTwips, int least);
    // The column still has the width FitColumn fitted to its contents: the user has not sized it.
    bool Fitted(const QTableView* grid, int col) const;
    void SaveGridWidths(catalogue::StoreValue (*key)(int), int count, const std::function<int(int)>& widthOf);
    // A value of the settings store, or its default when the stored text is none.
    static qint64 StoredNumber(const catalogue::StoreValue& value);
    static uint StoredColour(const catalogue::StoreValue& value);

    Ui::frmMain ui_;
    cSplitter* m_cSplit = nullptr;
    db::RecordsetModel* appModel_ = nullptr;
    QDate shownFinYearStart_;
    QDate shownFinYearEnd_;
    // When the shown month's appointments and the invoice lists were read.
    db::ChangeMark monthRead_, listsRead_;
    // The lists' totals; not counted since the lists were last filled when not `totalsCounted_`.
    RunningTotal pendingTotal_, settledTotal_;
    bool totalsCounted_ = false;
    // Where the user put the splitter bar, in twips; the bar stands there as far as the
    // window's height allows. Below 0 until the user places it: the lists share the height.
    int wantedSplit_ = -1;
    bool closing_ = false;
    QHash<std::pair<const QTableView*, int>, int> fitted_;  // pixels
};
