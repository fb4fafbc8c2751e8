#include "kadrol.h"

#include "adstr.h"
#include "alias.h"
#include "black.h"
#include "error.h"
#include "fpbook.h"
#include "list.h"
#include "load.h"
#include "mabout.h"
#include "messages.h"
#include "naimen.h"
#include "pdm.h"
#include "pkdate.h"
#include "reserv.h"
#include "rlistres.h"
#include "serch.h"
#include "spcard.h"
#include "stbut.h"
#include "strkatl.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
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

// Shows the candidate list on a base (0, 1, 2) or, for -1, on the base last chosen.
void showCandidates(int base)
{
    if (base >= 0)
        Flist->setBase(base);
    Flist->RGClick();
    Flist->show();
    Flist->raise();
    Flist->activateWindow();
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
        {"TFstrcard", -1, [] { Fstrcard = new TFstrcard(Fbook); }},
        {"TFlibr", 5, nullptr},
        {"TDM", -1, [&] { DM = new TDM(programFolder); }},
        {"TFlist", -1,
         [] {
             Flist = new TFlist(Fbook);
             Flist->setWindowFlag(Qt::Window);
             Flist->setPrintHandler([](int base) { printCandidateList(base, Flist); });
             // The button shows the base last chosen, an entry its own base; the switch runs
             // first every time.
             Fbook->setTargetHandler(TFbook::Target::Candidates,
                                     [](int choice) { showCandidates(choice); });
         }},
        {"TFres", 10,
         [] {
             Fres = new TFres(Fbook);
             // The list by catalog made the candidate current; the card shows it to read.
             Fstrcard->setCardOpener([] {
                 Fres->setModeLabel(QStringLiteral("Просмотр"));
                 Fres->setPage(0);
                 Fres->exec();
             });
         }},
        {"TFuch", -1, nullptr},
        {"TFblack", 15, [] { Fblack = new TFblack(Fbook); }},
        {"TFfirm", -1, nullptr},
        {"TFzayav", -1, nullptr},
        {"TFzv", 25, nullptr},
        {"TFsrch", 30, [] { Fsrch = new TFsrch(Fbook); }},
        {"TFStBut", 40,
         [] {
             FStBut = new TFStBut(Fbook);
             Fbook->setTargetHandler(TFbook::Target::Catalog, [] {
                 FStBut->show();
                 FStBut->raise();
                 FStBut->activateWindow();
             });
         }},
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
             // "Кандидаты" of the structure lists the node's candidates by catalog; the main
             // window's "Структура" runs the vacancy catalog hub's.
             Fedkatl->setCandidatesHandler(
                 [](const QString& condition) { Fstrcard->showFor(condition); });
             Fbook->setTargetHandler(TFbook::Target::Structure, [] { FStBut->BsClick(); });
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
    // 7. Small screens.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        if (screen->logicalDotsPerInch() < 90 && Fblack)
            Fblack->fitLowDensityScreen();
        if (screen->geometry().width() < 1000 && Flist)
            Flist->fitSmallScreen();
    }
    return true;
}

void shutDown()
{
    // The windows owned by the main window go with it; these pointers must not outlive them.
    delete Fsrch;
    Fsrch = nullptr;
    delete Fres;
    Fres = nullptr;
    delete Flist;
    Flist = nullptr;
    delete BrDateForm; // owned by the main window, but may outlive a failed start
    BrDateForm = nullptr;
    // The windows below belong to the main window and go with it.
    FStBut = nullptr;
    Fblack = nullptr;
    Fstrcard = nullptr;
    delete Fbook;
    Fbook = nullptr;
    delete DM;
    DM = nullptr;
}

} // namespace kadrol
