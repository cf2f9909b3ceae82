// Product look-up by code for the sales window.
#include "sales/products_store.h"

#include "data/window_data.h"

namespace tarvino {

namespace {
QString numberText(const RecordSet& rs, const QString& column)
{
    const QString text = rs.text(column);
    return text.isEmpty() ? QStringLiteral("0") : text;
}
} // namespace

std::optional<Product> findProductByCode(Database& db, const QString& code)
{
    WindowData data(db);
    data.OpenProductosByCode(code);
    const RecordSet& rs = data.rs;
    if (rs.eof())
        return std::nullopt;
    Product p;
    p.code = rs.text(QStringLiteral("CodigoProducto"));
    p.name = rs.text(QStringLiteral("NombreProducto"));
    p.stock = numberText(rs, QStringLiteral("Cantidad"));
    p.costPrice = numberText(rs, QStringLiteral("PrecioCosto"));
    p.salePrice = numberText(rs, QStringLiteral("PrecioVenta"));
    p.criticalStock = numberText(rs, QStringLiteral("StockCritico"));
    p.category = rs.text(QStringLiteral("Categoria"));
    return p;
}

} // namespace tarvino
