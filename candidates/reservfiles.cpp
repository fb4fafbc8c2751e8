#include "reservfiles.h"

#include <QDir>
#include <QFileInfo>

namespace kadrol {

namespace {

const QChar sep = QDir::separator();

// A path with every separator written '/', without a trailing one.
QString slashed(const QString& path)
{
    QString s = path;
    s.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (s.size() > 1 && s.endsWith(QLatin1Char('/')))
        s.chop(1);
    return s;
}

QString joined(const QString& programDir, const char* folder, const QString& stored)
{
    QString dir = programDir;
    while (dir.size() > 1 && (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\'))))
        dir.chop(1);
    return nativeStoredName(dir) + sep + QLatin1String(folder) + sep + nativeStoredName(stored);
}

} // namespace

QString nativeStoredName(const QString& stored)
{
    QString s = stored;
    s.replace(QLatin1Char('\\'), sep);
    s.replace(QLatin1Char('/'), sep);
    return s;
}

bool isFullStoredPath(const QString& stored)
{
    if (stored.startsWith(QLatin1Char('/')) || stored.startsWith(QLatin1Char('\\')))
        return true;
    return stored.size() >= 3 && stored.at(0).isLetter() && stored.at(1) == QLatin1Char(':') &&
           (stored.at(2) == QLatin1Char('\\') || stored.at(2) == QLatin1Char('/'));
}

QString photoPath(const QString& programDir, const QString& stored)
{
    if (stored.isEmpty())
        return QString();
    return joined(programDir, "Foto", stored);
}

QString cvPath(const QString& programDir, const QString& stored)
{
    if (stored.isEmpty())
        return QString();
    if (isFullStoredPath(stored))
        return nativeStoredName(stored);
    return joined(programDir, "CV", stored);
}

QString cvFolder(const QString& programDir)
{
    return joined(programDir, "CV", QString()).chopped(1);
}

QString photoFolder(const QString& programDir)
{
    return joined(programDir, "Foto", QString()).chopped(1);
}

QString storedCvName(const QString& programFolder, const QString& chosenPath)
{
    const QString chosen = slashed(QDir::cleanPath(slashed(chosenPath)));
    const QString prefix =
        slashed(QDir::cleanPath(slashed(programFolder))) + QStringLiteral("/CV/");
    if (chosen.size() > prefix.size() && chosen.toUpper().startsWith(prefix.toUpper()))
        return nativeStoredName(chosen.mid(prefix.size()));
    // The same folder reached another way (a link to the program folder) is still the CV folder.
    const QString realFile = QFileInfo(chosen).canonicalFilePath();
    const QString realFolder =
        QFileInfo(slashed(programFolder) + QStringLiteral("/CV")).canonicalFilePath();
    if (!realFile.isEmpty() && !realFolder.isEmpty() &&
        realFile.toUpper().startsWith(realFolder.toUpper() + QLatin1Char('/')))
        return nativeStoredName(realFile.mid(realFolder.size() + 1));
    return nativeStoredName(chosenPath);
}

QString storedPhotoName(const QString& chosenPath)
{
    return QFileInfo(slashed(chosenPath)).fileName();
}

} // namespace kadrol
