#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kadroltest {

TempStore::TempStore(const QString& schema)
{
    if (!m_dir.isValid())
        qFatal("no temporary folder");
    m_path = m_dir.path();
    kdb::Database::createStore(m_path, schema);
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
