// The single-copy rule: a lock file beside bd1 held for the whole run.
#include "app/single_copy.h"

#include <QDir>

namespace tarvino {

SingleCopy::SingleCopy(const QString& folder)
    : m_lock(QDir(folder).filePath(QStringLiteral("bd1.lock")))
{
    // Never stale by age: a lock is stale only when the copy that wrote it is gone, which
    // QLockFile checks by its process id and name.
    m_lock.setStaleLockTime(0);
}

SingleCopy::Result SingleCopy::acquire()
{
    // tryLock takes over a lock whose owner is no longer running (a crashed run).
    if (m_lock.isLocked() || m_lock.tryLock(0))
        return Result::Acquired;
    return m_lock.error() == QLockFile::LockFailedError ? Result::OtherCopyRunning
                                                        : Result::Unwritable;
}

} // namespace tarvino
