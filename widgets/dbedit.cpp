#include "dbedit.h"

#include "field.h"
#include "fieldtext.h"

#include <QKeyEvent>

namespace widgets {

DbEdit::DbEdit(QWidget* parent) : QLineEdit(parent), DataControl(this)
{
    setBoxColour(infoColour());
    connect(this, &QLineEdit::textEdited, this, &DbEdit::onTextEdited);
    connect(this, &QLineEdit::editingFinished, this, &DbEdit::onEditingFinished);
    refresh();
}

DbEdit::DbEdit(DataSource* source, const QString& fieldName, QWidget* parent) : DbEdit(parent)
{
    bind(source, fieldName);
}

void DbEdit::showValue(const kdb::Field* field)
{
    m_pending = false;
    const QString mask = field ? inputMaskFor(field->editMask()) : QString();
    if (inputMask() != mask)
        setInputMask(mask);
    const int maxLength = field && field->type() == kdb::FieldType::String && field->size() > 0
                              ? field->size()
                              : 32767;
    if (this->maxLength() != maxLength)
        setMaxLength(maxLength);
    const QString text = field ? editTextOf(*field, field->value()) : QString();
    if (this->text() != text)
        setText(text);
}

void DbEdit::applyReadOnly(bool readOnly)
{
    QLineEdit::setReadOnly(readOnly);
}

void DbEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && m_pending) {
        refresh();
        selectAll();
        return;
    }
    if (isEditingKey(event) && !beginChange()) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void DbEdit::onTextEdited(const QString& text)
{
    const kdb::Field* f = field();
    if (!f || !beginChange(true)) {
        refresh();
        return;
    }
    // A text that does not convert yet (a date half typed) waits for the end of the typing.
    const QVariant value = valueFromText(*f, text);
    m_pending = !fieldTakes(value);
    if (!m_pending)
        writeValue(value);
}

void DbEdit::onEditingFinished()
{
    const kdb::Field* f = field();
    if (!f)
        return;
    if (m_pending) {
        m_pending = false;
        // The window is going away: what was typed never reached the field, and a message
        // box over a closing window would only stand in the way.
        if (window()->isHidden()) {
            refresh();
            return;
        }
        // Writing again shows why the field does not take the text, and puts the value back.
        writeValue(valueFromText(*f, text()));
        return;
    }
    refresh(); // the field's own spelling of what was typed
}

} // namespace widgets
