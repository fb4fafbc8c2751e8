#include "naimen.h"

#include "dbgrid.h"
#include "guard.h"
#include "messages.h"
#include "pdm.h"
#include "query.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

namespace kadrol {

TFnaimen* Fnaimen = nullptr;

namespace {

// A table and field that store the keys of a list: a name found there is in use.
struct Usage {
    const char* table;
    const char* field;
};

struct NameList {
    const char* caption;
    kdb::Table TDM::*table;
    widgets::DataSource TDM::*source;
    std::vector<Usage> usages;
};

std::vector<Usage> catalogUsages(const char* field)
{
    // The candidates' main positions, the catalog itself, the candidates' further positions.
    return {{"reserv.db", field}, {"katalog.db", field}, {"svkat.db", field}};
}

// The groups of lists in tab order. Besides the candidates' tables, the requests' conditions
// (ZAYAV.DB) and the clients' requirements (ZAYAVZ.DB) hold keys of several lists: a name they
// use is in use too, or a request would show an empty field while still filtering on it.
const std::vector<std::pair<const char*, std::vector<NameList>>>& groups()
{
    static const std::vector<std::pair<const char*, std::vector<NameList>>> all = {
        {"Каталог",
         {{"Сферы", &TDM::sfera, &TDM::DSsfera, catalogUsages("sfr")},
          {"Группы", &TDM::grp, &TDM::DSgrp, catalogUsages("grp")},
          {"Направления", &TDM::knapr, &TDM::DSknapr, catalogUsages("napr")},
          {"Специальности", &TDM::speclz, &TDM::DSspeclz, catalogUsages("spec")}}},
        {"Образование",
         {{"Тип образования", &TDM::tipedu, &TDM::DStipedu, {{"educres.db", "tipe"}}},
          {"Профиль образов.",
           &TDM::eprof,
           &TDM::DSeprof,
           {{"educres.db", "profl"}, {"zayav.db", "edprofl"}, {"zayavz.db", "edprofl"}}},
          {"Специализация образов.",
           &TDM::ecpecl,
           &TDM::DSespecl,
           {{"educres.db", "specl"}, {"zayav.db", "edspec"}, {"zayavz.db", "edspec"}}}}},
        {"Проф.опыт",
         {{"Область деят-ти",
           &TDM::Oblst,
           &TDM::DSoblst,
           {{"profopt.db", "oblst"}, {"zayav.db", "prfobl"}, {"zayavz.db", "prfobl"}}},
          {"Направление деят-ти",
           &TDM::naprv,
           &TDM::DSnaprv,
           {{"profopt.db", "napr"}, {"zayav.db", "prfnapr"}, {"zayavz.db", "prfnapr"}}}}},
        {"Карточка",
         {{"Район",
           &TDM::region,
           &TDM::DSreg,
           {{"reserv.db", "region"}, {"zayav.db", "regn"}, {"zayavz.db", "regn"}}},
          {"Город", &TDM::town, &TDM::DStown, {{"reserv.db", "townn"}}},
          {"Страна", &TDM::cntry, &TDM::DScntry, {{"reserv.db", "cntry"}}},
          {"Состояние дел", &TDM::sost, &TDM::DSsost, {{"reserv.db", "sost"}}},
          {"Валюта",
           &TDM::Tvalut,
           &TDM::DSQval,
           {{"reserv.db", "valut"}, {"zayav.db", "valut"}, {"zayavz.db", "valut"}}}}},
        {"Прочее",
         {{"Языки",
           &TDM::Lang,
           &TDM::DSlang,
           {{"reclang.db", "lang"}, {"zayav.db", "lang"}, {"zayavz.db", "lang"}}},
          {"Спец.навыки", &TDM::spnav, &TDM::DSspnav, {{"resnavk.db", "nn"}}},
          {"Узнал о вак. от...", &TDM::tinfrm, &TDM::DSinfrm, {{"reserv.db", "infrm"}}}}},
    };
    return all;
}

const NameList& nameList(int group, int list)
{
    return groups().at(static_cast<size_t>(group)).second.at(static_cast<size_t>(list));
}

QString editFirstText()
{
    return QStringLiteral("Сначала сохраните изменения в текущих данных!");
}

} // namespace

TFnaimen::TFnaimen(QWidget* parent) : QDialog(parent), m_usage(new kdb::Query(this))
{
    setWindowTitle(QStringLiteral("Наименования"));
    setObjectName(QStringLiteral("Fnaimen"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);
    m_usage->setDatabaseName(QStringLiteral("kadrol"));

    TM = new QTabBar(this);
    TM->setAccessibleName(QStringLiteral("Группа списков"));
    TM->setExpanding(false);
    for (const QString& caption : groupCaptions())
        TM->addTab(caption);
    DBGrid1 = new widgets::DbGrid(this);
    DBGrid1->setCaption(QStringLiteral("Наименование"));
    DBGrid1->setColumns({{QStringLiteral("Наименование"), QStringLiteral("Name")}});
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    TK = new QTabBar(this);
    TK->setAccessibleName(QStringLiteral("Список"));
    TK->setExpanding(false);
    TK->setShape(QTabBar::RoundedSouth);

    auto button = [this](const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setAccessibleName(caption);
        b->setAutoDefault(false);
        return b;
    };
    Bp = button(QStringLiteral("Сохранить"));
    Bc = button(QStringLiteral("Отмена"));
    Bd = button(QStringLiteral("Удалить"));
    Bv = button(QStringLiteral("Выход"));

    auto* left = new QVBoxLayout;
    left->setSpacing(0);
    left->addWidget(TM);
    left->addWidget(DBGrid1, 1);
    left->addWidget(TK);
    auto* right = new QVBoxLayout;
    for (QPushButton* b : {Bp, Bc, Bd})
        right->addWidget(b);
    right->addStretch(1);
    right->addWidget(Bv);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right);
    setTabOrder(TM, DBGrid1);
    setTabOrder(DBGrid1, TK);
    setTabOrder(TK, Bp);
    setTabOrder(Bp, Bc);
    setTabOrder(Bc, Bd);
    setTabOrder(Bd, Bv);
    resize(700, 480); // wide enough for the list tabs of every group

    connect(TM, &QTabBar::currentChanged, this, &TFnaimen::TMChange);
    connect(TK, &QTabBar::currentChanged, this, &TFnaimen::TKChange);
    widgets::onSignal(Bp, &QPushButton::clicked, this, [this] { BpClick(); });
    widgets::onSignal(Bc, &QPushButton::clicked, this, [this] { BcClick(); });
    widgets::onSignal(Bd, &QPushButton::clicked, this, [this] { BdClick(); });
    connect(Bv, &QPushButton::clicked, this, &QDialog::reject); // also the Escape key

    setGroup(0);
}

TFnaimen::~TFnaimen()
{
    for (const auto& c : m_connections)
        disconnect(c);
    if (Fnaimen == this)
        Fnaimen = nullptr;
}

QStringList TFnaimen::groupCaptions()
{
    QStringList out;
    for (const auto& g : groups())
        out << QString::fromUtf8(g.first);
    return out;
}

QStringList TFnaimen::listCaptions(int group)
{
    QStringList out;
    if (group < 0 || group >= static_cast<int>(groups().size()))
        return out;
    for (const NameList& l : groups().at(static_cast<size_t>(group)).second)
        out << QString::fromUtf8(l.caption);
    return out;
}

int TFnaimen::group() const
{
    return m_group;
}

int TFnaimen::list() const
{
    return m_list;
}

kdb::Table* TFnaimen::shownTable() const
{
    return DM ? &(DM->*nameList(m_group, m_list).table) : nullptr;
}

bool TFnaimen::editing() const
{
    const kdb::Table* t = shownTable();
    return t && t->isEditing();
}

void TFnaimen::showList(int group, int list)
{
    if (group < 0 || group >= TM->count())
        group = 0;
    if (editing()) {
        // The pending edit of the shown list comes first; the editor opens where it is.
        widgets::showMessage(editFirstText(), this);
    } else {
        setGroup(group);
        setList(list >= 0 && list < TK->count() ? list : 0);
    }
    exec();
}

void TFnaimen::showAsLeft()
{
    if (!isVisible())
        bindList();
    show();
    raise();
    activateWindow();
}

// Group and list set by the window: the tabs follow without the user's refusal step.
void TFnaimen::setGroup(int group)
{
    m_switching = true;
    TM->setCurrentIndex(group);
    m_group = group;
    while (TK->count() > 0)
        TK->removeTab(0);
    for (const QString& caption : listCaptions(group))
        TK->addTab(caption);
    TK->setCurrentIndex(0);
    m_switching = false;
    setList(0);
}

void TFnaimen::setList(int list)
{
    m_switching = true;
    TK->setCurrentIndex(list);
    m_switching = false;
    m_list = list;
    bindList();
}

bool TFnaimen::refuseTabChange(QTabBar* bar, int& shown, int index)
{
    if (m_switching || index == shown)
        return false;
    if (!editing())
        return false;
    // The tab bar has moved already: put it back, then say why.
    m_switching = true;
    bar->setCurrentIndex(shown);
    m_switching = false;
    widgets::showMessage(editFirstText(), this);
    return true;
}

void TFnaimen::TMChange(int index)
{
    if (m_switching || index < 0)
        return;
    if (refuseTabChange(TM, m_group, index))
        return;
    widgets::guarded([this, index] { setGroup(index); }, this);
}

void TFnaimen::TKChange(int index)
{
    if (m_switching || index < 0)
        return;
    if (refuseTabChange(TK, m_list, index))
        return;
    widgets::guarded([this, index] { setList(index); }, this);
}

// Shows the chosen list in the grid, binds the data buttons to it and re-reads the table, so
// that names added at other workstations show.
void TFnaimen::bindList()
{
    for (const auto& c : m_connections)
        disconnect(c);
    m_connections.clear();
    if (!DM)
        return;
    m_source = &(DM->*nameList(m_group, m_list).source);
    DBGrid1->setDataSource(m_source);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    for (auto signal : {&widgets::DataSource::stateChanged, &widgets::DataSource::layoutChanged,
                        &widgets::DataSource::recordChanged})
        m_connections << connect(m_source, signal, this, &TFnaimen::updateButtons);
    kdb::Table* t = shownTable();
    if (t->isOpen())
        t->refresh();
    else
        t->open();
    updateButtons();
}

void TFnaimen::updateButtons()
{
    const kdb::Table* t = shownTable();
    const bool open = t && t->isOpen();
    const bool edits = open && t->isEditing();
    Bp->setEnabled(edits);
    Bc->setEnabled(edits);
    Bd->setEnabled(open && !edits && !t->isEmpty() && t->canModify());
}

void TFnaimen::BpClick()
{
    DBGrid1->commitEdit();
    if (kdb::Table* t = shownTable())
        t->post();
}

void TFnaimen::BcClick()
{
    DBGrid1->discardEdit();
    if (kdb::Table* t = shownTable())
        t->cancel();
}

void TFnaimen::BdClick()
{
    kdb::Table* t = shownTable();
    if (!t || !t->isOpen() || t->isEmpty() || t->isEditing())
        return;
    if (!widgets::confirm(QStringLiteral("Удалить данное наименование ?"), this))
        return;
    if (nameInUse(m_group, m_list, t->fieldByName(QStringLiteral("Keyn")).value().toLongLong())) {
        widgets::showMessage(
            QStringLiteral("Удаление невозможно! Данное наименование используется."), this);
        return;
    }
    t->remove();
}

bool TFnaimen::nameInUse(int group, int list, qint64 key)
{
    for (const Usage& u : nameList(group, list).usages) {
        // The least such key rather than the rows or their count: the store finds it in the
        // field's index at once, however many candidates use the name.
        m_usage->close();
        m_usage->setSql(QStringLiteral("select min(%1) as n from \"%2\" where %1=:k")
                            .arg(QString::fromLatin1(u.field), QString::fromLatin1(u.table)));
        m_usage->setParam(QStringLiteral("k"), key);
        m_usage->open();
        const bool used = !m_usage->field(0).value().isNull();
        m_usage->close();
        if (used)
            return true;
    }
    return false;
}

// Settles an edit still pending when the window goes: a changed row is stored or dropped as
// the user answers, an untouched one is dropped. False when storing failed (the window stays).
bool TFnaimen::settlePendingEdit()
{
    kdb::Table* t = shownTable();
    if (!t || !t->isEditing())
        return true;
    DBGrid1->commitEdit();
    if (!t->isEditing())
        return true;
    if (t->modified() && widgets::confirm(QStringLiteral("Сохранить изменения?"), this)) {
        // A refused post keeps the row in edit and the window open; a blank new row is
        // dropped by the data module, and the window may go.
        widgets::guarded([t] { t->post(); }, this);
        return !t->isEditing();
    }
    t->cancel();
    return true;
}

void TFnaimen::done(int result)
{
    if (!settlePendingEdit())
        return;
    QDialog::done(result);
}

} // namespace kadrol
