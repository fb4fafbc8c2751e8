// The candidate card's catalog page ("стр.2") and its detail lists ("стр.5" to "стр.7").
#include "reserv.h"

#include "dbgrid.h"
#include "guard.h"
#include "messages.h"
#include "pdm.h"

#include "strkatl.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kadrol {

namespace {

using widgets::GridColumn;

GridColumn col(const char* title, const char* field, int width = 0)
{
    return {QString::fromUtf8(title), QString::fromLatin1(field), width};
}

} // namespace

widgets::DbGrid* TFres::detailGrid(const QString& caption, kdb::Dataset& dataset)
{
    auto* grid = new widgets::DbGrid(this);
    grid->setCaption(caption);
    for (const QString& name : DM->dataSourceNames()) {
        widgets::DataSource* s = DM->findDataSource(name);
        if (s && s->dataset() == &dataset) {
            grid->setDataSource(s);
            break;
        }
    }
    grid->setMinimumHeight(90);
    return grid;
}

QWidget* TFres::detailBox(const QString& heading, widgets::DbGrid* grid,
                          const QList<QPushButton*>& buttons)
{
    auto* box = new QGroupBox(heading, this);
    box->setAccessibleName(heading);
    auto* row = new QHBoxLayout(box);
    row->addWidget(grid, 1);
    auto* column = new QVBoxLayout;
    for (QPushButton* b : buttons)
        column->addWidget(b);
    column->addStretch(1);
    row->addLayout(column);
    return box;
}

void TFres::deleteDetailRow(kdb::Dataset& dataset)
{
    if (!dataset.isOpen() || (dataset.isEmpty() && dataset.state() != kdb::Dataset::State::Insert))
        return;
    if (!widgets::confirm(QStringLiteral("Удалить запись?"), this))
        return;
    dataset.remove();
}

// --- "стр.2" ------------------------------------------------------------------------------------

QWidget* TFres::buildPage2()
{
    auto* page = new QWidget(this);
    auto* outer = new QVBoxLayout(page);
    auto* main = new QGroupBox(QStringLiteral("Основная специальность по каталогу:"), page);
    auto* grid = new QGridLayout(main);
    grid->setColumnStretch(1, 1);
    const char* levels[] = {"Сфера", "Группа", "Направление", "Специальность"};
    for (int i = 0; i < 4; ++i) {
        const QString caption = QString::fromUtf8(levels[i]);
        m_catalog[i] = new QLineEdit(main);
        m_catalog[i]->setReadOnly(true);
        m_catalog[i]->setAccessibleName(caption);
        QPalette p = m_catalog[i]->palette();
        p.setColor(QPalette::Base, QColor(255, 255, 225)); // a data box, though never typed into
        m_catalog[i]->setPalette(p);
        auto* l = new QLabel(caption, main);
        l->setBuddy(m_catalog[i]);
        grid->addWidget(l, i, 0);
        grid->addWidget(m_catalog[i], i, 1);
    }
    QPushButton* change = makeButton(QStringLiteral("Изменить каталог"),
                                     QStringLiteral("Дополнить каталог и выбрать специальность"));
    QPushButton* choose = makeButton(QStringLiteral("Выбрать спец."),
                                     QStringLiteral("Выбрать специальность в каталоге"));
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(change);
    buttons->addWidget(choose);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 2, 4, 1);
    widgets::onSignal(change, &QPushButton::clicked, this, [this]() { chooseMainPosition(true); });
    widgets::onSignal(choose, &QPushButton::clicked, this, [this]() { chooseMainPosition(false); });
    outer->addWidget(main);

    m_svkatGrid = detailGrid(QStringLiteral("Другие возможные профессии"), DM->svkat);
    m_svkatGrid->setColumns({col("Сфера", "nsfr", 180), col("Группа", "ngrp", 180),
                             col("Направление", "nnapr", 180), col("Специальность", "nspec", 200)});
    m_svkatGrid->setReadOnly(true);
    QPushButton* add = makeButton(QStringLiteral("Добавить"),
                                  QStringLiteral("Добавить специальность из каталога"));
    QPushButton* remove = makeButton(QStringLiteral("Удалить"), QStringLiteral("Удалить"));
    remove->setAccessibleName(QStringLiteral("Удалить: Другие возможные профессии"));
    widgets::onSignal(add, &QPushButton::clicked, this, [this]() { addFurtherSpeciality(); });
    widgets::onSignal(remove, &QPushButton::clicked, this,
                      [this]() { deleteDetailRow(DM->svkat); });
    outer->addWidget(
        detailBox(QStringLiteral("Другие возможные профессии"), m_svkatGrid, {add, remove}), 1);
    return page;
}

void TFres::fillCatalogNames()
{
    for (QLineEdit* box : m_catalog)
        box->clear();
    kdb::Table& r = DM->Reserv;
    if (!r.isOpen() || r.isEmpty())
        return;
    kdb::Dataset* lists[] = {&DM->sfera, &DM->grp, &DM->knapr, &DM->speclz};
    const char* fields[] = {"Sfr", "Grp", "Napr", "Spec"};
    for (int i = 0; i < 4; ++i) {
        const QVariant key = r.fieldByName(QString::fromLatin1(fields[i])).value();
        if (key.isNull() || !lists[i]->isOpen())
            continue;
        m_catalog[i]->setText(
            lists[i]->lookup(QStringLiteral("Keyn"), {key}, QStringLiteral("Name")).toString());
        m_catalog[i]->setCursorPosition(0);
    }
}

void TFres::chooseMainPosition(bool withEditing)
{
    Fedkatl->prepare(withEditing ? TFedkatl::Mode::ChooseEditing : TFedkatl::Mode::Choose);
    if (Fedkatl->exec() != QDialog::Accepted)
        return;
    const CatalogPosition p = Fedkatl->result();
    kdb::Table& r = DM->Reserv;
    const bool postNow = r.state() == kdb::Dataset::State::Browse;
    if (postNow)
        r.edit();
    r.fieldByName(QStringLiteral("Sfr")).setValue(p.sfr);
    r.fieldByName(QStringLiteral("Grp")).setValue(p.grp);
    r.fieldByName(QStringLiteral("Napr")).setValue(p.napr);
    r.fieldByName(QStringLiteral("Spec")).setValue(p.spec);
    if (postNow) {
        r.post();
        DM->Dtb.flush();
    }
    fillCatalogNames();
}

void TFres::addFurtherSpeciality()
{
    kdb::Table& r = DM->Reserv;
    // Without its first save the candidate has no key the row could be stored under.
    if (r.state() == kdb::Dataset::State::Insert) {
        widgets::showInformation(TDM::saveCandidateFirstText(), this);
        return;
    }
    Fedkatl->prepare(TFedkatl::Mode::Choose);
    if (Fedkatl->exec() != QDialog::Accepted)
        return;
    const CatalogPosition p = Fedkatl->result();
    const QVariant key = r.fieldByName(QStringLiteral("Keyr")).value();
    if (!DM->svkat.isOpen())
        DM->svkat.open();
    if (DM->svkat.locate(QStringLiteral("tabno;sfr;grp;napr;spec"),
                         {key, p.sfr, p.grp, p.napr, p.spec})) {
        widgets::showMessage(
            QStringLiteral("Такая специальность уже указана для данного кандидата!"), this);
        return;
    }
    DM->svkat.insertRecord({QVariant(), key, p.sfr, p.grp, p.napr, p.spec, QString()});
    DM->Dtb.flush();
}

// --- "стр.5" to "стр.7" -------------------------------------------------------------------------

QWidget* TFres::buildPage5()
{
    auto* page = new QWidget(this);
    auto* outer = new QHBoxLayout(page);
    auto* skills = detailGrid(QStringLiteral("Специальные навыки"), DM->recnvk);
    skills->setColumns({col("Навык", "nname", 200), col("Уровень", "nurov", 140)});
    auto* languages = detailGrid(QStringLiteral("Иностр.языки"), DM->reclang);
    languages->setColumns({col("Язык", "nlang", 160), col("Степень владения", "nstlang", 160)});
    m_editGrids.push_back(skills);
    m_editGrids.push_back(languages);

    QPushButton* names =
        makeButton(QStringLiteral("Справочник"), QStringLiteral("Список специальных навыков"));
    names->setProperty("nameList", true);
    // The skills' own list, "Спец.навыки" of the group "Прочее".
    widgets::onSignal(names, &QPushButton::clicked, this, [this]() { openNameList(4, 1); });
    QPushButton* delSkill = makeButton(QStringLiteral("Удалить"), QStringLiteral("Удалить"));
    delSkill->setAccessibleName(QStringLiteral("Удалить: Специальные навыки"));
    widgets::onSignal(delSkill, &QPushButton::clicked, this,
                      [this]() { deleteDetailRow(DM->recnvk); });
    QPushButton* delLang = makeButton(QStringLiteral("Удалить"), QStringLiteral("Удалить"));
    delLang->setAccessibleName(QStringLiteral("Удалить: Иностр.языки"));
    widgets::onSignal(delLang, &QPushButton::clicked, this,
                      [this]() { deleteDetailRow(DM->reclang); });
    outer->addWidget(detailBox(QStringLiteral("Специальные навыки"), skills, {names, delSkill}), 1);
    outer->addWidget(detailBox(QStringLiteral("Иностр.языки"), languages, {delLang}), 1);
    return page;
}

QWidget* TFres::buildPage6()
{
    auto* page = new QWidget(this);
    auto* outer = new QVBoxLayout(page);
    auto* education = detailGrid(QStringLiteral("Образование"), DM->eductn);
    education->setColumns({col("С", "DFrom", 85), col("По", "Dto", 85), col("Тип", "ntip", 120),
                           col("Профиль", "nprofl", 120), col("Специализация", "nspeclz", 130),
                           col("Учебное заведение", "Zaved", 180),
                           col("Диплом/Специальность", "Diplom", 150),
                           col("Квалификация", "Kvalif", 120), col("Примечание", "Note", 150)});
    auto* experience = detailGrid(QStringLiteral("Профессиональный опыт"), DM->prfopt);
    experience->setColumns(
        {col("С", "From", 85), col("По", "To", 85), col("Стаж", "Stag", 60),
         col("Фирма", "Firm", 150), col("Должность", "Dolgn", 130),
         col("Проф.обязанности", "Obaz", 180), col("Область деятельности", "noblst", 150),
         col("Направление деятельности", "nnapr", 160), col("Примечание", "Note", 150)});
    m_editGrids.push_back(education);
    m_editGrids.push_back(experience);
    QPushButton* delEdu = makeButton(QStringLiteral("Удалить"), QStringLiteral("Удалить"));
    delEdu->setAccessibleName(QStringLiteral("Удалить: Образование"));
    widgets::onSignal(delEdu, &QPushButton::clicked, this,
                      [this]() { deleteDetailRow(DM->eductn); });
    QPushButton* delExp = makeButton(QStringLiteral("Удалить"), QStringLiteral("Удалить"));
    delExp->setAccessibleName(QStringLiteral("Удалить: Профессиональный опыт"));
    widgets::onSignal(delExp, &QPushButton::clicked, this,
                      [this]() { deleteDetailRow(DM->prfopt); });
    outer->addWidget(detailBox(QStringLiteral("Образование"), education, {delEdu}), 1);
    outer->addWidget(detailBox(QStringLiteral("Профессиональный опыт"), experience, {delExp}), 1);
    return page;
}

QWidget* TFres::buildPage7()
{
    auto* page = new QWidget(this);
    auto* outer = new QVBoxLayout(page);
    auto* recommendations = detailGrid(QStringLiteral("Рекомендации"), DM->recom);
    recommendations->setColumns({col("ФИО", "Fio", 200), col("Фирма, должность", "Firm", 220),
                                 col("Контактный телефон", "Kontel", 140),
                                 col("Рекомендация", "Rec", 300)});
    auto* interviews = detailGrid(QStringLiteral("Собеседования"), DM->sobsd);
    interviews->setColumns(
        {col("Дата", "Dat", 90), col("Кто проводил", "Who", 250), col("Результат", "Res", 400)});
    m_editGrids.push_back(recommendations);
    m_editGrids.push_back(interviews);
    QPushButton* delRec = makeButton(QStringLiteral("Удалить"), QStringLiteral("Удалить"));
    delRec->setAccessibleName(QStringLiteral("Удалить: Рекомендации"));
    widgets::onSignal(delRec, &QPushButton::clicked, this,
                      [this]() { deleteDetailRow(DM->recom); });
    QPushButton* delSob = makeButton(QStringLiteral("Удалить"), QStringLiteral("Удалить"));
    delSob->setAccessibleName(QStringLiteral("Удалить: Собеседования"));
    widgets::onSignal(delSob, &QPushButton::clicked, this,
                      [this]() { deleteDetailRow(DM->sobsd); });
    outer->addWidget(detailBox(QStringLiteral("Рекомендации"), recommendations, {delRec}), 1);
    outer->addWidget(detailBox(QStringLiteral("Собеседования"), interviews, {delSob}), 1);
    return page;
}

} // namespace kadrol
