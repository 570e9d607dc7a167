// Recurring series on a fixture database: storage, the recurrence editor over the
// appointment editor, and the series as the main window shows it afterwards.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "core/forms.h"
#include "core/globals.h"
#include "diary/Recurrance.h"
#include "diary/Schedule.h"
#include "diary/frmMain.h"
#include "diary/recurrencestore.h"
#include "diary/schedulerules.h"
#include "platform/com/com.h"
#include "tests/support/testenv.h"

using testsupport::AddCompany;
using testsupport::AddJob;
using testsupport::QueryValue;
using testsupport::TestEnv;

namespace {

QDateTime At(int y, int m, int d, int h = 0, int min = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min));
}

recurrence::Series Daily(int every, const QDateTime& start, const QDateTime& finish,
                         const QDate& end) {
    recurrence::Choice c;
    c.kind = recurrence::Daily;
    c.txt1 = QString::number(every);
    c.end = end;
    return recurrence::BuildRecurrence(c, start, finish);
}

void Press(Schedule& w, const char* key) {
    QAction* a = w.Toolbar1->findChild<QAction*>(QString::fromLatin1(key));
    QVERIFY2(a, key);
    a->trigger();
}

}  // namespace

class TestRecurrence : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env_;
    int acme_ = 0;

    db::Connection& c() { return env_->connection(); }
    QVariant Job(qint64 id, const char* column) { return testsupport::JobValue(c(), id, column); }
    // The series' occurrences as "yyyy-MM-dd hh:mm-hh:mm", in date order.
    QString Occurrences(qint64 master) {
        db::Recordset rs;
        rs.OpenWith(QStringLiteral("SELECT Start, Finish FROM JobDetails WHERE MasterAppointment "
                                   "= ? ORDER BY Start"),
                    c(), {master}, db::adOpenStatic, db::adLockReadOnly);
        QStringList rows;
        for (; rs.State() == db::adStateOpen && !rs.Eof(); rs.MoveNext())
            rows << rs.Value(QStringLiteral("Start")).toDateTime().toString(u"yyyy-MM-dd hh:mm") +
                        rs.Value(QStringLiteral("Finish")).toDateTime().toString(u"-hh:mm");
        return rows.join(u", ");
    }
    std::unique_ptr<Schedule> OpenSchedule(int jobId) {
        CurrentJobID = jobId;
        auto w = std::make_unique<Schedule>();
        CurrentJobID = 0;
        return w;
    }
    // Runs `step` on the recurrence editor once it is shown modally.
    void WhenEditorShown(std::function<void(Recurrance&)> step) {
        QTimer::singleShot(0, this, [step] {
            auto* r = qobject_cast<Recurrance*>(QApplication::activeModalWidget());
            if (!r) return;
            step(*r);
            if (r->isVisible()) r->reject();
        });
    }

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() {
        env_ = std::make_unique<TestEnv>();
        SetProgramFolder(env_->programFolder());
        DbConnection().SetCursorLocation(db::adUseClient);
        QVERIFY(DbConnection().Open(env_->connectionString()));
        acme_ = AddCompany(c(), QStringLiteral("Acme"));
        CurrentJobID = 0;
    }
    void cleanup() {
        QVERIFY(env_->allPromptsAnswered());
        Forms::unload<Schedule>();
        DbConnection().Close();
        env_.reset();
    }

    // ---- storage ----------------------------------------------------------------------

    void writeCopiesTheMaster() {
        // Keys beyond 32 bits, as a long-used database reaches.
        const qint64 master = 5'000'000'000;
        testsupport::InsertRow(c(), QStringLiteral("JobDetails"),
                               {{QStringLiteral("JobID"), master},
                                {QStringLiteral("CustomerID"), acme_},
                                {QStringLiteral("Start"), At(2026, 3, 2, 9)},
                                {QStringLiteral("Finish"), At(2026, 3, 2, 10)},
                                {QStringLiteral("Description"), QStringLiteral("Window cleaning")},
                                {QStringLiteral("Duration"), QStringLiteral("1 hour")},
                                {QStringLiteral("PO_Number"), QStringLiteral("PO-9")},
                                {QStringLiteral("Fee"), 12.5},
                                {QStringLiteral("SignedOff"), true},
                                {QStringLiteral("Outlook_REF"), QStringLiteral("abc")}});
        const auto s = Daily(2, At(2026, 3, 2, 9), At(2026, 3, 2, 10), QDate(2026, 3, 6));
        const recurrence::Stored stored = recurrence::WriteSeries(c(), master, s);
        QVERIFY2(stored.ok, qPrintable(stored.error));
        QCOMPARE(stored.kept, 0);
        QCOMPARE(Occurrences(master),
                 QStringLiteral("2026-03-04 09:00-10:00, 2026-03-06 09:00-10:00"));
        QCOMPARE(Job(master, "Pattern").toString(), QStringLiteral("D10206/03/2026"));
        const QString copied = QStringLiteral(
            "SELECT count(*) FROM JobDetails WHERE MasterAppointment = ? AND Description = 'Window "
            "cleaning' AND Duration = '1 hour' AND PO_Number = 'PO-9' AND CustomerID = ? AND Fee = "
            "12.5 AND Pattern = 'D10206/03/2026' AND SignedOff = 0 AND Outlook_REF = '' AND "
            "InvoiceNumber = 0");
        QCOMPARE(QueryValue(c(), copied, {master, acme_}).toInt(), 2);
    }

    void invoicedAndExpensedOccurrencesStay_data() {
        QTest::addColumn<bool>("remove");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("left");
        // A kept occurrence stands for the new one on its day.
        QTest::newRow("changed to a later end")
            << false << "D10107/03/2026"
            << "2026-03-03 09:00-10:00, 2026-03-04 09:00-10:00, 2026-03-05 09:00-10:00, "
               "2026-03-06 09:00-10:00, 2026-03-07 09:00-10:00";
        QTest::newRow("removed") << true << ""
                                 << "2026-03-03 09:00-10:00, 2026-03-05 09:00-10:00";
    }
    void invoicedAndExpensedOccurrencesStay() {
        QFETCH(bool, remove);
        QFETCH(QString, pattern);
        QFETCH(QString, left);
        const int master = AddJob(c(), acme_, At(2026, 3, 2, 9), At(2026, 3, 2, 10));
        const int other = AddJob(c(), acme_, At(2026, 3, 4, 9), At(2026, 3, 4, 10));
        QVERIFY(recurrence::WriteSeries(
                    c(), master, Daily(1, At(2026, 3, 2, 9), At(2026, 3, 2, 10), QDate(2026, 3, 6)))
                    .ok);
        auto occurrenceOn = [&](int day) {
            return QueryValue(c(),
                              QStringLiteral("SELECT JobID FROM JobDetails WHERE "
                                             "MasterAppointment = ? AND Start = ?"),
                              {master, At(2026, 3, day, 9)})
                .toInt();
        };
        c().Execute(QStringLiteral("UPDATE JobDetails SET InvoiceNumber = 7 WHERE JobID = ?"),
                    {occurrenceOn(3)});
        testsupport::AddExpense(
            c(), {{QStringLiteral("ScheduleID"), occurrenceOn(5)}, {QStringLiteral("Amount"), 4}});
        testsupport::AddExpense(
            c(), {{QStringLiteral("ScheduleID"), other}, {QStringLiteral("Amount"), 4}});

        const recurrence::Stored stored =
            remove ? recurrence::DeleteSeries(c(), master)
                   : recurrence::WriteSeries(
                         c(), master,
                         Daily(1, At(2026, 3, 2, 9), At(2026, 3, 2, 10), QDate(2026, 3, 7)));
        QVERIFY2(stored.ok, qPrintable(stored.error));
        QCOMPARE(stored.kept, 2);
        QCOMPARE(Occurrences(master), left);
        QCOMPARE(Job(master, "Pattern").toString(), pattern);
        QCOMPARE(Job(master, "Start").toDateTime(), At(2026, 3, 2, 9));
        QCOMPARE(Job(other, "Start").toDateTime(), At(2026, 3, 4, 9));
    }

    void failureLeavesTheSeriesAsItWas_data() {
        QTest::addColumn<bool>("remove");
        QTest::addColumn<QString>("trigger");
        QTest::newRow("third new row refused")
            << false
            << "CREATE TRIGGER refuse BEFORE INSERT ON JobDetails WHEN NEW.Start >= "
               "'2026-03-08' BEGIN SELECT RAISE(ABORT, 'disk full'); END";
        QTest::newRow("pattern refused after the deletion")
            << true
            << "CREATE TRIGGER refuse BEFORE UPDATE OF Pattern ON JobDetails BEGIN SELECT "
               "RAISE(ABORT, 'disk full'); END";
    }
    void failureLeavesTheSeriesAsItWas() {
        QFETCH(bool, remove);
        QFETCH(QString, trigger);
        const int master = AddJob(c(), acme_, At(2026, 3, 2, 9), At(2026, 3, 2, 10));
        QVERIFY(recurrence::WriteSeries(
                    c(), master, Daily(1, At(2026, 3, 2, 9), At(2026, 3, 2, 10), QDate(2026, 3, 4)))
                    .ok);
        const QString before = Occurrences(master);
        QVERIFY(c().Execute(trigger));
        const recurrence::Stored stored =
            remove ? recurrence::DeleteSeries(c(), master)
                   : recurrence::WriteSeries(
                         c(), master,
                         Daily(2, At(2026, 3, 2, 9), At(2026, 3, 2, 10), QDate(2026, 3, 12)));
        QVERIFY(!stored.ok);
        QVERIFY2(stored.error.contains(QStringLiteral("disk full")), qPrintable(stored.error));
        QCOMPARE(Occurrences(master), before);
        QCOMPARE(Job(master, "Pattern").toString(), QStringLiteral("D10104/03/2026"));
        // The connection is usable afterwards, outside any transaction.
        QVERIFY(c().Execute(QStringLiteral("DROP TRIGGER refuse")));
        QVERIFY(recurrence::DeleteSeries(c(), master).ok);
        QVERIFY(Occurrences(master).isEmpty());
    }

    // ---- the editor -------------------------------------------------------------------

    void opensOnANewPattern() {
        const int id = AddJob(c(), acme_, At(2026, 3, 2, 9), At(2026, 3, 2, 10, 30));
        auto s = OpenSchedule(id);
        Recurrance r(s.get());
        QVERIFY(r.Option1->isChecked());
        QVERIFY(r.optFlex[1]->isChecked());
        QCOMPARE(r.txt1->text(), QStringLiteral("1"));
        QCOMPARE(r.DTPEnd->date(), QDate(2026, 3, 3));
        QCOMPARE(r.cboStart->currentText(), QStringLiteral("09:00"));
        QCOMPARE(r.cboFinish->currentText(), QStringLiteral("10:30"));
        QVERIFY(r.txt1->isVisibleTo(&r));
        QVERIFY(!r.chk[2]->isVisibleTo(&r));
        QVERIFY(!r.btn_remove->isVisibleTo(&r));
    }

    void loadPatternRestoresTheControls_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("shown");  // the sub-option controls left visible
        QTest::newRow("every 3 days") << "D103" << 1 << "optFlex_1 optFlex_2 txt1 lbl1";
        QTest::newRow("weekly") << "W020100100" << 2
                                << "optFlex_1 txt1 lbl1 chk_2 chk_3 chk_4 chk_5 chk_6 chk_7 chk_1";
        QTest::newRow("second Tuesday")
            << "M21203" << 3
            << "optFlex_1 optFlex_2 txt1 lbl1 Text2 lbl2 cboInstance cboDay lbl3 Text3 lbl4";
        QTest::newRow("4 July")
            << "A10604" << 4
            << "optFlex_1 optFlex_2 cboYear_Mnth Text2 cboInstance cboDay lbl3 cboMonth";
        QTest::newRow("first Monday of September")
            << "A200108" << 4
            << "optFlex_1 optFlex_2 cboYear_Mnth Text2 cboInstance cboDay lbl3 cboMonth";
    }
    void loadPatternRestoresTheControls() {
        QFETCH(QString, pattern);
        QFETCH(int, kind);
        QFETCH(QString, shown);
        const QString text = pattern + QStringLiteral("31/12/2026");
        const int id = AddJob(c(), acme_, At(2026, 3, 2, 9), At(2026, 3, 2, 10),
                              {{QStringLiteral("Pattern"), text}});
        auto s = OpenSchedule(id);
        Recurrance r(s.get());
        QCOMPARE(r.CurrentChoice().kind, kind);
        QCOMPARE(recurrence::PatternText(r.CurrentChoice()), text);
        QVERIFY(r.btn_remove->isVisibleTo(&r));
        QStringList visible;
        for (QWidget* w : r.findChildren<QWidget*>())
            if (w->property("tag").toString() == QLatin1String("cng") && w->isVisibleTo(&r))
                visible << w->objectName();
        visible.sort();
        QStringList expected = shown.split(u' ');
        expected.sort();
        QCOMPARE(visible, expected);
    }

    void okWritesTheSeriesAtTheShownTimes() {
        const int master = AddJob(c(), acme_, At(2026, 3, 2, 9), At(2026, 3, 2, 10));
        auto s = OpenSchedule(master);
        const QString filter = s->JobRecordset.Filter();
        Recurrance r(s.get());
        r.Option2->click();
        r.txt1->setText(QStringLiteral("1"));
        r.chk[2]->setChecked(true);
        r.chk[5]->setChecked(true);
        r.DTPEnd->setDate(QDate(2026, 3, 12));
        r.cboStart->setEditText(QStringLiteral("10:00"));
        r.cboFinish->setEditText(QStringLiteral("11:30"));
        r.OKButton->click();
        QCOMPARE(r.result(), int(QDialog::Accepted));
        QCOMPARE(Occurrences(master), QStringLiteral("2026-03-05 10:00-11:30, 2026-03-09 "
                                                     "10:00-11:30, 2026-03-12 10:00-11:30"));
        const QString pattern = QStringLiteral("W01010010012/03/2026");
        QCOMPARE(Job(master, "Pattern").toString(), pattern);
        QCOMPARE(s->txtPattern->text(), pattern);
        QCOMPARE(s->cboStart->currentText(), QStringLiteral("10:00"));
        QCOMPARE(s->JobRecordset.Filter(), filter);
        // The appointment editor's save keeps the pattern and takes the new times.
        Press(*s, "btnSave");
        QCOMPARE(Job(master, "Pattern").toString(), pattern);
        QCOMPARE(Job(master, "Start").toDateTime(), At(2026, 3, 2, 10));
    }

    void okRefusesAndAsks() {
        const int master = AddJob(c(), acme_, At(2026, 3, 2, 9), At(2026, 3, 3, 10));
        auto s = OpenSchedule(master);
        auto r = std::make_unique<Recurrance>(s.get());
        auto countRows = [&] {
            return QueryValue(c(), QStringLiteral("SELECT count(*) FROM JobDetails")).toInt();
        };
        r->txt1->setText(QStringLiteral("0"));
        env_->prompts().ExpectMsgBox(QStringLiteral("number of days"));
        r->OKButton->click();
        r->txt1->setText(QStringLiteral("2"));
        r->DTPEnd->setDate(QDate(2026, 3, 3));
        env_->prompts().ExpectMsgBox(recurrence::kNoSecondOccurrence);
        r->OKButton->click();
        // Two days long, every day: each would start before the last one finished.
        r->txt1->setText(QStringLiteral("1"));
        r->DTPEnd->setDate(QDate(2026, 3, 9));
        env_->prompts().ExpectMsgBox(recurrence::kTooClose);
        r->OKButton->click();
        QCOMPARE(env_->prompts().shown().back().style & ui::vbCritical, int(ui::vbCritical));
        QCOMPARE(countRows(), 1);

        r->txt1->setText(QStringLiteral("3"));
        r->OKButton->click();
        QCOMPARE(countRows(), 3);

        // On the existing series: the same pattern does nothing, a changed one asks first.
        r = std::make_unique<Recurrance>(s.get());
        QCOMPARE(r->txt1->text(), QStringLiteral("03"));
        r->OKButton->click();
        QVERIFY(r->result() != QDialog::Accepted);
        r->txt1->setText(QStringLiteral("4"));
        env_->prompts().ExpectMsgBox(QStringLiteral("re-set all appointments"), ui::vbCancel);
        r->OKButton->click();
        QCOMPARE(Occurrences(master),
                 QStringLiteral("2026-03-05 09:00-10:00, 2026-03-08 09:00-10:00"));
        r->cboStart->setEditText(QStringLiteral("08:00"));
        r->txt1->setText(QStringLiteral("3"));
        env_->prompts().ExpectMsgBox(QStringLiteral("re-set all appointments"), ui::vbOK);
        r->OKButton->click();
        QCOMPARE(Occurrences(master),
                 QStringLiteral("2026-03-05 08:00-10:00, 2026-03-08 08:00-10:00"));

        // Far ends stop at the most a series holds, and the user is told.
        r = std::make_unique<Recurrance>(s.get());
        r->Option1->click();
        r->txt1->setText(QStringLiteral("7"));
        r->DTPEnd->setDate(QDate(2099, 1, 1));
        env_->prompts().ExpectMsgBox(QStringLiteral("re-set all appointments"), ui::vbOK);
        env_->prompts().ExpectMsgBox(QStringLiteral("at most 1,000"));
        r->OKButton->click();
        QCOMPARE(countRows(), 1001);
    }

    // A master on an invoice is refused as the appointment editor refuses it: nothing written.
    void invoicedMasterIsRefused_data() {
        QTest::addColumn<bool>("remove");  // Remove on an existing series, else OK on a new one
        QTest::newRow("new series") << false;
        QTest::newRow("removal") << true;
    }
    void invoicedMasterIsRefused() {
        QFETCH(bool, remove);
        const int master = AddJob(c(), acme_, At(2026, 3, 2, 9), At(2026, 3, 2, 10), {{QStringLiteral("InvoiceNumber"), 5}});
        if (remove) QVERIFY(recurrence::WriteSeries(c(), master, Daily(1, At(2026, 3, 2, 9), At(2026, 3, 2, 10), QDate(2026, 3, 4))).ok);
        const QString before = Occurrences(master);
        auto s = OpenSchedule(master);
        Recurrance r(s.get());
        env_->prompts().ExpectMsgBox(schedule::kInvoicedLock);
        (remove ? r.btn_remove : r.OKButton)->click();
        QCOMPARE(Occurrences(master), before);
        QCOMPARE(Job(master, "Pattern").toString(), s->txtPattern->text());
    }

    void removeClearsThePattern() {
        const int master = AddJob(c(), acme_, At(2026, 3, 2, 9), At(2026, 3, 2, 10));
        QVERIFY(recurrence::WriteSeries(
                    c(), master, Daily(1, At(2026, 3, 2, 9), At(2026, 3, 2, 10), QDate(2026, 3, 4)))
                    .ok);
        const int invoiced = AddJob(
            c(), acme_, At(2026, 3, 5, 9), At(2026, 3, 5, 10),
            {{QStringLiteral("MasterAppointment"), master}, {QStringLiteral("InvoiceNumber"), 3}});
        auto s = OpenSchedule(master);
        Recurrance r(s.get());
        env_->prompts().ExpectMsgBox(QStringLiteral("remove all recurrances"), ui::vbNo);
        r.btn_remove->click();
        QCOMPARE(Occurrences(master).count(u','), 2);
        env_->prompts().ExpectMsgBox(QStringLiteral("remove all recurrances"), ui::vbYes);
        env_->prompts().ExpectMsgBox(QStringLiteral("One appointment of the series"));
        r.btn_remove->click();
        QCOMPARE(Occurrences(master), QStringLiteral("2026-03-05 09:00-10:00"));
        QCOMPARE(Job(invoiced, "InvoiceNumber").toInt(), 3);
        QCOMPARE(Job(master, "Pattern").toString(), QString());
        QVERIFY(s->txtPattern->text().isEmpty());
        QVERIFY(!r.btn_remove->isVisibleTo(&r));
        QVERIFY(r.result() != QDialog::Accepted);
        // Saving the appointment afterwards does not bring the pattern back.
        Press(*s, "btnSave");
        QVERIFY(Job(master, "Pattern").toString().isEmpty());
    }

    void occurrenceOpensItsMaster() {
        const int master = AddJob(c(), acme_, At(2026, 3, 2, 9), At(2026, 3, 2, 10));
        QVERIFY(recurrence::WriteSeries(
                    c(), master, Daily(1, At(2026, 3, 2, 9), At(2026, 3, 2, 10), QDate(2026, 3, 4)))
                    .ok);
        const int occurrence =
            QueryValue(c(), QStringLiteral("SELECT max(JobID) FROM JobDetails")).toInt();
        auto s = OpenSchedule(occurrence);
        s->show();
        qint64 seen = 0;
        QDate end;
        WhenEditorShown([&](Recurrance& r) {
            end = r.DTPEnd->date();
            env_->prompts().ExpectMsgBox(QStringLiteral("remove all recurrances"), ui::vbYes);
            r.btn_remove->click();
            seen = r.MasterID;
        });
        Press(*s, "btnRecurrance");
        QCOMPARE(seen, qint64(master));
        QCOMPARE(end, QDate(2026, 3, 4));
        QVERIFY(Occurrences(master).isEmpty());
        QVERIFY(!s->isVisible());
    }

    void mainWindowShowsTheSeries() {
        QVERIFY(com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY)));
        AddJob(c(), acme_, At(2026, 3, 2, 9), At(2026, 3, 2, 10));
        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.ViewDate = At(2026, 3, 1, 12);
        w.ShowMonth();
        QCOMPARE(w.AppGrid->model()->rowCount(), 1);
        auto mask = [&w](int day) {
            const QString m = com::GetProperty(w.SchCal1, QStringLiteral("ColorMask")).toString();
            const int info = com::GetProperty(w.SchCal1, QStringLiteral("OutputInfo")).toInt();
            return m.at(7 + QString::number(info)[1].digitValue() + day - 1);
        };
        QCOMPARE(mask(9), QChar(u'A'));

        QTimer::singleShot(0, this, [this] {
            Schedule* s = Forms::find<Schedule>();
            if (!s) return;
            WhenEditorShown([](Recurrance& r) {
                r.Option2->click();
                r.txt1->setText(QStringLiteral("1"));
                r.chk[2]->setChecked(true);
                r.DTPEnd->setDate(QDate(2026, 3, 23));
                r.OKButton->click();
            });
            Press(*s, "btnRecurrance");
            s->reject();
        });
        w.AppGrid_DblClick();
        QCOMPARE(w.AppGrid->model()->rowCount(), 4);
        for (int day : {9, 16, 23}) QCOMPARE(mask(day), QChar(u'C'));
        QCOMPARE(mask(30), QChar(u'A'));
    }
};

QTEST_MAIN(TestRecurrence)
#include "tst_recurrence.moc"
