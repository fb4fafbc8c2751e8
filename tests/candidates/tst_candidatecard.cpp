// The candidate card as a user works it: adding and saving with its rules and the duplicate-name
// question, cancel and the close question, the modes, the computed displays and enabling rules,
// the detail rows, the photo and the CV file, the transfers from the card.
#include "candidatefixture.h"

#include "dbcheckbox.h"
#include "dbgrid.h"
#include "naimen.h"
#include "shellservices.h"
#include "strkatl.h"

#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

using candtest::Answers;
using kadrol::Flist;
using kadrol::Fres;

namespace {

QWidget* control(const QString& accessibleName)
{
    for (QWidget* w : Fres->findChildren<QWidget*>())
        if (w->accessibleName() == accessibleName)
            return w;
    qWarning("no control %s", qPrintable(accessibleName));
    return nullptr;
}

QString textOf(const QString& accessibleName)
{
    auto* box = qobject_cast<QLineEdit*>(control(accessibleName));
    return box ? box->text() : QStringLiteral("<none>");
}

QLineEdit* lineEdit(const QString& accessibleName)
{
    for (QLineEdit* e : Fres->findChildren<QLineEdit*>())
        if (e->accessibleName() == accessibleName)
            return e;
    return nullptr;
}

void typeInto(const QString& accessibleName, const QString& text)
{
    QLineEdit* box = lineEdit(accessibleName);
    QVERIFY(box);
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    candtest::typeText(box, text);
}

void press(const QString& caption)
{
    QAbstractButton* b = candtest::button(Fres, caption);
    QVERIFY(b);
    QVERIFY2(b->isEnabled(), qPrintable(caption));
    b->click();
}

int ivanovKey = 0;

void fill()
{
    candtest::addNameLists();
    ivanovKey = candtest::addCandidate(
        {QStringLiteral("Иванов"), QStringLiteral("Иван"), QStringLiteral("Иванович")});
    candtest::addCandidate({QStringLiteral("Д'Артаньян"), QStringLiteral("Шарль"), QString(), 1});
    candtest::addCandidate({QStringLiteral("Петрова"), QStringLiteral("Анна"), QString()});
}

void showBase(int item)
{
    Flist->setBase(item);
    Flist->RGClick();
    Flist->show();
}

// Opens the card on the current candidate of the list and runs the steps inside it; the steps
// must close the card.
void openCard(std::function<void()> steps)
{
    candtest::whenModal(Fres, std::move(steps));
    Flist->button(QStringLiteral("Карточка"))->click();
}

void newCard(std::function<void()> steps)
{
    candtest::whenModal(Fres, std::move(steps));
    Flist->button(QStringLiteral("Новый"))->click();
}

// A desktop that opens nothing and remembers what it was given.
class FakeDesktop : public kadrol::Desktop {
public:
    bool hasAssociation(const QString&) override { return associated; }
    bool open(const QString& target) override
    {
        opened << target;
        return true;
    }
    bool associated = true;
    QStringList opened;
};

} // namespace

class TestCandidateCard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void save_data();
    void save();
    void closeQuestion_data();
    void closeQuestion();
    void cancelWhileAddingClosesTheCard();
    void modes();
    void computedDisplays_data();
    void computedDisplays();
    void salaryFormat_data();
    void salaryFormat();
    void enablingRules_data();
    void enablingRules();
    void detailRowsRefusedBeforeFirstSave();
    void deleteDetailRows();
    void photo_data();
    void photo();
    void cvFile_data();
    void cvFile();
    void transfersFromTheCard();
    void catalogChoice();
    void furtherSpecialities();
    void badInput_data();
    void badInput();
    void nameListButtons_data();
    void nameListButtons();
};

void TestCandidateCard::save_data()
{
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("patronymic");
    QTest::addColumn<bool>("inCatalog");
    QTest::addColumn<QString>("tn2");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("stored");
    const QString dup =
        QStringLiteral("Кандидат с такими Ф.И.О. уже есть в базе. Отменить занесение?");
    QTest::addRow("empty surname") << ""
                                   << "Иван"
                                   << "" << true << ""
                                   << "" << QStringList{"Нет фамилии кандидата!"} << false;
    QTest::addRow("no catalog position")
        << "Сидоров"
        << ""
        << "" << false << ""
        << "" << QStringList{"Кандидат не внесен в каталог!"} << false;
    QTest::addRow("duplicate, Yes discards") << "иванов"
                                             << "ИВАН"
                                             << "Иванович" << true << ""
                                             << "Да" << QStringList{dup} << false;
    QTest::addRow("duplicate, No saves") << "Иванов"
                                         << "Иван"
                                         << "Иванович" << true << ""
                                         << "Нет" << QStringList{dup} << true;
    QTest::addRow("duplicate with a quote") << "Д'АРТАНЬЯН"
                                            << "шарль"
                                            << "" << true << ""
                                            << "Да" << QStringList{dup} << false;
    QTest::addRow("same surname, other name") << "Иванов"
                                              << "Пётр"
                                              << "Иванович" << true << ""
                                              << "" << QStringList() << true;
    QTest::addRow("registration number cut at 10 characters") << "Сидоров"
                                                              << ""
                                                              << "" << true << "РН-1234567890"
                                                              << "" << QStringList() << true;
    QTest::addRow("typed registration number stays") << "Сидоров"
                                                     << ""
                                                     << "" << true << "А-15"
                                                     << "" << QStringList() << true;
}

void TestCandidateCard::save()
{
    QFETCH(QString, surname);
    QFETCH(QString, name);
    QFETCH(QString, patronymic);
    QFETCH(bool, inCatalog);
    QFETCH(QString, tn2);
    QFETCH(QString, answer);
    QFETCH(QStringList, messages);
    QFETCH(bool, stored);
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    showBase(0);
    const int before = candtest::rowCount(QStringLiteral("RESERV.DB"));
    Answers answers({answer});
    bool stayedInEdit = false;
    newCard([&]() {
        QCOMPARE(Fres->windowTitle(), QStringLiteral("  "));
        typeInto(QStringLiteral("Фамилия"), surname);
        typeInto(QStringLiteral("Имя"), name);
        typeInto(QStringLiteral("Отчество"), patronymic);
        typeInto(QStringLiteral("Рег №"), tn2);
        if (inCatalog) // the position the catalog window would give
            DM->Reserv.fieldByName(QStringLiteral("Sfr")).setValue(1);
        press(QStringLiteral("Сохранить"));
        if (Fres->isVisible()) {
            stayedInEdit = Fres->editMode();
            if (Fres->editMode())
                press(QStringLiteral("Отмена")); // closes a card being added
            else
                press(QStringLiteral("Выход"));
        }
    });
    QCOMPARE(answers.texts(), messages);
    QVERIFY(!Fres->isVisible());
    QCOMPARE(candtest::rowCount(QStringLiteral("RESERV.DB")), before + (stored ? 1 : 0));
    if (!stored) {
        QCOMPARE(stayedInEdit, answer.isEmpty()); // a rule keeps the card in edit mode
        return;
    }
    auto all = kdb::Table::opened(DM->Dtb, QStringLiteral("RESERV.DB"));
    all->last();
    const int key = all->fieldByName(QStringLiteral("Keyr")).asInt();
    QCOMPARE(all->fieldByName(QStringLiteral("Tn2")).asString(),
             tn2.isEmpty() ? QString::number(key) : tn2.left(10));
    QCOMPARE(all->fieldByName(QStringLiteral("NameF")).asString(), surname);
}

void TestCandidateCard::closeQuestion_data()
{
    QTest::addColumn<bool>("adding");
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("staysOpen");
    QTest::addColumn<QString>("storedSurname");
    const QString save = QStringLiteral("Сохранить изменения?");
    QTest::addRow("edit, Yes saves") << false << "Иванов-Петров"
                                     << "Да" << QStringList{save} << false << "Иванов-Петров";
    QTest::addRow("edit, No cancels") << false << "Иванов-Петров"
                                      << "Нет" << QStringList{save} << false << "Иванов";
    QTest::addRow("edit, Yes stopped by a rule keeps the card")
        << false << ""
        << "Да" << QStringList{save, "Нет фамилии кандидата!"} << true << "Иванов";
    QTest::addRow("adding, Yes stopped by a rule keeps the card")
        << true << ""
        << "Да" << QStringList{save, "Нет фамилии кандидата!"} << true << "";
    QTest::addRow("adding, No discards") << true << "Новиков"
                                         << "Нет" << QStringList{save} << false << "";
}

void TestCandidateCard::closeQuestion()
{
    QFETCH(bool, adding);
    QFETCH(QString, surname);
    QFETCH(QString, answer);
    QFETCH(QStringList, messages);
    QFETCH(bool, staysOpen);
    QFETCH(QString, storedSurname);
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    showBase(0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {ivanovKey}));
    const int before = candtest::rowCount(QStringLiteral("RESERV.DB"));
    bool open = false, edit = false;
    auto steps = [&]() {
        if (!adding)
            press(QStringLiteral("Редактировать"));
        typeInto(QStringLiteral("Фамилия"), surname);
        {
            Answers answers({answer, QStringLiteral("OK")});
            press(QStringLiteral("Выход"));
            QCOMPARE(answers.texts(), messages);
        }
        open = Fres->isVisible();
        edit = Fres->editMode();
        if (open) {
            QCOMPARE(Fres->modeLabel(),
                     adding ? QStringLiteral("Добавление") : QStringLiteral("Редактирование"));
            Answers no({QStringLiteral("Нет")});
            press(QStringLiteral("Отмена"));
            if (Fres->isVisible())
                press(QStringLiteral("Выход"));
        }
    };
    if (adding)
        newCard(steps);
    else
        openCard(steps);
    QCOMPARE(open, staysOpen);
    QCOMPARE(edit, staysOpen);
    QVERIFY(!Fres->isVisible());
    QCOMPARE(DM->Reserv.state(), kdb::Dataset::State::Browse);
    if (adding) {
        QCOMPARE(candtest::rowCount(QStringLiteral("RESERV.DB")), before);
    } else {
        auto all = kdb::Table::opened(DM->Dtb, QStringLiteral("RESERV.DB"));
        QVERIFY(all->locate(QStringLiteral("Keyr"), {ivanovKey}));
        QCOMPARE(all->fieldByName(QStringLiteral("NameF")).asString(), storedSurname);
    }
}

void TestCandidateCard::cancelWhileAddingClosesTheCard()
{
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    showBase(0);
    const int before = candtest::rowCount(QStringLiteral("RESERV.DB"));
    newCard([]() {
        typeInto(QStringLiteral("Фамилия"), QStringLiteral("Новиков"));
        press(QStringLiteral("Отмена"));
    });
    QVERIFY(!Fres->isVisible());
    QCOMPARE(candtest::rowCount(QStringLiteral("RESERV.DB")), before);
    QCOMPARE(DM->Reserv.state(), kdb::Dataset::State::Browse);
}

void TestCandidateCard::modes()
{
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    showBase(0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {ivanovKey}));
    openCard([]() {
        QCOMPARE(Fres->windowTitle(), QStringLiteral("Иванов Иван Иванович"));
        QCOMPARE(Fres->modeLabel(), QStringLiteral("Просмотр"));
        QCOMPARE(Fres->page(), 0);
        auto enabled = [](const char* caption) {
            return candtest::button(Fres, QString::fromUtf8(caption))->isEnabled();
        };
        auto* surname = qobject_cast<QLineEdit*>(control(QStringLiteral("Фамилия")));
        QVERIFY(surname->isReadOnly());
        QVERIFY(!enabled("Сохранить") && !enabled("Отмена"));
        QVERIFY(enabled("Редактировать") && enabled("В черн.список") && enabled("В архив"));
        press(QStringLiteral("Редактировать"));
        QCOMPARE(Fres->modeLabel(), QStringLiteral("Редактирование"));
        QVERIFY(!surname->isReadOnly());
        QVERIFY(enabled("Сохранить") && enabled("Отмена"));
        QVERIFY(!enabled("Редактировать") && !enabled("В черн.список") && !enabled("В архив"));
        QCOMPARE(DM->Reserv.state(), kdb::Dataset::State::Edit);
        press(QStringLiteral("Отмена"));
        QCOMPARE(Fres->modeLabel(), QStringLiteral("Просмотр"));
        QVERIFY(surname->isReadOnly());
        Fres->setPage(3);
        press(QStringLiteral("Выход"));
    });
    // Shown again, the card starts on its first page in view mode.
    openCard([]() {
        QCOMPARE(Fres->page(), 0);
        QCOMPARE(Fres->modeLabel(), QStringLiteral("Просмотр"));
        press(QStringLiteral("Выход"));
    });
}

void TestCandidateCard::computedDisplays_data()
{
    const QDate today = QDate::currentDate();
    const int year = today.year();
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("expected");
    QTest::addRow("age, no birth date") << "DatBd" << QVariant() << "Возраст"
                                        << "";
    QTest::addRow("age on the birthday") << "DatBd" << QVariant(today.addYears(-30)) << "Возраст"
                                         << "30";
    QTest::addRow("age the day before")
        << "DatBd" << QVariant(today.addYears(-30).addDays(1)) << "Возраст"
        << "29";
    QTest::addRow("driving, year 0") << "Apryear" << QVariant(0) << "Водительский стаж"
                                     << "";
    QTest::addRow("driving, empty") << "Apryear" << QVariant() << "Водительский стаж"
                                    << "";
    QTest::addRow("driving since 2010")
        << "Apryear" << QVariant(2010) << "Водительский стаж" << QString::number(year - 2010);
    QTest::addRow("child born this year") << "Chil1" << QVariant(year) << "Возраст ребенка 1"
                                          << "0";
    QTest::addRow("third child") << "Chil3" << QVariant(year - 7) << "Возраст ребенка 3"
                                 << "7";
    QTest::addRow("child, empty") << "Chil2" << QVariant() << "Возраст ребенка 2"
                                  << "";
    // Roubles (rate 1) shown in dollars (rate 90.5).
    QTest::addRow("salary converted") << "Oklmin" << QVariant(100000) << "Оклад в другой валюте"
                                      << "1104,97";
    QTest::addRow("salary 0") << "Oklmin" << QVariant(0) << "Оклад в другой валюте"
                              << "";
}

void TestCandidateCard::computedDisplays()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(QString, display);
    QFETCH(QString, expected);
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    showBase(0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {ivanovKey}));
    DM->Reserv.edit();
    DM->Reserv.fieldByName(QStringLiteral("DatBd")).setValue(QDate(1990, 1, 1));
    DM->Reserv.fieldByName(QStringLiteral("Apryear")).setValue(2000);
    DM->Reserv.fieldByName(QStringLiteral("Oklmin")).setValue(50000);
    DM->Reserv.fieldByName(field).setValue(value);
    DM->Reserv.post();
    QString shown;
    openCard([&]() {
        shown = textOf(display);
        press(QStringLiteral("Выход"));
    });
    QCOMPARE(shown, expected);
}

void TestCandidateCard::salaryFormat_data()
{
    QTest::addColumn<double>("amount");
    QTest::addColumn<double>("rateA");
    QTest::addColumn<double>("rateB");
    QTest::addColumn<QString>("expected");
    QTest::addRow("whole") << 1000.0 << 1.0 << 1.0 << "1000";
    QTest::addRow("two decimals, rounded") << 1000.0 << 1.0 << 3.0 << "333,33";
    QTest::addRow("trailing zero dropped") << 1.0 << 1.0 << 2.0 << ",5";
    QTest::addRow("zero is empty") << 0.0 << 90.5 << 1.0 << "";
    QTest::addRow("own currency rate 0") << 1000.0 << 0.0 << 1.0 << "";
    QTest::addRow("conversion rate 0") << 1000.0 << 1.0 << 0.0 << "";
    QTest::addRow("below a cent") << 1.0 << 1.0 << 1000.0 << "";
}

void TestCandidateCard::salaryFormat()
{
    QFETCH(double, amount);
    QFETCH(double, rateA);
    QFETCH(double, rateB);
    QFETCH(QString, expected);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QCOMPARE(kadrol::TFres::salaryText(amount, rateA, rateB), expected);
}

void TestCandidateCard::enablingRules_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("followers"); // enabled when checked
    QTest::addColumn<QStringList>("opposite");  // enabled when not checked
    QTest::addRow("driving permit")
        << "Водит.права" << QStringList{"Категория прав", "Права с"} << QStringList();
    QTest::addRow("own car") << "Личн.автомобиль" << QStringList{"Марка автомобиля"}
                             << QStringList();
    QTest::addRow("detained") << "Подвергался админ.задержанию"
                              << QStringList{"Подвергался админ.задержанию: подробности"}
                              << QStringList();
    QTest::addRow("investigated") << "Находился под следствием"
                                  << QStringList{"Находился под следствием: подробности"}
                                  << QStringList();
    QTest::addRow("convicted") << "Привлекался к угол.ответственности"
                               << QStringList{"Привлекался к угол.ответственности: подробности"}
                               << QStringList();
    QTest::addRow("military") << "Военнообязанный" << QStringList{"Воинский учет"} << QStringList();
    QTest::addRow("works now") << "Работает в наст.время"
                               << QStringList{"Место работы", "Должность"}
                               << QStringList{"Уволен с"};
}

void TestCandidateCard::enablingRules()
{
    QFETCH(QString, box);
    QFETCH(QStringList, followers);
    QFETCH(QStringList, opposite);
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    showBase(0);
    openCard([&]() {
        press(QStringLiteral("Редактировать"));
        auto* check = qobject_cast<QCheckBox*>(control(box));
        QVERIFY(check);
        for (bool on : {true, false, true}) {
            if (check->isChecked() != on)
                check->click();
            QCOMPARE(check->isChecked(), on);
            for (const QString& f : followers)
                QVERIFY2(control(f)->isEnabled() == on, qPrintable(f));
            for (const QString& f : opposite)
                QVERIFY2(control(f)->isEnabled() == !on, qPrintable(f));
        }
        press(QStringLiteral("Сохранить"));
        // The rules hold in view mode too.
        for (const QString& f : followers)
            QVERIFY2(control(f)->isEnabled(), qPrintable(f));
        press(QStringLiteral("Выход"));
    });
}

void TestCandidateCard::detailRowsRefusedBeforeFirstSave()
{
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    showBase(0);
    const int skills = candtest::rowCount(QStringLiteral("RESNAVK.DB"));
    QStringList messages;
    newCard([&]() {
        Fres->setPage(4);
        widgets::DbGrid* grid = nullptr;
        for (widgets::DbGrid* g : Fres->findChildren<widgets::DbGrid*>())
            if (g->accessibleName() == QStringLiteral("Специальные навыки"))
                grid = g;
        QVERIFY(grid);
        {
            Answers ok;
            grid->setFocus();
            candtest::typeText(grid, QStringLiteral("С"));
            messages = ok.texts();
        }
        // The candidate's own new row goes on.
        QCOMPARE(DM->Reserv.state(), kdb::Dataset::State::Insert);
        press(QStringLiteral("Отмена"));
    });
    QCOMPARE(messages, QStringList{QStringLiteral(
                           "Сначала сохраните основные данные, чтобы присвоить Рег.№ !")});
    QCOMPARE(candtest::rowCount(QStringLiteral("RESNAVK.DB")), skills);
}

void TestCandidateCard::deleteDetailRows()
{
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    candtest::addDetails(ivanovKey);
    showBase(0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {ivanovKey}));
    openCard([]() {
        {
            // Interviews: one row, deleted in view mode at once; "Отмена" brings nothing back.
            Answers yes({QStringLiteral("Да")});
            Fres->setPage(6);
            press(QStringLiteral("Удалить: Собеседования"));
            QCOMPARE(yes.texts(), QStringList{QStringLiteral("Удалить запись?")});
            QCOMPARE(DM->sobsd.recordCount(), 0);
            // An empty list asks nothing.
            press(QStringLiteral("Удалить: Собеседования"));
            QCOMPARE(yes.texts().size(), 1);
        }
        {
            Answers no({QStringLiteral("Нет")});
            press(QStringLiteral("Удалить: Рекомендации"));
            QCOMPARE(DM->recom.recordCount(), 1);
        }
        press(QStringLiteral("Редактировать"));
        press(QStringLiteral("Отмена"));
        press(QStringLiteral("Выход"));
    });
    QCOMPARE(candtest::detailCount(ivanovKey), 6);
    QCOMPARE(candtest::rowCount(QStringLiteral("sobesed.db")), 0);
    // The lists were closed with the card.
    QVERIFY(!DM->sobsd.isOpen() && !DM->svkat.isOpen());
}

void TestCandidateCard::photo_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("content"); // "jpeg", "bmp", "text", "" (no file)
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("storedAfter");
    QTest::addRow("JPEG with a Cyrillic name") << "Иванов фото.jpg"
                                               << "jpeg"
                                               << "" << true << "Иванов фото.jpg";
    QTest::addRow("BMP") << "ivanov.bmp"
                         << "bmp"
                         << "" << true << "ivanov.bmp";
    QTest::addRow("missing, Yes clears") << "nobody.jpg"
                                         << ""
                                         << "Да" << false << "";
    QTest::addRow("not a picture, No keeps") << "notes.jpg"
                                             << "text"
                                             << "Нет" << false << "notes.jpg";
    QTest::addRow("stored with a Windows separator") << "old\\ivanov.jpg"
                                                     << "jpeg"
                                                     << "" << true << "old\\ivanov.jpg";
}

void TestCandidateCard::photo()
{
    QFETCH(QString, stored);
    QFETCH(QString, content);
    QFETCH(QString, answer);
    QFETCH(bool, shown);
    QFETCH(QString, storedAfter);
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    const QString file =
        QDir(program.path()).filePath(QStringLiteral("Foto/") + QString(stored).replace('\\', '/'));
    QDir().mkpath(QFileInfo(file).path());
    QImage picture(60, 80, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    if (content == QLatin1String("jpeg"))
        QVERIFY(picture.save(file, "JPEG"));
    else if (content == QLatin1String("bmp"))
        QVERIFY(picture.save(file, "BMP"));
    else if (content == QLatin1String("text")) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("не картинка");
    }
    showBase(0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {ivanovKey}));
    DM->Reserv.edit();
    DM->Reserv.fieldByName(QStringLiteral("Foto")).setValue(stored);
    DM->Reserv.post();
    Answers answers({answer});
    bool hasPicture = false;
    openCard([&]() {
        // The photo may be decoded away from the window's thread: wait for its outcome.
        auto* box = qobject_cast<QLabel*>(control(QStringLiteral("Фотография")));
        if (shown)
            QTRY_VERIFY_WITH_TIMEOUT(!box->pixmap().isNull(), 5000);
        else
            QTRY_COMPARE_WITH_TIMEOUT(answers.texts().size(), 1, 5000);
        hasPicture = !box->pixmap().isNull();
        press(QStringLiteral("Выход"));
    });
    QCOMPARE(hasPicture, shown);
    if (!answer.isEmpty())
        QCOMPARE(answers.texts(),
                 QStringList{QStringLiteral("Файл ") + QDir::toNativeSeparators(file) +
                             QStringLiteral(" не найден или не соответствует формату bmp или "
                                            "jpeg. Очистить поле?")});
    else
        QCOMPARE(answers.texts(), QStringList());
    auto all = kdb::Table::opened(DM->Dtb, QStringLiteral("RESERV.DB"));
    QVERIFY(all->locate(QStringLiteral("Keyr"), {ivanovKey}));
    QCOMPARE(all->fieldByName(QStringLiteral("Foto")).asString(), storedAfter);
}

void TestCandidateCard::cvFile_data()
{
    QTest::addColumn<bool>("insideCvFolder");
    QTest::addColumn<QString>("name");
    QTest::addRow("inside, in a subfolder, Cyrillic and spaces")
        << true << "Резюме 2024/Иванов И.И.doc";
    QTest::addRow("outside the CV folder") << false << "Мои документы/резюме Иванова.rtf";
}

void TestCandidateCard::cvFile()
{
    QFETCH(bool, insideCvFolder);
    QFETCH(QString, name);
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    QTemporaryDir elsewhere;
    const QString base =
        insideCvFolder ? QDir(program.path()).filePath(QStringLiteral("CV")) : elsewhere.path();
    const QString file = QDir(base).filePath(name);
    QDir().mkpath(QFileInfo(file).path());
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("резюме");
    }
    FakeDesktop desktop;
    kadrol::setDesktop(&desktop);
    showBase(0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {ivanovKey}));
    QStringList messages;
    QString shownPath;
    openCard([&]() {
        candtest::whenShown(QStringLiteral("Файл резюме"), [file](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            dialog->selectFile(file);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        press(QStringLiteral("Выбрать файл резюме")); // stored at once in view mode
        shownPath = textOf(QStringLiteral("Файл резюме"));
        Answers ok;
        press(QStringLiteral("Просмотр CV"));
        desktop.associated = false;
        press(QStringLiteral("Просмотр CV"));
        QFile::remove(file);
        press(QStringLiteral("Просмотр CV"));
        messages = ok.texts();
        press(QStringLiteral("Выход"));
    });
    kadrol::setDesktop(nullptr);
    const QString native = QDir::toNativeSeparators(file);
    auto all = kdb::Table::opened(DM->Dtb, QStringLiteral("RESERV.DB"));
    QVERIFY(all->locate(QStringLiteral("Keyr"), {ivanovKey}));
    QCOMPARE(all->fieldByName(QStringLiteral("Cv")).asString(),
             insideCvFolder ? QDir::toNativeSeparators(name) : native);
    QCOMPARE(shownPath, native);
    QCOMPARE(desktop.opened, QStringList{native});
    QCOMPARE(messages,
             (QStringList{QStringLiteral("Не определено приложение для данного расширения файла!"),
                          QStringLiteral("Файл ") + native + QStringLiteral(" не найден!")}));
}

void TestCandidateCard::transfersFromTheCard()
{
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    // An archive candidate: the button and the question say " в действующие".
    showBase(1);
    const int key = DM->Reserv.fieldByName(QStringLiteral("Keyr")).asInt();
    QString caption;
    {
        Answers yes({QStringLiteral("Да")});
        openCard([&]() {
            caption = candtest::button(Fres, QStringLiteral("В действующие")) ? "В действующие"
                                                                              : "В архив";
            press(QStringLiteral("В действующие"));
        });
        QCOMPARE(yes.texts(), QStringList{QStringLiteral(
                                  "Передать карточку данного кандидата в действующие ?")});
    }
    QCOMPARE(caption, QStringLiteral("В действующие"));
    QVERIFY(!Fres->isVisible()); // the transfer closed the card
    QCOMPARE(candtest::rowCount(QStringLiteral("RESERV.DB"),
                                QStringLiteral("(keyr=%1) and (arch=0)").arg(key)),
             1);
    // The transfer to the blacklist leaves the card open.
    showBase(0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {ivanovKey}));
    bool stillOpen = false;
    {
        Answers yes({QStringLiteral("Да"), QStringLiteral("Да")});
        openCard([&]() {
            press(QStringLiteral("В черн.список"));
            stillOpen = Fres->isVisible();
            press(QStringLiteral("Выход"));
        });
    }
    QVERIFY(stillOpen);
    QCOMPARE(candtest::rowCount(QStringLiteral("RESERV.DB"),
                                QStringLiteral("keyr=") + QString::number(ivanovKey)),
             0);
    QCOMPARE(candtest::rowCount(QStringLiteral("BLACK.DB")), 1);
}

namespace {

// The catalog of the fixtures' name lists: sphere 1, group 1, speciality 1 in the group; and
// speciality 1 under direction 1 of the group too. Gives the two speciality nodes.
std::pair<QTreeWidgetItem*, QTreeWidgetItem*> buildCatalog()
{
    using kadrol::Fedkatl;
    QTreeWidgetItem* root = Fedkatl->Str->topLevelItem(0);
    QTreeWidgetItem* sphere = Fedkatl->addChild(root, 1, false, QStringLiteral("Финансы"));
    QTreeWidgetItem* group = Fedkatl->addChild(sphere, 1, false, QStringLiteral("Бухгалтерия"));
    QTreeWidgetItem* inGroup =
        Fedkatl->addChild(group, 1, true, QStringLiteral("Главный бухгалтер"));
    QTreeWidgetItem* direction = Fedkatl->addChild(group, 1, false, QStringLiteral("Учет"));
    QTreeWidgetItem* inDirection =
        Fedkatl->addChild(direction, 1, true, QStringLiteral("Главный бухгалтер"));
    return {inGroup, inDirection};
}

// Chooses a node in the catalog window once it shows.
void chooseInCatalog(QTreeWidgetItem* node)
{
    candtest::whenModal(kadrol::Fedkatl, [node]() {
        kadrol::Fedkatl->Str->setCurrentItem(node);
        kadrol::Fedkatl->applySelectionRule();
        kadrol::Fedkatl->Bvib->click();
    });
}

} // namespace

void TestCandidateCard::catalogChoice()
{
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    const auto [inGroup, inDirection] = buildCatalog();
    showBase(0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {ivanovKey}));
    QStringList names;
    openCard([&, node = inDirection]() {
        Fres->setPage(1);
        // In view mode the choice is stored at once.
        chooseInCatalog(node);
        press(QStringLiteral("Выбрать спец."));
        QCOMPARE(DM->Reserv.state(), kdb::Dataset::State::Browse);
        for (const char* level : {"Сфера", "Группа", "Направление", "Специальность"})
            names << textOf(QString::fromUtf8(level));
        // Leaving the catalog window by "Выход" changes nothing.
        candtest::whenModal(kadrol::Fedkatl, []() { kadrol::Fedkatl->Bexit->click(); });
        press(QStringLiteral("Изменить каталог"));
        press(QStringLiteral("Выход"));
    });
    QCOMPARE(names, (QStringList{"Финансы", "Бухгалтерия", "Учет", "Главный бухгалтер"}));
    auto all = kdb::Table::opened(DM->Dtb, QStringLiteral("RESERV.DB"));
    QVERIFY(all->locate(QStringLiteral("Keyr"), {ivanovKey}));
    QCOMPARE(all->fieldByName(QStringLiteral("Napr")).asInt(), 1);
    QCOMPARE(all->fieldByName(QStringLiteral("Spec")).asInt(), 1);
    // A new candidate takes the position with the card and is saved with it.
    newCard([node = inGroup]() {
        typeInto(QStringLiteral("Фамилия"), QStringLiteral("Новиков"));
        chooseInCatalog(node);
        press(QStringLiteral("Выбрать спец."));
        QCOMPARE(DM->Reserv.state(), kdb::Dataset::State::Insert);
        press(QStringLiteral("Сохранить"));
        press(QStringLiteral("Выход"));
    });
    all->refresh();
    QVERIFY(all->locate(QStringLiteral("NameF"), {QStringLiteral("Новиков")}));
    QCOMPARE(all->fieldByName(QStringLiteral("Sfr")).asInt(), 1);
    QCOMPARE(all->fieldByName(QStringLiteral("Napr")).asInt(), 0);
}

void TestCandidateCard::furtherSpecialities()
{
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    const auto [inGroup, inDirection] = buildCatalog();
    Q_UNUSED(inDirection);
    showBase(0);
    QStringList refusedWhileAdding;
    newCard([&]() {
        Fres->setPage(1);
        Answers ok;
        press(QStringLiteral("Добавить"));
        refusedWhileAdding = ok.texts();
        press(QStringLiteral("Отмена"));
    });
    QCOMPARE(
        refusedWhileAdding,
        QStringList{QStringLiteral("Сначала сохраните основные данные, чтобы присвоить Рег.№ !")});
    QCOMPARE(candtest::rowCount(QStringLiteral("SVKAT.DB")), 0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {ivanovKey}));
    QStringList messages;
    int rows = 0;
    openCard([&, node = inGroup]() {
        Fres->setPage(1);
        Answers ok;
        chooseInCatalog(node);
        press(QStringLiteral("Добавить"));
        chooseInCatalog(node);
        press(QStringLiteral("Добавить")); // the same speciality again
        messages = ok.texts();
        rows = DM->svkat.recordCount();
        press(QStringLiteral("Выход"));
    });
    QCOMPARE(messages,
             QStringList{QStringLiteral("Такая специальность уже указана для данного кандидата!")});
    QCOMPARE(rows, 1);
    QCOMPARE(candtest::rowCount(QStringLiteral("SVKAT.DB"),
                                QStringLiteral("TabNo=") + QString::number(ivanovKey)),
             1);
    // The same speciality for another candidate is accepted.
    showBase(0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("NameF"), {QStringLiteral("Петрова")}));
    openCard([node = inGroup]() {
        Fres->setPage(1);
        chooseInCatalog(node);
        press(QStringLiteral("Добавить"));
        press(QStringLiteral("Выход"));
    });
    QCOMPARE(candtest::rowCount(QStringLiteral("SVKAT.DB")), 2);
}

void TestCandidateCard::badInput_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addRow("salary with letters") << "Согласен на оклад от"
                                         << "Oklmin"
                                         << "12абв";
    QTest::addRow("impossible birth date") << "Дата рождения"
                                           << "DatBd"
                                           << "31.02.2020";
    QTest::addRow("half-typed birth date") << "Дата рождения"
                                           << "DatBd"
                                           << "12.0";
    QTest::addRow("impossible dismissal date") << "Уволен с"
                                               << "Dout"
                                               << "30.02.2021";
    QTest::addRow("year of driving with letters") << "Права с"
                                                  << "Apryear"
                                                  << "19о5";
}

void TestCandidateCard::badInput()
{
    QFETCH(QString, box);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    showBase(0);
    QVERIFY(DM->Reserv.locate(QStringLiteral("Keyr"), {ivanovKey}));
    DM->Reserv.edit();
    DM->Reserv.fieldByName(QStringLiteral("Oklmin")).setValue(30000);
    DM->Reserv.fieldByName(QStringLiteral("DatBd")).setValue(QDate(1980, 6, 15));
    DM->Reserv.fieldByName(QStringLiteral("Dout")).setValue(QDate(2019, 1, 31));
    DM->Reserv.fieldByName(QStringLiteral("Apryear")).setValue(2001);
    DM->Reserv.fieldByName(QStringLiteral("Autopr")).setValue(true);
    DM->Reserv.post();
    QStringList messages;
    openCard([&]() {
        press(QStringLiteral("Редактировать"));
        Answers ok;
        for (int page = 0; page < 9 && !lineEdit(box)->isVisible(); ++page)
            Fres->setPage(page);
        typeInto(box, typed);
        press(QStringLiteral("Сохранить"));
        messages = ok.texts();
        if (Fres->editMode())
            press(QStringLiteral("Отмена"));
        press(QStringLiteral("Выход"));
    });
    QVERIFY2(!messages.isEmpty(), "no message for the bad input");
    // The refused text never reaches the store: the field holds what the box held before it
    // (the box was emptied first, then a valid beginning may have been taken as typed).
    auto all = kdb::Table::opened(DM->Dtb, QStringLiteral("RESERV.DB"));
    QVERIFY(all->locate(QStringLiteral("Keyr"), {ivanovKey}));
    const QVariant stored = all->fieldByName(field).value();
    QVERIFY2(stored.isNull() || stored.toString().size() < typed.size(),
             qPrintable(stored.toString()));
    QCOMPARE(all->fieldByName(QStringLiteral("NameF")).asString(), QStringLiteral("Иванов"));
}

void TestCandidateCard::nameListButtons_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QString>("list"); // the list tab shown
    QTest::addRow("state of affairs") << 0 << "Список «Состояние дел»"
                                      << "Состояние дел";
    QTest::addRow("district") << 2 << "Список «Район»"
                              << "Район";
    QTest::addRow("town") << 2 << "Список «Город»"
                          << "Город";
    QTest::addRow("learned of the vacancy") << 2 << "Список «Узнал о вак. от...»"
                                            << "Узнал о вак. от...";
    // The skills page's reference opens the skills' own list.
    QTest::addRow("skills") << 4 << "Справочник"
                            << "Спец.навыки";
}

void TestCandidateCard::nameListButtons()
{
    QFETCH(int, page);
    QFETCH(QString, buttonName);
    QFETCH(QString, list);
    candtest::Program program;
    QVERIFY(program.started());
    fill();
    showBase(0);
    QString shown;
    openCard([&]() {
        Fres->setPage(page);
        candtest::whenModal(kadrol::Fnaimen, [&]() {
            shown = kadrol::Fnaimen->TK->tabText(kadrol::Fnaimen->TK->currentIndex());
            kadrol::Fnaimen->Bv->click();
        });
        press(buttonName);
        press(QStringLiteral("Выход"));
    });
    QCOMPARE(shown, list);
}

QTEST_MAIN(TestCandidateCard)
#include "tst_candidatecard.moc"
