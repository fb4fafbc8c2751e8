// kadrol-admin as a new administrator runs it: building Data folders (cut off, twice at once),
// checking them, and the bad input and broken stores its commands meet.

#include "database.h"
#include "datafolder.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

QString adminProgram()
{
    return QString::fromLocal8Bit(qgetenv("KADROL_BIN")) + QStringLiteral("/kadrol-admin");
}

Run admin(const QStringList& arguments)
{
    QProcess process;
    process.start(adminProgram(), arguments);
    Run run;
    if (!process.waitForFinished(300000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString storeOf(const QString& folder)
{
    return QDir(folder).filePath(kdb::Database::storeFileName());
}

} // namespace

class TestAdmin : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    int m_folders = 0;

    QString newPath(const QString& name)
    {
        return m_tmp.filePath(name + QString::number(++m_folders));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        if (!QFileInfo(adminProgram()).isExecutable())
            QSKIP("kadrol-admin is not built beside the tests");
    }

    // A build killed at any moment leaves either no store or a complete one, and the next
    // init finishes the job.
    void killedInitLeavesNoHalfStore_data()
    {
        QTest::addColumn<int>("afterMs");
        for (const int ms : {5, 30, 100, 250, 500, 1000, 2000})
            QTest::addRow("killed after %d ms", ms) << ms;
    }
    void killedInitLeavesNoHalfStore()
    {
        QFETCH(int, afterMs);
        const QString folder = newPath(QStringLiteral("Data"));
        QProcess init;
        init.start(adminProgram(), {QStringLiteral("init"), folder});
        QVERIFY(init.waitForStarted());
        QTest::qWait(afterMs);
        init.kill();
        init.waitForFinished();

        if (QFileInfo::exists(storeOf(folder))) {
            auto db = kdb::Database::forFolder(folder);
            KVERIFY(db->open());
            kadrol::ShippedRowsCheck shipped;
            KVERIFY(shipped = kadrol::checkShippedRows(*db));
            QCOMPARE(shipped.emptyTables, QStringList());
            QCOMPARE(shipped.partialTables, QStringList());
            return;
        }
        const Run again = admin({QStringLiteral("init"), folder});
        QVERIFY2(again.exitCode == 0, qPrintable(again.err));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{kdb::Database::storeFileName()}));
        const Run check = admin({QStringLiteral("check"), folder});
        QVERIFY2(check.exitCode == 0, qPrintable(check.err));
    }

    void checkFindsMissingShippedRows_data()
    {
        QTest::addColumn<QString>("removal");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::addRow("nothing removed") << "" << 0 << "";
        QTest::addRow("a fixed list emptied")
            << "DELETE FROM marr" << 1 << "Нет поставляемых строк в таблицах: marr";
        QTest::addRow("every shipped row gone")
            << "DELETE FROM sfld; DELETE FROM flook" << 1 << "flook, sfld";
        QTest::addRow("a currency the users removed")
            << "DELETE FROM valut WHERE Keyn = 2" << 0 << "valut (нет 1 из";
    }
    void checkFindsMissingShippedRows()
    {
        QFETCH(QString, removal);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const QString folder = newPath(QStringLiteral("Data"));
        KVERIFY(kadrol::createDataFolder(folder));
        if (!removal.isEmpty()) {
            auto db = kdb::Database::forFolder(folder);
            KVERIFY(db->open());
            KVERIFY(db->executeStoreScript(removal));
        }
        const Run check = admin({QStringLiteral("check"), folder});
        QCOMPARE(check.exitCode, exitCode);
        QVERIFY2(check.err.contains(message), qPrintable(check.err));
    }

    // A store file of zero bytes (a build cut off before its first write) is reported, and no
    // command writes into it.
    void zeroByteStore_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::addRow("sql") << QStringList{QStringLiteral("sql"), QStringLiteral("DIR"),
                                            QStringLiteral("select * from \"lang.db\"")}
                             << "пуст";
        QTest::addRow("check") << QStringList{QStringLiteral("check"), QStringLiteral("DIR")}
                               << "пуст";
        QTest::addRow("demo") << QStringList{QStringLiteral("demo"), QStringLiteral("DIR")}
                              << "пуст";
        QTest::addRow("init") << QStringList{QStringLiteral("init"), QStringLiteral("DIR")}
                              << "уже есть база данных";
    }
    void zeroByteStore()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const QString folder = newPath(QStringLiteral("Data"));
        QVERIFY(QDir().mkpath(folder));
        QFile empty(storeOf(folder));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        arguments.replaceInStrings(QStringLiteral("DIR"), folder);
        const Run run = admin(arguments);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(QFileInfo(storeOf(folder)).size(), 0);
        QVERIFY(!QFileInfo::exists(storeOf(folder) + QStringLiteral("-wal")));
    }

    void twoDemosAtOnce()
    {
        const QString folder = newPath(QStringLiteral("Data"));
        QProcess first, second;
        const QStringList arguments{QStringLiteral("demo"), folder, QStringLiteral("--candidates"),
                                    QStringLiteral("200")};
        first.start(adminProgram(), arguments);
        second.start(adminProgram(), arguments);
        QVERIFY(first.waitForFinished(300000));
        QVERIFY(second.waitForFinished(300000));
        const QString errors = QString::fromUtf8(first.readAllStandardError()) +
                               QString::fromUtf8(second.readAllStandardError());
        QCOMPARE(first.exitCode() + second.exitCode(), 1); // one fills, the other is refused
        QVERIFY2(errors.contains(QStringLiteral("уже заполнена")), qPrintable(errors));
        const Run check = admin({QStringLiteral("check"), folder});
        QVERIFY2(check.exitCode == 0, qPrintable(check.err));
    }

    // Input that once crashed the tool or changed data it should not: refused with a message,
    // the data as it was.
    void badSqlIsRefused_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("message");
        QTest::addRow("3000 parentheses")
            << QStringLiteral("select keyn from \"lang.db\" where ") + QString(3000, '(') +
                   QStringLiteral("keyn=1") + QString(3000, ')')
            << "вложено глубже";
        QTest::addRow("a long chain of signs")
            << QStringLiteral("select keyn from \"lang.db\" where keyn = ") +
                   QStringLiteral("- ").repeated(5000) + QStringLiteral("1")
            << "вложено глубже";
        QTest::addRow("a text into a date") << "update \"reserv.db\" set datbd = \"не дата\""
                                            << "«не дата» не подходит для поля";
        QTest::addRow("a text into a number") << "update \"reserv.db\" set oklmin = \"abc\""
                                              << "«abc» не подходит для поля";
    }
    void badSqlIsRefused()
    {
        QFETCH(QString, sql);
        QFETCH(QString, message);
        const QString folder = newPath(QStringLiteral("Data"));
        const Run demo = admin(
            {QStringLiteral("demo"), folder, QStringLiteral("--candidates"), QStringLiteral("20")});
        QVERIFY2(demo.exitCode == 0, qPrintable(demo.err));
        const QStringList sample{QStringLiteral("sql"), folder,
                                 QStringLiteral("select keyr, datbd, oklmin from \"reserv.db\"")};
        const QString before = admin(sample).out;
        const Run run = admin({QStringLiteral("sql"), folder, sql});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(admin(sample).out, before);
    }
};

QTEST_GUILESS_MAIN(TestAdmin)
#include "tst_admin.moc"
