// The one connection of the program to the encrypted file bd1, with its cached statements.
#include "data/database.h"

#include "common/system_error.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvino {

namespace {

// How long a statement waits for another connection to let go of the file.
constexpr int kBusyTimeoutMs = 2000;

QString fileMessage(const QString& path, const QString& cause)
{
    return QStringLiteral("No se pudo abrir la base de datos «%1»: %2.").arg(path, cause);
}

// The causes of a file that cannot be used, found before the engine sees it: the engine itself
// only says "unable to open" or "not a database" for most of them. contents tells an empty or
// unencrypted file from a problem of the disk or its permissions.
QString unusableFileCause(const QString& path, DbError::Cause& contents)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        const int error = errno;
        if (error == ENOENT)
            return QStringLiteral("el archivo no existe");
        if (error == EACCES)
            return QStringLiteral("no hay permiso para entrar en la carpeta del archivo");
        return systemErrorText(error);
    }
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("con ese nombre hay una carpeta, no un archivo");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("no es un archivo común");

    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            return QStringLiteral("no hay permiso para leer el archivo");
        return systemErrorText(error);
    }
    char head[16] = {};
    const ssize_t got = ::read(fd, head, sizeof head);
    const int readError = errno;
    ::close(fd);
    if (got < 0)
        return systemErrorText(readError);
    if (st.st_size == 0) {
        contents = DbError::Cause::Contents;
        return QStringLiteral("el archivo está vacío (0 bytes), no es una base de datos");
    }
    // An encrypted file starts with random bytes; this header means nobody ever gave it the key.
    if (got == sizeof head && std::memcmp(head, "SQLite format 3", sizeof head) == 0) {
        contents = DbError::Cause::Contents;
        return QStringLiteral("el archivo es una base de datos sin contraseña, y la del programa "
                              "debe estar protegida con su contraseña");
    }

    if (::faccessat(AT_FDCWD, native.constData(), W_OK, AT_EACCESS) != 0) {
        const int error = errno;
        if (error == EROFS)
            return QStringLiteral("el archivo está en un disco de solo lectura");
        if (error == EACCES || error == EPERM)
            return QStringLiteral("no hay permiso para escribir en el archivo");
        return systemErrorText(error);
    }
    // The journal of changes in progress is kept in files beside bd1.
    const QString folder = QFileInfo(path).absolutePath();
    if (::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK | X_OK, AT_EACCESS) != 0) {
        const int error = errno;
        if (error == EROFS)
            return QStringLiteral("la carpeta «%1» está en un disco de solo lectura").arg(folder);
        if (error == EACCES || error == EPERM)
            return QStringLiteral("no hay permiso para escribir en la carpeta «%1», donde el programa "
                                  "guarda junto a bd1 los cambios en curso")
                .arg(folder);
        return systemErrorText(error);
    }
    return {};
}

// Another key, a file that is not a database, a damaged one: what the file holds is at fault.
DbError::Cause causeOfCode(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT ? DbError::Cause::Contents
                                                                 : DbError::Cause::Other;
}

} // namespace

Database::~Database()
{
    close();
}

QString Database::causeText(int code, int systemError)
{
    const int primary = code & 0xff;
    // For failures of reading and writing, the system's own reason is the precise one.
    const bool systemFailure = primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN ||
                               primary == SQLITE_READONLY || primary == SQLITE_PERM;
    if (systemFailure && systemError != 0)
        return systemErrorText(systemError);
    switch (primary) {
    case SQLITE_NOTADB:
        return QStringLiteral("la contraseña no corresponde o el archivo no es una base de datos del "
                              "programa (o su comienzo está dañado)");
    case SQLITE_CORRUPT:
        return QStringLiteral("el archivo está dañado");
    case SQLITE_FULL:
        return QStringLiteral("el disco está lleno");
    case SQLITE_IOERR:
        return QStringLiteral("falló la lectura o escritura en el disco");
    case SQLITE_READONLY:
        return QStringLiteral("no hay permiso para escribir en el archivo");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("no hay permiso para usar el archivo");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("el archivo está ocupado por otro programa");
    case SQLITE_CANTOPEN:
        return QStringLiteral("no se puede abrir el archivo");
    default:
        return QStringLiteral("error de la base de datos (código %1)").arg(code);
    }
}

void Database::open(const QString& path, const QString& key)
{
    close();
    m_closedUntilRestart.clear();
    DbError::Cause kind = DbError::Cause::Other;
    if (const QString cause = unusableFileCause(path, kind); !cause.isEmpty())
        throw DbError(fileMessage(path, cause), kind);
    openKeyed(path, key, SQLITE_OPEN_READWRITE);
}

void Database::create(const QString& path, const QString& key)
{
    close();
    if (QFileInfo::exists(path))
        throw DbError(fileMessage(path, QStringLiteral("ya existe un archivo con ese nombre")));
    openKeyed(path, key, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

void Database::openKeyed(const QString& path, const QString& key, int flags)
{
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const int systemError = db ? sqlite3_system_errno(db) : 0;
        sqlite3_close(db);
        throw DbError(fileMessage(path, causeText(rc, systemError)));
    }
    QString quoted = key;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    const QByteArray keySql = QStringLiteral("PRAGMA key = '%1';").arg(quoted).toUtf8();
    rc = sqlite3_exec(db, keySql.constData(), nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK && sqlite3_db_readonly(db, "main") == 1)
        rc = SQLITE_READONLY;
    if (rc != SQLITE_OK) {
        const int systemError = sqlite3_system_errno(db);
        sqlite3_close(db);
        throw DbError(fileMessage(path, causeText(rc, systemError)), causeOfCode(rc));
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    m_db = db;
    m_path = path;
    m_key = key;
}

void Database::reopen()
{
    const QString path = m_path;
    const QString key = m_key;
    if (m_db) {
        for (sqlite3_stmt* stmt : std::as_const(m_statements))
            sqlite3_finalize(stmt);
        m_statements.clear();
        rollback();
        // Closing the last connection folds into the file only what this connection knows to be
        // committed and then deletes the journal: a commit that failed after its frames reached
        // the journal would go with it. Kept, the journal is read again from its beginning by the
        // new connection, as by the next start of the program.
        int keepJournal = 1;
        sqlite3_file_control(m_db, "main", SQLITE_FCNTL_PERSIST_WAL, &keepJournal);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    open(path, key);
}

void Database::close()
{
    for (sqlite3_stmt* stmt : std::as_const(m_statements))
        sqlite3_finalize(stmt);
    m_statements.clear();
    if (!m_db)
        return;
    rollback();
    // The engine folds the journal into the file by itself only when it closes the last
    // connection to it; done here, bd1 is whole even when another connection is still open.
    // A failure leaves the journal beside the file, where the next opening reads it.
    bool mayWrite = sqlite3_db_readonly(m_db, "main") == 0;
    if (mayWrite && m_writeGuard) {
        try {
            m_writeGuard();
        } catch (const DbError&) {
            mayWrite = false;
        }
    }
    if (mayWrite)
        sqlite3_exec(m_db, "PRAGMA wal_checkpoint(TRUNCATE);", nullptr, nullptr, nullptr);
    // A statement prepared elsewhere on the handle would keep sqlite3_close from closing; this
    // one closes as soon as such a statement is finalized.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

void Database::raise(int code) const
{
    QString detail = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
    const int systemError = m_db ? sqlite3_system_errno(m_db) : 0;
    QString message =
        QStringLiteral("Error en la base de datos «%1»: %2").arg(m_path, causeText(code, systemError));
    // The engine's own words add nothing to a cause about the file or the disk.
    const int primary = code & 0xff;
    const bool aboutTheFile = primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT ||
                              primary == SQLITE_FULL || primary == SQLITE_IOERR ||
                              primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY ||
                              primary == SQLITE_PERM;
    if (!detail.isEmpty() && !aboutTheFile)
        message += QStringLiteral(" [%1]").arg(detail);
    throw DbError(message + QLatin1Char('.'), causeOfCode(code));
}

void Database::closeUntilRestart(const QString& instruction)
{
    for (sqlite3_stmt* stmt : std::as_const(m_statements))
        sqlite3_finalize(stmt);
    m_statements.clear();
    if (m_db) {
        rollback();
        // What the journal holds stays there for the next start to read; nothing is folded.
        int keepJournal = 1;
        sqlite3_file_control(m_db, "main", SQLITE_FCNTL_PERSIST_WAL, &keepJournal);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_closedUntilRestart = instruction;
}

void Database::requireOpen() const
{
    if (m_db)
        return;
    if (!m_closedUntilRestart.isEmpty())
        throw DatabaseClosedUntilRestart(m_closedUntilRestart);
    throw DbError(QStringLiteral("La base de datos no está abierta."));
}

void Database::execute(const QString& sql)
{
    requireOpen();
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        raise(rc);
}

sqlite3_stmt* Database::statement(const QString& sql)
{
    requireOpen();
    auto it = m_statements.find(sql);
    if (it != m_statements.end()) {
        sqlite3_reset(*it);
        sqlite3_clear_bindings(*it);
        return *it;
    }
    sqlite3_stmt* stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr);
    if (rc != SQLITE_OK)
        raise(rc);
    m_statements.insert(sql, stmt);
    return stmt;
}

void Database::bind(sqlite3_stmt* stmt, int index, const QVariant& value)
{
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::Bool:
        sqlite3_bind_int64(stmt, index, value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(stmt, index, value.toDouble());
        break;
    default: {
        const QByteArray text = value.toString().toUtf8();
        sqlite3_bind_text(stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    }
}

void Database::countWrite()
{
    requireOpen();
    if (m_writeGuard)
        m_writeGuard();
    if (m_failAt > 0 && ++m_writes == m_failAt) {
        m_failAt = 0;
        if (m_failAfterWriting) {
            m_failDone = true;
            return;
        }
        throw DbError(QStringLiteral("Error en la base de datos «%1»: falla de escritura provocada.")
                          .arg(m_path));
    }
}

int Database::stepWrite(sqlite3_stmt* stmt)
{
    countWrite();
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        raise(rc);
    failIfDone();
    const int changed = sqlite3_changes(m_db);
    // A change outside a transaction was committed by itself, and is folded as commit() does.
    if (!inTransaction())
        foldWhenIdle();
    return changed;
}

qint64 Database::lastInsertRowid() const
{
    return sqlite3_last_insert_rowid(m_db);
}

void Database::begin()
{
    execute(QStringLiteral("BEGIN IMMEDIATE"));
}

void Database::commit()
{
    countWrite();
    execute(QStringLiteral("COMMIT"));
    failIfDone();
    foldWhenIdle();
}

void Database::foldWhenIdle()
{
    if (m_foldRequested)
        return;
    m_foldRequested = true;
    // A fold that cannot be done takes nothing away: the change stays committed in the journal,
    // and the next fold or the closing moves it.
    QTimer::singleShot(0, &m_idleFolds, [this] {
        m_foldRequested = false;
        foldJournal();
    });
}

bool Database::foldJournal()
{
    if (!m_db)
        return false;
    // Folding writes into bd1: a damaged file is left as it is.
    if (m_writeGuard) {
        try {
            m_writeGuard();
        } catch (const DbError&) {
            return false;
        }
    }
    int frames = -1;
    int copied = -1;
    sqlite3_busy_timeout(m_db, 0);
    const int rc =
        sqlite3_wal_checkpoint_v2(m_db, "main", SQLITE_CHECKPOINT_TRUNCATE, &frames, &copied);
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    return rc == SQLITE_OK && frames <= 0;
}

void Database::rollback()
{
    if (inTransaction())
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool Database::inTransaction() const
{
    return m_db && sqlite3_get_autocommit(m_db) == 0;
}

void Database::failAtWrite(int n)
{
    m_failAt = n;
    m_writes = 0;
    m_failAfterWriting = false;
    m_failDone = false;
}

void Database::failAtWrite(int n, FaultTiming timing)
{
    failAtWrite(n);
    m_failAfterWriting = timing == FaultTiming::AfterWriting;
}

void Database::failIfDone()
{
    if (!m_failDone)
        return;
    m_failDone = false;
    throw DbError(QStringLiteral("Error en la base de datos «%1»: falló la lectura o escritura en el "
                                 "disco (falla provocada después de escribir).")
                      .arg(m_path));
}

Transaction::Transaction(Database& db) : m_db(db)
{
    m_db.begin();
}

Transaction::~Transaction()
{
    if (m_open)
        m_db.rollback();
}

void Transaction::commit()
{
    m_db.commit();
    m_open = false;
}

} // namespace tarvino
