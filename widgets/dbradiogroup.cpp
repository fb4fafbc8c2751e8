#include "dbradiogroup.h"

#include "field.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QRadioButton>
#include <algorithm>

namespace widgets {

DbRadioGroup::DbRadioGroup(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent), DataControl(this), m_layout(new QGridLayout(this)),
      m_group(new QButtonGroup(this))
{
    setAccessibleName(caption);
    m_layout->setContentsMargins(6, 2, 6, 2);
    m_layout->setVerticalSpacing(0);
    connect(m_group, &QButtonGroup::idClicked, this, &DbRadioGroup::onClicked);
    refresh();
}

void DbRadioGroup::setCaption(const QString& caption)
{
    setTitle(caption);
    DataControl::setCaption(caption);
}

void DbRadioGroup::setItems(const QStringList& items)
{
    m_items = items;
    rebuild();
}

void DbRadioGroup::setValues(const QStringList& values)
{
    m_values = values;
    refresh();
}

void DbRadioGroup::setColumns(int columns)
{
    m_columns = std::max(1, columns);
    rebuild();
}

QRadioButton* DbRadioGroup::button(int index) const
{
    return index >= 0 && index < m_buttons.size() ? m_buttons[index] : nullptr;
}

int DbRadioGroup::itemIndex() const
{
    for (int i = 0; i < m_buttons.size(); ++i)
        if (m_buttons[i]->isChecked())
            return i;
    return -1;
}

QVariant DbRadioGroup::itemValue(int index) const
{
    if (index < m_values.size())
        return m_values[index];
    return index;
}

void DbRadioGroup::rebuild()
{
    for (QRadioButton* b : m_buttons) {
        m_group->removeButton(b);
        delete b;
    }
    m_buttons.clear();
    const int count = static_cast<int>(m_items.size());
    const int perColumn = (count + m_columns - 1) / m_columns;
    for (int i = 0; i < count; ++i) {
        auto* b = new QRadioButton(m_items[i], this);
        b->setAccessibleName(m_items[i]);
        b->installEventFilter(this);
        m_group->addButton(b, i);
        m_layout->addWidget(b, i % perColumn, i / perColumn);
        m_buttons << b;
    }
    refresh();
}

void DbRadioGroup::check(int index)
{
    if (index == itemIndex())
        return;
    if (index < 0) {
        // An exclusive group keeps one button checked; none is checked only outside it.
        m_group->setExclusive(false);
        for (QRadioButton* b : m_buttons)
            b->setChecked(false);
        m_group->setExclusive(true);
        return;
    }
    m_buttons[index]->setChecked(true);
}

void DbRadioGroup::showValue(const kdb::Field* field)
{
    int shown = -1;
    const QVariant value = field ? field->value() : QVariant();
    if (!value.isNull()) {
        for (int i = 0; i < m_buttons.size() && shown < 0; ++i) {
            try {
                if (field->convert(itemValue(i)) == value)
                    shown = i;
            } catch (const kdb::Error&) {
                // An item value the field cannot hold matches no record.
            }
        }
    }
    m_shown = shown;
    check(shown);
}

void DbRadioGroup::applyReadOnly(bool readOnly)
{
    m_blocked = readOnly;
}

void DbRadioGroup::applyBoxColour(const QColor&) {}

bool DbRadioGroup::eventFilter(QObject* watched, QEvent* event)
{
    if (m_blocked) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            return key != Qt::Key_Tab && key != Qt::Key_Backtab;
        }
        default:
            break;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

void DbRadioGroup::onClicked(int index)
{
    if (isShowing() || index == m_shown)
        return;
    if (writeValue(itemValue(index))) {
        refresh();
        Q_EMIT itemClicked(index);
    }
}

} // namespace widgets
