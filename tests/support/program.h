#pragma once

// The whole program started in-process on a program folder of its own, for the tests of the
// windows. Header only: the tests that include it link the program's library; the support
// library itself does not.

#include "database.h"
#include "datafolder.h"
#include "kadrol.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

namespace kadroltest {

// A fresh program folder (Data, Foto, CV, template, the picture store) that is the current
// folder while the object lives, with an alias file the test writes, or none (start-up then
// registers "kadrol" on the Data folder beside the program). The end shuts the program down
// and puts the current folder and the aliases back.
class Program {
public:
    explicit Program(const QByteArray& aliases = {})
    {
        kadrol::prepareProgramFolder(m_dir.path());
        const QString file = m_dir.filePath(QStringLiteral("aliases.ini"));
        if (!aliases.isEmpty()) {
            QFile f(file);
            f.open(QIODevice::WriteOnly);
            f.write(aliases);
        }
        qputenv("KADROL_ALIASES", file.toLocal8Bit());
        kdb::Session::global().reloadAliasFile();
        m_oldFolder = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    ~Program()
    {
        kadrol::shutDown();
        QDir::setCurrent(m_oldFolder);
        qunsetenv("KADROL_ALIASES");
        kdb::Session::global().reloadAliasFile();
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool start(std::function<void()> afterWindows = {})
    {
        return kadrol::startUp({m_dir.path(), std::move(afterWindows)});
    }
    QString path() const { return m_dir.path(); }
    QString dataFolder() const { return m_dir.filePath(QStringLiteral("Data")); }

private:
    QTemporaryDir m_dir;
    QString m_oldFolder;
};

// The same, started at once; started() says whether start-up succeeded.
class StartedProgram : public Program {
public:
    StartedProgram() : m_started(start()) {}
    bool started() const { return m_started; }

private:
    bool m_started;
};

} // namespace kadroltest
