// The date span behind every age, and what is handed to the desktop.
#include "myreg.h"
#include "shellservices.h"

#include <QFile>
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

QTEST_GUILESS_MAIN(TestShell)
#include "tst_shell.moc"
