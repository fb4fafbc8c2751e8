#include "datafolder.h"

#include "database.h"
#include "error.h"
#include "store.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <limits>
#include <memory>

// The resources of a static library are registered by name, and only at global scope.
static void registerSchemaResources()
{
    Q_INIT_RESOURCE(kadrol_schema);
}

namespace kadrol {

namespace {

using kdb::Error;
using kdb::FieldType;

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString absolute(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

void ensureResources()
{
    static const bool registered = (registerSchemaResources(), true);
    Q_UNUSED(registered);
}

QByteArray readResource(const QString& name)
{
    ensureResources();
    QFile file(QStringLiteral(":/kadrol/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(Error::Code::NotFound,
                    QStringLiteral("В программе нет встроенного файла данных «%1».").arg(name));
    return file.readAll();
}

QStringList folderEntries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                               QDir::System);
}

// A store is built in a hidden folder of this name inside its folder and moved into place
// when it is complete, so that a build cut off leaves no half-made store behind. The builder
// holds a lock file in it while it works.
const char* const buildFolderPrefix = ".kadrol-build-";
const char* const buildLockName = "build.lock";

bool isBuildFolder(const QString& name)
{
    return name.startsWith(QLatin1String(buildFolderPrefix));
}

// The entries of a folder that are not builds of a store.
QStringList contentEntries(const QString& dir)
{
    QStringList entries = folderEntries(dir);
    entries.erase(std::remove_if(entries.begin(), entries.end(), isBuildFolder), entries.end());
    return entries;
}

// Removes what builds cut off (a killed process) left behind; a build still running keeps its
// lock and its folder.
void removeAbandonedBuilds(const QString& dir)
{
    for (const QString& name : folderEntries(dir)) {
        if (!isBuildFolder(name))
            continue;
        const QString folder = QDir(dir).filePath(name);
        QLockFile lock(QDir(folder).filePath(QLatin1String(buildLockName)));
        lock.setStaleLockTime(0); // only a holder that is gone makes the lock stale
        if (lock.tryLock(0)) {
            lock.unlock();
            QDir(folder).removeRecursively();
        }
    }
}

// Builds a store with schema and fill aside in dir and moves its file into dir: either the
// complete store appears or none. alreadyThere is the message when a store is (or appears,
// built by another run at the same time) in dir.
void buildStoreAside(const QString& dir, const QString& schema,
                     const std::function<void(kdb::Database&)>& fill, const QString& alreadyThere)
{
    removeAbandonedBuilds(dir);
    QTemporaryDir build(
        QDir(dir).filePath(QLatin1String(buildFolderPrefix) + QStringLiteral("XXXXXX")));
    if (!build.isValid())
        throw Error(Error::Code::ReadOnly,
                    QStringLiteral("Нельзя создать базу данных в папке «%1»: %2")
                        .arg(native(dir), build.errorString()));
    QLockFile lock(QDir(build.path()).filePath(QLatin1String(buildLockName)));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        throw Error(Error::Code::Io,
                    QStringLiteral("Нельзя создать базу данных в папке «%1»: не удалось занять "
                                   "папку сборки.")
                        .arg(native(dir)));

    kdb::Database::createStore(build.path(), schema);
    {
        auto db = kdb::Database::forFolder(build.path());
        db->open();
        fill(*db);
        db->flush(); // one file, without a write-ahead log to carry along
        db->close();
    }
    const QString built = QDir(build.path()).filePath(kdb::Database::storeFileName());
    if (QFileInfo(built + QStringLiteral("-wal")).size() > 0)
        throw Error(Error::Code::Io,
                    QStringLiteral("Нельзя завершить создание базы данных в папке «%1»: журнал "
                                   "записи не перенесён в файл базы.")
                        .arg(native(dir)));
    const QString target = QDir(dir).filePath(kdb::Database::storeFileName());
    // rename never replaces a file: of two builds at once, the second finds the first's store.
    if (!QFile::rename(built, target)) {
        if (QFileInfo::exists(target))
            throw Error(Error::Code::General, alreadyThere);
        throw Error(
            Error::Code::Io,
            QStringLiteral("Нельзя перенести новую базу данных в папку «%1».").arg(native(dir)));
    }
}

// Creates dir with its missing parents; gives the outermost folder it made ("" when dir was
// there). Errors name the obstacle: a file on the way or a folder closed for writing.
QString makeFolder(const QString& dir, const QString& what)
{
    QString top;
    QString existing = dir;
    while (!QFileInfo::exists(existing)) {
        top = existing;
        const QString up = QFileInfo(existing).path();
        if (up == existing)
            break;
        existing = up;
    }
    if (top.isEmpty())
        return top;
    if (!QFileInfo(existing).isDir())
        throw Error(Error::Code::General,
                    QStringLiteral("Нельзя создать %1 «%2»: «%3» — файл, а не папка.")
                        .arg(what, native(dir), native(existing)));
    if (!QDir().mkpath(dir)) {
        QDir(top).removeRecursively();
        throw Error(Error::Code::ReadOnly,
                    QStringLiteral("Нельзя создать %1 «%2»: папка «%3» закрыта для записи.")
                        .arg(what, native(dir), native(existing)));
    }
    return top;
}

// A cell of a data file as the store keeps it in that field. The data files are ours, so a
// value that does not fit is a fault of the build and stops it rather than being cut.
QVariant storeValue(const QString& cell, const kdb::FieldDef& field, const QString& where)
{
    if (cell.isEmpty())
        return QVariant();
    bool ok = false;
    QVariant value;
    switch (field.type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::SmallInt: {
        const int number = cell.toInt(&ok);
        if (field.type == FieldType::SmallInt)
            ok = ok && number >= std::numeric_limits<qint16>::min() &&
                 number <= std::numeric_limits<qint16>::max();
        value = number;
        break;
    }
    case FieldType::Float:
        value = cell.toDouble(&ok);
        break;
    case FieldType::Boolean:
        ok = cell == QLatin1String("0") || cell == QLatin1String("1");
        value = cell == QLatin1String("1");
        break;
    case FieldType::Date: {
        const QDate date = QDate::fromString(cell, Qt::ISODate);
        ok = date.isValid();
        value = date;
        break;
    }
    case FieldType::String:
        if (field.size > 0 && cell.size() > field.size)
            throw Error(Error::Code::General,
                        QStringLiteral("%1: текст «%2» длиннее поля %3 (%4 символов).")
                            .arg(where, cell, field.name)
                            .arg(field.size));
        ok = true;
        value = cell;
        break;
    case FieldType::Memo:
        ok = true;
        value = cell;
        break;
    case FieldType::Graphic:
    case FieldType::Unknown:
        break;
    }
    if (!ok)
        throw Error(Error::Code::General,
                    QStringLiteral("%1: значение «%2» не подходит полю %3 типа %4.")
                        .arg(where, cell, field.name, QLatin1String(kdb::typeName(field.type))));
    return kdb::storedValue(value, field.type);
}

} // namespace

void loadShippedRows(kdb::Database& db)
{
    const kdb::Dialect& dialect = db.store().dialect();
    for (const ShippedTable& shipped : shippedTables()) {
        const kdb::TableDef& def = db.tableDef(shipped.table);
        std::vector<const kdb::FieldDef*> fields;
        QStringList names, marks;
        for (const QString& column : shipped.columns) {
            const kdb::FieldDef* field = def.find(column);
            if (!field)
                throw Error(Error::Code::NotFound,
                            QStringLiteral("%1: в таблице %2 нет поля %3.")
                                .arg(shipped.source, def.name, column),
                            def.name, column);
            fields.push_back(field);
            names << dialect.quoteIdentifier(field->name);
            marks << QStringLiteral("?");
        }
        const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(dialect.quoteIdentifier(def.name),
                                     names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        for (size_t r = 0; r < shipped.rows.size(); ++r) {
            const QString where =
                QStringLiteral("%1, строка %2").arg(shipped.source).arg(shipped.lines[r]);
            QVariantList values;
            for (size_t c = 0; c < fields.size(); ++c)
                values << storeValue(shipped.rows[r].at(static_cast<int>(c)), *fields[c], where);
            db.executeStoreSql(sql, values);
        }
    }
}

namespace {

struct PictureFile {
    int key;
    const char* file;
};

// The PICTR rows the windows read: the splash, the requests hub, the candidate list, the
// vacancy catalog hub, the service window and the main window's background.
const PictureFile pictureFiles[] = {
    {1, "splash.png"},  {3, "requests.png"}, {5, "candidates.png"},
    {6, "catalog.png"}, {7, "service.png"},  {9, "background.png"},
};

} // namespace

QString schemaScript()
{
    return QString::fromUtf8(readResource(QStringLiteral("schema.sql")));
}

QString picturesScript()
{
    return QString::fromUtf8(readResource(QStringLiteral("pictures.sql")));
}

std::vector<ShippedTable> shippedTables()
{
    ensureResources();
    std::vector<ShippedTable> tables;
    const QStringList files = QDir(QStringLiteral(":/kadrol/rows"))
                                  .entryList({QStringLiteral("*.tsv")}, QDir::Files, QDir::Name);
    for (const QString& file : files) {
        ShippedTable table;
        table.source = QStringLiteral("rows/") + file;
        table.table = kdb::tableNameForFile(QFileInfo(file).completeBaseName());
        const QStringList lines =
            QString::fromUtf8(readResource(table.source)).split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i) {
            QString line = lines[i];
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const QStringList cells = line.split(QLatin1Char('\t'));
            if (table.columns.isEmpty()) {
                table.columns = cells;
                continue;
            }
            if (cells.size() != table.columns.size())
                throw Error(Error::Code::General,
                            QStringLiteral("%1, строка %2: %3 значений вместо %4.")
                                .arg(table.source)
                                .arg(i + 1)
                                .arg(cells.size())
                                .arg(table.columns.size()));
            table.rows.push_back(cells);
            table.lines.push_back(i + 1);
        }
        tables.push_back(std::move(table));
    }
    return tables;
}

std::vector<ShippedPicture> shippedPictures()
{
    std::vector<ShippedPicture> pictures;
    for (const PictureFile& p : pictureFiles) {
        const QString file = QString::fromLatin1(p.file);
        pictures.push_back({p.key, file, readResource(QStringLiteral("pictures/") + file)});
    }
    return pictures;
}

void createDataFolder(const QString& dir)
{
    const QString path = absolute(dir);
    const QFileInfo info(path);
    if (info.exists() && !info.isDir())
        throw Error(Error::Code::General,
                    QStringLiteral("«%1» — файл, а не папка: папку данных здесь создать нельзя.")
                        .arg(native(path)));
    if (info.exists()) {
        if (QFileInfo::exists(QDir(path).filePath(kdb::Database::storeFileName())))
            throw Error(Error::Code::General,
                        QStringLiteral("В папке «%1» уже есть база данных; она оставлена как "
                                       "есть.")
                            .arg(native(path)));
        if (!contentEntries(path).isEmpty())
            throw Error(Error::Code::General,
                        QStringLiteral("Папка «%1» не пуста: новая папка данных создаётся только "
                                       "в новой или пустой папке.")
                            .arg(native(path)));
    }

    const QString top = makeFolder(path, QStringLiteral("папку данных"));
    try {
        buildStoreAside(
            path, schemaScript(),
            [](kdb::Database& db) {
                kdb::Database::Transaction transaction(db);
                loadShippedRows(db);
                transaction.commit();
            },
            QStringLiteral("В папке «%1» уже есть база данных; она оставлена как есть.")
                .arg(native(path)));
    } catch (...) {
        // Folders made on the way go again, unless another run has put something in them.
        for (QString folder = path; !top.isEmpty() && folder.startsWith(top);
             folder = QFileInfo(folder).path()) {
            if (!QDir().rmdir(folder) || folder == top)
                break;
        }
        throw;
    }
}

ShippedRowsCheck checkShippedRows(kdb::Database& db)
{
    ShippedRowsCheck result;
    const kdb::Dialect& dialect = db.store().dialect();
    for (const ShippedTable& shipped : shippedTables()) {
        const kdb::TableDef& def = db.tableDef(shipped.table);
        // A shipped row is found by its key, where the data file gives the key.
        QStringList conditions;
        std::vector<int> keyColumns;
        for (int c = 0; c < shipped.columns.size(); ++c) {
            const kdb::FieldDef* field = def.find(shipped.columns[c]);
            if (field && field->primaryKey) {
                keyColumns.push_back(c);
                conditions << dialect.quoteIdentifier(field->name) + QStringLiteral(" = ?");
            }
        }
        int missing = 0;
        if (keyColumns.empty()) {
            auto count = db.store().select(
                QStringLiteral("SELECT count(*) FROM ") + dialect.quoteIdentifier(def.name), {});
            count->next();
            missing =
                std::max<qint64>(0, static_cast<qint64>(shipped.rows.size()) - count->int64(0));
        } else {
            const QString sql = QStringLiteral("SELECT count(*) FROM %1 WHERE %2")
                                    .arg(dialect.quoteIdentifier(def.name),
                                         conditions.join(QStringLiteral(" AND ")));
            for (size_t r = 0; r < shipped.rows.size(); ++r) {
                QVariantList key;
                for (const int c : keyColumns)
                    key << storeValue(shipped.rows[r].at(c), *def.find(shipped.columns[c]),
                                      shipped.source);
                auto found = db.store().select(sql, key);
                if (found->next() && found->int64(0) == 0)
                    ++missing;
            }
        }
        if (missing == 0)
            continue;
        if (missing == static_cast<int>(shipped.rows.size()))
            result.emptyTables << def.name;
        else
            result.partialTables << QStringLiteral("%1 (нет %2 из %3)")
                                        .arg(def.name)
                                        .arg(missing)
                                        .arg(shipped.rows.size());
    }
    return result;
}

void createPictureStore(const QString& programDir)
{
    const QString path = absolute(programDir);
    if (!QFileInfo(path).isDir())
        throw Error(Error::Code::NotFound,
                    QStringLiteral("Папка программы «%1» не найдена.").arg(native(path)));
    if (QFileInfo::exists(QDir(path).filePath(kdb::Database::storeFileName())))
        throw Error(Error::Code::General,
                    QStringLiteral("В папке «%1» уже есть база данных картинок; она оставлена "
                                   "как есть.")
                        .arg(native(path)));

    buildStoreAside(
        path, picturesScript(),
        [](kdb::Database& db) {
            const kdb::TableDef& def = db.tableDef(QStringLiteral("PICTR.DB"));
            const kdb::Dialect& dialect = db.store().dialect();
            const QString sql = QStringLiteral("INSERT INTO %1 (%2,%3) VALUES (?,?)")
                                    .arg(dialect.quoteIdentifier(def.name),
                                         dialect.quoteIdentifier(QStringLiteral("Keyn")),
                                         dialect.quoteIdentifier(QStringLiteral("Pict")));
            kdb::Database::Transaction transaction(db);
            for (const ShippedPicture& picture : shippedPictures())
                db.executeStoreSql(
                    sql, {picture.key, kdb::storedValue(picture.png, FieldType::Graphic)});
            transaction.commit();
        },
        QStringLiteral("В папке «%1» уже есть база данных картинок; она оставлена как есть.")
            .arg(native(path)));
}

void prepareProgramFolder(const QString& programDir)
{
    const QString path = absolute(programDir);
    makeFolder(path, QStringLiteral("папку программы"));
    const QDir program(path);
    const QString data = program.filePath(QLatin1String(dataFolderName));
    if (!QFileInfo::exists(data))
        createDataFolder(data);
    for (const char* name : {photoFolderName, cvFolderName, templateFolderName}) {
        const QString folder = program.filePath(QLatin1String(name));
        if (!QFileInfo(folder).isDir())
            makeFolder(folder, QStringLiteral("папку"));
        if (!QFileInfo(folder).isDir())
            throw Error(Error::Code::General,
                        QStringLiteral("«%1» — файл, а не папка.").arg(native(folder)));
    }
    if (!QFileInfo::exists(program.filePath(kdb::Database::storeFileName())))
        createPictureStore(path);
}

} // namespace kadrol
