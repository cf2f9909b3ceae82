// The one connection of the program to the encrypted file bd1, with its cached statements.
#include "data/database.h"

#include "common/system_error.h"
#include "data/dialect.h"
#include "data/engine.h"
#include "data/file_engine.h"
#include "data/file_modes.h"
#include "data/server_engine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <sqlite3.h>


#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvino {

namespace {

QString fileMessage(const QString& path, const QString& cause)
{
    return QStringLiteral("No se pudo abrir la base de datos «%1»: %2.").arg(path, cause);
}

// The causes of a file that cannot be used, found before the engine sees it: the engine itself
// only says "unable to open" or "not a database" for most of them. contents tells an empty or
// unencrypted file from a problem of the disk or its permissions.
// A file of another account this one may not use: the usual cause is cashiers on several accounts
// with a data folder not shared as it must be.
QString otherAccountCause(const QString& use, uid_t owner)
{
    const struct passwd* account = ::getpwuid(owner);
    return QStringLiteral("no hay permiso para %1 el archivo, que es de la cuenta «%2». Abra el "
                          "programa con esa cuenta, o pida al administrador del equipo que "
                          "comparta la carpeta de datos entre las cuentas de los cajeros con un "
                          "grupo del sistema (la carpeta con chgrp al grupo y chmod 2770, sus "
                          "archivos con chgrp y chmod 660)")
        .arg(use, account ? QString::fromLocal8Bit(account->pw_name) : QString::number(owner));
}

QString unusableFileCause(const QString& path, DbError::Cause& contents)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    // The engine writes into bd1 and makes its journal files beside it, never through a link
    // (whoever may write in the folder could have one lead to any file of this account).
    for (const QString& ending : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"),
                                  QStringLiteral("-journal")}) {
        if (::lstat(QFile::encodeName(path + ending).constData(), &st) == 0 && S_ISLNK(st.st_mode))
            return QStringLiteral("«%1» es un enlace que lleva a otro archivo, y el programa no "
                                  "escribe a través de enlaces; borre el enlace (no el archivo al "
                                  "que lleva) y vuelva a abrir el programa")
                .arg(QDir::toNativeSeparators(path + ending));
    }
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
        if ((error == EACCES || error == EPERM) && st.st_uid != ::geteuid())
            return otherAccountCause(QStringLiteral("leer"), st.st_uid);
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
        if ((error == EACCES || error == EPERM) && st.st_uid != ::geteuid())
            return otherAccountCause(QStringLiteral("escribir en"), st.st_uid);
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

} // namespace

Database::Database() : m_dialect(&fileDialect()) {}

Database::~Database()
{
    close();
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
    // Made empty here with the folder's mode; the engine makes its journal files with the same.
    const int made = createNewFile(path);
    if (made < 0)
        throw DbError(fileMessage(path, systemErrorText(errno)));
    ::close(made);
    openKeyed(path, key, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

void Database::openKeyed(const QString& path, const QString& key, int flags)
{
    install(std::make_unique<FileEngine>(path, key, flags));
    m_path = path;
    m_key = key;
    m_connection.clear();
    m_till.clear();
}

void Database::openServer(const QString& connection, const QString& till, bool takeOver)
{
    close();
    m_closedUntilRestart.clear();
    auto engine = std::make_unique<ServerEngine>(connection, till);
    engine->claimTill(std::exchange(m_lostSession, 0), takeOver);
    // Before actAsTill: the rules are changed by the tables' owner, which a superuser's session
    // no longer is once it acts as the tills' role.
    engine->upgradeRowRules();
    engine->actAsTill();
    if (m_shopWide)
        engine->setShopWide(true);
    install(std::move(engine));
    m_path.clear();
    m_key.clear();
    m_connection = connection;
    m_till = till;
}

void Database::install(std::unique_ptr<Engine> engine)
{
    m_dialect = &engine->dialect();
    m_engine = m_wrap ? m_wrap(std::move(engine)) : std::move(engine);
}

void Database::wrapEngines(EngineWrap wrap)
{
    m_wrap = std::move(wrap);
    if (m_wrap && m_engine)
        m_engine = m_wrap(std::move(m_engine));
}

QString Database::place() const
{
    if (m_engine)
        return m_engine->place();
    return m_path;
}

void Database::dropStatements()
{
    for (Statement* stmt : std::as_const(m_statements))
        delete stmt;
    m_statements.clear();
}

void Database::reopen()
{
    if (!m_connection.isEmpty()) {
        const QString connection = m_connection;
        const QString till = m_till;
        if (m_engine && m_lostSession == 0 && m_engine->lost())
            m_lostSession = m_engine->session();
        dropStatements();
        m_engine.reset();
        try {
            openServer(connection, till);
        } catch (const DbError&) {
            // Not reached now: the next operation tries again.
            m_lost = true;
            throw;
        }
        return;
    }
    const QString path = m_path;
    const QString key = m_key;
    if (m_engine) {
        dropStatements();
        m_engine->closeKeepingJournal();
        m_engine.reset();
    }
    open(path, key);
}

void Database::close()
{
    dropStatements();
    if (!m_engine)
        return;
    if (m_engine->keepsJournal()) {
        bool mayWrite = true;
        if (m_writeGuard) {
            try {
                m_writeGuard();
            } catch (const DbError&) {
                mayWrite = false;
            }
        }
        if (mayWrite)
            m_engine->foldAtClose();
    }
    m_engine.reset();
    m_lost = false;
    m_inTransaction = false;
}

void Database::closeUntilRestart(const QString& instruction)
{
    dropStatements();
    // What the journal holds stays there for the next start to read; nothing is folded.
    if (m_engine)
        m_engine->closeKeepingJournal();
    m_engine.reset();
    m_lost = false;
    m_inTransaction = false;
    m_closedUntilRestart = instruction;
}

void Database::requireOpen() const
{
    if (m_engine)
        return;
    if (!m_closedUntilRestart.isEmpty())
        throw DatabaseClosedUntilRestart(m_closedUntilRestart);
    throw DbError(QStringLiteral("La base de datos no está abierta."));
}

void Database::reconnectIfLost()
{
    // A statement being walked, or a transaction's work, belongs to the session it began on.
    if (m_inTransaction || m_queriesOpen > 0 || !m_closedUntilRestart.isEmpty())
        return;
    if (m_engine) {
        if (!m_engine->lost())
            return;
        m_lostSession = m_engine->session();
        m_lost = true;
    }
    // Only a server's session is ever lost.
    if (!m_lost)
        return;
    // The statements prepared on the old session are prepared again on the new one, as used.
    dropStatements();
    m_engine.reset();
    try {
        openServer(m_connection, m_till);
    } catch (const DbError& e) {
        m_lost = true;
        throw DbError(e.message() + QStringLiteral(" El programa volverá a conectarse solo en la "
                                                   "próxima operación, en cuanto el servidor "
                                                   "responda."));
    }
}

void Database::execute(const QString& sql)
{
    reconnectIfLost();
    requireOpen();
    m_engine->execute(sql);
}

Statement& Database::statement(const QString& sql)
{
    reconnectIfLost();
    requireOpen();
    auto it = m_statements.find(sql);
    if (it != m_statements.end()) {
        (*it)->reset();
        (*it)->clearBindings();
        return **it;
    }
    Statement* stmt = m_engine->prepare(sql).release();
    m_statements.insert(sql, stmt);
    return *stmt;
}

QString Database::lockingRead(const QString& sql) const
{
    return m_dialect->lockingRead(sql);
}

QString Database::tillOfRow() const
{
    return m_dialect->tillOfRow();
}

void Database::guardWrite()
{
    requireOpen();
    if (m_writeGuard)
        m_writeGuard();
}

int Database::stepWrite(Statement& stmt)
{
    guardWrite();
    const int changed = m_engine->write(stmt);
    // A change outside a transaction was committed by itself, and is folded as commit() does.
    if (!inTransaction())
        foldWhenIdle();
    return changed;
}

void Database::guardBatch(const RowBatch& batch)
{
    reconnectIfLost();
    requireOpen();
    // Each row is a write, as each statement of a row written on its own would be.
    for (size_t row = 0; row < batch.rows.size(); ++row)
        guardWrite();
}

std::vector<qint64> Database::insertRows(const RowBatch& batch)
{
    guardBatch(batch);
    std::vector<qint64> rowids = m_engine->insertRows(batch);
    if (!inTransaction())
        foldWhenIdle();
    return rowids;
}

void Database::updateRows(const RowBatch& batch, const std::vector<qint64>& rowids)
{
    guardBatch(batch);
    m_engine->updateRows(batch, rowids);
    if (!inTransaction())
        foldWhenIdle();
}

qint64 Database::lastInsertRowid() const
{
    requireOpen();
    return m_engine->lastInsertRowid();
}

void Database::begin()
{
    reconnectIfLost();
    requireOpen();
    m_engine->begin();
    m_inTransaction = true;
}

void Database::commit()
{
    guardWrite();
    m_engine->commit();
    m_inTransaction = false;
    foldWhenIdle();
}

void Database::foldWhenIdle()
{
    if (m_foldRequested || !m_engine || !m_engine->keepsJournal())
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
    if (!m_engine)
        return false;
    if (!m_engine->keepsJournal())
        return true;
    // Folding writes into bd1: a damaged file is left as it is.
    if (m_writeGuard) {
        try {
            m_writeGuard();
        } catch (const DbError&) {
            return false;
        }
    }
    return m_engine->foldJournal();
}

void Database::rollback()
{
    m_inTransaction = false;
    if (m_engine)
        m_engine->rollback();
}

bool Database::inTransaction() const
{
    return m_engine && m_engine->inTransaction();
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

ShopWideReads::ShopWideReads(Database& db) : m_db(db)
{
    if (m_db.m_engine)
        m_db.m_engine->setShopWide(true);
    m_db.m_shopWide = true;
}

ShopWideReads::~ShopWideReads()
{
    m_db.m_shopWide = false;
    if (!m_db.m_engine)
        return;
    try {
        m_db.m_engine->setShopWide(false);
    } catch (const DbError&) {
        // A connection lost meanwhile is opened again without it.
    }
}

Engine* engineOf(const Database& db)
{
    return db.m_engine.get();
}

sqlite3* fileConnection(const Database& db)
{
    const Engine* engine = engineOf(db);
    return engine ? engine->fileHandle() : nullptr;
}

} // namespace tarvino
