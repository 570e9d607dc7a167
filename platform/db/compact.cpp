#include "compact.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>

#include "internal.h"
#include "schema.h"

namespace db {
bool CompactDatabase(const QString& source, const QString& target, QString* error) {
    auto fail = [&](const QString& text) {
        if (error) *error = text;
        return false;
    };
    if (!QFileInfo(source).isFile()) return fail(QStringLiteral("Could not find file '%1'.").arg(source));
    if (QFileInfo::exists(target)) return fail(QStringLiteral("'%1' already exists.").arg(target));
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(source).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const QString text = detail::EngineError(db);
        sqlite3_close(db);
        return fail(QStringLiteral("Could not open '%1': %2").arg(source, text));
    }
    sqlite3_busy_timeout(db, 5000);
    bool ok = false;
    QString vacuumError;
    {
        detail::Statement vacuum;
        ok = vacuum.Prepare(db, QStringLiteral("VACUUM INTO ?")) == SQLITE_OK;
        if (ok) {
            detail::Bind(vacuum.get(), 1, target);
            ok = sqlite3_step(vacuum.get()) == SQLITE_DONE;
        }
        if (!ok) vacuumError = detail::EngineError(db);
    }
    sqlite3_close(db);
    if (!ok) {
        QFile::remove(target);
        return fail(vacuumError);
    }
    // The copy must be a sound database with every table before it may replace the original.
    db = nullptr;
    QString check;
    if (sqlite3_open_v2(QFile::encodeName(target).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        detail::Statement integrity;
        if (integrity.Prepare(db, QStringLiteral("PRAGMA integrity_check")) == SQLITE_OK &&
            sqlite3_step(integrity.get()) == SQLITE_ROW) {
            check = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(integrity.get(), 0)));
        }
        for (const QString& table : RequiredTables()) {
            detail::Statement probe;
            if (probe.Prepare(db, QStringLiteral("SELECT 1 FROM \"%1\" LIMIT 1").arg(table)) != SQLITE_OK) {
                check = QStringLiteral("table %1 is missing").arg(table);
                break;
            }
        }
    }
    sqlite3_close(db);
    if (check != QStringLiteral("ok")) {
        QFile::remove(target);
        return fail(QStringLiteral("The compacted copy failed its check: %1").arg(check.isEmpty() ? QStringLiteral("unreadable") : check));
    }
    return true;
}

bool CopyDatabaseInto(const QString& source, const QString& target, QString* error) {
    sqlite3* from = nullptr;
    sqlite3* to = nullptr;
    QString failure;
    if (sqlite3_open_v2(QFile::encodeName(source).constData(), &from, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
        failure = QStringLiteral("Could not open '%1': %2").arg(source, detail::EngineError(from));
    } else if (sqlite3_open_v2(QFile::encodeName(target).constData(), &to, SQLITE_OPEN_READWRITE,
                               nullptr) != SQLITE_OK) {
        failure = QStringLiteral("Could not open '%1': %2").arg(target, detail::EngineError(to));
    } else {
        sqlite3_busy_timeout(to, 5000);
        sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
        const int step = backup ? sqlite3_backup_step(backup, -1) : SQLITE_ERROR;
        if (backup) sqlite3_backup_finish(backup);
        if (step != SQLITE_DONE)
            failure = QStringLiteral("Could not write the compacted database into '%1': %2")
                          .arg(target, detail::EngineError(to));
    }
    sqlite3_close(from);
    sqlite3_close(to);
    if (failure.isEmpty()) return true;
    if (error) *error = failure;
    return false;
}

}  // namespace db
