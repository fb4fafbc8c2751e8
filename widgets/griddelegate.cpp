#include "griddelegate.h"

#include "dataset.h"
#include "datasetmodel.h"
#include "fieldtext.h"
#include "lookuplist.h"

#include <QComboBox>
#include <QLineEdit>

namespace widgets {

GridDelegate::GridDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

namespace {

const kdb::Field* fieldOf(const QModelIndex& index)
{
    const auto* model = qobject_cast<const DatasetModel*>(index.model());
    return model ? model->columnField(index.column()) : nullptr;
}

} // namespace

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    const kdb::Field* f = fieldOf(index);
    if (!f) {
        m_editor = QStyledItemDelegate::createEditor(parent, option, index);
        return m_editor;
    }
    if (f->kind() == kdb::Field::Kind::Lookup && f->lookupDataset()) {
        auto* combo = new QComboBox(parent);
        combo->setMaxVisibleItems(8);
        for (const LookupEntry& e : readLookupList(*f->lookupDataset(), f->lookupKeyFieldName(),
                                                   f->lookupResultFieldName()))
            combo->addItem(e.name, e.key);
        m_editor = combo;
        return combo;
    }
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    const QString mask = inputMaskFor(f->editMask());
    if (!mask.isEmpty())
        edit->setInputMask(mask);
    if (f->type() == kdb::FieldType::String && f->size() > 0)
        edit->setMaxLength(f->size());
    m_editor = edit;
    return edit;
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        const QVariant key = index.data(DatasetModel::KeyRole);
        int shown = -1;
        for (int i = 0; i < combo->count() && shown < 0; ++i)
            if (sameKey(combo->itemData(i), key))
                shown = i;
        combo->setCurrentIndex(shown);
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(index.data(Qt::EditRole).toString());
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void GridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                const QModelIndex& index) const
{
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        if (combo->currentIndex() >= 0)
            model->setData(index, combo->currentData(), DatasetModel::KeyRole);
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        model->setData(index, edit->text(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

} // namespace widgets
