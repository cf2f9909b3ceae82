// The count of the drawer that closes the day, as the count window takes it: the difference shown
// while the amount is typed, the count confirmed, and the close with what follows it (the copy of
// the file and the Z report). No widget: the count window wires its boxes to it.
#pragma once

#include "cash/cash_report.h"

#include <QString>

#include <utility>
#include <vector>

namespace tarvino {

class Clock;
class Database;
class Printer;

// How the difference of a count reads: "Sobrante $ 1.500", "Faltante $ 300" or "Sin diferencia".
QString differenceText(Cents difference);

// The count as confirmed: the amount of the counted box, with the detail of the coins and notes
// only when they add up to it. An amount typed over the pieces stands alone, so that no stored
// detail ever disagrees with the amount counted.
CashCount confirmedCount(Cents counted, const std::vector<std::pair<Cents, int>>& pieces);

// What the close with a count came to once the day was closed.
struct CountClosing {
    StoredCount stored;
    QString backupWarning; // the copy of the file failed: what the cashier is told
    QString printFailure;  // the Z report could not be printed: what the cashier is told
};

// Stores the count and closes the day in one transaction (closeDayWithCount), then copies the file
// and prints the Z report on the user's roll. Throws DbError only when the close itself failed,
// leaving the day open with nothing counted; a failed copy or print never undoes the close.
CountClosing closeWithCount(Database& db, const Clock& clock, Printer& printer,
                            const QString& dayStamp, const QString& user, const CashCount& count);

// Prints the lines of a report on the user's roll; what the cashier is told when it could not be
// printed, empty when it was (or when the user prints no receipts).
QString printReportProblem(Database& db, Printer& printer, const QString& user,
                           const std::vector<ReportLine>& lines);

} // namespace tarvino
