// Silinst's algorithm against the scripted window system: one scenario per row, each checked by
// the calls of the main thread, the clicks posted, the searches made and how the clicker ended.
// Times are virtual milliseconds; every attempt is followed by a 15 ms pause.

#include "fakewindows.h"
#include "silinst.h"

#include <QObject>
#include <QStringList>
#include <QTest>

#include <stdexcept>

using silinst::fake::FakePlatform;
using silinst::fake::FakeWindow;
using silinst::fake::never;
using silinst::fake::Script;

Q_DECLARE_METATYPE(Script)

namespace {

const QString bde = QStringLiteral("C:\\Program Files\\Borland\\BDE setup\\bdeinst.dll");

FakeWindow top(const char* name, const char* className, const char* title, int appears, int shows)
{
    FakeWindow window;
    window.name = name;
    window.className = className;
    window.title = title;
    window.appears = appears;
    window.shows = shows;
    return window;
}

FakeWindow child(const char* parent, const char* name, const char* className = silinst::buttonClass,
                 std::uint32_t style = 0)
{
    FakeWindow window;
    window.name = name;
    window.className = className;
    window.parent = parent;
    window.style = style;
    return window;
}

// The engine installer as it behaves: the dialog comes up at 100 ms and is shown 300 ms later; its
// default button closes it and brings up the warning 200 ms after the click.
Script installer()
{
    Script script;
    script.libraries.push_back({bde.toStdString()});

    script.windows.push_back(top("dialog", silinst::dialogClass, silinst::dialogTitle, 100, 300));
    script.windows.push_back(child("dialog", "panel", "TPanel"));
    script.windows.push_back(child("dialog", "Help"));
    FakeWindow ok = child("dialog", "OK", silinst::buttonClass, silinst::defaultButtonStyle);
    ok.closes = true;
    ok.opens = "warning";
    script.windows.push_back(ok);
    script.windows.push_back(child("dialog", "Cancel"));

    FakeWindow warning = top("warning", silinst::warningClass, silinst::warningTitle, 200, 0);
    warning.opensOnClick = true;
    script.windows.push_back(warning);
    script.windows.push_back(child("warning", "No"));
    FakeWindow yes = child("warning", "Yes", silinst::buttonClass, silinst::defaultButtonStyle);
    yes.closes = true;
    script.windows.push_back(yes);
    return script;
}

QStringList toList(const std::vector<std::string>& lines)
{
    QStringList list;
    for (const std::string& line : lines)
        list << QString::fromStdString(line);
    return list;
}

} // namespace

class TestSilinst : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scenarios_data();
    void scenarios();
};

void TestSilinst::scenarios_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Script>("script");
    QTest::addColumn<QStringList>("trace");
    QTest::addColumn<QStringList>("posts");
    QTest::addColumn<int>("dialogSearches");
    QTest::addColumn<int>("warningSearches");
    QTest::addColumn<int>("buttonSearches");
    QTest::addColumn<QString>("clicker");

    const QStringList one{bde};
    const QStringList registered{"com init",
                                 "load " + bde,
                                 "lookup DllRegisterServer",
                                 "start thread",
                                 "call DllRegisterServer",
                                 "unload " + bde,
                                 "com uninit",
                                 "exit 0"};
    const QStringList bothPressed{"OK 0x00F5 0 0 at 420", "Yes 0x00F5 0 0 at 660"};
    const QStringList dialogPressed{"OK 0x00F5 0 0 at 420"};

    // The command line.
    QTest::addRow("no argument") << QStringList{} << installer() << QStringList{"exit 0"}
                                 << QStringList{} << 0 << 0 << 0 << "not started";
    QTest::addRow("two arguments") << QStringList{bde, bde} << installer() << QStringList{"exit 0"}
                                   << QStringList{} << 0 << 0 << 0 << "not started";

    // The library.
    {
        const QString missing = QStringLiteral("C:\\BDE\\missing.dll");
        QTest::addRow("library cannot be loaded")
            << QStringList{missing} << installer()
            << QStringList{"com init", "load " + missing + ": missing", "com uninit", "exit 0"}
            << QStringList{} << 0 << 0 << 0 << "not started";
    }
    {
        Script script = installer();
        script.libraries.front().hasEntry = false;
        QTest::addRow("no registration entry: unloaded, no thread")
            << one << script
            << QStringList{"com init",      "load " + bde, "lookup DllRegisterServer: missing",
                           "unload " + bde, "com uninit",  "exit 0"}
            << QStringList{} << 0 << 0 << 0 << "not started";
    }
    {
        Script script = installer();
        script.libraries.front().entryFails = true;
        QStringList trace = registered;
        trace.last() = "error: registration failed";
        QTest::addRow("registration fails: still unloaded and uninitialised")
            << one << script << trace << bothPressed << 8 << 15 << 4 << "ended at 660";
    }

    // Finding the installer dialog.
    QTest::addRow("dialog and warning pressed")
        << one << installer() << registered << bothPressed << 8 << 15 << 4 << "ended at 660";
    {
        Script script = installer();
        script.window("dialog").appears = 14985;
        script.window("dialog").shows = 0;
        QTest::addRow("dialog on the last attempt")
            << one << script << registered
            << QStringList{"OK 0x00F5 0 0 at 15015", "Yes 0x00F5 0 0 at 15255"} << 1000 << 15 << 4
            << "ended at 15255";
    }
    {
        Script script = installer();
        script.window("dialog").appears = 14986;
        QTest::addRow("dialog one attempt too late")
            << one << script << registered << QStringList{} << 1000 << 0 << 0 << "ended at 15000";
    }
    {
        Script script;
        script.libraries.push_back({bde.toStdString()});
        QTest::addRow("dialog never appears: 1000 attempts")
            << one << script << registered << QStringList{} << 1000 << 0 << 0 << "ended at 15000";
    }
    {
        Script script = installer();
        script.window("dialog").title = "Borland Database Engine Setup";
        Script decoy = installer();
        decoy.window("dialog").className = "TForm";
        script.windows.push_back(decoy.window("dialog"));
        script.windows.back().name = "decoy";
        QTest::addRow("only the right class and title")
            << one << script << registered << QStringList{} << 1000 << 0 << 0 << "ended at 15000";
    }

    // Waiting for the dialog to be shown.
    {
        Script script = installer();
        script.window("dialog").shows = never;
        script.window("dialog").vanishes = 500;
        QTest::addRow("dialog gone while waiting for it to show")
            << one << script << registered << QStringList{} << 8 << 0 << 0 << "ended at 600";
    }
    {
        Script script = installer();
        script.window("dialog").shows = 20 * 60 * 1000;
        QTest::addRow("dialog shown after twenty minutes")
            << one << script << registered
            << QStringList{"OK 0x00F5 0 0 at 1200120", "Yes 0x00F5 0 0 at 1200360"} << 8 << 15 << 4
            << "ended at 1200360";
    }
    {
        Script script = installer();
        script.window("dialog").shows = never;
        QTest::addRow("dialog never shown: the wait has no limit")
            << one << script << registered << QStringList{} << 8 << 0 << 0 << "still waiting";
    }

    // Finding the default button.
    {
        Script script = installer();
        script.window("OK").style = 0;
        QTest::addRow("no default button")
            << one << script << registered << QStringList{} << 8 << 0 << 4 << "ended at 420";
    }
    {
        Script script = installer();
        script.window("OK").style = 0;
        script.window("Help").style = silinst::defaultButtonStyle;
        QTest::addRow("the first button is never examined")
            << one << script << registered << QStringList{} << 8 << 0 << 4 << "ended at 420";
    }
    {
        Script script = installer();
        FakeWindow bitButton = child("dialog", "Glyph", "TBitBtn", silinst::defaultButtonStyle);
        script.windows.insert(script.windows.begin() + 3, bitButton); // between Help and OK
        QTest::addRow("a default button of another class is passed over")
            << one << script << registered << bothPressed << 8 << 15 << 4 << "ended at 660";
    }
    {
        Script script = installer();
        script.window("dialog").shows = 0;
        for (const char* name : {"Help", "OK", "Cancel"})
            script.window(name).appears = 500;
        QTest::addRow("buttons appear late")
            << one << script << registered
            << QStringList{"OK 0x00F5 0 0 at 615", "Yes 0x00F5 0 0 at 855"} << 8 << 15 << 36
            << "ended at 855";
    }
    {
        Script script = installer();
        script.window("dialog").shows = 0;
        for (const char* name : {"Help", "OK", "Cancel"})
            script.window(name).appears = never;
        QTest::addRow("buttons never appear: 100 attempts")
            << one << script << registered << QStringList{} << 8 << 0 << 101 << "ended at 1620";
    }
    {
        // The first search gives up at 1500 ms, the buttons come at 1510 and the search for the
        // default, 15 ms later, starts from the first child: so the first button is examined.
        Script script = installer();
        script.window("dialog").appears = 0;
        script.window("dialog").shows = 0;
        script.windows.erase(script.windows.begin() + 2); // Help: OK comes first
        for (const char* name : {"OK", "Cancel"})
            script.window(name).appears = 1510;
        QTest::addRow("buttons appear after the search: from the first child")
            << one << script << registered
            << QStringList{"OK 0x00F5 0 0 at 1515", "Yes 0x00F5 0 0 at 1755"} << 1 << 15 << 103
            << "ended at 1755";
    }
    {
        Script script = installer();
        script.window("OK").refusesPosts = true;
        QTest::addRow("click cannot be posted: no warning search")
            << one << script << registered << QStringList{"OK 0x00F5 0 0 at 420 refused"} << 8 << 0
            << 2 << "ended at 420";
    }

    // The warning after the dialog.
    {
        Script script = installer();
        script.window("OK").opens.clear();
        QTest::addRow("warning absent: 100 attempts")
            << one << script << registered << dialogPressed << 8 << 100 << 2 << "ended at 1920";
    }
    {
        Script script = installer();
        script.window("warning").appears = 1485;
        QTest::addRow("warning on its last attempt")
            << one << script << registered
            << QStringList{"OK 0x00F5 0 0 at 420", "Yes 0x00F5 0 0 at 1935"} << 8 << 100 << 4
            << "ended at 1935";
    }
    {
        Script script = installer();
        script.window("warning").appears = 1486;
        QTest::addRow("warning one attempt too late")
            << one << script << registered << dialogPressed << 8 << 100 << 2 << "ended at 1920";
    }
    {
        Script script = installer();
        script.window("Yes").style = 0;
        QTest::addRow("warning without a default button")
            << one << script << registered << dialogPressed << 8 << 15 << 5 << "ended at 660";
    }
}

void TestSilinst::scenarios()
{
    QFETCH(QStringList, arguments);
    QFETCH(Script, script);

    std::vector<std::string> args;
    for (const QString& argument : arguments)
        args.push_back(argument.toStdString());

    FakePlatform platform(script);
    try {
        const int code = silinst::run(platform, args);
        platform.trace.push_back("exit " + std::to_string(code));
    } catch (const std::exception& error) {
        platform.trace.push_back(std::string("error: ") + error.what());
    }

    QTEST(toList(platform.trace), "trace");
    QTEST(toList(platform.posts), "posts");
    QTEST(platform.searches[silinst::dialogClass], "dialogSearches");
    QTEST(platform.searches[silinst::warningClass], "warningSearches");
    QTEST(platform.searches["children"], "buttonSearches");
    QTEST(QString::fromStdString(platform.clicker), "clicker");
}

QTEST_GUILESS_MAIN(TestSilinst)
#include "tst_silinst.moc"
