// The progress-log window and the two maintenance jobs.
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include "core/forms.h"
#include "core/frmInfo.h"
#include "core/globals.h"
#include "core/maintenance.h"
#include "core/startup.h"
#include "platform/db/autonumber.h"
#include "platform/db/recordset.h"
#include "tests/support/testenv.h"

using testsupport::TestEnv;

namespace {

int Count(db::Connection& c, const QString& table) {
    return testsupport::QueryValue(c, QStringLiteral("SELECT count(*) FROM ") + table).toInt();
}

void OpenShared(TestEnv& env, const QString& path = QString()) {
    DbConnection().SetCursorLocation(db::adUseClient);
    QVERIFY(DbConnection().Open(path.isEmpty()
                                    ? DefaultConnectionString(env.programFolder())
                                    : PickedFileConnectionString(path, env.programFolder())));
}

// Rows of jobs, half of them deleted again, so that compaction has room to give back.
void AddSparseJobs(db::Connection& c, int companyId) {
    for (int i = 0; i < 200; ++i)
        testsupport::AddJob(c, companyId, QDateTime(QDate(2026, 1, 1).addDays(i), QTime(9, 0)),
                            QDateTime(QDate(2026, 1, 1).addDays(i), QTime(10, 0)),
                            {{QStringLiteral("Description"), QString(500, u'x')}});
    c.Execute(QStringLiteral("DELETE FROM JobDetails WHERE JobID > 100"));
}

struct stat Stat(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

// The key a new invoice really gets.
int AddInvoiceThroughRecordset(db::Connection& c) {
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT InvoiceNumber, CompanyID FROM Billing"), c, db::adOpenDynamic, db::adLockOptimistic);
    rs.AddNew();
    rs.SetValue(QStringLiteral("CompanyID"), 1);
    rs.Update();
    return rs.Value(QStringLiteral("InvoiceNumber")).toInt();
}

}  // namespace

class TestMaintenance : public QObject {
    Q_OBJECT
private slots:
    void init() {
        DbConnection().Close();
        AbortRequested = false;
        CountdownStepMs = 1;
    }
    void cleanup() {
        Forms::unload<frmInfo>();
        DbConnection().Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void finishingAnimation() {
        frmInfo* info = Forms::get<frmInfo>();
        info->Timer1->stop();
        info->SetLog(QStringLiteral("first"));
        for (int i = 0; i < 10; ++i) info->Timer1_Timer();
        QCOMPARE(info->PB1->value(), 100);
        QCOMPARE(info->LogText(), QStringLiteral("first"));
        info->Timer1_Timer();
        QCOMPARE(info->LogText(), QStringLiteral("first\r\nOperation Complete"));
        QCOMPARE(info->PB1->value(), 0);
        QVERIFY(!info->Timer1->isActive());

        // From 50 it takes five steps before the closing line.
        info->PB1->setValue(50);
        for (int i = 0; i < 5; ++i) info->Timer1_Timer();
        QCOMPARE(info->LogText(), QStringLiteral("first\r\nOperation Complete"));
        info->Timer1_Timer();
        QVERIFY(info->LogText().endsWith(QStringLiteral("Complete\r\nOperation Complete")));
    }

    void timerRunsWhenNotStopped() {
        frmInfo* info = Forms::get<frmInfo>();
        info->show();
        QTRY_VERIFY_WITH_TIMEOUT(info->LogText().endsWith(QStringLiteral("Operation Complete")), 3000);
    }

    void pressesRequestAbort() {
        frmInfo* info = Forms::get<frmInfo>();
        info->show();
        QTest::keyClick(info, Qt::Key_Space);
        QVERIFY(AbortRequested);
        AbortRequested = false;
        QTest::mouseClick(info->lblinfo->viewport(), Qt::LeftButton);
        QVERIFY(AbortRequested);
        AbortRequested = false;
        QTest::mouseClick(info, Qt::LeftButton, {}, QPoint(2, 170));
        QVERIFY(AbortRequested);
    }

    void nextInvoiceBecomesN() {
        TestEnv env;
        const int acme = testsupport::AddCompany(env.connection(), QStringLiteral("Acme"));
        testsupport::InsertRow(env.connection(), QStringLiteral("Billing"),
                               {{QStringLiteral("InvoiceNumber"), 950}, {QStringLiteral("CompanyID"), acme}});
        OpenShared(env);
        StartInvoiceNumber = 1001;
        ResetInvoiceNumber();
        const QString log = Forms::find<frmInfo>()->LogText();
        QVERIFY(log.startsWith(QStringLiteral("Invoice Number will be set to: 1001\r\nBegining conversion of invoice "
                                              "number...\r\nPress any key to abort\r\n1 seconds...\r\nExecuting...")));
        QVERIFY(log.endsWith(QStringLiteral("Record Inserted OK... removing record for continuity...\r\n"
                                            "Operation completed sucessfuly")));
        QVERIFY(AbortRequested);
        QCOMPARE(DbConnection().State(), int(db::adStateClosed));
        QCOMPARE(Count(env.connection(), QStringLiteral("Billing")), 1);
        QCOMPARE(AddInvoiceThroughRecordset(env.connection()), 1001);
    }

    void numberAlreadyPassedChangesNothing() {
        TestEnv env;
        const int acme = testsupport::AddCompany(env.connection(), QStringLiteral("Acme"));
        testsupport::InsertRow(env.connection(), QStringLiteral("Billing"),
                               {{QStringLiteral("InvoiceNumber"), 2000}, {QStringLiteral("CompanyID"), acme}});
        OpenShared(env);
        StartInvoiceNumber = 1001;
        ResetInvoiceNumber();
        const QString log = Forms::find<frmInfo>()->LogText();
        QVERIFY2(log.endsWith(QStringLiteral("Invoice numbers have already reached 2000, so the next invoice will be "
                                             "number 2001; nothing was changed.")),
                 qPrintable(log));
        QVERIFY(!log.contains(QStringLiteral("sucessfuly")));
        QCOMPARE(Count(env.connection(), QStringLiteral("Billing")), 1);
        QCOMPARE(AddInvoiceThroughRecordset(env.connection()), 2001);
    }

    void deletedInvoicesStillCount() {
        // The allocator never goes back: a deleted invoice's number is not given again.
        TestEnv env;
        const int acme = testsupport::AddCompany(env.connection(), QStringLiteral("Acme"));
        const int last = testsupport::AddInvoice(env.connection(), acme, QDate(2026, 1, 1), db::Currency::fromUnits(1));
        env.connection().Execute(QStringLiteral("DELETE FROM Billing"));
        OpenShared(env);
        StartInvoiceNumber = last;
        ResetInvoiceNumber();
        QVERIFY(Forms::find<frmInfo>()->LogText().contains(QStringLiteral("nothing was changed")));
        QCOMPARE(AddInvoiceThroughRecordset(env.connection()), last + 1);
    }

    void emptyCompaniesGetADummy() {
        TestEnv env;
        OpenShared(env);
        StartInvoiceNumber = 10;
        ResetInvoiceNumber();
        QVERIFY(Forms::find<frmInfo>()->LogText().contains(
            QStringLiteral("To ensure database continuity a dummy record has been inserted, you can change the "
                           "information in the Companies form")));
        QCOMPARE(testsupport::QueryValue(env.connection(), QStringLiteral("SELECT CompanyName FROM Companies")).toString(),
                 QStringLiteral("Dummy Record"));
        QCOMPARE(Count(env.connection(), QStringLiteral("Billing")), 0);
        QCOMPARE(AddInvoiceThroughRecordset(env.connection()), 10);
    }

    void abortDuringCountdown_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("key press") << 0;
        QTest::newRow("click on the log") << 1;
        QTest::newRow("window closed") << 2;
    }
    void abortDuringCountdown() {
        QFETCH(int, how);
        TestEnv env;
        testsupport::AddCompany(env.connection(), QStringLiteral("Acme"));
        OpenShared(env);
        CountdownStepMs = 40;
        StartInvoiceNumber = 500;
        QTimer::singleShot(100, [how] {
            frmInfo* info = Forms::find<frmInfo>();
            if (how == 0) QTest::keyClick(info, Qt::Key_Escape);
            if (how == 1) QTest::mouseClick(info->lblinfo->viewport(), Qt::LeftButton);
            if (how == 2) info->close();
        });
        ResetInvoiceNumber();
        QVERIFY(!Forms::loaded<frmInfo>());
        QVERIFY(!AbortRequested);
        QCOMPARE(db::NextAutoNumber(env.connection(), QStringLiteral("Billing")).value_or(0), 1);
        QCOMPARE(Count(env.connection(), QStringLiteral("Billing")), 0);
    }

    void compactionKeepsEveryRow() {
        TestEnv env;
        db::Connection& c = env.connection();
        AddSparseJobs(c, testsupport::AddCompany(c, QStringLiteral("Builders' Supplies")));
        c.Close();
        const QString leftover = RepairFilePath(env.databasePath());
        QFile f(leftover);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old");
        f.close();
        const qint64 before = QFileInfo(env.databasePath()).size();

        OpenShared(env);
        CompactAndRepairDatabase();
        frmInfo* info = Forms::find<frmInfo>();
        QTRY_VERIFY_WITH_TIMEOUT(info->LogText().endsWith(QStringLiteral("Operation Complete")), 3000);
        QCOMPARE(info->LogText(), QStringLiteral("Begining Compact and Repair of Jet 4 Database... \r\n"
                                                 "Deleting old repair file...\r\nDone\r\n"
                                                 "Begining compact & repair process...\r\nDone\r\n"
                                                 "Compact and Repair completed successfuly\r\nOperation Complete"));
        QVERIFY(!QFile::exists(leftover));
        QVERIFY(QFileInfo(env.databasePath()).size() < before);
        db::Connection& after = env.connection();
        QCOMPARE(Count(after, QStringLiteral("JobDetails")), 100);
        QCOMPARE(testsupport::QueryValue(after, QStringLiteral("SELECT CompanyName FROM Companies")).toString(),
                 QStringLiteral("Builders' Supplies"));
        // The key allocator survives the compaction.
        QCOMPARE(db::NextAutoNumber(after, QStringLiteral("JobDetails")).value_or(0), 201);
    }

    void compactionKeepsTheFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("private mode 0600") << "private";
        QTest::newRow("owned by another user") << "owner";
        QTest::newRow("opened through a symbolic link") << "symlink";
        QTest::newRow("second hard link") << "hardlink";
    }
    void compactionKeepsTheFile() {
        QFETCH(QString, kind);
        TestEnv env;
        AddSparseJobs(env.connection(),
                      testsupport::AddCompany(env.connection(), QStringLiteral("Acme")));
        env.connection().Close();
        const QString file = env.databasePath();
        QString opened = file;
        if (kind == u"private") {
            QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
        } else if (kind == u"owner") {
            if (::geteuid() != 0) QSKIP("only root can give the file to another user");
            QCOMPARE(::chown(QFile::encodeName(file).constData(), 65534, 65534), 0);
        } else if (kind == u"symlink") {
            opened = env.programFolder() + QStringLiteral("/link.mdb");
            QVERIFY(QFile::link(file, opened));
        } else {
            opened = env.programFolder() + QStringLiteral("/second name.mdb");
            QCOMPARE(
                ::link(QFile::encodeName(file).constData(), QFile::encodeName(opened).constData()),
                0);
        }
        const struct stat before = Stat(file);

        OpenShared(env, opened);
        CompactAndRepairDatabase();
        QVERIFY2(Forms::find<frmInfo>()->LogText().endsWith(
                     QStringLiteral("Compact and Repair completed successfuly")),
                 qPrintable(Forms::find<frmInfo>()->LogText()));
        const struct stat after = Stat(file);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QCOMPARE(after.st_nlink, before.st_nlink);
        QVERIFY(after.st_size < before.st_size);
        QCOMPARE(QFileInfo(opened).isSymLink(), kind == u"symlink");
        QCOMPARE(Count(env.connection(), QStringLiteral("JobDetails")), 100);
    }

    void compactionWaitsForOtherPrograms_data() {
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("same name") << false;
        QTest::newRow("another name of the file") << true;
    }
    void compactionWaitsForOtherPrograms() {
        QFETCH(bool, throughLink);
        TestEnv env;
        testsupport::AddCompany(env.connection(), QStringLiteral("Acme"));
        env.connection().Close();
        QString otherPath = env.databasePath();
        if (throughLink) {
            otherPath = env.programFolder() + QStringLiteral("/shortcut.mdb");
            QVERIFY(QFile::link(env.databasePath(), otherPath));
        }
        db::Connection other;  // another Tollbook, with the database open
        QVERIFY(other.Open(env.connectionString(otherPath)));
        QFile file(env.databasePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();

        OpenShared(env);
        CompactAndRepairDatabase();
        const QString log = Forms::find<frmInfo>()->LogText();
        QVERIFY2(log.endsWith(QStringLiteral("An error occured whilst executing:\r\n") +
                              QStringLiteral("The database '%1' is in use by another program.")
                                  .arg(env.databasePath())),
                 qPrintable(log));
        QVERIFY(file.seek(0));
        QVERIFY(file.readAll() == before);
        QVERIFY(!QFile::exists(RepairFilePath(env.databasePath())));
        // The other program's saves still land.
        QVERIFY(other.Execute(QStringLiteral("UPDATE Companies SET CompanyName = 'Acme Ltd'")));
        QCOMPARE(testsupport::QueryValue(other, QStringLiteral("SELECT CompanyName FROM Companies"))
                     .toString(),
                 QStringLiteral("Acme Ltd"));
    }

    void failedCompactionLeavesTheOriginal() {
        TestEnv env;
        env.connection().Close();
        OpenShared(env);
        // The file is damaged after it was opened.
        QFile f(env.databasePath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(4096, 'z'));
        f.close();
        CompactAndRepairDatabase();
        const QString log = Forms::find<frmInfo>()->LogText();
        QVERIFY2(log.contains(QStringLiteral("Begining compact & repair process...\r\nAn error occured whilst executing:\r\n")),
                 qPrintable(log));
        QVERIFY(!log.contains(QStringLiteral("successfuly")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray(4096, 'z'));
        QVERIFY(!QFile::exists(RepairFilePath(env.databasePath())));
    }
};

QTEST_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
