#include "testsupport.h"

namespace kadroltest {

TempStore::TempStore(const QString& schema)
{
    if (!m_dir.isValid())
        qFatal("no temporary folder");
    m_path = m_dir.path();
    kdb::Database::createStore(m_path, schema);
}

std::unique_ptr<kdb::Database> TempStore::open(const QString& databaseName) const
{
    auto db = kdb::Database::forFolder(m_path, databaseName);
    db->open();
    return db;
}

} // namespace kadroltest
