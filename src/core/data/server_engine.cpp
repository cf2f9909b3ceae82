// A PostgreSQL server behind the engine seam, through libpq.
#include "data/server_engine.h"

#include "data/db_error.h"
#include "data/dialect.h"
#include "data/schema.h"

#include <QSet>
#include <QSysInfo>

#include <libpq-fe.h>

#include <charconv>
#include <vector>

#include <poll.h>

namespace tarvino {

namespace {

// The type identifiers of the server's built-in types (pg_type.oid), fixed since long ago.
enum Oid : unsigned {
    kBool = 16,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kNumeric = 1700,
    kDate = 1082,
    kTimestamp = 1114,
    kTimestampTz = 1184,
};

// A group of the two-number advisory locks that is the program's: the till's name is the other.
constexpr int kTillLocks = 0x54617276; // "Tarv"

enum class ColumnKind { Integer, Boolean, Real, Text, Stamp };

ColumnKind kindOfType(unsigned oid)
{
    switch (oid) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
        return ColumnKind::Integer;
    case kBool:
        return ColumnKind::Boolean;
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return ColumnKind::Real;
    case kDate:
    case kTimestamp:
    case kTimestampTz:
        return ColumnKind::Stamp;
    default:
        return ColumnKind::Text;
    }
}

bool isIdentifierChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

QString serverText(const QByteArray& utf8)
{
    return QString::fromUtf8(utf8).trimmed();
}

class ServerStatement final : public Statement {
public:
    ServerStatement(ServerEngine& engine, const QString& sql) : m_engine(engine)
    {
        const QByteArray text = serverStatementText(sql, &m_parameters).toUtf8();
        m_name = engine.nextStatementName();
        PGresult* prepared =
            PQprepare(engine.connection(), m_name.constData(), text.constData(), 0, nullptr);
        if (PQresultStatus(prepared) != PGRES_COMMAND_OK)
            engine.raise(prepared);
        PQclear(prepared);
        PGresult* described = PQdescribePrepared(engine.connection(), m_name.constData());
        if (PQresultStatus(described) != PGRES_COMMAND_OK)
            engine.raise(described);
        m_parameters = PQnparams(described);
        for (int i = 0; i < PQnfields(described); ++i) {
            m_names << QString::fromUtf8(PQfname(described, i));
            m_kinds.push_back(kindOfType(PQftype(described, i)));
        }
        PQclear(described);
        m_values.resize(m_parameters);
        m_null.assign(m_parameters, true);
    }
    ~ServerStatement() override
    {
        PQclear(m_result);
        // The server drops the statement with the session; one still open is let go of now.
        if (PQstatus(m_engine.connection()) == CONNECTION_OK &&
            PQtransactionStatus(m_engine.connection()) == PQTRANS_IDLE) {
            const QByteArray sql = "DEALLOCATE " + m_name;
            PQclear(PQexec(m_engine.connection(), sql.constData()));
        }
    }
    ServerStatement(const ServerStatement&) = delete;
    ServerStatement& operator=(const ServerStatement&) = delete;

    // Every value goes as text of no stated type: the server reads it as the type its place in
    // the statement asks for.
    void bind(int index, const QVariant& value) override
    {
        if (index < 1 || index > m_parameters)
            return;
        const int i = index - 1;
        const BoundKind kind = boundKind(value);
        m_null[i] = kind == BoundKind::Null;
        switch (kind) {
        case BoundKind::Null:
            break;
        case BoundKind::Integer:
            m_values[i] = QByteArray::number(value.toLongLong());
            break;
        case BoundKind::Real: {
            // The shortest text that reads back as the same double.
            char digits[32];
            const auto end = std::to_chars(digits, digits + sizeof digits, value.toDouble()).ptr;
            m_values[i] = QByteArray(digits, end - digits);
            break;
        }
        case BoundKind::Text:
            m_values[i] = value.toString().toUtf8();
        }
    }
    void clearBindings() override { m_null.assign(m_parameters, true); }

    bool step() override
    {
        if (!m_result) {
            std::vector<const char*> values(m_parameters);
            for (int i = 0; i < m_parameters; ++i)
                values[i] = m_null[i] ? nullptr : m_values[i].constData();
            PGresult* result = PQexecPrepared(m_engine.connection(), m_name.constData(),
                                              m_parameters, values.data(), nullptr, nullptr, 0);
            const ExecStatusType status = PQresultStatus(result);
            if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
                m_engine.raise(result);
            m_result = result;
            m_rows = PQntuples(result);
            m_row = 0;
            const char* changed = PQcmdTuples(result);
            m_changes = changed && *changed ? std::atoi(changed) : 0;
        } else if (m_row < m_rows) {
            ++m_row;
        }
        return m_row < m_rows;
    }
    void reset() override
    {
        PQclear(m_result);
        m_result = nullptr;
        m_rows = 0;
        m_row = 0;
    }
    int changes() const override { return m_changes; }
    int columnCount() const override { return int(m_names.size()); }
    QString columnName(int column) const override { return m_names.value(column); }
    QString declaredType(int column) const override
    {
        switch (m_kinds[column]) {
        case ColumnKind::Integer:
        case ColumnKind::Boolean:
            return QStringLiteral("INTEGER");
        case ColumnKind::Real:
            return QStringLiteral("REAL");
        case ColumnKind::Stamp:
            return QStringLiteral("DATETIME");
        case ColumnKind::Text:
            break;
        }
        return QStringLiteral("TEXT");
    }
    void cell(int column, CellValue& out) const override
    {
        if (!m_result || m_row >= m_rows || PQgetisnull(m_result, m_row, column)) {
            out.kind = CellKind::Null;
            return;
        }
        const char* text = PQgetvalue(m_result, m_row, column);
        const int size = PQgetlength(m_result, m_row, column);
        switch (m_kinds[column]) {
        case ColumnKind::Integer:
            out.kind = CellKind::Integer;
            out.integer = 0;
            std::from_chars(text, text + size, out.integer);
            return;
        case ColumnKind::Boolean:
            out.kind = CellKind::Integer;
            out.integer = text[0] == 't' ? 1 : 0;
            return;
        case ColumnKind::Real:
            out.kind = CellKind::Real;
            out.real = 0;
            std::from_chars(text, text + size, out.real);
            return;
        case ColumnKind::Text:
        case ColumnKind::Stamp:
            // With DateStyle ISO a timestamp(0) reads "yyyy-mm-dd hh:mm:ss", the file's own text.
            out.kind = CellKind::Text;
            out.text = text;
            out.size = size;
            return;
        }
    }

private:
    ServerEngine& m_engine;
    QByteArray m_name;
    int m_parameters = 0;
    QStringList m_names;
    std::vector<ColumnKind> m_kinds;
    std::vector<QByteArray> m_values;
    std::vector<bool> m_null;
    PGresult* m_result = nullptr;
    int m_rows = 0;
    int m_row = 0;
    int m_changes = 0;
};

// The reason a connection failed, in the cashier's words.
QString connectCause(pg_conn* conn)
{
    const QString detail = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    if (detail.contains(QLatin1String("password authentication failed")) ||
        detail.contains(QLatin1String("no password supplied")))
        return QStringLiteral("el servidor no aceptó la contraseña del usuario «%1» (el programa "
                              "la toma del archivo .pgpass del usuario del equipo)")
            .arg(QString::fromUtf8(PQuser(conn)));
    if (detail.contains(QLatin1String("does not exist")) && detail.contains(QLatin1String("database")))
        return QStringLiteral("la base de datos no existe en el servidor");
    if (detail.contains(QLatin1String("Connection refused")) ||
        detail.contains(QLatin1String("No such file or directory")) ||
        detail.contains(QLatin1String("timeout")) || detail.contains(QLatin1String("could not translate")) ||
        detail.contains(QLatin1String("No route to host")))
        return QStringLiteral("el servidor no responde (compruebe que esté encendido y que este "
                              "equipo llegue a él por la red) [%1]")
            .arg(detail.section(QLatin1Char('\n'), 0, 0));
    return detail.section(QLatin1Char('\n'), 0, 0);
}

QString serverName(pg_conn* conn)
{
    const QString host = QString::fromUtf8(PQhost(conn));
    const QString port = QString::fromUtf8(PQport(conn));
    return port.isEmpty() ? host : host + QLatin1Char(':') + port;
}

} // namespace

QString serverStatementText(const QString& sql, int* count)
{
    QString out;
    out.reserve(sql.size() + 16);
    int number = 0;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A literal or a quoted identifier, its own quote doubled inside.
            qsizetype end = i + 1;
            while (end < n) {
                if (sql[end] == c) {
                    if (end + 1 < n && sql[end + 1] == c) {
                        end += 2;
                        continue;
                    }
                    break;
                }
                ++end;
            }
            out += QStringView(sql).mid(i, end - i + 1);
            i = end;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            const qsizetype end = sql.indexOf(QLatin1Char('\n'), i);
            const qsizetype stop = end < 0 ? n : end;
            out += QStringView(sql).mid(i, stop - i);
            i = stop - 1;
        } else if ((c == QLatin1Char('l') || c == QLatin1Char('L')) && i + 4 <= n &&
                   QStringView(sql).mid(i, 4).compare(QLatin1String("like"), Qt::CaseInsensitive) == 0 &&
                   (i == 0 || !isIdentifierChar(sql[i - 1])) &&
                   (i + 4 == n || !isIdentifierChar(sql[i + 4]))) {
            // The file's LIKE ignores the case of ASCII letters, as ILIKE does under the "C"
            // collation of the program's text columns.
            out += QLatin1String("ilike");
            i += 3;
        } else if (c == QLatin1Char('?')) {
            // "x is ?" is the file's equality that also matches NULL.
            qsizetype back = out.size();
            while (back > 0 && out[back - 1].isSpace())
                --back;
            if (back >= 2 && out.mid(back - 2, 2).compare(QLatin1String("is"), Qt::CaseInsensitive) == 0 &&
                (back == 2 || !isIdentifierChar(out[back - 3])))
                out.insert(back, QLatin1String(" not distinct from"));
            out += QLatin1Char('$') + QString::number(++number);
        } else {
            out += c;
        }
    }
    if (count)
        *count = number;
    return out;
}

QString serverColumnType(const QString& fileType)
{
    const QString type = fileType.section(QLatin1Char(' '), 0, 0).toUpper();
    const QString rest = fileType.section(QLatin1Char(' '), 1);
    QString mapped;
    if (type == QLatin1String("TEXT"))
        mapped = QStringLiteral("text COLLATE \"C\"");
    else if (type == QLatin1String("REAL"))
        mapped = QStringLiteral("double precision");
    else if (type == QLatin1String("INTEGER"))
        mapped = QStringLiteral("bigint");
    else if (type == QLatin1String("DATETIME"))
        mapped = QStringLiteral("timestamp(0) without time zone");
    else
        mapped = fileType.section(QLatin1Char(' '), 0, 0);
    return rest.isEmpty() ? mapped : mapped + QLatin1Char(' ') + rest;
}

ServerEngine::ServerEngine(const QString& connection, const QString& till) : m_till(till)
{
    m_conn = PQconnectdb(connection.toUtf8().constData());
    if (PQstatus(m_conn) != CONNECTION_OK) {
        const QString message = QStringLiteral("No se pudo conectar con el servidor «%1» (base de "
                                               "datos «%2»): %3.")
                                    .arg(serverName(m_conn), QString::fromUtf8(PQdb(m_conn)),
                                         connectCause(m_conn));
        PQfinish(m_conn);
        m_conn = nullptr;
        throw DbError(message);
    }
    m_place = QStringLiteral("%1 del servidor %2")
                  .arg(QString::fromUtf8(PQdb(m_conn)), serverName(m_conn));
    // The server's notices are no business of the cashier's.
    PQsetNoticeProcessor(m_conn, [](void*, const char*) {}, nullptr);
    execute(QStringLiteral("SET client_encoding = 'UTF8'; SET DateStyle = 'ISO, YMD'; "
                           "SET TimeZone = 'UTC'; SET client_min_messages = warning"));
    setTill(till);

    // An empty database, or one with the program's tables; anything else is another program's.
    QSet<QString> ours{QStringLiteral("tarvino_version"), QStringLiteral("tarvino_cajas")};
    for (const TableSpec& table : tableSpecs())
        ours.insert(table.name.toLower());
    PGresult* tables = PQexec(m_conn, "select tablename from pg_tables where schemaname = "
                                      "current_schema() order by tablename");
    if (PQresultStatus(tables) != PGRES_TUPLES_OK)
        raise(tables);
    QStringList foreign;
    bool versioned = false;
    for (int i = 0; i < PQntuples(tables); ++i) {
        const QString name = QString::fromUtf8(PQgetvalue(tables, i, 0));
        if (name == QLatin1String("tarvino_version"))
            versioned = true;
        if (!ours.contains(name))
            foreign << name;
    }
    const int count = PQntuples(tables);
    PQclear(tables);
    m_empty = count == 0;
    if (!foreign.isEmpty() || (count > 0 && !versioned)) {
        const QString message =
            QStringLiteral("La base de datos «%1» del servidor «%2» no es de Tarvino: %3.")
                .arg(QString::fromUtf8(PQdb(m_conn)), serverName(m_conn),
                     foreign.isEmpty()
                         ? QStringLiteral("le faltan las tablas del programa")
                         : QStringLiteral("tiene tablas que no son del programa (%1)")
                               .arg(foreign.join(QStringLiteral(", "))));
        PQfinish(m_conn);
        m_conn = nullptr;
        throw DbError(message, DbError::Cause::Contents);
    }
}

ServerEngine::~ServerEngine()
{
    // The session's end lets go of the till's lock.
    PQfinish(m_conn);
}

QString ServerEngine::lostMessage() const
{
    return QStringLiteral("Se perdió la conexión con el servidor (base de datos %1): no responde. "
                          "Compruebe la red y el servidor.")
        .arg(m_place);
}

void ServerEngine::raise(pg_result* result) const
{
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const QString sqlState = state ? QString::fromLatin1(state) : QString();
    QString detail = result ? QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY))
                            : QString();
    if (detail.isEmpty())
        detail = serverText(PQerrorMessage(m_conn));
    PQclear(result);
    const bool lost = PQstatus(m_conn) == CONNECTION_BAD || sqlState.isEmpty() ||
                      sqlState.startsWith(QLatin1String("08")) || sqlState == QLatin1String("57P01");
    if (lost)
        throw DbError(lostMessage());
    // Two tills waiting for each other's rows: the server undid this one's work.
    if (sqlState == QLatin1String("40P01") || sqlState == QLatin1String("40001"))
        throw DbError(QStringLiteral("Otra caja estaba cambiando los mismos datos al mismo tiempo; "
                                     "no se guardó nada de esta operación. Vuelva a intentarla."));
    throw DbError(QStringLiteral("Error en la base de datos «%1»: %2.").arg(m_place, detail));
}

std::unique_ptr<Statement> ServerEngine::prepare(const QString& sql)
{
    if (PQstatus(m_conn) != CONNECTION_OK)
        throw DbError(lostMessage());
    return std::make_unique<ServerStatement>(*this, sql);
}

void ServerEngine::execute(const QString& sql)
{
    if (PQstatus(m_conn) != CONNECTION_OK)
        throw DbError(lostMessage());
    PGresult* result = PQexec(m_conn, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        raise(result);
    PQclear(result);
}

void ServerEngine::begin()
{
    // Read committed: a row read to be changed is locked by the reading (for update).
    execute(QStringLiteral("BEGIN"));
}

void ServerEngine::commit()
{
    if (PQstatus(m_conn) != CONNECTION_OK)
        throw DbError(lostMessage());
    PGresult* result = PQexec(m_conn, "COMMIT");
    if (PQresultStatus(result) != PGRES_COMMAND_OK)
        raise(result);
    // A transaction in which a statement failed ends in a rollback, reported as such.
    const bool committed = qstrcmp(PQcmdStatus(result), "COMMIT") == 0;
    PQclear(result);
    if (!committed)
        throw DbError(QStringLiteral("Error en la base de datos «%1»: el servidor deshizo la "
                                     "transacción, no se guardó nada de ella.")
                          .arg(m_place));
}

void ServerEngine::rollback()
{
    if (inTransaction())
        PQclear(PQexec(m_conn, "ROLLBACK"));
}

bool ServerEngine::inTransaction() const
{
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK)
        return false;
    const PGTransactionStatusType status = PQtransactionStatus(m_conn);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

qint64 ServerEngine::lastInsertRowid()
{
    PGresult* result = PQexec(m_conn, "select lastval()");
    if (PQresultStatus(result) != PGRES_TUPLES_OK)
        raise(result);
    qint64 id = 0;
    const char* text = PQgetvalue(result, 0, 0);
    std::from_chars(text, text + PQgetlength(result, 0, 0), id);
    PQclear(result);
    return id;
}

void ServerEngine::setTill(const QString& till)
{
    const QByteArray value = till.toUtf8();
    const char* values[] = {value.constData()};
    PGresult* result = PQexecParams(m_conn, "select set_config('tarvino.caja', $1, false)", 1,
                                    nullptr, values, nullptr, nullptr, 0);
    if (PQresultStatus(result) != PGRES_TUPLES_OK)
        raise(result);
    PQclear(result);
}

bool ServerEngine::alive()
{
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK)
        return false;
    // An ended session leaves its farewell and then the end of the connection to be read: two
    // reads at most, neither of which waits.
    for (int reads = 0; reads < 3; ++reads) {
        pollfd ready{PQsocket(m_conn), POLLIN, 0};
        if (::poll(&ready, 1, 0) <= 0)
            break;
        if (!PQconsumeInput(m_conn))
            return false;
        // Whatever came unasked (the farewell, a notice) is read and let go of here.
        while (!PQisBusy(m_conn)) {
            PGresult* unasked = PQgetResult(m_conn);
            if (!unasked)
                break;
            PQclear(unasked);
        }
    }
    return PQstatus(m_conn) == CONNECTION_OK;
}

int ServerEngine::sessionPid() const
{
    return m_conn ? PQbackendPID(m_conn) : 0;
}

void ServerEngine::actAsTill()
{
    const char* superuser = PQparameterStatus(m_conn, "is_superuser");
    if (m_empty || !superuser || qstrcmp(superuser, "on") != 0)
        return;
    // Roles belong to the whole server, rights to this database: the lock keeps two tills of this
    // database from granting at once, and a role made meanwhile for another database is taken
    // as it is.
    execute(QStringLiteral(
        "BEGIN; "
        "SELECT pg_advisory_xact_lock(hashtext('tarvino: rol de las cajas')); "
        "DO $$ BEGIN "
        "  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'tarvino_cajero') THEN "
        "    CREATE ROLE tarvino_cajero NOLOGIN; "
        "  END IF; "
        "EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; "
        "END $$; "
        "GRANT USAGE ON SCHEMA public TO tarvino_cajero; "
        "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO tarvino_cajero; "
        "GRANT USAGE, SELECT, UPDATE ON ALL SEQUENCES IN SCHEMA public TO tarvino_cajero; "
        "COMMIT; "
        "SET ROLE tarvino_cajero"));
}

void ServerEngine::claimTill(int formerSession)
{
    const QByteArray till = m_till.toUtf8();
    const QByteArray lockGroup = QByteArray::number(kTillLocks);
    const char* values[] = {lockGroup.constData(), till.constData()};
    if (formerSession > 0) {
        // Only the process that holds this very lock, and is the one this program lost, is ended;
        // the server waits up to five seconds for it to be gone, lock and all.
        const QByteArray former = QByteArray::number(formerSession);
        const char* three[] = {lockGroup.constData(), till.constData(), former.constData()};
        PQclear(PQexecParams(m_conn,
                             "select pg_terminate_backend(pid, 5000) from pg_locks where "
                             "locktype = 'advisory' and classid = $1::int4::oid and "
                             "objid = hashtext($2)::oid and objsubid = 2 and pid = $3::int4 and granted",
                             3, nullptr, three, nullptr, nullptr, 0));
    }
    PGresult* result = PQexecParams(m_conn, "select pg_try_advisory_lock($1::int4, hashtext($2))",
                                    2, nullptr, values, nullptr, nullptr, 0);
    if (PQresultStatus(result) != PGRES_TUPLES_OK)
        raise(result);
    const bool taken = PQgetvalue(result, 0, 0)[0] == 't';
    PQclear(result);
    const bool registry = !m_empty;
    if (!taken) {
        QString machine;
        if (registry) {
            const char* one[] = {till.constData()};
            PGresult* who = PQexecParams(m_conn, "select equipo from tarvino_cajas where caja = $1",
                                         1, nullptr, one, nullptr, nullptr, 0);
            if (PQresultStatus(who) == PGRES_TUPLES_OK && PQntuples(who) == 1)
                machine = QString::fromUtf8(PQgetvalue(who, 0, 0));
            PQclear(who);
        }
        throw DbError(machine.isEmpty()
                          ? QStringLiteral("La caja «%1» ya está abierta en otro equipo.").arg(m_till)
                          : QStringLiteral("La caja «%1» ya está abierta en el equipo «%2».")
                                .arg(m_till, machine));
    }
    if (registry)
        noteTill();
}

void ServerEngine::noteTill()
{
    m_empty = false;
    const QByteArray till = m_till.toUtf8();
    {
        const QByteArray machine = QSysInfo::machineHostName().toUtf8();
        const char* row[] = {till.constData(), machine.constData()};
        PGresult* noted = PQexecParams(
            m_conn,
            "insert into tarvino_cajas (caja, equipo, desde) values ($1, $2, localtimestamp(0)) "
            "on conflict (caja) do update set equipo = excluded.equipo, desde = excluded.desde",
            2, nullptr, row, nullptr, nullptr, 0);
        if (PQresultStatus(noted) != PGRES_COMMAND_OK)
            raise(noted);
        PQclear(noted);
    }
}

} // namespace tarvino
