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

} // namespace tarvino
