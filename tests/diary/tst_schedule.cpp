// The appointment editor on a fixture database, alone and as the main window opens it.
#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "accounts/Companies_with_Contacts.h"
#include "core/flexgrid.h"
#include "core/forms.h"
#include "core/globals.h"
#include "core/longlist.h"
#include "diary/Schedule.h"
#include "diary/frmMain.h"
#include "diary/schedulerules.h"
#include "platform/com/com.h"
#include "platform/settings/settings.h"
#include "tests/support/testenv.h"

using db::Currency;
using testsupport::AddCompany;
using testsupport::AddJob;
using testsupport::QueryValue;
using testsupport::TestEnv;

namespace {

QDateTime At(int y, int m, int d, int h = 0, int min = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min));
}

// Picks the n-th list entry with this text, as a user's click does.
void Choose(Schedule& w, const QString& name, int nth = 0) {
    for (int i = 0; i < w.cboCompanyName->count(); ++i) {
        if (w.cboCompanyName->itemText(i) != name || nth-- > 0) continue;
        w.cboCompanyName->setCurrentIndex(i);
        emit w.cboCompanyName->activated(i);
        return;
    }
    QFAIL(qPrintable(QStringLiteral("no entry ") + name));
}

void Press(Schedule& w, const char* key) {
    QAction* a = w.Toolbar1->findChild<QAction*>(QString::fromLatin1(key));
    if (!a) a = w.findChild<QAction*>(QString::fromLatin1(key));
    QVERIFY2(a, key);
    a->trigger();
}

}  // namespace

class TestSchedule : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env_;
    std::function<void(QWidget*)> customerWindow_;

    db::Connection& c() { return env_->connection(); }
    QVariant Job(int id, const char* column) { return testsupport::JobValue(c(), id, column); }
    int JobCount() {
        return QueryValue(c(), QStringLiteral("SELECT count(*) FROM JobDetails")).toInt();
    }
    std::unique_ptr<Schedule> Open(int jobId) {
        CurrentJobID = jobId;
        auto w = std::make_unique<Schedule>();
        CurrentJobID = 0;
        return w;
    }
    // Runs `step` on the editor once the main window has shown it, then closes it.
    void WhenShown(std::function<void(Schedule&)> step) {
        QTimer::singleShot(0, this, [step] {
            Schedule* s = Forms::find<Schedule>();
            if (!s) return;
            if (s->isVisible()) step(*s);
            s->reject();
        });
    }
    QChar MaskLetter(frmMain& w, QDate day) {
        const QString mask = com::GetProperty(w.SchCal1, QStringLiteral("ColorMask")).toString();
        const int info = com::GetProperty(w.SchCal1, QStringLiteral("OutputInfo")).toInt();
        const int s = QString::number(info)[1].digitValue();
        return mask.at(7 + s + QDate(day.year(), day.month(), 1).daysTo(day));
    }

  private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        customerWindow_ = ScheduleOutcalls().newCustomer;
        QVERIFY(customerWindow_);
    }
    void init() {
        env_ = std::make_unique<TestEnv>();
        SetProgramFolder(env_->programFolder());
        DbConnection().SetCursorLocation(db::adUseClient);
        QVERIFY(DbConnection().Open(env_->connectionString()));
        ScheduleOutcalls().expenses = {};
        ScheduleOutcalls().recurrence = {};
        ScheduleOutcalls().newCustomer = customerWindow_;
        CurrentJobID = 0;
    }
    void cleanup() {
        QVERIFY(env_->allPromptsAnswered());
        Forms::unload<Schedule>();
        DbConnection().Close();
        env_.reset();
    }

    // Closing by the title bar with a changed fee asks first: Yes saves, No drops, Cancel stays;
    // nothing changed closes without a word.
    void closingWithUnsavedEdits_data() { testsupport::ClosingWithUnsavedEditsRows(); }
    void closingWithUnsavedEdits() {
        QFETCH(QString, typed);
        QFETCH(int, answer);
        QFETCH(double, stored);
        QFETCH(bool, open);
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        const int job = AddJob(c(), acme, At(2026, 3, 2, 9), At(2026, 3, 2, 10),
                               {{QStringLiteral("Fee"), QVariant::fromValue(Currency::fromDouble(180).value())}});
        auto w = Open(job);
        w->show();
        if (!typed.isEmpty()) {
            w->txtFields[5]->setText(typed);
            env_->prompts().ExpectMsgBox(QStringLiteral("Save the changes to the appointment of Acme on 02/03/2026?"),
                                         answer);
        }
        w->close();
        QCOMPARE(w->isVisible(), open);
        QCOMPARE(Job(job, "Fee").value<Currency>().toDouble(), stored);
    }

    void newAppointmentStartsFromTheSettings() {
        AddCompany(c(), QStringLiteral("Zeta"));
        AddCompany(c(), QStringLiteral("Alpha"));
        {
            auto w = Open(0);
            QCOMPARE(w->DTPStart->date(), QDate::currentDate());
            QCOMPARE(w->DTPFinish->date(), QDate::currentDate());
            QCOMPARE(w->cboStart->currentText(), QStringLiteral("09:00"));
            QCOMPARE(w->cboFinish->currentText(), QStringLiteral("17:30"));
            QCOMPARE(w->cboStart->count(), 24);
            QCOMPARE(w->cboCompanyName->currentIndex(), -1);
            // The database's order, then the entry that adds a customer.
            QCOMPARE(w->cboCompanyName->count(), 3);
            QCOMPARE(w->cboCompanyName->itemText(0), QStringLiteral("Zeta"));
            QCOMPARE(w->cboCompanyName->itemText(2), schedule::kAddNewCustomer);
            QCOMPARE(w->JobRecordset.EditMode(), int(db::Recordset::adEditAdd));
            QVERIFY(!w->chkFields[9]->isChecked());
            QVERIFY(w->txtFields[4]->text().isEmpty());
        }
        settings::SaveSetting(AppTitle, QStringLiteral("Settings"),
                              QStringLiteral("appointment start time"), QStringLiteral("08:15"));
        settings::SaveSetting(AppTitle, QStringLiteral("settings"),
                              QStringLiteral("Appointment Finish Time"), QStringLiteral("16:45"));
        auto w = Open(0);
        QCOMPARE(w->cboStart->currentText(), QStringLiteral("08:15"));
        QCOMPARE(w->cboFinish->currentText(), QStringLiteral("16:45"));
        // Leaving the editor without saving writes nothing.
        w.reset();
        QCOMPARE(JobCount(), 0);
    }

    void saveNewAppointment() {
        AddCompany(c(), QStringLiteral("Acme"));
        const int builders = AddCompany(c(), QStringLiteral("Builders' Supplies"));
        auto w = Open(0);
        Choose(*w, QStringLiteral("Builders' Supplies"));
        w->DTPStart->setDate(QDate(2026, 3, 12));
        w->cboStart->setEditText(QStringLiteral("10:30"));
        w->DTPFinish->setDate(QDate(2026, 3, 12));
        w->cboFinish->setEditText(QStringLiteral("12:00"));
        w->txtFields[2]->setText(QStringLiteral("1.5 hours"));
        w->txtFields[3]->setText(QStringLiteral("PO-77"));
        w->txtFields[4]->setText(QStringLiteral("Fit the shelves"));
        w->txtFields[5]->setText(QStringLiteral("£1,120.50"));
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        Press(*w, "btnSave");

        QCOMPARE(JobCount(), 1);
        const int id = w->JobRecordset.Value(QStringLiteral("JobID")).toInt();
        QVERIFY(id > 0);
        QCOMPARE(Job(id, "CustomerID").toInt(), builders);
        QCOMPARE(Job(id, "Start").toDateTime(), At(2026, 3, 12, 10, 30));
        QCOMPARE(Job(id, "Finish").toDateTime(), At(2026, 3, 12, 12));
        QCOMPARE(Job(id, "Duration").toString(), QStringLiteral("1.5 hours"));
        QCOMPARE(Job(id, "PO_Number").toString(), QStringLiteral("PO-77"));
        QCOMPARE(Job(id, "Description").toString(), QStringLiteral("Fit the shelves"));
        QCOMPARE(Job(id, "Fee").value<Currency>(),
                 Currency::fromPlainText(QStringLiteral("1120.5")).value());
        QCOMPARE(Job(id, "Cancelled").toBool(), false);
        QCOMPARE(Job(id, "InvoiceNumber").toInt(), 0);
        QVERIFY(Job(id, "Outlook_LastUpdate").toDateTime() >= before);
        QCOMPARE(w->txtFields[5]->text(), QStringLiteral("£1,120.50"));

        // Saving again changes the same row.
        w->txtFields[4]->setText(QStringLiteral("Fit the shelves and paint"));
        Press(*w, "btnSave");
        QCOMPARE(JobCount(), 1);
        QCOMPARE(Job(id, "Description").toString(), QStringLiteral("Fit the shelves and paint"));
        QCOMPARE(Job(id, "PO_Number").toString(), QStringLiteral("PO-77"));
    }

    void editExistingAppointment() {
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        const int builders = AddCompany(c(), QStringLiteral("Builders' Supplies"));
        const int other = AddJob(c(), acme, At(2026, 4, 1, 9), At(2026, 4, 1, 10),
                                 {{QStringLiteral("Description"), QStringLiteral("untouched")}});
        const int id =
            AddJob(c(), builders, At(2026, 4, 2, 8, 45), At(2026, 4, 3, 17, 15),
                   {{QStringLiteral("Description"), QStringLiteral("Survey")},
                    {QStringLiteral("Duration"), QStringLiteral("2 days")},
                    {QStringLiteral("Fee"), QVariant::fromValue(Currency::fromUnits(250))},
                    {QStringLiteral("Pattern"), QStringLiteral("W1;2;20260501")}});
        auto w = Open(id);
        QCOMPARE(w->cboCompanyName->currentText(), QStringLiteral("Builders' Supplies"));
        QCOMPARE(w->DTPStart->date(), QDate(2026, 4, 2));
        QCOMPARE(w->cboStart->currentText(), QStringLiteral("08:45"));
        QCOMPARE(w->DTPFinish->date(), QDate(2026, 4, 3));
        QCOMPARE(w->cboFinish->currentText(), QStringLiteral("17:15"));
        QCOMPARE(w->txtFields[2]->text(), QStringLiteral("2 days"));
        QCOMPARE(w->txtFields[4]->text(), QStringLiteral("Survey"));
        QCOMPARE(w->txtFields[5]->text(), QStringLiteral("£250.00"));
        QCOMPARE(w->txtPattern->text(), QStringLiteral("W1;2;20260501"));

        w->txtFields[4]->setText(QStringLiteral("Survey, second visit"));
        w->cboFinish->setEditText(QStringLiteral("4:00 PM"));
        w->txtFields[5]->clear();
        Press(*w, "btnSave");
        QCOMPARE(Job(id, "Description").toString(), QStringLiteral("Survey, second visit"));
        QCOMPARE(Job(id, "Finish").toDateTime(), At(2026, 4, 3, 16));
        QCOMPARE(Job(id, "Start").toDateTime(), At(2026, 4, 2, 8, 45));
        QVERIFY(db::IsNull(Job(id, "Fee")));
        QCOMPARE(Job(id, "Pattern").toString(), QStringLiteral("W1;2;20260501"));
        QCOMPARE(Job(id, "Duration").toString(), QStringLiteral("2 days"));
        QCOMPARE(Job(other, "Description").toString(), QStringLiteral("untouched"));
        QVERIFY(db::IsNull(Job(other, "Outlook_LastUpdate")));
    }

    // A 322-character customer name leaves the editor small enough for a 1,280-pixel screen:
    // elided in the box, whole in the list.
    void aLongCustomerNameFitsTheScreen() {
        const QString name = QStringLiteral("Harrogate Joinery and Bespoke Cabinet Makers ").repeated(8).left(322);
        auto w = Open(AddJob(c(), AddCompany(c(), name), At(2026, 3, 2, 9), At(2026, 3, 2, 10)));
        w->show();
        QVERIFY(w->sizeHint().width() < 640);
        QCOMPARE(w->cboCompanyName->currentText(), name);
        QVERIFY(w->cboCompanyName->ShownText().size() < 100);
    }

    void customerIsKeptByKey() {
        const int first = AddCompany(c(), QStringLiteral("Acme"));
        const int apostrophe = AddCompany(c(), QStringLiteral("O'Neill's \"Best\" Builders"));
        const int second = AddCompany(c(), QStringLiteral("Acme"));
        const int id = AddJob(c(), first, At(2026, 5, 4, 9), At(2026, 5, 4, 11));
        auto w = Open(id);
        QCOMPARE(w->cboCompanyName->currentData().toInt(), first);

        // The second of two companies of one name.
        Choose(*w, QStringLiteral("Acme"), 1);
        QCOMPARE(w->JobRecordset.Value(QStringLiteral("CustomerID")).toInt(), second);
        Press(*w, "btnSave");
        QCOMPARE(Job(id, "CustomerID").toInt(), second);
        w.reset();
        w = Open(id);
        QCOMPARE(w->cboCompanyName->currentIndex(), 2);
        QCOMPARE(w->cboCompanyName->currentData().toInt(), second);

        Choose(*w, QStringLiteral("O'Neill's \"Best\" Builders"));
        Press(*w, "btnSave");
        QCOMPARE(Job(id, "CustomerID").toInt(), apostrophe);
    }

    void invoicedAppointmentIsLocked() {
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        const int id = AddJob(c(), acme, At(2026, 1, 5, 9), At(2026, 1, 5, 10),
                              {{QStringLiteral("InvoiceNumber"), 7},
                               {QStringLiteral("Description"), QStringLiteral("Billed")}});
        auto w = Open(id);
        w->txtFields[4]->setText(QStringLiteral("Changed after billing"));
        w->cboStart->setEditText(QStringLiteral("08:00"));
        w->chkFields[9]->setChecked(true);
        env_->prompts().ExpectMsgBox(schedule::kInvoicedLock);
        Press(*w, "btnSave");
        QCOMPARE(Job(id, "Description").toString(), QStringLiteral("Billed"));
        QCOMPARE(Job(id, "Start").toDateTime(), At(2026, 1, 5, 9));
        QCOMPARE(Job(id, "Cancelled").toBool(), false);
        QVERIFY(db::IsNull(Job(id, "Outlook_LastUpdate")));
        // The refusal is the whole message; the Cancelled question never came.
        QCOMPARE(env_->prompts().messages(), QStringList{schedule::kInvoicedLock});
    }

    void saveRefusals() {
        AddCompany(c(), QStringLiteral("Acme"));
        auto w = Open(0);
        w->txtFields[4]->setText(QStringLiteral("Nobody's job"));
        env_->prompts().ExpectMsgBox(schedule::kNoCustomer);
        Press(*w, "btnSave");
        QCOMPARE(JobCount(), 0);

        Choose(*w, QStringLiteral("Acme"));
        w->DTPStart->setDate(QDate(2026, 6, 1));
        w->DTPFinish->setDate(QDate(2026, 6, 1));
        w->cboStart->setEditText(QStringLiteral("15:00"));
        w->cboFinish->setEditText(QStringLiteral("14:00"));
        env_->prompts().ExpectMsgBox(schedule::kFinishBeforeStart);
        Press(*w, "btnSave");
        QCOMPARE(JobCount(), 0);

        w->cboFinish->setEditText(QStringLiteral("25:00"));
        env_->prompts().ExpectMsgBox(QStringLiteral("\"25:00\""));
        Press(*w, "btnSave");
        QCOMPARE(JobCount(), 0);

        w->cboFinish->setEditText(QStringLiteral("16:00"));
        w->txtFields[5]->setText(QStringLiteral("lots"));
        env_->prompts().ExpectMsgBox(QStringLiteral("\"lots\""));
        Press(*w, "btnSave");
        QCOMPARE(JobCount(), 0);

        w->txtFields[5]->setText(QStringLiteral("40"));
        Press(*w, "btnSave");
        QCOMPARE(JobCount(), 1);
        QCOMPARE(QueryValue(c(), QStringLiteral("SELECT Description FROM JobDetails")).toString(),
                 QStringLiteral("Nobody's job"));
    }

    void aDescriptionSavedMeanwhileByAnotherProgramIsKept() {
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        const int id = AddJob(c(), acme, At(2026, 1, 5, 9), At(2026, 1, 5, 10),
                              {{QStringLiteral("Description"), QStringLiteral("Survey")}});
        auto w = Open(id);
        w->txtFields[4]->setText(QStringLiteral("Mine"));
        QVERIFY(c().Execute(
            QStringLiteral("UPDATE JobDetails SET Description = 'Theirs' WHERE JobID = ?"), {id}));
        env_->prompts().ExpectMsgBox(QStringLiteral("Row cannot be located for updating"));
        Press(*w, "btnSave");
        QCOMPARE(Job(id, "Description").toString(), QStringLiteral("Theirs"));
    }

    void savingAnAppointmentRemovedMeanwhile() {
        AddCompany(c(), QStringLiteral("Acme"));
        auto w = Open(4711);
        env_->prompts().ExpectMsgBox(QStringLiteral("current record"));
        Press(*w, "btnSave");
        QCOMPARE(JobCount(), 0);
    }

    void cancelledQuestion() {
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        const int id = AddJob(c(), acme, At(2026, 2, 2, 9), At(2026, 2, 2, 10));
        auto w = Open(id);
        w->chkFields[9]->setChecked(true);
        w->cboStart->setEditText(QStringLiteral("09:30"));
        env_->prompts().ExpectMsgBox(QStringLiteral("removed from all lists"), ui::vbNo);
        Press(*w, "btnSave");
        QVERIFY(!w->chkFields[9]->isChecked());
        QCOMPARE(Job(id, "Cancelled").toBool(), false);
        QCOMPARE(Job(id, "Start").toDateTime(), At(2026, 2, 2, 9, 30));
        const auto& shown = env_->prompts().shown();
        QCOMPARE(shown.back().title, schedule::kCancelledTitle);
        QCOMPARE(shown.back().prompt, schedule::kCancelledQuestion);
        QCOMPARE(shown.back().style & 7, int(ui::vbYesNo));

        w->chkFields[9]->setChecked(true);
        env_->prompts().ExpectMsgBox(QStringLiteral("Cancelled box"), ui::vbYes);
        Press(*w, "btnSave");
        QCOMPARE(Job(id, "Cancelled").toBool(), true);
        // Asked at every save while the box is ticked.
        env_->prompts().ExpectMsgBox(QStringLiteral("Cancelled box"), ui::vbYes);
        Press(*w, "btnSave");
    }

    void cancelDiscardsTheEdits() {
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        AddCompany(c(), QStringLiteral("Builders' Supplies"));
        const int id =
            AddJob(c(), acme, At(2026, 7, 7, 9), At(2026, 7, 7, 12),
                   {{QStringLiteral("Description"), QStringLiteral("Stored")},
                    {QStringLiteral("Fee"), QVariant::fromValue(Currency::fromUnits(80))}});
        auto w = Open(id);
        Choose(*w, QStringLiteral("Builders' Supplies"));
        w->txtFields[4]->setText(QStringLiteral("Typed over"));
        w->txtFields[5]->setText(QStringLiteral("999"));
        w->DTPStart->setDate(QDate(2026, 8, 1));
        w->cboFinish->setEditText(QStringLiteral("18:00"));
        w->chkFields[9]->setChecked(true);
        Press(*w, "btnCancel");

        QCOMPARE(w->JobRecordset.State(), int(db::adStateOpen));
        QCOMPARE(w->JobRecordset.EditMode(), int(db::Recordset::adEditNone));
        QCOMPARE(w->JobRecordset.Value(QStringLiteral("CustomerID")).toInt(), acme);
        QCOMPARE(w->cboCompanyName->currentText(), QStringLiteral("Acme"));
        QCOMPARE(w->txtFields[4]->text(), QStringLiteral("Stored"));
        QCOMPARE(w->txtFields[5]->text(), QStringLiteral("£80.00"));
        QCOMPARE(w->DTPStart->date(), QDate(2026, 7, 7));
        QCOMPARE(w->cboFinish->currentText(), QStringLiteral("12:00"));
        QVERIFY(!w->chkFields[9]->isChecked());
        // A save after the cancel writes the stored values back, not the discarded ones.
        Press(*w, "btnSave");
        QCOMPARE(Job(id, "CustomerID").toInt(), acme);
        QCOMPARE(Job(id, "Description").toString(), QStringLiteral("Stored"));
        QCOMPARE(Job(id, "Fee").value<Currency>(), Currency::fromUnits(80));

        // A new appointment goes back to an empty one, still new.
        auto fresh = Open(0);
        Choose(*fresh, QStringLiteral("Acme"));
        fresh->txtFields[3]->setText(QStringLiteral("PO"));
        fresh->cboStart->setEditText(QStringLiteral("06:00"));
        Press(*fresh, "btnCancel");
        QCOMPARE(fresh->cboCompanyName->currentIndex(), -1);
        QVERIFY(fresh->txtFields[3]->text().isEmpty());
        QCOMPARE(fresh->cboStart->currentText(), QStringLiteral("09:00"));
        QCOMPARE(fresh->JobRecordset.EditMode(), int(db::Recordset::adEditAdd));
        QVERIFY(db::IsNull(fresh->JobRecordset.Value(QStringLiteral("CustomerID"))));
        env_->prompts().ExpectMsgBox(schedule::kNoCustomer);
        Press(*fresh, "btnSave");
        QCOMPARE(JobCount(), 1);
    }

    void startDateCarriesTheFinish() {
        auto w = Open(0);
        w->DTPStart->setDate(QDate(2026, 9, 10));
        w->DTPFinish->setDate(QDate(2026, 9, 12));
        w->DTPStart_Validate();
        QCOMPARE(w->DTPFinish->date(), QDate(2026, 9, 12));
        w->DTPStart->setDate(QDate(2026, 9, 15));
        emit w->DTPStart->editingFinished();
        QCOMPARE(w->DTPFinish->date(), QDate(2026, 9, 15));
        w->DTPStart->setDate(QDate(2026, 9, 1));
        emit w->DTPStart->editingFinished();
        QCOMPARE(w->DTPFinish->date(), QDate(2026, 9, 15));
        // A day picked in the calendar pop-up counts as leaving the picker.
        emit w->DTPStart->calendarWidget()->clicked(QDate(2026, 9, 20));
        QTRY_COMPARE(w->DTPFinish->date(), QDate(2026, 9, 20));
        QCOMPARE(w->DTPStart->date(), QDate(2026, 9, 20));
    }

    void expensesHandOver() {
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        const int id = AddJob(c(), acme, At(2026, 2, 2, 9), At(2026, 2, 2, 10));
        int seen = -1;
        ScheduleOutcalls().expenses = [&seen](QWidget*) { seen = CurrentJobID; };

        auto fresh = Open(0);
        env_->prompts().ExpectMsgBox(schedule::kMustSaveFirst);
        Press(*fresh, "btnExpense");
        QCOMPARE(seen, -1);

        auto w = Open(id);
        Press(*w, "btnExpense");
        QCOMPARE(seen, id);
        QCOMPARE(CurrentJobID, 0);

        // Once saved, the new appointment has its expenses too.
        Choose(*fresh, QStringLiteral("Acme"));
        Press(*fresh, "btnSave");
        Press(*fresh, "btnExpense");
        QCOMPARE(seen, fresh->JobRecordset.Value(QStringLiteral("JobID")).toInt());
        QVERIFY(seen != id);

        // Without the window the user is told so and nothing is handed over.
        ScheduleOutcalls().expenses = {};
        env_->prompts().ExpectMsgBox(QStringLiteral("expenses window is not available"));
        Press(*w, "btnExpense");
        QCOMPARE(CurrentJobID, 0);
    }

    void recurrenceOnMasterAndOccurrence() {
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        const int master = AddJob(c(), acme, At(2026, 3, 2, 9), At(2026, 3, 2, 10),
                                  {{QStringLiteral("Pattern"), QStringLiteral("D1")}});
        const int occurrence = AddJob(c(), acme, At(2026, 3, 3, 9), At(2026, 3, 3, 10),
                                      {{QStringLiteral("MasterAppointment"), master},
                                       {QStringLiteral("Pattern"), QStringLiteral("D1")}});
        QList<int> rows;
        QList<QDate> shownStart;
        ScheduleOutcalls().recurrence = [&](Schedule* s) {
            rows << s->JobRecordset.Value(QStringLiteral("JobID")).toInt();
            shownStart << s->DTPStart->date();
        };

        auto fresh = Open(0);
        env_->prompts().ExpectMsgBox(schedule::kMustSaveFirst);
        Press(*fresh, "btnRecurrance");
        QVERIFY(rows.isEmpty());

        auto onMaster = Open(master);
        onMaster->show();
        Press(*onMaster, "btnRecurrance");
        QCOMPARE(rows, QList<int>{master});
        QVERIFY(onMaster->isVisible());

        auto onOccurrence = Open(occurrence);
        onOccurrence->show();
        onOccurrence->txtFields[4]->setText(QStringLiteral("not saved"));
        Press(*onOccurrence, "btnRecurrance");
        QCOMPARE(rows, (QList<int>{master, master}));
        QCOMPARE(shownStart.last(), QDate(2026, 3, 2));
        QVERIFY(!onOccurrence->isVisible());
        QCOMPARE(onOccurrence->JobRecordset.State(), int(db::adStateClosed));
        QVERIFY(db::IsNull(Job(occurrence, "Description")));

        ScheduleOutcalls().recurrence = {};
        env_->prompts().ExpectMsgBox(QStringLiteral("recurrence window is not available"));
        Press(*onMaster, "btnRecurrance");
    }

    void addNewCustomerRoad() {
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        const int id = AddJob(c(), acme, At(2026, 2, 2, 9), At(2026, 2, 2, 10));
        int opened = 0;
        QString added;
        // The customer window: saves a company when the user gives a name, else nothing.
        ScheduleOutcalls().newCustomer = [&](QWidget* owner) {
            ++opened;
            QVERIFY(owner);
            if (!added.isEmpty()) AddCompany(c(), added);
        };

        auto w = Open(id);
        Choose(*w, schedule::kAddNewCustomer);
        QCOMPARE(opened, 1);
        QCOMPARE(w->cboCompanyName->count(), 2);
        QCOMPARE(w->cboCompanyName->currentText(), QStringLiteral("Acme"));
        QCOMPARE(w->JobRecordset.Value(QStringLiteral("CustomerID")).toInt(), acme);

        added = QStringLiteral("Builders' Supplies");
        Choose(*w, schedule::kAddNewCustomer);
        QCOMPARE(w->cboCompanyName->count(), 3);
        QCOMPARE(w->cboCompanyName->currentText(), added);
        const int builders =
            QueryValue(c(), QStringLiteral("SELECT CompanyID FROM Companies WHERE CompanyName = ?"),
                       {added})
                .toInt();
        QCOMPARE(w->JobRecordset.Value(QStringLiteral("CustomerID")).toInt(), builders);
        Press(*w, "btnSave");
        QCOMPARE(Job(id, "CustomerID").toInt(), builders);

        // A second company of an existing name is told apart by its key.
        added = QStringLiteral("Acme");
        auto fresh = Open(0);
        Choose(*fresh, schedule::kAddNewCustomer);
        QCOMPARE(fresh->cboCompanyName->currentIndex(), 2);
        const int acme2 = fresh->JobRecordset.Value(QStringLiteral("CustomerID")).toInt();
        QVERIFY(acme2 != acme);
        added.clear();
        auto empty = Open(0);
        Choose(*empty, schedule::kAddNewCustomer);
        QCOMPARE(empty->cboCompanyName->currentIndex(), -1);
        QVERIFY(db::IsNull(empty->JobRecordset.Value(QStringLiteral("CustomerID"))));

        ScheduleOutcalls().newCustomer = {};
        env_->prompts().ExpectMsgBox(QStringLiteral("customer window is not available"));
        Choose(*w, schedule::kAddNewCustomer);
        QCOMPARE(w->cboCompanyName->currentText(), QStringLiteral("Builders' Supplies"));
    }

    void addNewCustomerThroughTheCustomerWindow() {
        AddCompany(c(), QStringLiteral("Acme"));
        auto w = Open(0);
        w->show();
        bool modalOverEditor = false;
        QTimer::singleShot(0, this, [&] {
            auto* customers = Forms::find<Companies_with_Contacts>();
            if (!customers) return;
            modalOverEditor = customers->isModal() && customers->parentWidget() == w.get();
            customers->txtFields[0]->setText(QStringLiteral("Builders' Supplies"));
            customers->Toolbar1_ButtonClick(QStringLiteral("btnSave"));
            customers->close();
        });
        Choose(*w, schedule::kAddNewCustomer);
        QVERIFY(modalOverEditor);
        QCOMPARE(w->cboCompanyName->currentText(), QStringLiteral("Builders' Supplies"));
        Press(*w, "btnSave");
        QCOMPARE(QueryValue(c(), QStringLiteral(
                                     "SELECT CompanyName FROM Companies INNER JOIN JobDetails ON "
                                     "Companies.CompanyID = JobDetails.CustomerID"))
                     .toString(),
                 QStringLiteral("Builders' Supplies"));
    }

    // ---- from the main window ---------------------------------------------------------

    void mainWindowEditsTheDoubleClickedRow() {
        QVERIFY(com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY)));
        const int acme = AddCompany(c(), QStringLiteral("Builders' Supplies"));
        AddJob(c(), acme, At(2026, 3, 2, 9), At(2026, 3, 2, 10),
               {{QStringLiteral("Description"), QStringLiteral("one")}});
        const int second = AddJob(c(), acme, At(2026, 3, 9, 9), At(2026, 3, 9, 10),
                                  {{QStringLiteral("Description"), QStringLiteral("two")}});
        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.ViewDate = At(2026, 3, 1, 12);
        w.ShowMonth();
        QCOMPARE(w.AppGrid->model()->rowCount(), 2);
        QCOMPARE(MaskLetter(w, QDate(2026, 3, 16)), QChar(u'A'));

        int handed = -1;
        int invoice = 0;
        WhenShown([&](Schedule& s) {
            handed = CurrentJobID;
            s.txtFields[4]->setText(QStringLiteral("two, edited"));
            s.DTPStart->setDate(QDate(2026, 3, 16));
            s.DTPFinish->setDate(QDate(2026, 3, 16));
            Press(s, "btnSave");
            // Meanwhile an invoice was made: the lists show it afterwards.
            invoice =
                testsupport::AddInvoice(c(), acme, QDate::currentDate(), Currency::fromUnits(10));
        });
        const QRect row = w.AppGrid->visualRect(w.AppGrid->model()->index(1, 1));
        // A double-click's first press picks the row.
        QTest::mouseClick(w.AppGrid->viewport(), Qt::LeftButton, {}, row.center());
        QTest::mouseDClick(w.AppGrid->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(handed, second);
        QCOMPARE(CurrentJobID, 0);
        QCOMPARE(Job(second, "Description").toString(), QStringLiteral("two, edited"));
        QCOMPARE(w.AppGrid->model()->rowCount(), 2);
        QCOMPARE(w.AppGrid->model()->index(1, 3).data().toString(), QStringLiteral("two, edited"));
        QCOMPARE(MaskLetter(w, QDate(2026, 3, 9)), QChar(u'A'));
        QCOMPARE(MaskLetter(w, QDate(2026, 3, 16)), QChar(u'C'));
        QVERIFY(invoice > 0);
        QCOMPARE(w.PendInv->Rows(), 2);
        QCOMPARE(w.PendInv->Value(1, 0).toInt(), invoice);

        // The pop-up's command edits the row that was current before the right-click.
        w.AppointmentRecordset.MoveFirst();
        const QRect other = w.AppGrid->visualRect(w.AppGrid->model()->index(1, 1));
        QTest::mousePress(w.AppGrid->viewport(), Qt::RightButton, {}, other.center());
        QCOMPARE(w.AppointmentRecordset.AbsolutePosition(), 1);
        QTest::mouseRelease(w.AppGrid->viewport(), Qt::RightButton, {}, other.center());
        QVERIFY(w.mnuCxtSchedule->isVisible());
        w.mnuCxtSchedule->hide();
        WhenShown([&](Schedule&) { handed = CurrentJobID; });
        w.ui().mnuEditApp->trigger();
        QCOMPARE(handed, w.AppointmentRecordset.ValueAt(0, 0).toInt());
        QVERIFY(handed != second);
    }

    void mainWindowNewAppointment() {
        QVERIFY(com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY)));
        const int acme = AddCompany(c(), QStringLiteral("Acme"));
        frmMain w;
        w.ViewDate = At(2026, 10, 1, 12);
        w.ShowMonth();
        QCOMPARE(w.AppGrid->model()->rowCount(), 0);
        QVERIFY(w.ui().mnuFileNewApp->isEnabled());

        // Left over from an expenses hand-over: still a new appointment.
        CurrentJobID = 42;
        bool wasNew = false;
        WhenShown([&](Schedule& s) {
            wasNew = s.JobRecordset.EditMode() == db::Recordset::adEditAdd;
            Choose(s, QStringLiteral("Acme"));
            s.DTPStart->setDate(QDate(2026, 10, 14));
            s.DTPFinish->setDate(QDate(2026, 10, 14));
            Press(s, "btnSave");
        });
        w.ui().mnuFileNewApp->trigger();
        QVERIFY(wasNew);
        QCOMPARE(CurrentJobID, 0);
        QCOMPARE(JobCount(), 1);
        QCOMPARE(QueryValue(c(), QStringLiteral("SELECT CustomerID FROM JobDetails")).toInt(),
                 acme);
        QCOMPARE(w.AppGrid->model()->rowCount(), 1);
        QCOMPARE(w.AppGrid->model()->index(0, 4).data().toString(), QStringLiteral("Acme"));
        QCOMPARE(MaskLetter(w, QDate(2026, 10, 14)), QChar(u'C'));

        // A double-click on an empty month opens a new appointment; closing it adds nothing.
        w.ViewDate = At(2026, 11, 1, 12);
        w.ShowMonth();
        WhenShown(
            [&](Schedule& s) { wasNew = s.JobRecordset.EditMode() == db::Recordset::adEditAdd; });
        wasNew = false;
        w.AppGrid_DblClick();
        QVERIFY(wasNew);
        QCOMPARE(JobCount(), 1);
    }
};

QTEST_MAIN(TestSchedule)
#include "tst_schedule.moc"
