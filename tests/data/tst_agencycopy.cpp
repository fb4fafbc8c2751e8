// An agency on a database server: created with the same tables and shipped rows as a Data
// folder, and copied whole from a Data folder to a server and back, keys kept, the key counters
// continued, both sides checked. Skipped where no test server runs.
#include "agencystore.h"
#include "database.h"
#include "datafolder.h"
#include "generator.h"
#include "store.h"
#include "table.h"
#include "testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using kdb::Database;
using kdb::Error;
using kdb::Table;

namespace {

// A fresh schema of the test server, dropped afterwards.
class ServerSchema {
public:
    ServerSchema() : m_name(kadroltest::newServerSchema()) {}
    ~ServerSchema() { kadroltest::dropServerSchema(m_name); }
    QString location() const { return kadroltest::serverLocation(m_name); }

private:
    QString m_name;
};

// The candidates as the candidate list shows them: key and full name, in name order.
QStringList candidateList(Database& db)
{
    Table t;
    t.setDatabase(&db);
    t.setTableName(QStringLiteral("RESERV.DB"));
    t.setIndexName(QStringLiteral("iname"));
    t.open();
    QStringList rows;
    for (t.first(); !t.eof(); t.next())
        rows << t.fieldByName(QStringLiteral("Keyr")).asString() + QLatin1Char(' ') +
                    t.fieldByName(QStringLiteral("NameF")).asString() + QLatin1Char(' ') +
                    t.fieldByName(QStringLiteral("NameI")).asString();
    return rows;
}

} // namespace

class TestAgencyCopy : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void serverAgencyHoldsTheShippedRows();
    void copyToTheServerAndBack();
    void copyIntoAFilledDatabaseIsRefused();
};

void TestAgencyCopy::initTestCase()
{
    const QString reason = kadroltest::serverSkipReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
}

void TestAgencyCopy::serverAgencyHoldsTheShippedRows()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Data"));
    KVERIFY(kadrol::createDataFolder(folder));
    ServerSchema server;
    KVERIFY(kadrol::createServerAgency(server.location()));
    auto a = Database::forFolder(folder);
    auto b = Database::forFolder(server.location());
    KVERIFY(a->open());
    KVERIFY(b->open());
    QCOMPARE(b->tableNames(), a->tableNames());
    for (const QString& table : a->tableNames()) {
        // The same fields, types, widths and keys on both stores.
        const kdb::TableDef& da = a->tableDef(table);
        const kdb::TableDef& db = b->tableDef(table);
        QCOMPARE(db.fields.size(), da.fields.size());
        for (size_t i = 0; i < da.fields.size(); ++i) {
            QCOMPARE(db.fields[i].name, da.fields[i].name);
            QCOMPARE(int(db.fields[i].type), int(da.fields[i].type));
            QCOMPARE(db.fields[i].size, da.fields[i].size);
            QCOMPARE(db.fields[i].primaryKey, da.fields[i].primaryKey);
        }
    }
    QCOMPARE(kadrol::compareAgencies(*a, *b), QStringList());
    QVERIFY(b->integrityCheck().isEmpty());
    // A second init into the filled database is refused and changes nothing.
    KEXPECT_ERROR(kadrol::createServerAgency(server.location()), Error::Code::General);
    QCOMPARE(kadrol::compareAgencies(*a, *b), QStringList());
}

void TestAgencyCopy::copyToTheServerAndBack()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Data"));
    KVERIFY(kadrol::createDataFolder(folder));
    {
        auto db = Database::forFolder(folder);
        KVERIFY(db->open());
        kadrol::AgencyOptions options;
        options.candidates = 150;
        KVERIFY(kadrol::generateAgency(*db, options));
        // A gap in the keys, as deletions leave it: the copy keeps the keys as they are.
        KVERIFY(db->executeStoreSql(QStringLiteral("DELETE FROM reserv WHERE Keyr = 7")));
    }
    ServerSchema server;
    qint64 rows = 0;
    KVERIFY(rows = kadrol::copyAgency(folder, server.location()));
    QVERIFY(rows > 150);
    const QString back = dir.filePath(QStringLiteral("Back"));
    KVERIFY(kadrol::copyAgency(server.location(), back));

    auto original = Database::forFolder(folder);
    auto onServer = Database::forFolder(server.location());
    auto returned = Database::forFolder(back);
    KVERIFY(original->open());
    KVERIFY(onServer->open());
    KVERIFY(returned->open());
    QCOMPARE(kadrol::compareAgencies(*original, *onServer), QStringList());
    QCOMPARE(kadrol::compareAgencies(*original, *returned), QStringList());
    QVERIFY(returned->integrityCheck().isEmpty());

    // The program on the copied server shows the same candidates.
    QStringList listed, listedOnServer;
    KVERIFY(listed = candidateList(*original));
    KVERIFY(listedOnServer = candidateList(*onServer));
    QCOMPARE(listedOnServer.size(), listed.size());
    std::sort(listed.begin(), listed.end());
    std::sort(listedOnServer.begin(), listedOnServer.end());
    QCOMPARE(listedOnServer, listed);

    // New rows continue past the highest key on both stores, never reusing one.
    for (Database* db : {onServer.get(), returned.get()}) {
        auto t = Table::opened(*db, QStringLiteral("RESERV.DB"));
        KVERIFY(t->append());
        KVERIFY(t->fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Новиков")));
        KVERIFY(t->post());
        QCOMPARE(t->fieldByName(QStringLiteral("Keyr")).asInt(), 151);
    }
    // And the comparison sees the row one side has more.
    const QStringList differences = kadrol::compareAgencies(*original, *onServer);
    QCOMPARE(differences.size(), 1);
    QVERIFY2(differences.front().startsWith(QLatin1String("reserv")),
             qPrintable(differences.front()));
}

void TestAgencyCopy::copyIntoAFilledDatabaseIsRefused()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Data"));
    KVERIFY(kadrol::createDataFolder(folder));
    ServerSchema server;
    KVERIFY(kadrol::createServerAgency(server.location()));
    KEXPECT_ERROR(kadrol::copyAgency(folder, server.location()), Error::Code::General);
    KEXPECT_ERROR(kadrol::copyAgency(server.location(), folder), Error::Code::General);
    auto db = Database::forFolder(server.location());
    KVERIFY(db->open());
    QCOMPARE(Table::opened(*db, QStringLiteral("RESERV.DB"))->recordCount(), 0);
}

QTEST_GUILESS_MAIN(TestAgencyCopy)
#include "tst_agencycopy.moc"
