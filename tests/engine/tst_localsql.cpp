#include "casefile.h"

#include "database.h"
#include "error.h"
#include "localsql.h"
#include "store.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QtTest>
#include <algorithm>
#include <map>
#include <memory>

using namespace kdb;
using kadroltest::TempStore;

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
    // Runs store SQL, binding the parameters by name; the rows as "a | b | c".
    QStringList run(const QString& sql, const QVariantMap& params, int* changes = nullptr);

    QString m_fixture;
    std::map<QString, TableDef> m_tables;
    std::unique_ptr<TempStore> m_store;
    std::unique_ptr<Database> m_db;
};

void LocalSqlTest::initTestCase()
{
    KSKIP_WITHOUT_SERVER();
    QFile fixture(casefile::dataPath(QStringLiteral("localsql_fixture.sql")));
    QVERIFY(fixture.open(QIODevice::ReadOnly));
    m_fixture = QString::fromUtf8(fixture.readAll());

    openFixture();
    for (const QString& name : m_db->tableNames())
        m_tables[name] = m_db->tableDef(name);
    QVERIFY(m_tables.count(QStringLiteral("reserv")) == 1);
    cleanup();
}

// The fixture, fresh for every case, on the store of this run (the embedded store, or a
// schema of its own on the test server).
void LocalSqlTest::openFixture()
{
    m_store = std::make_unique<TempStore>(m_fixture);
    KVERIFY(m_db = m_store->open());
}

void LocalSqlTest::cleanup()
{
    m_db.reset();
    m_store.reset();
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

namespace {
// A value as the case file writes it: numbers as the embedded store prints them (a whole
// floating-point number with ".0"), texts and dates as they stand.
QString rendered(const QVariant& v)
{
    if (v.isNull())
        return QStringLiteral("NULL");
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        if (d == static_cast<double>(static_cast<qint64>(d)))
            return QString::number(static_cast<qint64>(d)) + QStringLiteral(".0");
        return QString::number(d, 'g', 15);
    }
    return v.toString();
}
} // namespace

QStringList LocalSqlTest::run(const QString& sql, const QVariantMap& params, int* changes)
{
    QStringList rows;
    const QVariantList bound = params.isEmpty() ? QVariantList() : QVariantList{params};
    try {
        if (sql.trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive)) {
            auto cursor = m_db->store().select(sql, bound);
            while (cursor->next()) {
                QStringList values;
                for (int i = 0; i < cursor->columnCount(); ++i)
                    values << rendered(cursor->value(i));
                rows << values.join(QLatin1String(" | "));
            }
        } else {
            const int changed = m_db->store().exec(sql, bound);
            if (changes)
                *changes = changed;
        }
    } catch (const Error& e) {
        QTest::qFail(qPrintable(QStringLiteral("%1\n   %2").arg(e.message(), sql)), __FILE__,
                     __LINE__);
    }
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
    const Dialect& dialect = m_db->store().dialect();
    const TableResolver resolve = [this](const QString& name) -> const TableDef* {
        const auto it = m_tables.find(tableNameForFile(name));
        return it == m_tables.end() ? nullptr : &it->second;
    };

    if (!error.isEmpty()) {
        try {
            const TranslatedSql translated = translateLocalSql(sql, resolve, dialect);
            QFAIL(qPrintable(QStringLiteral("translated to %1").arg(translated.sql)));
        } catch (const Error& e) {
            QCOMPARE(int(e.code()), int(codeNamed(error)));
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
        return;
    }

    const TranslatedSql translated = translateLocalSql(sql, resolve, dialect);
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
    openFixture();
    try {
        const TranslatedSql translated = translateLocalSql(sql, resolve, m_db->store().dialect());
        QVERIFY2(!refused, qPrintable(translated.sql.left(200)));
        QCOMPARE(run(translated.sql, {}), QStringList{QStringLiteral("1")});
    } catch (const Error& e) {
        QVERIFY2(refused, qPrintable(e.message()));
        QCOMPARE(int(e.code()), int(Error::Code::Syntax));
        QVERIFY2(e.message().contains(QStringLiteral("вложено глубже")), qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(LocalSqlTest)
#include "tst_localsql.moc"
