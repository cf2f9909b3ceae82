// The stress run's own hands on the server, through libpq.
#include "stress/shop_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <libpq-fe.h>
#include <unistd.h>

#include <memory>

namespace tarvino::stress {

namespace {

struct ConnectionCloser {
    void operator()(PGconn* c) const { PQfinish(c); }
};
struct ResultClearer {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Connection = std::unique_ptr<PGconn, ConnectionCloser>;
using Result = std::unique_ptr<PGresult, ResultClearer>;

Connection connect(const QString& connection)
{
    Connection c(PQconnectdb(connection.toUtf8().constData()));
    if (PQstatus(c.get()) != CONNECTION_OK)
        throw ServerFailure("no se pudo conectar con «" + connection.toStdString() + "»: " + PQerrorMessage(c.get()));
    return c;
}

Result run(PGconn* c, const QString& sql)
{
    Result r(PQexec(c, sql.toUtf8().constData()));
    const ExecStatusType status = PQresultStatus(r.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw ServerFailure(sql.toStdString() + ": " + PQerrorMessage(c));
    return r;
}

QString cell(const PGresult* r, int row, int column)
{
    return QString::fromUtf8(PQgetvalue(r, row, column));
}

std::vector<StoredLine> readLines(PGconn* c, const char* table)
{
    // The timestamps in the ISO text the tills said.
    const Result r = run(c, QStringLiteral("select caja, codigoproducto, cantidad, totalventa, tipopago, "
                                           "to_char(fechainicio, 'YYYY-MM-DD HH24:MI:SS'), "
                                           "to_char(fechaventa, 'YYYY-MM-DD HH24:MI:SS') from %1 order by rowid")
                                .arg(QString::fromLatin1(table)));
    std::vector<StoredLine> lines;
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        lines.push_back({cell(r.get(), i, 0), cell(r.get(), i, 1), cell(r.get(), i, 2).toDouble(),
                         cell(r.get(), i, 3).toDouble(), cell(r.get(), i, 4), cell(r.get(), i, 5),
                         cell(r.get(), i, 6)});
    }
    return lines;
}

} // namespace

QString withKeyword(const QString& connection, const char* keyword, const QString& value)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(connection.toUtf8().constData(), &error);
    if (!options) {
        const std::string why = error ? error : "sin memoria";
        PQfreemem(error);
        throw ServerFailure("la cadena de conexión «" + connection.toStdString() + "» no se entiende: " + why);
    }
    QStringList parts;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (qstrcmp(o->keyword, keyword) == 0 || !o->val)
            continue;
        QString v = QString::fromUtf8(o->val);
        v.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
        parts << QStringLiteral("%1='%2'").arg(QString::fromLatin1(o->keyword), v);
    }
    PQconninfoFree(options);
    parts << QStringLiteral("%1='%2'").arg(QString::fromLatin1(keyword), value);
    return parts.join(QLatin1Char(' '));
}

void executeOn(const QString& connection, const QString& sql)
{
    const Connection c = connect(connection);
    run(c.get(), sql);
}

StoredShop readShop(const QString& connection, const QString& tillRole)
{
    const Connection c = connect(connection);
    // A till killed just after sending a commit leaves its session to finish it: the rows are read
    // once every till's session has ended, and all from one snapshot, so that no commit lands
    // between the read of one table and the next.
    const QString sessions = QStringLiteral("select count(*) from pg_stat_activity where datname = current_database() "
                                            "and usename = '%1'")
                                 .arg(tillRole);
    for (int waited = 0; cell(run(c.get(), sessions).get(), 0, 0) != QLatin1String("0"); waited += 100) {
        if (waited > 30000)
            throw ServerFailure("las sesiones de las cajas detenidas no terminan");
        QThread::msleep(100);
    }
    run(c.get(), QStringLiteral("begin transaction isolation level repeatable read read only"));
    StoredShop shop;
    shop.open = readLines(c.get(), "temporal");
    shop.history = readLines(c.get(), "recaudacion");
    {
        const Result r = run(c.get(), QStringLiteral("select caja, to_char(fechainicio, 'YYYY-MM-DD HH24:MI:SS'), "
                                                     "efectivo, tarjeta, to_char(fechacierre, 'YYYY-MM-DD HH24:MI:SS') "
                                                     "from tipopago order by rowid"));
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            shop.days.push_back({cell(r.get(), i, 0), cell(r.get(), i, 1), cell(r.get(), i, 2).toDouble(),
                                 cell(r.get(), i, 3).toDouble(), cell(r.get(), i, 4)});
        }
    }
    {
        const Result r = run(c.get(), QStringLiteral("select codigoproducto, cantidad from productos"));
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            const QString code = cell(r.get(), i, 0);
            // A code twice would hide one row's stock: say it as a stock no sale can leave.
            shop.stock[code] = shop.stock.contains(code) ? -1e12 : cell(r.get(), i, 1).toDouble();
        }
    }
    run(c.get(), QStringLiteral("commit"));
    return shop;
}

bool serverUp(const QString& connection)
{
    return PQping(connection.toUtf8().constData()) == PQPING_OK;
}

ServerRestarter::ServerRestarter(const QString& connection, QString dataFolder) : m_data(std::move(dataFolder))
{
    if (m_data.isEmpty()) {
        // The cluster folder of the tests' script: the socket in the folder, the data in its "data".
        char* error = nullptr;
        PQconninfoOption* options = PQconninfoParse(connection.toUtf8().constData(), &error);
        PQfreemem(error);
        QString host;
        for (PQconninfoOption* o = options; o && o->keyword; ++o) {
            if (qstrcmp(o->keyword, "host") == 0 && o->val)
                host = QString::fromUtf8(o->val);
        }
        PQconninfoFree(options);
        if (host.startsWith(QLatin1Char('/')))
            m_data = QDir(host).filePath(QStringLiteral("data"));
    }
    const QString version = QFile::exists(QDir(m_data).filePath(QStringLiteral("PG_VERSION")))
                                ? [&] {
                                      QFile f(QDir(m_data).filePath(QStringLiteral("PG_VERSION")));
                                      f.open(QIODevice::ReadOnly);
                                      return QString::fromLatin1(f.readAll()).trimmed();
                                  }()
                                : QString();
    if (m_data.isEmpty() || version.isEmpty()) {
        m_why = m_data.isEmpty() ? QStringLiteral("no se sabe dónde están los datos del servidor (use --pgdata)")
                                 : QStringLiteral("«%1» no es la carpeta de datos de un servidor").arg(m_data);
        return;
    }
    m_pgCtl = QStringLiteral("/usr/lib/postgresql/%1/bin/pg_ctl").arg(version);
    if (!QFileInfo(m_pgCtl).isExecutable()) {
        m_why = QStringLiteral("no está %1").arg(m_pgCtl);
        return;
    }
    const QFileInfo data(m_data);
    if (data.ownerId() != geteuid()) {
        if (geteuid() != 0) {
            m_why = QStringLiteral("la carpeta «%1» es de %2 y este programa no puede actuar como ese usuario")
                        .arg(m_data, data.owner());
            return;
        }
        m_owner = data.owner();
    }
}

QStringList ServerRestarter::restartCommand(const QString& mode) const
{
    QStringList command;
    if (!m_owner.isEmpty())
        command << QStringLiteral("runuser") << QStringLiteral("-u") << m_owner << QStringLiteral("--");
    // The log goes where the cluster's script keeps it, never to this program's output.
    command << m_pgCtl << QStringLiteral("restart") << QStringLiteral("-D") << m_data << QStringLiteral("-m") << mode
            << QStringLiteral("-w") << QStringLiteral("-t") << QStringLiteral("60") << QStringLiteral("-l")
            << QDir(m_data).absoluteFilePath(QStringLiteral("../log"));
    return command;
}

} // namespace tarvino::stress
