// What a till said it did, and the check of the shop file against it after the till was stopped.
#include "stress/ledger.h"

#include "common/timestamps.h"
#include "data/database.h"
#include "data/schema.h"
#include "data/query.h"
#include "sales/sales_day.h"
#include "stress/till.h"

#include <QDir>
#include <QFile>

#include <cmath>
#include <set>

namespace tarvino::stress {

namespace {

// A copy of the files as they are: what a start after this instant would find. The check works
// on the copy, so that the next till meets the files exactly as the stop left them.
QString copyForCheck(const QString& folder)
{
    const QString copy = QDir(folder).filePath(QStringLiteral("../") + QDir(folder).dirName() +
                                               QStringLiteral("-check"));
    QDir(copy).removeRecursively();
    QDir().mkpath(copy);
    const QString source = QDir(folder).filePath(kDatabaseFileName);
    const QString target = QDir(copy).filePath(kDatabaseFileName);
    QFile::copy(source, target);
    if (QFile::exists(source + QStringLiteral("-wal")))
        QFile::copy(source + QStringLiteral("-wal"), target + QStringLiteral("-wal"));
    return target;
}

} // namespace

void Ledger::note(const QDateTime& when)
{
    if (when.isValid() && when > m_lastTime)
        m_lastTime = when;
}

void Ledger::noteIso(const QString& iso)
{
    if (const auto when = readIso(iso))
        note(*when);
}

void Ledger::beginRun()
{
    m_phase = QStringLiteral("arranque");
    m_dayOpen = false;
    m_currentProduct.clear();
}

void Ledger::hear(const QString& text)
{
    const QStringList f = text.split(QLatin1Char('|'));
    const QString what = f.value(0);
    const QString between = m_dayOpen ? QStringLiteral("entre operaciones") : QStringLiteral("arranque");
    if (what == QLatin1String("S")) {
        if (m_expectedStart && f.value(1) != *m_expectedStart)
            m_heardFaults << QStringLiteral("al arrancar se preguntó por el día «%1» y el archivo tenía "
                                            "abierto el día «%2»")
                                 .arg(f.value(1), *m_expectedStart);
        m_expectedStart.reset();
    } else if (what == QLatin1String("L")) {
        m_dayOpen = true;
        m_phase = QStringLiteral("entre operaciones");
        if (const auto when = readStamp(f.value(1)))
            note(*when);
    } else if (what == QLatin1String("B") && f.size() == 5) {
        Sale sale;
        sale.kind = f[2];
        for (const QString& cell : f[4].split(QLatin1Char(','))) {
            const QStringList parts = cell.split(QLatin1Char(':'));
            sale.lines.push_back({parts.value(0), parts.value(1).toDouble(), parts.value(2).toDouble()});
        }
        m_sales.insert(f[1], sale);
        noteIso(f[1]);
        m_phase = QStringLiteral("venta");
    } else if ((what == QLatin1String("R") || what == QLatin1String("W")) && m_sales.contains(f.value(1))) {
        m_sales[f[1]].reported = true;
        ++m_salesReported;
        if (what == QLatin1String("W"))
            ++m_toldStoredDespiteFailure;
        m_phase = between;
    } else if (what == QLatin1String("N") && m_sales.contains(f.value(1))) {
        m_sales[f[1]].toldAbsent = true;
        ++m_toldNotStored;
        m_phase = between;
    } else if (what == QLatin1String("U")) {
        ++m_outcomeUnknown;
        m_phase = between;
    } else if (what == QLatin1String("C")) {
        m_closings << f.value(1);
        noteIso(f.value(1));
        m_phase = QStringLiteral("cierre");
    } else if (what == QLatin1String("c")) {
        m_closingsDone << f.value(1);
        ++m_closingsReported;
        m_phase = between;
    } else if (what == QLatin1String("P") && f.size() == 10) {
        ProductOp op;
        op.version = {f[4], f[5].toDouble(), f[6].toDouble(), f[7].toDouble(), f[8].toDouble(), f[9]};
        m_productOps[f[2]].push_back(op);
        m_currentProduct = f[2];
        noteIso(f[1]);
        m_phase = QStringLiteral("guardar producto");
    } else if (what == QLatin1String("D") && f.size() == 3) {
        ProductOp op;
        op.deletion = true;
        m_productOps[f[2]].push_back(op);
        m_currentProduct = f[2];
        noteIso(f[1]);
        m_phase = QStringLiteral("eliminar producto");
    } else if ((what == QLatin1String("p") || what == QLatin1String("x") || what == QLatin1String("d")) &&
               !m_productOps[m_currentProduct].empty()) {
        ProductOp& op = m_productOps[m_currentProduct].back();
        op.done = true;
        op.refused = what == QLatin1String("x");
        ++m_productOpsReported;
        m_phase = between;
    } else if (what == QLatin1String("Y")) {
        // The interrupted day goes on; the L line that follows names it.
    } else if (what == QLatin1String("F")) {
        m_heardFaults << QStringLiteral("el programa no arrancó: ") + f.value(1);
    } else if (what == QLatin1String("E")) {
        m_heardFaults << QStringLiteral("una operación falló: ") + f.value(1);
    } else {
        m_heardFaults << QStringLiteral("línea no entendida: ") + text;
    }
}

QStringList Ledger::check(const QString& folder)
{
    QStringList faults = m_heardFaults;
    m_heardFaults.clear();
    Database db;
    try {
        db.open(copyForCheck(folder));
    } catch (const DbError& e) {
        return faults << QStringLiteral("el archivo no abre: ") + e.message();
    }
    try {
        {
            Query integrity(db, QStringLiteral("PRAGMA integrity_check"));
            while (integrity.next()) {
                if (integrity.text(0) != QLatin1String("ok"))
                    faults << QStringLiteral("integrity_check: ") + integrity.text(0);
            }
        }
        try {
            checkSchema(db);
        } catch (const DbError& e) {
            faults << QStringLiteral("el programa rechaza el archivo: ") + e.message();
        }

        // Every stored line, grouped by sale (FechaVenta) and by day (FechaInicio).
        struct Stored {
            std::vector<Line> lines;
            QString kind, day;
            bool inTemporal = false, inHistory = false;
            bool mixed = false;
        };
        std::map<QString, Stored> sales;
        struct Day {
            double cash = 0, card = 0;
            QString lastSale;
            bool open = false, closed = false;
        };
        std::map<QString, Day> days;
        std::map<QString, double> taken; // units sold per product code
        QString earliestOpenSale;
        for (const bool history : {false, true}) {
            Query rows(db, history ? QStringLiteral("select CodigoProducto, Cantidad, TotalVenta, TipoPago, "
                                                            "FechaInicio, FechaVenta from Recaudacion order by rowid")
                                           : QStringLiteral("select CodigoProducto, Cantidad, TotalVenta, TipoPago, "
                                                            "FechaInicio, FechaVenta from Temporal order by rowid"));
            while (rows.next()) {
                const QString sold = rows.text(5);
                Stored& s = sales[sold];
                if (!s.lines.empty() && (s.kind != rows.text(3) || s.day != rows.text(4)))
                    s.mixed = true;
                s.kind = rows.text(3);
                s.day = rows.text(4);
                s.lines.push_back({rows.text(0), rows.number(1), rows.number(2)});
                (history ? s.inHistory : s.inTemporal) = true;
                Day& d = days[s.day];
                (s.kind == QLatin1String("EFECTIVO") ? d.cash : d.card) += rows.number(2);
                d.lastSale = std::max(d.lastSale, sold);
                (history ? d.closed : d.open) = true;
                taken[rows.text(0)] += rows.number(1);
                if (!history && (earliestOpenSale.isEmpty() || sold < earliestOpenSale))
                    earliestOpenSale = sold;
            }
        }

        // Sales: each one stored whole or not at all, and every reported one stored.
        for (const auto& [sold, s] : sales) {
            const auto known = m_sales.constFind(sold);
            if (known == m_sales.constEnd()) {
                faults << QStringLiteral("hay una venta que nadie registró (FechaVenta %1)").arg(sold);
                continue;
            }
            if (s.inTemporal && s.inHistory)
                faults << QStringLiteral("la venta %1 está a la vez en Temporal y en Recaudacion").arg(sold);
            bool whole = !s.mixed && s.kind == known->kind && s.lines.size() == known->lines.size();
            for (std::size_t i = 0; whole && i < s.lines.size(); ++i) {
                whole = s.lines[i].code == known->lines[i].code &&
                        same(s.lines[i].quantity, known->lines[i].quantity) &&
                        same(s.lines[i].amount, known->lines[i].amount);
            }
            if (!whole)
                faults << QStringLiteral("la venta %1 no está entera o está repetida: %2 líneas guardadas, "
                                         "%3 vendidas")
                              .arg(sold)
                              .arg(s.lines.size())
                              .arg(known->lines.size());
        }
        for (auto it = m_sales.begin(); it != m_sales.end(); ++it) {
            Sale& sale = it.value();
            const bool present = sales.count(it.key()) > 0;
            if (!present && sale.reported)
                faults << QStringLiteral("la venta %1 se informó como registrada y no está").arg(it.key());
            else if (!present && sale.seen == Sale::Seen::Present)
                faults << QStringLiteral("la venta %1 estaba guardada y desapareció").arg(it.key());
            if (present && sale.toldAbsent)
                faults << QStringLiteral("la venta %1 se informó como no guardada y está en el archivo").arg(it.key());
            else if (present && sale.seen == Sale::Seen::Absent)
                faults << QStringLiteral("la venta %1 no estaba y apareció después").arg(it.key());
            // Each loss is told once: from now on the sale counts as absent.
            sale.seen = present ? Sale::Seen::Present : Sale::Seen::Absent;
            sale.reported = sale.reported && present;
        }

        // Stock: each product sold is down by exactly the units of the stored lines.
        std::map<QString, int> soldRows;
        {
            Query products(db, QStringLiteral("select CodigoProducto, Cantidad, NombreProducto from Productos"));
            while (products.next()) {
                for (const SoldProduct& p : soldProducts()) {
                    if (products.text(0) != p.code)
                        continue;
                    ++soldRows[p.code];
                    const double expected = kSoldStock - taken[p.code];
                    if (!same(products.number(1), expected) || products.text(2) != p.name)
                        faults << QStringLiteral("el producto %1 tiene stock %2 y sus ventas guardadas dejan %3")
                                      .arg(p.code, number(products.number(1)), number(expected));
                }
            }
        }
        for (const SoldProduct& p : soldProducts()) {
            if (soldRows[p.code] != 1)
                faults << QStringLiteral("el producto %1 está %2 veces").arg(p.code).arg(soldRows[p.code]);
        }

        // Day rows: one per day with sales, with the takings of its stored lines; a day wholly
        // open (closing stamp = its last sale) or wholly closed (closing stamp = a closing's).
        std::map<QString, int> dayRows;
        {
            Query rows(db, QStringLiteral("select FechaInicio, efectivo, tarjeta, CajaInicial, FechaCierre "
                                                  "from TipoPago"));
            while (rows.next()) {
                const QString day = rows.text(0);
                ++dayRows[day];
                const auto found = days.find(day);
                if (found == days.end()) {
                    faults << QStringLiteral("el día %1 tiene fila en TipoPago y ninguna venta").arg(day);
                    continue;
                }
                const Day& d = found->second;
                if (!same(rows.number(1), d.cash) || !same(rows.number(2), d.card))
                    faults << QStringLiteral("el día %1 tiene efectivo %2 y tarjeta %3, y sus ventas suman %4 y %5")
                                  .arg(day, number(rows.number(1)), number(rows.number(2)), number(d.cash),
                                       number(d.card));
                if (rows.number(3) != 0)
                    faults << QStringLiteral("el día %1 tiene caja inicial %2").arg(day, number(rows.number(3)));
                const QString closedAt = rows.text(4);
                if (d.open && d.closed)
                    faults << QStringLiteral("el día %1 está a medio cerrar: líneas en Temporal y en Recaudacion").arg(day);
                else if (d.open && closedAt != d.lastSale)
                    faults << QStringLiteral("el día abierto %1 tiene FechaCierre %2 y su última venta es %3")
                                  .arg(day, closedAt, d.lastSale);
                else if (d.closed && (!m_closings.contains(closedAt) || closedAt <= d.lastSale))
                    faults << QStringLiteral("el día cerrado %1 tiene FechaCierre %2, que no es la de un cierre")
                                  .arg(day, closedAt);
            }
        }
        for (const auto& [day, d] : days) {
            if (dayRows[day] != 1)
                faults << QStringLiteral("el día %1 tiene %2 filas en TipoPago").arg(day).arg(dayRows[day]);
        }
        // A reported closing left nothing sold before it in Temporal.
        for (const QString& closedAt : std::as_const(m_closingsDone)) {
            if (!earliestOpenSale.isEmpty() && earliestOpenSale < closedAt)
                faults << QStringLiteral("el cierre %1 se informó hecho y la venta %2 sigue en Temporal")
                              .arg(closedAt, earliestOpenSale);
        }
        m_closingsDone.clear();

        // Products of the editor: as the last reported save or deletion left each, or as the one
        // in progress left it; never a mix of two saves.
        std::map<QString, std::vector<Version>> found;
        {
            Query rows(db, QStringLiteral("select CodigoProducto, NombreProducto, Cantidad, PrecioCosto, "
                                                  "PrecioVenta, StockCritico, Categoria from Productos "
                                                  "where CodigoProducto like '9%'"));
            while (rows.next()) {
                found[rows.text(0)].push_back(
                    {rows.text(1), rows.number(2), rows.number(3), rows.number(4), rows.number(5), rows.text(6)});
            }
        }
        std::set<QString> codes;
        for (int i = 0; i < kEditorCodes; ++i)
            codes.insert(editorCode(i));
        for (const auto& [code, versions] : found)
            codes.insert(code);
        for (const QString& code : codes) {
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
                states.push_back(op.refused ? states.back()
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

        // What the next start must ask about: the day of the first Temporal row, as the start finds it.
        m_expectedStart = firstTemporalStamp(db).value_or(QString());
    } catch (const DbError& e) {
        faults << QStringLiteral("no se pudo leer el archivo: ") + e.message();
    }
    db.close();
    return faults;
}

} // namespace tarvino::stress
