// The single-copy rule: a lock file beside bd1 held for the whole run.
#pragma once

#include <QLockFile>
#include <QString>

namespace tarvino {

class SingleCopy final {
public:
    // The lock lives in folder as "bd1.lock".
    explicit SingleCopy(const QString& folder);
    enum class Result { Acquired, OtherCopyRunning, Unwritable };
    // Acquired when this copy now holds the lock; OtherCopyRunning when a running copy holds it.
    // A lock left by a copy that is no longer running is taken over. Unwritable when the lock
    // cannot be made at all (the folder cannot be written).
    Result acquire();
    QString fileName() const { return m_lock.fileName(); }

private:
    QLockFile m_lock;
};

} // namespace tarvino
