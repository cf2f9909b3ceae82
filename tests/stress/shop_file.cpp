// The stress run's own hands on the shop file.
#include "stress/shop_file.h"

#include "data/database.h"
#include "data/query.h"
#include "data/schema.h"
#include "stress/till.h"

#include <QDir>
#include <QFile>

namespace tarvino::stress {

namespace {

QString copyForCheck(const QString& folder)
{
    const QString copy = QDir(folder).filePath(QStringLiteral("../") + QDir(folder).dirName() +
                                               QStringLiteral("-check"));
    QDir(copy).removeRecursively();
    QDir().mkpath(copy);
    const QString source = QDir(folder).filePath(kDatabaseFileName);
    const QString target = QDir(copy).filePath(kDatabaseFileName);
    QFile::copy(source, target);
    if (QFile::exists(source + QStringLiteral("-wal")))
        QFile::copy(source + QStringLiteral("-wal"), target + QStringLiteral("-wal"));
    return target;
}

std::vector<StoredLine> readLines(Database& db, const QString& table, const QString& till)
{
    std::vector<StoredLine> lines;
    Query rows(db, QStringLiteral("select CodigoProducto, Cantidad, TotalVenta, TipoPago, FechaInicio, FechaVenta "
                                  "from %1 order by rowid")
                       .arg(table));
    while (rows.next()) {
        lines.push_back({till, rows.text(0), rows.number(1), rows.number(2), rows.text(3), rows.text(4),
                         rows.text(5)});
    }
    return lines;
}

} // namespace

void makeShop(const QString& folder)
{
    const QString path = QDir(folder).filePath(kDatabaseFileName);
    createDatabase(path, kDatabaseKey);
    Database db;
    db.open(path);
    prepareDatabase(db);
    addSoldProducts(db, kBusyProducts);
    db.close();
}

std::optional<StoredShop> readShopFile(const QString& folder, const QString& till, QStringList& faults)
{
    std::optional<StoredShop> shop{std::in_place};
    Database db;
    try {
        db.open(copyForCheck(folder));
    } catch (const DbError& e) {
        faults << QStringLiteral("el archivo no abre: ") + e.message();
        return std::nullopt;
    }
    try {
        {
            Query integrity(db, QStringLiteral("PRAGMA integrity_check"));
            while (integrity.next()) {
                if (integrity.text(0) != QLatin1String("ok"))
                    faults << QStringLiteral("integrity_check: ") + integrity.text(0);
            }
        }
        try {
            checkSchema(db);
        } catch (const DbError& e) {
            faults << QStringLiteral("el programa rechaza el archivo: ") + e.message();
        }
        shop->open = readLines(db, QStringLiteral("Temporal"), till);
        shop->history = readLines(db, QStringLiteral("Recaudacion"), till);
        Query days(db, QStringLiteral("select FechaInicio, efectivo, tarjeta, FechaCierre, CajaInicial from TipoPago "
                                      "order by rowid"));
        while (days.next())
            shop->days.push_back({till, days.text(0), days.number(1), days.number(2), days.text(3), days.number(4)});
        for (const CashTable& table : kCashTables) {
            Query rows(db, QStringLiteral("select %1 from %2 order by rowid").arg(QLatin1String(table.columns), QLatin1String(table.table)));
            while (rows.next()) {
                StoredCash& row = ((*shop).*table.rows).emplace_back(StoredCash{till, rows.text(0), rows.text(1), rows.text(2), {}, rows.text(3)});
                for (int i = 0; i < table.amounts; ++i)
                    row.amounts.push_back(toCents(rows.number(4 + i)));
            }
        }
        Query products(db, QStringLiteral("select CodigoProducto, NombreProducto, Cantidad, PrecioCosto, PrecioVenta, "
                                          "StockCritico, Categoria from Productos"));
        while (products.next()) {
            shop->products.push_back({products.text(0), products.text(1), products.number(2), products.number(3),
                                     products.number(4), products.number(5), products.text(6)});
        }
    } catch (const DbError& e) {
        faults << QStringLiteral("no se pudo leer el archivo: ") + e.message();
        shop.reset();
    }
    db.close();
    return shop;
}

} // namespace tarvino::stress
