// The contact window: one contact opened by number or a new one for a company, saved,
// deleted after asking, or dropped; the hand-over numbers are 0 after every closing.
#include <QTest>
#include <QToolBar>

#include "accounts/Contacts.h"
#include "core/forms.h"
#include "core/globals.h"
#include "tests/support/testenv.h"

using testsupport::AddContact;
using testsupport::QueryValue;
using testsupport::TestEnv;

class TestContacts : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env_;

    int Count() {
        return QueryValue(env_->connection(), QStringLiteral("SELECT count(*) FROM contacts"))
            .toInt();
    }
    QVariant Stored(const QString& column, int id) {
        return QueryValue(env_->connection(),
                          QStringLiteral("SELECT %1 FROM contacts WHERE contactID = ?").arg(column),
                          {id});
    }
    Contacts* Open(int contactId, int companyId = 0) {
        CurrentContactID = contactId;
        CurrentCompanyID = companyId;
        Contacts* c = Forms::get<Contacts>();
        c->show();
        return c;
    }
    void CheckClosed() {
        QVERIFY(!Forms::loaded<Contacts>());
        QCOMPARE(CurrentContactID, 0);
        QCOMPARE(CurrentCompanyID, 0);
    }

  private slots:
    void init() {
        env_ = std::make_unique<TestEnv>();
        DbConnection().SetCursorLocation(db::adUseClient);
        QVERIFY(DbConnection().Open(env_->connectionString()));
    }
    void cleanup() {
        Forms::unload<Contacts>();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        DbConnection().Close();
        QVERIFY(env_->allPromptsAnswered());
        env_.reset();
    }

    void anExistingContactShowsAndSavesItsFields() {
        auto& c = env_->connection();
        AddContact(c, 3, QStringLiteral("Zed"), QStringLiteral("Other"));
        const int id =
            AddContact(c, 3, QStringLiteral("Siobhan"), QStringLiteral("O'Neill"),
                       {{QStringLiteral("Position"), QStringLiteral("Buyer")},
                        {QStringLiteral("DirectTelephone"), QStringLiteral("0113 496 0000")},
                        {QStringLiteral("MobileTelephone"), QStringLiteral("07700 900000")},
                        {QStringLiteral("EmailAddress1"), QStringLiteral("s@example.org")},
                        {QStringLiteral("EmailAddress2"), QStringLiteral("so@example.net")}});
        Contacts* w = Open(id);
        QCOMPARE(w->windowTitle(), QStringLiteral("Contacts"));
        const QStringList shown{QStringLiteral("Siobhan"),       QStringLiteral("O'Neill"),
                                QStringLiteral("Buyer"),         QStringLiteral("0113 496 0000"),
                                QStringLiteral("07700 900000"),  QStringLiteral("s@example.org"),
                                QStringLiteral("so@example.net")};
        for (int i = 0; i < 7; ++i) QCOMPARE(w->txtfields[i]->text(), shown[i]);

        w->txtfields[4]->setText(QStringLiteral("07700 900999"));
        w->txtfields[5]->clear();
        w->Toolbar1_ButtonClick(QStringLiteral("btnSave"));
        CheckClosed();
        QCOMPARE(Stored(QStringLiteral("MobileTelephone"), id).toString(),
                 QStringLiteral("07700 900999"));
        QVERIFY(db::IsNull(Stored(QStringLiteral("EmailAddress1"), id)));
        QCOMPARE(Stored(QStringLiteral("Lastname"), id).toString(), QStringLiteral("O'Neill"));
        QCOMPARE(Count(), 2);
    }

    void aNewContactBelongsToTheCompanyHandedOver() {
        Contacts* w = Open(0, 12);
        for (QLineEdit* box : w->txtfields) QCOMPARE(box->text(), QString());
        w->txtfields[0]->setText(QStringLiteral("Tom"));
        QAction* save = w->Toolbar1->findChild<QAction*>(QStringLiteral("btnSave"));
        QVERIFY(save);
        QCOMPARE(save->toolTip(), QStringLiteral("Click here to save your changes"));
        save->trigger();
        CheckClosed();
        QCOMPARE(
            QueryValue(env_->connection(),
                       QStringLiteral("SELECT CompanyID FROM contacts WHERE Firstname = 'Tom'"))
                .toInt(),
            12);
    }

    void deleteAsksBeforeRemovingASavedContact() {
        const int id =
            AddContact(env_->connection(), 4, QStringLiteral("Ann"), QStringLiteral("Lee"));
        Contacts* w = Open(id);
        env_->prompts().ExpectMsgBox(QStringLiteral("delete this contact"), ui::vbNo);
        w->Toolbar1_ButtonClick(QStringLiteral("btnCancel"));
        QCOMPARE(Count(), 1);
        QVERIFY(w->isVisible());
        QCOMPARE(env_->prompts().shown().back().style, int(ui::vbYesNo | ui::vbQuestion));

        env_->prompts().ExpectMsgBox(QStringLiteral("delete this contact"), ui::vbYes);
        w->Toolbar1_ButtonClick(QStringLiteral("btnCancel"));
        QCOMPARE(Count(), 0);
        CheckClosed();
    }

    void deletingOrClosingANewContactLeavesNoRow() {
        Contacts* w = Open(0, 5);
        w->txtfields[0]->setText(QStringLiteral("Gone"));
        w->Toolbar1_ButtonClick(QStringLiteral("btnCancel"));  // nothing saved: nothing to ask
        CheckClosed();
        QCOMPARE(Count(), 0);

        w = Open(0, 5);
        w->txtfields[0]->setText(QStringLiteral("Gone too"));
        w->close();
        CheckClosed();
        QCOMPARE(Count(), 0);

        const int id =
            AddContact(env_->connection(), 5, QStringLiteral("Kept"), QStringLiteral("As is"));
        w = Open(id);
        w->txtfields[0]->setText(QStringLiteral("Changed"));
        w->close();
        CheckClosed();
        QCOMPARE(Stored(QStringLiteral("Firstname"), id).toString(), QStringLiteral("Kept"));
    }

    void aFailingSaveShowsTheErrorAndStaysOpen() {
        QVERIFY(env_->connection().Execute(
            QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON contacts BEGIN SELECT "
                           "RAISE(ABORT, 'contacts are read-only'); END")));
        Contacts* w = Open(0, 7);
        w->txtfields[0]->setText(QStringLiteral("Una"));
        env_->prompts().ExpectMsgBox(QStringLiteral("contacts are read-only"));
        w->Toolbar1_ButtonClick(QStringLiteral("btnSave"));
        QVERIFY(w->isVisible());
        QCOMPARE(w->txtfields[0]->text(), QStringLiteral("Una"));
        QCOMPARE(CurrentCompanyID, 7);

        QVERIFY(env_->connection().Execute(QStringLiteral("DROP TRIGGER refuse")));
        w->Toolbar1_ButtonClick(QStringLiteral("btnSave"));
        CheckClosed();
        QCOMPARE(Count(), 1);
    }
};

QTEST_MAIN(TestContacts)
#include "tst_contacts.moc"
