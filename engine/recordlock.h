#pragma once

#include "store.h"

#include <QString>
#include <memory>

namespace kdb {

// The record locks of one holder, as byte-range locks on the lock file of a data folder. Each
// record maps to one byte (a table number in the high half of the offset, the row id in the
// low half). The locks belong to this object's own open file description, so they conflict
// with every other holder, in this process or another, and the system drops them when their
// holder closes the file or dies: a crashed workstation never leaves a record locked.
class RecordLocks final : public RecordLockHolder {
public:
    explicit RecordLocks(const QString& lockFilePath); // Error(Io) when it cannot be opened
    ~RecordLocks() override;
    RecordLocks(const RecordLocks&) = delete;
    RecordLocks& operator=(const RecordLocks&) = delete;

    // Another holder on the same file, with its own open file description. It is opened
    // through this one's descriptor, so a lock file deleted and made anew while the program
    // runs cannot split the holders of one program between two files.
    std::unique_ptr<RecordLocks> anotherHolder() const;

    bool tryLock(const QString& table, qint64 rowId) override;
    void unlock(const QString& table, qint64 rowId) override;

private:
    RecordLocks(int fd, const QString& lockFilePath) : m_path(lockFilePath), m_fd(fd) {}
    static long long offsetOf(const QString& table, qint64 rowId);
    QString m_path;
    int m_fd = -1;
};

} // namespace kdb
