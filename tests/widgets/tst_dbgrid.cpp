// The grid as a user drives it with the keyboard: moving down past the last row appends a row,
// leaving a row posts it, a new row left untouched is no row, Escape cancels; a record locked by
// another workstation refuses the typing with the engine's message. Beside it: lookup columns,
// title clicks, the saved column layout, and the action guard every handler runs in.

#include "database.h"
#include "dbgrid.h"
#include "error.h"
#include "guard.h"
#include "guisupport.h"
#include "table.h"
#include "testsupport.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

using kadroltest::MessageBoxAnswerer;
using kadroltest::TempStore;
using widgets::DataSource;
using widgets::DbGrid;
using widgets::GridColumn;

namespace {

const char* kSchema = R"(
CREATE TABLE town (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(30));
CREATE TABLE firm (Keyf INTEGER PRIMARY KEY AUTOINCREMENT, Fname VARCHAR(40), Town INTEGER);
)";

class Fixture {
public:
    Fixture() : store(QString::fromLatin1(kSchema)), db(store.open(QStringLiteral("TESTDB")))
    {
        db->executeStoreScript(QStringLiteral(
            "INSERT INTO town (Name) VALUES ('Москва'), ('Тверь');"
            "INSERT INTO firm (Fname, Town) VALUES ('Альфа', 1), ('Вега', 2), ('Гамма', 0);"));
        town.setDatabase(db.get());
        town.setTableName(QStringLiteral("town.db"));
        town.setIndexFieldNames(QStringLiteral("Name"));
        firm.setDatabase(db.get());
        firm.setTableName(QStringLiteral("firm.db"));
        firm.setIndexFieldNames(QStringLiteral("Fname"));
        firm.addLookupField(QStringLiteral("ntown"), QStringLiteral("Town"), &town,
                            QStringLiteral("Keyn"), QStringLiteral("Name"), 30);
        town.open();
        firm.open();
        source.setDataset(&firm);
        grid = new DbGrid(&window);
        grid->setDataSource(&source);
        grid->setColumns({{QStringLiteral("Фирма"), QStringLiteral("Fname")},
                          {QStringLiteral("Город"), QStringLiteral("ntown")}});
        new QVBoxLayout(&window);
        window.layout()->addWidget(grid);
        window.resize(400, 300);
    }

    bool showWindow()
    {
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        grid->setFocus();
        return true;
    }

    // The firm names as another workstation reads them from the store, in name order.
    QStringList storedNames()
    {
        auto check = store.open();
        auto t = kdb::Table::opened(*check, QStringLiteral("firm.db"), QStringLiteral("Fname"));
        QStringList names;
        for (t->first(); !t->eof(); t->next())
            names << t->value(QStringLiteral("Fname")).toString();
        return names;
    }

    void key(Qt::Key k) { QTest::keyClick(grid, k); }
    // Types text into the grid's current cell (an editor opens with the first key).
    void type(const QString& text)
    {
        for (QChar c : text) {
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : grid;
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key(c.toUpper().unicode()), QString(c),
                                Qt::NoModifier);
        }
    }
    // Presses a key where the keyboard focus is (an open editor or the grid).
    void keyAtFocus(Qt::Key k)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : grid;
        QTest::keyClick(target, k);
        QCoreApplication::processEvents();
    }

    TempStore store;
    std::unique_ptr<kdb::Database> db;
    kdb::Table town;
    kdb::Table firm;
    DataSource source;
    QWidget window;
    DbGrid* grid;
};

} // namespace

class TestDbGrid : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void appendTypeAndLeavePosts();
    void untouchedNewRowIsNoRow();
    void escapeCancelsTheRowEdit();
    void lockedRecordRefusesTyping();
    void lookupColumnShowsTheName();
    void gridFollowsTheDataset();
    void titleClicks();
    void layoutSavedAndRestored_data();
    void layoutSavedAndRestored();
    void guardShowsTheEngineMessage_data();
    void guardShowsTheEngineMessage();
};

void TestDbGrid::appendTypeAndLeavePosts()
{
    Fixture f;
    QVERIFY(f.showWindow());
    QCOMPARE(f.grid->model()->rowCount(), 3);
    QTest::keyClick(f.grid, Qt::Key_End, Qt::ControlModifier); // the last row
    f.key(Qt::Key_Home);                                       // its first column
    QCoreApplication::processEvents();
    QCOMPARE(f.firm.recNo(), 2);
    f.key(Qt::Key_Down); // past the last row: a new row
    QCOMPARE(f.firm.state(), kdb::Dataset::State::Insert);
    QCOMPARE(f.grid->model()->rowCount(), 4);
    QCOMPARE(f.grid->model()->headerData(3, Qt::Vertical).toString(), QStringLiteral("*"));
    f.type(QStringLiteral("Бета"));
    f.keyAtFocus(Qt::Key_Up);
    QTRY_COMPARE(f.firm.state(), kdb::Dataset::State::Browse);
    QCOMPARE(f.storedNames(), (QStringList{"Альфа", "Бета", "Вега", "Гамма"}));
    QCOMPARE(f.grid->model()->rowCount(), 4);
    QCOMPARE(f.grid->model()->index(1, 0).data().toString(), QStringLiteral("Бета"));
}

void TestDbGrid::untouchedNewRowIsNoRow()
{
    Fixture f;
    QVERIFY(f.showWindow());
    f.firm.last();
    QCoreApplication::processEvents();
    f.key(Qt::Key_Down);
    QCOMPARE(f.firm.state(), kdb::Dataset::State::Insert);
    f.key(Qt::Key_Down); // down again on the empty new row stays on it
    QCOMPARE(f.grid->model()->rowCount(), 4);
    f.key(Qt::Key_Up);
    QTRY_COMPARE(f.firm.state(), kdb::Dataset::State::Browse);
    QCOMPARE(f.grid->model()->rowCount(), 3);
    QCOMPARE(f.firm.recordCount(), 3);
    QCOMPARE(f.storedNames().size(), 3);
}

void TestDbGrid::escapeCancelsTheRowEdit()
{
    Fixture f;
    QVERIFY(f.showWindow());
    f.firm.first();
    QCoreApplication::processEvents();
    f.type(QStringLiteral("Омега"));
    QCOMPARE(f.firm.state(), kdb::Dataset::State::Edit); // typing took the record
    f.keyAtFocus(Qt::Key_Escape);                        // closes the editor
    if (f.firm.state() != kdb::Dataset::State::Browse)
        f.keyAtFocus(Qt::Key_Escape); // and the row edit
    QCOMPARE(f.firm.state(), kdb::Dataset::State::Browse);
    QCOMPARE(f.firm.value(QStringLiteral("Fname")).toString(), QStringLiteral("Альфа"));
    QCOMPARE(f.storedNames(), (QStringList{"Альфа", "Вега", "Гамма"}));
}

void TestDbGrid::lockedRecordRefusesTyping()
{
    Fixture f;
    auto otherDb = f.store.open(QStringLiteral("OTHER"));
    auto other = kdb::Table::opened(*otherDb, QStringLiteral("firm.db"), QStringLiteral("Fname"));
    other->edit(); // another workstation edits "Альфа"
    QVERIFY(f.showWindow());
    f.firm.first();
    QCoreApplication::processEvents();
    MessageBoxAnswerer ok(QStringLiteral("OK"));
    f.type(QStringLiteral("Х"));
    QTRY_COMPARE(ok.count(), 1);
    QVERIFY2(ok.texts().first().contains(QStringLiteral("FIRM.DB"), Qt::CaseInsensitive),
             qPrintable(ok.texts().first()));
    QCOMPARE(ok.titles().first(), QStringLiteral("Кадролог"));
    QCOMPARE(f.firm.state(), kdb::Dataset::State::Browse);
    QVERIFY(!qobject_cast<QLineEdit*>(QApplication::focusWidget())); // no editor was opened
    other->cancel();
    QCOMPARE(f.storedNames(), (QStringList{"Альфа", "Вега", "Гамма"}));
}

void TestDbGrid::lookupColumnShowsTheName()
{
    Fixture f;
    const QAbstractItemModel* m = f.grid->model();
    QCOMPARE(m->index(0, 1).data().toString(), QStringLiteral("Москва"));
    QCOMPARE(m->index(1, 1).data().toString(), QStringLiteral("Тверь"));
    QCOMPARE(m->index(2, 1).data().toString(), QString()); // key 0: no town
    QCOMPARE(m->index(1, 1).data(widgets::DatasetModel::KeyRole).toInt(), 2);
    // A lookup column is edited by its key: the name picked stores the town's key.
    f.firm.setRecNo(2);
    QVERIFY(f.grid->model()->setData(m->index(2, 1), QStringLiteral("Тверь")));
    QCOMPARE(f.firm.state(), kdb::Dataset::State::Edit);
    QCOMPARE(f.firm.value(QStringLiteral("Town")).toInt(), 2);
    KVERIFY(f.firm.post());
    QCOMPARE(m->index(2, 1).data().toString(), QStringLiteral("Тверь"));
}

void TestDbGrid::gridFollowsTheDataset()
{
    Fixture f;
    QVERIFY(f.showWindow());
    f.firm.setRecNo(2);
    QCoreApplication::processEvents();
    QCOMPARE(f.grid->currentIndex().row(), 2);
    f.key(Qt::Key_Up);
    QTRY_COMPARE(f.firm.recNo(), 1);
    // Another filter renumbers the rows: the grid shows the new set.
    f.firm.setFilter(QStringLiteral("Town=2"));
    f.firm.setFiltered(true);
    QCOMPARE(f.grid->model()->rowCount(), 1);
    QCOMPARE(f.grid->model()->index(0, 0).data().toString(), QStringLiteral("Вега"));
}

void TestDbGrid::titleClicks()
{
    Fixture f;
    QVERIFY(f.showWindow());
    QSignalSpy clicked(f.grid, &DbGrid::titleClicked);
    QHeaderView* titles = f.grid->horizontalHeader();
    const QPoint centre(titles->sectionViewportPosition(1) + titles->sectionSize(1) / 2,
                        titles->height() / 2);
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.first().first().toInt(), 1);
}

void TestDbGrid::layoutSavedAndRestored_data()
{
    QTest::addColumn<QString>("order");
    QTest::addColumn<QString>("widths");
    QTest::addColumn<bool>("applied");
    QTest::addRow("saved by the grid") << QString() << QString() << true;
    QTest::addRow("other columns") << "0 1 2"
                                   << "10 20 30" << false;
    QTest::addRow("a column twice") << "1 1"
                                    << "50 60" << false;
    QTest::addRow("no number") << "0 x"
                               << "50 60" << false;
    QTest::addRow("nothing saved") << ""
                                   << "" << false;
}

void TestDbGrid::layoutSavedAndRestored()
{
    QFETCH(QString, order);
    QFETCH(QString, widths);
    QFETCH(bool, applied);
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("kadrol.ini")), QSettings::IniFormat);
    {
        Fixture f;
        QHeaderView* titles = f.grid->horizontalHeader();
        titles->moveSection(1, 0);
        titles->resizeSection(0, 123);
        titles->resizeSection(1, 77);
        f.grid->saveLayout(settings, QStringLiteral("list"));
    }
    if (!order.isNull()) {
        settings.setValue(QStringLiteral("list/ColumnOrder"), order);
        settings.setValue(QStringLiteral("list/ColumnWidths"), widths);
    }
    Fixture f;
    QHeaderView* titles = f.grid->horizontalHeader();
    const int width0 = titles->sectionSize(0);
    QCOMPARE(f.grid->restoreLayout(settings, QStringLiteral("list")), applied);
    if (applied) {
        QCOMPARE(titles->logicalIndex(0), 1);
        QCOMPARE(titles->sectionSize(0), 123);
        QCOMPARE(titles->sectionSize(1), 77);
    } else {
        QCOMPARE(titles->logicalIndex(0), 0);
        QCOMPARE(titles->sectionSize(0), width0);
    }
}

void TestDbGrid::guardShowsTheEngineMessage_data()
{
    QTest::addColumn<int>("thrown"); // 0 nothing, 1 engine error, 2 rule's abort, 3 other
    QTest::addColumn<bool>("finished");
    QTest::addColumn<QString>("message");
    QTest::addRow("runs to its end") << 0 << true << QString();
    QTest::addRow("engine error") << 1 << false << "Таблица \"ZAYAV.DB\" не найдена.";
    QTest::addRow("a rule refused, silent") << 2 << false << QString();
    QTest::addRow("another exception") << 3 << false << "сбой";
}

void TestDbGrid::guardShowsTheEngineMessage()
{
    QFETCH(int, thrown);
    QFETCH(bool, finished);
    QFETCH(QString, message);
    MessageBoxAnswerer ok(QStringLiteral("OK"));
    bool after = false;
    const bool result = widgets::guarded([&]() {
        if (thrown == 1)
            throw kdb::Error(kdb::Error::Code::NotFound,
                             QStringLiteral("Таблица \"ZAYAV.DB\" не найдена."));
        if (thrown == 2)
            throw kdb::Abort();
        if (thrown == 3)
            throw std::runtime_error("сбой");
        after = true;
    });
    QCOMPARE(result, finished);
    QCOMPARE(after, finished);
    if (message.isEmpty()) {
        QTest::qWait(50);
        QCOMPARE(ok.count(), 0);
    } else {
        QCOMPARE(ok.count(), 1);
        QCOMPARE(ok.texts().first(), message);
        QCOMPARE(ok.titles().first(), QStringLiteral("Кадролог"));
    }
}

QTEST_MAIN(TestDbGrid)
#include "tst_dbgrid.moc"
