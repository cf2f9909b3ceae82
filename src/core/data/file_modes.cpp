// Who may read the files the program makes beside bd1, and how they are made.
#include "data/file_modes.h"

#include "data/backup.h"
#include "data/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvino {

namespace {

// A folder's group is the shop's when new files take it (setgid) or when the group may write.
bool shared(const struct stat& folder)
{
    return (folder.st_mode & (S_ISGID | S_IWGRP)) != 0;
}

// Sets the open file fd to mode and, in a shared folder, to the folder's group, when this account
// owns it; a file of another account keeps what its owner gave it.
void adjust(int fd, mode_t mode, const struct stat* sharedFolder, bool wantFolder)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() ||
        (wantFolder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)))
        return;
    // Refused when this account is not in that group: the file then keeps its own group.
    if (sharedFolder && st.st_gid != sharedFolder->st_gid &&
        ::fchown(fd, uid_t(-1), sharedFolder->st_gid) != 0)
        errno = 0;
    if ((st.st_mode & 07777) != mode)
        ::fchmod(fd, mode);
}

void adjustNamed(const QString& path, mode_t mode, const struct stat* sharedFolder, bool wantFolder)
{
    // Never through a link: a link at one of these names is not the program's file.
    const int flags =
        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (wantFolder ? O_DIRECTORY : 0);
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return;
    adjust(fd, mode, sharedFolder, wantFolder);
    ::close(fd);
}

int openWithoutLinks(const char* path, int flags, int mode)
{
    // Reading through a link harms nothing; writing would reach the file it leads to.
    if (flags & (O_CREAT | O_WRONLY | O_RDWR))
        flags |= O_NOFOLLOW;
    return ::open(path, flags, mode);
}

} // namespace

FolderModes modesFor(const QString& folder)
{
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) == 0 && shared(st))
        return {0660, 02770};
    return {0600, 0700};
}

int createNewFile(const QString& path)
{
    const mode_t mode = modesFor(QFileInfo(path).absolutePath()).file;
    // O_EXCL refuses any name already taken, a link included, so nothing made by someone else is
    // opened, let alone emptied.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    // The umask would take the group's bits away in a shared folder.
    if (fd >= 0)
        ::fchmod(fd, mode);
    return fd;
}

int makeFolder(const QString& path)
{
    const FolderModes modes = modesFor(QFileInfo(path).absolutePath());
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), modes.folder) != 0) {
        const int error = errno;
        struct stat st {};
        if (error == EEXIST && ::stat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            return 0;
        return error;
    }
    // mkdir leaves out the setgid bit and what the umask takes.
    adjustNamed(path, modes.folder, nullptr, true);
    return 0;
}

void applyFolderModes(const QString& folder)
{
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return;
    const FolderModes modes = modesFor(folder);
    const struct stat* group = shared(st) ? &st : nullptr;
    const QDir dir(folder);
    for (const QString& ending : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"),
                                  QStringLiteral("-journal"), QStringLiteral(".lock")})
        adjustNamed(dir.filePath(kDatabaseFileName + ending), modes.file, group, false);
    const QString copies = dir.filePath(kBackupFolderName);
    adjustNamed(copies, modes.folder, group, true);
    for (const QString& name : QDir(copies).entryList(QDir::Files | QDir::Hidden))
        adjustNamed(QDir(copies).filePath(name), modes.file, group, false);
}

void refuseLinksInEngine()
{
    static const bool installed = [] {
        sqlite3_vfs* vfs = sqlite3_vfs_find("unix");
        return vfs && vfs->iVersion >= 3 && vfs->xSetSystemCall &&
               vfs->xSetSystemCall(vfs, "open",
                                   reinterpret_cast<sqlite3_syscall_ptr>(&openWithoutLinks)) ==
                   SQLITE_OK;
    }();
    (void)installed;
}

} // namespace tarvino
