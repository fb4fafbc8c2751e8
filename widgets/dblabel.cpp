#include "dblabel.h"

#include "field.h"

namespace widgets {

DbLabel::DbLabel(QWidget* parent) : QLabel(parent), DataControl(this)
{
    setReadOnly(true);
    setTextFormat(Qt::PlainText);
    refresh();
}

DbLabel::DbLabel(DataSource* source, const QString& fieldName, QWidget* parent) : DbLabel(parent)
{
    bind(source, fieldName);
}

void DbLabel::showValue(const kdb::Field* field)
{
    setText(field ? field->displayText() : QString());
}

void DbLabel::applyReadOnly(bool) {}

void DbLabel::applyBoxColour(const QColor&) {}

} // namespace widgets
