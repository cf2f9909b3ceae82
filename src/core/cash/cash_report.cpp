// The X and Z reports and the slip of a cash movement.
#include "cash/cash_report.h"

#include "common/services.h"
#include "common/timestamps.h"
#include "users/users.h"

namespace tarvino {

namespace {

const QString kRule = QStringLiteral("-");

QString stampOf(const std::optional<QDateTime>& when)
{
    return when ? stampText(*when) : QString();
}

QString timeOf(const std::optional<QDateTime>& when)
{
    return when ? longTimeText(*when) : QStringLiteral("-");
}

void heading(std::vector<ReportLine>& lines, const QString& title, const QString& till)
{
    lines.push_back({title, {}});
    if (!till.isEmpty())
        lines.push_back({QStringLiteral("Caja"), till});
}

// The figures the X and Z reports share.
void figures(std::vector<ReportLine>& lines, const CashSummary& s)
{
    const bool wholeDay = s.scope.user.isEmpty();
    lines.push_back({kRule, {}});
    if (wholeDay)
        lines.push_back({QStringLiteral("Fondo de caja"), moneyText(s.opening)});
    lines.push_back({QStringLiteral("Ventas"), QString::number(s.sales)});
    lines.push_back({QStringLiteral("Primera venta"), timeOf(s.firstSale)});
    lines.push_back({QStringLiteral("Última venta"), timeOf(s.lastSale)});
    lines.push_back({QStringLiteral("Ventas en efectivo"), moneyText(s.cash)});
    lines.push_back({QStringLiteral("Ventas con tarjeta"), moneyText(s.card)});
    lines.push_back({QStringLiteral("Devoluciones"), moneyText(s.refunds)});
    lines.push_back({QStringLiteral("Ingresos de dinero"), moneyText(s.cashIn)});
    for (const CashMovement& m : s.movements)
        if (m.kind == CashMovement::Kind::In)
            lines.push_back({QStringLiteral("  %1 %2").arg(shortTimeText(m.when), m.reason), moneyText(m.amount)});
    lines.push_back({QStringLiteral("Retiros de dinero"), moneyText(s.cashOut)});
    for (const CashMovement& m : s.movements)
        if (m.kind == CashMovement::Kind::Out)
            lines.push_back({QStringLiteral("  %1 %2").arg(shortTimeText(m.when), m.reason), moneyText(m.amount)});
    lines.push_back({kRule, {}});
    lines.push_back({wholeDay ? QStringLiteral("Efectivo esperado en caja")
                              : QStringLiteral("Efectivo del cajero"),
                     moneyText(s.expected())});
}

} // namespace

std::vector<ReportLine> xReportLines(const CashSummary& summary, const QString& till, const QDateTime& now)
{
    std::vector<ReportLine> lines;
    heading(lines, QStringLiteral("INFORME X"), till);
    lines.push_back({QStringLiteral("Inicio del día"), stampOf(summary.opened)});
    if (!summary.scope.user.isEmpty()) {
        lines.push_back({QStringLiteral("Cajero"), summary.scope.user});
        lines.push_back({QStringLiteral("Desde"), stampOf(summary.scope.since)});
    }
    lines.push_back({QStringLiteral("Emitido"), stampText(now)});
    figures(lines, summary);
    return lines;
}

std::vector<ReportLine> zReportLines(const StoredCount& count, const QString& till)
{
    std::vector<ReportLine> lines;
    heading(lines, QStringLiteral("INFORME Z - CIERRE DE CAJA"), till);
    lines.push_back({QStringLiteral("Inicio del día"), stampOf(count.summary.opened)});
    lines.push_back({QStringLiteral("Cierre"), stampText(count.countedAt)});
    lines.push_back({QStringLiteral("Cajero"), count.user});
    figures(lines, count.summary);
    lines.push_back({QStringLiteral("Efectivo contado"), moneyText(count.counted)});
    lines.push_back({count.difference > 0   ? QStringLiteral("Sobrante")
                     : count.difference < 0 ? QStringLiteral("Faltante")
                                            : QStringLiteral("Diferencia"),
                     moneyText(count.difference < 0 ? -count.difference : count.difference)});
    return lines;
}

std::vector<ReportLine> movementSlipLines(const CashMovement& movement, const QString& till)
{
    std::vector<ReportLine> lines;
    heading(lines,
            movement.kind == CashMovement::Kind::In ? QStringLiteral("INGRESO DE DINERO")
                                                    : QStringLiteral("RETIRO DE DINERO"),
            till);
    lines.push_back({QStringLiteral("Fecha"), stampText(movement.when)});
    lines.push_back({QStringLiteral("Usuario"), movement.user});
    if (!movement.authorisedBy.isEmpty())
        lines.push_back({QStringLiteral("Autorizado por"), movement.authorisedBy});
    lines.push_back({QStringLiteral("Motivo"), movement.reason});
    lines.push_back({QStringLiteral("Monto"), moneyText(movement.amount)});
    return lines;
}

QString reportText(const std::vector<ReportLine>& lines, int width)
{
    QString text;
    for (const ReportLine& line : lines) {
        if (line.label == kRule && line.value.isEmpty()) {
            text += QString(width, QLatin1Char('-'));
        } else if (line.value.isEmpty()) {
            text += line.label;
        } else {
            // A long label gives way to its figure, which is never cut.
            const qsizetype room = std::max<qsizetype>(1, width - line.value.size() - 1);
            text += line.label.left(room).leftJustified(room + 1) + line.value.rightJustified(width - room - 1);
        }
        text += QLatin1Char('\n');
    }
    return text;
}

int printReport(Database& db, Printer& printer, const QString& user, const std::vector<ReportLine>& lines)
{
    const double setting = receiptSetting(db, user);
    if (setting != 58 && setting != 80)
        return 0;
    const int roll = int(setting);
    // The figures in a column of their own: at about half a 58 mm roll, two thirds of an 80 mm.
    const int valueAt = roll == 58 ? 1500 : 2500;
    const int ruleLength = roll == 58 ? 26 : 42;
    printer.setRollWidth(roll);
    printer.setFontSize(roll == 58 ? 9 : 10);
    bool first = true;
    for (const ReportLine& line : lines) {
        printer.setBold(first);
        printer.setCurrentX(0);
        if (line.label == kRule && line.value.isEmpty()) {
            printer.print(QString(ruleLength, QLatin1Char('-')), true);
        } else if (line.value.isEmpty()) {
            printer.print(line.label, true);
        } else {
            printer.print(line.label, false);
            printer.setCurrentX(valueAt);
            printer.print(line.value, true);
        }
        first = false;
    }
    printer.setBold(false);
    for (int i = 0; i < 4; ++i)
        printer.print(QStringLiteral(" "), true);
    printer.endDocument();
    return roll;
}

} // namespace tarvino
