// The date span behind every age, and what is handed to the desktop.
#include "myreg.h"
#include "shellservices.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QtTest>

using kadrol::Span;

namespace {

// A desktop that knows the extensions it was told and records what it was asked to open.
class FakeDesktop : public kadrol::Desktop {
public:
    QStringList associated; // suffixes with an application
    QStringList opened;
    QStringList asked;
    bool hasAssociation(const QString& filePath) override
    {
        asked << filePath;
        return associated.contains(QFileInfo(filePath).suffix().toLower());
    }
    bool open(const QString& target) override
    {
        opened << target;
        return true;
    }
};

} // namespace

class TestShell : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dateSpan_data();
    void dateSpan();
    void openWithShell_data();
    void openWithShell();
    void association_data();
    void association();
};

void TestShell::dateSpan_data()
{
    QTest::addColumn<QDateTime>("later");
    QTest::addColumn<QDateTime>("earlier");
    QTest::addColumn<int>("years");
    QTest::addColumn<int>("months");
    QTest::addColumn<int>("days");
    auto at = [](int y, int m, int d, int h = 0) { return QDateTime(QDate(y, m, d), QTime(h, 0)); };
    QTest::addRow("later before earlier") << at(2000, 1, 1) << at(2000, 1, 2) << 0 << 0 << 0;
    QTest::addRow("same day, earlier hour later")
        << at(2000, 1, 1, 8) << at(2000, 1, 1, 9) << 0 << 0 << 0;
    QTest::addRow("equal") << at(2000, 1, 1) << at(2000, 1, 1) << 0 << 0 << 0;
    QTest::addRow("borrow from December") << at(2020, 1, 10) << at(1990, 5, 20) << 29 << 7 << 21;
    QTest::addRow("short February borrow") << at(2001, 3, 1) << at(2001, 1, 31) << 0 << 1 << -2;
    QTest::addRow("birthday on the day") << at(2000, 6, 15) << at(1980, 6, 15) << 20 << 0 << 0;
    QTest::addRow("day before birthday") << at(2000, 6, 14) << at(1980, 6, 15) << 19 << 11 << 30;
    QTest::addRow("leap day ignored") << at(2004, 3, 1) << at(2004, 2, 29) << 0 << 0 << 0;
    QTest::addRow("time of day ignored")
        << at(2000, 6, 15, 0) << at(1980, 6, 15, 23) << 20 << 0 << 0;
}

void TestShell::dateSpan()
{
    QFETCH(QDateTime, later);
    QFETCH(QDateTime, earlier);
    QFETCH(int, years);
    QFETCH(int, months);
    QFETCH(int, days);
    const Span s = kadrol::DateSpan(later, earlier);
    QCOMPARE(s.years, years);
    QCOMPARE(s.months, months);
    QCOMPARE(s.days, days);
}

void TestShell::openWithShell_data()
{
    QTest::addColumn<QString>("target"); // {dir} stands for a folder with existing files
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<bool>("associationAsked");
    QTest::addRow("document with an application")
        << "{dir}/Резюме Иванова.doc" << kadrol::ShellStarted << true << true;
    QTest::addRow("no application for the type")
        << "{dir}/scan.xyz" << kadrol::ShellNoAssociation << false << true;
    QTest::addRow("missing file") << "{dir}/нет.doc" << kadrol::ShellFileNotFound << false << false;
    QTest::addRow("mail address") << "mailto:hr@firm.ru" << kadrol::ShellStarted << true << false;
    QTest::addRow("web page") << "https://kadrolog.example/" << kadrol::ShellStarted << true
                              << false;
}

void TestShell::openWithShell()
{
    QFETCH(QString, target);
    QFETCH(int, result);
    QFETCH(bool, opened);
    QFETCH(bool, associationAsked);
    QTemporaryDir dir;
    for (const char* name : {"Резюме Иванова.doc", "scan.xyz"}) {
        QFile f(dir.filePath(QString::fromUtf8(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    target.replace(QStringLiteral("{dir}"), dir.path());
    FakeDesktop fake;
    fake.associated << QStringLiteral("doc");
    kadrol::setDesktop(&fake);
    const int got = kadrol::OpenWithShell(target);
    kadrol::setDesktop(nullptr);
    QCOMPARE(got, result);
    // The target goes over unchanged, blanks and all.
    QCOMPARE(fake.opened, opened ? QStringList{target} : QStringList{});
    QCOMPARE(!fake.asked.isEmpty(), associationAsked);
}

namespace {

void writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// Sets an environment variable for the life of the object.
class EnvSet {
public:
    EnvSet(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~EnvSet()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace

void TestShell::association_data()
{
    // Files of a desktop, each "path\ncontents"; the folders are config (the user's settings),
    // share/applications (the installed applications) and home/applications.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("document");
    QTest::addColumn<bool>("associated");
    const QString writer = QStringLiteral("share/applications/writer.desktop\n[Desktop Entry]");
    const QString editor = QStringLiteral("share/applications/editor.desktop\n[Desktop Entry]");
    const QString cacheText = QStringLiteral(
        "share/applications/mimeinfo.cache\n[MIME Cache]\ntext/plain=editor.desktop;\n");
    QTest::addRow("default application of the user")
        << QStringList{writer, QStringLiteral("config/mimeapps.list\n[Default Applications]\n"
                                              "application/msword=writer.desktop\n")}
        << "Резюме.doc" << true;
    QTest::addRow("added association")
        << QStringList{writer, QStringLiteral("config/mimeapps.list\n[Added Associations]\n"
                                              "application/msword=other.desktop;writer.desktop;\n")}
        << "Резюме.doc" << true;
    QTest::addRow("only in the applications cache")
        << QStringList{editor, cacheText} << "заметки.txt" << true;
    QTest::addRow("through the parent type")
        << QStringList{editor, cacheText} << "list.csv" << true;
    QTest::addRow("association removed by the user")
        << QStringList{editor, cacheText,
                       QStringLiteral("config/mimeapps.list\n[Removed Associations]\n"
                                      "text/plain=editor.desktop\n")}
        << "заметки.txt" << false;
    QTest::addRow("application no longer installed")
        << QStringList{QStringLiteral("config/mimeapps.list\n[Default Applications]\n"
                                      "application/msword=writer.desktop\n")}
        << "Резюме.doc" << false;
    QTest::addRow("vendor folder of the application")
        << QStringList{QStringLiteral("share/applications/kde/writer.desktop\n[Desktop Entry]"),
                       QStringLiteral("share/applications/mimeinfo.cache\n[MIME Cache]\n"
                                      "application/msword=kde-writer.desktop;\n")}
        << "Резюме.doc" << true;
    QTest::addRow("no application for the type")
        << QStringList{writer, editor, cacheText} << "scan.xyz" << false;
    QTest::addRow("a desktop without association files cannot tell")
        << QStringList{writer} << "scan.xyz" << true;
}

void TestShell::association()
{
    QFETCH(QStringList, files);
    QFETCH(QString, document);
    QFETCH(bool, associated);
    QMimeDatabase().mimeTypeForName(QStringLiteral("text/plain")); // the type database first
    QTemporaryDir dir;
    const QDir root(dir.path());
    for (const QString& file : files) {
        const qsizetype nl = file.indexOf(QLatin1Char('\n'));
        writeFile(root.filePath(file.left(nl)), file.mid(nl + 1).toUtf8());
    }
    writeFile(root.filePath(document), QByteArray("\x01\x02\x03 binary", 10));
    // An xdg-mime that takes its time, as it may on a busy desktop: the answer must not wait
    // for it.
    const QString slow = root.filePath(QStringLiteral("bin/xdg-mime"));
    writeFile(slow, "#!/bin/sh\nsleep 3\necho writer.desktop\n");
    QFile::setPermissions(slow, QFile::permissions(slow) | QFileDevice::ExeOwner);
    const EnvSet path("PATH", QFile::encodeName(root.filePath(QStringLiteral("bin"))) + ':' +
                                  qgetenv("PATH"));
    const EnvSet configHome("XDG_CONFIG_HOME",
                            QFile::encodeName(root.filePath(QStringLiteral("config"))));
    const EnvSet configDirs("XDG_CONFIG_DIRS", QFile::encodeName(root.filePath("etc")));
    const EnvSet dataHome("XDG_DATA_HOME", QFile::encodeName(root.filePath("home")));
    const EnvSet dataDirs("XDG_DATA_DIRS", QFile::encodeName(root.filePath("share")));
    const EnvSet desktopName("XDG_CURRENT_DESKTOP", "");

    QElapsedTimer t;
    t.start();
    const bool got = kadrol::desktop().hasAssociation(root.filePath(document));
    const qint64 ms = t.elapsed();
    QCOMPARE(got, associated);
    QVERIFY2(ms < 500, qPrintable(QStringLiteral("took %1 ms").arg(ms)));
}

QTEST_GUILESS_MAIN(TestShell)
#include "tst_shell.moc"
