#pragma once

#include "dialect.h"
#include "types.h"

#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kdb {

// A forward-only result of a statement. Values come as the store keeps them: qint64, double,
// QString, QByteArray or null; typedValue converts them to a field's type.
class Cursor {
public:
    virtual ~Cursor() = default;
    virtual bool next() = 0;
    virtual int columnCount() const = 0;
    virtual QString columnName(int column) const = 0;
    virtual QString declaredType(int column) const = 0; // empty for computed columns
    virtual QVariant value(int column) const = 0;
    virtual qint64 int64(int column) const = 0;
};

// Converts a store value to the engine's type for a field (dates from ISO text, booleans from
// 0/1, texts as QString, ...).
QVariant typedValue(const QVariant& stored, FieldType type);
// Converts an engine value to the store's representation for binding.
QVariant storedValue(const QVariant& value, FieldType type);
// The field type for a declared SQL type of the schema ("VARCHAR(50)" -> String, size 50).
FieldDef fieldDefFromDeclared(const QString& name, const QString& declaredType);

// The record locks of one holder: a dataset that edits or deletes rows. Every holder excludes
// every other, in this process or another, so two datasets of one program over one table
// exclude each other as two workstations do, and one holder's release never frees another's
// lock. A holder's locks die with it and with its process: a crashed workstation never leaves
// a record locked.
class RecordLockHolder {
public:
    virtual ~RecordLockHolder() = default;
    virtual bool tryLock(const QString& table, qint64 rowId) = 0; // false at once when held
    virtual void unlock(const QString& table, qint64 rowId) = 0;
};

// The store behind a Database: the embedded SQLite store now, a PostgreSQL store later. It
// speaks store SQL in its dialect; everything above it (datasets, Local SQL, filters) is the
// same for every store.
class Store {
public:
    virtual ~Store() = default;
    virtual const Dialect& dialect() const = 0;

    // Runs a statement; params bind to ? in order, or to :name when a param is a QVariantMap.
    virtual std::unique_ptr<Cursor> select(const QString& sql, const QVariantList& params) = 0;
    virtual int exec(const QString& sql, const QVariantList& params) = 0; // rows changed
    virtual void execScript(const QString& script) = 0;
    virtual qint64 lastInsertRowId() = 0;

    // The result columns of a SELECT without running it: names and declared types.
    virtual std::vector<std::pair<QString, QString>> describeSelect(const QString& sql) = 0;
    virtual std::optional<TableDef> describeTable(const QString& table) = 0;
    virtual QStringList tables() = 0;
    // The columns of a named index of a table, each with its collation ("" for binary).
    virtual std::optional<std::vector<std::pair<QString, QString>>>
    indexColumns(const QString& table, const QString& index) = 0;
    virtual QString rowIdColumn() const = 0;

    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual void savepoint(const QString& name) = 0;
    virtual void release(const QString& name) = 0;
    virtual void rollbackTo(const QString& name) = 0;

    // A new holder of record locks on this store's data.
    virtual std::unique_ptr<RecordLockHolder> newRecordLockHolder() = 0;

    // A query's result kept as a temporary table of this connection, its row ids following the
    // result's order; the columns get the names given (one per result column).
    virtual void createResultTable(const QString& name, const QStringList& columns,
                                   const QString& selectSql, const QVariantList& params) = 0;
    virtual void dropResultTable(const QString& name) = 0;

    // After rows were written with their keys given (a copy between stores): the key counters
    // of the tables continue past the highest key.
    virtual void syncKeyCounters() = 0;
    // After a bulk load, outside a transaction: the store's statistics brought up to date, so
    // that its plans fit the data.
    virtual void optimize() = 0;

    virtual QStringList integrityCheck() = 0;
    virtual void checkpoint() = 0;

    // How many statements the store has compiled since it opened (the rest came from its cache
    // of compiled statements): for tests and the benchmark.
    virtual quint64 statementsCompiled() const = 0;
};

// Opens the embedded store of a data folder. Error(NotFound) when the folder or its store file
// is missing, Error(Corrupt) when the file is not a sound store, Error(ReadOnly) when the
// folder cannot be written.
// A data folder on a network file system (NFS, SMB/CIFS, ...) is refused with
// Error(ReadOnly): the embedded store's locks and log are not safe there; the message points
// to the server store.
std::unique_ptr<Store> openSqliteStore(const QString& folder);
// How the embedded store learns a folder's file-system type (statfs f_type); tests put a
// fake one in its place and give the returned one back afterwards.
using FileSystemProbe = std::function<qint64(const QString& folder)>;
FileSystemProbe setFileSystemProbe(FileSystemProbe probe);
void createSqliteStore(const QString& folder, const QString& schemaScript);
QString sqliteStoreFileName();

// The server store: a database on a PostgreSQL server, named by a libpq connection string
// ("host=db1 dbname=kadrol user=kadrol", "postgresql://db1/kadrol") or a service of the
// libpq service file ("service=kadrol"). Passwords stay where libpq keeps them (the password
// file, the service file). Error(NotFound) for an unknown database or a database without the
// program's tables, Error(Io) when the server cannot be reached, Error(ReadOnly) for refused
// credentials; every message names the server.
std::unique_ptr<Store> openPgStore(const QString& connection);
// Creates the program's tables in an empty database of a server (the schema script written for
// the embedded store, translated) inside a transaction the caller commits (commit() on the
// store given back); a store dropped uncommitted leaves the database empty. Error when the
// database already holds tables, or when the role may not create them.
std::unique_ptr<Store> createPgStore(const QString& connection, const QString& schemaScript);
// Runs statements of the server's own SQL on a connection of their own (administration: a
// schema or a role for the tests and the admin tool). Error as openPgStore, or the server's.
void executeOnServer(const QString& connection, const QString& sql);
// Whether a location names a server (a connection string) rather than a data folder.
bool isServerLocation(const QString& location);
// The connection string as it may be shown: any password in it replaced by "***".
QString displayedServer(const QString& connection);
// The schema script in the server's words: types, keys and the row id column of every table.
QString serverSchemaScript(const QString& schemaScript);

} // namespace kdb
