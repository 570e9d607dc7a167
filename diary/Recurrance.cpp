#include "Recurrance.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>

#include "core/globals.h"
#include "diary/Schedule.h"
#include "diary/recurrencestore.h"
#include "diary/schedulerules.h"
#include "platform/db/value.h"
#include "platform/ui/prompts.h"

namespace {

const QString kResetTitle = QStringLiteral("Are you sure you?");
const QString kResetWarning =
    QStringLiteral("Warning: \nThis will re-set all appointments in the recurrance range!");
const QString kRemoveTitle = QStringLiteral("Are you sure?");
const QString kRemoveQuestion =
    QStringLiteral("This will remove all recurrances of this appointment!");

// The option buttons' handlers, in the buttons' order.
constexpr std::array<void (Recurrance::*)(), 4> kKindHandlers = {
    &Recurrance::Option1_Click, &Recurrance::Option2_Click, &Recurrance::Option3_Click,
    &Recurrance::Option4_Click};

// Today's place among its month's weekdays; Qt counts Monday = 1 .. Sunday = 7, the day
// list starts on Sunday.
void SelectTodaysWeekday(QComboBox* instance, QComboBox* day) {
    const QDate today = QDate::currentDate();
    instance->setCurrentIndex(recurrence::InstanceOfDay(today));
    day->setCurrentIndex(today.dayOfWeek() % 7);
}

}  // namespace

Recurrance::Recurrance(Schedule* owner) : QDialog(owner), schedule_(owner) {
    ui_.setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(size());
    cboStart = ui_.cboStart;
    cboFinish = ui_.cboFinish;
    Option1 = ui_.Option1;
    Option2 = ui_.Option2;
    Option3 = ui_.Option3;
    Option4 = ui_.Option4;
    optFlex = {{1, ui_.optFlex_1}, {2, ui_.optFlex_2}};
    txt1 = ui_.txt1;
    Text2 = ui_.Text2;
    Text3 = ui_.Text3;
    cboYear_Mnth = ui_.cboYear_Mnth;
    cboInstance = ui_.cboInstance;
    cboDay = ui_.cboDay;
    cboMonth = ui_.cboMonth;
    lbl = {{1, ui_.lbl1}, {2, ui_.lbl2}, {3, ui_.lbl3}, {4, ui_.lbl4}};
    chk = {{1, ui_.chk_1}, {2, ui_.chk_2}, {3, ui_.chk_3}, {4, ui_.chk_4},
           {5, ui_.chk_5}, {6, ui_.chk_6}, {7, ui_.chk_7}};
    DTPEnd = ui_.DTPEnd;
    OKButton = ui_.OKButton;
    CancelButton = ui_.CancelButton;
    btn_remove = ui_.btn_remove;

    const QStringList times = schedule::HourlyTimes();
    for (QComboBox* box : {cboStart, cboFinish}) {
        box->addItems(times);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
    }
    const QList<QRadioButton*> kinds = KindButtons();
    for (qsizetype k = 0; k < kinds.size(); ++k)
        connect(kinds[k], &QRadioButton::toggled, this,
                [this, handler = kKindHandlers[static_cast<size_t>(k)]](bool on) {
                    if (on) (this->*handler)();
                });
    connect(OKButton, &QPushButton::clicked, this, &Recurrance::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &Recurrance::CancelButton_Click);
    connect(btn_remove, &QPushButton::clicked, this, &Recurrance::btn_remove_Click);
    connect(cboStart, &QComboBox::currentTextChanged, this, &Recurrance::cboStart_Validate);
    connect(cboFinish, &QComboBox::currentTextChanged, this, &Recurrance::cboFinish_Validate);

    Form_Load();
}

// ---- loading ----------------------------------------------------------------------------

void Recurrance::Form_Load() {
    cboStart->setEditText(schedule_->cboStart->currentText());
    cboFinish->setEditText(schedule_->cboFinish->currentText());
    if (schedule_->txtPattern->text().isEmpty()) {
        SelectKind(recurrence::Daily);
        optFlex[1]->setChecked(true);
        return;
    }
    LoadPattern();
    btn_remove->setVisible(true);
}

void Recurrance::LoadPattern() {
    PatternText = schedule_->txtPattern->text();
    const recurrence::Kind kind = recurrence::PatternKind(PatternText);
    if (kind != recurrence::None) SelectKind(kind);
    recurrence::Choice c = CurrentChoice();
    recurrence::ReadPattern(PatternText, c);
    ShowChoice(c);
}

void Recurrance::SelectKind(int kind) {
    QRadioButton* button = KindButtons().at(kind - 1);
    // Selecting runs the type's handler; one already selected runs it again.
    if (!button->isChecked())
        button->setChecked(true);
    else
        (this->*kKindHandlers[static_cast<size_t>(kind - 1)])();
}

QList<QRadioButton*> Recurrance::KindButtons() const {
    return {Option1, Option2, Option3, Option4};
}

recurrence::Choice Recurrance::CurrentChoice() const {
    recurrence::Choice c;
    const QList<QRadioButton*> kinds = KindButtons();
    for (int k = 0; k < kinds.size(); ++k)
        if (kinds[k]->isChecked()) c.kind = k + 1;
    c.flex = optFlex[2]->isChecked() ? 2 : 1;
    c.txt1 = txt1->text();
    c.text2 = Text2->text();
    c.text3 = Text3->text();
    c.instance = cboInstance->currentIndex();
    c.weekday = cboDay->currentIndex();
    c.yearMonth = cboYear_Mnth->currentIndex();
    c.month = cboMonth->currentIndex();
    for (int k = 1; k <= 7; ++k) c.days[static_cast<size_t>(k - 1)] = chk[k]->isChecked();
    c.end = DTPEnd->date();
    return c;
}

void Recurrance::ShowChoice(const recurrence::Choice& c) {
    optFlex[c.flex == 2 ? 2 : 1]->setChecked(true);
    txt1->setText(c.txt1);
    Text2->setText(c.text2);
    Text3->setText(c.text3);
    cboInstance->setCurrentIndex(c.instance);
    cboDay->setCurrentIndex(c.weekday);
    cboYear_Mnth->setCurrentIndex(c.yearMonth);
    cboMonth->setCurrentIndex(c.month);
    for (int k = 1; k <= 7; ++k) chk[k]->setChecked(c.days[static_cast<size_t>(k - 1)]);
    if (c.end.isValid()) DTPEnd->setDate(c.end);
}

// ---- type handlers ----------------------------------------------------------------------

void Recurrance::HideRecurrenceControls() {
    for (QWidget* w : findChildren<QWidget*>())
        if (w->property("tag").toString() == QLatin1String("cng")) w->setVisible(false);
    optFlex[2]->resize(57, optFlex[2]->height());
}

void Recurrance::ShowOnly(const QList<QWidget*>& shown) {
    HideRecurrenceControls();
    for (QWidget* w : shown) w->setVisible(true);
}

QDate Recurrance::PickerDate(bool finish) const {
    return (finish ? schedule_->DTPFinish : schedule_->DTPStart)->date();
}

void Recurrance::Option1_Click() {
    ShowOnly({optFlex[1], optFlex[2], txt1, lbl[1]});
    optFlex[1]->setText(QStringLiteral("Every"));
    optFlex[1]->setChecked(true);
    optFlex[2]->setText(QStringLiteral("Every weekday"));
    optFlex[2]->resize(129, optFlex[2]->height());
    lbl[1]->setText(QStringLiteral("day(s)"));
    // As many days as the appointment lasts, and at least one: an interval of 0 never moves.
    const qint64 days = std::max<qint64>(1, PickerDate(false).daysTo(PickerDate(true)));
    txt1->setText(QString::number(days));
    DTPEnd->setDate(PickerDate(true).addDays(days));
}

void Recurrance::Option2_Click() {
    QList<QWidget*> shown{optFlex[1], txt1, lbl[1]};
    for (QCheckBox* box : chk) shown << box;
    ShowOnly(shown);
    optFlex[1]->setText(QStringLiteral("Recur every"));
    optFlex[1]->setChecked(true);
    lbl[1]->setText(QStringLiteral("week(s) on:"));
    txt1->setText(QStringLiteral("2"));
    DTPEnd->setDate(PickerDate(true).addDays(2));
}

void Recurrance::Option3_Click() {
    ShowOnly({optFlex[1], optFlex[2], txt1, cboInstance, cboDay, Text2, Text3, lbl[1], lbl[2],
              lbl[3], lbl[4]});
    optFlex[1]->setText(QStringLiteral("Day"));
    optFlex[2]->setText(QStringLiteral("The"));
    lbl[1]->setText(QStringLiteral("of every"));
    lbl[2]->setText(QStringLiteral("Month(s)"));
    lbl[3]->setText(QStringLiteral("of every"));
    lbl[4]->setText(QStringLiteral("Month(s)"));
    const auto start = db::ToDateTime(schedule_->JobRecordset.Value(QStringLiteral("Start")));
    txt1->setText(QString::number((start ? start->date() : PickerDate(false)).day()));
    Text2->setText(QStringLiteral("1"));
    Text3->setText(QStringLiteral("1"));
    SelectTodaysWeekday(cboInstance, cboDay);
    DTPEnd->setDate(PickerDate(true).addMonths(1));
}

void Recurrance::Option4_Click() {
    ShowOnly({optFlex[1], optFlex[2], cboYear_Mnth, Text2, cboInstance, cboDay, cboMonth, lbl[3]});
    optFlex[1]->setText(QStringLiteral("Every"));
    optFlex[2]->setText(QStringLiteral("The"));
    lbl[3]->setText(QStringLiteral("of"));
    const QDate today = QDate::currentDate();
    cboYear_Mnth->setCurrentIndex(today.month() - 1);
    cboMonth->setCurrentIndex(today.month() - 1);
    Text2->setText(QString::number(today.day()));
    SelectTodaysWeekday(cboInstance, cboDay);
    DTPEnd->setDate(PickerDate(true).addYears(1));
}

// ---- times ------------------------------------------------------------------------------

void Recurrance::cboStart_Validate() { schedule_->cboStart->setEditText(cboStart->currentText()); }

void Recurrance::cboFinish_Validate() {
    schedule_->cboFinish->setEditText(cboFinish->currentText());
}

// The master's days at the times this window shows.
bool Recurrance::MasterTimes(QDateTime* start, QDateTime* finish) {
    const db::Recordset& row = schedule_->JobRecordset;
    const auto savedStart = db::ToDateTime(row.Value(QStringLiteral("Start")));
    const auto savedFinish = db::ToDateTime(row.Value(QStringLiteral("finish")));
    QString error;
    const auto s = schedule::ComposeDateTime(savedStart ? savedStart->date() : PickerDate(false),
                                             cboStart->currentText(), &error);
    const auto f =
        s ? schedule::ComposeDateTime(savedFinish ? savedFinish->date() : PickerDate(true),
                                      cboFinish->currentText(), &error)
          : std::nullopt;
    if (f && *f < *s) error = schedule::kFinishBeforeStart;
    if (!f || *f < *s) {
        ui::MsgBox(error, ui::vbExclamation, QString(), this);
        return false;
    }
    *start = *s;
    *finish = *f;
    return true;
}

// ---- commands ---------------------------------------------------------------------------

bool Recurrance::BuildRecurrence() {
    RecurrenceDates.clear();
    QDateTime start, finish;
    if (!MasterTimes(&start, &finish)) return false;
    const recurrence::Series s = recurrence::BuildRecurrence(CurrentChoice(), start, finish);
    if (!s.refusal.isEmpty()) {
        ui::MsgBox(s.refusal, ui::vbExclamation, QString(), this);
        return false;
    }
    PatternText = s.pattern;
    RecurrenceDates = s.dates;
    capped_ = s.capped;
    clockChanges_ = s.clockChanges;
    return true;
}

void Recurrance::ComputeMasterID() {
    const db::Recordset& row = schedule_->JobRecordset;
    const qint64 master = row.Value(QStringLiteral("masterappointment")).toLongLong();
    MasterID = master != 0 ? master : row.Value(QStringLiteral("JobID")).toLongLong();
}

bool Recurrance::MasterInvoiced() {
    // The appointment editor refuses to change an invoiced master; so does its series.
    if (!schedule::IsInvoiced(schedule_->JobRecordset.Value(QStringLiteral("invoicenumber"))))
        return false;
    ui::MsgBox(schedule::kInvoicedLock, ui::vbOKOnly, QString(), this);
    return true;
}

void Recurrance::OKButton_Click() {
    if (MasterInvoiced() || !BuildRecurrence()) return;
    if (RecurrenceDates.size() < 2) {
        ui::MsgBox(recurrence::kNoSecondOccurrence, ui::vbOKOnly, QString(), this);
        return;
    }
    if (RecurrenceDates[0].finish >= RecurrenceDates[1].start) {
        ui::MsgBox(recurrence::kTooClose, ui::vbCritical, QString(), this);
        return;
    }
    ComputeMasterID();
    if (!schedule_->txtPattern->text().isEmpty()) {
        const db::Recordset& row = schedule_->JobRecordset;
        const bool sameTimes =
            db::ToDateTime(row.Value(QStringLiteral("Start"))) == RecurrenceDates[0].start &&
            db::ToDateTime(row.Value(QStringLiteral("finish"))) == RecurrenceDates[0].finish;
        if (PatternText == schedule_->txtPattern->text() && sameTimes) return;
        if (ui::MsgBox(kResetWarning, ui::vbOKCancel, kResetTitle, this) != ui::vbOK) return;
    }
    if (capped_)
        ui::MsgBox(recurrence::CappedMessage(RecurrenceDates.last().start.date()),
                   ui::vbInformation, QString(), this);
    const recurrence::Stored stored = recurrence::WriteSeries(
        DbConnection(), MasterID, {QString(), PatternText, RecurrenceDates, capped_, clockChanges_});
    if (!stored.ok) {
        ui::MsgBox(
            QStringLiteral("The series could not be saved; it is as it was.\n") + stored.error,
            ui::vbExclamation, QString(), this);
        return;
    }
    schedule_->SeriesStored(PatternText);
    if (!clockChanges_.isEmpty())
        ui::MsgBox(recurrence::ClockChangeMessage(clockChanges_), ui::vbInformation, QString(), this);
    if (stored.kept > 0)
        ui::MsgBox(recurrence::KeptMessage(stored.kept), ui::vbInformation, QString(), this);
    accept();
}

void Recurrance::btn_remove_Click() {
    if (MasterInvoiced()) return;
    if (ui::MsgBox(kRemoveQuestion, ui::vbYesNo, kRemoveTitle, this) != ui::vbYes) return;
    ComputeMasterID();
    const recurrence::Stored stored = recurrence::DeleteSeries(DbConnection(), MasterID);
    if (!stored.ok) {
        ui::MsgBox(
            QStringLiteral("The series could not be removed; it is as it was.\n") + stored.error,
            ui::vbExclamation, QString(), this);
        return;
    }
    schedule_->SeriesStored(QString());
    btn_remove->setVisible(false);
    if (stored.kept > 0)
        ui::MsgBox(recurrence::KeptMessage(stored.kept), ui::vbInformation, QString(), this);
}

void Recurrance::CancelButton_Click() { reject(); }
