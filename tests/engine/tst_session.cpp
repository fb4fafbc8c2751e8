// Aliases from the alias file and for the run, databases found by name, and tables named by
// bare file name looked up in the current folder.
#include "database.h"
#include "table.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using kdb::Database;
using kdb::Error;
using kdb::Session;
using kdb::Table;

namespace {
const char* kSchema = "CREATE TABLE pictr (Keyn INTEGER PRIMARY KEY, Pict BLOB_GRAPHIC);"
                      "INSERT INTO pictr VALUES (1, x'89504e47');";

void writeFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}
} // namespace

class TestSession : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aliasFile_data();
    void aliasFile();
    void aliasForTheRunAndDatabaseNames();
    void bareFileNameUsesTheCurrentFolder();
    void cleanup()
    {
        qunsetenv("KADROL_ALIASES");
        Session::global().reloadAliasFile();
    }
};

void TestSession::aliasFile_data()
{
    QTest::addColumn<QByteArray>("ini"); // empty: no file at all
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("path"); // relative to the alias file's folder
    QTest::addRow("defined") << QByteArray("[kadrol]\nDRIVER=PARADOX\nPATH=Data\n") << true
                             << "Data";
    QTest::addRow("lower-case keys, other case name")
        << QByteArray("[KADROL]\ndriver=PARADOX\npath=Общие/Data\n") << true << "Общие/Data";
    QTest::addRow("another alias only")
        << QByteArray("[other]\nDRIVER=PARADOX\nPATH=x\n") << false << "";
    QTest::addRow("no file") << QByteArray() << false << "";
}

void TestSession::aliasFile()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, exists);
    QFETCH(QString, path);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("aliases.ini"));
    if (!ini.isEmpty())
        writeFile(file, ini);
    qputenv("KADROL_ALIASES", file.toLocal8Bit());
    Session::global().reloadAliasFile();
    QCOMPARE(Session::global().aliasExists(QStringLiteral("kadrol")), exists);
    if (!exists) {
        KEXPECT_ERROR(Session::global().alias(QStringLiteral("kadrol")), Error::Code::NotFound);
        return;
    }
    const kdb::Alias a = Session::global().alias(QStringLiteral("Kadrol"));
    QCOMPARE(a.driver, QStringLiteral("PARADOX"));
    QCOMPARE(QDir::cleanPath(a.path()), QDir::cleanPath(dir.filePath(path)));
}

void TestSession::aliasForTheRunAndDatabaseNames()
{
    kadroltest::TempStore store(QString::fromLatin1(kSchema));
    qputenv("KADROL_ALIASES", "/nonexistent/aliases.ini");
    Session::global().reloadAliasFile();
    KEXPECT_ERROR(Session::global().databaseFor(QStringLiteral("kadrol")), Error::Code::NotFound);
    Session::global().addAlias(QStringLiteral("kadrol"), QStringLiteral("PARADOX"), store.path());
    QVERIFY(Session::global().aliasExists(QStringLiteral("KADROL")));
    {
        Database db(QStringLiteral("kadrol"), QStringLiteral("KADROLR"));
        KVERIFY(db.open());
        QCOMPARE(db.folder(), QDir::cleanPath(store.path()));
        // Tables named through the database name or the alias lie in the alias's folder.
        for (const char* via : {"KADROLR", "kadrol"}) {
            Table t;
            t.setDatabaseName(QString::fromLatin1(via));
            t.setTableName(QStringLiteral("PICTR.DB"));
            KVERIFY(t.open());
            QCOMPARE(t.database(), &db);
            QCOMPARE(t.recordCount(), 1);
        }
        Table unknown;
        unknown.setDatabaseName(QStringLiteral("NOSUCHDB"));
        unknown.setTableName(QStringLiteral("PICTR.DB"));
        KEXPECT_ERROR(unknown.open(), Error::Code::NotFound);
    }
    // A driver other than the embedded store's is refused with its name.
    Session::global().addAlias(QStringLiteral("pg"), QStringLiteral("POSTGRES"), store.path());
    Database pg(QStringLiteral("pg"), QStringLiteral("PG"));
    KEXPECT_ERROR(pg.open(), Error::Code::NotFound);
}

void TestSession::bareFileNameUsesTheCurrentFolder()
{
    kadroltest::TempStore store(QString::fromLatin1(kSchema));
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(store.path()));
    Table t;
    t.setTableName(QStringLiteral("PICTR.DB"));
    t.setFiltered(true);
    t.setFilter(QStringLiteral("keyn=1"));
    KVERIFY(t.open());
    QCOMPARE(t.fieldByName(QStringLiteral("Pict")).value().toByteArray(), QByteArray("\x89PNG"));
    QCOMPARE(t.database()->folder(), QDir::cleanPath(store.path()));
    t.close();
    QDir::setCurrent(before);
    // Elsewhere the table is not found, and the message names the folder.
    QTemporaryDir empty;
    Database::createStore(empty.path(), QStringLiteral("CREATE TABLE other (a INTEGER);"));
    QDir::setCurrent(empty.path());
    Table u;
    u.setTableName(QStringLiteral("PICTR.DB"));
    KEXPECT_ERROR(u.open(), Error::Code::NotFound);
    QDir::setCurrent(before);
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
