// A PostgreSQL server behind the engine seam, through libpq.
#include "data/server_engine.h"

#include "data/db_error.h"
#include "data/dialect.h"
#include "data/schema.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSet>
#include <QSysInfo>

#include <libpq-fe.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
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

// How long a statement may run on the server before the server ends it. The program's statements
// take milliseconds (a 100-line sale, a month of history over a million lines); one that runs
// longer is waiting for another till's rows, or for a server in trouble.
constexpr int kStatementSeconds = 4;
// How long the till waits for any answer before it takes the server for lost: longer than the
// statement's limit, so that a slow statement is ended by the server, which says so, and only a
// server that does not answer at all meets this one.
constexpr std::chrono::seconds kAnswerTime{kStatementSeconds + 2};
// How long the server is given to end a session of this till left behind.
constexpr int kEndSessionMilliseconds = 2500;

// What libpq is told before the shop's own connection string, which may set any of them
// otherwise: connecting gives up after a few seconds, and a link that goes silent while idle
// shows within about ten (the machine's default is two hours).
const char* const kConnectionKeys[] = {"connect_timeout",  "keepalives",       "keepalives_idle",
                                       "keepalives_interval", "keepalives_count", "tcp_user_timeout",
                                       "dbname",           nullptr};
const char* const kConnectionDefaults[] = {"4", "1", "4", "2", "3", "6000"};

// The session's settings: dates as the file writes them, the statement's limit, and the server's
// own keepalives, so that the server lets go of the till's lock within half a minute of the
// till's power or network going away (its default waits about two hours).
const QString kSessionSettings = QStringLiteral(
    "SET client_encoding = 'UTF8'; SET DateStyle = 'ISO, YMD'; SET TimeZone = 'UTC'; "
    "SET client_min_messages = warning; SET statement_timeout = '%1s'; "
    "SET tcp_keepalives_idle = 10; SET tcp_keepalives_interval = 5; SET tcp_keepalives_count = 3")
    .arg(kStatementSeconds);

Q_LOGGING_CATEGORY(serverLog, "tarvino.servidor")

// The text with every password it could hold masked: libpq's messages may repeat parts of a
// connection string.
QString withoutSecrets(QString text)
{
    static const QRegularExpression keyword(
        QStringLiteral("(password\\s*=\\s*)('(?:[^'\\\\]|\\\\.)*'?|[^\\s&\"]+)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression userInfo(QStringLiteral("(://[^:/@\\s\"]*:)[^@\\s\"]*@"));
    text.replace(keyword, QStringLiteral("\\1***"));
    text.replace(userInfo, QStringLiteral("\\1***@"));
    return text;
}

// The technical side of a failure, for whoever looks after the till: standard error.
void logDetail(const QString& what, const QString& detail)
{
    qCWarning(serverLog).noquote() << what + QStringLiteral(": ") + withoutSecrets(detail.trimmed());
}

// What the cashier can do about a server that does not answer.
const QString kCheckTheServer = QStringLiteral(
    "Compruebe que la computadora del servidor esté encendida y conectada a la red, y que este "
    "equipo también lo esté.");

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

// A value as the server is given it: text of no stated type, which the server reads as the type
// its place asks for; none for NULL.
std::optional<QByteArray> parameterText(const QVariant& value)
{
    switch (boundKind(value)) {
    case BoundKind::Null:
        return std::nullopt;
    case BoundKind::Integer:
        return QByteArray::number(value.toLongLong());
    case BoundKind::Real: {
        // The shortest text that reads back as the same double.
        char digits[32];
        const auto end = std::to_chars(digits, digits + sizeof digits, value.toDouble()).ptr;
        return QByteArray(digits, end - digits);
    }
    case BoundKind::Text:
        break;
    }
    return value.toString().toUtf8();
}

QByteArray quotedName(const QString& name)
{
    QByteArray quoted = name.toUtf8();
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

void appendJsonString(QByteArray& out, const QByteArray& text)
{
    out += '"';
    // libpq sends a parameter's text up to its first NUL: a batch's value stops there too.
    for (const char c : QByteArrayView(text.constData(), qstrnlen(text.constData(), text.size()))) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (uchar(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(uchar(c)));
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

// A batch's rows as one JSON array of objects keyed by column (with the rowid first, when given),
// each value the very text a parameter would carry: json_populate_recordset hands it to the
// column type's input as the server reads a parameter, so a row lands as its own insert would
// have left it.
QByteArray rowsAsJson(const RowBatch& batch, const std::vector<qint64>* rowids)
{
    std::vector<QByteArray> keys;
    for (const QString& column : batch.columns) {
        QByteArray key;
        appendJsonString(key, column.toUtf8());
        keys.push_back(key + ':');
    }
    QByteArray json("[");
    for (size_t r = 0; r < batch.rows.size(); ++r) {
        json += r == 0 ? "{" : ",{";
        if (rowids)
            json += "\"rowid\":" + QByteArray::number((*rowids)[r]) + ',';
        const QVariantList& row = batch.rows[r];
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0)
                json += ',';
            json += keys[size_t(c)];
            if (const auto text = parameterText(row[c]))
                appendJsonString(json, *text);
            else
                json += "null";
        }
        json += '}';
    }
    return json + ']';
}

class ServerStatement final : public Statement {
public:
    ServerStatement(ServerEngine& engine, const QString& sql) : m_engine(engine)
    {
        const QByteArray text = serverStatementText(sql, &m_parameters).toUtf8();
        m_name = engine.nextStatementName();
        PGresult* prepared = engine.answer(
            PQsendPrepare(engine.connection(), m_name.constData(), text.constData(), 0, nullptr));
        if (PQresultStatus(prepared) != PGRES_COMMAND_OK)
            engine.raise(prepared);
        PQclear(prepared);
        PGresult* described =
            engine.answer(PQsendDescribePrepared(engine.connection(), m_name.constData()));
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
            PQclear(m_engine.answer(PQsendQuery(m_engine.connection(), sql.constData())));
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
        auto text = parameterText(value);
        m_null[i] = !text;
        if (text)
            m_values[i] = std::move(*text);
    }
    void clearBindings() override { m_null.assign(m_parameters, true); }

    bool step() override
    {
        if (!m_result) {
            std::vector<const char*> values(m_parameters);
            for (int i = 0; i < m_parameters; ++i)
                values[i] = m_null[i] ? nullptr : m_values[i].constData();
            PGresult* result = m_engine.answer(PQsendQueryPrepared(
                m_engine.connection(), m_name.constData(), m_parameters, values.data(), nullptr,
                nullptr, 0));
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

// The reason a connection failed, in the cashier's words, ending with what to do; libpq's own
// text, in whatever language the machine's or the server's, goes to the log. Whether the server
// answers at all is asked with a ping, which does not depend on that text.
QString connectCause(pg_conn* conn, const char* const* values)
{
    const QString detail = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    logDetail(QStringLiteral("No se pudo conectar con el servidor"), detail);
    const QString user = QString::fromUtf8(PQuser(conn));
    // The same connection, given two seconds to answer: a server that did not answer the first
    // time has had its chance.
    std::array<const char*, std::size(kConnectionKeys) + 1> keys{};
    std::array<const char*, std::size(kConnectionKeys) + 1> pinged{};
    std::copy(std::begin(kConnectionKeys), std::end(kConnectionKeys) - 1, keys.begin());
    std::copy(values, values + std::size(kConnectionKeys) - 1, pinged.begin());
    keys[std::size(kConnectionKeys) - 1] = "connect_timeout";
    pinged[std::size(kConnectionKeys) - 1] = "2";
    switch (PQpingParams(keys.data(), pinged.data(), 1)) {
    case PQPING_NO_ATTEMPT:
        return QStringLiteral("la conexión escrita en tarvino.conf no se entiende. Revísela: se "
                              "escribe como host=… dbname=… user=…");
    case PQPING_NO_RESPONSE:
    case PQPING_REJECT: // starting up or shutting down
        return QStringLiteral("el servidor no responde. ") + kCheckTheServer;
    case PQPING_OK:
        break;
    }
    if (PQconnectionNeedsPassword(conn) || PQconnectionUsedPassword(conn))
        return QStringLiteral("el servidor no aceptó la contraseña del usuario «%1». Revise la línea "
                              "de ese servidor en el archivo de contraseñas .pgpass de la cuenta de "
                              "este equipo.")
            .arg(user);
    const auto has = [&](const char* words) { return detail.contains(QLatin1String(words)); };
    if (has("does not exist") && has("database"))
        return QStringLiteral("esa base de datos no existe en el servidor. Revise dbname= en la "
                              "conexión de tarvino.conf.");
    return QStringLiteral("el servidor no aceptó al usuario «%1» en esa base de datos. Revise "
                          "user= y dbname= en la conexión de tarvino.conf, y que el archivo "
                          "pg_hba.conf del servidor acepte a este equipo; el detalle quedó en el "
                          "registro de errores del programa.")
        .arg(user);
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
    const QByteArray written = connection.toUtf8();
    const char* values[] = {kConnectionDefaults[0], kConnectionDefaults[1], kConnectionDefaults[2],
                            kConnectionDefaults[3], kConnectionDefaults[4], kConnectionDefaults[5],
                            written.constData(), nullptr};
    static_assert(std::size(kConnectionKeys) == std::size(values));
    // The shop's connection string comes last and is expanded, so that what it sets wins.
    m_conn = PQconnectdbParams(kConnectionKeys, values, 1);
    if (PQstatus(m_conn) != CONNECTION_OK) {
        const QString message = QStringLiteral("No se pudo conectar con el servidor de la tienda "
                                               "«%1» (base de datos «%2»): %3")
                                    .arg(serverName(m_conn), QString::fromUtf8(PQdb(m_conn)),
                                         connectCause(m_conn, values));
        PQfinish(m_conn);
        m_conn = nullptr;
        throw DbError(message);
    }
    m_place = QStringLiteral("%1 del servidor %2")
                  .arg(QString::fromUtf8(PQdb(m_conn)), serverName(m_conn));
    m_pid = PQbackendPID(m_conn);
    // The server's notices are no business of the cashier's.
    PQsetNoticeProcessor(m_conn, [](void*, const char*) {}, nullptr);
    // Every wait for the server goes through answer(), with its time limit.
    PQsetnonblocking(m_conn, 1);
    execute(kSessionSettings);
    setTill(till);

    // An empty database, or one with the program's tables; anything else is another program's.
    QSet<QString> ours{QStringLiteral("tarvino_version"), QStringLiteral("tarvino_cajas")};
    for (const TableSpec& table : tableSpecs())
        ours.insert(table.name.toLower());
    PGresult* tables = run("select tablename from pg_tables where schemaname = current_schema() "
                           "order by tablename",
                           {}, PGRES_TUPLES_OK);
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
    // The session's end lets go of the till's lock, but only once the server has ended it, a
    // moment after the connection closes: a connection made again at once as the same till
    // (a fresh look after a failed commit) would find its till taken by itself. So a session that
    // still answers lets go of the lock before it goes.
    if (m_tillHeld && !m_silent && PQstatus(m_conn) == CONNECTION_OK &&
        PQtransactionStatus(m_conn) == PQTRANS_IDLE) {
        try {
            PQclear(run("select pg_advisory_unlock($1::int4, hashtext($2))",
                        {QByteArray::number(kTillLocks), m_till.toUtf8()}, PGRES_TUPLES_OK));
        } catch (const DbError&) {
            // Gone with the session all the same.
        }
    }
    PQfinish(m_conn);
}

QString ServerEngine::lostMessage() const
{
    return QStringLiteral("El servidor de la tienda no responde (base de datos %1). ").arg(m_place) +
           kCheckTheServer;
}

PGresult* ServerEngine::answer(int sent)
{
    if (!m_conn || !sent)
        return nullptr;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + kAnswerTime;
    // Whether the socket is ready before the deadline; a failure of poll itself is left for
    // libpq to meet and tell.
    const auto ready = [&](short events) {
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd socket{PQsocket(m_conn), events, 0};
            const int found = ::poll(&socket, 1, int(left));
            if (found > 0 || (found < 0 && errno != EINTR))
                return true;
        }
    };
    for (;;) {
        const int unsent = PQflush(m_conn);
        if (unsent <= 0)
            break;
        if (!ready(POLLIN | POLLOUT)) {
            giveUp();
            return nullptr;
        }
        if (!PQconsumeInput(m_conn))
            break;
    }
    PGresult* kept = nullptr;
    bool keptFailed = false;
    for (;;) {
        while (PQisBusy(m_conn)) {
            if (!ready(POLLIN)) {
                PQclear(kept);
                giveUp();
                return nullptr;
            }
            if (!PQconsumeInput(m_conn))
                break;
        }
        PGresult* next = PQgetResult(m_conn);
        if (!next)
            break;
        const ExecStatusType status = PQresultStatus(next);
        const bool failed = status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK &&
                            status != PGRES_EMPTY_QUERY;
        if (keptFailed) {
            PQclear(next);
            continue;
        }
        PQclear(kept);
        kept = next;
        keptFailed = failed;
    }
    return kept;
}

void ServerEngine::giveUp()
{
    logDetail(QStringLiteral("El servidor no respondió"),
              QStringLiteral("sin respuesta en %1 s; se cierra la conexión (proceso %2 del servidor)")
                  .arg(kAnswerTime.count())
                  .arg(m_pid));
    // The server's process, if it ever goes on, finds the connection closed and ends, letting go
    // of the till's lock.
    PQfinish(m_conn);
    m_conn = nullptr;
    m_silent = true;
}

PGresult* ServerEngine::run(const char* sql, std::initializer_list<QByteArray> parameters,
                            int expected)
{
    if (PQstatus(m_conn) != CONNECTION_OK)
        throw DbError(lostMessage());
    std::vector<const char*> values;
    for (const QByteArray& parameter : parameters)
        values.push_back(parameter.constData());
    PGresult* result = answer(PQsendQueryParams(m_conn, sql, int(values.size()), nullptr,
                                                values.data(), nullptr, nullptr, 0));
    if (PQresultStatus(result) != ExecStatusType(expected))
        raise(result);
    return result;
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
    const bool lost = m_silent || PQstatus(m_conn) == CONNECTION_BAD || sqlState.isEmpty() ||
                      sqlState.startsWith(QLatin1String("08")) || sqlState == QLatin1String("57P01");
    if (!m_silent)
        logDetail(QStringLiteral("Error del servidor (%1)").arg(sqlState), detail);
    if (lost)
        throw DbError(lostMessage());
    // A statement ended by the server's time limit: most often another till holding the same
    // rows, or a server too busy to answer in time.
    if (sqlState == QLatin1String("57014") || sqlState == QLatin1String("55P03"))
        throw DbError(QStringLiteral("El servidor de la tienda tardó demasiado en responder (otra "
                                     "caja puede estar usando los mismos datos); no se guardó nada "
                                     "de esta operación. Vuelva a intentarla en un momento."));
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
    PGresult* result = answer(PQsendQuery(m_conn, sql.toUtf8().constData()));
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
    PGresult* result = answer(PQsendQuery(m_conn, "COMMIT"));
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
        PQclear(answer(PQsendQuery(m_conn, "ROLLBACK")));
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
    PGresult* result = run("select lastval()", {}, PGRES_TUPLES_OK);
    qint64 id = 0;
    const char* text = PQgetvalue(result, 0, 0);
    std::from_chars(text, text + PQgetlength(result, 0, 0), id);
    PQclear(result);
    return id;
}

std::vector<qint64> ServerEngine::insertRows(const RowBatch& batch)
{
    QByteArrayList columns;
    for (const QString& column : batch.columns)
        columns << quotedName(column);
    const QByteArray list = columns.join(',');
    const QByteArray table = batch.table.toUtf8();
    const QByteArray sql = "insert into " + table + " (" + list + ") select " + list +
                           " from json_populate_recordset(null::" + table + ", $1) returning rowid";
    PGresult* result = run(sql.constData(), {rowsAsJson(batch, nullptr)}, PGRES_TUPLES_OK);
    // The rows come back in the order the array gave them, which is the order they were made in.
    std::vector<qint64> rowids(size_t(PQntuples(result)));
    for (size_t r = 0; r < rowids.size(); ++r) {
        const char* text = PQgetvalue(result, int(r), 0);
        std::from_chars(text, text + PQgetlength(result, int(r), 0), rowids[r]);
    }
    PQclear(result);
    return rowids;
}

void ServerEngine::updateRows(const RowBatch& batch, const std::vector<qint64>& rowids)
{
    QByteArrayList assignments;
    for (const QString& column : batch.columns)
        assignments << quotedName(column) + " = v." + quotedName(column);
    const QByteArray table = batch.table.toUtf8();
    const QByteArray sql = "update " + table + " as t set " + assignments.join(", ") +
                           " from json_populate_recordset(null::" + table +
                           ", $1) as v where t.rowid = v.rowid";
    PQclear(run(sql.constData(), {rowsAsJson(batch, &rowids)}, PGRES_COMMAND_OK));
}

const Dialect& ServerEngine::dialect() const
{
    return serverDialect();
}

void ServerEngine::tablesMade()
{
    noteTill();
    actAsTill();
}

void ServerEngine::setTill(const QString& till)
{
    PQclear(run("select set_config('tarvino.caja', $1, false)", {till.toUtf8()}, PGRES_TUPLES_OK));
}

void ServerEngine::setShopWide(bool everyTill)
{
    PQclear(run("select set_config('tarvino.todas', $1, false)",
                {everyTill ? QByteArray("si") : QByteArray()}, PGRES_TUPLES_OK));
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
    return m_pid;
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

void ServerEngine::claimTill(int formerSession, bool takeOver)
{
    const QByteArray till = m_till.toUtf8();
    const QByteArray lockGroup = QByteArray::number(kTillLocks);
    const QByteArray machine = QSysInfo::machineHostName().toUtf8();
    const QByteArray endWait = QByteArray::number(kEndSessionMilliseconds);
    // An advisory lock belongs to one database: the same till of another shop's database on this
    // server is another till, never ended here.
    const char* const holders =
        "from pg_locks where locktype = 'advisory' and classid = $1::int4::oid "
        "and objid = hashtext($2)::oid and objsubid = 2 and granted "
        "and database = (select oid from pg_database where datname = current_database())";
    if (formerSession > 0) {
        // Only the process that holds this very lock, and is the one this program lost, is ended;
        // the server waits a moment for it to be gone, lock and all.
        PGresult* ended = answer(PQsendQueryParams(
            m_conn,
            (QByteArray("select pg_terminate_backend(pid, $4::int4) ") + holders + " and pid = $3::int4")
                .constData(),
            4, nullptr,
            std::array{lockGroup.constData(), till.constData(),
                       QByteArray::number(formerSession).constData(), endWait.constData()}
                .data(),
            nullptr, nullptr, 0));
        PQclear(ended);
    }
    if (takeOver) {
        // Any session holding the lock: the cashier has said it is this machine's own, left
        // behind. A role may end the sessions of its own role; ending another role's is refused.
        PGresult* ended = answer(PQsendQueryParams(
            m_conn,
            (QByteArray("select pg_terminate_backend(pid, $3::int4) ") + holders +
             " and pid <> pg_backend_pid()")
                .constData(),
            3, nullptr,
            std::array{lockGroup.constData(), till.constData(), endWait.constData()}.data(), nullptr,
            nullptr, 0));
        const char* state = PQresultErrorField(ended, PG_DIAG_SQLSTATE);
        if (state && qstrcmp(state, "42501") == 0) {
            PQclear(ended);
            throw DbError(QStringLiteral(
                              "No se pudo cerrar la sesión anterior de la caja «%1»: la abrió otro "
                              "usuario del servidor, y el usuario «%2» de esta caja no puede "
                              "cerrarla. Espere unos minutos, hasta que el servidor la dé por "
                              "perdida, o pida al encargado del servidor que la cierre.")
                              .arg(m_till, QString::fromUtf8(PQuser(m_conn))));
        }
        if (PQresultStatus(ended) != PGRES_TUPLES_OK)
            raise(ended);
        PQclear(ended);
    }
    PGresult* result = run("select pg_try_advisory_lock($1::int4, hashtext($2))",
                           {lockGroup, till}, PGRES_TUPLES_OK);
    const bool taken = PQgetvalue(result, 0, 0)[0] == 't';
    PQclear(result);
    m_tillHeld = taken;
    const bool registry = !m_empty;
    if (!taken) {
        QString holder;
        if (registry) {
            PGresult* who = run("select equipo from tarvino_cajas where caja = $1", {till},
                                PGRES_TUPLES_OK);
            if (PQntuples(who) == 1)
                holder = QString::fromUtf8(PQgetvalue(who, 0, 0));
            PQclear(who);
        }
        const bool here = !holder.isEmpty() && holder == QString::fromUtf8(machine);
        // This program's own session, lost and still not let go of: the server is not answering
        // for it.
        if (here && formerSession > 0)
            throw DbError(lostMessage());
        if (here && takeOver)
            throw DbError(QStringLiteral("La sesión anterior de la caja «%1» no se pudo cerrar: el "
                                         "servidor no la terminó a tiempo. Vuelva a abrir el "
                                         "programa en un momento.")
                              .arg(m_till));
        throw TillInUse(holder.isEmpty()
                            ? QStringLiteral("La caja «%1» ya está abierta en otro equipo.").arg(m_till)
                            : QStringLiteral("La caja «%1» ya está abierta en el equipo «%2».")
                                  .arg(m_till, holder),
                        here);
    }
    if (registry)
        noteTill();
}

QString serverRowRule(const QString& table)
{
    return QStringLiteral("CREATE POLICY caja_propia ON %1 USING (caja = "
                          "current_setting('tarvino.caja', true) or "
                          "current_setting('tarvino.todas', true) = 'si') WITH CHECK (caja = "
                          "current_setting('tarvino.caja', true))")
        .arg(table);
}

void ServerEngine::upgradeRowRules()
{
    if (m_empty)
        return;
    PGresult* version = run("select max(version) from tarvino_version", {}, PGRES_TUPLES_OK);
    const int found = QByteArray(PQgetvalue(version, 0, 0)).toInt();
    PQclear(version);
    if (found >= kExactTillRules) {
        if (found < kCashTables)
            addCashTables();
        return;
    }
    // Two tills starting at once: the second waits for the first and then finds it done.
    QString sql = QStringLiteral("BEGIN; SELECT pg_advisory_xact_lock(hashtext('tarvino: tablas')); "
                                 "DO $tarvino$ BEGIN IF (SELECT max(version) FROM tarvino_version) < %1 "
                                 "THEN ")
                      .arg(kExactTillRules);
    for (const char* table : {"Temporal", "TipoPago"})
        sql += QStringLiteral("DROP POLICY IF EXISTS caja_propia ON %1; %2; ")
                   .arg(QLatin1String(table), serverRowRule(QLatin1String(table)));
    sql += QStringLiteral("UPDATE tarvino_version SET version = %1; END IF; END $tarvino$; COMMIT")
               .arg(kExactTillRules);
    try {
        execute(sql);
    } catch (const DbError& e) {
        rollback();
        throw DbError(QStringLiteral("No se pudieron poner al día en el servidor las reglas que "
                                     "separan las ventas de cada caja. %1 Abra esta caja una vez "
                                     "con el usuario del servidor dueño de las tablas.")
                          .arg(e.message()));
    }
    addCashTables();
}

void ServerEngine::addCashTables()
{
    // The tables the drawer's money added, each made when missing and kept per till; two tills
    // starting at once: the second waits for the first and then finds them made.
    QString sql = QStringLiteral("BEGIN; SELECT pg_advisory_xact_lock(hashtext('tarvino: tablas')); "
                                 "DO $tarvino$ BEGIN IF (SELECT max(version) FROM tarvino_version) < %1 "
                                 "THEN ")
                      .arg(kCashTables);
    for (const TableSpec& table : tableSpecs()) {
        if (!table.upgrade)
            continue;
        QList<std::pair<QString, QString>> columns;
        for (const ColumnSpec& column : table.columns)
            columns.append({column.name, column.type});
        sql += QStringLiteral("IF to_regclass('%1') IS NULL THEN %2; END IF; ")
                   .arg(table.name.toLower(),
                        serverDialect().createTable(table.name, columns).join(QStringLiteral("; ")));
    }
    sql += QStringLiteral("UPDATE tarvino_version SET version = greatest(version, %1); END IF; "
                          "END $tarvino$; COMMIT")
               .arg(kCashTables);
    try {
        execute(sql);
    } catch (const DbError& e) {
        rollback();
        throw DbError(QStringLiteral("No se pudieron agregar en el servidor las tablas de la caja. "
                                     "%1 Abra esta caja una vez con el usuario del servidor dueño "
                                     "de las tablas.")
                          .arg(e.message()));
    }
}

void ServerEngine::noteTill()
{
    m_empty = false;
    const QByteArray till = m_till.toUtf8();
    PQclear(run("insert into tarvino_cajas (caja, equipo, desde) values ($1, $2, localtimestamp(0)) "
                "on conflict (caja) do update set equipo = excluded.equipo, desde = excluded.desde",
                {till, QSysInfo::machineHostName().toUtf8()}, PGRES_COMMAND_OK));
}

} // namespace tarvino
