// The drawer's money of each sales day: opening cash, movements, what the drawer should hold and
// the count that closes the day.
#include "cash/cash_book.h"

#include "common/services.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "data/query.h"
#include "sales/sales_day.h"

#include <QStringList>

#include <stdexcept>

namespace tarvino {

namespace {

const QString kIn = QStringLiteral("INGRESO");
const QString kOut = QStringLiteral("RETIRO");

} // namespace

void recordOpeningCash(Database& db, const Clock& clock, const QString& dayStamp, Cents amount,
                       const QString& user)
{
    const QString day = storedDayStamp(dayStamp);
    const QString now = isoText(clock.now());
    Transaction tx(db);
    const int replaced =
        Query(db,
              QStringLiteral("update FondoCaja set Monto = ?, NombreUsuario = ?, FechaRegistro = ? "
                             "where FechaInicio = ? and FechaCierre is null"),
              {fromCents(amount), user, now, day})
            .execute();
    if (replaced == 0)
        Query(db,
              QStringLiteral("insert into FondoCaja (FechaInicio, Monto, NombreUsuario, FechaRegistro) "
                             "values (?, ?, ?, ?)"),
              {day, fromCents(amount), user, now})
            .execute();
    Query(db, QStringLiteral("update TipoPago set CajaInicial = ? where FechaInicio = ?"),
          {wholePesos(amount), day})
        .execute();
    tx.commit();
}

std::optional<Cents> lastCountedCash(Database& db)
{
    Query read(db, QStringLiteral("select Contado from ArqueosCaja order by FechaArqueo desc, rowid desc limit 1"));
    if (read.next())
        return toCents(read.number(0));
    return std::nullopt;
}

const QStringList& movementReasons()
{
    static const QStringList reasons{QStringLiteral("Retiro a caja fuerte"),
                                     QStringLiteral("Pago a proveedor"),
                                     QStringLiteral("Sencillo para vuelto")};
    return reasons;
}

QString movementProblem(const CashMovement& movement)
{
    if (movement.amount <= 0)
        return QStringLiteral("El monto debe ser mayor que cero.");
    if (movement.amount > kMaxCents)
        return QStringLiteral("El monto no puede superar %1.").arg(moneyText(kMaxCents));
    if (movement.reason.trimmed().isEmpty())
        return QStringLiteral("Debe indicar el motivo del movimiento.");
    if (movement.reason.trimmed().size() > kMaxReasonLength)
        return QStringLiteral("El motivo admite a lo más %1 caracteres.").arg(kMaxReasonLength);
    return {};
}

CashMovement recordMovement(Database& db, const Clock& clock, const QString& dayStamp,
                            CashMovement movement)
{
    if (const QString problem = movementProblem(movement); !problem.isEmpty())
        throw std::invalid_argument(problem.toStdString());
    movement.reason = movement.reason.trimmed();
    movement.when = clock.now();
    Query(db,
          QStringLiteral("insert into MovimientosCaja (FechaInicio, Fecha, Tipo, Monto, Motivo, "
                         "NombreUsuario, Autoriza) values (?, ?, ?, ?, ?, ?, ?)"),
          {storedDayStamp(dayStamp), isoText(movement.when),
           movement.kind == CashMovement::Kind::In ? kIn : kOut, fromCents(movement.amount),
           movement.reason, movement.user, movement.authorisedBy})
        .execute();
    return movement;
}

Cents CashSummary::expected() const
{
    return (scope.user.isEmpty() ? opening : 0) + cash + cashIn - cashOut;
}

CashSummary summarise(Database& db, const CashScope& scope)
{
    CashSummary s;
    s.scope = scope;
    s.opened = readStamp(scope.dayStamp);
    const QString day = storedDayStamp(scope.dayStamp);
    const bool oneCashier = !scope.user.isEmpty();
    const QString since = scope.since ? isoText(*scope.since) : QStringLiteral("0001-01-01 00:00:00");

    if (const auto opening = openingCashOf(db, scope.dayStamp)) {
        s.opening = *opening;
        s.openingRecorded = true;
    }

    // The sales: each one's payment, added up here to the cent.
    {
        Query sales(db,
                    oneCashier
                        ? QStringLiteral("select FechaVenta, Efectivo, Tarjeta from PagosVenta where "
                                         "FechaInicio = ? and NombreUsuario = ? and FechaVenta >= ? "
                                         "order by FechaVenta, rowid")
                        : QStringLiteral("select FechaVenta, Efectivo, Tarjeta from PagosVenta where "
                                         "FechaInicio = ? order by FechaVenta, rowid"),
                    oneCashier ? std::initializer_list<QVariant>{day, scope.user, since}
                               : std::initializer_list<QVariant>{day});
        Cents cash = 0;
        Cents card = 0;
        while (sales.next()) {
            const auto when = readStamp(sales.stamp(0));
            if (!s.firstSale)
                s.firstSale = when;
            s.lastSale = when;
            cash += toCents(sales.number(1));
            card += toCents(sales.number(2));
            ++s.sales;
        }
        if (oneCashier) {
            s.cash = cash;
            s.card = card;
        }
    }
    // The whole day's takings are those of its day row, which every sale adds to.
    if (!oneCashier) {
        Query takings(db, QStringLiteral("select efectivo, tarjeta from TipoPago where FechaInicio = ?"), {day});
        if (takings.next()) {
            s.cash = toCents(takings.number(0));
            s.card = toCents(takings.number(1));
        }
    }

    Query moves(db,
                oneCashier
                    ? QStringLiteral("select Fecha, Tipo, Monto, Motivo, NombreUsuario, Autoriza from "
                                     "MovimientosCaja where FechaInicio = ? and NombreUsuario = ? and "
                                     "Fecha >= ? order by Fecha, rowid")
                    : QStringLiteral("select Fecha, Tipo, Monto, Motivo, NombreUsuario, Autoriza from "
                                     "MovimientosCaja where FechaInicio = ? order by Fecha, rowid"),
                oneCashier ? std::initializer_list<QVariant>{day, scope.user, since}
                           : std::initializer_list<QVariant>{day});
    while (moves.next()) {
        CashMovement m;
        m.when = readStamp(moves.stamp(0)).value_or(QDateTime());
        m.kind = moves.text(1) == kOut ? CashMovement::Kind::Out : CashMovement::Kind::In;
        m.amount = toCents(moves.number(2));
        m.reason = moves.text(3);
        m.user = moves.text(4);
        m.authorisedBy = moves.text(5);
        (m.kind == CashMovement::Kind::In ? s.cashIn : s.cashOut) += m.amount;
        s.movements.push_back(m);
    }
    return s;
}

Cents countTotal(const std::vector<std::pair<Cents, int>>& pieces)
{
    Cents total = 0;
    for (const auto& [value, number] : pieces)
        total += value * number;
    return total;
}

QString countDetail(const std::vector<std::pair<Cents, int>>& pieces)
{
    QStringList parts;
    for (const auto& [value, number] : pieces)
        if (number > 0)
            parts << QStringLiteral("%1x%2").arg(moneyBoxText(value, QLocale::c())).arg(number);
    return parts.join(QLatin1Char(' '));
}

StoredCount closeDayWithCount(Database& db, const Clock& clock, const QString& dayStamp,
                              const QString& user, const CashCount& count)
{
    const QString day = storedDayStamp(dayStamp);
    Transaction tx(db);
    StoredCount stored;
    stored.summary = summarise(db, {dayStamp, {}, {}});
    stored.counted = count.counted;
    stored.difference = count.counted - stored.summary.expected();
    stored.countedAt = clock.now();
    stored.user = user;
    const CashSummary& s = stored.summary;
    Query(db,
          QStringLiteral("insert into ArqueosCaja (FechaInicio, FechaArqueo, NombreUsuario, Fondo, "
                         "Efectivo, Tarjeta, Ingresos, Retiros, Esperado, Contado, Diferencia, Detalle) "
                         "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
          {day, isoText(stored.countedAt), user, fromCents(s.opening), fromCents(s.cash),
           fromCents(s.card), fromCents(s.cashIn), fromCents(s.cashOut), fromCents(s.expected()),
           fromCents(stored.counted), fromCents(stored.difference), count.detail})
        .execute();
    closeOpenDays(db, clock, dayStamp);
    tx.commit();
    return stored;
}

std::optional<StoredCount> countOfDay(Database& db, const QString& dayStamp)
{
    std::optional<StoredCount> stored;
    {
        Query read(db,
                   QStringLiteral("select FechaArqueo, NombreUsuario, Contado, Diferencia from ArqueosCaja "
                                  "where FechaInicio = ? order by rowid desc limit 1"),
                   {storedDayStamp(dayStamp)});
        if (!read.next())
            return std::nullopt;
        stored.emplace();
        stored->countedAt = readStamp(read.stamp(0)).value_or(QDateTime());
        stored->user = read.text(1);
        stored->counted = toCents(read.number(2));
        stored->difference = toCents(read.number(3));
    }
    stored->summary = summarise(db, {dayStamp, {}, {}});
    return stored;
}

} // namespace tarvino
