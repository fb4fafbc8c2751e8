#include "casefile.h"

#include "error.h"
#include "localsql.h"
#include "sqlitefunctions.h"

#include <QRegularExpression>
#include <QtTest>
#include <algorithm>
#include <map>
#include <sqlite3.h>

using namespace kdb;

namespace {

QString typeLabel(FieldType type)
{
    switch (type) {
    case FieldType::Unknown:
        return QStringLiteral("Unknown");
    case FieldType::AutoInc:
        return QStringLiteral("AutoInc");
    case FieldType::Integer:
        return QStringLiteral("Integer");
    case FieldType::SmallInt:
        return QStringLiteral("SmallInt");
    case FieldType::Float:
        return QStringLiteral("Float");
    case FieldType::Boolean:
        return QStringLiteral("Boolean");
    case FieldType::Date:
        return QStringLiteral("Date");
    case FieldType::String:
        return QStringLiteral("String");
    case FieldType::Memo:
        return QStringLiteral("Memo");
    case FieldType::Graphic:
        return QStringLiteral("Graphic");
    }
    return QString();
}

Error::Code codeNamed(const QString& name)
{
    if (name == QLatin1String("Syntax"))
        return Error::Code::Syntax;
    if (name == QLatin1String("NotFound"))
        return Error::Code::NotFound;
    qFatal("unknown error code %s in the case file", qPrintable(name));
}

// Expected rows: groups of rows that may come in any order among themselves.
using RowGroups = std::vector<QStringList>;

} // namespace

Q_DECLARE_METATYPE(RowGroups)

class LocalSqlTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void statements_data();
    void statements();
    void nesting_data();
    void nesting();

private:
    void openFixture();
    // Runs store SQL, binding the integer parameters by name; the rows as "a | b | c".
    QStringList run(const QString& sql, const QVariantMap& params, int* changes = nullptr);

    QByteArray m_fixture;
    std::map<QString, TableDef> m_tables;
    sqlite3* m_db = nullptr;
};

void LocalSqlTest::initTestCase()
{
    QFile fixture(casefile::dataPath(QStringLiteral("localsql_fixture.sql")));
    QVERIFY(fixture.open(QIODevice::ReadOnly));
    m_fixture = fixture.readAll();

    openFixture();
    QStringList names;
    sqlite3_stmt* tables = nullptr;
    QCOMPARE(sqlite3_prepare_v2(m_db, "SELECT name FROM sqlite_master WHERE type = 'table'", -1,
                                &tables, nullptr),
             SQLITE_OK);
    while (sqlite3_step(tables) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(tables, 0)));
    sqlite3_finalize(tables);
    for (const QString& name : names) {
        if (name.startsWith(QLatin1String("sqlite_")))
            continue;
        TableDef table;
        table.name = name;
        sqlite3_stmt* columns = nullptr;
        const QByteArray pragma = QStringLiteral("PRAGMA table_info(%1)").arg(name).toUtf8();
        QCOMPARE(sqlite3_prepare_v2(m_db, pragma.constData(), -1, &columns, nullptr), SQLITE_OK);
        int keyColumns = 0;
        while (sqlite3_step(columns) == SQLITE_ROW) {
            const bool key = sqlite3_column_int(columns, 5) != 0;
            keyColumns += key ? 1 : 0;
            table.fields.push_back(casefile::fieldFromDeclared(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(columns, 1))),
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(columns, 2))),
                key));
        }
        sqlite3_finalize(columns);
        // Only a single-column integer key is an auto-increment key (zvrecr has a pair).
        if (keyColumns > 1) {
            for (FieldDef& field : table.fields) {
                if (field.type == FieldType::AutoInc)
                    field.type = FieldType::Integer;
            }
        }
        m_tables[name] = table;
    }
    QVERIFY(m_tables.count(QStringLiteral("reserv")) == 1);
    cleanup();
}

void LocalSqlTest::openFixture()
{
    QCOMPARE(sqlite3_open(":memory:", &m_db), SQLITE_OK);
    // A double-quoted word that names no column must be an error, not a silent text: the
    // translation may never rely on that leniency of the store.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    installRussianFunctions(m_db);
    char* message = nullptr;
    if (sqlite3_exec(m_db, m_fixture.constData(), nullptr, nullptr, &message) != SQLITE_OK)
        QFAIL(message);
}

void LocalSqlTest::cleanup()
{
    sqlite3_close(m_db);
    m_db = nullptr;
}

void LocalSqlTest::statements_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantMap>("bind");
    QTest::addColumn<QStringList>("bindOrder");
    QTest::addColumn<QString>("types");
    QTest::addColumn<bool>("anyOrder");
    QTest::addColumn<RowGroups>("rows");
    QTest::addColumn<QString>("changes");
    QTest::addColumn<QString>("then");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("message");

    for (const casefile::Case& c : casefile::read(QStringLiteral("localsql_cases.txt"))) {
        QVariantMap bind;
        QStringList bindOrder;
        const QString bindText = c.value(QStringLiteral("bind"));
        for (const QString& pair : bindText.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QStringList parts = pair.trimmed().split(QLatin1Char('='));
            bind.insert(parts.value(0), parts.value(1).toLongLong());
            bindOrder << parts.value(0);
        }
        RowGroups rows;
        for (const casefile::Entry& entry : c.entries) {
            if (entry.key == QLatin1String("row"))
                rows.push_back({entry.value});
            else if (entry.key == QLatin1String("tie") && !rows.empty())
                rows.back() << entry.value;
        }
        const bool expectsResult = c.has(QStringLiteral("row")) || c.has(QStringLiteral("none"));
        if (!expectsResult && !c.has(QStringLiteral("error")))
            qFatal("case '%s' (line %d) expects neither rows nor an error", qPrintable(c.name),
                   c.line);
        QTest::addRow("%s", qPrintable(c.name))
            << c.value(QStringLiteral("sql")) << bind << bindOrder
            << c.value(QStringLiteral("types"))
            << (c.value(QStringLiteral("order")) == QLatin1String("any")) << rows
            << c.value(QStringLiteral("changes")) << c.value(QStringLiteral("then"))
            << c.value(QStringLiteral("error")) << c.value(QStringLiteral("message"));
    }
}

QStringList LocalSqlTest::run(const QString& sql, const QVariantMap& params, int* changes)
{
    sqlite3_stmt* statement = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db, text.constData(), -1, &statement, nullptr) != SQLITE_OK) {
        QTest::qFail(qPrintable(QStringLiteral("%1\n   %2").arg(sqlite3_errmsg(m_db), sql)),
                     __FILE__, __LINE__);
        return {};
    }
    for (auto it = params.begin(); it != params.end(); ++it) {
        const QByteArray name = QByteArray(":") + it.key().toUtf8();
        const int index = sqlite3_bind_parameter_index(statement, name.constData());
        if (index == 0) {
            QTest::qFail(
                qPrintable(
                    QStringLiteral("no parameter %1 in %2").arg(QString::fromUtf8(name), sql)),
                __FILE__, __LINE__);
            sqlite3_finalize(statement);
            return {};
        }
        sqlite3_bind_int64(statement, index, it.value().toLongLong());
    }
    QStringList rows;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        QStringList values;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            if (sqlite3_column_type(statement, i) == SQLITE_NULL)
                values << QStringLiteral("NULL");
            else
                values << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
        }
        rows << values.join(QLatin1String(" | "));
    }
    if (rc != SQLITE_DONE)
        QTest::qFail(qPrintable(QStringLiteral("%1\n   %2").arg(sqlite3_errmsg(m_db), sql)),
                     __FILE__, __LINE__);
    if (changes)
        *changes = sqlite3_changes(m_db);
    sqlite3_finalize(statement);
    return rows;
}

void LocalSqlTest::statements()
{
    QFETCH(QString, sql);
    QFETCH(QVariantMap, bind);
    QFETCH(QStringList, bindOrder);
    QFETCH(QString, types);
    QFETCH(bool, anyOrder);
    QFETCH(RowGroups, rows);
    QFETCH(QString, changes);
    QFETCH(QString, then);
    QFETCH(QString, error);
    QFETCH(QString, message);

    openFixture();
    const TableResolver resolve = [this](const QString& name) -> const TableDef* {
        const auto it = m_tables.find(tableNameForFile(name));
        return it == m_tables.end() ? nullptr : &it->second;
    };

    if (!error.isEmpty()) {
        try {
            const TranslatedSql translated = translateLocalSql(sql, resolve);
            QFAIL(qPrintable(QStringLiteral("translated to %1").arg(translated.sql)));
        } catch (const Error& e) {
            QCOMPARE(int(e.code()), int(codeNamed(error)));
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
        return;
    }

    const TranslatedSql translated = translateLocalSql(sql, resolve);
    // The statement's first word, after any comments before it.
    static const QRegularExpression leadingComments(QStringLiteral("^(\\s|--[^\\n]*|/\\*.*?\\*/)*"),
                                                    QRegularExpression::DotMatchesEverythingOption);
    QCOMPARE(translated.isSelect, QString(sql)
                                      .remove(leadingComments)
                                      .startsWith(QLatin1String("select"), Qt::CaseInsensitive));
    QCOMPARE(translated.parameterNames, bindOrder);
    if (!types.isEmpty()) {
        QStringList actualTypes;
        for (const FieldType type : translated.columnTypes)
            actualTypes << typeLabel(type);
        QCOMPARE(actualTypes.join(QLatin1String(", ")), types);
    }

    int changed = 0;
    QStringList actual = run(translated.sql, bind, &changed);
    if (QTest::currentTestFailed())
        return;
    if (!changes.isEmpty())
        QCOMPARE(changed, changes.toInt());
    if (!then.isEmpty())
        actual = run(then, {});

    QStringList expected;
    for (const QStringList& group : rows)
        expected << group;
    if (anyOrder) {
        std::sort(actual.begin(), actual.end());
        std::sort(expected.begin(), expected.end());
    } else {
        // Rows of one group stand in any order among themselves.
        int at = 0;
        for (const QStringList& group : rows) {
            if (group.size() > 1 && at + group.size() <= actual.size()) {
                std::sort(actual.begin() + at, actual.begin() + at + group.size());
                std::sort(expected.begin() + at, expected.begin() + at + group.size());
            }
            at += static_cast<int>(group.size());
        }
    }
    if (actual != expected)
        qWarning("translated: %s", qPrintable(translated.sql));
    QCOMPARE(actual, expected);
}

void LocalSqlTest::nesting_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("refused");
    const QString select = QStringLiteral("select keyr from \"reserv.db\" where ");
    auto repeated = [](const char* text, int times) {
        return QString::fromLatin1(text).repeated(times);
    };
    QTest::addRow("3000 parentheses")
        << select + repeated("(", 3000) + QStringLiteral("keyr=1") + repeated(")", 3000) << true;
    QTest::addRow("3000 signs") << select + QStringLiteral("keyr = ") + repeated("- ", 3000) +
                                       QStringLiteral("1")
                                << true;
    QTest::addRow("3000 NOTs") << select + repeated("not ", 3000) + QStringLiteral("keyr=1")
                               << true;
    QTest::addRow("300 nested subqueries")
        << select + QStringLiteral("keyr in ") +
               repeated("(select keyr from \"reserv.db\" where keyr in ", 300) +
               QStringLiteral("(1)") + repeated(")", 300)
        << true;
    QTest::addRow("30 parentheses are fine")
        << select + repeated("(", 30) + QStringLiteral("keyr=1") + repeated(")", 30) << false;
    QTest::addRow("30 signs are fine")
        << select + QStringLiteral("keyr = ") + repeated("- ", 30) + QStringLiteral("1") << false;
}

// A text nested thousands of levels deep is refused with a message, not a crash of the stack.
void LocalSqlTest::nesting()
{
    QFETCH(QString, sql);
    QFETCH(bool, refused);
    const TableResolver resolve = [this](const QString& name) -> const TableDef* {
        const auto it = m_tables.find(tableNameForFile(name));
        return it == m_tables.end() ? nullptr : &it->second;
    };
    try {
        const TranslatedSql translated = translateLocalSql(sql, resolve);
        QVERIFY2(!refused, qPrintable(translated.sql.left(200)));
        openFixture();
        QCOMPARE(run(translated.sql, {}), QStringList{QStringLiteral("1")});
    } catch (const Error& e) {
        QVERIFY2(refused, qPrintable(e.message()));
        QCOMPARE(int(e.code()), int(Error::Code::Syntax));
        QVERIFY2(e.message().contains(QStringLiteral("вложено глубже")), qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(LocalSqlTest)
#include "tst_localsql.moc"
