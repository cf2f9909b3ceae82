// The count of the drawer that closes the day: the difference, the count confirmed, the close.
#include "cash/cash_count.h"

#include "cash/cash_report.h"
#include "common/services.h"
#include "data/database.h"
#include "sales/sales_day.h"

namespace tarvino {

QString differenceText(Cents difference)
{
    if (difference > 0)
        return QStringLiteral("Sobrante ") + moneyText(difference);
    if (difference < 0)
        return QStringLiteral("Faltante ") + moneyText(-difference);
    return QStringLiteral("Sin diferencia");
}

CashCount confirmedCount(Cents counted, const std::vector<std::pair<Cents, int>>& pieces)
{
    CashCount count{counted, {}};
    const QString detail = countDetail(pieces);
    if (!detail.isEmpty() && countTotal(pieces) == counted)
        count.detail = detail;
    return count;
}

QString printReportProblem(Database& db, Printer& printer, const QString& user,
                           const std::vector<ReportLine>& lines)
{
    QString cause;
    try {
        printReport(db, printer, user, lines);
        return {};
    } catch (const PrinterError& e) {
        cause = e.message();
    } catch (const DbError& e) {
        cause = e.message();
    }
    // The cause may be a sentence of its own already (a server's message is).
    QString said = QStringLiteral("No se pudo imprimir el informe: ") + cause;
    if (!said.endsWith(QLatin1Char('.')))
        said += QLatin1Char('.');
    return said;
}

CountClosing closeWithCount(Database& db, const Clock& clock, Printer& printer,
                            const QString& dayStamp, const QString& user, const CashCount& count)
{
    CountClosing closing;
    closing.stored = closeDayWithCount(db, clock, dayStamp, user, count);
    closing.backupWarning = backUpClosedDay(db, clock, dayStamp);
    closing.printFailure = printReportProblem(db, printer, user, zReportLines(closing.stored, db.till()));
    if (!closing.printFailure.isEmpty())
        closing.printFailure += QStringLiteral("\n\nLa caja quedó cerrada con su arqueo.");
    return closing;
}

} // namespace tarvino
