#include "dbcombotext.h"

#include "field.h"
#include "fieldtext.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

namespace widgets {

DbComboText::DbComboText(QWidget* parent) : QComboBox(parent), DataControl(this)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr); // the stored text is what was typed, not a completed suggestion
    setBoxColour(infoColour());
    lineEdit()->installEventFilter(this);
    connect(lineEdit(), &QLineEdit::textEdited, this, &DbComboText::onTextEdited);
    connect(this, &QComboBox::activated, this, &DbComboText::onActivated);
    refresh();
}

DbComboText::DbComboText(DataSource* source, const QString& fieldName,
                         const QStringList& suggestions, QWidget* parent)
    : DbComboText(parent)
{
    setSuggestions(suggestions);
    bind(source, fieldName);
}

void DbComboText::setSuggestions(const QStringList& suggestions)
{
    const QString text = currentText();
    clear();
    addItems(suggestions);
    setEditText(text);
}

void DbComboText::showValue(const kdb::Field* field)
{
    const QString text = field ? editTextOf(*field, field->value()) : QString();
    if (currentText() != text)
        setEditText(text);
}

void DbComboText::applyReadOnly(bool readOnly)
{
    m_blocked = readOnly;
    lineEdit()->setReadOnly(readOnly);
}

void DbComboText::applyBoxColour(const QColor& colour)
{
    QPalette p = palette();
    p.setColor(QPalette::Base, colour);
    setPalette(p);
}

void DbComboText::showPopup()
{
    if (!m_blocked)
        QComboBox::showPopup();
}

bool DbComboText::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isEditingKey(key) && !beginChange())
            return true;
    }
    return QComboBox::eventFilter(watched, event);
}

void DbComboText::keyPressEvent(QKeyEvent* event)
{
    // Keys typed into the box come here first and go on to its line edit.
    if (isEditingKey(event) && !beginChange()) {
        event->accept();
        return;
    }
    // The arrows would step through the suggestions of a read-only box.
    if (m_blocked && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down ||
                      event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown ||
                      event->key() == Qt::Key_Home || event->key() == Qt::Key_End)) {
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void DbComboText::wheelEvent(QWheelEvent* event)
{
    if (m_blocked) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

void DbComboText::onTextEdited(const QString& text)
{
    const kdb::Field* f = field();
    if (f)
        writeValue(valueFromText(*f, text));
}

void DbComboText::onActivated(int index)
{
    const kdb::Field* f = field();
    if (f && index >= 0)
        writeValue(valueFromText(*f, itemText(index)));
}

} // namespace widgets
