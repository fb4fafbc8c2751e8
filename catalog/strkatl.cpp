#include "strkatl.h"

#include "adstr.h"
#include "guard.h"
#include "messages.h"
#include "naimen.h"
#include "pdm.h"
#include "query.h"
#include "strkatlicons.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <array>
#include <map>
#include <vector>

namespace kadrol {

TFedkatl* Fedkatl = nullptr;

namespace {

constexpr int KindRole = Qt::UserRole;
constexpr int KeyRole = Qt::UserRole + 1;

// The four queries of the tree, as the catalog is read: each level's catalog rows joined to
// its name list (a row whose name is missing is not shown), grouped, in Russian name order.
const QStringList kSpheres = {
    QStringLiteral("select k.sfr, n.name"), QStringLiteral(" from katalog.db k, sfera.db n"),
    QStringLiteral("where (k.sfr=n.keyn)"), QStringLiteral("group by k.sfr, n.name"),
    QStringLiteral("order by n.name")};
const QStringList kGroups = {
    QStringLiteral("select k.sfr, k.grp, n.name"), QStringLiteral(" from katalog.db k, grp.db n"),
    QStringLiteral("where (k.grp=n.keyn)"), QStringLiteral("group by k.sfr, k.grp, n.name"),
    QStringLiteral("order by k.sfr, n.name")};
const QStringList kDirections = {QStringLiteral("select k.sfr, k.grp,k.napr, n.name"),
                                 QStringLiteral(" from katalog.db k, knapr.db n"),
                                 QStringLiteral("where (k.napr=n.keyn)"),
                                 QStringLiteral("group by k.sfr, k.grp, k.napr, n.name"),
                                 QStringLiteral("order by k.sfr, k.grp, n.name")};
const QStringList kSpecialities = {QStringLiteral("select k.sfr, k.grp,k.napr, k.spec, n.name"),
                                   QStringLiteral(" from katalog.db k, speclz.db n"),
                                   QStringLiteral("where (k.spec=n.keyn)"),
                                   QStringLiteral("group by k.sfr, k.grp, k.napr,k.spec,  n.name"),
                                   QStringLiteral("order by k.sfr, k.grp, k.napr, n.name")};

const QString kPathCondition =
    QStringLiteral("where (sfr=:n1) and (grp=:n2) and (napr=:n3) and (spec=:n4)");

struct NamedKey {
    int key;
    QString name;
};
using Parent = std::array<int, 3>; // the keys of the path above a node, 0 where none

// The rows of one tree query in its order, each under the path of its parent: the columns
// before the last key column make the parent, the last key column is the node's key.
std::map<Parent, std::vector<NamedKey>> readLevel(const QStringList& sql, int keyColumns)
{
    kdb::Query q;
    q.setDatabaseName(QStringLiteral("kadrol"));
    q.setSql(sql);
    q.open();
    std::map<Parent, std::vector<NamedKey>> out;
    std::vector<kdb::Field*> keys;
    for (int i = 0; i < keyColumns; ++i)
        keys.push_back(&q.field(i));
    kdb::Field& name = q.fieldByName(QStringLiteral("name"));
    for (q.first(); !q.eof(); q.next()) {
        Parent parent{0, 0, 0};
        for (int i = 0; i + 1 < keyColumns; ++i)
            parent[static_cast<size_t>(i)] = keys[static_cast<size_t>(i)]->asInt();
        out[parent].push_back({keys.back()->asInt(), name.asString()});
    }
    q.close();
    return out;
}

int levelOfKind(int kind)
{
    switch (kind) {
    case TFedkatl::Root:
    case TFedkatl::Sphere:
        return 1;
    case TFedkatl::Group:
        return 2;
    case TFedkatl::Direction:
        return 3;
    default:
        return 4;
    }
}

} // namespace

TFedkatl::TFedkatl(QWidget* parent) : QDialog(parent), m_query(new kdb::Query(this))
{
    setWindowTitle(QStringLiteral("Структура каталога"));
    setObjectName(QStringLiteral("Fedkatl"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);
    m_query->setDatabaseName(QStringLiteral("kadrol"));
    for (int level = 1; level <= 4; ++level)
        m_icons[level - 1] = catalogIcon(level);

    Str = new QTreeWidget(this);
    Str->setAccessibleName(QStringLiteral("Структура каталога"));
    Str->setHeaderHidden(true);
    Str->setColumnCount(1);
    Str->setUniformRowHeights(true);
    Str->header()->setStretchLastSection(true); // the selection spans the whole row

    auto button = [this](const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setAccessibleName(caption);
        b->setAutoDefault(false);
        return b;
    };
    Bref = button(QStringLiteral("Обновить"));
    Bvib = button(QStringLiteral("Выбрать"));
    Bname = button(QStringLiteral("Названия"));
    Badd = button(QStringLiteral("Добавить"));
    Bdel = button(QStringLiteral("Удалить"));
    Bcan = button(QStringLiteral("Кандидаты"));
    Bexit = button(QStringLiteral("Выход"));
    Bvib->hide();
    Bdel->setEnabled(false);
    Bcan->setEnabled(false);

    auto* panel = new QVBoxLayout;
    for (QPushButton* b : {Bref, Bvib, Bname, Badd, Bdel, Bcan})
        panel->addWidget(b);
    panel->addStretch(1);
    panel->addWidget(Bexit);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Str, 1);
    layout->addLayout(panel);
    QWidget* previous = Str;
    for (QPushButton* b : {Bref, Bvib, Bname, Badd, Bdel, Bcan, Bexit}) {
        setTabOrder(previous, b);
        previous = b;
    }
    resize(600, 560);

    connect(Str, &QTreeWidget::currentItemChanged, this, [this] { applySelectionRule(); });
    // A double click on a speciality chooses it, as "Выбрать" does.
    connect(Str, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (!Bvib->isHidden() && Bvib->isEnabled() && item == Str->currentItem())
            BvibClick();
    });
    widgets::onSignal(Bref, &QPushButton::clicked, this, [this] { BrefClick(); });
    widgets::onSignal(Bvib, &QPushButton::clicked, this, [this] { BvibClick(); });
    widgets::onSignal(Bname, &QPushButton::clicked, this, [this] { BnameClick(); });
    widgets::onSignal(Badd, &QPushButton::clicked, this, [this] { BaddClick(); });
    widgets::onSignal(Bdel, &QPushButton::clicked, this, [this] { BdelClick(); });
    widgets::onSignal(Bcan, &QPushButton::clicked, this, [this] { BcanClick(); });
    connect(Bexit, &QPushButton::clicked, this, &QDialog::reject);

    buildTree();
}

TFedkatl::~TFedkatl()
{
    if (Fedkatl == this)
        Fedkatl = nullptr;
}

int TFedkatl::kindOf(const QTreeWidgetItem* node)
{
    return node ? node->data(0, KindRole).toInt() : Root;
}

int TFedkatl::keyOf(const QTreeWidgetItem* node)
{
    return node ? node->data(0, KeyRole).toInt() : 0;
}

CatalogPosition TFedkatl::pathOf(const QTreeWidgetItem* node)
{
    CatalogPosition p;
    for (; node; node = node->parent()) {
        const int key = keyOf(node);
        switch (kindOf(node)) {
        case Sphere:
            p.sfr = key;
            break;
        case Group:
            p.grp = key;
            break;
        case Direction:
            p.napr = key;
            break;
        case Speciality:
            p.spec = key;
            break;
        default:
            break;
        }
    }
    return p;
}

QString TFedkatl::candidateCondition(int kind, const CatalogPosition& p)
{
    const QString group = QStringLiteral("(s.sfr=%1) and (s.grp=%2)").arg(p.sfr).arg(p.grp);
    if (kind == Direction)
        return group + QStringLiteral(" and (s.napr=%1)").arg(p.napr);
    if (kind == Speciality)
        return group + QStringLiteral(" and (s.napr=%1) and (s.spec=%2)").arg(p.napr).arg(p.spec);
    return {};
}

QTreeWidgetItem* TFedkatl::addNode(QTreeWidgetItem* parent, const QString& text, int kind, int key)
{
    auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(Str);
    node->setText(0, text);
    node->setData(0, KindRole, kind);
    node->setData(0, KeyRole, key);
    node->setIcon(0, m_icons[levelOfKind(kind) - 1]);
    return node;
}

void TFedkatl::buildTree()
{
    Str->clear();
    m_result = {};
    QTreeWidgetItem* root = addNode(nullptr, QStringLiteral("Каталог"), Root, 0);
    if (DM) {
        // Each query is read once and its rows put under their parents: the same tree as
        // narrowing each query by a filter per node, without a query per node.
        const auto spheres = readLevel(kSpheres, 1);
        const auto groups = readLevel(kGroups, 2);
        const auto directions = readLevel(kDirections, 3);
        const auto specialities = readLevel(kSpecialities, 4);
        auto childrenOf = [](const std::map<Parent, std::vector<NamedKey>>& level,
                             const Parent& parent) -> const std::vector<NamedKey>& {
            static const std::vector<NamedKey> none;
            const auto it = level.find(parent);
            return it == level.end() ? none : it->second;
        };
        for (const NamedKey& s : childrenOf(spheres, {0, 0, 0})) {
            QTreeWidgetItem* sphere = addNode(root, s.name, Sphere, s.key);
            for (const NamedKey& g : childrenOf(groups, {s.key, 0, 0})) {
                QTreeWidgetItem* group = addNode(sphere, g.name, Group, g.key);
                // The directions first, then the specialities filed directly in the group.
                for (const NamedKey& n : childrenOf(directions, {s.key, g.key, 0})) {
                    QTreeWidgetItem* direction = addNode(group, n.name, Direction, n.key);
                    for (const NamedKey& p : childrenOf(specialities, {s.key, g.key, n.key}))
                        addNode(direction, p.name, Speciality, p.key);
                }
                for (const NamedKey& p : childrenOf(specialities, {s.key, g.key, 0}))
                    addNode(group, p.name, Speciality, p.key);
            }
            sphere->setExpanded(true);
        }
    }
    root->setExpanded(true);
    Str->setCurrentItem(root);
    applySelectionRule();
}

void TFedkatl::applySelectionRule()
{
    const QTreeWidgetItem* node = Str->currentItem();
    const int kind = kindOf(node);
    Badd->setEnabled(node && kind != Speciality);
    Bdel->setEnabled(node && kind != Root && node->childCount() == 0);
    if (!Bvib->isHidden())
        Bvib->setEnabled(kind == Speciality);
    else
        Bcan->setEnabled((kind == Direction || kind == Speciality) && m_candidates);
}

void TFedkatl::prepare(Mode mode)
{
    m_mode = mode;
    switch (mode) {
    case Mode::Browse:
        Bvib->setEnabled(false);
        Bvib->hide();
        Bcan->setEnabled(true);
        Bcan->show();
        for (QPushButton* b : {Bname, Badd, Bdel})
            b->show();
        break;
    case Mode::ChooseEditing:
        Bvib->show();
        Bcan->setEnabled(false);
        Bcan->hide();
        for (QPushButton* b : {Bname, Badd, Bdel})
            b->show();
        break;
    case Mode::Choose:
        for (QPushButton* b : {Bname, Badd, Bdel, Bcan})
            b->hide();
        Bvib->show();
        break;
    }
    applySelectionRule();
}

CatalogPosition TFedkatl::result() const
{
    return m_result;
}

void TFedkatl::setCandidatesHandler(std::function<void(const QString& condition)> handler)
{
    m_candidates = std::move(handler);
    applySelectionRule();
}

void TFedkatl::done(int result)
{
    QDialog::done(result);
    // What the chooser hid comes back, so that the next caller finds the usual window.
    if (m_mode == Mode::Choose)
        prepare(Mode::Browse);
}

void TFedkatl::BrefClick()
{
    buildTree();
}

void TFedkatl::BvibClick()
{
    const QTreeWidgetItem* node = Str->currentItem();
    if (kindOf(node) != Speciality)
        return;
    m_result = pathOf(node);
    accept();
}

void TFedkatl::BnameClick()
{
    if (Fnaimen)
        Fnaimen->showList(0, 0);
}

bool TFedkatl::nodeExists(const QTreeWidgetItem* parent, int key, bool speciality)
{
    // A node is in the catalog when any catalog row carries its path, whatever lies below it:
    // a sphere, group or direction shows in the tree through the rows of its descendants too.
    const CatalogPosition p = pathOf(parent);
    QStringList where;
    QList<std::pair<QString, int>> params;
    auto condition = [&](const char* field, int value) {
        const QString name = QString::fromLatin1(field);
        where << QStringLiteral("(%1=:%1)").arg(name);
        params.append({name, value});
    };
    switch (kindOf(parent)) {
    case Root:
        condition("sfr", key);
        break;
    case Sphere:
        condition("sfr", p.sfr);
        condition("grp", key);
        break;
    case Group:
        condition("sfr", p.sfr);
        condition("grp", p.grp);
        // A speciality filed directly in the group counts also where it sits in a direction.
        condition(speciality ? "spec" : "napr", key);
        break;
    case Direction:
        condition("sfr", p.sfr);
        condition("grp", p.grp);
        condition("napr", p.napr);
        condition("spec", key);
        break;
    default:
        return false;
    }
    m_query->close();
    m_query->setSql({QStringLiteral("select min(sfr) as n from \"katalog.db\""),
                     QStringLiteral("where ") + where.join(QStringLiteral(" and "))});
    m_query->clearParams();
    for (const auto& [name, value] : params)
        m_query->setParam(name, value);
    m_query->open();
    const bool found = !m_query->field(0).value().isNull();
    m_query->close();
    return found;
}

void TFedkatl::BaddClick()
{
    QTreeWidgetItem* node = Str->currentItem();
    if (!node || !Fadstr || !DM)
        return;
    const int kind = kindOf(node);
    switch (kind) {
    case Root:
        Fadstr->prepare(QStringLiteral("Сфера"), &DM->sfera);
        break;
    case Sphere:
        Fadstr->prepare(QStringLiteral("Группа"), &DM->grp);
        break;
    case Group:
        Fadstr->prepareGroupLevel(&DM->knapr, &DM->speclz);
        break;
    case Direction:
        Fadstr->prepare(QStringLiteral("Специальность"), &DM->speclz);
        break;
    default:
        return; // a speciality holds nothing
    }
    Fadstr->duplicateTest = [this, node](int key, bool speciality) {
        return nodeExists(node, key, speciality);
    };
    const bool chosen = Fadstr->exec() == QDialog::Accepted;
    const int key = Fadstr->chosenKey();
    const QString text = Fadstr->chosenText();
    const bool speciality = Fadstr->specialityChosen();
    Fadstr->duplicateTest = nullptr;
    Fadstr->restore();
    if (chosen && key != 0)
        addChild(node, key, speciality, text); // the selection stays where it is
}

QTreeWidgetItem* TFedkatl::addChild(QTreeWidgetItem* parent, int key, bool speciality,
                                    const QString& text)
{
    const int kind = kindOf(parent);
    CatalogPosition row = pathOf(parent);
    int newKind = Sphere;
    switch (kind) {
    case Root:
        row.sfr = key;
        break;
    case Sphere:
        row.grp = key;
        newKind = Group;
        break;
    case Group:
        newKind = speciality ? Speciality : Direction;
        (speciality ? row.spec : row.napr) = key;
        break;
    case Direction:
        row.spec = key;
        newKind = Speciality;
        break;
    default:
        return nullptr; // a speciality holds nothing
    }
    // Through the shared catalog table, so that it knows the new row at once; the row key is
    // left to the table.
    kdb::Table& katalog = DM->Tkatalog;
    if (!katalog.isOpen())
        katalog.open();
    katalog.append();
    try {
        katalog.fieldByName(QStringLiteral("Sfr")).setValue(row.sfr);
        katalog.fieldByName(QStringLiteral("Grp")).setValue(row.grp);
        katalog.fieldByName(QStringLiteral("Napr")).setValue(row.napr);
        katalog.fieldByName(QStringLiteral("Spec")).setValue(row.spec);
        katalog.post();
    } catch (...) {
        katalog.cancel();
        throw;
    }
    return addNode(parent, text, newKind, key);
}

void TFedkatl::setPathParams(const CatalogPosition& p)
{
    m_query->clearParams();
    m_query->setParam(QStringLiteral("n1"), p.sfr);
    m_query->setParam(QStringLiteral("n2"), p.grp);
    m_query->setParam(QStringLiteral("n3"), p.napr);
    m_query->setParam(QStringLiteral("n4"), p.spec);
}

bool TFedkatl::candidatesFiled(const CatalogPosition& p)
{
    return pathUsed(QStringLiteral("reserv.db"), p) || pathUsed(QStringLiteral("svkat.db"), p);
}

void TFedkatl::removeLeaf(QTreeWidgetItem* leaf)
{
    const CatalogPosition p = pathOf(leaf);
    m_query->close();
    m_query->setSql({QStringLiteral("delete from \"katalog.db\""), kPathCondition});
    setPathParams(p);
    m_query->execSql();
    if (DM && DM->Tkatalog.isOpen() && !DM->Tkatalog.isEditing())
        DM->Tkatalog.refresh();
    delete leaf;
    applySelectionRule();
}

bool TFedkatl::pathUsed(const QString& table, const CatalogPosition& p)
{
    m_query->close();
    // The least key rather than the rows: a speciality may hold thousands of candidates, and
    // the store finds the first of them in the path's index.
    m_query->setSql(
        {QStringLiteral("select min(sfr) as n from \"%1\"").arg(table), kPathCondition});
    setPathParams(p);
    m_query->open();
    const bool used = !m_query->field(0).value().isNull();
    m_query->close();
    return used;
}

void TFedkatl::BdelClick()
{
    QTreeWidgetItem* node = Str->currentItem();
    if (!node || kindOf(node) == Root)
        return;
    if (node->childCount() > 0) {
        widgets::showMessage(QStringLiteral("Удалить возможно только крайние!"), this);
        return;
    }
    if (!widgets::confirm(QStringLiteral("Удалить данный раздел каталога?"), this))
        return;
    // Only rows of exactly the node's path count, as candidates are filed by their full path.
    if (candidatesFiled(pathOf(node))) {
        widgets::showMessage(
            QStringLiteral(
                "В данном разделе каталога есть карточки кандидатов. Удаление невозможно!"),
            this);
        return;
    }
    removeLeaf(node);
}

void TFedkatl::BcanClick()
{
    const QTreeWidgetItem* node = Str->currentItem();
    const int kind = kindOf(node);
    if (!m_candidates || (kind != Direction && kind != Speciality))
        return;
    m_candidates(candidateCondition(kind, pathOf(node)));
}

} // namespace kadrol
