// A small disk of its own (a tmpfs), for a full or read-only disk. Mounting needs root; where it
// is refused, mounted() is false and the test skips.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace tarvino::test {

class SmallDisk {
public:
    explicit SmallDisk(const char* size = "64k")
    {
        const QByteArray options = QByteArray("size=") + size;
        m_mounted = m_dir.isValid() && ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(),
                                               "tmpfs", 0, options.constData()) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    // Takes every byte that is left.
    bool fill()
    {
        const int fd = ::open(QFile::encodeName(fillerPath()).constData(),
                              O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        const QByteArray block(1024, 'x');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) {
        }
        const bool full = errno == ENOSPC;
        ::close(fd);
        return full;
    }
    // Gives back what fill took.
    bool release() { return QFile::remove(fillerPath()); }
    bool makeReadOnly()
    {
        return ::mount(nullptr, QFile::encodeName(m_dir.path()).constData(), nullptr,
                       MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QString fillerPath() const { return m_dir.filePath(QStringLiteral("relleno")); }

    QTemporaryDir m_dir;
    bool m_mounted = false;
};

} // namespace tarvino::test
