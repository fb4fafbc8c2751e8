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

// A temporary folder holding a fresh store built from a schema script; removed afterwards.
class TempStore {
public:
    explicit TempStore(const QString& schema);
    const QString& path() const { return m_path; }
    // A database on the folder, opened.
    std::unique_ptr<kdb::Database> open(const QString& databaseName = {}) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
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
