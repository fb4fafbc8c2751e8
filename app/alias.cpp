#include "alias.h"

#include "database.h"

#include <QDir>

namespace kadrol {

void registerAlias(const QString& programFolder)
{
    kdb::Session& session = kdb::Session::global();
    if (session.aliasExists(QStringLiteral("kadrol")))
        return;
    session.addAlias(QStringLiteral("kadrol"), QStringLiteral("PARADOX"),
                     QDir(programFolder).filePath(QStringLiteral("Data")));
}

} // namespace kadrol
