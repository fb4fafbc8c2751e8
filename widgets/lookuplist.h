#pragma once

#include <QString>
#include <QVariant>
#include <vector>

namespace kdb {
class Dataset;
}

namespace widgets {

// One row of a name list as a lookup box offers it: the key it stores and the name it shows.
struct LookupEntry {
    QVariant key;
    QString name;
};

// The rows of a list dataset in its order (and filter), read without moving its cursor. Empty
// when the dataset is closed or lacks one of the fields.
std::vector<LookupEntry> readLookupList(const kdb::Dataset& list, const QString& keyField,
                                        const QString& listField);

// Whether two keys are the same, whatever integer or text type they came in; null matches
// nothing.
bool sameKey(const QVariant& a, const QVariant& b);

} // namespace widgets
