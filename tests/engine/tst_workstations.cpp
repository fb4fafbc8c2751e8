// Several programs on one data folder: record locks seen across processes and released when a
// process dies, committed rows seen on re-read, posts that survive a crash, and a cached update
// cut short by a killed process.

#include "database.h"
#include "table.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>
#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>

using kdb::Database;
using kdb::Dataset;
using kdb::Error;
using kdb::Table;

namespace {

const char* kSchema = R"(
CREATE TABLE reserv (Keyr INTEGER PRIMARY KEY AUTOINCREMENT, NameF VARCHAR(50), Arch INTEGER);
CREATE TABLE reclang (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Tabno INTEGER, Lang INTEGER);
CREATE TABLE zvrecr (Zayav INTEGER, Tabno INTEGER, PRIMARY KEY (Zayav, Tabno));
INSERT INTO reserv (NameF, Arch) VALUES ('Жуков',0),('Иванов',0),('Петров',1);
INSERT INTO reclang (Tabno, Lang) VALUES (1,1),(1,2),(2,1);
INSERT INTO zvrecr VALUES (1,1),(2,1);
)";

// What a child process does, by its first argument after "--child".
int runChild(const QStringList& args)
{
    const QString action = args.value(0);
    const QString folder = args.value(1);
    auto db = Database::forFolder(folder);
    db->open();
    auto reserv = Table::opened(*db, QStringLiteral("RESERV.DB"));
    if (action == QLatin1String("hold")) {
        reserv->locate(QStringLiteral("Keyr"), {args.value(2).toInt()});
        reserv->edit();
        std::cout << "ready" << std::endl;
        std::string line;
        std::getline(std::cin, line); // hold the lock until told or killed
        reserv->cancel();
        return 0;
    }
    if (action == QLatin1String("hold-twice")) {
        // Two datasets of this program on one row: the second one's attempts are reported, then
        // the first one posts and the second one takes the row and holds it.
        auto second = Table::opened(*db, QStringLiteral("reserv.db"));
        reserv->locate(QStringLiteral("Keyr"), {args.value(2).toInt()});
        second->locate(QStringLiteral("Keyr"), {args.value(2).toInt()});
        reserv->edit();
        for (const auto& attempt : {std::function<void()>([&] { second->edit(); }),
                                    std::function<void()>([&] { second->remove(); })}) {
            try {
                attempt();
                std::cout << "allowed ";
            } catch (const Error& e) {
                std::cout << (e.code() == Error::Code::RecordLocked ? "refused " : "failed ");
            }
        }
        second->cancel();
        reserv->fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Иванова"));
        reserv->post();
        second->refresh();
        second->locate(QStringLiteral("Keyr"), {args.value(2).toInt()});
        second->edit();
        std::cout << "ready" << std::endl;
        std::string line;
        std::getline(std::cin, line);
        return 0;
    }
    if (action == QLatin1String("insert")) {
        reserv->insertRecord({QVariant(), args.value(2), 0});
        return 0;
    }
    if (action == QLatin1String("post-and-die")) {
        reserv->insertRecord({QVariant(), QStringLiteral("Сидоров"), 0});
        std::cout << reserv->fieldByName(QStringLiteral("Keyr")).asInt() << std::endl;
        std::raise(SIGKILL);
    }
    if (action == QLatin1String("apply-and-die")) {
        auto rl = std::make_unique<Table>();
        auto zv = std::make_unique<Table>();
        rl->setDatabase(db.get());
        zv->setDatabase(db.get());
        rl->setTableName(QStringLiteral("reclang.db"));
        zv->setTableName(QStringLiteral("zvrecr.db"));
        for (Table* t : {rl.get(), zv.get()}) {
            t->setCachedUpdates(true);
            t->open();
            while (!t->isEmpty())
                t->remove();
        }
        db->applyHook = [&](Dataset& ds) {
            if (&ds == rl.get())
                std::raise(SIGKILL); // dies with the first table's deletions written
        };
        db->applyUpdates({rl.get(), zv.get()});
        return 3;
    }
    return 2;
}

class Child {
public:
    explicit Child(const QStringList& args)
    {
        m_process.setProgram(QCoreApplication::applicationFilePath());
        m_process.setArguments(QStringList{QStringLiteral("--child")} + args);
        m_process.start();
        if (!m_process.waitForStarted())
            qFatal("child did not start");
    }
    ~Child()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    QString readLine(int ms = 10000)
    {
        QElapsedTimer t;
        t.start();
        while (!m_process.canReadLine() && t.elapsed() < ms)
            m_process.waitForReadyRead(100);
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }
    bool finish(int ms = 10000) { return m_process.waitForFinished(ms); }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

} // namespace

class TestWorkstations : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // On the server store's run: skipped when the test server cannot be reached.
    void initTestCase() { KSKIP_WITHOUT_SERVER(); }
    void lockIsSeenAtOnceAndDiesWithItsHolder();
    void twoDatasetsOfOneProcessOnOneRow();
    void committedRowsAreSeenOnRefresh();
    void postSurvivesACrash();
    void killedCachedUpdateWritesNothing();
};

void TestWorkstations::lockIsSeenAtOnceAndDiesWithItsHolder()
{
    kadroltest::TempStore store(QString::fromUtf8(kSchema));
    Child holder({QStringLiteral("hold"), store.path(), QStringLiteral("2")});
    QCOMPARE(holder.readLine(), QStringLiteral("ready"));

    auto db = store.open();
    auto t = Table::opened(*db, QStringLiteral("reserv.db"));
    QVERIFY(t->locate(QStringLiteral("Keyr"), {2}));
    QElapsedTimer timer;
    timer.start();
    try {
        t->edit();
        QFAIL("edited a record another process holds");
    } catch (const Error& e) {
        QCOMPARE(int(e.code()), int(Error::Code::RecordLocked));
        QVERIFY2(e.message().contains(QStringLiteral("reserv.db")), qPrintable(e.message()));
    }
    QVERIFY2(timer.elapsed() < 1000, "a locked record made the edit wait");
    QCOMPARE(t->state(), Dataset::State::Browse);
    KEXPECT_ERROR(t->remove(), Error::Code::RecordLocked);
    QCOMPARE(t->recordCount(), 3);

    // Other records stay free.
    QVERIFY(t->locate(QStringLiteral("Keyr"), {1}));
    KVERIFY(t->edit());
    t->cancel();

    holder.kill();
    QVERIFY(t->locate(QStringLiteral("Keyr"), {2}));
    KVERIFY(t->edit());
    KVERIFY(t->fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Иванов-2")));
    KVERIFY(t->post());
}

void TestWorkstations::twoDatasetsOfOneProcessOnOneRow()
{
    kadroltest::TempStore store(QString::fromUtf8(kSchema));
    Child holder({QStringLiteral("hold-twice"), store.path(), QStringLiteral("2")});
    QCOMPARE(holder.readLine(), QStringLiteral("refused refused ready"));

    // The first dataset's post left the second one's lock: this workstation is refused.
    auto db = store.open();
    auto t = Table::opened(*db, QStringLiteral("reserv.db"));
    QVERIFY(t->locate(QStringLiteral("Keyr"), {2}));
    QCOMPARE(t->fieldByName(QStringLiteral("NameF")).asString(), QStringLiteral("Иванова"));
    KEXPECT_ERROR(t->edit(), Error::Code::RecordLocked);
    KEXPECT_ERROR(t->remove(), Error::Code::RecordLocked);

    holder.kill();
    KVERIFY(t->edit());
    t->cancel();
}

void TestWorkstations::committedRowsAreSeenOnRefresh()
{
    kadroltest::TempStore store(QString::fromUtf8(kSchema));
    auto db = store.open();
    auto t = Table::opened(*db, QStringLiteral("reserv.db"));
    QCOMPARE(t->recordCount(), 3);
    Child writer({QStringLiteral("insert"), store.path(), QStringLiteral("Новиков")});
    QVERIFY(writer.finish());
    QCOMPARE(writer.process().exitCode(), 0);
    QCOMPARE(t->recordCount(), 3);
    KVERIFY(t->refresh());
    QCOMPARE(t->recordCount(), 4);
    QVERIFY(t->locate(QStringLiteral("NameF"), {QStringLiteral("Новиков")}));
}

void TestWorkstations::postSurvivesACrash()
{
    kadroltest::TempStore store(QString::fromUtf8(kSchema));
    Child writer({QStringLiteral("post-and-die"), store.path()});
    const int key = writer.readLine().toInt();
    QVERIFY(writer.finish());
    QCOMPARE(writer.process().exitStatus(), QProcess::CrashExit);
    QCOMPARE(key, 4);
    auto db = store.open();
    QVERIFY(db->integrityCheck().isEmpty());
    auto t = Table::opened(*db, QStringLiteral("reserv.db"));
    QVERIFY(t->locate(QStringLiteral("Keyr"), {key}));
    QCOMPARE(t->fieldByName(QStringLiteral("NameF")).asString(), QStringLiteral("Сидоров"));
}

void TestWorkstations::killedCachedUpdateWritesNothing()
{
    kadroltest::TempStore store(QString::fromUtf8(kSchema));
    Child applier({QStringLiteral("apply-and-die"), store.path()});
    QVERIFY(applier.finish());
    QCOMPARE(applier.process().exitStatus(), QProcess::CrashExit);
    auto db = store.open();
    QVERIFY(db->integrityCheck().isEmpty());
    QCOMPARE(Table::opened(*db, QStringLiteral("reclang.db"))->recordCount(), 3);
    QCOMPARE(Table::opened(*db, QStringLiteral("zvrecr.db"))->recordCount(), 2);
    // The dead process's locks are gone: the rows can be deleted now.
    auto rl = Table::opened(*db, QStringLiteral("reclang.db"));
    KVERIFY(rl->remove());
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 1 && args.at(1) == QLatin1String("--child")) {
        try {
            return runChild(args.mid(2));
        } catch (const Error& e) {
            std::cerr << e.message().toStdString() << std::endl;
            return 1;
        }
    }
    TestWorkstations tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_workstations.moc"
