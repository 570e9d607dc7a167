// The invoice editor, its date dialog, attach-work and part-payment windows, and the invoice
// commands of the main window, on a fixture database.
#include <QComboBox>
#include <QDateEdit>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>

#include "accounts/Invoice_attach.h"
#include "accounts/frmInvoice.h"
#include "accounts/frmInvoiceDue.h"
#include "accounts/frmPartPayment.h"
#include "accounts/invoicerules.h"
#include "core/boundboxes.h"
#include "core/formatting.h"
#include "core/flexgrid.h"
#include "core/forms.h"
#include "core/globals.h"
#include "diary/frmMain.h"
#include "platform/com/com.h"
#include "tests/support/testenv.h"

using db::Currency;
using testsupport::AddCompany;
using testsupport::AddInvoice;
using testsupport::AddJob;
using testsupport::AddPartPayment;
using testsupport::QueryValue;
using testsupport::TestEnv;

namespace {

QDateTime At(int y, int m, int d, int h = 0, int min = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min));
}
Currency Pounds(double v) { return Currency::fromDouble(v).value(); }

// Answers the next date dialog with `answer` (nullopt: Cancel); `shown` gets its starting date.
void AnswerDate(std::optional<QDate> answer, QDate* shown = nullptr) {
    QTimer::singleShot(0, [answer, shown] {
        frmInvoiceDue* d = Forms::find<frmInvoiceDue>();
        QVERIFY(d && d->isVisible());
        if (shown) *shown = d->DTPDue->date();
        if (!answer) return d->CancelButton_Click();
        d->DTPDue->setDate(*answer);
        d->OKButton_Click();
    });
}

}  // namespace

class TestInvoices : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env_;
    int acme_ = 0;

    db::Connection& c() { return env_->connection(); }
    QVariant Bill(const QString& column, int number) {
        return QueryValue(
            c(), QStringLiteral("SELECT %1 FROM Billing WHERE InvoiceNumber = ?").arg(column),
            {number});
    }
    double Money(const QString& column, int number) {
        return Bill(column, number).value<Currency>().toDouble();
    }
    int Count(const QString& sql) { return QueryValue(c(), sql).toInt(); }
    frmInvoice* Open(int number) {
        DbConnection().SetCursorLocation(db::adUseClient);
        if (DbConnection().State() != db::adStateOpen)
            DbConnection().Open(env_->connectionString());
        CurrentInvoiceNumber = number;
        frmInvoice* w = Forms::get<frmInvoice>();
        CurrentInvoiceNumber = 0;
        return w;
    }
    void Choose(frmInvoice* w, int companyId) {
        const int i = w->cboCompanyName->findData(companyId);
        QVERIFY(i >= 0);
        w->cboCompanyName->setCurrentIndex(i);
        w->cboCompanyName_Click(i);
    }
    void SetText(frmInvoice* w, int box, const QString& text) {
        BoundBoxes::SetBoxText(w->txtFields[box], text);
    }

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() {
        env_ = std::make_unique<TestEnv>();
        SetProgramFolder(env_->programFolder());
        VatMultiplier = 0;
        acme_ = AddCompany(c(), QStringLiteral("Acme"));
    }
    void cleanup() {
        for (auto unload : {&Forms::unload<frmPartPayment>, &Forms::unload<Invoice_attach>,
                            &Forms::unload<frmInvoice>})
            unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        DbConnection().Close();
        QVERIFY(env_->allPromptsAnswered());
        env_.reset();
    }

    void rules_data() {
        QTest::addColumn<QString>("got");
        QTest::addColumn<QString>("expected");
        const QVariant jan31 = At(2027, 1, 31);
        QTest::newRow("paid on the invoice's day")
            << invoice::PaymentRefusal(QDate(2027, 1, 31), jan31) << QString();
        QTest::newRow("paid a day before")
            << invoice::PaymentRefusal(QDate(2027, 1, 30), jan31)
            << "Payment date (30/01/2027) cannot occur before Invoice Date (31/01/2027).";
        QTest::newRow("undated invoice")
            << invoice::PaymentRefusal(QDate(2027, 1, 30), QVariant()) << QString();
        QTest::newRow("write-off keeps old terms")
            << invoice::WriteOffDetails(QDate(2027, 3, 4), "Gone bust", "30 days")
            << "INVOICE WRITTEN OFF ON: 04/03/2027\r\nREASON: \r\nGone bust\r\n30 days";
    }
    void rules() {
        QFETCH(QString, got);
        QFETCH(QString, expected);
        QCOMPARE(got, expected);
    }

    // Closing by the title bar with a changed amount asks first: Yes saves, No drops, Cancel
    // stays; an invoice only looked at closes without a word.
    void closingWithUnsavedEdits_data() { testsupport::ClosingWithUnsavedEditsRows(); }
    void closingWithUnsavedEdits() {
        QFETCH(QString, typed);
        QFETCH(int, answer);
        QFETCH(double, stored);
        QFETCH(bool, open);
        const int number = AddInvoice(c(), acme_, QDate(2026, 3, 2), Pounds(180));
        frmInvoice* w = Open(number);
        w->show();
        if (!typed.isEmpty()) {
            SetText(w, 2, typed);
            env_->prompts().ExpectMsgBox(QStringLiteral("Save the changes to invoice %1?").arg(number), answer);
        }
        w->close();
        QCOMPARE(w->isVisible(), open);
        QCOMPARE(Money(QStringLiteral("InvoiceAmount"), number), stored);
        if (open) {
            env_->prompts().ExpectMsgBox(QStringLiteral("Save the changes"), ui::vbNo);
            QVERIFY(w->close());
        }
    }

    void aNewInvoiceSavedTwiceIsOneRowReopenedByItsKey() {
        AddInvoice(c(), acme_, QDate(2026, 1, 5), Pounds(10));
        frmInvoice* w = Open(0);
        QCOMPARE(w->DTPDate->date(), QDate::currentDate());

        Choose(w, acme_);
        w->DTPDate->setDate(QDate(2027, 2, 3));
        SetText(w, 2, QStringLiteral("£1,234.50"));
        QVERIFY(w->SaveInvoice());
        const int number = w->FieldText(0).toInt();
        QVERIFY(number > 0);
        QCOMPARE(w->InvoiceNumber(), qint64(number));
        SetText(w, 3, QStringLiteral("14 days"));
        QVERIFY(w->SaveInvoice());
        QCOMPARE(Count("SELECT count(*) FROM Billing"), 2);
        QCOMPARE(Money("InvoiceAmount", number), 1234.5);
        QCOMPARE(Bill("InvoicePaymentDetails", number).toString(), QStringLiteral("14 days"));
        QCOMPARE(Bill("BillingDate", number).toDateTime(), At(2027, 2, 3));
        QCOMPARE(w->FieldText(2), QStringLiteral("£1,234.50"));
    }

    void theCustomerIsKeptByItsKey() {
        const int b1 = AddCompany(c(), QStringLiteral("Builders' Supplies"));
        const int b2 = AddCompany(c(), QStringLiteral("Builders' Supplies"));
        frmInvoice* w = Open(0);
        Choose(w, b2);
        QVERIFY(w->SaveInvoice());
        QCOMPARE(Bill("CompanyID", w->FieldText(0).toInt()).toInt(), b2);
        Forms::unload<frmInvoice>();
        w = Open(AddInvoice(c(), b1, QDate(2027, 1, 1), Pounds(1)));
        QCOMPARE(w->cboCompanyName->currentData().toInt(), b1);
    }

    // A very long name keeps the editor as wide as it was: elided in the box, whole in the list
    // and in the tooltip.
    void aLongCustomerNameDoesNotWidenTheEditor() {
        const int width = Open(0)->sizeHint().width();
        Forms::unload<frmInvoice>();
        const QString name = QString(QStringLiteral("Very Long Customer Name Holdings ")).repeated(10).left(322);
        const int id = AddCompany(c(), name);
        frmInvoice* w = Open(AddInvoice(c(), id, QDate(2027, 1, 1), Pounds(1)));
        w->resize(w->sizeHint());
        w->show();
        QCOMPARE(w->sizeHint().width(), width);
        QCOMPARE(w->cboCompanyName->currentText(), name);
        QVERIFY(w->cboCompanyName->ShownText().endsWith(QChar(0x2026)));
        QVERIFY(w->cboCompanyName->ShownText().size() < 100);
        const QPoint inside(5, 5);
        QHelpEvent help(QEvent::ToolTip, inside, w->cboCompanyName->mapToGlobal(inside));
        QApplication::sendEvent(w->cboCompanyName, &help);
        QCOMPARE(QToolTip::text(), name);
        QCOMPARE(w->cboCompanyName->itemText(w->cboCompanyName->findData(acme_)), QStringLiteral("Acme"));
    }

    // The Date box takes a date typed in the short form, however the user comes into it.
    void theDateBoxTakesATypedDate_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("date");
        QTest::newRow("click on the day") << "click" << "05122026" << QDate(2026, 12, 5);
        QTest::newRow("separators typed") << "click" << "05/12/2026" << QDate(2026, 12, 5);
        QTest::newRow("double-click") << "double-click" << "05122026" << QDate(2026, 12, 5);
        QTest::newRow("over the whole text") << "select all" << "5/1/2027" << QDate(2027, 1, 5);
    }
    void theDateBoxTakesATypedDate() {
        QFETCH(QString, entry);
        QFETCH(QString, typed);
        QFETCH(QDate, date);
        frmInvoice* w = Open(0);
        w->DTPDate->setDate(QDate(2026, 3, 9));
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
        auto* text = w->DTPDate->findChild<QLineEdit*>();
        if (entry == "double-click") QTest::mouseDClick(text, Qt::LeftButton, {}, QPoint(3, 9));
        else QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(3, 9));
        if (entry == "select all") QTest::keyClick(w->DTPDate, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w->DTPDate, typed + QStringLiteral("\t"));
        QCOMPARE(w->DTPDate->date(), date);
        env_->prompts().ExpectMsgBox(QStringLiteral("Save the changes"), ui::vbNo);
    }

    void commandsRefuseAnInvoiceWithoutCustomer_data() {
        QTest::addColumn<QString>("key");
        for (const char* k : {"btnSave", "btnSend", "btnPrint", "btnAttach"}) QTest::newRow(k) << k;
    }
    void commandsRefuseAnInvoiceWithoutCustomer() {
        QFETCH(QString, key);
        frmInvoice* w = Open(0);
        env_->prompts().ExpectMsgBox(invoice::kNeedsCustomer);
        w->Toolbar1_ButtonClick(key);
        QCOMPARE(Count("SELECT count(*) FROM Billing"), 0);
    }

    void calcTotalsTheAttachedFees_data() {
        QTest::addColumn<double>("vat");
        QTest::addColumn<QString>("incVat");
        QTest::newRow("no VAT") << 0.0 << QString();
        QTest::newRow("VAT 17.5%") << 1.175 << QStringLiteral("£176.84");
    }
    void calcTotalsTheAttachedFees() {
        QFETCH(double, vat);
        QFETCH(QString, incVat);
        VatMultiplier = vat;
        const int n = AddInvoice(c(), acme_, QDate(2027, 1, 10), Currency());
        for (const QVariant& fee :
             {QVariant::fromValue(Pounds(100)), QVariant::fromValue(Pounds(50.5)), QVariant()})
            AddJob(c(), acme_, At(2027, 1, 2, 9), At(2027, 1, 2, 10),
                   {{QStringLiteral("InvoiceNumber"), n}, {QStringLiteral("Fee"), fee}});
        frmInvoice* w = Open(n);
        w->btnCalc_Click();
        QCOMPARE(w->FieldText(2), QStringLiteral("£150.50"));
        QCOMPARE(w->txtFeeVAT->isHidden(), vat == 0);
        if (vat != 0) QCOMPARE(w->txtFeeVAT->text(), incVat);
        QCOMPARE(Money("InvoiceAmount", n), 0.0);  // stored only by the next update
        QVERIFY(w->SaveInvoice());
        QCOMPARE(Money("InvoiceAmount", n), 150.5);
    }

    void defaultTermsFillAnInvoiceWithout() {
        testsupport::SetSystemRow(c(), QStringLiteral("Payment_Terms"),
                                  QStringLiteral("30 days net"));
        const int bare = AddInvoice(c(), acme_, QDate(2027, 1, 10), Pounds(1));
        const int kept =
            AddInvoice(c(), acme_, QDate(2027, 1, 10), Pounds(1),
                       {{QStringLiteral("InvoicePaymentDetails"), QStringLiteral("Cash")}});
        QCOMPARE(Open(bare)->FieldText(3), QStringLiteral("30 days net"));
        Forms::unload<frmInvoice>();
        QCOMPARE(Open(kept)->FieldText(3), QStringLiteral("Cash"));
        Forms::unload<frmInvoice>();
        // A new invoice has them from the start, and its first save stores them.
        frmInvoice* w = Open(0);
        QCOMPARE(w->FieldText(3), QStringLiteral("30 days net"));
        Choose(w, acme_);
        QVERIFY(w->SaveInvoice());
        QCOMPARE(Bill("InvoicePaymentDetails", w->FieldText(0).toInt()).toString(), QStringLiteral("30 days net"));
    }

    void sendAsksForTheDueDate() {
        const int n = AddInvoice(c(), acme_, QDate(2027, 1, 31), Pounds(10));
        frmInvoice* w = Open(n);
        SetText(w, 3, QStringLiteral("edited"));
        QDate shown;
        AnswerDate(std::nullopt, &shown);
        w->SendInvoice();
        QCOMPARE(shown, QDate(2027, 2, 28));
        QCOMPARE(Bill("InvoicePaymentDetails", n).toString(), QStringLiteral("edited"));
        QCOMPARE(Bill("Stage", n).toInt(), 0);
        AnswerDate(QDate(2027, 3, 1));
        w->SendInvoice();
        QCOMPARE(Bill("Stage", n).toInt(), 2);
        QCOMPARE(Bill("PaymentDueDate", n).toDateTime(), At(2027, 3, 1));

        // Sent before it was ever saved: dated from the picker.
        Forms::unload<frmInvoice>();
        w = Open(0);
        Choose(w, acme_);
        w->DTPDate->setDate(QDate(2027, 4, 30));
        AnswerDate(std::nullopt, &shown);
        w->SendInvoice();
        QCOMPARE(shown, QDate(2027, 5, 30));
        QCOMPARE(Bill("BillingDate", w->FieldText(0).toInt()).toDateTime(), At(2027, 4, 30));
    }

    void processKeepsThePaymentDateRule_data() {
        QTest::addColumn<QDate>("paid");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("same day") << QDate(2027, 1, 31) << true;
        QTest::newRow("a day earlier") << QDate(2027, 1, 30) << false;
    }
    void processKeepsThePaymentDateRule() {
        QFETCH(QDate, paid);
        QFETCH(bool, accepted);
        const int n = AddInvoice(c(), acme_, QDate(2027, 1, 31), Pounds(10));
        if (!accepted)
            env_->prompts().ExpectMsgBox(
                QStringLiteral("cannot occur before Invoice Date (31/01/2027)"));
        AnswerDate(paid);
        Open(n)->Process();
        QCOMPARE(Bill("Stage", n).toInt(), accepted ? 3 : 0);
        QCOMPARE(db::IsNull(Bill("PaymentDate", n)), !accepted);

        // The main window's twin, on the pending list.
        Forms::unload<frmInvoice>();
        QVERIFY(com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY)));
        FinYearStart = QDate(2026, 4, 1);
        const int m = AddInvoice(c(), acme_, QDate(2027, 1, 31), Pounds(20));
        frmMain main;
        const auto pendingRows = [&] {
            QStringList numbers;
            for (int r = 1; r < main.PendInv->Rows(); ++r)
                numbers << main.PendInv->TextMatrix(r, 0);
            return numbers;
        };
        QVERIFY(pendingRows().contains(QString::number(m)));
        main.PendInv->setCurrentCell(pendingRows().indexOf(QString::number(m)), 0);
        if (!accepted)
            env_->prompts().ExpectMsgBox(QStringLiteral("cannot occur before Invoice Date"));
        AnswerDate(paid);
        main.mnuProcessInv_Click();
        QCOMPARE(Bill("Stage", m).toInt(), accepted ? 3 : 0);
        QCOMPARE(pendingRows().contains(QString::number(m)), !accepted);
        QCOMPARE(main.SetInv->Rows() - 1, accepted ? 2 : 0);

        // With no data row current the dialog still shows, and nothing is written.
        main.PendInv->setCurrentCell(-1, -1);
        AnswerDate(paid);
        main.mnuProcessInv_Click();
        QCOMPARE(Count("SELECT count(*) FROM Billing WHERE Stage = 3"), accepted ? 2 : 0);
        main.close();
    }

    // The date typed over the invoice's (06/12 to 05/12) goes with Send, Process and Write Off,
    // so that the close has nothing to ask; payments, part ones too (dated as chosen, today
    // unless changed), are checked against it. A refused one stores nothing. The amount, the
    // largest with pence, is shown and kept to the penny.
    void stepsTakeTheEditedDate_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("day");    // of December 2026, the date dialog's answer
        QTest::addColumn<int>("stage");  // afterwards; the invoice is dated 5 unless 0
        const std::tuple<const char*, int, int> rows[] = {{"send", 9, 2},     {"process", 5, 3},
                                                          {"process", 4, 0},  {"write off", 0, 4},
                                                          {"part pay", 5, 0}, {"part pay", 4, 0}};
        for (const auto& [step, day, stage] : rows)
            QTest::addRow("%s on %d", step, day) << step << day << stage;
    }
    void stepsTakeTheEditedDate() {
        QFETCH(QString, step);
        QFETCH(int, day);
        QFETCH(int, stage);
        const Currency most = Currency::fromTicks(9223372036854775800);
        const int n = AddInvoice(c(), acme_, QDate(2026, 12, 6), most);
        frmInvoice* w = Open(n);
        QCOMPARE(w->FieldText(2), QStringLiteral("£922,337,203,685,477.58"));
        w->DTPDate->setDate(QDate(2026, 12, 5));
        QDate offered;
        if (day) AnswerDate(QDate(2026, 12, day), &offered);
        if (step == "part pay") env_->prompts().ExpectInput("worth?", QStringLiteral("50"));
        if (day == 4) env_->prompts().ExpectMsgBox("before Invoice Date (05/12/2026)");
        if (!day) env_->prompts().ExpectInput("What is the reason", QStringLiteral("Gone"));
        if (!stage) env_->prompts().ExpectMsgBox(QStringLiteral("Save the changes"), ui::vbNo);
        if (step == "part pay")
            Forms::get<frmPartPayment>()->MakePartPayment();
        else if (step == "send")
            w->SendInvoice();
        else
            day ? w->Process() : w->WriteOffInvoice();
        QCOMPARE(Bill("Stage", n).toInt(), stage);
        QCOMPARE(Bill("InvoiceAmount", n).value<Currency>(), most);
        QCOMPARE(Bill("BillingDate", n).toDateTime(), At(2026, 12, stage ? 5 : 6));
        QCOMPARE(QueryValue(c(), "SELECT max(Date) FROM billing_part_payment").toDateTime(),
                 step == "part pay" && day == 5 ? At(2026, 12, 5) : QDateTime());
        if (step != "send") QCOMPARE(offered, day ? QDate::currentDate() : QDate());
        w->reject();
        QVERIFY(w->isHidden() && env_->allPromptsAnswered());
    }

    void workIsRemovedExceptFromASentInvoice_data() {
        QTest::addColumn<int>("stage");
        QTest::newRow("saved") << 0;
        QTest::newRow("sent") << 2;
        QTest::newRow("paid") << 3;
    }
    void workIsRemovedExceptFromASentInvoice() {
        QFETCH(int, stage);
        const int n = AddInvoice(c(), acme_, QDate(2027, 1, 10), Pounds(30),
                                 {{QStringLiteral("Stage"), stage}});
        for (int i = 0; i < 3; ++i)
            AddJob(c(), acme_, At(2027, 1, 2 + i, 9), At(2027, 1, 2 + i, 10),
                   {{QStringLiteral("InvoiceNumber"), n}});
        frmInvoice* w = Open(n);
        if (stage == 2) env_->prompts().ExpectMsgBox(invoice::kNoRemovalWhenSent);
        w->InvGrid_MouseUp(Qt::RightButton, QPoint());
        QCOMPARE(w->mnuWrkCtxt->isVisible(), stage != 2);
        w->mnuWrkCtxt->hide();
        if (stage == 2) return;
        w->mnuRemoveOne_Click();
        QCOMPARE(
            Count(
                QStringLiteral("SELECT count(*) FROM JobDetails WHERE InvoiceNumber = %1").arg(n)),
            2);
        w->mnuRemoveAll_Click();
        QCOMPARE(Count("SELECT count(*) FROM JobDetails WHERE InvoiceNumber <> 0"), 0);
        QCOMPARE(Money("InvoiceAmount", n), 30.0);
    }

    void writeOffRecordsTheReasonAndCloses() {
        const int n =
            AddInvoice(c(), acme_, QDate(2027, 1, 10), Pounds(30),
                       {{QStringLiteral("InvoicePaymentDetails"), QStringLiteral("30 days")}});
        frmInvoice* w = Open(n);
        w->show();
        env_->prompts().ExpectInput(QStringLiteral("What is the reason"), QString());
        w->WriteOffInvoice();
        QCOMPARE(Bill("Stage", n).toInt(), 0);
        env_->prompts().ExpectInput(QStringLiteral("What is the reason"),
                                    QStringLiteral("Gone bust"));
        w->WriteOffInvoice();
        QCOMPARE(Bill("Stage", n).toInt(), 4);
        QVERIFY(Bill("InvoicePaymentDetails", n).toString().endsWith("Gone bust\r\n30 days"));
        QVERIFY(w->isHidden());
    }

    void attachListsOnlyTheCustomersOpenWork() {
        const int other = AddCompany(c(), QStringLiteral("Other"));
        const int in1 = AddJob(c(), acme_, At(2027, 1, 10, 22), At(2027, 1, 10, 23, 58));
        AddJob(c(), acme_, At(2027, 1, 10, 22), At(2027, 1, 10, 23, 59));
        AddJob(c(), acme_, At(2027, 1, 11, 9), At(2027, 1, 11, 10));
        AddJob(c(), other, At(2027, 1, 3, 9), At(2027, 1, 3, 10));
        AddJob(c(), acme_, At(2027, 1, 3, 9), At(2027, 1, 3, 10),
               {{QStringLiteral("Cancelled"), 1}});
        AddJob(c(), acme_, At(2027, 1, 3, 9), At(2027, 1, 3, 10),
               {{QStringLiteral("InvoiceNumber"), 999}});
        const int in2 = AddJob(c(), acme_, At(2027, 1, 4, 9), At(2027, 1, 4, 10),
                               {{QStringLiteral("SignedOff"), 1}});
        const int in3 = AddJob(c(), acme_, At(2027, 1, 5, 9), At(2027, 1, 5, 10));

        frmInvoice* w = Open(0);
        Choose(w, acme_);
        w->DTPDate->setDate(QDate(2027, 1, 10));
        env_->prompts().ExpectMsgBox(invoice::kAttachQuestion, ui::vbNo);
        w->AttachWork();
        QCOMPARE(Count("SELECT count(*) FROM Billing"), 0);

        QList<int> listed;
        QTimer::singleShot(0, [&] {
            Invoice_attach* a = Forms::find<Invoice_attach>();
            QVERIFY(a && a->isVisible());
            db::Recordset& rs = a->JobRecordset;
            for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
                listed << rs.Value(QStringLiteral("JobID")).toInt();
                QVERIFY(!rs.Value(QStringLiteral("SignedOff")).toBool());  // cleared on opening
            }
            // The moving keys stop at the ends.
            a->Form_KeyDown(Qt::Key_Down, Qt::ControlModifier);
            a->Form_KeyDown(Qt::Key_Down, Qt::NoModifier);
            QCOMPARE(rs.AbsolutePosition(), rs.RecordCount());
            a->Form_KeyDown(Qt::Key_Home, Qt::NoModifier);
            a->Form_KeyDown(Qt::Key_Up, Qt::NoModifier);
            QCOMPARE(rs.AbsolutePosition(), 1);
            a->mnuYes_Click();
            a->Form_KeyDown(Qt::Key_End, Qt::NoModifier);
            a->mnuYes_Click();
            a->Toolbar1_ButtonClick(QStringLiteral("btnAtt"));
        });
        env_->prompts().ExpectMsgBox(invoice::kAttachQuestion, ui::vbYes);
        w->AttachWork();
        std::sort(listed.begin(), listed.end());
        QCOMPARE(listed, (QList<int>{in1, in2, in3}));
        const int n = w->InvoiceNumber();
        QVERIFY(n > 0);
        QCOMPARE(w->EditorWorkRecordset.RecordCount(), 2);
        QCOMPARE(
            Count(
                QStringLiteral("SELECT count(*) FROM JobDetails WHERE InvoiceNumber = %1").arg(n)),
            2);

        // Nothing left to attach: said, and the window is never shown.
        QTimer::singleShot(0, [&] {
            QVERIFY(!Forms::find<Invoice_attach>() || !Forms::find<Invoice_attach>()->isVisible());
        });
        env_->prompts().ExpectMsgBox(invoice::kNoWorkFound);
        Choose(w, other);
        w->DTPDate->setDate(QDate(2027, 1, 2));
        w->AttachWork();
        QCOMPARE(w->EditorWorkRecordset.RecordCount(), 2);
    }

    void partPaymentsShowWhatIsOutstanding_data() {
        QTest::addColumn<double>("vat");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("no VAT") << 0.0 << "£250.00"
                                << "£150.00";
        QTest::newRow("VAT 20%") << 1.2 << "£350.00"
                                 << "£250.00";
    }
    void partPaymentsShowWhatIsOutstanding() {
        QFETCH(double, vat);
        QFETCH(QString, before);
        QFETCH(QString, after);
        VatMultiplier = vat;
        const int n = AddInvoice(c(), acme_, QDate(2027, 1, 10), Pounds(500));
        AddPartPayment(c(), n, QDate(2027, 2, 1), Pounds(100));
        AddPartPayment(c(), n, QDate(2027, 2, 8), Pounds(150));
        Open(n);
        frmPartPayment* p = Forms::get<frmPartPayment>();
        QCOMPARE(p->PayHist->Rows(), 3);
        QCOMPARE(p->PayHist->TextMatrix(1, 1), QStringLiteral("01/02/2027"));
        QCOMPARE(p->PayHist->TextMatrix(2, 2), QStringLiteral("£150.00"));
        QCOMPARE(p->txtOut->text(), before);
        for (const std::optional<QString>& nothing :
             {std::optional<QString>(), std::optional<QString>("0"),
              std::optional<QString>("lots")})
            env_->prompts().ExpectInput(QStringLiteral("How much is this payment worth?"), nothing);
        env_->prompts().ExpectMsgBox(QStringLiteral("\"lots\" is not an amount of money"));
        env_->prompts().ExpectInput(QStringLiteral("How much is this payment worth?"),
                                    QStringLiteral("100"));
        AnswerDate(QDate(2027, 2, 10));
        for (int i = 0; i < 4; ++i) p->MakePartPayment();
        QCOMPARE(Count("SELECT count(*) FROM billing_part_payment"), 3);
        QCOMPARE(p->txtOut->text(), after);
        QCOMPARE(p->PayHist->TextMatrix(3, 2), QStringLiteral("£100.00"));
    }

    void partPaymentsNeedASavedInvoice() {
        Open(0);
        frmPartPayment* p = Forms::get<frmPartPayment>();
        QCOMPARE(p->PayHist->Rows(), 1);
        QCOMPARE(p->txtOut->text(), QString());
        env_->prompts().ExpectMsgBox(invoice::kSaveBeforePartPayment);
        p->MakePartPayment();
        QCOMPARE(Count("SELECT count(*) FROM billing_part_payment"), 0);
    }

    // A toolbar step refused part-way (an amount that is none, the database refusing the row)
    // leaves the row as it was: the next Save stores only what the user put right.
    void aRefusedStepLeavesNothingForTheNextSave_data() {
        QTest::addColumn<QString>("key");      // btnComplete: the part-payment window's
        QTest::addColumn<QString>("typed");    // the amount box during the step
        QTest::addColumn<QString>("refusal");  // when the database refuses an update; "" never
        QTest::addColumn<QString>("message");
        QTest::newRow("Process with no amount") << "btnProcess" << "abc" << "" << "Type mismatch";
        QTest::newRow("Process refused") << "btnProcess" << "12" << "NEW.Stage = 3" << "refused";
        QTest::newRow("Complete with no amount") << "btnComplete" << "abc" << "" << "Type mismatch";
        QTest::newRow("Send refused") << "btnSend" << "12" << "NEW.Stage = 2" << "refused";
        QTest::newRow("Write Off refused") << "btnWO" << "12" << "NEW.Stage = 4" << "refused";
        QTest::newRow("Save refused") << "btnSave" << "12" << "1" << "refused";
    }
    void aRefusedStepLeavesNothingForTheNextSave() {
        QFETCH(QString, key);
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        QFETCH(QString, message);
        const int n = AddInvoice(c(), acme_, QDate(2027, 1, 10), Pounds(5),
                                 {{QStringLiteral("InvoicePaymentDetails"), QStringLiteral("30 days")}});
        if (!refusal.isEmpty())
            c().Execute(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON Billing WHEN ") +
                        refusal + QStringLiteral(" BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        frmInvoice* w = Open(n);
        w->show();
        SetText(w, 2, typed);
        if (key == "btnWO") env_->prompts().ExpectInput(QStringLiteral("reason"), QStringLiteral("Gone bust"));
        if (key != "btnSave" && key != "btnWO") AnswerDate(QDate(2027, 2, 1));
        env_->prompts().ExpectMsgBox(message);
        if (key == "btnComplete")
            Forms::get<frmPartPayment>(w)->Toolbar1_ButtonClick(key);
        else
            w->Toolbar1_ButtonClick(key);
        QVERIFY(env_->allPromptsAnswered());
        QVERIFY(w->isVisible());
        c().Execute(QStringLiteral("DROP TRIGGER IF EXISTS refuse"));
        SetText(w, 2, QStringLiteral("12"));
        QVERIFY(w->SaveInvoice());
        QCOMPARE(Money("InvoiceAmount", n), 12.0);
        QCOMPARE(Bill("Stage", n).toInt(), 0);
        QVERIFY(db::IsNull(Bill("PaymentDate", n)));
        QVERIFY(db::IsNull(Bill("PaymentDueDate", n)));
        QCOMPARE(Bill("InvoicePaymentDetails", n).toString(), QStringLiteral("30 days"));
    }

    // Sums and VAT beyond the currency's range say "Overflow" and store nothing; the largest
    // amount's own text is taken back on Save.
    void hugeAmountsOverflowRatherThanWrap_data() {
        QTest::addColumn<QString>("road");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("vat");
        QTest::addColumn<QString>("shown");    // the box the road ends on
        QTest::addColumn<QString>("message");  // shown on the way; "" none
        QTest::newRow("Calc of two 600-trillion fees") << "calc" << "" << 0.0 << "£5.00" << "Overflow";
        QTest::newRow("VAT on 800 trillion") << "vat" << "800000000000000" << 1.2 << "Overflow" << "";
        QTest::newRow("the largest") << "save" << "922337203685477.5807" << 0.0
                                     << "£922,337,203,685,477.58" << "";
        QTest::newRow("16-digit part payment") << "part" << "1234567890123456" << 0.0 << "£5.00"
                                               << "Overflow: \"1234567890123456\"";
        QTest::newRow("main window's totals") << "totals" << "" << 1.2 << "Overflow" << "";
    }
    void hugeAmountsOverflowRatherThanWrap() {
        QFETCH(QString, road);
        QFETCH(QString, typed);
        QFETCH(double, vat);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        VatMultiplier = vat;
        const Currency sixHundredTrillion = Currency::fromUnits(600000000000000);
        const int n = AddInvoice(c(), acme_, QDate::currentDate(), Pounds(5));
        if (road == "calc" || road == "totals")
            for (int i = 0; i < 2; ++i)
                AddJob(c(), acme_, At(2027, 1, 2, 9), At(2027, 1, 2, 10),
                       {{QStringLiteral("InvoiceNumber"), n},
                        {QStringLiteral("Fee"), QVariant::fromValue(sixHundredTrillion)}});
        if (road == "part")
            env_->prompts().ExpectInput(QStringLiteral("How much is this payment worth?"), typed);
        if (!message.isEmpty()) env_->prompts().ExpectMsgBox(message);
        if (road == "totals") {
            AddInvoice(c(), acme_, QDate::currentDate(), sixHundredTrillion);
            AddInvoice(c(), acme_, QDate::currentDate(), sixHundredTrillion);
            QVERIFY(com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY)));
            DbConnection().SetCursorLocation(db::adUseClient);
            QVERIFY(DbConnection().Open(env_->connectionString()));
            frmMain main;
            QCOMPARE(main.totPend->text(), shown);
            QCOMPARE(main.totPendVAT->text(), shown);
            return;
        }
        frmInvoice* w = Open(n);
        if (!typed.isEmpty() && road != "part") {
            SetText(w, 2, typed);
            w->txtFields_Validate(2);
        }
        if (road == "calc") w->btnCalc_Click();
        if (road == "save") {
            QCOMPARE(w->FieldText(2), shown);
            QVERIFY(w->SaveInvoice());
            QCOMPARE(Bill("InvoiceAmount", n).metaType(), QMetaType::fromType<Currency>());
            // Beyond about 900 billion the engine keeps the pence as a double: the pounds hold.
            QCOMPARE(Bill("InvoiceAmount", n).value<Currency>().pence().units,
                     ParseMoney(shown)->pence().units);
        }
        if (road == "part") {
            Forms::get<frmPartPayment>(w)->MakePartPayment();
            QCOMPARE(Count("SELECT count(*) FROM billing_part_payment"), 0);
        }
        QVERIFY(env_->allPromptsAnswered());
        QCOMPARE(road == "vat" ? w->txtFeeVAT->text() : w->FieldText(2), shown);
        if (road != "save") QCOMPARE(Money("InvoiceAmount", n), 5.0);
    }

    void dateDialogAcceptsOnlyOK() {
        frmInvoiceDue::DateAccepted = true;
        QTimer::singleShot(0, [] { Forms::find<frmInvoiceDue>()->close(); });
        QVERIFY(!AskInvoiceDate(nullptr, invoice::kDueQuestion, QDate(2027, 5, 6)));
        QVERIFY(!frmInvoiceDue::DateAccepted);
        QTimer::singleShot(0, [] { Forms::find<frmInvoiceDue>()->OKButton_Click(); });
        QCOMPARE(AskInvoiceDate(nullptr, invoice::kDueQuestion, QDate(2027, 5, 6)),
                 std::optional(QDate(2027, 5, 6)));
    }
};

QTEST_MAIN(TestInvoices)
#include "tst_invoices.moc"
