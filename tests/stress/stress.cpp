// The stress run: a real till process killed at random instants, then a till whose disk loses
// its power at random instants, the shop file checked after every stop.
//
//   tarvino_stress [--kills N] [--cuts N] [--seed S] [--child PATH] [--keep] [--verbose]
//
// Kills: the till process (the crash child) is killed with SIGKILL during its start-up, while it
// records a sale, closes the day, saves or deletes a product, or between two operations. What the
// system keeps after a kill is what was written, synced or not: kills prove that each operation
// is all or nothing.
// Cuts: the till runs in this process on a file system layer that, at a random write, sync or
// truncation, throws away every write not yet synced (or, in every other cut, a random share of
// them), as a power cut does; in every third cut the disk also fails to sync one sale's commit.
// Cuts prove that what the till reported as stored survives. The failed sync of a sale in every
// third cut takes turns: its writes left in the system's cache, kept on the disk all the same,
// lost, or left in the cache with the power going at once; so the till meets each answer it can
// give after a failed commit: stored although the disk reported a failure, not stored, unknown.
//
// --plant stored | not-stored makes the recording answer so after every failed commit, whatever
// the file holds: a wrong answer planted to show that the checks catch it. The run then succeeds
// only when faults are found.
#include "sales/recording.h"
#include "stress/fault_vfs.h"
#include "stress/ledger.h"
#include "stress/shop_file.h"
#include "stress/till.h"

#include "common/timestamps.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocale>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <random>

using namespace tarvino;
using namespace tarvino::stress;

namespace {

struct Options {
    int kills = 1000;
    int cuts = 1000;
    quint64 seed = 0;
    QString child = QStringLiteral(TARVINO_CRASH_CHILD);
    bool keep = false;
    bool verbose = false;
    testing::PlantedVerdict planted = testing::PlantedVerdict::None;
};

// The one till's name in the ledger.
const QString kTill = QStringLiteral("Caja");

void print(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

struct Tally {
    QMap<QString, int> byPhase;
    QStringList faults;
    int stops = 0;
    int stopsWithFaults = 0;

    // Records one stop and its check; true when the file was whole.
    bool add(const QString& what, int n, const QString& phase, const QStringList& found, bool verbose)
    {
        ++stops;
        ++byPhase[phase];
        stopsWithFaults += found.isEmpty() ? 0 : 1;
        for (const QString& fault : found)
            faults << QStringLiteral("%1 %2 (%3): %4").arg(what).arg(n).arg(phase, fault);
        if (verbose || !found.isEmpty())
            print(QStringLiteral("%1 %2 durante %3: %4")
                      .arg(what)
                      .arg(n)
                      .arg(phase, found.isEmpty() ? QStringLiteral("archivo entero")
                                                  : found.join(QStringLiteral("; "))));
        return found.isEmpty();
    }

    void report(const QString& title, double seconds, const Ledger& ledger) const
    {
        const Ledger::Counts told = ledger.counts(kTill);
        print(QStringLiteral("%1: %2 en %3 s").arg(title).arg(stops).arg(seconds, 0, 'f', 1));
        QStringList phases;
        for (auto it = byPhase.begin(); it != byPhase.end(); ++it)
            phases << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        print(QStringLiteral("  durante: ") + phases.join(QStringLiteral(", ")));
        print(QStringLiteral("  informado por la caja: %1 ventas (%4 mixtas), %2 cierres, %5 arqueos con cierre, "
                             "%6 fondos de caja, %7 movimientos, %3 productos guardados o eliminados")
                  .arg(told.stored)
                  .arg(told.closings)
                  .arg(told.productOps).arg(told.splitSales).arg(told.countCloses).arg(told.openings).arg(told.movements));
        print(QStringLiteral("  ventas con falla al guardar: %1 informadas como guardadas pese a la "
                             "falla, %2 como no guardadas, %3 sin saber")
                  .arg(told.storedDespiteFailure)
                  .arg(told.notStored)
                  .arg(told.unknown));
        print(QStringLiteral("  faltas encontradas: %1, después de %2 de las %3 paradas")
                  .arg(faults.size())
                  .arg(stopsWithFaults)
                  .arg(stops));
    }
};

// The file as the stop left it, checked against what the till said.
QStringList checkFile(Ledger& ledger, const QString& folder)
{
    QStringList faults;
    if (const auto shop = readShopFile(folder, kTill, faults))
        faults << ledger.check(*shop);
    return faults;
}

// Reads what the till process has said so far, line by line, into the ledger. Returns the lines.
QStringList hearProcess(QProcess& till, QByteArray& pending, Ledger& ledger)
{
    pending += till.readAllStandardOutput();
    QStringList lines;
    qsizetype end;
    while ((end = pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(pending.left(end));
        pending.remove(0, end + 1);
        ledger.hear(kTill, line);
        lines << line;
    }
    return lines;
}

// How long each thing the till does takes, in microseconds, measured on one run of it.
struct Durations {
    double startUp = 200000;
    QMap<QChar, double> operation{{QLatin1Char('B'), 5000}, {QLatin1Char('C'), 8000}, {QLatin1Char('A'), 8000},
                                  {QLatin1Char('O'), 3000}, {QLatin1Char('M'), 3000},
                                  {QLatin1Char('P'), 5000}, {QLatin1Char('D'), 5000}};
};

bool startTill(QProcess& till, const Options& options, const QString& folder, quint64 seed, const Ledger& ledger)
{
    till.setProgram(options.child);
    till.setArguments({folder, QStringLiteral("till"), QString::number(seed), isoText(ledger.nextClock(kTill))});
    till.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    till.start();
    return till.waitForStarted(10000);
}

// Kills the till with SIGKILL and waits for it; what it said before dying counts as said.
void killTill(QProcess& till, QByteArray& pending, Ledger& ledger)
{
    till.kill();
    till.waitForFinished(10000);
    hearProcess(till, pending, ledger);
    pending.clear();
}

Durations measure(const Options& options, const QString& folder, Ledger& ledger, Tally& tally, int& n)
{
    Durations d;
    ledger.beginRun(kTill);
    QProcess till;
    if (!startTill(till, options, folder, options.seed, ledger))
        return d;
    QElapsedTimer clock;
    clock.start();
    QByteArray pending;
    QMap<QChar, QList<double>> taken;
    QMap<QChar, double> begun;
    while (clock.elapsed() < 1500 && till.waitForReadyRead(2000)) {
        const double now = double(clock.nsecsElapsed()) / 1000;
        for (const QString& line : hearProcess(till, pending, ledger)) {
            const QChar what = line.at(0);
            if (what == QLatin1Char('L') && d.startUp == 200000)
                d.startUp = now;
            if (d.operation.contains(what))
                begun[what] = now;
            // The line that ends an operation is its first letter in lower case.
            const QChar opening = what == QLatin1Char('R') ? QLatin1Char('B') : what.isLower() ? what.toUpper() : QChar();
            if (!opening.isNull() && begun.contains(opening))
                taken[opening] << now - begun.take(opening);
        }
    }
    killTill(till, pending, ledger);
    tally.add(QStringLiteral("muerte"), ++n, ledger.phase(kTill), checkFile(ledger, folder), options.verbose);
    for (auto it = taken.begin(); it != taken.end(); ++it) {
        QList<double> times = it.value();
        std::sort(times.begin(), times.end());
        if (!times.isEmpty())
            d.operation[it.key()] = std::max(200.0, times[times.size() / 2]);
    }
    QStringList said;
    for (auto it = d.operation.begin(); it != d.operation.end(); ++it)
        said << QStringLiteral("%1 %2 µs").arg(it.key()).arg(it.value(), 0, 'f', 0);
    print(QStringLiteral("Tiempos medidos: arranque %1 µs, %2").arg(d.startUp, 0, 'f', 0).arg(said.join(QStringLiteral(", "))));
    return d;
}

int runKills(const Options& options, const QString& folder)
{
    makeShop(folder);
    Ledger ledger(soldBeforeSales(kBusyProducts));
    Tally tally;
    std::mt19937_64 random(options.seed);
    QElapsedTimer elapsed;
    elapsed.start();
    int n = 0;
    const Durations durations = measure(options, folder, ledger, tally, n);
    // The count-and-close twice as often as the rest: its kills are the ones that matter most.
    const QList<QChar> targets{QChar(), QLatin1Char('B'), QLatin1Char('C'), QLatin1Char('A'), QLatin1Char('A'),
                               QLatin1Char('O'), QLatin1Char('M'), QLatin1Char('P'), QLatin1Char('D')};
    while (n < options.kills) {
        const QChar target = targets[int(random() % quint64(targets.size()))];
        ledger.beginRun(kTill);
        QProcess till;
        if (!startTill(till, options, folder, random(), ledger)) {
            print(QStringLiteral("No se pudo iniciar la caja %1").arg(options.child));
            return 2;
        }
        QByteArray pending;
        QElapsedTimer clock;
        clock.start();
        double delay;
        if (target.isNull()) {
            // Anywhere in the start-up: opening, checking, the question, the closing after No.
            delay = std::uniform_real_distribution<double>(0, durations.startUp * 1.2)(random);
        } else {
            // Inside the chosen operation: wait until the till says it begins one, then a while
            // shorter than it usually takes.
            const int wanted = 1 + int(random() % 2);
            int seen = 0;
            while (seen < wanted && clock.elapsed() < 5000 && till.waitForReadyRead(1000)) {
                for (const QString& line : hearProcess(till, pending, ledger))
                    seen += line.startsWith(target + QLatin1Char('|')) ? 1 : 0;
            }
            clock.restart();
            delay = std::uniform_real_distribution<double>(0, durations.operation.value(target) * 1.2)(random);
        }
        while (double(clock.nsecsElapsed()) / 1000 < delay)
            QThread::usleep(20);
        killTill(till, pending, ledger);
        tally.add(QStringLiteral("muerte"), ++n, ledger.phase(kTill), checkFile(ledger, folder), options.verbose);
    }
    tally.report(QStringLiteral("Muertes del proceso con SIGKILL"), double(elapsed.elapsed()) / 1000, ledger);
    return int(tally.faults.size());
}

int runCuts(const Options& options, const QString& folder)
{
    FaultVfs& vfs = FaultVfs::instance();
    vfs.watch(QDir(folder).absolutePath().toStdString() + "/");
    makeShop(folder);
    Ledger ledger(soldBeforeSales(kBusyProducts));
    Tally tally;
    std::mt19937_64 random(options.seed ^ 0x5eed);
    QElapsedTimer elapsed;
    elapsed.start();

    // How many writes, syncs and truncations a start-up and an operation make, so that a cut
    // can fall anywhere in a run.
    double startUpEvents = 0, perStep = 0;
    {
        ledger.beginRun(kTill);
        Till till(folder, random(), ledger.nextClock(kTill), [&](const QString& line) { ledger.hear(kTill, line); });
        const auto before = vfs.events();
        till.startUp();
        startUpEvents = double(vfs.events() - before);
        const auto afterStart = vfs.events();
        for (int i = 0; i < 20; ++i)
            till.step();
        perStep = double(vfs.events() - afterStart) / 20;
        till.close();
        tally.faults << checkFile(ledger, folder);
        print(QStringLiteral("Escrituras, sincronizaciones y truncados medidos: arranque %1, %2 por operación")
                  .arg(startUpEvents)
                  .arg(perStep, 0, 'f', 1));
    }

    int deadLines = 0;
    using SyncFault = FaultVfs::SyncFault;
    struct SyncFaultKind {
        SyncFault what;
        bool cutAfter;
        const char* name;
    };
    const SyncFaultKind kinds[] = {
        {SyncFault::InCache, false, "escrituras en la memoria del sistema"},
        {SyncFault::Kept, false, "escrituras en el disco"},
        {SyncFault::Lost, false, "escrituras perdidas"},
        {SyncFault::InCache, true, "corte de luz enseguida"},
    };
    int syncFailures[std::size(kinds)] = {};
    for (int n = 1; n <= options.cuts; ++n) {
        ledger.beginRun(kTill);
        const double keepChance = n % 2 == 0 ? 0.5 : 0.0;
        const int steps = 1 + int(random() % 8);
        const auto span = std::max<std::int64_t>(1, std::int64_t(startUpEvents + steps * perStep));
        const quint64 seed = random();
        const std::int64_t cutAt = 1 + std::int64_t(random() % quint64(span));
        // In every third run the disk also fails to sync the first sale's commit, in turns. The
        // power then goes only once the till has said what became of that sale, so that each
        // answer is met as often as the other.
        bool failSync = n % 3 == 0;
        const std::size_t kind = std::size_t(n / 3) % std::size(kinds);
        bool cutArmed = !failSync;
        if (cutArmed)
            vfs.armCut(cutAt, keepChance, seed);
        // What the till was doing when the power went, read before it says how that ended.
        QString phase;
        Till till(folder, random(), ledger.nextClock(kTill), [&](const QString& line) {
            if (vfs.isDead() && phase.isEmpty())
                phase = ledger.phase(kTill);
            // Without power every operation fails; that the till says so is no fault.
            if (vfs.isDead() && (line.startsWith(QLatin1Char('E')) || line.startsWith(QLatin1Char('F')))) {
                ++deadLines;
                return;
            }
            if (options.verbose && (line.startsWith(QLatin1Char('U')) || line.startsWith(QLatin1Char('N')) ||
                                    line.startsWith(QLatin1Char('W'))))
                print(QStringLiteral("corte %1, la caja dijo: %2").arg(n).arg(line));
            ledger.hear(kTill, line);
            const bool saleAnswered = QStringLiteral("RWNU").contains(line.at(0));
            if (!cutArmed && !failSync && !vfs.isDead() && saleAnswered) {
                vfs.armCut(cutAt, keepChance, seed);
                cutArmed = true;
            }
        });
        till.beforeSale = [&] {
            if (failSync && !vfs.isDead()) {
                vfs.failNextSync("-wal", kinds[kind].cutAfter, kinds[kind].what);
                ++syncFailures[kind];
            }
            failSync = false;
        };
        if (till.startUp()) {
            for (int i = 0; i < steps && !vfs.isDead(); ++i) {
                if (!till.step())
                    break;
            }
        }
        if (phase.isEmpty())
            phase = vfs.isDead() ? ledger.phase(kTill) : QStringLiteral("tras la última operación");
        vfs.cutNow(keepChance, seed);
        till.close();
        vfs.revive();
        tally.add(QStringLiteral("corte"), n, phase, checkFile(ledger, folder), options.verbose);
    }
    tally.report(QStringLiteral("Cortes de luz (escrituras sin sincronizar perdidas)"),
                 double(elapsed.elapsed()) / 1000, ledger);
    QStringList provoked;
    for (std::size_t k = 0; k < std::size(kinds); ++k)
        provoked << QStringLiteral("%1 con %2").arg(syncFailures[k]).arg(
            QString::fromUtf8(kinds[k].name));
    print(QStringLiteral("  sincronizaciones fallidas provocadas en una venta: ") +
          provoked.join(QStringLiteral(", ")));
    if (options.verbose)
        print(QStringLiteral("  operaciones fallidas por falta de luz: %1").arg(deadLines));
    return int(tally.faults.size());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    Options options;
    options.seed = quint64(QDateTime::currentMSecsSinceEpoch());
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString value = args.value(i + 1);
        if (a == QLatin1String("--kills"))
            options.kills = value.toInt(), ++i;
        else if (a == QLatin1String("--cuts"))
            options.cuts = value.toInt(), ++i;
        else if (a == QLatin1String("--seed"))
            options.seed = value.toULongLong(), ++i;
        else if (a == QLatin1String("--child"))
            options.child = value, ++i;
        else if (a == QLatin1String("--keep"))
            options.keep = true;
        else if (a == QLatin1String("--verbose"))
            options.verbose = true;
        else if (a == QLatin1String("--plant") && value == QLatin1String("stored"))
            options.planted = testing::PlantedVerdict::AlwaysStored, ++i;
        else if (a == QLatin1String("--plant") && value == QLatin1String("not-stored"))
            options.planted = testing::PlantedVerdict::AlwaysNotStored, ++i;
        else {
            print(QStringLiteral("Uso: tarvino_stress [--kills N] [--cuts N] [--seed S] [--child RUTA] "
                                 "[--keep] [--verbose] [--plant stored|not-stored]"));
            return 2;
        }
    }
    testing::plantVerdict(options.planted);
    QTemporaryDir dir;
    dir.setAutoRemove(!options.keep);
    print(QStringLiteral("Semilla %1, carpeta %2").arg(options.seed).arg(dir.path()));
    int faults = 0;
    if (options.kills > 0) {
        const QString folder = QDir(dir.path()).filePath(QStringLiteral("muertes"));
        QDir().mkpath(folder);
        faults += runKills(options, folder);
    }
    if (options.cuts > 0) {
        const QString folder = QDir(dir.path()).filePath(QStringLiteral("cortes"));
        QDir().mkpath(folder);
        faults += runCuts(options, folder);
    }
    print(faults == 0 ? QStringLiteral("Sin faltas.") : QStringLiteral("%1 faltas.").arg(faults));
    if (options.planted != testing::PlantedVerdict::None) {
        print(faults > 0 ? QStringLiteral("La respuesta equivocada plantada fue detectada.")
                         : QStringLiteral("La respuesta equivocada plantada NO fue detectada."));
        return faults > 0 ? 0 : 1;
    }
    return faults == 0 ? 0 : 1;
}
