// The sales day in the file: whether one is left open, its stamp, and closing it.
#pragma once

#include <QString>

#include <optional>

namespace tarvino {

class Clock;
class Database;

// The FechaInicio of the first Temporal row, when there is one.
std::optional<QString> firstTemporalStamp(Database& db);

// Closes the sales day of the given stamp: copies every Temporal line to Recaudacion, stamps the
// FechaCierre of its day row, and of the day row of every other day with lines in Temporal, with
// the current time and empties Temporal, in one transaction. After a
// failure (DbError) the day is still open with all its lines, so running it again is safe.
// Returns the number of lines copied.
int cierreDelDia(Database& db, const Clock& clock, const QString& openingStamp);

// The question asked when the closing at exit failed with cause: leave anyway (the day stays open
// and is offered for closing at the next start) or stay and try again.
QString exitAfterFailedClosingQuestion(const QString& cause);

// After the day of the given stamp has closed: a copy of the file in the folder of copies, named
// by the day's opening (the clock's time when the stamp is not one). Never throws: returns what
// the cashier must be told, empty when all went well.
QString backUpClosedDay(Database& db, const Clock& clock, const QString& openingStamp);

} // namespace tarvino
