#pragma once

#include "datacontrol.h"

#include <QLabel>

namespace widgets {

// A read-only text of a field of the current record, as the field displays it ("Да"/"Нет",
// dd.mm.yyyy, a lookup's name).
class DbLabel : public QLabel, public DataControl {
    Q_OBJECT
public:
    explicit DbLabel(QWidget* parent = nullptr);
    DbLabel(DataSource* source, const QString& fieldName, QWidget* parent = nullptr);

protected:
    void showValue(const kdb::Field* field) override;
    void applyReadOnly(bool readOnly) override;
    void applyBoxColour(const QColor& colour) override;
};

} // namespace widgets
