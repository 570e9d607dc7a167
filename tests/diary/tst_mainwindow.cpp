// The main window on a fixture database, with the real calendar control.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "accounts/Companies_with_Contacts.h"
#include "accounts/frmInvoice.h"
#include "core/amounts.h"
#include "core/formatting.h"
#include "core/flexgrid.h"
#include "core/forms.h"
#include "core/frmOptions.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "diary/Schedule.h"
#include "diary/frmMain.h"
#include "platform/com/com.h"
#include "platform/settings/settings.h"
#include "platform/ui/prompts.h"
#include "tests/support/testenv.h"

using db::Currency;
using testsupport::TestEnv;

namespace {

QDateTime At(int y, int m, int d, int h = 0) { return QDateTime(QDate(y, m, d), QTime(h, 0)); }

QString Setting(const QString& key) { return settings::GetSetting(AppTitle, QStringLiteral("Settings"), key); }

class StubbornWindow : public QWidget {
protected:
    void closeEvent(QCloseEvent* e) override { e->ignore(); }
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env_;

    std::unique_ptr<frmMain> Open() {
        DbConnection().SetCursorLocation(db::adUseClient);
        if (DbConnection().State() != db::adStateOpen) DbConnection().Open(env_->connectionString());
        return std::make_unique<frmMain>();
    }
    void ShowMonth(frmMain& w, int y, int m, int d = 1) {
        w.ViewDate = At(y, m, d, 12);
        w.ShowMonth();
    }
    QChar MaskLetter(frmMain& w, QDate day) {
        const QString mask = com::GetProperty(w.SchCal1, QStringLiteral("ColorMask")).toString();
        const int info = com::GetProperty(w.SchCal1, QStringLiteral("OutputInfo")).toInt();
        const int s = QString::number(info)[1].digitValue();
        const QDate first(day.year(), day.month(), 1);
        return mask.at(7 + s + first.daysTo(day));
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() {
        env_ = std::make_unique<TestEnv>();
        SetProgramFolder(env_->programFolder());
        QVERIFY(com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY)));
        VatMultiplier = 0;
    }
    void cleanup() {
        DbConnection().Close();
        env_.reset();
    }

    void firstRunDefaults() {
        auto w = Open();
        QVERIFY(w->SchCal1);
        QCOMPARE(w->size(), QSize(10000 / 15, 6500 / 15));
        QCOMPARE(w->pos(), QPoint(1800 / 15, 1000 / 15));
        QCOMPARE(w->MainTabctl->currentIndex(), 0);
        QCOMPARE(w->MainTabctl->tabText(0), QStringLiteral("My Appointments"));
        QCOMPARE(w->MainTabctl->tabText(1), QStringLiteral("Invoice Tracker"));
        QCOMPARE(com::GetProperty(w->SchCal1, QStringLiteral("Color_A")).toUInt(), 0xFFFFFFu);
        QCOMPARE(com::GetProperty(w->SchCal1, QStringLiteral("Color_B")).toUInt(), 0xC0C0C0u);
        QCOMPARE(com::GetProperty(w->SchCal1, QStringLiteral("Color_C")).toUInt(), 0xFF0000u);
        QCOMPARE(com::GetProperty(w->SchCal1, QStringLiteral("Color_D")).toUInt(), 255u);
        QCOMPARE(com::GetProperty(w->SchCal1, QStringLiteral("TodayColor")).toUInt(), 0xFF00FFu);
        QCOMPARE(w->YearCbo->count(), 11);
        QCOMPARE(w->YearCbo->itemText(0).toInt(), QDate::currentDate().year() + 2);
        QCOMPARE(OwnerCompanyName, QStringLiteral("Go to View, Options to set Company Name"));
        // Loading again (after Options) does not double the year lists.
        w->Form_Load();
        QCOMPARE(w->YearCbo->count(), 11);
        QCOMPARE(w->FnYearCbo->count(), 11);
    }

    void monthGridAndMask() {
        db::Connection& c = env_->connection();
        const int acme = testsupport::AddCompany(c, QStringLiteral("Builders' Supplies"));
        testsupport::AddJob(c, acme, At(2026, 1, 5, 9), At(2026, 1, 5, 10));
        testsupport::AddJob(c, acme, At(2026, 1, 6, 9), At(2026, 1, 6, 11));
        testsupport::AddJob(c, acme, At(2026, 1, 6, 10), At(2026, 1, 6, 12));
        testsupport::AddJob(c, acme, At(2026, 1, 7, 9), At(2026, 1, 7, 10), {{QStringLiteral("Cancelled"), true}});
        testsupport::AddJob(c, acme, At(2026, 2, 3, 9), At(2026, 2, 3, 10));
        auto w = Open();
        ShowMonth(*w, 2026, 1, 20);
        QCOMPARE(w->AppGrid->model()->rowCount(), 3);
        QVERIFY(w->AppGrid->isColumnHidden(0));
        QCOMPARE(w->AppGrid->model()->index(0, 4).data().toString(), QStringLiteral("Builders' Supplies"));
        QCOMPARE(com::GetProperty(w->SchCal1, QStringLiteral("MonthIN")).toInt(), 1);
        QCOMPARE(com::GetProperty(w->SchCal1, QStringLiteral("YearIN")).toInt(), 2026);
        QCOMPARE(com::GetProperty(w->SchCal1, QStringLiteral("ColorMask")).toString().size(), 49);
        QCOMPARE(MaskLetter(*w, QDate(2026, 1, 5)), QChar(u'C'));
        QCOMPARE(MaskLetter(*w, QDate(2026, 1, 6)), QChar(u'D'));
        QCOMPARE(MaskLetter(*w, QDate(2026, 1, 7)), QChar(u'A'));  // cancelled
        QCOMPARE(MaskLetter(*w, QDate(2026, 1, 8)), QChar(u'A'));
        // The mask is read without moving the grid's record set.
        w->AppointmentRecordset.MoveLast();
        w->BuildCalendarColourMask();
        QCOMPARE(w->AppointmentRecordset.AbsolutePosition(), 3);
    }

    void navigationAcrossYearEnds() {
        auto w = Open();
        ShowMonth(*w, 2025, 12, 15);
        w->NextMon_Click();
        QCOMPARE(w->ViewDate.date(), QDate(2026, 1, 1));
        QCOMPARE(w->MonthCbo->currentIndex(), 0);
        QCOMPARE(w->YearCbo->currentText(), QStringLiteral("2026"));
        QCOMPARE(com::GetProperty(w->SchCal1, QStringLiteral("YearIN")).toInt(), 2026);
        w->PrevMon_Click();
        QCOMPARE(w->ViewDate.date(), QDate(2025, 12, 1));
        QCOMPARE(w->YearCbo->currentText(), QStringLiteral("2025"));
        QCOMPARE(com::GetProperty(w->SchCal1, QStringLiteral("MonthIN")).toInt(), 12);

        ShowMonth(*w, 2026, 1, 31);
        w->NextMon_Click();
        QCOMPARE(w->ViewDate.date(), QDate(2026, 2, 1));

        w->MonthCbo->setCurrentIndex(6);  // as a user picks July
        QCOMPARE(w->ViewDate.date(), QDate(2026, 7, 1));

        w->YearCbo->setEditText(QStringLiteral("2031"));
        w->YearCbo_Click();
        QCOMPARE(w->ViewDate.date(), QDate(2031, 7, 1));
        w->YearCbo->setEditText(QStringLiteral("abc"));
        w->YearCbo_LostFocus();
        QCOMPARE(w->ViewDate.date(), QDate(2031, 7, 1));
        QCOMPARE(w->YearCbo->currentText(), QStringLiteral("2031"));
    }

    // The window moves only to months the calendar can show, so the two never disagree.
    void yearsTheCalendarShows_data() {
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QString>("typed");  // empty: no typing
        QTest::addColumn<int>("step");       // months moved with the arrows
        QTest::addColumn<QDate>("shown");
        QTest::newRow("1899 typed") << QDate(2026, 5, 1) << "1899" << 0 << QDate(2026, 5, 1);
        QTest::newRow("2200 typed") << QDate(2026, 5, 1) << "2200" << 0 << QDate(2026, 5, 1);
        QTest::newRow("2199 typed") << QDate(2026, 5, 1) << "2199" << 0 << QDate(2199, 5, 1);
        QTest::newRow("next after December 2199")
            << QDate(2199, 12, 1) << "" << 1 << QDate(2199, 12, 1);
        QTest::newRow("previous before January 1900")
            << QDate(1900, 1, 1) << "" << -1 << QDate(1900, 1, 1);
    }
    void yearsTheCalendarShows() {
        QFETCH(QDate, start);
        QFETCH(QString, typed);
        QFETCH(int, step);
        QFETCH(QDate, shown);
        auto w = Open();
        ShowMonth(*w, start.year(), start.month());
        if (!typed.isEmpty()) {
            w->YearCbo->setEditText(typed);
            w->YearCbo_LostFocus();
        }
        if (step > 0) w->NextMon_Click();
        if (step < 0) w->PrevMon_Click();
        QCOMPARE(w->ViewDate.date(), shown);
        QCOMPARE(w->YearCbo->currentText(), QString::number(shown.year()));
        QCOMPARE(w->MonthCbo->currentIndex(), shown.month() - 1);
        QCOMPARE(com::GetProperty(w->SchCal1, QStringLiteral("YearIN")).toInt(), shown.year());
        QCOMPARE(com::GetProperty(w->SchCal1, QStringLiteral("MonthIN")).toInt(), shown.month());
    }

    // A user for whom the calendar is not registered: the library beside the program is
    // registered at start-up, as an installer would.
    void calendarRegisteredAtStart() {
        com::UnregisterComponent(QStringLiteral("Gyrodate.Orbicle"));
        const QString shipped =
            QDir(env_->programFolder()).filePath(QStringLiteral("libOrbicle.so"));
        QVERIFY(QFile::copy(QStringLiteral(ORBICLE_LIBRARY), shipped));
        auto w = Open();
        QVERIFY(w->SchCal1);
        const auto entry = com::FindComponent(QStringLiteral("Gyrodate.Orbicle"));
        QVERIFY(entry);
        QCOMPARE(entry->library, QFileInfo(shipped).absoluteFilePath());
    }

    void placeStoredOffScreenIsBroughtBack() {
        settings::SaveSetting(AppTitle, QStringLiteral("Settings"), QStringLiteral("MainLeft"),
                              QStringLiteral("60000"));
        settings::SaveSetting(AppTitle, QStringLiteral("Settings"), QStringLiteral("MainTop"),
                              QStringLiteral("-30000"));
        auto w = Open();
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(available.contains(QRect(w->pos(), w->size())),
                 qPrintable(QStringLiteral("%1,%2").arg(w->x()).arg(w->y())));
        QCOMPARE(w->size(), QSize(10000 / 15, 6500 / 15));
    }

    void invoiceListsWithVat() {
        db::Connection& c = env_->connection();
        testsupport::SetSystemRow(c, QStringLiteral("CurrentFnYear"), QStringLiteral("2025"));
        testsupport::SetSystemRow(c, QStringLiteral("FinYearMonth"), QStringLiteral("3"));
        testsupport::SetSystemRow(c, QStringLiteral("FinYearDay"), QStringLiteral("1"));
        settings::SaveSetting(AppTitle, QStringLiteral("settings"), QStringLiteral("OverDueColour"), QStringLiteral("255"));
        const int acme = testsupport::AddCompany(c, QStringLiteral("Acme"));
        testsupport::AddInvoice(c, acme, QDate(2025, 4, 1), Currency::fromUnits(100));
        testsupport::AddInvoice(c, acme, QDate(2026, 3, 31), Currency::fromUnits(50),
                                {{QStringLiteral("Stage"), 2}, {QStringLiteral("PaymentDueDate"), At(2020, 1, 1)}});
        testsupport::AddInvoice(c, acme, QDate(2025, 6, 1), Currency::fromUnits(200),
                                {{QStringLiteral("Stage"), 3}, {QStringLiteral("PaymentDate"), At(2025, 7, 1)}});
        testsupport::AddInvoice(c, acme, QDate(2025, 6, 2), Currency::fromUnits(999), {{QStringLiteral("Stage"), 4}});
        testsupport::AddInvoice(c, acme, QDate(2026, 4, 1), Currency::fromUnits(999), {{QStringLiteral("Stage"), 2}});
        VatMultiplier = 1.2;
        auto w = Open();
        QCOMPARE(FinYearStart, QDate(2025, 4, 1));
        QCOMPARE(w->PendInv->Rows(), 3);  // header and two invoices
        QCOMPARE(w->PendInv->TextMatrix(0, 7), QStringLiteral("Inc VAT"));
        QCOMPARE(w->PendInv->TextMatrix(1, 5), QStringLiteral("£100.00"));
        QCOMPARE(w->PendInv->TextMatrix(1, 7), QStringLiteral("£120.00"));
        QCOMPARE(w->PendInv->TextMatrix(1, 2), QStringLiteral("01/04/2025"));
        QCOMPARE(w->totPend->text(), QStringLiteral("£150.00"));
        QCOMPARE(w->totPendVAT->text(), QStringLiteral("£180.00"));
        QCOMPARE(w->SetInv->Rows(), 2);
        QCOMPARE(w->SetInv->TextMatrix(1, 4), QStringLiteral("01/07/2025"));
        QCOMPARE(w->totSet->text(), QStringLiteral("£200.00"));
        QCOMPARE(w->totSetVat->text(), QStringLiteral("£240.00"));
        QCOMPARE(w->PendInv->ColWidth(6), 0);
        QCOMPARE(w->PendInv->ColWidth(4), 0);
        QCOMPARE(w->SetInv->ColWidth(3), 0);
        // The row due in 2020 is overdue; the one without a due date is not.
        const int overdueRow = w->PendInv->TextMatrix(1, 5) == QStringLiteral("£50.00") ? 1 : 2;
        QCOMPARE(w->PendInv->item(overdueRow - 1, 0)->background().color(), QColor(255, 0, 0));
        QCOMPARE(w->PendInv->item(2 - overdueRow, 0)->background().style(), Qt::NoBrush);
        w->MainTabctl->setCurrentIndex(1);
        QVERIFY(!w->lblPendVAT->isHidden());
        QVERIFY(w->FnYearCbo->toolTip().contains(QStringLiteral("01/04/2025")));
        QVERIFY(w->FnYearCbo->toolTip().contains(QStringLiteral("31/03/2026")));

        // Another financial year.
        w->FnYearCbo->setCurrentIndex(w->FnYearCbo->findText(QStringLiteral("2026")));
        w->FnYearCbo_Click();
        QCOMPARE(FinYearStart, QDate(2026, 4, 1));
        QCOMPARE(w->PendInv->Rows(), 2);
        QCOMPARE(w->totSet->text(), QStringLiteral("0"));
    }

    void withoutVatOneMoneyColumn() {
        db::Connection& c = env_->connection();
        const int acme = testsupport::AddCompany(c, QStringLiteral("Acme"));
        testsupport::AddInvoice(c, acme, QDate::currentDate(), Currency::fromUnits(10));
        auto w = Open();
        w->MainTabctl->setCurrentIndex(1);
        QCOMPARE(w->PendInv->Cols(), 7);
        QVERIFY(w->lblPendVAT->isHidden());
        QVERIFY(w->totSetVat->isHidden());
        QVERIFY(!w->totPend->isHidden());
    }

    // A column the user never sized is as wide as the design gives it, or as its heading
    // needs when that is wider ("Payment Due On"); a saved width is kept even when narrower.
    void unsizedColumnsFitTheirHeadings() {
        settings::SaveSetting(AppTitle, QStringLiteral("Settings"), QStringLiteral("Pend Col 1 Width"), QStringLiteral("900"));
        auto w = Open();
        QCOMPARE(w->PendInv->ColWidth(1), 900);
        QVERIFY(w->PendInv->HeadingWidth(3) > 1500);
        for (int col : {0, 2, 3, 5}) QCOMPARE(w->PendInv->ColWidth(col), std::max(1500, w->PendInv->HeadingWidth(col)));
        for (int col : {0, 1, 2, 4}) QCOMPARE(w->SetInv->ColWidth(col), std::max(1500, w->SetInv->HeadingWidth(col)));
    }

    // Unsized columns show their contents whole and are not kept as the user's widths, so they
    // fit again next time; the two invoice lists share the height until the bar is moved.
    void unsizedColumnsFitTheirContents() {
        const int acme = testsupport::AddCompany(env_->connection(), QStringLiteral("Acme"));
        testsupport::AddJob(env_->connection(), acme, QDateTime::currentDateTime(), QDateTime::currentDateTime());
        auto w = Open();
        w->show();
        QVERIFY(w->AppGrid->columnWidth(1) > w->AppGrid->fontMetrics().horizontalAdvance("01/12/2026 09:00"));
        w->MainTabctl->setCurrentIndex(1);
        QVERIFY(qAbs(w->PendInv->height() - w->SetInv->height()) <= 1);
        w->SaveLayout();
        for (const char* key : {"Calendar Col 1 Width", "Pend Col 1 Width", "Split"}) QCOMPARE(Setting(key), QString());
    }

    void layoutIsSavedAndRestoredColumnByColumn() {
        db::Connection& c = env_->connection();
        const int acme = testsupport::AddCompany(c, QStringLiteral("Acme"));
        testsupport::AddInvoice(c, acme, QDate::currentDate(), Currency::fromUnits(10));
        testsupport::AddJob(c, acme, QDateTime::currentDateTime(), QDateTime::currentDateTime().addSecs(3600));
        {
            auto w = Open();
            w->PendInv->SetColWidth(0, 1200);
            w->PendInv->SetColWidth(1, 3000);
            w->SetInv->SetColWidth(2, 2400);
            w->AppGrid->setColumnWidth(3, 120);
            w->MainTabctl->setCurrentIndex(1);
            w->SaveLayout();
        }
        QCOMPARE(settings::GetSetting(AppTitle, QStringLiteral("settings"), QStringLiteral("Pend Col 0 Width")), QStringLiteral("1200"));
        QCOMPARE(Setting(QStringLiteral("Pend Col 1 Width")), QStringLiteral("3000"));
        QCOMPARE(Setting(QStringLiteral("Calendar Col 3 Width")), QStringLiteral("1800"));
        QCOMPARE(Setting(QStringLiteral("Calendar Col 0 Width")), QString());  // hidden: not saved
        QCOMPARE(Setting(QStringLiteral("Maintabctl")), QStringLiteral("1"));
        QCOMPARE(Setting(QStringLiteral("MainWidth")), QStringLiteral("9990"));  // whole pixels
        QCOMPARE(testsupport::QueryValue(c, QStringLiteral("SELECT Value FROM System WHERE FieldName = 'CurrentFnYear'")).toString(),
                 QString::number(FinYearStart.year()));
        auto again = Open();
        QCOMPARE(again->PendInv->ColWidth(0), 1200);
        QCOMPARE(again->PendInv->ColWidth(1), 3000);
        QCOMPARE(again->SetInv->ColWidth(2), 2400);
        QCOMPARE(again->AppGrid->columnWidth(3), 120);
        QCOMPARE(again->MainTabctl->currentIndex(), 1);
    }

    void splitterBarIsGrabbedAndDragged() {
        auto w = Open();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->MainTabctl->setCurrentIndex(1);
        QWidget* area = w->centralWidget();
        // A click on the bar lands on the bar, not on the tab control behind it.
        QCOMPARE(area->childAt(w->picSplit->geometry().center()), w->picSplit);
        const int y = w->picSplit->y();
        const int pending = w->PendInv->height();
        const int settled = w->SetInv->height();
        QTest::mousePress(w->picSplit, Qt::LeftButton, {}, QPoint(10, 1));
        QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(100, y + 1 + 20));
        QCOMPARE(w->picSplit->y(), y + 20);
        QCOMPARE(w->PendInv->height(), pending + 20);
        QCOMPARE(w->SetInv->height(), settled - 20);
        QCOMPARE(area->childAt(w->picSplit->geometry().center()), w->picSplit);
    }

    void storedYearOutsideTheListIsKept() {
        db::Connection& c = env_->connection();
        testsupport::SetSystemRow(c, QStringLiteral("CurrentFnYear"), QStringLiteral("2001"));
        auto w = Open();
        QCOMPARE(w->FnYearCbo->currentText(), QStringLiteral("2001"));
        QCOMPARE(FinYearStart, QDate(2001, 4, 1));
        w->SaveLayout();
        QCOMPARE(testsupport::QueryValue(c, QStringLiteral("SELECT Value FROM System WHERE FieldName = 'CurrentFnYear'")).toString(),
                 QStringLiteral("2001"));
    }

    void closingClosesTheConnection() {
        auto w = Open();
        w->show();
        QVERIFY(w->close());
        QCOMPARE(w->AppointmentRecordset.State(), int(db::adStateClosed));
        QCOMPARE(w->BillingRecordset.State(), int(db::adStateClosed));
        QCOMPARE(DbConnection().State(), int(db::adStateClosed));
    }

    void aWindowThatKeepsItsEditsStopsTheClose() {
        auto w = Open();
        w->show();
        StubbornWindow other;
        other.show();
        QVERIFY(!w->close());
        QCOMPARE(DbConnection().State(), int(db::adStateOpen));
        QVERIFY(w->isVisible());
    }

    void customersOpenBesideAndCloseFirst() {
        testsupport::AddCompany(env_->connection(), QStringLiteral("Acme"));
        auto w = Open();
        w->show();
        w->ui().mnuViewCompanies->trigger();
        auto* customers = Forms::find<Companies_with_Contacts>();
        QVERIFY(customers && customers->isVisible());
        QVERIFY(!customers->isModal());
        QVERIFY(w->close());
        QVERIFY(!Forms::find<Companies_with_Contacts>() || !Forms::find<Companies_with_Contacts>()->isVisible());
        QCOMPARE(DbConnection().State(), int(db::adStateClosed));
    }

    void customersWithEditsCanStopTheClose() {
        testsupport::AddCompany(env_->connection(), QStringLiteral("Acme"));
        auto w = Open();
        w->show();
        w->ui().mnuViewCompanies->trigger();
        auto* customers = Forms::find<Companies_with_Contacts>();
        QTest::keyClicks(customers->Text1, QStringLiteral("0113 496 0000"));
        env_->prompts().ExpectMsgBox(QStringLiteral("Save the changes to Acme?"), ui::vbCancel);
        QVERIFY(!w->close());
        QVERIFY(customers->isVisible() && w->isVisible());
        QCOMPARE(DbConnection().State(), int(db::adStateOpen));
        env_->prompts().ExpectMsgBox(QStringLiteral("Save the changes to Acme?"), ui::vbYes);
        QVERIFY(w->close());
        QCOMPARE(testsupport::QueryValue(env_->connection(),
                                         QStringLiteral("SELECT Telephone1 FROM Companies"))
                     .toString(),
                 QStringLiteral("0113 496 0000"));
    }

    // The place the window was left in comes back after Options and after a restart, and a
    // maximised window stays maximised.
    void placeSurvivesOptionsAndRestarts_data() {
        QTest::addColumn<bool>("maximised");
        QTest::newRow("normal") << false;
        QTest::newRow("maximised") << true;
    }
    void placeSurvivesOptionsAndRestarts() {
        QFETCH(bool, maximised);
        const QRect place(40, 30, 600, 400);
        auto w = Open();
        w->setGeometry(place);
        maximised ? w->showMaximized() : w->show();
        for (int round = 0; round < 4; ++round) {
            if (round < 2) {
                QTimer::singleShot(0, [] { Forms::find<frmOptions>()->cmdCancel_Click(); });
                w->ui().mnuViewConfig->trigger();
            } else {
                w->close();
                w = Open();
                w->show();
            }
            QCOMPARE(w->isMaximized(), maximised);
            QCOMPARE(maximised ? w->normalGeometry() : w->geometry(), place);
        }
    }

    // What the first run's Options dialog saves is used at once, as after Tools, Options; a
    // right-click on the pending list then leaves its current row for the pop-up to act on.
    void firstRunOptionsAndThePendingPopUp() {
        db::Connection& c = env_->connection();
        const int acme = testsupport::AddCompany(c, QStringLiteral("Acme"));
        // Dated inside the year that starts on 1 December (which excludes its first day).
        const QDate today = QDate::currentDate();
        const QDate dated = today.month() == 12 && today.day() == 1 ? today.addDays(1) : today;
        testsupport::AddInvoice(c, acme, dated, Currency::fromUnits(10));
        testsupport::AddInvoice(c, acme, dated, Currency::fromUnits(20));
        auto w = Open();
        w->MainTabctl->setCurrentIndex(1);
        w->show();
        env_->prompts().ExpectMsgBox(QStringLiteral("information about you / your company missing"));
        QTimer::singleShot(0, [] {
            frmOptions* f = Forms::find<frmOptions>();
            for (QLineEdit* box : {f->MyCpyNme, f->myPostcode, f->txtmyEmail}) box->setText(QStringLiteral("x"));
            f->myAddress->setPlainText(QStringLiteral("1 Mill Lane"));
            f->cboDay->setCurrentIndex(0);
            f->cboMonth->setCurrentIndex(11);
            f->cmdOK_Click();
        });
        w->CheckOwnerDetailsAtStart();
        QCOMPARE(FinYearStart.month(), 12);
        QVERIFY(w->FnYearCbo->toolTip().startsWith(QStringLiteral("From 01/12/")));
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->PendInv->setCurrentCell(0, 0);
        QTest::mouseClick(w->PendInv->viewport(), Qt::RightButton, {}, w->PendInv->visualRect(w->PendInv->model()->index(1, 1)).center());
        QVERIFY(w->mnuCxtInvoice->isVisible());
        w->mnuCxtInvoice->close();
        QCOMPARE(w->PendInv->Row(), 1);
    }

    void optionsReloadTheWindowEvenWhenCancelled() {
        auto w = Open();
        ShowMonth(*w, 2024, 2, 10);
        QTimer::singleShot(0, [] {
            // A colour changed in the store while the dialog is open, then Cancel.
            catalogue::WriteColour(catalogue::FreeColour, 0x00FF00);
            Forms::find<frmOptions>()->cmdCancel_Click();
        });
        w->ui().mnuViewConfig->trigger();
        QCOMPARE(w->ViewDate.date().month(), QDate::currentDate().month());
        QCOMPARE(com::GetProperty(w->SchCal1, QStringLiteral("Color_A")).toUInt(), 0x00FF00u);
        QCOMPARE(com::GetProperty(w->SchCal1, QStringLiteral("YearIN")).toInt(), QDate::currentDate().year());
        QCOMPARE(w->YearCbo->count(), 11);
    }

    // What an editor writes shows once it closes, whichever table it wrote and whoever else
    // wrote meanwhile; the totals follow the invoices that changed.
    void refreshAfterAnEditor_data() {
        QTest::addColumn<bool>("invoiceEditor");
        QTest::addColumn<QString>("write");  // run while the editor is open
        QTest::addColumn<bool>("otherProgram");
        QTest::addColumn<QString>("invoiced");  // "Invoiced?" of the appointment
        QTest::addColumn<QString>("customer");  // its customer as the grid and the lists show it
        QTest::addColumn<int>("pendingRows");
        QTest::addColumn<QString>("pendingTotal");
        QTest::addColumn<QString>("settledTotal");
        const QString attach = QStringLiteral("UPDATE JobDetails SET InvoiceNumber = :pending WHERE JobID = :job");
        QTest::newRow("work attached") << true << attach << false << "Yes" << "Acme" << 2 << "£150.00" << "£200.00";
        QTest::newRow("nothing written") << true << QString() << false << "No" << "Acme" << 2 << "£150.00" << "£200.00";
        QTest::newRow("invoice paid")
            << true << QStringLiteral("UPDATE Billing SET Stage = 3, PaymentDate = '2025-07-01' WHERE InvoiceNumber = :pending")
            << false << "No" << "Acme" << 1 << "£50.00" << "£300.00";
        QTest::newRow("amount changed")
            << true << QStringLiteral("UPDATE Billing SET InvoiceAmount = 70 WHERE InvoiceNumber = :pending") << false
            << "No" << "Acme" << 2 << "£120.00" << "£200.00";
        QTest::newRow("invoice deleted")
            << true << QStringLiteral("DELETE FROM Billing WHERE InvoiceNumber = :settled") << false << "No" << "Acme" << 2
            << "£150.00" << "0";
        QTest::newRow("invoice added")
            << true << QStringLiteral("INSERT INTO Billing (CompanyID, BillingDate, InvoiceAmount, Stage) VALUES (:acme, '2025-09-01', 5, 2)")
            << false << "No" << "Acme" << 3 << "£155.00" << "£200.00";
        QTest::newRow("every invoice deleted at once")
            << true << QStringLiteral("DELETE FROM Billing") << false << "No" << "Acme" << 0 << "0" << "0";
        QTest::newRow("invoice of another year")
            << true << QStringLiteral("UPDATE Billing SET InvoiceAmount = 1 WHERE InvoiceNumber = :other") << false << "No"
            << "Acme" << 2 << "£150.00" << "£200.00";
        QTest::newRow("customer renamed")
            << false << QStringLiteral("UPDATE Companies SET CompanyName = 'Acme Ltd' WHERE CompanyID = :acme") << false
            << "No" << "Acme Ltd" << 2 << "£150.00" << "£200.00";
        QTest::newRow("attached by another program") << false << attach << true << "Yes" << "Acme" << 2 << "£150.00" << "£200.00";
        QTest::newRow("paid by another program")
            << false << QStringLiteral("UPDATE Billing SET Stage = 3 WHERE InvoiceNumber = :pending") << true << "No"
            << "Acme" << 1 << "£50.00" << "£300.00";
    }
    void refreshAfterAnEditor() {
        QFETCH(bool, invoiceEditor);
        QFETCH(QString, write);
        QFETCH(bool, otherProgram);
        db::Connection& c = env_->connection();
        testsupport::SetSystemRow(c, QStringLiteral("CurrentFnYear"), QStringLiteral("2025"));
        const int acme = testsupport::AddCompany(c, QStringLiteral("Acme"));
        const int job = testsupport::AddJob(c, acme, At(2025, 6, 2, 9), At(2025, 6, 2, 10));
        const int pending = testsupport::AddInvoice(c, acme, QDate(2025, 6, 1), Currency::fromUnits(100));
        testsupport::AddInvoice(c, acme, QDate(2025, 6, 3), Currency::fromUnits(50), {{QStringLiteral("Stage"), 2}});
        const int settled = testsupport::AddInvoice(c, acme, QDate(2025, 6, 4), Currency::fromUnits(200),
                                                    {{QStringLiteral("Stage"), 3}, {QStringLiteral("PaymentDate"), At(2025, 7, 1)}});
        const int other = testsupport::AddInvoice(c, acme, QDate(2024, 6, 1), Currency::fromUnits(30));
        auto w = Open();
        ShowMonth(*w, 2025, 6);
        QCOMPARE(w->AppGrid->model()->index(0, 7).data().toString(), QStringLiteral("No"));
        QCOMPARE(w->totPend->text(), QStringLiteral("£150.00"));

        QString sql = write;
        sql.replace(QStringLiteral(":pending"), QString::number(pending))
            .replace(QStringLiteral(":settled"), QString::number(settled))
            .replace(QStringLiteral(":other"), QString::number(other))
            .replace(QStringLiteral(":acme"), QString::number(acme))
            .replace(QStringLiteral(":job"), QString::number(job));
        bool written = true;
        QTimer::singleShot(0, [&] {
            if (!sql.isEmpty()) {
                if (otherProgram) {
                    db::Connection second;
                    written = second.Open(env_->connectionString()) && second.Execute(sql);
                } else {
                    written = DbConnection().Execute(sql);
                }
            }
            QWidget* editor = invoiceEditor ? static_cast<QWidget*>(Forms::find<frmInvoice>())
                                            : static_cast<QWidget*>(Forms::find<Schedule>());
            QVERIFY(editor && editor->isVisible());
            static_cast<QDialog*>(editor)->reject();
        });
        if (invoiceEditor) {
            w->PendInv->setCurrentCell(0, 0);
            w->PendInv_DblClick();
        } else {
            w->AppGrid_DblClick();
        }
        QVERIFY(written);
        QTEST(w->AppGrid->model()->index(0, 7).data().toString(), "invoiced");
        QTEST(w->AppGrid->model()->index(0, 4).data().toString(), "customer");
        QTEST(w->PendInv->Rows() - 1, "pendingRows");
        if (w->PendInv->Rows() > 1) QTEST(w->PendInv->TextMatrix(1, 1), "customer");
        QTEST(w->totPend->text(), "pendingTotal");
        QTEST(w->totSet->text(), "settledTotal");
        // The totals are those of the rows listed.
        db::Currency listed;
        for (int r = 1; r < w->PendInv->Rows(); ++r) listed = *listed.plus(w->PendInv->Value(r, 5).value<db::Currency>());
        if (w->PendInv->Rows() > 1) QCOMPARE(w->totPend->text(), FormatTotal(listed));
    }

    void worksWithoutTheCalendar() {
        com::UnregisterComponent(QStringLiteral("Gyrodate.Orbicle"));
        db::Connection& c = env_->connection();
        const int acme = testsupport::AddCompany(c, QStringLiteral("Acme"));
        testsupport::AddJob(c, acme, QDateTime::currentDateTime(), QDateTime::currentDateTime().addSecs(60));
        env_->prompts().ExpectMsgBox(QStringLiteral("The calendar could not be shown"));
        auto w = Open();
        QVERIFY(!w->SchCal1);
        QCOMPARE(w->AppGrid->model()->rowCount(), 1);
        w->NextMon_Click();
        QCOMPARE(w->AppGrid->model()->rowCount(), 0);
        auto second = Open();  // said once only
        QVERIFY(env_->allPromptsAnswered());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
