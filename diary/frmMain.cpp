#include "frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QTableView>

#include "accounts/Companies_with_Contacts.h"
#include "accounts/Invoice_system.h"
#include "accounts/Rpt_Expense.h"
#include "accounts/Rpt_Invoice.h"
#include "accounts/Expenses.h"
#include "accounts/frmInvoice.h"
#include "accounts/frmInvoiceDue.h"
#include "accounts/invoicerules.h"
#include "core/boundboxes.h"
#include "core/flexgrid.h"
#include "core/frmAbout.h"
#include "core/formatting.h"
#include "core/forms.h"
#include "core/frmInfo.h"
#include "core/frmOptions.h"
#include "core/globals.h"
#include "core/optionsrules.h"
#include "core/settingscatalogue.h"
#include "core/reports.h"
#include "diary/Rpt_Monthly_Planner.h"
#include "diary/Schedule.h"
#include "diary/cSplitter.h"
#include "diary/colourmask.h"
#include "diary/helpcommands.h"
#include "diary/mainrules.h"
#include "diary/synchronise.h"
#include "diary/syncrules.h"
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

// The controls the layout places; their design places come from the window's .ui file.
const char* const kLaidOut[] = {"MainTabctl", "CalFrame",   "AppGrid",    "fnYearlbl", "FnYearCbo",
                                "PendInv",    "picSplit",   "lblSetInv",  "SetInv",    "lblPend",
                                "totPend",    "lblPendVAT", "totPendVAT", "lblTotSet", "totSet",
                                "lblSetVAT",  "totSetVat"};

// A whole number of the store, or its default when the stored text is none.
qint64 Number(const catalogue::StoreValue& value) {
    return catalogue::ReadWholeNumber(value).value_or(catalogue::WholeNumberFromText(value.defaultText).value_or(0));
}

uint Colour(const catalogue::StoreValue& value) {
    return catalogue::ReadColour(value).value_or(catalogue::ColourFromText(value.defaultText).value_or(0));
}

bool g_calendarFailureShown = false;

}  // namespace

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
    // Commands whose windows are not part of the program yet stay visible but unavailable.
    const QList<QAction*> available{ui_.mnuExit,       ui_.mnuViewCompanies, ui_.mnuViewConfig,
                                    ui_.mnuFileNewApp, ui_.mnuEditApp,       ui_.mnucxtNewApp,
                                    ui_.mnuFileNewInvoice, ui_.mnuEditInv,   ui_.mnuProcessInv,
                                    ui_.mnuReportsMonthly, ui_.mnuReportsInvoice, ui_.mnuReportsExpense,
                                    ui_.mnuSendReminder,   ui_.mnuHelpMain,       ui_.mnuOnlineSupport,
                                    ui_.mnuHelpAbout,      ui_.mnuEditExp,        ui_.mnuAddMiscExpense,
                                    ui_.mnuSync,           ui_.mnuEndofYear};
    for (QAction* a : findChildren<QAction*>()) {
        if (a->menu() || a->isSeparator()) continue;
        a->setEnabled(available.contains(a));
    }

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

// ---- loading ----------------------------------------------------------------------------

void frmMain::Form_Load() {
    m_cSplit->Initialise(picSplit, centralWidget());

    const int left = static_cast<int>(Number(catalogue::MainLeft));
    const int top = static_cast<int>(Number(catalogue::MainTop));
    const int width = static_cast<int>(Number(catalogue::MainWidth));
    const int height = static_cast<int>(Number(catalogue::MainHeight));
    QRect frame(left / kTwipsPerPixel, top / kTwipsPerPixel, std::max(200, width / kTwipsPerPixel),
                std::max(150, height / kTwipsPerPixel));
    // A place stored on a larger or a second monitor must not leave the window out of reach.
    const QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) frame = FitOnScreen(frame, screen->availableGeometry());
    move(frame.topLeft());
    resize(frame.size());

    const int tab = static_cast<int>(Number(catalogue::Maintabctl));
    MainTabctl->setCurrentIndex(tab == 1 ? 1 : 0);
    // Without a stored split the bar keeps its design place.
    if (const auto split = catalogue::ReadWholeNumber(catalogue::Split)) wantedSplit_ = static_cast<int>(*split);

    SetCalendar("Color_A", Colour(catalogue::FreeColour));
    SetCalendar("Color_C", Colour(catalogue::BusyColour));
    SetCalendar("Color_D", Colour(catalogue::ConflictColour));
    SetCalendar("Color_B", Colour(catalogue::HeadingColour));
    SetCalendar("TodayColor", Colour(catalogue::TodayColour));

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

void frmMain::FillInvoiceGrids() {
    // Both filters are set before either list is read, so that only the invoices they show
    // are read.
    BillingRecordset.SetFilter(SettledInvoiceFilter(shownFinYearStart_));
    PendingRecordset = BillingRecordset.Clone();
    const bool all = catalogue::ReadBoolean(catalogue::OutstandingInvoiceDisplay).value_or(false);
    PendingRecordset.SetFilter(PendingInvoiceFilter(shownFinYearStart_, all));
    PendingRecordset.SetSort(QStringLiteral("[StageID], [Invoice Date]"));
    PendInv->Bind(PendingRecordset);
    SetInv->Bind(BillingRecordset);
}

void frmMain::FormatInvoiceGrid(FlexGrid* grid, bool pending) {
    const bool vat = VatMultiplier != 0;
    if (vat) {
        grid->SetCols(8);
        grid->SetTextMatrix(0, 7, QStringLiteral("Inc VAT"));
    }
    // Every column's width is read back under the key it was saved under; one never saved is
    // at least as wide as its heading.
    for (int i = 0; i < grid->Cols(); ++i) {
        const catalogue::StoreValue key = pending ? catalogue::PendColWidth(i) : catalogue::SettledColWidth(i);
        const auto saved = catalogue::ReadWholeNumber({key.section, key.key, QString()});
        grid->SetColWidth(i, static_cast<int>(saved ? *saved : std::max<qint64>(Number(key), grid->HeadingWidth(i))));
    }
    grid->SetColWidth(6, 0);
    grid->SetColWidth(pending ? 4 : 3, 0);
    const uint overdue = Colour(catalogue::OverDueColour);
    const QDateTime now = QDateTime::currentDateTime();
    const int dateCols[2] = {2, pending ? 3 : 4};
    for (int r = 1; r < grid->Rows(); ++r) {
        for (int c : dateCols) {
            const auto d = ParseDbDate(grid->Value(r, c));
            grid->SetTextMatrix(r, c, d ? QLocale().toString(*d, QLocale::ShortFormat) : QString());
        }
        const QVariant amount = grid->Value(r, 5);
        grid->SetTextMatrix(r, 5, FormatMoney(amount));
        if (vat) grid->SetTextMatrix(r, 7, FormatMoney(WithVat(amount.value<db::Currency>(), VatMultiplier)));
        if (pending) {
            const auto due = db::ToDateTime(grid->Value(r, 3));
            if (due && *due < now)
                for (int c = 0; c < grid->Cols(); ++c) grid->SetCellBackColor(r, c, overdue);
        }
    }
}

void frmMain::FormatMainGrids() {
    for (int i = 0; i < appModel_->columnCount(); ++i)
        AppGrid->setColumnWidth(
            i, std::max(1, static_cast<int>(Number(catalogue::CalendarColWidth(i))) / kTwipsPerPixel));

    FormatInvoiceGrid(PendInv, true);
    const db::Currency pending = SumAmounts(PendingRecordset, QStringLiteral("amount"));
    totPend->setText(PendingRecordset.RecordCount() > 0 ? FormatMoney(pending) : QStringLiteral("0"));
    totPendVAT->setText(FormatMoney(WithVat(pending, VatMultiplier)));

    FormatInvoiceGrid(SetInv, false);
    const db::Currency settled = SumAmounts(BillingRecordset, QStringLiteral("amount"));
    totSet->setText(BillingRecordset.RecordCount() > 0 ? FormatMoney(settled) : QStringLiteral("0"));
    totSetVat->setText(FormatMoney(WithVat(settled, VatMultiplier)));
    ShowTabControls();
}

void frmMain::RefreshInvoices() {
    PendingRecordset.Close();
    BillingRecordset.Close();
    OpenBillingRecordset();
    FillInvoiceGrids();
    FormatMainGrids();
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

void frmMain::FnYearCbo_Click() {
    const QString text = FnYearCbo->currentText();
    if (IsFourDigitYear(text)) FinYearStart = DateSerial(text.toInt(), FinYearStart.month(), FinYearStart.day());
    RefreshInvoices();
}

// ---- appointments -----------------------------------------------------------------------

void frmMain::ShowSchedule() {
    Forms::get<Schedule>(this)->exec();
    // Each showing loads afresh from CurrentJobID.
    Forms::unload<Schedule>();
    CurrentJobID = 0;
    ShowEditedAppointments();
}

void frmMain::ShowEditedAppointments() {
    AppointmentRecordset.Requery();
    RefreshInvoices();
    ShowMonthAppointments();
}

void frmMain::AppGrid_DblClick() {
    SaveLayout();
    // On an empty grid no row is read and the editor opens on a new appointment.
    const db::Recordset& rs = AppointmentRecordset;
    if (rs.State() == db::adStateOpen && !rs.Eof() && !rs.Bof())
        CurrentJobID = AppointmentRecordset.Value(QStringLiteral("JobID")).toInt();
    AppGrid->setFocus();
    ShowSchedule();
}

void frmMain::mnuFileNewApp_Click() {
    CurrentJobID = 0;
    ShowSchedule();
}

void frmMain::mnuEditExp_Click() {
    // With no appointment in the shown month there are no expenses to manage.
    if (db::HasCurrentRow(AppointmentRecordset)) {
        CurrentJobID = AppointmentRecordset.Value(QStringLiteral("JobID")).toInt();
        ShowExpenses(this);
    }
    CurrentJobID = 0;
}

void frmMain::mnuAddMiscExpense_Click() {
    CurrentJobID = 0;
    ShowExpenses(this);
}

void frmMain::mnuSync_Click() {
    const QList<int> ids = outlooksync::ShownJobIDs(AppointmentRecordset);
    if (ids.isEmpty()) {
        ui::MsgBox(outlooksync::kNoRecords, ui::vbOKOnly, QString(), this);
        return;
    }
    // The grid keeps its rows while the run asks about conflicts; they are read again after.
    outlooksync::Synchroniser(Forms::get<frmInfo>(), this).Run(ids);
    AppointmentRecordset.Requery();
    ShowMonthAppointments();
}

// ---- invoices ---------------------------------------------------------------------------

void frmMain::ShowInvoice() {
    Forms::get<frmInvoice>(this)->exec();
    // Each showing loads afresh from CurrentInvoiceNumber.
    Forms::unload<frmInvoice>();
    CurrentInvoiceNumber = 0;
    RefreshInvoices();
}

int frmMain::PendingInvoiceNumber() const {
    const int row = PendInv->Row();
    return row < 1 ? 0 : static_cast<int>(invoice::CellNumber(PendInv->TextMatrix(row, 0)));
}

void frmMain::PendInv_DblClick() {
    if (PendInv->Row() < 1) return;
    CurrentInvoiceNumber = PendingInvoiceNumber();
    ShowInvoice();
}

void frmMain::PendInv_MouseUp(Qt::MouseButton button, const QPoint& globalPos) {
    // The pop-up acts on the row that is current when it opens.
    if (button == Qt::RightButton) mnuCxtInvoice->popup(globalPos);
}

void frmMain::mnuEditInv_Click() { PendInv_DblClick(); }

void frmMain::mnuFileNewInvoice_Click() {
    CurrentInvoiceNumber = 0;
    ShowInvoice();
}

void frmMain::mnuProcessInv_Click() {
    const int number = PendingInvoiceNumber();
    const auto paid = AskInvoiceDate(this, invoice::kPaidQuestion, QDate::currentDate());
    if (!paid || number == 0) return;
    db::Recordset clone = PendingRecordset.Clone();
    clone.SetFilter(QStringLiteral("[Invoice Number] = '") + QString::number(number) + QStringLiteral("'"));
    if (clone.State() != db::adStateOpen || clone.Eof()) return;
    const QString refusal = invoice::PaymentRefusal(*paid, clone.Value(QStringLiteral("Invoice Date")));
    if (!refusal.isEmpty()) {
        ui::MsgBox(refusal, ui::vbOKOnly, QString(), this);
        return;
    }
    if (!clone.SetValue(QStringLiteral("StageID"), QStringLiteral("3")) ||
        !clone.SetValue(QStringLiteral("Payment Date"), QDateTime(*paid, QTime(0, 0))) || !clone.Update()) {
        ui::MsgBox(clone.LastError(), ui::vbOKOnly, QString(), this);
        return;
    }
    clone.Close();
    RefreshInvoices();
}

// ---- reports ----------------------------------------------------------------------------

void frmMain::mnuReportsMonthly_Click() {
    Rpt_Monthly_Planner planner;
    planner.DataReport_Initialize(this);
    ShowReport(planner, this);
}

void frmMain::mnuReportsInvoice_Click() {
    const int n = PendingRecordset.State() == db::adStateOpen ? PendingRecordset.RecordCount() : 0;
    if (n >= 1)
        ui::MsgBox(QStringLiteral("You have ") + QString::number(n) +
                       QStringLiteral(" outstanding invoices for the current financial year."),
                   ui::vbOKOnly, QString(), this);
    Rpt_Invoice invoices;
    invoices.DataReport_Initialize(FnYearCbo->currentText());
    ShowReport(invoices, this);
}

void frmMain::mnuReportsExpense_Click() {
    Rpt_Expense expenses;
    expenses.DataReport_Initialize();
    ShowReport(expenses, this);
}

void frmMain::mnuSendReminder_Click() {
    if (PendInv->Row() < 1) return;
    // Left at the reminded invoice, as the other commands reset it before they open theirs.
    CurrentInvoiceNumber = PendingInvoiceNumber();
    Invoice_system reminder;
    reminder.DataReport_Initialize();
    reminder.section(1)->control(QStringLiteral("lblINV"))->caption = QStringLiteral("Payment Reminder");
    ShowReport(reminder, this);
}

// ---- layout -----------------------------------------------------------------------------

void frmMain::Form_Resize() {
    ControlBoxes boxes = CurrentBoxes();
    const int W = centralWidget()->width() * kTwipsPerPixel;
    const int H = centralWidget()->height() * kTwipsPerPixel;
    // Both lists stay reachable whatever the window's size and the stored split.
    boxes[QStringLiteral("picSplit")].top = ClampSplitPosition(wantedSplit_, H);
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
    if (watched == PendInv->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        PendInv_MouseUp(me->button(), me->globalPosition().toPoint());
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

void frmMain::SaveLayout() {
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : QRect(pos(), size());
    catalogue::WriteWholeNumber(catalogue::MainLeft, normal.x() * kTwipsPerPixel);
    catalogue::WriteWholeNumber(catalogue::MainTop, normal.y() * kTwipsPerPixel);
    catalogue::WriteWholeNumber(catalogue::MainWidth, normal.width() * kTwipsPerPixel);
    catalogue::WriteWholeNumber(catalogue::MainHeight, normal.height() * kTwipsPerPixel);
    catalogue::WriteWholeNumber(catalogue::Split, wantedSplit_);

    // Only a year reaches the System row.
    const QString year = FnYearCbo->currentText();
    if (IsFourDigitYear(year) && DbConnection().State() == db::adStateOpen) {
        db::Recordset rs;
        if (rs.Open(QStringLiteral("select fieldname, value from system"), DbConnection(), db::adOpenDynamic,
                    db::adLockOptimistic))
            catalogue::WriteSystemRow(rs, catalogue::sys::CurrentFnYear, year);
    }
    catalogue::WriteWholeNumber(catalogue::Maintabctl, MainTabctl->currentIndex());

    SaveGridWidths(&catalogue::PendColWidth, PendInv->Cols(), [this](int i) { return PendInv->ColWidth(i); });
    SaveGridWidths(&catalogue::SettledColWidth, SetInv->Cols(), [this](int i) { return SetInv->ColWidth(i); });
    SaveGridWidths(&catalogue::CalendarColWidth, appModel_->columnCount(), [this](int i) {
        return AppGrid->isColumnHidden(i) ? 0 : AppGrid->columnWidth(i) * kTwipsPerPixel;
    });
}

void frmMain::mnuExit_Click() { close(); }

void frmMain::mnuViewCompanies_Click() { ShowCustomerWindow(this); }

void frmMain::mnuViewConfig_Click() {
    SaveLayout();
    frmOptions* options = Forms::get<frmOptions>(this);
    if (options->parentWidget() != this) options->setParent(this, options->windowFlags());
    options->exec();
    // Whatever the dialog changed takes effect at once, even after Cancel.
    Form_Load();
}

void frmMain::mnuHelpMain_Click() { ShowProgramHelp(this); }

void frmMain::mnuOnlineSupport_Click() { OpenOnlineSupport(this); }

void frmMain::mnuHelpAbout_Click() {
    Forms::get<frmAbout>(this)->exec();
    Forms::unload<frmAbout>();
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
