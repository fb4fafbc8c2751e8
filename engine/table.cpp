#include "table.h"

#include "database.h"
#include "error.h"
#include "store.h"

#include <algorithm>

namespace kdb {

Table::Table(QObject* parent) : Dataset(parent) {}
Table::~Table()
{
    close();
}

void Table::setIndexName(const QString& index)
{
    m_indexName = index;
    m_indexFields.clear();
}

void Table::setIndexFieldNames(const QString& fields)
{
    m_indexFields = fields;
    m_indexName.clear();
}

std::unique_ptr<Table> Table::opened(Database& database, const QString& fileName,
                                     const QString& order)
{
    auto t = std::make_unique<Table>();
    t->setDatabase(&database);
    t->setTableName(fileName);
    if (!order.isEmpty())
        t->setIndexFieldNames(order);
    t->open();
    return t;
}

Dataset::Source Table::openSource()
{
    Database* db = &Session::global().openDatabase(m_database, m_databaseName);
    if (m_tableName.trimmed().isEmpty())
        throw Error(Error::Code::NotFound, QStringLiteral("Не задано имя таблицы."));

    Source s;
    s.db = db;
    s.def = db->tableDef(m_tableName);
    s.table = s.def.name;
    s.displayName = m_tableName;
    s.editable = true;
    s.lockable = true;

    Store& store = db->store();
    const Dialect& d = store.dialect();
    QStringList terms;
    if (!m_indexName.isEmpty()) {
        const auto columns = store.indexColumns(s.table, s.table + QLatin1Char('_') + m_indexName);
        if (!columns)
            throw Error(
                Error::Code::NotFound,
                QStringLiteral("Индекс «%1» таблицы %2 не найден.").arg(m_indexName, m_tableName),
                m_tableName);
        for (const auto& [column, collation] : *columns) {
            terms << (collation.isEmpty()
                          ? d.quoteIdentifier(column)
                          : d.quoteIdentifier(column) + QStringLiteral(" COLLATE ") +
                                d.quoteIdentifier(collation));
            s.orderColumns.emplace_back(column, collation);
        }
    } else if (!m_indexFields.isEmpty()) {
        for (const QString& name : m_indexFields.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const FieldDef* f = s.def.find(name.trimmed());
            if (!f)
                throw Error(Error::Code::NotFound,
                            QStringLiteral("Поле порядка «%1» не найдено в таблице %2.")
                                .arg(name.trimmed(), m_tableName),
                            m_tableName, name.trimmed());
            terms << (isTextType(f->type) ? d.collate(d.quoteIdentifier(f->name))
                                          : d.quoteIdentifier(f->name));
            s.orderColumns.emplace_back(f->name, isTextType(f->type) ? d.textCollation : QString());
        }
    } else {
        std::vector<const FieldDef*> key;
        for (const FieldDef& f : s.def.fields)
            if (f.primaryKey)
                key.push_back(&f);
        // A single integer key is the row id itself, which ends every order anyway.
        const bool rowIdKey = key.size() == 1 && isIntegerType(key.front()->type);
        if (!rowIdKey)
            for (const FieldDef* f : key) {
                terms << d.quoteIdentifier(f->name);
                s.orderColumns.emplace_back(f->name, QString());
            }
    }
    // Empty values first on every store, as the engine places posted rows.
    for (QString& term : terms)
        term += d.ascendingNulls;
    terms << store.rowIdColumn(); // rows equal in the order keep their order of entry
    s.orderBy = terms.join(QLatin1Char(','));
    return s;
}

} // namespace kdb
