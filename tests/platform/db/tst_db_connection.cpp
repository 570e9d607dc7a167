// Opening the database file: which file a connection string names, and which files are refused.

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/schema.h"
#include "tests/support/testenv.h"

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A database holding one company whose name says which file it is.
void MakeMarkedDatabase(const QString& path, const QString& marker) {
    QString error;
    QVERIFY2(db::CreateDatabase(path, &error), qPrintable(error));
    db::Connection c;
    QVERIFY2(c.Open(QStringLiteral("DBQ=") + path), qPrintable(c.LastError()));
    testsupport::AddCompany(c, marker);
}

QString Marker(db::Connection& c) {
    db::Recordset rs;
    if (!rs.Open(QStringLiteral("select companyname from companies"), c, db::adOpenStatic,
                 db::adLockReadOnly) ||
        rs.Eof())
        return QString();
    return rs.Fields(QStringLiteral("CompanyName")).Text();
}

}  // namespace

class TestDbConnection : public QObject {
    Q_OBJECT

  private slots:
    void connectionStrings_data();
    void connectionStrings();
    void missingFileIsNotCreated();
    void refusedFiles_data();
    void refusedFiles();
    void reopenAfterRefusalStaysClosed();
    void closeLeavesRecordsetsFailing();
    void transactions_data();
    void transactions();
    void olderFilesGetTheIndexes_data();
    void olderFilesGetTheIndexes();
    void waitForAnotherWriter_data();
    void waitForAnotherWriter();
    void changeMarksEndTheirWait_data();
    void changeMarksEndTheirWait();
};

void TestDbConnection::connectionStrings_data() {
    QTest::addColumn<QString>("pattern");  // %1 = the path
    QTest::newRow("odbc, as the program builds it")
        << "PROVIDER=MSDataShape;DBQ=%1;DefaultDir=/tmp;Driver={Microsoft Access Driver (*.mdb)};"
           "DriverId=25;FIL=MS Access;PWD=Tk5Rw8Nq3Vz6;";
    QTest::newRow("oledb Data Source") << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;"
                                          "Jet OLEDB:Database Password=Tk5Rw8Nq3Vz6";
    QTest::newRow("lower-case key, last") << "uid=admin;dbq=%1";
    QTest::newRow("braced value") << "Driver={Microsoft Access Driver (*.mdb)};DBQ={%1};PWD=x";
    QTest::newRow("blanks around") << " DBQ = %1 ; UID = admin ";
}

void TestDbConnection::connectionStrings() {
    QFETCH(QString, pattern);
    QTemporaryDir dir;
    // Blanks and letters outside ASCII in folder and file name.
    const QString folder = dir.filePath(QStringLiteral("Mes données/Büro 2026"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/ämbrelle copy.mdb");
    const QString other = dir.filePath(QStringLiteral("other.mdb"));
    MakeMarkedDatabase(path, QStringLiteral("the named file"));
    MakeMarkedDatabase(other, QStringLiteral("another file"));

    db::Connection c;
    c.SetConnectionString(pattern.arg(path));
    c.SetCursorLocation(db::adUseClient);
    QVERIFY2(c.Open(), qPrintable(c.LastError()));
    QCOMPARE(c.State(), int(db::adStateOpen));
    QCOMPARE(c.DatabasePath(), path);
    QCOMPARE(c.ConnectionString(), pattern.arg(path));
    QCOMPARE(Marker(c), QStringLiteral("the named file"));
    QVERIFY(c.ProviderConnectString().contains(QStringLiteral("DBQ=") + path + u';'));
    c.Close();
    QCOMPARE(c.State(), int(db::adStateClosed));
}

void TestDbConnection::missingFileIsNotCreated() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nothing here.mdb"));
    db::Connection c;
    QVERIFY(!c.Open(QStringLiteral("DBQ=") + path));
    QCOMPARE(c.State(), int(db::adStateClosed));
    QVERIFY(c.LastError().contains(path));
    QCOMPARE(db::LastError(), c.LastError());
    QVERIFY(!QFile::exists(path));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());

    QVERIFY(!c.Open(QStringLiteral("Driver={Microsoft Access Driver (*.mdb)};PWD=x")));
    QCOMPARE(c.State(), int(db::adStateClosed));
    QVERIFY(!c.LastError().isEmpty());
}

void TestDbConnection::refusedFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("text file") << "text";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("other SQLite database") << "foreign";
    QTest::newRow("database lacking one table") << "partial";
    QTest::newRow("read-only file") << "readonly";
    QTest::newRow("folder") << "folder";
}

void TestDbConnection::refusedFiles() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picked.mdb"));
    if (kind == u"text") {
        WriteAll(path, "Name,Town\r\nAcme,Leeds\r\n");
    } else if (kind == u"empty") {
        WriteAll(path, QByteArray());
    } else if (kind == u"foreign") {
        sqlite3* h = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &h), SQLITE_OK);
        QCOMPARE(sqlite3_exec(h,
                              "CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT);"
                              "INSERT INTO notes (body) VALUES ('hello');",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(h);
    } else if (kind == u"partial") {
        QVERIFY(db::CreateDatabase(path));
        db::Connection c;
        QVERIFY(c.Open(QStringLiteral("DBQ=") + path));
        QVERIFY(c.Execute(QStringLiteral("DROP TABLE sync")));
    } else if (kind == u"readonly") {
        QVERIFY(db::CreateDatabase(path));
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    } else if (kind == u"folder") {
        QVERIFY(QDir().mkpath(path));
    }
    const QByteArray before = ReadAll(path);
    const QStringList filesBefore =
        QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);

    db::Connection c;
    QVERIFY(!c.Open(QStringLiteral("DBQ=%1;PWD=x").arg(path)));
    QCOMPARE(c.State(), int(db::adStateClosed));
    QVERIFY2(c.LastError().contains(QStringLiteral("picked.mdb")), qPrintable(c.LastError()));
    db::Recordset rs;
    QVERIFY(!rs.Open(QStringLiteral("select * from companies"), c));
    QCOMPARE(rs.State(), int(db::adStateClosed));

    QCOMPARE(ReadAll(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), filesBefore);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

void TestDbConnection::reopenAfterRefusalStaysClosed() {
    testsupport::TestEnv env;
    db::Connection& c = env.connection();
    QCOMPARE(c.State(), int(db::adStateOpen));
    const QString bad = env.programFolder() + QStringLiteral("/notes.txt");
    WriteAll(bad, "not a database");
    QVERIFY(!c.Open(QStringLiteral("DBQ=") + bad));
    QCOMPARE(c.State(), int(db::adStateClosed));
    QVERIFY(c.Open(env.connectionString()));
    QCOMPARE(c.State(), int(db::adStateOpen));
}

void TestDbConnection::closeLeavesRecordsetsFailing() {
    testsupport::TestEnv env;
    testsupport::AddCompany(env.connection(), QStringLiteral("Acme"));
    db::Recordset rs;
    QVERIFY(rs.Open(QStringLiteral("select * from companies"), env.connection(), db::adOpenDynamic,
                    db::adLockOptimistic));
    env.connection().Close();
    // The rows read stay readable; writing fails with a message instead of crashing.
    QCOMPARE(rs.Fields(QStringLiteral("CompanyName")).Text(), QStringLiteral("Acme"));
    QVERIFY(rs.Fields(QStringLiteral("CompanyName")).SetValue(QStringLiteral("Beta")));
    QVERIFY(!rs.Update());
    QVERIFY(!rs.LastError().isEmpty());
    QVERIFY(!rs.Requery());
}

// A record set's write inside a transaction reaches the file at the commit and never after a
// rollback, as another connection to the same file sees it.
void TestDbConnection::transactions_data() {
    QTest::addColumn<bool>("commit");
    QTest::newRow("committed") << true;
    QTest::newRow("rolled back") << false;
}

void TestDbConnection::transactions() {
    QFETCH(bool, commit);
    testsupport::TestEnv env;
    db::Connection& c = env.connection();
    const int id = testsupport::AddCompany(c, QStringLiteral("Acme"));
    db::Connection other;
    QVERIFY(other.Open(env.connectionString()));
    QVERIFY(c.BeginTrans());
    db::Recordset rs;
    QVERIFY(rs.OpenWith(QStringLiteral("select CompanyName from companies where CompanyID = ?"), c,
                        {id}, db::adOpenDynamic, db::adLockOptimistic));
    QVERIFY(rs.SetValue(QStringLiteral("CompanyName"), QStringLiteral("Beta")));
    QVERIFY(rs.Update());
    const QString sql = QStringLiteral("select CompanyName from companies");
    QCOMPARE(testsupport::QueryValue(other, sql).toString(), QStringLiteral("Acme"));
    QVERIFY(commit ? c.CommitTrans() : c.RollbackTrans());
    QCOMPARE(testsupport::QueryValue(other, sql).toString(),
             commit ? QStringLiteral("Beta") : QStringLiteral("Acme"));
    QVERIFY(!c.CommitTrans());
    c.Close();
    QVERIFY(!c.BeginTrans());
}

// A file made before an index was in the schema gets it when opened; one that cannot take it
// (a column the older program did not have) is still opened.
void TestDbConnection::olderFilesGetTheIndexes_data() {
    QTest::addColumn<QString>("change");  // made to a new file before it is opened
    QTest::addColumn<int>("indexesAfter");  // of the three dated ones
    QTest::newRow("indexes missing") << "DROP INDEX JobDetails_Finish; DROP INDEX Billing_BillingDate; "
                                        "DROP INDEX Outgoings_Date"
                                     << 3;
    QTest::newRow("one column missing") << "DROP INDEX JobDetails_Finish; DROP INDEX Billing_BillingDate; "
                                           "DROP INDEX Outgoings_Date; ALTER TABLE Outgoings DROP COLUMN Date"
                                        << 2;
}

void TestDbConnection::olderFilesGetTheIndexes() {
    QFETCH(QString, change);
    QFETCH(int, indexesAfter);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("older.mdb"));
    QString error;
    QVERIFY2(db::CreateDatabase(path, &error), qPrintable(error));
    sqlite3* raw = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &raw), SQLITE_OK);
    QCOMPARE(sqlite3_exec(raw, change.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);

    db::Connection c;
    QVERIFY2(c.Open(QStringLiteral("DBQ=") + path), qPrintable(c.LastError()));
    QCOMPARE(testsupport::QueryValue(c, QStringLiteral("select count(*) from sqlite_master where type = 'index' and "
                                                       "name in ('JobDetails_Finish', 'Billing_BillingDate', "
                                                       "'Outgoings_Date')")),
             QVariant(indexesAfter));
}

// A write that meets another connection's write lock waits through the installed wait, which
// can give it up (nothing written, the edit kept for the next try) or see the lock go.
void TestDbConnection::waitForAnotherWriter_data() {
    QTest::addColumn<QString>("during");  // what the wait does once it has lasted 200 ms
    QTest::addColumn<bool>("stored");
    QTest::newRow("given up") << "give up" << false;
    QTest::newRow("a read inside the wait is refused") << "read" << false;
    QTest::newRow("the other program finishes") << "release" << true;
}

void TestDbConnection::waitForAnotherWriter() {
    QFETCH(QString, during);
    QFETCH(bool, stored);
    testsupport::TestEnv env;
    db::Connection& c = env.connection();
    const int id = testsupport::AddCompany(c, QStringLiteral("Acme"));
    db::Connection other;
    QVERIFY(other.Open(env.connectionString()));
    QVERIFY(other.BeginTrans());
    QList<int> asked;
    int ended = 0;
    QString readError;
    db::SetBusyWait({[&](int waitedMs) {
                         asked << waitedMs;
                         if (waitedMs < 200) return true;
                         if (during == u"release") return other.CommitTrans();
                         if (during == u"read") {
                             db::Recordset inside;
                             if (!inside.Open(QStringLiteral("select * from companies"), c))
                                 readError = db::LastError();
                         }
                         return false;
                     },
                     [&] { ++ended; }});
    db::Recordset rs;
    QVERIFY(rs.OpenWith(QStringLiteral("select CompanyName from companies where CompanyID = ?"), c,
                        {id}, db::adOpenDynamic, db::adLockOptimistic));
    QVERIFY(rs.SetValue(QStringLiteral("CompanyName"), QStringLiteral("Beta")));
    const bool updated = rs.Update();
    db::SetBusyWait({});
    QCOMPARE(updated, stored);
    QVERIFY(asked.size() > 2);
    QVERIFY(std::is_sorted(asked.begin(), asked.end()) && asked.last() >= 200);
    QCOMPARE(ended, 1);
    QCOMPARE(readError, during == u"read" ? db::kDatabaseBusy : QString());
    const QString sql = QStringLiteral("select CompanyName from companies");
    if (stored) {
        QCOMPARE(testsupport::QueryValue(other, sql).toString(), QStringLiteral("Beta"));
        return;
    }
    QCOMPARE(rs.LastError(), db::kDatabaseBusy);
    QCOMPARE(testsupport::QueryValue(other, sql).toString(), QStringLiteral("Acme"));
    // The edit is still there, and goes in once the other program has finished.
    QCOMPARE(rs.EditMode(), int(db::Recordset::adEditInProgress));
    QVERIFY(other.RollbackTrans());
    QVERIFY2(rs.Update(), qPrintable(rs.LastError()));
    QCOMPARE(testsupport::QueryValue(other, sql).toString(), QStringLiteral("Beta"));
}

// Asking where the file's history stands may itself meet another program's lock; the wait
// it began ends with the call, not with whatever statement runs next.
void TestDbConnection::changeMarksEndTheirWait_data() {
    QTest::addColumn<bool>("rows");  // ChangedRows rather than Changes
    QTest::addColumn<bool>("released");  // the other program finishes, rather than a give-up
    QTest::newRow("mark, given up") << false << false;
    QTest::newRow("mark, lock gone") << false << true;
    QTest::newRow("changed rows, given up") << true << false;
    QTest::newRow("changed rows, lock gone") << true << true;
}

void TestDbConnection::changeMarksEndTheirWait() {
    QFETCH(bool, rows);
    QFETCH(bool, released);
    testsupport::TestEnv env;
    db::Connection& c = env.connection();
    testsupport::AddCompany(c, QStringLiteral("Acme"));
    const db::ChangeMark before = c.Changes();
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(env.databasePath()).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    int asked = 0, ended = 0;
    db::SetBusyWait({[&](int waitedMs) {
                         ++asked;
                         if (waitedMs < 50) return true;
                         if (released) return sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
                         return false;
                     },
                     [&] { ++ended; }});
    const bool told = rows ? c.ChangedRows(QStringLiteral("Companies"), before).has_value()
                           : c.Changes().others >= 0;
    db::SetBusyWait({});
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    QVERIFY(asked > 0);
    QCOMPARE(told, released);
    QCOMPARE(ended, 1);
}

QTEST_GUILESS_MAIN(TestDbConnection)
#include "tst_db_connection.moc"
