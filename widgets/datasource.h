#pragma once

#include "dataset.h"

#include <QObject>
#include <QPointer>

namespace widgets {

// Ties one dataset to the controls and grids that show it. Controls listen here rather than to
// the dataset, so that a window can rebind all its controls to another dataset at once
// (setDataset), as the candidate list does when it switches to the blacklist.
class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(kdb::Dataset* dataset = nullptr, QObject* parent = nullptr);

    kdb::Dataset* dataset() const { return m_dataset; }
    void setDataset(kdb::Dataset* dataset);

    // Typing into a control puts the dataset into Edit first (on by default).
    bool autoEdit() const { return m_autoEdit; }
    void setAutoEdit(bool on) { m_autoEdit = on; }
    // Whether a control may change the current record: the dataset is open, writable, and in
    // Edit/Insert or (with autoEdit) can be put into Edit.
    bool canEdit() const;
    // Puts the dataset into Edit when it is browsing (taking the record lock). Throws kdb::Error.
    void startEdit();

Q_SIGNALS:
    void datasetChanged(); // another dataset was bound
    void recordChanged();  // the current record moved, was re-read, or the dataset opened/closed
    void stateChanged();   // Browse/Edit/Insert/Inactive
    void fieldChanged(int fieldIndex); // a value of the edit buffer changed
    void layoutChanged(); // the rows were renumbered (open, refresh, filter, post, delete)

private:
    void connectDataset();
    QPointer<kdb::Dataset> m_dataset;
    bool m_autoEdit = true;
    QList<QMetaObject::Connection> m_connections;
};

} // namespace widgets
