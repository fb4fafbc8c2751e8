// kadrol-bench: times the engine on a large generated agency against the same SQL run straight
// on SQLite, and reports the memory each operation needs.
#include "agencystore.h"
#include "database.h"
#include "datafolder.h"
#include "error.h"
#include "generator.h"
#include "naimen.h"
#include "pdm.h"
#include "query.h"
#include "shellservices.h"
#include "sqlitefunctions.h"
#include "store.h"
#include "strkatl.h"
#include "table.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <sqlite3.h>
#include <vector>

namespace {

QTextStream out(stdout);

// A memory figure of this process from /proc/self/status ("VmHWM:" the peak, "VmRSS:" now).
double statusMb(const QByteArray& key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

double peakMb()
{
    return statusMb("VmHWM:");
}
double rssMb()
{
    return statusMb("VmRSS:");
}

// The kernel forgets the peak so far, so that each operation's peak is its own.
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double timeMs(const std::function<void()>& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// The baseline: a plain connection with the same settings and functions as the engine's store.
class RawSqlite {
public:
    explicit RawSqlite(const QString& file)
    {
        if (sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db, SQLITE_OPEN_READWRITE,
                            nullptr) != SQLITE_OK)
            qFatal("cannot open %s", qPrintable(file));
        kdb::installRussianFunctions(m_db);
        sqlite3_exec(m_db,
                     "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA cache_size=-8000;",
                     nullptr, nullptr, nullptr);
    }
    ~RawSqlite()
    {
        for (auto& s : m_stmts)
            sqlite3_finalize(s.second);
        sqlite3_close_v2(m_db);
    }
    // Steps through every row, reading each column as the engine would; returns the rows.
    int run(const QString& sql, const QVariantList& params = {})
    {
        sqlite3_stmt*& stmt = m_stmts[sql];
        if (!stmt) {
            const QByteArray text = sql.toUtf8();
            if (sqlite3_prepare_v2(m_db, text.constData(), -1, &stmt, nullptr) != SQLITE_OK)
                qFatal("baseline SQL failed: %s: %s", sqlite3_errmsg(m_db), text.constData());
        }
        for (int i = 0; i < params.size(); ++i) {
            const QVariant& v = params[i];
            if (v.typeId() == QMetaType::QString) {
                const QByteArray u = v.toString().toUtf8();
                sqlite3_bind_text(stmt, i + 1, u.constData(), static_cast<int>(u.size()),
                                  SQLITE_TRANSIENT);
            } else {
                sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
            }
        }
        int rows = 0;
        const int columns = sqlite3_column_count(stmt);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c)
                sqlite3_column_value(stmt, c);
            ++rows;
        }
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        return rows;
    }

private:
    sqlite3* m_db = nullptr;
    std::map<QString, sqlite3_stmt*> m_stmts;
};

struct Result {
    QString name;
    double ms;
    double baseMs;
    double peak;
    double serverMs; // negative without a server
};

// The program's start-up on a Data folder: from starting the process to the main window on the
// screen (the program reports it and ends when KADROL_STARTUP_PROBE is set). The program runs
// in a program folder of its own with the picture store, the alias "kadrol" pointing at the
// folder; without a display it draws offscreen. The median of the runs in ms, or -1 when the
// program did not report.
double startUpMs(const QString& program, const QString& dataFolder, int runs)
{
    QTemporaryDir programDir;
    kadrol::createPictureStore(programDir.path());
    const QString aliases = QDir(programDir.path()).filePath(QStringLiteral("aliases.ini"));
    {
        QFile f(aliases);
        if (!f.open(QIODevice::WriteOnly))
            return -1;
        f.write(QStringLiteral("[kadrol]\nDRIVER=PARADOX\nPATH=%1\n")
                    .arg(QDir(dataFolder).absolutePath())
                    .toUtf8());
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KADROL_ALIASES"), aliases);
    env.insert(QStringLiteral("KADROL_STARTUP_PROBE"), QStringLiteral("1"));
    if (!env.contains(QStringLiteral("DISPLAY")) &&
        !env.contains(QStringLiteral("WAYLAND_DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(programDir.path());
        QElapsedTimer t;
        t.start();
        p.start(program, {});
        double shown = -1;
        while (shown < 0 && p.waitForReadyRead(30000)) {
            while (p.canReadLine())
                if (p.readLine().startsWith("shown"))
                    shown = static_cast<double>(t.nsecsElapsed()) / 1e6;
        }
        p.waitForFinished(30000);
        if (shown < 0)
            return -1;
        times.push_back(shown);
    }
    return median(times);
}

// A desktop that decides as the real one does but starts nothing, so that the benchmark times
// OpenWithShell's own work without opening documents on the screen.
class DecideOnly final : public kadrol::Desktop {
public:
    explicit DecideOnly(kadrol::Desktop& real) : m_real(real) {}
    bool hasAssociation(const QString& filePath) override
    {
        return m_real.hasAssociation(filePath);
    }
    bool open(const QString&) override { return true; }

private:
    kadrol::Desktop& m_real;
};

// OpenWithShell on a CV file: the first call of the process (the type database and the
// desktop's association files read cold) and the median of further calls, in ms.
std::pair<double, double> openWithShellMs(int runs)
{
    QTemporaryDir dir;
    const QString cv = QDir(dir.path()).filePath(QStringLiteral("Резюме Иванова.doc"));
    QFile f(cv);
    if (f.open(QIODevice::WriteOnly))
        f.write("\xd0\xcf\x11\xe0");
    f.close();
    DecideOnly desktop(kadrol::desktop());
    kadrol::setDesktop(&desktop);
    const double cold = timeMs([&] { kadrol::OpenWithShell(cv); });
    std::vector<double> warm;
    for (int r = 0; r < runs; ++r)
        warm.push_back(timeMs([&] { kadrol::OpenWithShell(cv); }));
    kadrol::setDesktop(nullptr);
    return {cold, median(warm)};
}

// Fills the catalog up to 2,000 nodes: 10 spheres of 5 groups, each group with 4 directions
// of 7 or 8 specialities and about 5 specialities filed directly in it, each level's names in
// its own list. Nothing is added when the catalog holds that many rows already.
void addCatalogNodes(kdb::Database& db)
{
    auto count = [&](const QString& sql) {
        auto c = db.store().select(sql, {});
        return c->next() ? c->value(0).toInt() : 0;
    };
    if (count(QStringLiteral("SELECT count(*) FROM katalog")) >= 2000)
        return;
    kdb::Database::Transaction t(db);
    auto name = [&](const char* table, const QString& text) {
        db.executeStoreSql(
            QStringLiteral("INSERT INTO %1 (\"Name\") VALUES (?)").arg(QString::fromLatin1(table)),
            {text});
        return count(
            QStringLiteral("SELECT max(\"Keyn\") FROM %1").arg(QString::fromLatin1(table)));
    };
    auto node = [&](int s, int g, int n, int p) {
        db.executeStoreSql(QStringLiteral("INSERT INTO katalog (\"Sfr\", \"Grp\", \"Napr\", "
                                          "\"Spec\") VALUES (?,?,?,?)"),
                           {s, g, n, p});
    };
    int nodes = 0, specialities = 0;
    for (int si = 0; si < 10; ++si) {
        const int s =
            name("sfera", QStringLiteral("Сфера %1").arg(si + 1, 2, 10, QLatin1Char('0')));
        node(s, 0, 0, 0);
        ++nodes;
        for (int gi = 0; gi < 5; ++gi) {
            const int g = name("grp", QStringLiteral("Группа %1.%2").arg(si + 1).arg(gi + 1));
            node(s, g, 0, 0);
            ++nodes;
            for (int ni = 0; ni < 4; ++ni) {
                const int n = name(
                    "knapr",
                    QStringLiteral("Направление %1.%2.%3").arg(si + 1).arg(gi + 1).arg(ni + 1));
                node(s, g, n, 0);
                ++nodes;
                for (int pi = 0; pi < (ni < 2 ? 8 : 7); ++pi) {
                    const int p = name("speclz", QStringLiteral("Специальность %1")
                                                     .arg(++specialities, 4, 10, QLatin1Char('0')));
                    node(s, g, n, p);
                    ++nodes;
                }
            }
            const int direct = gi == 0 ? 4 : 5;
            for (int pi = 0; pi < direct; ++pi) {
                const int p = name("speclz", QStringLiteral("Специальность %1")
                                                 .arg(++specialities, 4, 10, QLatin1Char('0')));
                node(s, g, 0, p);
                ++nodes;
            }
        }
    }
    t.commit();
}

struct CatalogFigures {
    int nodes = 0;
    double tree = 0;       // building the tree, ms
    double usageMax = 0;   // the slowest list's usage check, ms
    QString usageSlowest;  // that list
    double usageMean = 0;  // over the 17 lists
    double add = 0;        // duplicate test and adding a node
    double remove = 0;     // candidate checks and deleting a leaf
    double switchMax = 0;  // the slowest list switch in the editor
    QString switchSlowest; // the list switched to
    double switchMedian = 0;
};

// The reference lists editor and the catalog structure on the data module of this folder,
// timed as the windows run them (offscreen when there is no display).
CatalogFigures catalogFigures(kdb::Database& db, const QString& programFolder, int runs)
{
    addCatalogNodes(db);
    CatalogFigures f;
    {
        auto c = db.store().select(QStringLiteral("SELECT count(*) FROM katalog"), {});
        f.nodes = c->next() ? c->value(0).toInt() : 0;
    }
    DM = new TDM(programFolder);
    auto* naimen = new kadrol::TFnaimen;
    auto* edkatl = new kadrol::TFedkatl;
    auto medianOf = [&](const std::function<void()>& step) {
        step(); // warm
        std::vector<double> t;
        for (int r = 0; r < runs; ++r)
            t.push_back(timeMs(step));
        return median(t);
    };

    f.tree = medianOf([&] { edkatl->buildTree(); });

    double sum = 0;
    int lists = 0;
    for (int g = 0; g < 5; ++g)
        for (int l = 0; l < kadrol::TFnaimen::listCaptions(g).size(); ++l) {
            const double ms = medianOf([&] { naimen->nameInUse(g, l, 1); });
            sum += ms;
            ++lists;
            if (ms > f.usageMax) {
                f.usageMax = ms;
                f.usageSlowest = kadrol::TFnaimen::listCaptions(g).value(l);
            }
        }
    f.usageMean = lists ? sum / lists : 0;

    // A speciality added to a direction and deleted again, as "Добавить" and "Удалить" do
    // after the user's answers.
    QTreeWidgetItem* direction = nullptr;
    for (QTreeWidgetItemIterator it(edkatl->Str); *it && !direction; ++it)
        if (kadrol::TFedkatl::kindOf(*it) == kadrol::TFedkatl::Direction)
            direction = *it;
    const int spare =
        DM->speclz.recordCount() > 0
            ? DM->speclz
                  .lookup(QStringLiteral("Name"), {QStringLiteral("Специальность 1740")},
                          QStringLiteral("Keyn"))
                  .toInt()
            : 0;
    std::vector<double> adds, removes;
    for (int r = 0; r <= runs && direction && spare; ++r) {
        QTreeWidgetItem* added = nullptr;
        const double a = timeMs([&] {
            if (!edkatl->nodeExists(direction, spare, true))
                added = edkatl->addChild(direction, spare, true, QStringLiteral("x"));
        });
        const double d = timeMs([&] {
            if (added && !edkatl->candidatesFiled(kadrol::TFedkatl::pathOf(added)))
                edkatl->removeLeaf(added);
        });
        if (r > 0) { // the first is the warm-up
            adds.push_back(a);
            removes.push_back(d);
        }
    }
    f.add = median(adds);
    f.remove = median(removes);

    naimen->show();
    QCoreApplication::processEvents();
    std::vector<double> switches;
    for (int r = 0; r < runs; ++r)
        for (int g : {0, 3}) {
            naimen->TM->setCurrentIndex(g);
            for (int l = 0; l < naimen->TK->count(); ++l) {
                const int next = (naimen->TK->currentIndex() + 1) % naimen->TK->count();
                const double ms = timeMs([&] { naimen->TK->setCurrentIndex(next); });
                QCoreApplication::processEvents();
                switches.push_back(ms);
                if (ms > f.switchMax) {
                    f.switchMax = ms;
                    f.switchSlowest = naimen->TK->tabText(next);
                }
            }
        }
    f.switchMedian = median(switches);
    naimen->hide();
    delete edkatl;
    delete naimen;
    delete DM;
    DM = nullptr;
    return f;
}

} // namespace

int main(int argc, char** argv)
{
    // The catalog windows are timed too: without a display they draw offscreen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int candidates = 100000;
    int runs = 9;
    bool tsv = false;
    QString keep;
    QString server;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--tsv"))
            tsv = true;
        else if (args[i] == QLatin1String("--candidates") && i + 1 < args.size())
            candidates = args[++i].toInt();
        else if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--keep") && i + 1 < args.size())
            keep = args[++i];
        else if (args[i] == QLatin1String("--server") && i + 1 < args.size())
            server = args[++i];
        else {
            QTextStream(stderr)
                << "Использование: kadrol-bench [--candidates N] [--runs R] [--tsv] "
                   "[--keep ПАПКА] [--server СТРОКА_ПОДКЛЮЧЕНИЯ]\n"
                   "  --server: те же операции и на сервере PostgreSQL (пустая база данных "
                   "получает копию агентства)\n";
            return 2;
        }
    }

    // Before anything else reads the type database, so that the first call is a cold one.
    const auto [shellCold, shellWarm] = openWithShellMs(runs);

    QTemporaryDir tmp;
    const QString folder =
        keep.isEmpty() ? QDir(tmp.path()).filePath(QStringLiteral("Data")) : keep;
    try {
        QElapsedTimer gen;
        gen.start();
        kdb::Session::global().addAlias(QStringLiteral("kadrol"), QStringLiteral("PARADOX"),
                                        folder);
        kdb::Database db(QStringLiteral("kadrol"), QStringLiteral("KADROLR"));
        if (!QFileInfo::exists(QDir(folder).filePath(kdb::Database::storeFileName()))) {
            kadrol::createDataFolder(folder);
            db.open();
            kadrol::AgencyOptions options;
            options.candidates = candidates;
            options.firms = 50;
            options.requests = 300;
            kadrol::generateAgency(db, options);
            db.flush();
        } else {
            db.open();
        }
        if (!tsv)
            out << QStringLiteral("Данные: %1 кандидатов, подготовлены за %2 с\n")
                       .arg(kdb::Table::opened(db, QStringLiteral("reserv.db"))->recordCount())
                       .arg(gen.elapsed() / 1000.0, 0, 'f', 1);

        // The same agency on the server, side by side: an empty database gets a copy of it.
        std::unique_ptr<kdb::Database> serverDb;
        if (!server.isEmpty()) {
            gen.restart();
            try {
                kdb::Database::forFolder(server)->open();
            } catch (const kdb::Error& e) {
                if (e.code() != kdb::Error::Code::NotFound)
                    throw;
                db.close();
                kadrol::copyAgency(folder, server);
                db.open();
            }
            serverDb = kdb::Database::forFolder(server, QStringLiteral("KADROLPG"));
            serverDb->open();
            if (!tsv)
                out << QStringLiteral("Сервер: %1, копия готова за %2 с\n")
                           .arg(kdb::displayedServer(server))
                           .arg(gen.elapsed() / 1000.0, 0, 'f', 1);
        }
        // The databases an operation runs on: the embedded store, then the server's.
        QStringList databases{QStringLiteral("KADROLR")};
        if (serverDb)
            databases << QStringLiteral("KADROLPG");
        QString current = databases.front(); // the database of the operation being measured

        RawSqlite raw(QDir(folder).filePath(kdb::Database::storeFileName()));
        std::vector<Result> results;
        auto measure = [&](const QString& name, const std::function<void()>& engine,
                           const std::function<void()>& baseline) {
            current = databases.front();
            engine(); // warm the caches of both sides alike
            baseline();
            std::vector<double> e, b;
            resetPeak();
            const double before = rssMb();
            double peak = 0;
            for (int r = 0; r < runs; ++r) {
                e.push_back(timeMs(engine));
                peak = std::max(peak, peakMb() - before);
                b.push_back(timeMs(baseline));
            }
            double serverMs = -1;
            if (databases.size() > 1) {
                current = databases.at(1);
                engine();
                std::vector<double> s;
                for (int r = 0; r < runs; ++r)
                    s.push_back(timeMs(engine));
                serverMs = median(s);
                current = databases.front();
            }
            results.push_back({name, median(e), median(b), std::max(0.0, peak), serverMs});
        };

        // 1. The current base in name order with its count.
        int count = 0;
        measure(
            QStringLiteral("open current base"),
            [&] {
                kdb::Table t;
                t.setDatabaseName(current);
                t.setTableName(QStringLiteral("Reserv.DB"));
                t.setIndexName(QStringLiteral("iname"));
                t.setFiltered(true);
                t.setFilter(QStringLiteral("arch=0"));
                t.open();
                count = t.recordCount();
                t.fieldByName(QStringLiteral("NameF")).asString();
            },
            [&] {
                raw.run(
                    QStringLiteral("SELECT rowid FROM reserv WHERE (\"Arch\" = ?) ORDER BY "
                                   "\"NameF\" COLLATE \"RUS\",\"NameI\" COLLATE \"RUS\",\"NameO\" "
                                   "COLLATE \"RUS\",rowid"),
                    {0});
                raw.run(
                    QStringLiteral("SELECT rowid,* FROM reserv WHERE rowid IN (1,2,3,4,5,6,7,8)"));
            });

        // The table the user works with, kept open for the locate (one on each store).
        std::map<QString, std::unique_ptr<kdb::Table>> opened;
        for (const QString& name : databases) {
            auto t = std::make_unique<kdb::Table>();
            t->setDatabaseName(name);
            t->setTableName(QStringLiteral("Reserv.DB"));
            t->setIndexName(QStringLiteral("iname"));
            t->setFiltered(true);
            t->setFilter(QStringLiteral("arch=0"));
            if (name != databases.front())
                t->open();
            opened[name] = std::move(t);
        }
        kdb::Table& reserv = *opened[databases.front()];
        const double rssBefore = rssMb();
        reserv.open();
        for (int i = 0; i < 2000 && !reserv.eof(); ++i) { // scroll through some pages too
            reserv.fieldByName(QStringLiteral("NameF")).asString();
            reserv.next();
        }
        const double openedMb = rssMb() - rssBefore;

        // 2. A case-insensitive surname prefix, several letters of the alphabet in turn.
        const QStringList prefixes{QStringLiteral("сол"), QStringLiteral("ЩЕР"),
                                   QStringLiteral("ёлк"), QStringLiteral("Мар"),
                                   QStringLiteral("яко")};
        int which = 0;
        measure(
            QStringLiteral("surname locate"),
            [&] {
                opened[current]->locate(QStringLiteral("NameF"),
                                        {prefixes[which++ % prefixes.size()]},
                                        kdb::Dataset::CaseInsensitive | kdb::Dataset::PartialKey);
            },
            [&] {
                const QString p = prefixes[which % prefixes.size()];
                raw.run(QStringLiteral("SELECT rowid FROM reserv WHERE (\"Arch\" = ?) AND "
                                       "kdb_search(substr(\"NameF\",1,%1))=kdb_search(?) AND "
                                       "\"NameF\" COLLATE \"RUS\">=? ORDER BY \"NameF\" COLLATE "
                                       "\"RUS\",\"NameI\" COLLATE \"RUS\",\"NameO\" COLLATE "
                                       "\"RUS\",rowid LIMIT 1")
                            .arg(p.size()),
                        {0, p,
                         QString(p)
                             .replace(QChar(0x401), QChar(0x415))
                             .replace(QChar(0x451), QChar(0x435))});
            });

        // 3. The seven detail tables of one candidate, as the card opens them.
        const int key = candidates / 2;
        struct Detail {
            const char* table;
            const char* filter;
            const char* index;
            const char* link;
        };
        const Detail details[] = {
            {"sobesed.db", "nn=", "", "Nn"},          {"RECOM.DB", "TabNo=", "", "TabNo"},
            {"RECLANG.DB", "TabNo=", "", "Tabno"},    {"RESNAVK.DB", "TabNo=", "", "Tabno"},
            {"SVKAT.DB", "TabNo=", "", "Tabno"},      {"PROFOPT.DB", "TabNo=", "idat", "Tabno"},
            {"EDUCRES.DB", "TabNo=", "idat", "Tabno"}};
        measure(
            QStringLiteral("seven detail tables"),
            [&] {
                for (const Detail& d : details) {
                    kdb::Table t;
                    t.setDatabaseName(current);
                    t.setTableName(QString::fromLatin1(d.table));
                    if (*d.index)
                        t.setIndexName(QString::fromLatin1(d.index));
                    t.setFiltered(true);
                    t.setFilter(QString::fromLatin1(d.filter) + QString::number(key));
                    t.open();
                    for (t.first(); !t.eof(); t.next())
                        t.field(1).value();
                }
            },
            [&] {
                for (const Detail& d : details) {
                    const QString table = kdb::tableNameForFile(QString::fromLatin1(d.table));
                    const QString link = QString::fromLatin1(d.link);
                    const QString order = *d.index ? QStringLiteral("\"Tabno\",\"%1\",rowid")
                                                         .arg(table == QLatin1String("profopt")
                                                                  ? QStringLiteral("From")
                                                                  : QStringLiteral("DFrom"))
                                                   : QStringLiteral("rowid");
                    raw.run(QStringLiteral("SELECT rowid FROM %1 WHERE (\"%2\" = ?) ORDER BY %3")
                                .arg(table, link, order),
                            {key});
                    raw.run(
                        QStringLiteral("SELECT rowid,* FROM %1 WHERE \"%2\" = ?").arg(table, link),
                        {key});
                }
            });

        // 4. The matching query of a request (salary, age, sex, computer skill, language and
        // experience conditions).
        const QStringList matching{
            QStringLiteral("select r.keyr "),
            QStringLiteral("from \"reserv.db\" r ,\"reclang.db\" l ,\"profopt.db\" p"),
            QStringLiteral(
                "where (r.oklmin>=1000)  and (r.valut=1) and (r.datbd<='15.03.1985') and "
                "(r.datbd>='15.03.1970') and (r.MF=True) and (r.comptr>=2) and  "
                "(r.keyr=l.tabno) and (l.lang=3) and (l.stlang=2) and  (r.keyr=p.tabno) "
                "and (p.oblst=5)")};
        kdb::Query q;
        q.setDatabaseName(QStringLiteral("kadrol"));
        q.setSql(matching);
        const QString matchingSql = q.translatedSql();
        int matched = 0;
        measure(
            QStringLiteral("matching query"),
            [&] {
                kdb::Query m;
                m.setDatabaseName(current);
                m.setSql(matching);
                m.open();
                matched = m.recordCount();
                for (m.first(); !m.eof(); m.next())
                    m.field(0).value();
            },
            [&] { raw.run(matchingSql); });

        // 5. The duplicate-name count of the candidate card.
        QString f, i, o;
        {
            reserv.setRecNo(count / 3);
            f = reserv.fieldByName(QStringLiteral("NameF")).asString().toUpper();
            i = reserv.fieldByName(QStringLiteral("NameI")).asString().toUpper();
            o = reserv.fieldByName(QStringLiteral("NameO")).asString().toUpper();
        }
        const QStringList fio{
            QStringLiteral("select count(keyr) as sm from \"reserv.db\""),
            QStringLiteral("where (Upper(namef)='") + f + QStringLiteral("') and (Upper(namei)='") +
                i + QStringLiteral("')and (Upper(nameo)='") + o + QStringLiteral("')")};
        q.setSql(fio);
        const QString fioSql = q.translatedSql();
        int same = 0;
        measure(
            QStringLiteral("duplicate-name count"),
            [&] {
                kdb::Query m;
                m.setDatabaseName(current);
                m.setSql(fio);
                m.open();
                same = m.fieldByName(QStringLiteral("sm")).asInt();
            },
            [&] { raw.run(fioSql); });

        // 6. 1,000 single-row inserts into a request's selection list, each committed.
        int zayav = 0;
        for (const QString& name : databases) { // a request number new on every store
            kdb::Query top;
            top.setDatabaseName(name);
            top.setSql(QStringLiteral("select max(zayav) as mx from zvrecr.db"));
            top.open();
            zayav = std::max(zayav, top.field(0).asInt() + 1);
        }
        const int inserts = 1000;
        measure(
            QStringLiteral("1000 inserts ZVRECR"),
            [&] {
                kdb::Table z;
                z.setDatabaseName(current);
                z.setTableName(QStringLiteral("ZVRECR.DB"));
                z.open();
                ++zayav;
                for (int n = 1; n <= inserts; ++n)
                    z.insertRecord({zayav, n});
            },
            [&] {
                ++zayav;
                for (int n = 1; n <= inserts; ++n)
                    raw.run(QStringLiteral("INSERT INTO zvrecr (\"Zayav\",\"Tabno\") VALUES (?,?)"),
                            {zayav, n});
            });

        // 8 (before the start-up, which reads the store from another process). The catalog
        // windows on 2,000 catalog nodes and these candidates.
        const CatalogFigures cat = catalogFigures(db, QFileInfo(folder).absolutePath(), runs);

        // 7. The program's start-up on these candidates and on the demo agency, when the
        // program is beside the benchmark.
        const QString program = QDir(QCoreApplication::applicationDirPath()).filePath("kadrol");
        double startLarge = -1, startDemo = -1;
        if (QFileInfo(program).isExecutable()) {
            const int startRuns = std::min(runs, 5);
            startLarge = startUpMs(program, folder, startRuns);
            QTemporaryDir demoDir;
            const QString demoFolder = QDir(demoDir.path()).filePath(QStringLiteral("Data"));
            kadrol::createDataFolder(demoFolder);
            {
                auto demo = kdb::Database::forFolder(demoFolder);
                demo->open();
                kadrol::generateAgency(*demo, kadrol::AgencyOptions());
                demo->flush();
            }
            startDemo = startUpMs(program, demoFolder, startRuns);
        }

        if (tsv) {
            for (const Result& r : results)
                out << r.name << '\t' << QString::number(r.ms, 'f', 2) << '\t'
                    << QString::number(r.baseMs, 'f', 2) << '\t'
                    << QString::number(r.baseMs > 0 ? r.ms / r.baseMs : 0, 'f', 2) << '\t'
                    << QString::number(r.peak, 'f', 1) << '\t'
                    << (r.serverMs < 0 ? QString() : QString::number(r.serverMs, 'f', 2)) << '\t'
                    << (r.serverMs < 0 || r.ms <= 0 ? QString()
                                                    : QString::number(r.serverMs / r.ms, 'f', 2))
                    << '\n';
            out << "open base memory\t" << QString::number(openedMb, 'f', 1) << '\n';
            out << "start-up, demo\t" << QString::number(startDemo, 'f', 0) << '\n';
            out << "start-up, generated\t" << QString::number(startLarge, 'f', 0) << '\n';
            out << "catalog nodes\t" << cat.nodes << '\n';
            out << "catalog tree build\t" << QString::number(cat.tree, 'f', 2) << '\n';
            out << "usage check, slowest (" << cat.usageSlowest << ")\t"
                << QString::number(cat.usageMax, 'f', 2) << '\n';
            out << "usage check, mean\t" << QString::number(cat.usageMean, 'f', 2) << '\n';
            out << "catalog add node\t" << QString::number(cat.add, 'f', 2) << '\n';
            out << "catalog delete node\t" << QString::number(cat.remove, 'f', 2) << '\n';
            out << "list switch, median\t" << QString::number(cat.switchMedian, 'f', 2) << '\n';
            out << "list switch, slowest (" << cat.switchSlowest << ")\t"
                << QString::number(cat.switchMax, 'f', 2) << '\n';
            out << "OpenWithShell, cold\t" << QString::number(shellCold, 'f', 2) << '\n';
            out << "OpenWithShell, warm\t" << QString::number(shellWarm, 'f', 2) << '\n';
        } else {
            out << QStringLiteral("Текущая база: %1 записей; подобрано по заявке: %2; "
                                  "однофамильцев: %3\n")
                       .arg(count)
                       .arg(matched)
                       .arg(same);
            out << QStringLiteral("%1 %2 %3 %4 %5")
                       .arg(QStringLiteral("операция"), -24)
                       .arg(QStringLiteral("медиана, мс"), 12)
                       .arg(QStringLiteral("SQLite, мс"), 12)
                       .arg(QStringLiteral("отношение"), 10)
                       .arg(QStringLiteral("пик, МБ"), 9);
            if (serverDb)
                out << QStringLiteral(" %1 %2")
                           .arg(QStringLiteral("сервер, мс"), 11)
                           .arg(QStringLiteral("сервер/встр."), 13);
            out << '\n';
            for (const Result& r : results) {
                out << QStringLiteral("%1 %2 %3 %4 %5")
                           .arg(r.name, -24)
                           .arg(r.ms, 12, 'f', 2)
                           .arg(r.baseMs, 12, 'f', 2)
                           .arg(r.baseMs > 0 ? r.ms / r.baseMs : 0, 10, 'f', 2)
                           .arg(r.peak, 9, 'f', 1);
                if (r.serverMs >= 0)
                    out << QStringLiteral(" %1 %2")
                               .arg(r.serverMs, 11, 'f', 2)
                               .arg(r.ms > 0 ? r.serverMs / r.ms : 0, 13, 'f', 2);
                out << '\n';
            }
            out << QStringLiteral("Открытая таблица кандидатов (2000 строк просмотрено): +%1 МБ\n")
                       .arg(openedMb, 0, 'f', 1);
            auto startText = [](double ms) {
                return ms < 0 ? QStringLiteral("программа не найдена или не ответила")
                              : QStringLiteral("%1 мс").arg(ms, 0, 'f', 0);
            };
            out << QStringLiteral("Запуск программы до главного окна: демо-агентство %1; "
                                  "сгенерированные данные %2\n")
                       .arg(startText(startDemo), startText(startLarge));
            out << QStringLiteral("Каталог (%1 узлов): дерево %2 мс; добавление узла %3 мс, "
                                  "удаление %4 мс\n")
                       .arg(cat.nodes)
                       .arg(cat.tree, 0, 'f', 2)
                       .arg(cat.add, 0, 'f', 2)
                       .arg(cat.remove, 0, 'f', 2);
            out << QStringLiteral("Проверка использования наименования: в среднем %1 мс, "
                                  "дольше всего %2 мс («%3»)\n")
                       .arg(cat.usageMean, 0, 'f', 2)
                       .arg(cat.usageMax, 0, 'f', 2)
                       .arg(cat.usageSlowest);
            out << QStringLiteral("Смена списка в редакторе наименований: медиана %1 мс, "
                                  "дольше всего %2 мс («%3»)\n")
                       .arg(cat.switchMedian, 0, 'f', 2)
                       .arg(cat.switchMax, 0, 'f', 2)
                       .arg(cat.switchSlowest);
            out << QStringLiteral("OpenWithShell (документ): первый вызов %1 мс, далее %2 мс\n")
                       .arg(shellCold, 0, 'f', 2)
                       .arg(shellWarm, 0, 'f', 2);
        }
    } catch (const kdb::Error& e) {
        QTextStream(stderr) << e.message() << '\n';
        return 1;
    }
    return 0;
}
