// The Options dialog on a fixture database and settings store, and the owner-details check.
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <memory>

#include "core/forms.h"
#include "core/frmOptions.h"
#include "core/globals.h"
#include "core/ownerdetails.h"
#include "core/settingscatalogue.h"
#include "platform/settings/settings.h"
#include "tests/support/testenv.h"

using testsupport::QueryValue;
using testsupport::SetSystemRow;
using testsupport::TestEnv;

namespace {

const QString kOwnerMessage = QStringLiteral(
    "There appears to be information about you / your company missing,\r\nplease fill in the "
    "details section of the "
    "options form.");
const QString kVatMessage =
    QStringLiteral("The VAT rate must be a number, for example 17.5 or 17.5%.");

QString Stored(const QString& section, const QString& key) {
    return settings::GetSetting(AppTitle, section, key);
}

QByteArray RedSquarePng() {
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 0));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace

class TestOptions : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;

    db::Connection& fixture() { return env->connection(); }
    QVariant Row(const QString& key) {
        return QueryValue(fixture(), QStringLiteral("SELECT Value FROM System WHERE FieldName = ?"),
                          {key});
    }
    int Rows(const QString& key) {
        return QueryValue(fixture(),
                          QStringLiteral("SELECT COUNT(*) FROM System WHERE FieldName = ?"), {key})
            .toInt();
    }
    frmOptions* Open() {
        frmOptions* f = Forms::get<frmOptions>();
        f->show();
        return f;
    }
    // Fills in what a save needs besides the control under test.
    void FillDetails(frmOptions* f) {
        f->MyCpyNme->setText(QStringLiteral("Acme Ltd"));
        f->myAddress->setPlainText(QStringLiteral("1 High Street\nSpringfield"));
        f->myPostcode->setText(QStringLiteral("AB1 2CD"));
        f->txtmyEmail->setText(QStringLiteral("me@acme.test"));
    }
    // What a refused save must leave alone.
    void VerifyNothingWritten() {
        QVERIFY(Stored(QStringLiteral("Settings"), QStringLiteral("BusyColour")).isNull());
        QVERIFY(
            Stored(QStringLiteral("settings"), QStringLiteral("Appointment Start Time")).isNull());
        QCOMPARE(QueryValue(fixture(), QStringLiteral("SELECT COUNT(*) FROM System")).toInt(), 0);
    }

  private slots:
    void init() {
        env = std::make_unique<TestEnv>();
        SetProgramFolder(env->programFolder());
        DbConnection().SetCursorLocation(db::adUseClient);
        QVERIFY(DbConnection().Open(env->connectionString()));
        OwnerCompanyName = QStringLiteral("unchanged");
        VatMultiplier = 0;
    }
    void cleanup() {
        Forms::unload<frmOptions>();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        DbConnection().Close();
        QVERIFY2(env->allPromptsAnswered(), "a scripted answer was not used");
        env.reset();
        SetProgramFolder(QString());
    }

    // Shown on a page, the dialog puts the focus in its first box; the swatches' page has none.
    void focusStartsInThePageShown_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("box");
        QTest::newRow("Details") << int(frmOptions::DetailsTab) << "MyCpyNme";
        QTest::newRow("Defaults") << int(frmOptions::DefaultsTab) << "txt_DefPayment";
        QTest::newRow("Appearance") << int(frmOptions::AppearanceTab) << "";
    }
    void focusStartsInThePageShown() {
        QFETCH(int, tab);
        QFETCH(QString, box);
        frmOptions* f = Forms::get<frmOptions>();
        f->tbsOptions->setCurrentIndex(tab - 1);
        f->show();
        QWidget* focus = f->focusWidget();
        const bool onPage = focus && f->picOptions[static_cast<size_t>(tab - 1)]->isAncestorOf(focus);
        QCOMPARE(onPage ? focus->objectName() : QString(), box);
    }

    // A database without the owner's rows and an empty store.
    void loadEmpty() {
        frmOptions* f = Open();
        QCOMPARE(f->tbsOptions->currentIndex(), 0);
        QVERIFY(f->picOptions[0]->isEnabled());
        QVERIFY(!f->picOptions[1]->isEnabled() && !f->picOptions[2]->isEnabled() &&
                !f->picOptions[3]->isEnabled());
        QCOMPARE(frmOptions::SwatchColour(f->FreeCal), 0xFFFFFFu);
        QCOMPARE(frmOptions::SwatchColour(f->BusyCal), 0xFF0000u);
        QCOMPARE(frmOptions::SwatchColour(f->ConfCal), 0x0000FFu);
        QCOMPARE(frmOptions::SwatchColour(f->HeadCol), 0xC0C0C0u);
        QCOMPARE(frmOptions::SwatchColour(f->TodayCol), 0xFF00FFu);
        QCOMPARE(frmOptions::SwatchColour(f->ODCol), 0xFFFFFFu);
        QCOMPARE(f->BusyCal->palette().color(QPalette::Window), QColor(0, 0, 255));
        QVERIFY(f->MyCpyNme->text().isEmpty() && f->myAddress->toPlainText().isEmpty());
        QVERIFY(f->myPostcode->text().isEmpty() && f->txtmyEmail->text().isEmpty());
        QCOMPARE(f->CpyLogo->pixmap().size(), QSize(73, 60));
        QVERIFY(!f->VATReg->isChecked());
        QCOMPARE(f->VATRate->text(), QStringLiteral("17.5"));
        QVERIFY(!f->VATRate->isEnabled());
        QCOMPARE(f->txtMilage->text(), QStringLiteral("39"));
        QVERIFY(f->cboDay->currentText().isEmpty() && f->cboMonth->currentText().isEmpty());
        QCOMPARE(f->cboDay->count(), 31);
        QVERIFY(f->OptCurrent->isChecked() && !f->OptAll->isChecked());
        QVERIFY(!f->ChkAdvPrint->isChecked());
        QCOMPARE(f->txtStart->text(), QStringLiteral("09:00"));
        QCOMPARE(f->txtFinish->text(), QStringLiteral("17:30"));
        QVERIFY(f->txt_DefPayment->text().isEmpty());
    }

    void loadFixture() {
        using namespace catalogue;
        QVERIFY(WriteText(BusyColour, QStringLiteral("65280")));
        QVERIFY(WriteText(OverDueColour, QStringLiteral("8421504")));
        QVERIFY(WriteText(FreeColour,
                          QStringLiteral("pink")));  // does not convert: the design value stays
        QVERIFY(WriteText(AdvancedPrint, QStringLiteral("1")));
        QVERIFY(WriteText(AppointmentStartTime, QStringLiteral("08:15")));
        QVERIFY(WriteText(AppointmentFinishTime, QStringLiteral("16:45")));
        QVERIFY(WriteText(OutstandingInvoiceDisplay, QStringLiteral("True")));
        SetSystemRow(fixture(), QStringLiteral("MyCompanyName"), QStringLiteral("Acme Ltd"));
        SetSystemRow(fixture(), QStringLiteral("MyAddress"),
                     QStringLiteral("1 High Street\r\nSpringfield"));
        SetSystemRow(fixture(), QStringLiteral("MyPostcode"), QStringLiteral("AB1 2CD"));
        SetSystemRow(fixture(), QStringLiteral("MYEMAIL"), QStringLiteral("me@acme.test"));
        SetSystemRow(fixture(), QStringLiteral("VATRate"), QStringLiteral("20%"));
        SetSystemRow(fixture(), QStringLiteral("FinYearDay"), QStringLiteral("6"));
        SetSystemRow(fixture(), QStringLiteral("FinYearMonth"), QStringLiteral("3"));
        SetSystemRow(fixture(), QStringLiteral("milage"), QStringLiteral("45"));
        SetSystemRow(fixture(), QStringLiteral("Payment_Terms"), QStringLiteral("30 days net"));
        testsupport::InsertRow(fixture(), QStringLiteral("System"),
                               {{QStringLiteral("FieldName"), QStringLiteral("MyCompanyLogo")},
                                {QStringLiteral("Image"), RedSquarePng()}});

        frmOptions* f = Open();
        QCOMPARE(frmOptions::SwatchColour(f->BusyCal), 65280u);
        QCOMPARE(frmOptions::SwatchColour(f->ODCol), 8421504u);
        QCOMPARE(frmOptions::SwatchColour(f->FreeCal), 0xFFFFFFu);
        QVERIFY(f->ChkAdvPrint->isChecked());
        QCOMPARE(f->txtStart->text(), QStringLiteral("08:15"));
        QCOMPARE(f->txtFinish->text(), QStringLiteral("16:45"));
        QVERIFY(f->OptAll->isChecked() && !f->OptCurrent->isChecked());
        QCOMPARE(f->MyCpyNme->text(), QStringLiteral("Acme Ltd"));
        QCOMPARE(f->myAddress->toPlainText(), QStringLiteral("1 High Street\nSpringfield"));
        QCOMPARE(f->myPostcode->text(), QStringLiteral("AB1 2CD"));
        QCOMPARE(f->txtmyEmail->text(), QStringLiteral("me@acme.test"));
        QVERIFY(f->VATReg->isChecked());
        QCOMPARE(f->VATRate->text(), QStringLiteral("20"));
        QVERIFY(f->VATRate->isEnabledTo(f->picOptions[2]));
        QCOMPARE(f->CpyLogo->pixmap().size(), QSize(10, 10));
        QCOMPARE(f->CpyLogo->pixmap().toImage().pixelColor(5, 5), QColor(255, 0, 0));
        QCOMPARE(f->cboDay->currentText(), QStringLiteral("6"));
        QCOMPARE(f->cboMonth->currentText(), QStringLiteral("April"));
        QCOMPARE(f->txtMilage->text(), QStringLiteral("45"));
        QCOMPARE(f->txt_DefPayment->text(), QStringLiteral("30 days net"));
    }

    // Every tab changed and saved with OK: the texts written, then the same values shown again.
    void saveRoundTrip() {
        frmOptions* f = Open();
        env->prompts().ExpectColor(0x00FF00).ExpectColor(0x808080);
        f->BusyCal_Click();
        f->ODCol_Click();
        FillDetails(f);
        f->VATReg->setChecked(true);
        f->VATRate->setText(QStringLiteral("17.5%"));
        f->cboDay->setEditText(QStringLiteral("6"));
        f->cboMonth->setCurrentIndex(3);
        f->txtMilage->setText(QStringLiteral("42"));
        f->OptAll->setChecked(true);
        f->ChkAdvPrint->setChecked(true);
        f->txt_DefPayment->setText(QStringLiteral("Payment within 30 days"));
        f->txtStart->setText(QStringLiteral("8:30"));
        f->txtFinish->setText(QStringLiteral("18:00"));
        f->cmdOK_Click();
        QVERIFY(!Forms::loaded<frmOptions>());

        QCOMPARE(Stored(QStringLiteral("Settings"), QStringLiteral("BusyColour")),
                 QStringLiteral("65280"));
        QCOMPARE(Stored(QStringLiteral("settings"), QStringLiteral("OverDueColour")),
                 QStringLiteral("8421504"));
        QCOMPARE(Stored(QStringLiteral("Settings"), QStringLiteral("FreeColour")),
                 QStringLiteral("16777215"));
        QCOMPARE(Stored(QStringLiteral("Settings"), QStringLiteral("ConflictColour")),
                 QStringLiteral("255"));
        QCOMPARE(Stored(QStringLiteral("Settings"), QStringLiteral("HeadingColour")),
                 QStringLiteral("12632256"));
        QCOMPARE(Stored(QStringLiteral("settings"), QStringLiteral("TodayColour")),
                 QStringLiteral("16711935"));
        QCOMPARE(Stored(QStringLiteral("settings"), QStringLiteral("AdvancedPrint")),
                 QStringLiteral("1"));
        QCOMPARE(Stored(QStringLiteral("settings"), QStringLiteral("Outstanding Invoice Display")),
                 QStringLiteral("True"));
        QCOMPARE(Stored(QStringLiteral("settings"), QStringLiteral("Appointment Start Time")),
                 QStringLiteral("08:30"));
        QCOMPARE(Stored(QStringLiteral("settings"), QStringLiteral("Appointment Finish Time")),
                 QStringLiteral("18:00"));
        QCOMPARE(Row(QStringLiteral("MyCompanyName")).toString(), QStringLiteral("Acme Ltd"));
        QCOMPARE(Row(QStringLiteral("MyAddress")).toString(),
                 QStringLiteral("1 High Street\r\nSpringfield"));
        QCOMPARE(Row(QStringLiteral("MyPostcode")).toString(), QStringLiteral("AB1 2CD"));
        QCOMPARE(Row(QStringLiteral("myemail")).toString(), QStringLiteral("me@acme.test"));
        QCOMPARE(Row(QStringLiteral("VATRate")).toString(), QStringLiteral("17.5%"));
        QCOMPARE(Row(QStringLiteral("FinYearDay")).toString(), QStringLiteral("6"));
        QCOMPARE(Row(QStringLiteral("FinYearMonth")).toString(), QStringLiteral("3"));
        QCOMPARE(Row(QStringLiteral("Milage")).toString(), QStringLiteral("42"));
        QCOMPARE(Row(QStringLiteral("Payment_Terms")).toString(),
                 QStringLiteral("Payment within 30 days"));
        QCOMPARE(Rows(QStringLiteral("MyCompanyLogo")), 0);
        QCOMPARE(OwnerCompanyName, QStringLiteral("Acme Ltd"));
        QCOMPARE(VatMultiplier, 1.175);

        // Saved once more without a change: still one row a key.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        f = Open();
        QCOMPARE(frmOptions::SwatchColour(f->BusyCal), 0x00FF00u);
        QCOMPARE(f->myAddress->toPlainText(), QStringLiteral("1 High Street\nSpringfield"));
        QCOMPARE(f->cboMonth->currentText(), QStringLiteral("April"));
        QCOMPARE(f->cboDay->currentText(), QStringLiteral("6"));
        QVERIFY(f->OptAll->isChecked() && f->ChkAdvPrint->isChecked() && f->VATReg->isChecked());
        f->cmdApply_Click();
        QVERIFY(Forms::loaded<frmOptions>());
        for (const char* key :
             {"MyCompanyName", "MyAddress", "VATRate", "FinYearMonth", "Milage", "Payment_Terms"})
            QCOMPARE(Rows(QString::fromLatin1(key)), 1);
        QCOMPARE(Row(QStringLiteral("MyAddress")).toString(),
                 QStringLiteral("1 High Street\r\nSpringfield"));
    }

    // OK on a database without the owner's rows adds the details, mileage and terms, and
    // nothing for VAT, the financial year (not chosen) or the logo.
    void saveEmpty() {
        frmOptions* f = Open();
        f->cmdOK_Click();
        QVERIFY(!Forms::loaded<frmOptions>());
        for (const char* key :
             {"MyCompanyName", "MyAddress", "MyPostcode", "myemail", "Payment_Terms"})
            QCOMPARE(Row(QString::fromLatin1(key)).toString(), QString());
        QCOMPARE(Rows(QStringLiteral("MyCompanyName")), 1);
        QCOMPARE(Row(QStringLiteral("Milage")).toString(), QStringLiteral("39"));
        QCOMPARE(Rows(QStringLiteral("VATRate")), 0);
        QCOMPARE(Rows(QStringLiteral("FinYearDay")), 0);
        QCOMPARE(Rows(QStringLiteral("FinYearMonth")), 0);
        QCOMPARE(Rows(QStringLiteral("MyCompanyLogo")), 0);
        QCOMPARE(Stored(QStringLiteral("settings"), QStringLiteral("Outstanding Invoice Display")),
                 QStringLiteral("False"));
        QCOMPARE(Stored(QStringLiteral("settings"), QStringLiteral("AdvancedPrint")),
                 QStringLiteral("0"));
        QCOMPARE(OwnerCompanyName, QString());
        QCOMPARE(VatMultiplier, 0.0);
    }

    void vatUntickedRemovesRow() {
        SetSystemRow(fixture(), QStringLiteral("VATRate"), QStringLiteral("20"));
        VatMultiplier = 1.2;
        frmOptions* f = Open();
        f->VATReg->setChecked(false);
        QVERIFY(!f->VATRate->isEnabledTo(f->picOptions[2]));
        f->cmdApply_Click();
        QCOMPARE(Rows(QStringLiteral("VATRate")), 0);
        QCOMPARE(VatMultiplier, 0.0);
        // Ticked again: the box comes back with the rate as it stands.
        f->VATReg->setChecked(true);
        QVERIFY(f->VATRate->isEnabledTo(f->picOptions[2]));
        f->cmdApply_Click();
        QCOMPARE(Row(QStringLiteral("VATRate")).toString(), QStringLiteral("20"));
        QCOMPARE(VatMultiplier, 1.2);
    }

    // A rate that is no number keeps VAT registration ticked and the dialog open.
    void vatRateRefused() {
        frmOptions* f = Open();
        FillDetails(f);
        f->VATReg->setChecked(true);
        f->VATRate->setText(QStringLiteral("abc"));
        env->prompts().ExpectMsgBox(kVatMessage);
        bool cancel = false;
        f->VATRate_Validate(cancel);
        QVERIFY(cancel);
        QVERIFY(f->VATReg->isChecked());
        QCOMPARE(f->VATRate->text(), QStringLiteral("abc"));

        env->prompts().ExpectMsgBox(kVatMessage);
        f->cmdOK_Click();
        QVERIFY(Forms::loaded<frmOptions>());
        QCOMPARE(f->tbsOptions->currentIndex(), 2);
        QCOMPARE(f->focusWidget(), static_cast<QWidget*>(f->VATRate));
        QCOMPARE(f->MyCpyNme->text(), QStringLiteral("Acme Ltd"));
        VerifyNothingWritten();
        QCOMPARE(OwnerCompanyName, QStringLiteral("unchanged"));

        // With "%" the rate passes; unticked, the text is not looked at.
        f->VATRate->setText(QStringLiteral("17.5%"));
        f->VATRate_Validate(cancel);
        QVERIFY(!cancel);
        f->VATRate->setText(QStringLiteral("abc"));
        f->VATReg->setChecked(false);
        f->VATRate_Validate(cancel);
        QVERIFY(!cancel);
        f->cmdOK_Click();
        QVERIFY(!Forms::loaded<frmOptions>());
        QCOMPARE(Rows(QStringLiteral("VATRate")), 0);
    }

    // Leaving the rate box for another control runs the check; the focus comes back.
    void vatRateCheckedOnLeaving() {
        frmOptions* f = Open();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        f->tbsOptions->setCurrentIndex(2);
        f->VATReg->setChecked(true);
        f->VATRate->setText(QStringLiteral("twenty"));
        f->VATRate->setFocus(Qt::OtherFocusReason);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f->VATRate));
        env->prompts().ExpectMsgBox(kVatMessage);
        f->txtMilage->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(env->prompts().pending(), 0);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f->VATRate));
        // Pressing Cancel is no leaving that needs a valid rate.
        f->cmdCancel->setFocus(Qt::MouseFocusReason);
        QTest::qWait(20);
        QCOMPARE(env->prompts().messages().size(), 1);
    }

    void finYearRefused_data() {
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("month");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("focusOnDay");
        QTest::newRow("31 April")
            << "31"
            << "April"
            << "The financial year cannot start on 31 April: choose a day from 1 to 30." << true;
        QTest::newRow("typed month unknown")
            << "5"
            << "Aprl"
            << "Choose the month in which the financial year starts." << false;
    }
    void finYearRefused() {
        QFETCH(QString, day);
        QFETCH(QString, month);
        QFETCH(QString, message);
        QFETCH(bool, focusOnDay);
        frmOptions* f = Open();
        FillDetails(f);
        f->cboDay->setEditText(day);
        f->cboMonth->setEditText(month);
        env->prompts().ExpectMsgBox(message);
        f->cmdOK_Click();
        QCOMPARE(env->prompts().messages(), QStringList{message});
        QVERIFY(Forms::loaded<frmOptions>());
        QCOMPARE(f->tbsOptions->currentIndex(), 2);
        QCOMPARE(f->focusWidget(), static_cast<QWidget*>(focusOnDay ? f->cboDay : f->cboMonth));
        QCOMPARE(f->cboDay->currentText(), day);
        VerifyNothingWritten();
    }

    void finYearTypedMonth() {
        frmOptions* f = Open();
        f->cboDay->setEditText(QStringLiteral("01"));
        f->cboMonth->setEditText(QStringLiteral("january"));
        f->cmdApply_Click();
        QCOMPARE(Row(QStringLiteral("FinYearDay")).toString(), QStringLiteral("1"));
        QCOMPARE(Row(QStringLiteral("FinYearMonth")).toString(), QStringLiteral("0"));
    }

    void timesRefused_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("finish");
        QTest::addColumn<QString>("message");
        const QString start = QStringLiteral(
            "The start time must be a time of day written as HH:MM, for example 09:00.");
        const QString finish = QStringLiteral(
            "The finish time must be a time of day written as HH:MM, for example 17:30.");
        QTest::newRow("start hour 25") << "25:00"
                                       << "17:30" << start;
        QTest::newRow("finish in words") << "09:00"
                                         << "half five" << finish;
    }
    void timesRefused() {
        QFETCH(QString, start);
        QFETCH(QString, finish);
        QFETCH(QString, message);
        frmOptions* f = Open();
        f->txtStart->setText(start);
        f->txtFinish->setText(finish);
        env->prompts().ExpectMsgBox(message);
        f->cmdOK_Click();
        QVERIFY(Forms::loaded<frmOptions>());
        QCOMPARE(f->tbsOptions->currentIndex(), 3);
        QCOMPARE(f->txtFinish->text(), finish);
        VerifyNothingWritten();
    }

    // The mileage rate is pence in the user's own form, kept in one form; else refused.
    void mileageRateChecked_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");  // empty = refused
        for (const char* refused : {"45p", "£0.45", "0,45", "", "1e3", "-0"})
            QTest::addRow("GB %s", refused) << "en_GB" << QString::fromUtf8(refused) << "";
        const char* const rows[][3] = {
            {"en_GB", " 45.5 ", "45.5"}, {"de_DE", "45,5", "45.5"}, {"de_DE", "45.5", ""}};
        for (const auto& r : rows) QTest::addRow("%s %s", r[0], r[1]) << r[0] << r[1] << r[2];
    }
    void mileageRateChecked() {
        QFETCH(QString, locale);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        const QLocale pinned;
        QLocale::setDefault(QLocale(locale));
        frmOptions* f = Open();
        FillDetails(f);
        f->txtMilage->setText(typed);
        if (stored.isEmpty())
            env->prompts().ExpectMsgBox(QStringLiteral("The mileage rate must be"));
        f->cmdApply_Click();
        QLocale::setDefault(pinned);
        if (stored.isEmpty())
            VerifyNothingWritten();
        else
            QCOMPARE(Row(QStringLiteral("Milage")).toString(), stored);
    }

    // The colour dialog opens at the swatch's colour; Cancel changes nothing.
    void colourDialog() {
        QVERIFY(catalogue::WriteText(catalogue::HeadingColour, QStringLiteral("8421504")));
        frmOptions* f = Open();
        env->prompts().ExpectColor(std::nullopt);
        f->HeadCol_Click();
        QCOMPARE(env->prompts().lastColorInitial(), 8421504u);
        QCOMPARE(frmOptions::SwatchColour(f->HeadCol), 8421504u);

        env->prompts().ExpectColor(0x00FFFF);
        f->ConfCal_Click();
        QCOMPARE(env->prompts().lastColorInitial(), 255u);
        QCOMPARE(frmOptions::SwatchColour(f->ConfCal), 0x00FFFFu);
        // The next dialog starts from its own swatch, not from the last choice.
        env->prompts().ExpectColor(std::nullopt);
        f->FreeCal_Click();
        QCOMPARE(env->prompts().lastColorInitial(), 0xFFFFFFu);
        QCOMPARE(frmOptions::SwatchColour(f->FreeCal), 0xFFFFFFu);

        // A mouse click on a swatch opens the dialog.
        env->prompts().ExpectColor(0x0000AA);
        QTest::mouseClick(f->TodayCol, Qt::LeftButton);
        QCOMPARE(frmOptions::SwatchColour(f->TodayCol), 0x0000AAu);
        f->cmdApply_Click();
        QCOMPARE(Stored(QStringLiteral("Settings"), QStringLiteral("ConflictColour")),
                 QStringLiteral("65535"));
        QCOMPARE(Stored(QStringLiteral("Settings"), QStringLiteral("HeadingColour")),
                 QStringLiteral("8421504"));
        QCOMPARE(Stored(QStringLiteral("settings"), QStringLiteral("TodayColour")),
                 QStringLiteral("170"));
    }

    void logoStoresNothing() {
        frmOptions* f = Open();
        env->prompts().ExpectOpenFile(env->programFolder() + QStringLiteral("/ambrelle.mdb"));
        QTest::mouseClick(f->CpyLogo, Qt::LeftButton);
        QVERIFY(env->prompts().lastFileOptions().title.isEmpty());
        QVERIFY(env->prompts().lastFileOptions().filter.isEmpty());
        f->cmdApply_Click();
        QCOMPARE(Rows(QStringLiteral("MyCompanyLogo")), 0);
        QCOMPARE(f->CpyLogo->pixmap().size(), QSize(73, 60));
    }

    // The first write that fails ends the save with its reason; the dialog keeps the entries.
    void failingWriteStops() {
        QVERIFY(fixture().Execute(
            QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON System WHEN NEW.FieldName = "
                           "'myemail' BEGIN SELECT RAISE(ABORT, 'disk is full'); END")));
        VatMultiplier = 1.2;
        frmOptions* f = Open();
        FillDetails(f);
        f->txtMilage->setText(QStringLiteral("44"));
        env->prompts().ExpectMsgBox(QStringLiteral("Saving the options stopped at myemail.\r\n"));
        f->cmdOK_Click();
        QVERIFY(Forms::loaded<frmOptions>());
        QVERIFY(env->prompts().messages().value(0).contains(QStringLiteral("disk is full")));
        QCOMPARE(Row(QStringLiteral("MyPostcode")).toString(), QStringLiteral("AB1 2CD"));
        QCOMPARE(Rows(QStringLiteral("myemail")), 0);
        QCOMPARE(Rows(QStringLiteral("Milage")), 0);
        QCOMPARE(VatMultiplier, 1.2);
        QCOMPARE(f->txtmyEmail->text(), QStringLiteral("me@acme.test"));
        QCOMPARE(f->txtMilage->text(), QStringLiteral("44"));

        // Once the database takes it, OK saves everything and closes.
        QVERIFY(fixture().Execute(QStringLiteral("DROP TRIGGER refuse")));
        f->cmdOK_Click();
        QVERIFY(!Forms::loaded<frmOptions>());
        QCOMPARE(Row(QStringLiteral("myemail")).toString(), QStringLiteral("me@acme.test"));
        QCOMPARE(Row(QStringLiteral("Milage")).toString(), QStringLiteral("44"));
        QCOMPARE(VatMultiplier, 0.0);
    }

    void failingStoreStops() {
        frmOptions* f = Open();
        FillDetails(f);
        settings::SetStoreFolder(QStringLiteral("/dev/null/store"));
        env->prompts().ExpectMsgBox(
            QStringLiteral("Saving the options stopped at FreeColour.\r\nThe settings store could "
                           "not be written."));
        f->cmdOK_Click();
        settings::SetStoreFolder(env->settingsFolder());
        QVERIFY(Forms::loaded<frmOptions>());
        QCOMPARE(Rows(QStringLiteral("MyCompanyName")), 0);
        QCOMPARE(OwnerCompanyName, QStringLiteral("unchanged"));
    }

    void applyThenCancel() {
        frmOptions* f = Open();
        f->MyCpyNme->setText(QStringLiteral("First"));
        f->cmdApply_Click();
        f->MyCpyNme->setText(QStringLiteral("Second"));
        f->txtStart->setText(QStringLiteral("07:00"));
        f->cmdCancel_Click();
        QVERIFY(!Forms::loaded<frmOptions>());
        QCOMPARE(Row(QStringLiteral("MyCompanyName")).toString(), QStringLiteral("First"));
        QCOMPARE(Stored(QStringLiteral("settings"), QStringLiteral("Appointment Start Time")),
                 QStringLiteral("09:00"));
        QCOMPARE(OwnerCompanyName, QStringLiteral("First"));

        // Esc cancels too, and so does the title bar's close.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        f = Open();
        f->MyCpyNme->setText(QStringLiteral("Third"));
        QTest::keyClick(f, Qt::Key_Escape);
        QVERIFY(!Forms::loaded<frmOptions>());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        f = Open();
        f->MyCpyNme->setText(QStringLiteral("Fourth"));
        QVERIFY(f->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Forms::loaded<frmOptions>());
        QCOMPARE(Row(QStringLiteral("MyCompanyName")).toString(), QStringLiteral("First"));
    }

    void tabKeys() {
        frmOptions* f = Open();
        QVERIFY(f->Form_KeyDown(9, 2 | 1));  // Ctrl+Shift+Tab on Appearance
        QCOMPARE(f->tbsOptions->currentIndex(), 3);
        QVERIFY(f->picOptions[3]->isEnabled() && !f->picOptions[0]->isEnabled());
        QVERIFY(f->Form_KeyDown(9, 2 | 4));  // Ctrl+Tab on Defaults, Alt ignored
        QCOMPARE(f->tbsOptions->currentIndex(), 0);
        QVERIFY(!f->Form_KeyDown(9, 0));
        QVERIFY(!f->Form_KeyDown(65, 2));
        QCOMPARE(f->tbsOptions->currentIndex(), 0);
        // Keys reach the window before the control that has the focus.
        f->tbsOptions->setCurrentIndex(1);
        QTest::keyClick(f->myAddress, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(f->tbsOptions->currentIndex(), 2);
        QVERIFY(f->myAddress->toPlainText().isEmpty());
        QTest::keyClick(f->txtMilage, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f->tbsOptions->currentIndex(), 1);
        QCOMPARE(f->txtMilage->text(), QStringLiteral("39"));
    }

    // The rate box stands before its own "%" label: a stored sign is not shown again.
    void vatRateShown_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<double>("multiplier");
        QTest::newRow("with the sign") << "17.5%"
                                       << "17.5" << 1.175;
        QTest::newRow("sign after a blank") << " 20 % "
                                            << "20" << 1.2;
        QTest::newRow("without the sign") << "5"
                                          << "5" << 1.05;
    }
    void vatRateShown() {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QFETCH(double, multiplier);
        SetSystemRow(fixture(), QStringLiteral("VATRate"), stored);
        frmOptions* f = Open();
        FillDetails(f);
        QCOMPARE(f->VATRate->text(), shown);
        f->cmdOK_Click();
        QVERIFY(!Forms::loaded<frmOptions>());
        QCOMPARE(VatMultiplier, multiplier);
    }

    // Leaving the month box fits the day list and the day to the month.
    void monthFitsDays() {
        frmOptions* f = Open();
        f->cboDay->setEditText(QStringLiteral("30"));
        f->cboMonth->setCurrentIndex(1);
        bool cancel = true;
        f->cboMonth_Validate(cancel);
        QVERIFY(!cancel);
        QCOMPARE(f->cboDay->count(), 28);  // in a leap year too: the start must exist every year
        QCOMPARE(f->cboDay->currentText(), QStringLiteral("28"));
        f->cboDay->setEditText(QString());
        f->cboMonth->setEditText(QStringLiteral("april"));
        f->cboMonth_Validate(cancel);
        QCOMPARE(f->cboDay->count(), 30);
        QVERIFY(f->cboDay->currentText().isEmpty());
        f->cboDay->setEditText(QStringLiteral("12"));
        f->cboMonth->setEditText(QStringLiteral("Smarch"));
        f->cboMonth_Validate(cancel);
        QCOMPARE(f->cboDay->count(), 30);
        QCOMPARE(f->cboDay->currentText(), QStringLiteral("12"));
    }

    void ownerDetailsCheck_data() {
        QTest::addColumn<QString>("missingKey");
        QTest::addColumn<bool>("rowKept");  // the row stays with an empty value
        QTest::newRow("address missing") << "MyAddress" << false;
        QTest::newRow("postcode missing") << "MyPostcode" << false;
        QTest::newRow("e-mail missing") << "myemail" << false;
        QTest::newRow("company name missing") << "MyCompanyName" << false;
        QTest::newRow("address empty") << "MyAddress" << true;
        QTest::newRow("company name empty") << "MyCompanyName" << true;
        QTest::newRow("nothing missing") << "" << false;
    }
    void ownerDetailsCheck() {
        QFETCH(QString, missingKey);
        QFETCH(bool, rowKept);
        for (const char* key : {"MyCompanyName", "MyAddress", "MyPostcode", "myemail"}) {
            const QString k = QString::fromLatin1(key);
            if (k != missingKey)
                SetSystemRow(fixture(), k, QStringLiteral("x"));
            else if (rowKept)
                SetSystemRow(fixture(), k, QString());
        }
        // The name variable holds text even when its row is missing.
        OwnerCompanyName = catalogue::OwnerCompanyNamePlaceholder;
        QWidget owner;
        owner.show();
        int shownTab = -1;
        QWidget* shownOwner = nullptr;
        bool modal = false;
        if (!missingKey.isEmpty()) {
            env->prompts().ExpectMsgBox(kOwnerMessage);
            QTimer::singleShot(0, this, [&] {
                frmOptions* f = Forms::find<frmOptions>();
                QVERIFY(f && f->isVisible());
                shownTab = f->tbsOptions->currentIndex();
                shownOwner = f->parentWidget();
                modal = f->isModal();
                f->cmdCancel_Click();
            });
        }
        CheckOwnerDetails(&owner);
        if (missingKey.isEmpty()) {
            QVERIFY(env->prompts().shown().empty());
            QVERIFY(!Forms::loaded<frmOptions>());
        } else {
            QCOMPARE(env->prompts().messages(), QStringList{kOwnerMessage});
            QCOMPARE(shownTab, 1);
            QCOMPARE(shownOwner, &owner);
            QVERIFY(modal);
            QVERIFY(!Forms::loaded<frmOptions>());
            QCOMPARE(env->prompts().pointer(), int(ui::vbDefault));
        }
    }
};

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
