// The Help menu: the program's guide, the support page and the About window, with a scripted
// desktop opener so that nothing is started.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "core/forms.h"
#include "core/frmAbout.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "diary/frmMain.h"
#include "diary/helpcommands.h"
#include "platform/com/com.h"
#include "platform/ui/desktop.h"
#include "tests/support/testenv.h"

using testsupport::TestEnv;

class TestHelp : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env_;
    QList<QUrl> opened_;
    bool openerWorks_ = true;

    void WriteHelpFile() {
        QFile f(HelpFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<html><body>guide</body></html>");
    }

  private slots:
    void init() {
        env_ = std::make_unique<TestEnv>();
        SetProgramFolder(env_->programFolder());
        opened_.clear();
        openerWorks_ = true;
        ui::SetUrlOpener([this](const QUrl& url) {
            opened_ << url;
            return openerWorks_;
        });
    }
    void cleanup() {
        ui::SetUrlOpener({});
        DbConnection().Close();
        env_.reset();
    }

    void programHelp_data() {
        QTest::addColumn<bool>("fileThere");
        QTest::addColumn<bool>("openerWorks");
        QTest::addColumn<QString>("message");  // "" none
        QTest::newRow("opened") << true << true << "";
        QTest::newRow("file missing") << false << true << "cannot be found";
        QTest::newRow("no viewer") << true << false << "could not be opened";
    }
    void programHelp() {
        QFETCH(bool, fileThere);
        QFETCH(bool, openerWorks);
        QFETCH(QString, message);
        if (fileThere) WriteHelpFile();
        openerWorks_ = openerWorks;
        if (!message.isEmpty()) env_->prompts().ExpectMsgBox(message);
        ShowProgramHelp(nullptr);
        QVERIFY(env_->allPromptsAnswered());
        const QList<QUrl> expected =
            fileThere ? QList<QUrl>{QUrl::fromLocalFile(
                            QDir(env_->programFolder()).filePath(QStringLiteral("ambrelle.html")))}
                      : QList<QUrl>{};
        QCOMPARE(opened_, expected);
        if (!message.isEmpty())
            QVERIFY(env_->prompts().messages().first().contains(HelpFilePath()));
    }

    void onlineSupport_data() {
        QTest::addColumn<QString>("address");  // null: never set
        QTest::addColumn<bool>("openerWorks");
        QTest::addColumn<QString>("url");      // "" nothing opened
        QTest::addColumn<QString>("message");  // "" none
        QTest::newRow("never set") << QString() << true << ""
                                   << "No online support address has been set";
        QTest::newRow("web page") << "https://support.example.org/ambrelle" << true
                                  << "https://support.example.org/ambrelle"
                                  << "";
        QTest::newRow("bare host") << "www.example.org" << true << "http://www.example.org"
                                   << "";
        QTest::newRow("not an address") << "not an address" << true << ""
                                        << "is not a web address";
        QTest::newRow("a file") << "file:///etc/passwd" << true << ""
                                << "is not a web address";
        QTest::newRow("no browser")
            << "https://support.example.org" << false << "https://support.example.org"
            << "could not be opened";
    }
    void onlineSupport() {
        QFETCH(QString, address);
        QFETCH(bool, openerWorks);
        QFETCH(QString, url);
        QFETCH(QString, message);
        if (!address.isNull()) catalogue::WriteText(catalogue::SupportAddress, address);
        openerWorks_ = openerWorks;
        if (!message.isEmpty()) env_->prompts().ExpectMsgBox(message);
        OpenOnlineSupport(nullptr);
        QVERIFY(env_->allPromptsAnswered());
        QCOMPARE(opened_, url.isEmpty() ? QList<QUrl>{} : QList<QUrl>{QUrl(url)});
    }

    // The main window's Help entries are available and reach their commands.
    void menu() {
        QVERIFY(com::RegisterLibrary(QStringLiteral(ORBICLE_LIBRARY)));
        DbConnection().SetCursorLocation(db::adUseClient);
        QVERIFY(DbConnection().Open(env_->connectionString()));
        frmMain w;
        for (QAction* a : {w.ui().mnuHelpMain, w.ui().mnuOnlineSupport, w.ui().mnuHelpAbout})
            QVERIFY2(a->isEnabled(), qPrintable(a->text()));

        WriteHelpFile();
        w.ui().mnuHelpMain->trigger();
        catalogue::WriteText(catalogue::SupportAddress,
                             QStringLiteral("https://support.example.org"));
        w.ui().mnuOnlineSupport->trigger();
        QCOMPARE(opened_, (QList<QUrl>{QUrl::fromLocalFile(HelpFilePath()),
                                       QUrl(QStringLiteral("https://support.example.org"))}));

        bool shownModal = false;
        QTimer::singleShot(0, [&] {
            frmAbout* about = Forms::find<frmAbout>();
            QVERIFY(about && about->isVisible());
            shownModal = about->isModal() && about->parentWidget() == &w;
            QTest::mouseClick(about->cmdOK, Qt::LeftButton);
        });
        w.ui().mnuHelpAbout->trigger();
        QVERIFY(shownModal);
        QTRY_VERIFY(!Forms::loaded<frmAbout>());
        QVERIFY(env_->allPromptsAnswered());
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
