#include "schema.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include "internal.h"

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

void detail::AddMissingIndexes(sqlite3* handle) {
    static const QRegularExpression index(QStringLiteral(R"(CREATE\s+INDEX\s+(\w+)\s+ON[^;]*)"),
                                          QRegularExpression::CaseInsensitiveOption);
    QSet<QString> present;
    {
        Statement names;
        if (names.Prepare(handle, QStringLiteral("SELECT lower(name) FROM sqlite_master WHERE type = 'index'")) != SQLITE_OK)
            return;
        while (Step(names.get()) == SQLITE_ROW)
            present.insert(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(names.get(), 0))));
    }
    for (auto it = index.globalMatch(SchemaSql()); it.hasNext();) {
        const auto m = it.next();
        if (present.contains(m.captured(1).toLower())) continue;
        // A file that cannot take it now (busy, or written by an older program without the
        // column) is still used, only more slowly.
        QString ignored;
        Exec(handle, QString(m.captured(0)).replace(QStringLiteral("INDEX"), QStringLiteral("INDEX IF NOT EXISTS")), {},
             &ignored);
    }
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
