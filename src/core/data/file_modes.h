// Who may read the files the program makes beside bd1, and how they are made. bd1 holds the cost
// prices and the users' password hashes: its files are the owner's alone, unless the data folder is
// shared through a group (the folder setgid or writable by its group), in which case the group
// reads and writes them too. The folder decides; no setting does.
#pragma once

#include <QString>

#include <sys/types.h>

namespace tarvino {

struct FolderModes {
    mode_t file;   // 0600, or 0660 in a shared folder
    mode_t folder; // 0700, or 02770 in a shared folder (its files keep the group)
};

// The modes of what the program makes in folder.
FolderModes modesFor(const QString& folder);

// Makes a new file at path that must not exist yet, never through a link planted at the name,
// with the file mode its folder decides, whatever the umask. The descriptor, or -1 with errno set.
int createNewFile(const QString& path);

// Makes the folder at path, with the folder mode its parent decides; an existing folder is left as
// it is. 0 or the error number (EEXIST when a file has the name).
int makeFolder(const QString& path);

// Gives each of bd1's files that this account owns (bd1 itself, its journal files, the lock, the
// folder of copies) the mode the folder decides, so that a file made by an earlier version, which
// anyone could read, becomes private too. Files of other accounts are left alone.
void applyFolderModes(const QString& folder);

// From the first call on, the engine never creates a file nor opens one to write through a link
// at its name: a link planted as bd1-wal or bd1-shm would otherwise have the engine write into the
// file the link leads to.
void refuseLinksInEngine();

} // namespace tarvino
