#include "shellservices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>

namespace kadrol {

namespace {

// One mimeapps.list or mimeinfo.cache: section -> mime type -> desktop file ids. Read by hand,
// not through QSettings, which would take the "/" of "text/plain" for a group separator.
using MimeLists = QHash<QString, QHash<QString, QStringList>>;

bool readMimeLists(const QString& path, MimeLists& out)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QString section;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        QStringList& ids = out[section][line.left(eq).trimmed()];
        for (const QString& id : line.mid(eq + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            ids << id.trimmed();
    }
    return true;
}

// The freedesktop rules for "is there an application for this type", read straight from their
// files so that the answer never waits for another process (xdg-mime can take seconds on a
// busy desktop): the defaults and added associations of every mimeapps.list in precedence
// order, less the removed ones, then the mimeinfo.cache of each applications folder. The type's
// ancestors count too, as they do for xdg-open (a .csv file opens with a text editor).
class FreedesktopDesktop final : public Desktop {
public:
    bool hasAssociation(const QString& filePath) override
    {
        const QMimeType type = QMimeDatabase().mimeTypeForFile(filePath);
        QStringList types{type.name()};
        types += type.aliases();
        types += type.allAncestors();

        const QStringList applicationDirs =
            QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
        QStringList desktops;
        for (const QString& d : qEnvironmentVariable("XDG_CURRENT_DESKTOP")
                                    .toLower()
                                    .split(QLatin1Char(':'), Qt::SkipEmptyParts))
            desktops << d + QStringLiteral("-mimeapps.list");
        desktops << QStringLiteral("mimeapps.list");
        QStringList listFiles;
        for (const QStringList& dirs :
             {QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation),
              applicationDirs})
            for (const QString& dir : dirs)
                for (const QString& name : desktops)
                    listFiles << QDir(dir).filePath(name);

        // An id names an installed desktop file; "vendor-app.desktop" may live in "vendor/".
        auto installed = [&](const QString& id) {
            for (const QString& dir : applicationDirs) {
                const QDir d(dir);
                if (QFileInfo::exists(d.filePath(id)))
                    return true;
                const qsizetype dash = id.indexOf(QLatin1Char('-'));
                if (dash > 0 && QFileInfo::exists(d.filePath(id.left(dash) + QLatin1Char('/') +
                                                             id.mid(dash + 1))))
                    return true;
            }
            return false;
        };

        bool readAny = false;
        QSet<QString> removed; // "type id", taken away by a file of higher precedence
        auto offers = [&](const QHash<QString, QStringList>& section) {
            for (const QString& t : types)
                for (const QString& id : section.value(t))
                    if (!removed.contains(t + QLatin1Char(' ') + id) && installed(id))
                        return true;
            return false;
        };
        for (const QString& file : listFiles) {
            MimeLists lists;
            if (!readMimeLists(file, lists))
                continue;
            readAny = true;
            for (const QString& t : types)
                for (const QString& id :
                     lists.value(QStringLiteral("Removed Associations")).value(t))
                    removed.insert(t + QLatin1Char(' ') + id);
            if (offers(lists.value(QStringLiteral("Default Applications"))) ||
                offers(lists.value(QStringLiteral("Added Associations"))))
                return true;
        }
        for (const QString& dir : applicationDirs) {
            MimeLists cache;
            if (!readMimeLists(QDir(dir).filePath(QStringLiteral("mimeinfo.cache")), cache))
                continue;
            readAny = true;
            if (offers(cache.value(QStringLiteral("MIME Cache"))))
                return true;
        }
        // A desktop without any of these files cannot tell: let the opener report what it can.
        return !readAny;
    }

    bool open(const QString& target) override
    {
        return QProcess::startDetached(QStringLiteral("xdg-open"), {target});
    }
};

Desktop* g_desktop = nullptr;

bool isAddress(const QString& target)
{
    return target.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive) ||
           target.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           target.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

} // namespace

Desktop& desktop()
{
    static FreedesktopDesktop real;
    return g_desktop ? *g_desktop : real;
}

void setDesktop(Desktop* d)
{
    g_desktop = d;
}

int OpenWithShell(const QString& target)
{
    Desktop& d = desktop();
    if (!isAddress(target)) {
        if (!QFileInfo::exists(target))
            return ShellFileNotFound;
        if (!d.hasAssociation(target))
            return ShellNoAssociation;
    }
    return d.open(target) ? ShellStarted : ShellFailed;
}

} // namespace kadrol
