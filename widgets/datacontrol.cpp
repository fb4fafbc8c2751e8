#include "datacontrol.h"

#include "datasource.h"
#include "fieldtext.h"
#include "guard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPalette>
#include <QScopedValueRollback>
#include <QWidget>

namespace widgets {

DataControl::DataControl(QWidget* self) : m_self(self) {}

DataControl::~DataControl()
{
    for (const auto& c : m_connections)
        QObject::disconnect(c);
}

void DataControl::bind(DataSource* source, const QString& fieldName)
{
    m_fieldName = fieldName;
    if (source == m_source) {
        refresh();
        return;
    }
    setDataSource(source);
}

void DataControl::setDataSource(DataSource* source)
{
    for (const auto& c : m_connections)
        QObject::disconnect(c);
    m_connections.clear();
    m_source = source;
    connectSource();
    refresh();
}

void DataControl::setFieldName(const QString& name)
{
    m_fieldName = name;
    refresh();
}

void DataControl::connectSource()
{
    if (!m_source)
        return;
    auto again = [this]() {
        if (!m_keepShown)
            refresh();
    };
    m_connections << QObject::connect(m_source, &DataSource::recordChanged, m_self, again);
    m_connections << QObject::connect(m_source, &DataSource::datasetChanged, m_self, again);
    m_connections << QObject::connect(m_source, &DataSource::fieldChanged, m_self,
                                      [this](int index) { onFieldChanged(index); });
}

kdb::Dataset* DataControl::dataset() const
{
    return m_source ? m_source->dataset() : nullptr;
}

kdb::Field* DataControl::field() const
{
    kdb::Dataset* ds = dataset();
    if (!ds || !ds->isOpen() || m_fieldName.isEmpty())
        return nullptr;
    return ds->findField(m_fieldName);
}

void DataControl::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    updateReadOnly();
}

bool DataControl::isEditable() const
{
    if (m_readOnly)
        return false;
    const kdb::Field* f = field();
    if (!f || f->readOnly() || f->kind() == kdb::Field::Kind::Lookup)
        return false;
    return f->dataset().canModify();
}

bool DataControl::isNull() const
{
    const kdb::Field* f = field();
    return !f || f->isNull();
}

bool DataControl::isNewRecord() const
{
    const kdb::Dataset* ds = dataset();
    return ds && ds->state() == kdb::Dataset::State::Insert;
}

void DataControl::refresh()
{
    m_waitingText = false;
    {
        QScopedValueRollback<bool> showing(m_showing, true);
        showValue(field());
    }
    updateReadOnly();
}

void DataControl::updateReadOnly()
{
    const int readOnly = isEditable() ? 0 : 1;
    if (readOnly == m_appliedReadOnly)
        return;
    m_appliedReadOnly = readOnly;
    applyReadOnly(readOnly != 0);
}

void DataControl::onFieldChanged(int fieldIndex)
{
    if (m_keepShown)
        return;
    const kdb::Field* f = field();
    if (!f)
        return;
    bool mine = f->index() == fieldIndex;
    if (!mine && f->kind() == kdb::Field::Kind::Lookup) {
        const kdb::Field* key = f->dataset().findField(f->keyFieldName());
        mine = key && key->index() == fieldIndex;
    }
    if (mine)
        refresh();
}

void DataControl::setCaption(const QString& caption)
{
    m_self->setAccessibleName(caption);
}

void DataControl::setBoxColour(const QColor& colour)
{
    applyBoxColour(colour);
}

void DataControl::applyBoxColour(const QColor& colour)
{
    QPalette p = m_self->palette();
    p.setColor(QPalette::Base, colour);
    m_self->setPalette(p);
}

QColor DataControl::infoColour()
{
    return QApplication::palette().color(QPalette::ToolTipBase);
}

QColor DataControl::faceColour()
{
    return QApplication::palette().color(QPalette::Button);
}

bool DataControl::beginChange(bool keepShownValue)
{
    if (!isEditable())
        return false;
    kdb::Dataset* ds = dataset();
    if (ds->isEditing())
        return true;
    if (!m_source->canEdit())
        return false;
    QScopedValueRollback<bool> keep(m_keepShown, keepShownValue || m_keepShown);
    if (!guarded([this]() { m_source->startEdit(); }, m_self))
        return false;
    return ds->isEditing();
}

bool DataControl::writeValue(const QVariant& value)
{
    kdb::Field* f = field();
    if (!f || !beginChange(true)) {
        refresh();
        return false;
    }
    bool ok = false;
    {
        QScopedValueRollback<bool> keep(m_keepShown, true);
        ok = guarded([f, &value]() { f->setValue(value); }, m_self);
    }
    if (!ok)
        refresh();
    return ok;
}

bool DataControl::fieldTakes(const QVariant& value) const
{
    const kdb::Field* f = field();
    if (!f)
        return false;
    try {
        f->convert(value);
    } catch (const kdb::Error&) {
        return false;
    }
    return true;
}

bool DataControl::isEditingKey(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    default:
        break;
    }
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
        event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo) ||
        event->matches(QKeySequence::DeleteEndOfWord) ||
        event->matches(QKeySequence::DeleteStartOfWord))
        return true;
    // Shortcuts (select all, copy, moving by words) change nothing.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint();
}

void DataControl::textTyped(const QString& text)
{
    const kdb::Field* f = field();
    if (!f || !beginChange(true)) {
        refresh();
        return;
    }
    const QVariant value = valueFromText(*f, text);
    m_waitingText = !fieldTakes(value);
    if (!m_waitingText)
        writeValue(value);
}

void DataControl::typingFinished(const QString& text)
{
    const kdb::Field* f = field();
    if (!f)
        return;
    if (m_waitingText && !m_self->window()->isHidden()) {
        m_waitingText = false;
        writeValue(valueFromText(*f, text));
        return;
    }
    refresh(); // the field's own spelling of what was typed
}

} // namespace widgets
