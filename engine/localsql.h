#pragma once

#include "dialect.h"
#include "types.h"

#include <QStringList>
#include <functional>
#include <vector>

namespace kdb {

// Local SQL, the dialect the windows write their queries in, translated for the store:
// - tables named by file name, quoted ("reserv.db") or bare (zayav.db, flook.db b), with or
//   without an alias; the store's table names are the file names without extension
//   (tableNameForFile); every identifier is written quoted in the result;
// - "..." outside the FROM list is a string literal, as are '...' texts;
// - '15.03.1985' and '5.3.1985' are dates, written as the store's date literals;
// - + joins texts when one side is text (a literal or a text column): a missing (null) part
//   counts as empty text; + between numbers stays addition;
// - Upper uses the Russian-aware upper function; True/False become the store's booleans;
// - ORDER BY sorts texts in Russian alphabetical order, case-insensitively;
// - :name parameters are kept for binding by name;
// - count, min, max, sum, avg, group by, order by, IS [NOT] NULL, joins in WHERE, DELETE.
// Anything else the store may understand is passed through; what it does not understand is
// reported by the store when the statement is prepared.
struct TranslatedSql {
    QString sql;
    bool isSelect = false;
    QStringList parameterNames; // without the colon, in order of first appearance
    // One entry per result column: the type where the translator knows it (a column of a known
    // table, min/max over one, count), FieldType::Unknown elsewhere. A "*" or "r.*" item gives
    // one entry for each column it stands for.
    std::vector<FieldType> columnTypes;
};

// Looks up a table by the name written in the query (file name or table name, any case);
// null when there is no such table.
using TableResolver = std::function<const TableDef*(const QString& name)>;

// Throws Error: Syntax for a malformed text (an unclosed quote or parenthesis, an empty
// statement), NotFound for an unknown table, both naming what was wrong.
TranslatedSql translateLocalSql(const QString& text, const TableResolver& resolve,
                                const Dialect& dialect = Dialect::sqlite());

} // namespace kdb
