#include "adstr.h"

#include "guard.h"
#include "lookuplist.h"
#include "messages.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kadrol {

TFadstr* Fadstr = nullptr;

TFadstr::TFadstr(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Добавление в структуру"));
    setObjectName(QStringLiteral("Fadstr"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Label1 = new QLabel(QStringLiteral("Сфера"), this);
    RG = new QGroupBox(this);
    RG->setAccessibleName(QStringLiteral("Раздел"));
    m_direction = new QRadioButton(QStringLiteral("Направление"), RG);
    m_speciality = new QRadioButton(QStringLiteral("Специальность"), RG);
    m_direction->setAccessibleName(m_direction->text());
    m_speciality->setAccessibleName(m_speciality->text());
    m_items = new QButtonGroup(this);
    m_items->addButton(m_direction, 0);
    m_items->addButton(m_speciality, 1);
    auto* items = new QHBoxLayout(RG);
    items->addWidget(m_direction);
    items->addWidget(m_speciality);
    items->addStretch(1);

    // Typing finds a name anywhere in it: a list of a few thousand specialities is not scrolled.
    Ld = new QComboBox(this);
    Ld->setEditable(true);
    Ld->setInsertPolicy(QComboBox::NoInsert);
    Ld->setMaxVisibleItems(20);
    Ld->setMinimumContentsLength(40);
    Ld->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Ld->completer()->setCompletionMode(QCompleter::PopupCompletion);
    Ld->completer()->setFilterMode(Qt::MatchContains);
    Ld->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    Ld->lineEdit()->setPlaceholderText(QStringLiteral("Выберите из списка или начните вводить"));
    Label1->setBuddy(Ld);

    BOk = new QPushButton(QStringLiteral("OK"), this);
    BCancel = new QPushButton(QStringLiteral("Отмена"), this);
    BOk->setAccessibleName(BOk->text());
    BCancel->setAccessibleName(BCancel->text());
    BOk->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BOk);
    buttons->addWidget(BCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(RG);
    layout->addWidget(Ld);
    layout->addLayout(buttons);
    // The dialog fits what it shows at each level: the radio group comes and goes.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(m_direction, m_speciality);
    setTabOrder(m_speciality, Ld);
    setTabOrder(Ld, BOk);
    setTabOrder(BOk, BCancel);

    connect(BOk, &QPushButton::clicked, this, &TFadstr::accept);
    connect(BCancel, &QPushButton::clicked, this, &TFadstr::reject);
    widgets::onSignal(m_items, &QButtonGroup::idClicked, this, [this] { RGClick(); });
    restore();
}

TFadstr::~TFadstr()
{
    if (Fadstr == this)
        Fadstr = nullptr;
}

QString TFadstr::duplicateText()
{
    return QStringLiteral("Данный раздел уже есть в Каталоге!");
}

QString TFadstr::nothingChosenText()
{
    return QStringLiteral("Не выбрано наименование! Выберите его из списка или нажмите «Отмена».");
}

void TFadstr::restore()
{
    Label1->show();
    RG->hide();
    RG->setEnabled(false);
    m_direction->setChecked(true);
    m_lists[0] = m_lists[1] = nullptr;
}

void TFadstr::prepare(const QString& label, kdb::Dataset* list)
{
    restore();
    Label1->setText(label);
    Ld->setAccessibleName(label);
    m_lists[0] = list;
    fillList(list);
}

void TFadstr::prepareGroupLevel(kdb::Dataset* directions, kdb::Dataset* specialities)
{
    restore();
    Label1->hide();
    RG->show();
    RG->setEnabled(true);
    m_direction->setChecked(true);
    m_lists[0] = directions;
    m_lists[1] = specialities;
    Ld->setAccessibleName(m_direction->text());
    fillList(directions);
}

void TFadstr::RGClick()
{
    const int item = m_items->checkedId() == 1 ? 1 : 0;
    Ld->setAccessibleName(item == 1 ? m_speciality->text() : m_direction->text());
    fillList(m_lists[item]);
}

void TFadstr::fillList(kdb::Dataset* list)
{
    Ld->clear();
    if (list)
        for (const widgets::LookupEntry& e :
             widgets::readLookupList(*list, QStringLiteral("Keyn"), QStringLiteral("Name")))
            Ld->addItem(e.name, e.key);
    Ld->setCurrentIndex(-1);
    Ld->setEditText(QString());
}

int TFadstr::chosenKey() const
{
    // The text in the box decides: a name typed in full counts as chosen.
    const QString text = Ld->currentText();
    if (text.isEmpty())
        return 0;
    int index = Ld->currentIndex();
    if (index < 0 || Ld->itemText(index) != text)
        index = Ld->findText(text, Qt::MatchFixedString);
    return index < 0 ? 0 : Ld->itemData(index).toInt();
}

QString TFadstr::chosenText() const
{
    const int key = chosenKey();
    const int index = key ? Ld->findData(key) : -1;
    return index < 0 ? QString() : Ld->itemText(index);
}

bool TFadstr::specialityChosen() const
{
    return !RG->isHidden() && m_items->checkedId() == 1;
}

void TFadstr::accept()
{
    const int key = chosenKey();
    if (key == 0) {
        widgets::showMessage(nothingChosenText(), this);
        return;
    }
    bool exists = false;
    if (duplicateTest &&
        !widgets::guarded([&] { exists = duplicateTest(key, specialityChosen()); }, this))
        return;
    if (exists) {
        widgets::showMessage(duplicateText(), this);
        return;
    }
    QDialog::accept();
}

} // namespace kadrol
