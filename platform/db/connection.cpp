#include "connection.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <thread>

#include "internal.h"
#include "jetfunctions.h"
#include "jetsql.h"
#include "schema.h"

namespace db {

namespace {
thread_local QString g_lastError;
}

QString LastError() { return g_lastError; }
void SetLastError(const QString& text) { g_lastError = text; }

const QString kDatabaseBusy = QStringLiteral(
    "The database is in use by another program; nothing was changed. Try again when the other "
    "program has finished.");

namespace {

constexpr int kPlainWaitMs = 5000;
constexpr int kRoundMs = 10;

struct InstalledWait {
    BusyWait wait;
    std::thread::id thread;
};
InstalledWait& Installed() {
    static InstalledWait installed;
    return installed;
}

// The wait of the statement this thread runs, once it met another program's lock.
struct CurrentWait {
    sqlite3* db = nullptr;
    QElapsedTimer since;
    bool asked = false;   // keepWaiting was called: `ended` is owed
    bool inside = false;  // keepWaiting is running
};
thread_local CurrentWait t_wait;

int OnBusy(void* handle, int) {
    auto* db = static_cast<sqlite3*>(handle);
    CurrentWait& w = t_wait;
    if (!w.db) {
        w.db = db;
        w.since.start();
    }
    const int waited = static_cast<int>(w.since.elapsed());
    const InstalledWait& hook = Installed();
    // Another connection meeting a lock while the wait is being shown waits the plain way.
    if (w.db == db && !w.inside && hook.wait.keepWaiting &&
        hook.thread == std::this_thread::get_id()) {
        QElapsedTimer round;
        round.start();
        w.inside = w.asked = true;
        const bool on = hook.wait.keepWaiting(waited);
        w.inside = false;
        if (!on) return 0;
        if (round.elapsed() < kRoundMs) sqlite3_sleep(kRoundMs);
        return 1;
    }
    if (waited >= kPlainWaitMs) return 0;
    sqlite3_sleep(kRoundMs);
    return 1;
}

}  // namespace

void SetBusyWait(BusyWait wait) { Installed() = {std::move(wait), std::this_thread::get_id()}; }

bool detail::WaitingOn(sqlite3* db) { return t_wait.inside && t_wait.db == db; }

void detail::EndBusyWait(sqlite3* db) {
    CurrentWait& w = t_wait;
    if (w.db != db || w.inside) return;
    const bool asked = w.asked;
    w = CurrentWait{};
    if (asked && Installed().wait.ended) Installed().wait.ended();
}

int detail::Step(sqlite3_stmt* stmt) {
    sqlite3* db = sqlite3_db_handle(stmt);
    // The connection is in the middle of a statement that waits: nothing else may run on it
    // (a window repainting while the wait is shown).
    if (WaitingOn(db)) return SQLITE_BUSY;
    const int rc = sqlite3_step(stmt);
    EndBusyWait(db);
    return rc;
}

QString ConnectionStringQuote(const QString& value) {
    if (!value.contains(u';') && !value.contains(u'{') && !value.contains(u'}')) return value;
    QString braced = value;
    braced.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + braced + u'}';
}

QString ConnectionStringValue(const QString& cs, const QString& key) {
    // key=value pairs separated by ';'; a value may be wrapped in braces holding ';'.
    qsizetype i = 0;
    while (i < cs.size()) {
        const qsizetype eq = cs.indexOf(u'=', i);
        if (eq < 0) break;
        const QString name = cs.mid(i, eq - i).trimmed();
        qsizetype j = eq + 1;
        QString value;
        if (j < cs.size() && cs[j] == u'{') {
            // Inside braces "}}" stands for one "}".
            for (++j; j < cs.size(); ++j) {
                if (cs[j] == u'}' && !(j + 1 < cs.size() && cs[j + 1] == u'}')) break;
                value += cs[j];
                if (cs[j] == u'}') ++j;
            }
            const qsizetype semi = cs.indexOf(u';', j);
            j = semi < 0 ? cs.size() : semi + 1;
        } else {
            const qsizetype semi = cs.indexOf(u';', j);
            value = cs.mid(j, (semi < 0 ? cs.size() : semi) - j);
            j = semi < 0 ? cs.size() : semi + 1;
        }
        if (name.compare(key, Qt::CaseInsensitive) == 0) return value.trimmed();
        i = j;
    }
    return QString();
}

bool DatabaseLock::Acquire(const QString& databasePath, Mode mode, QString* error) {
    Release();
    auto fail = [&](const QString& text) {
        if (error) *error = text;
        return false;
    };
    // Every name of the file (a symbolic link, another relative path) shares one lock.
    const QFileInfo info(databasePath);
    const QString file =
        info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
    const QByteArray lockName = QFile::encodeName(file + QStringLiteral(".lock"));
    int fd = ::open(lockName.constData(), O_RDONLY | O_CLOEXEC | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) {
        // A new lock file belongs to the database's owner, with its mode, so that whoever may
        // open the database can still take the lock after root made the file.
        struct stat st {};
        if (::stat(QFile::encodeName(file).constData(), &st) == 0) {
            [[maybe_unused]] const int owned = ::fchown(fd, st.st_uid, st.st_gid);
            ::fchmod(fd, st.st_mode & 0666);
        }
    } else if (errno == EEXIST) {
        fd = ::open(lockName.constData(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0)
        return fail(QStringLiteral("The lock file of '%1' cannot be opened: %2")
                        .arg(databasePath, QString::fromLocal8Bit(std::strerror(errno))));
    if (::flock(fd, (mode == Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        const int why = errno;
        ::close(fd);
        if (why == EWOULDBLOCK)
            return fail(QStringLiteral("The database '%1' is in use by another program.")
                            .arg(databasePath));
        return fail(QStringLiteral("The database '%1' cannot be locked: %2")
                        .arg(databasePath, QString::fromLocal8Bit(std::strerror(why))));
    }
    fd_ = fd;
    return true;
}

void DatabaseLock::Release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Connection::Connection() = default;

Connection::~Connection() { Close(); }

int Connection::State() const { return state_ && state_->handle ? adStateOpen : adStateClosed; }

bool Connection::Fail(const QString& text) {
    lastError_ = text;
    SetLastError(text);
    return false;
}

QString Connection::DatabasePath() const {
    if (State() == adStateOpen) return state_->path;
    QString path = ConnectionStringValue(connectionString_, QStringLiteral("DBQ"));
    if (path.isEmpty()) path = ConnectionStringValue(connectionString_, QStringLiteral("Data Source"));
    return path;
}

QString Connection::ProviderConnectString() const {
    const QString path = DatabasePath();
    QString dir = ConnectionStringValue(connectionString_, QStringLiteral("DefaultDir"));
    if (dir.isEmpty()) dir = QFileInfo(path).absolutePath();
    return QStringLiteral("DBQ=%1;DefaultDir=%2;DriverId=25;FIL=MS Access;")
        .arg(ConnectionStringQuote(path), ConnectionStringQuote(dir));
}

bool Connection::Open(const QString& connectionString) {
    if (!connectionString.isEmpty()) connectionString_ = connectionString;
    Close();
    const QString path = DatabasePath();
    if (path.isEmpty()) return Fail(QStringLiteral("The connection string names no database file (DBQ=)."));
    const QFileInfo info(path);
    if (!info.exists()) return Fail(QStringLiteral("Could not find file '%1'.").arg(path));
    if (!info.isFile()) return Fail(QStringLiteral("'%1' is not a file.").arg(path));
    if (!info.isReadable()) return Fail(QStringLiteral("The file '%1' cannot be read.").arg(path));
    // A file marked read-only is refused even where the user could still write it (root).
    if (!info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner))
        return Fail(QStringLiteral("The database '%1' is read-only; it cannot be used.").arg(path));

    sqlite3* handle = nullptr;
    // The program uses a connection from one thread only: SQLite's own locking is not needed.
    const int rc = sqlite3_open_v2(QFile::encodeName(info.absoluteFilePath()).constData(), &handle,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto refuse = [&](const QString& text) {
        sqlite3_close(handle);
        return Fail(text);
    };
    if (rc != SQLITE_OK) return refuse(QStringLiteral("Could not open '%1': %2").arg(path, detail::EngineError(handle)));
    if (sqlite3_db_readonly(handle, "main") == 1)
        return refuse(QStringLiteral("The database '%1' is read-only; it cannot be used.").arg(path));
    sqlite3_busy_handler(handle, OnBusy, handle);

    auto state = std::make_shared<detail::ConnectionState>();
    state->handle = handle;
    state->path = info.absoluteFilePath();
    {
        detail::Statement tables;
        if (tables.Prepare(handle, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")) != SQLITE_OK)
            return refuse(QStringLiteral("'%1' is not an Ambrelle database: %2").arg(path, detail::EngineError(handle)));
        int step;
        while ((step = detail::Step(tables.get())) == SQLITE_ROW) {
            detail::TableInfo t;
            t.name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(tables.get(), 0)));
            state->tables.insert(t.name.toLower(), t);
        }
        if (step != SQLITE_DONE)
            return refuse(QStringLiteral("'%1' is not an Ambrelle database: %2").arg(path, detail::EngineError(handle)));
    }
    for (const QString& required : RequiredTables()) {
        if (!state->tables.contains(required.toLower()))
            return refuse(QStringLiteral("'%1' is not an Ambrelle database: it has no table %2.").arg(path, required));
    }
    for (auto& t : state->tables) {
        detail::Statement info;
        if (info.Prepare(handle, QStringLiteral("PRAGMA table_info(%1)").arg(SqlQuote(t.name))) != SQLITE_OK) continue;
        while (detail::Step(info.get()) == SQLITE_ROW) {
            detail::ColumnInfo c;
            c.name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1)));
            const QString type = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 2)));
            c.kind = KindFromDeclaredType(type);
            if (sqlite3_column_int(info.get(), 5) == 1 && type.compare(u"INTEGER", Qt::CaseInsensitive) == 0)
                t.keyColumn = c.name;
            t.columns.insert(c.name.toLower(), c);
            state->columnNames.insert(c.name.toLower());
        }
    }
    if (!RegisterJetFunctions(handle)) return refuse(QStringLiteral("Could not prepare the database functions."));
    // Taken last, so that a refused file gets no lock file beside it.
    QString lockError;
    if (!lock_.Acquire(path, DatabaseLock::Shared, &lockError)) return refuse(lockError);
    detail::AddMissingIndexes(handle);
    detail::WatchChanges(*state);
    state_ = std::move(state);
    lastError_.clear();
    return true;
}

void Connection::SetOuterJoins(OuterJoins joins) {
    if (state_) state_->outerJoins = joins;
}

void Connection::Close() {
    if (state_ && state_->handle) {
        detail::ReadBeforeClose(*state_);
        sqlite3_close_v2(state_->handle);
        state_->handle = nullptr;
    }
    state_.reset();
    lock_.Release();
}

bool Connection::Execute(const QString& sql, const QVariantList& params, int* rowsAffected) {
    if (State() != adStateOpen) return Fail(QStringLiteral("The connection is closed."));
    const JetTranslation t = TranslateJetSql(sql, state_->columnNames, state_->outerJoins);
    if (!t.error.isEmpty()) return Fail(t.error);
    QString error;
    return detail::Exec(state_->handle, t.sql, params, &error, rowsAffected) || Fail(error);
}

namespace {
std::function<QString()>& CommitHook() {
    static std::function<QString()> hook;
    return hook;
}
}  // namespace

void SetCommitHook(std::function<QString()> hook) { CommitHook() = std::move(hook); }

bool Connection::BeginTrans() { return Plain(QStringLiteral("BEGIN IMMEDIATE")); }

bool Connection::CommitTrans() {
    const QString injected = CommitHook() ? CommitHook()() : QString();
    if (injected.isEmpty() && Plain(QStringLiteral("COMMIT"))) return true;
    const QString error = injected.isEmpty() ? lastError_ : injected;
    // A busy COMMIT leaves the transaction open; what it held is given up, never kept pending.
    if (InTransaction()) Plain(QStringLiteral("ROLLBACK"));
    return Fail(error);
}

bool Connection::RollbackTrans() { return Plain(QStringLiteral("ROLLBACK")); }

bool Connection::Savepoint(const QString& name) { return Plain(QStringLiteral("SAVEPOINT ") + name); }
bool Connection::RollbackToSavepoint(const QString& name) {
    return Plain(QStringLiteral("ROLLBACK TO ") + name);
}
bool Connection::ReleaseSavepoint(const QString& name) {
    return Plain(QStringLiteral("RELEASE ") + name);
}

bool Connection::InTransaction() const {
    return State() == adStateOpen && sqlite3_get_autocommit(state_->handle) == 0;
}

bool Connection::Plain(const QString& sql) {
    if (State() != adStateOpen) return Fail(QStringLiteral("The connection is closed."));
    QString error;
    return detail::Exec(state_->handle, sql, {}, &error) || Fail(error);
}

}  // namespace db
