// Recording a settled sale: stock, sale lines and the day's takings, all in one transaction.
#include "sales/recording.h"

#include "common/numbers.h"
#include "common/services.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "data/window_data.h"
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
    WindowData data(db);
    RecordSet& rs = data.rs;
    for (const SaleLine& line : sale.lines) {
        data.OpenProductosWithCode(line[Code]);
        if (!rs.eof()) {
            rs.setValue(QStringLiteral("Cantidad"),
                        rs.number(QStringLiteral("Cantidad")) - cellNumber(line[Quantity]));
            rs.update();
        }
        data.CloseDatabase();
    }

    // A resumed day keeps its stamp even if the sale comes before the stamp was reloaded.
    const QString stamp = sale.earlierDayUnclosed ? sale.openingStamp
                                                  : firstTemporalStamp(db).value_or(sale.openingStamp);

    data.OpenTemporalForAdding();
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
    data.CloseDatabase();

    // Day takings: the day row of the stamp, made by the day's first sale.
    data.OpenTipoPagoOfDay(stamp);
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
    data.CloseDatabase();

    tx.commit();
    return stamp;
}

} // namespace tarvino
