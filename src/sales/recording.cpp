// Recording a settled sale: stock, sale lines and the day's takings, all in one transaction.
#include "sales/recording.h"

#include "common/numbers.h"
#include "common/services.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "data/queries.h"
#include "data/recordset.h"
#include "sales/sales_day.h"

namespace tarvino {

using namespace detail;

QString recordSale(Database& db, const Clock& clock, const SaleToRecord& sale)
{
    const auto amount = readNumber(sale.total);
    if (!amount)
        throw DbError(QStringLiteral("El total a pagar «%1» no es un número.").arg(sale.total));
    const bool cash = sale.paymentKind == QLatin1String("EFECTIVO");

    Transaction tx(db);

    // Stock: each line reduces the first product in name order with its code; no lower bound.
    RecordSet rs;
    for (const SaleLine& line : sale.lines) {
        rs.open(db, queries::kProductoPorCodigo, {line[Code]});
        if (!rs.eof()) {
            rs.setValue(QStringLiteral("Cantidad"),
                        rs.number(QStringLiteral("Cantidad")) - cellNumber(line[Quantity]));
            rs.update();
        }
        rs.close();
    }

    // A resumed day keeps its stamp even if the sale comes before the stamp was reloaded.
    const QString stamp = firstTemporalStamp(db).value_or(sale.openingStamp);

    rs.open(db, queries::kTemporalNuevas);
    for (const SaleLine& line : sale.lines) {
        rs.addNew();
        rs.setValue(QStringLiteral("CodigoProducto"), line[Code]);
        rs.setValue(QStringLiteral("NombreProducto"), line[Name]);
        rs.setValue(QStringLiteral("Cantidad"), line[Quantity]);
        rs.setValue(QStringLiteral("TotalCosto"), line[TotalCost]);
        rs.setValue(QStringLiteral("TotalVenta"), line[TotalSale]);
        rs.setValue(QStringLiteral("TipoPago"), sale.paymentKind);
        rs.setValue(QStringLiteral("NombreUsuario"), sale.user);
        rs.setValue(QStringLiteral("Categoria"), line[Category]);
        rs.setValue(QStringLiteral("FechaInicio"), stamp);
        rs.setValue(QStringLiteral("FechaVenta"), stampText(clock.now()));
        rs.setValue(QStringLiteral("ValorUnitario"), line[UnitSale]);
        rs.update();
    }
    rs.close();

    // Day takings: the day row of the stamp, made by the day's first sale.
    const auto isoStamp = stampToIso(stamp);
    if (!isoStamp)
        throw DbError(QStringLiteral("La fecha de inicio de ventas «%1» no es válida.").arg(stamp));
    rs.open(db, queries::kTipoPagoDelDia, {*isoStamp});
    const QString column = cash ? QStringLiteral("efectivo") : QStringLiteral("tarjeta");
    if (rs.eof()) {
        rs.addNew();
        rs.setValue(QStringLiteral("FechaInicio"), stamp);
        rs.setValue(QStringLiteral("efectivo"), 0.0);
        rs.setValue(QStringLiteral("tarjeta"), 0.0);
        rs.setValue(column, *amount);
        rs.setValue(QStringLiteral("CajaInicial"), 0);
    } else {
        rs.setValue(column, rs.number(column) + *amount);
    }
    rs.setValue(QStringLiteral("FechaCierre"), stampText(clock.now()));
    rs.update();
    rs.close();

    tx.commit();
    return stamp;
}

} // namespace tarvino
