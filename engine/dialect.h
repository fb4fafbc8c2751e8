#pragma once

#include <QDate>
#include <QString>

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

    QString quoteIdentifier(const QString& name) const;   // "name" with inner quotes doubled
    QString quoteString(const QString& text) const;       // 'text' with inner quotes doubled
    QString dateLiteral(const QDate& date) const;         // '1985-03-15'
    QString collate(const QString& expression) const;     // expression COLLATE RUS
    QString emptyIfNull(const QString& expression) const; // COALESCE(expression,'')
    QString boolLiteral(bool value) const { return value ? trueLiteral : falseLiteral; }

    static const Dialect& sqlite();
};

// Dates travel to and from the store as ISO text, which sorts and compares as the dates do.
QString dateToStore(const QDate& date);
QDate dateFromStore(const QString& text);

// A date written the Local SQL and filter way: day.month.year, zero-padded or not
// ("15.03.1985", "5.3.1985"). Returns an invalid date for any other text.
QDate parseDotDate(const QString& text);

} // namespace kdb
