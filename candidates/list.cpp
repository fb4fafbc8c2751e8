#include "list.h"

#include "black.h"
#include "buttons.h"
#include "dbgrid.h"
#include "error.h"
#include "guard.h"
#include "messages.h"
#include "pdm.h"
#include "pictures.h"
#include "placement.h"
#include "reserv.h"
#include "serch.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDate>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace kadrol {

TFlist* Flist = nullptr;

namespace {

const char* const kSection = "list";
constexpr int kRefreshMs = 60000;

QString lockedText()
{
    return QStringLiteral("Данные заблокированы другим пользователем. Повторите операцию.");
}

int roundEven(double v)
{
    return static_cast<int>(std::nearbyint(v)); // the default rounding: halves to even
}

} // namespace

TFlist::TFlist(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Flist"));
    setWindowTitle(QStringLiteral("Список кандидатов"));
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(4, 4, 4, 4);

    // The top panel: the six operations, then help and exit.
    auto* top = new QWidget(central);
    auto* topLayout = new QHBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    Bn = addButton(top, QStringLiteral("Новый"), QStringLiteral("Новая карточка"));
    Bk = addButton(top, QStringLiteral("Карточка"), QStringLiteral("Личная карточка"));
    Bpr = addButton(top, QStringLiteral("Печать"), QString());
    Bt = addButton(top, QStringLiteral("Передать"), QString());
    Bb = addButton(top, QStringLiteral("В черн.сп."), QString());
    Bd = addButton(top, QStringLiteral("Удалить"), QString());
    Bd->setEnabled(false);
    topLayout->addStretch(1);
    Bhelp = addButton(top, QStringLiteral("Справка"), QString());
    // The help of the program is not written yet.
    Bhelp->setEnabled(false);
    Bexit = addButton(top, QStringLiteral("Выход"), QString());
    outer->addWidget(top);

    auto* middle = new QHBoxLayout;
    m_source = new widgets::DataSource(nullptr, this);
    m_grid = new widgets::DbGrid(central);
    m_grid->setCaption(QStringLiteral("Список кандидатов"));
    m_grid->setDataSource(m_source);
    m_grid->setColumns({{QStringLiteral("Рег.№"), QStringLiteral("Tn2"), 70},
                        {QStringLiteral("Фамилия"), QStringLiteral("NameF"), 150},
                        {QStringLiteral("Имя"), QStringLiteral("NameI"), 110},
                        {QStringLiteral("Отчество"), QStringLiteral("NameO"), 130},
                        {QStringLiteral("Д.регистр."), QStringLiteral("Datreg"), 85},
                        {QStringLiteral("Д.рождения"), QStringLiteral("DatBd"), 85}});
    m_grid->setReadOnly(true);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    middle->addWidget(m_grid, 1);

    // The right panel: the base selector, the search, the picture.
    auto* right = new QWidget(central);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    RG = new QGroupBox(QStringLiteral("Кандидаты"), right);
    RG->setAccessibleName(RG->title());
    auto* rgLayout = new QVBoxLayout(RG);
    m_items = new QButtonGroup(this);
    const char* items[] = {"Действующие", "Архивные", "Черный список"};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QRadioButton(QString::fromUtf8(items[i]), RG);
        b->setAccessibleName(b->text());
        m_items->addButton(b, i);
        rgLayout->addWidget(b);
    }
    m_items->button(0)->setChecked(true);
    widgets::onSignal(m_items, &QButtonGroup::idClicked, this, [this]() { RGClick(); });
    rightLayout->addWidget(RG);
    Bs = addButton(right, QStringLiteral("Поиск"), QString());
    rightLayout->addWidget(Bs);
    m_picture = new QLabel(right);
    m_picture->setScaledContents(true);
    m_picture->setPixmap(pictureFromStore(5));
    m_picture->setMinimumSize(1, 1);
    m_picture->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    rightLayout->addWidget(m_picture, 1);
    right->setFixedWidth(RG->sizeHint().width() + 16);
    middle->addWidget(right);
    outer->addLayout(middle, 1);
    setCentralWidget(central);

    // The tab order follows the reading order: the top panel, the grid, the right panel.
    QWidget* order[] = {Bn,
                        Bk,
                        Bpr,
                        Bt,
                        Bb,
                        Bd,
                        Bhelp,
                        Bexit,
                        m_grid,
                        m_items->button(0),
                        m_items->button(1),
                        m_items->button(2),
                        Bs};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    m_popup = new QMenu(this);
    QAction* find = m_popup->addAction(QStringLiteral("Поиск"));
    m_popup->addSeparator();
    QAction* reread = m_popup->addAction(QStringLiteral("Обновить"));
    widgets::onSignal(find, &QAction::triggered, this, [this]() { BsClick(); });
    widgets::onSignal(reread, &QAction::triggered, this, [this]() { refresh(); });
    connect(m_grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_popup->popup(m_grid->viewport()->mapToGlobal(at)); });

    m_count = new QLabel(this);
    m_second = new QLabel(this);
    statusBar()->addWidget(m_count, 1);
    statusBar()->addWidget(m_second, 1);

    widgets::onSignal(Bn, &QPushButton::clicked, this, [this]() { BnClick(); });
    widgets::onSignal(Bk, &QPushButton::clicked, this, [this]() { BkClick(); });
    widgets::onSignal(Bpr, &QPushButton::clicked, this, [this]() { BprClick(); });
    widgets::onSignal(Bt, &QPushButton::clicked, this, [this]() { BtClick(); });
    widgets::onSignal(Bb, &QPushButton::clicked, this, [this]() { BbClick(); });
    widgets::onSignal(Bd, &QPushButton::clicked, this, [this]() { BdClick(); });
    widgets::onSignal(Bs, &QPushButton::clicked, this, [this]() { BsClick(); });
    connect(Bexit, &QPushButton::clicked, this, &QWidget::close);
    // A double click or Enter on a row opens its card, as "Карточка" does.
    widgets::onSignal(m_grid, &QAbstractItemView::doubleClicked, this, [this]() {
        if (Bk->isEnabled())
            BkClick();
    });

    // The timer is off until the first card is opened from the list.
    m_timer = new QTimer(this);
    m_timer->setInterval(kRefreshMs);
    widgets::onSignal(m_timer, &QTimer::timeout, this, [this]() { refresh(); });

    resize(900, 560);
    restorePlacement();
}

TFlist::~TFlist()
{
    if (Flist == this)
        Flist = nullptr;
}

QPushButton* TFlist::addButton(QWidget* panel, const QString& caption, const QString& hint)
{
    QPushButton* b = widgets::panelButton(panel, caption, hint);
    if (panel->layout())
        panel->layout()->addWidget(b);
    return b;
}

QPushButton* TFlist::button(const QString& caption) const
{
    for (QPushButton* b : {Bn, Bk, Bpr, Bt, Bb, Bd, Bhelp, Bexit, Bs})
        if (b->text() == caption)
            return b;
    return nullptr;
}

void TFlist::setBase(int item)
{
    if (item < 0 || item > 2)
        return;
    m_items->button(item)->setChecked(true);
}

int TFlist::base() const
{
    return m_items->checkedId();
}

void TFlist::RGClick()
{
    const int item = base();
    int count = 0;
    if (item == 0 || item == 1) {
        // A candidate added now joins the base shown.
        DM->setCandidateBase(item);
        m_source->setDataset(&DM->Reserv);
        m_grid->setColumnField(4, QStringLiteral("Datreg"));
        DM->Reserv.setFiltered(true);
        DM->Reserv.setFilter(QStringLiteral("arch=") + QString::number(item));
        if (!DM->Reserv.isOpen())
            DM->Reserv.open();
        count = DM->Reserv.recordCount();
        Bt->setToolTip(
            QStringLiteral("Передача карточки в базу \"%1\"")
                .arg(item == 0 ? QStringLiteral("Архивные") : QStringLiteral("Действующие")));
    } else {
        m_source->setDataset(&DM->black);
        m_grid->setColumnField(4, QStringLiteral("Dzanes"));
        if (!DM->black.isOpen())
            DM->black.open();
        count = DM->black.recordCount();
    }
    enableButtons(count);
    setCount(count);
    // The grid's columns exist once it shows a dataset: the remembered layout goes on then.
    if (!m_layoutRestored) {
        m_layoutRestored = true;
        m_grid->restoreLayout(widgets::settings(), QString::fromLatin1(kSection));
    }
}

void TFlist::enableButtons(int count)
{
    const bool any = count > 0;
    const bool candidates = base() != 2;
    Bpr->setEnabled(any && m_print != nullptr);
    Bk->setEnabled(any);
    Bd->setEnabled(any);
    Bt->setEnabled(any && candidates);
    Bb->setEnabled(any && candidates);
}

void TFlist::setCount(int count)
{
    m_count->setText(QStringLiteral("Записей:") + QString::number(count));
}

QString TFlist::countText() const
{
    return m_count->text();
}

void TFlist::setPrintHandler(std::function<void(int)> handler)
{
    m_print = std::move(handler);
    const kdb::Dataset* ds = m_source->dataset();
    enableButtons(ds && ds->isOpen() ? ds->recordCount() : 0);
}

void TFlist::refresh()
{
    kdb::Dataset* ds = m_source->dataset();
    if (!ds || !ds->isOpen() || ds->state() != kdb::Dataset::State::Browse)
        return;
    ds->refresh();
    setCount(ds->recordCount());
    enableButtons(ds->recordCount());
}

void TFlist::BsClick()
{
    if (!Fsrch || Fsrch->exec() != QDialog::Accepted)
        return;
    kdb::Dataset* ds = m_source->dataset();
    if (!ds || !ds->isOpen())
        return;
    if (!ds->locate(QStringLiteral("NameF"), {Fsrch->text()},
                    kdb::Dataset::CaseInsensitive | kdb::Dataset::PartialKey))
        widgets::showMessage(QStringLiteral("Запись не найдена!"), this);
}

void TFlist::BnClick()
{
    m_timer->stop();
    const int item = base();
    if (item == 0 || item == 1) {
        DM->setCandidateBase(item);
        DM->Reserv.append();
        Fres->Butt(true);
        Fres->setModeLabel(QStringLiteral("Добавление"));
        Fres->setPage(0);
        Fres->exec();
    } else {
        DM->black.append();
        DM->black.fieldByName(QStringLiteral("Dzanes")).setValue(QDate::currentDate());
        DM->black.fieldByName(QStringLiteral("Nbas")).setValue(0);
        DM->black.fieldByName(QStringLiteral("Mf")).setValue(true);
        Fblack->Butt(true);
        Fblack->setModeLabel(QStringLiteral("Добавление"));
        Fblack->exec();
    }
    m_timer->start();
    refresh();
}

void TFlist::BkClick()
{
    m_timer->stop();
    if (base() == 0 || base() == 1) {
        Fres->setModeLabel(QStringLiteral("Просмотр"));
        Fres->setPage(0);
        Fres->exec();
    } else {
        Fblack->exec();
    }
    m_timer->start();
    refresh();
}

void TFlist::BdClick()
{
    if (base() == 2)
        deleteBlack();
    else
        deleteCandidate(true);
}

void TFlist::BtClick()
{
    Fres->transferBase();
}

void TFlist::BbClick()
{
    Fres->transferToBlacklist();
}

void TFlist::BprClick()
{
    if (m_print)
        m_print(base());
}

void TFlist::deleteBlack()
{
    if (!widgets::confirm(QStringLiteral("Удалить данную карточку из базы?"), this))
        return;
    try {
        DM->black.remove();
    } catch (const kdb::Error&) {
        widgets::showInformation(lockedText(), this);
        return;
    }
    setCount(DM->black.recordCount());
    enableButtons(DM->black.recordCount());
}

bool TFlist::deleteCandidate(bool ask)
{
    if (ask && !widgets::confirm(QStringLiteral("Удалить данную карточку из базы?"), this))
        return false;
    kdb::Table& reserv = DM->Reserv;
    if (!reserv.isOpen() || reserv.isEmpty())
        return false;
    // The detail tables in the order their rows are deleted, and in the order they are written.
    kdb::Dataset* const details[] = {&DM->sobsd, &DM->recnvk, &DM->reclang, &DM->recom,
                                     &DM->svkat, &DM->prfopt, &DM->eductn};
    const std::vector<kdb::Dataset*> applyOrder = {
        &DM->sobsd, &DM->prfopt, &DM->recnvk, &DM->reclang, &DM->recom, &DM->svkat, &DM->eductn};
    bool done = false;
    try {
        // The record lock: a candidate another user holds is refused here.
        if (reserv.state() == kdb::Dataset::State::Browse)
            reserv.edit();
        const QString key = reserv.fieldByName(QStringLiteral("Keyr")).asString();
        DM->sobsd.setFilter(QStringLiteral("nn=") + key);
        for (kdb::Dataset* ds : details)
            if (ds != &DM->sobsd)
                ds->setFilter(QStringLiteral("TabNo=") + key);
        for (kdb::Dataset* ds : details) {
            ds->close();
            ds->setCachedUpdates(true);
            ds->open();
        }
        for (kdb::Dataset* ds : details)
            while (!ds->isEmpty())
                ds->remove();
        // The details and the candidate row go together or not at all.
        kdb::Database::Transaction tx(DM->Dtb);
        DM->Dtb.applyUpdates(applyOrder);
        reserv.remove();
        tx.commit();
        done = true;
    } catch (const kdb::Error&) {
        for (kdb::Dataset* ds : details)
            if (ds->cachedUpdates())
                ds->cancelUpdates();
        if (reserv.state() == kdb::Dataset::State::Edit)
            reserv.cancel();
    }
    for (kdb::Dataset* ds : details) {
        ds->close();
        ds->setCachedUpdates(false);
    }
    if (!done) {
        widgets::showInformation(lockedText(), this);
        return false;
    }
    DM->Dtb.flush();
    if (m_source->dataset() == &reserv) {
        setCount(reserv.recordCount());
        enableButtons(reserv.recordCount());
    }
    return true;
}

void TFlist::fitSmallScreen()
{
    // A placement the user left last time is kept: fitting it again at every start would
    // shrink the window run after run.
    if (m_placementSaved)
        return;
    QFont f = font();
    f.setPointSizeF(f.pointSizeF() * 5.0 / 6.0);
    setFont(f);
    resize(roundEven(width() * 5.0 / 6.0), roundEven(height() * 5.0 / 6.0));
    resize(roundEven(width() * 6.0 / 7.0) + 20, roundEven(height() * 6.0 / 7.0));
}

void TFlist::savePlacement()
{
    widgets::savePlacement(this, QString::fromLatin1(kSection));
    QSettings& s = widgets::settings();
    m_grid->saveLayout(s, QString::fromLatin1(kSection));
    s.beginGroup(QString::fromLatin1(kSection));
    QWidget* active = focusWidget();
    s.setValue(QStringLiteral("ActiveControl"),
               active && isAncestorOf(active) ? active->accessibleName() : QString());
    s.endGroup();
    s.sync();
}

void TFlist::restorePlacement()
{
    m_placementSaved = widgets::restorePlacement(this, QString::fromLatin1(kSection));
}

void TFlist::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_placementRestored)
        return;
    m_placementRestored = true;
    QSettings& s = widgets::settings();
    s.beginGroup(QString::fromLatin1(kSection));
    const QString active = s.value(QStringLiteral("ActiveControl")).toString();
    s.endGroup();
    QWidget* target = m_grid;
    if (!active.isEmpty())
        for (QWidget* w : findChildren<QWidget*>())
            if (w->accessibleName() == active && w->focusPolicy() != Qt::NoFocus) {
                target = w;
                break;
            }
    target->setFocus();
}

void TFlist::hideEvent(QHideEvent* event)
{
    savePlacement();
    QMainWindow::hideEvent(event);
}

void TFlist::closeEvent(QCloseEvent* event)
{
    savePlacement();
    QMainWindow::closeEvent(event);
}

} // namespace kadrol
