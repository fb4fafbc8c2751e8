#include "testsupport.h"

#include "store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

bool compareGolden(const QString& relativePath, const QString& actual, QString* message)
{
    const QString root = qEnvironmentVariable("KADROL_TEST_DATA");
    const QString path = QDir(root).filePath(relativePath);
    if (qEnvironmentVariableIntValue("KADROL_UPDATE_GOLDEN") == 1) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *message = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
        out.write(actual.toUtf8());
        return true;
    }
    QFile in(path);
    const QString expected =
        in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()) : QString();
    if (expected == actual)
        return true;
    const QStringList want = expected.split(QLatin1Char('\n'));
    const QStringList got = actual.split(QLatin1Char('\n'));
    int line = 0;
    while (line < want.size() && line < got.size() && want[line] == got[line])
        ++line;
    *message = QStringLiteral("%1 differs at line %2:\n  expected: %3\n  actual:   %4\n"
                              "Regenerate with: KADROL_UPDATE_GOLDEN=1 KADROL_TEST_DATA=%5 %6 %7")
                   .arg(path)
                   .arg(line + 1)
                   .arg(line < want.size() ? want[line] : QStringLiteral("(end of file)"),
                        line < got.size() ? got[line] : QStringLiteral("(end of text)"), root,
                        QCoreApplication::applicationFilePath(),
                        QString::fromLatin1(QTest::currentTestFunction()));
    return false;
}

} // namespace kadroltest
