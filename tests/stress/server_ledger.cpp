// What two tills on one server said they did, and the check of the server's rows against it.
#include "stress/server_ledger.h"
#include "stress/ledger.h"

#include "common/timestamps.h"

#include <cmath>
#include <map>
#include <set>

namespace tarvino::stress {

namespace {

} // namespace

void ServerLedger::note(Till& till, const QString& iso)
{
    if (const auto when = readIso(iso); when && *when > till.lastTime)
        till.lastTime = *when;
}

void ServerLedger::beginRun(const QString& till)
{
    m_tills[till]; // a till that has not said anything yet is still a till of the run
}

QDateTime ServerLedger::nextClock(const QString& till) const
{
    return m_tills.value(till).lastTime.addSecs(1);
}

void ServerLedger::hear(const QString& name, const QString& text)
{
    Till& till = m_tills[name];
    const QStringList f = text.split(QLatin1Char('|'));
    const QString what = f.value(0);
    if (what == QLatin1String("L")) {
        if (const auto when = readStamp(f.value(1)); when && *when > till.lastTime)
            till.lastTime = *when;
    } else if (what == QLatin1String("B") && f.size() == 5) {
        Sale sale;
        sale.kind = f[2];
        for (const QString& cell : f[4].split(QLatin1Char(','))) {
            const QStringList parts = cell.split(QLatin1Char(':'));
            sale.lines.push_back({parts.value(0), parts.value(1).toDouble(), parts.value(2).toDouble()});
        }
        if (till.sales.contains(f[1]))
            m_heardFaults << QStringLiteral("%1 empezó dos ventas con la FechaVenta %2").arg(name, f[1]);
        till.sales.insert(f[1], sale);
        ++till.counts.began;
        note(till, f[1]);
    } else if ((what == QLatin1String("R") || what == QLatin1String("W")) && till.sales.contains(f.value(1))) {
        till.sales[f[1]].told = Sale::Told::Stored;
        ++till.counts.stored;
        till.counts.storedDespiteFailure += what == QLatin1String("W") ? 1 : 0;
    } else if (what == QLatin1String("N") && till.sales.contains(f.value(1))) {
        till.sales[f[1]].told = Sale::Told::NotStored;
        ++till.counts.notStored;
    } else if (what == QLatin1String("U") && till.sales.contains(f.value(1))) {
        till.sales[f[1]].told = Sale::Told::Unknown;
        ++till.counts.unknown;
    } else if (what == QLatin1String("C")) {
        till.closings << f.value(1);
        note(till, f.value(1));
    } else if (what == QLatin1String("c")) {
        till.closingsDone << f.value(1);
        ++till.counts.closings;
    } else if (what == QLatin1String("K")) {
        if (f.value(1) == QLatin1String("sola")) {
            ++till.counts.reconnectedAlone;
        } else {
            ++till.counts.reconnectedByReopen;
            m_reopenCauses << f.value(2);
        }
    } else if (what == QLatin1String("E")) {
        ++till.counts.failures;
    } else if (what == QLatin1String("F")) {
        ++till.counts.startFailures;
        m_heardFaults << QStringLiteral("%1 no pudo arrancar: %2").arg(name, f.value(1));
    } else if (what == QLatin1String("S") || what == QLatin1String("Y")) {
        // The start-up's question and its answer; the lines that follow say what became of the day.
    } else {
        m_heardFaults << QStringLiteral("%1 dijo una línea no entendida: %2").arg(name, text);
    }
}

QStringList ServerLedger::check(const StoredShop& shop) const
{
    QStringList faults = m_heardFaults;

    // Every stored line, grouped by sale (till, FechaVenta) and by day (till, FechaInicio).
    struct Stored {
        std::vector<Line> lines;
        QString kind, day;
        bool inTemporal = false, inHistory = false, mixed = false;
    };
    std::map<std::pair<QString, QString>, Stored> sales;
    struct Day {
        double cash = 0, card = 0;
        QString lastSale;
        bool open = false, closed = false;
    };
    std::map<std::pair<QString, QString>, Day> days;
    QMap<QString, double> taken;
    QMap<QString, QString> earliestOpenSale; // by till
    for (const bool history : {false, true}) {
        for (const StoredLine& row : history ? shop.history : shop.open) {
            Stored& s = sales[{row.till, row.soldIso}];
            if (!s.lines.empty() && (s.kind != row.kind || s.day != row.dayIso))
                s.mixed = true;
            s.kind = row.kind;
            s.day = row.dayIso;
            s.lines.push_back({row.code, row.quantity, row.amount});
            (history ? s.inHistory : s.inTemporal) = true;
            Day& d = days[{row.till, row.dayIso}];
            (row.kind == QLatin1String("EFECTIVO") ? d.cash : d.card) += row.amount;
            d.lastSale = std::max(d.lastSale, row.soldIso);
            (history ? d.closed : d.open) = true;
            taken[row.code] += row.quantity;
            QString& earliest = earliestOpenSale[row.till];
            if (!history && (earliest.isEmpty() || row.soldIso < earliest))
                earliest = row.soldIso;
        }
    }

    // Sales: each stored one was begun by its till and is there whole, exactly once.
    for (const auto& [key, s] : sales) {
        const auto& [tillName, sold] = key;
        const auto till = m_tills.constFind(tillName);
        const auto known = till == m_tills.constEnd() ? QHash<QString, Sale>::const_iterator()
                                                      : till->sales.constFind(sold);
        if (till == m_tills.constEnd() || known == till->sales.constEnd()) {
            faults << QStringLiteral("hay una venta de «%1» que nadie empezó (FechaVenta %2)").arg(tillName, sold);
            continue;
        }
        if (s.inTemporal && s.inHistory)
            faults << QStringLiteral("la venta %1 de «%2» está a la vez en Temporal y en Recaudacion").arg(sold, tillName);
        bool whole = !s.mixed && s.kind == known->kind && s.lines.size() == known->lines.size();
        for (std::size_t i = 0; whole && i < s.lines.size(); ++i) {
            whole = s.lines[i].code == known->lines[i].code && same(s.lines[i].quantity, known->lines[i].quantity) &&
                    same(s.lines[i].amount, known->lines[i].amount);
        }
        if (!whole)
            faults << QStringLiteral("la venta %1 de «%2» no está entera o está repetida: %3 líneas guardadas, %4 vendidas")
                          .arg(sold, tillName)
                          .arg(s.lines.size())
                          .arg(known->lines.size());
        if (known->told == Sale::Told::NotStored)
            faults << QStringLiteral("la venta %1 de «%2» se informó como no guardada y está").arg(sold, tillName);
    }
    for (auto till = m_tills.constBegin(); till != m_tills.constEnd(); ++till) {
        for (auto sale = till->sales.constBegin(); sale != till->sales.constEnd(); ++sale) {
            if (sale->told == Sale::Told::Stored && sales.count({till.key(), sale.key()}) == 0)
                faults << QStringLiteral("la venta %1 de «%2» se informó como registrada y no está")
                              .arg(sale.key(), till.key());
        }
    }

    // Stock: each product down by exactly the units of the stored lines of both tills.
    for (auto it = m_startStock.constBegin(); it != m_startStock.constEnd(); ++it) {
        const double expected = it.value() - taken.value(it.key());
        if (!shop.stock.contains(it.key()))
            faults << QStringLiteral("el producto %1 no está").arg(it.key());
        else if (!same(shop.stock.value(it.key()), expected))
            faults << QStringLiteral("el producto %1 tiene stock %2 y las ventas guardadas de ambas cajas dejan %3")
                          .arg(it.key(), number(shop.stock.value(it.key())), number(expected));
    }
    for (auto it = taken.constBegin(); it != taken.constEnd(); ++it) {
        if (!m_startStock.contains(it.key()))
            faults << QStringLiteral("se vendió el producto %1, que no estaba al empezar").arg(it.key());
    }

    // Day rows: one per day of each till with sales, with the takings of its stored lines; a day
    // wholly open (closing stamp = its last sale) or wholly closed (by one of its till's closings).
    std::map<std::pair<QString, QString>, int> dayRows;
    for (const StoredDay& row : shop.days) {
        const std::pair<QString, QString> key{row.till, row.dayIso};
        ++dayRows[key];
        const auto found = days.find(key);
        if (found == days.end()) {
            faults << QStringLiteral("el día %1 de «%2» tiene fila en TipoPago y ninguna venta").arg(row.dayIso, row.till);
            continue;
        }
        const Day& d = found->second;
        if (!same(row.cash, d.cash) || !same(row.card, d.card))
            faults << QStringLiteral("el día %1 de «%2» tiene efectivo %3 y tarjeta %4, y sus ventas suman %5 y %6")
                          .arg(row.dayIso, row.till, number(row.cash), number(row.card), number(d.cash), number(d.card));
        const QStringList closings = m_tills.value(row.till).closings;
        if (d.open && d.closed)
            faults << QStringLiteral("el día %1 de «%2» está a medio cerrar: líneas en Temporal y en Recaudacion")
                          .arg(row.dayIso, row.till);
        else if (d.open && row.closedIso != d.lastSale)
            faults << QStringLiteral("el día abierto %1 de «%2» tiene FechaCierre %3 y su última venta es %4")
                          .arg(row.dayIso, row.till, row.closedIso, d.lastSale);
        else if (d.closed && (!closings.contains(row.closedIso) || row.closedIso <= d.lastSale))
            faults << QStringLiteral("el día cerrado %1 de «%2» tiene FechaCierre %3, que no es la de un cierre suyo")
                          .arg(row.dayIso, row.till, row.closedIso);
    }
    for (const auto& [key, d] : days) {
        if (dayRows[key] != 1)
            faults << QStringLiteral("el día %1 de «%2» tiene %3 filas en TipoPago").arg(key.second, key.first).arg(dayRows[key]);
    }
    // A closing told done left nothing its till sold before it in Temporal.
    for (auto till = m_tills.constBegin(); till != m_tills.constEnd(); ++till) {
        const QString earliest = earliestOpenSale.value(till.key());
        for (const QString& closedAt : till->closingsDone) {
            if (!earliest.isEmpty() && earliest < closedAt) {
                faults << QStringLiteral("el cierre %1 de «%2» se informó hecho y la venta %3 sigue en Temporal")
                              .arg(closedAt, till.key(), earliest);
                break;
            }
        }
    }
    return faults;
}

} // namespace tarvino::stress
