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
// The name of the copy made when the day opened at opened closes: "bd1-2026-03-09_09-05-07".
QString backupName(const QDateTime& opened);
// The copies in the folder (only names the program gives), newest first by the opening time in
// their names.
QStringList backupsNewestFirst(const QString& databasePath);
// The full path of the newest copy; empty when there is none.
QString newestBackup(const QString& databasePath);

struct BackupResult {
    QString path;    // the copy made
    QString warning; // old copies that could not be removed, in words for the cashier
};

// Writes a copy of the open database that holds every change stored so far, journal included,
// encrypted with the same key, into the folder of copies under the name of the day opened at
// opened (a copy of the same name is replaced), then removes the oldest copies beyond keep. The
// copy appears whole or not at all. Throws DbError, after which the folder holds what it held.
BackupResult backUpDatabase(Database& db, const QDateTime& opened, int keep = kBackupsKept);

} // namespace tarvino
