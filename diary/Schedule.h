#pragma once

#include <QDialog>
#include <QMap>
#include <functional>

#include "core/boundboxes.h"
#include "core/unsavededits.h"
#include "platform/db/recordset.h"
#include "ui_Schedule.h"

class QCheckBox;
class QComboBox;
class ElidingComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QToolBar;
class Schedule;

// Windows of other parts of the program that the appointment editor opens, each shown
// modally over the editor. An empty one is a window the program does not have yet.
struct ScheduleWindows {
    // The customer window, started on a new company.
    std::function<void(QWidget* owner)> newCustomer;
    // The expenses of the appointment in CurrentJobID.
    std::function<void(QWidget* owner)> expenses;
    // A new recurrence editor over the editor's current row.
    std::function<void(Schedule* owner)> recurrence;
};
ScheduleWindows& ScheduleOutcalls();

// One appointment (a JobDetails row), new when CurrentJobID is 0 while it loads. Shown
// modally by the main window. The recurrence editor reads and writes JobRecordset and the
// time and pattern controls.
class Schedule : public QDialog {
    Q_OBJECT
  public:
    explicit Schedule(QWidget* parent = nullptr);
    ~Schedule() override;

    db::Recordset JobRecordset;

    ElidingComboBox* cboCompanyName;
    QDateEdit* DTPStart;
    QComboBox* cboStart;
    QDateEdit* DTPFinish;
    QComboBox* cboFinish;
    QMap<int, QLineEdit*> txtFields;  // 2 Duration, 3 PO_Number, 4 Description, 5 Fee
    QMap<int, QCheckBox*> chkFields;  // 9 Cancelled
    QLineEdit* txtPattern;
    QLineEdit* txtMasterApp;
    QMap<int, QLabel*> lblLabels;
    QToolBar* Toolbar1;

    // Puts what the user changed in the bound boxes into the row (it does not save it).
    // False, with `error` set, when a box holds a value its field cannot take.
    bool WriteBoundFields(QString* error = nullptr);
    // Shows the current row in the bound boxes.
    void LoadBoundFields();
    // The recurrence editor stored this pattern on the row's series.
    void SeriesStored(const QString& pattern);

  public slots:
    void Form_Load();
    void Form_Unload();
    void LoadCustomerList();
    void LoadTimes();
    void ShowCustomerName();
    void cboCompanyName_Click(int index);
    void DTPStart_Validate();
    void Toolbar1_ButtonClick(const QString& key);
    // False when nothing was saved (the user has been told why).
    bool SaveAppointment();
    void CancelChanges();
    void OpenExpenses();
    void OpenRecurrence();

    // Closing by the frame or Escape: asks first when there are edits not saved yet; Cancel
    // keeps the window open.
    void reject() override;

  protected:
    void done(int result) override;

  private:
    bool HasRow() const;
    bool IsNewRow() const;
    void AddNewCustomer();
    void NotAvailable(const QString& window);
    // "the appointment of <customer> on <date>", as the question on closing names it.
    QString AppointmentName() const;

    Ui::Schedule ui_;
    BoundBoxes boxes_;
    EditSnapshot shown_;
    bool unloaded_ = false;
};
