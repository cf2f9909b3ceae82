// Copies of bd1 kept beside it in the folder "respaldos", one made each time a sales day closes.
#include "data/backup.h"

#include "data/cipher_format.h"
#include "data/database.h"
#include "data/dialect.h"
#include "data/file_engine.h"
#include "data/file_modes.h"
#include "data/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvino {

namespace {

// "bd1-000123-2026-03-09_09-05-07", or "bd1-2026-03-09_09-05-07" as copies were named before
// they had a number.
const QRegularExpression kCopyName(
    QStringLiteral("^bd1-(?:(\\d{6,18})-)?\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2}$"));
const QString kPartialSuffix = QStringLiteral(".parcial");

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

[[noreturn]] void fail(const QString& target, const QString& cause)
{
    throw DbError(
        QStringLiteral("No se pudo hacer la copia de respaldo «%1»: %2.").arg(target, cause));
}

// Makes the folder when it is missing.
void makeFolder(const QString& folder, const QString& target)
{
    if (const int error = tarvino::makeFolder(folder); error == EEXIST)
        fail(target,
             QStringLiteral("con el nombre «%1» hay un archivo, no una carpeta").arg(folder));
    else if (error != 0)
        fail(target, systemErrorText(error));
}

// The file's own bytes are the copy: the engine's file handle is read page after page as stored,
// encrypted, so nothing is decrypted and encrypted again. Only valid while the journal is empty
// and nobody writes, which the caller makes sure of.
void copyStoredBytes(Database& db, const QString& partial, const QString& target)
{
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(fileConnection(db), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods)
        fail(target, QStringLiteral("no se pudo leer la base de datos"));
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        fail(target, QStringLiteral("no se pudo leer la base de datos"));

    const int fd = createNewFile(partial);
    if (fd < 0)
        fail(target, systemErrorText(errno));
    std::vector<char> buffer(1 << 20);
    int error = 0;
    QString readFailure;
    for (sqlite3_int64 offset = 0; offset < size && !error && readFailure.isEmpty();) {
        const int chunk = int(std::min<sqlite3_int64>(sqlite3_int64(buffer.size()), size - offset));
        const int rc = file->pMethods->xRead(file, buffer.data(), chunk, offset);
        if (rc != SQLITE_OK) {
            readFailure = Database::causeText(rc, sqlite3_system_errno(fileConnection(db)));
            break;
        }
        for (int written = 0; written < chunk;) {
            const ssize_t n = ::write(fd, buffer.data() + written, size_t(chunk - written));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                error = errno;
                break;
            }
            written += int(n);
        }
        offset += chunk;
    }
    // The copy must be on the disk before it takes its name, or a power cut could leave an empty
    // file under the name of a good copy.
    if (!error && readFailure.isEmpty() && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!readFailure.isEmpty())
        fail(target, readFailure);
    if (error)
        fail(target, systemErrorText(error));
}

// The engine's own online copy, through a second connection keyed like the first: it reads every
// page through the open connection, journal included, whatever else holds the file.
void copyThroughEngine(Database& db, const QString& partial, const QString& target)
{
    // Made here, so that the engine writes only into a file the program made.
    const int made = createNewFile(partial);
    if (made < 0)
        fail(target, systemErrorText(errno));
    ::close(made);
    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(partial.toUtf8().constData(), &copy,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString key = kDatabaseKey;
    key.replace(QLatin1Char('\''), QStringLiteral("''"));
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(copy, QStringLiteral("PRAGMA key = '%1';").arg(key).toUtf8().constData(),
                          nullptr, nullptr, nullptr);
    // A copy that fails is thrown away whole; it needs no journal of its own.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(copy, "PRAGMA journal_mode = OFF; PRAGMA synchronous = FULL;", nullptr,
                          nullptr, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", fileConnection(db), "main");
        if (!backup) {
            rc = sqlite3_errcode(copy);
        } else {
            rc = sqlite3_backup_step(backup, -1);
            const int finished = sqlite3_backup_finish(backup);
            rc = rc == SQLITE_DONE ? finished : rc;
        }
    }
    const QString cause = rc == SQLITE_OK
                              ? QString()
                              : Database::causeText(rc, copy ? sqlite3_system_errno(copy) : 0);
    const int closed = sqlite3_close(copy);
    if (!cause.isEmpty())
        fail(target, cause);
    if (closed != SQLITE_OK)
        fail(target, Database::causeText(closed));
}

// Folds the journal into the file; true when it is empty afterwards.
bool foldJournal(Database& db)
{
    int frames = -1;
    int copied = -1;
    const int rc = sqlite3_wal_checkpoint_v2(fileConnection(db), "main", SQLITE_CHECKPOINT_TRUNCATE,
                                             &frames, &copied);
    // A file without a journal of this kind answers -1 for both.
    return rc == SQLITE_OK && frames <= 0;
}

void syncFolder(const QString& folder)
{
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The files the engine keeps beside a database file while it is in use.
const QStringList kJournalEndings{QStringLiteral("-wal"), QStringLiteral("-shm"),
                                  QStringLiteral("-journal")};

// Whether anything, a link that leads nowhere included, has the name.
bool taken(const QString& path)
{
    struct stat st {};
    return ::lstat(native(path).constData(), &st) == 0;
}

// The first "<prefix>-N" in folder that is free with each of endings.
QString firstFreeName(const QString& folder, const QString& prefix, const QStringList& endings)
{
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("%1-%2").arg(prefix).arg(n);
        if (std::none_of(endings.begin(), endings.end(), [&](const QString& ending) {
                return taken(QDir(folder).filePath(name + ending));
            }))
            return name;
    }
}

// Renames from to to, never over something already there; 0 or the error number.
int renameNoReplace(const QString& from, const QString& to)
{
    if (::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(),
                    RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system that cannot refuse by itself: looked at first, which is as good while this
    // copy of the program holds the folder.
    if (taken(to))
        return EEXIST;
    return ::rename(native(from).constData(), native(to).constData()) == 0 ? 0 : errno;
}

// Removes the file at path and the journal files beside it.
void removeWithJournal(const QString& path)
{
    QFile::remove(path);
    for (const QString& ending : kJournalEndings)
        QFile::remove(path + ending);
}

// Copies the bytes of from into the new file to, on the disk before it returns. A copy that
// cannot be read throws with Cause::Contents, a file that cannot be written with Cause::Other.
void copyFile(const QString& from, const QString& to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("No se pudo leer la copia de respaldo «%1»: %2.")
                          .arg(from, source.errorString()),
                      DbError::Cause::Contents);
    const int fd = createNewFile(to);
    if (fd < 0)
        throw DbError(QStringLiteral("No se pudo escribir «%1»: %2.").arg(to, systemErrorText(errno)));
    int error = 0;
    while (!error) {
        const QByteArray chunk = source.read(1 << 20);
        if (chunk.isEmpty()) {
            if (source.error() != QFileDevice::NoError) {
                ::close(fd);
                throw DbError(QStringLiteral("No se pudo leer la copia de respaldo «%1»: %2.")
                                  .arg(from, source.errorString()),
                              DbError::Cause::Contents);
            }
            break;
        }
        for (qsizetype written = 0; written < chunk.size();) {
            const ssize_t n =
                ::write(fd, chunk.constData() + written, size_t(chunk.size() - written));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                error = errno;
                break;
            }
            written += n;
        }
    }
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (error)
        throw DbError(QStringLiteral("No se pudo escribir «%1»: %2.").arg(to, systemErrorText(error)));
}

// Names given back in reverse order: the files set aside take their old names again.
void renameBack(const std::vector<std::pair<QString, QString>>& moved)
{
    for (auto it = moved.rbegin(); it != moved.rend(); ++it)
        renameNoReplace(it->second, it->first);
}

} // namespace

QString backupFolder(const QString& databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(kBackupFolderName);
}

QString backupName(qint64 sequence, const QDateTime& opened)
{
    return QStringLiteral("bd1-%1-").arg(sequence, 6, 10, QLatin1Char('0')) +
           opened.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
}

QStringList backupsNewestFirst(const QString& databasePath)
{
    struct Copy {
        qint64 sequence; // 0 for a copy named before copies had a number
        QString name;
    };
    std::vector<Copy> copies;
    for (const QString& name : QDir(backupFolder(databasePath)).entryList(QDir::Files)) {
        const QRegularExpressionMatch match = kCopyName.match(name);
        if (match.hasMatch())
            copies.push_back({match.captured(1).toLongLong(), name});
    }
    // The clock may have been wrong when a copy was named, and the time a file was written
    // changes when it is copied elsewhere and back; the number alone follows the order in which
    // the copies were made. Unnumbered copies have nothing better than the time in their names,
    // which sorts as text.
    std::sort(copies.begin(), copies.end(), [](const Copy& a, const Copy& b) {
        return a.sequence != b.sequence ? a.sequence > b.sequence : a.name > b.name;
    });
    QStringList names;
    for (const Copy& copy : copies)
        names << copy.name;
    return names;
}

QString newestBackup(const QString& databasePath)
{
    const QStringList names = backupsNewestFirst(databasePath);
    return names.isEmpty() ? QString() : QDir(backupFolder(databasePath)).filePath(names.first());
}

BackupResult backUpDatabase(Database& db, const QDateTime& opened, int keep)
{
    if (!db.dialect().keepsCopies())
        return {};
    const QString folder = backupFolder(db.path());
    const QStringList before = backupsNewestFirst(db.path());
    const qint64 sequence =
        before.isEmpty() ? 1 : kCopyName.match(before.first()).captured(1).toLongLong() + 1;
    const QString name = backupName(sequence, opened);
    const QString target = QDir(folder).filePath(name);
    if (db.inTransaction())
        fail(target, QStringLiteral("hay cambios a medio guardar"));
    makeFolder(folder, target);

    // Leftovers of a copy cut short (a power cut) go first; a link there is removed, never
    // followed.
    for (const QString& left : QDir(folder).entryList({QStringLiteral(".bd1-*") + kPartialSuffix},
                                                      QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(QDir(folder).filePath(left));
    // Made only when the name is free (createNewFile): one planted since is refused, not followed.
    const QString partial = QDir(folder).filePath(QLatin1Char('.') + name + kPartialSuffix);

    try {
        // With the journal folded in and a read held open, the file alone is the whole database
        // and stays as it is while its bytes are copied; otherwise the engine copies it page by
        // page, about ten times slower.
        if (foldJournal(db) &&
            sqlite3_exec(fileConnection(db), "BEGIN; SELECT count(*) FROM sqlite_master;", nullptr,
                         nullptr, nullptr) == SQLITE_OK) {
            try {
                copyStoredBytes(db, partial, target);
            } catch (...) {
                db.rollback();
                throw;
            }
            db.rollback();
        } else {
            db.rollback();
            copyThroughEngine(db, partial, target);
        }
        if (::rename(native(partial).constData(), native(target).constData()) != 0)
            fail(target, systemErrorText(errno));
    } catch (const DbError&) {
        QFile::remove(partial);
        throw;
    }
    syncFolder(folder);

    // The copy just made has the highest number and comes first.
    BackupResult result{target, {}};
    const QStringList copies = backupsNewestFirst(db.path());
    QStringList kept;
    for (qsizetype i = std::max(1, keep); i < copies.size(); ++i) {
        if (!QFile::remove(QDir(folder).filePath(copies[i])))
            kept << copies[i];
    }
    if (!kept.isEmpty())
        result.warning =
            QStringLiteral(
                "No se pudieron borrar las copias de respaldo antiguas %1 de la carpeta «%2»; "
                "ocupan espacio en el disco y pueden borrarse a mano.")
                .arg(kept.join(QStringLiteral(", ")), folder);
    return result;
}

QString asideName(const QString& databasePath)
{
    return firstFreeName(QFileInfo(databasePath).absolutePath(),
                         QFileInfo(databasePath).fileName() + QStringLiteral("-apartado"),
                         QStringList{QString()} + kJournalEndings);
}

QString setAside(const QString& databasePath)
{
    const QString folder = QFileInfo(databasePath).absolutePath();
    const QString aside = asideName(databasePath);
    std::vector<std::pair<QString, QString>> moved;
    for (const QString& ending : QStringList{QString()} + kJournalEndings) {
        const QString from = databasePath + ending;
        if (!taken(from))
            continue;
        const QString to = QDir(folder).filePath(aside + ending);
        if (const int error = renameNoReplace(from, to); error != 0) {
            renameBack(moved);
            throw DbError(QStringLiteral("No se pudo guardar aparte «%1» como «%2»: %3.")
                              .arg(from, to, systemErrorText(error)));
        }
        moved.emplace_back(from, to);
    }
    if (moved.empty())
        return {};
    syncFolder(folder);
    return aside;
}

QString putBackCopy(const QString& databasePath, const QString& copyPath)
{
    const QString folder = QFileInfo(databasePath).absolutePath();
    // Hidden, and the program's own: a leftover of a put-back cut short is removed.
    const QString checked = QDir(folder).filePath(QStringLiteral(".bd1-restaurando"));
    removeWithJournal(checked);
    try {
        copyFile(copyPath, checked);
        Database check;
        try {
            // A copy made before bd1 was converted to this SQLCipher's settings is converted as
            // bd1 was; the one in the folder of copies stays as it was.
            const FormatConversion conversion = convertOldFormat(checked, kDatabaseKey);
            if (conversion.converted)
                QFile::remove(conversion.keptCopy);
            check.open(checked);
            checkSchema(check);
            const StructureVerdict verdict = checkStructure(fileConnection(check));
            if (verdict.outcome == StructureVerdict::Outcome::Damaged)
                throw DbError(QStringLiteral("La copia de respaldo «%1» está dañada.").arg(copyPath),
                              DbError::Cause::Contents);
        } catch (const DbError& e) {
            // The checked file is the copy under another name: the words name the copy.
            QString message = e.message();
            throw DbError(message.replace(checked, copyPath), e.cause());
        }
        check.close();
    } catch (const DbError&) {
        removeWithJournal(checked);
        throw;
    }
    // Reading the copy may leave empty journal files beside it; they are not to travel with it.
    for (const QString& ending : kJournalEndings)
        QFile::remove(checked + ending);

    QString aside;
    try {
        aside = setAside(databasePath);
    } catch (const DbError&) {
        QFile::remove(checked);
        throw;
    }
    if (const int error = renameNoReplace(checked, databasePath); error != 0) {
        QFile::remove(checked);
        if (!aside.isEmpty()) {
            std::vector<std::pair<QString, QString>> moved;
            for (const QString& ending : QStringList{QString()} + kJournalEndings) {
                const QString to = QDir(folder).filePath(aside + ending);
                if (taken(to))
                    moved.emplace_back(databasePath + ending, to);
            }
            renameBack(moved);
        }
        throw DbError(QStringLiteral("No se pudo poner la copia de respaldo «%1» como «%2»: %3.")
                          .arg(copyPath, databasePath, systemErrorText(error)));
    }
    syncFolder(folder);
    return aside;
}

QString copiesAsideFolder(const QString& databasePath)
{
    const QString parent = QFileInfo(databasePath).absolutePath();
    return QDir(parent).filePath(
        firstFreeName(parent, kBackupFolderName + QStringLiteral("-anteriores"), {QString()}));
}

QString setCopiesAside(const QString& databasePath)
{
    if (backupsNewestFirst(databasePath).isEmpty())
        return {};
    const QString from = backupFolder(databasePath);
    const QString parent = QFileInfo(databasePath).absolutePath();
    const QString to = copiesAsideFolder(databasePath);
    if (const int error = renameNoReplace(from, to); error != 0)
        throw DbError(QStringLiteral("No se pudieron guardar aparte las copias de respaldo de «%1» "
                                     "en «%2»: %3.")
                          .arg(from, to, systemErrorText(error)));
    syncFolder(parent);
    return to;
}

} // namespace tarvino
