// Copies of bd1 kept beside it in the folder "respaldos", one made each time a sales day closes.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tarvino {

class Database;

inline const QString kBackupFolderName = QStringLiteral("respaldos");
// How many copies are kept; the oldest go when a new one is made.
constexpr int kBackupsKept = 14;

// The folder of the copies of the database file at databasePath.
QString backupFolder(const QString& databasePath);
// The name of the copy with the given sequence number, made when the day opened at opened
// closes: "bd1-000123-2026-03-09_09-05-07". The number, one more than the highest in the folder,
// orders the copies by when they were made, whatever the clock said; the opening is for people.
QString backupName(qint64 sequence, const QDateTime& opened);
// The copies in the folder (only names the program gives), newest first: numbered copies by
// their number, then copies named only by an opening time (as older versions of the program
// named them), which came before any numbered one, by that time.
QStringList backupsNewestFirst(const QString& databasePath);
// The full path of the newest copy; empty when there is none.
QString newestBackup(const QString& databasePath);

struct BackupResult {
    QString path;    // the copy made
    QString warning; // old copies that could not be removed, in words for the cashier
};

// Writes a copy of the open database that holds every change stored so far, journal included,
// encrypted with the same key, into the folder of copies under the next number and the opening
// of the day, then removes the oldest copies beyond keep. The copy appears whole or not at all.
// Throws DbError, after which the folder holds what it held. On a server it does nothing and
// returns no copy: a server is backed up with its own tools (pg_dump).
BackupResult backUpDatabase(Database& db, const QDateTime& opened, int keep = kBackupsKept);

// The name under which the database file at databasePath and its journal files would be set
// aside now: "bd1-apartado-1", or the next number free for all of them.
QString asideName(const QString& databasePath);

// Renames the database file at databasePath and the journal files beside it (bd1-wal, bd1-shm,
// bd1-journal), those that are there, to asideName() with the same endings, so that they stay
// together and nothing else is overwritten. Returns that name; empty when none was there.
// Throws DbError, after which every file has its old name.
QString setAside(const QString& databasePath);

// Puts the copy at copyPath in the place of the database file at databasePath: the copy is
// copied beside it and checked whole (keyed, its tables, every page) before anything is renamed;
// then what was there is set aside (setAside) and the checked copy takes the name. The copy stays
// where it was. Returns the name the old file was set aside under, empty when there was none.
// Throws DbError, after which nothing has changed: with Cause::Contents when the copy itself
// cannot be used (another copy may do), with Cause::Other when the disk refuses.
QString putBackCopy(const QString& databasePath, const QString& copyPath);

// The folder the copies would be set aside in now: "respaldos-anteriores-1", or the next number
// free.
QString copiesAsideFolder(const QString& databasePath);
// Renames the folder of copies to copiesAsideFolder(), so that the copies of a new file made in
// the old one's place never count or remove them. Returns the new folder's path; empty when the
// folder holds no copy and is left alone. Throws DbError; the folder then keeps its name.
QString setCopiesAside(const QString& databasePath);

} // namespace tarvino
