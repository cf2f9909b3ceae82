// The X report (any time, the day so far), the Z report (the count that closed the day) and the
// slip of a cash movement: their lines, on screen or on the receipt printer at the roll's width.
#pragma once

#include "cash/cash_book.h"

#include <QString>
#include <QStringList>

namespace tarvino {

class Database;
class Printer;

// One line of a report: a label and its figure (a line without figure is a heading or a rule).
struct ReportLine {
    QString label;
    QString value;
};

// The X report of the day or of one cashier's share (summary.scope), made at now.
std::vector<ReportLine> xReportLines(const CashSummary& summary, const QString& till,
                                     const QDateTime& now);
// The Z report of a stored count.
std::vector<ReportLine> zReportLines(const StoredCount& count, const QString& till);
// The slip of a movement.
std::vector<ReportLine> movementSlipLines(const CashMovement& movement, const QString& till);

// The lines as plain text, each figure right-aligned at width characters (the screen's view).
QString reportText(const std::vector<ReportLine>& lines, int width = 42);

// Prints the lines on a roll of the user's receipt setting (58 or 80 mm) and ends the job; a user
// without receipts prints nothing. Returns the roll printed on, 0 for none. Throws PrinterError,
// or DbError when the setting cannot be read.
int printReport(Database& db, Printer& printer, const QString& user,
                const std::vector<ReportLine>& lines);

} // namespace tarvino
