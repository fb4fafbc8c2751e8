// The vacancy catalog hub and the list by catalog, driven as a user drives them on a fresh Data
// folder with a few candidates filed in the catalog: the bases "Действ.", "Архивн." and "Обе"
// over both grids, a node without candidates, the whole catalog and one sphere from the hub,
// and "Карточка" reaching an archived candidate whatever the candidate list's filter.
#include "datafolder.h"
#include "dbgrid.h"
#include "fpbook.h"
#include "guisupport.h"
#include "kadrol.h"
#include "naimen.h"
#include "pdm.h"
#include "program.h"
#include "spcard.h"
#include "stbut.h"
#include "strkatl.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

using kadrol::FStBut;
using kadrol::Fstrcard;

namespace {

using Program = kadroltest::StartedProgram;

int addName(kdb::Table& list, const QString& name)
{
    list.append();
    list.fieldByName(QStringLiteral("Name")).setValue(name);
    list.post();
    return list.value(QStringLiteral("Keyn")).toInt();
}

int addCandidate(const QString& surname, int arch, const QString& tn2, QList<int> position)
{
    kdb::Table& r = DM->Reserv;
    r.append();
    r.fieldByName(QStringLiteral("NameF")).setValue(surname);
    r.fieldByName(QStringLiteral("NameI")).setValue(QStringLiteral("Иван"));
    r.fieldByName(QStringLiteral("NameO")).setValue(QStringLiteral("Ильич"));
    r.fieldByName(QStringLiteral("Arch")).setValue(arch);
    r.fieldByName(QStringLiteral("Tn2")).setValue(tn2);
    const char* fields[] = {"Sfr", "Grp", "Napr", "Spec"};
    for (int i = 0; i < 4; ++i)
        r.fieldByName(QString::fromLatin1(fields[i])).setValue(position.value(i));
    r.post();
    return r.value(QStringLiteral("Keyr")).toInt();
}

void addFurther(int keyr, QList<int> p)
{
    DM->svkat.setFilter(QString());
    DM->svkat.open();
    DM->svkat.insertRecord({QVariant(), keyr, p[0], p[1], p[2], p[3], QString()});
    DM->svkat.close();
}

// The surnames a grid shows, in its order, with the registration number.
QStringList shown(widgets::DbGrid* grid)
{
    QStringList out;
    widgets::DatasetModel* m = grid->gridModel();
    for (int i = 0; i < m->rowCount(); ++i)
        out << m->index(i, 0).data().toString() + QLatin1Char(' ') +
                   m->index(i, 1).data().toString().section(QLatin1Char(' '), 0, 0);
    return out;
}

// Runs a step as soon as the window with that title is on the screen (inside its modal loop).
void whenShown(const QString& title, std::function<void(QWidget*)> step)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, title, step]() {
        if (QWidget* w = kadroltest::windowByTitle(title)) {
            timer->stop();
            timer->deleteLater();
            step(w);
        }
    });
    timer->start();
}

QAbstractButton* strButton(const QString& caption)
{
    return kadroltest::buttonByCaption(Fstrcard, caption);
}

} // namespace

class TestStBut : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();
    void bases_data();
    void bases();
    void baseChoiceStaysBetweenOpenings();
    void nodeWithoutCandidates();
    void cardReachesArchivedCandidate_data();
    void cardReachesArchivedCandidate();
    void hubLists_data();
    void hubLists();
    void hubAsOpenedFromTheMainWindow();
    void structureListsTheCandidatesOfANode();
    void namesOpenOnTheSpheres();

private:
    std::unique_ptr<Program> m_program;
    int m_sphere1 = 0, m_sphere2 = 0, m_group = 0, m_spec1 = 0, m_spec2 = 0;
    QString m_node; // the condition of speciality 1 filed directly in the group of sphere 1
    QMap<QString, int> m_keys;
    QList<int> m_cardShownFor;
};

void TestStBut::init()
{
    m_program = std::make_unique<Program>();
    QVERIFY(m_program->started());
    KVERIFY(m_sphere1 = addName(DM->sfera, QStringLiteral("Торговля")));
    KVERIFY(m_sphere2 = addName(DM->sfera, QStringLiteral("Финансы")));
    KVERIFY(m_group = addName(DM->grp, QStringLiteral("Продажи")));
    KVERIFY(m_spec1 = addName(DM->speclz, QStringLiteral("Продавец")));
    KVERIFY(m_spec2 = addName(DM->speclz, QStringLiteral("Бухгалтер")));
    const QList<int> node1{m_sphere1, m_group, 0, m_spec1};
    const QList<int> node2{m_sphere2, m_group, 0, m_spec2};
    KVERIFY(m_keys["Алексеев"] = addCandidate("Алексеев", 0, "1", node1));
    KVERIFY(m_keys["Борисов"] = addCandidate("Борисов", 1, "2", node1));
    KVERIFY(m_keys["Васильев"] = addCandidate("Васильев", 0, "3", node2));
    KVERIFY(m_keys["Григорьев"] = addCandidate("Григорьев", 1, "4", {}));
    KVERIFY(m_keys["Дмитриев"] = addCandidate("Дмитриев", 0, "5", {}));
    KVERIFY(addFurther(m_keys["Васильев"], node1));
    KVERIFY(addFurther(m_keys["Григорьев"], node1));
    // The candidate card stands in here by a step that notes whom it was shown for.
    Fstrcard->setCardOpener(
        [this] { m_cardShownFor << DM->Reserv.value(QStringLiteral("Keyr")).toInt(); });
    m_node = QStringLiteral("(s.sfr=%1) and (s.grp=%2) and (s.napr=0) and (s.spec=%3)")
                 .arg(m_sphere1)
                 .arg(m_group)
                 .arg(m_spec1);
}

void TestStBut::cleanup()
{
    m_cardShownFor.clear();
    if (Fstrcard) {
        Fstrcard->hide();
        Fstrcard->closeQueries();
    }
    m_program.reset();
}

void TestStBut::bases_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QStringList>("main");
    QTest::addColumn<QStringList>("further");
    QTest::addRow("Обе") << "Обе" << QStringList{"1 Алексеев", "2 Борисов"}
                         << QStringList{"3 Васильев", "4 Григорьев"};
    QTest::addRow("Действ.") << "Действ." << QStringList{"1 Алексеев"} << QStringList{"3 Васильев"};
    QTest::addRow("Архивн.") << "Архивн." << QStringList{"2 Борисов"} << QStringList{"4 Григорьев"};
}

void TestStBut::bases()
{
    QFETCH(QString, base);
    QFETCH(QStringList, main);
    QFETCH(QStringList, further);
    KVERIFY(Fstrcard->prepareFor(m_node));
    Fstrcard->show();
    QCOMPARE(kadroltest::windowByTitle(QStringLiteral("Список по каталогу")), Fstrcard);
    // "Обе" is chosen when the program starts.
    QVERIFY(strButton(QStringLiteral("Обе"))->isChecked());
    strButton(base)->click();
    QCOMPARE(shown(Fstrcard->mainGrid()), main);
    QCOMPARE(shown(Fstrcard->furtherGrid()), further);
    QVERIFY(strButton(QStringLiteral("Карточка"))->isEnabled());
    QCOMPARE(Fstrcard->focusWidget(), Fstrcard->mainGrid());
    QCOMPARE(Fstrcard->mainGrid()->gridModel()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("Рег №"));
    QCOMPARE(Fstrcard->furtherGrid()->gridModel()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("Ф.И.О."));
    strButton(QStringLiteral("Обе"))->click();
}

void TestStBut::baseChoiceStaysBetweenOpenings()
{
    KVERIFY(Fstrcard->prepareFor(m_node));
    Fstrcard->show();
    strButton(QStringLiteral("Действ."))->click();
    strButton(QStringLiteral("Выход"))->click();
    QVERIFY(!Fstrcard->isVisible());
    Fstrcard->closeQueries();
    KVERIFY(Fstrcard->prepareFor(m_node));
    Fstrcard->show();
    QVERIFY(strButton(QStringLiteral("Действ."))->isChecked());
    QCOMPARE(shown(Fstrcard->mainGrid()), QStringList{"1 Алексеев"});
    strButton(QStringLiteral("Обе"))->click();
}

void TestStBut::nodeWithoutCandidates()
{
    KVERIFY(Fstrcard->prepareFor(QStringLiteral("(s.sfr=%1) and (s.grp=%2) and (s.napr=0) and "
                                                "(s.spec=%3)")
                                     .arg(m_sphere2)
                                     .arg(m_group)
                                     .arg(m_spec1)));
    Fstrcard->show();
    QVERIFY(!strButton(QStringLiteral("Карточка"))->isEnabled());
    QVERIFY(shown(Fstrcard->mainGrid()).isEmpty());
    QVERIFY(shown(Fstrcard->furtherGrid()).isEmpty());
    // A node with candidates, but no card to open them in: "Карточка" stays disabled.
    KVERIFY(Fstrcard->prepareFor(m_node));
    QVERIFY(strButton(QStringLiteral("Карточка"))->isEnabled());
    Fstrcard->setCardOpener(nullptr);
    QVERIFY(!strButton(QStringLiteral("Карточка"))->isEnabled());
}

void TestStBut::cardReachesArchivedCandidate_data()
{
    QTest::addColumn<bool>("further"); // the user works in the lower grid
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("candidate");
    QTest::addRow("main grid, archived") << false << 1 << "Борисов";
    QTest::addRow("main grid, current") << false << 0 << "Алексеев";
    QTest::addRow("further grid, archived") << true << 1 << "Григорьев";
    QTest::addRow("double click") << true << 0 << "Васильев";
}

void TestStBut::cardReachesArchivedCandidate()
{
    QFETCH(bool, further);
    QFETCH(int, row);
    QFETCH(QString, candidate);
    // The candidate list shows the current base.
    KVERIFY(DM->Reserv.setFilter(QStringLiteral("arch=0")));
    KVERIFY(DM->Reserv.first());
    int opened = -1;
    QString filterWhileOpen = QStringLiteral("unchanged");
    Fstrcard->setCardOpener([&] {
        opened = DM->Reserv.value(QStringLiteral("Keyr")).toInt();
        filterWhileOpen = DM->Reserv.filter();
    });
    KVERIFY(Fstrcard->prepareFor(m_node));
    Fstrcard->show();
    QVERIFY(QTest::qWaitForWindowExposed(Fstrcard));
    widgets::DbGrid* grid = further ? Fstrcard->furtherGrid() : Fstrcard->mainGrid();
    const QModelIndex cell = grid->gridModel()->index(row, 1);
    const QPoint at = grid->visualRect(cell).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    if (QTest::currentDataTag() == QByteArray("double click"))
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    else
        strButton(QStringLiteral("Карточка"))->click();
    QCOMPARE(opened, m_keys.value(candidate));
    QCOMPARE(filterWhileOpen, QString());
    QCOMPARE(DM->Reserv.filter(), QStringLiteral("arch=0"));
    KVERIFY(DM->Reserv.setFilter(QString()));
}

void TestStBut::hubLists_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("sphere");
    QTest::addColumn<QStringList>("main");
    QTest::addColumn<QStringList>("further");
    QTest::addRow("Весь каталог") << "Весь каталог" << QString()
                                  << QStringList{"1 Алексеев", "2 Борисов", "3 Васильев"}
                                  << QStringList{"3 Васильев", "4 Григорьев"};
    QTest::addRow("Сфера Торговля") << "Сфера"
                                    << "Торговля" << QStringList{"1 Алексеев", "2 Борисов"}
                                    << QStringList{"3 Васильев", "4 Григорьев"};
    QTest::addRow("Сфера Финансы") << "Сфера"
                                   << "Финансы" << QStringList{"3 Васильев"} << QStringList{};
}

void TestStBut::hubLists()
{
    QFETCH(QString, button);
    QFETCH(QString, sphere);
    QFETCH(QStringList, main);
    QFETCH(QStringList, further);
    FStBut->show();
    QCOMPARE(kadroltest::windowByTitle(QStringLiteral("Каталог вакансий")), FStBut);
    if (!sphere.isEmpty()) {
        const int i = FStBut->sphereBox()->findText(sphere);
        QVERIFY(i >= 0);
        FStBut->sphereBox()->setCurrentIndex(i);
    }
    QStringList seenMain, seenFurther;
    bool cardEnabled = false;
    QTimer::singleShot(0, this, [&] {
        QWidget* w = kadroltest::windowByTitle(QStringLiteral("Список по каталогу"));
        if (!w)
            return;
        seenMain = shown(Fstrcard->mainGrid());
        seenFurther = shown(Fstrcard->furtherGrid());
        cardEnabled = strButton(QStringLiteral("Карточка"))->isEnabled();
        strButton(QStringLiteral("Выход"))->click();
    });
    kadroltest::buttonByCaption(FStBut, button)->click();
    QCOMPARE(seenMain, main);
    QCOMPARE(seenFurther, further);
    QVERIFY(cardEnabled);
    QVERIFY(!Fstrcard->isVisible());
    QVERIFY(!Fstrcard->Qstr.isOpen()); // closed when the list returns
    QVERIFY(FStBut->isVisible());
    kadroltest::buttonByCaption(FStBut, QStringLiteral("Выход"))->click();
    QVERIFY(!FStBut->isVisible());
}

void TestStBut::hubAsOpenedFromTheMainWindow()
{
    kadrol::Fbook->button(QStringLiteral("Картотека"))->click();
    QVERIFY(FStBut->isVisible());
    QVERIFY(!FStBut->isModal());
    const QStringList captions{"Наименования", "Структура", "Весь каталог",
                               "Сфера",        "Справка",   "Выход"};
    for (const QString& c : captions)
        QVERIFY2(kadroltest::buttonByCaption(FStBut, c), qPrintable(c));
    // The sphere drop-down lists the spheres by name.
    QCOMPARE(FStBut->sphereBox()->count(), 2);
    QCOMPARE(FStBut->sphereBox()->itemText(0), QStringLiteral("Торговля"));
    QTest::keyClick(FStBut, Qt::Key_Escape);
    QVERIFY(!FStBut->isVisible());

    // The menu's "Печать" shows the hub too; its "Структура" runs the hub's "Структура".
    kadrol::Fbook->menuEntry(QStringLiteral("Картотека/Печать"))->trigger();
    QVERIFY(FStBut->isVisible());
    FStBut->hide();
    bool browse = false;
    whenShown(QStringLiteral("Структура каталога"), [&](QWidget* w) {
        browse = !kadrol::Fedkatl->Bvib->isVisible() && kadrol::Fedkatl->Bcan->isVisible();
        kadroltest::buttonByCaption(w, QStringLiteral("Выход"))->click();
    });
    kadrol::Fbook->menuEntry(QStringLiteral("Картотека/Структура"))->trigger();
    QVERIFY(browse);
    QVERIFY(!FStBut->isVisible());
}

void TestStBut::structureListsTheCandidatesOfANode()
{
    // The catalog: the sphere, its group and the speciality filed directly in it.
    kdb::Table& k = DM->Tkatalog;
    const QList<QList<int>> rows{
        {m_sphere1, 0, 0, 0}, {m_sphere1, m_group, 0, 0}, {m_sphere1, m_group, 0, m_spec1}};
    for (const QList<int>& row : rows) {
        KVERIFY(k.append());
        KVERIFY(k.fieldByName(QStringLiteral("Sfr")).setValue(row[0]));
        KVERIFY(k.fieldByName(QStringLiteral("Grp")).setValue(row[1]));
        KVERIFY(k.fieldByName(QStringLiteral("Napr")).setValue(row[2]));
        KVERIFY(k.fieldByName(QStringLiteral("Spec")).setValue(row[3]));
        KVERIFY(k.post());
    }
    FStBut->show();
    bool modal = false, chooseShown = true, candidatesShown = false;
    QStringList seenMain, seenFurther;
    // Inside the structure: refresh the tree, pick the speciality, press "Кандидаты"; inside
    // the list by catalog read both grids and leave; then leave the structure.
    whenShown(QStringLiteral("Структура каталога"), [&](QWidget* w) {
        modal = w->isModal();
        chooseShown = kadrol::Fedkatl->Bvib->isVisible();
        candidatesShown = kadrol::Fedkatl->Bcan->isVisible();
        kadroltest::buttonByCaption(w, QStringLiteral("Обновить"))->click();
        const QList<QTreeWidgetItem*> found = kadrol::Fedkatl->Str->findItems(
            QStringLiteral("Продавец"), Qt::MatchExactly | Qt::MatchRecursive);
        if (found.isEmpty()) {
            kadroltest::buttonByCaption(w, QStringLiteral("Выход"))->click();
            return;
        }
        kadrol::Fedkatl->Str->setCurrentItem(found.first());
        whenShown(QStringLiteral("Список по каталогу"), [&](QWidget*) {
            seenMain = shown(Fstrcard->mainGrid());
            seenFurther = shown(Fstrcard->furtherGrid());
            strButton(QStringLiteral("Выход"))->click();
        });
        kadroltest::buttonByCaption(w, QStringLiteral("Кандидаты"))->click();
        kadroltest::buttonByCaption(w, QStringLiteral("Выход"))->click();
    });
    kadroltest::buttonByCaption(FStBut, QStringLiteral("Структура"))->click();
    QVERIFY(modal);
    QVERIFY(!chooseShown);
    QVERIFY(candidatesShown);
    QCOMPARE(seenMain, (QStringList{"1 Алексеев", "2 Борисов"}));
    QCOMPARE(seenFurther, (QStringList{"3 Васильев", "4 Григорьев"}));
    QVERIFY(!Fstrcard->Qstr.isOpen());
}

void TestStBut::namesOpenOnTheSpheres()
{
    FStBut->show();
    bool modal = false;
    int group = -1, list = -1;
    whenShown(QStringLiteral("Наименования"), [&](QWidget* w) {
        modal = w->isModal();
        group = kadrol::Fnaimen->group();
        list = kadrol::Fnaimen->list();
        kadroltest::buttonByCaption(w, QStringLiteral("Выход"))->click();
    });
    kadroltest::buttonByCaption(FStBut, QStringLiteral("Наименования"))->click();
    QVERIFY(modal);
    QCOMPARE(group, 0);
    QCOMPARE(list, 0);
    QVERIFY(FStBut->isVisible());
}

QTEST_MAIN(TestStBut)
#include "tst_stbut.moc"
