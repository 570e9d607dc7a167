#include "testenv.h"

#include <csignal>

#include <QDir>
#include <QStandardPaths>
#include <QTest>

#include "platform/db/recordset.h"
#include "platform/db/schema.h"
#include "platform/settings/settings.h"

namespace testsupport {

TestEnv::TestEnv() {
    QStandardPaths::setTestModeEnabled(true);
    QDir(dir_.path()).mkpath(QStringLiteral("settings"));
    settings::SetStoreFolder(settingsFolder());
    // Components register into a registry of this environment's own.
    qputenv("AMBRELLE_COMPONENT_REGISTRY", QDir(settingsFolder()).filePath(QStringLiteral("components.ini")).toLocal8Bit());
    QString error;
    if (!db::CreateDatabase(databasePath(), &error)) qFatal("cannot create the test database: %s", qPrintable(error));
    auto prompts = std::make_unique<ui::ScriptedPrompts>();
    prompts_ = prompts.get();
    prompts_->SetFailureHandler([](const QString& why) { QTest::qFail(qPrintable(why), __FILE__, __LINE__); });
    ui::Install(std::move(prompts));
}

TestEnv::~TestEnv() {
    connection_.Close();
    ui::Install(std::make_unique<ui::ScriptedPrompts>());
    settings::SetStoreFolder(QString());
    qunsetenv("AMBRELLE_COMPONENT_REGISTRY");
}

FileSizeLimit::FileSizeLimit(qint64 bytes) {
    // Without this the first write past the limit would end the process (SIGXFSZ).
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) qFatal("cannot limit the file size");
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
}

QString TestEnv::databasePath() const { return QDir(dir_.path()).filePath(QStringLiteral("ambrelle.mdb")); }

QString TestEnv::settingsFolder() const { return QDir(dir_.path()).filePath(QStringLiteral("settings")); }

QString TestEnv::connectionString(const QString& path) const {
    return QStringLiteral("PROVIDER=MSDataShape;DBQ=%1;DefaultDir=%2;Driver={Microsoft Access Driver (*.mdb)};"
                          "DriverId=25;FIL=MS Access;PWD=Tk5Rw8Nq3Vz6;")
        .arg(path.isEmpty() ? databasePath() : path, dir_.path());
}

db::Connection& TestEnv::connection() {
    if (connection_.State() != db::adStateOpen) {
        connection_.SetCursorLocation(db::adUseClient);
        if (!connection_.Open(connectionString())) qFatal("cannot open the test database: %s", qPrintable(connection_.LastError()));
    }
    return connection_;
}

int InsertRow(db::Connection& c, const QString& table, const QVariantMap& values) {
    QStringList cols, marks;
    QVariantList params;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        cols << QStringLiteral("\"%1\"").arg(it.key());
        marks << QStringLiteral("?");
        params << it.value();
    }
    const QString sql = cols.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                                       : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                             .arg(table, cols.join(u", "), marks.join(u", "));
    if (!c.Execute(sql, params)) qFatal("insert into %s failed: %s", qPrintable(table), qPrintable(c.LastError()));
    return QueryValue(c, QStringLiteral("SELECT last_insert_rowid()")).toInt();
}

int AddCompany(db::Connection& c, const QString& name, QVariantMap more) {
    more.insert(QStringLiteral("CompanyName"), name);
    return InsertRow(c, QStringLiteral("Companies"), more);
}

int AddContact(db::Connection& c, int companyId, const QString& first, const QString& last, QVariantMap more) {
    more.insert(QStringLiteral("CompanyID"), companyId);
    more.insert(QStringLiteral("Firstname"), first);
    more.insert(QStringLiteral("Lastname"), last);
    return InsertRow(c, QStringLiteral("contacts"), more);
}

int AddJob(db::Connection& c, int customerId, const QDateTime& start, const QDateTime& finish, QVariantMap more) {
    more.insert(QStringLiteral("CustomerID"), customerId);
    more.insert(QStringLiteral("Start"), start);
    more.insert(QStringLiteral("Finish"), finish);
    return InsertRow(c, QStringLiteral("JobDetails"), more);
}

int AddInvoice(db::Connection& c, int companyId, const QDate& billingDate, db::Currency amount, QVariantMap more) {
    more.insert(QStringLiteral("CompanyID"), companyId);
    more.insert(QStringLiteral("BillingDate"), QDateTime(billingDate, QTime(0, 0)));
    more.insert(QStringLiteral("InvoiceAmount"), QVariant::fromValue(amount));
    return InsertRow(c, QStringLiteral("Billing"), more);
}

int AddPartPayment(db::Connection& c, int invoiceId, const QDate& date, db::Currency amount) {
    return InsertRow(c, QStringLiteral("billing_part_payment"),
                     {{QStringLiteral("invoiceid"), invoiceId},
                      {QStringLiteral("Date"), QDateTime(date, QTime(0, 0))},
                      {QStringLiteral("Amount"), QVariant::fromValue(amount)}});
}

int AddExpense(db::Connection& c, QVariantMap values) { return InsertRow(c, QStringLiteral("Outgoings"), values); }

void SetSystemRow(db::Connection& c, const QString& fieldName, const QString& value) {
    c.Execute(QStringLiteral("DELETE FROM System WHERE FieldName = ?"), {fieldName});
    InsertRow(c, QStringLiteral("System"), {{QStringLiteral("FieldName"), fieldName}, {QStringLiteral("Value"), value}});
}

int AddSyncRow(db::Connection& c, int jobId, const QDateTime& lastSync, const QString& type) {
    return InsertRow(c, QStringLiteral("sync"),
                     {{QStringLiteral("RecordType"), QStringLiteral("schedule")},
                      {QStringLiteral("RecordID"), jobId},
                      {QStringLiteral("LastSyncDate"), lastSync},
                      {QStringLiteral("synctype"), type}});
}

void ClosingWithUnsavedEditsRows() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("answer");
    QTest::addColumn<double>("stored");
    QTest::addColumn<bool>("open");
    QTest::newRow("unchanged") << QString() << 0 << 180.0 << false;
    QTest::newRow("yes saves") << QStringLiteral("195") << int(ui::vbYes) << 195.0 << false;
    QTest::newRow("no drops") << QStringLiteral("195") << int(ui::vbNo) << 180.0 << false;
    QTest::newRow("cancel stays") << QStringLiteral("195") << int(ui::vbCancel) << 180.0 << true;
}

QVariant QueryValue(db::Connection& c, const QString& sql, const QVariantList& params) {
    db::Recordset rs;
    if (!rs.OpenWith(sql, c, params, db::adOpenStatic, db::adLockReadOnly) || rs.Eof()) return QVariant();
    return rs.Fields(0).Value();
}

QVariant JobValue(db::Connection& c, qint64 jobId, const char* column) {
    return QueryValue(
        c, QStringLiteral("SELECT %1 FROM JobDetails WHERE JobID = ?").arg(QLatin1String(column)),
        {jobId});
}

}  // namespace testsupport
