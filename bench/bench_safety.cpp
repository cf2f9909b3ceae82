// Timings of the file's safety at 100,000 products, and at 100,000 products with 1,000,000 lines of
// history: the start of the program with its whole-file check (beside the start without it), a
// write, and the copy made at the closing of the day (beside the engine's page-by-page online
// copy).
// Not a test: it prints min / median / max per operation and the time each should stay under.
#include "bench_support.h"
#include "data/query.h"

#include "app/startup.h"
#include "common/timestamps.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/file_engine.h"
#include "data/schema.h"
#include "sales/sales_day.h"
#include "support/fakes.h"
#include "support/temp_shop.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstdio>
#include <deque>
#include <memory>

using namespace tarvino;
using namespace tarvino::bench;
using tarvino::test::FakeMessages;
using tarvino::test::TempShop;

namespace {

constexpr int kProducts = 100'000;
constexpr int kDays = 1'000;
constexpr int kLinesPerDay = 1'000;
const QDateTime kFirstOpening(QDate(2023, 1, 2), QTime(9, 0, 7));

// A thousand closed days of a thousand lines each over the catalogue, with their day rows.
void fillHistory(TempShop& shop)
{
    Query line(shop.db, QStringLiteral("insert into Recaudacion (CodigoProducto, NombreProducto, "
                                         "Cantidad, TotalCosto, TotalVenta, "
                                         "TipoPago, NombreUsuario, Categoria, FechaInicio, "
                                         "FechaVenta) values (?,?,?,?,?,?,'admin',?,?,?)"));
    Query day(shop.db, QStringLiteral("insert into TipoPago (FechaInicio, efectivo, tarjeta, "
                                         "CajaInicial, FechaCierre) values (?,?,0,0,?)"));
    std::uniform_int_distribution<int> anyProduct(0, kProducts - 1);
    Transaction tx(shop.db);
    for (int d = 0; d < kDays; ++d) {
        const QDateTime opened = kFirstOpening.addDays(d);
        const QString openedIso = isoText(opened);
        for (int i = 0; i < kLinesPerDay; ++i) {
            const int p = anyProduct(rng());
            const QVariantList values{
                productCode(p),
                QStringLiteral("%1 %2").arg(catalogueWords()[size_t(p) % 20]).arg(p),
                1.0 + i % 3,
                700.0,
                990.0 * (1 + i % 3),
                i % 4 ? QStringLiteral("EFECTIVO") : QStringLiteral("TARJETA"),
                catalogueWords()[size_t(p) % 13],
                openedIso,
                isoText(opened.addSecs(i * 30))};
            for (int v = 0; v < values.size(); ++v)
                line.bind(v + 1, values[v]);
            line.execute();
        }
        day.bind(1, openedIso);
        day.bind(2, 1'500'000.0);
        day.bind(3, isoText(opened.addSecs(kLinesPerDay * 30)));
        day.execute();
    }
    tx.commit();
    shop.db.execute(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

// The engine's online copy of the whole file, page by page, into a new file keyed alike.
void onlineCopy(Database& db, const QString& path)
{
    QFile::remove(path);
    sqlite3* copy = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                    nullptr);
    sqlite3_exec(copy,
                 "PRAGMA key = 'QmK482'; PRAGMA journal_mode = OFF; PRAGMA synchronous = FULL;",
                 nullptr, nullptr, nullptr);
    sqlite3_backup* backup = sqlite3_backup_init(copy, "main", fileConnection(db), "main");
    const int rc = backup ? sqlite3_backup_step(backup, -1) : SQLITE_ERROR;
    sqlite3_backup_finish(backup);
    sqlite3_close(copy);
    check(rc == SQLITE_DONE, "the online copy ran to its end");
}

int productsIn(const QString& path)
{
    Database copy;
    copy.open(path);
    return pragmaText(copy, QStringLiteral("select count(*) from Productos")).toInt();
}

void measureShop(TempShop& shop, const char* size)
{
    const QString folder = shop.folder();
    const QString path = shop.dbPath();
    shop.db.close();
    const double mib = double(QFileInfo(path).size()) / 1048576.0;
    std::printf("%s: bd1 is %.0f MiB.\n", size, mib);
    // The table keeps the names it is given.
    static std::deque<QByteArray> names;
    const auto row = [&](const char* what) {
        return names.emplace_back(QByteArray(what) + " (" + size + ")").constData();
    };

    // The start: opening, the list of tables, every page checked, the file prepared. The login
    // window waits for it.
    FakeMessages messages;
    bool whole = true;
    std::unique_ptr<Database> started;
    report(row("start: open bd1, check every page, prepare"), 2000,
           measure(
               1, 5, [&] { started = std::make_unique<Database>(); },
               [&] { whole = openShopDatabase(*started, folder, messages) && whole; }));
    started.reset();
    check(whole && messages.boxes.isEmpty(), "the start accepted the whole file");

    // Without the check, for its share of the start.
    report(row("open bd1 and prepare, unchecked"), 0, measure(1, 5, [&] {
               Database db;
               db.open(path);
               checkSchema(db);
               prepareDatabase(db);
           }));

    // A write after the start.
    {
        const QString touch = QStringLiteral(
            "update Usuarios set PermisoCruce = PermisoCruce where NombreUsuario = 'admin'");
        Database db;
        openShopDatabase(db, folder, messages);
        Query(db, touch).execute();
        report(row("a write"), 5, measure(0, 5, [&] { Query(db, touch).execute(); }));
    }

    // The copy at the closing of the day, and the engine's online copy beside it.
    Database db;
    db.open(path);
    prepareDatabase(db);
    FakeMessages none;
    test::FakeClock clock;
    const QString stamp = stampText(clock.now());
    report(row("copy at closing (journal folded, bytes copied)"), 1000, measure(1, 5, [&] {
               check(backUpClosedDay(db, clock, stamp).isEmpty(), "the copy was made");
           }));
    const QString made = newestBackup(path);
    check(productsIn(made) == kProducts, "the copy holds the catalogue");
    const QString literal = QDir(folder).filePath(QStringLiteral("copia-en-linea"));
    report(row("literal: engine's online copy, page by page"), 0,
           measure(1, 3, [&] { onlineCopy(db, literal); }));
    check(productsIn(literal) == kProducts, "the online copy holds the catalogue");
    QFile::remove(literal);
    db.close();
    QDir(backupFolder(path)).removeRecursively();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Chile));

    QElapsedTimer filling;
    filling.start();
    TempShop shop;
    fillCatalogue(shop, kProducts);
    {
        TempShop copy;
        copy.db.close();
        shop.db.close();
        QFile::remove(copy.dbPath());
        QFile::copy(shop.dbPath(), copy.dbPath());
        measureShop(copy, "100,000 products");
    }
    shop.db.open(shop.dbPath());
    fillHistory(shop);
    std::printf("Catalogue and history written in %.1f s.\n", double(filling.elapsed()) / 1000.0);
    measureShop(shop, "and 1,000,000 history lines");

    printTable();
    return failures();
}
