// The candidate list as a user works it: the base switch with its buttons and count, the surname
// search, the delete with the detail rows (one transaction, refused under another program's
// lock), the transfers, the new card and the refresh.
#include "candidatefixture.h"

#include "dbgrid.h"
#include "fpbook.h"
#include "placement.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>
#include <iostream>

using candtest::Answers;
using candtest::Person;
using kadrol::Flist;
using kadrol::Fres;

namespace {

// The fixture: two current candidates, one archive candidate, one blacklist row.
struct Agency {
    int ivanov, elkin, dartagnan;
};

Agency fillAgency()
{
    candtest::addNameLists();
    Agency a{};
    a.ivanov = candtest::addCandidate(
        {QStringLiteral("Иванов"), QStringLiteral("Иван"), QStringLiteral("Иванович")});
    a.elkin = candtest::addCandidate(
        {QStringLiteral("Ёлкин"), QStringLiteral("Пётр"), QStringLiteral("Ильич")});
    a.dartagnan = candtest::addCandidate(
        {QStringLiteral("Д'Артаньян"), QStringLiteral("Шарль"), QString(), 1});
    DM->black.insertRecord({QVariant(), QStringLiteral("Жулин"), QStringLiteral("Олег"), QString(),
                            QVariant(), QDate(2020, 1, 1), QString(), QString(), QString(),
                            QVariant(), true, QString(), QString(), QString(), QString(), 0,
                            QString()});
    return a;
}

void showBase(int item)
{
    Flist->setBase(item);
    Flist->RGClick();
    Flist->show();
}

bool enabled(const QString& caption)
{
    return Flist->button(caption)->isEnabled();
}

// A second program on the same Data folder holding a candidate's record lock.
class LockHolder {
public:
    LockHolder(const QString& folder, int key)
    {
        m_process.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--child"), folder, QString::number(key)});
        m_process.waitForReadyRead(20000);
        m_ready = m_process.readAll().contains("ready");
    }
    ~LockHolder()
    {
        m_process.write("\n");
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }
    bool ready() const { return m_ready; }

private:
    QProcess m_process;
    bool m_ready = false;
};

int runChild(const QStringList& args)
{
    auto db = kdb::Database::forFolder(args.value(0));
    db->open();
    auto reserv = kdb::Table::opened(*db, QStringLiteral("RESERV.DB"));
    reserv->locate(QStringLiteral("Keyr"), {args.value(1).toInt()});
    reserv->edit();
    std::cout << "ready" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    reserv->cancel();
    return 0;
}

} // namespace

class TestCandidateList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void baseSwitch_data();
    void baseSwitch();
    void mainWindowOpensTheList();
    void search_data();
    void search();
    void deleteCandidate_data();
    void deleteCandidate();
    void deleteIsOneTransaction();
    void deleteRefusedUnderAnotherProgramsLock();
    void deleteFromBlacklist();
    void transferBetweenBases_data();
    void transferBetweenBases();
    void transferToBlacklist_data();
    void transferToBlacklist();
    void newCandidateJoinsTheShownBase();
    void refreshShowsWhatOthersAdded();
    void placementKeptBetweenRuns();
};

void TestCandidateList::baseSwitch_data()
{
    QTest::addColumn<bool>("filled");
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("fifthField");
    QTest::addColumn<QString>("transferHint");
    const QString toArchive = QStringLiteral("Передача карточки в базу \"Архивные\"");
    const QString toCurrent = QStringLiteral("Передача карточки в базу \"Действующие\"");
    QTest::addRow("current, filled") << true << 0 << 2 << "Datreg" << toArchive;
    QTest::addRow("archive, filled") << true << 1 << 1 << "Datreg" << toCurrent;
    QTest::addRow("blacklist, filled") << true << 2 << 1 << "Dzanes" << QString();
    QTest::addRow("current, empty") << false << 0 << 0 << "Datreg" << toArchive;
    QTest::addRow("archive, empty") << false << 1 << 0 << "Datreg" << toCurrent;
    QTest::addRow("blacklist, empty") << false << 2 << 0 << "Dzanes" << QString();
}

void TestCandidateList::baseSwitch()
{
    QFETCH(bool, filled);
    QFETCH(int, item);
    QFETCH(int, count);
    QFETCH(QString, fifthField);
    QFETCH(QString, transferHint);
    candtest::Program program;
    QVERIFY(program.started());
    if (filled)
        fillAgency();
    // Coming from the blacklist, the fifth column goes back to the registration date.
    showBase(2);
    showBase(item);
    QCOMPARE(Flist->windowTitle(), QStringLiteral("Список кандидатов"));
    QCOMPARE(Flist->countText(), QStringLiteral("Записей:") + QString::number(count));
    QCOMPARE(Flist->grid()->gridModel()->rowCount(), count);
    QCOMPARE(Flist->grid()->gridModel()->columns().at(4).fieldName, fifthField);
    QCOMPARE(Flist->grid()->gridModel()->headerData(4, Qt::Horizontal).toString(),
             QStringLiteral("Д.регистр."));
    const bool any = count > 0;
    QCOMPARE(enabled(QStringLiteral("Карточка")), any);
    QCOMPARE(enabled(QStringLiteral("Удалить")), any);
    QCOMPARE(enabled(QStringLiteral("Передать")), any && item != 2);
    QCOMPARE(enabled(QStringLiteral("В черн.сп.")), any && item != 2);
    QCOMPARE(enabled(QStringLiteral("Печать")), any);
    QVERIFY(enabled(QStringLiteral("Новый")));
    QVERIFY(enabled(QStringLiteral("Поиск")));
    if (item != 2)
        QCOMPARE(Flist->button(QStringLiteral("Передать"))->toolTip(), transferHint);
    if (filled && item == 0) {
        // Name order; the registration number in the first column.
        QCOMPARE(Flist->grid()->gridModel()->index(0, 1).data().toString(),
                 QStringLiteral("Ёлкин"));
        QVERIFY(!Flist->grid()->gridModel()->index(0, 0).data().toString().isEmpty());
    }
    if (filled && item == 2) // the blacklist has no registration number
        QCOMPARE(Flist->grid()->gridModel()->index(0, 0).data().toString(), QString());
}

void TestCandidateList::mainWindowOpensTheList()
{
    candtest::Program program;
    QVERIFY(program.started());
    fillAgency();
    Flist->setBase(1);
    kadrol::Fbook->button(QStringLiteral("Кандидаты"))->click();
    QVERIFY(Flist->isVisible());
    QCOMPARE(Flist->base(), 1); // the base last chosen
    QCOMPARE(Flist->countText(), QStringLiteral("Записей:1"));
    // The menu entries choose their base first.
    kadrol::Fbook->menuEntry(QStringLiteral("Кандидаты/Черный список"))->trigger();
    QCOMPARE(Flist->base(), 2);
    QCOMPARE(Flist->grid()->gridModel()->columns().at(4).fieldName, QStringLiteral("Dzanes"));
    kadrol::Fbook->menuEntry(QStringLiteral("Кандидаты/Действующие"))->trigger();
    QCOMPARE(Flist->base(), 0);
    QCOMPARE(Flist->countText(), QStringLiteral("Записей:2"));
}

void TestCandidateList::search_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("found"); // empty: not found
    QTest::addRow("lower case finds the capital") << "ива"
                                                  << "Иванов";
    QTest::addRow("upper case") << "ИВАНОВ"
                                << "Иванов";
    QTest::addRow("Ё typed as Ё") << "ёлк"
                                  << "Ёлкин";
    QTest::addRow("no match") << "Щ" << QString();
}

void TestCandidateList::search()
{
    QFETCH(QString, typed);
    QFETCH(QString, found);
    candtest::Program program;
    QVERIFY(program.started());
    fillAgency();
    showBase(0);
    DM->Reserv.last();
    const QString before = DM->Reserv.fieldByName(QStringLiteral("NameF")).asString();
    candtest::whenModal(kadrol::Fsrch, [typed]() {
        kadrol::Fsrch->Edit1()->setText(typed);
        QTest::keyClick(kadrol::Fsrch->Edit1(), Qt::Key_Return); // Enter presses "Ok"
    });
    Answers answers;
    Flist->button(QStringLiteral("Поиск"))->click();
    if (found.isEmpty()) {
        QCOMPARE(answers.texts(), QStringList{QStringLiteral("Запись не найдена!")});
        QCOMPARE(DM->Reserv.fieldByName(QStringLiteral("NameF")).asString(), before);
    } else {
        QCOMPARE(answers.texts(), QStringList());
        QCOMPARE(DM->Reserv.fieldByName(QStringLiteral("NameF")).asString(), found);
    }
    // The dialog keeps the text for the next search; "Отмена" ends a search without moving.
    candtest::whenModal(kadrol::Fsrch, []() {
        candtest::button(kadrol::Fsrch, QStringLiteral("Отмена"))->click();
    });
    const int row = DM->Reserv.recNo();
    Flist->BsClick();
    QCOMPARE(kadrol::Fsrch->text(), typed);
    QCOMPARE(DM->Reserv.recNo(), row);
}

void TestCandidateList::deleteCandidate_data()
{
    QTest::addColumn<bool>("withDetails");
    QTest::addColumn<QString>("answer");
    QTest::addRow("without details") << false << "Да";
    QTest::addRow("with rows in all seven tables") << true << "Да";
    QTest::addRow("No keeps everything") << true << "Нет";
}

void TestCandidateList::deleteCandidate()
{
    QFETCH(bool, withDetails);
    QFETCH(QString, answer);
    candtest::Program program;
    QVERIFY(program.started());
    const Agency a = fillAgency();
    if (withDetails) {
        candtest::addDetails(a.ivanov);
        candtest::addDetails(a.elkin);
    }
    showBase(0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {a.ivanov}));
    Answers answers({answer});
    Flist->button(QStringLiteral("Удалить"))->click();
    QCOMPARE(answers.texts(), QStringList{QStringLiteral("Удалить данную карточку из базы?")});
    const bool yes = answer == QStringLiteral("Да");
    QCOMPARE(candtest::rowCount(QStringLiteral("RESERV.DB"),
                                QStringLiteral("keyr=") + QString::number(a.ivanov)),
             yes ? 0 : 1);
    QCOMPARE(candtest::detailCount(a.ivanov), withDetails && !yes ? 7 : 0);
    QCOMPARE(candtest::detailCount(a.elkin), withDetails ? 7 : 0); // the neighbour keeps its own
    QCOMPARE(DM->Reserv.recordCount(), yes ? 1 : 2);
    QCOMPARE(Flist->countText(), QStringLiteral("Записей:") + QString::number(yes ? 1 : 2));
    QVERIFY(!DM->sobsd.isOpen());
    QVERIFY(!DM->sobsd.cachedUpdates());
    QCOMPARE(DM->Reserv.state(), kdb::Dataset::State::Browse);
}

void TestCandidateList::deleteIsOneTransaction()
{
    // The store refuses the candidate row after the details were written: nothing is lost.
    candtest::Program program;
    QVERIFY(program.started());
    const Agency a = fillAgency();
    candtest::addDetails(a.ivanov);
    showBase(0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {a.ivanov}));
    DM->Reserv.beforeDelete = [](kdb::Dataset&) {
        throw kdb::Error(kdb::Error::Code::General, QStringLiteral("отказ хранилища"));
    };
    Answers answers({QStringLiteral("Да")});
    Flist->button(QStringLiteral("Удалить"))->click();
    DM->Reserv.beforeDelete = nullptr;
    QCOMPARE(answers.texts(),
             (QStringList{QStringLiteral("Удалить данную карточку из базы?"),
                          QStringLiteral(
                              "Данные заблокированы другим пользователем. Повторите операцию.")}));
    QCOMPARE(candtest::detailCount(a.ivanov), 7);
    QCOMPARE(candtest::rowCount(QStringLiteral("RESERV.DB"),
                                QStringLiteral("keyr=") + QString::number(a.ivanov)),
             1);
    QCOMPARE(DM->Reserv.state(), kdb::Dataset::State::Browse);
}

void TestCandidateList::deleteRefusedUnderAnotherProgramsLock()
{
    candtest::Program program;
    QVERIFY(program.started());
    const Agency a = fillAgency();
    candtest::addDetails(a.ivanov);
    showBase(0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {a.ivanov}));
    {
        LockHolder other(program.dataFolder(), a.ivanov);
        QVERIFY(other.ready());
        {
            Answers answers({QStringLiteral("Да")});
            Flist->button(QStringLiteral("Удалить"))->click();
            QCOMPARE(
                answers.texts().value(1),
                QStringLiteral("Данные заблокированы другим пользователем. Повторите операцию."));
        }
        QCOMPARE(candtest::detailCount(a.ivanov), 7);
        QCOMPARE(DM->Reserv.recordCount(), 2);
        // Nor can the card be edited: the engine's lock message, and the card stays in view mode.
        QStringList said;
        bool viewMode = false;
        candtest::whenModal(Fres, [&]() {
            Answers ok;
            candtest::button(Fres, QStringLiteral("Редактировать"))->click();
            said = ok.texts();
            viewMode = !Fres->editMode();
            candtest::button(Fres, QStringLiteral("Выход"))->click();
        });
        Flist->button(QStringLiteral("Карточка"))->click();
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.constFirst().contains(QStringLiteral("другой пользователь")),
                 qPrintable(said.constFirst()));
        QVERIFY(viewMode);
    }
    // The other program let go: the delete goes through.
    Answers answers({QStringLiteral("Да")});
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {a.ivanov}));
    Flist->button(QStringLiteral("Удалить"))->click();
    QCOMPARE(candtest::detailCount(a.ivanov), 0);
    QCOMPARE(DM->Reserv.recordCount(), 1);
}

void TestCandidateList::deleteFromBlacklist()
{
    candtest::Program program;
    QVERIFY(program.started());
    fillAgency();
    showBase(2);
    Answers answers({QStringLiteral("Да")});
    Flist->button(QStringLiteral("Удалить"))->click();
    QCOMPARE(answers.texts(), QStringList{QStringLiteral("Удалить данную карточку из базы?")});
    QCOMPARE(candtest::rowCount(QStringLiteral("BLACK.DB")), 0);
    QCOMPARE(Flist->countText(), QStringLiteral("Записей:0"));
    QVERIFY(!enabled(QStringLiteral("Удалить")));
}

void TestCandidateList::transferBetweenBases_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<int>("arch");
    QTest::addRow("current to archive") << 0 << "Да"
                                        << "Передать карточку данного кандидата в архив ?" << 1;
    QTest::addRow("archive to current")
        << 1 << "Да"
        << "Передать карточку данного кандидата в действующие ?" << 0;
    QTest::addRow("No") << 0 << "Нет"
                        << "Передать карточку данного кандидата в архив ?" << 0;
}

void TestCandidateList::transferBetweenBases()
{
    QFETCH(int, item);
    QFETCH(QString, answer);
    QFETCH(QString, question);
    QFETCH(int, arch);
    candtest::Program program;
    QVERIFY(program.started());
    fillAgency();
    showBase(item);
    const int key = DM->Reserv.fieldByName(QStringLiteral("Keyr")).asInt();
    const int before = DM->Reserv.recordCount();
    Answers answers({answer});
    Flist->button(QStringLiteral("Передать"))->click();
    QCOMPARE(answers.texts(), QStringList{question});
    QCOMPARE(candtest::rowCount(QStringLiteral("RESERV.DB"),
                                QStringLiteral("(keyr=%1) and (arch=%2)").arg(key).arg(arch)),
             1);
    // The candidate leaves the base shown at once.
    QCOMPARE(DM->Reserv.recordCount(), answer == QStringLiteral("Да") ? before - 1 : before);
    QVERIFY(!Fres->isVisible());
}

void TestCandidateList::transferToBlacklist_data()
{
    QTest::addColumn<QString>("deleteAnswer");
    QTest::addRow("Yes to the delete") << "Да";
    QTest::addRow("No to the delete keeps both") << "Нет";
}

void TestCandidateList::transferToBlacklist()
{
    QFETCH(QString, deleteAnswer);
    candtest::Program program;
    QVERIFY(program.started());
    const Agency a = fillAgency();
    candtest::addDetails(a.ivanov);
    showBase(0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {a.ivanov}));
    {
        kdb::Table& r = DM->Reserv;
        r.edit();
        r.fieldByName(QStringLiteral("PaspN")).setValue(1);
        r.fieldByName(QStringLiteral("PaspS")).setValue(QStringLiteral("4500 123456"));
        r.fieldByName(QStringLiteral("DatBd")).setValue(QDate(1980, 6, 15));
        r.post();
    }
    Answers answers({QStringLiteral("Да"), deleteAnswer});
    Flist->button(QStringLiteral("В черн.сп."))->click();
    QCOMPARE(answers.texts(),
             (QStringList{QStringLiteral("Передать карточку данного кандидата в Черный список?"),
                          QStringLiteral("Удалить данную карточку из базы?")}));
    auto black = kdb::Table::opened(DM->Dtb, QStringLiteral("BLACK.DB"));
    QVERIFY(black->locate(QStringLiteral("Namef"), {QStringLiteral("Иванов")}));
    QCOMPARE(black->fieldByName(QStringLiteral("Namei")).asString(), QStringLiteral("Иван"));
    QCOMPARE(black->fieldByName(QStringLiteral("Paspn")).asString(), QStringLiteral("1"));
    QCOMPARE(black->fieldByName(QStringLiteral("Pasps")).asString(), QStringLiteral("4500 123456"));
    QCOMPARE(black->fieldByName(QStringLiteral("Datbd")).asDate(), QDate(1980, 6, 15));
    QCOMPARE(black->fieldByName(QStringLiteral("Dzanes")).asDate(), QDate::currentDate());
    QCOMPARE(black->fieldByName(QStringLiteral("Nbas")).asInt(), 1);
    QCOMPARE(black->fieldByName(QStringLiteral("Mf")).value().toBool(), true);
    const bool deleted = deleteAnswer == QStringLiteral("Да");
    QCOMPARE(candtest::rowCount(QStringLiteral("RESERV.DB"),
                                QStringLiteral("keyr=") + QString::number(a.ivanov)),
             deleted ? 0 : 1);
    QCOMPARE(candtest::detailCount(a.ivanov), deleted ? 0 : 7);
}

void TestCandidateList::newCandidateJoinsTheShownBase()
{
    candtest::Program program;
    QVERIFY(program.started());
    fillAgency();
    showBase(1);
    QVERIFY(!Flist->refreshTimer()->isActive());
    candtest::whenModal(Fres, []() {
        QCOMPARE(Fres->modeLabel(), QStringLiteral("Добавление"));
        QCOMPARE(Fres->page(), 0);
        QCOMPARE(DM->Reserv.state(), kdb::Dataset::State::Insert);
        // While the card is shown the list is not refreshed.
        QVERIFY(!Flist->refreshTimer()->isActive());
        DM->Reserv.fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Новиков"));
        DM->Reserv.fieldByName(QStringLiteral("Sfr")).setValue(1); // chosen in the catalog
        candtest::button(Fres, QStringLiteral("Сохранить"))->click();
        candtest::button(Fres, QStringLiteral("Выход"))->click();
    });
    Flist->button(QStringLiteral("Новый"))->click();
    QVERIFY(!Fres->isVisible());
    QVERIFY(Flist->refreshTimer()->isActive());
    QCOMPARE(Flist->refreshTimer()->interval(), 60000);
    auto all = kdb::Table::opened(DM->Dtb, QStringLiteral("RESERV.DB"));
    QVERIFY(all->locate(QStringLiteral("NameF"), {QStringLiteral("Новиков")}));
    QCOMPARE(all->fieldByName(QStringLiteral("Arch")).asInt(), 1);
    QCOMPARE(Flist->countText(), QStringLiteral("Записей:2"));
}

void TestCandidateList::refreshShowsWhatOthersAdded()
{
    candtest::Program program;
    QVERIFY(program.started());
    fillAgency();
    showBase(0);
    {
        // Another program adds a candidate to the current base.
        auto other = kdb::Database::forFolder(program.dataFolder());
        other->open();
        auto reserv = kdb::Table::opened(*other, QStringLiteral("RESERV.DB"));
        reserv->append();
        reserv->fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Чужой"));
        reserv->fieldByName(QStringLiteral("Arch")).setValue(0);
        reserv->post();
    }
    QCOMPARE(Flist->countText(), QStringLiteral("Записей:2"));
    Flist->refreshTimer()->setInterval(20);
    Flist->refreshTimer()->start();
    QTRY_COMPARE(Flist->countText(), QStringLiteral("Записей:3"));
    // A row being edited is not re-read under the user.
    DM->Reserv.edit();
    {
        auto other = kdb::Database::forFolder(program.dataFolder());
        other->open();
        auto reserv = kdb::Table::opened(*other, QStringLiteral("RESERV.DB"));
        reserv->append();
        reserv->fieldByName(QStringLiteral("NameF")).setValue(QStringLiteral("Третий"));
        reserv->fieldByName(QStringLiteral("Arch")).setValue(0);
        reserv->post();
    }
    QTest::qWait(100);
    QCOMPARE(Flist->countText(), QStringLiteral("Записей:3"));
    DM->Reserv.cancel();
}

void TestCandidateList::placementKeptBetweenRuns()
{
    QFile::remove(widgets::settingsFilePath());
    {
        candtest::Program program;
        QVERIFY(program.started());
        showBase(0);
        Flist->resize(700, 500);
        Flist->grid()->horizontalHeader()->resizeSection(1, 222);
        Flist->grid()->horizontalHeader()->moveSection(2, 3);
        Flist->button(QStringLiteral("Выход"))->click();
        QVERIFY(!Flist->isVisible());
    }
    candtest::Program again;
    QVERIFY(again.started());
    showBase(0);
    QCOMPARE(Flist->size(), QSize(700, 500));
    QCOMPARE(Flist->grid()->horizontalHeader()->sectionSize(1), 222);
    QCOMPARE(Flist->grid()->horizontalHeader()->visualIndex(2), 3);
    QSettings settings(widgets::settingsFilePath(), QSettings::IniFormat);
    QVERIFY(settings.childGroups().contains(QStringLiteral("list")));
    Flist->hide();
    QFile::remove(widgets::settingsFilePath());
}

int main(int argc, char** argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "--child") {
        QCoreApplication app(argc, argv);
        QStringList args = app.arguments().mid(2);
        try {
            return runChild(args);
        } catch (const kdb::Error& e) {
            std::cout << e.message().toStdString() << std::endl;
            return 1;
        }
    }
    QApplication app(argc, argv);
    TestCandidateList test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_candidatelist.moc"
