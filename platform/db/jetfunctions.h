#pragma once

struct sqlite3;

namespace db {

// Registers jet_text, the function `&` is translated into, on a connection.
bool RegisterJetFunctions(sqlite3* handle);

}  // namespace db
