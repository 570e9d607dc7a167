#pragma once

#include <sqlite3.h>

#include <string>
#include <variant>
#include <vector>

namespace bench {

// One value as a program without the record set layer keeps it.
using Cell = std::variant<std::monostate, sqlite3_int64, double, std::string>;

// What a program without the layer would do: step through the rows and keep each value.
// The number of rows; -1, reported on standard error, when the statement will not prepare.
long long PlainRead(sqlite3* handle, const char* sql, std::vector<std::vector<Cell>>& rows);

}  // namespace bench
