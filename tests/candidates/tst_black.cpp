// The blacklist card driven as a recruiter drives it, on a fresh Data folder with the program
// started in-process: its modes, a new person as the candidate list adds one, the close
// question (asked only after a real change), cancel, delete (also of a person another program
// is editing), and the list of registration numbers the candidate card opens.
#include "black.h"
#include "database.h"
#include "datafolder.h"
#include "dbedit.h"
#include "dbgrid.h"
#include "guisupport.h"
#include "kadrol.h"
#include "pdm.h"
#include "program.h"
#include "ptn2.h"
#include "table.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <iostream>

using kadrol::Fblack;
using kadroltest::MessageBoxAnswerer;

namespace {

using Program = kadroltest::StartedProgram;

// A person of the blacklist, stored; gives its key.
int addPerson(const QString& surname, int nbas = 0)
{
    kdb::Table& b = DM->black;
    b.append();
    b.fieldByName(QStringLiteral("Namef")).setValue(surname);
    b.fieldByName(QStringLiteral("Namei")).setValue(QStringLiteral("Иван"));
    b.fieldByName(QStringLiteral("Mf")).setValue(true);
    b.fieldByName(QStringLiteral("Nbas")).setValue(nbas);
    b.fieldByName(QStringLiteral("Paspn")).setValue(QStringLiteral("1"));
    b.post();
    return b.value(QStringLiteral("Keyn")).toInt();
}

// The data control of the card with that caption.
template <class T> T* control(const QString& caption)
{
    for (T* w : Fblack->findChildren<T*>())
        if (w->accessibleName() == caption)
            return w;
    return nullptr;
}

QAbstractButton* button(const QString& caption)
{
    return kadroltest::buttonByCaption(Fblack, caption);
}

void typeInto(const QString& caption, const QString& text)
{
    auto* edit = control<widgets::DbEdit>(caption);
    QVERIFY(edit);
    edit->setFocus();
    edit->selectAll();
    // Typed key by key (QTest::keyClicks knows only Latin letters).
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &release);
    }
}

QString surnameStored(int key)
{
    return DM->black.lookup(QStringLiteral("Keyn"), {key}, QStringLiteral("Namef")).toString();
}

// The new person, as the candidate list's "Новый" prepares the card.
void startNewPerson()
{
    kdb::Table& b = DM->black;
    b.append();
    b.fieldByName(QStringLiteral("Dzanes")).setValue(QDate::currentDate());
    b.fieldByName(QStringLiteral("Nbas")).setValue(0);
    b.fieldByName(QStringLiteral("Mf")).setValue(true);
    Fblack->Butt(true);
    Fblack->setModeLabel(QStringLiteral("Добавление"));
}

// A second program holding the lock on a person (this test program run with --child).
class OtherProgram {
public:
    bool hold(const QString& dataFolder, int key)
    {
        m_process.setProgram(QCoreApplication::applicationFilePath());
        m_process.setArguments({QStringLiteral("--child"), dataFolder, QString::number(key)});
        m_process.start();
        return m_process.waitForStarted(10000) && m_process.waitForReadyRead(20000) &&
               m_process.readLine().trimmed() == "ready";
    }
    ~OtherProgram()
    {
        if (m_process.state() == QProcess::Running) {
            m_process.write("done\n");
            m_process.closeWriteChannel();
            if (!m_process.waitForFinished(10000))
                m_process.kill();
        }
    }

private:
    QProcess m_process;
};

int holdLock(const QString& dataFolder, int key)
{
    auto db = kdb::Database::forFolder(dataFolder);
    db->open();
    auto black = kdb::Table::opened(*db, QStringLiteral("BLACK.DB"));
    if (!black->locate(QStringLiteral("Keyn"), {key}))
        return 2;
    black->edit();
    std::cout << "ready" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    black->cancel();
    return 0;
}

} // namespace

class TestBlack : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();
    void modes_data();
    void modes();
    void newPersonWithTheListsDefaults();
    void personFromTheCandidateBases();
    void closeQuestion_data();
    void closeQuestion();
    void cancel_data();
    void cancel();
    void remove_data();
    void remove();
    void registrationNumbers();
    void lowDensityFitting_data();
    void lowDensityFitting();

private:
    std::unique_ptr<Program> m_program;
};

void TestBlack::init()
{
    m_program = std::make_unique<Program>();
    QVERIFY(m_program->started());
    QVERIFY(Fblack);
}

void TestBlack::cleanup()
{
    if (Fblack)
        Fblack->hide();
    m_program.reset();
}

void TestBlack::modes_data()
{
    QTest::addColumn<int>("step"); // 0 as created, 1 Butt(true), 2 Butt(false), 3 "Редактировать"
    QTest::addColumn<bool>("editable");
    QTest::addColumn<QString>("label");
    QTest::addRow("as created") << 0 << false << "Просмотр";
    QTest::addRow("Butt edit") << 1 << true << "Редактирование";
    QTest::addRow("Butt view") << 2 << false << "Просмотр";
    QTest::addRow("Редактировать") << 3 << true << "Редактирование";
}

void TestBlack::modes()
{
    QFETCH(int, step);
    QFETCH(bool, editable);
    QFETCH(QString, label);
    KVERIFY(addPerson(QStringLiteral("Сидоров")));
    Fblack->show();
    if (step == 1)
        Fblack->Butt(true);
    if (step == 2) {
        Fblack->Butt(true);
        Fblack->Butt(false);
    }
    if (step == 3)
        button(QStringLiteral("Редактировать"))->click();
    QCOMPARE(Fblack->windowTitle(), QStringLiteral("Черный список"));
    QCOMPARE(Fblack->modeLabel(), label);
    QCOMPARE(button(QStringLiteral("Сохранить"))->isEnabled(), editable);
    QCOMPARE(button(QStringLiteral("Отмена"))->isEnabled(), editable);
    QCOMPARE(button(QStringLiteral("Редактировать"))->isEnabled(), !editable);
    QVERIFY(button(QStringLiteral("Удалить"))->isEnabled());
    QVERIFY(button(QStringLiteral("Выход"))->isEnabled());
    const QStringList captions{
        "Фамилия",          "Имя",     "Отчество",       "Пол",         "Дата рожд.",
        "Документ",         "№",       "выдан",          "Дата выдачи", "Адрес прописки",
        "Адрес проживания", "Из базы", "Дата занесения", "Примечание"};
    for (const QString& caption : captions) {
        widgets::DataControl* found = nullptr;
        for (QWidget* w : Fblack->findChildren<QWidget*>())
            if (w->accessibleName() == caption)
                if (auto* dc = dynamic_cast<widgets::DataControl*>(w))
                    found = dc;
        QVERIFY2(found, qPrintable(caption));
        QVERIFY2(found->isReadOnly() == !editable, qPrintable(caption));
    }
    QCOMPARE(DM->black.state() == kdb::Dataset::State::Edit, step == 3);
    // "Редактировать" took the lock; the card's "Отмена" gives it back.
    if (step == 3) {
        button(QStringLiteral("Отмена"))->click();
        QCOMPARE(DM->black.state(), kdb::Dataset::State::Browse);
    }
}

void TestBlack::newPersonWithTheListsDefaults()
{
    const int before = DM->black.recordCount();
    startNewPerson();
    Fblack->show();
    QCOMPARE(Fblack->modeLabel(), QStringLiteral("Добавление"));
    auto* mf = kadroltest::buttonByCaption(Fblack, QStringLiteral("Муж"));
    auto* direct = kadroltest::buttonByCaption(Fblack, QStringLiteral("Напрямую"));
    QVERIFY(mf->isChecked());
    QVERIFY(direct->isChecked());
    typeInto(QStringLiteral("Фамилия"), QStringLiteral("Д'Артаньян"));
    {
        MessageBoxAnswerer ok(QStringLiteral("OK"));
        button(QStringLiteral("Сохранить"))->click();
        QCOMPARE(ok.count(), 0);
    }
    QCOMPARE(DM->black.state(), kdb::Dataset::State::Browse);
    QCOMPARE(DM->black.recordCount(), before + 1);
    QCOMPARE(DM->black.value(QStringLiteral("Namef")).toString(), QStringLiteral("Д'Артаньян"));
    QCOMPARE(DM->black.value(QStringLiteral("Nbas")).toInt(), 0);
    QCOMPARE(DM->black.value(QStringLiteral("Mf")).toBool(), true);
    QCOMPARE(DM->black.value(QStringLiteral("Dzanes")).toDate(), QDate::currentDate());
    QCOMPARE(Fblack->modeLabel(), QStringLiteral("Просмотр"));
    QVERIFY(!button(QStringLiteral("Сохранить"))->isEnabled());

    // A person without a surname is stored too.
    startNewPerson();
    button(QStringLiteral("Сохранить"))->click();
    QCOMPARE(DM->black.recordCount(), before + 2);
    QVERIFY(DM->black.value(QStringLiteral("Namef")).toString().isEmpty());
}

void TestBlack::personFromTheCandidateBases()
{
    KVERIFY(addPerson(QStringLiteral("Кузнецов"), 1));
    Fblack->Butt(false);
    Fblack->show();
    QVERIFY(kadroltest::buttonByCaption(Fblack, QStringLiteral("Из кандидатов"))->isChecked());
    auto* kind = control<QWidget>(QStringLiteral("Документ"));
    QVERIFY(kind);
    // The document kind is kept as text and shown by its name.
    const QString name =
        DM->pasprt.lookup(QStringLiteral("Keyn"), {1}, QStringLiteral("Name")).toString();
    QVERIFY(!name.isEmpty());
    QCOMPARE(kind->property("currentText").toString(), name);
}

void TestBlack::closeQuestion_data()
{
    QTest::addColumn<bool>("adding");
    QTest::addColumn<QString>("typed"); // null: nothing typed
    QTest::addColumn<QString>("how");   // "Выход", "Escape", "frame"
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("stored"); // the surname stored afterwards; null: no new row
    QTest::addColumn<bool>("stillEditing");

    QTest::addRow("view mode") << false << QString() << "Выход"
                               << "Да" << false << "Сидоров" << false;
    QTest::addRow("edit, nothing typed") << false << QString() << "Выход"
                                         << "Да" << false << "Сидоров" << true;
    QTest::addRow("edit, typed back the same") << false << "Сидоров"
                                               << "Выход"
                                               << "Да" << false << "Сидоров" << true;
    QTest::addRow("edit, typed, Yes") << false << "Смирнов"
                                      << "Выход"
                                      << "Да" << true << "Смирнов" << false;
    QTest::addRow("edit, typed, No") << false << "Смирнов"
                                     << "Выход"
                                     << "Нет" << true << "Сидоров" << false;
    QTest::addRow("edit, typed, Escape") << false << "Смирнов"
                                         << "Escape"
                                         << "Да" << true << "Смирнов" << false;
    QTest::addRow("edit, typed, frame") << false << "Смирнов"
                                        << "frame"
                                        << "Нет" << true << "Сидоров" << false;
    QTest::addRow("new, untouched") << true << QString() << "Выход"
                                    << "Да" << false << QString() << false;
    QTest::addRow("new, typed, Yes") << true << "Петров"
                                     << "Выход"
                                     << "Да" << true << "Петров" << false;
    QTest::addRow("new, typed, No") << true << "Петров"
                                    << "Escape"
                                    << "Нет" << true << QString() << false;
}

void TestBlack::closeQuestion()
{
    QFETCH(bool, adding);
    QFETCH(QString, typed);
    QFETCH(QString, how);
    QFETCH(QString, answer);
    QFETCH(bool, asked);
    QFETCH(QString, stored);
    QFETCH(bool, stillEditing);

    int key = 0;
    KVERIFY(key = addPerson(QStringLiteral("Сидоров")));
    const int before = DM->black.recordCount();
    if (adding) {
        startNewPerson();
    } else {
        Fblack->Butt(false);
    }
    Fblack->show();
    QVERIFY(QTest::qWaitForWindowExposed(Fblack));
    const bool viewOnly = QTest::currentDataTag() == QByteArray("view mode");
    if (!adding && !viewOnly)
        button(QStringLiteral("Редактировать"))->click();
    if (!typed.isNull())
        typeInto(QStringLiteral("Фамилия"), typed);

    MessageBoxAnswerer answerer(answer);
    if (how == QStringLiteral("Выход"))
        button(QStringLiteral("Выход"))->click();
    else if (how == QStringLiteral("Escape"))
        QTest::keyClick(Fblack, Qt::Key_Escape);
    else
        Fblack->close();
    QCOMPARE(answerer.count(), asked ? 1 : 0);
    if (asked)
        QCOMPARE(answerer.texts().value(0), QStringLiteral("Сохранить изменения?"));
    QVERIFY(!Fblack->isVisible());
    QCOMPARE(DM->black.isEditing(), stillEditing);
    if (adding) {
        QCOMPARE(DM->black.recordCount(), before + (stored.isNull() ? 0 : 1));
        if (!stored.isNull())
            QCOMPARE(DM->black.value(QStringLiteral("Namef")).toString(), stored);
    } else {
        QCOMPARE(DM->black.recordCount(), before);
        QCOMPARE(surnameStored(key), stored);
        // The mode is not changed by closing.
        QCOMPARE(Fblack->editable(), !viewOnly);
    }
    if (DM->black.isEditing())
        DM->black.cancel();
}

void TestBlack::cancel_data()
{
    QTest::addColumn<bool>("adding");
    QTest::addRow("edit") << false;
    QTest::addRow("new person") << true;
}

void TestBlack::cancel()
{
    QFETCH(bool, adding);
    int key = 0;
    KVERIFY(key = addPerson(QStringLiteral("Сидоров")));
    const int before = DM->black.recordCount();
    if (adding)
        startNewPerson();
    Fblack->show();
    if (!adding)
        button(QStringLiteral("Редактировать"))->click();
    typeInto(QStringLiteral("Фамилия"), QStringLiteral("Смирнов"));
    MessageBoxAnswerer answerer(QStringLiteral("Да"));
    button(QStringLiteral("Отмена"))->click();
    QCOMPARE(answerer.count(), 0);
    QCOMPARE(DM->black.state(), kdb::Dataset::State::Browse);
    QCOMPARE(DM->black.recordCount(), before);
    QCOMPARE(surnameStored(key), QStringLiteral("Сидоров"));
    QCOMPARE(Fblack->editable(), false);
    // A new person's card closes on "Отмена"; an edited one stays.
    QCOMPARE(Fblack->isVisible(), !adding);
}

void TestBlack::remove_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<QStringList>("messages");
    const QString question = QStringLiteral("Удалить карточку из черного списка?");
    const QString locked =
        QStringLiteral("Данные заблокированы другим пользователем. Повторите операцию.");
    QTest::addRow("Yes") << "view"
                         << "Да" << true << QStringList{question};
    QTest::addRow("No") << "view"
                        << "Нет" << false << QStringList{question};
    QTest::addRow("while editing") << "edit"
                                   << "Да" << true << QStringList{question};
    QTest::addRow("while adding") << "new"
                                  << "Да" << false << QStringList{question};
    QTest::addRow("edited by another program") << "locked"
                                               << "Да" << false << QStringList{question, locked};
}

void TestBlack::remove()
{
    QFETCH(QString, situation);
    QFETCH(QString, answer);
    QFETCH(bool, deleted);
    QFETCH(QStringList, messages);
    int key = 0;
    KVERIFY(addPerson(QStringLiteral("Жуков")));
    KVERIFY(key = addPerson(QStringLiteral("Сидоров")));
    const int before = DM->black.recordCount();
    OtherProgram other;
    if (situation == QStringLiteral("locked"))
        QVERIFY(other.hold(m_program->dataFolder(), key));
    if (situation == QStringLiteral("new"))
        startNewPerson();
    else
        QVERIFY(DM->black.locate(QStringLiteral("Keyn"), {key}));
    Fblack->show();
    if (situation == QStringLiteral("edit"))
        button(QStringLiteral("Редактировать"))->click();

    MessageBoxAnswerer answerer(answer);
    MessageBoxAnswerer ok(QStringLiteral("OK"));
    button(QStringLiteral("Удалить"))->click();
    QCOMPARE(answerer.texts() + ok.texts(), messages);
    QCOMPARE(surnameStored(key).isEmpty(), deleted);
    QCOMPARE(DM->black.recordCount(), before - (deleted ? 1 : 0));
    QCOMPARE(DM->black.isEditing(), false);
    const bool closes = answer == QStringLiteral("Да") && situation != QStringLiteral("locked");
    QCOMPARE(Fblack->isVisible(), !closes);
}

void TestBlack::registrationNumbers()
{
    // Candidates of both bases with numbers that sort differently as text and as numbers.
    kdb::Table& r = DM->Reserv;
    struct Row {
        const char* tn2;
        const char* surname;
        int arch;
    };
    const Row rows[] = {
        {"2", "Иванов", 0}, {"10", "Петров", 0}, {"15", "Архипов", 1}, {"A-5", "Сидоров", 0}};
    for (const Row& row : rows) {
        KVERIFY(r.append());
        KVERIFY(r.fieldByName(QStringLiteral("Tn2")).setValue(QString::fromUtf8(row.tn2)));
        KVERIFY(r.fieldByName(QStringLiteral("NameF")).setValue(QString::fromUtf8(row.surname)));
        KVERIFY(r.fieldByName(QStringLiteral("NameI")).setValue(QStringLiteral("Иван")));
        KVERIFY(r.fieldByName(QStringLiteral("NameO")).setValue(QStringLiteral("Ильич")));
        KVERIFY(r.fieldByName(QStringLiteral("Arch")).setValue(row.arch));
        KVERIFY(r.post());
    }
    auto* list = new kadrol::TFtn2;
    list->setAttribute(Qt::WA_DeleteOnClose);
    list->show();
    QCOMPARE(kadroltest::windowByTitle(QStringLiteral("Список рег. №")), list);
    widgets::DatasetModel* model = list->grid()->gridModel();
    QCOMPARE(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("Рег №"));
    QCOMPARE(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("Ф.И.О."));
    QStringList shown;
    for (int i = 0; i < model->rowCount(); ++i)
        shown << model->index(i, 0).data().toString() + QLatin1Char('|') +
                     model->index(i, 1).data().toString();
    QCOMPARE(shown, (QStringList{"10|Петров Иван Ильич", "15|Архипов Иван Ильич",
                                 "2|Иванов Иван Ильич", "A-5|Сидоров Иван Ильич"}));
    QVERIFY(list->grid()->isReadOnly());
    QPointer<kadrol::TFtn2> gone(list);
    list->close();
    QTRY_VERIFY(gone.isNull());
}

void TestBlack::lowDensityFitting_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("fitted");
    QTest::addRow("sevenths") << QSize(700, 350) << QSize(600, 300);
    QTest::addRow("rounded up") << QSize(820, 435) << QSize(703, 373);
    QTest::addRow("rounded down") << QSize(1000, 800) << QSize(857, 686);
}

void TestBlack::lowDensityFitting()
{
    QFETCH(QSize, size);
    QFETCH(QSize, fitted);
    QCOMPARE(kadrol::TFblack::fittedSize(size), fitted);
    // On the card itself: the position stays, and the layout keeps every field readable.
    Fblack->move(40, 30);
    Fblack->resize(size);
    Fblack->fitLowDensityScreen();
    QCOMPARE(Fblack->pos(), QPoint(40, 30));
    QCOMPARE(Fblack->size(), fitted.expandedTo(Fblack->minimumSizeHint()));
}

int main(int argc, char** argv)
{
    if (argc >= 4 && QByteArray(argv[1]) == "--child") {
        QCoreApplication app(argc, argv);
        try {
            return holdLock(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
        } catch (const kdb::Error& e) {
            std::cerr << e.message().toStdString() << std::endl;
            return 1;
        }
    }
    QApplication app(argc, argv);
    TestBlack test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_black.moc"
