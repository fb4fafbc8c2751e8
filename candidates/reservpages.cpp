// The candidate card's pages of the candidate's own fields ("стр.1", "стр.3", "стр.4", "стр.8",
// "стр.9"), their enabling rules and the computed displays.
#include "reserv.h"

#include "dbcheckbox.h"
#include "dbcombotext.h"
#include "dbdateedit.h"
#include "dbedit.h"
#include "dblookupcombo.h"
#include "dbmemo.h"
#include "dbradiogroup.h"
#include "guard.h"
#include "lookuplist.h"
#include "myreg.h"
#include "pdm.h"
#include "shellservices.h"

#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace kadrol {

namespace {

// A drop-down of fixed choices over a number field, choice from the list only (the military
// status): item i stores values[i]; a value not in the list shows nothing.
class PickList : public QComboBox, public widgets::DataControl {
public:
    PickList(const QStringList& items, const QList<int>& values, QWidget* parent)
        : QComboBox(parent), DataControl(this), m_values(values)
    {
        addItems(items);
        setBoxColour(infoColour());
        connect(this, &QComboBox::activated, this, [this](int index) {
            if (index < 0 || index >= m_values.size() || !field())
                return;
            if (field()->asInt() == m_values[index] && !field()->isNull())
                return;
            writeValue(m_values[index]);
            refresh();
        });
        refresh();
    }

protected:
    void showValue(const kdb::Field* f) override
    {
        const QSignalBlocker block(this);
        setCurrentIndex(f && !f->isNull() ? static_cast<int>(m_values.indexOf(f->asInt())) : -1);
    }
    void applyReadOnly(bool readOnly) override { m_blocked = readOnly; }
    void applyBoxColour(const QColor& colour) override
    {
        QPalette p = palette();
        p.setColor(QPalette::Base, colour);
        p.setColor(QPalette::Button, colour);
        setPalette(p);
    }
    void showPopup() override
    {
        if (!m_blocked)
            QComboBox::showPopup();
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (m_blocked && event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab) {
            event->ignore();
            return;
        }
        QComboBox::keyPressEvent(event);
    }
    void wheelEvent(QWheelEvent* event) override
    {
        if (m_blocked)
            event->ignore();
        else
            QComboBox::wheelEvent(event);
    }

private:
    QList<int> m_values;
    bool m_blocked = false;
};

QLineEdit* computedBox(QWidget* parent, const QString& caption, int chars)
{
    auto* box = new QLineEdit(parent);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    box->setAccessibleName(caption);
    QPalette p = box->palette();
    p.setColor(QPalette::Base, widgets::DataControl::faceColour());
    box->setPalette(p);
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QLatin1Char('0')) * chars + 14);
    return box;
}

QLabel* label(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

int chars(QWidget* w, int n)
{
    return w->fontMetrics().horizontalAdvance(QLatin1Char('0')) * n + 16;
}

const QStringList kCitizenships{"Россия",  "Латвия",     "Литва",    "Эстония",
                                "Украина", "Белоруссия", "Молдавия", "Казахстан"};

} // namespace

// --- "стр.1" ------------------------------------------------------------------------------------

QWidget* TFres::buildPage1()
{
    auto* page = new QWidget(this);
    auto* outer = new QHBoxLayout(page);
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    widgets::DataSource* src = &DM->DSReserv;
    int row = 0;
    auto edit = [&](const QString& caption, const QString& field) {
        return bound(new widgets::DbEdit(src, field, page), caption);
    };
    auto line = [&](const QString& caption, QWidget* w, int span = 3) {
        grid->addWidget(label(caption, w, page), row, 0);
        grid->addWidget(w, row, 1, 1, span);
        ++row;
    };
    line(QStringLiteral("Фамилия"), edit(QStringLiteral("Фамилия"), QStringLiteral("NameF")));
    line(QStringLiteral("Имя"), edit(QStringLiteral("Имя"), QStringLiteral("NameI")));
    line(QStringLiteral("Отчество"), edit(QStringLiteral("Отчество"), QStringLiteral("NameO")));

    auto* mf = bound(new widgets::DbRadioGroup(QStringLiteral("Пол"), page), QStringLiteral("Пол"));
    mf->setItems({QStringLiteral("Муж"), QStringLiteral("Жен")});
    mf->setValues({QStringLiteral("True"), QStringLiteral("False")});
    mf->setColumns(2);
    mf->bind(src, QStringLiteral("MF"));
    grid->addWidget(mf, row, 0, 2, 1);

    auto* datbd = bound(new widgets::DbDateEdit(src, QStringLiteral("DatBd"), page),
                        QStringLiteral("Дата рождения"));
    m_age = computedBox(page, QStringLiteral("Возраст"), 4);
    auto* birthRow = new QHBoxLayout;
    birthRow->addWidget(label(QStringLiteral("Дата рождения"), datbd, page));
    birthRow->addWidget(datbd);
    birthRow->addSpacing(12);
    birthRow->addWidget(label(QStringLiteral("Возраст"), m_age, page));
    birthRow->addWidget(m_age);
    birthRow->addStretch(1);
    grid->addLayout(birthRow, row, 1, 1, 3);
    ++row;
    auto* datreg = bound(new widgets::DbDateEdit(src, QStringLiteral("Datreg"), page),
                         QStringLiteral("Дата регистрации"));
    auto* regRow = new QHBoxLayout;
    regRow->addWidget(label(QStringLiteral("Дата регистрации"), datreg, page));
    regRow->addWidget(datreg);
    regRow->addStretch(1);
    grid->addLayout(regRow, row, 1, 1, 3);
    ++row;

    m_wrknow = bound(new widgets::DbCheckBox(QStringLiteral("Работает в наст.время"), src,
                                             QStringLiteral("Wrknow"), page),
                     QStringLiteral("Работает в наст.время"));
    grid->addWidget(m_wrknow, row++, 1, 1, 3);
    m_firm = edit(QStringLiteral("Место работы"), QStringLiteral("Firm"));
    line(QStringLiteral("Место работы"), m_firm);
    m_dol = edit(QStringLiteral("Должность"), QStringLiteral("Dol"));
    line(QStringLiteral("Должность"), m_dol);
    m_dout = bound(new widgets::DbDateEdit(src, QStringLiteral("Dout"), page),
                   QStringLiteral("Уволен с"));
    auto* outRow = new QHBoxLayout;
    outRow->addWidget(m_dout);
    outRow->addStretch(1);
    grid->addWidget(label(QStringLiteral("Уволен с"), m_dout, page), row, 0);
    grid->addLayout(outRow, row++, 1, 1, 3);

    // The salary, its currency, and the amount in another currency (not stored).
    auto* oklmin = edit(QStringLiteral("Согласен на оклад от"), QStringLiteral("Oklmin"));
    oklmin->setMaximumWidth(chars(page, 10));
    auto* valut = new widgets::DbLookupCombo(page);
    valut->setList(&DM->Tvalut, QStringLiteral("Keyn"), QStringLiteral("Name"));
    valut->bind(src, QStringLiteral("Valut"));
    bound(valut, QStringLiteral("Валюта оклада"));
    m_salary = computedBox(page, QStringLiteral("Оклад в другой валюте"), 10);
    m_convert = new QComboBox(page);
    m_convert->setAccessibleName(QStringLiteral("Валюта пересчета"));
    connect(valut, &QComboBox::activated, this, [this]() { refreshSalary(); });
    connect(m_convert, &QComboBox::activated, this, [this]() { refreshSalary(); });
    auto* salaryRow = new QHBoxLayout;
    salaryRow->addWidget(oklmin);
    salaryRow->addWidget(valut);
    salaryRow->addSpacing(12);
    salaryRow->addWidget(new QLabel(QStringLiteral("="), page));
    salaryRow->addWidget(m_salary);
    salaryRow->addWidget(m_convert);
    salaryRow->addStretch(1);
    grid->addWidget(label(QStringLiteral("Согласен на оклад от"), oklmin, page), row, 0);
    grid->addLayout(salaryRow, row++, 1, 1, 3);

    auto* telwr = edit(QStringLiteral("Контактный тел.:"), QStringLiteral("TelWr"));
    auto* bal = edit(QStringLiteral("Оценка"), QStringLiteral("Bal"));
    bal->setMaximumWidth(chars(page, 5));
    auto* telRow = new QHBoxLayout;
    telRow->addWidget(telwr, 1);
    telRow->addSpacing(12);
    telRow->addWidget(label(QStringLiteral("Оценка"), bal, page));
    telRow->addWidget(bal);
    grid->addWidget(label(QStringLiteral("Контактный тел.:"), telwr, page), row, 0);
    grid->addLayout(telRow, row++, 1, 1, 3);

    grid->addWidget(new QLabel(QStringLiteral("Файл резюме"), page), row, 0);
    grid->addWidget(buildCvLine(), row++, 1, 1, 3);
    grid->setRowStretch(row, 1);

    outer->addLayout(grid, 3);
    outer->addWidget(buildPhotoArea(), 1);

    connect(m_wrknow, &QCheckBox::toggled, this, [this]() { applyEnablingRules(); });
    return page;
}

// --- "стр.3" ------------------------------------------------------------------------------------

QWidget* TFres::buildPage3()
{
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    grid->setColumnStretch(1, 1);
    widgets::DataSource* src = &DM->DSReserv;
    int row = 0;
    auto edit = [&](const QString& caption, const QString& field) {
        return bound(new widgets::DbEdit(src, field, page), caption);
    };
    auto lookup = [&](const QString& caption, const QString& field, kdb::Dataset* list) {
        auto* c = new widgets::DbLookupCombo(page);
        c->setList(list, QStringLiteral("Keyn"), QStringLiteral("Name"));
        c->bind(src, field);
        return bound(c, caption);
    };
    auto nameListButton = [&](const QString& listName, int group, int list) {
        QToolButton* b =
            makeToolButton(QStringLiteral("…"), QStringLiteral("Список «%1»").arg(listName));
        b->setProperty("nameList", true);
        widgets::onSignal(b, &QToolButton::clicked, this,
                          [this, group, list]() { openNameList(group, list); });
        return b;
    };
    // An address with its telephone on one line.
    auto addressLine = [&](const QString& caption, const QString& field, const QString& telCaption,
                           const QString& telField) {
        auto* adr = edit(caption, field);
        auto* tel = edit(telCaption, telField);
        tel->setMaximumWidth(chars(page, 16));
        grid->addWidget(label(caption, adr, page), row, 0);
        grid->addWidget(adr, row, 1);
        grid->addWidget(label(QStringLiteral("тел."), tel, page), row, 2);
        grid->addWidget(tel, row++, 3);
    };
    addressLine(QStringLiteral("Адрес проживания"), QStringLiteral("Adr"),
                QStringLiteral("тел. проживания"), QStringLiteral("Tel"));
    addressLine(QStringLiteral("Адрес регистрации"), QStringLiteral("AdrP"),
                QStringLiteral("тел. регистрации"), QStringLiteral("TelP"));
    auto* telsot = edit(QStringLiteral("Сотовый \\ пейджер "), QStringLiteral("Telsot"));
    telsot->setMaximumWidth(chars(page, 22));
    grid->addWidget(label(QStringLiteral("Сотовый \\ пейджер "), telsot, page), row, 0);
    grid->addWidget(telsot, row++, 1);

    auto* paspn =
        lookup(QStringLiteral("Удостоверение личности"), QStringLiteral("PaspN"), &DM->pasprt);
    auto* pasps = edit(QStringLiteral("№ удостоверения"), QStringLiteral("PaspS"));
    grid->addWidget(label(QStringLiteral("Удостоверение личности"), paspn, page), row, 0);
    auto* paspRow = new QHBoxLayout;
    paspRow->addWidget(paspn, 1);
    paspRow->addWidget(label(QStringLiteral("№"), pasps, page));
    paspRow->addWidget(pasps, 1);
    grid->addLayout(paspRow, row++, 1, 1, 3);
    auto* paspv = edit(QStringLiteral("выдан"), QStringLiteral("PaspV"));
    auto* paspd = bound(new widgets::DbDateEdit(src, QStringLiteral("PaspD"), page),
                        QStringLiteral("дата выдачи"));
    grid->addWidget(label(QStringLiteral("выдан"), paspv, page), row, 0);
    grid->addWidget(paspv, row, 1);
    grid->addWidget(label(QStringLiteral("дата"), paspd, page), row, 2);
    grid->addWidget(paspd, row++, 3);

    auto listLine = [&](const QString& caption, const QString& field, kdb::Dataset* list,
                        QToolButton* button) {
        auto* c = lookup(caption, field, list);
        auto* r = new QHBoxLayout;
        r->addWidget(c, 1);
        if (button)
            r->addWidget(button);
        grid->addWidget(label(caption, c, page), row, 0);
        grid->addLayout(r, row++, 1);
    };
    listLine(QStringLiteral("Узнал о вакансии от:"), QStringLiteral("Infrm"), &DM->tinfrm,
             nameListButton(QStringLiteral("Узнал о вак. от..."), 4, 2));
    auto* prov = bound(new widgets::DbCheckBox(QStringLiteral("Согласие на проверку данных"), src,
                                               QStringLiteral("Prov"), page),
                       QStringLiteral("Согласие на проверку данных"));
    auto* cvint = bound(new widgets::DbCheckBox(QStringLiteral("Прислал CV через Internet"), src,
                                                QStringLiteral("Cvint"), page),
                        QStringLiteral("Прислал CV через Internet"));
    grid->addWidget(prov, row++, 1);
    grid->addWidget(cvint, row++, 1);
    listLine(QStringLiteral("Район проживания"), QStringLiteral("Region"), &DM->region,
             nameListButton(QStringLiteral("Район"), 3, 0));
    listLine(QStringLiteral("Город проживания"), QStringLiteral("Townn"), &DM->town,
             nameListButton(QStringLiteral("Город"), 3, 1));
    listLine(QStringLiteral("Страна проживания"), QStringLiteral("Cntry"), &DM->cntry, nullptr);

    auto* email = edit(QStringLiteral("EMail"), QStringLiteral("Email"));
    QToolButton* mail = makeToolButton(QStringLiteral("✉"), QStringLiteral("Написать письмо"));
    widgets::onSignal(mail, &QToolButton::clicked, this, []() {
        const QString address = DM->Reserv.fieldByName(QStringLiteral("Email")).asString();
        if (!address.isEmpty())
            OpenWithShell(QStringLiteral("mailto:") + address);
    });
    auto* mailRow = new QHBoxLayout;
    mailRow->addWidget(email, 1);
    mailRow->addWidget(mail);
    grid->addWidget(label(QStringLiteral("EMail"), email, page), row, 0);
    grid->addLayout(mailRow, row++, 1);
    grid->setRowStretch(row, 1);
    return page;
}

// --- "стр.4" ------------------------------------------------------------------------------------

QWidget* TFres::buildPage4()
{
    auto* page = new QWidget(this);
    auto* outer = new QHBoxLayout(page);
    widgets::DataSource* src = &DM->DSReserv;
    auto check = [&](const QString& caption, const QString& field) {
        return bound(new widgets::DbCheckBox(caption, src, field, page), caption);
    };

    auto* left = new QVBoxLayout;
    auto* checks = new QGroupBox(page);
    auto* checksLayout = new QGridLayout(checks);
    const std::pair<const char*, const char*> boxes[] = {{"Согласие на командировки", "Koman"},
                                                         {"Заграничный паспорт", "Fax"},
                                                         {"Просит комп.пакет", "Compens"},
                                                         {"Знание Internet-a", "Stenogr"},
                                                         {"Научные труды", "Ntrud"},
                                                         {"Офисная АТС", "Copir"},
                                                         {"Изобретения", "Izobr"},
                                                         {"Курящий", "Kur"}};
    int i = 0;
    for (const auto& [caption, field] : boxes) {
        checksLayout->addWidget(check(QString::fromUtf8(caption), QString::fromLatin1(field)),
                                i % 4, i / 4);
        ++i;
    }
    left->addWidget(checks);

    auto* military = new QGroupBox(page);
    auto* militaryLayout = new QVBoxLayout(military);
    m_voen = check(QStringLiteral("Военнообязанный"), QStringLiteral("Voen"));
    auto* voentip = new PickList(
        {QStringLiteral("призывник"), QStringLiteral("в запасе"), QStringLiteral("снят с учета ")},
        {1, 2, 3}, page);
    voentip->bind(src, QStringLiteral("Voentip"));
    bound(static_cast<widgets::DataControl*>(voentip), QStringLiteral("Воинский учет"));
    m_voentip = voentip;
    militaryLayout->addWidget(m_voen);
    militaryLayout->addWidget(voentip);
    left->addWidget(military);

    auto* comptr = bound(new widgets::DbRadioGroup(QStringLiteral("Компьютер"), page),
                         QStringLiteral("Компьютер"));
    comptr->setItems({QStringLiteral("Не владею"), QStringLiteral("Пользователь"),
                      QStringLiteral("Опытный польз."), QStringLiteral("Программист"),
                      QStringLiteral("Сист.админ.")});
    comptr->setColumns(2);
    comptr->bind(src, QStringLiteral("Comptr"));
    left->addWidget(comptr);
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    auto* car = new QGroupBox(page);
    auto* carLayout = new QGridLayout(car);
    m_autom = check(QStringLiteral("Личн.автомобиль"), QStringLiteral("Autom"));
    auto* marka = bound(new widgets::DbEdit(src, QStringLiteral("Avtmarka"), page),
                        QStringLiteral("Марка автомобиля"));
    m_avtmarka = marka;
    carLayout->addWidget(m_autom, 0, 0, 1, 2);
    carLayout->addWidget(label(QStringLiteral("Марка автомобиля"), marka, page), 1, 0);
    carLayout->addWidget(marka, 1, 1);
    right->addWidget(car);

    auto* driving = new QGroupBox(page);
    auto* drivingLayout = new QGridLayout(driving);
    m_autopr = check(QStringLiteral("Водит.права"), QStringLiteral("Autopr"));
    auto* kat = bound(new widgets::DbRadioGroup(QStringLiteral("Категория прав"), page),
                      QStringLiteral("Категория прав"));
    kat->setItems(
        {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")});
    kat->setValues(
        {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    kat->setColumns(2);
    kat->bind(src, QStringLiteral("Katavtm"));
    m_katavtm = kat;
    auto* apryear =
        bound(new widgets::DbEdit(src, QStringLiteral("Apryear"), page), QStringLiteral("Права с"));
    apryear->setMaximumWidth(chars(page, 6));
    m_apryear = apryear;
    m_driving = computedBox(page, QStringLiteral("Водительский стаж"), 4);
    drivingLayout->addWidget(m_autopr, 0, 0, 1, 4);
    drivingLayout->addWidget(kat, 1, 0, 1, 4);
    drivingLayout->addWidget(label(QStringLiteral("Права с"), apryear, page), 2, 0);
    auto* yearRow = new QHBoxLayout;
    yearRow->addWidget(apryear);
    yearRow->addWidget(new QLabel(QStringLiteral("года"), page));
    yearRow->addStretch(1);
    drivingLayout->addLayout(yearRow, 2, 1, 1, 3);
    drivingLayout->addWidget(label(QStringLiteral("Водительский стаж"), m_driving, page), 3, 0);
    auto* stageRow = new QHBoxLayout;
    stageRow->addWidget(m_driving);
    stageRow->addWidget(new QLabel(QStringLiteral("лет"), page));
    stageRow->addStretch(1);
    drivingLayout->addLayout(stageRow, 3, 1, 1, 3);
    right->addWidget(driving);

    auto* marrRow = new QHBoxLayout;
    auto* marr = new widgets::DbLookupCombo(page);
    marr->setList(&DM->marr, QStringLiteral("Keyn"), QStringLiteral("Name"));
    marr->bind(src, QStringLiteral("Marr"));
    bound(marr, QStringLiteral("Семейное положение"));
    marrRow->addWidget(label(QStringLiteral("Семейное положение"), marr, page));
    marrRow->addWidget(marr, 1);
    right->addLayout(marrRow);
    right->addStretch(1);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* all = new QVBoxLayout;
    all->addLayout(columns);
    auto* note = bound(new widgets::DbEdit(src, QStringLiteral("Note"), page),
                       QStringLiteral("Личные качества:"));
    auto* noteRow = new QHBoxLayout;
    noteRow->addWidget(label(QStringLiteral("Личные качества:"), note, page));
    noteRow->addWidget(note, 1);
    all->addLayout(noteRow);
    all->addStretch(1);
    outer->addLayout(all);

    for (widgets::DbCheckBox* c : {m_voen, m_autom, m_autopr})
        connect(c, &QCheckBox::toggled, this, [this]() { applyEnablingRules(); });
    return page;
}

// --- "стр.8" ------------------------------------------------------------------------------------

QWidget* TFres::buildPage8()
{
    auto* page = new QWidget(this);
    auto* outer = new QVBoxLayout(page);
    widgets::DataSource* src = &DM->DSReserv;

    auto* record = new QGridLayout;
    record->setColumnStretch(1, 1);
    auto pair = [&](int row, const QString& caption, const QString& flag, const QString& text,
                    widgets::DbCheckBox*& box, widgets::DbEdit*& edit) {
        box = bound(new widgets::DbCheckBox(caption, src, flag, page), caption);
        edit =
            bound(new widgets::DbEdit(src, text, page), caption + QStringLiteral(": подробности"));
        record->addWidget(box, row, 0);
        record->addWidget(edit, row, 1);
        connect(box, &QCheckBox::toggled, this, [this]() { applyEnablingRules(); });
    };
    pair(0, QStringLiteral("Привлекался к угол.ответственности"), QStringLiteral("Ugol"),
         QStringLiteral("Ugols"), m_ugol, m_ugols);
    pair(1, QStringLiteral("Подвергался админ.задержанию"), QStringLiteral("Admin"),
         QStringLiteral("Admins"), m_admin, m_admins);
    pair(2, QStringLiteral("Находился под следствием"), QStringLiteral("Sled"),
         QStringLiteral("Sleds"), m_sled, m_sleds);
    outer->addLayout(record);

    auto* middle = new QHBoxLayout;
    auto* children = new QGroupBox(page);
    auto* childLayout = new QGridLayout(children);
    auto* chil = bound(
        new widgets::DbComboText(src, QStringLiteral("Chil"),
                                 {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                                  QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")},
                                 page),
        QStringLiteral("Количество детей:"));
    chil->setMaximumWidth(chars(page, 6));
    childLayout->addWidget(label(QStringLiteral("Количество детей:"), chil, page), 0, 0, 1, 2);
    childLayout->addWidget(chil, 0, 2);
    childLayout->addWidget(new QLabel(QStringLiteral("Информация по детям:"), page), 1, 0, 1, 3);
    childLayout->addWidget(new QLabel(QStringLiteral("Год рожд."), page), 2, 1);
    childLayout->addWidget(new QLabel(QStringLiteral("Возраст"), page), 2, 2);
    for (int c = 0; c < 3; ++c) {
        const QString n = QString::number(c + 1);
        auto* year = bound(new widgets::DbEdit(src, QStringLiteral("Chil") + n, page),
                           QStringLiteral("Год рождения ребенка ") + n);
        year->setMaximumWidth(chars(page, 6));
        m_childAge[c] = computedBox(page, QStringLiteral("Возраст ребенка ") + n, 4);
        childLayout->addWidget(new QLabel(n, page), 3 + c, 0);
        childLayout->addWidget(year, 3 + c, 1);
        childLayout->addWidget(m_childAge[c], 3 + c, 2);
    }
    middle->addWidget(children);

    auto* citizen = new QGroupBox(page);
    auto* citizenLayout = new QGridLayout(citizen);
    auto* grag = bound(new widgets::DbComboText(src, QStringLiteral("Grag"), kCitizenships, page),
                       QStringLiteral("Гражданство кандидата"));
    auto* grag2 = bound(new widgets::DbComboText(src, QStringLiteral("Grag2"), kCitizenships, page),
                        QStringLiteral("Второе гражданство"));
    citizenLayout->addWidget(label(QStringLiteral("Гражданство кандидата"), grag, page), 0, 0);
    citizenLayout->addWidget(grag, 0, 1);
    citizenLayout->addWidget(label(QStringLiteral("Второе гражданство"), grag2, page), 1, 0);
    citizenLayout->addWidget(grag2, 1, 1);
    citizenLayout->setRowStretch(2, 1);
    middle->addWidget(citizen, 1);
    outer->addLayout(middle);

    auto* moves = new QHBoxLayout;
    auto* twnout = bound(new widgets::DbRadioGroup(QStringLiteral("Переезд по работе"), page),
                         QStringLiteral("Переезд по работе"));
    twnout->setItems({QStringLiteral("не согласен"), QStringLiteral("в пределах региона"),
                      QStringLiteral("в Европейской части РФ"), QStringLiteral("согласен")});
    twnout->bind(src, QStringLiteral("Twnout"));
    auto* cntryout = bound(new widgets::DbRadioGroup(QStringLiteral("Переезд из страны"), page),
                           QStringLiteral("Переезд из страны"));
    cntryout->setItems({QStringLiteral("не согласен"), QStringLiteral("согласен")});
    cntryout->setValues({QStringLiteral("False"), QStringLiteral("True")});
    cntryout->bind(src, QStringLiteral("Cntryout"));
    moves->addWidget(twnout, 1);
    moves->addWidget(cntryout, 1);
    outer->addLayout(moves);
    outer->addStretch(1);
    return page;
}

// --- "стр.9" ------------------------------------------------------------------------------------

QWidget* TFres::buildPage9()
{
    auto* page = new QWidget(this);
    auto* outer = new QVBoxLayout(page);
    auto* memo = bound(new widgets::DbMemo(&DM->DSReserv, QStringLiteral("Memint"), page),
                       QStringLiteral("Служебная информация по кандидату"));
    outer->addWidget(label(QStringLiteral("Служебная информация по кандидату"), memo, page));
    outer->addWidget(memo, 1);
    return page;
}

// --- rules and computed displays ----------------------------------------------------------------

void TFres::applyEnablingRules()
{
    auto info = [](QWidget* w, bool on) {
        w->setEnabled(on);
        if (auto* c = dynamic_cast<widgets::DataControl*>(w))
            c->setBoxColour(on ? widgets::DataControl::infoColour()
                               : widgets::DataControl::faceColour());
    };
    const bool autopr = m_autopr->isChecked();
    m_katavtm->setEnabled(autopr);
    m_apryear->setEnabled(autopr);
    info(m_admins, m_admin->isChecked());
    info(m_sleds, m_sled->isChecked());
    info(m_ugols, m_ugol->isChecked());
    m_avtmarka->setEnabled(m_autom->isChecked());
    const bool works = m_wrknow->isChecked();
    info(m_firm, works);
    info(m_dol, works);
    info(m_dout, !works);
    info(m_voentip, m_voen->isChecked());
}

void TFres::refreshComputed()
{
    kdb::Table& r = DM->Reserv;
    if (!r.isOpen())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    m_age->setText(ageText(r.fieldByName(QStringLiteral("DatBd")).asDate(), now));
    m_driving->setText(
        yearsSinceText(r.fieldByName(QStringLiteral("Apryear")).value(), now.date().year()));
    for (int c = 0; c < 3; ++c)
        m_childAge[c]->setText(
            yearsSinceText(r.fieldByName(QStringLiteral("Chil") + QString::number(c + 1)).value(),
                           now.date().year()));
    refreshSalary();
    updateCaption();
}

void TFres::refreshSalary()
{
    // The conversion list offers the currencies as they are now.
    const QVariant chosen = m_convert->currentData();
    const std::vector<widgets::LookupEntry> currencies =
        widgets::readLookupList(DM->Tvalut, QStringLiteral("Keyn"), QStringLiteral("Name"));
    {
        const QSignalBlocker block(m_convert);
        m_convert->clear();
        for (const widgets::LookupEntry& e : currencies)
            m_convert->addItem(e.name, e.key);
        m_convert->setCurrentIndex(std::max(0, m_convert->findData(chosen.isValid() ? chosen : 2)));
    }
    kdb::Table& r = DM->Reserv;
    auto rate = [](const QVariant& key, double otherwise) {
        if (key.isNull())
            return otherwise;
        const QVariant v = DM->Tvalut.lookup(QStringLiteral("Keyn"), {key}, QStringLiteral("Rate"));
        return v.isNull() ? otherwise : v.toDouble();
    };
    const double a = rate(r.fieldByName(QStringLiteral("Valut")).value(), 0.0);
    const double b = rate(m_convert->currentData(), 1.0);
    m_salary->setText(salaryText(r.fieldByName(QStringLiteral("Oklmin")).asInt(), a, b));
}

QString TFres::ageText(const QDate& birth, const QDateTime& now)
{
    if (!birth.isValid())
        return QString();
    return QString::number(DateSpan(now, QDateTime(birth, QTime(0, 0))).years);
}

QString TFres::yearsSinceText(const QVariant& year, int currentYear)
{
    if (year.isNull() || year.toInt() < 1)
        return QString();
    return QString::number(currentYear - year.toInt());
}

QString TFres::salaryText(double amount, double rateA, double rateB)
{
    if (rateB == 0)
        return QString();
    const double value = amount * rateA / rateB;
    if (!std::isfinite(value))
        return QString();
    // "#.##": at most two decimals, no trailing zeros, no leading zero, nothing for zero.
    const double rounded = std::round(value * 100.0) / 100.0;
    if (rounded == 0)
        return QString();
    QString text = QString::number(std::fabs(rounded), 'f', 2);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.startsWith(QLatin1String("0.")))
        text.remove(0, 1);
    text.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return rounded < 0 ? QStringLiteral("-") + text : text;
}

} // namespace kadrol
