#pragma once

struct sqlite3;

namespace db {

// Registers the Jet functions the queries use (jet_text for `&`, Nz, Year, Month, Day,
// Format, Now, Date, CStr, CLng, CDbl, Len, Left, Right, Mid, UCase, LCase) on a connection.
bool RegisterJetFunctions(sqlite3* handle);

// The Jet name of a value converted to text: numbers and dates in the user's form.
}  // namespace db
