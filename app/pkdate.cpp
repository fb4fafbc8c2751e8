#include "pkdate.h"

#include <QCalendarWidget>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QScreen>
#include <QTextCharFormat>
#include <QToolButton>
#include <QVBoxLayout>

namespace kadrol {

TBrDateForm::TBrDateForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Календарь"));
    m_prior = new QToolButton(this);
    m_prior->setArrowType(Qt::LeftArrow);
    m_prior->setAccessibleName(QStringLiteral("Предыдущий месяц"));
    m_prior->setToolTip(m_prior->accessibleName());
    m_next = new QToolButton(this);
    m_next->setArrowType(Qt::RightArrow);
    m_next->setAccessibleName(QStringLiteral("Следующий месяц"));
    m_next->setToolTip(m_next->accessibleName());
    m_title = new QLabel(this);
    m_title->setAlignment(Qt::AlignCenter);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);

    m_grid = new QCalendarWidget(this);
    m_grid->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    m_grid->setFirstDayOfWeek(Qt::Monday);
    m_grid->setNavigationBarVisible(false);
    m_grid->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_grid->setGridVisible(true);
    m_grid->setSelectedDate(QDate::currentDate());
    m_grid->setAccessibleName(QStringLiteral("Календарь"));
    QPalette pal = m_grid->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
    pal.setColor(QPalette::AlternateBase, pal.color(QPalette::ToolTipBase));
    m_grid->setPalette(pal);

    auto* top = new QHBoxLayout;
    top->addWidget(m_prior);
    top->addWidget(m_title, 1);
    top->addWidget(m_next);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_grid);
    setFixedSize(sizeHint());

    connect(m_prior, &QToolButton::clicked, this, &TBrDateForm::PriorClick);
    connect(m_next, &QToolButton::clicked, this, &TBrDateForm::NextClick);
    connect(m_grid, &QCalendarWidget::selectionChanged, this, &TBrDateForm::updateTitle);
    connect(m_grid, &QCalendarWidget::currentPageChanged, this, [this](int year, int month) {
        // Paging by keyboard keeps the chosen day, as the arrow buttons do.
        const QDate d = m_grid->selectedDate();
        if (d.year() != year || d.month() != month)
            setDate(QDate(year, month, std::min(d.day(), QDate(year, month, 1).daysInMonth())));
    });
    updateTitle();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

QDate TBrDateForm::date() const
{
    return m_grid->selectedDate();
}

void TBrDateForm::setDate(const QDate& date)
{
    m_grid->setSelectedDate(date);
    m_grid->setCurrentPage(date.year(), date.month());
    updateTitle();
}

QString TBrDateForm::title() const
{
    return m_title->text();
}

void TBrDateForm::PriorClick()
{
    setDate(date().addMonths(-1));
}

void TBrDateForm::NextClick()
{
    setDate(date().addMonths(1));
}

void TBrDateForm::updateTitle()
{
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    QString month = ru.standaloneMonthName(date().month(), QLocale::LongFormat);
    if (!month.isEmpty())
        month[0] = month[0].toUpper();
    m_title->setText(
        QStringLiteral("%1, %2").arg(month).arg(date().year(), 4, 10, QLatin1Char('0')));
}

} // namespace kadrol
