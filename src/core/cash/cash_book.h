// The drawer's money of each sales day: the opening cash, the cash put in and taken out, what the
// drawer should hold, and the count that closes the day. No widget: the cash windows show it.
#pragma once

#include "common/money.h"
#include "sales/sales_day.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace tarvino {

class Clock;
class Database;

// ---- Opening cash -------------------------------------------------------------------------------

// Records the cash in the drawer for the open day of the stamp ("dd/mm/yyyy h:mm:ss"): kept
// exactly in FondoCaja (a second recording replaces the first) and, in whole pesos, in the
// CajaInicial of the day's TipoPago row when the day has one already (the first sale makes it
// with that amount otherwise). One transaction. Throws DbError.
void recordOpeningCash(Database& db, const Clock& clock, const QString& dayStamp, Cents amount,
                       const QString& user);

// What the last counted day of this till closed with, offered as the next day's opening cash.
std::optional<Cents> lastCountedCash(Database& db);

// ---- Cash in and out ----------------------------------------------------------------------------

struct CashMovement {
    enum class Kind { In, Out };
    Kind kind = Kind::In;
    Cents amount = 0;
    QString reason;
    QString user;
    QString authorisedBy; // the administrator who allowed a cash out on the spot, or empty
    QDateTime when;       // set by recordMovement
};

// The reasons offered with a movement; any other text may be typed.
const QStringList& movementReasons();
// The longest reason kept.
inline constexpr int kMaxReasonLength = 60;

// Checks a movement before it is stored: an amount above zero, a reason. The text the cashier is
// told, empty when it may be stored.
QString movementProblem(const CashMovement& movement);

// Stores a movement of the open day of the stamp, with the clock's time, in one statement.
// Throws DbError (nothing stored) or std::invalid_argument for a movement movementProblem refuses.
CashMovement recordMovement(Database& db, const Clock& clock, const QString& dayStamp,
                            CashMovement movement);

// ---- What the drawer should hold ----------------------------------------------------------------

// A day's figures, or those of one cashier since a time (a change of cashier).
struct CashScope {
    QString dayStamp;
    QString user;                 // empty: the whole day
    std::optional<QDateTime> since;
};

struct CashSummary {
    CashScope scope;
    std::optional<QDateTime> opened;  // the day's opening
    Cents opening = 0;                // opening cash (0 when none was recorded)
    bool openingRecorded = false;
    int sales = 0;
    Cents cash = 0;                   // cash takings, net of refunds
    Cents card = 0;
    Cents refunds = 0;                // cash given back (already taken off cash)
    Cents cashIn = 0;
    Cents cashOut = 0;
    std::vector<CashMovement> movements;
    std::optional<QDateTime> firstSale;
    std::optional<QDateTime> lastSale;
    // opening + cash + cashIn - cashOut for the whole day; a cashier's part has no opening cash.
    Cents expected() const;
};

// Reads the figures from the stored rows: for the whole day the takings of its TipoPago row, for
// one cashier those of the sales recorded under that name since the time given. Throws DbError.
CashSummary summarise(Database& db, const CashScope& scope);

// ---- The count and the close --------------------------------------------------------------------

struct CashCount {
    Cents counted = 0;
    // The coins and notes counted, "10000x3 5000x1", or empty when one amount was typed.
    QString detail;
};

// The count of one denomination list: the total of each value times its number.
Cents countTotal(const std::vector<std::pair<Cents, int>>& pieces);
QString countDetail(const std::vector<std::pair<Cents, int>>& pieces);

// What a stored count says.
struct StoredCount {
    CashSummary summary;
    Cents counted = 0;
    Cents difference = 0; // counted - expected: above zero a surplus, below a shortfall
    QDateTime countedAt;
    QString user;
};

// In one transaction: the day's figures read, the count stored beside them in ArqueosCaja, the
// opening cash marked closed, and the day closed as the exit closes it (cierreDelDia). After a
// failure nothing of it is stored and the day is still open. Returns the count as stored.
// Throws DbError.
StoredCount closeDayWithCount(Database& db, const Clock& clock, const QString& dayStamp,
                              const QString& user, const CashCount& count);

// The stored count of a day, when it was closed with one.
std::optional<StoredCount> countOfDay(Database& db, const QString& dayStamp);

} // namespace tarvino
