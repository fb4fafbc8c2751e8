#pragma once

#include "datacontrol.h"

#include <QCheckBox>

namespace widgets {

// A check box over a field: stores true when checked and false when not (1 and 0 in a number
// field); an empty field shows unchecked.
class DbCheckBox : public QCheckBox, public DataControl {
    Q_OBJECT
public:
    explicit DbCheckBox(const QString& caption = QString(), QWidget* parent = nullptr);
    DbCheckBox(const QString& caption, DataSource* source, const QString& fieldName,
               QWidget* parent = nullptr);

    void setCaption(const QString& caption) override; // the text beside the box as well

protected:
    void nextCheckState() override;
    void showValue(const kdb::Field* field) override;
    void applyReadOnly(bool readOnly) override;
    void applyBoxColour(const QColor& colour) override;
};

} // namespace widgets
