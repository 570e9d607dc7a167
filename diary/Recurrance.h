#pragma once

#include <QDialog>
#include <QMap>

#include "diary/recurrencerules.h"
#include "ui_Recurrance.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class Schedule;

// Turns the appointment editor's current row (the series master) into a recurring series,
// or changes or removes its series. A new instance for every opening, shown modally over
// the editor, whose record set and time and pattern controls it reads and writes.
class Recurrance : public QDialog {
    Q_OBJECT
  public:
    explicit Recurrance(Schedule* owner);

    QComboBox* cboStart;
    QComboBox* cboFinish;
    QRadioButton* Option1;             // Daily
    QRadioButton* Option2;             // Weekly
    QRadioButton* Option3;             // Monthly
    QRadioButton* Option4;             // Annual
    QMap<int, QRadioButton*> optFlex;  // 1 and 2
    QLineEdit* txt1;
    QLineEdit* Text2;
    QLineEdit* Text3;
    QComboBox* cboYear_Mnth;
    QComboBox* cboInstance;
    QComboBox* cboDay;
    QComboBox* cboMonth;
    QMap<int, QLabel*> lbl;     // lbl1 .. lbl4
    QMap<int, QCheckBox*> chk;  // 1 Sunday .. 7 Saturday
    QDateEdit* DTPEnd;
    QPushButton* OKButton;
    QPushButton* CancelButton;
    QPushButton* btn_remove;

    QString PatternText;
    QList<recurrence::Occurrence> RecurrenceDates;
    qint64 MasterID = 0;

    // What the controls hold, and the reverse.
    recurrence::Choice CurrentChoice() const;
    void ShowChoice(const recurrence::Choice& c);

  public slots:
    void Form_Load();
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Option4_Click();
    void HideRecurrenceControls();
    void LoadPattern();
    // Fills PatternText and RecurrenceDates; false, having told the user why, when the
    // controls make no series.
    bool BuildRecurrence();
    void OKButton_Click();
    void btn_remove_Click();
    void CancelButton_Click();
    void cboStart_Validate();
    void cboFinish_Validate();

  private:
    void SelectKind(int kind);
    QList<QRadioButton*> KindButtons() const;
    void ShowOnly(const QList<QWidget*>& shown);
    bool MasterTimes(QDateTime* start, QDateTime* finish);
    QDate PickerDate(bool finish) const;
    void ComputeMasterID();
    // True, having said so, when the master is on an invoice.
    bool MasterInvoiced();

    Ui::Recurrance ui_;
    Schedule* schedule_;
    bool capped_ = false;  // the last build stopped at the most a series holds
    QList<recurrence::ClockChange> clockChanges_;  // of the last build
};
