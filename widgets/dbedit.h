#pragma once

#include "datacontrol.h"

#include <QLineEdit>

namespace widgets {

// A one-line data box over a field of any type. Text fields are written as they are typed; a
// number or a date is written as soon as the text converts (a date as dd.mm.yyyy), and a text
// that never converts is refused with the engine's message when the box is left. A field with
// an edit mask is typed through it. Escape puts back the field's value.
class DbEdit : public QLineEdit, public DataControl {
    Q_OBJECT
public:
    explicit DbEdit(QWidget* parent = nullptr);
    DbEdit(DataSource* source, const QString& fieldName, QWidget* parent = nullptr);

    using DataControl::isReadOnly;
    using DataControl::setReadOnly;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showValue(const kdb::Field* field) override;
    void applyReadOnly(bool readOnly) override;

private:
    void onTextEdited(const QString& text);
    void onEditingFinished();
};

} // namespace widgets
