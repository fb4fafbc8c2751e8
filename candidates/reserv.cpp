#include "reserv.h"

#include "buttons.h"
#include "datacontrol.h"
#include "dbedit.h"
#include "dbgrid.h"
#include "dblookupcombo.h"
#include "error.h"
#include "guard.h"
#include "list.h"
#include "messages.h"
#include "naimen.h"
#include "pdm.h"
#include "ptn2.h"
#include "query.h"

#include <QDate>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace kadrol {

TFres* Fres = nullptr;

namespace {

// The six detail datasets whose rows are typed into the card's grids.
std::vector<kdb::Dataset*> typedDetails()
{
    return {&DM->sobsd, &DM->recom, &DM->reclang, &DM->recnvk, &DM->prfopt, &DM->eductn};
}

// The seven detail datasets in the order the card opens them.
std::vector<kdb::Dataset*> allDetails()
{
    return {&DM->sobsd, &DM->recnvk, &DM->recom, &DM->reclang,
            &DM->svkat, &DM->prfopt, &DM->eductn};
}

bool isInserting()
{
    return DM->Reserv.state() == kdb::Dataset::State::Insert;
}

} // namespace

TFres::TFres(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Fres"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMaximizeButtonHint);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(buildButtonPanel());
    layout->addWidget(buildHeader());

    m_pages = new QTabWidget(this);
    m_pages->setAccessibleName(QStringLiteral("Страницы карточки"));
    m_pages->addTab(buildPage1(), QStringLiteral("стр.1"));
    m_pages->addTab(buildPage2(), QStringLiteral("стр.2"));
    m_pages->addTab(buildPage3(), QStringLiteral("стр.3"));
    m_pages->addTab(buildPage4(), QStringLiteral("стр.4"));
    m_pages->addTab(buildPage5(), QStringLiteral("стр.5"));
    m_pages->addTab(buildPage6(), QStringLiteral("стр.6"));
    m_pages->addTab(buildPage7(), QStringLiteral("стр.7"));
    m_pages->addTab(buildPage8(), QStringLiteral("стр.8"));
    m_pages->addTab(buildPage9(), QStringLiteral("стр.9"));
    layout->addWidget(m_pages, 1);

    // The computed displays follow the record whatever changed it.
    connect(&DM->DSReserv, &widgets::DataSource::fieldChanged, this, [this]() {
        if (isVisible())
            refreshComputed();
    });
    Butt(false);
    resize(980, 700);
}

TFres::~TFres()
{
    if (Fres == this)
        Fres = nullptr;
}

QPushButton* TFres::makeButton(const QString& caption, const QString& hint)
{
    return widgets::panelButton(this, caption, hint);
}

QToolButton* TFres::makeToolButton(const QString& glyph, const QString& hint)
{
    auto* b = new QToolButton(this);
    b->setText(glyph);
    b->setToolTip(hint);
    b->setAccessibleName(hint);
    return b;
}

QWidget* TFres::buildButtonPanel()
{
    auto* panel = new QWidget(this);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    Bp = makeButton(QStringLiteral("Сохранить"), QStringLiteral("Сохранить"));
    Bc = makeButton(QStringLiteral("Отмена"), QStringLiteral("Отмена"));
    Be = makeButton(QStringLiteral("Редактировать"));
    Bblack = makeButton(QStringLiteral("В черн.список"));
    Barch = makeButton(QStringLiteral("В архив"));
    Bexit = makeButton(QStringLiteral("Выход"));
    for (QPushButton* b : {Bp, Bc, Be, Bblack, Barch})
        row->addWidget(b);
    row->addStretch(1);
    row->addWidget(Bexit);
    Bp->setEnabled(false);
    Bc->setEnabled(false);
    widgets::onSignal(Bp, &QPushButton::clicked, this, [this]() { BpClick(); });
    widgets::onSignal(Bc, &QPushButton::clicked, this, [this]() { BcClick(); });
    widgets::onSignal(Be, &QPushButton::clicked, this, [this]() { BeClick(); });
    widgets::onSignal(Bblack, &QPushButton::clicked, this, [this]() { transferToBlacklist(); });
    widgets::onSignal(Barch, &QPushButton::clicked, this, [this]() { transferBase(); });
    connect(Bexit, &QPushButton::clicked, this, &TFres::reject);
    return panel;
}

QWidget* TFres::buildHeader()
{
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(6, 4, 6, 4);
    Bprint = makeToolButton(QStringLiteral("Печать"), QStringLiteral("Печать"));
    Bprint->setEnabled(false); // until the card printout exists
    widgets::onSignal(Bprint, &QToolButton::clicked, this, [this]() {
        if (m_print)
            m_print();
    });
    row->addWidget(Bprint);
    row->addSpacing(12);

    auto* tn2Label = new QLabel(QStringLiteral("Рег №"), panel);
    auto* tn2 = bound(new widgets::DbEdit(&DM->DSReserv, QStringLiteral("Tn2"), panel),
                      QStringLiteral("Рег №"));
    tn2->setMaximumWidth(tn2->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 11);
    tn2Label->setBuddy(tn2);
    Btn2 =
        makeToolButton(QStringLiteral("…"), QStringLiteral("Посмотреть список заведенных номеров"));
    widgets::onSignal(Btn2, &QToolButton::clicked, this, [this]() { showRegistrationNumbers(); });
    row->addWidget(tn2Label);
    row->addWidget(tn2);
    row->addWidget(Btn2);
    row->addSpacing(12);

    auto* sostLabel = new QLabel(QStringLiteral("Состояние дел"), panel);
    auto* sost = new widgets::DbLookupCombo(panel);
    sost->setList(&DM->sost, QStringLiteral("Keyn"), QStringLiteral("Name"));
    sost->bind(&DM->DSReserv, QStringLiteral("Sost"));
    bound(sost, QStringLiteral("Состояние дел"));
    sost->setMinimumWidth(180);
    sostLabel->setBuddy(sost);
    Bsost = makeToolButton(QStringLiteral("…"), QStringLiteral("Список «Состояние дел»"));
    Bsost->setProperty("nameList", true);
    widgets::onSignal(Bsost, &QToolButton::clicked, this, [this]() { openNameList(3, 3); });
    row->addWidget(sostLabel);
    row->addWidget(sost, 1);
    row->addWidget(Bsost);
    row->addSpacing(12);

    auto* modeBox = new QFrame(panel);
    modeBox->setFrameShape(QFrame::Box);
    auto* modeLayout = new QVBoxLayout(modeBox);
    modeLayout->setContentsMargins(8, 2, 8, 2);
    auto* modeCaption = new QLabel(QStringLiteral("Режим"), modeBox);
    modeCaption->setAlignment(Qt::AlignCenter);
    m_mode = new QLabel(modeBox);
    m_mode->setAlignment(Qt::AlignCenter);
    QFont bold = m_mode->font();
    bold.setBold(true);
    m_mode->setFont(bold);
    m_mode->setMinimumWidth(
        m_mode->fontMetrics().horizontalAdvance(QStringLiteral("Редактирование")) + 8);
    m_mode->setAccessibleName(QStringLiteral("Режим"));
    modeLayout->addWidget(modeCaption);
    modeLayout->addWidget(m_mode);
    row->addWidget(modeBox);
    return panel;
}

// --- modes --------------------------------------------------------------------------------------

void TFres::Butt(bool editable)
{
    for (widgets::DataControl* c : m_controls)
        c->setReadOnly(!editable);
    for (widgets::DbGrid* g : m_editGrids)
        g->setReadOnly(!editable);
    Bp->setEnabled(editable);
    Bc->setEnabled(editable);
    Be->setEnabled(!editable);
    Bblack->setEnabled(!editable);
    Barch->setEnabled(!editable);
    m_mode->setText(editable ? QStringLiteral("Редактирование") : QStringLiteral("Просмотр"));
}

bool TFres::editMode() const
{
    return Bp->isEnabled();
}

void TFres::setModeLabel(const QString& text)
{
    m_mode->setText(text);
}

QString TFres::modeLabel() const
{
    return m_mode->text();
}

void TFres::setPage(int index)
{
    m_pages->setCurrentIndex(index);
}

int TFres::page() const
{
    return m_pages->currentIndex();
}

void TFres::setPrintHandler(std::function<void()> handler)
{
    m_print = std::move(handler);
    Bprint->setEnabled(m_print != nullptr);
}

// --- showing ------------------------------------------------------------------------------------

void TFres::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    m_closing = false;
    widgets::guarded([this]() { FormShow(); }, this);
}

void TFres::FormShow()
{
    kdb::Table& reserv = DM->Reserv;
    // A card shown for an existing candidate that nobody put into edit state is in view mode.
    if (reserv.state() == kdb::Dataset::State::Browse) {
        Butt(false);
        m_mode->setText(QStringLiteral("Просмотр"));
    }
    m_pages->setCurrentIndex(0);
    updateCaption();
    m_convert->setCurrentIndex(std::max(0, m_convert->findData(2)));
    Barch->setText(reserv.fieldByName(QStringLiteral("Arch")).asInt() != 0
                       ? QStringLiteral("В действующие")
                       : QStringLiteral("В архив"));
    refreshComputed();
    applyEnablingRules();
    showCv();
    showPhoto();
    fillCatalogNames();
    pointDetails(isInserting());
    for (kdb::Dataset* ds : allDetails())
        if (!ds->isOpen())
            ds->open();
    if (QScreen* s = screen()) {
        // At 1024x768 the card fills the screen's working area; larger screens keep its size.
        const QRect area = s->availableGeometry();
        if (width() > area.width() || height() > area.height())
            resize(std::min(width(), area.width()), std::min(height(), area.height() - 30));
        move(area.center() - rect().center());
    }
}

void TFres::updateCaption()
{
    kdb::Table& r = DM->Reserv;
    setWindowTitle(r.fieldByName(QStringLiteral("NameF")).asString() + QLatin1Char(' ') +
                   r.fieldByName(QStringLiteral("NameI")).asString() + QLatin1Char(' ') +
                   r.fieldByName(QStringLiteral("NameO")).asString());
}

void TFres::pointDetails(bool newCandidate)
{
    // A new candidate has no key yet: only rows without a link pass, so no lists show.
    if (newCandidate) {
        DM->sobsd.setFilter(QStringLiteral("nn=Null"));
        for (kdb::Dataset* ds : {&DM->recom, &DM->reclang, &DM->recnvk})
            ds->setFilter(QStringLiteral("TabNo=Null"));
        for (kdb::Dataset* ds : {&DM->svkat, &DM->prfopt, &DM->eductn})
            ds->setFilter(QStringLiteral("TabNo=null"));
        return;
    }
    const QString key = DM->Reserv.fieldByName(QStringLiteral("Keyr")).asString();
    DM->sobsd.setFilter(QStringLiteral("nn=") + key);
    for (kdb::Dataset* ds :
         {&DM->recom, &DM->reclang, &DM->recnvk, &DM->svkat, &DM->prfopt, &DM->eductn})
        ds->setFilter(QStringLiteral("TabNo=") + key);
}

// --- edit, save, cancel, close ------------------------------------------------------------------

void TFres::BeClick()
{
    DM->Reserv.edit();
    Butt(true);
}

bool TFres::BpClick()
{
    bool saved = false;
    widgets::guarded([&]() { saved = save(); }, this);
    return saved;
}

bool TFres::save()
{
    kdb::Table& reserv = DM->Reserv;
    // What is still open in a box or a grid cell goes into its field first; a text the field
    // does not take (a date half typed, letters in a number) is refused with its message here,
    // and the field keeps its value.
    if (auto* box = qobject_cast<QLineEdit*>(focusWidget()))
        Q_EMIT box->editingFinished();
    m_pages->setFocus();
    for (widgets::DbGrid* g : m_editGrids)
        g->commitEdit();
    if (!reserv.isEditing()) {
        Butt(false);
        return true;
    }
    if (reserv.fieldByName(QStringLiteral("NameF")).asString().trimmed().isEmpty()) {
        widgets::showMessage(QStringLiteral("Нет фамилии кандидата!"), this);
        return false;
    }
    if (reserv.fieldByName(QStringLiteral("Sfr")).asInt() == 0) {
        widgets::showMessage(QStringLiteral("Кандидат не внесен в каталог!"), this);
        return false;
    }
    if (isInserting()) {
        const QLocale locale;
        const QString f = locale.toUpper(reserv.fieldByName(QStringLiteral("NameF")).asString());
        const QString i = locale.toUpper(reserv.fieldByName(QStringLiteral("NameI")).asString());
        const QString o = locale.toUpper(reserv.fieldByName(QStringLiteral("NameO")).asString());
        if (sameNameExists(f, i, o) &&
            widgets::confirm(
                QStringLiteral("Кандидат с такими Ф.И.О. уже есть в базе. Отменить занесение?"),
                this)) {
            reserv.cancel();
            Butt(false);
            closeCard();
            return true;
        }
        reserv.post();
        if (reserv.fieldByName(QStringLiteral("Tn2")).asString().isEmpty()) {
            reserv.edit();
            reserv.fieldByName(QStringLiteral("Tn2"))
                .setValue(reserv.fieldByName(QStringLiteral("Keyr")).asString());
            reserv.post();
        }
        pointDetails(false);
    } else {
        reserv.post();
    }
    for (kdb::Dataset* ds : typedDetails())
        if (ds->isEditing())
            ds->post();
    Butt(false);
    refreshSalary();
    updateCaption();
    DM->Dtb.flush();
    return true;
}

bool TFres::sameNameExists(const QString& f, const QString& i, const QString& o)
{
    // The name parts reach the store as bound values, never as query text, so a quote in a
    // name (Д'Артаньян, O'Neil) is a letter like any other. An empty part matches a candidate
    // without it, stored empty or never typed. The store keeps an index on the upper-cased parts.
    auto part = [](const char* field, const char* param, const QString& value) {
        const QString name = QString::fromLatin1(field);
        if (value.isEmpty())
            return QStringLiteral("((%1 is null) or (%1=''))").arg(name);
        return QStringLiteral("(Upper(%1)=:%2)").arg(name, QString::fromLatin1(param));
    };
    kdb::Query Qfio;
    Qfio.setDatabaseName(QStringLiteral("kadrol"));
    Qfio.setSql({QStringLiteral("select count(keyr) as sm from \"reserv.db\""),
                 QStringLiteral("where ") + part("namef", "f", f) + QStringLiteral(" and ") +
                     part("namei", "i", i) + QStringLiteral(" and ") + part("nameo", "o", o)});
    const std::pair<const char*, const QString*> values[] = {{"f", &f}, {"i", &i}, {"o", &o}};
    for (const auto& [param, value] : values)
        if (!value->isEmpty())
            Qfio.setParam(QString::fromLatin1(param), *value);
    Qfio.open();
    const int count = Qfio.fieldByName(QStringLiteral("sm")).asInt();
    Qfio.close();
    return count > 0;
}

void TFres::BcClick()
{
    const bool adding = isInserting();
    widgets::guarded([this]() { cancel(); }, this);
    if (adding)
        closeCard();
}

void TFres::cancel()
{
    for (kdb::Dataset* ds : typedDetails())
        if (ds->isEditing())
            ds->cancel();
    if (DM->Reserv.isEditing())
        DM->Reserv.cancel();
    Butt(false);
    updateCaption();
    refreshComputed();
    applyEnablingRules();
    fillCatalogNames();
    showCv();
    showPhoto();
}

void TFres::reject()
{
    if (m_closing)
        return;
    if (editMode()) {
        if (widgets::confirm(QStringLiteral("Сохранить изменения?"), this)) {
            // A save stopped by a rule keeps the card open in edit mode over the record.
            if (!BpClick())
                return;
        } else {
            widgets::guarded([this]() { cancel(); }, this);
        }
    }
    closeCard();
}

void TFres::closeCard()
{
    if (m_closing)
        return;
    m_closing = true;
    for (kdb::Dataset* ds : allDetails())
        ds->close();
    emptyPhoto();
    QDialog::reject();
}

// --- transfers ----------------------------------------------------------------------------------

void TFres::transferBase()
{
    kdb::Table& reserv = DM->Reserv;
    if (!reserv.isOpen() || reserv.isEmpty())
        return;
    const bool archived = reserv.fieldByName(QStringLiteral("Arch")).asInt() != 0;
    if (!widgets::confirm(
            QStringLiteral("Передать карточку данного кандидата") +
                (archived ? QStringLiteral(" в действующие") : QStringLiteral(" в архив")) +
                QStringLiteral(" ?"),
            this))
        return;
    if (reserv.state() == kdb::Dataset::State::Browse)
        reserv.edit();
    reserv.fieldByName(QStringLiteral("Arch")).setValue(archived ? 0 : 1);
    reserv.post();
    DM->Dtb.flush();
    if (isVisible())
        closeCard();
    // The candidate has left the base the list shows: it goes from the grid at once.
    if (Flist)
        Flist->refresh();
}

void TFres::transferToBlacklist()
{
    kdb::Table& reserv = DM->Reserv;
    if (!reserv.isOpen() || reserv.isEmpty())
        return;
    if (!widgets::confirm(QStringLiteral("Передать карточку данного кандидата в Черный список?"),
                          this))
        return;
    auto value = [&reserv](const char* field) {
        return reserv.fieldByName(QString::fromLatin1(field)).value();
    };
    const QVariant paspn = value("PaspN");
    if (!DM->black.isOpen())
        DM->black.open();
    DM->black.insertRecord({QVariant(), value("NameF"), value("NameI"), value("NameO"),
                            value("DatBd"), QDate::currentDate(), value("PaspS"),
                            paspn.isNull() ? QVariant() : QVariant(paspn.toString()),
                            value("PaspV"), value("PaspD"), value("MF"), value("Adr"), value("Tel"),
                            value("AdrP"), value("TelP"), 1, QString()});
    if (Flist)
        Flist->deleteCandidate(true);
}

// --- header buttons -----------------------------------------------------------------------------

void TFres::openNameList(int group, int list)
{
    if (Fnaimen)
        Fnaimen->showList(group, list);
}

void TFres::showRegistrationNumbers()
{
    TFtn2 list(this);
    list.exec();
}

} // namespace kadrol
