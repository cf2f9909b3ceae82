// The one connection of the program to the encrypted file bd1, with its cached statements.
#include "data/database.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace tarvino {

namespace {
QString fileMessage(const QString& path, const QString& cause)
{
    return QStringLiteral("No se pudo abrir la base de datos «%1»: %2.").arg(path, cause);
}
} // namespace

Database::~Database()
{
    close();
}

QString Database::causeText(int code)
{
    switch (code & 0xff) {
    case SQLITE_NOTADB:
        return QStringLiteral("la contraseña no corresponde o el archivo no es una base de datos");
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
    const QFileInfo info(path);
    if (!info.exists())
        throw DbError(fileMessage(path, QStringLiteral("el archivo no existe")));
    if (!info.isFile() || !info.isReadable())
        throw DbError(fileMessage(path, QStringLiteral("no hay permiso para leer el archivo")));

    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        throw DbError(fileMessage(path, causeText(rc)));
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
        sqlite3_close(db);
        throw DbError(fileMessage(path, causeText(rc)));
    }
    sqlite3_busy_timeout(db, 2000);
    m_db = db;
    m_path = path;
}

void Database::close()
{
    for (sqlite3_stmt* stmt : std::as_const(m_statements))
        sqlite3_finalize(stmt);
    m_statements.clear();
    if (m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

void Database::raise(int code) const
{
    QString detail = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
    QString message = QStringLiteral("Error en la base de datos «%1»: %2").arg(m_path, causeText(code));
    if (!detail.isEmpty() && (code & 0xff) != SQLITE_NOTADB)
        message += QStringLiteral(" [%1]").arg(detail);
    throw DbError(message + QLatin1Char('.'));
}

void Database::execute(const QString& sql)
{
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        raise(rc);
}

sqlite3_stmt* Database::statement(const QString& sql)
{
    if (!m_db)
        throw DbError(QStringLiteral("La base de datos no está abierta."));
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
    if (m_failAt > 0 && ++m_writes == m_failAt) {
        m_failAt = 0;
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
    return sqlite3_changes(m_db);
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
