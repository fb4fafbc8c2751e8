#pragma once

#include "dialect.h"
#include "types.h"

#include <QStringList>
#include <QVariantList>
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

    virtual QStringList integrityCheck() = 0;
    virtual void checkpoint() = 0;

    // How many statements the store has compiled since it opened (the rest came from its cache
    // of compiled statements): for tests and the benchmark.
    virtual quint64 statementsCompiled() const = 0;
};

// Opens the embedded store of a data folder. Error(NotFound) when the folder or its store file
// is missing, Error(Corrupt) when the file is not a sound store, Error(ReadOnly) when the
// folder cannot be written.
std::unique_ptr<Store> openSqliteStore(const QString& folder);
void createSqliteStore(const QString& folder, const QString& schemaScript);
QString sqliteStoreFileName();

} // namespace kdb
