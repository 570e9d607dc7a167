#include "plainread.h"

#include <cstdio>

namespace bench {

long long PlainRead(sqlite3* handle, const char* sql, std::vector<std::vector<Cell>>& rows) {
    rows.clear();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(handle, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "plain read failed: %s\n", sqlite3_errmsg(handle));
        return -1;
    }
    const int n = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        std::vector<Cell> row(static_cast<size_t>(n));
        for (int c = 0; c < n; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
                case SQLITE_INTEGER:
                    row[static_cast<size_t>(c)] = sqlite3_column_int64(stmt, c);
                    break;
                case SQLITE_FLOAT:
                    row[static_cast<size_t>(c)] = sqlite3_column_double(stmt, c);
                    break;
                case SQLITE_NULL:
                    break;
                default:
                    row[static_cast<size_t>(c)] =
                        std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                                    static_cast<size_t>(sqlite3_column_bytes(stmt, c)));
            }
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    return static_cast<long long>(rows.size());
}

}  // namespace bench
