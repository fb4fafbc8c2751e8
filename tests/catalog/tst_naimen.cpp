// The reference lists editor as a user drives it: the usage checks of every list (with the
// requests' conditions and the clients' requirements among the referring tables), the refusal
// to change tabs while a row is edited, the buttons' enabling, the modal opening on a given
// list, an edit pending when the window closes, and bad input (too long, quotes, blank, a row
// locked by another workstation).
#include "catalogprogram.h"
#include "dbgrid.h"
#include "fpbook.h"
#include "naimen.h"
#include "table.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>

using catalogtest::Program;
using kadrol::Fnaimen;
using kadroltest::MessageBoxAnswerer;

namespace {

const QString kInUse = QStringLiteral("Удаление невозможно! Данное наименование используется.");
const QString kAskDelete = QStringLiteral("Удалить данное наименование ?");
const QString kEditFirst = QStringLiteral("Сначала сохраните изменения в текущих данных!");

QStringList tabTexts(const QTabBar* bar)
{
    QStringList out;
    for (int i = 0; i < bar->count(); ++i)
        out << bar->tabText(i);
    return out;
}

// Types text where the keyboard focus is (the grid opens its editor with the first key).
void type(const QString& text)
{
    for (QChar c : text) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget()
                                                      : static_cast<QWidget*>(Fnaimen->DBGrid1);
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key(c.toUpper().unicode()), QString(c),
                            Qt::NoModifier);
    }
}

// The grid's open cell editor, or null.
QLineEdit* openEditor()
{
    for (QLineEdit* e : Fnaimen->DBGrid1->findChildren<QLineEdit*>())
        if (e->isVisible())
            return e;
    return nullptr;
}

bool showEditor(int group, int list)
{
    Fnaimen->showAsLeft();
    if (!QTest::qWaitForWindowActive(Fnaimen))
        return false;
    Fnaimen->TM->setCurrentIndex(group); // as a click on the tab
    Fnaimen->TK->setCurrentIndex(list);
    Fnaimen->DBGrid1->setFocus();
    return Fnaimen->group() == group && Fnaimen->list() == list;
}

kdb::Table& shown()
{
    return static_cast<kdb::Table&>(*Fnaimen->DBGrid1->gridModel()->dataset());
}

} // namespace

class TestNaimen : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void usageChecks_data();
    void usageChecks();
    void tabChangeWhileEditing();
    void openedModallyOnAList();
    void closingWithAnEditPending_data();
    void closingWithAnEditPending();
    void badInput_data();
    void badInput();
    void blankedNameIsRefused();
    void rowLockedByAnotherWorkstation();
    void baseCurrencyCannotBeChanged();

private:
    Program* m_program = nullptr;
    int m_serial = 0;
};

void TestNaimen::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_program = new Program;
    QVERIFY(m_program->start());
    QVERIFY(Fnaimen);
    QCOMPARE(Fnaimen->windowTitle(), QStringLiteral("Наименования"));
}

void TestNaimen::cleanupTestCase()
{
    delete m_program;
}

void TestNaimen::cleanup()
{
    if (Fnaimen->isVisible()) {
        MessageBoxAnswerer no(QStringLiteral("Нет"));
        Fnaimen->Bv->click();
    }
}

void TestNaimen::usageChecks_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("list");
    QTest::addColumn<QString>("listTable");
    QTest::addColumn<QString>("usedBy"); // "table.field", empty: not used
    struct Case {
        int group, list;
        const char* table;
        std::vector<const char*> usedBy;
    };
    const Case cases[] = {
        {0, 0, "sfera", {"reserv.Sfr", "katalog.Sfr", "svkat.Sfr"}},
        {0, 1, "grp", {"reserv.Grp", "katalog.Grp", "svkat.Grp"}},
        {0, 2, "knapr", {"reserv.Napr", "katalog.Napr", "svkat.Napr"}},
        {0, 3, "speclz", {"reserv.Spec", "katalog.Spec", "svkat.Spec"}},
        {1, 0, "tipedct", {"educres.Tipe"}},
        {1, 1, "edprofl", {"educres.Profl", "zayav.Edprofl", "zayavz.Edprofl"}},
        {1, 2, "edspclz", {"educres.Specl", "zayav.Edspec", "zayavz.Edspec"}},
        {2, 0, "oblst", {"profopt.Oblst", "zayav.Prfobl", "zayavz.Prfobl"}},
        {2, 1, "naprv", {"profopt.Napr", "zayav.Prfnapr", "zayavz.Prfnapr"}},
        {3, 0, "region", {"reserv.Region", "zayav.Regn", "zayavz.Regn"}},
        {3, 1, "town", {"reserv.Townn"}},
        {3, 2, "cntry", {"reserv.Cntry"}},
        {3, 3, "sost", {"reserv.Sost"}},
        {3, 4, "valut", {"reserv.Valut", "zayav.Valut", "zayavz.Valut"}},
        {4, 0, "lang", {"reclang.Lang", "zayav.Lang", "zayavz.Lang"}},
        {4, 1, "spnav", {"resnavk.NN"}},
        {4, 2, "infrm", {"reserv.Infrm"}},
    };
    for (const Case& c : cases) {
        const QString list = kadrol::TFnaimen::listCaptions(c.group).value(c.list);
        QTest::addRow("%s unused", qPrintable(list))
            << c.group << c.list << QString::fromLatin1(c.table) << QString();
        for (const char* used : c.usedBy)
            QTest::addRow("%s used by %s", qPrintable(list), used)
                << c.group << c.list << QString::fromLatin1(c.table) << QString::fromLatin1(used);
    }
}

void TestNaimen::usageChecks()
{
    QFETCH(int, group);
    QFETCH(int, list);
    QFETCH(QString, listTable);
    QFETCH(QString, usedBy);
    Program& p = *m_program;
    // A name of the case's own (short: the currency names are 5 wide), used or not.
    const QString name = QStringLiteral("Н%1").arg(++m_serial);
    p.sql(QStringLiteral("INSERT INTO %1 (\"Name\") VALUES (?)").arg(listTable), {name});
    const qint64 key =
        p.scalar(QStringLiteral("SELECT \"Keyn\" FROM %1 WHERE \"Name\"=?").arg(listTable), {name});
    if (!usedBy.isEmpty()) {
        const QString table = usedBy.section(QLatin1Char('.'), 0, 0);
        const QString field = usedBy.section(QLatin1Char('.'), 1);
        if (table == QLatin1String("zayavz")) // its key is the request's, written by the program
            p.sql(QStringLiteral("INSERT INTO zayavz (\"Keyn\", \"%1\") VALUES (?, ?)").arg(field),
                  {1000 + m_serial, key});
        else
            p.sql(QStringLiteral("INSERT INTO %1 (\"%2\") VALUES (?)").arg(table, field), {key});
    }
    QVERIFY(showEditor(group, list));
    QVERIFY(shown().locate(QStringLiteral("Name"), {name}));
    QVERIFY(Fnaimen->Bd->isEnabled());
    MessageBoxAnswerer yes(QStringLiteral("Да"));
    MessageBoxAnswerer ok(QStringLiteral("OK"));
    Fnaimen->Bd->click();
    QCOMPARE(yes.texts(), QStringList{kAskDelete});
    const qint64 left =
        p.scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE \"Keyn\"=?").arg(listTable), {key});
    if (usedBy.isEmpty()) {
        QCOMPARE(ok.count(), 0);
        QCOMPARE(left, 0);
        QVERIFY(!shown().locate(QStringLiteral("Name"), {name}));
    } else {
        QCOMPARE(ok.texts(), QStringList{kInUse});
        QCOMPARE(left, 1);
        QCOMPARE(shown().value(QStringLiteral("Name")).toString(), name); // nothing moved
        QCOMPARE(shown().state(), kdb::Dataset::State::Browse);
    }
}

void TestNaimen::tabChangeWhileEditing()
{
    QVERIFY(showEditor(0, 0));
    QCOMPARE(tabTexts(Fnaimen->TM),
             (QStringList{"Каталог", "Образование", "Проф.опыт", "Карточка", "Прочее"}));
    QCOMPARE(tabTexts(Fnaimen->TK),
             (QStringList{"Сферы", "Группы", "Направления", "Специальности"}));
    QVERIFY(!Fnaimen->Bp->isEnabled());
    QVERIFY(!Fnaimen->Bc->isEnabled());
    QTest::keyClick(Fnaimen->DBGrid1, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(Fnaimen->DBGrid1, Qt::Key_Down); // past the last row: a new sphere
    type(QStringLiteral("Металлургия"));
    QCOMPARE(DM->sfera.state(), kdb::Dataset::State::Insert);
    QVERIFY(Fnaimen->Bp->isEnabled());
    QVERIFY(Fnaimen->Bc->isEnabled());
    QVERIFY(!Fnaimen->Bd->isEnabled());
    {
        MessageBoxAnswerer ok(QStringLiteral("OK"));
        Fnaimen->TM->setCurrentIndex(4); // "Прочее"
        QCOMPARE(ok.texts(), QStringList{kEditFirst});
        Fnaimen->TK->setCurrentIndex(2); // "Направления"
        QCOMPARE(ok.texts(), (QStringList{kEditFirst, kEditFirst}));
    }
    QCOMPARE(Fnaimen->TM->currentIndex(), 0);
    QCOMPARE(Fnaimen->TK->currentIndex(), 0);
    QCOMPARE(Fnaimen->group(), 0);
    // The typed text stays in the new row (the message took the editor's focus, which wrote
    // it into the record).
    QCOMPARE(DM->sfera.state(), kdb::Dataset::State::Insert);
    const QString typed =
        openEditor() ? openEditor()->text() : DM->sfera.value(QStringLiteral("Name")).toString();
    QCOMPARE(typed, QStringLiteral("Металлургия"));
    Fnaimen->Bp->click();
    QCOMPARE(DM->sfera.state(), kdb::Dataset::State::Browse);
    QCOMPARE(m_program->scalar("SELECT count(*) FROM sfera WHERE \"Name\"='Металлургия'"), 1);
    QVERIFY(Fnaimen->Bd->isEnabled());

    Fnaimen->TM->setCurrentIndex(4);
    QCOMPARE(tabTexts(Fnaimen->TK), (QStringList{"Языки", "Спец.навыки", "Узнал о вак. от..."}));
    QCOMPARE(Fnaimen->TK->currentIndex(), 0);
    QCOMPARE(Fnaimen->DBGrid1->dataSource(), &DM->DSlang);
    // An empty list (emptied at another workstation: the list is read again when chosen) has
    // nothing to delete.
    m_program->sql("DELETE FROM infrm");
    Fnaimen->TK->setCurrentIndex(2);
    QVERIFY(DM->tinfrm.isEmpty());
    QVERIFY(!Fnaimen->Bd->isEnabled());
}

void TestNaimen::openedModallyOnAList()
{
    // The candidate card's "Город" button: the card's group with "Город" chosen.
    QStringList tabs;
    int list = -1;
    bool modal = false;
    catalogtest::WhileModal look([&] {
        if (!Fnaimen->isVisible())
            return false;
        tabs = tabTexts(Fnaimen->TK);
        list = Fnaimen->TK->currentIndex();
        modal = Fnaimen->isModal();
        return catalogtest::press(QStringLiteral("Наименования"), QStringLiteral("Выход"));
    });
    Fnaimen->showList(3, 1);
    QVERIFY(look.done());
    QCOMPARE(tabs, (QStringList{"Район", "Город", "Страна", "Состояние дел", "Валюта"}));
    QCOMPARE(list, 1);
    QVERIFY(modal);
    QVERIFY(!Fnaimen->isVisible());
    // The main window's entry shows it modeless, as it was left.
    kadrol::Fbook->menuEntry(QStringLiteral("Файл/Наименования"))->trigger();
    QVERIFY(Fnaimen->isVisible());
    QVERIFY(!Fnaimen->isModal());
    QCOMPARE(Fnaimen->group(), 3);
    QCOMPARE(Fnaimen->list(), 1);
}

void TestNaimen::closingWithAnEditPending_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("stored");
    QTest::addRow("stored on Да") << "Да" << 1;
    QTest::addRow("dropped on Нет") << "Нет" << 0;
}

void TestNaimen::closingWithAnEditPending()
{
    QFETCH(QString, answer);
    QFETCH(int, stored);
    QVERIFY(showEditor(3, 1)); // "Город"
    const QString name = QStringLiteral("Тверь %1").arg(++m_serial);
    QTest::keyClick(Fnaimen->DBGrid1, Qt::Key_End, Qt::ControlModifier);
    if (!shown().isEmpty())
        QTest::keyClick(Fnaimen->DBGrid1, Qt::Key_Down);
    type(name); // the editor still holds the text: nothing is in the record yet
    MessageBoxAnswerer reply(answer);
    QTest::keyClick(Fnaimen, Qt::Key_Escape); // the grid's editor takes the first Escape
    if (Fnaimen->isVisible())
        QTest::keyClick(Fnaimen, Qt::Key_Escape);
    if (Fnaimen->isVisible())
        Fnaimen->Bv->click();
    QVERIFY(!Fnaimen->isVisible());
    QCOMPARE(DM->town.state(), kdb::Dataset::State::Browse); // no lock, no half-typed row
    QCOMPARE(m_program->scalar("SELECT count(*) FROM town WHERE \"Name\"=?", {name}), stored);
}

void TestNaimen::badInput_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("list");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored"); // empty: no row is added
    QTest::addRow("longer than the width is cut") << 3 << 4 << "valut"
                                                  << "Доллар США"
                                                  << "Долла";
    QTest::addRow("quotes and mixed alphabets as typed") << 3 << 1 << "town"
                                                         << "O'Neil «Альфа» \"Beta\" Ltd"
                                                         << "O'Neil «Альфа» \"Beta\" Ltd";
    QTest::addRow("blank is no row") << 3 << 2 << "cntry"
                                     << "   "
                                     << "";
}

void TestNaimen::badInput()
{
    QFETCH(int, group);
    QFETCH(int, list);
    QFETCH(QString, table);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QVERIFY(showEditor(group, list));
    const qint64 before = m_program->scalar(QStringLiteral("SELECT count(*) FROM %1").arg(table));
    QTest::keyClick(Fnaimen->DBGrid1, Qt::Key_End, Qt::ControlModifier);
    if (!shown().isEmpty())
        QTest::keyClick(Fnaimen->DBGrid1, Qt::Key_Down);
    type(typed);
    MessageBoxAnswerer ok(QStringLiteral("OK"));
    Fnaimen->Bp->click();
    QCOMPARE(ok.count(), 0); // no error either way
    QCOMPARE(shown().state(), kdb::Dataset::State::Browse);
    const qint64 after = m_program->scalar(QStringLiteral("SELECT count(*) FROM %1").arg(table));
    if (stored.isEmpty()) {
        QCOMPARE(after, before);
    } else {
        QCOMPARE(after, before + 1);
        QCOMPARE(
            m_program->scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE \"Name\"=?").arg(table),
                              {stored}),
            1);
        QCOMPARE(shown().value(QStringLiteral("Name")).toString(), stored); // shown as stored
    }
}

void TestNaimen::blankedNameIsRefused()
{
    m_program->sql("INSERT INTO sost (\"Name\") VALUES ('Трудоустроен')");
    QVERIFY(showEditor(3, 3));
    QVERIFY(shown().locate(QStringLiteral("Name"), {QStringLiteral("Трудоустроен")}));
    QTest::keyClick(Fnaimen->DBGrid1, Qt::Key_F2);
    QVERIFY(openEditor());
    openEditor()->clear();
    MessageBoxAnswerer ok(QStringLiteral("OK"));
    Fnaimen->Bp->click();
    QCOMPARE(ok.texts(), QStringList{TDM::blankNameText()});
    QCOMPARE(shown().state(), kdb::Dataset::State::Edit); // the user may type it again
    Fnaimen->Bc->click();
    QCOMPARE(shown().state(), kdb::Dataset::State::Browse);
    QCOMPARE(shown().value(QStringLiteral("Name")).toString(), QStringLiteral("Трудоустроен"));
    QCOMPARE(m_program->scalar("SELECT count(*) FROM sost WHERE \"Name\"='Трудоустроен'"), 1);
}

void TestNaimen::rowLockedByAnotherWorkstation()
{
    m_program->sql("INSERT INTO spnav (\"Name\") VALUES ('Стенография')");
    auto other = kdb::Database::forFolder(m_program->dataFolder());
    other->open();
    auto theirs = kdb::Table::opened(*other, QStringLiteral("spnav.db"));
    QVERIFY(theirs->locate(QStringLiteral("Name"), {QStringLiteral("Стенография")}));
    theirs->edit(); // another workstation edits the row

    QVERIFY(showEditor(4, 1));
    QVERIFY(shown().locate(QStringLiteral("Name"), {QStringLiteral("Стенография")}));
    {
        MessageBoxAnswerer ok(QStringLiteral("OK"));
        type(QStringLiteral("x"));
        QCOMPARE(ok.count(), 1);
        QVERIFY2(ok.texts().front().contains(QStringLiteral("другой пользователь")),
                 qPrintable(ok.texts().front()));
    }
    QCOMPARE(shown().state(), kdb::Dataset::State::Browse);
    {
        MessageBoxAnswerer yes(QStringLiteral("Да"));
        MessageBoxAnswerer ok(QStringLiteral("OK"));
        Fnaimen->Bd->click();
        QCOMPARE(ok.count(), 1);
        QVERIFY2(ok.texts().front().contains(QStringLiteral("другой пользователь")),
                 qPrintable(ok.texts().front()));
    }
    QCOMPARE(m_program->scalar("SELECT count(*) FROM spnav WHERE \"Name\"='Стенография'"), 1);
    theirs->cancel();
}

void TestNaimen::baseCurrencyCannotBeChanged()
{
    QVERIFY(showEditor(3, 4)); // "Валюта"
    QVERIFY(shown().locate(QStringLiteral("Keyn"), {1}));
    const QString name = shown().value(QStringLiteral("Name")).toString();
    {
        MessageBoxAnswerer ok(QStringLiteral("OK"));
        type(QStringLiteral("x"));
        QCOMPARE(ok.texts(), QStringList{TDM::baseCurrencyText()});
    }
    QCOMPARE(shown().state(), kdb::Dataset::State::Browse);
    {
        MessageBoxAnswerer yes(QStringLiteral("Да"));
        MessageBoxAnswerer ok(QStringLiteral("OK"));
        Fnaimen->Bd->click();
        QCOMPARE(ok.texts(), QStringList{TDM::baseCurrencyText()});
    }
    QCOMPARE(m_program->scalar("SELECT \"Name\" = ? FROM valut WHERE \"Keyn\"=1", {name}), 1);
}

QTEST_MAIN(TestNaimen)
#include "tst_naimen.moc"
