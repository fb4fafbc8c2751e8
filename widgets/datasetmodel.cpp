#include "datasetmodel.h"

#include "datasource.h"
#include "fieldtext.h"
#include "guard.h"

#include <QBrush>
#include <QWidget>

namespace widgets {

DatasetModel::DatasetModel(QObject* parent) : QAbstractTableModel(parent) {}

kdb::Dataset* DatasetModel::dataset() const
{
    return m_source ? m_source->dataset() : nullptr;
}

void DatasetModel::setDataSource(DataSource* source)
{
    for (const auto& c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_source = source;
    connectSource();
    reset();
}

void DatasetModel::connectSource()
{
    if (!m_source)
        return;
    m_connections << connect(m_source, &DataSource::datasetChanged, this, &DatasetModel::reset);
    m_connections << connect(m_source, &DataSource::layoutChanged, this, &DatasetModel::reset);
    m_connections << connect(m_source, &DataSource::stateChanged, this,
                             &DatasetModel::onStateChanged);
    m_connections << connect(m_source, &DataSource::recordChanged, this,
                             &DatasetModel::onRecordChanged);
    m_connections << connect(m_source, &DataSource::fieldChanged, this,
                             &DatasetModel::onFieldChanged);
}

void DatasetModel::setColumns(const QList<GridColumn>& columns)
{
    beginResetModel();
    m_columns = columns;
    m_titleColours = QList<QColor>(columns.size());
    endResetModel();
    m_current = currentRow();
    Q_EMIT currentRowChanged(m_current);
}

void DatasetModel::setColumnField(int column, const QString& fieldName)
{
    if (column < 0 || column >= m_columns.size())
        return;
    m_columns[column].fieldName = fieldName;
    if (m_rows > 0)
        Q_EMIT dataChanged(index(0, column), index(m_rows - 1, column));
}

void DatasetModel::setColumnReadOnly(int column, bool readOnly)
{
    if (column >= 0 && column < m_columns.size())
        m_columns[column].readOnly = readOnly;
}

kdb::Field* DatasetModel::columnField(int column) const
{
    const kdb::Dataset* ds = dataset();
    if (!ds || !ds->isOpen() || column < 0 || column >= m_columns.size())
        return nullptr;
    return ds->findField(m_columns[column].fieldName);
}

void DatasetModel::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
}

bool DatasetModel::writableDataset() const
{
    const kdb::Dataset* ds = dataset();
    return ds && ds->canModify();
}

bool DatasetModel::isColumnEditable(int column) const
{
    if (m_readOnly || column < 0 || column >= m_columns.size() || m_columns[column].readOnly ||
        !writableDataset())
        return false;
    const kdb::Field* f = columnField(column);
    if (!f)
        return false;
    if (f->kind() == kdb::Field::Kind::Lookup) {
        const kdb::Field* key = f->dataset().findField(f->keyFieldName());
        return key && !key->readOnly() && f->lookupDataset();
    }
    return !f->readOnly();
}

void DatasetModel::setRowColour(RowColour colour)
{
    m_rowColour = std::move(colour);
    if (m_rows > 0)
        Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, columnCount() - 1), {Qt::ForegroundRole});
}

void DatasetModel::setTitleColour(int column, const QColor& colour)
{
    if (column < 0 || column >= m_titleColours.size())
        return;
    m_titleColours[column] = colour;
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

QColor DatasetModel::titleColour(int column) const
{
    return column >= 0 && column < m_titleColours.size() ? m_titleColours[column] : QColor();
}

int DatasetModel::datasetRows() const
{
    const kdb::Dataset* ds = dataset();
    if (!ds || !ds->isOpen())
        return 0;
    return ds->recordCount() + (ds->state() == kdb::Dataset::State::Insert ? 1 : 0);
}

int DatasetModel::currentRow() const
{
    const kdb::Dataset* ds = dataset();
    if (!ds || !ds->isOpen())
        return -1;
    if (ds->state() == kdb::Dataset::State::Insert)
        return ds->recordCount();
    return ds->isEmpty() ? -1 : ds->recNo();
}

bool DatasetModel::isInsertRow(int row) const
{
    const kdb::Dataset* ds = dataset();
    return ds && ds->state() == kdb::Dataset::State::Insert && row == ds->recordCount();
}

QVariant DatasetModel::value(int row, const QString& fieldName) const
{
    const kdb::Dataset* ds = dataset();
    if (!ds || !ds->isOpen())
        return QVariant();
    const kdb::Field* f = ds->findField(fieldName);
    if (!f)
        return QVariant();
    return isInsertRow(row) ? f->value() : ds->valueAt(row, f->index());
}

void DatasetModel::reset()
{
    beginResetModel();
    m_rows = datasetRows();
    const kdb::Dataset* ds = dataset();
    m_insertRow = ds && ds->state() == kdb::Dataset::State::Insert;
    endResetModel();
    m_current = currentRow();
    Q_EMIT currentRowChanged(m_current);
}

void DatasetModel::onStateChanged()
{
    const kdb::Dataset* ds = dataset();
    const int rows = datasetRows();
    const bool inserting = ds && ds->state() == kdb::Dataset::State::Insert;
    if (inserting && !m_insertRow && rows == m_rows + 1) {
        beginInsertRows(QModelIndex(), m_rows, m_rows);
        m_rows = rows;
        m_insertRow = true;
        endInsertRows();
    } else if (!inserting && m_insertRow && rows == m_rows - 1) {
        beginRemoveRows(QModelIndex(), rows, rows);
        m_rows = rows;
        m_insertRow = false;
        endRemoveRows();
    } else if (rows != m_rows) {
        reset();
    } else {
        // A posted new row keeps the count; the new layout that follows puts it in its place.
        m_insertRow = inserting;
    }
}

void DatasetModel::onRecordChanged()
{
    const int now = currentRow();
    for (int row : {m_current, now}) {
        if (row >= 0 && row < m_rows) {
            Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
            Q_EMIT headerDataChanged(Qt::Vertical, row, row);
        }
    }
    if (now != m_current) {
        m_current = now;
        Q_EMIT currentRowChanged(now);
    }
}

void DatasetModel::onFieldChanged()
{
    const int row = currentRow();
    if (row >= 0 && row < m_rows)
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void DatasetModel::moveToRow(int row)
{
    kdb::Dataset* ds = dataset();
    if (!ds || !ds->isOpen() || row < 0 || row == currentRow())
        return;
    int target = row;
    if (ds->state() == kdb::Dataset::State::Insert) {
        if (!ds->modified()) {
            ds->cancel(); // a new row left untouched is no row
        } else {
            ds->post();
            if (ds->recNo() <= target)
                ++target; // the posted row took its place before the target
        }
    } else if (ds->state() == kdb::Dataset::State::Edit) {
        const int before = ds->recNo();
        if (!ds->modified()) {
            ds->cancel();
        } else {
            ds->post();
            // The row may have moved in the order: renumber the target the same way.
            if (before < target)
                --target;
            if (ds->recNo() <= target)
                ++target;
        }
    }
    if (target < ds->recordCount())
        ds->setRecNo(target);
}

void DatasetModel::appendRow()
{
    if (kdb::Dataset* ds = dataset())
        ds->append();
}

void DatasetModel::startEdit()
{
    if (m_source)
        m_source->startEdit();
}

void DatasetModel::cancelRow()
{
    if (kdb::Dataset* ds = dataset())
        ds->cancel();
}

void DatasetModel::revert()
{
    cancelRow();
}

int DatasetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DatasetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows)
        return QVariant();
    const kdb::Dataset* ds = dataset();
    const kdb::Field* f = columnField(index.column());
    if (!ds || !f)
        return QVariant();
    const int row = index.row();
    const bool inserting = isInsertRow(row);
    switch (role) {
    case Qt::DisplayRole:
        return inserting ? f->displayText() : ds->displayTextAt(row, f->index());
    case Qt::EditRole:
        return editTextOf(*f, inserting ? f->value() : ds->valueAt(row, f->index()));
    case KeyRole:
        if (f->kind() == kdb::Field::Kind::Lookup)
            return value(row, f->keyFieldName());
        return inserting ? f->value() : ds->valueAt(row, f->index());
    case Qt::ForegroundRole:
        if (m_rowColour) {
            const QColor colour = m_rowColour(*this, row);
            if (colour.isValid())
                return QBrush(colour);
        }
        return QVariant();
    case Qt::TextAlignmentRole:
        if (kdb::isIntegerType(f->type()) || f->type() == kdb::FieldType::Float)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || (role != Qt::EditRole && role != KeyRole))
        return false;
    if (index.row() != currentRow() || !isColumnEditable(index.column()))
        return false;
    kdb::Dataset* ds = dataset();
    kdb::Field* f = columnField(index.column());
    QWidget* owner = qobject_cast<QWidget*>(QObject::parent());
    return guarded(
        [&]() {
            kdb::Field* target = f;
            QVariant typed = value;
            if (f->kind() == kdb::Field::Kind::Lookup) {
                target = ds->findField(f->keyFieldName());
                if (role == Qt::EditRole && value.typeId() == QMetaType::QString)
                    typed = f->lookupDataset()->lookup(f->lookupResultFieldName(), {value},
                                                       f->lookupKeyFieldName());
            } else if (value.typeId() == QMetaType::QString) {
                typed = valueFromText(*f, value.toString());
            }
            const QVariant converted = target->convert(typed);
            const QVariant stored = target->value();
            if (converted == stored && converted.isNull() == stored.isNull())
                return; // an editor closed unchanged neither edits nor locks the record
            if (!ds->isEditing())
                startEdit();
            target->setValue(converted);
        },
        owner);
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (isColumnEditable(index.column()))
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_columns.size())
            return QVariant();
        if (role == Qt::DisplayRole)
            return m_columns[section].title;
        if (role == Qt::ForegroundRole && titleColour(section).isValid())
            return QBrush(titleColour(section));
        return QVariant();
    }
    if (role != Qt::DisplayRole || section != currentRow())
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    // The row marker: the current row, the row being edited, the new row.
    switch (dataset()->state()) {
    case kdb::Dataset::State::Insert:
        return QStringLiteral("*");
    case kdb::Dataset::State::Edit:
        return QStringLiteral("I");
    default:
        return QStringLiteral("►");
    }
}

} // namespace widgets
