#include "database.h"

#include "dataset.h"
#include "store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace kdb {

Database::Database(const QString& aliasName, const QString& databaseName, QObject* parent)
    : QObject(parent), m_aliasName(aliasName), m_databaseName(databaseName)
{
    Session::global().registerDatabase(this);
}

std::unique_ptr<Database> Database::forFolder(const QString& folder, const QString& databaseName)
{
    auto db = std::make_unique<Database>(QString(), databaseName);
    db->m_folder = isServerLocation(folder) ? folder.trimmed()
                                            : QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return db;
}

Database::~Database()
{
    close();
    Session::global().unregisterDatabase(this);
}

void Database::open()
{
    if (m_store)
        return;
    if (!m_aliasName.isEmpty()) {
        const Alias alias = Session::global().alias(m_aliasName);
        const QString driver = alias.driver.toUpper();
        if (driver == QLatin1String("POSTGRESQL")) {
            // The server is named the way libpq names it: a connection string or a service.
            QString server = alias.params.value(QStringLiteral("SERVER"));
            const QString service = alias.params.value(QStringLiteral("SERVICE"));
            if (server.isEmpty() && !service.isEmpty())
                server = QStringLiteral("service=") + service;
            if (server.isEmpty())
                throw Error(Error::Code::NotFound,
                            QStringLiteral("Для псевдонима «%1» не задан сервер (SERVER или "
                                           "SERVICE).")
                                .arg(m_aliasName));
            m_folder = server;
            m_store = openPgStore(server);
            return;
        }
        if (driver != QLatin1String("PARADOX") && driver != QLatin1String("STANDARD"))
            throw Error(Error::Code::NotFound,
                        QStringLiteral("Псевдоним «%1»: драйвер «%2» не поддерживается (нужен "
                                       "PARADOX или POSTGRESQL).")
                            .arg(m_aliasName, alias.driver));
        if (alias.path().isEmpty())
            throw Error(Error::Code::NotFound,
                        QStringLiteral("Для псевдонима «%1» не задан путь к папке данных (PATH).")
                            .arg(m_aliasName));
        m_folder = QDir::cleanPath(QFileInfo(alias.path()).absoluteFilePath());
    }
    m_store = isServerLocation(m_folder) ? openPgStore(m_folder) : openSqliteStore(m_folder);
}

void Database::close()
{
    if (!m_store)
        return;
    // Datasets on this connection close with it, so none keeps a lock or a dangling store.
    const std::vector<Dataset*> open = m_openDatasets;
    for (Dataset* ds : open) {
        try {
            ds->close();
        } catch (...) {
        }
    }
    m_openDatasets.clear();
    m_defs.clear();
    m_depth = 0;
    m_store.reset();
}

Store& Database::store()
{
    if (!m_store)
        throw Error(Error::Code::State,
                    QStringLiteral("База данных «%1» не открыта.")
                        .arg(m_databaseName.isEmpty() ? m_folder : m_databaseName));
    return *m_store;
}

const TableDef* Database::findTableDef(const QString& fileName)
{
    const QString name = tableNameForFile(fileName);
    for (const auto& d : m_defs)
        if (d->name == name)
            return d.get();
    auto def = store().describeTable(name);
    if (!def)
        return nullptr;
    m_defs.push_back(std::make_unique<TableDef>(std::move(*def)));
    return m_defs.back().get();
}

const TableDef& Database::tableDef(const QString& fileName)
{
    if (const TableDef* d = findTableDef(fileName))
        return *d;
    throw Error(Error::Code::NotFound,
                QStringLiteral("Таблица %1 не найдена в папке данных «%2».")
                    .arg(fileName, QDir::toNativeSeparators(m_folder)),
                fileName);
}

QStringList Database::tableNames()
{
    return store().tables();
}

void Database::invalidateTableDefs()
{
    m_defs.clear();
}

void Database::attach(Dataset* ds)
{
    m_openDatasets.push_back(ds);
}

void Database::detach(Dataset* ds)
{
    m_openDatasets.erase(std::remove(m_openDatasets.begin(), m_openDatasets.end(), ds),
                         m_openDatasets.end());
}

void Database::begin()
{
    if (m_depth == 0)
        store().begin();
    else
        store().savepoint(QStringLiteral("kdb_sp%1").arg(m_depth));
    ++m_depth;
}

void Database::commit()
{
    --m_depth;
    if (m_depth == 0)
        store().commit();
    else
        store().release(QStringLiteral("kdb_sp%1").arg(m_depth));
}

void Database::rollback()
{
    --m_depth;
    if (m_depth == 0)
        store().rollback();
    else
        store().rollbackTo(QStringLiteral("kdb_sp%1").arg(m_depth));
}

Database::Transaction::Transaction(Database& db) : m_db(db)
{
    m_db.begin();
}

Database::Transaction::~Transaction()
{
    if (m_done)
        return;
    try {
        m_db.rollback();
    } catch (...) {
        // Rolling back during unwinding must not throw; the store drops an unfinished
        // transaction when the connection closes in any case.
    }
}

void Database::Transaction::commit()
{
    m_db.commit();
    m_done = true;
}

void Database::applyUpdates(std::initializer_list<Dataset*> datasets)
{
    applyUpdates(std::vector<Dataset*>(datasets));
}

void Database::applyUpdates(const std::vector<Dataset*>& datasets)
{
    try {
        Transaction tx(*this);
        for (Dataset* ds : datasets) {
            if (ds->database() != this)
                throw Error(Error::Code::General,
                            QStringLiteral("Набор данных %1 принадлежит другой базе данных.")
                                .arg(ds->displayName()));
            ds->applyPendingDeletes();
            if (applyHook)
                applyHook(*ds);
        }
        tx.commit();
    } catch (...) {
        for (Dataset* ds : datasets)
            ds->cancelUpdates();
        throw;
    }
    for (Dataset* ds : datasets) {
        ds->m_pendingDeletes.clear();
        if (ds->isOpen()) {
            ds->loadKeys(ds->currentRowId());
            ds->afterKeysChanged(ds->m_pos);
        }
    }
}

void Database::flush()
{
    if (m_store && m_depth == 0)
        m_store->checkpoint();
}

int Database::executeStoreSql(const QString& sql, const QVariantList& params)
{
    const int changed = store().exec(sql, params);
    if (sql.trimmed().startsWith(QLatin1String("CREATE"), Qt::CaseInsensitive) ||
        sql.trimmed().startsWith(QLatin1String("DROP"), Qt::CaseInsensitive) ||
        sql.trimmed().startsWith(QLatin1String("ALTER"), Qt::CaseInsensitive))
        invalidateTableDefs();
    return changed;
}

void Database::executeStoreScript(const QString& script)
{
    store().execScript(script);
    invalidateTableDefs();
}

QStringList Database::integrityCheck()
{
    return store().integrityCheck();
}

void Database::createStore(const QString& folder, const QString& schemaScript)
{
    if (isServerLocation(folder))
        createPgStore(folder, schemaScript)->commit();
    else
        createSqliteStore(folder, schemaScript);
}

void Database::createStore(const QString& location, const QString& schemaScript,
                           const std::function<void(Database&)>& fill)
{
    auto db = forFolder(location);
    if (isServerLocation(location)) {
        // The schema's transaction is still open: the rows join it, and one commit ends both.
        db->m_store = createPgStore(location, schemaScript);
        db->m_depth = 1;
        fill(*db);
        db->commit();
        db->close();
        return;
    }
    createSqliteStore(db->folder(), schemaScript);
    try {
        db->open();
        {
            Transaction tx(*db);
            fill(*db);
            tx.commit();
        }
        db->flush();
        db->close();
    } catch (...) {
        db->close();
        const QString file = QDir(db->folder()).filePath(sqliteStoreFileName());
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(file + suffix);
        throw;
    }
}

QString Database::storeFileName()
{
    return sqliteStoreFileName();
}

} // namespace kdb
