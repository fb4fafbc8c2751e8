// The catalog structure as a user drives it: the tree built from a small catalog (empty, rows
// whose name is missing, a sphere with one group, directions before the specialities of a
// group, Russian name order), adding at each level with the duplicate refusal at every level,
// deleting leaves and the refusals, the chooser in its modes, and "Кандидаты".
#include "adstr.h"
#include "catalogprogram.h"
#include "fpbook.h"
#include "naimen.h"
#include "strkatl.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

using catalogtest::Program;
using catalogtest::WhileModal;
using kadrol::CatalogPosition;
using kadrol::Fedkatl;
using kadrol::TFedkatl;
using kadroltest::MessageBoxAnswerer;

Q_DECLARE_METATYPE(CatalogPosition)

namespace {

const QString kTitle = QStringLiteral("Структура каталога");
const QString kDialog = QStringLiteral("Добавление в структуру");

// Names as "table key name", catalog rows as "sfr grp napr spec".
void fill(Program& p, const QStringList& names, const QStringList& rows)
{
    for (const QString& n : names) {
        const QStringList parts = n.split(QLatin1Char(' '));
        p.sql(QStringLiteral("INSERT INTO %1 (\"Keyn\", \"Name\") VALUES (?, ?)").arg(parts[0]),
              {parts[1].toInt(), parts.mid(2).join(QLatin1Char(' '))});
    }
    for (const QString& r : rows) {
        const QStringList k = r.split(QLatin1Char(' '));
        p.sql(QStringLiteral(
                  "INSERT INTO katalog (\"Sfr\", \"Grp\", \"Napr\", \"Spec\") VALUES (?,?,?,?)"),
              {k[0].toInt(), k[1].toInt(), k[2].toInt(), k[3].toInt()});
    }
    for (kdb::Table* t : {&DM->sfera, &DM->grp, &DM->knapr, &DM->speclz, &DM->Tkatalog})
        t->refresh();
}

// The catalog most cases start from.
void fillFactory(Program& p)
{
    fill(p,
         {"sfera 1 Производство", "sfera 2 Банки", "sfera 3 Транспорт", "grp 1 Цех", "grp 2 Склад",
          "grp 3 Офис", "knapr 1 Сварка", "knapr 2 Литьё", "knapr 3 Покраска",
          "speclz 1 Аппаратчик", "speclz 2 Электросварщик", "speclz 3 Газосварщик",
          "speclz 4 Кладовщик"},
         {"1 0 0 0", "1 1 0 0", "1 1 1 0", "1 1 2 0", "1 1 0 1", "1 1 1 2", "1 1 1 3", "1 2 0 0",
          "2 0 0 0"});
}

// The tree as indented lines, each node with its kind: * root, S sphere, G group, N direction,
// P speciality.
void outline(const QTreeWidgetItem* node, int depth, QStringList& out)
{
    static const char* kinds[] = {"*", "S", "G", "N", "P"};
    out << QString(depth * 2, QLatin1Char(' ')) +
               QString::fromLatin1(kinds[TFedkatl::kindOf(node) + 1]) + QLatin1Char(' ') +
               node->text(0);
    for (int i = 0; i < node->childCount(); ++i)
        outline(node->child(i), depth + 1, out);
}

QStringList treeOutline()
{
    QStringList out;
    for (int i = 0; i < Fedkatl->Str->topLevelItemCount(); ++i)
        outline(Fedkatl->Str->topLevelItem(i), 0, out);
    return out;
}

// The node at a path of names below the root ("" is the root itself).
QTreeWidgetItem* node(const QString& path)
{
    QTreeWidgetItem* n = Fedkatl->Str->topLevelItem(0);
    for (const QString& name : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; n && i < n->childCount() && !next; ++i)
            if (n->child(i)->text(0) == name)
                next = n->child(i);
        n = next;
    }
    return n;
}

bool select(const QString& path)
{
    QTreeWidgetItem* n = node(path);
    if (!n)
        return false;
    Fedkatl->Str->setCurrentItem(n);
    return true;
}

qint64 rows(Program& p, const QString& path)
{
    const QStringList k = path.split(QLatin1Char(' '));
    return p.scalar(QStringLiteral("SELECT count(*) FROM katalog WHERE \"Sfr\"=? AND \"Grp\"=? "
                                   "AND \"Napr\"=? AND \"Spec\"=?"),
                    {k[0].toInt(), k[1].toInt(), k[2].toInt(), k[3].toInt()});
}

bool messageBoxShown()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w) && w->isVisible())
            return true;
    return false;
}

// Answers the add-node dialog: picks the item and the name, presses OK; when the dialog is
// still there after its message, presses "Отмена". Records what the dialog showed.
struct DialogAnswer {
    QString label;
    bool radioShown = false;
    QStringList offered;
};

std::unique_ptr<WhileModal> answerAddDialog(const QString& item, const QString& name,
                                            DialogAnswer& seen)
{
    auto phase = std::make_shared<int>(0);
    return std::make_unique<WhileModal>([phase, item, name, &seen] {
        QWidget* dialog = kadroltest::windowByTitle(kDialog);
        if (*phase == 0) {
            if (!dialog)
                return false;
            kadrol::TFadstr* d = kadrol::Fadstr;
            seen.label = d->Label1->isVisible() ? d->Label1->text() : QString();
            seen.radioShown = d->RG->isVisible();
            if (!item.isEmpty())
                kadroltest::buttonByCaption(dialog, item)->click();
            for (int i = 0; i < d->Ld->count(); ++i)
                seen.offered << d->Ld->itemText(i);
            d->Ld->setCurrentIndex(d->Ld->findText(name)); // -1: nothing chosen
            *phase = 1;
            kadroltest::buttonByCaption(dialog, QStringLiteral("OK"))->click();
            return !kadroltest::windowByTitle(kDialog); // accepted: nothing more to answer
        }
        if (messageBoxShown())
            return false;
        if (dialog)
            kadroltest::buttonByCaption(dialog, QStringLiteral("Отмена"))->click();
        return !kadroltest::windowByTitle(kDialog);
    });
}

} // namespace

class TestStrkatl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();
    void treeBuilding_data();
    void treeBuilding();
    void adding_data();
    void adding();
    void deleting_data();
    void deleting();
    void deleteRightAfterAddingAChild();
    void choosing_data();
    void choosing();
    void chooseModeWithEditing();
    void candidates();
    void structureEntryOpensBrowseMode();

private:
    std::unique_ptr<Program> m_program;
};

void TestStrkatl::init()
{
    m_program = std::make_unique<Program>();
    QVERIFY(m_program->start());
    QVERIFY(Fedkatl);
}

void TestStrkatl::cleanup()
{
    m_program.reset();
}

void TestStrkatl::treeBuilding_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("tree");
    QTest::addRow("empty catalog") << QStringList{} << QStringList{} << QStringList{"* Каталог"};
    QTest::addRow("sphere with one group")
        << QStringList{"sfera 1 Торговля", "grp 1 Продажи"} << QStringList{"1 0 0 0", "1 1 0 0"}
        << QStringList{"* Каталог", "  S Торговля", "    G Продажи"};
    QTest::addRow("rows whose name is missing")
        << QStringList{"sfera 1 Торговля", "grp 1 Продажи"}
        << QStringList{"1 0 0 0", "2 0 0 0", "1 5 0 0", "1 1 0 0", "1 1 7 0", "1 1 0 9"}
        << QStringList{"* Каталог", "  S Торговля", "    G Продажи"};
    QTest::addRow("directions first, then specialities, each by name")
        << QStringList{"sfera 1 Производство", "grp 1 Цех",           "knapr 1 Сварка",
                       "knapr 2 Литьё",        "speclz 1 Аппаратчик", "speclz 2 Электросварщик",
                       "speclz 3 Газосварщик"}
        << QStringList{"1 0 0 0", "1 1 0 0", "1 1 1 0", "1 1 2 0", "1 1 0 1", "1 1 1 2", "1 1 1 3"}
        << QStringList{"* Каталог",
                       "  S Производство",
                       "    G Цех",
                       "      N Литьё",
                       "      N Сварка",
                       "        P Газосварщик",
                       "        P Электросварщик",
                       "      P Аппаратчик"};
    QTest::addRow("spheres by name, not by key")
        << QStringList{"sfera 1 Экономика", "sfera 2 Банки", "sfera 3 Медицина"}
        << QStringList{"1 0 0 0", "2 0 0 0", "3 0 0 0"}
        << QStringList{"* Каталог", "  S Банки", "  S Медицина", "  S Экономика"};
    QTest::addRow("a group shown through its deeper rows alone")
        << QStringList{"sfera 1 Связь", "grp 1 Сети", "knapr 1 Монтаж", "speclz 1 Монтажник"}
        << QStringList{"1 1 1 1"}
        << QStringList{"* Каталог", "  S Связь", "    G Сети", "      N Монтаж",
                       "        P Монтажник"};
}

void TestStrkatl::treeBuilding()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, tree);
    fill(*m_program, names, rows);
    QStringList seen;
    bool rootSelected = false;
    CatalogPosition result{9, 9, 9, 9};
    WhileModal look([&] {
        if (!kadroltest::windowByTitle(kTitle))
            return false;
        catalogtest::press(kTitle, QStringLiteral("Обновить"));
        seen = treeOutline();
        rootSelected = Fedkatl->Str->currentItem() == Fedkatl->Str->topLevelItem(0);
        result = Fedkatl->result();
        return catalogtest::press(kTitle, QStringLiteral("Выход"));
    });
    kadrol::Fbook->menuEntry(QStringLiteral("Картотека/Структура"))->trigger();
    QVERIFY(look.done());
    QCOMPARE(seen, tree);
    QVERIFY(rootSelected);
    QCOMPARE(result, CatalogPosition{});
    // The spheres are open, the groups closed.
    if (QTreeWidgetItem* sphere = Fedkatl->Str->topLevelItem(0)->child(0)) {
        QVERIFY(sphere->isExpanded());
        if (sphere->childCount() > 0)
            QVERIFY(!sphere->child(0)->isExpanded());
    }
}

void TestStrkatl::adding_data()
{
    QTest::addColumn<QString>("at");
    QTest::addColumn<QString>("item"); // the radio item at a group, else empty
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("label"); // the dialog's label, empty: hidden
    QTest::addColumn<QString>("row");   // the row added, empty: none
    QTest::addColumn<QString>("message");
    const QString dup = kadrol::TFadstr::duplicateText();
    const QString none = kadrol::TFadstr::nothingChosenText();
    QTest::addRow("sphere at the root") << ""
                                        << ""
                                        << "Транспорт"
                                        << "Сфера"
                                        << "3 0 0 0"
                                        << "";
    QTest::addRow("group in a sphere") << "Производство"
                                       << ""
                                       << "Офис"
                                       << "Группа"
                                       << "1 3 0 0"
                                       << "";
    QTest::addRow("direction in a group") << "Производство/Цех"
                                          << "Направление"
                                          << "Покраска"
                                          << ""
                                          << "1 1 3 0"
                                          << "";
    QTest::addRow("speciality directly in a group") << "Производство/Цех"
                                                    << "Специальность"
                                                    << "Кладовщик"
                                                    << ""
                                                    << "1 1 0 4"
                                                    << "";
    QTest::addRow("speciality in a direction") << "Производство/Цех/Сварка"
                                               << ""
                                               << "Кладовщик"
                                               << "Специальность"
                                               << "1 1 1 4"
                                               << "";
    QTest::addRow("existing sphere refused") << ""
                                             << ""
                                             << "Производство"
                                             << "Сфера"
                                             << "" << dup;
    QTest::addRow("existing group without specialities refused") << "Производство"
                                                                 << ""
                                                                 << "Склад"
                                                                 << "Группа"
                                                                 << "" << dup;
    QTest::addRow("existing direction without specialities refused") << "Производство/Цех"
                                                                     << "Направление"
                                                                     << "Литьё"
                                                                     << ""
                                                                     << "" << dup;
    QTest::addRow("existing speciality refused") << "Производство/Цех/Сварка"
                                                 << ""
                                                 << "Газосварщик"
                                                 << "Специальность"
                                                 << "" << dup;
    QTest::addRow("speciality of a direction refused directly in its group") << "Производство/Цех"
                                                                             << "Специальность"
                                                                             << "Газосварщик"
                                                                             << ""
                                                                             << "" << dup;
    QTest::addRow("nothing chosen") << ""
                                    << ""
                                    << ""
                                    << "Сфера"
                                    << "" << none;
}

void TestStrkatl::adding()
{
    QFETCH(QString, at);
    QFETCH(QString, item);
    QFETCH(QString, name);
    QFETCH(QString, label);
    QFETCH(QString, row);
    QFETCH(QString, message);
    Program& p = *m_program;
    fillFactory(p);
    Fedkatl->show();
    Fedkatl->BrefClick();
    QVERIFY(select(at));
    QTreeWidgetItem* parent = Fedkatl->Str->currentItem();
    const int children = parent->childCount();
    const qint64 before = p.scalar("SELECT count(*) FROM katalog");
    DialogAnswer seen;
    MessageBoxAnswerer ok(QStringLiteral("OK"));
    auto answer = answerAddDialog(item, name, seen);
    Fedkatl->Badd->click();
    QVERIFY(answer->done());
    QCOMPARE(seen.label, label);
    QCOMPARE(seen.radioShown, label.isEmpty());
    QVERIFY(seen.offered.contains(name) || name.isEmpty());
    QCOMPARE(ok.texts(), message.isEmpty() ? QStringList{} : QStringList{message});
    QCOMPARE(Fedkatl->Str->currentItem(), parent); // the selection does not move
    if (row.isEmpty()) {
        QCOMPARE(p.scalar("SELECT count(*) FROM katalog"), before);
        QCOMPARE(parent->childCount(), children);
    } else {
        QCOMPARE(p.scalar("SELECT count(*) FROM katalog"), before + 1);
        QCOMPARE(rows(p, row), 1);
        QCOMPARE(parent->childCount(), children + 1);
        QCOMPARE(parent->child(children)->text(0), name);
        // After "Обновить" the node is where the catalog puts it.
        Fedkatl->BrefClick();
        QVERIFY(node(at + QLatin1Char('/') + name));
    }
    // The dialog is back in its first state.
    QVERIFY(!kadrol::Fadstr->Label1->isHidden());
    QVERIFY(kadrol::Fadstr->RG->isHidden());
    QVERIFY(!kadrol::Fadstr->RG->isEnabled());
    Fedkatl->hide();
}

void TestStrkatl::deleting_data()
{
    QTest::addColumn<QString>("at");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<QString>("message");
    const QString filed =
        QStringLiteral("В данном разделе каталога есть карточки кандидатов. Удаление невозможно!");
    QTest::addRow("leaf without candidates") << "Производство/Цех/Сварка/Газосварщик"
                                             << "Да"
                                             << "1 1 1 3" << true << "";
    QTest::addRow("group leaf removes only its row") << "Производство/Склад"
                                                     << "Да"
                                                     << "1 2 0 0" << true << "";
    QTest::addRow("sphere leaf") << "Банки"
                                 << "Да"
                                 << "2 0 0 0" << true << "";
    QTest::addRow("confirmation refused") << "Производство/Цех/Сварка/Газосварщик"
                                          << "Нет"
                                          << "1 1 1 3" << false << "";
    QTest::addRow("main position of a candidate") << "Производство/Цех/Сварка/Электросварщик"
                                                  << "Да"
                                                  << "1 1 1 2" << false << filed;
    QTest::addRow("further position of a candidate") << "Производство/Цех/Аппаратчик"
                                                     << "Да"
                                                     << "1 1 0 1" << false << filed;
}

void TestStrkatl::deleting()
{
    QFETCH(QString, at);
    QFETCH(QString, answer);
    QFETCH(QString, row);
    QFETCH(bool, deleted);
    QFETCH(QString, message);
    Program& p = *m_program;
    fillFactory(p);
    // A candidate filed in Электросварщик, another with Аппаратчик as a further position, and
    // one in the group Цех only (which must not hold up deleting its specialities).
    p.sql("INSERT INTO reserv (\"NameF\", \"Sfr\", \"Grp\", \"Napr\", \"Spec\") VALUES "
          "('Иванов', 1, 1, 1, 2), ('Петров', 1, 1, 0, 0)");
    p.sql("INSERT INTO svkat (\"Tabno\", \"Sfr\", \"Grp\", \"Napr\", \"Spec\") VALUES "
          "(2, 1, 1, 0, 1)");
    Fedkatl->show();
    Fedkatl->BrefClick();
    QVERIFY(select(at));
    QVERIFY(Fedkatl->Bdel->isEnabled());
    MessageBoxAnswerer reply(answer);
    MessageBoxAnswerer ok(QStringLiteral("OK"));
    Fedkatl->Bdel->click();
    QCOMPARE(reply.texts(), QStringList{QStringLiteral("Удалить данный раздел каталога?")});
    QCOMPARE(ok.texts(), message.isEmpty() ? QStringList{} : QStringList{message});
    QCOMPARE(rows(p, row), deleted ? 0 : 1);
    QCOMPARE(node(at) == nullptr, deleted);
    if (row == QLatin1String("1 2 0 0"))
        QCOMPARE(rows(p, QStringLiteral("1 0 0 0")), 1); // the sphere row stays
    Fedkatl->hide();
}

void TestStrkatl::deleteRightAfterAddingAChild()
{
    fillFactory(*m_program);
    Fedkatl->show();
    Fedkatl->BrefClick();
    QVERIFY(select(QStringLiteral("Производство/Склад")));
    QVERIFY(Fedkatl->Bdel->isEnabled());
    DialogAnswer seen;
    auto answer = answerAddDialog(QStringLiteral("Направление"), QStringLiteral("Покраска"), seen);
    Fedkatl->Badd->click();
    QVERIFY(answer->done());
    QVERIFY(Fedkatl->Bdel->isEnabled()); // the selection did not change
    MessageBoxAnswerer ok(QStringLiteral("OK"));
    MessageBoxAnswerer yes(QStringLiteral("Да"));
    Fedkatl->Bdel->click();
    QCOMPARE(ok.texts(), QStringList{QStringLiteral("Удалить возможно только крайние!")});
    QCOMPARE(yes.count(), 0);
    QCOMPARE(rows(*m_program, QStringLiteral("1 2 0 0")), 1);
    QCOMPARE(rows(*m_program, QStringLiteral("1 2 3 0")), 1);
    Fedkatl->hide();
}

void TestStrkatl::choosing_data()
{
    QTest::addColumn<QString>("at");
    QTest::addColumn<CatalogPosition>("result");
    QTest::addRow("speciality in a direction")
        << "Производство/Цех/Сварка/Газосварщик" << CatalogPosition{1, 1, 1, 3};
    QTest::addRow("speciality directly in a group")
        << "Производство/Цех/Аппаратчик" << CatalogPosition{1, 1, 0, 1};
}

void TestStrkatl::choosing()
{
    QFETCH(QString, at);
    QFETCH(CatalogPosition, result);
    fillFactory(*m_program);
    Fedkatl->BrefClick();
    Fedkatl->prepare(TFedkatl::Mode::Choose);
    QStringList enabledOn;
    QStringList hidden;
    WhileModal choose([&] {
        if (!kadroltest::windowByTitle(kTitle))
            return false;
        for (QPushButton* b : Fedkatl->findChildren<QPushButton*>())
            if (b->isHidden())
                hidden << b->text();
        for (const QString& path :
             {QString(), QStringLiteral("Производство"), QStringLiteral("Производство/Цех"),
              QStringLiteral("Производство/Цех/Сварка"), at}) {
            select(path);
            if (Fedkatl->Bvib->isEnabled())
                enabledOn << path;
        }
        return catalogtest::press(kTitle, QStringLiteral("Выбрать"));
    });
    QCOMPARE(Fedkatl->exec(), int(QDialog::Accepted));
    QVERIFY(choose.done());
    hidden.sort();
    QCOMPARE(hidden, (QStringList{"Добавить", "Кандидаты", "Названия", "Удалить"}));
    QCOMPARE(enabledOn, QStringList{at});
    QCOMPARE(Fedkatl->result(), result);
    // The hidden buttons come back by themselves.
    for (QPushButton* b : {Fedkatl->Bname, Fedkatl->Badd, Fedkatl->Bdel, Fedkatl->Bcan})
        QVERIFY2(!b->isHidden(), qPrintable(b->text()));
    // "Выход" closes without a choice.
    Fedkatl->prepare(TFedkatl::Mode::Choose);
    WhileModal leave([] { return catalogtest::press(kTitle, QStringLiteral("Выход")); });
    QCOMPARE(Fedkatl->exec(), int(QDialog::Rejected));
}

void TestStrkatl::chooseModeWithEditing()
{
    fillFactory(*m_program);
    Fedkatl->BrefClick();
    Fedkatl->prepare(TFedkatl::Mode::ChooseEditing);
    QVERIFY(!Fedkatl->Bvib->isHidden());
    QVERIFY(Fedkatl->Bcan->isHidden());
    QVERIFY(!Fedkatl->Bcan->isEnabled());
    for (QPushButton* b : {Fedkatl->Bname, Fedkatl->Badd, Fedkatl->Bdel})
        QVERIFY(!b->isHidden());
    QVERIFY(select(QStringLiteral("Производство/Цех/Сварка/Электросварщик")));
    QVERIFY(Fedkatl->Bvib->isEnabled());
    QVERIFY(!Fedkatl->Bcan->isEnabled()); // left alone while "Выбрать" is there
    Fedkatl->prepare(TFedkatl::Mode::Browse);
    QVERIFY(Fedkatl->Bvib->isHidden());
    QVERIFY(!Fedkatl->Bcan->isHidden());
}

void TestStrkatl::candidates()
{
    fillFactory(*m_program);
    Fedkatl->BrefClick();
    Fedkatl->prepare(TFedkatl::Mode::Browse);
    QVERIFY(select(QStringLiteral("Производство/Цех/Сварка")));
    QVERIFY(!Fedkatl->Bcan->isEnabled()); // no list by catalog to open yet
    QStringList conditions;
    Fedkatl->setCandidatesHandler([&](const QString& c) { conditions << c; });
    QVERIFY(Fedkatl->Bcan->isEnabled());
    Fedkatl->Bcan->click();
    QVERIFY(select(QStringLiteral("Производство/Цех/Аппаратчик")));
    Fedkatl->Bcan->click();
    QVERIFY(select(QStringLiteral("Производство/Цех/Сварка/Газосварщик")));
    Fedkatl->Bcan->click();
    QVERIFY(select(QStringLiteral("Производство/Цех")));
    QVERIFY(!Fedkatl->Bcan->isEnabled());
    QCOMPARE(conditions, (QStringList{"(s.sfr=1) and (s.grp=1) and (s.napr=1)",
                                      "(s.sfr=1) and (s.grp=1) and (s.napr=0) and (s.spec=1)",
                                      "(s.sfr=1) and (s.grp=1) and (s.napr=1) and (s.spec=3)"}));
    Fedkatl->setCandidatesHandler(nullptr);
}

void TestStrkatl::structureEntryOpensBrowseMode()
{
    Fedkatl->prepare(TFedkatl::Mode::ChooseEditing); // left so by a caller
    bool browse = false, modal = false;
    QString names;
    WhileModal look([&] {
        if (!kadroltest::windowByTitle(kTitle))
            return false;
        browse = Fedkatl->Bvib->isHidden() && !Fedkatl->Bcan->isHidden();
        modal = Fedkatl->isModal();
        // "Названия" opens the name lists on the spheres, modally.
        WhileModal lists([&] {
            QWidget* w = kadroltest::windowByTitle(QStringLiteral("Наименования"));
            if (!w)
                return false;
            names = kadrol::TFnaimen::listCaptions(kadrol::Fnaimen->group())
                        .value(kadrol::Fnaimen->list());
            return catalogtest::press(QStringLiteral("Наименования"), QStringLiteral("Выход"));
        });
        catalogtest::press(kTitle, QStringLiteral("Названия"));
        return catalogtest::press(kTitle, QStringLiteral("Выход"));
    });
    kadrol::Fbook->menuEntry(QStringLiteral("Картотека/Структура"))->trigger();
    QVERIFY(look.done());
    QVERIFY(browse);
    QVERIFY(modal);
    QCOMPARE(names, QStringLiteral("Сферы"));
}

QTEST_MAIN(TestStrkatl)
#include "tst_strkatl.moc"
