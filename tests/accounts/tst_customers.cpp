// The customer window: browsing and editing companies through the data control, the
// contacts grid of the company shown, and the ways other windows open it.
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "accounts/Companies_with_Contacts.h"
#include "accounts/Contacts.h"
#include "core/forms.h"
#include "core/globals.h"
#include "platform/settings/settings.h"
#include "platform/ui/prompts.h"
#include "tests/support/testenv.h"

using testsupport::AddCompany;
using testsupport::AddContact;
using testsupport::QueryValue;
using testsupport::TestEnv;

namespace {

QVariant Stored(TestEnv& env, const QString& sql, const QVariantList& params = {}) {
    return QueryValue(env.connection(), sql, params);
}

QStringList GridNames(Companies_with_Contacts* w) {
    QStringList names;
    const QAbstractItemModel* m = w->ContactGrid->model();
    for (int r = 0; r < m->rowCount(); ++r) names << m->index(r, 0).data().toString();
    return names;
}

// Runs `fn` on the contact window once it is shown modally; closes it if `fn` did not.
void WhenContactsShown(std::function<void(Contacts*)> fn) {
    QTimer::singleShot(0, [fn] {
        Contacts* c = Forms::find<Contacts>();
        QVERIFY(c && c->isVisible());
        fn(c);
        if (Forms::find<Contacts>() == c && c->isVisible()) c->reject();
    });
}

void Press(QToolBar* bar, const char* key) {
    QAction* a = bar->findChild<QAction*>(QString::fromLatin1(key));
    QVERIFY(a);
    a->trigger();
}

}  // namespace

class TestCustomers : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env_;

    QVariant Company(const QString& column, int id) {
        return QueryValue(
            env_->connection(),
            QStringLiteral("SELECT %1 FROM Companies WHERE CompanyID = ?").arg(column), {id});
    }
    Companies_with_Contacts* Open() {
        DbConnection().SetCursorLocation(db::adUseClient);
        if (DbConnection().State() != db::adStateOpen)
            DbConnection().Open(env_->connectionString());
        Companies_with_Contacts* w = Forms::get<Companies_with_Contacts>();
        w->show();
        return w;
    }
    void Close() {
        Forms::unload<Companies_with_Contacts>();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

  private slots:
    void init() {
        env_ = std::make_unique<TestEnv>();
        CurrentCompanyID = 0;
        CurrentContactID = 0;
    }
    void cleanup() {
        Forms::unload<Contacts>();
        Close();
        DbConnection().Close();
        QVERIFY(env_->allPromptsAnswered());
        env_.reset();
    }

    // The two "Telephone 1" boxes are one field: what is typed in either shows in both and is
    // stored. Tab from the name goes to the first box of the page shown, not to the tabs.
    void telephoneOneIsOneValue_data() {
        QTest::addColumn<bool>("onContacts");  // typed on the Contacts page's box
        QTest::newRow("Details box") << false;
        QTest::newRow("Contacts box") << true;
    }
    void telephoneOneIsOneValue() {
        QFETCH(bool, onContacts);
        const int id = AddCompany(env_->connection(), QStringLiteral("Acme"));
        Companies_with_Contacts* w = Open();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->txtFields[0]->setFocus();
        QTest::keyClick(w->txtFields[0], Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->Text1));
        QTest::keyClicks(onContacts ? w->Text2 : w->Text1, QStringLiteral("07700 900123"));
        QCOMPARE((onContacts ? w->Text1 : w->Text2)->text(), QStringLiteral("07700 900123"));
        Press(w->Toolbar1, "btnSave");
        QCOMPARE(Company(QStringLiteral("Telephone1"), id).toString(), QStringLiteral("07700 900123"));
    }

    void anEmptyTableOpensOnANewCompanyBilledAtItsPostalAddress() {
        Companies_with_Contacts* w = Open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Customers"));
        QCOMPARE(w->CompaniesRecordset.EditMode(), int(db::Recordset::adEditAdd));
        QCOMPARE(w->txtFields[0]->text(), QString());
        QVERIFY(w->SameAsChk->isChecked());
        for (QLineEdit* b : w->BAddr) QVERIFY(!b->isEnabled());
        QVERIFY(w->ContactGrid->isHidden());

        w->txtFields[0]->setText(QStringLiteral("O'Hara's Garage"));
        w->PAddr[1]->setText(QStringLiteral("Leeds"));
        Press(w->Toolbar1, "btnSave");
        const int id = w->CompaniesRecordset.Value(QStringLiteral("CompanyID")).toInt();
        QVERIFY(id > 0);
        QCOMPARE(Company(QStringLiteral("CompanyName"), id).toString(),
                 QStringLiteral("O'Hara's Garage"));
        QCOMPARE(Company(QStringLiteral("IsBillingAddressSameasPostal"), id).toInt(), 1);
        QCOMPARE(Company(QStringLiteral("Postal_AddressTown"), id).toString(),
                 QStringLiteral("Leeds"));
        QVERIFY(!w->ContactGrid->isHidden());  // saved: it may now have contacts
        QCOMPARE(w->AdodcCPY->caption(), QStringLiteral("Record 1 of 1"));
    }

    void movingShowsEachCompanyWithItsOwnContacts() {
        auto& c = env_->connection();
        const int a = AddCompany(c, QStringLiteral("Alder"),
                                 {{QStringLiteral("Telephone1"), QStringLiteral("0113 1")}});
        AddContact(c, a, QStringLiteral("Ann"), QStringLiteral("Lee"),
                   {{QStringLiteral("DirectTelephone"), QStringLiteral("D1")}});
        AddContact(c, a, QStringLiteral("Bob"), QString());
        AddCompany(c, QStringLiteral("Birch"),
                   {{QStringLiteral("IsBillingAddressSameasPostal"), 1}});
        const int cedar = AddCompany(c, QStringLiteral("Cedar"));
        AddContact(c, cedar, QStringLiteral("Cy"), QStringLiteral("Moss"));

        Companies_with_Contacts* w = Open();
        QCOMPARE(w->AdodcCPY->caption(), QStringLiteral("Record 1 of 3"));
        QCOMPARE(w->txtFields[0]->text(), QStringLiteral("Alder"));
        QCOMPARE(w->Text1->text(), QStringLiteral("0113 1"));
        QCOMPARE(w->Text2->text(), QStringLiteral("0113 1"));
        QCOMPARE(GridNames(w), (QStringList{QStringLiteral("Ann Lee"), QStringLiteral("Bob ")}));
        QCOMPARE(w->ContactGrid->model()->index(0, 1).data().toString(), QStringLiteral("D1"));
        QVERIFY(w->ContactGrid->isColumnHidden(3) && w->ContactGrid->isColumnHidden(4));
        QVERIFY(!w->ContactGrid->horizontalHeader()->isHidden());

        w->AdodcCPY->btnNext->click();
        QCOMPARE(w->AdodcCPY->caption(), QStringLiteral("Record 2 of 3"));
        QVERIFY(w->SameAsChk->isChecked());
        QVERIFY(!w->BAddr[0]->isEnabled());
        QCOMPARE(GridNames(w), QStringList());
        QVERIFY(w->ContactGrid->horizontalHeader()->isHidden());

        // After a company without contacts the next one still shows its own.
        w->AdodcCPY->btnNext->click();
        QCOMPARE(w->txtFields[0]->text(), QStringLiteral("Cedar"));
        QVERIFY(w->BAddr[0]->isEnabled());
        QCOMPARE(GridNames(w), QStringList{QStringLiteral("Cy Moss")});
        w->AdodcCPY->btnFirst->click();
        QCOMPARE(GridNames(w).size(), 2);
    }

    void editsAreSavedByMovingOrSaveButNotByClosing() {
        auto& c = env_->connection();
        const int a = AddCompany(c, QStringLiteral("Alder"));
        const int b = AddCompany(c, QStringLiteral("Birch"));
        Companies_with_Contacts* w = Open();
        w->txtFields[0]->setText(QStringLiteral("Alder's Yard"));
        w->Text2->setText(QStringLiteral("0207"));
        w->AdodcCPY->btnNext->click();
        QCOMPARE(Company(QStringLiteral("CompanyName"), a).toString(),
                 QStringLiteral("Alder's Yard"));
        QCOMPARE(Company(QStringLiteral("Telephone1"), a).toString(), QStringLiteral("0207"));

        w->txtFields[5]->setText(QStringLiteral("birch.example"));
        Press(w->Toolbar1, "btnSave");
        QCOMPARE(w->AdodcCPY->caption(), QStringLiteral("Record 2 of 2"));
        QCOMPARE(Company(QStringLiteral("Website"), b).toString(), QStringLiteral("birch.example"));

        w->txtFields[4]->setText(QStringLiteral("fax never saved"));
        Close();
        QVERIFY(db::IsNull(Company(QStringLiteral("Fax"), b)));
    }

    void theBillingSwitchEnablesTheBillingAddress() {
        const int a =
            AddCompany(env_->connection(), QStringLiteral("Alder"),
                       {{QStringLiteral("IsBillingAddressSameasPostal"), 1},
                        {QStringLiteral("Billing_AddressStreet"), QStringLiteral("1 Old Road")}});
        Companies_with_Contacts* w = Open();
        QVERIFY(!w->BAddr[0]->isEnabled());
        QCOMPARE(w->BAddr[0]->text(), QStringLiteral("1 Old Road"));
        w->SameAsChk->click();
        for (QLineEdit* box : w->BAddr) QVERIFY(box->isEnabled());
        QCOMPARE(w->BAddr[0]->text(), QStringLiteral("1 Old Road"));
        w->BAddr[4]->setText(QStringLiteral("LS1 1AA"));
        Press(w->Toolbar1, "btnSave");
        QCOMPARE(Company(QStringLiteral("IsBillingAddressSameasPostal"), a).toInt(), 0);
        QCOMPARE(Company(QStringLiteral("Billing_AddressPostcode"), a).toString(),
                 QStringLiteral("LS1 1AA"));
        w->SameAsChk->click();
        QVERIFY(!w->BAddr[4]->isEnabled());
        env_->prompts().ExpectMsgBox(QStringLiteral("Save the changes to Alder?"), ui::vbNo);
    }

    // Closing with a typed change asks first; without one it closes at once.
    void closingWithEditsAsks_data() {
        QTest::addColumn<bool>("typed");
        QTest::addColumn<bool>("escape");  // else closed by the frame, as the main window does
        QTest::addColumn<int>("answer");   // 0 = no question
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("stillOpen");
        QTest::newRow("no edits") << false << false << 0 << "Alder" << false;
        QTest::newRow("Yes saves") << true << false << int(ui::vbYes) << "Alder Ltd" << false;
        QTest::newRow("No discards") << true << false << int(ui::vbNo) << "Alder" << false;
        QTest::newRow("Cancel keeps the window")
            << true << false << int(ui::vbCancel) << "Alder" << true;
        QTest::newRow("Escape asks too") << true << true << int(ui::vbYes) << "Alder Ltd" << false;
    }
    void closingWithEditsAsks() {
        QFETCH(bool, typed);
        QFETCH(bool, escape);
        QFETCH(int, answer);
        QFETCH(QString, stored);
        QFETCH(bool, stillOpen);
        const int a = AddCompany(env_->connection(), QStringLiteral("Alder"));
        Companies_with_Contacts* w = Open();
        if (typed) {
            w->txtFields[0]->selectAll();
            QTest::keyClicks(w->txtFields[0], QStringLiteral("Alder Ltd"));
        }
        if (answer)
            env_->prompts().ExpectMsgBox(QStringLiteral("Save the changes to Alder Ltd?"), answer);
        if (escape)
            QTest::keyClick(w, Qt::Key_Escape);
        else
            w->close();
        QVERIFY(env_->allPromptsAnswered());
        QCOMPARE(w->isVisible(), stillOpen);
        QCOMPARE(Company(QStringLiteral("CompanyName"), a).toString(), stored);
        if (stillOpen) {
            QCOMPARE(w->txtFields[0]->text(), QStringLiteral("Alder Ltd"));
            // Saved, it closes without asking.
            Press(w->Toolbar1, "btnSave");
            QVERIFY(w->close());
        }
    }

    void newCompanyStartsEmptyAndSaveGivesItAnId() {
        const int a = AddCompany(env_->connection(), QStringLiteral("Alder"));
        Companies_with_Contacts* w = Open();
        w->txtFields[0]->setText(QStringLiteral("Alder Two"));
        Press(w->Toolbar1, "btnNewCompany");
        // The company shown before was saved on the way.
        QCOMPARE(Company(QStringLiteral("CompanyName"), a).toString(), QStringLiteral("Alder Two"));
        QCOMPARE(w->txtFields[0]->text(), QString());
        QVERIFY(w->SameAsChk->isChecked());
        QVERIFY(!w->BAddr[2]->isEnabled());
        QCOMPARE(w->AdodcCPY->caption(), QStringLiteral("Record 2 of 2"));

        w->txtFields[0]->setText(QStringLiteral("Elm"));
        Press(w->Toolbar1, "btnSave");
        const int id =
            Stored(*env_,
                   QStringLiteral("SELECT CompanyID FROM Companies WHERE CompanyName = 'Elm'"))
                .toInt();
        QVERIFY(id > a);
        QCOMPARE(w->CompaniesRecordset.Value(QStringLiteral("CompanyID")).toInt(), id);
        QCOMPARE(Company(QStringLiteral("IsBillingAddressSameasPostal"), id).toInt(), 1);
    }

    // Whatever box was used last, a page shown puts the cursor in its first box, from which
    // Tab goes on down that page; New Company puts it in the name.
    void typingStartsAtTheFirstBoxOfThePageShown_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("sameAsPostal");
        QTest::addColumn<QStringList>("boxes");  // used last, first, after Tab
        QTest::newRow("Details") << 0 << true << QStringList{"txtFields_5", "Text1", "txtFields_3"};
        QTest::newRow("Postal") << 1 << true << QStringList{"PAddr5", "PAddr1", "PAddr2"};
        QTest::newRow("Billing") << 2 << false << QStringList{"BAddr4", "BAddr1", "BAddr2"};
        QTest::newRow("Billing as postal") << 2 << true << QStringList{"SameAsChk", "SameAsChk", "txtFields_0"};
        QTest::newRow("Contacts") << 3 << true << QStringList{"Text2", "Text2", "ContactGrid"};
    }
    void typingStartsAtTheFirstBoxOfThePageShown() {
        QFETCH(int, page);
        QFETCH(bool, sameAsPostal);
        QFETCH(QStringList, boxes);
        AddCompany(env_->connection(), QStringLiteral("Acme"));
        Companies_with_Contacts* w = Open();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->SameAsChk->setChecked(sameAsPostal);
        w->SSTab1->setCurrentIndex(page);
        w->findChild<QWidget*>(boxes[0])->setFocus();
        w->SSTab1->setCurrentIndex((page + 1) % 4);
        w->SSTab1->setCurrentIndex(page);
        QCOMPARE(QApplication::focusWidget()->objectName(), boxes[1]);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), boxes[2]);
        Press(w->Toolbar1, "btnNewCompany");
        QCOMPARE(QApplication::focusWidget(), w->txtFields[0]);
    }

    void aDataControlErrorShowsItsTextAndKeepsTheEdits() {
        auto& c = env_->connection();
        AddCompany(c, QStringLiteral("Alder"));
        AddCompany(c, QStringLiteral("Birch"));
        Companies_with_Contacts* w = Open();
        QVERIFY(
            c.Execute(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON Companies BEGIN "
                                     "SELECT RAISE(ABORT, 'company is locked'); END")));
        w->txtFields[0]->setText(QStringLiteral("Alder Ltd"));
        env_->prompts().ExpectMsgBox(QStringLiteral("company is locked"));
        w->AdodcCPY->btnNext->click();
        QCOMPARE(w->AdodcCPY->caption(), QStringLiteral("Record 1 of 2"));
        QCOMPARE(w->txtFields[0]->text(), QStringLiteral("Alder Ltd"));
        // Not cancelled: the data control saves it once the refusal goes.
        QCOMPARE(w->CompaniesRecordset.EditMode(), int(db::Recordset::adEditInProgress));
    }

    void aFailingSaveShowsTheErrorText() {
        Companies_with_Contacts* w = Open();
        QVERIFY(env_->connection().Execute(
            QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Companies BEGIN SELECT "
                           "RAISE(ABORT, 'disk is full'); END")));
        w->txtFields[0]->setText(QStringLiteral("Elm"));
        env_->prompts().ExpectMsgBox(QStringLiteral("disk is full"));
        Press(w->Toolbar1, "btnSave");
        QCOMPARE(Stored(*env_, QStringLiteral("SELECT count(*) FROM Companies")).toInt(), 0);
        QCOMPARE(w->txtFields[0]->text(), QStringLiteral("Elm"));
        // "New Company" has to save the company shown first, and says so when it cannot.
        env_->prompts().ExpectMsgBox(QStringLiteral("disk is full"));
        Press(w->Toolbar1, "btnNewCompany");
        QCOMPARE(w->txtFields[0]->text(), QStringLiteral("Elm"));
    }

    void aTelephoneSavedMeanwhileByAnotherProgramIsKept() {
        const int a = AddCompany(env_->connection(), QStringLiteral("Alder"));
        Companies_with_Contacts* w = Open();
        w->Text1->setText(QStringLiteral("0100 mine"));
        QVERIFY(env_->connection().Execute(
            QStringLiteral("UPDATE Companies SET Telephone1 = '0200 theirs' WHERE CompanyID = ?"),
            {a}));
        env_->prompts().ExpectMsgBox(QStringLiteral("Row cannot be located for updating"));
        Press(w->Toolbar1, "btnSave");
        QCOMPARE(Company(QStringLiteral("Telephone1"), a).toString(),
                 QStringLiteral("0200 theirs"));
        QCOMPARE(w->Text1->text(), QStringLiteral("0100 mine"));
    }

    void newContactOfASavedCompanyIsListedAfterwards() {
        const int a = AddCompany(env_->connection(), QStringLiteral("O'Brien's"));
        Companies_with_Contacts* w = Open();
        QCOMPARE(GridNames(w), QStringList());
        int seenCompany = -1;
        WhenContactsShown([&](Contacts* c) {
            seenCompany = CurrentCompanyID;
            QCOMPARE(CurrentContactID, 0);
            c->txtfields[0]->setText(QStringLiteral("Dee"));
            c->txtfields[1]->setText(QStringLiteral("D'Arcy"));
            c->Toolbar1_ButtonClick(QStringLiteral("btnSave"));
        });
        Press(w->Toolbar1, "btnNewContact");
        QCOMPARE(seenCompany, a);
        QCOMPARE(GridNames(w), QStringList{QStringLiteral("Dee D'Arcy")});
        QCOMPARE(CurrentCompanyID, 0);
        QCOMPARE(CurrentContactID, 0);
    }

    void newContactOfAnUnsavedCompanyOpensNothing() {
        AddCompany(env_->connection(), QStringLiteral("Alder"));
        Companies_with_Contacts* w = Open();
        Press(w->Toolbar1, "btnNewCompany");
        env_->prompts().ExpectMsgBox(QStringLiteral("Save the company"));
        Press(w->Toolbar1, "btnNewContact");
        QVERIFY(!Forms::loaded<Contacts>());
        QCOMPARE(CurrentCompanyID, 0);
    }

    void doubleClickOpensTheContactOrANewOne() {
        auto& c = env_->connection();
        const int a = AddCompany(c, QStringLiteral("Alder"));
        AddContact(c, a, QStringLiteral("Ann"), QStringLiteral("Lee"));
        const int bob = AddContact(c, a, QStringLiteral("Bob"), QStringLiteral("Hill"));
        const int b = AddCompany(c, QStringLiteral("Birch"));
        Companies_with_Contacts* w = Open();
        w->SSTab1->setCurrentIndex(3);
        QVERIFY(QTest::qWaitForWindowExposed(w));

        int seenContact = -1;
        WhenContactsShown([&](Contacts* dlg) {
            seenContact = CurrentContactID;
            QCOMPARE(env_->prompts().pointer(), int(ui::vbDefault));
            QCOMPARE(dlg->txtfields[0]->text(), QStringLiteral("Bob"));
            dlg->txtfields[4]->setText(QStringLiteral("07700 900123"));
            dlg->Toolbar1_ButtonClick(QStringLiteral("btnSave"));
        });
        const QRect row1 = w->ContactGrid->visualRect(w->ContactGrid->model()->index(1, 0));
        // A double-click starts with a press, which picks the row.
        QTest::mouseClick(w->ContactGrid->viewport(), Qt::LeftButton, {}, row1.center());
        QTest::mouseDClick(w->ContactGrid->viewport(), Qt::LeftButton, {}, row1.center());
        QCOMPARE(seenContact, bob);
        QCOMPARE(Stored(*env_,
                        QStringLiteral("SELECT MobileTelephone FROM contacts WHERE contactID = ?"),
                        {bob})
                     .toString(),
                 QStringLiteral("07700 900123"));
        QCOMPARE(w->ContactGrid->model()->index(1, 2).data().toString(),
                 QStringLiteral("07700 900123"));

        // An empty grid asks for a new contact of the company shown.
        w->AdodcCPY->btnNext->click();
        int seenCompany = -1;
        WhenContactsShown([&](Contacts* dlg) {
            seenCompany = CurrentCompanyID;
            seenContact = CurrentContactID;
            dlg->txtfields[0]->setText(QStringLiteral("Cath"));
            dlg->Toolbar1_ButtonClick(QStringLiteral("btnSave"));
        });
        QTest::mouseDClick(w->ContactGrid->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(seenCompany, b);
        QCOMPARE(seenContact, 0);
        QCOMPARE(GridNames(w), QStringList{QStringLiteral("Cath ")});
    }

    void contactColumnWidthsComeBack() {
        const int a = AddCompany(env_->connection(), QStringLiteral("Alder"));
        AddContact(env_->connection(), a, QStringLiteral("Ann"), QStringLiteral("Lee"));
        Companies_with_Contacts* w = Open();
        QCOMPARE(w->ContactGrid->columnWidth(0), 100);  // 1500 twips
        w->ContactGrid->horizontalHeader()->resizeSection(0, 150);
        w->ContactGrid->horizontalHeader()->resizeSection(2, 60);
        w->AdodcCPY->btnNext->click();  // a new filter keeps them
        QCOMPARE(w->ContactGrid->columnWidth(0), 150);
        Close();
        QCOMPARE(settings::GetSetting(AppTitle, QStringLiteral("Settings"),
                                      QStringLiteral("Contact Col 0 Width")),
                 QStringLiteral("2250"));
        w = Open();
        QCOMPARE(w->ContactGrid->columnWidth(0), 150);
        QCOMPARE(w->ContactGrid->columnWidth(1), 100);
        QCOMPARE(w->ContactGrid->columnWidth(2), 60);
    }

    void newCompanyForTheAppointmentEditor() {
        AddCompany(env_->connection(), QStringLiteral("Alder"));
        DbConnection().SetCursorLocation(db::adUseClient);
        QVERIFY(DbConnection().Open(env_->connectionString()));
        QDialog editor;
        editor.show();
        // The window need not be loaded: new_cpy on its one instance loads it.
        QVERIFY(!Forms::loaded<Companies_with_Contacts>());
        Companies_with_Contacts* w = Forms::get<Companies_with_Contacts>(&editor);
        w->new_cpy();
        QTimer::singleShot(0, [w, &editor] {
            QVERIFY(w->isModal());
            QCOMPARE(w->parentWidget(), &editor);
            w->txtFields[0]->setText(QStringLiteral("Fir & Pine's"));
            w->Toolbar1_ButtonClick(QStringLiteral("btnSave"));
            w->close();
        });
        QCOMPARE(w->parentWidget(), &editor);
        w->ShowModal(&editor);
        QVERIFY(!Forms::loaded<Companies_with_Contacts>());
        QCOMPARE(
            Stored(*env_,
                   QStringLiteral(
                       "SELECT IsBillingAddressSameasPostal FROM Companies WHERE CompanyName = ?"),
                   {QStringLiteral("Fir & Pine's")})
                .toInt(),
            1);
        QCOMPARE(Stored(*env_, QStringLiteral("SELECT count(*) FROM Companies")).toInt(), 2);
    }

    void theMenuCommandShowsOneModelessWindow() {
        DbConnection().SetCursorLocation(db::adUseClient);
        QVERIFY(DbConnection().Open(env_->connectionString()));
        auto* main = new QWidget;
        main->show();
        ShowCustomerWindow(main);
        Companies_with_Contacts* w = Forms::find<Companies_with_Contacts>();
        QVERIFY(w && w->isVisible());
        QVERIFY(!w->isModal());
        ShowCustomerWindow(main);
        QCOMPARE(Forms::find<Companies_with_Contacts>(), w);
        // It goes when the main window goes.
        delete main;
        QVERIFY(!Forms::loaded<Companies_with_Contacts>());
    }
};

QTEST_MAIN(TestCustomers)
#include "tst_customers.moc"
