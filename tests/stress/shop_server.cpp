// The stress run's own hands on the server, through libpq.
#include "stress/shop_server.h"

#include "data/database.h"
#include "data/schema.h"
#include "stress/till.h"

#include <QCoreApplication>
#include <QDateTime>
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
        throw ServerFailure("no se pudo conectar con " + serverName(connection).toStdString() + ": " +
                            PQerrorMessage(c.get()));
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

// The keywords a connection string sets, with their values, in libpq's order.
QList<std::pair<QString, QString>> keywords(const QString& connection)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(connection.toUtf8().constData(), &error);
    if (!options) {
        const std::string why = error ? error : "sin memoria";
        PQfreemem(error);
        throw ServerFailure("la cadena de conexión de TARVINO_TEST_SERVER no se entiende: " + why);
    }
    QList<std::pair<QString, QString>> set;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (o->val)
            set.append({QString::fromLatin1(o->keyword), QString::fromUtf8(o->val)});
    }
    PQconninfoFree(options);
    return set;
}

// The connection string with one keyword set (dbname, user), whatever it said before.
QString withKeyword(const QString& connection, const QString& keyword, const QString& value)
{
    QStringList parts;
    for (auto [k, v] : keywords(connection)) {
        if (k == keyword)
            continue;
        v.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
        parts << QStringLiteral("%1='%2'").arg(k, v);
    }
    parts << QStringLiteral("%1='%2'").arg(keyword, value);
    return parts.join(QLatin1Char(' '));
}

void executeOn(const QString& connection, const QString& sql)
{
    const Connection c = connect(connection);
    run(c.get(), sql);
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

QString serverName(const QString& connection)
{
    QStringList parts;
    for (const auto& [keyword, value] : keywords(connection)) {
        if (QStringList{QStringLiteral("host"), QStringLiteral("hostaddr"), QStringLiteral("port"),
                        QStringLiteral("dbname"), QStringLiteral("user")}
                .contains(keyword))
            parts << keyword + QLatin1Char('=') + value;
    }
    return parts.join(QLatin1Char(' '));
}

QString makeShop(const QString& server, int products, const QString& tillRole, QString& tillConnection)
{
    const QString name = QStringLiteral("tarvino_cajas_%1_%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QDateTime::currentMSecsSinceEpoch());
    // Commits durable whatever the cluster says (the tests' cluster turns synchronous commit off
    // for speed): an immediate restart must not take back a sale the till was told was stored.
    executeOn(server, QStringLiteral("create database %1").arg(name));
    executeOn(server, QStringLiteral("alter database %1 set synchronous_commit = on").arg(name));
    const QString shop = withKeyword(server, QStringLiteral("dbname"), name);
    {
        Database db;
        db.openServer(shop, QStringLiteral("Preparación"));
        createServerSchema(db);
        addSoldProducts(db, products);
        db.close();
    }
    // A role made by another run at the same moment is as good as ours.
    try {
        executeOn(server, QStringLiteral("create role %1 login").arg(tillRole));
    } catch (const ServerFailure&) {
    }
    executeOn(shop, QStringLiteral("grant usage, create on schema public to %1; "
                                   "grant all on all tables in schema public to %1; "
                                   "grant all on all sequences in schema public to %1")
                        .arg(tillRole));
    tillConnection = withKeyword(shop, QStringLiteral("user"), tillRole);
    return shop;
}

void dropShop(const QString& server, const QString& shop)
{
    for (const auto& [keyword, name] : keywords(shop)) {
        if (keyword == QLatin1String("dbname"))
            executeOn(server, QStringLiteral("drop database if exists %1 with (force)").arg(name));
    }
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
    run(c.get(), QStringLiteral("set datestyle = ISO; begin transaction isolation level repeatable read read only"));
    StoredShop shop;
    shop.open = readLines(c.get(), "temporal");
    shop.history = readLines(c.get(), "recaudacion");
    {
        const Result r = run(c.get(), QStringLiteral("select caja, to_char(fechainicio, 'YYYY-MM-DD HH24:MI:SS'), "
                                                     "efectivo, tarjeta, to_char(fechacierre, 'YYYY-MM-DD HH24:MI:SS'), "
                                                     "cajainicial from tipopago order by rowid"));
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            shop.days.push_back({cell(r.get(), i, 0), cell(r.get(), i, 1), cell(r.get(), i, 2).toDouble(),
                                 cell(r.get(), i, 3).toDouble(), cell(r.get(), i, 4), cell(r.get(), i, 5).toDouble()});
        }
    }
    for (const CashTable& table : kCashTables) {
        // With DateStyle ISO a timestamp reads as the ISO text the tills said.
        const Result r = run(c.get(), QStringLiteral("select caja, %1 from %2 order by rowid")
                                          .arg(QLatin1String(table.columns), QLatin1String(table.table)));
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            StoredCash& row = (shop.*table.rows).emplace_back(
                StoredCash{cell(r.get(), i, 0), cell(r.get(), i, 1), cell(r.get(), i, 2), cell(r.get(), i, 3), {}, cell(r.get(), i, 4)});
            for (int a = 0; a < table.amounts; ++a)
                row.amounts.push_back(toCents(cell(r.get(), i, 5 + a).toDouble()));
        }
    }
    {
        const Result r = run(c.get(), QStringLiteral("select codigoproducto, nombreproducto, cantidad, preciocosto, "
                                                     "precioventa, stockcritico, categoria from productos"));
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            shop.products.push_back({cell(r.get(), i, 0), cell(r.get(), i, 1), cell(r.get(), i, 2).toDouble(),
                                     cell(r.get(), i, 3).toDouble(), cell(r.get(), i, 4).toDouble(),
                                     cell(r.get(), i, 5).toDouble(), cell(r.get(), i, 6)});
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
        QString host;
        for (const auto& [keyword, value] : keywords(connection)) {
            if (keyword == QLatin1String("host"))
                host = value;
        }
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
