#pragma once

#include "datasource.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QList>
#include <QPointer>
#include <functional>

namespace widgets {

// One column of a grid: its title and the field it shows (a data or a lookup field).
struct GridColumn {
    QString title;
    QString fieldName;
    int width = 0; // pixels; 0 lets the grid choose from the field
    bool readOnly = false;
};

// A table model over the dataset of a data source, for DbGrid.
//
// Rows are the dataset's rows in its order; their values are read through Dataset::valueAt as
// the view asks for them, so a grid over 100,000 rows reads only the rows on screen. While the
// dataset inserts a new row, that row is shown after the stored ones until it is posted. The
// model follows the dataset: a new layout (open, refresh, filter, post, delete) resets it, the
// current record moving reports currentRowChanged.
//
// Editing writes the current record: a cell of another row is not editable through setData
// (the grid moves the dataset first). A lookup column is edited by the key it stores (KeyRole).
class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The text colour of a row, or an invalid colour for the usual one.
    using RowColour = std::function<QColor(const DatasetModel& model, int row)>;
    // data() of a lookup column's cell under KeyRole: the key stored; setData with it stores one.
    static constexpr int KeyRole = Qt::UserRole + 1;

    explicit DatasetModel(QObject* parent = nullptr);

    DataSource* dataSource() const { return m_source; }
    void setDataSource(DataSource* source);
    kdb::Dataset* dataset() const;

    void setColumns(const QList<GridColumn>& columns);
    const QList<GridColumn>& columns() const { return m_columns; }
    void setColumnField(int column, const QString& fieldName);
    void setColumnReadOnly(int column, bool readOnly);
    kdb::Field* columnField(int column) const; // null when the dataset lacks it or is closed

    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }
    bool isColumnEditable(int column) const;

    void setRowColour(RowColour colour);
    void setTitleColour(int column, const QColor& colour); // invalid: the usual colour
    QColor titleColour(int column) const;

    // A field's value of a row, also of the row being inserted or edited.
    QVariant value(int row, const QString& fieldName) const;

    // The dataset's current record as a row (the new row while inserting), -1 when none.
    int currentRow() const;
    bool isInsertRow(int row) const;
    // Makes the row current. Leaving a row posts what was typed into it; a new row left untouched
    // is cancelled. Throws kdb::Error (the post failed: the cursor stays).
    void moveToRow(int row);
    // Starts a new row after the last one (Dataset::append). Throws kdb::Error.
    void appendRow();
    // Puts the current record into Edit (through the data source). Throws kdb::Error.
    void startEdit();
    // Cancels the edit or the new row of the current record.
    void cancelRow();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void revert() override; // the view's Escape in an editor: cancel the row

Q_SIGNALS:
    void currentRowChanged(int row);

private:
    void connectSource();
    void reset();
    void onStateChanged();
    void onRecordChanged();
    void onFieldChanged();
    int datasetRows() const;
    bool writableDataset() const;

    QPointer<DataSource> m_source;
    QList<GridColumn> m_columns;
    QList<QColor> m_titleColours;
    bool m_readOnly = false;
    RowColour m_rowColour;
    int m_rows = 0;           // the rows the view knows of
    bool m_insertRow = false; // the last of them is the dataset's new row
    int m_current = -1;       // the current row the view was told of
    QList<QMetaObject::Connection> m_connections;
};

} // namespace widgets
