#pragma once

#include <QString>
#include <QStringList>

namespace kdb {
class Database;
}

namespace kadrol {

// An agency on a database server: the same tables and shipped rows as a Data folder, and the
// copy of a whole agency between a Data folder and a server, both ways.

// Creates the program's tables and the shipped rows in an empty database of a server (a libpq
// connection string) in one transaction. Error naming the server when it cannot be reached,
// when the database already holds tables, or when the role may not create tables.
void createServerAgency(const QString& connection);

// Creates a Data folder or a server database (whichever "to" names) and copies every row of
// the agency at "from" into it in one transaction: keys kept, the key counters continued past
// the highest key. Then compares both sides; Error when they differ (the copy stays for
// inspection). Gives the number of rows copied.
qint64 copyAgency(const QString& from, const QString& to);

// The differences between two agencies, table by table, row by row in key order (an empty
// list when both hold the same rows).
QStringList compareAgencies(kdb::Database& a, kdb::Database& b);

} // namespace kadrol
