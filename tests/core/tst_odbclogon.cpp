// The ODBC logon window over data-source files of the test's own, read by unixODBC.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "core/forms.h"
#include "core/frmODBCLogon.h"
#include "core/odbclogonrules.h"
#include "core/settingscatalogue.h"
#include "platform/db/connection.h"
#include "tests/support/testenv.h"

using testsupport::TestEnv;

namespace {

const QByteArray kDrivers =
    "[SQLite3]\nDescription=SQLite3 ODBC "
    "Driver\nDriver=libsqlite3odbc.so\nSetup=libsqlite3odbc.so\n";

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

}  // namespace

class TestOdbcLogon : public QObject {
    Q_OBJECT
    // unixODBC settles on its system folder at the first call, so it is one for the whole run.
    QTemporaryDir odbcDir_;
    std::unique_ptr<TestEnv> env_;

    void Write(const QString& name, const QByteArray& text) {
        QFile f(odbcDir_.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    void Sources(const QByteArray& user, const QByteArray& system) {
        Write(QStringLiteral("user.ini"), user);
        Write(QStringLiteral("odbc.ini"), system);
    }

  private slots:
    void initTestCase() {
        qputenv("ODBCSYSINI", QFile::encodeName(odbcDir_.path()));
        qputenv("ODBCINI", QFile::encodeName(odbcDir_.filePath(QStringLiteral("user.ini"))));
        Write(QStringLiteral("odbcinst.ini"), kDrivers);
    }
    void init() {
        env_ = std::make_unique<TestEnv>();
        Sources({}, {});
    }
    void cleanup() {
        Forms::unload<frmODBCLogon>();
        env_.reset();
    }

    // The user's data sources come first, then the system's; only neighbouring equal
    // drivers collapse.
    void listing_data() {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("system");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("drivers");
        QTest::newRow("none") << QByteArray() << QByteArray() << QStringList{"(None)"}
                              << QStringList{};
        QTest::newRow("user then system")
            << QByteArray("[Ledger]\nDriver=SQLite3\n[Archive]\nDriver=SQLite3\n")
            << QByteArray(
                   "[Shared]\nDriver=SQLite3\n[Stock]\nDriver=PostgreSQL "
                   "Unicode\n[Old]\nDriver=SQLite3\n")
            << QStringList{"(None)", "Ledger", "Archive", "Shared", "Stock", "Old"}
            << QStringList{"SQLite3", "PostgreSQL Unicode", "SQLite3"};
    }
    void listing() {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, system);
        QFETCH(QStringList, names);
        QFETCH(QStringList, drivers);
        Sources(user, system);
        frmODBCLogon* w = Forms::get<frmODBCLogon>();
        QCOMPARE(Items(w->cboDSNList), names);
        QCOMPARE(Items(w->cboDrivers), drivers);
        QCOMPARE(w->cboDSNList->currentIndex(), 0);
        QVERIFY(w->txtServer->isEnabled() && w->cboDrivers->isEnabled());
    }

    // What OK stores (Cancel: nothing), whatever the boxes that a chosen data source
    // disables hold.
    void stored_data() {
        QTest::addColumn<int>("dsn");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("database");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("stored");
        const QString head = QStringLiteral("PROVIDER=MSDataShape;Data PROVIDER=MSDASQL;");
        QTest::newRow("driver and server")
            << 0 << "D1"
            << "S1"
            << "u"
            << ""
            << "" << true << head + "Driver=D1;Server=S1;UID=u;PWD=;";
        QTest::newRow("data source")
            << 2 << "D1"
            << "S1"
            << "ann"
            << "pw"
            << "books" << true << head + "DSN=Archive;UID=ann;PWD=pw;Database=books;";
        QTest::newRow("password with ; and }")
            << 1 << ""
            << ""
            << "u"
            << "a;b}c"
            << "db" << true << head + "DSN=Ledger;UID=u;PWD={a;b}}c};Database=db;";
        QTest::newRow("braced driver")
            << 0 << "{SQLite3}"
            << "host"
            << ""
            << ""
            << "" << true << head + "Driver={{SQLite3}}};Server=host;UID=;PWD=;";
        QTest::newRow("cancel") << 1 << ""
                                << ""
                                << "u"
                                << "p"
                                << "" << false << "untouched";
    }
    void stored() {
        QFETCH(int, dsn);
        QFETCH(QString, driver);
        QFETCH(QString, server);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, database);
        QFETCH(bool, ok);
        QFETCH(QString, stored);
        Sources("[Ledger]\nDriver=SQLite3\n[Archive]\nDriver=SQLite3\n", {});
        catalogue::WriteText(catalogue::ADOString, QStringLiteral("untouched"));
        frmODBCLogon* w = Forms::get<frmODBCLogon>();
        w->show();
        w->cboDrivers->setCurrentText(driver);
        w->txtServer->setText(server);
        w->cboDSNList->setCurrentIndex(dsn);
        QCOMPARE(w->txtServer->isEnabled(), dsn == 0);
        QCOMPARE(w->cboDrivers->isEnabled(), dsn == 0);
        w->txtUID->setText(user);
        w->txtPWD->setText(password);
        w->txtDatabase->setText(database);
        QTest::mouseClick(ok ? w->cmdOK : w->cmdCancel, Qt::LeftButton);
        QCOMPARE(catalogue::ReadText(catalogue::ADOString), stored);
        QTRY_VERIFY(!Forms::loaded<frmODBCLogon>());
        // Each value reads back as it was typed.
        if (ok) {
            QCOMPARE(db::ConnectionStringValue(stored, QStringLiteral("PWD")), password);
            QCOMPARE(db::ConnectionStringValue(stored, QStringLiteral("Database")), database);
            if (dsn == 0)
                QCOMPARE(db::ConnectionStringValue(stored, QStringLiteral("Driver")), driver);
        }
    }
};

QTEST_MAIN(TestOdbcLogon)
#include "tst_odbclogon.moc"
