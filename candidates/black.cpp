#include "black.h"

#include "buttons.h"
#include "dbdateedit.h"
#include "dbedit.h"
#include "dblookupcombo.h"
#include "dbradiogroup.h"
#include "guard.h"
#include "messages.h"
#include "pdm.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <cmath>

namespace kadrol {

TFblack* Fblack = nullptr;

namespace {

QString lockedText()
{
    return QStringLiteral("Данные заблокированы другим пользователем. Повторите операцию.");
}

} // namespace

TFblack::TFblack(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Черный список"));
    setModal(true);
    widgets::DataSource* ds = &DM->DSblack;

    // The buttons along the top, then the mode box.
    Bp = widgets::panelButton(this, QStringLiteral("Сохранить"), QStringLiteral("Сохранить"));
    Bc = widgets::panelButton(this, QStringLiteral("Отмена"), QStringLiteral("Отмена"));
    Be = widgets::panelButton(this, QStringLiteral("Редактировать"),
                              QStringLiteral("Режим редактирования"));
    Bv = widgets::panelButton(this, QStringLiteral("Выход"));
    auto* modeBox = new QGroupBox(QStringLiteral("Режим"), this);
    m_mode = new QLabel(QStringLiteral("Просмотр"), modeBox);
    QFont bold = m_mode->font();
    bold.setBold(true);
    m_mode->setFont(bold);
    m_mode->setAlignment(Qt::AlignCenter);
    m_mode->setMinimumWidth(
        m_mode->fontMetrics().horizontalAdvance(QStringLiteral("Редактирование")) + 12);
    m_mode->setAccessibleName(QStringLiteral("Режим"));
    auto* modeLayout = new QVBoxLayout(modeBox);
    modeLayout->setContentsMargins(6, 2, 6, 4);
    modeLayout->addWidget(m_mode);
    auto* top = new QHBoxLayout;
    top->addWidget(Bp);
    top->addWidget(Bc);
    top->addWidget(Be);
    top->addWidget(Bv);
    top->addStretch(1);
    top->addWidget(modeBox);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 1);
    grid->setColumnMinimumWidth(
        3, fontMetrics().horizontalAdvance(QStringLiteral("+7 495 123-45-67")) + 24);
    int row = 0;
    // A caption with its control; the label names the control for the user and for assistive
    // technology.
    auto add = [&](const QString& caption, QWidget* control, int r, int column, int span = 1) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(control);
        grid->addWidget(label, r, column);
        grid->addWidget(control, r, column + 1, 1, span);
        if (auto* dc = dynamic_cast<widgets::DataControl*>(control)) {
            // A radio group's frame stays without a title: the label beside it names it.
            if (qobject_cast<widgets::DbRadioGroup*>(control))
                control->setAccessibleName(caption);
            else
                dc->setCaption(caption);
            m_controls << dc;
        }
    };
    auto edit = [&](const QString& field) { return new widgets::DbEdit(ds, field, this); };
    auto date = [&](const QString& field) { return new widgets::DbDateEdit(ds, field, this); };

    add(QStringLiteral("Фамилия"), edit(QStringLiteral("Namef")), row++, 0);
    add(QStringLiteral("Имя"), edit(QStringLiteral("Namei")), row++, 0);
    add(QStringLiteral("Отчество"), edit(QStringLiteral("Nameo")), row++, 0);
    Bd = widgets::panelButton(this, QStringLiteral("Удалить"), QStringLiteral("Удалить"));
    grid->addWidget(Bd, 0, 3, 1, 1, Qt::AlignRight | Qt::AlignTop);

    auto* mf = new widgets::DbRadioGroup(QString(), this);
    mf->setItems({QStringLiteral("Муж"), QStringLiteral("Жен")});
    mf->setValues({QStringLiteral("True"), QStringLiteral("False")});
    mf->setColumns(2);
    mf->bind(ds, QStringLiteral("Mf"));
    add(QStringLiteral("Пол"), mf, row, 0);
    add(QStringLiteral("Дата рожд."), date(QStringLiteral("Datbd")), row++, 2);

    auto* paspn = new widgets::DbLookupCombo(this);
    paspn->setList(&DM->pasprt, QStringLiteral("Keyn"), QStringLiteral("Name"));
    paspn->bind(ds, QStringLiteral("Paspn"));
    add(QStringLiteral("Документ"), paspn, row, 0);
    add(QStringLiteral("№"), edit(QStringLiteral("Pasps")), row++, 2);
    add(QStringLiteral("выдан"), edit(QStringLiteral("Paspv")), row, 0);
    {
        // The issue date follows the issuer on the same line; it is named after both.
        auto* paspd = date(QStringLiteral("Paspd"));
        grid->addWidget(paspd, row++, 3);
        paspd->setCaption(QStringLiteral("Дата выдачи"));
        m_controls << paspd;
    }
    add(QStringLiteral("Адрес прописки"), edit(QStringLiteral("Adrp")), row, 0);
    add(QStringLiteral("Тел."), edit(QStringLiteral("Telp")), row++, 2);
    add(QStringLiteral("Адрес проживания"), edit(QStringLiteral("Adr")), row, 0);
    add(QStringLiteral("Тел."), edit(QStringLiteral("Tel")), row++, 2);

    auto* nbas = new widgets::DbRadioGroup(QString(), this);
    nbas->setItems({QStringLiteral("Напрямую"), QStringLiteral("Из кандидатов")});
    nbas->setValues({QStringLiteral("0"), QStringLiteral("1")});
    nbas->setColumns(2);
    nbas->bind(ds, QStringLiteral("Nbas"));
    add(QStringLiteral("Из базы"), nbas, row, 0);
    add(QStringLiteral("Дата занесения"), date(QStringLiteral("Dzanes")), row++, 2);
    add(QStringLiteral("Примечание"), edit(QStringLiteral("Note")), row++, 0, 3);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addLayout(grid);
    layout->addStretch(1);
    resize(qMax(sizeHint().width(), 820), sizeHint().height());

    widgets::onSignal(Bp, &QPushButton::clicked, this, [this] { BpClick(); });
    widgets::onSignal(Bc, &QPushButton::clicked, this, [this] { BcClick(); });
    widgets::onSignal(Be, &QPushButton::clicked, this, [this] { BeClick(); });
    widgets::onSignal(Bd, &QPushButton::clicked, this, [this] { BdClick(); });
    connect(Bv, &QPushButton::clicked, this, &TFblack::reject);

    // At creation: view mode, and the save and cancel buttons disabled.
    Butt(false);
}

void TFblack::Butt(bool editable)
{
    m_editable = editable;
    for (widgets::DataControl* c : m_controls)
        c->setReadOnly(!editable);
    Bc->setEnabled(editable);
    Bp->setEnabled(editable);
    Be->setEnabled(!editable);
    m_mode->setText(editable ? QStringLiteral("Редактирование") : QStringLiteral("Просмотр"));
}

void TFblack::setModeLabel(const QString& text)
{
    m_mode->setText(text);
}

QString TFblack::modeLabel() const
{
    return m_mode->text();
}

QSize TFblack::fittedSize(const QSize& size)
{
    // nearbyint rounds in the default mode, to nearest with halves to even.
    return QSize(static_cast<int>(std::nearbyint(size.width() * 6.0 / 7.0)),
                 static_cast<int>(std::nearbyint(size.height() * 6.0 / 7.0)));
}

void TFblack::fitLowDensityScreen()
{
    const QPoint position = pos();
    resize(fittedSize(size()).expandedTo(minimumSizeHint()));
    move(position);
}

void TFblack::takeStart()
{
    m_start.clear();
    const kdb::Dataset& b = DM->black;
    if (!b.isOpen())
        return;
    for (int i = 0; i < b.fieldCount(); ++i)
        m_start << b.field(i).value();
}

bool TFblack::changedSinceStart() const
{
    const kdb::Dataset& b = DM->black;
    if (!b.isEditing())
        return false;
    if (m_start.size() != b.fieldCount())
        return b.modified();
    for (int i = 0; i < b.fieldCount(); ++i) {
        const QVariant now = b.field(i).value();
        const QVariant& then = m_start.at(i);
        if (now.isNull() != then.isNull() || (!now.isNull() && now != then))
            return true;
    }
    return false;
}

void TFblack::showEvent(QShowEvent* event)
{
    takeStart();
    QDialog::showEvent(event);
}

void TFblack::finishTyping()
{
    // A box being typed in writes its text when it loses the focus.
    if (QWidget* w = focusWidget())
        w->clearFocus();
}

void TFblack::BeClick()
{
    kdb::Dataset& b = DM->black;
    if (!b.isEditing())
        b.edit(); // takes the record lock; a lock held elsewhere is reported by the guard
    Butt(true);
    takeStart();
}

void TFblack::BpClick()
{
    finishTyping();
    kdb::Dataset& b = DM->black;
    if (b.isEditing())
        b.post(); // an error keeps the card in edit mode: the guard shows it
    Butt(false);
    takeStart();
}

void TFblack::BcClick()
{
    kdb::Dataset& b = DM->black;
    const bool adding = b.state() == kdb::Dataset::State::Insert;
    Butt(false);
    if (b.isEditing())
        b.cancel();
    takeStart();
    if (adding)
        QDialog::reject();
}

void TFblack::BdClick()
{
    if (!widgets::confirm(QStringLiteral("Удалить карточку из черного списка?"), this))
        return;
    kdb::Dataset& b = DM->black;
    try {
        b.remove(); // a new row being added is only discarded
    } catch (const kdb::Error& e) {
        if (e.code() != kdb::Error::Code::RecordLocked)
            throw;
        widgets::showInformation(lockedText(), this);
        return;
    }
    // The person is gone; the card is left in view mode rather than editing another row.
    Butt(false);
    takeStart();
    QDialog::reject();
}

bool TFblack::askBeforeClosing()
{
    finishTyping();
    kdb::Dataset& b = DM->black;
    if (!b.isEditing())
        return true;
    if (!changedSinceStart()) {
        // A new row with nothing but its defaults is not worth a question, nor worth keeping.
        if (b.state() == kdb::Dataset::State::Insert) {
            b.cancel();
            Butt(false);
            takeStart();
        }
        return true;
    }
    if (widgets::confirm(QStringLiteral("Сохранить изменения?"), this)) {
        // A post the store refuses is shown, and the card stays open in edit mode.
        if (!widgets::guarded([&b] { b.post(); }, this))
            return false;
    } else {
        b.cancel();
    }
    takeStart();
    return true;
}

void TFblack::reject()
{
    bool close = false;
    widgets::guarded([&] { close = askBeforeClosing(); }, this);
    if (close)
        QDialog::reject();
}

} // namespace kadrol
