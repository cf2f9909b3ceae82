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
    // Set while Temporal still holds the lines of an earlier day that could not be closed: the
    // sale then belongs to its own day, not to the day of the first line found there.
    bool earlierDayUnclosed = false;
};

// Reduces the stock of each product sold (the first product in name order with the line's code),
// writes one Temporal row per line, and adds the total to the cash or card takings of the day row
// in TipoPago (creating the row at the day's first sale). Everything is stored in one
// transaction: when anything fails a DbError is thrown and nothing of the sale is stored.
// Returns the opening stamp of the day the sale was stored in: the FechaInicio of the first
// Temporal row (a resumed day), or the sale's own stamp when earlierDayUnclosed is set.
QString recordSale(Database& db, const Clock& clock, const SaleToRecord& sale);

} // namespace tarvino
