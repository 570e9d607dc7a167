#include "Expense_Types.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "accounts/expenserules.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "platform/ui/prompts.h"

namespace {

const QString kTypesSql = QStringLiteral(
    "SELECT fieldname, System.Value, system.id, system.opt1 From System WHERE "
    "(((System.FieldName)='type'));");
const QString kGone = QStringLiteral("This expense type is no longer in the database.");

}  // namespace

Expense_Types::Expense_Types(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    txtNewExp = ui_.txtNewExp;
    Chk_Milage = ui_.Chk_Milage;
    btnAdd = ui_.btnAdd;
    btnDel = ui_.btnDel;
    Type_List = ui_.Type_List;
    connect(Type_List, &QListWidget::itemClicked, this, &Expense_Types::Type_List_Click);
    connect(btnAdd, &QPushButton::clicked, this, &Expense_Types::btnAdd_Click);
    connect(btnDel, &QPushButton::clicked, this, &Expense_Types::btnDel_Click);
    Form_Load();
}

Expense_Types::~Expense_Types() {
    Form_Unload();
    delete picked_;
}

void Expense_Types::ShowError(const QString& text) {
    ui::MsgBox(text, ui::vbOKOnly, QString(), this);
}

void Expense_Types::Form_Load() {
    if (!m_rsTypes.Open(kTypesSql, DbConnection(), db::adOpenDynamic, db::adLockOptimistic)) {
        ShowError(m_rsTypes.LastError());
        return;
    }
    // Each name carries its row's id: two types of one name stay two, and no name is ever
    // pasted into a filter.
    for (; !m_rsTypes.Eof(); m_rsTypes.MoveNext()) {
        auto* item = new QListWidgetItem(m_rsTypes.Value(QStringLiteral("Value")).toString());
        item->setData(Qt::UserRole, m_rsTypes.Value(QStringLiteral("id")).toLongLong());
        Type_List->addItem(item);
    }
}

bool Expense_Types::FindType(qint64 id) {
    m_rsTypes.SetFilter(QStringLiteral("id = ") + QString::number(id));
    return m_rsTypes.State() == db::adStateOpen && !m_rsTypes.Eof();
}

void Expense_Types::Type_List_Click(QListWidgetItem* item) {
    if (!item) return;
    const qint64 id = item->data(Qt::UserRole).toLongLong();
    if (!FindType(id)) return;
    // A name picked before this one goes back into the list unchanged.
    RestorePicked();
    txtNewExp->setText(item->text());
    const QVariant opt1 = m_rsTypes.Value(QStringLiteral("opt1"));
    Chk_Milage->setChecked(!db::IsNull(opt1) && opt1.toLongLong() == 1);
    pickedRow_ = Type_List->row(item);
    picked_ = Type_List->takeItem(pickedRow_);
    // The name that took its place is not the one being edited.
    Type_List->setCurrentRow(-1);
    m_SelectedTypeId = id;
}

void Expense_Types::RestorePicked() {
    if (picked_) Type_List->insertItem(std::min(pickedRow_, Type_List->count()), picked_);
    picked_ = nullptr;
    m_SelectedTypeId = 0;
}

void Expense_Types::DropPicked() {
    delete picked_;
    picked_ = nullptr;
    m_SelectedTypeId = 0;
}

void Expense_Types::btnAdd_Click() {
    const QString name = txtNewExp->text();
    if (name.trimmed().isEmpty()) {
        ui::MsgBox(expense::kNeedsTypeName, ui::vbOKOnly, QString(), this);
        return;
    }
    if (m_SelectedTypeId >= 1 && !FindType(m_SelectedTypeId)) {
        m_rsTypes.SetFilter(QString());
        ShowError(kGone);
        return;
    }
    const int miles = Chk_Milage->isChecked() ? 1 : 0;
    const bool ok = (m_SelectedTypeId >= 1 ||
                     (m_rsTypes.AddNew() && m_rsTypes.SetValue(QStringLiteral("FieldName"),
                                                               catalogue::sys::ExpenseType))) &&
                    m_rsTypes.SetValue(QStringLiteral("Value"), name) &&
                    m_rsTypes.SetValue(QStringLiteral("opt1"), miles) && m_rsTypes.Update();
    if (!ok) {
        // The user's entry stays, to be put right or removed.
        const QString error = m_rsTypes.LastError();
        m_rsTypes.CancelUpdate();
        m_rsTypes.SetFilter(QString());
        ShowError(error);
        return;
    }
    const qint64 id = m_rsTypes.Value(QStringLiteral("id")).toLongLong();
    m_rsTypes.SetFilter(QString());
    DropPicked();
    auto* item = new QListWidgetItem(name);
    item->setData(Qt::UserRole, id);
    Type_List->addItem(item);
    Chk_Milage->setChecked(false);
    txtNewExp->clear();
}

void Expense_Types::btnDel_Click() {
    if (m_SelectedTypeId > 0) {
        const bool found = FindType(m_SelectedTypeId);
        if (!found || !m_rsTypes.Delete()) {
            const QString error = found ? m_rsTypes.LastError() : kGone;
            m_rsTypes.SetFilter(QString());
            RestorePicked();
            ShowError(error);
            return;
        }
        m_rsTypes.SetFilter(QString());
        DropPicked();
    }
    txtNewExp->clear();
}

void Expense_Types::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    m_rsTypes.Close();
}

void Expense_Types::done(int result) {
    Form_Unload();
    QDialog::done(result);
}
