#include "shellservices.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

namespace kadrol {

namespace {

class FreedesktopDesktop final : public Desktop {
public:
    bool hasAssociation(const QString& filePath) override
    {
        const QString mime = QMimeDatabase().mimeTypeForFile(filePath).name();
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
        if (tool.isEmpty())
            return true; // cannot tell: let the opener report what it can
        QProcess query;
        query.start(tool, {QStringLiteral("query"), QStringLiteral("default"), mime});
        if (!query.waitForFinished(3000)) {
            query.kill();
            return true;
        }
        return !query.readAllStandardOutput().trimmed().isEmpty();
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
