#pragma once

#include <QDate>
#include <QString>
#include <utility>
#include <vector>

namespace kdb {

// What differs between our Local SQL and a store's own SQL, kept in one place. The translator,
// the filter compiler and the datasets write store SQL only through these rules.
struct Dialect {
    QString upperFunction;  // locale-aware upper case: "kdb_upper"
    QString textCollation;  // Russian, case-insensitive order: "RUS"
    QString concatOperator; // "||"
    QString trueLiteral;    // "1"
    QString falseLiteral;   // "0"
    QString searchFunction; // case-insensitive search form, Ё as Е: "kdb_search"
    // "*" in a select list written out as the table's columns: a store whose tables carry a
    // row id column of their own must not hand it out as a field.
    bool expandStar = false;
    // ORDER BY a result column's alias or number written as its expression: a store that
    // cannot collate an alias ("ORDER BY fio COLLATE rus") needs that.
    bool orderByExpressions = false;
    // Empty values sort first, as in the embedded store: what an ascending and a descending
    // sort term need for that (" NULLS FIRST", " NULLS LAST"), or empty.
    QString ascendingNulls;
    QString descendingNulls;
    // A character that sorts after every other in the text collation, or empty where there is
    // none: a prefix search then also gets an upper end (prefix + it), so that the store reads
    // only the names of that prefix.
    QString collationMaximum;
    // An expression read as text ("CAST(%1 AS text)"), for a store that will not compare a
    // date or a number with a text; empty where every value compares with a text as it stands.
    QString asText;
    // The schema's type names as the store spells them (the schema is written once, in the
    // embedded store's words): declared name -> store name; empty where the store takes the
    // schema as it stands. describeTable maps them back.
    std::vector<std::pair<QString, QString>> storeTypes;

    QString quoteIdentifier(const QString& name) const;   // "name" with inner quotes doubled
    QString quoteString(const QString& text) const;       // 'text' with inner quotes doubled
    QString dateLiteral(const QDate& date) const;         // '1985-03-15'
    QString collate(const QString& expression) const;     // expression COLLATE RUS
    QString emptyIfNull(const QString& expression) const; // COALESCE(expression,'')
    QString boolLiteral(bool value) const { return value ? trueLiteral : falseLiteral; }

    static const Dialect& sqlite();
    static const Dialect& postgres();
};

// Dates travel to and from the store as ISO text, which sorts and compares as the dates do.
QString dateToStore(const QDate& date);
QDate dateFromStore(const QString& text);

// A date written the Local SQL and filter way: day.month.year, zero-padded or not
// ("15.03.1985", "5.3.1985"). Returns an invalid date for any other text.
QDate parseDotDate(const QString& text);

} // namespace kdb
