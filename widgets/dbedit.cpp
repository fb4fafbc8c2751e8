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
    if (event->key() == Qt::Key_Escape && hasWaitingText()) {
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
    textTyped(text);
}

void DbEdit::onEditingFinished()
{
    typingFinished(text());
}

} // namespace widgets
