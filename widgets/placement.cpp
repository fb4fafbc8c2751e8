#include "placement.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>
#include <memory>

namespace widgets {

QString settingsFilePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("kadrol/kadrol.ini"));
}

QSettings& settings()
{
    // Re-created when the path changes (tests switch the config folder between cases).
    static std::unique_ptr<QSettings> s;
    const QString path = settingsFilePath();
    if (!s || s->fileName() != path)
        s = std::make_unique<QSettings>(path, QSettings::IniFormat);
    return *s;
}

void savePlacement(const QWidget* window, const QString& section)
{
    QSettings& s = settings();
    s.beginGroup(section);
    s.setValue(QStringLiteral("geometry"), window->saveGeometry());
    s.endGroup();
    s.sync();
}

bool restorePlacement(QWidget* window, const QString& section)
{
    QSettings& s = settings();
    s.beginGroup(section);
    const QByteArray geometry = s.value(QStringLiteral("geometry")).toByteArray();
    s.endGroup();
    return !geometry.isEmpty() && window->restoreGeometry(geometry);
}

} // namespace widgets
