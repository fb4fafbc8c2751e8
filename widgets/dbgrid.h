#pragma once

#include "datasetmodel.h"

#include <QTableView>

class QSettings;

namespace widgets {

class GridDelegate;

// A grid over the dataset of a data source (DatasetModel), kept on the dataset's current
// record both ways: selecting a row moves the dataset, the dataset moving selects its row.
//
// An editable grid is typed into directly: moving down past the last row appends a new row,
// leaving a row posts what was typed into it (a new row left untouched is cancelled), Escape
// cancels the edit of the row. Lookup columns drop down their name list. Starting to type takes
// the record lock; an engine error (the record locked, a value refused) is shown in the error
// box and the grid stays on the dataset's record.
//
// Title clicks are reported (titleClicked); one title may be coloured (the sort column). The
// column order and widths are kept in a group of a settings file.
class DbGrid : public QTableView {
    Q_OBJECT
public:
    explicit DbGrid(QWidget* parent = nullptr);

    DatasetModel* gridModel() const { return m_model; }
    DataSource* dataSource() const { return m_model->dataSource(); }
    void setDataSource(DataSource* source);

    void setColumns(const QList<GridColumn>& columns);
    void setColumnField(int column, const QString& fieldName);
    void setColumnReadOnly(int column, bool readOnly);
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_model->isReadOnly(); }
    void setRowColour(DatasetModel::RowColour colour);
    void setTitleColour(int column, const QColor& colour);

    // The grid's caption for the user and assistive technology (its accessible name).
    void setCaption(const QString& caption);

    // Writes what an open cell editor holds into the record and closes it (before a window
    // posts the record itself).
    void commitEdit();
    // Closes an open cell editor without writing what it holds (a window's cancel button, which
    // then cancels the record itself).
    void discardEdit();

    void saveLayout(QSettings& settings, const QString& group) const;
    // False (layout unchanged) when the group holds no layout of these columns.
    bool restoreLayout(QSettings& settings, const QString& group);

Q_SIGNALS:
    void titleClicked(int column);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    bool canAppend() const;
    void appendAfterLast();
    void applyPendingMove();
    void showCurrentRow();
    void applyDefaultWidths();
    int defaultWidth(int column) const;

    DatasetModel* m_model;
    GridDelegate* m_delegate;
    // The row the user moved to that the dataset has not followed yet: the move runs after
    // the view's own handling of the key or click, never inside its selection signals.
    int m_pendingRow = -1;
    bool m_syncing = false; // the view is being put on the dataset's row
    int m_column = 0;       // the column of the current cell, kept over model resets
};

} // namespace widgets
