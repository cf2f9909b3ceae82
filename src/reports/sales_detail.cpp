// The sales of the open sales day one by one: what the sales detail window lists and shows for the
// sale chosen, read from the day's lines in Temporal.
#include "reports/sales_detail.h"

#include "common/numbers.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "data/statement_walk.h"

#include <sqlite3.h>

namespace tarvino {

namespace {

// One row per sale, latest first; the stamps are stored as ISO text, whose order is the order in
// time. The payment kind comes from the line with the smallest rowid, the sale's first.
const QString kVentas = QStringLiteral(
    "select FechaVenta, TipoPago, min(rowid) from Temporal group by FechaVenta "
    "order by FechaVenta desc");
// The lines of one sale in the order they were written ("is" also finds a stamp left empty).
const QString kLineasDeVenta = QStringLiteral(
    "select CodigoProducto, NombreProducto, Cantidad, ValorUnitario, TotalVenta, TipoPago "
    "from Temporal where FechaVenta is ? order by rowid");

QString rawText(sqlite3_stmt* stmt, int i)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(stmt, i)) : QString();
}

// A cell as a record set shows it: plain number text for a number, empty for NULL.
QString cellText(sqlite3_stmt* stmt, int i, const QLocale& locale)
{
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QString::number(sqlite3_column_int64(stmt, i));
    case SQLITE_FLOAT:
        return plainNumber(sqlite3_column_double(stmt, i), locale);
    default:
        return rawText(stmt, i);
    }
}

// The cell exactly as stored, to be bound again when the sale's lines are looked for.
QVariant storedValue(sqlite3_stmt* stmt, int i)
{
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, i));
    default:
        return QVariant(rawText(stmt, i));
    }
}

QString paymentMarker(QStringView kind)
{
    if (kind == QLatin1String("EFECTIVO"))
        return QStringLiteral("E");
    if (kind == QLatin1String("TARJETA"))
        return QStringLiteral("T");
    return {};
}

} // namespace

DaySales readDaySales(Database& db)
{
    DaySales sales;
    StatementWalk rows(db, kVentas);
    sqlite3_stmt* stmt = rows.stmt();
    while (rows.next()) {
        DaySales::Sale sale;
        sale.stored = storedValue(stmt, 0);
        const QString stored = rawText(stmt, 0);
        // A DATETIME cell reads as "dd/mm/yyyy h:mm:ss"; anything else as it stands.
        sale.stamp = isoToStamp(stored).value_or(stored);
        sale.marker = paymentMarker(rawText(stmt, 1));
        sales.m_sales.push_back(std::move(sale));
    }
    return sales;
}

SaleDetail readSaleDetail(Database& db, const QVariant& stored, const QString& shownStamp, const QLocale& locale)
{
    SaleDetail detail;
    double sum = 0;
    {
        StatementWalk lines(db, kLineasDeVenta, {stored});
        sqlite3_stmt* stmt = lines.stmt();
        while (lines.next()) {
            QStringList row{QString::number(detail.rows.size() + 1)};
            for (int i = 0; i < 5; ++i)
                row << cellText(stmt, i, locale);
            sum += readNumber(row.last(), locale).value_or(0.0);
            detail.Label4 = rawText(stmt, 5);
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
