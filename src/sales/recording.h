// Recording a settled sale: stock, sale lines and the day's takings, all in one transaction.
#pragma once

#include "sales/sale_lines.h"

#include <QString>

namespace tarvino {

class Clock;
class Database;

struct SaleToRecord {
    const SaleLines& lines;
    QString openingStamp; // the day's stamp "dd/mm/yyyy h:mm:ss"
    QString user;
    QString total;        // plain number text of the total
    QString paymentKind;  // "EFECTIVO" or "TARJETA"
};

// Reduces the stock of each product sold (the first product in name order with the line's code),
// writes one Temporal row per line, and adds the total to the cash or card takings of the day row
// in TipoPago (creating the row at the day's first sale). Everything is stored in one
// transaction: when anything fails a DbError is thrown and nothing of the sale is stored.
// Returns the opening stamp of the day after the sale: the FechaInicio of the first Temporal row.
QString recordSale(Database& db, const Clock& clock, const SaleToRecord& sale);

} // namespace tarvino
