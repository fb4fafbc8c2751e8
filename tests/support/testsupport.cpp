#include "testsupport.h"

#include "store.h"

#include <QCoreApplication>
#include <atomic>

namespace kadroltest {

namespace {
std::atomic<int> g_schemaNumber{0};
}

bool onServer()
{
    return qEnvironmentVariable("KADROL_TEST_STORE") == QLatin1String("server");
}

QString testServer()
{
    return qEnvironmentVariable("KADROL_TEST_PG");
}

QString serverSkipReason()
{
    const QString server = testServer();
    if (server.isEmpty())
        return QStringLiteral("no test server: KADROL_TEST_PG is not set "
                              "(scripts/pgserver.sh starts one)");
    try {
        kdb::executeOnServer(server, QStringLiteral("SELECT 1"));
    } catch (const kdb::Error& e) {
        return QStringLiteral("the test server cannot be reached: ") + e.message();
    }
    return QString();
}

QString newServerSchema()
{
    const QString schema =
        QStringLiteral("kt_%1_%2").arg(QCoreApplication::applicationPid()).arg(++g_schemaNumber);
    kdb::executeOnServer(testServer(), QStringLiteral("CREATE SCHEMA %1").arg(schema));
    return schema;
}

QString serverLocation(const QString& schema)
{
    return testServer() + QStringLiteral(" options='-c search_path=%1'").arg(schema);
}

void dropServerSchema(const QString& schema)
{
    try {
        kdb::executeOnServer(testServer(), QStringLiteral("DROP SCHEMA %1 CASCADE").arg(schema));
    } catch (const kdb::Error&) {
        // The test server goes away at the end of the run with everything in it.
    }
}

TempStore::TempStore(const QString& schema, Kind kind)
{
    if (kind == Kind::Default)
        kind = onServer() ? Kind::Server : Kind::Embedded;
    if (kind == Kind::Server) {
        m_schema = newServerSchema();
        m_path = serverLocation(m_schema);
    } else {
        if (!m_dir.isValid())
            qFatal("no temporary folder");
        m_path = m_dir.path();
    }
    kdb::Database::createStore(m_path, schema);
}

TempStore::~TempStore()
{
    if (!m_schema.isEmpty())
        dropServerSchema(m_schema);
}

std::unique_ptr<kdb::Database> TempStore::open(const QString& databaseName) const
{
    auto db = kdb::Database::forFolder(m_path, databaseName);
    db->open();
    return db;
}

} // namespace kadroltest
