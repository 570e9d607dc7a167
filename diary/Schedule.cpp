#include "Schedule.h"

#include <QAction>
#include <QCalendarWidget>
#include <QLocale>
#include <QSet>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolBar>

#include "core/boundboxes.h"
#include "core/formatting.h"
#include "core/globals.h"
#include "core/longlist.h"
#include "core/settingscatalogue.h"
#include "core/toolbar.h"
#include "diary/schedulerules.h"
#include "platform/ui/prompts.h"

namespace {

const QString kJobSql =
    QStringLiteral(
        "select JobID, Start, Finish, Duration, Description, PO_Number, Fee, CustomerID, ") +
    QStringLiteral(
        "StageID, Cancelled, invoicenumber, masterappointment, pattern, "
        "Outlook_LastUpdate FROM JobDetails;");

}  // namespace

Schedule::Schedule(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    cboCompanyName = ui_.cboCompanyName;
    DTPStart = ui_.DTPStart;
    cboStart = ui_.cboStart;
    DTPFinish = ui_.DTPFinish;
    cboFinish = ui_.cboFinish;
    txtFields = {
        {2, ui_.txtFields_2}, {3, ui_.txtFields_3}, {4, ui_.txtFields_4}, {5, ui_.txtFields_5}};
    chkFields = {{9, ui_.chkFields_9}};
    txtPattern = ui_.txtPattern;
    txtMasterApp = ui_.txtMasterApp;
    lblLabels = {{6, ui_.lblLabels_6}, {0, ui_.lblLabels_0}, {1, ui_.lblLabels_1},
                 {2, ui_.lblLabels_2}, {3, ui_.lblLabels_3}, {4, ui_.lblLabels_4},
                 {5, ui_.lblLabels_5}, {9, ui_.lblLabels_9}};
    txtMasterApp->setVisible(false);

    Toolbar1 = AddWindowToolbar(this, ui_.MainLayout, Qt::ToolButtonTextUnderIcon);
    auto add = [this](const char* key, const QString& caption, const QString& tip, QStyle::StandardPixmap icon) {
        AddKeyedButton(Toolbar1, key, caption, tip, icon, [this](const QString& k) { Toolbar1_ButtonClick(k); });
    };
    add("btnCancel", QStringLiteral("Cancel"),
        QStringLiteral("Cancel the changes made to this entry."), QStyle::SP_DialogCancelButton);
    add("btnSave", QStringLiteral("Save"), QStringLiteral("Click to save this appointment."),
        QStyle::SP_DialogSaveButton);
    add("btnRecurrance", QStringLiteral("Recurrence"),
        QStringLiteral("Click to create a recurring appointment."), QStyle::SP_BrowserReload);
    add("btnExpense", QStringLiteral("Expenses"),
        QStringLiteral("Add an expense to this appointment."), QStyle::SP_FileDialogContentsView);

    const QStringList times = schedule::HourlyTimes();
    for (QComboBox* box : {cboStart, cboFinish}) {
        box->addItems(times);
        box->setInsertPolicy(QComboBox::NoInsert);
        // Free typing: no completion putting hours the user did not type.
        box->setCompleter(nullptr);
    }
    for (QDateEdit* picker : {DTPStart, DTPFinish}) picker->setDate(QDate::currentDate());

    boxes_.Add(txtFields[2], QStringLiteral("Duration"));
    boxes_.Add(txtFields[3], QStringLiteral("PO_Number"));
    boxes_.Add(txtFields[4], QStringLiteral("Description"));
    boxes_.Add(txtFields[5], QStringLiteral("Fee"), BoundBoxes::Money);
    boxes_.Add(txtPattern, QStringLiteral("Pattern"));
    boxes_.Add(txtMasterApp, QStringLiteral("Masterappointment"), BoundBoxes::WholeNumber);

    shown_.Watch([this] { return cboCompanyName->currentText(); });
    for (QDateEdit* picker : {DTPStart, DTPFinish})
        shown_.Watch([picker] { return picker->date().toString(Qt::ISODate); });
    for (QComboBox* box : {cboStart, cboFinish}) shown_.Watch([box] { return box->currentText(); });
    for (QLineEdit* box : txtFields) shown_.Watch([box] { return box->text(); });
    shown_.Watch([this] { return QString::number(chkFields[9]->isChecked()); });

    connect(cboCompanyName, &QComboBox::activated, this, &Schedule::cboCompanyName_Click);
    connect(DTPStart, &QDateEdit::editingFinished, this, &Schedule::DTPStart_Validate);
    // A day picked in the calendar leaves the picker as far as the user is concerned.
    connect(DTPStart->calendarWidget(), &QCalendarWidget::clicked, this,
            &Schedule::DTPStart_Validate, Qt::QueuedConnection);

    Form_Load();
}

Schedule::~Schedule() { Form_Unload(); }

bool Schedule::HasRow() const { return HasCurrentRow(JobRecordset); }

bool Schedule::IsNewRow() const {
    if (!HasRow()) return true;
    const QVariant id = JobRecordset.Value(QStringLiteral("JobID"));
    return db::IsNull(id) || id.toLongLong() == 0;
}

// ---- loading ----------------------------------------------------------------------------

void Schedule::Form_Load() {
    LoadCustomerList();
    if (JobRecordset.Open(kJobSql, DbConnection(), db::adOpenDynamic, db::adLockOptimistic)) {
        if (CurrentJobID == 0)
            JobRecordset.AddNew();
        else
            JobRecordset.SetFilter(QStringLiteral("JobID = ") + QString::number(CurrentJobID));
    }
    LoadBoundFields();
    LoadTimes();
    shown_.Mark();
}

void Schedule::LoadCustomerList() { ::LoadCustomerList(cboCompanyName, schedule::kAddNewCustomer); }

void Schedule::LoadTimes() {
    if (!IsNewRow()) {
        const auto start = db::ToDateTime(JobRecordset.Value(QStringLiteral("Start")));
        const auto finish = db::ToDateTime(JobRecordset.Value(QStringLiteral("finish")));
        if (start) {
            DTPStart->setDate(start->date());
            cboStart->setEditText(schedule::TimeText(*start));
        }
        if (finish) {
            DTPFinish->setDate(finish->date());
            cboFinish->setEditText(schedule::TimeText(*finish));
        }
        ShowCustomerName();
        return;
    }
    cboStart->setEditText(catalogue::ReadText(catalogue::AppointmentStartTime));
    cboFinish->setEditText(catalogue::ReadText(catalogue::AppointmentFinishTime));
    DTPStart->setDate(QDate::currentDate());
    DTPFinish->setDate(QDate::currentDate());
}

void Schedule::ShowCustomerName() {
    if (!HasRow()) return;
    const QVariant id = JobRecordset.Value(QStringLiteral("CustomerID"));
    cboCompanyName->setCurrentIndex(db::IsNull(id) ? -1 : cboCompanyName->findData(id.toInt()));
}

void Schedule::LoadBoundFields() { boxes_.Load(JobRecordset); }

bool Schedule::WriteBoundFields(QString* error) { return boxes_.Write(JobRecordset, error); }

void Schedule::SeriesStored(const QString& pattern) {
    // The file holds it already. Without edits of the user's own pending the row is read
    // again, so that a later save neither brings back the old pattern nor finds the row
    // changed behind its back; with edits pending the box shows it without writing it.
    if (HasRow() && JobRecordset.EditMode() == db::Recordset::adEditNone) {
        const qint64 id = JobRecordset.Value(QStringLiteral("JobID")).toLongLong();
        JobRecordset.Requery();
        JobRecordset.SetFilter(QStringLiteral("JobID = ") + QString::number(id));
    }
    boxes_.ShowStored(txtPattern, pattern);
}

// ---- customer ---------------------------------------------------------------------------

void Schedule::cboCompanyName_Click(int index) {
    if (index < 0) return;
    if (index == cboCompanyName->count() - 1) {
        AddNewCustomer();
        return;
    }
    const QVariant key = cboCompanyName->itemData(index);
    if (key.isValid() && HasRow()) JobRecordset.SetValue(QStringLiteral("CustomerID"), key.toInt());
}

void Schedule::AddNewCustomer() {
    if (!ScheduleOutcalls().newCustomer) {
        NotAvailable(QStringLiteral("customer"));
        ShowCustomerName();
        return;
    }
    QSet<int> before;
    for (int i = 0; i < cboCompanyName->count() - 1; ++i)
        before.insert(cboCompanyName->itemData(i).toInt());
    ScheduleOutcalls().newCustomer(this);
    LoadCustomerList();
    // The first company the list did not hold before is the one just added.
    for (int i = 0; i < cboCompanyName->count() - 1; ++i) {
        if (!before.contains(cboCompanyName->itemData(i).toInt())) {
            cboCompanyName->setCurrentIndex(i);
            cboCompanyName_Click(i);
            return;
        }
    }
    // Nothing added: the row keeps its customer, and the list shows it again.
    if (IsNewRow() && JobRecordset.EditMode() == db::Recordset::adEditAdd &&
        db::IsNull(JobRecordset.Value(QStringLiteral("CustomerID"))))
        cboCompanyName->setCurrentIndex(-1);
    else
        ShowCustomerName();
}

// ---- dates ------------------------------------------------------------------------------

void Schedule::DTPStart_Validate() {
    if (DTPStart->date() > DTPFinish->date()) DTPFinish->setDate(DTPStart->date());
}

// ---- commands ---------------------------------------------------------------------------

void Schedule::Toolbar1_ButtonClick(const QString& key) {
    if (key == QLatin1String("btnSave")) {
        // The toolbar takes no focus, so a start date being typed has not been left yet.
        if (DTPStart->hasFocus()) DTPStart_Validate();
        SaveAppointment();
    } else if (key == QLatin1String("btnCancel")) {
        CancelChanges();
    } else if (key == QLatin1String("btnRecurrance")) {
        OpenRecurrence();
    } else if (key == QLatin1String("btnExpense")) {
        OpenExpenses();
    }
}

bool Schedule::SaveAppointment() {
    auto failed = [this](const QString& text) {
        ui::MsgBox(text, ui::vbOKOnly, QString(), this);
        return false;
    };
    if (!HasRow()) {
        // The record set says why: a read fails for want of a current row, or it never opened.
        if (JobRecordset.State() == db::adStateOpen) JobRecordset.Value(QStringLiteral("JobID"));
        return failed(JobRecordset.LastError());
    }
    const QVariant customer = JobRecordset.Value(QStringLiteral("CustomerID"));
    const bool listed = !db::IsNull(customer) && cboCompanyName->findData(customer.toInt()) >= 0;
    const schedule::AppointmentCheck check = schedule::CheckAppointment(
        JobRecordset.Value(QStringLiteral("invoicenumber")), customer, listed, DTPStart->date(),
        cboStart->currentText(), DTPFinish->date(), cboFinish->currentText());
    if (!check.refusal.isEmpty()) return failed(check.refusal);
    QString error;
    if (!WriteBoundFields(&error)) return failed(error);
    QCheckBox* cancelled = chkFields[9];
    if (cancelled->isChecked()) {
        if (ui::MsgBox(schedule::kCancelledQuestion, ui::vbYesNo, schedule::kCancelledTitle,
                       this) == ui::vbYes) {
            if (!JobRecordset.SetValue(QStringLiteral("cancelled"), true))
                return failed(JobRecordset.LastError());
        } else {
            cancelled->setChecked(false);
        }
    }
    if (!JobRecordset.SetValue(QStringLiteral("Start"), check.start) ||
        !JobRecordset.SetValue(QStringLiteral("finish"), check.finish) ||
        !JobRecordset.SetValue(QStringLiteral("outlook_lastupdate"),
                               QDateTime::currentDateTime()) ||
        !JobRecordset.Update())
        return failed(JobRecordset.LastError());
    // A new row now has its key; the boxes show what is stored.
    LoadBoundFields();
    shown_.Mark();
    return true;
}

void Schedule::CancelChanges() {
    if (JobRecordset.State() != db::adStateOpen) return;
    const bool adding = JobRecordset.EditMode() == db::Recordset::adEditAdd;
    JobRecordset.CancelUpdate();
    // A new appointment stays new: the editor starts it again.
    if (adding) JobRecordset.AddNew();
    chkFields[9]->setChecked(false);
    LoadBoundFields();
    LoadTimes();
    if (adding) cboCompanyName->setCurrentIndex(-1);
    shown_.Mark();
}

void Schedule::OpenExpenses() {
    // Expenses of a row without a key would be filed under no appointment.
    if (IsNewRow()) {
        ui::MsgBox(schedule::kMustSaveFirst, ui::vbOKOnly, QString(), this);
        return;
    }
    if (!ScheduleOutcalls().expenses) {
        NotAvailable(QStringLiteral("expenses"));
        return;
    }
    CurrentJobID = JobRecordset.Value(QStringLiteral("JobID")).toInt();
    ScheduleOutcalls().expenses(this);
    CurrentJobID = 0;
}

void Schedule::OpenRecurrence() {
    if (IsNewRow()) {
        ui::MsgBox(schedule::kMustSaveFirst, ui::vbOKOnly, QString(), this);
        return;
    }
    if (!ScheduleOutcalls().recurrence) {
        NotAvailable(QStringLiteral("recurrence"));
        return;
    }
    const QVariant master = JobRecordset.Value(QStringLiteral("masterappointment"));
    if (db::IsNull(master) || master.toLongLong() == 0) {
        ScheduleOutcalls().recurrence(this);
        return;
    }
    // An occurrence: the series is edited on its master, and this window closes afterwards
    // without the question on closing: the occurrence's unsaved edits are dropped here, and the
    // boxes then show the master, not anything the user typed.
    JobRecordset.CancelUpdate();
    JobRecordset.SetFilter(QStringLiteral("jobid = ") + QString::number(master.toLongLong()));
    chkFields[9]->setChecked(false);
    LoadBoundFields();
    LoadTimes();
    ScheduleOutcalls().recurrence(this);
    QDialog::reject();
}

void Schedule::NotAvailable(const QString& window) {
    ui::MsgBox(QStringLiteral("The %1 window is not available in this version of the program.")
                   .arg(window),
               ui::vbInformation, QString(), this);
}

// ---- closing ----------------------------------------------------------------------------

void Schedule::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    // An unsaved new row goes with the record set.
    JobRecordset.Close();
}

QString Schedule::AppointmentName() const {
    const QString customer = cboCompanyName->currentIndex() >= 0 &&
                                     cboCompanyName->currentIndex() < cboCompanyName->count() - 1
                                 ? cboCompanyName->currentText()
                                 : QString();
    if (customer.isEmpty() && IsNewRow()) return QStringLiteral("the new appointment");
    const QString day = QLocale().toString(DTPStart->date(), QLocale::ShortFormat);
    return customer.isEmpty() ? QStringLiteral("the appointment on %1").arg(day)
                              : QStringLiteral("the appointment of %1 on %2").arg(customer, day);
}

void Schedule::reject() {
    if (!unloaded_ && shown_.Changed() &&
        !SaveChangesBeforeClosing(this, AppointmentName(), [this] { return SaveAppointment(); }))
        return;
    QDialog::reject();
}

void Schedule::done(int result) {
    Form_Unload();
    QDialog::done(result);
}
