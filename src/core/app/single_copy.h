// The single-copy rule: a lock file beside bd1 held for the whole run.
#pragma once

#include <QString>

namespace tarvino {

// The lock is the system's own lock on the open file "bd1.lock", which the system lets go of when
// the holding copy ends in any way, a crash or a power cut included. What the file contains
// (the holder's process id, program and machine, for a person who looks) plays no part: a file
// nobody holds, whatever is in it and however old, is simply taken over.
class SingleCopy final {
public:
    // The lock lives in folder as "bd1.lock".
    explicit SingleCopy(const QString& folder);
    ~SingleCopy();
    SingleCopy(const SingleCopy&) = delete;
    SingleCopy& operator=(const SingleCopy&) = delete;

    enum class Result { Acquired, OtherCopyRunning, Failed };
    // Acquired when this copy now holds the lock; OtherCopyRunning when a running copy holds it;
    // Failed when the lock cannot be made (failureCause() says why).
    Result acquire();
    QString fileName() const { return m_path; }
    QString folder() const { return m_folder; }
    // Why the last acquire() failed, in words for the cashier.
    QString failureCause() const { return m_cause; }

private:
    Result fail(const QString& cause);
    QString causeOf(int errorNumber) const;

    QString m_folder;
    QString m_path;
    QString m_cause;
    int m_fd = -1;
};

} // namespace tarvino
