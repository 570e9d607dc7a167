// Token lists and mail sending, against an SMTP server the test runs on 127.0.0.1.
#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "core/sendmail.h"
#include "platform/mapi/mailprofile.h"
#include "platform/mapi/mapi.h"
#include "platform/settings/settings.h"
#include "tests/support/smtpserver.h"

using testsupport::SmtpServer;

class TestSendMail : public QObject {
    Q_OBJECT
    QTemporaryDir settings_;
    QTemporaryDir files_;

    void UseServer(int port) {
        mapi::StoreProfile({QStringLiteral("127.0.0.1"), port, mapi::MailProfile::None,
                            QStringLiteral("owner"), QStringLiteral("owner@example.com"),
                            QString()});
        mapi::RememberPassword(QStringLiteral("secret"));
    }
    QString File(const QString& name, const QByteArray& content) {
        QFile f(files_.filePath(name));
        if (!f.open(QIODevice::WriteOnly)) return {};
        f.write(content);
        return f.fileName();
    }

  private slots:
    void init() {
        settings::SetStoreFolder(settings_.path());
        settings::DeleteSetting(QStringLiteral("Ambrelle"), QStringLiteral("Mail"));
        mapi::UseKeyring(false);
        mapi::ForgetPassword();
        mapi::SetLogonPrompt({});
    }

    void tokens_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("parsed");  // into an array one longer than the count
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("rest");
        QTest::newRow("empty") << "" << 0 << QStringList{""} << ""
                               << "";
        QTest::newRow("one, no delimiter")
            << "  a@x.com " << 1 << QStringList{"a@x.com", ""} << "a@x.com"
            << "";
        QTest::newRow("blanks around")
            << "a@x.com ; b@y.com" << 2 << QStringList{"a@x.com", "b@y.com", ""} << "a@x.com"
            << " b@y.com";
        QTest::newRow("trailing ;")
            << "a@x.com;" << 2 << QStringList{"a@x.com", "", ""} << "a@x.com"
            << "";
        QTest::newRow("blank between") << "a;;b" << 3 << QStringList{"a", "", "b", ""} << "a"
                                       << ";b";
    }
    void tokens() {
        QFETCH(QString, list);
        QFETCH(int, count);
        QFETCH(QStringList, parsed);
        QCOMPARE(CountTokens(list, ";"), count);
        QStringList array(count + 1, QStringLiteral("stale"));
        const QString before = list;
        ParseTokens(array, list, ";");
        QCOMPARE(array, parsed);
        QCOMPARE(list, before);
        QString working = list;
        QTEST(GetToken(working, ";"), "first");
        QTEST(working, "rest");
    }

    void exchange_data() {
        QTest::addColumn<int>("behaviour");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("cc");
        QTest::addColumn<uint>("code");
        QTest::addColumn<QStringList>("delivered");  // recipients the server took
        QTest::addColumn<QString>("reply");          // part of the reply kept for the caller
        QTest::newRow("accepted, trailing ; and a Cc")
            << int(SmtpServer::Accept) << "acc@example.com ; second@example.com;"
            << "copy@example.com" << 0u
            << QStringList{"acc@example.com", "second@example.com", "copy@example.com"} << "";
        QTest::newRow("login refused") << int(SmtpServer::RefuseLogin) << "acc@example.com"
                                       << "" << 3u << QStringList{} << "535";
        QTest::newRow("recipient refused")
            << int(SmtpServer::RefuseRecipient) << "acc@example.com;nobody@example.com"
            << "" << 14u << QStringList{} << "User unknown";
        QTest::newRow("connection closed") << int(SmtpServer::CloseAfterMail) << "acc@example.com"
                                           << "" << 23u << QStringList{} << "";
    }
    void exchange() {
        QFETCH(int, behaviour);
        QFETCH(QStringList, delivered);
        SmtpServer server{SmtpServer::Behaviour(behaviour)};
        QVERIFY(server.port() > 0);
        UseServer(server.port());
        const QByteArray csv = "Invoice Number,Company\r\n7,\"Smith, Jones & Co\"\r\n";
        const QByteArray xml = "<?xml version=\"1.0\"?>\r\n<dataroot>\u00a3</dataroot>";
        const QString attachments =
            File("Invoices_2025.csv", csv) + " ; " + File("Invoices_2025.xml", xml) + ";";
        const QString body =
            QStringLiteral("Please find attached the return for Bront\u00eb & Co, £12.");
        QFETCH(QString, to);
        QFETCH(QString, cc);
        QTEST(uint(SendMail(QStringLiteral("Accounts for Bront\u00eb & Co attached"), to, cc,
                            attachments, body)),
              "code");
        QFETCH(QString, reply);
        QVERIFY2(mapi::LastReply().contains(reply), qPrintable(mapi::LastReply()));
        const QList<SmtpServer::Mail> mails = server.received();
        QCOMPARE(mails.size(), delivered.isEmpty() ? 0 : 1);
        if (delivered.isEmpty()) return;
        const SmtpServer::Mail& m = mails.front();
        QCOMPARE(server.authenticatedAs(), "owner");
        QCOMPARE(m.from, "owner@example.com");
        QCOMPARE(m.recipients, delivered);
        QVERIFY(m.header("To").contains("second@example.com"));
        QCOMPARE(m.header("Cc"), "copy@example.com");
        QCOMPARE(QString::fromUtf8(
                     QByteArray::fromBase64(m.header("Subject").section('?', 3, 3).toLatin1())),
                 QStringLiteral("Accounts for Bront\u00eb & Co attached"));
        QCOMPARE(m.body(), body);
        const QMap<QString, QByteArray> files = m.attachments();
        QCOMPARE(files.keys(), (QStringList{"Invoices_2025.csv", "Invoices_2025.xml"}));
        QCOMPARE(files["Invoices_2025.csv"], csv);
        QCOMPARE(files["Invoices_2025.xml"], xml);
    }

    // A server that never answers: the windows keep being served while the mail is sent, and
    // the progress window's Cancel ends the send at once with Simple MAPI's "User Aborted".
    void cancelWhileTheServerIsSilent() {
        SmtpServer server{SmtpServer::Silent};
        UseServer(server.port());
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(20);
        bool shown = false;
        QTimer::singleShot(600, [&shown] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* sending = qobject_cast<QProgressDialog*>(w);
                    sending && sending->objectName() == "frmMailSending" && sending->isVisible()) {
                    shown = sending->labelText().contains("acc@example.com");
                    for (auto* button : sending->findChildren<QPushButton*>())
                        if (button->text() == "Cancel") button->click();
                }
        });
        QElapsedTimer t;
        t.start();
        QCOMPARE(SendMail("Accounts", "acc@example.com", "", File("a.csv", "x"), "Body"),
                 uint(mapi::MAPI_USER_ABORT));
        QVERIFY(shown);
        // Well before the 20 s time-out.
        QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        QVERIFY(server.received().isEmpty());
    }

    // A server that takes the whole mail and then never answers: Cancel gives control back at
    // once, and the time-out says what happened; either way the connection is cut soon after.
    void silentAfterTheData_data() {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<uint>("code");
        QTest::addColumn<bool>("timedOut");
        QTest::addColumn<QString>("reply");
        QTest::newRow("cancelled") << true << uint(mapi::MAPI_USER_ABORT) << false << "cancelled";
        QTest::newRow("timed out") << false << uint(mapi::MAPI_E_NETWORK_FAILURE) << true
                                   << "did not answer within 2 seconds";
    }
    void silentAfterTheData() {
        QFETCH(bool, cancel);
        SmtpServer server{SmtpServer::SilentAfterData};
        UseServer(server.port());
        mapi::SetAnswerTimeout(2);
        QElapsedTimer sinceCancel;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (!cancel || server.received().isEmpty() || sinceCancel.isValid()) return;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == "frmMailSending" && w->isVisible())
                    for (auto* button : w->findChildren<QPushButton*>())
                        if (button->text() == "Cancel") {
                            sinceCancel.start();
                            button->click();
                        }
        });
        watch.start(20);
        QElapsedTimer t;
        t.start();
        const uint code = SendMail("Accounts", "acc@example.com", "", File("a.csv", "x"), "Body");
        const qint64 took = t.elapsed();
        mapi::SetAnswerTimeout(120);
        QTEST(code, "code");
        QCOMPARE(server.received().size(), 1);  // it stalled after the data, not before
        if (cancel) {
            QVERIFY(sinceCancel.isValid());
            QVERIFY2(sinceCancel.elapsed() < 500,
                     qPrintable(QString::number(sinceCancel.elapsed())));
        } else {
            QVERIFY2(took >= 1900 && took < 3500, qPrintable(QString::number(took)));
        }
        QTEST(mapi::LastCallTimedOut(), "timedOut");
        QFETCH(QString, reply);
        QVERIFY2(mapi::LastReply().contains(reply), qPrintable(mapi::LastReply()));
        QTRY_COMPARE_WITH_TIMEOUT(server.hangUps(), 1, 2000);
    }

    void beforeAnyServer_data() {
        QTest::addColumn<QString>("case_");
        QTest::addColumn<uint>("code");
        QTest::newRow("missing attachment") << "missing" << 11u;
        QTest::newRow("no profile, logon cancelled") << "cancel" << 1u;
        QTest::newRow("no server listening") << "noserver" << 23u;
    }
    void beforeAnyServer() {
        QFETCH(QString, case_);
        const QString file = File("a.csv", "x");
        bool asked = false;
        mapi::SetLogonPrompt(
            [&](const mapi::MailProfile&, QWidget*) -> std::optional<mapi::MailProfile> {
                asked = true;
                return std::nullopt;
            });
        if (case_ == "missing") UseServer(25);
        if (case_ == "noserver") {
            // A port nothing listens on: bound, then closed.
            {
                SmtpServer gone(SmtpServer::Accept);
                UseServer(gone.port());
            }
        }
        const QString attachments = case_ == "missing" ? files_.filePath("gone.csv") : file;
        QTEST(uint(SendMail("s", "a@example.com", "", attachments, "b")), "code");
        QCOMPARE(asked, case_ == "cancel");
    }

    // With no profile the logon dialog's answer is stored, the password only held.
    void logonStoresTheProfile() {
        SmtpServer server(SmtpServer::Accept);
        mapi::SetLogonPrompt(
            [&](const mapi::MailProfile& shown, QWidget*) -> std::optional<mapi::MailProfile> {
                mapi::MailProfile p = shown;
                p.server = "127.0.0.1";
                p.port = server.port();
                p.security = mapi::MailProfile::None;
                p.user = "owner";
                p.password = "secret";
                p.sender = "owner@example.com";
                return p;
            });
        QCOMPARE(uint(SendMail("s", "a@example.com", "", File("a.csv", "x"), "b")), 0u);
        QCOMPARE(server.received().size(), 1);
        const auto stored = mapi::StoredProfile();
        QVERIFY(stored);
        QCOMPARE(stored->port, server.port());
        QCOMPARE(stored->password, QString());
        QFile ini(settings_.filePath("Ambrelle.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(!ini.readAll().contains("secret"));
    }
};

QTEST_MAIN(TestSendMail)
#include "tst_sendmail.moc"
