// The sales of the open sales day one by one: what the sales detail window lists and shows for the
// sale chosen, read from the day's lines in Temporal.
#include "reports/sales_detail.h"

#include "common/numbers.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "data/query.h"

namespace tarvino {

namespace {

// One row per sale, latest first; the stamps are stored as ISO text, whose order is the order in
// time. The payment kind comes from the line with the smallest rowid, the sale's first.
const QString kVentas = QStringLiteral(
    "select v.FechaVenta, t.TipoPago, v.primera from (select FechaVenta, min(rowid) as primera "
    "from Temporal group by FechaVenta) v join Temporal t on t.rowid = v.primera "
    "order by v.FechaVenta desc");
// The lines of one sale in the order they were written ("is" also finds a stamp left empty).
const QString kLineasDeVenta = QStringLiteral(
    "select CodigoProducto, NombreProducto, Cantidad, ValorUnitario, TotalVenta, TipoPago "
    "from Temporal where FechaVenta is ? order by rowid");

QString paymentMarker(QStringView kind)
{
    if (kind == QLatin1String("EFECTIVO"))
        return QStringLiteral("E");
    if (kind == QLatin1String("TARJETA"))
        return QStringLiteral("T");
    if (kind == QLatin1String("MIXTO"))
        return QStringLiteral("M");
    return {};
}

} // namespace

DaySales readDaySales(Database& db)
{
    DaySales sales;
    Query rows(db, kVentas);
    while (rows.next()) {
        DaySales::Sale sale;
        // Kept as stored, to be bound again when the sale's lines are looked for.
        sale.stored = rows.cell(0).stored();
        sale.stamp = rows.stamp(0);
        sale.marker = paymentMarker(rows.cell(1).utf8().toString());
        sales.m_sales.push_back(std::move(sale));
    }
    return sales;
}

SaleDetail readSaleDetail(Database& db, const QVariant& stored, const QString& shownStamp, const QLocale& locale)
{
    SaleDetail detail;
    double sum = 0;
    {
        Query lines(db, kLineasDeVenta, {stored});
        while (lines.next()) {
            QStringList row{QString::number(detail.rows.size() + 1)};
            for (int i = 0; i < 5; ++i)
                row << lines.text(i, locale);
            sum += readNumber(row.last(), locale).value_or(0.0);
            detail.Label4 = lines.cell(5).utf8().toString();
            detail.rows << row;
        }
    }
    detail.Label1 = saleDescription(shownStamp);
    detail.Label2 = QStringLiteral("Valor Final ") + formatPicture(sum, QStringLiteral("$ ###,###,###.###"), locale);
    return detail;
}

QString saleDescription(const QString& stamp)
{
    const auto when = readStamp(stamp);
    if (!when)
        return QStringLiteral("Venta realizada el ") + stamp;
    return QStringLiteral("Venta realizada el ") + dateText(*when) + QStringLiteral(" a las ") +
           longTimeText(*when) + QStringLiteral(" hrs.");
}

} // namespace tarvino
