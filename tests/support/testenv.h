#pragma once

#include <sys/resource.h>

#include <QDateTime>
#include <QTemporaryDir>
#include <QVariantMap>

#include "platform/db/connection.h"
#include "platform/db/currency.h"
#include "platform/ui/prompts.h"

namespace testsupport {

// A temporary program folder holding a fresh database made from the schema, a temporary
// settings store, and scripted prompts. Everything is removed when it goes.
class TestEnv {
public:
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv&) = delete;
    TestEnv& operator=(const TestEnv&) = delete;

    QString programFolder() const { return dir_.path(); }
    QString databasePath() const;
    QString settingsFolder() const;
    // The connection string the program builds for a database at `path` (this one's by default).
    QString connectionString(const QString& path = QString()) const;
    // Opened on first use.
    db::Connection& connection();
    ui::ScriptedPrompts& prompts() { return *prompts_; }
    // Checks that every scripted answer was used.
    bool allPromptsAnswered() const { return prompts_->pending() == 0; }

private:
    QTemporaryDir dir_;
    db::Connection connection_;
    ui::ScriptedPrompts* prompts_ = nullptr;
};

// While it lives, no file of this process can grow past `bytes`: a write beyond fails with
// "File too large", as a write fails on a disk that has filled. Scope it to the one write
// under test, since the database file is held to it too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// Row builders: each inserts one row (columns not given take the table's defaults) and
// returns the new key.
int InsertRow(db::Connection& c, const QString& table, const QVariantMap& values);
int AddCompany(db::Connection& c, const QString& name, QVariantMap more = {});
int AddContact(db::Connection& c, int companyId, const QString& first, const QString& last, QVariantMap more = {});
int AddJob(db::Connection& c, int customerId, const QDateTime& start, const QDateTime& finish, QVariantMap more = {});
int AddInvoice(db::Connection& c, int companyId, const QDate& billingDate, db::Currency amount, QVariantMap more = {});
int AddPartPayment(db::Connection& c, int invoiceId, const QDate& date, db::Currency amount);
int AddExpense(db::Connection& c, QVariantMap values);
// Writes (or replaces) the System row with this key.
void SetSystemRow(db::Connection& c, const QString& fieldName, const QString& value);
int AddSyncRow(db::Connection& c, int jobId, const QDateTime& lastSync, const QString& type = QStringLiteral("new"));
// The rows of a test that closes a window holding an amount of 180 after typing 195 into it
// (or nothing): columns "typed" (empty: nothing typed), "answer" (to "Save the changes to
// ...?"), "stored" (the amount in the file afterwards) and "open" (the window stayed).
void ClosingWithUnsavedEditsRows();
// One value read straight from the file, for checks.
QVariant QueryValue(db::Connection& c, const QString& sql, const QVariantList& params = {});
// One column of one appointment, read straight from the file.
QVariant JobValue(db::Connection& c, qint64 jobId, const char* column);

}  // namespace testsupport
