#include "lookuplist.h"

#include "dataset.h"

namespace widgets {

std::vector<LookupEntry> readLookupList(const kdb::Dataset& list, const QString& keyField,
                                        const QString& listField)
{
    std::vector<LookupEntry> rows;
    if (!list.isOpen())
        return rows;
    const kdb::Field* key = list.findField(keyField);
    const kdb::Field* name = list.findField(listField);
    if (!key || !name)
        return rows;
    const int count = list.recordCount();
    rows.reserve(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row)
        rows.push_back({list.valueAt(row, key->index()), list.displayTextAt(row, name->index())});
    return rows;
}

bool sameKey(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return false;
    bool okA = false, okB = false;
    const qlonglong x = a.toLongLong(&okA);
    const qlonglong y = b.toLongLong(&okB);
    if (okA && okB)
        return x == y;
    return a.toString() == b.toString();
}

} // namespace widgets
