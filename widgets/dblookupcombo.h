#pragma once

#include "datacontrol.h"
#include "lookuplist.h"

#include <QComboBox>
#include <QPointer>

namespace widgets {

// A drop-down list over a key field: it shows the list field of the row of a list dataset (a
// name list) whose key field equals the bound field, and a pick stores that row's key.
//
// An empty text ("Не указана", "Не важно") stands for no choice: where it is set, it is the
// first entry of the list, it is shown whenever the field holds 0, holds no value or holds a key
// the list does not have, and picking it stores 0 (or null, see setEmptyValue). Without an
// empty text such a field shows a blank box. The list is read again when the list dataset is
// reopened, refreshed or refiltered.
class DbLookupCombo : public QComboBox, public DataControl {
    Q_OBJECT
public:
    enum class EmptyValue { Zero, Null };

    explicit DbLookupCombo(QWidget* parent = nullptr);

    void setList(kdb::Dataset* list, const QString& keyField, const QString& listField);
    kdb::Dataset* listDataset() const { return m_list; }
    void setEmptyText(const QString& text);
    const QString& emptyText() const { return m_emptyText; }
    void setEmptyValue(EmptyValue value) { m_emptyValue = value; }
    EmptyValue emptyValue() const { return m_emptyValue; }

    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void showValue(const kdb::Field* field) override;
    void applyReadOnly(bool readOnly) override;
    void applyBoxColour(const QColor& colour) override;

private:
    void fill();
    void onActivated(int index);
    bool hasEmptyEntry() const { return !m_emptyText.isEmpty(); }

    QPointer<kdb::Dataset> m_list;
    QString m_keyField;
    QString m_listField;
    QString m_emptyText;
    EmptyValue m_emptyValue = EmptyValue::Zero;
    std::vector<LookupEntry> m_entries;
    bool m_stale = true; // the list dataset changed since the entries were read
    bool m_blocked = false;
    QMetaObject::Connection m_listConnection;
};

} // namespace widgets
