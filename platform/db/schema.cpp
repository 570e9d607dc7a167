#include "schema.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace db {

extern const char* const kSchemaSql;

const QString& SchemaSql() {
    static const QString sql = QString::fromUtf8(kSchemaSql);
    return sql;
}

const QStringList& RequiredTables() {
    static const QStringList tables = [] {
        QStringList names;
        static const QRegularExpression re(QStringLiteral(R"(CREATE\s+TABLE\s+(\w+))"),
                                           QRegularExpression::CaseInsensitiveOption);
        for (auto it = re.globalMatch(SchemaSql()); it.hasNext();) names << it.next().captured(1);
        return names;
    }();
    return tables;
}

bool CreateDatabase(const QString& path, QString* error) {
    auto fail = [&](const QString& text) {
        if (error) *error = text;
        return false;
    };
    if (QFileInfo::exists(path)) return fail(QStringLiteral("'%1' already exists; it was left as it is.").arg(path));
    // Build beside the target and move into place, so a failure never leaves half a database.
    const QString temp = path + QStringLiteral(".new");
    QFile::remove(temp);
    sqlite3* handle = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(temp).constData(), &handle,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK) {
        char* msg = nullptr;
        rc = sqlite3_exec(handle, SchemaSql().toUtf8().constData(), nullptr, nullptr, &msg);
        if (rc != SQLITE_OK) {
            const QString text = QString::fromUtf8(msg ? msg : sqlite3_errmsg(handle));
            sqlite3_free(msg);
            sqlite3_close(handle);
            QFile::remove(temp);
            return fail(QStringLiteral("Could not create the tables: %1").arg(text));
        }
    }
    const QString openError = handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QString();
    sqlite3_close(handle);
    if (rc != SQLITE_OK) {
        QFile::remove(temp);
        return fail(QStringLiteral("Could not create '%1': %2").arg(path, openError));
    }
    if (!QFile::rename(temp, path)) {
        QFile::remove(temp);
        return fail(QStringLiteral("Could not create '%1'.").arg(path));
    }
    return true;
}

}  // namespace db
