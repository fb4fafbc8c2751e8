#pragma once

#include <QPointer>
#include <QStyledItemDelegate>

namespace widgets {

// The cell editors of DbGrid: a drop-down of the name list for a lookup column (it stores the
// chosen row's key), a line edit for the other columns, typed through the field's edit mask
// where it has one. It remembers the editor that is open, so that the grid can write it into
// the record before it moves the dataset itself.
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit GridDelegate(QObject* parent = nullptr);

    QWidget* openEditor() const { return m_editor; }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

private:
    mutable QPointer<QWidget> m_editor;
};

} // namespace widgets
