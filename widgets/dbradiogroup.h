#pragma once

#include "datacontrol.h"

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

namespace widgets {

// A framed group of radio items over a field. Item i stores values[i] (converted to the field's
// type: "True", "2"), or i itself when no values are given; the item whose value equals the
// field is checked, none when the field is empty or holds another value. Items are laid out in
// a number of columns, filling each column from the top.
class DbRadioGroup : public QGroupBox, public DataControl {
    Q_OBJECT
public:
    explicit DbRadioGroup(const QString& caption = QString(), QWidget* parent = nullptr);

    void setItems(const QStringList& items);
    const QStringList& items() const { return m_items; }
    void setValues(const QStringList& values);
    const QStringList& values() const { return m_values; }
    void setColumns(int columns);
    int columns() const { return m_columns; }

    int itemIndex() const; // the checked item, -1 when none
    QRadioButton* button(int index) const;

    void setCaption(const QString& caption) override; // the frame's title as well

Q_SIGNALS:
    void itemClicked(int index); // the user chose an item and its value was written

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showValue(const kdb::Field* field) override;
    void applyReadOnly(bool readOnly) override;
    void applyBoxColour(const QColor& colour) override;

private:
    QVariant itemValue(int index) const; // as the item stores it, before conversion
    void rebuild();
    void check(int index);
    void onClicked(int index);

    QStringList m_items;
    QStringList m_values;
    int m_columns = 1;
    int m_shown = -1;       // the item showing the field's value
    bool m_blocked = false; // read-only: clicks and keys do not reach the items
    QGridLayout* m_layout;
    QButtonGroup* m_group;
    QList<QRadioButton*> m_buttons;
};

} // namespace widgets
