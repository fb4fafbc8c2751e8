#include "fpbook.h"

#include "glyphs.h"
#include "guard.h"
#include "messages.h"
#include "pictures.h"
#include "shellservices.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDate>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace kadrol {

namespace {
constexpr int kToolbarHeight = 61;
constexpr int kButtonWidth = 92;
constexpr int kButtonHeight = 57;
constexpr int kPictureHeight = 360;
const char* const kSiteAddresses[] = {"www.kadrolog.example", "forum.kadrolog.example"};

// Rounds halves to even, as the window fitting of the system does.
int roundEven(double v)
{
    return static_cast<int>(std::nearbyint(v));
}
} // namespace

TFbook::TFbook(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Система подбора персонала Кадролог"));
    setObjectName(QStringLiteral("Fbook"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_toolbar = new QFrame(central);
    static_cast<QFrame*>(m_toolbar)->setFrameShape(QFrame::StyledPanel);
    m_toolbar->setFixedHeight(kToolbarHeight);
    addButton(m_toolbar, QStringLiteral("Кандидаты"), glyph(Glyph::Candidates), true);
    addButton(m_toolbar, QStringLiteral("Заявки"), glyph(Glyph::Requests), true);
    addButton(m_toolbar, QStringLiteral("Библиотека"), glyph(Glyph::Library), true);
    addButton(m_toolbar, QStringLiteral("Картотека"), glyph(Glyph::Catalog), true);
    addButton(m_toolbar, QStringLiteral("Анализ"), glyph(Glyph::Analysis), true);
    addButton(m_toolbar, QStringLiteral("Сервис"), glyph(Glyph::Service), true);
    addButton(m_toolbar, QStringLiteral("О программе"), glyph(Glyph::About), true);
    int x = 4 + 7 * kButtonWidth + 6;
    auto* divider = new QFrame(m_toolbar);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);
    divider->setGeometry(x, 4, 4, kButtonHeight - 4);
    m_exit = addButton(m_toolbar, QStringLiteral("Выход"), glyph(Glyph::Exit), false);
    m_exit->move(x + 10, 2);
    layout->addWidget(m_toolbar);

    m_picture = new QLabel(central);
    m_picture->setScaledContents(true);
    const QPixmap background = pictureFromStore(9); // read once, when the window is made
    m_picture->setPixmap(background);
    m_picture->setFixedHeight(kPictureHeight);
    layout->addWidget(m_picture);

    CI = new QCheckBox(central);
    CI->setChecked(true); // checked: the first-use collapse has not happened yet
    CI->hide();
    setCentralWidget(central);

    const QList<std::pair<QString, Target>> buttons = {
        {QStringLiteral("Кандидаты"), Target::Candidates},
        {QStringLiteral("Заявки"), Target::Requests},
        {QStringLiteral("Библиотека"), Target::Library},
        {QStringLiteral("Картотека"), Target::Catalog},
        {QStringLiteral("Анализ"), Target::Statistics},
        {QStringLiteral("Сервис"), Target::Service},
        {QStringLiteral("О программе"), Target::About}};
    for (const auto& [caption, target] : buttons) {
        QToolButton* b = m_buttons.value(caption);
        m_targetButtons.insert(target, b);
        const Target t = target;
        widgets::onSignal(b, &QToolButton::clicked, this, [this, t]() { run(t, true, AsLeft); });
    }
    widgets::onSignal(m_exit, &QToolButton::clicked, this, [this]() { BvClick(); });

    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("Файл"));
    addEntry(file, QStringLiteral("Наименования"), Target::Names, false);
    QMenu* site = file->addMenu(QStringLiteral("Посетить сайт"));
    for (const char* address : kSiteAddresses) {
        QAction* a = site->addAction(QString::fromLatin1(address));
        const QString url =
            QStringLiteral("http://") + QString::fromLatin1(address) + QLatin1Char('/');
        connect(a, &QAction::triggered, this, [url]() { OpenWithShell(url); });
        m_entries.insert(QStringLiteral("Файл/Посетить сайт/") + a->text(), a);
    }
    addEntry(file, QStringLiteral("Курсы валют"), Target::Rates, false)->setVisible(false);
    addEntry(file, QStringLiteral("Календарь"), Target::Calendar, false);
    addEntry(file, QStringLiteral("О программе"), Target::About, true);
    file->addSeparator();
    QAction* password = file->addAction(QStringLiteral("Пароль"));
    password->setEnabled(false); // comes with its own part
    m_entries.insert(QStringLiteral("Файл/Пароль"), password);
    QAction* quit = file->addAction(QStringLiteral("Выход"));
    m_entries.insert(QStringLiteral("Файл/Выход"), quit);
    widgets::onSignal(quit, &QAction::triggered, this, [this]() { BvClick(); });

    // Each entry tells its window what to show first: the base, the hub's action, the page.
    QMenu* candidates = bar->addMenu(QStringLiteral("Кандидаты"));
    addEntry(candidates, QStringLiteral("Действующие"), Target::Candidates, false, CurrentBase);
    addEntry(candidates, QStringLiteral("Архивные"), Target::Candidates, false, ArchiveBase);
    addEntry(candidates, QStringLiteral("Черный список"), Target::Candidates, false, Blacklist);
    QMenu* requests = bar->addMenu(QStringLiteral("Заявки"));
    addEntry(requests, QStringLiteral("Фирмы"), Target::Requests, false, Firms);
    addEntry(requests, QStringLiteral("Список заявок"), Target::Requests, false, RequestsList);
    QMenu* library = bar->addMenu(QStringLiteral("Библиотека"));
    addEntry(library, QStringLiteral("Шаблоны"), Target::Library, false, Templates);
    addEntry(library, QStringLiteral("CV кандидатов"), Target::Library, false, CandidateCVs);
    QMenu* catalog = bar->addMenu(QStringLiteral("Картотека"));
    addEntry(catalog, QStringLiteral("Структура"), Target::Structure, false);
    addEntry(catalog, QStringLiteral("Печать"), Target::Catalog, false);
    QMenu* analysis = bar->addMenu(QStringLiteral("Анализ"));
    addEntry(analysis, QStringLiteral("Статистика"), Target::Statistics, true);
    QMenu* service = bar->addMenu(QStringLiteral("Сервис"));
    addEntry(service, QStringLiteral("Выборки"), Target::Selections, false);
    QMenu* help = bar->addMenu(QStringLiteral("Помощь"));
    auto helpEntry = [this](QMenu* menu, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setEnabled(false); // the help comes with its own part
        m_entries.insert(menu->title() + QLatin1Char('/') + caption, a);
    };
    for (const char* e : {"Вступление", "Общее описание", "Кандидаты"})
        helpEntry(help, QString::fromUtf8(e));
    QMenu* helpRequests = help->addMenu(QStringLiteral("Заявки"));
    for (const char* e : {"Работа с заявками", "Карточка заявки", "Отбор по заявке"})
        helpEntry(helpRequests, QString::fromUtf8(e));
    for (const char* e : {"Библиотека", "Картотека", "Анализ", "Сервис", "Восстановление индексов"})
        helpEntry(help, QString::fromUtf8(e));
    help->addSeparator();
    addEntry(help, QStringLiteral("О программе"), Target::About, true);

    // Opening any top-level menu but "Анализ" is a first use.
    for (QMenu* menu : {file, candidates, requests, library, catalog, service, help})
        connect(menu, &QMenu::aboutToShow, this, &TFbook::collapse);

    m_version = new QLabel(QStringLiteral("  Версия 1.01"));
    m_version->setFixedWidth(350);
    m_date = new QLabel;
    statusBar()->addWidget(m_version);
    statusBar()->addWidget(m_date, 1);
    statusBar()->setSizeGripEnabled(false);

    for (Target t : m_targetButtons.keys() + m_targetEntries.keys())
        setTargetAvailable(t, false);
    fitWidth();
    if (!background.isNull()) {
        // The picture fills the width; its height keeps the picture's proportions.
        m_picture->setFixedHeight(width() * background.height() / background.width());
        fitWidth();
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        if (screen->geometry().width() < 1000)
            scaleBy(5.0 / 6.0);
        move(screen->geometry().center() - rect().center());
    }
}

QToolButton* TFbook::addButton(QWidget* bar, const QString& caption, const QIcon& icon, bool flat)
{
    auto* b = new QToolButton(bar);
    b->setText(caption);
    b->setAccessibleName(caption);
    b->setIcon(icon);
    b->setIconSize(QSize(32, 32));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(flat);
    b->setGeometry(4 + static_cast<int>(m_buttons.size()) * kButtonWidth, 2, kButtonWidth,
                   kButtonHeight);
    m_buttons.insert(caption, b);
    return b;
}

QAction* TFbook::addEntry(QMenu* menu, const QString& caption, Target target, bool collapseFirst,
                          int choice)
{
    QAction* a = menu->addAction(caption);
    m_entries.insert(menu->title() + QLatin1Char('/') + caption, a);
    m_targetEntries.insert(target, a);
    widgets::onSignal(a, &QAction::triggered, this, [this, target, collapseFirst, choice]() {
        run(target, collapseFirst, choice);
    });
    return a;
}

void TFbook::run(Target target, bool collapseFirst, int choice)
{
    if (collapseFirst)
        collapse();
    const auto handler = m_handlers.value(target);
    if (handler)
        handler(choice);
}

void TFbook::setTargetAvailable(Target target, bool available)
{
    for (QWidget* b : m_targetButtons.values(target))
        b->setEnabled(available);
    for (QAction* a : m_targetEntries.values(target))
        a->setEnabled(available);
}

void TFbook::setTargetHandler(Target target, std::function<void(int choice)> handler)
{
    m_handlers.insert(target, std::move(handler));
    setTargetAvailable(target, true);
}

void TFbook::setTargetHandler(Target target, std::function<void()> handler)
{
    setTargetHandler(target, [handler = std::move(handler)](int) { handler(); });
}

bool TFbook::firstUse() const
{
    return CI->isChecked();
}

void TFbook::collapse()
{
    if (!CI->isChecked())
        return;
    const int picture = m_picture->height();
    m_picture->clear();
    m_picture->hide();
    CI->setChecked(false);
    setFixedHeight(height() - picture);
}

QToolButton* TFbook::button(const QString& caption) const
{
    return m_buttons.value(caption);
}

QAction* TFbook::menuEntry(const QString& path) const
{
    return m_entries.value(path);
}

void TFbook::fitWidth()
{
    // The window ends 20 pixels after the last button.
    const int width = m_exit->geometry().x() + m_exit->width() + 20;
    const int height = menuBar()->sizeHint().height() + m_toolbar->height() +
                       (m_picture->isVisible() || CI->isChecked() ? m_picture->height() : 0) +
                       statusBar()->sizeHint().height();
    setFixedSize(width, height);
}

void TFbook::scaleBy(double factor)
{
    for (QToolButton* b : m_toolbar->findChildren<QToolButton*>()) {
        const QRect g = b->geometry();
        b->setGeometry(roundEven(g.x() * factor), roundEven(g.y() * factor),
                       roundEven(g.width() * factor), roundEven(g.height() * factor));
        QFont f = b->font();
        f.setPointSizeF(f.pointSizeF() * factor);
        b->setFont(f);
    }
    for (QFrame* d : m_toolbar->findChildren<QFrame*>()) {
        const QRect g = d->geometry();
        d->setGeometry(roundEven(g.x() * factor), g.y(), g.width(), roundEven(g.height() * factor));
    }
    m_toolbar->setFixedHeight(roundEven(m_toolbar->height() * factor));
    m_picture->setFixedHeight(roundEven(m_picture->height() * factor));
    fitWidth();
}

QString TFbook::dateText(const QDate& date)
{
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    return QStringLiteral("  %1, %2, %3;   %4")
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(ru.standaloneMonthName(date.month(), QLocale::LongFormat))
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(ru.dayName(date.dayOfWeek(), QLocale::LongFormat));
}

bool TFbook::event(QEvent* event)
{
    if (event->type() == QEvent::Show)
        m_date->setText(dateText(QDate::currentDate()));
    if (event->type() == QEvent::WindowActivate) {
        m_date->setText(dateText(QDate::currentDate()));
        if (const QScreen* screen = this->screen())
            move((screen->geometry().width() - frameGeometry().width()) / 2, 10);
    }
    return QMainWindow::event(event);
}

void TFbook::BvClick()
{
    if (!widgets::confirm(QStringLiteral("Вы действительно хотите закончить работу ?"), this))
        return;
    // The help viewer is never started by this program, so there is none to close.
    close();
    QCoreApplication::quit();
}

void TFbook::closeEvent(QCloseEvent* event)
{
    // Closing by the frame ends the program without the question.
    event->accept();
}

} // namespace kadrol
