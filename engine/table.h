#pragma once

#include "dataset.h"

namespace kdb {

// A dataset over one stored table. The table is named by its file name in any case
// ("Reserv.DB", "sobesed.db"); it is looked up in the folder of the database named by
// setDatabaseName (a database name such as "KADROLR" or an alias such as "kadrol"), or, when
// no database is named, in the program's current folder. The order is the table's key, a
// named index ("iname", "idat") or a list of fields joined by ";" ("Name", "Fname").
class Table : public Dataset {
    Q_OBJECT
public:
    explicit Table(QObject* parent = nullptr);
    ~Table() override;

    void setDatabaseName(const QString& name) { m_databaseName = name; }
    const QString& databaseName() const { return m_databaseName; }
    void setDatabase(Database* database) { m_database = database; } // overrides the name
    void setTableName(const QString& fileName) { m_tableName = fileName; }
    const QString& tableName() const { return m_tableName; }
    void setIndexName(const QString& index);        // clears the field order
    void setIndexFieldNames(const QString& fields); // clears the index
    const QString& indexName() const { return m_indexName; }

    // Creates a dataset opened on a table, for tools and tests.
    static std::unique_ptr<Table> opened(Database& database, const QString& fileName,
                                         const QString& order = {});

protected:
    Source openSource() override;

private:
    QString m_databaseName;
    Database* m_database = nullptr;
    QString m_tableName;
    QString m_indexName;
    QString m_indexFields;
};

} // namespace kdb
