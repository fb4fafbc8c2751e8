#pragma once

#include "datacontrol.h"

#include <QPlainTextEdit>

namespace widgets {

// A multi-line data box over a text or memo field, written as it is typed.
class DbMemo : public QPlainTextEdit, public DataControl {
    Q_OBJECT
public:
    explicit DbMemo(QWidget* parent = nullptr);
    DbMemo(DataSource* source, const QString& fieldName, QWidget* parent = nullptr);

    using DataControl::isReadOnly;
    using DataControl::setReadOnly;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showValue(const kdb::Field* field) override;
    void applyReadOnly(bool readOnly) override;

private:
    void onTextChanged();
};

} // namespace widgets
