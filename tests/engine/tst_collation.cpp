#include "collation.h"
#include "sqlitefunctions.h"
#include "store.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <sqlite3.h>
#include <string>
#include <vector>

using namespace kdb;

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

int compareUtf8(const QString& a, const QString& b)
{
    const QByteArray x = a.toUtf8();
    const QByteArray y = b.toUtf8();
    return compareRussian(x.constData(), x.size(), y.constData(), y.size());
}

// An independent statement of the order for the letters the generator below uses: class
// (0 digits and punctuation, 1 Latin, 2 Cyrillic), then the rank inside the class, with Ё
// ranked as Е; between texts equal so far, the places of Ё against Е decide.
std::vector<std::pair<int, int>> referenceKey(const QString& text)
{
    static const QString russian = QStringLiteral("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ");
    std::vector<std::pair<int, int>> key;
    for (const QChar c : text) {
        QChar upper = c.toUpper();
        if (upper == QChar(0x401))
            upper = QChar(0x415);
        if (upper >= QLatin1Char('A') && upper <= QLatin1Char('Z'))
            key.emplace_back(1, upper.unicode() - 'A');
        else if (russian.contains(upper))
            key.emplace_back(2, static_cast<int>(russian.indexOf(upper)));
        else
            key.emplace_back(0, c.unicode());
    }
    return key;
}

std::vector<bool> referenceYo(const QString& text)
{
    std::vector<bool> marks;
    for (const QChar c : text)
        marks.push_back(c.toUpper() == QChar(0x401));
    return marks;
}

template <typename Key> int compareKeys(const Key& x, const Key& y)
{
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end())   ? -1
           : std::lexicographical_compare(y.begin(), y.end(), x.begin(), x.end()) ? 1
                                                                                  : 0;
}

int compareReference(const QString& a, const QString& b)
{
    const int primary = compareKeys(referenceKey(a), referenceKey(b));
    return primary != 0 ? primary : compareKeys(referenceYo(a), referenceYo(b));
}

// Names that share long prefixes, as neighbours in a name index do.
QStringList generatedNames(int count)
{
    static const QStringList stems = {
        QStringLiteral("Иван"),  QStringLiteral("ИВАН"), QStringLiteral("иван"),
        QStringLiteral("Алён"),  QStringLiteral("Ален"), QStringLiteral("Ёлк"),
        QStringLiteral("Елк"),   QStringLiteral("Яна"),  QStringLiteral("ян"),
        QStringLiteral("Smith"), QStringLiteral("smit"), QStringLiteral("1985-03-"),
        QStringLiteral("Ж"),     QStringLiteral("Щ"),    QStringLiteral(""),
    };
    static const QString letters =
        QStringLiteral("абвгдеёжзийклмнопрстуфхцчшщъыьэюяАБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"
                       "abczABCZ0189 -._{");
    QRandomGenerator random(20050315);
    QStringList names;
    for (int i = 0; i < count; ++i) {
        QString name = stems[random.bounded(static_cast<int>(stems.size()))];
        const int extra = random.bounded(5);
        for (int k = 0; k < extra; ++k)
            name += letters[random.bounded(static_cast<int>(letters.size()))];
        names << name;
    }
    return names;
}

QStringList column(sqlite3* db, const char* sql)
{
    QStringList values;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        QTest::qFail(sqlite3_errmsg(db), __FILE__, __LINE__);
        return values;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        if (sqlite3_column_type(statement, 0) == SQLITE_NULL)
            values << QStringLiteral("NULL");
        else
            values << QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    }
    sqlite3_finalize(statement);
    return values;
}

} // namespace

class CollationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void order_data();
    void order();
    void agreesWithReference();
    void malformedUtf8IsOrderedConsistently();
    void upper_data();
    void upper();
    void upperAppends();
    void searchForm_data();
    void searchForm();
    void sqliteFunctions();
    void sqliteIndexOverManyNames();
    void storeOfAnOlderOrderIsReindexed();
};

void CollationTest::order_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("expected");

    QTest::addRow("lower-case а before Б") << "абрамов"
                                           << "Борисов" << -1;
    QTest::addRow("Ё sorts as Е: Егоров before Ёлкин") << "Егоров"
                                                       << "ёлкин" << -1;
    QTest::addRow("Ё sorts as Е: Ёлкин before Ефремова") << "Ёлкин"
                                                         << "Ефремова" << -1;
    QTest::addRow("Ё sorts as Е: Ёж before Ежов") << "Ёж"
                                                  << "Ежов" << -1;
    QTest::addRow("Ё sorts as Е: Семён before Семенов") << "Семён"
                                                        << "Семенов" << -1;
    QTest::addRow("Ё before Ж") << "ёлкин"
                                << "Жуков" << -1;
    QTest::addRow("tie: Е before Ё inside a name") << "Алена"
                                                   << "Алёна" << -1;
    QTest::addRow("tie: Е before Ё, other case") << "АЛЁНА"
                                                 << "алена" << 1;
    QTest::addRow("tie: Е before Ё at the start") << "Елкин"
                                                  << "ёлкин" << -1;
    QTest::addRow("tie: the first Ё/Е place decides") << "Ёлкина Елена"
                                                      << "Елкина Ёлена" << 1;
    QTest::addRow("tie only when all else is equal") << "Алёна"
                                                     << "Аленам" << -1;
    QTest::addRow("tie after a shared prefix") << "Пётр Петров"
                                               << "Пётр Пётров" << -1;
    QTest::addRow("Я after а with the same lead byte") << "Яна"
                                                       << "анна" << 1;
    QTest::addRow("И before Й") << "Ивин"
                                << "Йогурт" << -1;
    QTest::addRow("Ъ before Ы before Ь") << "съезд"
                                         << "сыр" << -1;
    QTest::addRow("Ь before Э") << "Ь"
                                << "Э" << -1;
    QTest::addRow("Ю before Я") << "юг"
                                << "Яков" << -1;
    QTest::addRow("case only: Cyrillic") << "Иванов"
                                         << "ИВАНОВ" << 0;
    QTest::addRow("case only: ё") << "ёлкин"
                                  << "ЁЛКИН" << 0;
    QTest::addRow("case only: Latin") << "smith"
                                      << "SMITH" << 0;
    QTest::addRow("case only: U+0450 block") << "\u0450\u0453"
                                             << "\u0400\u0403" << 0;
    QTest::addRow("shorter first") << "Иванов"
                                   << "Иванова" << -1;
    QTest::addRow("empty first") << ""
                                 << "а" << -1;
    QTest::addRow("empty equals empty") << ""
                                        << "" << 0;
    QTest::addRow("Latin folded: a before S") << "abc"
                                              << "Smith" << -1;
    QTest::addRow("Latin before Cyrillic") << "Zorro"
                                           << "Абрамов" << -1;
    QTest::addRow("digits before Latin") << "9"
                                         << "A" << -1;
    QTest::addRow("punctuation before Latin") << "{x"
                                              << "ax" << -1;
    QTest::addRow("underscore before Latin") << "_x"
                                             << "Ax" << -1;
    QTest::addRow("blank before letters") << "Иванов Иван"
                                          << "Иванова" << -1;
    QTest::addRow("ISO dates in date order") << "1985-03-15"
                                             << "1985-12-01" << -1;
    QTest::addRow("numbers as text keep binary order") << "10"
                                                       << "9" << -1;
    QTest::addRow("Serbian letter after Я") << "Ђорђе"
                                            << "Яковлев" << 1;
    QTest::addRow("Greek after Cyrillic") << "Ωmega"
                                          << "Яблоко" << 1;
    QTest::addRow("case only: Greek") << "αβγ"
                                      << "ΑΒΓ" << 0;
    QTest::addRow("sign before Cyrillic") << "№5"
                                          << "а" << -1;
}

void CollationTest::order()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, expected);
    QCOMPARE(sign(compareUtf8(a, b)), expected);
    QCOMPARE(sign(compareUtf8(b, a)), -expected);
    QCOMPARE(sign(compareRussian(a, b)), expected);
    QCOMPARE(sign(compareRussian(b, a)), -expected);
}

void CollationTest::agreesWithReference()
{
    const QStringList names = generatedNames(600);
    for (int i = 0; i < names.size(); ++i) {
        for (int j = i; j < names.size(); j += 7) {
            const int expected = compareReference(names[i], names[j]);
            if (sign(compareUtf8(names[i], names[j])) != expected ||
                sign(compareRussian(names[i], names[j])) != expected)
                QFAIL(qPrintable(QStringLiteral("«%1» against «%2»: expected %3")
                                     .arg(names[i], names[j])
                                     .arg(expected)));
        }
    }
}

void CollationTest::malformedUtf8IsOrderedConsistently()
{
    // Bytes that are not UTF-8 (a cut sequence, a stray continuation, an overlong form) must
    // still give an order an index can rely on.
    const std::vector<std::string> texts = {
        "\xD0",         "\xD0\xB0",         "\xD0\x41",         "\x80",         "\xD1",
        "\xE2\x84",     "\xE2\x84\x96",     "\xC0\xAF",         "a\xFF",        "a",
        "\xD0\xB0\xD0", "\xD0\xB0\xD1\x91", "\xF0\x9F\x98\x80", "\xED\xA0\x80", "",
    };
    auto compare = [](const std::string& a, const std::string& b) {
        return sign(compareRussian(a.data(), static_cast<int>(a.size()), b.data(),
                                   static_cast<int>(b.size())));
    };
    for (const std::string& a : texts) {
        QCOMPARE(compare(a, a), 0);
        for (const std::string& b : texts) {
            QCOMPARE(compare(a, b), -compare(b, a));
            for (const std::string& c : texts) {
                if (compare(a, b) <= 0 && compare(b, c) <= 0)
                    QVERIFY(compare(a, c) <= 0);
            }
        }
    }
}

void CollationTest::upper_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::addRow("ASCII") << "Ivanov abc-123_z"
                           << "IVANOV ABC-123_Z";
    QTest::addRow("Russian") << "абвгдежзийклмнопрстуфхцчшщъыьэюя"
                             << "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";
    QTest::addRow("ё") << "ёлкин Семён"
                       << "ЁЛКИН СЕМЁН";
    QTest::addRow("capitals stay") << "ИВАНОВ ЁЖ"
                                   << "ИВАНОВ ЁЖ";
    QTest::addRow("U+0450 block") << "\u0450\u0452\u0456\u045F"
                                  << "\u0400\u0402\u0406\u040F";
    QTest::addRow("historic Cyrillic") << "\u0463\u0473"
                                       << "\u0462\u0472";
    QTest::addRow("Greek") << "αβγ"
                           << "ΑΒΓ";
    QTest::addRow("Latin with accents") << "école"
                                        << "ÉCOLE";
    QTest::addRow("signs and digits") << "№ 5, «да»"
                                      << "№ 5, «ДА»";
    QTest::addRow("empty") << ""
                           << "";
}

void CollationTest::upper()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QByteArray bytes = text.toUtf8();
    std::string out;
    upperUtf8(bytes.constData(), bytes.size(), out);
    QCOMPARE(QString::fromStdString(out), expected);
    QCOMPARE(upperRussian(text), expected);
}

void CollationTest::upperAppends()
{
    std::string out = "x";
    upperUtf8("ab\xFF", 3, out);
    QCOMPARE(out, std::string("xAB\xFF")); // bytes that are not UTF-8 are kept
}

void CollationTest::searchForm_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::addRow("ё is Е") << "ёлкин Семён"
                            << "ЕЛКИН СЕМЕН";
    QTest::addRow("Ё is Е") << "ЁЖ"
                            << "ЕЖ";
    QTest::addRow("Е stays") << "ел"
                             << "ЕЛ";
    QTest::addRow("other letters upper-cased") << "Smith абв ъ"
                                               << "SMITH АБВ Ъ";
    QTest::addRow("U+0450 block keeps its letters") << "ѐі"
                                                    << "ЀІ";
    QTest::addRow("empty") << ""
                           << "";
}

void CollationTest::searchForm()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QByteArray bytes = text.toUtf8();
    std::string out = "x";
    searchFormUtf8(bytes.constData(), bytes.size(), out);
    QCOMPARE(QString::fromStdString(out), QStringLiteral("x") + expected);
    QCOMPARE(searchFormRussian(text), expected);
}

void CollationTest::sqliteFunctions()
{
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(":memory:", &db), SQLITE_OK);
    installRussianFunctions(db);

    QCOMPARE(column(db, "SELECT kdb_upper(NULL)"), QStringList{"NULL"});
    QCOMPARE(column(db, "SELECT kdb_upper('ёлкин Семён')"), QStringList{"ЁЛКИН СЕМЁН"});
    QCOMPARE(column(db, "SELECT kdb_upper(12)"), QStringList{"12"});
    QCOMPARE(column(db, "SELECT 'иванов' = 'ИВАНОВ' COLLATE RUS"), QStringList{"1"});
    QCOMPARE(column(db, "SELECT kdb_search('ёлкин')"), QStringList{"ЕЛКИН"});
    QCOMPARE(column(db, "SELECT kdb_search(NULL)"), QStringList{"NULL"});
    QCOMPARE(column(db, "SELECT 'ёлкин' = 'елкин' COLLATE RUS"), QStringList{"0"});

    QCOMPARE(sqlite3_exec(db,
                          "CREATE TABLE t (n VARCHAR(50));"
                          "INSERT INTO t VALUES ('Жуков'), ('ёлкин'), ('Егоров'), ('абрамов'),"
                          " ('Борисов'), ('Smith'), (NULL), ('1-й'), ('Ельцова');",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    QCOMPARE(column(db, "SELECT n FROM t ORDER BY n COLLATE RUS"),
             QStringList({"NULL", "1-й", "Smith", "абрамов", "Борисов", "Егоров", "ёлкин",
                          "Ельцова", "Жуков"}));
    // The upper function may stand in an index only when it is registered as deterministic.
    QCOMPARE(
        sqlite3_exec(db, "CREATE INDEX t_upper ON t (kdb_upper(n))", nullptr, nullptr, nullptr),
        SQLITE_OK);
    QCOMPARE(column(db, "SELECT n FROM t WHERE kdb_upper(n) = 'ЁЛКИН'"), QStringList{"ёлкин"});
    sqlite3_close(db);
}

void CollationTest::sqliteIndexOverManyNames()
{
    // SQLite checks an index against the collation: an order that is not consistent (not
    // transitive, not antisymmetric) shows up as a damaged index or a missed lookup.
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(":memory:", &db), SQLITE_OK);
    installRussianFunctions(db);
    QCOMPARE(sqlite3_exec(db, "CREATE TABLE t (k INTEGER PRIMARY KEY, n VARCHAR(50))", nullptr,
                          nullptr, nullptr),
             SQLITE_OK);
    sqlite3_stmt* insert = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db, "INSERT INTO t (n) VALUES (?)", -1, &insert, nullptr),
             SQLITE_OK);
    const QStringList names = generatedNames(5000);
    for (const QString& name : names) {
        const QByteArray bytes = name.toUtf8();
        sqlite3_bind_text(insert, 1, bytes.constData(), bytes.size(), SQLITE_TRANSIENT);
        QCOMPARE(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    QCOMPARE(
        sqlite3_exec(db, "CREATE INDEX t_name ON t (n COLLATE RUS, k)", nullptr, nullptr, nullptr),
        SQLITE_OK);
    QCOMPARE(column(db, "PRAGMA integrity_check"), QStringList{"ok"});

    const QStringList ordered = column(db, "SELECT n FROM t ORDER BY n COLLATE RUS, k");
    QCOMPARE(ordered.size(), names.size());
    for (int i = 1; i < ordered.size(); ++i)
        QVERIFY2(compareReference(ordered[i - 1], ordered[i]) <= 0,
                 qPrintable(ordered[i - 1] + QStringLiteral(" / ") + ordered[i]));

    // A lookup through the index finds every letter case of a name.
    const int expected =
        static_cast<int>(std::count_if(names.begin(), names.end(), [](const QString& n) {
            return n.compare(QStringLiteral("иван"), Qt::CaseInsensitive) == 0;
        }));
    QVERIFY(expected > 0);
    QCOMPARE(column(db, "SELECT count(*) FROM t INDEXED BY t_name WHERE n = 'ИВАН' COLLATE RUS"),
             QStringList{QString::number(expected)});
    sqlite3_close(db);
}

namespace {
// An order other than ours, standing for the order of an older program: ours reversed.
int reversedOrder(void*, int lengthA, const void* a, int lengthB, const void* b)
{
    return compareRussian(static_cast<const char*>(b), lengthB, static_cast<const char*>(a),
                          lengthA);
}
} // namespace

void CollationTest::storeOfAnOlderOrderIsReindexed()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    createSqliteStore(dir.path(), QStringLiteral("CREATE TABLE t (k INTEGER PRIMARY KEY, n "
                                                 "VARCHAR(50));"
                                                 "CREATE INDEX t_name ON t (n COLLATE RUS, k);"));
    const QByteArray file = QDir(dir.path()).filePath(sqliteStoreFileName()).toUtf8();
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(file.constData(), &db), SQLITE_OK);
    QCOMPARE(column(db, "PRAGMA user_version"),
             QStringList{QString::number(russianCollationVersion)});
    // A folder written by a program of another order: its index holds the rows in that order,
    // and the folder keeps no version (or an older one).
    QCOMPARE(sqlite3_create_collation_v2(db, "RUS", SQLITE_UTF8, nullptr, reversedOrder, nullptr),
             SQLITE_OK);
    QCOMPARE(sqlite3_exec(db,
                          "INSERT INTO t (n) VALUES ('Ефремова'), ('Ёлкин'), ('Егоров'),"
                          " ('Алёна'), ('Алена'), ('Жуков'); PRAGMA user_version = 0;",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(db);

    openSqliteStore(dir.path()).reset();

    QCOMPARE(sqlite3_open(file.constData(), &db), SQLITE_OK);
    installRussianFunctions(db);
    QCOMPARE(column(db, "PRAGMA integrity_check"), QStringList{"ok"});
    QCOMPARE(column(db, "PRAGMA user_version"),
             QStringList{QString::number(russianCollationVersion)});
    QCOMPARE(column(db, "SELECT n FROM t INDEXED BY t_name ORDER BY n COLLATE RUS"),
             QStringList({"Алена", "Алёна", "Егоров", "Ёлкин", "Ефремова", "Жуков"}));
    sqlite3_close(db);
}

QTEST_GUILESS_MAIN(CollationTest)
#include "tst_collation.moc"
