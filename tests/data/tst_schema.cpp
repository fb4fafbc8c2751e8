// A fresh Data folder and the picture store as the builders make them: the tables the windows
// rely on (field order, types, widths, keys, orders), the rows that ship with them, and the
// builders' refusals.
#include "database.h"
#include "datafolder.h"
#include "error.h"
#include "query.h"
#include "store.h"
#include "table.h"
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <iterator>
#include <memory>
#include <unistd.h>

using kdb::FieldType;
Q_DECLARE_METATYPE(kdb::FieldType)

namespace {

// Every table of a Data folder with its number of fields.
const struct {
    const char* file;
    int fields;
} tableShapes[] = {
    {"RESERV.DB", 81}, {"BLACK.DB", 17},  {"sobesed.db", 5},  {"RECOM.DB", 6},    {"RECLANG.DB", 4},
    {"RESNAVK.DB", 4}, {"SVKAT.DB", 7},   {"PROFOPT.DB", 11}, {"EDUCRES.DB", 11}, {"FIRM.DB", 30},
    {"ZAYAV.DB", 27},  {"ZAYAVZ.DB", 20}, {"ZVRECR.DB", 2},   {"znaprk.DB", 7},   {"KATALOG.DB", 5},
    {"SFERA.DB", 2},   {"GRP.DB", 2},     {"KNAPR.DB", 2},    {"SPECLZ.DB", 2},   {"TIPEDCT.DB", 2},
    {"EDPROFL.DB", 2}, {"EDSPCLZ.DB", 2}, {"OBLST.DB", 2},    {"NAPRV.DB", 2},    {"REGION.DB", 2},
    {"town.db", 2},    {"CNTRY.DB", 2},   {"SOST.DB", 2},     {"VALUT.DB", 3},    {"LANG.DB", 2},
    {"SPNAV.DB", 2},   {"INFRM.DB", 2},   {"STEPLANG.DB", 2}, {"UROVNVK.DB", 2},  {"MARR.DB", 2},
    {"PASPRT.DB", 2},  {"LIBR.DB", 2},    {"TEMPL.DB", 4},    {"SFLD.DB", 5},     {"FLOOK.DB", 3},
    {"FDBLOOK.DB", 4},
};

// The tables of the selection module's bases, by SFLD.Nb.
QString baseTable(int nb)
{
    switch (nb) {
    case 1:
        return QStringLiteral("RESERV.DB");
    case 4:
        return QStringLiteral("BLACK.DB");
    case 5:
        return QStringLiteral("ZAYAV.DB");
    default:
        return {};
    }
}

// Whether a field of that type can hold the values of a field description's kind.
bool kindFits(int ftip, FieldType type)
{
    switch (ftip) {
    case 1:
        return type == FieldType::String;
    case 2:
        return type == FieldType::Boolean;
    case 3:
        return kdb::isIntegerType(type);
    case 4:
        return type == FieldType::Date;
    case 5:
        return kdb::isIntegerType(type) || type == FieldType::Float;
    case 6: // a key, or a key written as text (BLACK.Paspn)
        return kdb::isIntegerType(type) || type == FieldType::String;
    default:
        return false;
    }
}

std::vector<QVariantList> storeRows(kdb::Database& db, const QString& sql,
                                    const QVariantList& params = {})
{
    auto cursor = db.store().select(sql, params);
    std::vector<QVariantList> rows;
    while (cursor->next()) {
        QVariantList row;
        for (int i = 0; i < cursor->columnCount(); ++i)
            row << cursor->value(i);
        rows.push_back(row);
    }
    return rows;
}

std::unique_ptr<kdb::Table> openTable(kdb::Database& db, const QString& file,
                                      const QString& index = {})
{
    auto table = std::make_unique<kdb::Table>();
    table->setDatabase(&db);
    table->setTableName(file);
    if (!index.isEmpty())
        table->setIndexName(index);
    table->open();
    return table;
}

// Every entry under a path with its content, to tell that a refused build left it as it was.
QMap<QString, QByteArray> snapshot(const QString& path)
{
    QMap<QString, QByteArray> entries;
    const auto read = [](const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    };
    const QFileInfo info(path);
    if (info.isFile()) {
        entries.insert(QString(), read(path));
        return entries;
    }
    QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString entry = it.next();
        entries.insert(QDir(path).relativeFilePath(entry),
                       QFileInfo(entry).isDir() ? QByteArray("<folder>") : read(entry));
    }
    return entries;
}

QString errorOf(const std::function<void()>& step)
{
    try {
        step();
    } catch (const kdb::Error& e) {
        return e.message().isEmpty() ? QStringLiteral("<an error without message>") : e.message();
    }
    return {};
}

} // namespace

class TestSchema : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    std::unique_ptr<kdb::Database> m_db; // a fresh Data folder, only read
    int m_folders = 0;

    QString newPath(const QString& name)
    {
        return m_tmp.filePath(name + QString::number(++m_folders));
    }
    // A fresh Data folder of its own, for a test that writes.
    std::unique_ptr<kdb::Database> freshDatabase()
    {
        const QString path = newPath(QStringLiteral("Data"));
        kadrol::createDataFolder(path);
        auto db = kdb::Database::forFolder(path);
        db->open();
        return db;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        const QString path = m_tmp.filePath(QStringLiteral("Data"));
        KVERIFY(kadrol::createDataFolder(path));
        m_db = kdb::Database::forFolder(path);
        KVERIFY(m_db->open());
    }
    void cleanupTestCase() { m_db.reset(); }

    void everyTableAndNoOther()
    {
        QStringList expected;
        for (const auto& shape : tableShapes)
            expected << kdb::tableNameForFile(QString::fromLatin1(shape.file));
        expected.sort();
        QStringList actual = m_db->tableNames();
        actual.sort();
        QCOMPARE(actual, expected); // no PICTR: it lives in the program folder
    }

    void fieldCount_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("count");
        for (const auto& shape : tableShapes)
            QTest::addRow("%s", shape.file) << QString::fromLatin1(shape.file) << shape.fields;
    }
    void fieldCount()
    {
        QFETCH(QString, table);
        QFETCH(int, count);
        QCOMPARE(int(m_db->tableDef(table).fields.size()), count);
    }

    void fields_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("name");
        QTest::addColumn<FieldType>("type");
        QTest::addColumn<int>("size");
        const auto row = [](const char* table, int position, const char* name, FieldType type,
                            int size = 0) {
            QTest::addRow("%s %d %s", table, position, name)
                << QString::fromLatin1(table) << position << QString::fromLatin1(name) << type
                << size;
        };
        row("RESERV.DB", 0, "Keyr", FieldType::AutoInc);
        row("RESERV.DB", 1, "NameF", FieldType::String, 50);
        row("RESERV.DB", 2, "NameI", FieldType::String, 20);
        row("RESERV.DB", 3, "NameO", FieldType::String, 50);
        row("RESERV.DB", 10, "MF", FieldType::Boolean);
        row("RESERV.DB", 38, "Oklmin", FieldType::Integer);
        row("RESERV.DB", 45, "Arch", FieldType::Integer);
        row("RESERV.DB", 67, "Tn2", FieldType::String, 10);
        row("RESERV.DB", 80, "Memint", FieldType::Memo);
        // A candidate moves to the blacklist by a whole-row insert, cut to these widths.
        row("BLACK.DB", 0, "Keyn", FieldType::AutoInc);
        row("BLACK.DB", 1, "Namef", FieldType::String, 30);
        row("BLACK.DB", 2, "Namei", FieldType::String, 10);
        row("BLACK.DB", 3, "Nameo", FieldType::String, 20);
        row("BLACK.DB", 4, "Datbd", FieldType::Date);
        row("BLACK.DB", 5, "Dzanes", FieldType::Date);
        row("BLACK.DB", 6, "Pasps", FieldType::String, 70);
        row("BLACK.DB", 7, "Paspn", FieldType::String, 15);
        row("BLACK.DB", 8, "Paspv", FieldType::String, 150);
        row("BLACK.DB", 9, "Paspd", FieldType::Date);
        row("BLACK.DB", 10, "Mf", FieldType::Boolean);
        row("BLACK.DB", 11, "Adr", FieldType::String, 50);
        row("BLACK.DB", 12, "Tel", FieldType::String, 15);
        row("BLACK.DB", 13, "Adrp", FieldType::String, 50);
        row("BLACK.DB", 14, "Telp", FieldType::String, 15);
        row("BLACK.DB", 15, "Nbas", FieldType::SmallInt);
        row("BLACK.DB", 16, "Note", FieldType::String, 200);
        row("SVKAT.DB", 0, "Keyn", FieldType::AutoInc);
        row("SVKAT.DB", 1, "Tabno", FieldType::Integer);
        row("SVKAT.DB", 2, "Sfr", FieldType::Integer);
        row("SVKAT.DB", 3, "Grp", FieldType::Integer);
        row("SVKAT.DB", 4, "Napr", FieldType::Integer);
        row("SVKAT.DB", 5, "Spec", FieldType::Integer);
        row("SVKAT.DB", 6, "Note", FieldType::String, 100);
        row("ZVRECR.DB", 0, "Zayav", FieldType::Integer);
        row("ZVRECR.DB", 1, "Tabno", FieldType::Integer);
        row("znaprk.DB", 0, "Keyz", FieldType::Integer);
        row("znaprk.DB", 1, "Tabno", FieldType::Integer);
        row("znaprk.DB", 2, "Regn", FieldType::String, 10);
        row("znaprk.DB", 3, "Fio", FieldType::String, 122);
        row("znaprk.DB", 4, "Dat", FieldType::Date);
        row("znaprk.DB", 6, "Keyn", FieldType::AutoInc);
        row("KATALOG.DB", 0, "Keyn", FieldType::AutoInc);
        row("KATALOG.DB", 1, "Sfr", FieldType::Integer);
        row("KATALOG.DB", 2, "Napr", FieldType::Integer);
        row("KATALOG.DB", 3, "Grp", FieldType::Integer);
        row("KATALOG.DB", 4, "Spec", FieldType::Integer);
        row("LIBR.DB", 0, "Keyn", FieldType::AutoInc);
        row("LIBR.DB", 1, "Name", FieldType::String, 40);
        row("TEMPL.DB", 0, "Keyn", FieldType::AutoInc);
        row("TEMPL.DB", 1, "Tip", FieldType::SmallInt);
        row("TEMPL.DB", 2, "Name", FieldType::String, 100);
        row("TEMPL.DB", 3, "Path", FieldType::String, 70);
        row("RECOM.DB", 0, "TabNo", FieldType::Integer);
        row("RECOM.DB", 5, "Keyn", FieldType::AutoInc);
        row("sobesed.db", 1, "Nn", FieldType::Integer);
        row("PROFOPT.DB", 2, "From", FieldType::Date);
        row("PROFOPT.DB", 3, "To", FieldType::Date);
        row("PROFOPT.DB", 4, "Stag", FieldType::Float);
        row("EDUCRES.DB", 2, "DFrom", FieldType::Date);
        row("ZAYAV.DB", 7, "Tipz", FieldType::SmallInt);
        row("ZAYAV.DB", 18, "Mf", FieldType::Integer);
        // The requirements' key is the request's number, written by the program.
        row("ZAYAVZ.DB", 0, "Keyn", FieldType::Integer);
        row("ZAYAVZ.DB", 19, "Note", FieldType::Memo);
        row("VALUT.DB", 0, "Keyn", FieldType::AutoInc);
        row("VALUT.DB", 1, "Name", FieldType::String, 5);
        row("VALUT.DB", 2, "Rate", FieldType::Float);
        row("STEPLANG.DB", 0, "Keyn", FieldType::Integer);
        row("STEPLANG.DB", 1, "Name", FieldType::String, 50);
        row("UROVNVK.DB", 1, "Name", FieldType::String, 90);
        row("OBLST.DB", 1, "Name", FieldType::String, 90);
        row("SFERA.DB", 1, "Name", FieldType::String, 100);
        row("SFLD.DB", 1, "Fld", FieldType::String, 20);
        row("SFLD.DB", 2, "Fname", FieldType::String, 30);
        row("SFLD.DB", 3, "Ftip", FieldType::SmallInt);
        row("FDBLOOK.DB", 1, "Table", FieldType::String, 20);
        row("FIRM.DB", 1, "Name", FieldType::String, 100);
        row("FIRM.DB", 29, "Memf", FieldType::Memo);
    }
    void fields()
    {
        QFETCH(QString, table);
        QFETCH(int, position);
        QFETCH(QString, name);
        QFETCH(FieldType, type);
        QFETCH(int, size);
        const auto& fields = m_db->tableDef(table).fields;
        QVERIFY(position < int(fields.size()));
        const kdb::FieldDef& field = fields[size_t(position)];
        QCOMPARE(field.name, name);
        QCOMPARE(QString::fromLatin1(kdb::typeName(field.type)),
                 QString::fromLatin1(kdb::typeName(type)));
        if (type == FieldType::String)
            QCOMPARE(field.size, size);
    }

    // The client's requirements are copied into the request's conditions field by field.
    void requirementsMatchConditions()
    {
        const kdb::TableDef& zayav = m_db->tableDef(QStringLiteral("ZAYAV.DB"));
        const kdb::TableDef& zayavz = m_db->tableDef(QStringLiteral("ZAYAVZ.DB"));
        for (const kdb::FieldDef& field : zayavz.fields) {
            if (field.name == QLatin1String("Keyn") || field.name == QLatin1String("Note"))
                continue;
            const kdb::FieldDef* condition = zayav.find(field.name);
            QVERIFY2(condition, qPrintable(field.name));
            QCOMPARE(QString::fromLatin1(kdb::typeName(field.type)),
                     QString::fromLatin1(kdb::typeName(condition->type)));
        }
    }

    void namedIndexes_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("columns");
        QTest::addRow("reserv iname") << "reserv"
                                      << "reserv_iname"
                                      << "NameF RUS, NameI RUS, NameO RUS";
        QTest::addRow("firm iname") << "firm"
                                    << "firm_iname"
                                    << "Name RUS";
        QTest::addRow("profopt idat") << "profopt"
                                      << "profopt_idat"
                                      << "Tabno, From";
        QTest::addRow("educres idat") << "educres"
                                      << "educres_idat"
                                      << "Tabno, DFrom";
        QTest::addRow("sfld fname") << "sfld"
                                    << "sfld_fname"
                                    << "Fname RUS";
        for (const char* list : {"sfera", "grp", "knapr", "speclz", "edprofl", "edspclz", "oblst",
                                 "naprv", "town", "cntry", "lang", "spnav"})
            QTest::addRow("%s name", list)
                << QString::fromLatin1(list) << QString::fromLatin1(list) + "_name"
                << "Name RUS";
    }
    void namedIndexes()
    {
        QFETCH(QString, table);
        QFETCH(QString, index);
        QFETCH(QString, columns);
        const auto actual = m_db->store().indexColumns(table, index);
        QVERIFY2(actual, qPrintable(index));
        QStringList parts;
        for (const auto& [column, collation] : *actual)
            parts << (collation.isEmpty() ? column : column + ' ' + collation);
        QCOMPARE(parts.join(QStringLiteral(", ")), columns);
    }

    // The store answers the engine's frequent statements from an index: without one a list,
    // a card page or a check reads or sorts all 100,000 candidates.
    void indexesServeQueries_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("index");
        QTest::addColumn<bool>("sorts"); // may sort what it found: a handful of rows at most
        const QString nameOrder = QStringLiteral(
            R"("NameF" COLLATE "RUS","NameI" COLLATE "RUS","NameO" COLLATE "RUS",rowid)");
        QTest::addRow("one base in name order")
            << R"(SELECT rowid FROM reserv WHERE "Arch"=? ORDER BY )" + nameOrder
            << "reserv_archname" << false;
        QTest::addRow("duplicate-name check")
            << R"(SELECT count("keyr") FROM reserv WHERE (kdb_upper("namef")=?) AND )"
               R"((kdb_upper("namei")=?) AND (kdb_upper("nameo")=?))"
            << "reserv_upname" << false;
        QTest::addRow("candidates of a catalog node")
            << R"(SELECT rowid FROM reserv WHERE "Sfr"=? AND "Grp"=?)"
            << "reserv_katpos" << false;
        QTest::addRow("jobs of a candidate by date")
            << R"(SELECT rowid FROM profopt WHERE "Tabno"=? ORDER BY "Tabno","From",rowid)"
            << "profopt_idat" << false;
        QTest::addRow("education of a candidate by date")
            << R"(SELECT rowid FROM educres WHERE "Tabno"=? ORDER BY "Tabno","DFrom",rowid)"
            << "educres_idat" << false;
        QTest::addRow("interviews") << R"(SELECT rowid FROM sobesed WHERE "Nn"=? ORDER BY rowid)"
                                    << "sobesed_nn" << false;
        QTest::addRow("recommendations")
            << R"(SELECT rowid FROM recom WHERE "TabNo"=? ORDER BY "Keyn",rowid)"
            << "recom_tabno" << false;
        QTest::addRow("languages")
            << R"(SELECT rowid FROM reclang WHERE "Tabno"=? ORDER BY "Keyn",rowid)"
            << "reclang_tabno" << false;
        QTest::addRow("skills")
            << R"(SELECT rowid FROM resnavk WHERE "Tabno"=? ORDER BY "Keyn",rowid)"
            << "resnavk_tabno" << false;
        QTest::addRow("further positions")
            << R"(SELECT rowid FROM svkat WHERE "Tabno"=? ORDER BY "Keyn",rowid)"
            << "svkat_ipos" << true;
        QTest::addRow("matching by language")
            << R"(SELECT tabno FROM reclang WHERE "Lang"=? AND "Stlang"=?)"
            << "reclang_lang" << false;
        QTest::addRow("matching by experience") << R"(SELECT tabno FROM profopt WHERE "Oblst"=?)"
                                                << "profopt_oblst" << false;
        QTest::addRow("matching by education") << R"(SELECT tabno FROM educres WHERE "Profl"=?)"
                                               << "educres_profl" << false;
        QTest::addRow("requests of a base")
            << R"(SELECT rowid FROM zayav WHERE "Tipz"=? ORDER BY "Keyn",rowid)"
            << "zayav_tipz" << false;
        QTest::addRow("selection list of a request")
            << R"(SELECT rowid FROM zvrecr WHERE "Zayav"=? ORDER BY "Zayav","Tabno",rowid)"
            << "sqlite_autoindex_zvrecr_1" << false;
        QTest::addRow("sent candidates of a request")
            << R"(SELECT rowid FROM znaprk WHERE "Keyz"=?)"
            << "znaprk_keyz" << false;
        // The usage checks of the reference lists editor, one count per referring field.
        const struct {
            const char* table;
            const char* field;
            const char* index;
        } usage[] = {{"reserv", "Sfr", "reserv_katpos"},    {"reserv", "Grp", "reserv_grp"},
                     {"reserv", "Napr", "reserv_napr"},     {"reserv", "Spec", "reserv_spec"},
                     {"reserv", "Region", "reserv_region"}, {"reserv", "Townn", "reserv_townn"},
                     {"reserv", "Cntry", "reserv_cntry"},   {"reserv", "Sost", "reserv_sost"},
                     {"reserv", "Valut", "reserv_valut"},   {"reserv", "Infrm", "reserv_infrm"},
                     {"svkat", "Sfr", "svkat_katpos"},      {"svkat", "Grp", "svkat_grp"},
                     {"svkat", "Napr", "svkat_napr"},       {"svkat", "Spec", "svkat_spec"},
                     {"educres", "Tipe", "educres_tipe"},   {"educres", "Profl", "educres_profl"},
                     {"educres", "Specl", "educres_specl"}, {"profopt", "Oblst", "profopt_oblst"},
                     {"profopt", "Napr", "profopt_napr"},   {"reclang", "Lang", "reclang_lang"},
                     {"resnavk", "NN", "resnavk_nn"},       {"katalog", "Sfr", "katalog_path"}};
        for (const auto& u : usage)
            QTest::addRow("usage of a name: %s.%s", u.table, u.field)
                << QStringLiteral(R"(SELECT min("%2") FROM %1 WHERE "%2"=?)")
                       .arg(QString::fromLatin1(u.table), QString::fromLatin1(u.field))
                << QString::fromLatin1(u.index) << false;
        QTest::addRow("firms by name")
            << R"(SELECT rowid FROM firm ORDER BY "Name" COLLATE "RUS",rowid)"
            << "firm_iname" << false;
    }
    void indexesServeQueries()
    {
        QFETCH(QString, sql);
        QFETCH(QString, index);
        QFETCH(bool, sorts);
        QStringList plan;
        const int params = int(sql.count('?'));
        QVariantList values;
        for (int i = 0; i < params; ++i)
            values << 1;
        for (const QVariantList& row : storeRows(*m_db, "EXPLAIN QUERY PLAN " + sql, values))
            plan << row.last().toString();
        const QString text = plan.join(QStringLiteral(" / "));
        QVERIFY2(text.contains(QStringLiteral("INDEX ") + index), qPrintable(text));
        if (!sorts)
            QVERIFY2(!text.contains(QStringLiteral("TEMP B-TREE")), qPrintable(text));
    }

    // The candidate list's order: Russian, without regard to letter case, then first name and
    // patronymic.
    void candidatesInNameOrder()
    {
        auto db = freshDatabase();
        auto reserv = openTable(*db, QStringLiteral("Reserv.DB"), QStringLiteral("iname"));
        const QStringList names = {
            QStringLiteral("жуков|Иван|"),          QStringLiteral("абрамов|Борис|"),
            QStringLiteral("Ёлкин|Олег|"),          QStringLiteral("Smith|John|"),
            QStringLiteral("Абрамов|Анна|"),        QStringLiteral("Елисеев|Пётр|"),
            QStringLiteral("Абрамов|Анна|Юрьевна"), QStringLiteral("Абрамов|Анна|Олеговна"),
        };
        for (const QString& name : names) {
            const QStringList parts = name.split('|');
            KVERIFY(reserv->insertRecord({QVariant(), parts[0], parts[1], parts[2]}));
        }
        reserv->refresh();
        QStringList order;
        for (reserv->first(); !reserv->eof(); reserv->next())
            order << reserv->value(QStringLiteral("NameF")).toString() + '|' +
                         reserv->value(QStringLiteral("NameI")).toString() + '|' +
                         reserv->value(QStringLiteral("NameO")).toString();
        QCOMPARE(order, (QStringList{
                            QStringLiteral("Smith|John|"),
                            QStringLiteral("Абрамов|Анна|"),
                            QStringLiteral("Абрамов|Анна|Олеговна"),
                            QStringLiteral("Абрамов|Анна|Юрьевна"),
                            QStringLiteral("абрамов|Борис|"),
                            QStringLiteral("Елисеев|Пётр|"),
                            QStringLiteral("Ёлкин|Олег|"),
                            QStringLiteral("жуков|Иван|"),
                        }));
    }

    // The card shows one candidate's jobs and education in date order.
    void detailsInDateOrder_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("dateField");
        QTest::addRow("experience") << "PROFOPT.DB"
                                    << "From";
        QTest::addRow("education") << "EDUCRES.DB"
                                   << "DFrom";
    }
    void detailsInDateOrder()
    {
        QFETCH(QString, table);
        QFETCH(QString, dateField);
        auto db = freshDatabase();
        auto details = openTable(*db, table, QStringLiteral("idat"));
        const QList<QPair<int, QDate>> rows = {
            {7, QDate(2010, 1, 11)},
            {8, QDate(1999, 1, 1)},
            {7, QDate(2001, 5, 1)},
            {7, QDate(2005, 3, 1)},
        };
        for (const auto& [tabno, date] : rows) {
            details->append();
            details->fieldByName(QStringLiteral("Tabno")).setValue(tabno);
            details->fieldByName(dateField).setValue(date);
            KVERIFY(details->post());
        }
        details->setFilter(QStringLiteral("Tabno=7"));
        details->setFiltered(true);
        QList<QDate> order;
        for (details->first(); !details->eof(); details->next())
            order << details->fieldByName(dateField).asDate();
        QCOMPARE(order, (QList<QDate>{QDate(2001, 5, 1), QDate(2005, 3, 1), QDate(2010, 1, 11)}));
    }

    // A key handed out once is never handed out again, even after its row is deleted.
    void autoIncrementNotReused_data()
    {
        QTest::addColumn<QString>("table");
        for (const char* table :
             {"RESERV.DB", "BLACK.DB", "sobesed.db", "RECOM.DB", "SVKAT.DB", "FIRM.DB", "ZAYAV.DB",
              "znaprk.DB", "KATALOG.DB", "SFERA.DB", "VALUT.DB", "TEMPL.DB"})
            QTest::addRow("%s", table) << QString::fromLatin1(table);
    }
    void autoIncrementNotReused()
    {
        QFETCH(QString, table);
        auto db = freshDatabase();
        const kdb::TableDef& def = db->tableDef(table);
        QString key, other;
        for (const kdb::FieldDef& field : def.fields) {
            if (field.type == FieldType::AutoInc)
                key = field.name;
            else if (other.isEmpty() && kdb::isIntegerType(field.type))
                other = field.name;
        }
        QVERIFY(!key.isEmpty());
        auto t = openTable(*db, table);
        const auto add = [&] {
            t->append();
            if (!other.isEmpty())
                t->fieldByName(other).setValue(1);
            else
                t->fieldByName(QStringLiteral("Name")).setValue(QStringLiteral("Новая"));
            t->post();
            return t->fieldByName(key).asInt();
        };
        int first = 0, second = 0;
        KVERIFY(first = add());
        QVERIFY(first > 0);
        KVERIFY(t->remove());
        KVERIFY(second = add());
        QVERIFY2(second > first, qPrintable(QStringLiteral("%1 after %2").arg(second).arg(first)));
    }

    // Whole-row inserts by position, as the windows write them, read back by field name.
    void wholeRowInsert_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QVariantMap>("expected");
        const QDate day(2005, 3, 15);
        QTest::addRow("catalog node, Napr before Grp")
            << "KATALOG.DB" << QVariantList{QVariant(), 1, 3, 2, 4}
            << QVariantMap{{"Sfr", 1}, {"Napr", 3}, {"Grp", 2}, {"Spec", 4}};
        QTest::addRow("further position")
            << "SVKAT.DB" << QVariantList{QVariant(), 7, 1, 2, 3, 4, QString()}
            << QVariantMap{{"Tabno", 7}, {"Sfr", 1}, {"Grp", 2}, {"Napr", 3}, {"Spec", 4}};
        QTest::addRow("selection list")
            << "ZVRECR.DB" << QVariantList{5, 7} << QVariantMap{{"Zayav", 5}, {"Tabno", 7}};
        QTest::addRow("sent candidate, five values")
            << "znaprk.DB"
            << QVariantList{5, 7, QStringLiteral("A-17"), QStringLiteral("Иванов Иван Иванович"),
                            day}
            << QVariantMap{{"Keyz", 5},
                           {"Tabno", 7},
                           {"Regn", QStringLiteral("A-17")},
                           {"Fio", QStringLiteral("Иванов Иван Иванович")},
                           {"Dat", day}};
        QTest::addRow("blacklist entry")
            << "BLACK.DB"
            << QVariantList{QVariant(),
                            QStringLiteral("Петров"),
                            QStringLiteral("Пётр"),
                            QStringLiteral("Петрович"),
                            QDate(1970, 1, 2),
                            day,
                            QStringLiteral("4500 123456"),
                            QStringLiteral("1"),
                            QStringLiteral("ОВД Центрального района"),
                            QDate(2001, 2, 3),
                            true,
                            QStringLiteral("ул. Ленина, 1"),
                            QStringLiteral("123-45-67"),
                            QStringLiteral("ул. Мира, 2"),
                            QStringLiteral("765-43-21"),
                            1,
                            QStringLiteral("Подделал документы")}
            << QVariantMap{{"Namef", QStringLiteral("Петров")},
                           {"Datbd", QDate(1970, 1, 2)},
                           {"Dzanes", day},
                           {"Paspn", QStringLiteral("1")},
                           {"Paspd", QDate(2001, 2, 3)},
                           {"Mf", true},
                           {"Telp", QStringLiteral("765-43-21")},
                           {"Nbas", 1},
                           {"Note", QStringLiteral("Подделал документы")}};
        QTest::addRow("library folder")
            << "LIBR.DB" << QVariantList{QVariant(), QStringLiteral("Договоры")}
            << QVariantMap{{"Name", QStringLiteral("Договоры")}};
        QTest::addRow("library document")
            << "TEMPL.DB"
            << QVariantList{QVariant(), 2, QStringLiteral("Договор с фирмой"),
                            QStringLiteral("dogovor.doc")}
            << QVariantMap{{"Tip", 2},
                           {"Name", QStringLiteral("Договор с фирмой")},
                           {"Path", QStringLiteral("dogovor.doc")}};
        QTest::addRow("requirements under the request's number")
            << "ZAYAVZ.DB" << QVariantList{42} << QVariantMap{{"Keyn", 42}};
    }
    void wholeRowInsert()
    {
        QFETCH(QString, table);
        QFETCH(QVariantList, values);
        QFETCH(QVariantMap, expected);
        auto db = freshDatabase();
        auto t = openTable(*db, table);
        KVERIFY(t->insertRecord(values));
        t->refresh();
        QCOMPARE(t->recordCount(), 1);
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(t->value(it.key()), it.value());
    }

    // A candidate moved to the blacklist keeps 30 characters of the surname, 10 of the name.
    void blacklistCutsNames()
    {
        auto db = freshDatabase();
        auto black = openTable(*db, QStringLiteral("BLACK.DB"));
        const QString surname = QStringLiteral("Константинопольский-Преображенский");
        const QString name = QStringLiteral("Александрина");
        KVERIFY(black->insertRecord({QVariant(), surname, name}));
        black->refresh();
        QCOMPARE(black->value(QStringLiteral("Namef")).toString(), surname.left(30));
        QCOMPARE(black->value(QStringLiteral("Namei")).toString(), name.left(10));
    }

    void uniqueKeys_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QVariantList>("first");
        QTest::addColumn<QVariantList>("second");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("code"); // of the refusal
        const QVariant none;
        const int key = int(kdb::Error::Code::KeyViolation);
        QTest::addRow("candidate listed twice for a request")
            << "ZVRECR.DB" << QVariantList{1, 5} << QVariantList{1, 5} << true << key;
        QTest::addRow("another candidate for the request")
            << "ZVRECR.DB" << QVariantList{1, 5} << QVariantList{1, 6} << false << key;
        QTest::addRow("the candidate for another request")
            << "ZVRECR.DB" << QVariantList{1, 5} << QVariantList{2, 5} << false << key;
        QTest::addRow("listed without a candidate")
            << "ZVRECR.DB" << QVariantList{1, 5} << QVariantList{1, none} << true
            << int(kdb::Error::Code::Constraint); // a required field, not a repeated key
        QTest::addRow("same further position of a candidate")
            << "SVKAT.DB" << QVariantList{none, 7, 1, 2, 3, 4} << QVariantList{none, 7, 1, 2, 3, 4}
            << true << key;
        QTest::addRow("same position of another candidate")
            << "SVKAT.DB" << QVariantList{none, 7, 1, 2, 3, 4} << QVariantList{none, 8, 1, 2, 3, 4}
            << false << key;
        QTest::addRow("another position of the candidate")
            << "SVKAT.DB" << QVariantList{none, 7, 1, 2, 3, 4} << QVariantList{none, 7, 1, 2, 3, 0}
            << false << key;
        QTest::addRow("requirements of a request twice")
            << "ZAYAVZ.DB" << QVariantList{42} << QVariantList{42} << true << key;
        QTest::addRow("candidate sent twice is recorded twice")
            << "znaprk.DB" << QVariantList{1, 5, QStringLiteral("5")}
            << QVariantList{1, 5, QStringLiteral("5")} << false << key;
    }
    void uniqueKeys()
    {
        QFETCH(QString, table);
        QFETCH(QVariantList, first);
        QFETCH(QVariantList, second);
        QFETCH(bool, refused);
        QFETCH(int, code);
        auto db = freshDatabase();
        auto t = openTable(*db, table);
        KVERIFY(t->insertRecord(first));
        if (refused)
            KEXPECT_ERROR(t->insertRecord(second), kdb::Error::Code(code));
        else
            KVERIFY(t->insertRecord(second));
        t->refresh();
        QCOMPARE(t->recordCount(), refused ? 1 : 2);
    }

    // A key the program writes is never made up by the store: a request's requirements posted
    // without the request's number, or with it cleared, are refused and nothing is written.
    void programWrittenKeys_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QString>("key"); // empty: accepted
        const QVariant none;
        QTest::addRow("requirements without the request's number")
            << "ZAYAVZ.DB" << QVariantList{none, 1, 5} << "Keyn";
        QTest::addRow("requirements under the request's number")
            << "ZAYAVZ.DB" << QVariantList{42, 1, 5} << "";
        QTest::addRow("language level without its key")
            << "STEPLANG.DB" << QVariantList{none, QStringLiteral("Свободно")} << "Keyn";
        QTest::addRow("table that numbers its rows")
            << "LIBR.DB" << QVariantList{none, QStringLiteral("Договоры")} << "";
    }
    void programWrittenKeys()
    {
        QFETCH(QString, table);
        QFETCH(QVariantList, values);
        QFETCH(QString, key);
        auto db = freshDatabase();
        auto t = openTable(*db, table);
        const int before = t->recordCount();
        if (key.isEmpty()) {
            KVERIFY(t->insertRecord(values));
            QCOMPARE(t->recordCount(), before + 1);
            return;
        }
        try {
            t->insertRecord(values);
            QFAIL("a row without its key was posted");
        } catch (const kdb::Error& e) {
            QCOMPARE(e.field(), key);
            QVERIFY2(e.message().contains(key) && e.message().contains(table),
                     qPrintable(e.message()));
        }
        QCOMPARE(t->state(), kdb::Dataset::State::Browse);
        t->refresh();
        QCOMPARE(t->recordCount(), before);

        // Nor can an edit clear the key of a stored row.
        values[0] = 907;
        KVERIFY(t->insertRecord(values));
        KVERIFY(t->edit());
        KVERIFY(t->fieldByName(key).clear());
        KEXPECT_ERROR(t->post(), kdb::Error::Code::General);
        t->cancel();
        QCOMPARE(t->value(key), QVariant(907));
    }

    // The fixed lists and the currencies ship with keys 1, 2, ... and a name on every row.
    void shippedLists_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("atLeast");
        QTest::addRow("levels of language command") << "STEPLANG.DB" << 4;
        QTest::addRow("skill levels") << "UROVNVK.DB" << 3;
        QTest::addRow("marital statuses") << "MARR.DB" << 4;
        QTest::addRow("identity documents") << "PASPRT.DB" << 3;
        QTest::addRow("currencies") << "VALUT.DB" << 3;
    }
    void shippedLists()
    {
        QFETCH(QString, table);
        QFETCH(int, atLeast);
        auto t = openTable(*m_db, table);
        QVERIFY(t->recordCount() >= atLeast);
        QSet<QString> names;
        int expectedKey = 1;
        for (t->first(); !t->eof(); t->next(), ++expectedKey) {
            QCOMPARE(t->value(QStringLiteral("Keyn")).toInt(), expectedKey);
            const QString name = t->value(QStringLiteral("Name")).toString();
            QVERIFY2(!name.isEmpty() && name == name.trimmed(), qPrintable(name));
            QVERIFY2(!names.contains(name), qPrintable(name));
            names.insert(name);
        }
    }

    void baseCurrency()
    {
        auto db = freshDatabase();
        auto valut = openTable(*db, QStringLiteral("VALUT.DB"));
        const auto rate = [&](int key) {
            return valut->lookup(QStringLiteral("Keyn"), {key}, QStringLiteral("Rate"));
        };
        QCOMPARE(valut->lookup(QStringLiteral("Keyn"), {1}, QStringLiteral("Name")).toString(),
                 QStringLiteral("руб."));
        QCOMPARE(rate(1).toDouble(), 1.0);
        for (int key : {2, 3})
            QVERIFY2(rate(key).toDouble() > 1.0, qPrintable(QString::number(key)));
        QCOMPARE(valut->lookup(QStringLiteral("Keyn"), {2}, QStringLiteral("Name")).toString(),
                 QStringLiteral("USD"));
        // A currency the user adds gets a key after the shipped ones.
        valut->append();
        valut->fieldByName(QStringLiteral("Name")).setValue(QStringLiteral("CNY"));
        valut->fieldByName(QStringLiteral("Rate")).setValue(12.5);
        KVERIFY(valut->post());
        QCOMPARE(valut->value(QStringLiteral("Keyn")).toInt(), valut->recordCount());
    }

    // Every searchable field names a column of its base with a kind that column can hold.
    void fieldDescriptions()
    {
        auto sfld = openTable(*m_db, QStringLiteral("SFLD.DB"), QStringLiteral("fname"));
        QVERIFY(sfld->recordCount() > 0);
        QStringList faults;
        QSet<QString> names, columns;
        QSet<int> bases;
        for (sfld->first(); !sfld->eof(); sfld->next()) {
            const QString fld = sfld->value(QStringLiteral("Fld")).toString();
            const QString fname = sfld->value(QStringLiteral("Fname")).toString();
            const int ftip = sfld->value(QStringLiteral("Ftip")).toInt();
            const int nb = sfld->value(QStringLiteral("Nb")).toInt();
            const QString what = QStringLiteral("%1 «%2» (Nb %3)").arg(fld, fname).arg(nb);
            const QString base = baseTable(nb);
            if (base.isEmpty()) {
                faults << what + ": no such base";
                continue;
            }
            bases.insert(nb);
            const kdb::FieldDef* field = m_db->tableDef(base).find(fld);
            if (!field)
                faults << what + ": no such field in " + base;
            else if (!kindFits(ftip, field->type))
                faults << what + QStringLiteral(": kind %1 does not fit %2")
                                     .arg(ftip)
                                     .arg(QLatin1String(kdb::typeName(field->type)));
            if (fname.trimmed().isEmpty())
                faults << what + ": no name";
            const QString nameKey = QString::number(nb) + fname;
            const QString columnKey = QString::number(nb) + fld.toLower();
            if (names.contains(nameKey))
                faults << what + ": name offered twice";
            if (columns.contains(columnKey))
                faults << what + ": field described twice";
            names.insert(nameKey);
            columns.insert(columnKey);
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        QCOMPARE(bases, (QSet<int>{1, 4, 5}));
    }

    // The code lists with the captions the agency's staff know from the cards and requests.
    void codeLists_data()
    {
        QTest::addColumn<int>("nb");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("codes");
        QTest::addRow("computer skill") << 1 << "Comptr"
                                        << "0 Не владею|1 Пользователь|2 Опытный польз.|"
                                           "3 Программист|4 Сист.админ.";
        QTest::addRow("permit category") << 1 << "Katavtm"
                                         << "1 A|2 B|3 C|4 D";
        QTest::addRow("military registration") << 1 << "Voentip"
                                               << "1 призывник|2 в запасе|3 снят с учета";
        QTest::addRow("relocation") << 1 << "Twnout"
                                    << "0 не согласен|1 в пределах региона|"
                                       "2 в Европейской части РФ|3 согласен";
        QTest::addRow("blacklist entry") << 4 << "Nbas"
                                         << "0 Напрямую|1 Из кандидатов";
        QTest::addRow("request's base") << 5 << "Tipz"
                                        << "0 Действующие|1 Архивные|2 Удаленные";
        QTest::addRow("request's sex") << 5 << "Mf"
                                       << "0 Не важен|1 Муж|2 Жен";
        QTest::addRow("request's computer skill")
            << 5 << "Pc"
            << "0 Не важно|1 Пользователь|2 Опытный польз.|3 Программист|4 Сист.админ.";
        QTest::addRow("request's permit category") << 5 << "Katpr"
                                                   << "0 Не важна|1 A|2 B|3 C|4 D";
    }
    void codeLists()
    {
        QFETCH(int, nb);
        QFETCH(QString, field);
        QFETCH(QString, codes);
        const auto keys = storeRows(
            *m_db, R"(SELECT "Keyf" FROM sfld WHERE "Nb"=? AND "Fld"=? AND "Ftip"=3)", {nb, field});
        QCOMPARE(int(keys.size()), 1);
        QStringList actual;
        for (const QVariantList& row :
             storeRows(*m_db, R"(SELECT "Ktip", "Name" FROM flook WHERE "Keyf"=? ORDER BY "Ktip")",
                       {keys[0][0]}))
            actual << row[0].toString() + ' ' + row[1].toString();
        QCOMPARE(actual.join('|'), codes);
    }

    // Every code list belongs to a coded field, and every coded field has its list.
    void codeListsBelongToCodedFields()
    {
        const auto orphans =
            storeRows(*m_db, R"(SELECT f."Keyf", f."Name" FROM flook f LEFT JOIN sfld s )"
                             R"(ON s."Keyf"=f."Keyf" WHERE s."Keyf" IS NULL OR s."Ftip"<>3)");
        QVERIFY2(orphans.empty(),
                 qPrintable(orphans.empty() ? QString() : orphans[0][1].toString()));
        const auto bare =
            storeRows(*m_db, R"(SELECT s."Fld" FROM sfld s WHERE s."Ftip"=3 AND )"
                             R"((SELECT count(*) FROM flook f WHERE f."Keyf"=s."Keyf")<2)");
        QVERIFY2(bare.empty(), qPrintable(bare.empty() ? QString() : bare[0][0].toString()));
        const auto unnamed =
            storeRows(*m_db, R"(SELECT "Keyf" FROM flook WHERE "Name" IS NULL OR "Name"='')");
        QVERIFY(unnamed.empty());
    }

    // Every lookup of a key field names a table of the folder, its key field and a text to show.
    void lookupTables()
    {
        const auto lookups = storeRows(
            *m_db, R"(SELECT d."Keyn", d."Table", d."Key", d."List", s."Ftip", s."Fld", s."Nb" )"
                   R"(FROM fdblook d LEFT JOIN sfld s ON s."Keyf"=d."Keyn")");
        QVERIFY(!lookups.empty());
        QStringList faults;
        for (const QVariantList& row : lookups) {
            const QString what = QStringLiteral("fdblook %1").arg(row[0].toInt());
            if (row[4].toInt() != 6) {
                faults << what + ": not a key field of sfld";
                continue;
            }
            const kdb::TableDef* table = m_db->findTableDef(row[1].toString());
            if (!table) {
                faults << what + ": no table " + row[1].toString();
                continue;
            }
            const kdb::FieldDef* key = table->find(row[2].toString());
            const kdb::FieldDef* list = table->find(row[3].toString());
            if (!key || !kdb::isIntegerType(key->type))
                faults << what + ": no integer key " + row[2].toString();
            if (!list || !kdb::isTextType(list->type))
                faults << what + ": no text " + row[3].toString();
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        const auto missing =
            storeRows(*m_db, R"(SELECT s."Fld", s."Nb" FROM sfld s WHERE s."Ftip"=6 AND NOT )"
                             R"(EXISTS (SELECT 1 FROM fdblook d WHERE d."Keyn"=s."Keyf"))");
        QVERIFY2(missing.empty(),
                 qPrintable(missing.empty() ? QString() : missing[0][0].toString()));
    }

    // The statistics window counts by every described field that is not text, with queries
    // built from the description; each must run on a fresh folder (names, tables, joins).
    void statisticsQueriesRun()
    {
        const auto fields = storeRows(
            *m_db, R"(SELECT s."Keyf", s."Fld", s."Ftip", s."Nb", d."Table", d."Key", d."List" )"
                   R"(FROM sfld s LEFT JOIN fdblook d ON d."Keyn"=s."Keyf" WHERE s."Ftip"<>1)");
        QVERIFY(!fields.empty());
        QStringList faults;
        for (const QVariantList& row : fields) {
            const QString keyf = row[0].toString(), f = row[1].toString();
            const int ftip = row[2].toInt(), nb = row[3].toInt();
            const QString t = '"' + baseTable(nb).toLower() + QStringLiteral("\" ");
            const QString k = nb == 1 ? QStringLiteral("keyr") : QStringLiteral("keyn");
            const QString q = nb == 1 ? QStringLiteral("(Arch=0)") : QString();
            QStringList lines;
            switch (ftip) {
            case 2:
            case 5:
                lines << "select count(" + k + ") as sm, " + f + " as st"
                      << "from " + t + (q.isEmpty() ? QString() : " where " + q) << "group by " + f;
                break;
            case 3:
                lines << "select Count(a." + k + ") as sm, b.Name as st"
                      << "from " + t + " a, flook.db b where (b.keyf=" + keyf + ") and (a." + f +
                             "=b.Ktip)" + (q.isEmpty() ? QString() : " and " + q)
                      << QStringLiteral("group by b.Name");
                break;
            case 4:
                lines << "select min(" + f + ") as mn, max(" + f + ") as mx"
                      << "from " + t
                      << "where (" + f + " IS NOT NULL) " + (q.isEmpty() ? QString() : " and " + q);
                break;
            case 6:
                lines << "select Count(a." + f + ") as sm, b." + row[6].toString() + " as st"
                      << "from " + t + " a, " + row[4].toString() + " b where (a." + f + "=b." +
                             row[5].toString() + ")" + (q.isEmpty() ? QString() : " and " + q)
                      << "group by b." + row[6].toString();
                break;
            }
            kdb::Query query;
            query.setDatabase(m_db.get());
            query.setSql(lines);
            try {
                query.open();
                query.close();
            } catch (const kdb::Error& e) {
                faults << f + ": " + lines.join(' ') + ": " + e.message();
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    // The selection module turns a criterion on any described field into a filter of its
    // base's table; each kind's filter must apply to its field.
    void selectionFiltersApply()
    {
        const auto fields = storeRows(*m_db, R"(SELECT "Fld", "Ftip", "Nb" FROM sfld)");
        QStringList faults;
        for (const QVariantList& row : fields) {
            const QString fld = row[0].toString();
            const int ftip = row[1].toInt(), nb = row[2].toInt();
            static const char* const criteria[] = {
                "", "= 'Иванов'", "= True", "= 1", ">='01.01.1980'", "< 5000", "= 1",
            };
            if (ftip < 1 || ftip > 6)
                continue; // reported by fieldDescriptions
            const QString filter = (nb == 1 ? QStringLiteral("(arch=false) and ") : QString()) +
                                   '(' + fld + QString::fromUtf8(criteria[ftip]) + ')';
            try {
                auto table = openTable(*m_db, baseTable(nb));
                table->setFilter(filter);
                table->setFiltered(true);
            } catch (const kdb::Error& e) {
                faults << filter + ": " + e.message();
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    // BLACK.Paspn keeps the document kind's key as text; as a key field it still finds its kind,
    // both through the selection module's filter and through the statistics' join.
    void blacklistDocumentKind()
    {
        auto db = freshDatabase();
        auto black = openTable(*db, QStringLiteral("BLACK.DB"));
        KVERIFY(black->insertRecord({QVariant(), QStringLiteral("Петров")}));
        black->append();
        black->fieldByName(QStringLiteral("Namef")).setValue(QStringLiteral("Сидоров"));
        black->fieldByName(QStringLiteral("Paspn")).setValue(QStringLiteral("2"));
        KVERIFY(black->post());
        KVERIFY(black->setFilter(QStringLiteral("(Paspn= 2)")));
        black->setFiltered(true);
        QCOMPARE(black->recordCount(), 1);
        QCOMPARE(black->value(QStringLiteral("Namef")).toString(), QStringLiteral("Сидоров"));
        const auto counts =
            storeRows(*db, R"(SELECT count(a."Paspn"), b."Name" FROM black a, )"
                           R"(pasprt b WHERE a."Paspn"=b."Keyn" GROUP BY b."Name")");
        QCOMPARE(int(counts.size()), 1);
        QCOMPARE(counts[0][0].toInt(), 1);
        QCOMPARE(counts[0][1].toString(), QStringLiteral("Заграничный паспорт"));
    }

    void refusesOccupiedFolder_data()
    {
        QTest::addColumn<QString>("occupant");
        QTest::addRow("a Data folder") << "store";
        QTest::addRow("another file") << "file";
        QTest::addRow("an empty subfolder") << "folder";
        QTest::addRow("a file in place of the folder") << "self";
    }
    void refusesOccupiedFolder()
    {
        QFETCH(QString, occupant);
        const QString path = newPath(QStringLiteral("occupied"));
        if (occupant == QLatin1String("store")) {
            KVERIFY(kadrol::createDataFolder(path));
        } else if (occupant == QLatin1String("self")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("кадры");
        } else {
            QVERIFY(QDir().mkpath(path));
            if (occupant == QLatin1String("folder")) {
                QVERIFY(QDir(path).mkdir(QStringLiteral("old")));
            } else {
                QFile file(QDir(path).filePath(QStringLiteral("notes.txt")));
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write("кадры");
            }
        }
        const auto before = snapshot(path);
        const QString error = errorOf([&] { kadrol::createDataFolder(path); });
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
        QCOMPARE(snapshot(path), before);
    }

    void createsMissingFolders()
    {
        const QString path = newPath(QStringLiteral("new")) + QStringLiteral("/agency/Data");
        KVERIFY(kadrol::createDataFolder(path));
        auto db = kdb::Database::forFolder(path);
        KVERIFY(db->open());
        QCOMPARE(int(db->tableNames().size()), int(std::size(tableShapes)));
    }

    void unwritablePlace_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addRow("a file on the way") << "file";
        QTest::addRow("a read-only parent") << "read-only parent";
        QTest::addRow("a read-only empty folder") << "read-only folder";
    }
    void unwritablePlace()
    {
        QFETCH(QString, place);
        const QString parent = newPath(QStringLiteral("place"));
        QString path = parent + QStringLiteral("/Data");
        if (place == QLatin1String("file")) {
            QFile file(parent);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("не папка");
        } else {
            if (geteuid() == 0)
                QSKIP("the superuser writes into read-only folders");
            QVERIFY(QDir().mkpath(place == QLatin1String("read-only folder") ? path : parent));
            const QString locked = place == QLatin1String("read-only folder") ? path : parent;
            QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
        }
        const auto before = snapshot(parent);
        const QString error = errorOf([&] { kadrol::createDataFolder(path); });
        QFile::setPermissions(parent, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(!error.isEmpty(), "the folder was built");
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
        QCOMPARE(snapshot(parent), before);
    }

    void pictureStore()
    {
        QTemporaryDir program;
        KVERIFY(kadrol::createPictureStore(program.path()));
        auto db = kdb::Database::forFolder(program.path());
        KVERIFY(db->open());
        QCOMPARE(db->tableNames(), QStringList{QStringLiteral("pictr")});
        auto pictr = openTable(*db, QStringLiteral("PICTR.DB"));
        QCOMPARE(pictr->fieldByName(QStringLiteral("Pict")).type(), FieldType::Graphic);
        QList<int> keys;
        for (pictr->first(); !pictr->eof(); pictr->next()) {
            const int key = pictr->value(QStringLiteral("Keyn")).toInt();
            keys << key;
            const QByteArray png = pictr->value(QStringLiteral("Pict")).toByteArray();
            QVERIFY2(png.size() < 150 * 1024, qPrintable(QString::number(key)));
            const QImage image = QImage::fromData(png, "PNG");
            QVERIFY2(!image.isNull() && image.width() >= 300 && image.height() >= 300,
                     qPrintable(QString::number(key)));
        }
        QCOMPARE(keys, (QList<int>{1, 3, 5, 6, 7, 9}));
        // A second build leaves the store as it is.
        const QString error = errorOf([&] { kadrol::createPictureStore(program.path()); });
        QVERIFY2(!error.isEmpty(), "the store was built twice");
        pictr->refresh();
        QCOMPARE(pictr->recordCount(), 6);
    }

    void prepareProgramFolder()
    {
        const QString program = newPath(QStringLiteral("program"));
        KVERIFY(kadrol::prepareProgramFolder(program));
        const QDir dir(program);
        for (const char* folder : {"Data", "Foto", "CV", "template"})
            QVERIFY2(QFileInfo(dir.filePath(QLatin1String(folder))).isDir(), folder);
        QVERIFY(QFileInfo::exists(dir.filePath(kdb::Database::storeFileName())));
        {
            auto data = kdb::Database::forFolder(dir.filePath(QStringLiteral("Data")));
            KVERIFY(data->open());
            KVERIFY(data->executeStoreSql(R"(INSERT INTO sfera ("Name") VALUES ('Торговля'))"));
        }
        // Run again: nothing is rebuilt, the agency's rows stay.
        KVERIFY(kadrol::prepareProgramFolder(program));
        auto data = kdb::Database::forFolder(dir.filePath(QStringLiteral("Data")));
        KVERIFY(data->open());
        QCOMPARE(int(storeRows(*data, QStringLiteral("SELECT 1 FROM sfera")).size()), 1);
    }

    void prepareLeavesExistingDataFolder()
    {
        const QString program = newPath(QStringLiteral("program"));
        const QString data = program + QStringLiteral("/Data");
        QVERIFY(QDir().mkpath(data));
        KVERIFY(kadrol::prepareProgramFolder(program));
        QVERIFY(QDir(data).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QVERIFY(QFileInfo(program + QStringLiteral("/Foto")).isDir());
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
