// The main window's commands that open the other windows and reports.
#include "accounts/Companies_with_Contacts.h"
#include "accounts/Expenses.h"
#include "accounts/Rpt_Expense.h"
#include "accounts/Rpt_Invoice.h"
#include "core/forms.h"
#include "core/frmAbout.h"
#include "core/frmInfo.h"
#include "core/frmOptions.h"
#include "core/globals.h"
#include "core/ownerdetails.h"
#include "core/reports.h"
#include "diary/Rpt_Monthly_Planner.h"
#include "diary/Schedule.h"
#include "diary/frmMain.h"
#include "diary/helpcommands.h"
#include "diary/synchronise.h"
#include "diary/syncrules.h"
#include "platform/ui/prompts.h"

// ---- appointments -----------------------------------------------------------------------

void frmMain::ShowSchedule() {
    Forms::get<Schedule>(this)->exec();
    // Each showing loads afresh from CurrentJobID.
    Forms::unload<Schedule>();
    CurrentJobID = 0;
    ShowEditedAppointments();
}

void frmMain::ShowEditedAppointments() {
    // What the editor did not write to is not read again.
    if (Written(monthRead_, {"JobDetails", "Companies"})) {
        monthRead_ = DbConnection().Changes();
        AppointmentRecordset.Requery();
    }
    ReadInvoicesAgain();
    ShowMonthAppointments();
    FormatMainGrids();
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
    monthRead_ = DbConnection().Changes();
    AppointmentRecordset.Requery();
    ShowMonthAppointments();
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

void frmMain::CheckOwnerDetailsAtStart() {
    if (CheckOwnerDetails(this)) Form_Load();
}

void frmMain::mnuHelpMain_Click() { ShowProgramHelp(this); }

void frmMain::mnuOnlineSupport_Click() { OpenOnlineSupport(this); }

void frmMain::mnuHelpAbout_Click() {
    Forms::get<frmAbout>(this)->exec();
    Forms::unload<frmAbout>();
}

