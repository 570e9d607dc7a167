#include "Expenses.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolBar>

#include "accounts/Expense_Types.h"
#include "core/forms.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "core/toolbar.h"
#include "core/typingfocus.h"
#include "platform/ui/prompts.h"

namespace {

const QString kOutgoingsSql = QStringLiteral(
    "select recordid, scheduleid, type, description, milage, amount, reciept, date as [ndate] "
    "from outgoings");
// The id travels with each name, so that a picked type is never looked up by its text.
const QString kTypesSql = QStringLiteral(
    "SELECT system.id, system.Value, system.opt1 FROM system WHERE system.FieldName = 'Type'");

QDateTime Midnight(const QDate& d) { return QDateTime(d, QTime(0, 0)); }

}  // namespace

Expenses::Expenses(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    lblDate = ui_.lblDate;
    DTPDate = ui_.DTPDate;
    Label1 = ui_.Label1;
    cboType = ui_.cboType;
    Text1 = ui_.Text1;
    lblAmnt = ui_.lblAmnt;
    txtAmm = ui_.txtAmm;
    Check1 = ui_.Check1;
    AdodcExp = ui_.AdodcExp;
    lblTotals = ui_.lblTotals;

    Toolbar1 = AddWindowToolbar(this, ui_.MainLayout, Qt::ToolButtonTextBesideIcon);
    auto add = [this](const char* key, const QString& caption, const QString& tip,
                      QStyle::StandardPixmap icon) {
        AddKeyedButton(Toolbar1, key, caption, tip, icon,
                       [this](const QString& k) { Toolbar1_ButtonClick(k); });
    };
    add("AddNew", QStringLiteral("New"), QStringLiteral("Add a new record"), QStyle::SP_FileIcon);
    add("btnSave", QStringLiteral("Save"), QStringLiteral("Save record"),
        QStyle::SP_DialogSaveButton);
    add("btnDelete", QStringLiteral("Delete"), QStringLiteral("Delete this record"),
        QStyle::SP_TrashIcon);

    AdodcExp->bind(cboType->lineEdit(), QStringLiteral("Type"));
    AdodcExp->bind(Text1, QStringLiteral("Description"));
    AdodcExp->bind(Check1, QStringLiteral("Reciept"));
    // A new row left as it came is dropped, never stored blank.
    AdodcExp->setBlankNewRow([this] { return BlankNewRow(); });
    connect(AdodcExp, &db::DataControl::MoveComplete, this, &Expenses::AdodcExp_MoveComplete);
    connect(AdodcExp, &db::DataControl::Error, this, &Expenses::AdodcExp_Error);
    connect(cboType, &QComboBox::activated, this, &Expenses::cboType_Click);
    // A type typed by hand shows its label as soon as it names one.
    connect(cboType->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& name) { ShowAmountLabel(RowInMiles(name)); });
    connect(DTPDate, &QDateEdit::dateChanged, this, &Expenses::DTPDate_Validate);
    Label1->installEventFilter(this);

    Form_Load();
}

Expenses::~Expenses() { Form_Unload(); }

void Expenses::ShowError(const QString& text) { ui::MsgBox(text, ui::vbOKOnly, QString(), this); }

// ---- loading ----------------------------------------------------------------------------

void Expenses::Form_Load() {
    jobId_ = CurrentJobID;
    const auto storedRate = catalogue::SystemValue(DbConnection(), catalogue::sys::Milage);
    ratePence_ = expense::MileageRatePence(storedRate);
    // Said over the caller's window: this one is not shown yet.
    if (!ratePence_)
        ui::MsgBox(expense::UnreadableMileageRate(storedRate.value_or(QString())), ui::vbOKOnly,
                   QString(), parentWidget() ? parentWidget() : this);
    LoadTypes();
    if (!m_rsOutgoings.Open(kOutgoingsSql, DbConnection(), db::adOpenDynamic,
                            db::adLockOptimistic)) {
        ShowError(m_rsOutgoings.LastError());
        return;
    }
    // An appointment's expenses take its date; only the others are dated here.
    lblDate->setVisible(Miscellaneous());
    DTPDate->setVisible(Miscellaneous());
    {
        const QSignalBlocker block(DTPDate);
        DTPDate->setDate(QDate::currentDate());
    }
    m_rsOutgoings.SetFilter(Miscellaneous() ? expense::YearFilter(FinYearStart)
                                            : expense::AppointmentFilter(jobId_));
    AdodcExp->setRecordset(m_rsOutgoings);  // runs AdodcExp_MoveComplete
    if (m_rsOutgoings.RecordCount() == 0) StartRow();
    ShowTotals();
    FocusFirstBox(this);
}

void Expenses::LoadTypes() {
    types_.clear();
    db::Recordset rs;
    if (rs.Open(kTypesSql, DbConnection(), db::adOpenForwardOnly, db::adLockReadOnly)) {
        for (; !rs.Eof(); rs.MoveNext()) {
            const QVariant opt1 = rs.Value(QStringLiteral("opt1"));
            types_.append({rs.Value(QStringLiteral("id")).toLongLong(),
                           rs.Value(QStringLiteral("Value")).toString(),
                           !db::IsNull(opt1) && opt1.toLongLong() == 1});
        }
        rs.Close();
    }
    // The box keeps what it shows: the row's type, which may be one no longer listed.
    const QString shown = cboType->currentText();
    const QSignalBlocker block(cboType);
    cboType->clear();
    for (const expense::ExpenseType& t : types_) cboType->addItem(t.name, t.id);
    cboType->setCurrentIndex(-1);
    cboType->setEditText(shown);
}

// ---- the row shown ----------------------------------------------------------------------

void Expenses::ShowAmountLabel(bool miles) {
    lblAmnt->setText(miles ? expense::kMilesLabel : expense::kMoneyLabel);
}

bool Expenses::RowInMiles(const QString& name) const {
    const QVariant milage = db::HasCurrentRow(m_rsOutgoings)
                                ? m_rsOutgoings.Value(QStringLiteral("milage"))
                                : QVariant();
    return expense::RowCountsInMiles(types_, name, milage);
}

void Expenses::ShowAmount(const QString& text, bool miles) {
    txtAmm->setText(text);
    amountShown_ = text;
    amountShownInMiles_ = miles;
}

void Expenses::AdodcExp_MoveComplete(int) {
    if (db::HasCurrentRow(m_rsOutgoings)) {
        const bool miles = RowInMiles(m_rsOutgoings.Value(QStringLiteral("Type")).toString());
        ShowAmountLabel(miles);
        ShowAmount(expense::AmountBoxText(miles, m_rsOutgoings.Value(QStringLiteral("milage")),
                                          m_rsOutgoings.Value(QStringLiteral("amount"))),
                   miles);
        const QVariant dated = m_rsOutgoings.Value(QStringLiteral("ndate"));
        if (Miscellaneous() && !db::IsNull(dated)) {
            const QSignalBlocker block(DTPDate);
            DTPDate->setDate(dated.toDateTime().date());
        }
    }
    AdodcExp->setCaption(m_rsOutgoings.EditMode() == db::Recordset::adEditAdd
                             ? expense::kNewRecord
                             : QStringLiteral("Record %1 of %2")
                                   .arg(m_rsOutgoings.AbsolutePosition())
                                   .arg(m_rsOutgoings.RecordCount()));
}

void Expenses::AdodcExp_Error(const QString& description) {
    // The user's entries stay in the row and the boxes, to be put right.
    ShowError(description);
}

void Expenses::cboType_Click(int index) {
    const qint64 id = cboType->itemData(index).toLongLong();
    for (const expense::ExpenseType& t : types_) {
        if (t.id != id) continue;
        ShowAmountLabel(t.miles);
        return;
    }
    cboType->setEditText(QString());
}

void Expenses::DTPDate_Validate() {
    if (Miscellaneous() && db::HasCurrentRow(m_rsOutgoings))
        m_rsOutgoings.SetValue(QStringLiteral("ndate"), Midnight(DTPDate->date()));
}

void Expenses::ShowTotals() {
    totals_ = {};
    const int miles = m_rsOutgoings.FieldIndex(QStringLiteral("milage"));
    const int amount = m_rsOutgoings.FieldIndex(QStringLiteral("amount"));
    for (int row = 0; row < m_rsOutgoings.RecordCount(); ++row)
        expense::AddToTotals(totals_, m_rsOutgoings.ValueAt(row, miles),
                             m_rsOutgoings.ValueAt(row, amount), ratePence_);
    lblTotals->setText(expense::TotalsText(totals_, ratePence_));
}

// ---- commands ---------------------------------------------------------------------------

void Expenses::Toolbar1_ButtonClick(const QString& key) {
    if (key == QLatin1String("AddNew"))
        AddNewExpense();
    else if (key == QLatin1String("btnSave"))
        SaveExpense();
    else if (key == QLatin1String("btnDelete"))
        DeleteExpense();
}

bool Expenses::StartRow() {
    if (!AdodcExp->AddNew()) {
        ShowError(AdodcExp->LastError());
        return false;
    }
    m_rsOutgoings.SetValue(QStringLiteral("scheduleid"), jobId_);
    // No expense tied to no appointment is ever without a date.
    if (Miscellaneous()) m_rsOutgoings.SetValue(QStringLiteral("ndate"), Midnight(DTPDate->date()));
    ShowAmount(QStringLiteral("0"), false);
    AdodcExp->setCaption(expense::kNewRecord);
    return true;
}

bool Expenses::StoreAmountAndDate() {
    bool ok = true;
    // A row's miles and amount change only when the user changes the box, or picks a type
    // that counts the other: the box shows one of them, and a type renamed or removed since
    // says nothing of which.
    const bool miles = RowInMiles(cboType->currentText());
    if (txtAmm->text() != amountShown_ || miles != amountShownInMiles_ ||
        m_rsOutgoings.EditMode() == db::Recordset::adEditAdd) {
        QString error;
        const auto value = expense::AmountBoxValue(miles, txtAmm->text(), &error);
        if (!value) {
            ShowError(error);
            return false;
        }
        // The other column is cleared: the reports count miles before money, so what the box
        // holds is what counts.
        const QVariant none = miles ? QVariant::fromValue(db::Currency()) : QVariant(0);
        ok = m_rsOutgoings.SetValue(miles ? QStringLiteral("milage") : QStringLiteral("amount"),
                                    *value) &&
             m_rsOutgoings.SetValue(miles ? QStringLiteral("amount") : QStringLiteral("milage"),
                                    none);
    }
    if (Miscellaneous())
        ok = ok && m_rsOutgoings.SetValue(QStringLiteral("ndate"), Midnight(DTPDate->date()));
    if (!ok) ShowError(m_rsOutgoings.LastError());
    return ok;
}

bool Expenses::BlankNewRow() const {
    const QString amount = txtAmm->text().trimmed();
    return m_rsOutgoings.EditMode() == db::Recordset::adEditAdd &&
           cboType->currentText().isEmpty() && Text1->text().isEmpty() && !Check1->isChecked() &&
           (amount.isEmpty() || amount == QLatin1String("0"));
}

bool Expenses::AddNewExpense() {
    if (BlankNewRow()) {
        m_rsOutgoings.CancelUpdate();
    } else if (db::HasCurrentRow(m_rsOutgoings) && !StoreAmountAndDate()) {
        // The amount typed into the row being left goes with it, as Save would store it.
        return false;
    }
    if (!StartRow()) return false;
    ShowTotals();
    // The new expense is typed from its first box on.
    FocusFirstBox(this);
    return true;
}

bool Expenses::SaveExpense() {
    if (!db::HasCurrentRow(m_rsOutgoings)) return false;
    if (!StoreAmountAndDate()) return false;
    if (!AdodcExp->Update()) {
        ShowError(AdodcExp->LastError());
        return false;
    }
    AdodcExp_MoveComplete(db::DataControl::adRsnUpdate);
    ShowTotals();
    return true;
}

bool Expenses::DeleteExpense() {
    if (!db::HasCurrentRow(m_rsOutgoings)) return false;
    if (m_rsOutgoings.EditMode() != db::Recordset::adEditAdd &&
        ui::MsgBox(expense::kDeleteQuestion, ui::vbYesNo | ui::vbQuestion, expense::kDeleteTitle,
                   this) != ui::vbYes)
        return false;
    // A row never saved is only dropped.
    if (!m_rsOutgoings.Delete()) {
        ShowError(m_rsOutgoings.LastError());
        return false;
    }
    if (m_rsOutgoings.RecordCount() == 0) {
        StartRow();
    } else {
        m_rsOutgoings.MoveNext();
        if (m_rsOutgoings.Eof()) m_rsOutgoings.MoveLast();
    }
    ShowTotals();
    return true;
}

void Expenses::Label1_Click() {
    Forms::get<Expense_Types>(this)->exec();
    Forms::unload<Expense_Types>();
    // New and renamed types can be picked at once.
    LoadTypes();
    ShowAmountLabel(RowInMiles(cboType->currentText()));
}

bool Expenses::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label1 && event->type() == QEvent::MouseButtonRelease) Label1_Click();
    return QDialog::eventFilter(watched, event);
}

// ---- closing ----------------------------------------------------------------------------

void Expenses::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    // Nothing is saved: a row not yet saved goes with the record set.
    m_rsOutgoings.Close();
}

void Expenses::done(int result) {
    Form_Unload();
    QDialog::done(result);
}

void ShowExpenses(QWidget* owner) {
    Forms::get<Expenses>(owner)->exec();
    // Each showing loads afresh from CurrentJobID.
    Forms::unload<Expenses>();
}
