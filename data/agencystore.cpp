#include "agencystore.h"

#include "database.h"
#include "datafolder.h"
#include "error.h"
#include "store.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace kadrol {

namespace {

using kdb::Error;

// A table's rows are read and written by the row id column: on a table keyed by one integer
// that is the key, elsewhere the store's own number, which keeps rows equal in every order in
// their order of entry on both stores.
bool keyedByRowId(const kdb::TableDef& def)
{
    int keys = 0;
    bool integer = false;
    for (const kdb::FieldDef& f : def.fields)
        if (f.primaryKey) {
            ++keys;
            integer = kdb::isIntegerType(f.type);
        }
    return keys == 1 && integer;
}

QString columnList(const kdb::TableDef& def, const kdb::Dialect& d)
{
    QStringList names;
    for (const kdb::FieldDef& f : def.fields)
        names << d.quoteIdentifier(f.name);
    return names.join(QLatin1Char(','));
}

qint64 copyRows(kdb::Database& from, kdb::Database& to)
{
    qint64 copied = 0;
    for (const QString& table : from.tableNames()) {
        const kdb::TableDef& source = from.tableDef(table);
        const kdb::TableDef* target = to.findTableDef(table);
        if (!target)
            throw Error(Error::Code::NotFound,
                        QStringLiteral("Таблицы %1 нет в базе, куда копируются данные.").arg(table),
                        table);
        const kdb::Dialect& sd = from.store().dialect();
        const kdb::Dialect& td = to.store().dialect();
        const bool ownRowId = !keyedByRowId(source);
        const int n = static_cast<int>(source.fields.size());
        const int width = n + (ownRowId ? 1 : 0);
        QString one = QStringLiteral("(");
        for (int i = 0; i < width; ++i)
            one += i ? QStringLiteral(",?") : QStringLiteral("?");
        one += QLatin1Char(')');
        // Rows travel in batches: one statement for many rows instead of one per row.
        const int batch = std::max(1, 8000 / width);
        auto write = [&](const QVariantList& values) {
            const int rows = static_cast<int>(values.size()) / width;
            QStringList groups;
            for (int r = 0; r < rows; ++r)
                groups << one;
            to.store().exec(
                QStringLiteral("INSERT INTO %1 (%2%3) VALUES %4")
                    .arg(td.quoteIdentifier(table), columnList(source, td),
                         ownRowId ? QLatin1Char(',') + to.store().rowIdColumn() : QString(),
                         groups.join(QLatin1Char(','))),
                values);
        };
        auto c = from.store().select(
            QStringLiteral("SELECT %1,%2 FROM %3 ORDER BY %2")
                .arg(columnList(source, sd), from.store().rowIdColumn(), sd.quoteIdentifier(table)),
            {});
        QVariantList values;
        while (c->next()) {
            for (int i = 0; i < n; ++i) {
                const kdb::FieldType type = source.fields[static_cast<size_t>(i)].type;
                values << kdb::storedValue(kdb::typedValue(c->value(i), type), type);
            }
            if (ownRowId)
                values << c->value(n);
            ++copied;
            if (values.size() >= batch * width) {
                write(values);
                values.clear();
            }
        }
        if (!values.isEmpty())
            write(values);
    }
    to.store().syncKeyCounters();
    return copied;
}

QString shown(const QVariant& v)
{
    if (v.isNull())
        return QStringLiteral("NULL");
    if (v.typeId() == QMetaType::QByteArray)
        return QStringLiteral("(%1 байт)").arg(v.toByteArray().size());
    return v.toString();
}

} // namespace

void createServerAgency(const QString& connection)
{
    kdb::Database::createStore(connection, schemaScript(),
                               [](kdb::Database& db) { loadShippedRows(db); });
}

qint64 copyAgency(const QString& from, const QString& to)
{
    auto source = kdb::Database::forFolder(from);
    source->open();
    if (!kdb::isServerLocation(to) && !QFileInfo(to).isDir() && !QDir().mkpath(to))
        throw Error(
            Error::Code::ReadOnly,
            QStringLiteral("Нельзя создать папку данных «%1».").arg(QDir::toNativeSeparators(to)));
    qint64 copied = 0;
    // A copy is made while no workstation works on the source: a row posted meanwhile would
    // make the comparison fail, and nothing would be written.
    kdb::Database::createStore(to, schemaScript(), [&](kdb::Database& target) {
        copied = copyRows(*source, target);
        const QStringList differences = compareAgencies(*source, target);
        if (!differences.isEmpty())
            throw Error(Error::Code::General,
                        QStringLiteral("Копия отличается от источника; ничего не записано:\n%1")
                            .arg(differences.mid(0, 20).join(QLatin1Char('\n'))));
    });
    auto target = kdb::Database::forFolder(to);
    target->open();
    target->store().optimize();
    return copied;
}

QStringList compareAgencies(kdb::Database& a, kdb::Database& b)
{
    QStringList differences;
    const QStringList tablesA = a.tableNames(), tablesB = b.tableNames();
    for (const QString& t : tablesB)
        if (!tablesA.contains(t))
            differences << QStringLiteral("%1: таблица есть только во второй базе.").arg(t);
    for (const QString& table : tablesA) {
        const kdb::TableDef* defB = b.findTableDef(table);
        if (!defB) {
            differences << QStringLiteral("%1: таблица есть только в первой базе.").arg(table);
            continue;
        }
        const kdb::TableDef& def = a.tableDef(table);
        // Rows in key order (the row id where there is no single integer key).
        auto read = [&](kdb::Database& db) {
            const kdb::Dialect& d = db.store().dialect();
            return db.store().select(
                QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                    .arg(columnList(def, d), d.quoteIdentifier(table), db.store().rowIdColumn()),
                {});
        };
        auto ca = read(a), cb = read(b);
        qint64 row = 0;
        for (;;) {
            const bool moreA = ca->next(), moreB = cb->next();
            ++row;
            if (!moreA || !moreB) {
                if (moreA != moreB)
                    differences << QStringLiteral("%1: в %2 базе больше строк (с %3-й).")
                                       .arg(table, moreA ? QStringLiteral("первой")
                                                         : QStringLiteral("второй"))
                                       .arg(row);
                break;
            }
            for (size_t i = 0; i < def.fields.size(); ++i) {
                const kdb::FieldType type = def.fields[i].type;
                const QVariant va = kdb::typedValue(ca->value(static_cast<int>(i)), type);
                const QVariant vb = kdb::typedValue(cb->value(static_cast<int>(i)), type);
                if (va != vb || va.isNull() != vb.isNull()) {
                    differences << QStringLiteral("%1, строка %2, поле %3: «%4» и «%5».")
                                       .arg(table)
                                       .arg(row)
                                       .arg(def.fields[i].name, shown(va), shown(vb));
                    break;
                }
            }
            if (differences.size() > 100)
                return differences;
        }
    }
    return differences;
}

} // namespace kadrol
