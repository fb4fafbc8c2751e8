#include "dbgrid.h"

#include "datasource.h"
#include "griddelegate.h"
#include "guard.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QSettings>
#include <algorithm>

namespace widgets {

DbGrid::DbGrid(QWidget* parent)
    : QTableView(parent), m_model(new DatasetModel(this)), m_delegate(new GridDelegate(this))
{
    setModel(m_model);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);
    setTabKeyNavigation(false);
    QHeaderView* titles = horizontalHeader();
    titles->setSectionsMovable(true);
    titles->setHighlightSections(false);
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titles->setStretchLastSection(false);
    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    rows->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("►")) + 10);
    rows->setDefaultAlignment(Qt::AlignCenter);
    connect(titles, &QHeaderView::sectionClicked, this, &DbGrid::titleClicked);
    connect(m_model, &DatasetModel::currentRowChanged, this, [this]() {
        m_pendingRow = -1; // the dataset moved: that is where the grid goes
        showCurrentRow();
    });
}

void DbGrid::setDataSource(DataSource* source)
{
    m_model->setDataSource(source);
    applyDefaultWidths();
}

void DbGrid::setColumns(const QList<GridColumn>& columns)
{
    m_model->setColumns(columns);
    m_column = 0;
    applyDefaultWidths();
}

void DbGrid::setColumnField(int column, const QString& fieldName)
{
    m_model->setColumnField(column, fieldName);
}

void DbGrid::setColumnReadOnly(int column, bool readOnly)
{
    if (!readOnly)
        commitEdit();
    m_model->setColumnReadOnly(column, readOnly);
}

void DbGrid::setReadOnly(bool readOnly)
{
    commitEdit();
    m_model->setReadOnly(readOnly);
    setSelectionBehavior(readOnly ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    showCurrentRow();
}

void DbGrid::setRowColour(DatasetModel::RowColour colour)
{
    m_model->setRowColour(std::move(colour));
}

void DbGrid::setTitleColour(int column, const QColor& colour)
{
    m_model->setTitleColour(column, colour);
}

void DbGrid::setCaption(const QString& caption)
{
    setAccessibleName(caption);
}

void DbGrid::commitEdit()
{
    QWidget* editor = m_delegate->openEditor();
    if (!editor || state() != QAbstractItemView::EditingState)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void DbGrid::discardEdit()
{
    QWidget* editor = m_delegate->openEditor();
    if (!editor || state() != QAbstractItemView::EditingState)
        return;
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool DbGrid::canAppend() const
{
    const kdb::Dataset* ds = m_model->dataset();
    return !m_model->isReadOnly() && ds && ds->isOpen() && ds->canModify();
}

void DbGrid::appendAfterLast()
{
    commitEdit();
    const kdb::Dataset* ds = m_model->dataset();
    // Down on a new row that holds nothing yet stays on it.
    if (ds->state() == kdb::Dataset::State::Insert && !ds->modified())
        return;
    guarded([this]() { m_model->appendRow(); }, this);
    showCurrentRow();
}

void DbGrid::keyPressEvent(QKeyEvent* event)
{
    applyPendingMove();
    const kdb::Dataset* ds = m_model->dataset();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const int last = m_model->rowCount() - 1;
    if (event->key() == Qt::Key_Down && plain && canAppend() && m_model->currentRow() == last) {
        appendAfterLast();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && ds && ds->isEditing()) {
        QWidget* editor = m_delegate->openEditor();
        if (editor && state() == QAbstractItemView::EditingState)
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        guarded([this]() { m_model->cancelRow(); }, this);
        event->accept();
        return;
    }
    // Typing into an empty grid starts its first row.
    const QString text = event->text();
    if (last < 0 && canAppend() && !text.isEmpty() && text.at(0).isPrint()) {
        guarded([this]() { m_model->appendRow(); }, this);
        showCurrentRow();
    }
    QTableView::keyPressEvent(event);
    applyPendingMove();
}

void DbGrid::mousePressEvent(QMouseEvent* event)
{
    applyPendingMove();
    QTableView::mousePressEvent(event);
    applyPendingMove();
}

bool DbGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    const bool opens =
        index.isValid() && state() != QAbstractItemView::EditingState &&
        (trigger == QAbstractItemView::AllEditTriggers || (editTriggers() & trigger)) &&
        (m_model->flags(index) & Qt::ItemIsEditable);
    if (!opens)
        return QTableView::edit(index, trigger, event);
    if (trigger == QAbstractItemView::AnyKeyPressed) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (!key || key->text().isEmpty() || !key->text().at(0).isPrint())
            return QTableView::edit(index, trigger, event);
    }
    const int column = index.column();
    applyPendingMove(); // the row may be renumbered by the post of the row left
    const int row = m_model->currentRow();
    if (row < 0)
        return false;
    const kdb::Dataset* ds = m_model->dataset();
    // The record lock is taken when typing starts, as in every data box.
    if (!ds->isEditing() &&
        (!dataSource()->canEdit() || !guarded([this]() { m_model->startEdit(); }, this)))
        return false;
    const QModelIndex cell = m_model->index(row, column);
    if (cell != currentIndex()) {
        m_syncing = true;
        setCurrentIndex(cell);
        m_syncing = false;
    }
    return QTableView::edit(cell, trigger, event);
}

void DbGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // The view writes an open editor into the record here, before the row is left.
    QTableView::currentChanged(current, previous);
    if (m_syncing || !current.isValid())
        return;
    m_column = current.column();
    if (current.row() == m_model->currentRow()) {
        m_pendingRow = -1;
        return;
    }
    m_pendingRow = current.row();
    QMetaObject::invokeMethod(this, &DbGrid::applyPendingMove, Qt::QueuedConnection);
}

void DbGrid::applyPendingMove()
{
    if (m_pendingRow < 0)
        return;
    const int row = m_pendingRow;
    m_pendingRow = -1;
    guarded([this, row]() { m_model->moveToRow(row); }, this);
    showCurrentRow(); // also where a refused move leaves the dataset
}

void DbGrid::showCurrentRow()
{
    const int row = m_model->currentRow();
    const int columns = m_model->columnCount();
    m_syncing = true;
    if (row < 0 || columns == 0) {
        selectionModel()->clear();
    } else {
        const QModelIndex cell = m_model->index(row, std::clamp(m_column, 0, columns - 1));
        if (cell != currentIndex() || !selectionModel()->isSelected(cell))
            selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect |
                                                        (selectionBehavior() == SelectRows
                                                             ? QItemSelectionModel::Rows
                                                             : QItemSelectionModel::NoUpdate));
        scrollTo(cell);
    }
    m_syncing = false;
}

int DbGrid::defaultWidth(int column) const
{
    const QString& title = m_model->columns().at(column).title;
    const kdb::Field* f = m_model->columnField(column);
    int chars = 12;
    if (f) {
        switch (f->type()) {
        case kdb::FieldType::String:
            chars = std::clamp(f->size(), 4, 30);
            break;
        case kdb::FieldType::Date:
        case kdb::FieldType::Float:
            chars = 10;
            break;
        case kdb::FieldType::Boolean:
            chars = 4;
            break;
        case kdb::FieldType::Memo:
            chars = 30;
            break;
        default:
            chars = 7;
        }
    }
    const QFontMetrics fm = fontMetrics();
    return std::max(fm.horizontalAdvance(title), fm.averageCharWidth() * chars) + 12;
}

void DbGrid::applyDefaultWidths()
{
    const QList<GridColumn>& columns = m_model->columns();
    for (int i = 0; i < columns.size(); ++i)
        setColumnWidth(i, columns[i].width > 0 ? columns[i].width : defaultWidth(i));
}

void DbGrid::saveLayout(QSettings& settings, const QString& group) const
{
    const QHeaderView* titles = horizontalHeader();
    QStringList order, widths;
    for (int visual = 0; visual < titles->count(); ++visual)
        order << QString::number(titles->logicalIndex(visual));
    for (int logical = 0; logical < titles->count(); ++logical)
        widths << QString::number(titles->sectionSize(logical));
    settings.beginGroup(group);
    settings.setValue(QStringLiteral("ColumnOrder"), order.join(QLatin1Char(' ')));
    settings.setValue(QStringLiteral("ColumnWidths"), widths.join(QLatin1Char(' ')));
    settings.endGroup();
}

bool DbGrid::restoreLayout(QSettings& settings, const QString& group)
{
    settings.beginGroup(group);
    const QStringList orderText = settings.value(QStringLiteral("ColumnOrder"))
                                      .toString()
                                      .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QStringList widthText = settings.value(QStringLiteral("ColumnWidths"))
                                      .toString()
                                      .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    settings.endGroup();
    const int count = m_model->columnCount();
    if (orderText.size() != count || widthText.size() != count || count == 0)
        return false;
    // A layout written for other columns (another version of the window) is not applied.
    std::vector<int> order, widths;
    std::vector<bool> seen(static_cast<size_t>(count), false);
    for (int i = 0; i < count; ++i) {
        bool okOrder = false, okWidth = false;
        const int logical = orderText[i].toInt(&okOrder);
        const int width = widthText[i].toInt(&okWidth);
        if (!okOrder || !okWidth || logical < 0 || logical >= count ||
            seen[static_cast<size_t>(logical)] || width < 0 || width > 5000)
            return false;
        seen[static_cast<size_t>(logical)] = true;
        order.push_back(logical);
        widths.push_back(width);
    }
    QHeaderView* titles = horizontalHeader();
    for (int visual = 0; visual < count; ++visual)
        titles->moveSection(titles->visualIndex(order[static_cast<size_t>(visual)]), visual);
    for (int logical = 0; logical < count; ++logical)
        titles->resizeSection(logical, widths[static_cast<size_t>(logical)]);
    return true;
}

} // namespace widgets
