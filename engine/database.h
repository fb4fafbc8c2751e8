#pragma once

#include "error.h"
#include "types.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace kdb {

class Database;
class Dataset;
class Store;

// An alias names a driver and its parameters. The embedded store's driver is "PARADOX" (the
// name the alias files use) and its one parameter PATH, the data folder. The server store's
// driver is "POSTGRESQL" with SERVER, a libpq connection string ("host=db1 dbname=kadrol
// user=kadrol"), or SERVICE, a service of the libpq service file; never a password.
struct Alias {
    QString name;
    QString driver;
    QMap<QString, QString> params; // upper-case keys: PATH, ...
    QString path() const { return params.value(QStringLiteral("PATH")); }
};

// The aliases of the run: the pre-defined ones, read from the alias file (an INI file, one
// section per alias with DRIVER= and PATH=, at $KADROL_ALIASES or else the user config folder's
// kadrol/aliases.ini; a missing or unreadable file means no pre-defined aliases), and the ones
// added for this run. Names compare without regard to case.
class Session {
public:
    static Session& global();

    bool aliasExists(const QString& name) const;
    void addAlias(const QString& name, const QString& driver, const QString& path);
    Alias alias(const QString& name) const; // Error(NotFound) when there is none
    QStringList aliasNames() const;

    static QString aliasFilePath();
    void reloadAliasFile(); // drops the added aliases too (for tests)

    // The open database registered under a database name or, failing that, bound to an alias
    // of that name; null when none.
    Database* findDatabase(const QString& name) const;
    // findDatabase, or else a database opened on the alias of that name (kept for the run).
    Database& databaseFor(const QString& name);
    // The database of the program's current folder, for tables named by bare file name.
    Database& currentFolderDatabase();
    // The database a dataset works on, opened: the one given, else the one of that name,
    // else the current folder's.
    Database& openDatabase(Database* given, const QString& name);

private:
    friend class Database;
    Session();
    void registerDatabase(Database* db);
    void unregisterDatabase(Database* db);

    QMap<QString, Alias> m_fileAliases;  // by lower-case name
    QMap<QString, Alias> m_addedAliases; // by lower-case name
    std::vector<Database*> m_databases;
    std::vector<std::unique_ptr<Database>> m_implicit;
};

// A connection to one data folder, bound to an alias under an application name ("KADROLR").
// It owns the store (the folder's database file and its lock file), commits every post at
// once, and applies held updates of several datasets in one transaction.
class Database : public QObject {
    Q_OBJECT
public:
    // The data folder is read from the alias when the database opens.
    Database(const QString& aliasName, const QString& databaseName, QObject* parent = nullptr);
    // A database on a folder given directly (tools, tests, the current folder).
    static std::unique_ptr<Database> forFolder(const QString& folder,
                                               const QString& databaseName = {});
    ~Database() override;

    void open(); // Error: unknown alias, missing folder or store file, damaged store
    void close();
    bool isOpen() const { return m_store != nullptr; }
    const QString& databaseName() const { return m_databaseName; }
    const QString& aliasName() const { return m_aliasName; }
    const QString& folder() const { return m_folder; }

    // The table of that file name (any case); Error(NotFound) naming table and folder.
    const TableDef& tableDef(const QString& fileName);
    const TableDef* findTableDef(const QString& fileName);
    QStringList tableNames();

    // Deletions held by the datasets, written together in one transaction in the given order.
    // On failure nothing is written, every dataset's held deletions are cancelled, and the
    // error is thrown. Afterwards the datasets are refreshed.
    void applyUpdates(std::initializer_list<Dataset*> datasets);
    void applyUpdates(const std::vector<Dataset*>& datasets);

    // A transaction guard: rolled back unless committed. Transactions nest (savepoints), so a
    // caller can wrap applyUpdates and further posts or deletes into one unit.
    class Transaction {
    public:
        explicit Transaction(Database& db);
        ~Transaction();
        void commit();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;

    private:
        Database& m_db;
        bool m_done = false;
    };

    // Writes what the store still holds in memory to the data files. Posts are committed and
    // durable already; this also folds the write-ahead log into the data file.
    void flush();

    // Store SQL, unchanged, for the admin tool, the data folder builder and the benchmark;
    // windows use datasets and Local SQL queries instead.
    int executeStoreSql(const QString& sql, const QVariantList& params = {});
    void executeStoreScript(const QString& script); // several statements, no parameters

    // The store's own integrity check: an empty list when the store is sound.
    QStringList integrityCheck();

    Store& store(); // Error(State) when closed

    // Creates a fresh store file in folder (which must not hold one) and runs the schema script
    // on it. Error when the folder cannot be written.
    static void createStore(const QString& folder, const QString& schemaScript);
    // Creates the store of a data folder or a server (a connection string) and fills it in the
    // same unit: on failure nothing is left, neither a store file nor a table on the server.
    static void createStore(const QString& location, const QString& schemaScript,
                            const std::function<void(Database&)>& fill);
    static QString storeFileName(); // the database file inside a data folder

    // For tests: called inside applyUpdates after each dataset's deletions were written.
    std::function<void(Dataset&)> applyHook;

private:
    friend class Dataset;
    friend class Transaction;
    void begin();
    void commit();
    void rollback();
    void invalidateTableDefs();
    void attach(Dataset* ds);
    void detach(Dataset* ds);

    QString m_aliasName;
    QString m_databaseName;
    QString m_folder;
    std::unique_ptr<Store> m_store;
    std::vector<std::unique_ptr<TableDef>> m_defs;
    int m_depth = 0;
    std::vector<Dataset*> m_openDatasets;
};

} // namespace kdb
