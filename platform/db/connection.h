#pragma once

#include <QSet>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>

#include "jetsql.h"

namespace db {

// ADO's numbers, as the windows pass them.
enum ObjectState { adStateClosed = 0, adStateOpen = 1 };
enum CursorLocationEnum { adUseServer = 2, adUseClient = 3 };
enum CursorTypeEnum {
    adOpenUnspecified = -1,
    adOpenForwardOnly = 0,
    adOpenKeyset = 1,
    adOpenDynamic = 2,
    adOpenStatic = 3
};
enum LockTypeEnum {
    adLockUnspecified = -1,
    adLockReadOnly = 1,
    adLockPessimistic = 2,
    adLockOptimistic = 3,
    adLockBatchOptimistic = 4
};

// The text of the most recent failure of any call of this layer, as the windows show it.
QString LastError();
void SetLastError(const QString& text);

// The value of one key of a connection string ("DBQ", "Data Source"), without case;
// braces around a value are removed ("}}" inside them reads as "}"). Empty when the key
// is missing.
QString ConnectionStringValue(const QString& connectionString, const QString& key);
// A value as a connection string holds it, the reverse of ConnectionStringValue: one holding
// ";", "{" or "}" is enclosed in braces, with each "}" doubled.
QString ConnectionStringQuote(const QString& value);

namespace detail {
struct ConnectionState;
}

// What a statement does while another program holds a lock it needs. `keepWaiting` is asked
// again and again with the time waited so far, and may itself take a few milliseconds (it is
// where the waiting is done): false gives the wait up and the statement fails as busy, having
// changed nothing. `ended` follows once that statement's wait is over, whichever way. It holds
// for the thread that installs it; elsewhere, or with none, a statement waits up to 5 s.
struct BusyWait {
    std::function<bool(int waitedMs)> keepWaiting;
    std::function<void()> ended;
};
void SetBusyWait(BusyWait wait);
// The text of a statement that failed because another program held the database.
extern const QString kDatabaseBusy;

// Tests only: runs before every COMMIT; a text it returns fails that commit with the text, as
// the engine's own failure would. An empty function removes the hook.
void SetCommitHook(std::function<QString()> hook);

// An advisory lock on a database file, kept in "<file>.lock" beside it so that it never meets
// the engine's own locks on the file itself. Every open connection holds it shared; a job that
// rewrites the file holds it alone, so that no program writes into a file about to be replaced.
class DatabaseLock {
public:
    enum Mode { Shared, Exclusive };
    DatabaseLock() = default;
    ~DatabaseLock() { Release(); }
    DatabaseLock(const DatabaseLock&) = delete;
    DatabaseLock& operator=(const DatabaseLock&) = delete;

    // Does not wait: false, with the reason in `error`, when another holder stands in the way.
    bool Acquire(const QString& databasePath, Mode mode, QString* error);
    void Release();

private:
    int fd_ = -1;
};

// A point in the file's history, to ask later which rows were written since.
struct ChangeMark {
    quint64 opening = 0;  // the connection's opening it was taken in
    quint64 serial = 0;   // rows written through the connection until then
    qint64 others = -1;   // the engine's count of other programs' commits until then
};

// The one connection to the database file. The connection string names the file with
// DBQ= (or Data Source=); every other key is accepted and ignored. Open never creates a
// file and refuses one that is not a database with the eight tables, or one whose lock
// another program holds alone; the open connection holds the file's lock shared.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QString ConnectionString() const { return connectionString_; }
    void SetConnectionString(const QString& text) { connectionString_ = text; }
    int CursorLocation() const { return cursorLocation_; }
    void SetCursorLocation(int location) { cursorLocation_ = location; }

    // Opens the file named by the connection string (or by `connectionString` when given).
    // On failure State() stays closed and LastError() says why.
    bool Open(const QString& connectionString = QString());
    int State() const;
    void Close();
    QString LastError() const { return lastError_; }

    // Path of the open file, or the one the connection string names when closed.
    QString DatabasePath() const;
    // The driver's own connect string: "DBQ=<path>;DefaultDir=<folder>;..." (read by the
    // compaction job, which takes the path out of it).
    QString ProviderConnectString() const;

    // Runs one statement with values bound to its ? marks (tools and tests; the windows
    // open record sets).
    bool Execute(const QString& sql, const QVariantList& params = {}, int* rowsAffected = nullptr);

    // One transaction at a time; record sets on this connection write inside it. It takes the
    // file's write lock at once, so that a busy file fails here rather than half-way through.
    // A commit that fails rolls back: the connection is never left inside a transaction that
    // later saves would silently join.
    bool BeginTrans();
    bool CommitTrans();
    bool RollbackTrans();
    bool InTransaction() const;
    // A named point inside the transaction that a part of it can go back to alone.
    bool Savepoint(const QString& name);
    bool RollbackToSavepoint(const QString& name);
    bool ReleaseSavepoint(const QString& name);

    // Where the file's history stands now.
    ChangeMark Changes() const;
    // The keys (rowids) of the rows of `table` written through this connection since `mark`,
    // none when nothing was. nullopt when that cannot be told: the connection was closed or
    // another program wrote to the file meanwhile, rows were written without being reported
    // (a table emptied at once), or so many that they were no longer kept.
    std::optional<QSet<qint64>> ChangedRows(const QString& table, const ChangeMark& mark) const;

    // How the open connection runs statements with RIGHT JOINs from the next one on, until it
    // closes (tests compare the two).
    void SetOuterJoins(OuterJoins joins);

    std::shared_ptr<detail::ConnectionState> state() const { return state_; }

private:
    bool Fail(const QString& text);
    // Runs engine SQL as it stands, without the Jet translation.
    bool Plain(const QString& sql);

    QString connectionString_;
    int cursorLocation_ = adUseServer;
    QString lastError_;
    std::shared_ptr<detail::ConnectionState> state_;
    DatabaseLock lock_;
};

}  // namespace db
