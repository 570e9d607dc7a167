#include "odbclogonrules.h"

#include "platform/db/connection.h"

namespace odbclogon {

QStringList CollapseNeighbouringDuplicates(QStringList entries) {
    for (qsizetype i = 0; i + 1 < entries.size();) {
        if (entries[i] == entries[i + 1])
            entries.removeAt(i);
        else
            ++i;
    }
    return entries;
}

QString ConnectionString(const LogonValues& v) {
    auto pair = [](const char* key, const QString& value) {
        return QString::fromLatin1(key) + u'=' + db::ConnectionStringQuote(value) + u';';
    };
    QString s = QStringLiteral("PROVIDER=MSDataShape;Data PROVIDER=MSDASQL;");
    if (!v.dataSource.isEmpty())
        s += pair("DSN", v.dataSource);
    else
        s += pair("Driver", v.driver) + pair("Server", v.server);
    s += pair("UID", v.user) + pair("PWD", v.password);
    if (!v.database.isEmpty()) s += pair("Database", v.database);
    return s;
}

}  // namespace odbclogon
