// The expenses window, the expense-type editor and the roads to them from the main window
// and the appointment editor, on a fixture database.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "accounts/Expense_Types.h"
#include "accounts/Expenses.h"
#include "accounts/expenserules.h"
#include "core/forms.h"
#include "core/globals.h"
#include "diary/Schedule.h"
#include "diary/frmMain.h"
#include "platform/com/com.h"
#include "tests/support/testenv.h"

using db::Currency;
using testsupport::AddExpense;
using testsupport::InsertRow;
using testsupport::QueryValue;
using testsupport::TestEnv;

namespace {

const QDate kYear(2026, 4, 1);

void Press(QToolBar* bar, const char* key) {
    QAction* a = bar->findChild<QAction*>(QString::fromLatin1(key));
    QVERIFY2(a, key);
    a->trigger();
}

// Picks a listed type as a user's click does.
void PickType(Expenses& w, const QString& name) {
    const int i = w.cboType->findText(name);
    QVERIFY2(i >= 0, qPrintable(name));
    w.cboType->setCurrentIndex(i);
    emit w.cboType->activated(i);
}

QListWidgetItem* Listed(Expense_Types& w, const QString& name, int nth = 0) {
    for (int i = 0; i < w.Type_List->count(); ++i)
        if (w.Type_List->item(i)->text() == name && nth-- == 0) return w.Type_List->item(i);
    return nullptr;
}

}  // namespace

class TestExpenses : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env_;
    int job_ = 0;

    db::Connection& c() { return env_->connection(); }
    qint64 Type(const QString& name, qint64 opt1, qint64 id = 0) {
        QVariantMap row{{"FieldName", "Type"}, {"Value", name}, {"opt1", opt1}};
        if (id) row.insert("id", id);
        const int key = InsertRow(c(), QStringLiteral("System"), row);
        return id ? id : key;
    }
    QVariant Expense(int id, const char* column) {
        return QueryValue(
            c(), QStringLiteral("SELECT %1 FROM Outgoings WHERE RecordID = ?").arg(column), {id});
    }
    int Count(const QString& sql) { return QueryValue(c(), sql).toInt(); }
    std::unique_ptr<Expenses> Open(int jobId) {
        CurrentJobID = jobId;
        auto w = std::make_unique<Expenses>();
        CurrentJobID = 0;
        return w;
    }
    QList<int> ListedIds(Expenses& w) {
        QList<int> ids;
        const int f = w.m_rsOutgoings.FieldIndex(QStringLiteral("recordid"));
        for (int r = 0; r < w.m_rsOutgoings.RecordCount(); ++r)
            ids << w.m_rsOutgoings.ValueAt(r, f).toInt();
        return ids;
    }

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() {
        env_ = std::make_unique<TestEnv>();
        SetProgramFolder(env_->programFolder());
        DbConnection().SetCursorLocation(db::adUseClient);
        QVERIFY(DbConnection().Open(env_->connectionString()));
        FinYearStart = kYear;
        CurrentJobID = 0;
        const int acme = testsupport::AddCompany(c(), QStringLiteral("Acme"));
        job_ = testsupport::AddJob(c(), acme, QDateTime(QDate::currentDate(), QTime(9, 0)),
                                   QDateTime(QDate::currentDate(), QTime(10, 0)));
    }
    void cleanup() {
        Forms::unload<Expense_Types>();
        Forms::unload<Expenses>();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        DbConnection().Close();
        QVERIFY(env_->allPromptsAnswered());
        env_.reset();
    }

    void yearFilterListsTheWholeYear_data() {
        QTest::addColumn<QDate>("dated");
        QTest::addColumn<bool>("ofAppointment");
        QTest::addColumn<bool>("listed");
        QTest::newRow("first day") << kYear << false << true;
        QTest::newRow("last day") << QDate(2027, 3, 31) << false << true;
        QTest::newRow("next year's first day") << QDate(2027, 4, 1) << false << false;
        QTest::newRow("an appointment's") << QDate(2026, 6, 1) << true << false;
    }
    void yearFilterListsTheWholeYear() {
        QFETCH(QDate, dated);
        QFETCH(bool, ofAppointment);
        QFETCH(bool, listed);
        const int id = AddExpense(c(), {{"ScheduleID", ofAppointment ? job_ : 0},
                                        {"Date", QDateTime(dated, QTime(0, 0))},
                                        {"Amount", 5}});
        auto w = Open(0);
        QCOMPARE(ListedIds(*w).contains(id), listed);
        QVERIFY(!w->DTPDate->isHidden());
        // An empty year opens on a new row at once.
        QCOMPARE(w->m_rsOutgoings.EditMode() == db::Recordset::adEditAdd, !listed);
    }

    void miscellaneousExpensesAreAlwaysDated() {
        auto w = Open(0);
        QCOMPARE(w->AdodcExp->caption(), expense::kNewRecord);
        QCOMPARE(w->DTPDate->date(), QDate::currentDate());
        w->Text1->setText(QStringLiteral("Stamps"));
        QVERIFY(w->SaveExpense());
        const int today = w->m_rsOutgoings.Value(QStringLiteral("recordid")).toInt();
        QCOMPARE(Expense(today, "Date").toDateTime().date(), QDate::currentDate());
        QCOMPARE(Expense(today, "ScheduleID").toInt(), 0);
    }

    void milesOrMoneyByType_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("miles");
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("shown");
        QTest::newRow("miles") << "Milage"
                               << "12"
                               << "Milage:" << 12 << 0.0 << "12";
        QTest::newRow("money") << "Parking"
                               << "4.5"
                               << "Amount:" << 0 << 4.5 << "£4.50";
        QTest::newRow("apostrophe") << "Builders' tools"
                                    << "£1,234.50"
                                    << "Amount:" << 0 << 1234.5 << "£1,234.50";
        QTest::newRow("typed in another case") << "milage"
                                               << "3"
                                               << "Milage:" << 3 << 0.0 << "3";
        QTest::newRow("no such type") << "Removed"
                                      << "7"
                                      << "Amount:" << 0 << 7.0 << "£7.00";
    }
    void milesOrMoneyByType() {
        QFETCH(QString, type);
        QFETCH(QString, typed);
        QFETCH(QString, label);
        QFETCH(int, miles);
        QFETCH(double, amount);
        QFETCH(QString, shown);
        Type(QStringLiteral("Parking"), 0);
        Type(QStringLiteral("Milage"), 1);
        Type(QStringLiteral("Builders' tools"), 0);
        auto w = Open(job_);
        QVERIFY(w->DTPDate->isHidden());
        if (w->cboType->findText(type) >= 0) {
            PickType(*w, type);
        } else {
            w->cboType->lineEdit()->setText(type);
            emit w->cboType->lineEdit()->textEdited(type);
        }
        QCOMPARE(w->lblAmnt->text(), label);
        w->txtAmm->setText(typed);
        QVERIFY(w->SaveExpense());
        const int id = w->m_rsOutgoings.Value(QStringLiteral("recordid")).toInt();
        QCOMPARE(Expense(id, "ScheduleID").toInt(), job_);
        QCOMPARE(Expense(id, "Type").toString(), type);
        QCOMPARE(Expense(id, "Milage").toInt(), miles);
        QCOMPARE(Expense(id, "Amount").value<Currency>().toDouble(), amount);
        w.reset();
        w = Open(job_);
        QCOMPARE(w->lblAmnt->text(), label);
        QCOMPARE(w->txtAmm->text(), shown);
    }

    void totalsCountMilesAtTheRate_data() {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("text");
        QTest::newRow("40p a mile") << "40"
                                    << "Total £60.00 — money £20.00; 100 miles at 40p: £40.00";
        QTest::newRow("no rate stored") << ""
                                        << "Total £59.00 — money £20.00; 100 miles at 39p: £39.00";
    }
    void totalsCountMilesAtTheRate() {
        QFETCH(QString, rate);
        QFETCH(QString, text);
        if (!rate.isEmpty()) testsupport::SetSystemRow(c(), QStringLiteral("Milage"), rate);
        Type(QStringLiteral("Milage"), 1);
        AddExpense(c(), {{"ScheduleID", job_}, {"Type", "Milage"}, {"Milage", 100}});
        AddExpense(c(), {{"ScheduleID", job_}, {"Type", "Parking"}, {"Amount", 20}});
        AddExpense(c(), {{"ScheduleID", job_ + 1}, {"Type", "Parking"}, {"Amount", 99}});
        auto w = Open(job_);
        QCOMPARE(w->lblTotals->text(), text);
    }

    // New, then a move, drops the new row when nothing was filled in (three rows saved before);
    // a row filled in is stored by the move as before.
    void rowNavigationStoresOnlyWhatWasFilledIn_data() {
        QTest::addColumn<QString>("move");
        QTest::addColumn<QString>("typed");    // into the new row's description
        QTest::addColumn<QString>("caption");  // afterwards
        const char* const rows[][3] = {{"btnPrevious", "", "Record 3 of 3"},
                                       {"btnFirst", "", "Record 1 of 3"},
                                       {"btnNext", "", "New Record"},
                                       {"btnPrevious", "Stamps", "Record 3 of 4"}};
        for (const auto& r : rows) QTest::addRow("%s %s", r[0], r[1]) << r[0] << r[1] << r[2];
    }
    void rowNavigationStoresOnlyWhatWasFilledIn() {
        QFETCH(QString, move);
        QFETCH(QString, typed);
        for (int i = 1; i <= 3; ++i)
            AddExpense(c(), {{"Date", QDateTime(kYear.addDays(i), QTime())}, {"Amount", 5}});
        auto w = Open(0);
        QVERIFY(w->AddNewExpense());
        w->Text1->setText(typed);
        w->AdodcExp->findChild<QToolButton*>(move)->click();
        QTEST(w->AdodcExp->caption(), "caption");
        QCOMPARE(Count("SELECT count(*) FROM Outgoings"), typed.isEmpty() ? 3 : 4);
    }

    void aFailingSaveKeepsTheEntry_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("refusingTable");
        QTest::addColumn<QString>("message");
        QTest::newRow("no amount") << "lots" << false << "is not an amount of money";
        QTest::newRow("database refuses") << "5" << true << "no room for expenses";
    }
    void aFailingSaveKeepsTheEntry() {
        QFETCH(QString, typed);
        QFETCH(bool, refusingTable);
        QFETCH(QString, message);
        if (refusingTable)
            c().Execute(
                QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Outgoings BEGIN "
                               "SELECT RAISE(ABORT, 'no room for expenses'); END"));
        auto w = Open(job_);
        w->Text1->setText(QStringLiteral("Taxi"));
        w->txtAmm->setText(typed);
        env_->prompts().ExpectMsgBox(message);
        Press(w->Toolbar1, "btnSave");
        QCOMPARE(Count("SELECT count(*) FROM Outgoings"), 0);
        QCOMPARE(w->Text1->text(), QStringLiteral("Taxi"));
        QCOMPARE(w->txtAmm->text(), typed);
        // Put right, the same entry is saved.
        c().Execute(QStringLiteral("DROP TRIGGER IF EXISTS refuse"));
        w->txtAmm->setText(QStringLiteral("5"));
        QVERIFY(w->SaveExpense());
        QCOMPARE(Count("SELECT count(*) FROM Outgoings WHERE Description = 'Taxi' AND Amount = 5"),
                 1);
    }

    void newAndDelete() {
        const int a = AddExpense(c(), {{"ScheduleID", job_}, {"Description", "A"}, {"Amount", 1}});
        const int b = AddExpense(c(), {{"ScheduleID", job_}, {"Description", "B"}, {"Amount", 2}});
        auto w = Open(job_);
        QCOMPARE(w->AdodcExp->caption(), QStringLiteral("Record 1 of 2"));
        // An untouched new row is dropped, not stored, when another is started.
        Press(w->Toolbar1, "AddNew");
        Press(w->Toolbar1, "AddNew");
        QVERIFY(w->DeleteExpense());
        QCOMPARE(Count("SELECT count(*) FROM Outgoings"), 2);
        w->AdodcExp->MoveFirst();
        env_->prompts().ExpectMsgBox(expense::kDeleteQuestion, ui::vbNo);
        Press(w->Toolbar1, "btnDelete");
        env_->prompts().ExpectMsgBox(expense::kDeleteQuestion, ui::vbYes);
        Press(w->Toolbar1, "btnDelete");
        QVERIFY(Expense(a, "RecordID").isNull());
        QCOMPARE(w->Text1->text(), QStringLiteral("B"));
        QCOMPARE(w->ShownTotals().all()->toDouble(), 2.0);
        env_->prompts().ExpectMsgBox(expense::kDeleteQuestion, ui::vbYes);
        Press(w->Toolbar1, "btnDelete");
        QVERIFY(Expense(b, "RecordID").isNull());
        QCOMPARE(w->AdodcExp->caption(), expense::kNewRecord);
    }

    void typeEditorAddsByNameAndEditsById_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("miles");
        QTest::addColumn<int>("pick");  // which of the two same-named types, -1 none
        QTest::addColumn<bool>("remove");
        QTest::newRow("new mileage type") << "Fuel" << true << -1 << false;
        QTest::newRow("apostrophe") << "Builders' tools" << false << -1 << false;
        QTest::newRow("empty name refused") << " " << false << -1 << false;
        QTest::newRow("rename the first") << "Rail" << false << 0 << false;
        QTest::newRow("remove the second") << "" << false << 1 << true;
    }
    void typeEditorAddsByNameAndEditsById() {
        QFETCH(QString, name);
        QFETCH(bool, miles);
        QFETCH(int, pick);
        QFETCH(bool, remove);
        // Ids beyond 32 bits, and two types of one name, each kept by its own id.
        const qint64 ids[] = {Type("Travel's", 0, 5000000001LL), Type("Travel's", 1, 5000000002LL)};
        auto* w = Forms::get<Expense_Types>();
        if (pick >= 0) {
            // A name picked before goes back into the list when another is picked.
            if (pick == 1) w->Type_List_Click(Listed(*w, "Travel's", 0));
            w->Type_List_Click(Listed(*w, "Travel's"));  // the one still listed
            QCOMPARE(w->m_SelectedTypeId, ids[pick]);
            QCOMPARE(w->Chk_Milage->isChecked(), pick == 1);
        }
        w->txtNewExp->setText(name);
        w->Chk_Milage->setChecked(miles);
        const bool refused = name.trimmed().isEmpty() && !remove;
        if (refused) env_->prompts().ExpectMsgBox(expense::kNeedsTypeName);
        remove ? w->btnDel_Click() : w->btnAdd_Click();
        const QString rows = QStringLiteral("SELECT count(*) FROM System WHERE FieldName = 'Type'");
        QCOMPARE(Count(rows), 2 + (pick < 0 && !refused) - remove);
        for (int i : {0, 1}) {
            const QVariant value =
                QueryValue(c(), "SELECT Value FROM System WHERE id = ?", {ids[i]});
            QCOMPARE(value.toString(), i == pick ? (remove ? QString() : name) : "Travel's");
        }
        if (!refused && !remove) {
            QCOMPARE(w->Type_List->item(w->Type_List->count() - 1)->text(), name);
            QCOMPARE(QueryValue(c(), "SELECT opt1 FROM System WHERE Value = ?", {name}).toInt(),
                     miles ? 1 : 0);
            QVERIFY(!w->Chk_Milage->isChecked());
        }
        QCOMPARE(w->Type_List->count(), Count(rows));
        QCOMPARE(w->txtNewExp->text().isEmpty(), !refused);
    }

    // A type renamed or removed in the editor leaves its expenses' miles and amounts alone:
    // they change only when the user changes the box.
    void aTypeNoLongerListedKeepsTheRowsValues_data() {
        QTest::addColumn<QString>("edit");  // what the type editor does to the row's type
        QTest::addColumn<bool>("mileageType");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("typed");  // into the amount box; "" left as shown
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("miles");
        QTest::addColumn<double>("amount");  // -1: Null
        QTest::newRow("mileage renamed, New") << "rename" << true << "New" << ""
                                              << "Milage:" << 100 << -1.0;
        QTest::newRow("mileage removed, moved away and back") << "remove" << true << "Move" << ""
                                                              << "Milage:" << 100 << -1.0;
        QTest::newRow("mileage removed, miles typed") << "remove" << true << "Save" << "120"
                                                      << "Milage:" << 120 << 0.0;
        QTest::newRow("money renamed, amount typed") << "rename" << false << "Save" << "25"
                                                     << "Amount:" << 0 << 25.0;
    }
    void aTypeNoLongerListedKeepsTheRowsValues() {
        QFETCH(QString, edit);
        QFETCH(bool, mileageType);
        QFETCH(QString, step);
        QFETCH(QString, typed);
        QFETCH(QString, label);
        QFETCH(int, miles);
        QFETCH(double, amount);
        testsupport::SetSystemRow(c(), QStringLiteral("Milage"), QStringLiteral("45"));
        Type(QStringLiteral("Mileage"), mileageType ? 1 : 0);
        const QVariantMap seeded =
            mileageType ? QVariantMap{{"Type", "Mileage"}, {"Milage", 100}}
                        : QVariantMap{{"Type", "Mileage"}, {"Amount", 20}};
        QVariantMap row = seeded;
        row.insert("ScheduleID", job_);
        const int id = AddExpense(c(), row);
        AddExpense(c(), {{"ScheduleID", job_}, {"Type", "Parking"}, {"Amount", 7}});
        const QString values = QStringLiteral(
            "SELECT group_concat(coalesce(Milage, 'null') || '/' || coalesce(Amount, 'null')) "
            "FROM Outgoings");
        const QString before = QueryValue(c(), values).toString();
        auto w = Open(job_);
        QTimer::singleShot(0, this, [edit] {
            auto* types = Forms::find<Expense_Types>();
            QVERIFY(types && types->isVisible());
            types->Type_List_Click(types->Type_List->item(0));
            types->txtNewExp->setText(QStringLiteral("Miles"));
            edit == "rename" ? types->btnAdd_Click() : types->btnDel_Click();
            types->reject();
        });
        w->Label1_Click();
        QCOMPARE(w->cboType->currentText(), QStringLiteral("Mileage"));
        QCOMPARE(w->lblAmnt->text(), label);
        QCOMPARE(w->txtAmm->text(), mileageType ? QStringLiteral("100") : QStringLiteral("£20.00"));
        if (!typed.isEmpty()) w->txtAmm->setText(typed);
        if (step == "New") {
            Press(w->Toolbar1, "AddNew");
        } else if (step == "Move") {
            QVERIFY(w->AdodcExp->MoveNext() && w->AdodcExp->MovePrevious());
            QCOMPARE(w->txtAmm->text(), QStringLiteral("100"));
        } else {
            w->Text1->setText(QStringLiteral("Site visit"));
            QVERIFY(w->SaveExpense());
            QCOMPARE(Expense(id, "Description").toString(), QStringLiteral("Site visit"));
        }
        QCOMPARE(Expense(id, "Milage").toInt(), miles);
        const QVariant stored = Expense(id, "Amount");
        QCOMPARE(db::IsNull(stored) ? -1.0 : stored.value<Currency>().toDouble(), amount);
        if (typed.isEmpty()) QCOMPARE(QueryValue(c(), values).toString(), before);
        QCOMPARE(w->ShownTotals().all()->toDouble(), amount > 0 ? amount + 7 : miles * 0.45 + 7);
    }

    void roadsHandOverAndResetTheJob_data() {
        QTest::addColumn<QString>("road");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<bool>("ofAppointment");
        QTest::newRow("View, Miscellaneous Expenses") << "misc" << true << false;
        QTest::newRow("Manage Expenses") << "manage" << true << true;
        QTest::newRow("Manage Expenses, empty month") << "empty" << false << false;
        QTest::newRow("appointment editor") << "editor" << true << true;
    }
    void roadsHandOverAndResetTheJob() {
        QFETCH(QString, road);
        QFETCH(bool, opens);
        QFETCH(bool, ofAppointment);
        QVERIFY(com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY)));
        frmMain main;
        if (road == "empty") {
            main.ViewDate = main.ViewDate.addYears(-5);
            main.ShowMonth();
        }
        QVERIFY(main.ui().mnuEditExp->isEnabled() && main.ui().mnuAddMiscExpense->isEnabled());
        QVariant seen;
        QTimer::singleShot(0, this, [&seen] {
            auto* w = Forms::find<Expenses>();
            if (!w || !w->isVisible()) return;
            seen = w->m_rsOutgoings.Value(QStringLiteral("scheduleid"));
            QCOMPARE(w->DTPDate->isHidden(), !w->Miscellaneous());
            w->reject();
        });
        if (road == "misc") {
            main.ui().mnuAddMiscExpense->trigger();
        } else if (road == "editor") {
            CurrentJobID = job_;
            Schedule editor(&main);
            CurrentJobID = 0;
            Press(editor.Toolbar1, "btnExpense");
        } else {
            main.ui().mnuEditExp->trigger();
        }
        QCOMPARE(seen.isValid(), opens);
        if (opens) QCOMPARE(seen.toInt(), ofAppointment ? job_ : 0);
        QCOMPARE(CurrentJobID, 0);
    }
};

QTEST_MAIN(TestExpenses)
#include "tst_expenses.moc"
