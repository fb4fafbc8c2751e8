// The shared data module on a fresh Data folder: every dataset with its table, connection, open
// state, order, filter flag, read-only state, fields, lookups and data source; the rules it runs
// by itself (new-candidate defaults, the detail insert rule, the currency guard and new-currency
// rate, the flush of the requests) with the messages the user sees; and the errors that end
// the start-up.
#include "datafolder.h"
#include "pdm.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

using kdb::Dataset;

namespace {

// A program folder in a temporary directory: a fresh Data folder that the alias "kadrol"
// points at for the run, the picture store, the current folder set to it (as when the program
// is started normally), and the data module on it.
class Fixture {
public:
    Fixture() : m_oldCurrent(QDir::currentPath())
    {
        if (!m_dir.isValid())
            qFatal("no temporary folder");
        dataDir = QDir(m_dir.path()).filePath(QString::fromLatin1(kadrol::dataFolderName));
        kadrol::createDataFolder(dataDir);
        kadrol::createPictureStore(m_dir.path());
        kdb::Session::global().addAlias(QStringLiteral("kadrol"), QStringLiteral("PARADOX"),
                                        dataDir);
        dm = std::make_unique<TDM>(m_dir.path());
        DM = dm.get();
        QDir::setCurrent(m_dir.path());
    }
    ~Fixture()
    {
        dm.reset();
        QDir::setCurrent(m_oldCurrent);
    }
    QString path() const { return m_dir.path(); }
    QString dataDir;
    std::unique_ptr<TDM> dm;

    // A candidate posted in the current base; its Keyr.
    int postCandidate(const QString& surname)
    {
        dm->Reserv.append();
        dm->Reserv.fieldByName(QStringLiteral("NameF")).setValue(surname);
        dm->Reserv.post();
        return dm->Reserv.fieldByName(QStringLiteral("Keyr")).asInt();
    }

private:
    QTemporaryDir m_dir;
    QString m_oldCurrent;
};

// Declares f and builds the fixture, failing the test with the engine's message if it throws.
#define FIXTURE(f)                                                                                 \
    std::unique_ptr<Fixture> f;                                                                    \
    KVERIFY(f = std::make_unique<Fixture>())

// Runs a step that the module's rules must let through: fails the test on an engine error or
// on a refusal (kdb::Abort), instead of ending the whole run with an unhandled exception.
#define KALLOWED(statement)                                                                        \
    do {                                                                                           \
        try {                                                                                      \
            KVERIFY(statement);                                                                    \
        } catch (const kdb::Abort&) {                                                              \
            QFAIL("refused by a rule: " #statement);                                               \
        }                                                                                          \
    } while (false)

// Records every message box shown while it lives (its text, its icon and what snapshot tells
// of the data at that moment) and answers it with "OK". The rules differ by the kind of box
// (information or plain), and one must undo its row before the box shows, hence more than
// the shared answerer keeps.
class BoxSpy : public QObject {
public:
    struct Box {
        QString text;
        QMessageBox::Icon icon;
        QString snapshot;
    };

    explicit BoxSpy(std::function<QString()> snapshot = {}) : m_snapshot(std::move(snapshot))
    {
        qApp->installEventFilter(this);
    }
    ~BoxSpy() override { qApp->removeEventFilter(this); }

    QList<Box> boxes;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (!box || event->type() != QEvent::Show)
            return false;
        boxes.append({box->text(), box->icon(), m_snapshot ? m_snapshot() : QString()});
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == QLatin1String("OK")) {
                QTimer::singleShot(0, b, &QAbstractButton::click);
                return false;
            }
        }
        QTimer::singleShot(0, box, &QDialog::reject); // not ours to answer: do not hang
        return false;
    }

private:
    std::function<QString()> m_snapshot;
};

QString stateName(const Dataset& ds)
{
    switch (ds.state()) {
    case Dataset::State::Inactive:
        return QStringLiteral("inactive");
    case Dataset::State::Browse:
        return QStringLiteral("browse");
    case Dataset::State::Edit:
        return QStringLiteral("edit");
    case Dataset::State::Insert:
        return QStringLiteral("insert");
    }
    return {};
}

// The values of one field over the dataset's rows, in its order.
QStringList column(Dataset& ds, const QString& field)
{
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds.fieldByName(field).asString();
    return out;
}

// Whether the store's data file alone, without the changes the store still holds in its
// write-ahead log, has a row of the table with that value: what a flush has written out.
bool inDataFile(const QString& dataDir, const QString& table, const QString& field,
                const QVariant& value)
{
    QTemporaryDir copy;
    const QString file = kdb::Database::storeFileName();
    if (!QFile::copy(QDir(dataDir).filePath(file), QDir(copy.path()).filePath(file)))
        qFatal("cannot copy the data file");
    auto db = kdb::Database::forFolder(copy.path());
    db->open();
    auto t = kdb::Table::opened(*db, table);
    return t->locate(field, {value});
}

} // namespace

class TestPdm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();

    void datasets_data();
    void datasets();
    void findByName();
    void order_data();
    void order();
    void declaredFields_data();
    void declaredFields();
    void dateMasks_data();
    void dateMasks();
    void booleanDisplay_data();
    void booleanDisplay();
    void lookups_data();
    void lookups();
    void programFolder_data();
    void programFolder();

    void newCandidateDefaults_data();
    void newCandidateDefaults();
    void newCandidateSetsNothingElse();
    void newCandidateJoinsTheListedBase_data();
    void newCandidateJoinsTheListedBase();
    void detailInsertRule_data();
    void detailInsertRule();
    void newCurrencyStartsAtRateOne();
    void currencyGuard_data();
    void currencyGuard();
    void requestsFlushedAfterPost_data();
    void requestsFlushedAfterPost();

    void constructorErrors_data();
    void constructorErrors();

private:
    QTemporaryDir m_aliasDir;
};

void TestPdm::initTestCase()
{
    // Aliases of the developer's own alias file must not leak into the run.
    qputenv("KADROL_ALIASES",
            QDir(m_aliasDir.path()).filePath(QStringLiteral("none.ini")).toUtf8());
    kdb::Session::global().reloadAliasFile();
}

// --- the datasets ----------------------------------------------------------------------------

void TestPdm::datasets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("via");
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("filtered");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("source");

    const struct {
        const char *name, *file, *via;
        bool open, filtered, readOnly;
        const char* source;
    } rows[] = {
        {"Reserv", "Reserv.DB", "KADROLR", true, true, false, "DSReserv"},
        {"recom", "RECOM.DB", "KADROLR", false, true, false, "DSrecom"},
        {"sobsd", "sobesed.db", "KADROLR", false, true, false, "DSsob"},
        {"black", "BLACK.DB", "KADROLR", true, true, false, "DSblack"},
        {"firm", "FIRM.DB", "KADROLR", true, true, false, "DSfirm"},
        {"zayav", "ZAYAV.DB", "KADROLR", true, true, false, "DSzayav"},
        {"Templ", "TEMPL.DB", "KADROLR", true, false, false, "DStempl"},
        {"Oblst", "OBLST.DB", "kadrol", true, true, false, "DSoblst"},
        {"naprv", "NAPRV.DB", "kadrol", true, true, false, "DSnaprv"},
        {"speclz", "SPECLZ.DB", "kadrol", true, true, false, "DSspeclz"},
        {"Tkatalog", "KATALOG.DB", "KADROLR", true, true, false, ""},
        {"region", "REGION.DB", "kadrol", true, true, false, "DSreg"},
        {"Lang", "LANG.DB", "kadrol", true, true, false, "DSlang"},
        {"reclang", "RECLANG.DB", "KADROLR", false, true, false, "DSreclang"},
        {"zvrecr", "ZVRECR.DB", "KADROLR", true, true, false, "DSzvrecr"},
        {"spnav", "SPNAV.DB", "kadrol", true, true, false, "DSspnav"},
        {"recnvk", "RESNAVK.DB", "KADROLR", false, true, false, "DSrnavk"},
        {"svkat", "SVKAT.DB", "KADROLR", false, true, false, "DSsvkat"},
        {"eprof", "EDPROFL.DB", "kadrol", true, true, false, "DSeprof"},
        {"ecpecl", "EDSPCLZ.DB", "kadrol", true, true, false, "DSespecl"},
        {"prfopt", "PROFOPT.DB", "KADROLR", false, true, false, "DSprfopt"},
        {"tipedu", "TIPEDCT.DB", "kadrol", true, true, false, "DStipedu"},
        {"eductn", "EDUCRES.DB", "KADROLR", false, true, false, "DSeductn"},
        {"steplang", "STEPLANG.DB", "kadrol", true, true, true, "DSsteplang"},
        {"sost", "SOST.DB", "kadrol", true, false, false, "DSsost"},
        {"sfera", "SFERA.DB", "kadrol", true, true, false, "DSsfera"},
        {"grp", "GRP.DB", "kadrol", true, true, false, "DSgrp"},
        {"knapr", "KNAPR.DB", "kadrol", true, true, false, "DSknapr"},
        {"tinfrm", "INFRM.DB", "kadrol", true, true, false, "DSinfrm"},
        {"pasprt", "PASPRT.DB", "kadrol", true, true, true, "DSpasprt"},
        {"marr", "MARR.DB", "kadrol", true, true, true, "DSmarr"},
        {"urovnvk", "UROVNVK.DB", "kadrol", true, true, true, ""},
        {"town", "town.db", "kadrol", true, true, false, "DStown"},
        {"zvnapr", "znaprk.DB", "KADROLR", false, true, false, "DSzvnapr"},
        {"zvzak", "ZAYAVZ.DB", "KADROLR", false, true, false, "DSzvzak"},
        {"Tpictr", "PICTR.DB", "", false, false, true, ""},
        {"Tvalut", "VALUT.DB", "kadrol", true, false, false, "DSQval"},
        {"cntry", "CNTRY.DB", "kadrol", true, true, false, "DScntry"},
    };
    for (const auto& r : rows)
        QTest::addRow("%s", r.name) << QString::fromLatin1(r.name) << QString::fromLatin1(r.file)
                                    << QString::fromLatin1(r.via) << r.open << r.filtered
                                    << r.readOnly << QString::fromLatin1(r.source);
}

void TestPdm::datasets()
{
    QFETCH(QString, name);
    QFETCH(QString, file);
    QFETCH(QString, via);
    QFETCH(bool, open);
    QFETCH(bool, filtered);
    QFETCH(bool, readOnly);
    QFETCH(QString, source);
    FIXTURE(f);
    TDM& dm = *f->dm;

    kdb::Table* t = dm.findDataset(name);
    QVERIFY(t);
    QCOMPARE(t->objectName(), name);
    QCOMPARE(t->tableName(), file);
    QCOMPARE(t->databaseName(), via);
    QCOMPARE(t->isOpen(), open);
    QCOMPARE(t->filtered(), filtered);
    QCOMPARE(t->readOnly(), readOnly);

    // A closed one opens when a window needs it, through the connection it names.
    if (!open)
        KVERIFY(t->open());
    if (via.isEmpty())
        QCOMPARE(t->database()->folder(), QDir(f->path()).canonicalPath());
    else
        QCOMPARE(t->database(), &dm.Dtb);
    if (readOnly)
        KEXPECT_ERROR(t->append(), kdb::Error::Code::ReadOnly);

    if (source.isEmpty()) {
        for (const QString& s : dm.dataSourceNames())
            QVERIFY2(dm.findDataSource(s)->dataset() != t, qPrintable(s));
    } else {
        widgets::DataSource* ds = dm.findDataSource(source);
        QVERIFY(ds);
        QCOMPARE(ds->objectName(), source);
        QCOMPARE(ds->dataset(), t);
    }
}

void TestPdm::findByName()
{
    FIXTURE(f);
    TDM& dm = *f->dm;
    QCOMPARE(dm.datasetNames().size(), 38);
    QCOMPARE(dm.dataSourceNames().size(), 35);
    QCOMPARE(dm.datasetNames().first(), QStringLiteral("Reserv"));
    QCOMPARE(dm.datasetNames().last(), QStringLiteral("cntry"));
    for (const QString& n : dm.datasetNames())
        QCOMPARE(dm.findDataset(n)->objectName(), n);
    QCOMPARE(dm.findDataset(QStringLiteral("RESERV")), &dm.Reserv);
    QCOMPARE(dm.findDataSource(QStringLiteral("dsqval")), &dm.DSQval);
    QVERIFY(!dm.findDataset(QStringLiteral("Reserv.DB")));
    QVERIFY(!dm.findDataset(QString()));
    QVERIFY(!dm.findDataSource(QStringLiteral("DSReserv2")));
}

void TestPdm::order_data()
{
    QTest::addColumn<QString>("dataset");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariantList>("inserted");
    QTest::addColumn<QStringList>("shown");

    const QVariantList names{QStringLiteral("Жуков"), QStringLiteral("абрамов"),
                             QStringLiteral("Борисов")};
    const QStringList byName{QStringLiteral("абрамов"), QStringLiteral("Борисов"),
                             QStringLiteral("Жуков")};
    const QStringList byKey{QStringLiteral("Жуков"), QStringLiteral("абрамов"),
                            QStringLiteral("Борисов")};
    const QVariantList dates{QDate(2010, 1, 1), QDate(2001, 5, 1), QDate(2005, 3, 1)};
    const QStringList byDate{QStringLiteral("01.05.2001"), QStringLiteral("01.03.2005"),
                             QStringLiteral("01.01.2010")};

    QTest::addRow("Reserv by index iname") << "Reserv"
                                           << "NameF" << names << byName;
    QTest::addRow("firm by index iname") << "firm"
                                         << "Name" << names << byName;
    QTest::addRow("prfopt by index idat") << "prfopt"
                                          << "From" << dates << byDate;
    QTest::addRow("eductn by index idat") << "eductn"
                                          << "DFrom" << dates << byDate;
    QTest::addRow("Lang by Name") << "Lang"
                                  << "Name" << names << byName;
    QTest::addRow("town by Name") << "town"
                                  << "Name" << names << byName;
    QTest::addRow("cntry by Name") << "cntry"
                                   << "Name" << names << byName;
    QTest::addRow("region by key") << "region"
                                   << "Name" << names << byKey;
    QTest::addRow("tipedu by key") << "tipedu"
                                   << "Name" << names << byKey;
    QTest::addRow("black by key") << "black"
                                  << "Namef" << names << byKey;
    QTest::addRow("zayav by key") << "zayav"
                                  << "Vakan" << names << byKey;
}

void TestPdm::order()
{
    QFETCH(QString, dataset);
    QFETCH(QString, field);
    QFETCH(QVariantList, inserted);
    QFETCH(QStringList, shown);
    FIXTURE(f);
    kdb::Table* t = f->dm->findDataset(dataset);
    QVERIFY(t);
    KVERIFY(t->open());
    for (const QVariant& v : inserted) {
        KALLOWED(t->append());
        KVERIFY(t->fieldByName(field).setValue(v));
        KVERIFY(t->post());
    }
    QCOMPARE(column(*t, field), shown);
}

void TestPdm::declaredFields_data()
{
    QTest::addColumn<QString>("dataset");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("head"); // the first fields
    QTest::addColumn<QStringList>("tail"); // the last fields, lookups among them

    const auto list = [](std::initializer_list<const char*> names) {
        QStringList out;
        for (const char* n : names)
            out << QString::fromLatin1(n);
        return out;
    };
    QTest::addRow("Reserv") << "Reserv" << 81 << list({"Keyr", "NameF", "NameI", "NameO"})
                            << list({"Grag2", "Cntryout", "Cvint", "Memint"});
    QTest::addRow("sobsd") << "sobsd" << 5 << list({"Keyf", "Nn", "Dat", "Who", "Res"})
                           << QStringList();
    QTest::addRow("black") << "black" << 17 << list({"Keyn", "Namef", "Namei"})
                           << list({"Nbas", "Note"});
    QTest::addRow("Templ") << "Templ" << 4 << list({"Keyn", "Tip", "Name", "Path"})
                           << QStringList();
    QTest::addRow("reclang") << "reclang" << 6 << list({"Keyn", "Tabno", "Lang", "Stlang"})
                             << list({"nlang", "nstlang"});
    QTest::addRow("recnvk") << "recnvk" << 6 << list({"Keyn", "Tabno", "NN", "Urov"})
                            << list({"nname", "nurov"});
    QTest::addRow("svkat") << "svkat" << 11 << list({"Keyn", "Tabno", "Sfr", "Grp", "Napr"})
                           << list({"Note", "nsfr", "ngrp", "nnapr", "nspec"});
    QTest::addRow("prfopt") << "prfopt" << 13 << list({"Keyn", "Tabno", "From", "To", "Stag"})
                            << list({"Napr", "Note", "nnapr", "noblst"});
    QTest::addRow("eductn") << "eductn" << 14 << list({"Keyn", "Tabno", "DFrom", "Dto", "Tipe"})
                            << list({"Note", "ntip", "nprofl", "nspeclz"});
    QTest::addRow("Tpictr") << "Tpictr" << 2 << list({"Pict", "Keyn"}) << QStringList();
    QTest::addRow("Tvalut") << "Tvalut" << 3 << list({"Keyn", "Name", "Rate"}) << QStringList();
    // The others offer every field of their table.
    QTest::addRow("firm, undeclared") << "firm" << 30 << list({"Keyn", "Name"}) << list({"Memf"});
    QTest::addRow("zayav, undeclared")
        << "zayav" << 27 << list({"Keyn", "Firm", "Dat"}) << list({"Prfnapr"});
}

void TestPdm::declaredFields()
{
    QFETCH(QString, dataset);
    QFETCH(int, count);
    QFETCH(QStringList, head);
    QFETCH(QStringList, tail);
    FIXTURE(f);
    kdb::Table* t = f->dm->findDataset(dataset);
    QVERIFY(t);
    KVERIFY(t->open());
    const QStringList names = t->fieldNames();
    QCOMPARE(names.size(), count);
    QCOMPARE(names.mid(0, head.size()), head);
    QCOMPARE(names.mid(names.size() - tail.size()), tail);
}

void TestPdm::dateMasks_data()
{
    QTest::addColumn<QString>("dataset");
    QTest::addColumn<QString>("field");
    QTest::addRow("sobsd Dat") << "sobsd"
                               << "Dat";
    QTest::addRow("prfopt From") << "prfopt"
                                 << "From";
    QTest::addRow("prfopt To") << "prfopt"
                               << "To";
    QTest::addRow("eductn DFrom") << "eductn"
                                  << "DFrom";
    QTest::addRow("eductn Dto") << "eductn"
                                << "Dto";
}

void TestPdm::dateMasks()
{
    QFETCH(QString, dataset);
    QFETCH(QString, field);
    FIXTURE(f);
    kdb::Table* t = f->dm->findDataset(dataset);
    QVERIFY(t);
    KVERIFY(t->open());
    QCOMPARE(t->fieldByName(field).editMask(), QStringLiteral("!99/99/9999;1;_"));
}

void TestPdm::booleanDisplay_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("trueText");
    QTest::addColumn<QString>("falseText");
    for (const char* f :
         {"Voen", "Stenogr", "Fax", "Copir", "Autopr", "Autom", "Ntrud", "Izobr", "Kur", "Koman",
          "Prov", "Wrknow", "Compens", "Prizuv", "Admin", "Sled", "Ugol", "Cvint"})
        QTest::addRow("%s", f) << QString::fromLatin1(f) << QStringLiteral("Да")
                               << QStringLiteral("Нет");
    // Sex and relocation abroad are shown by the card's own captions.
    QTest::addRow("MF, plain") << "MF"
                               << "True"
                               << "False";
    QTest::addRow("Cntryout, plain") << "Cntryout"
                                     << "True"
                                     << "False";
}

void TestPdm::booleanDisplay()
{
    QFETCH(QString, field);
    QFETCH(QString, trueText);
    QFETCH(QString, falseText);
    FIXTURE(f);
    kdb::Table& r = f->dm->Reserv;
    KALLOWED(r.append());
    kdb::Field& b = r.fieldByName(field);
    b.setValue(true);
    QCOMPARE(b.displayText(), trueText);
    b.setValue(false);
    QCOMPARE(b.displayText(), falseText);
    b.clear();
    QCOMPARE(b.displayText(), QString());
    r.cancel();
}

void TestPdm::lookups_data()
{
    QTest::addColumn<QString>("dataset");
    QTest::addColumn<QString>("lookup");
    QTest::addColumn<QString>("keyField");
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("shippedKey"); // 0: a row is added to the list for the test
    QTest::addColumn<QString>("shippedName");

    QTest::addRow("reclang nlang") << "reclang"
                                   << "nlang"
                                   << "Lang"
                                   << "Lang" << 90 << 0 << "";
    QTest::addRow("reclang nstlang, fixed list") << "reclang"
                                                 << "nstlang"
                                                 << "Stlang"
                                                 << "steplang" << 50 << 5 << "Свободный";
    QTest::addRow("recnvk nname") << "recnvk"
                                  << "nname"
                                  << "NN"
                                  << "spnav" << 90 << 0 << "";
    QTest::addRow("recnvk nurov, fixed list") << "recnvk"
                                              << "nurov"
                                              << "Urov"
                                              << "urovnvk" << 90 << 4 << "Профессиональный";
    QTest::addRow("svkat nsfr") << "svkat"
                                << "nsfr"
                                << "Sfr"
                                << "sfera" << 100 << 0 << "";
    QTest::addRow("svkat ngrp") << "svkat"
                                << "ngrp"
                                << "Grp"
                                << "grp" << 100 << 0 << "";
    QTest::addRow("svkat nnapr") << "svkat"
                                 << "nnapr"
                                 << "Napr"
                                 << "knapr" << 100 << 0 << "";
    QTest::addRow("svkat nspec") << "svkat"
                                 << "nspec"
                                 << "Spec"
                                 << "speclz" << 100 << 0 << "";
    QTest::addRow("prfopt nnapr") << "prfopt"
                                  << "nnapr"
                                  << "Napr"
                                  << "naprv" << 90 << 0 << "";
    QTest::addRow("prfopt noblst") << "prfopt"
                                   << "noblst"
                                   << "Oblst"
                                   << "Oblst" << 90 << 0 << "";
    QTest::addRow("eductn ntip") << "eductn"
                                 << "ntip"
                                 << "Tipe"
                                 << "tipedu" << 100 << 0 << "";
    QTest::addRow("eductn nprofl") << "eductn"
                                   << "nprofl"
                                   << "Profl"
                                   << "eprof" << 100 << 0 << "";
    QTest::addRow("eductn nspeclz") << "eductn"
                                    << "nspeclz"
                                    << "Specl"
                                    << "ecpecl" << 100 << 0 << "";
}

void TestPdm::lookups()
{
    QFETCH(QString, dataset);
    QFETCH(QString, lookup);
    QFETCH(QString, keyField);
    QFETCH(QString, list);
    QFETCH(int, size);
    QFETCH(int, shippedKey);
    QFETCH(QString, shippedName);
    FIXTURE(f);
    TDM& dm = *f->dm;
    kdb::Table* names = dm.findDataset(list);
    kdb::Table* t = dm.findDataset(dataset);
    QVERIFY(names && t);

    int key = shippedKey;
    QString name = shippedName;
    if (key == 0) {
        // Two rows, so that a lookup that ignores the key cannot pass.
        name = QStringLiteral("Второе имя");
        for (const QString& n : {QStringLiteral("Первое имя"), name}) {
            KALLOWED(names->append());
            names->fieldByName(QStringLiteral("Name")).setValue(n);
            KVERIFY(names->post());
        }
        key = names->fieldByName(QStringLiteral("Keyn")).asInt();
    }

    KALLOWED(f->postCandidate(QStringLiteral("Иванов")));
    KVERIFY(t->open());
    kdb::Field& l = t->fieldByName(lookup);
    QCOMPARE(int(l.kind()), int(kdb::Field::Kind::Lookup));
    QCOMPARE(l.size(), size);
    QCOMPARE(l.lookupDataset(), names);

    KALLOWED(t->append());
    QCOMPARE(l.displayText(), QString()); // an empty key
    t->fieldByName(keyField).setValue(key);
    QCOMPARE(l.displayText(), name);
    t->fieldByName(keyField).setValue(999);
    QVERIFY(l.isNull()); // no row of the list has that key
    t->fieldByName(keyField).setValue(key);
    KVERIFY(t->post());
    QCOMPARE(l.displayText(), name); // the stored row shows it too
}

void TestPdm::programFolder_data()
{
    QTest::addColumn<QString>("given"); // below the temporary folder
    QTest::addColumn<QString>("expected");
    QTest::addRow("Cyrillic letters") << "Кадролог ёж"
                                      << "КАДРОЛОГ ЁЖ";
    QTest::addRow("trailing separator") << "kadrol/"
                                        << "KADROL";
    QTest::addRow("dots") << "a/./b/../kadrol"
                          << "A/KADROL";
}

void TestPdm::programFolder()
{
    QFETCH(QString, given);
    QFETCH(QString, expected);
    FIXTURE(f);
    const QString base = QDir::toNativeSeparators(f->path());
    f->dm.reset();
    {
        TDM dm(f->path() + QLatin1Char('/') + given);
        QCOMPARE(dm.ProgramFolder, base.toUpper() + QDir::separator() + expected);
        QCOMPARE(dm.programDir().toUpper(), dm.ProgramFolder);
        QVERIFY(dm.programDir().startsWith(base));
    }
    TDM fromProgram;
    QCOMPARE(fromProgram.ProgramFolder,
             QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toUpper());
}

// --- the rules -------------------------------------------------------------------------------

void TestPdm::newCandidateDefaults_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addRow("MF") << "MF" << QVariant(true);
    QTest::addRow("Arch") << "Arch" << QVariant(0);
    QTest::addRow("Datreg today") << "Datreg" << QVariant(QDate::currentDate());
    QTest::addRow("Valut") << "Valut" << QVariant(1);
    QTest::addRow("Comptr") << "Comptr" << QVariant(0);
    QTest::addRow("Twnout") << "Twnout" << QVariant(0);
    for (const char* f : {"Cntryout", "Ugol", "Admin", "Sled", "Autopr", "Autom", "Compens", "Kur",
                          "Copir", "Stenogr", "Ntrud", "Izobr", "Fax", "Wrknow", "Cvint"})
        QTest::addRow("%s", f) << QString::fromLatin1(f) << QVariant(false);
    QTest::addRow("Prov") << "Prov" << QVariant(true);
    QTest::addRow("Voen") << "Voen" << QVariant(true);
    QTest::addRow("Prizuv empty") << "Prizuv" << QVariant();
    QTest::addRow("Koman empty") << "Koman" << QVariant();
}

void TestPdm::newCandidateDefaults()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    FIXTURE(f);
    kdb::Table& r = f->dm->Reserv;
    KALLOWED(r.append());
    QCOMPARE(r.value(field), value);
    QVERIFY(!r.modified()); // a candidate left untouched may be cancelled without a question
    // The defaults are stored with the candidate.
    r.fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Сидоров"));
    KVERIFY(r.post());
    QCOMPARE(r.value(field), value);
}

void TestPdm::newCandidateSetsNothingElse()
{
    FIXTURE(f);
    kdb::Table& r = f->dm->Reserv;
    QSignalSpy changed(&r, &Dataset::fieldChanged);
    KALLOWED(r.append());
    QStringList set;
    for (const QList<QVariant>& args : changed)
        set << r.field(args.at(0).toInt()).name();
    const QStringList inOrder{"MF",       "Arch", "Datreg", "Valut", "Comptr",  "Twnout",
                              "Cntryout", "Ugol", "Admin",  "Sled",  "Autopr",  "Autom",
                              "Compens",  "Kur",  "Prov",   "Copir", "Stenogr", "Ntrud",
                              "Izobr",    "Fax",  "Wrknow", "Voen",  "Cvint"};
    QCOMPARE(set, inOrder);
    for (int i = 0; i < r.fieldCount(); ++i)
        if (!inOrder.contains(r.field(i).name()))
            QVERIFY2(r.field(i).isNull(), qPrintable(r.field(i).name()));
}

void TestPdm::newCandidateJoinsTheListedBase_data()
{
    QTest::addColumn<int>("base"); // -1: the list never told the module
    QTest::addColumn<int>("arch");
    QTest::addRow("list not shown yet") << -1 << 0;
    QTest::addRow("current base") << 0 << 0;
    QTest::addRow("archive base") << 1 << 1;
}

void TestPdm::newCandidateJoinsTheListedBase()
{
    QFETCH(int, base);
    QFETCH(int, arch);
    FIXTURE(f);
    TDM& dm = *f->dm;
    if (base >= 0) {
        dm.setCandidateBase(1 - base);
        dm.setCandidateBase(base);
    }
    QCOMPARE(dm.candidateBase(), arch);
    int keyr = 0;
    KALLOWED(keyr = f->postCandidate(QStringLiteral("Архипов")));
    // Read back through a fresh dataset: what the store holds.
    auto stored = kdb::Table::opened(dm.Dtb, QStringLiteral("RESERV.DB"));
    QVERIFY(stored->locate(QStringLiteral("Keyr"), {keyr}));
    QCOMPARE(stored->value(QStringLiteral("Arch")), QVariant(arch));
}

void TestPdm::detailInsertRule_data()
{
    QTest::addColumn<QString>("dataset");
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("rule");
    QTest::addColumn<QString>("candidate"); // what the card does with the candidate

    const struct {
        const char *dataset, *link;
        bool rule;
    } details[] = {{"recom", "TabNo", true},  {"sobsd", "Nn", true},     {"reclang", "Tabno", true},
                   {"recnvk", "Tabno", true}, {"prfopt", "Tabno", true}, {"eductn", "Tabno", true},
                   {"svkat", "Tabno", false}};
    for (const auto& d : details)
        for (const char* candidate : {"new, not saved", "saved, shown", "saved, being edited"})
            QTest::addRow("%s, %s candidate", d.dataset, candidate)
                << QString::fromLatin1(d.dataset) << QString::fromLatin1(d.link) << d.rule
                << QString::fromLatin1(candidate);
}

void TestPdm::detailInsertRule()
{
    QFETCH(QString, dataset);
    QFETCH(QString, link);
    QFETCH(bool, rule);
    QFETCH(QString, candidate);
    FIXTURE(f);
    TDM& dm = *f->dm;
    int keyr = 0;
    KALLOWED(keyr = f->postCandidate(QStringLiteral("Петров")));
    // A detail row must take the current candidate's key, not the last one posted.
    KALLOWED(f->postCandidate(QStringLiteral("Другой")));
    QVERIFY(dm.Reserv.locate(QStringLiteral("Keyr"), {keyr}));
    kdb::Table* t = dm.findDataset(dataset);
    QVERIFY(t);
    // As the card shows a candidate's details.
    KVERIFY(t->setFilter(link + QStringLiteral("=") + QString::number(keyr)));
    KVERIFY(t->open());
    QCOMPARE(t->recordCount(), 0);

    const bool inserting = candidate.startsWith(QLatin1String("new"));
    const Dataset::State candidateState = inserting ? Dataset::State::Insert
                                          : candidate.endsWith(QLatin1String("edited"))
                                              ? Dataset::State::Edit
                                              : Dataset::State::Browse;
    if (inserting) {
        KALLOWED(dm.Reserv.append());
        dm.Reserv.fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Новиков"));
    } else if (candidateState == Dataset::State::Edit) {
        KALLOWED(dm.Reserv.edit());
        dm.Reserv.fieldByName(QStringLiteral("NameI")).setValue(QStringLiteral("Пётр"));
    }
    BoxSpy boxes([t]() { return stateName(*t); });
    if (rule && inserting) {
        QVERIFY_THROWS_EXCEPTION(kdb::Abort, t->append());
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].text, TDM::saveCandidateFirstText());
        QCOMPARE(boxes.boxes[0].icon, QMessageBox::Information);
        QCOMPARE(boxes.boxes[0].snapshot, QStringLiteral("browse")); // cancelled before it shows
        QCOMPARE(t->state(), Dataset::State::Browse);
        QCOMPARE(t->recordCount(), 0);
        // The candidate's own new row is still in progress and can be saved.
        QCOMPARE(dm.Reserv.state(), Dataset::State::Insert);
        QCOMPARE(dm.Reserv.value(QStringLiteral("NameF")).toString(), QStringLiteral("Новиков"));
        KVERIFY(dm.Reserv.post());
        QVERIFY(dm.Reserv.value(QStringLiteral("Keyr")).toInt() > keyr);
        return;
    }

    KALLOWED(t->append());
    QCOMPARE(boxes.boxes.size(), 0);
    QCOMPARE(t->state(), Dataset::State::Insert);
    QCOMPARE(dm.Reserv.state(), candidateState);
    // svkat's window fills Tabno itself.
    QCOMPARE(t->value(link), rule && !inserting ? QVariant(keyr) : QVariant());
    if (inserting) {
        t->cancel();
        return;
    }
    if (!rule)
        t->fieldByName(link).setValue(keyr);
    KVERIFY(t->post());
    KVERIFY(t->refresh());
    QCOMPARE(t->recordCount(), 1);
    QCOMPARE(t->value(link), QVariant(keyr));
}

void TestPdm::newCurrencyStartsAtRateOne()
{
    FIXTURE(f);
    kdb::Table& v = f->dm->Tvalut;
    QVERIFY(v.locate(QStringLiteral("Keyn"), {2}));
    QCOMPARE(v.fieldByName(QStringLiteral("Rate")).displayText(), QStringLiteral("90,50"));

    BoxSpy boxes;
    KALLOWED(v.append());
    QCOMPARE(v.value(QStringLiteral("Rate")), QVariant(1.0));
    QCOMPARE(v.fieldByName(QStringLiteral("Rate")).displayText(), QStringLiteral("1,00"));
    v.fieldByName(QStringLiteral("Name")).setValue(QStringLiteral("GBP"));
    KVERIFY(v.post());
    QCOMPARE(v.recordCount(), 4);
    QCOMPARE(v.value(QStringLiteral("Rate")), QVariant(1.0));
    QCOMPARE(boxes.boxes.size(), 0);
}

void TestPdm::currencyGuard_data()
{
    QTest::addColumn<int>("keyn");
    QTest::addColumn<bool>("deleting");
    QTest::addColumn<bool>("refused");
    QTest::addRow("edit the base currency") << 1 << false << true;
    QTest::addRow("delete the base currency") << 1 << true << true;
    QTest::addRow("edit another currency") << 2 << false << false;
    QTest::addRow("delete another currency") << 3 << true << false;
}

void TestPdm::currencyGuard()
{
    QFETCH(int, keyn);
    QFETCH(bool, deleting);
    QFETCH(bool, refused);
    FIXTURE(f);
    kdb::Table& v = f->dm->Tvalut;
    const QString rate = QStringLiteral("Rate");
    QVERIFY(v.locate(QStringLiteral("Keyn"), {keyn}));
    const double before = v.value(rate).toDouble();

    BoxSpy boxes;
    if (refused) {
        if (deleting)
            QVERIFY_THROWS_EXCEPTION(kdb::Abort, v.remove());
        else
            QVERIFY_THROWS_EXCEPTION(kdb::Abort, v.edit());
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].text, TDM::baseCurrencyText());
        QCOMPARE(boxes.boxes[0].icon, QMessageBox::NoIcon);
        QCOMPARE(v.state(), Dataset::State::Browse);
        KVERIFY(v.refresh());
        QCOMPARE(v.recordCount(), 3);
        QVERIFY(v.locate(QStringLiteral("Keyn"), {keyn}));
        QCOMPARE(v.value(rate).toDouble(), before);
        return;
    }

    if (deleting) {
        KALLOWED(v.remove());
        KVERIFY(v.refresh());
        QCOMPARE(v.recordCount(), 2);
        QVERIFY(!v.locate(QStringLiteral("Keyn"), {keyn}));
    } else {
        KALLOWED(v.edit());
        v.fieldByName(rate).setValue(91.25);
        KVERIFY(v.post());
        KVERIFY(v.refresh());
        QVERIFY(v.locate(QStringLiteral("Keyn"), {keyn}));
        QCOMPARE(v.value(rate).toDouble(), 91.25);
    }
    QCOMPARE(boxes.boxes.size(), 0);
}

void TestPdm::requestsFlushedAfterPost_data()
{
    QTest::addColumn<QString>("dataset");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("editExisting");
    QTest::addColumn<bool>("inFile");
    QTest::addRow("new request") << "zayav"
                                 << "Vakan" << false << true;
    QTest::addRow("changed request") << "zayav"
                                     << "Vakan" << true << true;
    // The check itself: a post the module does not flush stays out of the data file.
    QTest::addRow("new firm, not flushed") << "firm"
                                           << "Name" << false << false;
}

void TestPdm::requestsFlushedAfterPost()
{
    QFETCH(QString, dataset);
    QFETCH(QString, field);
    QFETCH(bool, editExisting);
    QFETCH(bool, inFile);
    FIXTURE(f);
    kdb::Table* t = f->dm->findDataset(dataset);
    QVERIFY(t);
    const QString value = QStringLiteral("Бухгалтер");
    if (editExisting) {
        KALLOWED(t->append());
        t->fieldByName(field).setValue(QStringLiteral("Секретарь"));
        KVERIFY(t->post());
        KALLOWED(t->edit());
    } else {
        KALLOWED(t->append());
    }
    t->fieldByName(field).setValue(value);
    KVERIFY(t->post());
    QCOMPARE(inDataFile(f->dataDir, t->tableName(), field, value), inFile);
}

// --- errors that end the start-up ------------------------------------------------------------

void TestPdm::constructorErrors_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("fails");
    // What the message names; "<data>" stands for the Data folder.
    QTest::addColumn<QStringList>("named");
    QTest::addRow("no alias kadrol") << "no alias" << true << QStringList{"KADROLR", "«kadrol»"};
    QTest::addRow("alias pointing nowhere")
        << "missing folder" << true << QStringList{"KADROLR", "<data>"};
    QTest::addRow("Data folder without its store")
        << "empty folder" << true << QStringList{"KADROLR", "<data>"};
    QTest::addRow("a table opened at creation is missing")
        << "drop lang" << true << QStringList{"LANG.DB", "<data>"};
    QTest::addRow("a table opened by its window is missing")
        << "drop sobesed" << false << QStringList();
}

void TestPdm::constructorErrors()
{
    QFETCH(QString, setup);
    QFETCH(bool, fails);
    QFETCH(QStringList, named);
    QTemporaryDir dir;
    const QString data = QDir(dir.path()).filePath(QStringLiteral("Data"));
    kdb::Session::global().reloadAliasFile(); // forgets the added aliases
    if (setup == QLatin1String("empty folder"))
        QVERIFY(QDir().mkpath(data));
    if (setup.startsWith(QLatin1String("drop "))) {
        KVERIFY(kadrol::createDataFolder(data));
        auto db = kdb::Database::forFolder(data);
        KVERIFY(db->open());
        KVERIFY(db->executeStoreSql(QStringLiteral("DROP TABLE ") + setup.mid(5)));
    }
    if (setup != QLatin1String("no alias"))
        kdb::Session::global().addAlias(QStringLiteral("kadrol"), QStringLiteral("PARADOX"), data);

    std::unique_ptr<TDM> dm;
    QString message;
    try {
        dm = std::make_unique<TDM>(dir.path());
    } catch (const kdb::Error& e) {
        QCOMPARE(int(e.code()), int(kdb::Error::Code::NotFound));
        message = e.message();
    }
    QCOMPARE(!dm, fails);
    if (fails) {
        for (QString n : named) {
            n.replace(QLatin1String("<data>"), QDir::toNativeSeparators(data));
            QVERIFY2(message.contains(n), qPrintable(message));
        }
        // Nothing of the failed module stays registered with the session: a later module
        // must not find a half-built database under its name.
        QVERIFY(!kdb::Session::global().findDatabase(QStringLiteral("KADROLR")));
    } else {
        QVERIFY(dm->Reserv.isOpen());
        KEXPECT_ERROR(dm->sobsd.open(), kdb::Error::Code::NotFound);
    }
}

QTEST_MAIN(TestPdm)
#include "tst_pdm.moc"
