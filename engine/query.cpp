#include "query.h"

#include "database.h"
#include "error.h"
#include "store.h"

#include <QRegularExpression>
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

void Query::setParam(const QString& name, const QVariant& value)
{
    QString key = name.toLower();
    if (key.startsWith(QLatin1Char(':')))
        key.remove(0, 1);
    QVariant bound;
    switch (value.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        break; // null
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
    case QMetaType::QString:
        bound = value;
        break;
    case QMetaType::QDate:
        // An invalid date would reach the store as an empty text that matches nothing.
        if (!value.toDate().isValid())
            throw Error(Error::Code::Syntax,
                        QStringLiteral("Параметр :%1 запроса: неверная дата.").arg(key));
        bound = value;
        break;
    default:
        throw Error(Error::Code::General,
                    QStringLiteral("Параметр :%1 запроса: значение типа %2 в запрос не передаётся.")
                        .arg(key, QString::fromLatin1(value.typeName())));
    }
    m_params.insert(key, bound);
}

QVariant Query::paramFromText(const QString& text)
{
    bool isInteger = false;
    const qint64 number = text.toLongLong(&isInteger);
    if (isInteger)
        return QVariant(number);
    static const QRegularExpression dateShape(QStringLiteral("^\\d{1,2}\\.\\d{1,2}\\.\\d{4}$"));
    if (!dateShape.match(text).hasMatch())
        return QVariant(text);
    // A mistyped date compared with a date field would find nothing and say nothing.
    const QDate date = parseDotDate(text);
    if (!date.isValid())
        throw Error(Error::Code::Syntax, QStringLiteral("«%1» — не дата.").arg(text));
    return QVariant(date);
}

Database& Query::resolveDatabase()
{
    return Session::global().openDatabase(m_database, m_databaseName);
}

const TranslatedSql& Query::translate(Database& db)
{
    const QString text = m_lines.join(QLatin1Char('\n'));
    if (m_translatedFor != &db || text != m_translatedText) {
        m_translated = translateLocalSql(
            text, [&db](const QString& name) { return db.findTableDef(name); },
            db.store().dialect());
        m_translatedText = text;
        m_translatedFor = &db;
    }
    return m_translated;
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
        named.insert(name, *it);
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

namespace {
FieldDef resultField(const QString& name, const QString& declared, const TranslatedSql& t, size_t i)
{
    FieldDef f = fieldDefFromDeclared(name, declared);
    if (f.type == FieldType::Unknown && i < t.columnTypes.size())
        f.type = t.columnTypes[i];
    if (f.type == FieldType::AutoInc)
        f.type = FieldType::Integer;
    f.primaryKey = false;
    return f;
}
} // namespace

Dataset::Source Query::openSource()
{
    Database& db = resolveDatabase();
    const TranslatedSql t = translate(db);
    if (!t.isSelect)
        throw Error(Error::Code::General,
                    QStringLiteral("Запрос не возвращает строк; его выполняют, а не открывают."));
    Store& store = db.store();

    Source s;
    s.db = &db;
    s.displayName = objectName().isEmpty() ? QStringLiteral("запрос") : objectName();
    s.editable = false;
    s.lockable = false;
    // Most window queries give a handful of rows: those are read straight into memory.
    auto cursor = store.select(t.sql, boundParams(t));
    const int columns = cursor->columnCount();
    for (int i = 0; i < columns; ++i) {
        QString name = cursor->columnName(i);
        // Two result columns of one name (s.keyr, r.keyr) stay apart.
        for (int n = 1; s.def.find(name); ++n)
            name = cursor->columnName(i) + QLatin1Char('_') + QString::number(n);
        s.def.fields.push_back(
            resultField(name, cursor->declaredType(i), t, static_cast<size_t>(i)));
    }
    while (cursor->next()) {
        if (static_cast<int>(s.rows.size()) >= memoryRowLimit) {
            cursor.reset();
            s.rows.clear();
            return storedResult(db, t, std::move(s));
        }
        std::vector<QVariant> row;
        row.reserve(static_cast<size_t>(columns));
        for (int i = 0; i < columns; ++i)
            row.push_back(typedValue(cursor->value(i), s.def.fields[static_cast<size_t>(i)].type));
        s.rows.push_back(std::move(row));
    }
    s.inMemory = true;
    return s;
}

Dataset::Source Query::storeSource()
{
    Database& db = *database();
    Source s;
    s.db = &db;
    s.displayName = displayName();
    s.def = TableDef{QString(), {}};
    for (int i = 0; i < fieldCount(); ++i)
        if (field(i).kind() == Field::Kind::Data)
            s.def.fields.push_back(field(i).def());
    return storedResult(db, translate(db), std::move(s));
}

// Runs the query once more into a temporary table; its row ids follow the result's order.
Dataset::Source Query::storedResult(Database& db, const TranslatedSql& t, Source s)
{
    Store& store = db.store();
    QStringList columns;
    for (const FieldDef& f : s.def.fields)
        columns << f.name;
    closeSource();
    m_tempTable = QStringLiteral("kdb_q%1").arg(++g_queryNumber);
    m_tempDb = &db;
    try {
        store.createResultTable(m_tempTable, columns, t.sql, boundParams(t));
    } catch (...) {
        closeSource();
        throw;
    }
    s.def.name = m_tempTable;
    s.table = m_tempTable;
    s.orderBy = store.rowIdColumn();
    s.inMemory = false;
    s.rows.clear();
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
            db->store().dropResultTable(m_tempTable);
    } catch (const Error&) {
        // A temporary table left over vanishes with the connection.
    }
    m_tempTable.clear();
}

} // namespace kdb
