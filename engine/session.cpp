#include "database.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>

namespace kdb {

Session& Session::global()
{
    static Session session;
    return session;
}

Session::Session()
{
    reloadAliasFile();
}

QString Session::aliasFilePath()
{
    const QString fromEnv = qEnvironmentVariable("KADROL_ALIASES");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("kadrol/aliases.ini"));
}

void Session::reloadAliasFile()
{
    m_fileAliases.clear();
    m_addedAliases.clear();
    const QString path = aliasFilePath();
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return;
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return;
    for (const QString& group : ini.childGroups()) {
        ini.beginGroup(group);
        Alias a;
        a.name = group;
        for (const QString& key : ini.childKeys()) {
            // A value with a comma (a connection string naming two hosts) reads as a list.
            const QVariant value = ini.value(key);
            a.params.insert(key.toUpper(), value.typeId() == QMetaType::QStringList
                                               ? value.toStringList().join(QLatin1Char(','))
                                               : value.toString());
        }
        a.driver = a.params.value(QStringLiteral("DRIVER"));
        // A relative PATH is taken from the alias file's own folder.
        QString p = a.params.value(QStringLiteral("PATH"));
        if (!p.isEmpty() && QDir::isRelativePath(p))
            a.params.insert(QStringLiteral("PATH"), QDir(info.absolutePath()).filePath(p));
        ini.endGroup();
        m_fileAliases.insert(group.toLower(), a);
    }
}

bool Session::aliasExists(const QString& name) const
{
    const QString key = name.toLower();
    return m_addedAliases.contains(key) || m_fileAliases.contains(key);
}

void Session::addAlias(const QString& name, const QString& driver, const QString& path)
{
    Alias a;
    a.name = name;
    a.driver = driver;
    a.params.insert(QStringLiteral("DRIVER"), driver);
    a.params.insert(QStringLiteral("PATH"), path);
    m_addedAliases.insert(name.toLower(), a);
}

Alias Session::alias(const QString& name) const
{
    const QString key = name.toLower();
    auto it = m_addedAliases.constFind(key);
    if (it != m_addedAliases.constEnd())
        return *it;
    it = m_fileAliases.constFind(key);
    if (it != m_fileAliases.constEnd())
        return *it;
    throw Error(Error::Code::NotFound,
                QStringLiteral("Псевдоним «%1» не найден (файл псевдонимов: %2).")
                    .arg(name, QDir::toNativeSeparators(aliasFilePath())));
}

QStringList Session::aliasNames() const
{
    QStringList names;
    for (const Alias& a : m_fileAliases)
        names << a.name;
    for (const Alias& a : m_addedAliases)
        if (!m_fileAliases.contains(a.name.toLower()))
            names << a.name;
    return names;
}

void Session::registerDatabase(Database* db)
{
    m_databases.push_back(db);
}

void Session::unregisterDatabase(Database* db)
{
    m_databases.erase(std::remove(m_databases.begin(), m_databases.end(), db), m_databases.end());
}

Database* Session::findDatabase(const QString& name) const
{
    for (Database* db : m_databases)
        if (!db->databaseName().isEmpty() &&
            db->databaseName().compare(name, Qt::CaseInsensitive) == 0)
            return db;
    for (Database* db : m_databases)
        if (!db->aliasName().isEmpty() && db->aliasName().compare(name, Qt::CaseInsensitive) == 0)
            return db;
    return nullptr;
}

Database& Session::databaseFor(const QString& name)
{
    if (Database* db = findDatabase(name))
        return *db;
    alias(name); // names the missing alias in the error
    m_implicit.push_back(std::make_unique<Database>(name, QString()));
    return *m_implicit.back();
}

Database& Session::currentFolderDatabase()
{
    const QString folder = QDir::cleanPath(QDir::currentPath());
    for (const auto& db : m_implicit)
        if (db->aliasName().isEmpty() && db->folder() == folder)
            return *db;
    m_implicit.push_back(Database::forFolder(folder));
    return *m_implicit.back();
}

Database& Session::openDatabase(Database* given, const QString& name)
{
    Database* db = given;
    if (!db)
        db = name.isEmpty() ? &currentFolderDatabase() : &databaseFor(name);
    if (!db->isOpen())
        db->open();
    return *db;
}

} // namespace kdb
