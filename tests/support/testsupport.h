#pragma once

// Shared helpers of the tests: temporary data folders, fixture tables, and a verify macro that
// shows the engine's message when a step throws.

#include "database.h"
#include "error.h"

#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace kadroltest {

// The engine tests run on both stores: once on the embedded store, once more (their ctest
// name ending in _server) with KADROL_TEST_STORE=server on the throwaway server that the test
// run starts (scripts/pgserver.sh), whose connection string is KADROL_TEST_PG.
bool onServer();
QString testServer();
// Why the server tests cannot run here, or empty when the test server answers.
QString serverSkipReason();
// A fresh schema of the test server, and the location of a store in it.
QString newServerSchema();
QString serverLocation(const QString& schema);
void dropServerSchema(const QString& schema);

// Skips the test (reported as skipped, never as passed) when it runs for the server store and
// the test server cannot be reached.
#define KSKIP_WITHOUT_SERVER()                                                                     \
    do {                                                                                           \
        if (kadroltest::onServer()) {                                                              \
            const QString reason_ = kadroltest::serverSkipReason();                                \
            if (!reason_.isEmpty())                                                                \
                QSKIP(qPrintable(reason_));                                                        \
        }                                                                                          \
    } while (false)

// A fresh store built from a schema script (written in the embedded store's SQL), removed
// afterwards: a temporary data folder, or a schema of its own on the test server.
class TempStore {
public:
    enum class Kind { Default, Embedded, Server }; // Default: the store of this test run
    explicit TempStore(const QString& schema, Kind kind = Kind::Default);
    ~TempStore();
    TempStore(const TempStore&) = delete;
    TempStore& operator=(const TempStore&) = delete;
    // The data folder or the server connection string.
    const QString& path() const { return m_path; }
    bool isServer() const { return !m_schema.isEmpty(); }
    // A database on the store, opened.
    std::unique_ptr<kdb::Database> open(const QString& databaseName = {}) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_schema;
};

// Runs a statement and fails the test with the engine's message if it throws.
#define KVERIFY(statement)                                                                         \
    do {                                                                                           \
        try {                                                                                      \
            statement;                                                                             \
        } catch (const kdb::Error& e_) {                                                           \
            QFAIL(qPrintable(                                                                      \
                QStringLiteral("%1: %2").arg(QStringLiteral(#statement), e_.message())));          \
        }                                                                                          \
    } while (false)

// Expects the statement to throw kdb::Error with the given code; gives its message.
#define KEXPECT_ERROR(statement, expectedCode)                                                     \
    do {                                                                                           \
        bool thrown_ = false;                                                                      \
        try {                                                                                      \
            statement;                                                                             \
        } catch (const kdb::Error& e_) {                                                           \
            thrown_ = true;                                                                        \
            QCOMPARE(int(e_.code()), int(expectedCode));                                           \
            QVERIFY2(!e_.message().isEmpty(), "the error has no message");                         \
        }                                                                                          \
        QVERIFY2(thrown_, "no engine error: " #statement);                                         \
    } while (false)

// Golden files: a printout rendered to text is compared with a reference kept under the test
// area's data folder (KADROL_TEST_DATA). On a difference the message names the first line that
// differs and the command that regenerates the reference; run with KADROL_UPDATE_GOLDEN=1 the
// reference is written instead (review the diff before committing it).
bool compareGolden(const QString& relativePath, const QString& actual, QString* message);

#define KCOMPARE_GOLDEN(relativePath, actual)                                                      \
    do {                                                                                           \
        QString golden_message_;                                                                   \
        if (!kadroltest::compareGolden(relativePath, actual, &golden_message_))                    \
            QFAIL(qPrintable(golden_message_));                                                    \
    } while (false)

} // namespace kadroltest
