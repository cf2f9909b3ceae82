// The encryption settings of bd1 across SQLCipher versions.
#include "data/cipher_format.h"

#include "common/system_error.h"
#include "data/database.h"
#include "data/file_modes.h"
#include "data/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace tarvino {

namespace {

QString failure(const QString& path, const QString& cause)
{
    return QStringLiteral("No se pudo convertir la base de datos «%1» al cifrado de esta versión "
                          "de SQLCipher: %2. El archivo quedó como estaba.")
        .arg(QDir::toNativeSeparators(path), cause);
}

// One connection, closed however the conversion ends.
class Connection final {
public:
    ~Connection() { sqlite3_close_v2(m_db); }
    int open(const QString& path, int flags)
    {
        refuseLinksInEngine();
        return sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
    }
    int exec(const QString& sql)
    {
        return sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    }
    // The key, then the settings, then a read that only the right key and settings pass.
    int unlock(const QString& key, const QString& settings)
    {
        QString quoted = key;
        quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
        int rc = exec(QStringLiteral("PRAGMA key = '%1';").arg(quoted));
        if (rc == SQLITE_OK && !settings.isEmpty())
            rc = exec(settings);
        if (rc == SQLITE_OK)
            rc = exec(QStringLiteral("SELECT count(*) FROM sqlite_master;"));
        return rc;
    }
    // The first column of the first row, as text.
    QString value(const QString& sql)
    {
        sqlite3_stmt* stmt = nullptr;
        QString found;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            found = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        return found;
    }
    int close()
    {
        const int rc = sqlite3_close(m_db);
        m_db = nullptr;
        return rc;
    }
    sqlite3* handle() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

const QString kOldSettings = QStringLiteral("PRAGMA cipher_compatibility = 3;");

// True when the file opens with SQLCipher 3's settings and not with the defaults.
bool madeWithOldSettings(const QString& path, const QString& key)
{
    // An empty file has no settings to tell; opening it through the engine would also take the
    // journal files beside it, which the refusal of an empty file keeps for a person to look at.
    if (QFileInfo(path).size() == 0)
        return false;
    Connection current;
    if (current.open(path, SQLITE_OPEN_READONLY) != SQLITE_OK)
        return false;
    const int rc = current.unlock(key, {});
    current.close();
    if (rc != SQLITE_NOTADB)
        return false;
    Connection old;
    return old.open(path, SQLITE_OPEN_READONLY) == SQLITE_OK &&
           old.unlock(key, kOldSettings) == SQLITE_OK;
}

bool syncPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

QString freeCopyName(const QString& path)
{
    QString name = path + kOldFormatSuffix;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = path + kOldFormatSuffix + QStringLiteral("-%1").arg(n);
    return name;
}

} // namespace

QString cipherVersion()
{
    Connection memory;
    if (memory.open(QStringLiteral(":memory:"), SQLITE_OPEN_READWRITE) != SQLITE_OK)
        return {};
    // Builds may add a word after the number ("4.5.5 community").
    return memory.value(QStringLiteral("PRAGMA cipher_version;")).section(QLatin1Char(' '), 0, 0);
}

bool cipherDefaultsAreNewer()
{
    static const bool newer = cipherVersion().section(QLatin1Char('.'), 0, 0).toInt() >= 4;
    return newer;
}

FormatConversion convertOldFormat(const QString& path, const QString& key)
{
    if (!cipherDefaultsAreNewer() || !madeWithOldSettings(path, key))
        return {};

    // A damaged file is refused as such, so that a copy can be offered in its place, and before
    // a connection that could fold its journal into it is opened (a read-only one never does).
    {
        Connection look;
        if (look.open(path, SQLITE_OPEN_READONLY) == SQLITE_OK &&
            look.unlock(key, kOldSettings) == SQLITE_OK &&
            checkStructure(look.handle()).outcome == StructureVerdict::Outcome::Damaged)
            throw DbError(QStringLiteral("La base de datos «%1» está dañada.")
                              .arg(QDir::toNativeSeparators(path)),
                          DbError::Cause::Contents);
    }

    const QString fresh = path + QStringLiteral("-convirtiendo");
    QFile::remove(fresh); // what a conversion cut short left
    // Made here with the folder's mode; the engine only fills it.
    if (const int made = createNewFile(fresh); made >= 0)
        ::close(made);
    else
        throw DbError(failure(path, systemErrorText(errno)));
    {
        Connection old;
        // Files attached to a connection are opened with its flags: the new one must be made.
        int rc = old.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        if (rc == SQLITE_OK)
            rc = old.unlock(key, kOldSettings);
        // The new file is attached with the key and SQLCipher's current settings, and filled
        // with everything the old one holds, its journal included; a failure leaves only the new
        // file, which goes.
        sqlite3_stmt* attach = nullptr;
        if (rc == SQLITE_OK)
            rc = sqlite3_prepare_v2(old.handle(), "ATTACH DATABASE ?1 AS nuevo KEY ?2;", -1,
                                    &attach, nullptr);
        if (rc == SQLITE_OK) {
            const QByteArray freshName = fresh.toUtf8();
            const QByteArray keyText = key.toUtf8();
            sqlite3_bind_text(attach, 1, freshName.constData(), int(freshName.size()),
                              SQLITE_TRANSIENT);
            sqlite3_bind_text(attach, 2, keyText.constData(), int(keyText.size()),
                              SQLITE_TRANSIENT);
            rc = sqlite3_step(attach);
            rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
        }
        sqlite3_finalize(attach);
        const QString version = rc == SQLITE_OK
                                    ? old.value(QStringLiteral("PRAGMA main.user_version;"))
                                    : QString();
        if (rc == SQLITE_OK)
            rc = old.exec(QStringLiteral("PRAGMA nuevo.cipher_compatibility = 4;"));
        if (rc == SQLITE_OK)
            rc = old.exec(QStringLiteral("SELECT sqlcipher_export('nuevo');"));
        // The export leaves out the number the schema upgrades count by.
        if (rc == SQLITE_OK)
            rc = old.exec(QStringLiteral("PRAGMA nuevo.user_version = %1;").arg(version.toInt()));
        if (rc == SQLITE_OK)
            rc = old.exec(QStringLiteral("DETACH DATABASE nuevo;"));
        const QString cause = rc == SQLITE_OK
                                  ? QString()
                                  : Database::causeText(rc, sqlite3_system_errno(old.handle()));
        // Closing the last connection folds the old file's journal into it: the copy kept is
        // whole by itself.
        const int closed = old.close();
        if (!cause.isEmpty() || closed != SQLITE_OK) {
            QFile::remove(fresh);
            throw DbError(failure(path, cause.isEmpty() ? Database::causeText(closed) : cause));
        }
    }
    // The new file must be on the disk before it takes the name bd1.
    Connection check;
    const bool opens = check.open(fresh, SQLITE_OPEN_READONLY) == SQLITE_OK &&
                       check.unlock(key, {}) == SQLITE_OK;
    check.close();
    if (!opens || !syncPath(fresh, O_RDONLY)) {
        QFile::remove(fresh);
        throw DbError(failure(path, QStringLiteral("el archivo convertido no se pudo comprobar")));
    }

    // The old file's journal was folded into it when its last connection closed. One left over
    // (the fold failed) would be read as the journal of the new file, so nothing is renamed.
    for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        const QFileInfo journal(path + suffix);
        if (journal.exists() && suffix == QLatin1String("-wal") && journal.size() > 0) {
            QFile::remove(fresh);
            throw DbError(failure(path, QStringLiteral("no se pudieron guardar en él los cambios "
                                                       "pendientes de «%1»")
                                            .arg(journal.fileName())));
        }
        QFile::remove(journal.filePath());
    }
    // The old file takes its second name first and the new one replaces bd1 in one step, so that
    // at every instant, a power cut included, bd1 is one whole file, old or new.
    const QString kept = freeCopyName(path);
    const QByteArray pathName = QFile::encodeName(path);
    const QByteArray keptName = QFile::encodeName(kept);
    if (::link(pathName.constData(), keptName.constData()) != 0) {
        // A disk without hard links (a memory stick) gets a copy of the bytes instead.
        if (!QFile::copy(path, kept) || !syncPath(kept, O_RDONLY)) {
            QFile::remove(kept);
            QFile::remove(fresh);
            throw DbError(failure(path, QStringLiteral("no se pudo guardar el archivo anterior como «%1»")
                                            .arg(QDir::toNativeSeparators(kept))));
        }
    }
    if (std::rename(QFile::encodeName(fresh).constData(), pathName.constData()) != 0) {
        const int error = errno;
        QFile::remove(kept);
        QFile::remove(fresh);
        throw DbError(failure(path, systemErrorText(error)));
    }
    syncPath(QFileInfo(path).absolutePath(), O_RDONLY | O_DIRECTORY);
    return {true, kept};
}

QString newerFormatAdvice(const QString& path)
{
    if (cipherDefaultsAreNewer() || !QFileInfo::exists(path + kOldFormatSuffix))
        return {};
    // Only a file the key does not open, beside its old copy, is taken for a converted one.
    Connection current;
    if (current.open(path, SQLITE_OPEN_READONLY) != SQLITE_OK ||
        current.unlock(kDatabaseKey, {}) != SQLITE_NOTADB)
        return {};
    return QStringLiteral(
               "Una versión del programa que usa SQLCipher 4 convirtió «%1» a su cifrado, que esta "
               "versión (SQLCipher %2) no puede leer. El archivo tal como estaba antes de la "
               "conversión quedó en «%3»; las ventas registradas después no están en él.")
        .arg(QDir::toNativeSeparators(path), cipherVersion(),
             QDir::toNativeSeparators(path + kOldFormatSuffix));
}

} // namespace tarvino
