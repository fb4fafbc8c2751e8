#include "spcard.h"

#include "buttons.h"
#include "dbgrid.h"
#include "guard.h"
#include "pdm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kadrol {

TFstrcard* Fstrcard = nullptr;

namespace {

void setUpGrid(widgets::DbGrid* grid, widgets::DataSource* source, const QString& caption)
{
    grid->setDataSource(source);
    grid->setColumns({{QStringLiteral("Рег №"), QStringLiteral("tn2"), 90},
                      {QStringLiteral("Ф.И.О."), QStringLiteral("fio"), 0}});
    grid->setReadOnly(true);
    grid->setCaption(caption);
    grid->horizontalHeader()->setStretchLastSection(true);
}

} // namespace

TFstrcard::TFstrcard(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMaximizeButtonHint),
      DSstr(&Qstr), DSsvkat(&Qsvkat)
{
    setWindowTitle(QStringLiteral("Список по каталогу"));
    setModal(true);
    Qstr.setDatabaseName(QStringLiteral("kadrol"));
    Qstr.setSql(QStringList{
        QStringLiteral("select s.keyr,(s.namef+\" \"+s.Namei+\" \"+s.nameo) as fio, s.sfr ,s.grp "
                       ",s.napr,s.spec ,arch, tn2"),
        QStringLiteral("from \"reserv.db\" s"),
        QString(),
        QStringLiteral("order by fio"),
    });
    Qstr.setFiltered(true);
    Qsvkat.setDatabaseName(QStringLiteral("kadrol"));
    Qsvkat.setSql(QStringList{
        QStringLiteral("select r.keyr,(r.namef+\" \"+r.Namei+\" \"+r.nameo) as fio, s.sfr,s.grp "
                       ",s.napr,s.spec, r.arch, r.tn2"),
        QStringLiteral("from \"reserv.db\" r, \"svkat.db\" s"),
        QStringLiteral("where (s.tabno=r.keyr)"),
        QString(),
        QStringLiteral("order by fio"),
    });
    Qsvkat.setFiltered(true);

    Bk = widgets::panelButton(this, QStringLiteral("Карточка"));
    Bk->setEnabled(false);
    m_rgBox = new QGroupBox(QStringLiteral("Базы"), this);
    m_rgBox->setAccessibleName(QStringLiteral("Базы"));
    RG = new QButtonGroup(this);
    auto* rgLayout = new QHBoxLayout(m_rgBox);
    rgLayout->setContentsMargins(6, 2, 6, 2);
    const QStringList items{QStringLiteral("Действ."), QStringLiteral("Архивн."),
                            QStringLiteral("Обе")};
    for (int i = 0; i < items.size(); ++i) {
        auto* rb = new QRadioButton(items[i], m_rgBox);
        rb->setAccessibleName(items[i]);
        RG->addButton(rb, i);
        rgLayout->addWidget(rb);
    }
    RG->button(2)->setChecked(true);
    Bv = widgets::panelButton(this, QStringLiteral("Выход"));
    auto* top = new QHBoxLayout;
    top->addWidget(Bk);
    top->addWidget(m_rgBox);
    top->addStretch(1);
    top->addWidget(Bv);

    m_main = new widgets::DbGrid(this);
    setUpGrid(m_main, &DSstr, QStringLiteral("Кандидаты по основной профессии"));
    auto* furtherCaption =
        new QLabel(QStringLiteral("Вторые профессии кандидатов (карточка, стр.2)"), this);
    m_further = new widgets::DbGrid(this);
    setUpGrid(m_further, &DSsvkat, furtherCaption->text());
    furtherCaption->setBuddy(m_further);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_main, 3);
    layout->addWidget(furtherCaption);
    layout->addWidget(m_further, 2);
    resize(560, 560);

    m_lastGrid = m_main;
    m_focusConnection =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
            if (now == m_main || now == m_further)
                m_lastGrid = now;
        });
    widgets::onSignal(RG, &QButtonGroup::idClicked, this, [this] { RGClick(); });
    widgets::onSignal(Bk, &QPushButton::clicked, this, [this] { BkClick(); });
    widgets::onSignal(m_main, &QAbstractItemView::doubleClicked, this, [this] {
        m_lastGrid = m_main;
        BkClick();
    });
    widgets::onSignal(m_further, &QAbstractItemView::doubleClicked, this, [this] {
        m_lastGrid = m_further;
        BkClick();
    });
    connect(Bv, &QPushButton::clicked, this, &TFstrcard::reject);
}

TFstrcard::~TFstrcard()
{
    disconnect(m_focusConnection); // the grids hand on the focus while they are destroyed
    m_main->setDataSource(nullptr);
    m_further->setDataSource(nullptr);
    Qstr.close();
    Qsvkat.close();
}

int TFstrcard::base() const
{
    return RG->checkedId();
}

void TFstrcard::setBase(int item)
{
    if (QAbstractButton* b = RG->button(item))
        b->setChecked(true);
    RGClick();
}

void TFstrcard::RGClick()
{
    const int item = RG->checkedId();
    const QString filter = item == 0 || item == 1 ? QStringLiteral("Arch=%1").arg(item) : QString();
    Qstr.setFilter(filter);
    Qsvkat.setFilter(filter);
    updateCardButton();
    m_main->setFocus();
    m_lastGrid = m_main;
}

void TFstrcard::setCardOpener(CardOpener opener)
{
    m_openCard = std::move(opener);
    updateCardButton();
}

void TFstrcard::updateCardButton()
{
    // Without the candidate card (start-up gives it) there is nothing for "Карточка" to open.
    Bk->setEnabled(m_openCard &&
                   ((Qstr.isOpen() && !Qstr.isEmpty()) || (Qsvkat.isOpen() && !Qsvkat.isEmpty())));
}

void TFstrcard::prepareFor(const QString& condition)
{
    closeQueries();
    Qstr.sql()[2] = QStringLiteral("where ") + condition;
    Qsvkat.sql()[3] = QStringLiteral("and ") + condition;
    Qstr.open();
    Qsvkat.open();
    updateCardButton();
    m_lastGrid = m_main;
}

void TFstrcard::closeQueries()
{
    Qstr.close();
    Qsvkat.close();
    Bk->setEnabled(false);
}

void TFstrcard::showFor(const QString& condition)
{
    prepareFor(condition);
    m_main->setFocus();
    exec();
    closeQueries();
}

void TFstrcard::BkClick()
{
    kdb::Query* q = nullptr;
    if (m_lastGrid == m_main && Qstr.isOpen() && !Qstr.isEmpty())
        q = &Qstr;
    else if (m_lastGrid == m_further && Qsvkat.isOpen() && !Qsvkat.isEmpty())
        q = &Qsvkat;
    if (!q || !m_openCard)
        return;
    const QVariant keyr = q->value(QStringLiteral("keyr"));
    // The card works on the shared candidates table: it is taken off whatever base the
    // candidate list shows, so that an archived candidate is reached, and given its filter back
    // afterwards whatever happens in the card.
    kdb::Table& reserv = DM->Reserv;
    const QString filter = reserv.filter();
    reserv.setFilter(QString());
    struct Restore {
        kdb::Table& table;
        QString filter;
        ~Restore()
        {
            widgets::guarded([this] { table.setFilter(filter); });
        }
    } restore{reserv, filter};
    if (!reserv.locate(QStringLiteral("Keyr"), {keyr}))
        return; // deleted meanwhile by another workstation
    m_openCard();
}

} // namespace kadrol
