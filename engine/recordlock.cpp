#include "recordlock.h"

#include "error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kdb {

namespace {
[[noreturn]] void failToOpen(const QString& lockFilePath)
{
    throw Error(Error::Code::Io, QStringLiteral("Не удалось открыть файл блокировок «%1»: %2")
                                     .arg(lockFilePath, QString::fromLocal8Bit(strerror(errno))));
}
} // namespace

RecordLocks::RecordLocks(const QString& lockFilePath) : m_path(lockFilePath)
{
    const QByteArray path = lockFilePath.toLocal8Bit();
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0)
        m_fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        failToOpen(lockFilePath);
}

std::unique_ptr<RecordLocks> RecordLocks::anotherHolder() const
{
    // Opening /proc/self/fd/N makes a new open file description of the very file N refers to,
    // even when its name has gone; a descriptor from dup() would share this one's locks.
    const QByteArray self = QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(m_fd);
    int fd = ::open(self.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        fd = ::open(self.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const QByteArray path = m_path.toLocal8Bit();
        fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0)
        failToOpen(m_path);
    return std::unique_ptr<RecordLocks>(new RecordLocks(fd, m_path));
}

RecordLocks::~RecordLocks()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

long long RecordLocks::offsetOf(const QString& table, qint64 rowId)
{
    // FNV-1a of the table name: stable across processes and runs.
    quint32 h = 2166136261u;
    for (QChar c : table.toLower()) {
        h ^= c.unicode();
        h *= 16777619u;
    }
    return (static_cast<long long>(h & 0x7fffffffu) << 32) | static_cast<quint32>(rowId);
}

static bool setLock(int fd, short type, long long offset)
{
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = 1;
    fl.l_pid = 0; // required by open file description locks
    return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

bool RecordLocks::tryLock(const QString& table, qint64 rowId)
{
    if (setLock(m_fd, F_WRLCK, offsetOf(table, rowId)))
        return true;
    if (errno == EAGAIN || errno == EACCES)
        return false;
    // A read-only lock file (read-only data folder) cannot take write locks: a shared lock
    // still keeps out writers elsewhere, and the store refuses our own writes anyway.
    if (errno == EBADF)
        return setLock(m_fd, F_RDLCK, offsetOf(table, rowId));
    throw Error(
        Error::Code::Io,
        QStringLiteral("Ошибка блокировки записи: %1").arg(QString::fromLocal8Bit(strerror(errno))),
        table);
}

void RecordLocks::unlock(const QString& table, qint64 rowId)
{
    setLock(m_fd, F_UNLCK, offsetOf(table, rowId));
}

} // namespace kdb
