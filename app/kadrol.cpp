#include "kadrol.h"

#include "adstr.h"
#include "alias.h"
#include "error.h"
#include "fpbook.h"
#include "load.h"
#include "mabout.h"
#include "messages.h"
#include "naimen.h"
#include "pdm.h"
#include "pkdate.h"
#include "strkatl.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <exception>
#include <functional>
#include <memory>
#include <new>

namespace kadrol {

TFbook* Fbook = nullptr;
TBrDateForm* BrDateForm = nullptr;

namespace {

QTranslator* g_qtTranslator = nullptr;

// Qt's own dialogs speak Russian, and dates and numbers follow the Russian locale whatever the
// machine's locale is.
void russianEverywhere(QApplication& app)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    if (!g_qtTranslator) {
        g_qtTranslator = new QTranslator(&app);
        if (g_qtTranslator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"),
                                 QStringLiteral("_"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            app.installTranslator(g_qtTranslator);
    }
}

void showAbout()
{
    TFabout box(Fbook);
    box.exec();
}

// Step 5: the long-lived windows in their fixed order. The main window comes first and is the
// main form; the windows before the data module must not use it. Windows of parts not built yet
// are not made, and their entries stay disabled.
void makeWindows(const QString& programFolder, TFload& splash)
{
    struct Step {
        const char* window;
        int gauge;                  // set after the window, -1: none
        std::function<void()> make; // null: the window's part is not built yet
    };
    const Step steps[] = {
        {"TFbook", -1, [] { Fbook = new TFbook; }},
        {"TFstrcard", -1, nullptr},
        {"TFlibr", 5, nullptr},
        {"TDM", -1, [&] { DM = new TDM(programFolder); }},
        {"TFlist", -1, nullptr},
        {"TFres", 10, nullptr},
        {"TFuch", -1, nullptr},
        {"TFblack", 15, nullptr},
        {"TFfirm", -1, nullptr},
        {"TFzayav", -1, nullptr},
        {"TFzv", 25, nullptr},
        {"TFsrch", 30, nullptr},
        {"TFStBut", 40, nullptr},
        {"TFserv", -1, nullptr},
        {"TBrDateForm", 45,
         [] {
             BrDateForm = new TBrDateForm(Fbook);
             Fbook->setTargetHandler(TFbook::Target::Calendar, [] {
                 BrDateForm->show();
                 BrDateForm->raise();
             });
         }},
        {"TFnaimen", 50,
         [] {
             Fnaimen = new TFnaimen(Fbook);
             Fbook->setTargetHandler(TFbook::Target::Names, [] { Fnaimen->showAsLeft(); });
         }},
        {"TFedkatl", -1,
         [] {
             Fedkatl = new TFedkatl(Fbook);
             // Until the vacancy catalog hub is built, its "Структура" is run from here.
             Fbook->setTargetHandler(TFbook::Target::Structure, [] {
                 Fedkatl->prepare(TFedkatl::Mode::Browse);
                 Fedkatl->exec();
             });
         }},
        {"TFadstr", 55, [] { Fadstr = new TFadstr(Fbook); }},
        {"TFstatistall", -1, nullptr},
        {"TFgrafan", 65, nullptr},
        {"TFpodbor", 70, nullptr},
        {"TFadreczv", -1, nullptr},
        {"TQres", 75, nullptr},
        {"TQres2", 80, nullptr},
        {"TQlistzvk", 85, nullptr},
        {"TRres", 95, nullptr},
        {"TRblk", -1, nullptr},
        {"TRzvk", 98, nullptr},
    };
    for (const Step& step : steps) {
        if (step.make)
            step.make();
        if (step.gauge >= 0)
            splash.setGauge(step.gauge);
    }
    // The about box is made for each showing.
    Fbook->setTargetHandler(TFbook::Target::About, showAbout);
}

} // namespace

bool startUp(const StartOptions& options)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return false;
    const QString programFolder =
        QDir::cleanPath(options.programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                        : options.programFolder);
    // 1. The application.
    russianEverywhere(*app);
    std::unique_ptr<TFload> splash;
    // Whatever goes wrong from here on is told to the user, not only the engine's errors: a
    // window's constructor may fail in its own way, and an exception leaving main would end
    // the program without a word.
    QString failure;
    try {
        // 2. The alias, unless the alias file defines it.
        registerAlias(programFolder);
        // 3. The splash.
        splash = std::make_unique<TFload>();
        splash->show();
        splash->repaint();
        splash->setGauge(0);
        QCoreApplication::processEvents();
        // 4. Title and icon (a missing or bad icon file leaves the built-in one). The help
        // file "Kadrol.hlp" has no viewer on this desktop, so there is nothing to tell about it.
        widgets::setApplicationTitle(QStringLiteral("Кадролог"));
        const QIcon icon(QStringLiteral("kadrol.ico"));
        if (!icon.isNull() && !icon.availableSizes().isEmpty())
            QApplication::setWindowIcon(icon);
        makeWindows(programFolder, *splash);
        if (options.afterWindows)
            options.afterWindows();
    } catch (const kdb::Error& e) {
        failure = e.message();
    } catch (const std::bad_alloc&) {
        failure = QStringLiteral("Недостаточно памяти.");
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
        if (failure.isEmpty())
            failure = QStringLiteral("Неизвестная ошибка.");
    } catch (...) {
        failure = QStringLiteral("Неизвестная ошибка.");
    }
    if (!failure.isNull()) {
        splash.reset();
        widgets::showError(QStringLiteral("Программа не может начать работу.\n\n%1").arg(failure));
        shutDown();
        return false;
    }
    // 6. The main window on the screen; the splash goes.
    Fbook->show();
    splash.reset();
    return true;
}

void shutDown()
{
    delete BrDateForm; // owned by the main window, but may outlive a failed start
    BrDateForm = nullptr;
    delete Fbook;
    Fbook = nullptr;
    delete DM;
    DM = nullptr;
}

} // namespace kadrol
