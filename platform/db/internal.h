#pragma once

// Shared between the connection and the record sets; not for the windows.

#include <sqlite3.h>

#include <QHash>
#include <QSet>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "jetsql.h"
#include "value.h"

namespace db::detail {

// A date as a record set holds it in memory: yyyymmddhhmmss as one number, so that filters
// and sorts over many rows compare numbers rather than text or local-time date objects.
struct StoredDate {
    qint64 key = 0;
    auto operator<=>(const StoredDate&) const = default;
};
// From the stored text "yyyy-MM-dd[ HH:mm[:ss]]"; nullopt for anything else or no real date.
std::optional<StoredDate> StoredDateFromText(QStringView text);
StoredDate ToStoredDate(const QDateTime& dt);
QDateTime FromStoredDate(StoredDate d);
QString StoredDateText(StoredDate d);
// ValueText of the date's local date and time, without a local-time conversion on the days
// the clocks do not change.
QString StoredDateDisplay(StoredDate d);
// The key of any value that stands for a date (a stored date, a QDateTime, date text).
std::optional<qint64> DateKey(const QVariant& v);

struct ColumnInfo {
    QString name;
    Kind kind = Kind::Unknown;
};

struct TableInfo {
    QString name;
    QString keyColumn;  // the INTEGER PRIMARY KEY, empty when the table has none
    QHash<QString, ColumnInfo> columns;  // by lower-case name
};

struct Store;

// The rows written through a connection, so that a window can read again only what changed
// since it read (see Connection::ChangedRows).
struct ChangeLog {
    quint64 opening = 0;  // tells this connection's marks from an earlier one's
    quint64 serial = 0;   // one more for every row written
    // Writes up to this serial went uncounted: marks taken before it can tell nothing.
    quint64 blindUntil = 0;
    qint64 hooked = 0;      // rows the engine reported one by one
    qint64 uncounted = 0;   // the engine's total of rows written, less those it reported
    struct Table {
        QHash<qint64, quint64> rows;  // rowid -> serial of its last write
        quint64 forgottenUntil = 0;   // the rows written up to this serial are no longer kept
    };
    QHash<QString, Table> tables;  // by lower-case name
};

struct ConnectionState {
    sqlite3* handle = nullptr;
    // Record sets whose rows are read when first needed; read before the connection closes.
    std::vector<std::weak_ptr<Store>> unread;
    QString path;
    QHash<QString, TableInfo> tables;  // by lower-case name
    QSet<QString> columnNames;         // every column of every table, lower case
    OuterJoins outerJoins = OuterJoins::AsLeft;
    ChangeLog changes;

    const TableInfo* table(const QString& name) const {
        auto it = tables.constFind(name.toLower());
        return it == tables.cend() ? nullptr : &*it;
    }
};

// Starts counting the rows written through the connection.
void WatchChanges(ConnectionState& conn);

// Creates the schema's indexes a file made by an earlier version lacks.
void AddMissingIndexes(sqlite3* handle);

// Reads the rows every record set of the connection still needs, before it closes.
void ReadBeforeClose(ConnectionState& conn);

// sqlite3_step, ending the wait for another program's lock that the step may have begun.
int Step(sqlite3_stmt* stmt);
// Whether `db` is inside a statement that waits for another program's lock on this thread.
bool WaitingOn(sqlite3* db);
void EndBusyWait(sqlite3* db);

// RAII for one prepared statement.
class Statement {
public:
    Statement() = default;
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    // `more` tells whether anything but blanks follows the first statement.
    int Prepare(sqlite3* db, const QString& sql, bool* more = nullptr) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        if (WaitingOn(db)) return SQLITE_BUSY;
        const QByteArray utf8 = sql.toUtf8();
        const char* tail = nullptr;
        const int rc =
            sqlite3_prepare_v2(db, utf8.constData(), static_cast<int>(utf8.size()), &stmt_, &tail);
        EndBusyWait(db);
        if (more) *more = tail && !QByteArray(tail, utf8.constEnd() - tail).trimmed().isEmpty();
        return rc;
    }
    sqlite3_stmt* get() const { return stmt_; }
    void Swap(Statement& other) { std::swap(stmt_, other.stmt_); }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// Prepares a text that must hold one statement, with a trailing ";" at most: SQLite would
// run the first of several and leave the rest unread.
bool PrepareOne(Statement& stmt, sqlite3* db, const QString& sql, QString* error);

// Runs one statement that returns no rows (any it returns are passed over), with values
// bound to its ? marks. `changes` gets the rows it changed.
bool Exec(sqlite3* db, const QString& sql, const QVariantList& values, QString* error, int* changes = nullptr);

// Values as held in memory (see filter.h) to and from the file.
bool Bind(sqlite3_stmt* stmt, int index, const QVariant& cell);
QVariant ReadColumn(sqlite3_stmt* stmt, int column, Kind kind);
// Converts a value a caller assigns into the in-memory form of a column of this kind.
// Fails (nullopt) on a value the column cannot hold; `overflow` tells a number beyond the
// column's range from a value of the wrong type.
std::optional<QVariant> ToCell(const QVariant& value, Kind kind, bool* overflow = nullptr);
// The in-memory form as callers see it (dates as QDateTime).
QVariant FromCell(const QVariant& cell, Kind kind);

// A number written in C-locale form or in the user's.
std::optional<double> ParseNumber(const QString& text);

QString EngineError(sqlite3* db);

}  // namespace db::detail

Q_DECLARE_METATYPE(db::detail::StoredDate)
