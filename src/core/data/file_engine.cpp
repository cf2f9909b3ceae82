// The encrypted file bd1 behind the engine seam: one SQLCipher connection.
#include "data/file_engine.h"

#include "common/system_error.h"
#include "data/database.h"
#include "data/dialect.h"
#include "data/file_modes.h"

#include <sqlite3.h>

#include <cstdio>

namespace tarvino {

namespace {

// How long a statement waits for another connection to let go of the file.
constexpr int kBusyTimeoutMs = 2000;

QString fileMessage(const QString& path, const QString& cause)
{
    return QStringLiteral("No se pudo abrir la base de datos «%1»: %2.").arg(path, cause);
}

// Another key, a file that is not a database, a damaged one: what the file holds is at fault.
DbError::Cause causeOfCode(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT ? DbError::Cause::Contents
                                                                 : DbError::Cause::Other;
}

QString errorMessage(sqlite3* db, const QString& path, int code)
{
    const QString detail = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
    const int systemError = db ? sqlite3_system_errno(db) : 0;
    QString message = QStringLiteral("Error en la base de datos «%1»: %2")
                          .arg(path, Database::causeText(code, systemError));
    // The engine's own words add nothing to a cause about the file or the disk.
    const int primary = code & 0xff;
    const bool aboutTheFile = primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT ||
                              primary == SQLITE_FULL || primary == SQLITE_IOERR ||
                              primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY ||
                              primary == SQLITE_PERM;
    if (!detail.isEmpty() && !aboutTheFile)
        message += QStringLiteral(" [%1]").arg(detail);
    return message + QLatin1Char('.');
}

class FileStatement final : public Statement {
public:
    FileStatement(const FileEngine& engine, sqlite3_stmt* stmt) : m_engine(engine), m_stmt(stmt) {}
    ~FileStatement() override { sqlite3_finalize(m_stmt); }
    FileStatement(const FileStatement&) = delete;
    FileStatement& operator=(const FileStatement&) = delete;

    void bind(int index, const QVariant& value) override
    {
        switch (boundKind(value)) {
        case BoundKind::Null:
            sqlite3_bind_null(m_stmt, index);
            break;
        case BoundKind::Integer:
            sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case BoundKind::Real:
            sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        case BoundKind::Text: {
            const QByteArray text = value.toString().toUtf8();
            sqlite3_bind_text(m_stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
        }
    }
    void clearBindings() override { sqlite3_clear_bindings(m_stmt); }
    bool step() override
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        // The message is taken before the reset, which lets go of the read.
        const DbError error(errorMessage(m_engine.handle(), m_engine.place(), rc), causeOfCode(rc));
        sqlite3_reset(m_stmt);
        throw error;
    }
    void reset() override { sqlite3_reset(m_stmt); }
    int changes() const override { return sqlite3_changes(m_engine.handle()); }
    int columnCount() const override { return sqlite3_column_count(m_stmt); }
    QString columnName(int column) const override
    {
        return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
    }
    QString declaredType(int column) const override
    {
        const char* declared = sqlite3_column_decltype(m_stmt, column);
        return declared ? QString::fromUtf8(declared) : QString();
    }
    // Each cell is read through one sqlite3_value, since every sqlite3_column_* call takes the
    // connection's lock; reading the value without the lock is sound because the connection is
    // only ever used from one thread.
    void cell(int column, CellValue& out) const override
    {
        sqlite3_value* value = sqlite3_column_value(m_stmt, column);
        switch (sqlite3_value_type(value)) {
        case SQLITE_NULL:
            out.kind = CellKind::Null;
            break;
        case SQLITE_INTEGER:
            out.kind = CellKind::Integer;
            out.integer = sqlite3_value_int64(value);
            break;
        case SQLITE_FLOAT:
            out.kind = CellKind::Real;
            out.real = sqlite3_value_double(value);
            break;
        case SQLITE_TEXT:
            out.kind = CellKind::Text;
            out.text = reinterpret_cast<const char*>(sqlite3_value_text(value));
            out.size = sqlite3_value_bytes(value);
            break;
        default:
            out.kind = CellKind::Blob;
            out.text = static_cast<const char*>(sqlite3_value_blob(value));
            out.size = sqlite3_value_bytes(value);
        }
    }

private:
    const FileEngine& m_engine;
    sqlite3_stmt* m_stmt;
};

} // namespace

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

FileEngine::FileEngine(const QString& path, const QString& key, int flags) : m_path(path)
{
    refuseLinksInEngine();
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const int systemError = db ? sqlite3_system_errno(db) : 0;
        sqlite3_close(db);
        throw DbError(fileMessage(path, Database::causeText(rc, systemError)));
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
        throw DbError(fileMessage(path, Database::causeText(rc, systemError)), causeOfCode(rc));
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    m_db = db;
}

FileEngine::~FileEngine()
{
    if (!m_db)
        return;
    rollback();
    // The engine folds the journal into the file by itself only when it closes the last
    // connection to it; done here, bd1 is whole even when another connection is still open.
    // A failure leaves the journal beside the file, where the next opening reads it.
    if (m_foldAtClose && writable())
        sqlite3_exec(m_db, "PRAGMA wal_checkpoint(TRUNCATE);", nullptr, nullptr, nullptr);
    // A statement prepared elsewhere on the handle would keep sqlite3_close from closing; this
    // one closes as soon as such a statement is finalized.
    sqlite3_close_v2(m_db);
}

void FileEngine::closeKeepingJournal()
{
    if (!m_db)
        return;
    rollback();
    // Closing the last connection folds into the file only what this connection knows to be
    // committed and then deletes the journal: a commit that failed after its frames reached the
    // journal would go with it. Kept, the journal is read again from its beginning by the next
    // connection, as by the next start of the program.
    int keepJournal = 1;
    sqlite3_file_control(m_db, "main", SQLITE_FCNTL_PERSIST_WAL, &keepJournal);
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

const Dialect& FileEngine::dialect() const
{
    return fileDialect();
}

bool FileEngine::writable() const
{
    return m_db && sqlite3_db_readonly(m_db, "main") == 0;
}

void FileEngine::raise(int code) const
{
    throw DbError(errorMessage(m_db, m_path, code), causeOfCode(code));
}

std::unique_ptr<Statement> FileEngine::prepare(const QString& sql)
{
    sqlite3_stmt* stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr);
    if (rc != SQLITE_OK)
        raise(rc);
    return std::make_unique<FileStatement>(*this, stmt);
}

void FileEngine::execute(const QString& sql)
{
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        raise(rc);
}

void FileEngine::begin()
{
    // A write transaction from its start: the file's writers take turns, so no two tills' reads
    // and writes of a stock quantity interleave.
    execute(QStringLiteral("BEGIN IMMEDIATE"));
}

void FileEngine::commit()
{
    execute(QStringLiteral("COMMIT"));
}

void FileEngine::rollback()
{
    if (inTransaction())
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool FileEngine::inTransaction() const
{
    return m_db && sqlite3_get_autocommit(m_db) == 0;
}

qint64 FileEngine::lastInsertRowid()
{
    return sqlite3_last_insert_rowid(m_db);
}

namespace {

QString quotedName(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void runWithEach(Statement& stmt, const QVariantList& values)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        stmt.bind(int(i + 1), values[i]);
    stmt.step();
    stmt.reset();
}

} // namespace

// The file has no exchange to save: a batch is its rows' own statements, prepared once.
std::vector<qint64> FileEngine::insertRows(const RowBatch& batch)
{
    QStringList names;
    QStringList marks;
    for (const QString& column : batch.columns) {
        names << quotedName(column);
        marks << QStringLiteral("?");
    }
    const auto stmt = prepare(QStringLiteral("insert into %1 (%2) values (%3)")
                                  .arg(batch.table, names.join(QLatin1Char(',')),
                                       marks.join(QLatin1Char(','))));
    std::vector<qint64> rowids;
    rowids.reserve(batch.rows.size());
    for (const QVariantList& row : batch.rows) {
        runWithEach(*stmt, row);
        rowids.push_back(sqlite3_last_insert_rowid(m_db));
    }
    return rowids;
}

void FileEngine::updateRows(const RowBatch& batch, const std::vector<qint64>& rowids)
{
    QStringList sets;
    for (const QString& column : batch.columns)
        sets << quotedName(column) + QStringLiteral("=?");
    const auto stmt = prepare(QStringLiteral("update %1 set %2 where rowid=?")
                                  .arg(batch.table, sets.join(QLatin1Char(','))));
    for (size_t r = 0; r < batch.rows.size(); ++r)
        runWithEach(*stmt, batch.rows[r] + QVariantList{rowids[r]});
}

bool FileEngine::foldJournal()
{
    int frames = -1;
    int copied = -1;
    sqlite3_busy_timeout(m_db, 0);
    const int rc =
        sqlite3_wal_checkpoint_v2(m_db, "main", SQLITE_CHECKPOINT_TRUNCATE, &frames, &copied);
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    return rc == SQLITE_OK && frames <= 0;
}

} // namespace tarvino
