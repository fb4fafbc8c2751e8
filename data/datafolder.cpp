#include "datafolder.h"

#include "database.h"
#include "error.h"
#include "store.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
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

// Undoes a builder's work unless dismissed: removes what appeared in a folder since the guard
// was made, and the folder itself when the builder created it (topCreated: the outermost
// folder the builder made on the way, or empty when the folder was there already).
class Cleanup {
public:
    Cleanup(const QString& dir, const QString& topCreated)
        : m_dir(dir), m_topCreated(topCreated), m_before(folderEntries(dir))
    {
    }
    ~Cleanup()
    {
        if (m_dismissed)
            return;
        if (!m_topCreated.isEmpty()) {
            QDir(m_topCreated).removeRecursively();
            return;
        }
        const QSet<QString> before(m_before.begin(), m_before.end());
        for (const QString& name : folderEntries(m_dir)) {
            if (before.contains(name))
                continue;
            const QString path = QDir(m_dir).filePath(name);
            if (QFileInfo(path).isDir())
                QDir(path).removeRecursively();
            else
                QFile::remove(path);
        }
    }
    void dismiss() { m_dismissed = true; }
    Cleanup(const Cleanup&) = delete;
    Cleanup& operator=(const Cleanup&) = delete;

private:
    QString m_dir;
    QString m_topCreated;
    QStringList m_before;
    bool m_dismissed = false;
};

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
        if (!folderEntries(path).isEmpty())
            throw Error(Error::Code::General,
                        QStringLiteral("Папка «%1» не пуста: новая папка данных создаётся только "
                                       "в новой или пустой папке.")
                            .arg(native(path)));
    }

    Cleanup cleanup(path, makeFolder(path, QStringLiteral("папку данных")));
    kdb::Database::createStore(path, schemaScript());
    {
        auto db = kdb::Database::forFolder(path);
        db->open();
        {
            kdb::Database::Transaction transaction(*db);
            loadShippedRows(*db);
            transaction.commit();
        }
        db->flush(); // a fresh folder is one file, without a write-ahead log to carry along
        db->close();
    }
    cleanup.dismiss();
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

    Cleanup cleanup(path, QString());
    kdb::Database::createStore(path, picturesScript());
    {
        auto db = kdb::Database::forFolder(path);
        db->open();
        const kdb::TableDef& def = db->tableDef(QStringLiteral("PICTR.DB"));
        const kdb::Dialect& dialect = db->store().dialect();
        const QString sql = QStringLiteral("INSERT INTO %1 (%2,%3) VALUES (?,?)")
                                .arg(dialect.quoteIdentifier(def.name),
                                     dialect.quoteIdentifier(QStringLiteral("Keyn")),
                                     dialect.quoteIdentifier(QStringLiteral("Pict")));
        {
            kdb::Database::Transaction transaction(*db);
            for (const ShippedPicture& picture : shippedPictures())
                db->executeStoreSql(
                    sql, {picture.key, kdb::storedValue(picture.png, FieldType::Graphic)});
            transaction.commit();
        }
        db->flush();
        db->close();
    }
    cleanup.dismiss();
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
