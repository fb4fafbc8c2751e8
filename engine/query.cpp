#include "query.h"

#include "database.h"
#include "error.h"
#include "store.h"

#include <QVariantMap>
#include <atomic>

namespace kdb {

namespace {
std::atomic<int> g_queryNumber{0};
}

Query::Query(QObject* parent) : Dataset(parent) {}
Query::~Query()
{
    close();
}

void Query::setParam(const QString& name, qint64 value)
{
    QString key = name.toLower();
    if (key.startsWith(QLatin1Char(':')))
        key.remove(0, 1);
    m_params.insert(key, value);
}

Database& Query::resolveDatabase()
{
    Database* db = m_database;
    if (!db)
        db = m_databaseName.isEmpty() ? &Session::global().currentFolderDatabase()
                                      : &Session::global().databaseFor(m_databaseName);
    if (!db->isOpen())
        db->open();
    return *db;
}

TranslatedSql Query::translate(Database& db) const
{
    return translateLocalSql(
        m_lines.join(QLatin1Char('\n')),
        [&db](const QString& name) { return db.findTableDef(name); }, db.store().dialect());
}

QVariantList Query::boundParams(const TranslatedSql& t) const
{
    if (t.parameterNames.isEmpty())
        return {};
    QVariantMap named;
    for (const QString& name : t.parameterNames) {
        auto it = m_params.constFind(name.toLower());
        if (it == m_params.constEnd())
            throw Error(Error::Code::General,
                        QStringLiteral("В запросе не задано значение параметра :%1.").arg(name));
        named.insert(name, QVariant(*it));
    }
    return {QVariant(named)};
}

QString Query::translatedSql()
{
    return translate(resolveDatabase()).sql;
}

int Query::execSql()
{
    Database& db = resolveDatabase();
    const TranslatedSql t = translate(db);
    return db.store().exec(t.sql, boundParams(t));
}

Dataset::Source Query::openSource()
{
    Database& db = resolveDatabase();
    const TranslatedSql t = translate(db);
    if (!t.isSelect)
        throw Error(Error::Code::General,
                    QStringLiteral("Запрос не возвращает строк; его выполняют, а не открывают."));
    Store& store = db.store();
    const Dialect& d = store.dialect();
    const QVariantList params = boundParams(t);

    Source s;
    s.db = &db;
    s.displayName = objectName().isEmpty() ? QStringLiteral("запрос") : objectName();
    const auto columns = store.describeSelect(t.sql);
    QStringList defs;
    for (size_t i = 0; i < columns.size(); ++i) {
        QString name = columns[i].first;
        // Two result columns of one name (s.keyr, r.keyr) stay apart.
        for (int n = 1; s.def.find(name); ++n)
            name = columns[i].first + QLatin1Char('_') + QString::number(n);
        FieldDef f = fieldDefFromDeclared(name, columns[i].second);
        if (f.type == FieldType::Unknown && i < t.columnTypes.size())
            f.type = t.columnTypes[i];
        if (f.type == FieldType::AutoInc)
            f.type = FieldType::Integer;
        f.primaryKey = false;
        s.def.fields.push_back(f);
        defs << d.quoteIdentifier(name);
    }
    // The result is stored once; moves, counts and filters then work on the stored copy.
    m_tempTable = QStringLiteral("kdb_q%1").arg(++g_queryNumber);
    m_tempDb = &db;
    try {
        store.exec(QStringLiteral("CREATE TEMP TABLE %1 (%2)")
                       .arg(d.quoteIdentifier(m_tempTable), defs.join(QLatin1Char(','))),
                   {});
        store.exec(QStringLiteral("INSERT INTO %1 ").arg(d.quoteIdentifier(m_tempTable)) + t.sql,
                   params);
    } catch (...) {
        closeSource();
        throw;
    }
    s.def.name = m_tempTable;
    s.table = m_tempTable;
    s.orderBy = store.rowIdColumn();
    s.editable = false;
    s.lockable = false;
    return s;
}

void Query::closeSource()
{
    if (m_tempTable.isEmpty())
        return;
    Database* db = m_tempDb;
    m_tempDb = nullptr;
    try {
        if (db && db->isOpen())
            db->store().exec(QStringLiteral("DROP TABLE IF EXISTS temp.%1")
                                 .arg(db->store().dialect().quoteIdentifier(m_tempTable)),
                             {});
    } catch (const Error&) {
        // A temporary table left over vanishes with the connection.
    }
    m_tempTable.clear();
}

} // namespace kdb
