// What only the server store has: its connections (the alias naming a server, the errors of a
// server that cannot be used, a connection lost in the middle of the work, a statement
// timeout, a role without the right to create tables). Skipped where no test server runs.

#include "database.h"
#include "query.h"
#include "store.h"
#include "table.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>

using kadroltest::TempStore;
using kdb::Database;
using kdb::Error;
using kdb::Session;
using kdb::Table;

namespace {

const char* kSchema = R"(
CREATE TABLE reserv (Keyr INTEGER PRIMARY KEY AUTOINCREMENT, NameF VARCHAR(50), Arch INTEGER);
CREATE INDEX reserv_iname ON reserv (NameF COLLATE RUS);
INSERT INTO reserv (NameF, Arch) VALUES ('Жуков', 0), ('Иванов', 0), ('Петров', 1);
)";

#define SKIP_WITHOUT_SERVER()                                                                      \
    do {                                                                                           \
        const QString reason_ = kadroltest::serverSkipReason();                                    \
        if (!reason_.isEmpty())                                                                    \
            QSKIP(qPrintable(reason_));                                                            \
    } while (false)

QString withParameter(const QString& connection, const QString& parameter)
{
    return connection + QLatin1Char(' ') + parameter;
}

} // namespace

class TestPgStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void aliasNamesTheServer();
    void serverThatCannotBeUsed_data();
    void serverThatCannotBeUsed();
    void lostConnectionIsReportedAndMadeAgain();
    void statementTimeoutLeavesTheDataAsItWas();
    void roleWithoutRightsToCreateTables();
    void russianOrderIsTheEmbeddedStoresOrder();
};

void TestPgStore::initTestCase()
{
    SKIP_WITHOUT_SERVER();
}

void TestPgStore::aliasNamesTheServer()
{
    SKIP_WITHOUT_SERVER();
    TempStore store(QString::fromUtf8(kSchema), TempStore::Kind::Server);
    QTemporaryDir dir;
    // The alias names the server as libpq users write it: a connection string, or a service of
    // the service file (where a password would stay, never in the alias file).
    const QString services = dir.filePath(QStringLiteral("pg_service.conf"));
    {
        QFile f(services);
        QVERIFY(f.open(QIODevice::WriteOnly));
        // host=... user=... dbname=... options='-c search_path=...', one setting a line.
        const int options = store.path().indexOf(QLatin1String(" options='"));
        QString text = QStringLiteral("[kadrol_test]\n");
        for (const QString& part : store.path().left(options).split(QLatin1Char(' ')))
            text += part + QLatin1Char('\n');
        text += QStringLiteral("options=%1\n").arg(store.path().mid(options + 10).chopped(1));
        f.write(text.toUtf8());
    }
    qputenv("PGSERVICEFILE", QFile::encodeName(services));
    const QString aliases = dir.filePath(QStringLiteral("aliases.ini"));
    {
        QFile f(aliases);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[Kadrol]\nDRIVER=POSTGRESQL\nSERVER=\"%1\"\n\n"
                               "[ByService]\nDRIVER=POSTGRESQL\nSERVICE=kadrol_test\n\n"
                               "[Nowhere]\nDRIVER=POSTGRESQL\nSERVER=\"host=%2 dbname=x\"\n")
                    .arg(QString(store.path()).replace(QLatin1Char('"'), QLatin1String("\\\"")),
                         dir.filePath(QStringLiteral("no-server")))
                    .toUtf8());
    }
    qputenv("KADROL_ALIASES", QFile::encodeName(aliases));
    Session::global().reloadAliasFile();
    for (const char* alias : {"Kadrol", "ByService"}) {
        Database db(QString::fromLatin1(alias), QStringLiteral("KADROLR"));
        KVERIFY(db.open());
        Table t;
        t.setDatabaseName(QStringLiteral("KADROLR"));
        t.setTableName(QStringLiteral("RESERV.DB"));
        t.setIndexName(QStringLiteral("iname"));
        KVERIFY(t.open());
        QCOMPARE(t.recordCount(), 3);
        QCOMPARE(t.fieldByName(QStringLiteral("NameF")).asString(), QStringLiteral("Жуков"));
    }
    // The start-up error names the server that cannot be reached.
    Database nowhere(QStringLiteral("Nowhere"), QStringLiteral("KADROLR"));
    try {
        nowhere.open();
        QFAIL("opened a server that does not run");
    } catch (const Error& e) {
        QCOMPARE(int(e.code()), int(Error::Code::Io));
        QVERIFY2(e.message().contains(dir.filePath(QStringLiteral("no-server"))),
                 qPrintable(e.message()));
    }
    qunsetenv("KADROL_ALIASES");
    qunsetenv("PGSERVICEFILE");
    Session::global().reloadAliasFile();
}

void TestPgStore::serverThatCannotBeUsed_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::addRow("unknown database")
        << "dbname" << int(Error::Code::NotFound) << "базы данных «kadrol_nosuch» на сервере нет";
    QTest::addRow("unknown user") << "user" << int(Error::Code::ReadOnly)
                                  << "пользователя «kadrol_nosuch» на сервере нет";
    QTest::addRow("no server at that place") << "host" << int(Error::Code::Io) << "недоступен";
    QTest::addRow("a database of another program")
        << "foreign" << int(Error::Code::NotFound) << "не является базой Кадролога";
    QTest::addRow("tables of an older version")
        << "older" << int(Error::Code::Corrupt) << "более старой версией";
}

void TestPgStore::serverThatCannotBeUsed()
{
    SKIP_WITHOUT_SERVER();
    QFETCH(QString, how);
    QFETCH(int, code);
    QFETCH(QString, message);
    QString location;
    std::unique_ptr<TempStore> store;
    QString schema;
    if (how == QLatin1String("dbname") || how == QLatin1String("user")) {
        location = withParameter(kadroltest::testServer(), how + QStringLiteral("=kadrol_nosuch"));
    } else if (how == QLatin1String("host")) {
        location = QStringLiteral("host=/nonexistent/kadrol dbname=kadrol");
    } else if (how == QLatin1String("foreign")) {
        schema = kadroltest::newServerSchema();
        location = kadroltest::serverLocation(schema);
        kdb::executeOnServer(location, QStringLiteral("CREATE TABLE accounts (id integer)"));
    } else {
        store = std::make_unique<TempStore>(QString::fromUtf8(kSchema), TempStore::Kind::Server);
        location = store->path();
        kdb::executeOnServer(location, QStringLiteral("UPDATE kdb_schema SET version = 0"));
    }
    try {
        Database::forFolder(location)->open();
        QFAIL("opened a server database that cannot be used");
    } catch (const Error& e) {
        QCOMPARE(int(e.code()), code);
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        // Every message names the server.
        QVERIFY2(e.message().contains(kdb::displayedServer(location)), qPrintable(e.message()));
    }
    if (!schema.isEmpty())
        kadroltest::dropServerSchema(schema);
}

void TestPgStore::lostConnectionIsReportedAndMadeAgain()
{
    SKIP_WITHOUT_SERVER();
    TempStore store(QString::fromUtf8(kSchema), TempStore::Kind::Server);
    auto db = store.open();
    auto t = Table::opened(*db, QStringLiteral("reserv.db"), QStringLiteral("NameF"));
    QVERIFY(t->locate(QStringLiteral("NameF"), {QStringLiteral("Иванов")}));
    KVERIFY(t->edit());
    auto c = db->store().select(QStringLiteral("SELECT pg_backend_pid()"), {});
    QVERIFY(c->next());
    const qint64 backend = c->int64(0);
    c.reset();
    // The server ends the connection, as when it is stopped in the middle of the work.
    kdb::executeOnServer(kadroltest::testServer(),
                         QStringLiteral("SELECT pg_terminate_backend(%1)").arg(backend));
    KVERIFY(t->fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Иванов-2")));
    try {
        t->post();
        QFAIL("a post on a lost connection reported success");
    } catch (const Error& e) {
        QCOMPARE(int(e.code()), int(Error::Code::Io));
        QVERIFY2(e.message().contains(QStringLiteral("Связь с сервером")), qPrintable(e.message()));
    }
    t->cancel();
    // The next operation connects again; the row is as it was, and can be changed now.
    KVERIFY(t->refresh());
    QVERIFY(t->locate(QStringLiteral("NameF"), {QStringLiteral("Иванов")}));
    KVERIFY(t->edit());
    KVERIFY(t->fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Иванов-3")));
    KVERIFY(t->post());
    auto check = store.open();
    QVERIFY(Table::opened(*check, QStringLiteral("reserv.db"))
                ->locate(QStringLiteral("NameF"), {QStringLiteral("Иванов-3")}));
}

void TestPgStore::statementTimeoutLeavesTheDataAsItWas()
{
    SKIP_WITHOUT_SERVER();
    TempStore store(QString::fromUtf8(kSchema), TempStore::Kind::Server);
    // The store's own options end in a quote: the timeout joins them.
    auto db =
        Database::forFolder(store.path().chopped(1) + QStringLiteral(" -c statement_timeout=100'"));
    KVERIFY(db->open());
    try {
        db->executeStoreSql(QStringLiteral("UPDATE reserv SET NameF = 'x' WHERE pg_sleep(0.2) IS "
                                           "NOT NULL"));
        QFAIL("a statement past the timeout reported success");
    } catch (const Error& e) {
        QVERIFY2(e.message().contains(QStringLiteral("statement_timeout")),
                 qPrintable(e.message()));
    }
    auto t = Table::opened(*db, QStringLiteral("reserv.db"), QStringLiteral("NameF"));
    QCOMPARE(t->fieldByName(QStringLiteral("NameF")).asString(), QStringLiteral("Жуков"));
}

void TestPgStore::roleWithoutRightsToCreateTables()
{
    SKIP_WITHOUT_SERVER();
    TempStore store(QString::fromUtf8(kSchema), TempStore::Kind::Server);
    static std::atomic<int> number{0};
    const QString role =
        QStringLiteral("kt_clerk_%1_%2").arg(QCoreApplication::applicationPid()).arg(++number);
    const QString schema = store.path().section(QLatin1String("search_path="), 1).chopped(1);
    // The least rights the program needs: read and write the rows, use the key counters.
    kdb::executeOnServer(
        kadroltest::testServer(),
        QStringLiteral("CREATE ROLE %1 LOGIN; GRANT USAGE ON SCHEMA %2 TO %1; "
                       "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA %2 TO %1; "
                       "GRANT USAGE ON ALL SEQUENCES IN SCHEMA %2 TO %1;")
            .arg(role, schema));
    const QString asClerk =
        QString(store.path()).replace(QLatin1String("user=kadrol"), QStringLiteral("user=") + role);
    {
        auto db = Database::forFolder(asClerk);
        KVERIFY(db->open());
        auto t = Table::opened(*db, QStringLiteral("reserv.db"), QStringLiteral("NameF"));
        KVERIFY(t->append());
        KVERIFY(t->fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Новиков")));
        KVERIFY(t->post());
        QCOMPARE(t->recordCount(), 4);
        KVERIFY(t->edit());
        KVERIFY(t->fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Новикова")));
        KVERIFY(t->post());
        // A query kept in a temporary table needs no right to create tables either.
        kdb::Query q;
        q.setDatabase(db.get());
        q.setSql(QStringLiteral("select namef from \"reserv.db\" order by namef"));
        KVERIFY(q.open());
        KVERIFY(q.setFiltered(true));
        QCOMPARE(q.recordCount(), 4);
        // Changing the tables is refused with a clear message.
        try {
            db->executeStoreSql(QStringLiteral("CREATE TABLE extra (a integer)"));
            QFAIL("a role without the right created a table");
        } catch (const Error& e) {
            QCOMPARE(int(e.code()), int(Error::Code::ReadOnly));
            QVERIFY2(e.message().contains(QStringLiteral("недостаточно прав")),
                     qPrintable(e.message()));
        }
    }
    // Creating the program's tables needs the owner's rights; nothing is left half made.
    const QString empty = kadroltest::newServerSchema();
    kdb::executeOnServer(kadroltest::testServer(),
                         QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(empty, role));
    const QString emptyAsClerk =
        QString(kadroltest::serverLocation(empty))
            .replace(QLatin1String("user=kadrol"), QStringLiteral("user=") + role);
    try {
        Database::createStore(emptyAsClerk, QString::fromUtf8(kSchema));
        QFAIL("a role without the right created the program's tables");
    } catch (const Error& e) {
        QCOMPARE(int(e.code()), int(Error::Code::ReadOnly));
        QVERIFY2(e.message().contains(QStringLiteral("создавать таблицы")),
                 qPrintable(e.message()));
    }
    kadroltest::dropServerSchema(empty);
    kdb::executeOnServer(kadroltest::testServer(),
                         QStringLiteral("DROP OWNED BY %1; DROP ROLE %1").arg(role));
}

void TestPgStore::russianOrderIsTheEmbeddedStoresOrder()
{
    // Names as an agency has them: letter case, Ё, hyphens, blanks, apostrophes, Latin names.
    const QStringList names{QStringLiteral("Иванов"),      QStringLiteral("иванова"),
                            QStringLiteral("ИВАНОВ"),      QStringLiteral("Иванов-Петров"),
                            QStringLiteral("Иванов Пётр"), QStringLiteral("Ёлкин"),
                            QStringLiteral("Егоров"),      QStringLiteral("Ефремова"),
                            QStringLiteral("елкин"),       QStringLiteral("Д'Артаньян"),
                            QStringLiteral("Да Коста"),    QStringLiteral("Smith"),
                            QStringLiteral("O'Neil"),      QStringLiteral("Яковлев"),
                            QStringLiteral("Щербаков"),    QStringLiteral("Шишкин"),
                            QStringLiteral("Эмин"),        QStringLiteral("Юдин"),
                            QStringLiteral("Ъ"),           QStringLiteral("Ь"),
                            QStringLiteral("Жуков")};
    QString rows;
    for (const QString& n : names)
        rows += (rows.isEmpty() ? QString() : QStringLiteral(",")) + QStringLiteral("('") +
                QString(n).replace(QLatin1Char('\''), QLatin1String("''")) + QStringLiteral("')");
    const QString schema =
        QStringLiteral("CREATE TABLE lang (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Name "
                       "VARCHAR(90));\nCREATE INDEX lang_name ON lang (Name COLLATE RUS);\n"
                       "INSERT INTO lang (Name) VALUES %1;")
            .arg(rows);
    auto order = [&](TempStore::Kind kind) {
        TempStore store(schema, kind);
        auto db = store.open();
        Table t;
        t.setDatabase(db.get());
        t.setTableName(QStringLiteral("LANG.DB"));
        t.setIndexName(QStringLiteral("name"));
        t.open();
        QStringList out;
        for (t.first(); !t.eof(); t.next())
            out << t.fieldByName(QStringLiteral("Name")).asString();
        return out;
    };
    const QStringList embedded = order(TempStore::Kind::Embedded);
    const QStringList server = order(TempStore::Kind::Server);
    QCOMPARE(server.size(), names.size());
    QCOMPARE(server, embedded);
}

QTEST_GUILESS_MAIN(TestPgStore)
#include "tst_pgstore.moc"
