#include "dblookupcombo.h"

#include "dataset.h"

#include <QKeyEvent>
#include <QSignalBlocker>
#include <QWheelEvent>

namespace widgets {

DbLookupCombo::DbLookupCombo(QWidget* parent) : QComboBox(parent), DataControl(this)
{
    setMaxVisibleItems(8);
    setBoxColour(infoColour());
    connect(this, &QComboBox::activated, this, &DbLookupCombo::onActivated);
    refresh();
}

void DbLookupCombo::setList(kdb::Dataset* list, const QString& keyField, const QString& listField)
{
    disconnect(m_listConnection);
    m_list = list;
    m_keyField = keyField;
    m_listField = listField;
    if (list)
        m_listConnection = connect(list, &kdb::Dataset::layoutChanged, this, [this]() {
            m_stale = true;
            refresh();
        });
    m_stale = true;
    refresh();
}

void DbLookupCombo::setEmptyText(const QString& text)
{
    m_emptyText = text;
    m_stale = true;
    refresh();
}

void DbLookupCombo::fill()
{
    if (!m_stale)
        return;
    m_stale = false;
    m_entries =
        m_list ? readLookupList(*m_list, m_keyField, m_listField) : std::vector<LookupEntry>();
    const QSignalBlocker block(this);
    clear();
    if (hasEmptyEntry())
        addItem(m_emptyText);
    for (const LookupEntry& e : m_entries)
        addItem(e.name);
}

void DbLookupCombo::showValue(const kdb::Field* field)
{
    fill();
    int shown = hasEmptyEntry() ? 0 : -1;
    const QVariant key = field ? field->value() : QVariant();
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (sameKey(m_entries[i].key, key)) {
            shown = static_cast<int>(i) + (hasEmptyEntry() ? 1 : 0);
            break;
        }
    }
    if (!field && !hasEmptyEntry())
        shown = -1;
    if (currentIndex() != shown)
        setCurrentIndex(shown);
}

void DbLookupCombo::applyReadOnly(bool readOnly)
{
    m_blocked = readOnly;
}

void DbLookupCombo::applyBoxColour(const QColor& colour)
{
    // A list box without a line edit is drawn in the button colours.
    QPalette p = palette();
    p.setColor(QPalette::Base, colour);
    p.setColor(QPalette::Button, colour);
    setPalette(p);
}

void DbLookupCombo::showPopup()
{
    if (m_blocked)
        return;
    fill();
    QComboBox::showPopup();
}

void DbLookupCombo::keyPressEvent(QKeyEvent* event)
{
    if (m_blocked && event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab) {
        event->ignore();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void DbLookupCombo::wheelEvent(QWheelEvent* event)
{
    if (m_blocked) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

void DbLookupCombo::onActivated(int index)
{
    if (index < 0)
        return;
    const int entry = index - (hasEmptyEntry() ? 1 : 0);
    QVariant key;
    if (entry < 0)
        key = m_emptyValue == EmptyValue::Zero ? QVariant(0) : QVariant();
    else if (entry < static_cast<int>(m_entries.size()))
        key = m_entries[static_cast<size_t>(entry)].key;
    const kdb::Field* f = field();
    if (!f)
        return;
    const QVariant current = f->value();
    if (sameKey(current, key) || (key.isNull() && current.isNull()))
        return; // the same choice again changes nothing and takes no lock
    writeValue(key);
    refresh();
}

} // namespace widgets
