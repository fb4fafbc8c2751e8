// The server store: a PostgreSQL database reached through libpq, for agencies that work on
// several workstations. Values are always bound as parameters, statements are prepared once
// per connection, record locks are the server's advisory locks of the session.
#include "store.h"

#include "error.h"
#include "pgschema.h"

#include <QHash>
#include <QRegularExpression>
#include <libpq-fe.h>
#include <map>
#include <memory>

namespace kdb {

namespace {

// Type numbers of the server's built-in types (pg_type.oid), fixed since long ago.
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700,
              kFloat8 = 701, kNumeric = 1700;

QString serverText(const char* text)
{
    return QString::fromUtf8(text ? text : "").trimmed();
}

bool contains(const QString& text, const char* part)
{
    return text.contains(QLatin1String(part), Qt::CaseInsensitive);
}

// The name in a libpq message: database "x" does not exist -> x.
QString quotedIn(const QString& message)
{
    static const QRegularExpression quoted(
        QStringLiteral("(?:database|role) \"([^\"]*)\" does not exist"));
    return quoted.match(message).captured(1);
}

// Why a connection could not be made, for the person who reads the error box.
Error connectionError(const QString& server, const QString& detail)
{
    const QString where = QStringLiteral("Сервер баз данных «%1»").arg(server);
    if (contains(detail, "password authentication failed") ||
        contains(detail, "no password supplied") || contains(detail, "authentication failed"))
        return Error(Error::Code::ReadOnly,
                     where + QStringLiteral(": вход не разрешён — неверное имя пользователя или "
                                            "пароль. Пароль берётся из файла паролей PostgreSQL "
                                            "(~/.pgpass) или файла служб. (%1)")
                                 .arg(detail));
    if (contains(detail, "database") && contains(detail, "does not exist"))
        return Error(Error::Code::NotFound,
                     where + QStringLiteral(": базы данных «%1» на сервере нет. (%2)")
                                 .arg(quotedIn(detail), detail));
    if (contains(detail, "role") && contains(detail, "does not exist"))
        return Error(Error::Code::ReadOnly,
                     where + QStringLiteral(": пользователя «%1» на сервере нет. (%2)")
                                 .arg(quotedIn(detail), detail));
    if (contains(detail, "definition of service") || contains(detail, "service file"))
        return Error(
            Error::Code::NotFound,
            where +
                QStringLiteral(": служба не описана в файле служб PostgreSQL. (%1)").arg(detail));
    if (contains(detail, "no pg_hba.conf entry") || contains(detail, "permission denied"))
        return Error(Error::Code::ReadOnly,
                     where + QStringLiteral(": сервер не разрешает вход с этого компьютера или "
                                            "этому пользователю. (%1)")
                                 .arg(detail));
    return Error(Error::Code::Io,
                 where + QStringLiteral(" недоступен: проверьте, что сервер запущен и доступен с "
                                        "этого компьютера. (%1)")
                             .arg(detail));
}

class PgCursor;

class PgStore final : public Store {
public:
    PgStore(const QString& connection, PGconn* conn, const QString& schema)
        : m_connection(connection), m_server(displayedServer(connection)), m_conn(conn),
          m_schema(schema)
    {
    }
    ~PgStore() override
    {
        *m_self = nullptr; // holders that outlive the store find it gone
        PQfinish(m_conn);
    }

    const Dialect& dialect() const override { return Dialect::postgres(); }

    struct Prepared {
        QByteArray name;
        ServerStatement statement;
        quint64 lastUse = 0;
    };
    static constexpr int kCachedStatements = 256;

    // A lost connection is made again before the next operation; what belonged to the old
    // session (prepared statements, record locks, temporary tables) went with it.
    void ensureConnected()
    {
        if (PQstatus(m_conn) == CONNECTION_OK)
            return;
        m_prepared.clear();
        m_locks.clear();
        m_columnTypes.clear();
        PQreset(m_conn);
        if (PQstatus(m_conn) != CONNECTION_OK)
            throw connectionError(m_server, serverText(PQerrorMessage(m_conn)));
        configure(m_conn, m_server);
    }

    static void configure(PGconn* conn, const QString& server)
    {
        PGresult* r = PQexec(conn, "SET DateStyle = ISO; SET client_min_messages = warning");
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        const QString detail = serverText(PQresultErrorMessage(r));
        PQclear(r);
        if (!ok)
            throw connectionError(server, detail);
    }

    [[noreturn]] void fail(PGresult* result, const QString& sqlText) const
    {
        const QString state =
            serverText(result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr);
        QString detail =
            serverText(result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr);
        if (detail.isEmpty())
            detail = serverText(PQerrorMessage(m_conn));
        const QString table =
            serverText(result ? PQresultErrorField(result, PG_DIAG_TABLE_NAME) : nullptr);
        const QString column =
            serverText(result ? PQresultErrorField(result, PG_DIAG_COLUMN_NAME) : nullptr);
        const QString constraint =
            serverText(result ? PQresultErrorField(result, PG_DIAG_CONSTRAINT_NAME) : nullptr);
        const QString keyDetail =
            serverText(result ? PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL) : nullptr);
        if (result)
            PQclear(result);
        if (PQstatus(m_conn) != CONNECTION_OK || state.startsWith(QLatin1String("08")) ||
            state == QLatin1String("57P01") || state == QLatin1String("57P02") ||
            state == QLatin1String("57P03"))
            throw Error(Error::Code::Io,
                        QStringLiteral("Связь с сервером баз данных «%1» потеряна: операция не "
                                       "выполнена. Повторите её: программа подключится заново. "
                                       "(%2)")
                            .arg(m_server, detail));
        Q_UNUSED(sqlText);
        const QString cls = state.left(2);
        // A broken constraint says which kind it is, as in the embedded store: a required
        // field left empty (naming the table and the field), a value the table's condition
        // refuses (in the condition's own words), a repeated key.
        if (state == QLatin1String("23502"))
            throw Error(Error::Code::Constraint,
                        QStringLiteral("Не заполнено обязательное поле «%1» таблицы %2.")
                            .arg(column, table),
                        table, column);
        if (state == QLatin1String("23514")) {
            const auto it = m_checks.find(constraint);
            throw Error(Error::Code::Constraint,
                        QStringLiteral("Значение не допускается условием таблицы «%1».")
                            .arg(it == m_checks.end() ? constraint : it->second));
        }
        if (cls == QLatin1String("23"))
            throw Error(Error::Code::KeyViolation,
                        QStringLiteral("Такая запись уже есть в таблице %1: ключ повторяется (%2).")
                            .arg(table, keyDetail.isEmpty() ? detail : keyDetail),
                        table);
        if (state == QLatin1String("42501"))
            throw Error(Error::Code::ReadOnly,
                        QStringLiteral("Сервер «%1» не разрешает эту операцию пользователю "
                                       "подключения: недостаточно прав (%2).")
                            .arg(m_server, detail));
        if (state == QLatin1String("57014"))
            throw Error(Error::Code::General,
                        QStringLiteral("Сервер «%1» прервал запрос: истекло допустимое время его "
                                       "выполнения (statement_timeout). Данные не изменены.")
                            .arg(m_server));
        if (state == QLatin1String("40P01") || state == QLatin1String("55P03") ||
            state == QLatin1String("40001"))
            throw Error(Error::Code::RecordLocked,
                        QStringLiteral("База данных занята другим пользователем. Повторите "
                                       "операцию."));
        if (state == QLatin1String("25006"))
            throw Error(Error::Code::ReadOnly,
                        QStringLiteral("База данных доступна только для чтения (%1).").arg(detail));
        if (cls == QLatin1String("22"))
            throw Error(Error::Code::Syntax,
                        QStringLiteral("Недопустимое значение: %1").arg(detail));
        if (cls == QLatin1String("42"))
            throw Error(Error::Code::Syntax, QStringLiteral("Ошибка в запросе: %1").arg(detail));
        if (cls == QLatin1String("53"))
            throw Error(
                Error::Code::Io,
                QStringLiteral("На сервере «%1» не хватает ресурсов (%2).").arg(m_server, detail));
        if (cls == QLatin1String("XX"))
            throw Error(
                Error::Code::Corrupt,
                QStringLiteral("Внутренняя ошибка сервера «%1» (%2).").arg(m_server, detail));
        throw Error(Error::Code::General, QStringLiteral("Ошибка базы данных: %1").arg(detail));
    }

    const Prepared& prepare(const QString& sql)
    {
        ensureConnected();
        auto it = m_prepared.find(sql);
        if (it != m_prepared.end()) {
            it->lastUse = ++m_useClock;
            return *it;
        }
        Prepared p;
        p.statement = serverStatement(sql);
        if (p.statement.text.trimmed().isEmpty())
            throw Error(Error::Code::Syntax, QStringLiteral("Пустой текст запроса."));
        if (p.statement.insert && !p.statement.returning)
            p.statement.text += QStringLiteral(" RETURNING rowid");
        p.name = "kdb" + QByteArray::number(++m_statementNumber);
        PGresult* r = PQprepare(m_conn, p.name.constData(), p.statement.text.toUtf8().constData(),
                                0, nullptr);
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            fail(r, p.statement.text);
        PQclear(r);
        ++m_compiled;
        p.lastUse = ++m_useClock;
        if (m_prepared.size() >= kCachedStatements)
            evictLeastRecentlyUsed();
        return *m_prepared.insert(sql, p);
    }

    void evictLeastRecentlyUsed()
    {
        auto oldest = m_prepared.begin();
        for (auto it = m_prepared.begin(); it != m_prepared.end(); ++it)
            if (it->lastUse < oldest->lastUse)
                oldest = it;
        if (oldest == m_prepared.end())
            return;
        const QByteArray deallocate = "DEALLOCATE " + oldest->name;
        PQclear(PQexec(m_conn, deallocate.constData()));
        m_prepared.erase(oldest);
    }

    quint64 statementsCompiled() const override { return m_compiled; }

    // Runs a prepared statement with its values bound: text for everything but binary data.
    PGresult* run(const QString& sql, const QVariantList& params, ExecStatusType expected)
    {
        const Prepared& p = prepare(sql);
        QVariantList values;
        if (params.size() == 1 && params.front().typeId() == QMetaType::QVariantMap) {
            const QVariantMap named = params.front().toMap();
            for (const QString& name : p.statement.names) {
                QVariant v;
                for (auto it = named.begin(); it != named.end(); ++it)
                    if (it.key().compare(name, Qt::CaseInsensitive) == 0)
                        v = it.value();
                values << v;
            }
        } else {
            if (p.statement.parameterCount != params.size())
                throw Error(
                    Error::Code::Syntax,
                    QStringLiteral("Ошибка в запросе: ожидалось параметров: %1, передано: %2.")
                        .arg(p.statement.parameterCount)
                        .arg(params.size()));
            values = params;
        }
        const int n = static_cast<int>(values.size());
        std::vector<QByteArray> storage(static_cast<size_t>(n));
        std::vector<const char*> pointers(static_cast<size_t>(n), nullptr);
        std::vector<int> lengths(static_cast<size_t>(n), 0);
        std::vector<int> formats(static_cast<size_t>(n), 0);
        for (int i = 0; i < n; ++i) {
            const QVariant& v = values.at(i);
            const auto k = static_cast<size_t>(i);
            if (v.isNull())
                continue;
            switch (v.typeId()) {
            case QMetaType::Bool:
                storage[k] = v.toBool() ? "1" : "0";
                break;
            case QMetaType::QByteArray:
                storage[k] = v.toByteArray();
                formats[k] = 1;
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                storage[k] = QByteArray::number(v.toDouble(), 'g', 17);
                break;
            case QMetaType::QDate:
                storage[k] = dateToStore(v.toDate()).toUtf8();
                break;
            case QMetaType::QDateTime:
                storage[k] = dateToStore(v.toDateTime().date()).toUtf8();
                break;
            default:
                storage[k] = v.toString().toUtf8();
                break;
            }
            // An empty QByteArray has no data pointer; the server must still see a value.
            pointers[k] = storage[k].isNull() ? "" : storage[k].constData();
            lengths[k] = static_cast<int>(storage[k].size());
        }
        PGresult* r = PQexecPrepared(m_conn, p.name.constData(), n, pointers.data(), lengths.data(),
                                     formats.data(), 0);
        if (PQresultStatus(r) != expected && PQresultStatus(r) != PGRES_TUPLES_OK &&
            PQresultStatus(r) != PGRES_COMMAND_OK)
            fail(r, p.statement.text);
        return r;
    }

    std::unique_ptr<Cursor> select(const QString& sql, const QVariantList& params) override;

    int exec(const QString& sql, const QVariantList& params) override
    {
        PGresult* r = run(sql, params, PGRES_COMMAND_OK);
        if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 &&
            prepare(sql).statement.insert)
            m_lastInsert = QByteArray(PQgetvalue(r, PQntuples(r) - 1, 0)).toLongLong();
        const int changed = QByteArray(PQcmdTuples(r)).toInt();
        PQclear(r);
        return changed;
    }

    // The text of every condition of the tables, read once after the schema may have changed
    // (a failed statement may leave no transaction to read it in).
    void loadChecks()
    {
        m_checks.clear();
        auto c = select(QStringLiteral("SELECT conname, coalesce(obj_description(oid, "
                                       "'pg_constraint'), pg_get_constraintdef(oid)) FROM "
                                       "pg_constraint WHERE contype = 'c' AND connamespace = "
                                       "current_schema()::regnamespace"),
                        {});
        while (c->next())
            m_checks[c->value(0).toString()] = c->value(1).toString();
    }

    void execScript(const QString& script) override
    {
        ensureConnected();
        const ServerStatement s = serverStatement(script, true);
        PGresult* r = PQexec(m_conn, s.text.toUtf8().constData());
        const ExecStatusType status = PQresultStatus(r);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            fail(r, s.text);
        PQclear(r);
        m_columnTypes.clear();
        if (PQtransactionStatus(m_conn) == PQTRANS_IDLE)
            loadChecks();
    }

    qint64 lastInsertRowId() override { return m_lastInsert; }

    struct ColumnInfo {
        QString name;     // as the schema writes it
        QString declared; // the declared type
    };

    // The columns of a table by column number, read once per table.
    const std::map<int, ColumnInfo>& columnsOf(Oid table)
    {
        auto it = m_columnTypes.find(table);
        if (it != m_columnTypes.end())
            return it->second;
        std::map<int, ColumnInfo> columns;
        auto c = select(QStringLiteral("SELECT a.attnum, format_type(a.atttypid, a.atttypmod), "
                                       "t.typname, t.typtype = 'd', "
                                       "coalesce(col_description(a.attrelid, a.attnum), a.attname) "
                                       "FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid "
                                       "WHERE a.attrelid = ? AND a.attnum > 0"),
                        {QVariant(static_cast<qint64>(table))});
        while (c->next())
            columns[static_cast<int>(c->int64(0))] = {
                c->value(4).toString(),
                declaredFromServer(c->value(1).toString(), c->value(2).toString(),
                                   c->value(3).toLongLong() != 0)};
        return m_columnTypes.emplace(table, std::move(columns)).first->second;
    }

    const ColumnInfo* columnOf(const PGresult* r, int column)
    {
        const Oid table = PQftable(r, column);
        if (table == InvalidOid)
            return nullptr;
        const auto& columns = columnsOf(table);
        const auto it = columns.find(PQftablecol(r, column));
        return it == columns.end() ? nullptr : &it->second;
    }

    QString declaredTypeOf(const PGresult* r, int column)
    {
        const ColumnInfo* info = columnOf(r, column);
        return info ? info->declared : QString();
    }

    // A result column that is a table's column keeps the name the schema gives it.
    QString columnNameOf(const PGresult* r, int column)
    {
        const QString name = QString::fromUtf8(PQfname(r, column));
        const ColumnInfo* info = columnOf(r, column);
        return info && info->name.toLower() == name ? info->name : name;
    }

    std::vector<std::pair<QString, QString>> describeSelect(const QString& sql) override
    {
        const Prepared& p = prepare(sql);
        PGresult* r = PQdescribePrepared(m_conn, p.name.constData());
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            fail(r, p.statement.text);
        std::vector<std::pair<QString, QString>> columns;
        for (int i = 0; i < PQnfields(r); ++i)
            columns.emplace_back(columnNameOf(r, i), declaredTypeOf(r, i));
        PQclear(r);
        return columns;
    }

    std::optional<TableDef> describeTable(const QString& table) override
    {
        TableDef def;
        def.name = table.toLower();
        auto c = select(
            QStringLiteral(
                "SELECT a.attname, format_type(a.atttypid, a.atttypmod), t.typname, "
                "t.typtype = 'd', a.attidentity <> '', EXISTS (SELECT 1 FROM pg_index i WHERE "
                "i.indrelid = a.attrelid AND (i.indisprimary OR i.indexrelid::regclass::text = "
                "a.attrelid::regclass::text || '_pkey') AND a.attnum = ANY (i.indkey)) "
                ", coalesce(col_description(a.attrelid, a.attnum), a.attname) "
                "FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid "
                "WHERE a.attrelid = to_regclass(?) AND a.attnum > 0 AND NOT a.attisdropped "
                "ORDER BY a.attnum"),
            {dialect().quoteIdentifier(def.name)});
        while (c->next()) {
            if (c->value(0).toString() == QLatin1String("rowid"))
                continue;
            const QString name = c->value(6).toString();
            FieldDef f = fieldDefFromDeclared(
                name, declaredFromServer(c->value(1).toString(), c->value(2).toString(),
                                         c->value(3).toLongLong() != 0));
            f.primaryKey = c->value(5).toLongLong() != 0;
            if (c->value(4).toLongLong() != 0 && f.type == FieldType::Integer)
                f.type = FieldType::AutoInc;
            def.fields.push_back(f);
        }
        if (def.fields.empty())
            return std::nullopt;
        return def;
    }

    QStringList tables() override
    {
        QStringList names;
        auto c = select(QStringLiteral("SELECT c.relname FROM pg_class c WHERE c.relkind IN "
                                       "('r', 'p') AND c.relnamespace = "
                                       "current_schema()::regnamespace AND c.relname <> "
                                       "'kdb_schema' ORDER BY c.relname"),
                        {});
        while (c->next())
            names << c->value(0).toString();
        return names;
    }

    std::optional<std::vector<std::pair<QString, QString>>>
    indexColumns(const QString& table, const QString& index) override
    {
        auto c = select(
            QStringLiteral(
                "SELECT a.attname, coll.collname FROM pg_class ic JOIN pg_index i ON "
                "i.indexrelid = ic.oid JOIN pg_class tc ON tc.oid = i.indrelid CROSS JOIN LATERAL "
                "unnest(i.indkey::int2[], i.indcollation::oid[]) WITH ORDINALITY AS k(attnum, "
                "coll, n) LEFT JOIN pg_attribute a ON a.attrelid = tc.oid AND a.attnum = k.attnum "
                "LEFT JOIN pg_collation coll ON coll.oid = k.coll WHERE ic.relname = lower(?) AND "
                "ic.relnamespace = current_schema()::regnamespace AND tc.relname = lower(?) "
                "ORDER BY k.n"),
            {index, table});
        std::vector<std::pair<QString, QString>> columns;
        bool found = false;
        while (c->next()) {
            found = true;
            // The row id that ends every index is the engine's own last term, not the index's.
            if (c->value(0).toString() == QLatin1String("rowid"))
                continue;
            QString coll = c->value(1).toString();
            if (coll == QLatin1String("default") || coll == QLatin1String("C"))
                coll.clear();
            columns.emplace_back(c->value(0).toString(), coll);
        }
        if (!found)
            return std::nullopt;
        return columns;
    }

    QString rowIdColumn() const override { return QStringLiteral("rowid"); }

    void simple(const char* sql)
    {
        ensureConnected();
        PGresult* r = PQexec(m_conn, sql);
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            fail(r, QString::fromUtf8(sql));
        PQclear(r);
    }

    void begin() override { simple("BEGIN"); }
    void commit() override { simple("COMMIT"); }
    void rollback() override
    {
        if (PQstatus(m_conn) == CONNECTION_OK && PQtransactionStatus(m_conn) != PQTRANS_IDLE)
            simple("ROLLBACK");
    }
    void savepoint(const QString& name) override
    {
        simple((QStringLiteral("SAVEPOINT ") + name).toUtf8().constData());
    }
    void release(const QString& name) override
    {
        simple((QStringLiteral("RELEASE SAVEPOINT ") + name).toUtf8().constData());
    }
    void rollbackTo(const QString& name) override
    {
        simple((QStringLiteral("ROLLBACK TO SAVEPOINT ") + name).toUtf8().constData());
        simple((QStringLiteral("RELEASE SAVEPOINT ") + name).toUtf8().constData());
    }

    // Advisory locks of the session: other connections see them, and the server drops them when
    // the session ends, also when the program was killed. The first key is the table's number.
    // Two agencies in two schemas of one database must not share locks: the schema counts.
    qint32 tableKey(const QString& table) const
    {
        quint32 h = 2166136261u;
        for (const char c : (m_schema + QLatin1Char('.') + table.toLower()).toUtf8()) {
            h ^= static_cast<unsigned char>(c);
            h *= 16777619u;
        }
        return static_cast<qint32>(h & 0x7fffffff);
    }

    // One session holds the locks of every holder of this program: who holds which is kept
    // here, so that two datasets of one program exclude each other as two workstations do.
    bool tryLock(const void* holder, const QString& table, qint64 rowId)
    {
        const auto key = std::make_pair(table.toLower(), rowId);
        const auto it = m_locks.find(key);
        if (it != m_locks.end())
            return it->second == holder;
        auto c = select(QStringLiteral("SELECT pg_try_advisory_lock(?::int4, ?::int4)"),
                        {QVariant(tableKey(table)), QVariant(static_cast<qint32>(rowId))});
        const bool locked = c->next() && c->value(0).toLongLong() != 0;
        if (locked)
            m_locks.emplace(key, holder);
        return locked;
    }

    void unlock(const void* holder, const QString& table, qint64 rowId)
    {
        const auto key = std::make_pair(table.toLower(), rowId);
        const auto it = m_locks.find(key);
        if (it == m_locks.end() || it->second != holder)
            return; // never another holder's lock
        m_locks.erase(it);
        if (PQstatus(m_conn) != CONNECTION_OK)
            return; // the lost session took its locks along
        select(QStringLiteral("SELECT pg_advisory_unlock(?::int4, ?::int4)"),
               {QVariant(tableKey(table)), QVariant(static_cast<qint32>(rowId))})
            ->next();
    }

    void unlockAll(const void* holder)
    {
        std::vector<std::pair<QString, qint64>> held;
        for (const auto& [key, owner] : m_locks)
            if (owner == holder)
                held.push_back(key);
        for (const auto& [table, rowId] : held) {
            try {
                unlock(holder, table, rowId);
            } catch (const Error&) {
                // The session is gone, and its locks with it.
            }
        }
    }

    std::unique_ptr<RecordLockHolder> newRecordLockHolder() override;

    void createResultTable(const QString& name, const QStringList& columns,
                           const QString& selectSql, const QVariantList& params) override
    {
        const Dialect& d = dialect();
        QStringList names{QStringLiteral("rowid")};
        for (const QString& column : columns)
            names << d.quoteIdentifier(column);
        // row_number() over the subquery numbers the rows in the order the query gave them.
        exec(QStringLiteral("CREATE TEMP TABLE %1 (%2) AS SELECT row_number() OVER (), q.* FROM "
                            "(%3) AS q")
                 .arg(d.quoteIdentifier(name), names.join(QLatin1Char(',')), selectSql),
             params);
        exec(QStringLiteral("CREATE INDEX ON pg_temp.%1 (rowid)").arg(d.quoteIdentifier(name)), {});
    }

    void dropResultTable(const QString& name) override
    {
        if (PQstatus(m_conn) == CONNECTION_OK)
            exec(QStringLiteral("DROP TABLE IF EXISTS pg_temp.%1")
                     .arg(dialect().quoteIdentifier(name)),
                 {});
    }

    void syncKeyCounters() override
    {
        std::vector<std::pair<QString, QString>> counters;
        {
            auto c = select(QStringLiteral("SELECT c.relname, a.attname FROM pg_attribute a JOIN "
                                           "pg_class c ON c.oid = a.attrelid WHERE "
                                           "c.relnamespace = current_schema()::regnamespace AND "
                                           "c.relkind = 'r' AND a.attidentity <> ''"),
                            {});
            while (c->next())
                counters.emplace_back(c->value(0).toString(), c->value(1).toString());
        }
        const Dialect& d = dialect();
        for (const auto& [table, column] : counters) {
            const QString t = d.quoteIdentifier(table), col = d.quoteIdentifier(column);
            select(QStringLiteral("SELECT setval(pg_get_serial_sequence(?, ?), coalesce((SELECT "
                                  "max(%1) FROM %2), 0) + 1, false)")
                       .arg(col, t),
                   {t, column})
                ->next();
        }
    }

    // The visibility map lets orders be read from the indexes alone.
    void optimize() override { simple("VACUUM ANALYZE"); }

    QStringList integrityCheck() override
    {
        QStringList problems;
        auto c = select(QStringLiteral("SELECT (SELECT count(*) FROM pg_collation WHERE collname "
                                       "= 'rus' AND collnamespace = "
                                       "current_schema()::regnamespace), (SELECT count(*) FROM "
                                       "pg_proc WHERE proname = 'kdb_upper' AND pronamespace = "
                                       "current_schema()::regnamespace)"),
                        {});
        if (c->next()) {
            if (c->int64(0) == 0)
                problems << QStringLiteral("Нет порядка сортировки rus.");
            if (c->int64(1) == 0)
                problems << QStringLiteral("Нет функции kdb_upper.");
        }
        return problems;
    }

    void checkpoint() override {}

    PGconn* handle() const { return m_conn; }

private:
    QString m_connection;
    QString m_server;
    PGconn* m_conn;
    QString m_schema;
    QHash<QString, Prepared> m_prepared;
    quint64 m_useClock = 0;
    quint64 m_statementNumber = 0;
    quint64 m_compiled = 0;
    qint64 m_lastInsert = 0;
    std::map<std::pair<QString, qint64>, const void*> m_locks; // lock -> its holder
    std::map<QString, QString> m_checks; // a table condition's name -> its text
    std::shared_ptr<PgStore*> m_self = std::make_shared<PgStore*>(this);
    std::map<Oid, std::map<int, ColumnInfo>> m_columnTypes;
};

class PgCursor final : public Cursor {
public:
    PgCursor(PgStore* store, PGresult* result) : m_store(store), m_result(result)
    {
        m_rows = PQntuples(result);
        m_columns = PQnfields(result);
    }
    ~PgCursor() override { PQclear(m_result); }

    bool next() override { return ++m_row < m_rows; }
    int columnCount() const override { return m_columns; }
    QString columnName(int column) const override
    {
        return m_store->columnNameOf(m_result, column);
    }
    QString declaredType(int column) const override
    {
        return m_store->declaredTypeOf(m_result, column);
    }
    QVariant value(int column) const override
    {
        if (PQgetisnull(m_result, m_row, column))
            return QVariant();
        const char* text = PQgetvalue(m_result, m_row, column);
        const int length = PQgetlength(m_result, m_row, column);
        switch (PQftype(m_result, column)) {
        case kInt2:
        case kInt4:
        case kInt8:
        case kOid:
            return QVariant(QByteArray::fromRawData(text, length).toLongLong());
        case kBool:
            return QVariant(static_cast<qint64>(text[0] == 't' ? 1 : 0));
        case kFloat4:
        case kFloat8:
        case kNumeric:
            return QVariant(QByteArray::fromRawData(text, length).toDouble());
        case kBytea: {
            size_t size = 0;
            unsigned char* bytes =
                PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
            QByteArray data(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
            PQfreemem(bytes);
            return QVariant(data);
        }
        default:
            return QVariant(QString::fromUtf8(text, length));
        }
    }
    qint64 int64(int column) const override
    {
        return QByteArray::fromRawData(PQgetvalue(m_result, m_row, column),
                                       PQgetlength(m_result, m_row, column))
            .toLongLong();
    }

private:
    PgStore* m_store;
    PGresult* m_result;
    int m_row = -1;
    int m_rows = 0;
    int m_columns = 0;
};

// A holder of record locks: a dataset. Its locks go when it goes.
class PgLockHolder final : public RecordLockHolder {
public:
    explicit PgLockHolder(std::shared_ptr<PgStore*> store) : m_store(std::move(store)) {}
    ~PgLockHolder() override
    {
        if (*m_store)
            (*m_store)->unlockAll(this);
    }
    bool tryLock(const QString& table, qint64 rowId) override
    {
        if (!*m_store)
            throw Error(Error::Code::State, QStringLiteral("База данных закрыта."));
        return (*m_store)->tryLock(this, table, rowId);
    }
    void unlock(const QString& table, qint64 rowId) override
    {
        if (*m_store)
            (*m_store)->unlock(this, table, rowId);
    }

private:
    std::shared_ptr<PgStore*> m_store;
};

std::unique_ptr<RecordLockHolder> PgStore::newRecordLockHolder()
{
    return std::make_unique<PgLockHolder>(m_self);
}

std::unique_ptr<Cursor> PgStore::select(const QString& sql, const QVariantList& params)
{
    return std::make_unique<PgCursor>(this, run(sql, params, PGRES_TUPLES_OK));
}

PGconn* connect(const QString& connection)
{
    const QString server = displayedServer(connection);
    const QByteArray expanded = connection.toUtf8();
    // Settings before the connection's own text are defaults it may override.
    const char* keys[] = {"connect_timeout", "application_name", "dbname", "client_encoding",
                          nullptr};
    const char* values[] = {"10", "kadrol", expanded.constData(), "UTF8", nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 1);
    if (!conn)
        throw Error(Error::Code::Io, QStringLiteral("Нет памяти для подключения к серверу."));
    if (PQstatus(conn) != CONNECTION_OK) {
        const QString detail = serverText(PQerrorMessage(conn));
        PQfinish(conn);
        throw connectionError(server, detail);
    }
    // The server's notices (what a DROP ... CASCADE took along) are not for the user.
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    return conn;
}

// The first value of a one-row query on a raw connection; null on an error.
QVariant scalar(PGconn* conn, const char* sql, QString* error = nullptr)
{
    PGresult* r = PQexec(conn, sql);
    QVariant v;
    if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 && !PQgetisnull(r, 0, 0))
        v = QString::fromUtf8(PQgetvalue(r, 0, 0));
    else if (error && PQresultStatus(r) != PGRES_TUPLES_OK)
        *error = serverText(PQresultErrorMessage(r));
    PQclear(r);
    return v;
}

} // namespace

bool isServerLocation(const QString& location)
{
    const QString t = location.trimmed();
    return t.startsWith(QLatin1String("postgresql://")) ||
           t.startsWith(QLatin1String("postgres://")) ||
           (t.contains(QLatin1Char('=')) && !t.startsWith(QLatin1Char('/')));
}

QString displayedServer(const QString& connection)
{
    QString shown = connection.trimmed();
    static const QRegularExpression keyword(
        QStringLiteral("(password\\s*=\\s*)('(?:[^'\\\\]|\\\\.)*'|\\S*)"),
        QRegularExpression::CaseInsensitiveOption);
    shown.replace(keyword, QStringLiteral("\\1***"));
    static const QRegularExpression uri(QStringLiteral("^(postgres(?:ql)?://[^:/@]*):[^@/]*@"));
    shown.replace(uri, QStringLiteral("\\1:***@"));
    return shown;
}

std::unique_ptr<Store> openPgStore(const QString& connection)
{
    const QString server = displayedServer(connection);
    PGconn* conn = connect(connection);
    try {
        PgStore::configure(conn, server);
        QString error;
        const QVariant exists = scalar(conn, "SELECT to_regclass('kdb_schema') IS NOT NULL");
        if (exists.toString() != QLatin1String("t")) // read as text: "t" or "f"
            throw Error(Error::Code::NotFound,
                        QStringLiteral("База данных на сервере «%1» не является базой Кадролога: в "
                                       "ней нет таблиц программы. Создайте их командой "
                                       "kadrol-admin init или copy.")
                            .arg(server));
        const QVariant version = scalar(conn, "SELECT max(version) FROM kdb_schema", &error);
        if (!error.isEmpty())
            throw connectionError(server, error);
        if (version.toInt() != serverSchemaVersion)
            throw Error(Error::Code::Corrupt,
                        QStringLiteral("База данных на сервере «%1» создана %2 версией программы "
                                       "(версия таблиц %3, нужна %4): работа с ней невозможна.")
                            .arg(server, version.toInt() < serverSchemaVersion
                                             ? QStringLiteral("более "
                                                              "старой")
                                             : QStringLiteral("более "
                                                              "новой"))
                            .arg(version.toInt())
                            .arg(serverSchemaVersion));
        const QString schema = scalar(conn, "SELECT current_schema()").toString();
        auto store = std::make_unique<PgStore>(connection, conn, schema);
        conn = nullptr; // the store owns it now
        store->loadChecks();
        return store;
    } catch (...) {
        PQfinish(conn);
        throw;
    }
}

void executeOnServer(const QString& connection, const QString& sql)
{
    const QString server = displayedServer(connection);
    PGconn* conn = connect(connection);
    PGresult* r = PQexec(conn, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(r);
    const QString detail = serverText(PQresultErrorMessage(r));
    PQclear(r);
    PQfinish(conn);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw Error(Error::Code::General, QStringLiteral("Сервер «%1»: %2").arg(server, detail));
}

std::unique_ptr<Store> createPgStore(const QString& connection, const QString& schemaScript)
{
    const QString server = displayedServer(connection);
    PGconn* conn = connect(connection);
    try {
        PgStore::configure(conn, server);
        const QVariant tables = scalar(conn, "SELECT count(*) FROM pg_class WHERE relkind = 'r' "
                                             "AND relnamespace = current_schema()::regnamespace");
        if (tables.toInt() > 0)
            throw Error(Error::Code::General,
                        QStringLiteral("В базе данных на сервере «%1» уже есть таблицы; она "
                                       "оставлена как есть. Таблицы программы создаются только в "
                                       "пустой базе.")
                            .arg(server));
        // One transaction: a failed or interrupted build leaves the database empty.
        const QString script =
            QStringLiteral("BEGIN;\n") + serverSchemaPrelude() + serverSchemaScript(schemaScript) +
            QStringLiteral(";\nINSERT INTO kdb_schema VALUES (%1);\n").arg(serverSchemaVersion);
        PGresult* r = PQexec(conn, script.toUtf8().constData());
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        const QString state = serverText(PQresultErrorField(r, PG_DIAG_SQLSTATE));
        const QString detail = serverText(PQresultErrorMessage(r));
        PQclear(r);
        if (!ok) {
            if (state == QLatin1String("42501"))
                throw Error(Error::Code::ReadOnly,
                            QStringLiteral("Сервер «%1» не разрешает пользователю подключения "
                                           "создавать таблицы: таблицы создаёт владелец базы "
                                           "данных. (%2)")
                                .arg(server, detail));
            throw Error(Error::Code::General,
                        QStringLiteral("Не удалось создать таблицы на сервере «%1»: %2")
                            .arg(server, detail));
        }
        const QString schema = scalar(conn, "SELECT current_schema()").toString();
        return std::make_unique<PgStore>(connection, conn, schema);
    } catch (...) {
        PQfinish(conn);
        throw;
    }
}

} // namespace kdb
