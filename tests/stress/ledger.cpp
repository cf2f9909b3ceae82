// What the tills of a shop said they did, and the check of the stored rows against it.
#include "stress/ledger.h"

#include "common/timestamps.h"

#include <set>

namespace tarvino::stress {

void Ledger::note(Till& till, const QString& iso)
{
    if (const auto when = readIso(iso); when && *when > till.lastTime)
        till.lastTime = *when;
}

void Ledger::beginRun(const QString& name)
{
    Till& till = m_tills[name]; // a till that has not said anything yet is still a till of the run
    till.phase = QStringLiteral("arranque");
    till.dayOpen = false;
    till.currentProduct.clear();
}

QDateTime Ledger::nextClock(const QString& till) const
{
    return m_tills.value(till).lastTime.addSecs(1);
}

void Ledger::hear(const QString& name, const QString& text)
{
    Till& till = m_tills[name];
    const QStringList f = text.split(QLatin1Char('|'));
    const QString what = f.value(0);
    const QString between = till.dayOpen ? QStringLiteral("entre operaciones") : QStringLiteral("arranque");
    if (what == QLatin1String("S")) {
        if (till.expectedStart && f.value(1) != *till.expectedStart)
            m_heardFaults << QStringLiteral("al arrancar «%1» se preguntó por el día «%2» y estaba abierto el día «%3»")
                                 .arg(name, f.value(1), *till.expectedStart);
        till.expectedStart.reset();
    } else if (what == QLatin1String("L")) {
        till.dayOpen = true;
        till.phase = QStringLiteral("entre operaciones");
        if (const auto when = readStamp(f.value(1)); when && *when > till.lastTime)
            till.lastTime = *when;
    } else if (what == QLatin1String("B") && f.size() >= 5) {
        Sale sale;
        sale.kind = f[2];
        sale.cashPart = f.value(5).toLongLong();
        for (const QString& cell : f[4].split(QLatin1Char(','))) {
            const QStringList parts = cell.split(QLatin1Char(':'));
            sale.lines.push_back({parts.value(0), parts.value(1).toDouble(), parts.value(2).toDouble()});
        }
        if (till.sales.contains(f[1]))
            m_heardFaults << QStringLiteral("«%1» empezó dos ventas con la FechaVenta %2").arg(name, f[1]);
        till.sales.insert(f[1], sale);
        ++till.counts.began;
        note(till, f[1]);
        till.phase = QStringLiteral("venta");
    } else if ((what == QLatin1String("R") || what == QLatin1String("W")) && till.sales.contains(f.value(1))) {
        till.sales[f[1]].told = Sale::Told::Stored;
        ++till.counts.stored;
        till.counts.splitSales += till.sales[f[1]].kind == QLatin1String("MIXTO") ? 1 : 0;
        till.counts.storedDespiteFailure += what == QLatin1String("W") ? 1 : 0;
        till.phase = between;
    } else if (what == QLatin1String("N") && till.sales.contains(f.value(1))) {
        till.sales[f[1]].told = Sale::Told::NotStored;
        ++till.counts.notStored;
        till.phase = between;
    } else if (what == QLatin1String("U") && till.sales.contains(f.value(1))) {
        till.sales[f[1]].told = Sale::Told::Unknown;
        ++till.counts.unknown;
        till.phase = between;
    } else if (what == QLatin1String("C")) {
        till.closings << f.value(1);
        note(till, f.value(1));
        till.phase = QStringLiteral("cierre");
    } else if (what == QLatin1String("c")) {
        till.closingsDone << f.value(1);
        ++till.counts.closings;
        till.phase = between;
    } else if (const qsizetype k = QStringLiteral("OMAoma").indexOf(what); what.size() == 1 && k >= 0 && (k > 2 || f.size() == 4)) {
        // The drawer's acts begun (O, M, A) and stored (o, m, a); an opening cash, keyed by its day, may be retried.
        Act& act = (k % 3 == 0 ? till.openingActs : k % 3 == 1 ? till.movementActs : till.countActs)[f.value(k % 3 ? 1 : 2)];
        act.told = k > 2 ? Act::Told::Stored : Act::Told::Nothing;
        act.seen = act.seen == Act::Seen::Absent ? Act::Seen::NotYet : act.seen;
        if (k > 2)
            ++(k == 3 ? till.counts.openings : k == 4 ? till.counts.movements : till.counts.countCloses);
        else
            act.day = f[2], act.amounts.push_back(f[3].toLongLong()), note(till, f[1]);
        if (k % 3 == 2)
            (k > 2 ? till.closingsDone : till.closings) << f[1];
        till.phase = k > 2 ? between : QStringLiteral("fondo de caja|movimiento|arqueo y cierre").split(QLatin1Char('|'))[k];
    } else if ((what == QLatin1String("P") && f.size() == 10) || (what == QLatin1String("D") && f.size() == 3)) {
        ProductOp op;
        op.deletion = what == QLatin1String("D");
        if (!op.deletion)
            op.version = {f[4], f[5].toDouble(), f[6].toDouble(), f[7].toDouble(), f[8].toDouble(), f[9]};
        m_productOps[f[2]].push_back(op);
        till.currentProduct = f[2];
        note(till, f[1]);
        till.phase = op.deletion ? QStringLiteral("eliminar producto") : QStringLiteral("guardar producto");
    } else if ((what == QLatin1String("p") || what == QLatin1String("x") || what == QLatin1String("d")) &&
               !m_productOps[till.currentProduct].empty()) {
        ProductOp& op = m_productOps[till.currentProduct].back();
        op.done = true;
        op.refused = what == QLatin1String("x");
        ++till.counts.productOps;
        till.phase = between;
    } else if (what == QLatin1String("K")) {
        if (f.value(1) == QLatin1String("sola")) {
            ++till.counts.reconnectedAlone;
        } else {
            ++till.counts.reconnectedByReopen;
            m_reopenCauses << f.value(2);
        }
    } else if (what == QLatin1String("Y")) {
        // The interrupted day goes on; the L line that follows names it.
    } else if (what == QLatin1String("F")) {
        m_heardFaults << QStringLiteral("«%1» no arrancó: %2").arg(name, f.value(1));
    } else if (what == QLatin1String("E")) {
        m_heardFaults << QStringLiteral("una operación de «%1» falló: %2").arg(name, f.value(1));
    } else {
        m_heardFaults << QStringLiteral("«%1» dijo una línea no entendida: %2").arg(name, text);
    }
}

QStringList Ledger::check(const StoredShop& shop)
{
    QStringList faults = m_heardFaults;
    m_heardFaults.clear();

    // Every stored line, grouped by sale (till, FechaVenta) and by day (till, FechaInicio).
    struct Stored {
        std::vector<Line> lines;
        QString kind, day;
        bool inTemporal = false, inHistory = false, mixed = false;
        qint64 total = 0; // in cents
        std::vector<const StoredCash*> payments;
    };
    std::map<std::pair<QString, QString>, Stored> sales;
    struct Day {
        double cash = 0, card = 0;
        double paidCash = 0, paidCard = 0; // by PagosVenta; a split sale's parts count in both
        QString lastSale;
        bool open = false, closed = false;
    };
    std::map<std::pair<QString, QString>, Day> days;
    std::map<QString, double> taken;          // units sold by product code
    QMap<QString, QString> earliestOpenSale;  // by till
    QMap<QString, QString> firstOpenDay;      // by till: the day of its first Temporal row
    for (const bool history : {false, true}) {
        for (const StoredLine& row : history ? shop.history : shop.open) {
            Stored& s = sales[{row.till, row.soldIso}];
            if (!s.lines.empty() && (s.kind != row.kind || s.day != row.dayIso))
                s.mixed = true;
            s.kind = row.kind;
            s.day = row.dayIso;
            s.lines.push_back({row.code, row.quantity, row.amount});
            s.total += toCents(row.amount);
            (history ? s.inHistory : s.inTemporal) = true;
            Day& d = days[{row.till, row.dayIso}];
            (row.kind == QLatin1String("EFECTIVO") ? d.cash : d.card) += row.kind == QLatin1String("MIXTO") ? 0 : row.amount;
            d.lastSale = std::max(d.lastSale, row.soldIso);
            (history ? d.closed : d.open) = true;
            taken[row.code] += row.quantity;
            if (history)
                continue;
            QString& earliest = earliestOpenSale[row.till];
            if (earliest.isEmpty() || row.soldIso < earliest)
                earliest = row.soldIso;
            if (!firstOpenDay.contains(row.till))
                firstOpenDay[row.till] = row.dayIso;
        }
    }

    // Payments: each of a stored sale, which has one, as it was charged.
    for (const StoredCash& p : shop.payments) {
        const auto sale = sales.find({p.till, p.key});
        if (sale == sales.end()) {
            faults << QStringLiteral("hay un pago de «%1» sin su venta (FechaVenta %2)").arg(p.till, p.key);
            continue;
        }
        sale->second.payments.push_back(&p);
        Day& d = days[{p.till, p.dayIso}];
        d.paidCash += p.amounts.at(1) / 100.0, d.paidCard += p.amounts.at(2) / 100.0;
        if (p.kind == QLatin1String("MIXTO"))
            d.cash += p.amounts.at(1) / 100.0, d.card += p.amounts.at(2) / 100.0;
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
        const qint64 cash = s.kind == QLatin1String("EFECTIVO") ? s.total : s.kind == QLatin1String("MIXTO") ? known->cashPart : 0;
        if (s.payments.size() != 1 || s.payments[0]->kind != s.kind || s.payments[0]->dayIso != s.day ||
            s.payments[0]->amounts != std::vector<qint64>{s.total, cash, s.total - cash})
            faults << QStringLiteral("el pago de la venta %1 de «%2» falta, está repetido o no es el de la venta").arg(sold, tillName);
    }
    // Every sale told stored is there, none told not stored is, and none comes or goes between
    // two checks.
    for (auto till = m_tills.begin(); till != m_tills.end(); ++till) {
        for (auto it = till->sales.begin(); it != till->sales.end(); ++it) {
            Sale& sale = it.value();
            const bool present = sales.count({till.key(), it.key()}) > 0;
            const QString which = QStringLiteral("la venta %1 de «%2»").arg(it.key(), till.key());
            if (!present && sale.told == Sale::Told::Stored)
                faults << which + QStringLiteral(" se informó como registrada y no está");
            else if (!present && sale.seen == Sale::Seen::Present)
                faults << which + QStringLiteral(" estaba guardada y desapareció");
            if (present && sale.told == Sale::Told::NotStored)
                faults << which + QStringLiteral(" se informó como no guardada y está");
            else if (present && sale.seen == Sale::Seen::Absent)
                faults << which + QStringLiteral(" no estaba y apareció después");
            // Each wrong answer is told once: from now on the sale counts as what was found.
            sale.seen = present ? Sale::Seen::Present : Sale::Seen::Absent;
            if (sale.told == (present ? Sale::Told::NotStored : Sale::Told::Stored))
                sale.told = Sale::Told::Nothing;
        }
    }

    // Day rows: one per day of each till with sales, with the takings of its stored lines; a day
    // wholly open (closing stamp = its last sale) or wholly closed (by one of its till's closings).
    std::map<std::pair<QString, QString>, int> dayRows;
    for (const StoredDay& row : shop.days) {
        const std::pair<QString, QString> key{row.till, row.dayIso};
        ++dayRows[key];
        const QString which = QStringLiteral("el día %1 de «%2»").arg(row.dayIso, row.till);
        const auto found = days.find(key);
        if (found == days.end()) {
            faults << which + QStringLiteral(" tiene fila en TipoPago y ninguna venta");
            continue;
        }
        const Day& d = found->second;
        if (!same(row.cash, d.cash) || !same(row.card, d.card) || !same(row.cash, d.paidCash) || !same(row.card, d.paidCard))
            faults << which + QStringLiteral(" tiene efectivo %1 y tarjeta %2, y sus ventas suman %3 y %4")
                                  .arg(number(row.cash), number(row.card), number(d.cash), number(d.card))
                                  + QStringLiteral(", y sus pagos %1 y %2").arg(number(d.paidCash), number(d.paidCard));
        const QStringList closings = m_tills.value(row.till).closings;
        if (d.open && d.closed)
            faults << which + QStringLiteral(" está a medio cerrar: líneas en Temporal y en Recaudacion");
        else if (d.open && row.closedIso != d.lastSale)
            faults << which + QStringLiteral(", abierto, tiene FechaCierre %1 y su última venta es %2")
                                  .arg(row.closedIso, d.lastSale);
        else if (d.closed && (!closings.contains(row.closedIso) || row.closedIso <= d.lastSale))
            faults << which + QStringLiteral(", cerrado, tiene FechaCierre %1, que no es la de un cierre suyo")
                                  .arg(row.closedIso);
    }
    for (const auto& [key, d] : days) {
        if (dayRows[key] != 1)
            faults << QStringLiteral("el día %1 de «%2» tiene %3 filas en TipoPago").arg(key.second, key.first).arg(dayRows[key]);
    }
    // A closing told done left nothing its till sold before it in Temporal. What the next start
    // of each till must ask about: the day of its first Temporal row, as the start finds it.
    for (auto till = m_tills.begin(); till != m_tills.end(); ++till) {
        const QString earliest = earliestOpenSale.value(till.key());
        for (const QString& closedAt : std::as_const(till->closingsDone)) {
            if (!earliest.isEmpty() && earliest < closedAt) {
                faults << QStringLiteral("el cierre %1 de «%2» se informó hecho y la venta %3 sigue en Temporal")
                              .arg(closedAt, till.key(), earliest);
                break;
            }
        }
        till->closingsDone.clear();
        const QString day = firstOpenDay.value(till.key());
        till->expectedStart = day.isEmpty() ? QString() : isoToStamp(day).value_or(day);
    }

    // The drawer: opening cash (keyed by its day), movements and counts, each stored row begun by
    // its till with what it holds, and there once.
    using Key = std::pair<QString, QString>;
    const auto hold = [&](const std::vector<StoredCash>& rows, QHash<QString, Act> Till::*acts, int told, const QString& what) {
        std::set<Key> found;
        for (const StoredCash& row : rows) {
            const QString which = QStringLiteral("%1 %2 de «%3»").arg(what, row.key, row.till);
            const Act act = (m_tills.value(row.till).*acts).value(row.key);
            const qint64 amount = row.amounts.at(told) * (row.kind == QLatin1String("RETIRO") ? -1 : 1);
            if (!found.insert({row.till, row.key}).second)
                faults << which + QStringLiteral(" está dos veces");
            if (act.day != row.dayIso || !act.amounts.contains(amount))
                faults << which + QStringLiteral(" no lo empezó su caja con el día %1 y el monto %2").arg(row.dayIso, number(amount / 100.0));
        }
        // As for sales above; a drawer's act is only ever told stored.
        for (auto till = m_tills.begin(); till != m_tills.end(); ++till) {
            for (auto [key, act] : ((*till).*acts).asKeyValueRange()) {
                const bool present = found.count({till.key(), key}) > 0;
                if (present ? act.seen == Act::Seen::Absent : act.told == Act::Told::Stored || act.seen == Act::Seen::Present)
                    faults << QStringLiteral("%1 %2 de «%3»: %4").arg(what, key, till.key(), present ? QStringLiteral("no se había encontrado y apareció después")
                                                                  : act.told == Act::Told::Stored ? QStringLiteral("la caja dijo que se guardó y no está")
                                                                                                  : QStringLiteral("se había encontrado y desapareció"));
                act.seen = present ? Act::Seen::Present : Act::Seen::Absent;
                act.told = present ? act.told : Act::Told::Nothing;
            }
        }
        return found;
    };
    hold(shop.openings, &Till::openingActs, 0, QStringLiteral("el fondo de caja del día"));
    hold(shop.movements, &Till::movementActs, 0, QStringLiteral("el movimiento"));
    const std::set<Key> counted = hold(shop.counts, &Till::countActs, 6, QStringLiteral("el arqueo"));

    // Each count adds up from its day's stored rows and went with its day's close; a day closed by
    // a count (as its opening cash or its day row says) has it; CajaInicial is the opening cash.
    std::map<Key, const StoredCash*> opening;
    std::map<Key, const StoredDay*> dayRow;
    std::map<Key, qint64> cashIn, cashOut;
    const auto closedBy = [&](const QString& till, const QString& day, const QString& closedIso) {
        if (m_tills.value(till).countActs.contains(closedIso) && !counted.count({till, closedIso}))
            faults << QStringLiteral("el día %1 de «%2» se cerró con el arqueo %3 y el arqueo no está").arg(day, till, closedIso);
    };
    for (const StoredCash& o : shop.openings)
        opening[{o.till, o.dayIso}] = &o, closedBy(o.till, o.dayIso, o.closedIso);
    for (const StoredDay& d : shop.days) {
        dayRow[{d.till, d.dayIso}] = &d, closedBy(d.till, d.dayIso, d.closedIso);
        const qint64 o = opening[{d.till, d.dayIso}] ? opening[{d.till, d.dayIso}]->amounts.at(0) : 0;
        if (toCents(d.opening) != o / 100 * 100)
            faults << QStringLiteral("el día %1 de «%2» tiene caja inicial %3 y su fondo de caja es %4")
                          .arg(d.dayIso, d.till, number(d.opening), number(o / 100.0));
    }
    for (const StoredCash& m : shop.movements)
        (m.kind == QLatin1String("RETIRO") ? cashOut : cashIn)[{m.till, m.dayIso}] += m.amounts.at(0);
    for (const StoredCash& c : shop.counts) {
        const Key day{c.till, c.dayIso};
        const StoredDay* row = dayRow[day];
        const StoredCash* o = opening[day];
        const std::vector<qint64>& a = c.amounts; // Fondo, Efectivo, Tarjeta, Ingresos, Retiros, Esperado, Contado, Diferencia
        const std::vector<qint64> rows{o ? o->amounts.at(0) : 0, row ? toCents(row->cash) : 0, row ? toCents(row->card) : 0,
                                       cashIn[day], cashOut[day], a.at(0) + a.at(1) + a.at(3) - a.at(4), a.at(6), a.at(6) - a.at(5)};
        const QString which = QStringLiteral("el arqueo %1 del día %2 de «%3»").arg(c.key, c.dayIso, c.till);
        const auto text = [](const std::vector<qint64>& v) { QStringList t; for (qint64 x : v) t << number(x / 100.0); return t.join(QLatin1Char('/')); };
        if (a != rows)
            faults << which + QStringLiteral(" guarda %1 y sus filas dicen %2").arg(text(a), text(rows));
        if ((days.count(day) && days[day].open) || (row && row->closedIso != c.key) || (o && o->closedIso != c.key))
            faults << which + QStringLiteral(" está sin su cierre");
    }
    checkProducts(shop, taken, faults);
    return faults;
}

void Ledger::checkProducts(const StoredShop& shop, const std::map<QString, double>& taken, QStringList& faults)
{
    std::map<QString, std::vector<Version>> found;
    for (const StoredProduct& p : shop.products)
        found[p.code].push_back({p.name, p.stock, p.cost, p.price, p.critical, p.category});

    // Products sold: each once, with its name, down by exactly the units of the stored lines.
    for (auto it = m_sold.constBegin(); it != m_sold.constEnd(); ++it) {
        const std::vector<Version>& rows = found[it.key()];
        const auto sold = taken.find(it.key());
        const double expected = it->stock - (sold == taken.end() ? 0 : sold->second);
        if (rows.size() != 1)
            faults << QStringLiteral("el producto %1 está %2 veces").arg(it.key()).arg(rows.size());
        else if (!same(rows[0].stock, expected))
            faults << QStringLiteral("el producto %1 tiene stock %2 y las ventas guardadas dejan %3")
                          .arg(it.key(), number(rows[0].stock), number(expected));
        else if (rows[0].name != it->name)
            faults << QStringLiteral("el producto %1 se llama «%2»").arg(it.key(), rows[0].name);
    }
    for (const auto& [code, units] : taken) {
        if (!m_sold.contains(code))
            faults << QStringLiteral("se vendió el producto %1, que no estaba al empezar").arg(code);
    }

    // Products of the editor: as the last reported save or deletion left each, or as the one in
    // progress left it; never a mix of two saves.
    std::set<QString> codes;
    for (const auto& [code, versions] : found)
        codes.insert(code);
    for (const auto& [code, ops] : m_productOps)
        codes.insert(code);
    for (const auto& [code, version] : m_products)
        codes.insert(code);
    for (const QString& code : codes) {
        if (m_sold.contains(code))
            continue;
        const std::vector<Version>& rows = found[code];
        if (rows.size() > 1) {
            faults << QStringLiteral("el producto %1 está %2 veces").arg(code).arg(rows.size());
            continue;
        }
        const std::optional<Version> now = rows.empty() ? std::nullopt : std::optional<Version>(rows[0]);
        const std::vector<ProductOp>& ops = m_productOps[code];
        std::vector<std::optional<Version>> states{m_products[code]};
        std::size_t lastDone = 0;
        for (std::size_t i = 0; i < ops.size(); ++i) {
            const ProductOp& op = ops[i];
            states.push_back(op.refused    ? states.back()
                             : op.deletion ? std::nullopt
                                           : std::optional<Version>(op.version));
            if (op.done)
                lastDone = i + 1;
        }
        bool allowed = false;
        for (std::size_t i = lastDone; i < states.size(); ++i)
            allowed = allowed || states[i] == now;
        if (!allowed)
            faults << QStringLiteral("el producto %1 no quedó como lo dejó ningún guardado ni eliminación: %2")
                          .arg(code, now ? now->name + QStringLiteral(" / ") + number(now->stock) + QStringLiteral(" / ") +
                                               number(now->price)
                                         : QStringLiteral("no está"));
        m_products[code] = now;
    }
    m_productOps.clear();
}

} // namespace tarvino::stress
