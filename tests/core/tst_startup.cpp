// Start-up: command line, connection strings, the open-failure loop, the VAT rate, and
// which road Main takes.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QWidget>

#include "core/forms.h"
#include "core/frmInfo.h"
#include "core/frmSplash.h"
#include "core/globals.h"
#include "core/maintenance.h"
#include "core/startup.h"
#include "platform/db/autonumber.h"
#include "platform/settings/settings.h"
#include "tests/support/testenv.h"

using testsupport::TestEnv;

namespace {

QString StoredString() {
    return settings::GetSetting(AppTitle, QStringLiteral("Connection"), QStringLiteral("ADOString"));
}

bool SplashShown() { return Forms::loaded<frmSplash>() && Forms::find<frmSplash>()->isVisible(); }

struct Roads {
    int mainWindow = 0;
    int ownerCheck = 0;
    bool splashInFront = false;  // the splash was on screen with the main window or its questions
    QWidget window;
    StartupHooks hooks() {
        return {[this] {
                    ++mainWindow;
                    splashInFront = splashInFront || SplashShown();
                    window.show();
                },
                [this] {
                    ++ownerCheck;
                    splashInFront = splashInFront || SplashShown();
                }};
    }
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void init() {
        DbConnection().Close();
        VatMultiplier = 0;
        StartInvoiceNumber = 0;
        AbortRequested = false;
        CountdownStepMs = 1;
    }
    void cleanup() {
        DbConnection().Close();
        Forms::unload<frmInfo>();
    }

    void commandLine_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("forget");
        QTest::addColumn<bool>("repair");
        QTest::addColumn<int>("invoice");  // 0 = no invoice-number job
        QTest::addColumn<QStringList>("messages");
        const QString invalidTail = QStringLiteral(
            "\r\nValid arguments are: \r\n-u unregister database\r\n-r repair database\r\n-i changing starting invoice number");
        QTest::newRow("empty") << QString() << false << false << 0 << QStringList();
        QTest::newRow("upper case -I 7") << QStringLiteral("-I 7") << false << false << 7 << QStringList();
        QTest::newRow("slash R") << QStringLiteral("/R") << false << true << 0 << QStringList();
        QTest::newRow("-i alone") << QStringLiteral("-i") << false << false << 0
                                  << QStringList{QStringLiteral("Invoice Number not specified.")};
        QTest::newRow("-r -i 5") << QStringLiteral("-r -i 5") << false << true << 5 << QStringList();
        QTest::newRow("two blanks") << QStringLiteral("-r  -i 5") << false << true << 5
                                    << QStringList{QStringLiteral("Invalid argument: ") + invalidTail};
        QTest::newRow("unknown, as typed") << QStringLiteral("-X") << false << false << 0
                                           << QStringList{QStringLiteral("Invalid argument: -X") + invalidTail};
        QTest::newRow("-u ignores the rest") << QStringLiteral("-u -r -x") << true << false << 0 << QStringList();
        QTest::newRow("beyond 16 bits") << QStringLiteral("-i 40000") << false << false << 40000 << QStringList();
        QTest::newRow("largest key") << QStringLiteral("-i 2147483647") << false << false << 2147483647 << QStringList();
        const QString rangeTail = QStringLiteral("\r\nThe invoice number must be a whole number from 1 to 2147483647.");
        QTest::newRow("not a number") << QStringLiteral("-i abc -r") << false << true << 0
                                      << QStringList{QStringLiteral("Invalid invoice number: abc") + rangeTail};
        QTest::newRow("zero") << QStringLiteral("-i 0") << false << false << 0
                              << QStringList{QStringLiteral("Invalid invoice number: 0") + rangeTail};
        QTest::newRow("too large") << QStringLiteral("-i 2147483648") << false << false << 0
                                   << QStringList{QStringLiteral("Invalid invoice number: 2147483648") + rangeTail};
        QTest::newRow("fraction") << QStringLiteral("-i 7.5") << false << false << 0
                                  << QStringList{QStringLiteral("Invalid invoice number: 7.5") + rangeTail};
    }
    void commandLine() {
        QFETCH(QString, line);
        QFETCH(bool, forget);
        QFETCH(bool, repair);
        QFETCH(int, invoice);
        QFETCH(QStringList, messages);
        TestEnv env;
        for (const QString& m : messages) env.prompts().ExpectMsgBox(m);
        const CommandLineRequest r = ParseCommandLine(line);
        QCOMPARE(r.forgetConnection, forget);
        QCOMPARE(r.repair, repair);
        QCOMPARE(r.invoiceNumber, invoice != 0);
        if (invoice) QCOMPARE(r.startInvoiceNumber, invoice);
        QCOMPARE(env.prompts().messages(), messages);
        for (const auto& shown : env.prompts().shown()) QCOMPARE(shown.title, QStringLiteral("Ambrelle"));
    }

    void connectionStrings() {
        const QString tail = QStringLiteral(
            ";Driver={Microsoft Access Driver (*.mdb)};DriverId=25;FIL=MS Access;MaxBufferSize=2048;MaxScanRows=8;"
            "PageTimeout=5;PWD=Tk5Rw8Nq3Vz6;SafeTransactions=0;Threads=3;UID=admin;UserCommitSync=Yes;");
        QCOMPARE(DefaultConnectionString(QStringLiteral("/opt/my books")),
                 QStringLiteral("PROVIDER=MSDataShape;DBQ=/opt/my books/ambrelle.mdb;DefaultDir=/opt/my books") + tail);
        // DefaultDir stays the program's folder, not the folder of the picked file.
        QCOMPARE(PickedFileConnectionString(QStringLiteral("/home/ann/Bücher/2026.mdb"), QStringLiteral("/opt/tb/")),
                 QStringLiteral("PROVIDER=MSDataShape;DBQ=/home/ann/Bücher/2026.mdb;DefaultDir=/opt/tb") + tail);
    }

    void firstRunStoresDefaultStringAndShowsMainWindow() {
        TestEnv env;
        SetProgramFolder(env.programFolder());
        testsupport::SetSystemRow(env.connection(), QStringLiteral("VATRate"), QStringLiteral("17.5%"));
        Roads roads;
        QVERIFY(Main(QString(), roads.hooks()));
        QCOMPARE(StoredString(), DefaultConnectionString(env.programFolder()));
        QCOMPARE(DbConnection().State(), int(db::adStateOpen));
        QCOMPARE(roads.mainWindow, 1);
        QCOMPARE(roads.ownerCheck, 1);
        QVERIFY(!roads.splashInFront);
        QCOMPARE(VatMultiplier, 1.175);
        QVERIFY(!Forms::loaded<frmSplash>() || !Forms::find<frmSplash>()->isVisible());
        QVERIFY(env.prompts().shown().empty());
    }

    void noVatRowLeavesMultiplierAtZero() {
        TestEnv env;
        SetProgramFolder(env.programFolder());
        Roads roads;
        QVERIFY(Main(QString(), roads.hooks()));
        QCOMPARE(VatMultiplier, 0.0);
    }

    void badFilesThenAGoodOne() {
        TestEnv env;
        SetProgramFolder(env.programFolder());
        const QString text = env.programFolder() + QStringLiteral("/notes.mdb");
        const QString empty = env.programFolder() + QStringLiteral("/empty.MDB");
        QFile t(text);
        QVERIFY(t.open(QIODevice::WriteOnly));
        t.write("not a database\n");
        t.close();
        QFile e(empty);
        QVERIFY(e.open(QIODevice::WriteOnly));
        e.close();
        settings::SaveSetting(AppTitle, QStringLiteral("Connection"), QStringLiteral("ADOString"), env.connectionString(text));

        const QString question = QStringLiteral("Would you like to select the database manually?");
        env.prompts()
            .ExpectMsgBox(question, ui::vbOK)
            .ExpectOpenFile(empty)
            .ExpectMsgBox(question, ui::vbOK)
            .ExpectOpenFile(QString())  // cancelled: the string stays as it was
            .ExpectMsgBox(question, ui::vbOK)
            .ExpectOpenFile(env.databasePath());
        Roads roads;
        QVERIFY(Main(QString(), roads.hooks()));
        QVERIFY(env.allPromptsAnswered());
        QCOMPARE(env.prompts().shown().front().title, QStringLiteral("I can't seem to open my database"));
        QCOMPARE(env.prompts().lastFileOptions().title, QStringLiteral("Select Jet database to open"));
        QCOMPARE(env.prompts().lastFileOptions().filter, QStringLiteral("Microsoft Access Database (*.MDB) | *.MDB"));
        QCOMPARE(DbConnection().State(), int(db::adStateOpen));
        QCOMPARE(StoredString(), PickedFileConnectionString(env.databasePath(), env.programFolder()));
        QCOMPARE(ReadAll(text), QByteArray("not a database\n"));
        QCOMPARE(QFileInfo(empty).size(), 0);
        QCOMPARE(roads.mainWindow, 1);
    }

    // A folder's name may hold the connection string's own marks: the picked file opens, and
    // opens again from the stored string.
    void pickedFileInAnyFolder_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("semicolon") << QStringLiteral("my;books");
        QTest::newRow("braces") << QStringLiteral("a{b}};c");
    }
    void pickedFileInAnyFolder() {
        QFETCH(QString, folder);
        TestEnv env;
        SetProgramFolder(env.programFolder());
        const QString picked = env.programFolder() + u'/' + folder + QStringLiteral("/books.mdb");
        QVERIFY(QDir(env.programFolder()).mkpath(folder) && QFile::copy(env.databasePath(), picked));
        settings::SaveSetting(AppTitle, QStringLiteral("Connection"), QStringLiteral("ADOString"), env.connectionString(picked + u'x'));
        env.prompts().ExpectMsgBox(QStringLiteral("select the database manually"), ui::vbOK).ExpectOpenFile(picked);
        Roads roads;
        for (int start = 0; start < 2; ++start) {
            DbConnection().Close();
            QVERIFY(Main(QString(), roads.hooks()));
            QCOMPARE(DbConnection().DatabasePath(), picked);
        }
        QVERIFY(env.allPromptsAnswered());
    }

    void cancelEndsTheProgram() {
        TestEnv env;
        SetProgramFolder(env.programFolder());
        const QString stored = env.connectionString(env.programFolder() + QStringLiteral("/gone.mdb"));
        settings::SaveSetting(AppTitle, QStringLiteral("Connection"), QStringLiteral("ADOString"), stored);
        env.prompts().ExpectMsgBox(QStringLiteral("select the database manually"), ui::vbCancel);
        Roads roads;
        QVERIFY(!Main(QString(), roads.hooks()));
        QCOMPARE(roads.mainWindow, 0);
        QCOMPARE(StoredString(), stored);  // only a string that opened is stored
        QVERIFY(!QFile::exists(env.programFolder() + QStringLiteral("/gone.mdb")));
    }

    void forgetAsksForTheFileAtOnce() {
        TestEnv env;
        SetProgramFolder(env.programFolder());
        settings::SaveSetting(AppTitle, QStringLiteral("Connection"), QStringLiteral("ADOString"), env.connectionString());
        env.prompts().ExpectMsgBox(QStringLiteral("select the database manually"), ui::vbCancel);
        Roads roads;
        QVERIFY(!Main(QStringLiteral("-u -r whatever"), roads.hooks()));
        QCOMPARE(StoredString(), QString());
        QVERIFY(!QFile::exists(RepairFilePath(env.databasePath())));
    }

    void openFailureSaysWhy_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");  // found in the question's detailed text
        QTest::newRow("read-only") << "readonly"
                                   << "is read-only";
        QTest::newRow("in use by another program") << "locked"
                                                   << "is in use by another program";
        QTest::newRow("not a database") << "text"
                                        << "is not an Ambrelle database";
        QTest::newRow("a folder") << "folder"
                                  << "is not a file";
        QTest::newRow("missing") << "missing"
                                 << "Could not find file";
    }
    void openFailureSaysWhy() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        TestEnv env;
        SetProgramFolder(env.programFolder());
        env.connection().Close();
        QString path = env.databasePath();
        db::DatabaseLock compaction;
        if (kind == u"readonly") {
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
        } else if (kind == u"locked") {
            QVERIFY(compaction.Acquire(path, db::DatabaseLock::Exclusive, nullptr));
        } else {
            path = env.programFolder() + QStringLiteral("/picked.mdb");
            if (kind == u"text") {
                QFile f(path);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("Name,Town\r\nAcme,Leeds\r\n");
            } else if (kind == u"folder") {
                QVERIFY(QDir().mkpath(path));
            }
        }
        settings::SaveSetting(AppTitle, QStringLiteral("Connection"), QStringLiteral("ADOString"),
                              env.connectionString(path));
        env.prompts().ExpectMsgBox(
            QStringLiteral("Would you like to select the database manually?"), ui::vbCancel);
        Roads roads;
        QVERIFY(!Main(QString(), roads.hooks()));
        QVERIFY(env.allPromptsAnswered());
        const auto& question = env.prompts().shown().front();
        QCOMPARE(question.prompt,
                 QStringLiteral("Would you like to select the database manually?"));
        QVERIFY2(question.detail.contains(reason), qPrintable(question.detail));
        QVERIFY2(question.detail.contains(QFileInfo(path).fileName()), qPrintable(question.detail));
        QFile::setPermissions(env.databasePath(), QFile::ReadOwner | QFile::WriteOwner);
    }

    // -i wins over -r; an -i before -u keeps its number while the user picks the file.
    void invoiceJob_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("asksForFile");
        QTest::newRow("-r -i 50") << QStringLiteral("-r -i 50") << false;
        QTest::newRow("-i 50 -u") << QStringLiteral("-i 50 -u") << true;
    }
    void invoiceJob() {
        QFETCH(QString, line);
        QFETCH(bool, asksForFile);
        TestEnv env;
        SetProgramFolder(env.programFolder());
        const int company = testsupport::AddCompany(env.connection(), QStringLiteral("Acme"));
        testsupport::AddInvoice(env.connection(), company, QDate(2026, 1, 5), db::Currency::fromUnits(10));
        env.connection().Close();
        if (asksForFile)
            env.prompts()
                .ExpectMsgBox(QStringLiteral("select the database manually"), ui::vbOK)
                .ExpectOpenFile(env.databasePath());
        Roads roads;
        QVERIFY(Main(line, roads.hooks()));  // the log window stays open
        QVERIFY(env.allPromptsAnswered());
        QCOMPARE(roads.mainWindow, 0);
        QCOMPARE(DbConnection().State(), int(db::adStateClosed));
        QVERIFY(Forms::find<frmInfo>()->LogText().endsWith(QStringLiteral("Operation completed sucessfuly")));
        QCOMPARE(db::NextAutoNumber(env.connection(), QStringLiteral("Billing")).value_or(0), 50);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
