// Two tills on one server under load: two till processes ("Caja 1" and "Caja 2") sell the same
// products at once, close their days now and then, are killed with SIGKILL at random and started
// again, while the server itself is restarted under them; at the end the server's rows are
// checked against everything the tills said.
//
//   tarvino_stress_cajas [--sales N | --seconds N] [--kills N] [--restarts N] [--seed S]
//                        [--pgdata DIR] [--products N] [--keep] [--verbose]
//
// The server is the cluster named by TARVINO_TEST_SERVER (a libpq connection string whose user
// is a superuser); the run makes a database of its own there and drops it at the end (--keep
// leaves it). The server is restarted with pg_ctl on its data folder: --pgdata, or the "data"
// folder beside the socket folder the connection names, as the tests' cluster script lays it out.
//
// The tills sign in as a role of their own without superuser rights, as a shop's tills would:
// row security, which keeps each till to its own open day, does not apply to a superuser.
//
// The same program is the till: --caja NAME --conexion TEXT --productos N --semilla S --reloj ISO.
#include "stress/ledger.h"
#include "stress/shop_server.h"
#include "stress/till.h"

#include "common/timestamps.h"
#include "data/database.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>

using namespace tarvino;
using namespace tarvino::stress;

namespace {

// The role the tills sign in as.
const QString kTillRole = QStringLiteral("tarvino_caja");
const QStringList kTills = {QStringLiteral("Caja 1"), QStringLiteral("Caja 2")};

void print(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

struct Options {
    int sales = 2000;
    int seconds = 0;
    int kills = 20;
    int restarts = 3;
    int products = 300;
    quint64 seed = 0;
    QString pgdata;
    bool keep = false;
    bool verbose = false;
};

// One till process and what it has said so far.
struct RunningTill {
    QString name;
    std::unique_ptr<QProcess> process;
    QByteArray pending;
    qint64 startAt = 0; // when a stopped till is started again (run clock, ms)
    int starts = 0;
    int exits = 0; // ended by itself: a sale of unknown outcome, a start-up that failed
    int failures = 0; // operations failed (E), the server gone under them
};

class Run final {
public:
    Run(const Options& options, QString connection, QString tillConnection)
        : m_options(options), m_connection(std::move(connection)), m_tillConnection(std::move(tillConnection)),
          m_ledger(soldBeforeSales(options.products)), m_random(options.seed), m_restarter(m_connection, options.pgdata)
    {
    }
    int go();

private:
    void start(RunningTill& till);
    QStringList hear(RunningTill& till);
    void kill(RunningTill& till);
    double progress() const;
    int storedSales() const;
    void startRestart();

    const Options& m_options;
    QString m_connection;
    QString m_tillConnection;
    Ledger m_ledger;
    std::mt19937_64 m_random;
    ServerRestarter m_restarter;
    std::vector<RunningTill> m_tills;
    QElapsedTimer m_clock;
    std::unique_ptr<QProcess> m_restart;
    QString m_restartMode;
    int m_killsDone = 0;
    int m_restartsDone = 0;
    QMap<QString, int> m_restartsByMode;
    QStringList m_runFaults;
    QMap<QString, int> m_notStoredWhy; // the causes the tills gave for sales not stored
};

// A sale's failure in a few words, so that the run can count them by kind.
QString failureKind(const QString& message)
{
    if (serverLost(message))
        return QStringLiteral("el servidor se fue");
    if (message.contains(QLatin1String("deadlock"), Qt::CaseInsensitive))
        return QStringLiteral("bloqueo mutuo entre las cajas: ") + message.section(QStringLiteral(": "), -1);
    return message;
}

void Run::start(RunningTill& till)
{
    m_ledger.beginRun(till.name);
    till.process = std::make_unique<QProcess>();
    till.process->setProgram(QCoreApplication::applicationFilePath());
    till.process->setArguments({QStringLiteral("--caja"), till.name, QStringLiteral("--conexion"), m_tillConnection,
                                QStringLiteral("--productos"), QString::number(m_options.products),
                                QStringLiteral("--semilla"), QString::number(m_random()), QStringLiteral("--reloj"),
                                isoText(m_ledger.nextClock(till.name))});
    till.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    till.process->start();
    if (!till.process->waitForStarted(10000))
        m_runFaults << QStringLiteral("no se pudo iniciar %1").arg(till.name);
    till.pending.clear();
    ++till.starts;
}

QStringList Run::hear(RunningTill& till)
{
    if (!till.process)
        return {};
    till.pending += till.process->readAllStandardOutput();
    QStringList lines;
    qsizetype end;
    while ((end = till.pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(till.pending.left(end));
        till.pending.remove(0, end + 1);
        // With the server restarted under them operations fail; that the tills say so is no fault.
        if (line.startsWith(QLatin1String("E|")))
            ++till.failures;
        else
            m_ledger.hear(till.name, line);
        if (line.startsWith(QLatin1String("N|")))
            ++m_notStoredWhy[failureKind(line.section(QLatin1Char('|'), 2))];
        if (m_options.verbose)
            print(QStringLiteral("%1 %2: %3").arg(m_clock.elapsed(), 6).arg(till.name, line));
        lines << line;
    }
    return lines;
}

// SIGKILL; what the till said before dying counts as said, a line it did not finish does not.
void Run::kill(RunningTill& till)
{
    till.process->kill();
    till.process->waitForFinished(10000);
    hear(till);
    till.process.reset();
}

int Run::storedSales() const
{
    int stored = 0;
    for (const QString& till : kTills)
        stored += m_ledger.counts(till).stored;
    return stored;
}

double Run::progress() const
{
    if (m_options.seconds > 0)
        return double(m_clock.elapsed()) / (1000.0 * m_options.seconds);
    return double(storedSales()) / std::max(1, m_options.sales);
}

void Run::startRestart()
{
    // Fast: the server ends every session and stops cleanly. Immediate: it stops at once and
    // recovers from its log at the start, as after a power cut of the server alone.
    m_restartMode = m_random() % 2 == 0 ? QStringLiteral("fast") : QStringLiteral("immediate");
    const QStringList command = m_restarter.restartCommand(m_restartMode);
    m_restart = std::make_unique<QProcess>();
    m_restart->setProcessChannelMode(QProcess::MergedChannels);
    m_restart->start(command.first(), command.mid(1));
    if (m_options.verbose)
        print(QStringLiteral("%1 reinicio del servidor (%2)").arg(m_clock.elapsed(), 6).arg(m_restartMode));
}

int Run::go()
{
    // When, in the run's progress, each kill and each restart of the server comes.
    std::uniform_real_distribution<double> within(0.05, 0.95);
    std::vector<double> killsAt(std::size_t(m_options.kills)), restartsAt;
    std::generate(killsAt.begin(), killsAt.end(), [&] { return within(m_random); });
    std::sort(killsAt.begin(), killsAt.end());
    if (m_restarter.canRestart()) {
        restartsAt.resize(std::size_t(m_options.restarts));
        std::generate(restartsAt.begin(), restartsAt.end(), [&] { return within(m_random); });
        std::sort(restartsAt.begin(), restartsAt.end());
    } else if (m_options.restarts > 0) {
        print(QStringLiteral("El servidor no se puede reiniciar (%1): solo habrá muertes de las cajas.")
                  .arg(m_restarter.why()));
    }

    m_clock.start();
    m_tills.reserve(std::size_t(kTills.size())); // the pending kill points into it
    for (const QString& name : kTills) {
        m_tills.push_back({name, nullptr, {}, 0, 0, 0, 0});
        start(m_tills.back());
    }

    // A kill waits, half of the time, for its till to begin a sale or a count-and-close, then a
    // moment shorter than one takes, so that many land inside one.
    struct PendingKill {
        RunningTill* till = nullptr;
        bool waitForSale = false;
        bool armed = false;
        QElapsedTimer since;
        qint64 delayUs = 0;
    } pending;
    qint64 lastProgressMs = 0;
    int lastStored = 0;
    while (progress() < 1.0 || !killsAt.empty() || !restartsAt.empty() || pending.till || m_restart) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const qint64 now = m_clock.elapsed();
        for (RunningTill& till : m_tills) {
            const QStringList lines = hear(till);
            if (pending.till == &till && pending.waitForSale && !pending.armed) {
                for (const QString& line : lines) {
                    if (line.startsWith(QLatin1String("B|")) || line.startsWith(QLatin1String("A|"))) {
                        pending.armed = true;
                        pending.since.start();
                    }
                }
            }
            if (till.process && till.process->state() == QProcess::NotRunning) {
                // Ended by itself: it said why (U, E or F). Started again as the cashier would.
                hear(till);
                till.process.reset();
                ++till.exits;
                till.startAt = now + 200;
                if (pending.till == &till)
                    pending = {};
            }
            if (!till.process && now >= till.startAt)
                start(till);
        }
        if (pending.till && pending.armed && pending.since.nsecsElapsed() / 1000 >= pending.delayUs) {
            if (pending.till->process) {
                if (m_options.verbose)
                    print(QStringLiteral("%1 muerte de %2").arg(m_clock.elapsed(), 6).arg(pending.till->name));
                kill(*pending.till);
                ++m_killsDone;
                pending.till->startAt = now;
            }
            pending = {};
        } else if (pending.till && pending.waitForSale && !pending.armed && pending.since.elapsed() > 3000) {
            pending.waitForSale = false; // no sale came: killed wherever it is
            pending.armed = true;
            pending.since.start();
        }
        if (!pending.till && !killsAt.empty() && progress() >= killsAt.front()) {
            killsAt.erase(killsAt.begin());
            pending.till = &m_tills[std::size_t(m_random() % m_tills.size())];
            pending.waitForSale = m_random() % 2 == 0;
            pending.armed = !pending.waitForSale;
            pending.since.start();
            pending.delayUs = qint64(m_random() % 6000);
        }
        if (!m_restart && !restartsAt.empty() && progress() >= restartsAt.front()) {
            restartsAt.erase(restartsAt.begin());
            startRestart();
        }
        if (m_restart && m_restart->state() == QProcess::NotRunning) {
            const QString said = QString::fromUtf8(m_restart->readAll()).trimmed();
            if (m_restart->exitStatus() != QProcess::NormalExit || m_restart->exitCode() != 0)
                m_runFaults << QStringLiteral("el reinicio del servidor (%1) falló: %2").arg(m_restartMode, said);
            else
                ++m_restartsDone, ++m_restartsByMode[m_restartMode];
            m_restart.reset();
        }
        // A run that no longer moves: tills that cannot work, a server that did not come back.
        if (storedSales() != lastStored) {
            lastStored = storedSales();
            lastProgressMs = now;
        } else if (now - lastProgressMs > 120000) {
            m_runFaults << QStringLiteral("ninguna venta registrada en 120 s: la prueba se detiene");
            break;
        }
        if (!pending.armed)
            QThread::usleep(500);
    }
    for (RunningTill& till : m_tills) {
        if (till.process)
            kill(till);
    }
    const double seconds = double(m_clock.elapsed()) / 1000;

    // The check, with the server up and both tills stopped.
    QElapsedTimer waited;
    waited.start();
    while (!serverUp(m_connection) && waited.elapsed() < 60000)
        QThread::msleep(200);
    QStringList violations = m_runFaults;
    int sharedProducts = 0;
    try {
        const StoredShop shop = readShop(m_connection, kTillRole);
        violations << m_ledger.check(shop);
        // How much the two tills met on the same products.
        QMap<QString, QSet<QString>> sellers;
        for (const auto* lines : {&shop.open, &shop.history}) {
            for (const StoredLine& line : *lines)
                sellers[line.code].insert(line.till);
        }
        for (const QSet<QString>& tills : std::as_const(sellers))
            sharedProducts += tills.size() > 1 ? 1 : 0;
    } catch (const ServerFailure& e) {
        violations << QStringLiteral("no se pudo leer el servidor: ") + QString::fromUtf8(e.what());
    }

    int stored = 0;
    for (const RunningTill& till : m_tills) {
        const Ledger::Counts c = m_ledger.counts(till.name);
        stored += c.stored;
        print(QStringLiteral("%1: %2 ventas informadas como registradas (%3 pese a una falla al confirmar), "
                             "%4 no guardadas, %5 sin saber; %6 cierres, %10 con arqueo; %11 fondos de caja, "
                             "%12 movimientos; %7 arranques, %8 finales por sí misma; %9 operaciones fallidas")
                  .arg(till.name)
                  .arg(c.stored)
                  .arg(c.storedDespiteFailure)
                  .arg(c.notStored)
                  .arg(c.unknown)
                  .arg(c.closings)
                  .arg(till.starts)
                  .arg(till.exits)
                  .arg(till.failures).arg(c.countCloses).arg(c.openings).arg(c.movements));
        print(QStringLiteral("  tras perder el servidor: siguió con su conexión %1 veces, necesitó reopen() %2 veces; "
                             "%3 ventas/s")
                  .arg(c.reconnectedAlone)
                  .arg(c.reconnectedByReopen)
                  .arg(double(c.stored) / seconds, 0, 'f', 1));
    }
    for (auto it = m_notStoredWhy.constBegin(); it != m_notStoredWhy.constEnd(); ++it)
        print(QStringLiteral("  no guardadas (N) por «%1»: %2").arg(it.key()).arg(it.value()));
    QStringList causes = m_ledger.reopenCauses();
    causes.removeDuplicates();
    for (const QString& cause : std::as_const(causes))
        print(QStringLiteral("  la conexión vieja falló con el servidor ya de vuelta: ") + cause);
    print(QStringLiteral("Ventas informadas: %1 en %2 s (%3 ventas/s entre ambas cajas); muertes: %4; "
                         "reinicios del servidor: %5 (%6 fast, %7 immediate)")
              .arg(stored)
              .arg(seconds, 0, 'f', 1)
              .arg(double(stored) / seconds, 0, 'f', 1)
              .arg(m_killsDone)
              .arg(m_restartsDone)
              .arg(m_restartsByMode.value(QStringLiteral("fast")))
              .arg(m_restartsByMode.value(QStringLiteral("immediate"))));
    print(QStringLiteral("Productos vendidos por ambas cajas: %1 de %2").arg(sharedProducts).arg(m_options.products));
    for (const QString& v : std::as_const(violations))
        print(QStringLiteral("FALTA: ") + v);
    print(QStringLiteral("Faltas: %1").arg(violations.size()));
    return int(violations.size());
}

int runTill(const QStringList& args)
{
    const auto value = [&](const char* option) { return args.value(args.indexOf(QLatin1String(option)) + 1); };
    const auto clock = readIso(value("--reloj"));
    if (!clock)
        return 2;
    const QString connection = value("--conexion");
    Till till(connection, value("--caja"), value("--productos").toInt(), [&] { return serverUp(connection); },
              value("--semilla").toULongLong(), *clock, [](const QString& line) {
                  std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
                  std::fflush(stdout);
              });
    if (!till.startUp())
        return 3;
    while (till.step()) {
    }
    return 4;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    const QStringList args = app.arguments();
    if (args.contains(QLatin1String("--caja")))
        return runTill(args);

    Options options;
    options.seed = quint64(QDateTime::currentMSecsSinceEpoch());
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString value = args.value(i + 1);
        if (a == QLatin1String("--sales"))
            options.sales = value.toInt(), options.seconds = 0, ++i;
        else if (a == QLatin1String("--seconds"))
            options.seconds = value.toInt(), ++i;
        else if (a == QLatin1String("--kills"))
            options.kills = value.toInt(), ++i;
        else if (a == QLatin1String("--restarts"))
            options.restarts = value.toInt(), ++i;
        else if (a == QLatin1String("--seed"))
            options.seed = value.toULongLong(), ++i;
        else if (a == QLatin1String("--pgdata"))
            options.pgdata = value, ++i;
        else if (a == QLatin1String("--products") && value.toInt() >= kBusyProducts)
            options.products = value.toInt(), ++i;
        else if (a == QLatin1String("--keep"))
            options.keep = true;
        else if (a == QLatin1String("--verbose"))
            options.verbose = true;
        else {
            print(QStringLiteral("Uso: tarvino_stress_cajas [--sales N | --seconds N] [--kills N] [--restarts N] "
                                 "[--seed S] [--pgdata CARPETA] [--products N] [--keep] [--verbose]"));
            return 2;
        }
    }
    const QString server = qEnvironmentVariable("TARVINO_TEST_SERVER");
    if (server.isEmpty()) {
        print(QStringLiteral("Falta TARVINO_TEST_SERVER: la cadena de conexión de libpq de un servidor PostgreSQL "
                             "de prueba, con un superusuario (scripts/pg-cluster.sh start CARPETA la imprime). "
                             "Sin servidor esta prueba no puede correr."));
        return 2;
    }
    print(QStringLiteral("Semilla %1").arg(options.seed));
    QString shop, tillConnection;
    try {
        shop = makeShop(server, options.products, kTillRole, tillConnection);
    } catch (const ServerFailure& e) {
        print(QStringLiteral("No se pudo preparar la base de datos de prueba: ") + QString::fromUtf8(e.what()));
        return 2;
    } catch (const DbError& e) {
        print(QStringLiteral("No se pudo preparar la base de datos de prueba: ") + e.message());
        return 2;
    }
    print(QStringLiteral("Base de datos: %1").arg(serverName(shop)));
    int violations = 0;
    {
        Run run(options, shop, tillConnection);
        violations = run.go();
    }
    if (!options.keep) {
        try {
            dropShop(server, shop);
        } catch (const ServerFailure& e) {
            print(QStringLiteral("No se pudo borrar la base de datos de prueba: ") + QString::fromUtf8(e.what()));
        }
    }
    return violations == 0 ? 0 : 1;
}
