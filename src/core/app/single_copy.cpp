// The single-copy rule: a lock file beside bd1 held for the whole run.
#include "app/single_copy.h"

#include "common/system_error.h"
#include "data/file_modes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvino {

namespace {

// Whether the open file is still the one the name leads to: a copy that ends removes its lock
// file, and a file locked after that has no name left for another copy to find. A link put at the
// name since leads elsewhere and does not count.
bool stillNamed(int fd, const QByteArray& path)
{
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Replaces the file's contents by note and makes sure it reached the disk; 0 or the error number.
int writeNote(int fd, const QByteArray& note)
{
    if (::lseek(fd, 0, SEEK_SET) < 0)
        return errno;
    qsizetype written = 0;
    while (written < note.size()) {
        const ssize_t n = ::write(fd, note.constData() + written, size_t(note.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        written += n;
    }
    if (::ftruncate(fd, note.size()) != 0 || ::fsync(fd) != 0)
        return errno;
    return 0;
}

const QString kLinkCause = QStringLiteral(
    "es un enlace que lleva a otro archivo, y el programa no escribe a través de enlaces; borre "
    "el enlace «bd1.lock» (no el archivo al que lleva) y vuelva a abrir el programa");

// Why the open file at the lock's place is not one the program may write into; empty when it is
// a plain file with no other name. A second name (a hard link) would be another file's, bd1's
// for one, and the note would overwrite its beginning.
QString foreignFileCause(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return systemErrorText(errno);
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("no es un archivo común; muévalo a otro lugar y vuelva a abrir el "
                              "programa");
    if (st.st_nlink > 1)
        return QStringLiteral("ese archivo tiene también otro nombre en el disco (es el mismo "
                              "archivo que otro, por un enlace), y escribir en él cambiaría el "
                              "otro; muévalo a otro lugar y vuelva a abrir el programa");
    return {};
}

} // namespace

SingleCopy::SingleCopy(const QString& folder)
    : m_folder(folder), m_path(QDir(folder).filePath(QStringLiteral("bd1.lock")))
{
}

SingleCopy::~SingleCopy()
{
    if (m_fd < 0)
        return;
    // Removed while still held, so that no starting copy takes a file that is about to vanish.
    const QByteArray path = QFile::encodeName(m_path);
    if (stillNamed(m_fd, path))
        ::unlink(path.constData());
    ::close(m_fd);
}

SingleCopy::Result SingleCopy::fail(const QString& cause)
{
    m_cause = cause;
    return Result::Failed;
}

QString SingleCopy::causeOf(int errorNumber) const
{
    switch (errorNumber) {
    case EACCES:
    case EPERM:
        return QStringLiteral("no hay permiso para escribir en la carpeta del programa «%1»").arg(m_folder);
    case EROFS:
        return QStringLiteral("la carpeta del programa «%1» está en un disco de solo lectura").arg(m_folder);
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("la carpeta del programa «%1» no existe").arg(m_folder);
    default:
        return systemErrorText(errorNumber);
    }
}

SingleCopy::Result SingleCopy::acquire()
{
    if (m_fd >= 0)
        return Result::Acquired;
    m_cause.clear();
    const QByteArray path = QFile::encodeName(m_path);
    // A few rounds: the file can vanish or be replaced between opening and locking it when
    // another copy ends or starts at the same moment.
    for (int round = 0; round < 10; ++round) {
        // Never through a link: the note written below would land in the file it leads to (bd1
        // itself, for one). Without waiting: a pipe at the name must not hold up the start.
        int fd =
            ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                   modesFor(m_folder).file);
        if (fd < 0) {
            const int error = errno;
            if (error == ELOOP)
                return fail(kLinkCause);
            if (error == EISDIR) {
                // A folder holds no lock. An empty one is removed; one with files in it is left
                // for a person to look at.
                if (::rmdir(path.constData()) == 0)
                    continue;
                const int removeError = errno;
                if (removeError == ENOTEMPTY || removeError == EEXIST)
                    return fail(QStringLiteral(
                        "con ese nombre hay una carpeta que contiene archivos; muévala a otro lugar "
                        "o bórrela y vuelva a abrir el programa"));
                return fail(causeOf(removeError));
            }
            if ((error == EACCES || error == EPERM) && QFileInfo::exists(m_path)) {
                // A lock file this user may not write, left by a copy run by another user: if
                // nobody holds it, it is replaced by a new one.
                fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
                if (fd < 0 && errno == ELOOP)
                    return fail(kLinkCause);
                if (fd < 0)
                    return fail(QStringLiteral("no hay permiso para leer ni escribir el archivo; "
                                               "bórrelo si el programa no está abierto"));
                if (const QString foreign = foreignFileCause(fd); !foreign.isEmpty()) {
                    ::close(fd);
                    return fail(foreign);
                }
                if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                    const int lockError = errno;
                    ::close(fd);
                    if (lockError == EWOULDBLOCK)
                        return Result::OtherCopyRunning;
                    return fail(causeOf(lockError));
                }
                const bool removed = ::unlink(path.constData()) == 0;
                const int removeError = errno;
                ::close(fd);
                if (removed)
                    continue;
                return fail(causeOf(removeError));
            }
            return fail(causeOf(error));
        }
        // Only a plain file of this one name is the program's to write its note into.
        if (const QString foreign = foreignFileCause(fd); !foreign.isEmpty()) {
            ::close(fd);
            return fail(foreign);
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                return Result::OtherCopyRunning;
            if (error == EINTR)
                continue;
            return fail(causeOf(error));
        }
        if (!stillNamed(fd, path)) {
            ::close(fd);
            continue;
        }
        // Whatever the file held before (a crashed run's note, nothing, garbage) gives way to
        // this copy's note.
        const QByteArray note = QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                                QCoreApplication::applicationName().toUtf8() + '\n' +
                                QSysInfo::machineHostName().toUtf8() + '\n';
        if (const int error = writeNote(fd, note); error != 0) {
            ::unlink(path.constData());
            ::close(fd);
            return fail(causeOf(error));
        }
        // What the umask took away; a lock of another account stays as its owner made it.
        ::fchmod(fd, modesFor(m_folder).file);
        m_fd = fd;
        return Result::Acquired;
    }
    return fail(QStringLiteral("el archivo cambió una y otra vez mientras se intentaba usarlo"));
}

} // namespace tarvino
