#include "odbc.h"

#include <sql.h>
#include <sqlext.h>

namespace odbc {

std::optional<std::vector<DataSource>> DataSources() {
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocEnv(&env))) return std::nullopt;
    std::vector<DataSource> sources;
    SQLCHAR name[1024];
    SQLCHAR description[1024];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT descriptionLength = 0;
    while (SQL_SUCCEEDED(SQLDataSources(env, SQL_FETCH_NEXT, name, sizeof name, &nameLength,
                                        description, sizeof description, &descriptionLength))) {
        sources.push_back({QString::fromLocal8Bit(reinterpret_cast<const char*>(name)),
                           QString::fromLocal8Bit(reinterpret_cast<const char*>(description))});
    }
    SQLFreeEnv(env);
    return sources;
}

}  // namespace odbc
