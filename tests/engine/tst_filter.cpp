#include "casefile.h"

#include "database.h"
#include "error.h"
#include "filter.h"
#include "store.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QtTest>
#include <memory>

using namespace kdb;
using kadroltest::TempStore;

namespace {

Error::Code codeNamed(const QString& name)
{
    if (name == QLatin1String("Syntax"))
        return Error::Code::Syntax;
    if (name == QLatin1String("NotFound"))
        return Error::Code::NotFound;
    qFatal("unknown error code %s in the case file", qPrintable(name));
}

} // namespace

class FilterTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cases_data();
    void cases();
    void dotDates_data();
    void dotDates();
    void storeDates_data();
    void storeDates();

private:
    QStringList passingKeys(const CompiledFilter& filter);

    std::unique_ptr<TempStore> m_store;
    std::unique_ptr<Database> m_db;
    TableDef m_table;
};

void FilterTest::initTestCase()
{
    KSKIP_WITHOUT_SERVER();
    QFile fixture(casefile::dataPath(QStringLiteral("filter_fixture.sql")));
    QVERIFY(fixture.open(QIODevice::ReadOnly));
    // The fixture on the store of this run: the embedded store, or the test server.
    m_store = std::make_unique<TempStore>(QString::fromUtf8(fixture.readAll()));
    KVERIFY(m_db = m_store->open());
    m_table = m_db->tableDef(QStringLiteral("cand"));
    QCOMPARE(m_table.fields.size(), size_t(14));
}

void FilterTest::cleanupTestCase()
{
    m_db.reset();
    m_store.reset();
}

void FilterTest::cases_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("message");
    for (const casefile::Case& c : casefile::read(QStringLiteral("filter_cases.txt"))) {
        QTest::addRow("%s", qPrintable(c.name))
            << c.value(QStringLiteral("filter")) << c.value(QStringLiteral("pass"))
            << c.value(QStringLiteral("error")) << c.value(QStringLiteral("message"));
    }
}

QStringList FilterTest::passingKeys(const CompiledFilter& filter)
{
    QString sql = QStringLiteral("SELECT Keyn FROM cand");
    if (!filter.where.isEmpty())
        sql += QLatin1String(" WHERE ") + filter.where;
    sql += QLatin1String(" ORDER BY Keyn");
    QStringList keys;
    try {
        auto cursor = m_db->store().select(sql, filter.params);
        while (cursor->next())
            keys << QString::number(cursor->int64(0));
    } catch (const Error& e) {
        QTest::qFail(qPrintable(QStringLiteral("%1: %2").arg(sql, e.message())), __FILE__,
                     __LINE__);
    }
    return keys;
}

void FilterTest::cases()
{
    QFETCH(QString, filter);
    QFETCH(QString, pass);
    QFETCH(QString, error);
    QFETCH(QString, message);
    const FieldResolver resolve = [this](const QString& name) { return m_table.find(name); };

    if (!error.isEmpty()) {
        try {
            const CompiledFilter compiled = compileFilter(filter, resolve, m_db->store().dialect());
            QFAIL(qPrintable(QStringLiteral("compiled to %1").arg(compiled.where)));
        } catch (const Error& e) {
            QCOMPARE(int(e.code()), int(codeNamed(error)));
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
            // The user sees which filter failed.
            QVERIFY2(e.message().contains(filter), qPrintable(e.message()));
            QCOMPARE(QString::fromUtf8(e.what()), e.message());
        }
        return;
    }

    const CompiledFilter compiled = compileFilter(filter, resolve, m_db->store().dialect());
    // Values are bound, never pasted: outside the quoted field names there is neither a
    // quote nor a digit.
    QString outsideNames = compiled.where;
    outsideNames.remove(QRegularExpression(QStringLiteral("\"[^\"]*\"")));
    QVERIFY2(!outsideNames.contains(QRegularExpression(QStringLiteral("['0-9]"))),
             qPrintable(compiled.where));
    QCOMPARE(compiled.where.count(QLatin1Char('?')), compiled.params.size());

    const QStringList keys = passingKeys(compiled);
    QCOMPARE(keys.isEmpty() ? QStringLiteral("none") : keys.join(QLatin1Char(' ')), pass);
}

void FilterTest::dotDates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected"); // invalid: not a date

    QTest::addRow("zero-padded") << "15.03.1985" << QDate(1985, 3, 15);
    QTest::addRow("one-digit day and month") << "5.3.1985" << QDate(1985, 3, 5);
    QTest::addRow("leap day") << "29.02.2000" << QDate(2000, 2, 29);
    QTest::addRow("leap day of a year without it") << "29.02.1900" << QDate();
    QTest::addRow("day 31 of a short month") << "31.04.2005" << QDate();
    QTest::addRow("month 13") << "1.13.2005" << QDate();
    QTest::addRow("day 0") << "0.1.2005" << QDate();
    QTest::addRow("two-digit year") << "15.03.85" << QDate();
    QTest::addRow("five-digit year") << "15.03.19850" << QDate();
    QTest::addRow("three-digit day") << "015.3.1985" << QDate();
    QTest::addRow("ISO form") << "1985-03-15" << QDate();
    QTest::addRow("dashes") << "15-03-1985" << QDate();
    QTest::addRow("missing day") << ".03.1985" << QDate();
    QTest::addRow("blank around") << " 15.03.1985" << QDate();
    QTest::addRow("letters") << "1a.03.1985" << QDate();
    QTest::addRow("empty") << "" << QDate();
}

void FilterTest::dotDates()
{
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    QCOMPARE(parseDotDate(text), expected);
}

void FilterTest::storeDates_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QDate>("date"); // invalid: not a date

    QTest::addRow("day") << "1985-03-15" << QDate(1985, 3, 15);
    QTest::addRow("day with a time") << "2005-03-15 10:30:00" << QDate(2005, 3, 15);
    QTest::addRow("day that does not exist") << "2005-02-30" << QDate();
    QTest::addRow("dotted form") << "15.03.1985" << QDate();
    QTest::addRow("short") << "1985-3-15" << QDate();
    QTest::addRow("empty") << "" << QDate();
}

void FilterTest::storeDates()
{
    QFETCH(QString, stored);
    QFETCH(QDate, date);
    QCOMPARE(dateFromStore(stored), date);
    if (date.isValid()) {
        QCOMPARE(dateToStore(date), stored.left(10));
        QCOMPARE(Dialect::sqlite().dateLiteral(date),
                 QLatin1Char('\'') + stored.left(10) + QLatin1Char('\''));
    } else {
        QVERIFY(dateToStore(date).isNull());
    }
}

QTEST_GUILESS_MAIN(FilterTest)
#include "tst_filter.moc"
