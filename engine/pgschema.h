#pragma once

#include <QString>
#include <QStringList>

namespace kdb {

// The objects every server schema starts with: the boolean, memo and picture domains, the
// Russian collation rus, the function kdb_upper and the schema's version table kdb_schema.
QString serverSchemaPrelude();
constexpr int serverSchemaVersion = 1;

// A statement of the engine in the server's words: ? and :name placeholders numbered $1, $2,
// ... (a name used twice keeps its number), quoted names in lower case. A script keeps its
// placeholders (it has none) and only gets its names folded.
struct ServerStatement {
    QString text;
    QStringList names;      // the :name parameters in the order of their numbers
    int parameterCount = 0; // of ? or :name
    bool insert = false;    // an INSERT
    bool returning = false; // that already says what it returns
};
ServerStatement serverStatement(const QString& sql, bool script = false);

// The declared type the engine reads (as the schema writes it) for a server column type:
// format_type's text, the type's name and whether it is a domain.
QString declaredFromServer(const QString& formatted, const QString& typeName, bool domain);

} // namespace kdb
