// Datasets over tables and queries: states, the cursor, typed fields, posting, filters,
// locates, lookups, cached updates and the errors a user may meet.

#include "database.h"
#include "literal.h"
#include "query.h"
#include "store.h"
#include "table.h"
#include "testsupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

using kadroltest::TempStore;
using kdb::Database;
using kdb::Dataset;
using kdb::Error;
using kdb::Field;
using kdb::Query;
using kdb::Table;

namespace {

const char* kSchema = R"(
CREATE TABLE reserv (Keyr INTEGER PRIMARY KEY AUTOINCREMENT, NameF VARCHAR(50), NameI VARCHAR(20),
  NameO VARCHAR(50), DatBd DATE, MF BOOLEAN, Bal SMALLINT, Oklmin INTEGER, Arch INTEGER,
  Rate DOUBLE, Memint TEXT_MEMO, Foto BLOB_GRAPHIC);
CREATE INDEX reserv_iname ON reserv(NameF COLLATE RUS, NameI COLLATE RUS, NameO COLLATE RUS);
CREATE INDEX reserv_arch ON reserv(Arch, NameF COLLATE RUS, NameI COLLATE RUS, NameO COLLATE RUS);
CREATE TABLE black (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Namef VARCHAR(30), Namei VARCHAR(10),
  Note VARCHAR(200));
CREATE TABLE zvrecr (Zayav INTEGER, Tabno INTEGER, PRIMARY KEY (Zayav, Tabno));
CREATE TABLE lang (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(90));
CREATE INDEX lang_name ON lang(Name COLLATE RUS);
CREATE TABLE reclang (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Tabno INTEGER, Lang INTEGER);
)";

// Five candidates; in name order: Абрамов, Борисов, ёлкин, Жуков, иванов (case-insensitive).
struct Candidate {
    const char* f;
    const char* i;
    const char* o; // null: no patronymic
    const char* born;
    bool man;
    int arch;
};
const Candidate kCandidates[] = {
    {"Жуков", "Пётр", "Ильич", "1975-04-02", true, 0},
    {"иванов", "Иван", nullptr, "1985-03-15", true, 0},
    {"Абрамов", "Олег", "Петрович", "1960-01-01", true, 1},
    {"ёлкин", "Семён", "Ильич", nullptr, true, 0},
    {"Борисов", "Анна", "Сергеевна", "1990-12-31", false, 0},
};

class Fixture {
public:
    Fixture() : store(QString::fromLatin1(kSchema)), db(store.open(QStringLiteral("TESTDB")))
    {
        Database::Transaction tx(*db);
        for (const Candidate& c : kCandidates)
            db->executeStoreSql(
                QStringLiteral("INSERT INTO reserv (NameF, NameI, NameO, DatBd, MF, "
                               "Arch, Oklmin) VALUES (?,?,?,?,?,?,?)"),
                {QString::fromUtf8(c.f), QString::fromUtf8(c.i),
                 c.o ? QVariant(QString::fromUtf8(c.o)) : QVariant(),
                 c.born ? QVariant(QString::fromLatin1(c.born)) : QVariant(), c.man ? 1 : 0, c.arch,
                 1000 * (c.arch + 1)});
        for (const char* name : {"Немецкий", "английский", "Французский"})
            db->executeStoreSql(QStringLiteral("INSERT INTO lang (Name) VALUES (?)"),
                                {QString::fromUtf8(name)});
        tx.commit();
    }

    std::unique_ptr<Table> table(const QString& name, const QString& index = {},
                                 const QString& fields = {})
    {
        auto t = std::make_unique<Table>();
        t->setDatabase(db.get());
        t->setTableName(name);
        if (!index.isEmpty())
            t->setIndexName(index);
        if (!fields.isEmpty())
            t->setIndexFieldNames(fields);
        return t;
    }

    QStringList surnames(Dataset& ds)
    {
        QStringList out;
        for (ds.first(); !ds.eof(); ds.next())
            out << ds.fieldByName(QStringLiteral("NameF")).asString();
        return out;
    }

    TempStore store;
    std::unique_ptr<Database> db;
};

// Puts a fake file-system type in place of the real one while it lives.
class FakeFileSystem {
public:
    explicit FakeFileSystem(qint64 type)
        : m_previous(kdb::setFileSystemProbe([type](const QString&) { return type; }))
    {
    }
    ~FakeFileSystem() { kdb::setFileSystemProbe(m_previous); }

private:
    kdb::FileSystemProbe m_previous;
};

} // namespace

class TestDataset : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // On the server store's run: skipped when the test server cannot be reached.
    void initTestCase() { KSKIP_WITHOUT_SERVER(); }
    void cursor_data();
    void cursor();
    void stateTransitions();
    void twoDatasetsOnOneRow_data();
    void twoDatasetsOnOneRow();
    void failedDeleteKeepsTheEditAndItsLock();
    void typedValues_data();
    void typedValues();
    void wholeRowInsertCutsAndGivesKey();
    void autoIncrementKeysAreNeverReused();
    void postWritesOnlyChangedFields();
    void duplicateKeyIsRefusedAndRowCancelled();
    void russianOrder();
    void postedRowsTakeTheirPlace_data();
    void postedRowsTakeTheirPlace();
    void tableFilters_data();
    void tableFilters();
    void badFilterKeepsTheOldOne();
    void locate_data();
    void locate();
    void locateInALargeSetThatChanges();
    void statementsOfLateWindowsStayCompiled();
    void lookupAndLookupFields();
    void queryLinesParamsAndFilter();
    void typedTextsReachTheStoreAsValues_data();
    void typedTextsReachTheStoreAsValues();
    void dateAndOtherParameters();
    void queryResultTypes();
    void queryErrors();
    void largeAndSmallQueryResultsBehaveAlike_data();
    void largeAndSmallQueryResultsBehaveAlike();
    void cachedDeletesApplyTogether();
    void cachedDeletesFailureWritesNothing();
    void nestedTransactionRollsBackEverything();
    void openErrors();
    void networkFolderIsRefused_data();
    void networkFolderIsRefused();
    void brokenStoreFilesAreLeftAlone_data();
    void brokenStoreFilesAreLeftAlone();
    void constraintMessages_data();
    void constraintMessages();
    void closedDatasetNamesTheOperation_data();
    void closedDatasetNamesTheOperation();
    void displayTexts();
};

// --- the cursor -------------------------------------------------------------------------------

void TestDataset::cursor_data()
{
    QTest::addColumn<QString>("moves");
    QTest::addColumn<QString>("expectedName");
    QTest::addColumn<bool>("eof");
    QTest::addColumn<bool>("bof");
    QTest::addRow("after open") << ""
                                << "Абрамов" << false << false;
    QTest::addRow("next twice") << "n n"
                                << "ёлкин" << false << false;
    QTest::addRow("next past last") << "L n"
                                    << "иванов" << true << false;
    QTest::addRow("prior before first") << "p"
                                        << "Абрамов" << false << true;
    QTest::addRow("last then first") << "L F"
                                     << "Абрамов" << false << true;
    QTest::addRow("delete middle") << "n d"
                                   << "ёлкин" << false << false;
    QTest::addRow("delete last") << "L d"
                                 << "Жуков" << false << false;
    QTest::addRow("append cancel") << "n a c"
                                   << "Борисов" << false << false;
}

void TestDataset::cursor()
{
    QFETCH(QString, moves);
    QFETCH(QString, expectedName);
    QFETCH(bool, eof);
    QFETCH(bool, bof);
    Fixture fx;
    auto t = fx.table(QStringLiteral("Reserv.DB"), QStringLiteral("iname"));
    KVERIFY(t->open());
    QCOMPARE(t->recordCount(), 5);
    QVERIFY(!t->eof());
    for (const QString& m : moves.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (m == QLatin1String("n"))
            t->next();
        else if (m == QLatin1String("p"))
            t->prior();
        else if (m == QLatin1String("F"))
            t->first();
        else if (m == QLatin1String("L"))
            t->last();
        else if (m == QLatin1String("d"))
            KVERIFY(t->remove());
        else if (m == QLatin1String("a"))
            KVERIFY(t->append());
        else if (m == QLatin1String("c"))
            t->cancel();
    }
    QCOMPARE(t->fieldByName(QStringLiteral("namef")).asString(), expectedName);
    QCOMPARE(t->eof(), eof);
    QCOMPARE(t->bof(), bof);
}

void TestDataset::stateTransitions()
{
    Fixture fx;
    auto t = fx.table(QStringLiteral("reserv.db"), QStringLiteral("iname"));
    QCOMPARE(t->state(), Dataset::State::Inactive);
    KEXPECT_ERROR(t->next(), Error::Code::State);
    KVERIFY(t->open());
    QCOMPARE(t->state(), Dataset::State::Browse);
    KEXPECT_ERROR(t->fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("x")),
                  Error::Code::State);

    QSignalSpy states(t.get(), &Dataset::stateChanged);
    KVERIFY(t->edit());
    QCOMPARE(t->state(), Dataset::State::Edit);
    QVERIFY(!t->modified());
    KVERIFY(t->fieldByName(QStringLiteral("NameI")).setValue(QStringLiteral("Олег2")));
    QVERIFY(t->modified());
    t->cancel();
    QCOMPARE(t->state(), Dataset::State::Browse);
    QCOMPARE(t->fieldByName(QStringLiteral("NameI")).asString(), QStringLiteral("Олег"));

    // A move posts a changed row ("leaving a row posts it").
    KVERIFY(t->edit());
    KVERIFY(t->fieldByName(QStringLiteral("NameI")).setValue(QStringLiteral("Олег2")));
    KVERIFY(t->next());
    QCOMPARE(t->state(), Dataset::State::Browse);
    t->first();
    QCOMPARE(t->fieldByName(QStringLiteral("NameI")).asString(), QStringLiteral("Олег2"));

    // The new-record hook fills defaults; a refusing hook leaves no row in progress.
    t->onNewRecord = [](Dataset& ds) { ds.fieldByName(QStringLiteral("Arch")).setValue(1); };
    KVERIFY(t->append());
    QCOMPARE(t->state(), Dataset::State::Insert);
    QCOMPARE(t->fieldByName(QStringLiteral("Arch")).asInt(), 1);
    QVERIFY(t->fieldByName(QStringLiteral("Keyr")).isNull());
    KVERIFY(t->fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Яковлев")));
    KVERIFY(t->post());
    QCOMPARE(t->state(), Dataset::State::Browse);
    QCOMPARE(t->fieldByName(QStringLiteral("NameF")).asString(), QStringLiteral("Яковлев"));
    QCOMPARE(t->fieldByName(QStringLiteral("Keyr")).asInt(), 6);
    QCOMPARE(t->recordCount(), 6);

    t->onNewRecord = [](Dataset&) { throw kdb::Abort(); };
    QVERIFY_THROWS_EXCEPTION(kdb::Abort, t->append());
    QCOMPARE(t->state(), Dataset::State::Browse);
    QCOMPARE(t->recordCount(), 6);

    // A refusing edit rule keeps the row untouched and unlocked.
    t->beforeEdit = [](Dataset&) { throw kdb::Abort(); };
    QVERIFY_THROWS_EXCEPTION(kdb::Abort, t->edit());
    QCOMPARE(t->state(), Dataset::State::Browse);
    QVERIFY(states.count() >= 6);

    t->close();
    QCOMPARE(t->state(), Dataset::State::Inactive);
}

// Two datasets of one program on one row exclude each other as two workstations do: the second
// one's edit or delete is refused at once, its refusal leaves the first one's lock in place, and
// the first one's post frees only its own lock.
void TestDataset::twoDatasetsOnOneRow_data()
{
    QTest::addColumn<QString>("attempt");
    QTest::addRow("edit") << "edit";
    QTest::addRow("delete") << "delete";
    QTest::addRow("cached delete") << "cached delete";
}

void TestDataset::twoDatasetsOnOneRow()
{
    QFETCH(QString, attempt);
    Fixture fx;
    const QString surname = QStringLiteral("Жуков");
    auto first = fx.table(QStringLiteral("reserv.db"));
    auto second = fx.table(QStringLiteral("RESERV.DB"));
    auto other = fx.store.open();
    auto elsewhere = Table::opened(*other, QStringLiteral("reserv.db"));
    for (Table* t : {first.get(), second.get()}) {
        KVERIFY(t->open());
        QVERIFY(t->locate(QStringLiteral("NameF"), {surname}));
    }
    QVERIFY(elsewhere->locate(QStringLiteral("NameF"), {surname}));

    KVERIFY(first->edit());
    if (attempt == QLatin1String("edit")) {
        KEXPECT_ERROR(second->edit(), Error::Code::RecordLocked);
        QCOMPARE(second->state(), Dataset::State::Browse);
    } else if (attempt == QLatin1String("delete")) {
        KEXPECT_ERROR(second->remove(), Error::Code::RecordLocked);
    } else {
        second->setCachedUpdates(true);
        KVERIFY(second->remove());
        KEXPECT_ERROR(fx.db->applyUpdates({second.get()}), Error::Code::RecordLocked);
    }
    QCOMPARE(second->recordCount(), 5);
    KEXPECT_ERROR(elsewhere->edit(), Error::Code::RecordLocked);

    KVERIFY(first->fieldByName(QStringLiteral("NameI")).setValue(QStringLiteral("Павел")));
    KVERIFY(first->post());
    QVERIFY(second->locate(QStringLiteral("NameF"), {surname}));
    KVERIFY(second->edit());
    QCOMPARE(second->fieldByName(QStringLiteral("NameI")).asString(), QStringLiteral("Павел"));
    KEXPECT_ERROR(first->edit(), Error::Code::RecordLocked);
    KEXPECT_ERROR(first->remove(), Error::Code::RecordLocked);
    KEXPECT_ERROR(elsewhere->edit(), Error::Code::RecordLocked);
    // Closing the first dataset does not free the row either; closing the second one does.
    first->close();
    KEXPECT_ERROR(elsewhere->edit(), Error::Code::RecordLocked);
    second->close();
    KVERIFY(elsewhere->edit());
    elsewhere->cancel();
}

void TestDataset::failedDeleteKeepsTheEditAndItsLock()
{
    Fixture fx;
    // A store that refuses the delete: a trigger, in each store's own words.
    if (fx.store.isServer())
        fx.db->executeStoreScript(QStringLiteral(
            "CREATE FUNCTION keep_zhukov() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN IF "
            "old.namef = 'Жуков' THEN RAISE EXCEPTION 'запись нельзя удалить'; END IF; RETURN "
            "old; END$$; CREATE TRIGGER keep_zhukov BEFORE DELETE ON reserv FOR EACH ROW "
            "EXECUTE FUNCTION keep_zhukov();"));
    else
        fx.db->executeStoreSql(QStringLiteral("CREATE TRIGGER keep_zhukov BEFORE DELETE ON reserv "
                                              "WHEN old.NameF = 'Жуков' BEGIN "
                                              "SELECT RAISE(ABORT, 'запись нельзя удалить'); END"));
    auto t = fx.table(QStringLiteral("reserv.db"));
    KVERIFY(t->open());
    QVERIFY(t->locate(QStringLiteral("NameF"), {QStringLiteral("Жуков")}));
    KVERIFY(t->edit());
    KVERIFY(t->fieldByName(QStringLiteral("NameI")).setValue(QStringLiteral("Павел")));
    QVERIFY_THROWS_EXCEPTION(Error, t->remove());
    QCOMPARE(t->state(), Dataset::State::Edit);

    auto other = fx.store.open();
    auto elsewhere = Table::opened(*other, QStringLiteral("reserv.db"));
    QVERIFY(elsewhere->locate(QStringLiteral("NameF"), {QStringLiteral("Жуков")}));
    KEXPECT_ERROR(elsewhere->edit(), Error::Code::RecordLocked);
    KVERIFY(t->post());
    KVERIFY(elsewhere->edit());
    QCOMPARE(elsewhere->fieldByName(QStringLiteral("NameI")).asString(), QStringLiteral("Павел"));
    elsewhere->cancel();
}

// --- typed fields -----------------------------------------------------------------------------

void TestDataset::typedValues_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("input");
    QTest::addColumn<QVariant>("expected"); // invalid QVariant: expect an error
    QTest::addRow("text cut to width")
        << "NameI" << QVariant(QStringLiteral("Абвгдеёжзийклмнопрстуф"))
        << QVariant(QStringLiteral("Абвгдеёжзийклмнопрст"));
    QTest::addRow("empty text kept") << "NameO" << QVariant(QString("")) << QVariant(QString(""));
    QTest::addRow("date from dots")
        << "DatBd" << QVariant(QStringLiteral("5.3.1985")) << QVariant(QDate(1985, 3, 5));
    QTest::addRow("date from QDate")
        << "DatBd" << QVariant(QDate(2000, 2, 29)) << QVariant(QDate(2000, 2, 29));
    QTest::addRow("bad date") << "DatBd" << QVariant(QStringLiteral("31.02.2000")) << QVariant();
    QTest::addRow("boolean from Да") << "MF" << QVariant(QStringLiteral("Да")) << QVariant(true);
    QTest::addRow("boolean from 0") << "MF" << QVariant(0) << QVariant(false);
    QTest::addRow("smallint in range") << "Bal" << QVariant(QStringLiteral("-5")) << QVariant(-5);
    QTest::addRow("smallint overflow") << "Bal" << QVariant(40000) << QVariant();
    QTest::addRow("integer from text")
        << "Oklmin" << QVariant(QStringLiteral(" 25000 ")) << QVariant(25000);
    QTest::addRow("integer from fraction") << "Oklmin" << QVariant(1.5) << QVariant();
    QTest::addRow("float with comma")
        << "Rate" << QVariant(QStringLiteral("31,25")) << QVariant(31.25);
    QTest::addRow("memo long text") << "Memint" << QVariant(QString(5000, QChar(0x0416)))
                                    << QVariant(QString(5000, QChar(0x0416)));
    QTest::addRow("graphic bytes") << "Foto" << QVariant(QByteArray("\x89PNG\0\1", 6))
                                   << QVariant(QByteArray("\x89PNG\0\1", 6));
}

void TestDataset::typedValues()
{
    QFETCH(QString, field);
    QFETCH(QVariant, input);
    QFETCH(QVariant, expected);
    Fixture fx;
    auto t = fx.table(QStringLiteral("RESERV.DB"));
    KVERIFY(t->open());
    KVERIFY(t->edit());
    if (!expected.isValid()) {
        KEXPECT_ERROR(t->fieldByName(field).setValue(input), Error::Code::Syntax);
        return;
    }
    KVERIFY(t->fieldByName(field).setValue(input));
    KVERIFY(t->post());
    const qint64 key = t->fieldByName(QStringLiteral("Keyr")).asInt();
    // Read back through another connection: what was stored, not what was buffered.
    auto other = fx.store.open();
    auto t2 = Table::opened(*other, QStringLiteral("reserv.db"));
    QVERIFY(t2->locate(QStringLiteral("Keyr"), {key}));
    const QVariant got = t2->fieldByName(field).value();
    QCOMPARE(got, expected);
    QCOMPARE(got.isNull(), expected.isNull());
}

void TestDataset::wholeRowInsertCutsAndGivesKey()
{
    Fixture fx;
    auto black = fx.table(QStringLiteral("BLACK.DB"));
    KVERIFY(black->open());
    const QString longSurname = QStringLiteral("Константинопольский-Преображенский");
    KVERIFY(black->insertRecord({QVariant(), longSurname, QStringLiteral("Христофор-Длинный"),
                                 QStringLiteral("перенесён из кандидатов")}));
    QCOMPARE(black->state(), Dataset::State::Browse);
    QCOMPARE(black->fieldByName(QStringLiteral("Keyn")).asInt(), 1);
    QCOMPARE(black->fieldByName(QStringLiteral("Namef")).asString(), longSurname.left(30));
    QCOMPARE(black->fieldByName(QStringLiteral("Namei")).asString(), QStringLiteral("Христофор-"));
    KEXPECT_ERROR(black->insertRecord({7, QStringLiteral("x")}), Error::Code::ReadOnly);
    KEXPECT_ERROR(black->insertRecord({QVariant(), 1, 2, 3, 4}), Error::Code::General);
    QCOMPARE(black->state(), Dataset::State::Browse);
    QCOMPARE(black->recordCount(), 1);
}

void TestDataset::autoIncrementKeysAreNeverReused()
{
    Fixture fx;
    auto t = fx.table(QStringLiteral("reserv.db"));
    KVERIFY(t->open());
    t->last();
    QCOMPARE(t->fieldByName(QStringLiteral("Keyr")).asInt(), 5);
    KVERIFY(t->remove());
    KVERIFY(t->insertRecord({QVariant(), QStringLiteral("Новиков")}));
    QCOMPARE(t->fieldByName(QStringLiteral("Keyr")).asInt(), 6);
}

void TestDataset::postWritesOnlyChangedFields()
{
    Fixture fx;
    auto second = fx.store.open();
    auto a = fx.table(QStringLiteral("reserv.db"), QStringLiteral("iname"));
    auto b = Table::opened(*second, QStringLiteral("reserv.db"));
    KVERIFY(a->open());
    QVERIFY(b->locate(QStringLiteral("Keyr"), {1}));
    QVERIFY(a->locate(QStringLiteral("Keyr"), {1}));
    QCOMPARE(b->fieldByName(QStringLiteral("NameI")).asString(), QStringLiteral("Пётр"));

    KVERIFY(a->edit());
    KVERIFY(a->fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Жуковский")));
    KVERIFY(a->post());
    // b still shows the old surname but edits what is stored now and writes only its field.
    KVERIFY(b->edit());
    QCOMPARE(b->fieldByName(QStringLiteral("NameF")).asString(), QStringLiteral("Жуковский"));
    KVERIFY(b->fieldByName(QStringLiteral("NameI")).setValue(QStringLiteral("Павел")));
    KVERIFY(b->post());
    KVERIFY(a->refresh());
    QCOMPARE(a->fieldByName(QStringLiteral("NameF")).asString(), QStringLiteral("Жуковский"));
    QCOMPARE(a->fieldByName(QStringLiteral("NameI")).asString(), QStringLiteral("Павел"));
}

void TestDataset::duplicateKeyIsRefusedAndRowCancelled()
{
    Fixture fx;
    auto z = fx.table(QStringLiteral("ZVRECR.DB"));
    KVERIFY(z->open());
    KVERIFY(z->insertRecord({1, 2}));
    try {
        z->insertRecord({1, 2});
        QFAIL("a second row with the same key was stored");
    } catch (const Error& e) {
        QCOMPARE(int(e.code()), int(Error::Code::KeyViolation));
        QVERIFY2(e.message().contains(QStringLiteral("ZVRECR.DB")), qPrintable(e.message()));
        QCOMPARE(e.table(), QStringLiteral("ZVRECR.DB"));
    }
    QCOMPARE(z->state(), Dataset::State::Browse);
    QCOMPARE(z->recordCount(), 1);
    KVERIFY(z->insertRecord({1, 3}));
    QCOMPARE(z->recordCount(), 2);
}

void TestDataset::russianOrder()
{
    Fixture fx;
    auto t = fx.table(QStringLiteral("reserv.db"), QStringLiteral("iname"));
    KVERIFY(t->open());
    QCOMPARE(fx.surnames(*t), (QStringList{QStringLiteral("Абрамов"), QStringLiteral("Борисов"),
                                           QStringLiteral("ёлкин"), QStringLiteral("Жуков"),
                                           QStringLiteral("иванов")}));
    auto lang = fx.table(QStringLiteral("Lang.db"), {}, QStringLiteral("Name"));
    KVERIFY(lang->open());
    QStringList names;
    for (lang->first(); !lang->eof(); lang->next())
        names << lang->fieldByName(QStringLiteral("name")).asString();
    QCOMPARE(names, (QStringList{QStringLiteral("английский"), QStringLiteral("Немецкий"),
                                 QStringLiteral("Французский")}));
    // A posted name takes its place in the order at once.
    KVERIFY(lang->insertRecord({QVariant(), QStringLiteral("итальянский")}));
    QCOMPARE(lang->recNo(), 1);
}

void TestDataset::postedRowsTakeTheirPlace_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("filter");
    QTest::addRow("name index") << "reserv.db"
                                << "iname"
                                << ""
                                << "";
    QTest::addRow("name index, filtered") << "reserv.db"
                                          << "iname"
                                          << ""
                                          << "arch=0";
    QTest::addRow("field order") << "reserv.db"
                                 << ""
                                 << "NameI;DatBd"
                                 << "";
    QTest::addRow("composite key") << "zvrecr.db"
                                   << ""
                                   << ""
                                   << "";
    QTest::addRow("row id") << "black.db"
                            << ""
                            << ""
                            << "";
}

void TestDataset::postedRowsTakeTheirPlace()
{
    QFETCH(QString, table);
    QFETCH(QString, index);
    QFETCH(QString, fields);
    QFETCH(QString, filter);
    Fixture fx;
    auto t = fx.table(table, index, fields);
    t->setFiltered(true);
    t->setFilter(filter);
    KVERIFY(t->open());
    auto keysOf = [](Dataset& ds) {
        QList<qint64> keys;
        for (int i = 0; i < ds.recordCount(); ++i) {
            ds.setRecNo(i);
            keys << ds.currentRowId();
        }
        return keys;
    };
    const QStringList names{QStringLiteral("Ёжиков"),  QString(),
                            QStringLiteral("абрамов"), QStringLiteral("Абрамов"),
                            QStringLiteral("Zimmer"),  QStringLiteral("Жуков"),
                            QStringLiteral("10-й"),    QStringLiteral("яшин")};
    int n = 0;
    for (const QString& name : names) {
        ++n;
        if (table == QLatin1String("zvrecr.db"))
            KVERIFY(t->insertRecord({n % 3, 10 - n}));
        else if (table == QLatin1String("black.db"))
            KVERIFY(t->insertRecord({QVariant(), name}));
        else
            KVERIFY(t->insertRecord({QVariant(), name.isEmpty() ? QVariant() : QVariant(name),
                                     name.isEmpty() ? QVariant() : QVariant(name.left(3)),
                                     QVariant(), n % 2 ? QVariant(QDate(1980, 1, n)) : QVariant(),
                                     QVariant(), QVariant(), QVariant(), 0}));
        const qint64 posted = t->currentRowId();
        auto fresh = fx.table(table, index, fields);
        fresh->setFiltered(true);
        fresh->setFilter(filter);
        KVERIFY(fresh->open());
        const QList<qint64> keys = keysOf(*t);
        QCOMPARE(keys, keysOf(*fresh));
        QVERIFY(keys.contains(posted));
    }
    if (!filter.isEmpty()) {
        // A row posted outside the filter stays current and visible until the next refresh.
        KVERIFY(t->insertRecord({QVariant(), QStringLiteral("Архивов"), QVariant(), QVariant(),
                                 QVariant(), QVariant(), QVariant(), QVariant(), 1}));
        const int count = t->recordCount();
        QCOMPARE(t->fieldByName(QStringLiteral("NameF")).asString(), QStringLiteral("Архивов"));
        KVERIFY(t->refresh());
        QCOMPARE(t->recordCount(), count - 1);
    }
    // An edit that moves a row in the order.
    if (table == QLatin1String("reserv.db")) {
        t->setRecNo(0);
        KVERIFY(t->edit());
        KVERIFY(t->fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Эдуардов")));
        KVERIFY(t->fieldByName(QStringLiteral("NameI")).setValue(QStringLiteral("Эд")));
        KVERIFY(t->post());
        const qint64 moved = t->currentRowId();
        auto fresh = fx.table(table, index, fields);
        fresh->setFiltered(true);
        fresh->setFilter(filter);
        KVERIFY(fresh->open());
        const QList<qint64> keys = keysOf(*t);
        QCOMPARE(keys, keysOf(*fresh));
        QVERIFY(keys.contains(moved));
    }
}

// --- filters ----------------------------------------------------------------------------------

void TestDataset::tableFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("count");
    QTest::addRow("current base") << "arch=0" << 4;
    QTest::addRow("archive base") << "Arch=1" << 1;
    QTest::addRow("boolean prefix") << "(arch=false) and (MF= True)" << 3;
    QTest::addRow("conjunction") << "(arch=0) and (oklmin< 5000) And (DatBd>='01.01.1980')" << 2;
    QTest::addRow("empty patronymic") << "NameO=Null" << 1;
    QTest::addRow("no birth date") << "DatBd=Null" << 1;
    QTest::addRow("text value") << "(NameF= 'Жуков')" << 1;
    QTest::addRow("key") << "keyr=3" << 1;
    QTest::addRow("empty text passes all") << "" << 5;
}

void TestDataset::tableFilters()
{
    QFETCH(QString, filter);
    QFETCH(int, count);
    Fixture fx;
    auto t = fx.table(QStringLiteral("reserv.db"), QStringLiteral("iname"));
    t->setFiltered(true);
    KVERIFY(t->open());
    QSignalSpy relaid(t.get(), &Dataset::layoutChanged);
    KVERIFY(t->setFilter(filter));
    QCOMPARE(t->recordCount(), count);
    int seen = 0;
    for (t->first(); !t->eof(); t->next())
        ++seen;
    QCOMPARE(seen, count);
    QCOMPARE(relaid.count(), filter.isEmpty() ? 0 : 1);
    KVERIFY(t->setFiltered(false));
    QCOMPARE(t->recordCount(), 5);
}

void TestDataset::badFilterKeepsTheOldOne()
{
    Fixture fx;
    auto t = fx.table(QStringLiteral("reserv.db"));
    t->setFiltered(true);
    t->setFilter(QStringLiteral("arch=0"));
    KVERIFY(t->open());
    KEXPECT_ERROR(t->setFilter(QStringLiteral("(arch=0")), Error::Code::Syntax);
    KEXPECT_ERROR(t->setFilter(QStringLiteral("archive=0")), Error::Code::NotFound);
    QCOMPARE(t->filter(), QStringLiteral("arch=0"));
    QCOMPARE(t->recordCount(), 4);
    // A bad filter set while closed is reported when the table opens.
    auto u = fx.table(QStringLiteral("reserv.db"));
    u->setFiltered(true);
    u->setFilter(QStringLiteral("arch=="));
    KEXPECT_ERROR(u->open(), Error::Code::Syntax);
    QCOMPARE(u->state(), Dataset::State::Inactive);
}

// --- locate -----------------------------------------------------------------------------------

void TestDataset::locate_data()
{
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<int>("options");
    QTest::addColumn<QString>("found"); // surname of the row found, empty: not found
    const int ci = Dataset::CaseInsensitive, partial = Dataset::PartialKey;
    QTest::addRow("exact") << "NameF" << QVariantList{QStringLiteral("Жуков")} << 0 << "Жуков";
    QTest::addRow("exact wrong case")
        << "NameF" << QVariantList{QStringLiteral("жуков")} << 0 << "";
    QTest::addRow("exact any case")
        << "namef" << QVariantList{QStringLiteral("ИВАНОВ")} << ci << "иванов";
    QTest::addRow("prefix any case")
        << "NameF" << QVariantList{QStringLiteral("ЁЛ")} << (ci | partial) << "ёлкин";
    QTest::addRow("prefix with Е finds Ё")
        << "NameF" << QVariantList{QStringLiteral("ел")} << (ci | partial) << "ёлкин";
    QTest::addRow("prefix of one letter Е finds Ё")
        << "NameF" << QVariantList{QStringLiteral("Е")} << (ci | partial) << "ёлкин";
    QTest::addRow("whole name with Е finds Ё")
        << "NameF" << QVariantList{QStringLiteral("ЕЛКИН")} << ci << "ёлкин";
    QTest::addRow("Ё does not match Е without case-insensitivity")
        << "NameF" << QVariantList{QStringLiteral("ел")} << partial << "";
    QTest::addRow("prefix with Ё finds Е")
        << "NameI" << QVariantList{QStringLiteral("сёмен")} << (ci | partial) << "ёлкин";
    QTest::addRow("prefix case-sensitive")
        << "NameF" << QVariantList{QStringLiteral("Б")} << partial << "Борисов";
    QTest::addRow("two fields") << "NameO;Arch" << QVariantList{QStringLiteral("Ильич"), 0} << 0
                                << "ёлкин";
    QTest::addRow("null value") << "NameO" << QVariantList{QVariant()} << 0 << "иванов";
    QTest::addRow("date value") << "DatBd" << QVariantList{QDate(1990, 12, 31)} << 0 << "Борисов";
    QTest::addRow("none") << "NameF" << QVariantList{QStringLiteral("Яшин")} << (ci | partial)
                          << "";
}

void TestDataset::locate()
{
    QFETCH(QString, fields);
    QFETCH(QVariantList, values);
    QFETCH(int, options);
    QFETCH(QString, found);
    Fixture fx;
    auto t = fx.table(QStringLiteral("reserv.db"), QStringLiteral("iname"));
    KVERIFY(t->open());
    t->last();
    bool result = false;
    KVERIFY(result = t->locate(fields, values, options));
    QCOMPARE(result, !found.isEmpty());
    QCOMPARE(t->fieldByName(QStringLiteral("NameF")).asString(),
             found.isEmpty() ? QStringLiteral("иванов") : found);
}

// Searches over thousands of rows go through an index of the keyset by row id; posts, deletes
// and refreshes between them must not leave it pointing at old positions.
void TestDataset::locateInALargeSetThatChanges()
{
    Fixture fx;
    {
        Database::Transaction tx(*fx.db);
        for (int i = 0; i < 3000; ++i)
            fx.db->executeStoreSql(QStringLiteral("INSERT INTO reserv (NameF, Arch) VALUES (?, 0)"),
                                   {QStringLiteral("Фамилия%1").arg(i, 4, 10, QLatin1Char('0'))});
        tx.commit();
    }
    auto t = fx.table(QStringLiteral("reserv.db"), QStringLiteral("iname"));
    KVERIFY(t->open());
    auto expectAt = [&](const QString& surname) {
        const bool found = t->locate(QStringLiteral("NameF"), {surname});
        return found && t->fieldByName(QStringLiteral("NameF")).asString() == surname &&
               t->valueAt(t->recNo(), t->fieldByName(QStringLiteral("NameF")).index()) == surname;
    };
    QVERIFY(expectAt(QStringLiteral("Фамилия1500")));
    QVERIFY(expectAt(QStringLiteral("Жуков")));
    // A new row sorts in before most of them and shifts their positions.
    KVERIFY(t->append());
    KVERIFY(t->fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Аарон")));
    KVERIFY(t->post());
    QVERIFY(expectAt(QStringLiteral("Фамилия2999")));
    QVERIFY(expectAt(QStringLiteral("Аарон")));
    QCOMPARE(t->recNo(), 0);
    // A deleted row is gone for the search, the rows after it are found where they now are.
    QVERIFY(expectAt(QStringLiteral("Фамилия0000")));
    KVERIFY(t->remove());
    QVERIFY(!t->locate(QStringLiteral("NameF"), {QStringLiteral("Фамилия0000")}));
    QVERIFY(expectAt(QStringLiteral("Фамилия0001")));
    // Another filter and a refresh give a new keyset.
    KVERIFY(t->setFilter(QStringLiteral("arch=0")));
    t->setFiltered(true);
    QVERIFY(!t->locate(QStringLiteral("NameF"), {QStringLiteral("Абрамов")}));
    QVERIFY(expectAt(QStringLiteral("Фамилия2000")));
    fx.db->executeStoreSql(QStringLiteral("DELETE FROM reserv WHERE NameF < ?"),
                           {QStringLiteral("Фамилия1000")});
    KVERIFY(t->refresh());
    QVERIFY(expectAt(QStringLiteral("Фамилия2000")));
    QCOMPARE(t->recNo(), t->recordCount() - 1000);
}

// The store keeps compiled statements. Once a day of one-off texts (a duplicate-name count
// per saved card) had filled its cache, the statements of a window opened after them were
// compiled again at every page and every post.
void TestDataset::statementsOfLateWindowsStayCompiled()
{
    Fixture fx;
    kdb::Store& store = fx.db->store();
    for (int i = 0; i < 400; ++i)
        store.select(QStringLiteral("SELECT %1 AS one_off").arg(i), {})->next();
    const QString late = QStringLiteral("SELECT NameF FROM reserv WHERE Keyr = ?");
    const quint64 before = store.statementsCompiled();
    for (int i = 0; i < 20; ++i) {
        auto c = store.select(late, {1});
        QVERIFY(c->next());
    }
    QCOMPARE(store.statementsCompiled() - before, quint64(1));
    // A statement still running keeps its place: a nested use compiles a private copy.
    auto outer = store.select(late, {1});
    auto inner = store.select(late, {2});
    QVERIFY(outer->next() && inner->next());
    QCOMPARE(outer->value(0).toString(), QStringLiteral("Жуков"));
    QCOMPARE(inner->value(0).toString(), QStringLiteral("иванов"));
}

void TestDataset::lookupAndLookupFields()
{
    Fixture fx;
    auto reserv = fx.table(QStringLiteral("reserv.db"));
    KVERIFY(reserv->open());
    QCOMPARE(reserv->lookup(QStringLiteral("Keyr"), {3}, QStringLiteral("NameF")).toString(),
             QStringLiteral("Абрамов"));
    QVERIFY(reserv->lookup(QStringLiteral("Keyr"), {99}, QStringLiteral("NameF")).isNull());

    auto lang = fx.table(QStringLiteral("lang.db"), {}, QStringLiteral("Name"));
    KVERIFY(lang->open());
    auto reclang = fx.table(QStringLiteral("RECLANG.DB"));
    reclang->addLookupField(QStringLiteral("nlang"), QStringLiteral("Lang"), lang.get(),
                            QStringLiteral("Keyn"), QStringLiteral("Name"), 90);
    KVERIFY(reclang->open());
    KVERIFY(reclang->insertRecord({QVariant(), 1, 2}));
    KVERIFY(reclang->insertRecord({QVariant(), 1, 42}));
    KVERIFY(reclang->insertRecord({QVariant(), 1}));
    reclang->first();
    Field& nlang = reclang->fieldByName(QStringLiteral("NLANG"));
    QCOMPARE(nlang.asString(), QStringLiteral("английский"));
    QCOMPARE(reclang->displayTextAt(1, nlang.index()), QString());
    QCOMPARE(reclang->displayTextAt(2, nlang.index()), QString());
    KEXPECT_ERROR(nlang.setValue(QStringLiteral("x")), Error::Code::ReadOnly);
    // A renamed language shows at once.
    QVERIFY(lang->locate(QStringLiteral("Keyn"), {2}));
    KVERIFY(lang->edit());
    KVERIFY(lang->fieldByName(QStringLiteral("Name")).setValue(QStringLiteral("Английский")));
    KVERIFY(lang->post());
    QCOMPARE(nlang.asString(), QStringLiteral("Английский"));

    // Closed and opened again, as a card's details are for every card shown: the new lookup
    // field follows the list, and nothing left from the first open runs on its deleted field.
    auto rename = [&](const QString& name) {
        QVERIFY(lang->locate(QStringLiteral("Keyn"), {2}));
        KVERIFY(lang->edit());
        KVERIFY(lang->fieldByName(QStringLiteral("Name")).setValue(name));
        KVERIFY(lang->post());
    };
    reclang->close();
    rename(QStringLiteral("Английский язык"));
    for (int round = 0; round < 2; ++round) {
        KVERIFY(reclang->open());
        reclang->first();
        Field& again = reclang->fieldByName(QStringLiteral("NLANG"));
        QCOMPARE(again.asString(), QStringLiteral("Английский язык"));
        rename(QStringLiteral("английский"));
        QCOMPARE(again.asString(), QStringLiteral("английский"));
        rename(QStringLiteral("Английский язык"));
        reclang->close();
    }
}

// --- queries ----------------------------------------------------------------------------------

void TestDataset::queryLinesParamsAndFilter()
{
    Fixture fx;
    Query q;
    q.setDatabase(fx.db.get());
    q.setSql(QStringList{
        QStringLiteral("select keyr, (namef+\" \"+namei+\" \"+nameo) as fio, arch"),
        QStringLiteral("from \"reserv.db\""), QString(), QStringLiteral("order by fio")});
    q.sql()[2] = QStringLiteral("where arch=:a");
    q.setParam(QStringLiteral("a"), 0);
    KVERIFY(q.open());
    QCOMPARE(q.recordCount(), 4);
    QCOMPARE(q.fieldByName(QStringLiteral("fio")).asString(),
             QStringLiteral("Борисов Анна Сергеевна"));
    q.last();
    QCOMPARE(q.fieldByName(QStringLiteral("FIO")).asString(), QStringLiteral("иванов Иван "));
    KEXPECT_ERROR(q.edit(), Error::Code::ReadOnly);

    q.setFiltered(true);
    KVERIFY(q.setFilter(QStringLiteral("keyr=4")));
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.fieldByName(QStringLiteral("fio")).asString(), QStringLiteral("ёлкин Семён Ильич"));
    q.close();

    q.sql()[2] = QStringLiteral("where arch=:a and keyr>:k");
    q.setParam(QStringLiteral("k"), 3);
    q.setFilter(QString());
    KVERIFY(q.open());
    QCOMPARE(q.recordCount(), 2);
    q.close();

    Query del;
    del.setDatabase(fx.db.get());
    del.setSql(QStringList{QStringLiteral("delete from \"reserv.db\""),
                           QStringLiteral("where (arch=:a)")});
    del.setParam(QStringLiteral("a"), 1);
    int removed = 0;
    KVERIFY(removed = del.execSql());
    QCOMPARE(removed, 1);
}

// A typed name reaches the store as one value, whether bound as a query parameter or written
// into a query line or a filter with textLiteral: quotes, percent signs, Cyrillic and empty
// text find exactly their rows, and a crafted text never rewrites the condition.
void TestDataset::typedTextsReachTheStoreAsValues_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("found");
    QTest::addRow("apostrophe") << "Д'Артаньян" << QStringList{"Д'Артаньян"};
    QTest::addRow("latin apostrophe") << "O'Neil" << QStringList{"O'Neil"};
    QTest::addRow("two quotes in a row") << "Д''Артаньян" << QStringList{};
    QTest::addRow("double quote") << "\"Рога\"" << QStringList{"\"Рога\""};
    QTest::addRow("percent sign") << "100%" << QStringList{"100%"};
    QTest::addRow("underscore") << "1_0" << QStringList{};
    QTest::addRow("cyrillic with yo") << "ёлкин" << QStringList{"ёлкин"};
    QTest::addRow("empty text") << "" << QStringList{""};
    QTest::addRow("crafted condition") << "x' or '1'='1" << QStringList{};
    QTest::addRow("crafted comment") << "x' --" << QStringList{};
}

void TestDataset::typedTextsReachTheStoreAsValues()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, found);
    Fixture fx;
    for (const char* name : {"Д'Артаньян", "O'Neil", "\"Рога\"", "100%", "1000", "100", "110", ""})
        fx.db->executeStoreSql(QStringLiteral("INSERT INTO reserv (NameF, Arch) VALUES (?, 0)"),
                               {QString::fromUtf8(name)});

    Query bound;
    bound.setDatabase(fx.db.get());
    bound.setSql(QStringLiteral("select namef from \"reserv.db\" where namef=:f order by keyr"));
    bound.setParam(QStringLiteral("f"), typed);
    KVERIFY(bound.open());
    QCOMPARE(fx.surnames(bound), found);

    Query pasted;
    pasted.setDatabase(fx.db.get());
    pasted.setSql(QStringLiteral("select namef from \"reserv.db\" where namef=") +
                  kdb::textLiteral(typed) + QStringLiteral(" order by keyr"));
    KVERIFY(pasted.open());
    QCOMPARE(fx.surnames(pasted), found);

    auto filtered = fx.table(QStringLiteral("reserv.db"));
    filtered->setFiltered(true);
    KVERIFY(filtered->setFilter(QStringLiteral("NameF=") + kdb::textLiteral(typed)));
    KVERIFY(filtered->open());
    QCOMPARE(fx.surnames(*filtered), found);
}

// Dates are bound as the store keeps them; a value of a kind a query cannot take is refused
// when it is set, not turned into something that matches nothing.
void TestDataset::dateAndOtherParameters()
{
    Fixture fx;
    Query q;
    q.setDatabase(fx.db.get());
    q.setSql(QStringLiteral("select namef from \"reserv.db\" where datbd>=:d and mf=:m "
                            "order by namef"));
    q.setParam(QStringLiteral(":D"), QDate(1980, 1, 1));
    q.setParam(QStringLiteral("m"), true);
    KVERIFY(q.open());
    QCOMPARE(fx.surnames(q), QStringList{QStringLiteral("иванов")});
    q.close();
    q.setParam(QStringLiteral("d"), QVariant());
    KVERIFY(q.open());
    QCOMPARE(q.recordCount(), 0);
    q.close();

    KEXPECT_ERROR(q.setParam(QStringLiteral("d"), QDate(1980, 2, 31)), Error::Code::Syntax);
    KEXPECT_ERROR(q.setParam(QStringLiteral("d"), QStringList{QStringLiteral("1")}),
                  Error::Code::General);

    // The admin tool's typed values: numbers stay numbers, dates become dates.
    QCOMPARE(Query::paramFromText(QStringLiteral("42")), QVariant(qint64(42)));
    QCOMPARE(Query::paramFromText(QStringLiteral("-7")), QVariant(qint64(-7)));
    QCOMPARE(Query::paramFromText(QStringLiteral("15.03.1985")), QVariant(QDate(1985, 3, 15)));
    QCOMPARE(Query::paramFromText(QStringLiteral("Д'Артаньян")),
             QVariant(QStringLiteral("Д'Артаньян")));
    QCOMPARE(Query::paramFromText(QString()), QVariant(QString()));
    QCOMPARE(Query::paramFromText(QStringLiteral("4.2")), QVariant(QStringLiteral("4.2")));
    KEXPECT_ERROR(Query::paramFromText(QStringLiteral("31.02.1980")), Error::Code::Syntax);
}

void TestDataset::queryResultTypes()
{
    Fixture fx;
    Query q;
    q.setDatabase(fx.db.get());
    q.setSql(QStringLiteral("select r.keyr, r.datbd, r.mf, min(r.datbd) as mn, count(*) as sm "
                            "from \"reserv.db\" r where r.keyr=2 group by r.keyr, r.datbd, r.mf"));
    KVERIFY(q.open());
    QCOMPARE(q.fieldByName(QStringLiteral("keyr")).value(), QVariant(2));
    QCOMPARE(q.fieldByName(QStringLiteral("datbd")).value(), QVariant(QDate(1985, 3, 15)));
    QCOMPARE(q.fieldByName(QStringLiteral("mf")).value(), QVariant(true));
    QCOMPARE(q.fieldByName(QStringLiteral("mn")).value(), QVariant(QDate(1985, 3, 15)));
    QCOMPARE(q.fieldByName(QStringLiteral("sm")).asInt(), 1);

    Query join;
    join.setDatabase(fx.db.get());
    join.setSql(QStringLiteral("select s.*, r.keyr from zvrecr.db s, \"reserv.db\" r where "
                               "r.keyr=s.Tabno"));
    fx.db->executeStoreSql(QStringLiteral("INSERT INTO zvrecr VALUES (7, 2)"));
    KVERIFY(join.open());
    QCOMPARE(join.fieldNames(), (QStringList{QStringLiteral("Zayav"), QStringLiteral("Tabno"),
                                             QStringLiteral("Keyr")}));
    QCOMPARE(join.fieldByName(QStringLiteral("zayav")).asInt(), 7);
}

void TestDataset::queryErrors()
{
    Fixture fx;
    Query q;
    q.setDatabase(fx.db.get());
    q.setSql(QStringLiteral("select firm from zayav.db where firm=:f"));
    KEXPECT_ERROR(q.open(), Error::Code::NotFound);
    q.setSql(QStringLiteral("select keyr from reserv.db where keyr=:f"));
    KEXPECT_ERROR(q.open(), Error::Code::General); // :f not given
    q.setSql(QStringLiteral("select keyr from reserv.db where"));
    KEXPECT_ERROR(q.open(), Error::Code::Syntax);
    q.setSql(QStringLiteral("select nosuchfield from reserv.db"));
    KEXPECT_ERROR(q.open(), Error::Code::NotFound);
    QCOMPARE(q.state(), Dataset::State::Inactive);
    q.setSql(QStringLiteral("select keyr from reserv.db"));
    KVERIFY(q.open());
    QCOMPARE(q.recordCount(), 5);
}

void TestDataset::largeAndSmallQueryResultsBehaveAlike_data()
{
    QTest::addColumn<int>("extraRows");
    QTest::addRow("kept in memory") << 10;
    QTest::addRow("stored in the store") << Query::memoryRowLimit + 200;
}

void TestDataset::largeAndSmallQueryResultsBehaveAlike()
{
    QFETCH(int, extraRows);
    Fixture fx;
    {
        Database::Transaction tx(*fx.db);
        for (int i = 0; i < extraRows; ++i)
            fx.db->executeStoreSql(QStringLiteral("INSERT INTO lang (Name) VALUES (?)"),
                                   {QStringLiteral("Язык %1").arg(i, 5, 10, QLatin1Char('0'))});
        tx.commit();
    }
    const int total = extraRows + 3;
    Query q;
    q.setDatabase(fx.db.get());
    q.setSql(QStringList{QStringLiteral("select keyn, name from lang.db"),
                         QStringLiteral("order by name")});
    KVERIFY(q.open());
    QCOMPARE(q.recordCount(), total);
    QCOMPARE(q.fieldByName(QStringLiteral("name")).asString(), QStringLiteral("английский"));
    q.last();
    QCOMPARE(q.fieldByName(QStringLiteral("name")).asString(),
             QStringLiteral("Язык %1").arg(extraRows - 1, 5, 10, QLatin1Char('0')));
    QCOMPARE(q.valueAt(1, 1).toString(), QStringLiteral("Немецкий"));
    // A locate, a lookup and a filter all see the same rows in the same order.
    QVERIFY(q.locate(QStringLiteral("name"), {QStringLiteral("фРАНЦ")},
                     Dataset::CaseInsensitive | Dataset::PartialKey));
    QCOMPARE(q.recNo(), 2);
    QCOMPARE(q.lookup(QStringLiteral("keyn"), {1}, QStringLiteral("name")).toString(),
             QStringLiteral("Немецкий"));
    q.setFiltered(true);
    KVERIFY(q.setFilter(QStringLiteral("keyn>3")));
    QCOMPARE(q.recordCount(), extraRows);
    QCOMPARE(q.fieldByName(QStringLiteral("name")).asString(), QStringLiteral("Язык 00000"));
    KVERIFY(q.setFilter(QString()));
    QCOMPARE(q.recordCount(), total);
    q.close();
    q.setFilter(QStringLiteral("keyn<3"));
    KVERIFY(q.open()); // a filter set before opening applies at once
    QCOMPARE(q.recordCount(), 2);
}

// --- cached updates ---------------------------------------------------------------------------

void TestDataset::cachedDeletesApplyTogether()
{
    Fixture fx;
    fx.db->executeStoreSql(
        QStringLiteral("INSERT INTO reclang (Tabno, Lang) VALUES (2,1),(2,2),(3,1)"));
    fx.db->executeStoreSql(QStringLiteral("INSERT INTO zvrecr VALUES (1,2),(5,2),(5,3)"));
    auto rl = fx.table(QStringLiteral("reclang.db"));
    auto zv = fx.table(QStringLiteral("zvrecr.db"));
    rl->setFiltered(true);
    zv->setFiltered(true);
    rl->setFilter(QStringLiteral("TabNo=2"));
    zv->setFilter(QStringLiteral("tabno=2"));
    rl->setCachedUpdates(true);
    zv->setCachedUpdates(true);
    KVERIFY(rl->open());
    KVERIFY(zv->open());
    for (Dataset* ds : {static_cast<Dataset*>(rl.get()), static_cast<Dataset*>(zv.get())})
        while (!ds->eof() && !ds->isEmpty())
            KVERIFY(ds->remove());
    QVERIFY(rl->isEmpty());
    QVERIFY(zv->isEmpty());
    QVERIFY(rl->updatesPending());
    // Nothing is written before the apply.
    auto other = fx.store.open();
    QCOMPARE(Table::opened(*other, QStringLiteral("reclang.db"))->recordCount(), 3);
    KVERIFY(fx.db->applyUpdates({rl.get(), zv.get()}));
    QVERIFY(!rl->updatesPending());
    QCOMPARE(Table::opened(*other, QStringLiteral("reclang.db"))->recordCount(), 1);
    QCOMPARE(Table::opened(*other, QStringLiteral("zvrecr.db"))->recordCount(), 1);
}

void TestDataset::cachedDeletesFailureWritesNothing()
{
    Fixture fx;
    fx.db->executeStoreSql(QStringLiteral("INSERT INTO reclang (Tabno, Lang) VALUES (2,1),(2,2)"));
    fx.db->executeStoreSql(QStringLiteral("INSERT INTO zvrecr VALUES (1,2)"));
    auto rl = fx.table(QStringLiteral("reclang.db"));
    auto zv = fx.table(QStringLiteral("zvrecr.db"));
    for (Table* t : {rl.get(), zv.get()}) {
        t->setCachedUpdates(true);
        KVERIFY(t->open());
        while (!t->isEmpty())
            KVERIFY(t->remove());
    }
    // The second table fails after the first one's deletions were written.
    fx.db->applyHook = [&](Dataset& ds) {
        if (&ds == zv.get())
            throw Error(Error::Code::Io, QStringLiteral("сбой записи"));
    };
    KEXPECT_ERROR(fx.db->applyUpdates({rl.get(), zv.get()}), Error::Code::Io);
    fx.db->applyHook = nullptr;
    QVERIFY(!rl->updatesPending());
    QCOMPARE(rl->recordCount(), 2);
    QCOMPARE(zv->recordCount(), 1);
    auto other = fx.store.open();
    QCOMPARE(Table::opened(*other, QStringLiteral("reclang.db"))->recordCount(), 2);

    // A row locked by another user makes the whole apply fail the same way.
    auto otherRl = Table::opened(*other, QStringLiteral("reclang.db"));
    KVERIFY(otherRl->edit());
    rl->remove();
    KEXPECT_ERROR(fx.db->applyUpdates({rl.get()}), Error::Code::RecordLocked);
    QCOMPARE(rl->recordCount(), 2);
    otherRl->cancel();
    rl->remove();
    KVERIFY(fx.db->applyUpdates({rl.get()}));
    QCOMPARE(rl->recordCount(), 1);
}

void TestDataset::nestedTransactionRollsBackEverything()
{
    Fixture fx;
    auto reserv = fx.table(QStringLiteral("reserv.db"));
    auto rl = fx.table(QStringLiteral("reclang.db"));
    fx.db->executeStoreSql(QStringLiteral("INSERT INTO reclang (Tabno, Lang) VALUES (1,1)"));
    KVERIFY(reserv->open());
    rl->setCachedUpdates(true);
    KVERIFY(rl->open());
    KVERIFY(rl->remove());
    {
        Database::Transaction tx(*fx.db);
        KVERIFY(fx.db->applyUpdates({rl.get()}));
        KVERIFY(reserv->remove());
        // no commit: the candidate and its languages come back together
    }
    KVERIFY(reserv->refresh());
    KVERIFY(rl->refresh());
    QCOMPARE(reserv->recordCount(), 5);
    QCOMPARE(rl->recordCount(), 1);
    {
        Database::Transaction tx(*fx.db);
        KVERIFY(rl->remove());
        KVERIFY(fx.db->applyUpdates({rl.get()}));
        KVERIFY(reserv->remove());
        tx.commit();
    }
    auto other = fx.store.open();
    QCOMPARE(Table::opened(*other, QStringLiteral("reserv.db"))->recordCount(), 4);
    QCOMPARE(Table::opened(*other, QStringLiteral("reclang.db"))->recordCount(), 0);
}

// --- errors -----------------------------------------------------------------------------------

void TestDataset::openErrors()
{
    Fixture fx;
    auto missing = fx.table(QStringLiteral("NOSUCH.DB"));
    try {
        missing->open();
        QFAIL("an unknown table opened");
    } catch (const Error& e) {
        QCOMPARE(int(e.code()), int(Error::Code::NotFound));
        QVERIFY2(e.message().contains(QStringLiteral("NOSUCH.DB")), qPrintable(e.message()));
    }
    auto badIndex = fx.table(QStringLiteral("reserv.db"), QStringLiteral("idat"));
    KEXPECT_ERROR(badIndex->open(), Error::Code::NotFound);
    auto badOrder = fx.table(QStringLiteral("reserv.db"), {}, QStringLiteral("Surname"));
    KEXPECT_ERROR(badOrder->open(), Error::Code::NotFound);
    auto declared = fx.table(QStringLiteral("reserv.db"));
    declared->declareFields({QStringLiteral("Keyr"), QStringLiteral("Nope")});
    KEXPECT_ERROR(declared->open(), Error::Code::NotFound);

    QTemporaryDir dir;
    KEXPECT_ERROR(Database::forFolder(dir.filePath(QStringLiteral("absent")))->open(),
                  Error::Code::NotFound);
    KEXPECT_ERROR(Database::forFolder(dir.path())->open(), Error::Code::NotFound);

    QFile garbage(QDir(dir.path()).filePath(Database::storeFileName()));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(8192, 'x'));
    garbage.close();
    KEXPECT_ERROR(Database::forFolder(dir.path())->open(), Error::Code::Corrupt);

    // A read-only folder is refused with its own message, and nothing is changed in it.
    QTemporaryDir roDir;
    Database::createStore(roDir.path(), QStringLiteral("CREATE TABLE t (a INTEGER);"));
    QFile::setPermissions(roDir.path(),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    KEXPECT_ERROR(Database::forFolder(roDir.path())->open(), Error::Code::ReadOnly);
    QFile::setPermissions(roDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    KEXPECT_ERROR(Database::createStore(roDir.path(), QString()), Error::Code::General);
}

void TestDataset::networkFolderIsRefused_data()
{
    QTest::addColumn<qint64>("type");
    QTest::addColumn<bool>("refused");
    QTest::addRow("NFS") << qint64(0x6969) << true;
    QTest::addRow("SMB") << qint64(0x517B) << true;
    QTest::addRow("CIFS") << qint64(0xFF534D42) << true;
    QTest::addRow("SMB2") << qint64(0xFE534D42) << true;
    QTest::addRow("9P, a shared folder of a virtual machine") << qint64(0x01021997) << true;
    QTest::addRow("ext4") << qint64(0xEF53) << false;
    QTest::addRow("tmpfs") << qint64(0x01021994) << false;
    QTest::addRow("unknown") << qint64(0) << false;
}

void TestDataset::networkFolderIsRefused()
{
    QFETCH(qint64, type);
    QFETCH(bool, refused);
    if (kadroltest::onServer())
        QSKIP("the embedded store's own check");
    TempStore store(QString::fromUtf8(kSchema), TempStore::Kind::Embedded);
    QTemporaryDir fresh;
    FakeFileSystem fake(type);
    if (!refused) {
        KVERIFY(store.open());
        KVERIFY(Database::createStore(fresh.path(), QString::fromUtf8(kSchema)));
        return;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            if (attempt == 0)
                store.open();
            else
                Database::createStore(fresh.path(), QString::fromUtf8(kSchema));
            QFAIL("a Data folder on a network file system was used");
        } catch (const Error& e) {
            QCOMPARE(int(e.code()), int(Error::Code::ReadOnly));
            QVERIFY2(e.message().contains(QStringLiteral("сетевом диске")),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("PostgreSQL")), qPrintable(e.message()));
        }
    }
    // Nothing was created in the fresh folder.
    QVERIFY(QDir(fresh.path()).isEmpty());
}

// A store file cut off before its first write (zero bytes) or before its tables is reported as
// empty, and opening it writes nothing into it.
void TestDataset::brokenStoreFilesAreLeftAlone_data()
{
    QTest::addColumn<QString>("content");
    QTest::addRow("zero bytes") << "";
    QTest::addRow("a store without tables") << "no tables";
}

void TestDataset::brokenStoreFilesAreLeftAlone()
{
    QFETCH(QString, content);
    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath(Database::storeFileName());
    if (content.isEmpty()) {
        QFile empty(file);
        QVERIFY(empty.open(QIODevice::WriteOnly));
    } else {
        Database::createStore(dir.path(), QStringLiteral("CREATE TABLE t (a INTEGER);"));
        auto db = Database::forFolder(dir.path());
        KVERIFY(db->open());
        KVERIFY(db->executeStoreSql(QStringLiteral("DROP TABLE t")));
        KVERIFY(db->flush());
    }
    QFile before(file);
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray bytes = before.readAll();
    before.close();
    try {
        Database::forFolder(dir.path())->open();
        QFAIL("an empty store was opened");
    } catch (const Error& e) {
        QCOMPARE(int(e.code()), int(Error::Code::Corrupt));
        QVERIFY2(e.message().contains(QStringLiteral("пуст")), qPrintable(e.message()));
    }
    QFile after(file);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), bytes);
    QVERIFY(!QFileInfo::exists(file + QStringLiteral("-wal")) ||
            QFileInfo(file + QStringLiteral("-wal")).size() == 0);
}

// A broken constraint says which one: a repeated key, a required field left empty, a value the
// table's condition refuses; each names the table and the field.
void TestDataset::constraintMessages_data()
{
    QTest::addColumn<QVariantList>("row");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("message");
    const int key = int(Error::Code::KeyViolation), rule = int(Error::Code::Constraint);
    QTest::addRow("a repeated key") << QVariantList{1, 2, 3} << key << ""
                                    << "Такая запись уже есть в таблице RULES.DB";
    QTest::addRow("a required field left empty")
        << QVariantList{QVariant(), 3, 3} << rule << "Zayav"
        << "Не заполнено обязательное поле «Zayav» таблицы RULES.DB";
    QTest::addRow("a required field that is no key")
        << QVariantList{1, 3, QVariant()} << rule << "Bal"
        << "Не заполнено обязательное поле «Bal»";
    QTest::addRow("a value the condition refuses")
        << QVariantList{1, 3, 9} << rule << "Bal"
        << "Значение поля «Bal» не допускается условием «Bal BETWEEN 0 AND 5» таблицы RULES.DB";
}

void TestDataset::constraintMessages()
{
    QFETCH(QVariantList, row);
    QFETCH(int, code);
    QFETCH(QString, field);
    QFETCH(QString, message);
    TempStore store(QStringLiteral(
        "CREATE TABLE rules (Zayav INTEGER NOT NULL, Tabno INTEGER NOT NULL, Bal SMALLINT NOT "
        "NULL CHECK (Bal BETWEEN 0 AND 5), PRIMARY KEY (Zayav, Tabno));"
        "INSERT INTO rules VALUES (1, 2, 0);"));
    auto db = store.open();
    Table t;
    t.setDatabase(db.get());
    t.setTableName(QStringLiteral("RULES.DB"));
    KVERIFY(t.open());
    try {
        t.insertRecord(row);
        QFAIL("the row was stored");
    } catch (const Error& e) {
        QCOMPARE(int(e.code()), code);
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        QVERIFY2(!e.message().contains(QStringLiteral("ключ")) ||
                     code == int(Error::Code::KeyViolation),
                 qPrintable(e.message()));
        QCOMPARE(e.table(), QStringLiteral("RULES.DB"));
        QCOMPARE(e.field(), field);
    }
    QCOMPARE(t.state(), Dataset::State::Browse);
    QCOMPARE(t.recordCount(), 1);
}

void TestDataset::closedDatasetNamesTheOperation_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("message");
    QTest::addRow("post") << "post"
                          << "Сохранение записи невозможно: набор данных";
    QTest::addRow("edit") << "edit"
                          << "Редактирование записи невозможно";
    QTest::addRow("append") << "append"
                            << "Добавление записи невозможно";
    QTest::addRow("delete") << "delete"
                            << "Удаление записи невозможно";
    QTest::addRow("move") << "next"
                          << "Перемещение по записям невозможно";
}

void TestDataset::closedDatasetNamesTheOperation()
{
    QFETCH(QString, operation);
    QFETCH(QString, message);
    Fixture fx;
    auto t = fx.table(QStringLiteral("reserv.db"));
    try {
        if (operation == QLatin1String("post"))
            t->post();
        else if (operation == QLatin1String("edit"))
            t->edit();
        else if (operation == QLatin1String("append"))
            t->append();
        else if (operation == QLatin1String("delete"))
            t->remove();
        else
            t->next();
        QFAIL("a closed dataset did it");
    } catch (const Error& e) {
        QCOMPARE(int(e.code()), int(Error::Code::State));
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        QVERIFY2(!e.message().contains(operation), qPrintable(e.message()));
    }
}

void TestDataset::displayTexts()
{
    Fixture fx;
    auto t = fx.table(QStringLiteral("reserv.db"), QStringLiteral("iname"));
    t->setDisplayValues(QStringLiteral("MF"), QStringLiteral("Да;Нет"));
    t->setDisplayFormat(QStringLiteral("Rate"), QStringLiteral("#.00"));
    KVERIFY(t->open());
    QVERIFY(t->locate(QStringLiteral("NameF"), {QStringLiteral("Борисов")}));
    QCOMPARE(t->fieldByName(QStringLiteral("MF")).displayText(), QStringLiteral("Нет"));
    QCOMPARE(t->fieldByName(QStringLiteral("DatBd")).displayText(), QStringLiteral("31.12.1990"));
    KVERIFY(t->edit());
    KVERIFY(t->fieldByName(QStringLiteral("Rate")).setValue(2.5));
    QCOMPARE(t->fieldByName(QStringLiteral("Rate")).displayText(), QStringLiteral("2,50"));
    t->cancel();
    // Settings survive a close and an open.
    t->close();
    KVERIFY(t->open());
    QCOMPARE(t->fieldByName(QStringLiteral("MF")).displayText(), QStringLiteral("Да"));
}

QTEST_GUILESS_MAIN(TestDataset)
#include "tst_dataset.moc"
