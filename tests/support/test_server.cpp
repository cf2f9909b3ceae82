// A throwaway PostgreSQL database for a test.
#include "support/test_server.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QMetaMethod>
#include <QTest>
#include <QRandomGenerator>
#include <QStringList>

#include <libpq-fe.h>

#include <cstdio>
#include <cstdlib>

namespace tarvino::test {

namespace {

// The role that owns the test databases: no superuser, since a superuser passes over the rows'
// security policies.
const char* const kOwner = "tarvino_tienda";

[[noreturn]] void stop(const QString& message)
{
    std::fprintf(stderr, "FAIL!  : %s\n", qPrintable(message));
    std::fflush(stderr);
    std::abort();
}

void run(PGconn* conn, const QByteArray& sql, bool mayFail = false)
{
    PGresult* result = PQexec(conn, sql.constData());
    const ExecStatusType status = PQresultStatus(result);
    const QString error = QString::fromUtf8(PQresultErrorMessage(result));
    PQclear(result);
    if (!mayFail && status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        stop(QStringLiteral("el servidor de pruebas rechazó «%1»: %2")
                 .arg(QString::fromUtf8(sql), error));
}

PGconn* connectTo(const QString& connection)
{
    PGconn* conn = PQconnectdb(connection.toUtf8().constData());
    if (PQstatus(conn) != CONNECTION_OK)
        stop(QStringLiteral("no se pudo conectar con el servidor de pruebas TARVINO_TEST_SERVER "
                            "«%1»: %2")
                 .arg(connection, QString::fromUtf8(PQerrorMessage(conn))));
    PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
    return conn;
}

QString quoted(const QString& value)
{
    QString v = value;
    v.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    v.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

// The server's connection string with other values for some of its keys.
QString withValues(const QString& connection, const QString& database, const QString& options)
{
    char* error = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(connection.toUtf8().constData(), &error);
    if (!parsed)
        stop(QStringLiteral("TARVINO_TEST_SERVER no es una cadena de conexión: %1")
                 .arg(QString::fromUtf8(error)));
    QStringList parts;
    for (PQconninfoOption* o = parsed; o->keyword; ++o) {
        const QString key = QString::fromUtf8(o->keyword);
        if (key == QLatin1String("dbname") || key == QLatin1String("options") || !o->val)
            continue;
        parts << key + QLatin1Char('=') + quoted(QString::fromUtf8(o->val));
    }
    PQconninfoFree(parsed);
    parts << QStringLiteral("dbname=") + quoted(database);
    if (!options.isEmpty())
        parts << QStringLiteral("options=") + quoted(options);
    return parts.join(QLatin1Char(' '));
}

} // namespace

bool onServer()
{
    return qgetenv("TARVINO_ENGINE") == "servidor";
}

QString testServer()
{
    const QString server = qEnvironmentVariable("TARVINO_TEST_SERVER");
    if (server.isEmpty())
        stop(QStringLiteral("esta prueba corre sobre el servidor (TARVINO_ENGINE=servidor), pero "
                            "TARVINO_TEST_SERVER no da ninguno: ponga en ella la cadena de "
                            "conexión de un servidor PostgreSQL de pruebas"));
    return server;
}

ServerDatabase::ServerDatabase()
{
    static QAtomicInt made;
    m_name = QStringLiteral("tarvino_prueba_%1_%2_%3")
                 .arg(QCoreApplication::applicationPid())
                 .arg(made.fetchAndAddRelaxed(1))
                 .arg(QRandomGenerator::global()->bounded(1u << 30));
    PGconn* conn = connectTo(testServer());
    // Test programs run side by side: the role may be made by another one meanwhile.
    run(conn, QByteArray("DO $$ BEGIN CREATE ROLE ") + kOwner +
                  " NOLOGIN; EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END $$",
        true);
    run(conn, "CREATE DATABASE " + m_name.toUtf8() + " OWNER " + kOwner +
                  " TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C'");
    PQfinish(conn);
    m_connection = withValues(testServer(), m_name, QStringLiteral("-c role=") + QLatin1String(kOwner));
}

ServerDatabase::~ServerDatabase()
{
    PGconn* conn = connectTo(testServer());
    run(conn, "DROP DATABASE IF EXISTS " + m_name.toUtf8() + " WITH (FORCE)", true);
    PQfinish(conn);
}

int runTests(QObject& tests, int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QMetaObject* type = tests.metaObject();
    const int info = type->indexOfClassInfo("fileOnly");
    // Functions named on the command line are run as asked; so is every function on the file.
    static const QStringList takesValue = {QStringLiteral("-o"), QStringLiteral("-maxwarnings"),
                                           QStringLiteral("-eventdelay"), QStringLiteral("-keydelay"),
                                           QStringLiteral("-mousedelay"), QStringLiteral("-seed")};
    bool named = false;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        named = named || (!arguments[i].startsWith(QLatin1Char('-')) && !takesValue.contains(arguments[i - 1]));
    if (!onServer() || info < 0 || named)
        return QTest::qExec(&tests, arguments);
    const QStringList fileOnly = QString::fromLatin1(type->classInfo(info).value()).split(QLatin1Char(','));
    static const QStringList fixtures = {QStringLiteral("initTestCase"), QStringLiteral("cleanupTestCase"),
                                         QStringLiteral("init"), QStringLiteral("cleanup")};
    for (int i = type->methodOffset(); i < type->methodCount(); ++i) {
        const QMetaMethod method = type->method(i);
        const QString name = QString::fromLatin1(method.name());
        if (method.methodType() != QMetaMethod::Slot || method.access() != QMetaMethod::Private ||
            method.parameterCount() != 0 || name.endsWith(QLatin1String("_data")) ||
            fixtures.contains(name))
            continue;
        if (fileOnly.contains(name)) {
            std::fprintf(stdout, "Solo en el archivo, fuera de esta pasada en el servidor: %s\n",
                         qPrintable(name));
            continue;
        }
        arguments << name;
    }
    std::fflush(stdout);
    return QTest::qExec(&tests, arguments);
}

} // namespace tarvino::test
