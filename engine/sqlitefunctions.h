#pragma once

struct sqlite3;

namespace kdb {

// Registers on a connection what our SQL relies on: the collation RUS (compareRussian), the
// function kdb_upper(text) (upperUtf8) and kdb_search(text), the form case-insensitive
// searches compare (searchFormUtf8). Every connection that writes the tables needs them,
// since the name indexes are built with them.
void installRussianFunctions(sqlite3* db);

} // namespace kdb
