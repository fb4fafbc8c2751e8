#include "datasource.h"

#include "dataset.h"

namespace widgets {

DataSource::DataSource(kdb::Dataset* dataset, QObject* parent) : QObject(parent)
{
    setDataset(dataset);
}

void DataSource::setDataset(kdb::Dataset* dataset)
{
    if (m_dataset == dataset)
        return;
    for (const auto& c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_dataset = dataset;
    connectDataset();
    Q_EMIT datasetChanged();
    Q_EMIT layoutChanged();
    Q_EMIT recordChanged();
}

void DataSource::connectDataset()
{
    if (!m_dataset)
        return;
    m_connections << connect(m_dataset, &kdb::Dataset::currentChanged, this,
                             &DataSource::recordChanged);
    m_connections << connect(m_dataset, &kdb::Dataset::stateChanged, this, [this]() {
        Q_EMIT stateChanged();
        Q_EMIT recordChanged();
    });
    m_connections << connect(m_dataset, &kdb::Dataset::fieldChanged, this,
                             &DataSource::fieldChanged);
    m_connections << connect(m_dataset, &kdb::Dataset::layoutChanged, this,
                             &DataSource::layoutChanged);
}

bool DataSource::canEdit() const
{
    if (!m_dataset || !m_dataset->isOpen() || !m_dataset->canModify())
        return false;
    return m_dataset->isEditing() || (m_autoEdit && !m_dataset->isEmpty());
}

void DataSource::startEdit()
{
    if (m_dataset && m_dataset->isOpen() && !m_dataset->isEditing())
        m_dataset->edit();
}

} // namespace widgets
