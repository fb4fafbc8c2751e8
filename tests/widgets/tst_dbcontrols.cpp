// The data controls over a candidate-like table: what they show, what typing and clicking
// store, how they refuse (read-only, a record locked by another user, a value that is no date),
// the empty text of lookup lists and the item values of radio groups.

#include "database.h"
#include "dbcheckbox.h"
#include "dbcombotext.h"
#include "dbdateedit.h"
#include "dbedit.h"
#include "dblabel.h"
#include "dblookupcombo.h"
#include "dbmemo.h"
#include "dbradiogroup.h"
#include "guisupport.h"
#include "table.h"
#include "testsupport.h"

#include <QCalendarWidget>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

using kadroltest::MessageBoxAnswerer;
using kadroltest::TempStore;
using kdb::Dataset;
using widgets::DataSource;

namespace {

const char* kSchema = R"(
CREATE TABLE reserv (Keyr INTEGER PRIMARY KEY AUTOINCREMENT, NameF VARCHAR(50), DatBd DATE,
  MF BOOLEAN, Comptr SMALLINT, Oklmin INTEGER, Rate DOUBLE, Valut INTEGER, Memint TEXT_MEMO,
  Voen BOOLEAN, Grag VARCHAR(30));
CREATE TABLE valut (Keyn INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(30));
)";

// What a test does with a control and how it reads what the control shows.
enum class Kind { Edit, Memo, ComboText, DateEdit, CheckBox, RadioGroup, Lookup };

class Fixture {
public:
    Fixture() : store(QString::fromLatin1(kSchema)), db(store.open(QStringLiteral("TESTDB")))
    {
        db->executeStoreScript(QStringLiteral(
            "INSERT INTO valut (Name) VALUES ('Рубль'), ('Доллар'), ('Евро');"
            "INSERT INTO reserv (NameF, DatBd, MF, Comptr, Oklmin, Rate, Valut, Memint, Voen, "
            "Grag) VALUES ('Жуков', '1975-04-02', 1, 2, 1000, 1234.5, 2, 'строка', 1, 'Россия');"
            "INSERT INTO reserv (NameF, DatBd, MF, Comptr, Oklmin, Valut) "
            "VALUES ('Иванов', NULL, 0, NULL, NULL, 0);"));
        valut.setDatabase(db.get());
        valut.setTableName(QStringLiteral("valut.db"));
        valut.setIndexFieldNames(QStringLiteral("Name"));
        reserv.setDatabase(db.get());
        reserv.setTableName(QStringLiteral("reserv.db"));
        reserv.setDisplayFormat(QStringLiteral("Rate"), QStringLiteral("#.00"));
        reserv.setDisplayValues(QStringLiteral("Voen"), QStringLiteral("Да;Нет"));
        reserv.addLookupField(QStringLiteral("nvalut"), QStringLiteral("Valut"), &valut,
                              QStringLiteral("Keyn"), QStringLiteral("Name"), 30);
        valut.open();
        reserv.open();
        source.setDataset(&reserv);
        window.resize(400, 300);
        new QVBoxLayout(&window);
    }

    // A control of that kind on the window, bound to a field of reserv.
    QWidget* control(Kind kind, const QString& fieldName)
    {
        QWidget* w = nullptr;
        switch (kind) {
        case Kind::Edit:
            w = new widgets::DbEdit(&source, fieldName);
            break;
        case Kind::Memo:
            w = new widgets::DbMemo(&source, fieldName);
            break;
        case Kind::ComboText:
            w = new widgets::DbComboText(&source, fieldName,
                                         {QStringLiteral("Россия"), QStringLiteral("Латвия")});
            break;
        case Kind::DateEdit:
            w = new widgets::DbDateEdit(&source, fieldName);
            break;
        case Kind::CheckBox:
            w = new widgets::DbCheckBox(QStringLiteral("Военнообязанный"), &source, fieldName);
            break;
        case Kind::RadioGroup: {
            auto* rg = new widgets::DbRadioGroup(QStringLiteral("Компьютер"));
            rg->setItems({QStringLiteral("Не владею"), QStringLiteral("Пользователь"),
                          QStringLiteral("Опытный польз.")});
            rg->bind(&source, fieldName);
            w = rg;
            break;
        }
        case Kind::Lookup: {
            auto* combo = new widgets::DbLookupCombo;
            combo->setList(&valut, QStringLiteral("Keyn"), QStringLiteral("Name"));
            combo->setEmptyText(QStringLiteral("Не указана"));
            combo->bind(&source, fieldName);
            w = combo;
            break;
        }
        }
        window.layout()->addWidget(w);
        return w;
    }

    bool showWindow()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }

    // Another workstation: a second database on the same folder editing the first candidate.
    std::unique_ptr<kdb::Table> lockFirstCandidate()
    {
        other = store.open(QStringLiteral("OTHER"));
        auto t = kdb::Table::opened(*other, QStringLiteral("reserv.db"));
        t->edit();
        return t;
    }

    QVariant stored(const QString& fieldName, int keyr = 1)
    {
        auto check = store.open();
        auto t = kdb::Table::opened(*check, QStringLiteral("reserv.db"));
        if (!t->locate(QStringLiteral("Keyr"), {keyr}))
            return QStringLiteral("<no row>");
        return t->value(fieldName);
    }

    TempStore store;
    std::unique_ptr<kdb::Database> db;
    std::unique_ptr<kdb::Database> other;
    kdb::Table valut;
    kdb::Table reserv;
    DataSource source;
    QWidget window;
};

// The text a user reads off the control.
QString shownText(Kind kind, QWidget* w)
{
    switch (kind) {
    case Kind::Edit:
        return static_cast<QLineEdit*>(w)->text();
    case Kind::Memo:
        return static_cast<QPlainTextEdit*>(w)->toPlainText();
    case Kind::ComboText:
    case Kind::Lookup:
        return static_cast<QComboBox*>(w)->currentText();
    case Kind::DateEdit:
        return static_cast<widgets::DbDateEdit*>(w)->text();
    case Kind::CheckBox:
        return static_cast<QCheckBox*>(w)->isChecked() ? QStringLiteral("x") : QStringLiteral("");
    case Kind::RadioGroup:
        return QString::number(static_cast<widgets::DbRadioGroup*>(w)->itemIndex());
    }
    return QString();
}

// The widget that takes the keys typed into a control.
QWidget* keyTarget(Kind kind, QWidget* w)
{
    switch (kind) {
    case Kind::ComboText:
        return static_cast<QComboBox*>(w)->lineEdit();
    case Kind::DateEdit:
        return static_cast<widgets::DbDateEdit*>(w)->lineEdit();
    default:
        return w;
    }
}

// Types any text (QTest::keyClicks takes Latin-1 only).
void typeText(QWidget* target, const QString& text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key(c.toUpper().unicode()), QString(c),
                            Qt::NoModifier);
}

// Replaces the control's text by typing: select all, then the keys (none: Backspace).
void typeOver(Kind kind, QWidget* w, const QString& text)
{
    QWidget* target = keyTarget(kind, w);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(target, Qt::Key_Backspace);
    else
        typeText(target, text);
}

// Clicks a check box or radio button on its mark: a wide button takes clicks only on its mark
// and caption.
void clickMark(QWidget* button)
{
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(8, button->height() / 2));
}

// What a user does to change the control: types, clicks, picks.
void change(Kind kind, QWidget* w)
{
    switch (kind) {
    case Kind::CheckBox:
        clickMark(w);
        break;
    case Kind::RadioGroup:
        clickMark(static_cast<widgets::DbRadioGroup*>(w)->button(0));
        break;
    case Kind::Lookup:
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Home);
        break;
    default:
        typeOver(kind, w, QStringLiteral("1"));
    }
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestDbControls : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void shownTexts_data();
    void shownTexts();
    void typingEditsAndWrites_data();
    void typingEditsAndWrites();
    void controlsFollowTheRecord();
    void lockedRecordRefusesTheChange_data();
    void lockedRecordRefusesTheChange();
    void readOnlyRefusesTheChange_data();
    void readOnlyRefusesTheChange();
    void checkBoxStoresTrueAndFalse();
    void radioGroupItemValues_data();
    void radioGroupItemValues();
    void radioGroupColumns();
    void dateEditTyping_data();
    void dateEditTyping();
    void dateEditCalendar();
    void halfTypedDateIsDroppedWhenTheWindowCloses();
    void lookupEmptyText_data();
    void lookupEmptyText();
    void lookupPickStores_data();
    void lookupPickStores();
    void dataBoxesAndNames();
};

// --- showing ------------------------------------------------------------------------------------

void TestDbControls::shownTexts_data()
{
    QTest::addColumn<bool>("label"); // a DbLabel, else a DbEdit
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");
    QTest::addRow("edit: date") << false << "DatBd"
                                << "02.04.1975";
    // A grouped amount could not be typed back: the edit box shows it ungrouped.
    QTest::addRow("edit: formatted amount") << false << "Rate"
                                            << "1234,50";
    QTest::addRow("label: formatted amount") << true << "Rate" << QStringLiteral("1\u00a0234,50");
    QTest::addRow("label: boolean display values") << true << "Voen"
                                                   << "Да";
    QTest::addRow("label: lookup name") << true << "nvalut"
                                        << "Доллар";
    QTest::addRow("field not in the dataset") << false << "Absent"
                                              << "";
}

void TestDbControls::shownTexts()
{
    QFETCH(bool, label);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    Fixture fx;
    if (label)
        QCOMPARE(widgets::DbLabel(&fx.source, field).text(), expected);
    else
        QCOMPARE(widgets::DbEdit(&fx.source, field).text(), expected);
}

// --- typing -------------------------------------------------------------------------------------

void TestDbControls::typingEditsAndWrites_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QVariant>("expected");
    QTest::addRow("edit: text") << Kind::Edit << "NameF" << QStringLiteral("Жуковский")
                                << QVariant(QStringLiteral("Жуковский"));
    QTest::addRow("edit: emptied text") << Kind::Edit << "NameF"
                                        << "" << QVariant();
    QTest::addRow("edit: integer") << Kind::Edit << "Oklmin"
                                   << "2500" << QVariant(2500);
    QTest::addRow("edit: amount with comma") << Kind::Edit << "Rate"
                                             << "2,75" << QVariant(2.75);
    QTest::addRow("edit: date as dd.mm.yyyy") << Kind::Edit << "DatBd"
                                              << "15.03.1985" << QVariant(QDate(1985, 3, 15));
    QTest::addRow("memo") << Kind::Memo << "Memint"
                          << "новая строка" << QVariant(QStringLiteral("новая строка"));
    QTest::addRow("text with suggestions: other text")
        << Kind::ComboText << "Grag" << QStringLiteral("Армения")
        << QVariant(QStringLiteral("Армения"));
    QTest::addRow("date box") << Kind::DateEdit << "DatBd"
                              << "01.09.2001" << QVariant(QDate(2001, 9, 1));
}

void TestDbControls::typingEditsAndWrites()
{
    QFETCH(Kind, kind);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QVariant, expected);
    Fixture fx;
    QWidget* w = fx.control(kind, field);
    QVERIFY(fx.showWindow());
    QCOMPARE(fx.reserv.state(), Dataset::State::Browse);

    MessageBoxAnswerer ok(QStringLiteral("OK"));
    typeOver(kind, w, typed);
    QCOMPARE(ok.texts(), QStringList());
    QCOMPARE(fx.reserv.state(), Dataset::State::Edit);
    QVERIFY(fx.reserv.modified());
    QCOMPARE(fx.reserv.value(field), expected);
    QCOMPARE(fx.reserv.value(field).isNull(), expected.isNull());

    KVERIFY(fx.reserv.post());
    QCOMPARE(fx.stored(field), expected);
}

void TestDbControls::controlsFollowTheRecord()
{
    Fixture fx;
    auto* edit = static_cast<widgets::DbEdit*>(fx.control(Kind::Edit, QStringLiteral("NameF")));
    auto* lookup = static_cast<QComboBox*>(fx.control(Kind::Lookup, QStringLiteral("Valut")));
    QVERIFY(fx.showWindow());
    QCOMPARE(edit->text(), QStringLiteral("Жуков"));
    QVERIFY(!edit->QLineEdit::isReadOnly());

    fx.reserv.next();
    QCOMPARE(edit->text(), QStringLiteral("Иванов"));
    QCOMPARE(lookup->currentText(), QStringLiteral("Не указана"));

    // Typed text that never reached the field is dropped when the record moves.
    typeOver(Kind::Edit, edit, QStringLiteral("Петров"));
    fx.reserv.cancel();
    QCOMPARE(edit->text(), QStringLiteral("Иванов"));

    // A field set by code shows at once.
    KVERIFY(fx.reserv.edit());
    KVERIFY(fx.reserv.fieldByName(QStringLiteral("Valut")).setValue(3));
    QCOMPARE(lookup->currentText(), QStringLiteral("Евро"));
    fx.reserv.cancel();

    fx.reserv.close();
    QCOMPARE(edit->text(), QString());
    QVERIFY(edit->QLineEdit::isReadOnly());
}

// --- refusals -----------------------------------------------------------------------------------

void TestDbControls::lockedRecordRefusesTheChange_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("field");
    QTest::addRow("edit") << Kind::Edit << "NameF";
    QTest::addRow("memo") << Kind::Memo << "Memint";
    QTest::addRow("text with suggestions") << Kind::ComboText << "Grag";
    QTest::addRow("date box") << Kind::DateEdit << "DatBd";
    QTest::addRow("check box") << Kind::CheckBox << "Voen";
    QTest::addRow("radio group") << Kind::RadioGroup << "Comptr";
    QTest::addRow("lookup list") << Kind::Lookup << "Valut";
}

void TestDbControls::lockedRecordRefusesTheChange()
{
    QFETCH(Kind, kind);
    QFETCH(QString, field);
    Fixture fx;
    QWidget* w = fx.control(kind, field);
    QVERIFY(fx.showWindow());
    const QString before = shownText(kind, w);
    const QVariant value = fx.reserv.value(field);

    std::unique_ptr<kdb::Table> holder;
    KVERIFY(holder = fx.lockFirstCandidate());
    // The message a user gets is the engine's own.
    kdb::Table probe;
    probe.setDatabase(fx.db.get());
    probe.setTableName(QStringLiteral("reserv.db"));
    KVERIFY(probe.open());
    QString engineMessage;
    try {
        probe.edit();
    } catch (const kdb::Error& e) {
        engineMessage = e.message();
    }
    QVERIFY(!engineMessage.isEmpty());

    MessageBoxAnswerer ok(QStringLiteral("OK"));
    change(kind, w);
    QCOMPARE(ok.texts(), QStringList{engineMessage});
    QCOMPARE(fx.reserv.state(), Dataset::State::Browse);
    QCOMPARE(fx.reserv.value(field), value);
    QCOMPARE(shownText(kind, w), before);

    // Once the other user is done, the same change goes through.
    holder->cancel();
    change(kind, w);
    QCOMPARE(ok.count(), 1);
    QCOMPARE(fx.reserv.state(), Dataset::State::Edit);
    QVERIFY(shownText(kind, w) != before);
}

void TestDbControls::readOnlyRefusesTheChange_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("reason");
    const QList<Kind> kinds{Kind::Edit,     Kind::Memo,       Kind::ComboText, Kind::DateEdit,
                            Kind::CheckBox, Kind::RadioGroup, Kind::Lookup};
    const QStringList names{"edit",       "memo",      "text with suggestions",
                            "date box",   "check box", "radio group",
                            "lookup list"};
    for (int i = 0; i < kinds.size(); ++i) {
        QTest::addRow("%s, own flag", qPrintable(names[i])) << kinds[i] << "control";
        QTest::addRow("%s, read-only dataset", qPrintable(names[i])) << kinds[i] << "dataset";
    }
    QTest::addRow("edit, read-only field") << Kind::Edit << "field";
    QTest::addRow("edit, auto edit off") << Kind::Edit << "autoEdit";
}

void TestDbControls::readOnlyRefusesTheChange()
{
    QFETCH(Kind, kind);
    QFETCH(QString, reason);
    Fixture fx;
    const QMap<Kind, QString> fields{{Kind::Edit, "NameF"},     {Kind::Memo, "Memint"},
                                     {Kind::ComboText, "Grag"}, {Kind::DateEdit, "DatBd"},
                                     {Kind::CheckBox, "Voen"},  {Kind::RadioGroup, "Comptr"},
                                     {Kind::Lookup, "Valut"}};
    const QString field = fields.value(kind);
    QWidget* w = fx.control(kind, field);
    auto* control = dynamic_cast<widgets::DataControl*>(w);
    QVERIFY(control);
    if (reason == QLatin1String("control")) {
        control->setReadOnly(true);
    } else if (reason == QLatin1String("dataset")) {
        fx.reserv.setReadOnly(true);
        control->refresh();
    } else if (reason == QLatin1String("field")) {
        fx.reserv.fieldByName(field).setReadOnly(true);
        control->refresh();
    } else {
        fx.source.setAutoEdit(false);
    }
    QVERIFY(fx.showWindow());
    const QString before = shownText(kind, w);

    MessageBoxAnswerer ok(QStringLiteral("OK"));
    change(kind, w);
    QCOMPARE(ok.count(), 0);
    QCOMPARE(fx.reserv.state(), Dataset::State::Browse);
    QCOMPARE(shownText(kind, w), before);
    if (reason == QLatin1String("control")) {
        control->setReadOnly(false);
        change(kind, w);
        QCOMPARE(fx.reserv.state(), Dataset::State::Edit);
    }
}

// --- check boxes and radio groups ---------------------------------------------------------------

void TestDbControls::checkBoxStoresTrueAndFalse()
{
    Fixture fx;
    auto* box = static_cast<QCheckBox*>(fx.control(Kind::CheckBox, QStringLiteral("Voen")));
    QVERIFY(fx.showWindow());
    QVERIFY(box->isChecked());
    clickMark(box);
    QVERIFY(!box->isChecked());
    QCOMPARE(fx.reserv.value(QStringLiteral("Voen")), QVariant(false));
    clickMark(box);
    QCOMPARE(fx.reserv.value(QStringLiteral("Voen")), QVariant(true));
    KVERIFY(fx.reserv.post());

    // An empty field shows unchecked; a click stores true.
    fx.reserv.next();
    QVERIFY(fx.reserv.value(QStringLiteral("Voen")).isNull());
    QVERIFY(!box->isChecked());
    clickMark(box);
    QCOMPARE(fx.reserv.value(QStringLiteral("Voen")), QVariant(true));
    KVERIFY(fx.reserv.post());
    QCOMPARE(fx.stored(QStringLiteral("Voen"), 2), QVariant(true));
    QCOMPARE(fx.stored(QStringLiteral("Voen"), 1), QVariant(true));
}

void TestDbControls::radioGroupItemValues_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QVariant>("initial");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<QVariant>("stored");
    const QStringList comptr{"Не владею", "Пользователь", "Опытный польз.", "Программист"};
    QTest::addRow("item index is the value")
        << "Comptr" << comptr << QStringList() << QVariant(2) << 2 << 0 << QVariant(0);
    QTest::addRow("given values") << "Comptr" << QStringList{"A", "B", "C", "D"}
                                  << QStringList{"1", "2", "3", "4"} << QVariant(2) << 1 << 3
                                  << QVariant(4);
    QTest::addRow("boolean values")
        << "MF" << QStringList{"Муж", "Жен"} << QStringList{"True", "False"} << QVariant(true) << 0
        << 1 << QVariant(false);
    QTest::addRow("value of no item")
        << "Comptr" << comptr << QStringList() << QVariant(7) << -1 << 3 << QVariant(3);
    QTest::addRow("empty field") << "Comptr" << comptr << QStringList() << QVariant() << -1 << 1
                                 << QVariant(1);
}

void TestDbControls::radioGroupItemValues()
{
    QFETCH(QString, field);
    QFETCH(QStringList, items);
    QFETCH(QStringList, values);
    QFETCH(QVariant, initial);
    QFETCH(int, shown);
    QFETCH(int, clicked);
    QFETCH(QVariant, stored);
    Fixture fx;
    KVERIFY(fx.reserv.edit());
    KVERIFY(fx.reserv.fieldByName(field).setValue(initial));
    KVERIFY(fx.reserv.post());

    widgets::DbRadioGroup rg(QStringLiteral("Группа"), &fx.window);
    fx.window.layout()->addWidget(&rg);
    rg.setItems(items);
    rg.setValues(values);
    rg.bind(&fx.source, field);
    QVERIFY(fx.showWindow());
    QCOMPARE(rg.itemIndex(), shown);

    QSignalSpy clicks(&rg, &widgets::DbRadioGroup::itemClicked);
    clickMark(rg.button(clicked));
    QCOMPARE(rg.itemIndex(), clicked);
    QCOMPARE(clicks.count(), 1);
    KVERIFY(fx.reserv.post());
    QCOMPARE(fx.stored(field), stored);

    // Clicking the item already chosen changes nothing and does not edit the record.
    clickMark(rg.button(clicked));
    QCOMPARE(fx.reserv.state(), Dataset::State::Browse);
}

void TestDbControls::radioGroupColumns()
{
    Fixture fx;
    widgets::DbRadioGroup rg(QStringLiteral("Компьютер"), &fx.window);
    rg.setItems({"Не владею", "Пользователь", "Опытный польз.", "Программист", "Сист.админ."});
    rg.setColumns(2);
    fx.window.layout()->addWidget(&rg);
    QVERIFY(fx.showWindow());
    // Five items in two columns: three in the first, filled from the top, two in the second.
    auto pos = [&](int i) { return rg.button(i)->geometry().topLeft(); };
    QCOMPARE(pos(1).x(), pos(0).x());
    QVERIFY(pos(1).y() > pos(0).y());
    QVERIFY(pos(3).x() > pos(2).x());
    QCOMPARE(pos(3).y(), pos(0).y());
    QCOMPARE(pos(4).y(), pos(1).y());
}

// --- the date box -------------------------------------------------------------------------------

void TestDbControls::dateEditTyping_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("stored"); // invalid: no date
    QTest::addColumn<bool>("refused");
    QTest::addRow("valid") << "15.03.1985" << QDate(1985, 3, 15) << false;
    QTest::addRow("single-digit day and month") << "5.3.1985" << QDate(1985, 3, 5) << false;
    QTest::addRow("slashes of the mask") << "15/03/1985" << QDate(1985, 3, 15) << false;
    QTest::addRow("emptied") << "" << QDate() << false;
    QTest::addRow("no such day") << "31.02.1985" << QDate(1975, 4, 2) << true;
    QTest::addRow("no such month") << "12.13.1985" << QDate(1975, 4, 2) << true;
    QTest::addRow("year left out") << "15.03" << QDate(1975, 4, 2) << true;
    QTest::addRow("letters are not taken") << "abc" << QDate(1975, 4, 2) << false;
}

void TestDbControls::dateEditTyping()
{
    QFETCH(QString, typed);
    QFETCH(QDate, stored);
    QFETCH(bool, refused);
    Fixture fx;
    auto* box = static_cast<widgets::DbDateEdit*>(fx.control(Kind::DateEdit, "DatBd"));
    QVERIFY(fx.showWindow());
    QCOMPARE(box->text(), QStringLiteral("02.04.1975"));

    MessageBoxAnswerer ok(QStringLiteral("OK"));
    typeOver(Kind::DateEdit, box, typed);
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    QCOMPARE(ok.count(), refused ? 1 : 0);
    if (refused)
        QVERIFY2(ok.texts().first().contains(typed), qPrintable(ok.texts().first()));
    QCOMPARE(fx.reserv.value("DatBd").toDate(), stored);
    QCOMPARE(box->date(), stored);
    QCOMPARE(box->text(), stored.isValid() ? stored.toString("dd.MM.yyyy") : QString());
}

// Closing a card with a date half typed once put an error box over the closing window.
void TestDbControls::halfTypedDateIsDroppedWhenTheWindowCloses()
{
    Fixture fx;
    auto* box = static_cast<widgets::DbDateEdit*>(fx.control(Kind::DateEdit, "DatBd"));
    QVERIFY(fx.showWindow());
    MessageBoxAnswerer ok(QStringLiteral("OK"));
    typeOver(Kind::DateEdit, box, QStringLiteral("15.0"));
    QCOMPARE(fx.reserv.state(), Dataset::State::Edit);
    fx.window.close();
    QTest::qWait(50);
    QCOMPARE(ok.count(), 0);
    QCOMPARE(fx.reserv.value("DatBd").toDate(), QDate(1975, 4, 2));
    QCOMPARE(box->text(), QStringLiteral("02.04.1975"));
}

void TestDbControls::dateEditCalendar()
{
    Fixture fx;
    fx.reserv.next(); // no date of birth
    auto* box = static_cast<widgets::DbDateEdit*>(fx.control(Kind::DateEdit, "DatBd"));
    QVERIFY(fx.showWindow());
    QCOMPARE(box->text(), QString());
    QTest::mouseClick(box->calendarButton(), Qt::LeftButton);
    QCalendarWidget* calendar = box->calendar();
    QVERIFY(calendar && calendar->isVisible());
    QCOMPARE(calendar->selectedDate(), QDate::currentDate());
    QCOMPARE(calendar->firstDayOfWeek(), Qt::Monday);

    Q_EMIT calendar->clicked(QDate(2000, 2, 29));
    QVERIFY(!calendar->isVisible());
    QCOMPARE(fx.reserv.value("DatBd"), QVariant(QDate(2000, 2, 29)));
    QCOMPARE(box->text(), QStringLiteral("29.02.2000"));

    // A read-only box does not drop its calendar down.
    KVERIFY(fx.reserv.post());
    box->setReadOnly(true);
    QVERIFY(!box->calendarButton()->isEnabled());
    box->showCalendar();
    QVERIFY(!calendar->isVisible());
}

// --- lookup lists -------------------------------------------------------------------------------

void TestDbControls::lookupEmptyText_data()
{
    QTest::addColumn<QVariant>("key");
    QTest::addColumn<QString>("emptyText");
    QTest::addColumn<QString>("shown");
    QTest::addRow("a key of the list") << QVariant(3) << "Не указана"
                                       << "Евро";
    QTest::addRow("0") << QVariant(0) << "Не указана"
                       << "Не указана";
    QTest::addRow("no value") << QVariant() << "Не указана"
                              << "Не указана";
    QTest::addRow("a key the list lacks") << QVariant(99) << "Не требуется"
                                          << "Не требуется";
    QTest::addRow("0 without empty text") << QVariant(0) << ""
                                          << "";
    QTest::addRow("missing key without empty text") << QVariant(99) << ""
                                                    << "";
}

void TestDbControls::lookupEmptyText()
{
    QFETCH(QVariant, key);
    QFETCH(QString, emptyText);
    QFETCH(QString, shown);
    Fixture fx;
    KVERIFY(fx.reserv.edit());
    KVERIFY(fx.reserv.fieldByName("Valut").setValue(key));
    KVERIFY(fx.reserv.post());
    widgets::DbLookupCombo combo;
    combo.setList(&fx.valut, "Keyn", "Name");
    combo.setEmptyText(emptyText);
    combo.bind(&fx.source, "Valut");
    QCOMPARE(combo.currentText(), shown);
    // The empty text is offered first, then the names in the list's order.
    QStringList entries;
    for (int i = 0; i < combo.count(); ++i)
        entries << combo.itemText(i);
    QStringList expected{"Доллар", "Евро", "Рубль"};
    if (!emptyText.isEmpty())
        expected.prepend(emptyText);
    QCOMPARE(entries, expected);
    QCOMPARE(fx.reserv.state(), Dataset::State::Browse);
}

void TestDbControls::lookupPickStores_data()
{
    QTest::addColumn<bool>("storesNull");
    QTest::addColumn<int>("downs"); // Down presses after Home
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addRow("empty entry stores 0") << false << 0 << QVariant(0) << "Не указана";
    QTest::addRow("empty entry stores null") << true << 0 << QVariant() << "Не указана";
    QTest::addRow("a name stores its key") << false << 3 << QVariant(1) << "Рубль";
}

void TestDbControls::lookupPickStores()
{
    QFETCH(bool, storesNull);
    QFETCH(int, downs);
    QFETCH(QVariant, stored);
    QFETCH(QString, shown);
    Fixture fx;
    auto* combo = static_cast<widgets::DbLookupCombo*>(fx.control(Kind::Lookup, "Valut"));
    combo->setEmptyValue(storesNull ? widgets::DbLookupCombo::EmptyValue::Null
                                    : widgets::DbLookupCombo::EmptyValue::Zero);
    QVERIFY(fx.showWindow());
    QCOMPARE(combo->currentText(), QStringLiteral("Доллар"));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < downs; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(combo->currentText(), shown);
    KVERIFY(fx.reserv.post());
    QCOMPARE(fx.stored("Valut"), stored);
    QCOMPARE(fx.stored("Valut").isNull(), stored.isNull());

    // A renamed currency shows under its new name.
    QVERIFY(fx.valut.locate("Keyn", {1}));
    KVERIFY(fx.valut.edit());
    KVERIFY(fx.valut.fieldByName("Name").setValue(QStringLiteral("Российский рубль")));
    KVERIFY(fx.valut.post());
    QVERIFY(combo->findText(QStringLiteral("Российский рубль")) > 0);
}

// --- look -------------------------------------------------------------------------------------

void TestDbControls::dataBoxesAndNames()
{
    Fixture fx;
    const QColor info = QApplication::palette().color(QPalette::ToolTipBase);
    for (Kind kind : {Kind::Edit, Kind::Memo, Kind::ComboText, Kind::Lookup}) {
        QWidget* w = fx.control(kind, "NameF");
        QCOMPARE(w->palette().color(QPalette::Base), info);
    }
    auto* date = static_cast<widgets::DbDateEdit*>(fx.control(Kind::DateEdit, "DatBd"));
    QCOMPARE(date->lineEdit()->palette().color(QPalette::Base), info);
    date->setCaption(QStringLiteral("Дата рождения"));
    QCOMPARE(date->accessibleName(), QStringLiteral("Дата рождения"));
    QCOMPARE(date->lineEdit()->accessibleName(), QStringLiteral("Дата рождения"));
    QCOMPARE(date->calendarButton()->accessibleName(), QStringLiteral("Календарь"));

    // The card draws a disabled box in the face colour.
    auto* edit = static_cast<widgets::DbEdit*>(fx.control(Kind::Edit, "NameF"));
    edit->setBoxColour(widgets::DataControl::faceColour());
    QCOMPARE(edit->palette().color(QPalette::Base),
             QApplication::palette().color(QPalette::Button));

    QCOMPARE(fx.control(Kind::CheckBox, "Voen")->accessibleName(),
             QStringLiteral("Военнообязанный"));
    auto* rg = static_cast<widgets::DbRadioGroup*>(fx.control(Kind::RadioGroup, "Comptr"));
    QCOMPARE(rg->accessibleName(), QStringLiteral("Компьютер"));
    QCOMPARE(rg->button(1)->accessibleName(), QStringLiteral("Пользователь"));
    rg->setCaption(QStringLiteral("Владение ПК"));
    QCOMPARE(rg->title(), QStringLiteral("Владение ПК"));
    QCOMPARE(rg->accessibleName(), QStringLiteral("Владение ПК"));
}

QTEST_MAIN(TestDbControls)
#include "tst_dbcontrols.moc"
