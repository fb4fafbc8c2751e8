// The embedded store: one SQLite file per data folder, in write-ahead-log mode so that readers
// in other processes never wait for a writer, with every commit synced to disk.
#include "store.h"

#include "collation.h"
#include "error.h"
#include "recordlock.h"
#include "sqlitefunctions.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace kdb {

namespace {

Error::Code codeFor(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_CONSTRAINT: // a repeated key is told apart by storeFailure
        return Error::Code::Constraint;
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return Error::Code::ReadOnly;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Error::Code::RecordLocked;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return Error::Code::Corrupt;
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
        return Error::Code::Io;
    case SQLITE_ERROR:
        return Error::Code::Syntax;
    default:
        return Error::Code::General;
    }
}

QString describe(int rc, const QString& detail)
{
    switch (rc & 0xff) {
    case SQLITE_CONSTRAINT:
        return QStringLiteral("Нарушено ограничение таблицы (%1).").arg(detail);
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return QStringLiteral("База данных доступна только для чтения (%1).").arg(detail);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("База данных занята другим пользователем. Повторите операцию.");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("Файл базы данных повреждён (%1).").arg(detail);
    case SQLITE_FULL:
        return QStringLiteral("Нет места на диске для записи данных.");
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return QStringLiteral("Ошибка чтения или записи файла базы данных (%1).").arg(detail);
    case SQLITE_ERROR:
        return QStringLiteral("Ошибка в запросе: %1").arg(detail);
    default:
        return QStringLiteral("Ошибка базы данных: %1").arg(detail);
    }
}

// What SQLite names after "... constraint failed: ": "zvrecr.Zayav" for NOT NULL, the pairs of
// the key for UNIQUE ("svkat.Tabno, svkat.Sfr"), the condition or its name for CHECK.
QString constraintSubject(const QString& detail)
{
    const int colon = detail.indexOf(QLatin1String(": "));
    return colon < 0 ? QString() : detail.mid(colon + 2).trimmed();
}

// An error of the store for the user. A broken constraint says which kind it is: a repeated key,
// a required field left empty (naming the table and the field), a value the table's condition
// refuses; none of them is a "duplicate key" but the first.
Error storeFailure(int rc, const QString& detail)
{
    const QString subject = constraintSubject(detail);
    switch (rc) {
    case SQLITE_CONSTRAINT_NOTNULL: {
        const int dot = subject.indexOf(QLatin1Char('.'));
        const QString table = dot < 0 ? QString() : subject.left(dot);
        const QString field = subject.mid(dot + 1);
        return Error(
            Error::Code::Constraint,
            QStringLiteral("Не заполнено обязательное поле «%1» таблицы %2.").arg(field, table),
            table, field);
    }
    case SQLITE_CONSTRAINT_CHECK:
        return Error(Error::Code::Constraint,
                     QStringLiteral("Значение не допускается условием таблицы «%1».").arg(subject));
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY: {
        const int dot = subject.indexOf(QLatin1Char('.'));
        const QString table = dot < 0 ? QString() : subject.left(dot);
        return Error(Error::Code::KeyViolation,
                     QStringLiteral("Такая запись уже есть в таблице %1: ключ повторяется (%2).")
                         .arg(table, subject),
                     table);
    }
    default:
        return Error(codeFor(rc), describe(rc, detail));
    }
}

class SqliteCursor;

class SqliteStore final : public Store {
public:
    SqliteStore(const QString& folder, sqlite3* db)
        : m_folder(folder), m_db(db), m_locks(QDir(folder).filePath(QStringLiteral("kadrol.lck")))
    {
    }

    ~SqliteStore() override
    {
        for (auto& entry : m_cache)
            sqlite3_finalize(entry.stmt);
        sqlite3_close_v2(m_db);
    }

    const Dialect& dialect() const override { return Dialect::sqlite(); }

    [[noreturn]] void fail(int rc) const
    {
        throw storeFailure(rc, QString::fromUtf8(sqlite3_errmsg(m_db)));
    }

    struct Entry {
        sqlite3_stmt* stmt = nullptr;
        bool inUse = false;
        quint64 lastUse = 0;
    };
    static constexpr int kCachedStatements = 256;

    // Statements are prepared once and kept: the datasets run the same few texts thousands of
    // times (page fetches, posts). A full cache gives up the statement used longest ago, so
    // that one-off texts (a query with names written into it) do not crowd out the statements
    // of a window opened late in the day. A text already running (a nested use) gets a private
    // copy.
    sqlite3_stmt* acquire(const QString& sql, bool& cached)
    {
        auto it = m_cache.find(sql);
        if (it != m_cache.end() && !it->inUse) {
            it->inUse = true;
            it->lastUse = ++m_useClock;
            cached = true;
            return it->stmt;
        }
        const QByteArray text = sql.toUtf8();
        sqlite3_stmt* stmt = nullptr;
        const int rc = sqlite3_prepare_v3(m_db, text.constData(), static_cast<int>(text.size()),
                                          SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(stmt);
            fail(rc);
        }
        if (!stmt)
            throw Error(Error::Code::Syntax, QStringLiteral("Пустой текст запроса."));
        ++m_compiled;
        cached = false;
        if (it == m_cache.end()) {
            if (m_cache.size() >= kCachedStatements)
                evictLeastRecentlyUsed();
            if (m_cache.size() < kCachedStatements) {
                m_cache.insert(sql, Entry{stmt, true, ++m_useClock});
                cached = true;
            }
        }
        return stmt;
    }

    void evictLeastRecentlyUsed()
    {
        auto oldest = m_cache.end();
        for (auto it = m_cache.begin(); it != m_cache.end(); ++it)
            if (!it->inUse && (oldest == m_cache.end() || it->lastUse < oldest->lastUse))
                oldest = it;
        if (oldest == m_cache.end())
            return; // every cached statement is running
        sqlite3_finalize(oldest->stmt);
        m_cache.erase(oldest);
    }

    quint64 statementsCompiled() const override { return m_compiled; }

    void releaseStmt(const QString& sql, sqlite3_stmt* stmt, bool cached)
    {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        if (!cached) {
            sqlite3_finalize(stmt);
            return;
        }
        auto it = m_cache.find(sql);
        if (it != m_cache.end() && it->stmt == stmt)
            it->inUse = false;
    }

    void bindValue(sqlite3_stmt* stmt, int index, const QVariant& v)
    {
        int rc = SQLITE_OK;
        if (v.isNull()) {
            rc = sqlite3_bind_null(stmt, index);
        } else {
            switch (v.typeId()) {
            case QMetaType::Bool:
                rc = sqlite3_bind_int(stmt, index, v.toBool() ? 1 : 0);
                break;
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::Short:
            case QMetaType::UShort:
            case QMetaType::Long:
            case QMetaType::ULong:
                rc = sqlite3_bind_int64(stmt, index, v.toLongLong());
                break;
            case QMetaType::ULongLong:
                rc = sqlite3_bind_int64(stmt, index, static_cast<sqlite3_int64>(v.toULongLong()));
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = sqlite3_bind_double(stmt, index, v.toDouble());
                break;
            case QMetaType::QByteArray: {
                const QByteArray b = v.toByteArray();
                rc = sqlite3_bind_blob64(stmt, index, b.constData(),
                                         static_cast<sqlite3_uint64>(b.size()), SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::QDate:
                rc = bindText(stmt, index, dateToStore(v.toDate()));
                break;
            case QMetaType::QDateTime:
                rc = bindText(stmt, index, dateToStore(v.toDateTime().date()));
                break;
            default:
                rc = bindText(stmt, index, v.toString());
                break;
            }
        }
        if (rc != SQLITE_OK)
            fail(rc);
    }

    static int bindText(sqlite3_stmt* stmt, int index, const QString& text)
    {
        const QByteArray u = text.toUtf8();
        return sqlite3_bind_text64(stmt, index, u.constData(),
                                   static_cast<sqlite3_uint64>(u.size()), SQLITE_TRANSIENT,
                                   SQLITE_UTF8);
    }

    void bindAll(sqlite3_stmt* stmt, const QVariantList& params)
    {
        if (params.size() == 1 && params.front().typeId() == QMetaType::QVariantMap) {
            const QVariantMap named = params.front().toMap();
            for (auto it = named.begin(); it != named.end(); ++it) {
                const QByteArray name = (QLatin1Char(':') + it.key()).toUtf8();
                const int index = sqlite3_bind_parameter_index(stmt, name.constData());
                if (index > 0)
                    bindValue(stmt, index, it.value());
            }
            return;
        }
        const int expected = sqlite3_bind_parameter_count(stmt);
        if (expected != params.size())
            throw Error(Error::Code::Syntax,
                        QStringLiteral("Ошибка в запросе: ожидалось параметров: %1, передано: %2.")
                            .arg(expected)
                            .arg(params.size()));
        for (int i = 0; i < params.size(); ++i)
            bindValue(stmt, i + 1, params.at(i));
    }

    std::unique_ptr<Cursor> select(const QString& sql, const QVariantList& params) override;

    int exec(const QString& sql, const QVariantList& params) override
    {
        bool cached = false;
        sqlite3_stmt* stmt = acquire(sql, cached);
        struct Release {
            SqliteStore* s;
            const QString& sql;
            sqlite3_stmt* stmt;
            bool cached;
            ~Release() { s->releaseStmt(sql, stmt, cached); }
        } release{this, sql, stmt, cached};
        bindAll(stmt, params);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            fail(rc);
        return sqlite3_changes(m_db);
    }

    void execScript(const QString& script) override
    {
        char* message = nullptr;
        const int rc = sqlite3_exec(m_db, script.toUtf8().constData(), nullptr, nullptr, &message);
        if (rc != SQLITE_OK) {
            const QString detail = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db));
            sqlite3_free(message);
            throw storeFailure(rc, detail);
        }
    }

    qint64 lastInsertRowId() override { return sqlite3_last_insert_rowid(m_db); }

    std::vector<std::pair<QString, QString>> describeSelect(const QString& sql) override
    {
        bool cached = false;
        sqlite3_stmt* stmt = acquire(sql, cached);
        std::vector<std::pair<QString, QString>> columns;
        const int n = sqlite3_column_count(stmt);
        for (int i = 0; i < n; ++i) {
            const char* type = sqlite3_column_decltype(stmt, i);
            columns.emplace_back(QString::fromUtf8(sqlite3_column_name(stmt, i)),
                                 type ? QString::fromUtf8(type) : QString());
        }
        releaseStmt(sql, stmt, cached);
        return columns;
    }

    std::optional<TableDef> describeTable(const QString& table) override
    {
        TableDef def;
        def.name = table.toLower();
        auto c =
            select(QStringLiteral("SELECT name, type, pk FROM pragma_table_info(?)"), {def.name});
        while (c->next()) {
            FieldDef f = fieldDefFromDeclared(c->value(0).toString(), c->value(1).toString());
            f.primaryKey = c->int64(2) > 0;
            if (f.primaryKey && f.type == FieldType::Integer) {
                int autoinc = 0;
                const QByteArray t = def.name.toUtf8(), col = f.name.toUtf8();
                if (sqlite3_table_column_metadata(m_db, "main", t.constData(), col.constData(),
                                                  nullptr, nullptr, nullptr, nullptr,
                                                  &autoinc) == SQLITE_OK &&
                    autoinc)
                    f.type = FieldType::AutoInc;
            }
            def.fields.push_back(f);
        }
        if (def.fields.empty())
            return std::nullopt;
        return def;
    }

    QStringList tables() override
    {
        QStringList names;
        auto c = select(QStringLiteral("SELECT name FROM sqlite_schema WHERE type='table' AND "
                                       "name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name"),
                        {});
        while (c->next())
            names << c->value(0).toString();
        return names;
    }

    std::optional<std::vector<std::pair<QString, QString>>>
    indexColumns(const QString& table, const QString& index) override
    {
        {
            auto owner = select(QStringLiteral("SELECT tbl_name FROM sqlite_schema WHERE "
                                               "type='index' AND name=? COLLATE NOCASE"),
                                {index});
            if (!owner->next() || owner->value(0).toString().compare(table, Qt::CaseInsensitive))
                return std::nullopt;
        }
        std::vector<std::pair<QString, QString>> columns;
        auto c =
            select(QStringLiteral(
                       "SELECT name, coll FROM pragma_index_xinfo(?) WHERE key=1 ORDER BY seqno"),
                   {index});
        while (c->next()) {
            QString coll = c->value(1).toString();
            if (coll.compare(QLatin1String("BINARY"), Qt::CaseInsensitive) == 0)
                coll.clear();
            columns.emplace_back(c->value(0).toString(), coll);
        }
        return columns;
    }

    QString rowIdColumn() const override { return QStringLiteral("rowid"); }

    void begin() override { exec(QStringLiteral("BEGIN IMMEDIATE"), {}); }
    void commit() override { exec(QStringLiteral("COMMIT"), {}); }
    void rollback() override
    {
        if (!sqlite3_get_autocommit(m_db))
            exec(QStringLiteral("ROLLBACK"), {});
    }
    void savepoint(const QString& name) override { exec(QStringLiteral("SAVEPOINT ") + name, {}); }
    void release(const QString& name) override { exec(QStringLiteral("RELEASE ") + name, {}); }
    void rollbackTo(const QString& name) override
    {
        exec(QStringLiteral("ROLLBACK TO ") + name, {});
        exec(QStringLiteral("RELEASE ") + name, {});
    }

    std::unique_ptr<RecordLockHolder> newRecordLockHolder() override
    {
        return m_locks.anotherHolder();
    }

    void createResultTable(const QString& name, const QStringList& columns,
                           const QString& selectSql, const QVariantList& params) override
    {
        const Dialect& d = dialect();
        QStringList defs;
        for (const QString& column : columns)
            defs << d.quoteIdentifier(column);
        exec(QStringLiteral("CREATE TEMP TABLE %1 (%2)")
                 .arg(d.quoteIdentifier(name), defs.join(QLatin1Char(','))),
             {});
        exec(QStringLiteral("INSERT INTO %1 ").arg(d.quoteIdentifier(name)) + selectSql, params);
    }

    void dropResultTable(const QString& name) override
    {
        exec(QStringLiteral("DROP TABLE IF EXISTS temp.%1").arg(dialect().quoteIdentifier(name)),
             {});
    }

    // AUTOINCREMENT keeps its counter at the highest key written, given or not.
    void syncKeyCounters() override {}
    // Its plans follow the indexes alone; statistics are left as they are.
    void optimize() override {}

    QStringList integrityCheck() override
    {
        QStringList problems;
        auto c = select(QStringLiteral("PRAGMA integrity_check"), {});
        while (c->next()) {
            const QString line = c->value(0).toString();
            if (line != QLatin1String("ok"))
                problems << line;
        }
        return problems;
    }

    void checkpoint() override
    {
        sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    }

    sqlite3* handle() const { return m_db; }

private:
    friend class SqliteCursor;
    QString m_folder;
    sqlite3* m_db;
    // Opened with the store, so an unusable lock file shows when the folder opens; every
    // dataset's holder is made from it.
    RecordLocks m_locks;
    QHash<QString, Entry> m_cache;
    quint64 m_useClock = 0;
    quint64 m_compiled = 0;
};

class SqliteCursor final : public Cursor {
public:
    SqliteCursor(SqliteStore* store, const QString& sql, sqlite3_stmt* stmt, bool cached)
        : m_store(store), m_sql(sql), m_stmt(stmt), m_cached(cached)
    {
    }
    ~SqliteCursor() override { m_store->releaseStmt(m_sql, m_stmt, m_cached); }

    bool next() override
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        m_store->fail(rc);
    }
    int columnCount() const override { return sqlite3_column_count(m_stmt); }
    QString columnName(int column) const override
    {
        return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
    }
    QString declaredType(int column) const override
    {
        const char* t = sqlite3_column_decltype(m_stmt, column);
        return t ? QString::fromUtf8(t) : QString();
    }
    QVariant value(int column) const override
    {
        switch (sqlite3_column_type(m_stmt, column)) {
        case SQLITE_INTEGER:
            return QVariant(static_cast<qint64>(sqlite3_column_int64(m_stmt, column)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(m_stmt, column));
        case SQLITE_TEXT:
            return QVariant(QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)),
                sqlite3_column_bytes(m_stmt, column)));
        case SQLITE_BLOB: {
            const void* data = sqlite3_column_blob(m_stmt, column);
            return QVariant(
                QByteArray(static_cast<const char*>(data), sqlite3_column_bytes(m_stmt, column)));
        }
        default:
            return QVariant();
        }
    }
    qint64 int64(int column) const override { return sqlite3_column_int64(m_stmt, column); }

private:
    SqliteStore* m_store;
    QString m_sql;
    sqlite3_stmt* m_stmt;
    bool m_cached;
};

std::unique_ptr<Cursor> SqliteStore::select(const QString& sql, const QVariantList& params)
{
    bool cached = false;
    sqlite3_stmt* stmt = acquire(sql, cached);
    auto cursor = std::make_unique<SqliteCursor>(this, sql, stmt, cached);
    bindAll(stmt, params);
    return cursor;
}

bool folderIsReadOnly(const QString& folder)
{
    // The permission bits count, not only access(): a folder marked read-only stays
    // read-only for us even when we run as an administrator.
    struct stat st = {};
    const QByteArray path = QFile::encodeName(folder);
    if (::stat(path.constData(), &st) != 0)
        return false;
    return (st.st_mode & 0222) == 0 || ::access(path.constData(), W_OK) != 0;
}

sqlite3* openConnection(const QString& file, int flags)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString detail = QString::fromUtf8(db ? sqlite3_errmsg(db) : "");
        sqlite3_close_v2(db);
        throw Error(codeFor(rc), describe(rc, detail + QStringLiteral(": ") + file));
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 5000);
    // A mistyped quoted name must be an error, not silently a text.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    installRussianFunctions(db);
    return db;
}

void execOn(sqlite3* db, const char* sql, const QString& file)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        QString detail = QString::fromUtf8(message ? message : sqlite3_errmsg(db));
        sqlite3_free(message);
        if ((rc & 0xff) == SQLITE_NOTADB || (rc & 0xff) == SQLITE_CORRUPT)
            throw Error(Error::Code::Corrupt,
                        QStringLiteral("Файл базы данных «%1» повреждён или не является базой "
                                       "данных Кадролога.")
                            .arg(QDir::toNativeSeparators(file)));
        throw Error(codeFor(rc), describe(rc, detail + QStringLiteral(": ") + file));
    }
}

FileSystemProbe& fileSystemProbe()
{
    static FileSystemProbe probe = [](const QString& folder) -> qint64 {
        struct statfs st = {};
        if (::statfs(QFile::encodeName(folder).constData(), &st) != 0)
            return 0;
        return static_cast<qint64>(st.f_type);
    };
    return probe;
}

// The network file systems, by the type number statfs gives (linux/magic.h). Their byte-range
// locks and shared memory cannot be trusted, and the write-ahead log needs both.
QString networkFileSystemName(qint64 type)
{
    switch (static_cast<quint32>(type)) {
    case 0x6969u:
        return QStringLiteral("NFS");
    case 0x517Bu:
        return QStringLiteral("SMB");
    case 0xFF534D42u:
        return QStringLiteral("CIFS");
    case 0xFE534D42u:
        return QStringLiteral("SMB2");
    case 0x73757245u:
        return QStringLiteral("Coda");
    case 0x5346414Fu:
    case 0x6B414653u:
        return QStringLiteral("AFS");
    case 0x01021997u:
        return QStringLiteral("9P");
    case 0x00C36400u:
        return QStringLiteral("Ceph");
    case 0x01161970u:
        return QStringLiteral("GFS2");
    case 0x7461636Fu:
        return QStringLiteral("OCFS2");
    case 0x0BD00BD0u:
        return QStringLiteral("Lustre");
    default:
        return QString();
    }
}

void refuseNetworkFolder(const QString& folder)
{
    const QString kind = networkFileSystemName(fileSystemProbe()(folder));
    if (kind.isEmpty())
        return;
    throw Error(Error::Code::ReadOnly,
                QStringLiteral("Папка данных «%1» находится на сетевом диске (%2). Встроенная база "
                               "данных не работает надёжно через сеть: блокировки записей и "
                               "журнал записи там не действуют, и данные могут быть испорчены. "
                               "Для работы с нескольких рабочих мест перенесите данные на сервер "
                               "баз данных PostgreSQL (kadrol-admin copy) и укажите его в "
                               "псевдониме (DRIVER=POSTGRESQL).")
                    .arg(QDir::toNativeSeparators(folder), kind));
}

QString emptyStoreMessage(const QString& file)
{
    return QStringLiteral("Файл базы данных «%1» пуст: в нём нет ни одной таблицы. Вероятно, "
                          "создание папки данных было прервано или файл повреждён. Файл "
                          "оставлен как есть; восстановите его из копии или создайте папку "
                          "данных заново.")
        .arg(QDir::toNativeSeparators(file));
}

int tableCount(sqlite3* db)
{
    sqlite3_stmt* stmt = nullptr;
    int count = -1;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_schema WHERE type = 'table'", -1, &stmt,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        count = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    return count;
}

int collationVersion(sqlite3* db)
{
    sqlite3_stmt* stmt = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        version = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    return version;
}

// The store's header keeps the version of the Russian order its indexes were built with (0 for
// a folder made before it was kept). An index in another order than the one the program
// compares with finds wrong rows and breaks at the next write, so a folder made with an older
// order has those indexes rebuilt once, by the first program that opens it.
void reindexForCollation(sqlite3* db, const QString& file)
{
    if (collationVersion(db) == russianCollationVersion)
        return;
    execOn(db, "BEGIN IMMEDIATE", file);
    try {
        if (collationVersion(db) != russianCollationVersion) {
            execOn(db, "REINDEX RUS", file);
            execOn(
                db,
                QByteArray("PRAGMA user_version = " + QByteArray::number(russianCollationVersion))
                    .constData(),
                file);
        }
        execOn(db, "COMMIT", file);
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

} // namespace

FileSystemProbe setFileSystemProbe(FileSystemProbe probe)
{
    std::swap(fileSystemProbe(), probe);
    return probe;
}

QString sqliteStoreFileName()
{
    return QStringLiteral("kadrol.sqlite");
}

std::unique_ptr<Store> openSqliteStore(const QString& folder)
{
    const QFileInfo dir(folder);
    if (!dir.isDir())
        throw Error(
            Error::Code::NotFound,
            QStringLiteral("Папка данных «%1» не найдена.").arg(QDir::toNativeSeparators(folder)));
    refuseNetworkFolder(folder);
    const QString file = QDir(folder).filePath(sqliteStoreFileName());
    if (!QFileInfo(file).isFile())
        throw Error(Error::Code::NotFound,
                    QStringLiteral("В папке данных «%1» нет файла базы данных %2.")
                        .arg(QDir::toNativeSeparators(folder), sqliteStoreFileName()));
    if (folderIsReadOnly(folder) || !QFileInfo(file).isWritable() ||
        (QFile::permissions(file) & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)) ==
            0)
        throw Error(Error::Code::ReadOnly,
                    QStringLiteral("Папка данных «%1» доступна только для чтения: работа с базой "
                                   "невозможна. Проверьте права доступа к папке и её файлам.")
                        .arg(QDir::toNativeSeparators(folder)));
    // SQLite would take a file of zero bytes for a new database and write one into it; ours is
    // a store cut off before its first write, and the user must hear of it, not of a missing
    // table later.
    if (QFileInfo(file).size() == 0 && QFileInfo(file + QStringLiteral("-wal")).size() == 0)
        throw Error(Error::Code::Corrupt, emptyStoreMessage(file));
    sqlite3* db = openConnection(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    try {
        // Reading the schema is the first touch of the file: a damaged or foreign file
        // shows here, not in the middle of the user's work. Nothing is written before it.
        execOn(db, "SELECT count(*) FROM sqlite_schema", file);
        if (tableCount(db) == 0)
            throw Error(Error::Code::Corrupt, emptyStoreMessage(file));
        execOn(db,
               "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA cache_size=-8000; "
               "PRAGMA foreign_keys=OFF;",
               file);
        reindexForCollation(db, file);
        return std::make_unique<SqliteStore>(folder, db);
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
}

void createSqliteStore(const QString& folder, const QString& schemaScript)
{
    const QString file = QDir(folder).filePath(sqliteStoreFileName());
    if (QFileInfo::exists(file))
        throw Error(Error::Code::General, QStringLiteral("В папке «%1» уже есть база данных.")
                                              .arg(QDir::toNativeSeparators(folder)));
    if (!QFileInfo(folder).isDir() || folderIsReadOnly(folder))
        throw Error(Error::Code::ReadOnly,
                    QStringLiteral("Нельзя создать базу данных в папке «%1»: "
                                   "папка не найдена или закрыта для записи.")
                        .arg(QDir::toNativeSeparators(folder)));
    refuseNetworkFolder(folder);
    sqlite3* db = openConnection(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    try {
        execOn(db, "PRAGMA journal_mode=WAL; BEGIN;", file);
        execOn(db, schemaScript.toUtf8().constData(), file);
        execOn(db,
               QByteArray("PRAGMA user_version = " + QByteArray::number(russianCollationVersion))
                   .constData(),
               file);
        execOn(db, "COMMIT;", file);
        sqlite3_close_v2(db);
    } catch (...) {
        sqlite3_close_v2(db);
        QFile::remove(file);
        QFile::remove(file + QStringLiteral("-wal"));
        QFile::remove(file + QStringLiteral("-shm"));
        throw;
    }
}

QVariant typedValue(const QVariant& stored, FieldType type)
{
    if (stored.isNull())
        return QVariant();
    switch (type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::SmallInt:
        return QVariant(static_cast<int>(stored.toLongLong()));
    case FieldType::Float:
        return QVariant(stored.toDouble());
    case FieldType::Boolean:
        return QVariant(stored.toLongLong() != 0);
    case FieldType::Date: {
        const QDate d = dateFromStore(stored.toString());
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case FieldType::String:
    case FieldType::Memo:
        return QVariant(stored.toString());
    case FieldType::Graphic:
        return QVariant(stored.toByteArray());
    case FieldType::Unknown:
        break;
    }
    return stored;
}

QVariant storedValue(const QVariant& value, FieldType type)
{
    if (value.isNull())
        return QVariant();
    switch (type) {
    case FieldType::Boolean:
        return QVariant(value.toBool() ? 1 : 0);
    case FieldType::Date:
        return QVariant(dateToStore(value.toDate()));
    default:
        return value;
    }
}

FieldDef fieldDefFromDeclared(const QString& name, const QString& declaredType)
{
    FieldDef f;
    f.name = name;
    const QString t = declaredType.trimmed().toUpper();
    static const QRegularExpression sized(QStringLiteral("^(?:VAR)?CHAR\\s*\\(\\s*(\\d+)\\s*\\)$"));
    if (t.startsWith(QLatin1String("INTEGER")) || t == QLatin1String("INT"))
        f.type = FieldType::Integer;
    else if (t == QLatin1String("SMALLINT"))
        f.type = FieldType::SmallInt;
    else if (t == QLatin1String("DOUBLE") || t == QLatin1String("FLOAT") ||
             t == QLatin1String("REAL"))
        f.type = FieldType::Float;
    else if (t == QLatin1String("BOOLEAN"))
        f.type = FieldType::Boolean;
    else if (t == QLatin1String("DATE"))
        f.type = FieldType::Date;
    else if (t == QLatin1String("TEXT_MEMO"))
        f.type = FieldType::Memo;
    else if (t == QLatin1String("BLOB_GRAPHIC"))
        f.type = FieldType::Graphic;
    else if (const auto m = sized.match(t); m.hasMatch()) {
        f.type = FieldType::String;
        f.size = m.captured(1).toInt();
    } else if (t == QLatin1String("TEXT") || t.startsWith(QLatin1String("VARCHAR")))
        f.type = FieldType::String;
    else
        f.type = FieldType::Unknown;
    return f;
}

} // namespace kdb
