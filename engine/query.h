#pragma once

#include "dataset.h"
#include "localsql.h"

#include <QHash>
#include <QStringList>

namespace kdb {

// A Local SQL statement held as text lines (a window replaces chosen lines, then opens it),
// with named parameters: numbers, texts, dates, booleans or null. A parameter's value is bound
// to the statement, never written into its text, so a typed name with quotes in it (Д'Артаньян,
// x' or '1'='1) is only ever a value. Where a window must write a value into the text itself,
// it writes it with textLiteral (literal.h). A SELECT is opened as a read-only dataset. A small
// result (up to memoryRowLimit rows) is kept in memory; a larger one, or one that gets a filter, a
// locate or a lookup, is stored once in a temporary table of the store and read in pages like
// a table, so a filter narrows it without running the query again. execSql() runs a statement
// without result (DELETE).
class Query : public Dataset {
    Q_OBJECT
public:
    explicit Query(QObject* parent = nullptr);
    ~Query() override;

    void setDatabaseName(const QString& name) { m_databaseName = name; }
    void setDatabase(Database* database) { m_database = database; }

    QStringList& sql() { return m_lines; } // change lines while the query is closed
    const QStringList& sql() const { return m_lines; }
    void setSql(const QStringList& lines) { m_lines = lines; }
    void setSql(const QString& text) { m_lines = QStringList{text}; }

    // name without the colon, any case. value: an integer, a double, a bool, a QString, a
    // QDate (compared as the store keeps dates) or null; Error(General) for another type.
    void setParam(const QString& name, const QVariant& value);
    // A value typed as text (the admin tool's --param): an integer stays an integer, a
    // day.month.year date becomes a date (Error(Syntax) for an impossible one such as
    // 31.02.1980), anything else is the text itself.
    static QVariant paramFromText(const QString& text);
    void clearParams() { m_params.clear(); }

    // Runs a statement that returns no rows; gives the number of rows changed.
    int execSql();
    // The store SQL of the current text (for the admin tool's --translated).
    QString translatedSql();

    static constexpr int memoryRowLimit = 1000;

protected:
    Source openSource() override;
    void closeSource() override;
    Source storeSource() override;

private:
    Database& resolveDatabase();
    const TranslatedSql& translate(Database& db);
    Source storedResult(Database& db, const TranslatedSql& t, Source s);
    QVariantList boundParams(const TranslatedSql& t) const;

    QString m_databaseName;
    Database* m_database = nullptr;
    QStringList m_lines;
    QHash<QString, QVariant> m_params;
    QString m_tempTable;
    Database* m_tempDb = nullptr;
    // The last translation, reused while the text stays the same.
    QString m_translatedText;
    Database* m_translatedFor = nullptr;
    TranslatedSql m_translated;
};

} // namespace kdb
