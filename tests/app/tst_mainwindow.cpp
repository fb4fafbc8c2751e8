// The whole program started in-process, checked by what a user sees: the main window's title,
// toolbar, menus and status bar, the first-use collapse, the exit question, the alias, the
// calendar, the about box and the splash.
#include "agencystore.h"
#include "database.h"
#include "datafolder.h"
#include "fpbook.h"
#include "generator.h"
#include "guisupport.h"
#include "kadrol.h"
#include "load.h"
#include "messages.h"
#include "pdm.h"
#include "pkdate.h"
#include "program.h"
#include "table.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using kadrol::TFbook;
using kadroltest::MessageBoxAnswerer;
using kadroltest::Program;

namespace {

QStringList captionsOf(QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            out << QStringLiteral("-");
        else if (a->menu())
            out << a->text() + QStringLiteral(" >");
        else
            out << a->text();
    }
    return out;
}

QMenu* topMenu(const QString& title)
{
    for (QAction* a : kadrol::Fbook->menuBar()->actions())
        if (a->text() == title)
            return a->menu();
    return nullptr;
}

void openAndClose(QMenu* menu)
{
    menu->popup(kadrol::Fbook->mapToGlobal(QPoint(0, 0)));
    QTest::qWait(20);
    menu->hide();
}

// Presses a button of the next visible window with that title.
void pressLater(const QString& title, const QString& caption)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, title, caption]() {
        if (QWidget* w = kadroltest::windowByTitle(title))
            if (QAbstractButton* b = kadroltest::buttonByCaption(w, caption)) {
                timer->stop();
                timer->deleteLater();
                b->click();
            }
    });
    timer->start();
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void mainWindowAsTheUserSeesIt();
    void menus_data();
    void menus();
    void collapseHappensOnce();
    void aboutEntryCollapsesAndShowsTheBox();
    void exitQuestion();
    void predefinedAliasIsUsedUnchanged();
    void serverAliasIsUsedAsAFolderIs();
    void unreachableServerIsNamed();
    void startUpErrorIsShownAndEndsTheStart();
    void everyStartUpErrorIsShown_data();
    void everyStartUpErrorIsShown();
    void entriesCarryTheirChoice_data();
    void entriesCarryTheirChoice();
    void calendar();
    void splash();
    void dateText_data();
    void dateText();
};

void TestMainWindow::mainWindowAsTheUserSeesIt()
{
    Program program;
    QVERIFY(program.start());
    TFbook* fb = kadrol::Fbook;
    QVERIFY(fb->isVisible());
    QCOMPARE(fb->windowTitle(), QStringLiteral("Система подбора персонала Кадролог"));
    QCOMPARE(widgets::applicationTitle(), QStringLiteral("Кадролог"));

    QWidget* toolbar = fb->button(QStringLiteral("Выход"))->parentWidget();
    QList<QToolButton*> buttons = toolbar->findChildren<QToolButton*>();
    std::sort(buttons.begin(), buttons.end(),
              [](QToolButton* a, QToolButton* b) { return a->x() < b->x(); });
    QStringList captions;
    for (QToolButton* b : buttons)
        captions << b->text();
    QCOMPARE(captions, (QStringList{"Кандидаты", "Заявки", "Библиотека", "Картотека", "Анализ",
                                    "Сервис", "О программе", "Выход"}));
    QVERIFY(!fb->button(QStringLiteral("Выход"))->autoRaise()); // the one button not flat
    QVERIFY(fb->button(QStringLiteral("Кандидаты"))->autoRaise());
    // The test screen is 800 pixels wide: the window is scaled by 5/6 (92-pixel buttons become
    // 77, a button at 96 moves to 80).
    QCOMPARE(QApplication::primaryScreen()->geometry().width(), 800);
    QCOMPARE(fb->button(QStringLiteral("Кандидаты"))->width(), 77);
    QCOMPARE(fb->button(QStringLiteral("Заявки"))->x(), 80);
    // The window ends 20 pixels after the last button.
    QCOMPARE(fb->width(), fb->button(QStringLiteral("Выход"))->geometry().right() + 1 + 20);
    // Parts whose windows are not built are disabled; the calendar and the about box are not.
    QVERIFY(!fb->button(QStringLiteral("Анализ"))->isEnabled());
    QVERIFY(fb->button(QStringLiteral("Кандидаты"))->isEnabled());
    QVERIFY(fb->button(QStringLiteral("О программе"))->isEnabled());
    QVERIFY(fb->menuEntry(QStringLiteral("Файл/Календарь"))->isEnabled());
    QVERIFY(!fb->menuEntry(QStringLiteral("Файл/Пароль"))->isEnabled());
    QVERIFY(!fb->menuEntry(QStringLiteral("Помощь/Вступление"))->isEnabled());
    QVERIFY(!fb->menuEntry(QStringLiteral("Файл/Курсы валют"))->isVisible());

    QList<QLabel*> panels = fb->statusBar()->findChildren<QLabel*>();
    std::sort(panels.begin(), panels.end(), [](QLabel* a, QLabel* b) { return a->x() < b->x(); });
    QVERIFY(panels.size() >= 2);
    QCOMPARE(panels[0]->text(), QStringLiteral("  Версия 1.01"));
    QCOMPARE(panels[0]->width(), 350);
    fb->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(fb));
    QCOMPARE(panels[1]->text(), TFbook::dateText(QDate::currentDate()));
    QCOMPARE(fb->frameGeometry().top(), 10);

    // The data module is there, with the candidates open.
    QVERIFY(DM);
    QVERIFY(DM->Reserv.isOpen());
}

void TestMainWindow::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QStringList>("entries");
    QTest::addRow("Файл") << "Файл" << QStringList{"Наименования", "Посетить сайт >",
                                                   "Курсы валют",  "Календарь",
                                                   "О программе",  "-",
                                                   "Пароль",       "Выход"};
    QTest::addRow("Кандидаты") << "Кандидаты"
                               << QStringList{"Действующие", "Архивные", "Черный список"};
    QTest::addRow("Заявки") << "Заявки" << QStringList{"Фирмы", "Список заявок"};
    QTest::addRow("Библиотека") << "Библиотека" << QStringList{"Шаблоны", "CV кандидатов"};
    QTest::addRow("Картотека") << "Картотека" << QStringList{"Структура", "Печать"};
    QTest::addRow("Анализ") << "Анализ" << QStringList{"Статистика"};
    QTest::addRow("Сервис") << "Сервис" << QStringList{"Выборки"};
    QTest::addRow("Помощь") << "Помощь"
                            << QStringList{
                                   "Вступление", "Общее описание", "Кандидаты",
                                   "Заявки >",   "Библиотека",     "Картотека",
                                   "Анализ",     "Сервис",         "Восстановление индексов",
                                   "-",          "О программе"};
}

void TestMainWindow::menus()
{
    QFETCH(QString, menu);
    QFETCH(QStringList, entries);
    Program program;
    QVERIFY(program.start());
    QStringList titles;
    for (QAction* a : kadrol::Fbook->menuBar()->actions())
        titles << a->text();
    QCOMPARE(titles, (QStringList{"Файл", "Кандидаты", "Заявки", "Библиотека", "Картотека",
                                  "Анализ", "Сервис", "Помощь"}));
    QMenu* m = topMenu(menu);
    QVERIFY(m);
    QCOMPARE(captionsOf(m), entries);
}

void TestMainWindow::collapseHappensOnce()
{
    Program program;
    QVERIFY(program.start());
    TFbook* fb = kadrol::Fbook;
    const int full = fb->height();
    QVERIFY(fb->firstUse());
    openAndClose(topMenu(QStringLiteral("Анализ")));
    QVERIFY(fb->firstUse());
    QCOMPARE(fb->height(), full);
    openAndClose(topMenu(QStringLiteral("Заявки")));
    QVERIFY(!fb->firstUse());
    const int collapsed = fb->height();
    QVERIFY2(full - collapsed >= 250,
             qPrintable(QStringLiteral("from %1 to %2").arg(full).arg(collapsed)));
    openAndClose(topMenu(QStringLiteral("Файл")));
    fb->collapse();
    QCOMPARE(fb->height(), collapsed);
}

void TestMainWindow::aboutEntryCollapsesAndShowsTheBox()
{
    Program program;
    QVERIFY(program.start());
    TFbook* fb = kadrol::Fbook;
    const int full = fb->height();
    QStringList seen;
    auto* watcher = new QTimer;
    watcher->setInterval(10);
    connect(watcher, &QTimer::timeout, [&seen]() {
        if (QWidget* w = kadroltest::windowByTitle(QStringLiteral("О программе")))
            for (QLabel* l : w->findChildren<QLabel*>())
                if (!l->text().isEmpty() && !seen.contains(l->text()))
                    seen << l->text();
    });
    watcher->start();
    pressLater(QStringLiteral("О программе"), QStringLiteral("Ok"));
    fb->menuEntry(QStringLiteral("Помощь/О программе"))->trigger();
    delete watcher;
    QVERIFY(!fb->firstUse());
    QVERIFY(fb->height() < full);
    QVERIFY(seen.contains(QStringLiteral("Версия 1.01")));
    QVERIFY(seen.contains(QStringLiteral("OS: Windows 95/98/NT4/2000/ME/XP/7/8")));
    QVERIFY(!kadroltest::windowByTitle(QStringLiteral("О программе")));
}

void TestMainWindow::exitQuestion()
{
    {
        Program program;
        QVERIFY(program.start());
        TFbook* fb = kadrol::Fbook;
        {
            MessageBoxAnswerer no(QStringLiteral("Нет"));
            fb->button(QStringLiteral("Выход"))->click();
            QCOMPARE(no.texts(),
                     QStringList{QStringLiteral("Вы действительно хотите закончить работу ?")});
            QCOMPARE(no.titles(), QStringList{QStringLiteral("Кадролог")});
        }
        QVERIFY(fb->isVisible());
        {
            MessageBoxAnswerer yes(QStringLiteral("Да"));
            fb->menuEntry(QStringLiteral("Файл/Выход"))->trigger();
            QCOMPARE(yes.count(), 1);
        }
        QVERIFY(!fb->isVisible());
    }

    // Closing by the frame asks nothing.
    Program again;
    QVERIFY(again.start());
    MessageBoxAnswerer any(QStringLiteral("Да"));
    QVERIFY(kadrol::Fbook->close());
    QTest::qWait(30);
    QCOMPARE(any.count(), 0);
    QVERIFY(!kadrol::Fbook->isVisible());
}

void TestMainWindow::predefinedAliasIsUsedUnchanged()
{
    QTemporaryDir elsewhere;
    const QString data = QDir(elsewhere.path()).filePath(QStringLiteral("Общие данные"));
    kadrol::createDataFolder(data);
    Program program(QStringLiteral("[kadrol]\nDRIVER=PARADOX\nPATH=%1\n").arg(data).toUtf8());
    QVERIFY(program.start());
    QCOMPARE(DM->Dtb.folder(), QDir::cleanPath(data));
}

void TestMainWindow::serverAliasIsUsedAsAFolderIs()
{
    const QString reason = kadroltest::serverSkipReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    // The demo agency, copied to a schema of the test server.
    QTemporaryDir elsewhere;
    const QString data = QDir(elsewhere.path()).filePath(QStringLiteral("Data"));
    kadrol::createDataFolder(data);
    {
        auto db = kdb::Database::forFolder(data);
        db->open();
        kadrol::generateAgency(*db, kadrol::AgencyOptions());
    }
    const QString schema = kadroltest::newServerSchema();
    const QString server = kadroltest::serverLocation(schema);
    KVERIFY(kadrol::copyAgency(data, server));
    {
        Program program(
            QStringLiteral("[kadrol]\nDRIVER=POSTGRESQL\nSERVER=\"%1\"\n").arg(server).toUtf8());
        QVERIFY(program.start());
        QCOMPARE(DM->Dtb.folder(), server);
        // The same candidates as on the folder the agency came from.
        auto local = kdb::Database::forFolder(data);
        local->open();
        QCOMPARE(kdb::Table::opened(DM->Dtb, QStringLiteral("RESERV.DB"))->recordCount(),
                 kdb::Table::opened(*local, QStringLiteral("RESERV.DB"))->recordCount());
        QVERIFY(kdb::Table::opened(DM->Dtb, QStringLiteral("RESERV.DB"))->recordCount() > 0);
    }
    kadroltest::dropServerSchema(schema);
}

void TestMainWindow::unreachableServerIsNamed()
{
    const QString server = QStringLiteral("host=/nonexistent/kadrol-server dbname=kadrol");
    Program program(
        QStringLiteral("[kadrol]\nDRIVER=POSTGRESQL\nSERVER=\"%1\"\n").arg(server).toUtf8());
    MessageBoxAnswerer ok(QStringLiteral("OK"));
    QVERIFY(!program.start());
    QCOMPARE(ok.count(), 1);
    QVERIFY2(ok.texts().front().contains(server), qPrintable(ok.texts().front()));
    QVERIFY(!DM);
}

void TestMainWindow::startUpErrorIsShownAndEndsTheStart()
{
    const QString missing = QStringLiteral("/nonexistent/Кадры/Data");
    Program program(QStringLiteral("[kadrol]\nDRIVER=PARADOX\nPATH=%1\n").arg(missing).toUtf8());
    MessageBoxAnswerer ok(QStringLiteral("OK"));
    QVERIFY(!program.start());
    QCOMPARE(ok.count(), 1);
    QVERIFY2(ok.texts().front().contains(missing), qPrintable(ok.texts().front()));
    QVERIFY(!kadrol::Fbook);
    QVERIFY(!DM);
}

void TestMainWindow::everyStartUpErrorIsShown_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("said");
    QTest::addRow("standard exception") << 0 << "Окно не создано";
    QTest::addRow("out of memory") << 1 << "Недостаточно памяти.";
    QTest::addRow("anything else") << 2 << "Неизвестная ошибка.";
}

void TestMainWindow::everyStartUpErrorIsShown()
{
    QFETCH(int, kind);
    QFETCH(QString, said);
    Program program;
    MessageBoxAnswerer ok(QStringLiteral("OK"));
    QVERIFY(!program.start([kind] {
        if (kind == 0)
            throw std::runtime_error("Окно не создано");
        if (kind == 1)
            throw std::bad_alloc();
        throw 42;
    }));
    QCOMPARE(ok.count(), 1);
    QCOMPARE(ok.texts().front(), QStringLiteral("Программа не может начать работу.\n\n") + said);
    QVERIFY(!kadrol::Fbook);
    QVERIFY(!DM);
}

void TestMainWindow::entriesCarryTheirChoice_data()
{
    // "button:" stands for a toolbar button, anything else is a menu path.
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("choice");
    using T = TFbook::Target;
    QTest::addRow("Кандидаты button") << "button:Кандидаты" << int(T::Candidates) << -1;
    QTest::addRow("Действующие") << "Кандидаты/Действующие" << int(T::Candidates) << 0;
    QTest::addRow("Архивные") << "Кандидаты/Архивные" << int(T::Candidates) << 1;
    QTest::addRow("Черный список") << "Кандидаты/Черный список" << int(T::Candidates) << 2;
    QTest::addRow("Заявки button") << "button:Заявки" << int(T::Requests) << -1;
    QTest::addRow("Фирмы") << "Заявки/Фирмы" << int(T::Requests) << int(TFbook::Firms);
    QTest::addRow("Список заявок")
        << "Заявки/Список заявок" << int(T::Requests) << int(TFbook::RequestsList);
    QTest::addRow("Библиотека button") << "button:Библиотека" << int(T::Library) << -1;
    QTest::addRow("Шаблоны") << "Библиотека/Шаблоны" << int(T::Library) << 0;
    QTest::addRow("CV кандидатов") << "Библиотека/CV кандидатов" << int(T::Library) << 1;
    QTest::addRow("Картотека button") << "button:Картотека" << int(T::Catalog) << -1;
    QTest::addRow("Печать") << "Картотека/Печать" << int(T::Catalog) << -1;
    QTest::addRow("Структура") << "Картотека/Структура" << int(T::Structure) << -1;
    QTest::addRow("Наименования") << "Файл/Наименования" << int(T::Names) << -1;
}

void TestMainWindow::entriesCarryTheirChoice()
{
    QFETCH(QString, control);
    QFETCH(int, target);
    QFETCH(int, choice);
    Program program;
    QVERIFY(program.start());
    TFbook* fb = kadrol::Fbook;
    QList<std::pair<int, int>> runs;
    using T = TFbook::Target;
    for (T t : {T::Candidates, T::Requests, T::Library, T::Catalog, T::Structure, T::Names})
        fb->setTargetHandler(t, [&runs, t](int c) { runs.append({int(t), c}); });
    if (control.startsWith(QLatin1String("button:")))
        fb->button(control.mid(7))->click();
    else
        fb->menuEntry(control)->trigger();
    QCOMPARE(runs, (QList<std::pair<int, int>>{{target, choice}}));
}

void TestMainWindow::calendar()
{
    Program program;
    QVERIFY(program.start());
    kadrol::Fbook->menuEntry(QStringLiteral("Файл/Календарь"))->trigger();
    kadrol::TBrDateForm* cal = kadrol::BrDateForm;
    QVERIFY(cal->isVisible());
    QCOMPARE(cal->windowTitle(), QStringLiteral("Календарь"));
    QCOMPARE(cal->date(), QDate::currentDate());
    cal->setDate(QDate(2025, 1, 31));
    QCOMPARE(cal->title(), QStringLiteral("Январь, 2025"));
    cal->NextClick();
    QCOMPARE(cal->date(), QDate(2025, 2, 28)); // the shorter month's last day
    QCOMPARE(cal->title(), QStringLiteral("Февраль, 2025"));
    cal->NextClick();
    QCOMPARE(cal->date(), QDate(2025, 3, 28));
    cal->setDate(QDate(2024, 3, 31));
    cal->PriorClick();
    QCOMPARE(cal->date(), QDate(2024, 2, 29));
    cal->setDate(QDate(2025, 1, 15));
    cal->PriorClick();
    QCOMPARE(cal->title(), QStringLiteral("Декабрь, 2024"));
    // Hidden and shown again, it keeps the chosen month.
    cal->close();
    kadrol::Fbook->menuEntry(QStringLiteral("Файл/Календарь"))->trigger();
    QCOMPARE(cal->date(), QDate(2024, 12, 15));
}

void TestMainWindow::splash()
{
    Program program;
    QVERIFY(!QApplication::overrideCursor());
    {
        kadrol::TFload load;
        QCOMPARE(load.windowTitle(), QStringLiteral("\"Кадролинг\""));
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        load.show();
        QLabel* picture = nullptr;
        QStringList texts;
        for (QLabel* l : load.findChildren<QLabel*>()) {
            if (!l->pixmap().isNull())
                picture = l;
            texts << l->text();
        }
        QVERIFY2(picture, "the start-up picture is missing");
        QVERIFY(texts.contains(QStringLiteral("Пожалуйста подождите,  идет загрузка системы")));
        QCOMPARE(load.width(), picture->width());
        // The outer height is the picture, the panel, the gauge and 30 pixels, of which the
        // caption and frame take their share (all 30 where the window has no frame).
        const int frame = load.frameGeometry().height() - load.height();
        QCOMPARE(load.height() + (frame > 0 ? frame : 30), picture->height() + 33 + 21 + 30);
        load.setGauge(45);
        QCOMPARE(load.gauge(), 45);
    }
    QVERIFY(!QApplication::overrideCursor());
}

void TestMainWindow::dateText_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("text");
    QTest::addRow("december") << QDate(2026, 12, 10) << "  10, декабрь, 2026;   четверг";
    QTest::addRow("two-digit day") << QDate(2027, 3, 1) << "  01, март, 2027;   понедельник";
}

void TestMainWindow::dateText()
{
    QFETCH(QDate, date);
    QFETCH(QString, text);
    QCOMPARE(TFbook::dateText(date), text);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
