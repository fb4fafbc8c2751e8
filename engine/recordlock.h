#pragma once

#include <QString>

namespace kdb {

// Record locks of one connection, as byte-range locks on the lock file of a data folder. Each
// record maps to one byte (a table number in the high half of the offset, the row id in the
// low half). The locks belong to this object's open file description, so they conflict with
// every other connection, in this process or another, and the system drops them when their
// holder closes the file or dies: a crashed workstation never leaves a record locked.
class RecordLocks {
public:
    explicit RecordLocks(const QString& lockFilePath); // Error(Io) when it cannot be opened
    ~RecordLocks();
    RecordLocks(const RecordLocks&) = delete;
    RecordLocks& operator=(const RecordLocks&) = delete;

    bool tryLock(const QString& table, qint64 rowId); // false at once when another holds it
    void unlock(const QString& table, qint64 rowId);

private:
    static long long offsetOf(const QString& table, qint64 rowId);
    int m_fd = -1;
};

} // namespace kdb
