#include "frmMain.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QScreen>

#include "core/boundboxes.h"
#include "core/flexgrid.h"
#include "core/formatting.h"
#include "core/forms.h"
#include "core/globals.h"
#include "core/optionsrules.h"
#include "core/settingscatalogue.h"
#include "diary/cSplitter.h"
#include "diary/colourmask.h"
#include "diary/mainrules.h"
#include "platform/com/com.h"
#include "platform/db/recordsetmodel.h"
#include "platform/ui/prompts.h"

namespace {

const QString kCalendarProgId = QStringLiteral("Gyrodate.Orbicle");
// The calendar's library as it ships, in the program's folder.
const QString kCalendarLibrary = QStringLiteral("libOrbicle.so");

// The calendar as the window's design saves it.
const char* const kSchCal1Design =
    "Small = False\n"
    "ViewWeeks = True\n"
    "Labels = True\n";


bool g_calendarFailureShown = false;

}  // namespace

// A whole number of the store, or its default when the stored text is none.
qint64 frmMain::StoredNumber(const catalogue::StoreValue& value) {
    return catalogue::ReadWholeNumber(value).value_or(catalogue::WholeNumberFromText(value.defaultText).value_or(0));
}

uint frmMain::StoredColour(const catalogue::StoreValue& value) {
    return catalogue::ReadColour(value).value_or(catalogue::ColourFromText(value.defaultText).value_or(0));
}

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    ui_.setupUi(this);
    MainTabctl = ui_.MainTabctl;
    CalFrame = ui_.CalFrame;
    YearCbo = ui_.YearCbo;
    MonthCbo = ui_.MonthCbo;
    NextMon = ui_.NextMon;
    PrevMon = ui_.PrevMon;
    Label1 = ui_.Label1;
    AppGrid = ui_.AppGrid;
    fnYearlbl = ui_.fnYearlbl;
    FnYearCbo = ui_.FnYearCbo;
    Label2 = ui_.Label2;
    PendInv = ui_.PendInv;
    lblSetInv = ui_.lblSetInv;
    SetInv = ui_.SetInv;
    lblPend = ui_.lblPend;
    totPend = ui_.totPend;
    lblPendVAT = ui_.lblPendVAT;
    totPendVAT = ui_.totPendVAT;
    lblTotSet = ui_.lblTotSet;
    totSet = ui_.totSet;
    lblSetVAT = ui_.lblSetVAT;
    totSetVat = ui_.totSetVat;
    picSplit = ui_.picSplit;

    mnuCxtInvoice = new QMenu(QStringLiteral("InvoiceContextMenu"), this);
    mnuCxtInvoice->setObjectName(QStringLiteral("mnuCxtInvoice"));
    mnuCxtInvoice->addActions({ui_.mnuEditInv, ui_.mnuProcessInv, ui_.mnuSendReminder});
    mnuCxtSchedule = new QMenu(QStringLiteral("Schedule Context Menu"), this);
    mnuCxtSchedule->setObjectName(QStringLiteral("mnuCxtSchedule"));
    mnuCxtSchedule->addActions({ui_.mnuEditApp, ui_.mnucxtNewApp, ui_.mnuEditExp});

    MonthCbo->addItems(MonthNames());
    for (QWidget* w : {totPend, totPendVAT, totSet, totSetVat}) w->setProperty("Tag", QStringLiteral("mobile"));
    FnYearCbo->setProperty("Tag", QStringLiteral("mobile"));
    for (QWidget* w : {lblPend, lblPendVAT, lblTotSet, lblSetVAT, fnYearlbl}) w->setProperty("Tag", QStringLiteral("mlabel"));

    appModel_ = new db::RecordsetModel(this);
    SetUpRecordGrid(AppGrid, appModel_);
    for (int c : {1, 2}) appModel_->setFormatter(c, [](const QVariant& v) { return FormatShortDateTime(v); });

    connect(MainTabctl, &QTabWidget::currentChanged, this, &frmMain::ShowTabControls);
    connect(MonthCbo, &QComboBox::currentIndexChanged, this, &frmMain::MonthCbo_Click);
    connect(NextMon, &QPushButton::clicked, this, &frmMain::NextMon_Click);
    connect(PrevMon, &QPushButton::clicked, this, &frmMain::PrevMon_Click);
    connect(YearCbo, &QComboBox::activated, this, &frmMain::YearCbo_Click);
    connect(YearCbo->lineEdit(), &QLineEdit::editingFinished, this, &frmMain::YearCbo_LostFocus);
    connect(FnYearCbo, &QComboBox::activated, this, &frmMain::FnYearCbo_Click);
    connect(ui_.mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
    connect(ui_.mnuFileNewApp, &QAction::triggered, this, &frmMain::mnuFileNewApp_Click);
    // The grid's pop-up repeats the double-click and the new-appointment command.
    connect(ui_.mnuEditApp, &QAction::triggered, this, &frmMain::AppGrid_DblClick);
    connect(ui_.mnucxtNewApp, &QAction::triggered, this, &frmMain::mnuFileNewApp_Click);
    connect(ui_.mnuEditExp, &QAction::triggered, this, &frmMain::mnuEditExp_Click);
    connect(ui_.mnuAddMiscExpense, &QAction::triggered, this, &frmMain::mnuAddMiscExpense_Click);
    AppGrid->viewport()->installEventFilter(this);
    connect(ui_.mnuViewCompanies, &QAction::triggered, this, &frmMain::mnuViewCompanies_Click);
    connect(ui_.mnuViewConfig, &QAction::triggered, this, &frmMain::mnuViewConfig_Click);
    connect(ui_.mnuSync, &QAction::triggered, this, &frmMain::mnuSync_Click);
    connect(ui_.mnuEndofYear, &QAction::triggered, this, &frmMain::mnuEndofYear_Click);
    connect(ui_.mnuFileNewInvoice, &QAction::triggered, this, &frmMain::mnuFileNewInvoice_Click);
    connect(ui_.mnuEditInv, &QAction::triggered, this, &frmMain::mnuEditInv_Click);
    connect(ui_.mnuProcessInv, &QAction::triggered, this, &frmMain::mnuProcessInv_Click);
    connect(ui_.mnuReportsMonthly, &QAction::triggered, this, &frmMain::mnuReportsMonthly_Click);
    connect(ui_.mnuReportsInvoice, &QAction::triggered, this, &frmMain::mnuReportsInvoice_Click);
    connect(ui_.mnuReportsExpense, &QAction::triggered, this, &frmMain::mnuReportsExpense_Click);
    connect(ui_.mnuSendReminder, &QAction::triggered, this, &frmMain::mnuSendReminder_Click);
    connect(ui_.mnuHelpMain, &QAction::triggered, this, &frmMain::mnuHelpMain_Click);
    connect(ui_.mnuOnlineSupport, &QAction::triggered, this, &frmMain::mnuOnlineSupport_Click);
    connect(ui_.mnuHelpAbout, &QAction::triggered, this, &frmMain::mnuHelpAbout_Click);
    connect(PendInv, &FlexGrid::DblClick, this, &frmMain::PendInv_DblClick);
    PendInv->viewport()->installEventFilter(this);

    m_cSplit = new cSplitter(this);
    connect(m_cSplit, &cSplitter::SplitComplete, this, &frmMain::m_cSplit_SplitComplete);
    picSplit->installEventFilter(this);
    centralWidget()->installEventFilter(this);

    CreateCalendar();
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::CreateCalendar() {
    // Only the user who built or installed the program has the calendar registered; for a new
    // user, or a copied program folder, register the library that ships beside the program.
    QString registrationError;
    if (!com::FindComponent(kCalendarProgId)) {
        const QString library = QDir(ProgramFolder()).filePath(kCalendarLibrary);
        if (QFileInfo(library).isFile() && !com::RegisterLibrary(library))
            registrationError = com::LastError();
    }
    com::PropertyBag bag;
    bag.FromText(QString::fromLatin1(kSchCal1Design));
    SchCal1 = com::CreateObject(kCalendarProgId, CalFrame, bag);
    if (!SchCal1) {
        // The window works on without its calendar; say why once.
        if (!g_calendarFailureShown) {
            g_calendarFailureShown = true;
            const QString why = registrationError.isEmpty() ? com::LastError() : registrationError;
            ui::MsgBox(QStringLiteral("The calendar could not be shown: ") + why, ui::vbExclamation,
                       AppTitle, this);
        }
        return;
    }
    SchCal1->setObjectName(QStringLiteral("SchCal1"));
    SchCal1->move(13, 36);
    SchCal1->show();
}

void frmMain::SetCalendar(const char* property, const QVariant& value) {
    if (SchCal1) com::SetProperty(SchCal1, QString::fromLatin1(property), value);
}

// ---- loading ----------------------------------------------------------------------------

void frmMain::Form_Load() {
    m_cSplit->Initialise(picSplit, centralWidget());

    RestorePlace();

    const int tab = static_cast<int>(StoredNumber(catalogue::Maintabctl));
    MainTabctl->setCurrentIndex(tab == 1 ? 1 : 0);
    // Without a stored split the two lists share the height.
    if (const auto split = catalogue::ReadWholeNumber(catalogue::Split)) wantedSplit_ = static_cast<int>(*split);

    SetCalendar("Color_A", StoredColour(catalogue::FreeColour));
    SetCalendar("Color_C", StoredColour(catalogue::BusyColour));
    SetCalendar("Color_D", StoredColour(catalogue::ConflictColour));
    SetCalendar("Color_B", StoredColour(catalogue::HeadingColour));
    SetCalendar("TodayColor", StoredColour(catalogue::TodayColour));

    LoadSystemSettings();
    SetShownDateToToday();
    OpenAppointmentRecordset();
    OpenBillingRecordset();
    FillInvoiceGrids();
    FormatMainGrids();
    Form_Resize();
}

void frmMain::LoadSystemSettings() {
    const QDate today = QDate::currentDate();
    const QSignalBlocker b1(YearCbo), b2(FnYearCbo), b3(MonthCbo);
    YearCbo->clear();
    FnYearCbo->clear();
    for (int y = today.year() + 2; y >= today.year() - 8; --y) {
        YearCbo->addItem(QString::number(y));
        FnYearCbo->addItem(QString::number(y));
    }

    std::optional<QString> fnYear, finDay, finMonth, owner;
    db::Recordset rs;
    if (rs.Open(QStringLiteral("SELECT System.FieldName, System.Value From System"), DbConnection(), db::adOpenForwardOnly,
                db::adLockOptimistic)) {
        fnYear = catalogue::ReadSystemRow(rs, catalogue::sys::CurrentFnYear);
        finDay = catalogue::ReadSystemRow(rs, catalogue::sys::FinYearDay);
        finMonth = catalogue::ReadSystemRow(rs, catalogue::sys::FinYearMonth);
        owner = catalogue::ReadSystemRow(rs, catalogue::sys::MyCompanyName);
        rs.Close();
    }
    FinYearStart = FinancialYearStart(fnYear, finDay, finMonth, today, &CurrentFnYearText);
    OwnerCompanyName = owner.value_or(catalogue::OwnerCompanyNamePlaceholder);

    // A stored year outside the list still shows, so that saving the layout keeps it.
    if (FnYearCbo->findText(CurrentFnYearText) < 0 && IsFourDigitYear(CurrentFnYearText)) {
        int at = 0;
        while (at < FnYearCbo->count() && FnYearCbo->itemText(at).toInt() > CurrentFnYearText.toInt()) ++at;
        FnYearCbo->insertItem(at, CurrentFnYearText);
    }
    FnYearCbo->setCurrentIndex(FnYearCbo->findText(CurrentFnYearText));
    YearCbo->setCurrentText(QString::number(today.year()));
    MonthCbo->setCurrentIndex(today.month() - 1);
}

void frmMain::SetShownDateToToday() {
    ViewDate = QDateTime::currentDateTime();
    SetCalendar("MonthIN", ViewDate.date().month());
    // After a reload the calendar may still show another year.
    SetCalendar("YearIN", ViewDate.date().year());
}

void frmMain::OpenAppointmentRecordset() {
    monthRead_ = DbConnection().Changes();
    db::Recordset rs;
    rs.Open(QStringLiteral("select JobID, Start, Finish, Description, CompanyName as Customer, Duration, PO_Number, ") +
                QStringLiteral("iif(invoicenumber = 0, 'No', 'Yes') as 'Invoiced?' FROM JobDetails inner join companies "
                               "on (jobdetails.customerid = companies.companyid) WHERE (((JobDetails.Cancelled)=False)) "
                               "ORDER BY JobDetails.Start"),
            DbConnection(), db::adOpenDynamic, db::adLockOptimistic);
    AppointmentRecordset = std::move(rs);
    // Filtered before the grid reads it, so that only the month's rows are read.
    ShowMonthAppointments();
    appModel_->setRecordset(&AppointmentRecordset);
    AppGrid->setColumnHidden(0, true);
}

void frmMain::ShowMonthAppointments() {
    // The grid follows its record set's filter.
    AppointmentRecordset.SetFilter(MonthAppointmentFilter(ViewDate.date()));
    BuildCalendarColourMask();
}

void frmMain::BuildCalendarColourMask() {
    if (!SchCal1) return;
    const QDate first(ViewDate.date().year(), ViewDate.date().month(), 1);
    const int s = StartPositionFromOutputInfo(com::GetProperty(SchCal1, QStringLiteral("OutputInfo")).toInt());
    std::vector<AppointmentSpan> spans;
    // Read without moving the record set the grid shows.
    const db::Recordset& rs = AppointmentRecordset;
    const int start = rs.FieldIndex(QStringLiteral("Start"));
    const int finish = rs.FieldIndex(QStringLiteral("Finish"));
    const int n = rs.State() == db::adStateOpen ? rs.RecordCount() : 0;
    spans.reserve(static_cast<size_t>(std::max(0, n)));
    for (int r = 0; r < n; ++r) spans.push_back({rs.ValueAt(r, start).toDateTime(), rs.ValueAt(r, finish).toDateTime()});
    SetCalendar("ColorMask", CalendarColourMask(first, s, spans));
}

void frmMain::OpenBillingRecordset() {
    shownFinYearStart_ = FinYearStart;
    shownFinYearEnd_ = shownFinYearStart_.addYears(1).addDays(-1);
    const QLocale loc;
    FnYearCbo->setToolTip(QStringLiteral("From ") + loc.toString(shownFinYearStart_, QLocale::ShortFormat) +
                          QStringLiteral(" to ") + loc.toString(shownFinYearEnd_, QLocale::ShortFormat));
    listsRead_ = DbConnection().Changes();
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT Billing.InvoiceNumber AS [Invoice Number], Companies.CompanyName AS Company, "
                           "Billing.BillingDate AS [Invoice Date], Billing.PaymentDueDate AS [Payment Due On], "
                           "Billing.PaymentDate as [Payment Date], Billing.InvoiceAmount AS Amount, Billing.Stage AS StageID ") +
                QStringLiteral("FROM Companies INNER JOIN Billing ON Companies.CompanyID = Billing.CompanyID ") +
                QStringLiteral("GROUP BY Billing.InvoiceNumber, Companies.CompanyName, Billing.BillingDate, "
                               "Billing.InvoiceAmount, Billing.PaymentDueDate, Billing.PaymentDate, Billing.Stage "),
            DbConnection(), db::adOpenDynamic, db::adLockOptimistic);
    BillingRecordset = std::move(rs);
}

// ---- navigation -------------------------------------------------------------------------

void frmMain::ShowMonth() {
    if (MonthCbo->currentIndex() != ViewDate.date().month() - 1) {
        // The month list's handler shows the month, so that it is filtered once.
        MonthCbo->setCurrentIndex(ViewDate.date().month() - 1);
        return;
    }
    SetCalendar("MonthIN", ViewDate.date().month());
    SetCalendar("YearIN", ViewDate.date().year());
    ShowMonthAppointments();
    const QSignalBlocker block(YearCbo);
    YearCbo->setCurrentText(QString::number(ViewDate.date().year()));
}

void frmMain::MonthCbo_Click() {
    if (MonthCbo->currentIndex() < 0) return;
    ViewDate = QDateTime(QDate(ViewDate.date().year(), MonthCbo->currentIndex() + 1, 1), ViewDate.time());
    ShowMonth();
}

void frmMain::NextMon_Click() {
    if (IsCalendarYear(ViewDate.addMonths(1).date().year())) ViewDate = ViewDate.addMonths(1);
    ShowMonth();
}

void frmMain::PrevMon_Click() {
    if (IsCalendarYear(ViewDate.addMonths(-1).date().year())) ViewDate = ViewDate.addMonths(-1);
    ShowMonth();
}

void frmMain::YearCbo_Click() {
    // A year the calendar cannot show leaves the month as it is, and ShowMonth puts the box back.
    bool ok = false;
    const int year = YearCbo->currentText().trimmed().toInt(&ok);
    if (ok && IsCalendarYear(year))
        ViewDate = QDateTime(QDate(year, ViewDate.date().month(), 1), ViewDate.time());
    ShowMonth();
}

void frmMain::YearCbo_LostFocus() { YearCbo_Click(); }

