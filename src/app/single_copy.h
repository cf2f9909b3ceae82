// The single-copy rule: a lock file beside bd1 held for the whole run.
#pragma once

#include <QLockFile>
#include <QString>

namespace tarvino {

class SingleCopy final {
public:
    // The lock lives in folder as "bd1.lock".
    explicit SingleCopy(const QString& folder);
    // True when this copy now holds the lock; false when another running copy holds it. A lock
    // left by a copy that is no longer running is taken over.
    bool acquire();

private:
    QLockFile m_lock;
};

} // namespace tarvino
