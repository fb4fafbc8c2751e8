#include "dbmemo.h"

#include "field.h"
#include "fieldtext.h"

#include <QKeyEvent>
#include <QTimer>

namespace widgets {

DbMemo::DbMemo(QWidget* parent) : QPlainTextEdit(parent), DataControl(this)
{
    setBoxColour(infoColour());
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &DbMemo::onTextChanged);
    refresh();
}

DbMemo::DbMemo(DataSource* source, const QString& fieldName, QWidget* parent) : DbMemo(parent)
{
    bind(source, fieldName);
}

void DbMemo::showValue(const kdb::Field* field)
{
    const QString text = field ? field->asString() : QString();
    if (toPlainText() != text)
        setPlainText(text);
}

void DbMemo::applyReadOnly(bool readOnly)
{
    QPlainTextEdit::setReadOnly(readOnly);
}

void DbMemo::keyPressEvent(QKeyEvent* event)
{
    if (isEditingKey(event) || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!beginChange()) {
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void DbMemo::onTextChanged()
{
    if (isShowing())
        return;
    const kdb::Field* f = field();
    if (!f)
        return;
    if (!beginChange(true)) {
        // A change that came past the keys (a paste from the menu, a drop) is taken back once
        // the document has finished changing.
        QTimer::singleShot(0, this, [this]() { refresh(); });
        return;
    }
    writeValue(valueFromText(*f, toPlainText()));
}

} // namespace widgets
