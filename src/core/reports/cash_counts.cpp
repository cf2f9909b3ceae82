// The owner's view of the drawer: the closed sales days of a period, every till's, with their
// counts, totals and daily figures.
#include "reports/cash_counts.h"

#include "common/timestamps.h"
#include "data/database.h"
#include "data/query.h"

#include <map>
#include <set>
#include <utility>

namespace tarvino {

namespace {

// A day of one till: its opening stamp as stored (ISO, so that the map's order is chronological)
// and its till.
using DayKey = std::pair<QString, QString>;

// Every read names the till of its rows with %1 (Database::tillOfRow) and takes the period's
// first second and the second after its last.
const QString kArqueos = QStringLiteral(
    "select FechaInicio, %1, Fondo, Efectivo, Tarjeta, Esperado, Contado, Diferencia "
    "from ArqueosCaja where FechaInicio >= ? and FechaInicio < ? order by FechaInicio, rowid");
const QString kDias = QStringLiteral(
    "select FechaInicio, %1, efectivo, tarjeta, CajaInicial from TipoPago "
    "where FechaInicio >= ? and FechaInicio < ? order by FechaInicio, rowid");
const QString kFondos = QStringLiteral(
    "select FechaInicio, %1, Monto, FechaCierre from FondoCaja "
    "where FechaInicio >= ? and FechaInicio < ? order by rowid");
const QString kMovimientos = QStringLiteral(
    "select FechaInicio, %1, Tipo, Monto from MovimientosCaja "
    "where FechaInicio >= ? and FechaInicio < ?");
// The days still open: their lines wait in Temporal until the close.
const QString kAbiertos = QStringLiteral("select distinct FechaInicio, %1 from Temporal");

const QString kRetiro = QStringLiteral("RETIRO");

DayKey keyOf(const Query& row)
{
    const QString stamp = row.stamp(0);
    return {stampToIso(stamp).value_or(stamp), row.text(1)};
}

QString dayText(const QDateTime& when)
{
    return when.isValid() ? dateText(when) + QLatin1Char(' ') + shortTimeText(when) : QString();
}

// The cash movements of each day of the period, net: cash in less cash out.
std::map<DayKey, Cents> netMovements(Database& db, const QVariant& from, const QVariant& until)
{
    std::map<DayKey, Cents> net;
    Query moves(db, kMovimientos.arg(db.tillOfRow()), {from, until});
    while (moves.next()) {
        const Cents amount = toCents(moves.number(3));
        net[keyOf(moves)] += moves.text(2) == kRetiro ? -amount : amount;
    }
    return net;
}

} // namespace

Period lastWeek(const QDate& today)
{
    return {today.addDays(-6), today};
}

QString periodProblem(const Period& period)
{
    if (!period.from.isValid() || !period.to.isValid() || period.from > period.to)
        return cashCountsTexts::kPeriodoAlReves;
    return {};
}

CashCounts cashCounts(Database& db, const Period& period)
{
    const QVariant from = isoText(period.from.startOfDay());
    const QVariant until = isoText(period.to.addDays(1).startOfDay());
    // The owner's view is the whole shop's: on a server, every till's days.
    ShopWideReads shopWide(db);
    const QString till = db.tillOfRow();

    std::map<DayKey, CountedDay> days;
    // A count is what the day closed with, as stored: nothing of it is worked out again.
    {
        Query counts(db, kArqueos.arg(till), {from, until});
        while (counts.next()) {
            const DayKey key = keyOf(counts);
            CountedDay& day = days[key];
            day.till = key.second;
            day.opened = readIso(key.first).value_or(QDateTime());
            day.opening = toCents(counts.number(2));
            day.cash = toCents(counts.number(3));
            day.card = toCents(counts.number(4));
            day.expected = toCents(counts.number(5));
            day.counted = toCents(counts.number(6));
            day.difference = toCents(counts.number(7));
        }
    }

    std::set<DayKey> open;
    {
        Query waiting(db, kAbiertos.arg(till));
        while (waiting.next())
            open.insert(keyOf(waiting));
    }
    // The days closed by the exit: those with a day row or an opening cash, neither counted nor
    // still open. The exact opening cash is FondoCaja's; a day row of an older program has only
    // its whole pesos.
    std::map<DayKey, CountedDay> uncounted;
    {
        Query rows(db, kDias.arg(till), {from, until});
        while (rows.next()) {
            CountedDay& day = uncounted[keyOf(rows)];
            day.cash = toCents(rows.number(2));
            day.card = toCents(rows.number(3));
            day.opening = Cents(rows.integer(4)) * 100;
        }
    }
    {
        Query openings(db, kFondos.arg(till), {from, until});
        while (openings.next()) {
            const DayKey key = keyOf(openings);
            if (openings.isNull(3))
                open.insert(key); // recorded for a day not closed yet, sold in or not
            uncounted[key].opening = toCents(openings.number(2));
        }
    }
    const std::map<DayKey, Cents> moved = netMovements(db, from, until);
    for (auto& [key, day] : uncounted) {
        if (days.contains(key) || open.contains(key))
            continue;
        day.till = key.second;
        day.opened = readIso(key.first).value_or(QDateTime());
        const auto net = moved.find(key);
        day.expected = day.opening + day.cash + (net == moved.end() ? 0 : net->second);
        days.emplace(key, day);
    }

    CashCounts result;
    for (auto& entry : days) {
        CountedDay& day = entry.second;
        CashCountsTotals& t = result.totals;
        t.opening += day.opening;
        t.cash += day.cash;
        t.card += day.card;
        t.expected += day.expected;
        if (day.counted) {
            t.counted += *day.counted;
            t.difference += day.difference.value_or(0);
        } else {
            ++t.uncounted;
        }
        result.days.push_back(std::move(day));
    }
    return result;
}

QString CashCounts::cell(qsizetype row, int column, const QLocale& locale) const
{
    if (row < 0 || row >= qsizetype(days.size()))
        return {};
    const CountedDay& day = days[size_t(row)];
    switch (column) {
    case 0:
        return day.till;
    case 1:
        return dayText(day.opened);
    case 2:
        return moneyText(day.opening, locale);
    case 3:
        return moneyText(day.cash, locale);
    case 4:
        return moneyText(day.card, locale);
    case 5:
        return moneyText(day.expected, locale);
    case 6:
        return day.counted ? moneyText(*day.counted, locale) : cashCountsTexts::kSinArqueo;
    case 7:
        return day.difference ? moneyText(*day.difference, locale) : QString();
    default:
        return {};
    }
}

QString CashCounts::daysText() const
{
    const int count = int(days.size());
    QString text = count == 1 ? QStringLiteral("1 día") : QStringLiteral("%1 días").arg(count);
    if (totals.uncounted > 0)
        text += QStringLiteral(", %1 %2").arg(totals.uncounted).arg(cashCountsTexts::kSinArqueo);
    return text;
}

QStringList CashCounts::foot(const QLocale& locale) const
{
    return {QString(),
            QStringLiteral("TOTALES"),
            moneyText(totals.opening, locale),
            moneyText(totals.cash, locale),
            moneyText(totals.card, locale),
            moneyText(totals.expected, locale),
            moneyText(totals.counted, locale),
            moneyText(totals.difference, locale)};
}

bool CashCounts::anyTill() const
{
    for (const CountedDay& day : days)
        if (!day.till.isEmpty())
            return true;
    return false;
}

std::vector<DailyFigures> CashCounts::daily() const
{
    std::map<QDate, DailyFigures> byDate;
    for (const CountedDay& day : days) {
        const QDate date = day.opened.date();
        DailyFigures& figures = byDate[date];
        figures.date = date;
        figures.cash += day.cash;
        figures.card += day.card;
        figures.difference += day.difference.value_or(0);
    }
    std::vector<DailyFigures> result;
    for (const auto& entry : byDate)
        result.push_back(entry.second);
    return result;
}

} // namespace tarvino
