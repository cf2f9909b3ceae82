// Product look-up by code for the sales window.
#pragma once

#include <QString>

#include <optional>

namespace tarvino {

class Database;

// A product as the sales window reads it: each field in its text form, as the lists hold it.
struct Product {
    QString code;
    QString name;
    QString stock;        // Cantidad
    QString costPrice;    // PrecioCosto
    QString salePrice;    // PrecioVenta
    QString criticalStock; // StockCritico
    QString category;
};

// The first product in name order whose CodigoProducto equals code; nullopt when there is none.
// An empty numeric field reads as "0" and an empty text field as "".
std::optional<Product> findProductByCode(Database& db, const QString& code);

} // namespace tarvino
