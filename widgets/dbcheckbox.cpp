#include "dbcheckbox.h"

#include "field.h"

namespace widgets {

DbCheckBox::DbCheckBox(const QString& caption, QWidget* parent)
    : QCheckBox(caption, parent), DataControl(this)
{
    setAccessibleName(caption);
    refresh();
}

DbCheckBox::DbCheckBox(const QString& caption, DataSource* source, const QString& fieldName,
                       QWidget* parent)
    : DbCheckBox(caption, parent)
{
    bind(source, fieldName);
}

void DbCheckBox::setCaption(const QString& caption)
{
    setText(caption);
    DataControl::setCaption(caption);
}

void DbCheckBox::showValue(const kdb::Field* field)
{
    setChecked(field && field->asBool());
}

void DbCheckBox::applyReadOnly(bool) {}

void DbCheckBox::applyBoxColour(const QColor&) {}

void DbCheckBox::nextCheckState()
{
    // A click on a read-only box or one the engine refuses leaves the mark as it was.
    if (!beginChange())
        return;
    writeValue(!isChecked());
    refresh();
}

} // namespace widgets
