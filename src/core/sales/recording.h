// Recording a settled sale: stock, sale lines and the day's takings, all in one transaction.
#pragma once

#include "common/money.h"
#include "data/database.h"
#include "data/dialect.h"
#include "sales/sale_lines.h"

#include <QString>

namespace tarvino {

class Clock;

struct SaleToRecord {
    const SaleLines& lines;
    QString openingStamp; // the day's stamp "dd/mm/yyyy h:mm:ss"
    QString user;
    QString total;        // plain number text of the total
    QString paymentKind;  // "EFECTIVO", "TARJETA" or "MIXTO" (part cash, part card)
    Cents cashPart = 0;   // a split sale's cash part; the card takes the rest of the total
    // Set while Temporal still holds the lines of an earlier day that could not be closed: the
    // sale then belongs to its own day, not to the day of the first line found there.
    bool earlierDayUnclosed = false;
};

// A sale that is in the file.
struct RecordedSale {
    // The opening stamp of the day the sale was stored in: the FechaInicio of the first Temporal
    // row (a resumed day), or the sale's own stamp when earlierDayUnclosed is set.
    QString openingStamp;
    // Empty when the commit went through. Otherwise the failure the disk reported while the sale
    // was being committed, though the file, read again, holds the whole sale.
    QString commitFailure;
    // Where that failure lay.
    FailurePlace failurePlace = FailurePlace::Disk;
};

// What the cashier is told of a sale stored although its commit reported commitFailure.
QString storedDespiteFailureText(const RecordedSale& recorded);

// The commit of a sale failed and the file could not be read again to tell whether the sale is in
// it. The connection is left closed: nothing more is written before the program starts again,
// when the file itself shows what became of the sale. message() gives both failures.
class SaleOutcomeUnknown : public DbError {
public:
    SaleOutcomeUnknown(const QString& message, FailurePlace place)
        : DbError(message), m_place(place)
    {
    }
    FailurePlace place() const { return m_place; }

private:
    FailurePlace m_place;
};

// What the cashier is told of a sale whose outcome could not be known, with what to do.
QString outcomeUnknownText(const SaleOutcomeUnknown& unknown);

// What the cashier is told of every use of the file once a sale's outcome could not be known.
QString outcomeUnknownInstruction();

// Reduces the stock of each product sold (the first product in name order with the line's code),
// writes one Temporal row per line and the sale's payment in PagosVenta, and adds the total to the
// cash or card takings of the day row in TipoPago (a split sale each part to its column; the
// day's first sale makes the row with the day's opening cash), all in one transaction.
//
// A failure before the commit rolls everything back and throws DbError: nothing was stored. When
// the commit itself fails, the sale may be in the file all the same (a disk that wrote it and then
// failed to confirm it); the connection is then opened afresh and the file asked for the very lines
// and takings the sale wrote. Found whole: returns, with commitFailure set. Found not at all:
// throws DbError, and charging the sale again stores it once. Neither, or the file cannot be read
// again, or the sale found cannot be folded into bd1: throws SaleOutcomeUnknown, and the
// connection is closed until restart with outcomeUnknownInstruction().
RecordedSale recordSale(Database& db, const Clock& clock, const SaleToRecord& sale);

namespace testing {
// A wrong verdict after a failed commit, planted by the stress program to show that its checks
// catch one. The program never plants any.
enum class PlantedVerdict { None, AlwaysStored, AlwaysNotStored };
void plantVerdict(PlantedVerdict verdict);
} // namespace testing

} // namespace tarvino
