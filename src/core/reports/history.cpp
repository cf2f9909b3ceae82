// The takings history of closed sales days: the days on record, the months, years and categories to
// choose from, and the daily and monthly searches with every caption they show.
#include "reports/history.h"

#include "catalogue/products.h"
#include "common/numbers.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "data/query.h"

#include <QHash>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace tarvino {

namespace {

// The lines of one day (its opening stamp and its till, %1 being Database::tillOfRow), or of the
// days opened between two stamps, in the order the history lists
// them: by opening stamp, then as they were written. The FechaInicio index gives both orders, so
// only the day's or the month's lines are read and nothing is sorted.
const QString kLineasDelDia = QStringLiteral(
    "select CodigoProducto, NombreProducto, Cantidad, TotalCosto, TotalVenta, Categoria, TipoPago, "
    "FechaInicio, FechaVenta, NombreUsuario, %1 "
    "from Recaudacion where FechaInicio = ? and %1 = ? order by FechaInicio, rowid");
const QString kLineasEntre = QStringLiteral(
    "select CodigoProducto, NombreProducto, Cantidad, TotalCosto, TotalVenta, Categoria, TipoPago, "
    "FechaInicio, FechaVenta, NombreUsuario, %1 "
    "from Recaudacion where FechaInicio >= ? and FechaInicio < ? order by FechaInicio, rowid");
// The sales paid part in cash, part by card, of one day or of the days between two stamps.
const QString kMixtosDelDia = QStringLiteral(
    "select FechaInicio, FechaVenta, NombreUsuario, %1, Total, Efectivo from PagosVenta "
    "where TipoPago = 'MIXTO' and FechaInicio = ? and %1 = ?");
const QString kMixtosEntre = QStringLiteral(
    "select FechaInicio, FechaVenta, NombreUsuario, %1, Total, Efectivo from PagosVenta "
    "where TipoPago = 'MIXTO' and FechaInicio >= ? and FechaInicio < ?");
const QString kHayLineas = QStringLiteral("select exists (select 1 from Recaudacion)");
const QString kDiaRow = QStringLiteral(
    "select efectivo, tarjeta, FechaCierre from TipoPago where FechaInicio = ? and %1 = ? "
    "order by FechaInicio, rowid limit 1");
const QString kDiasEntre = QStringLiteral(
    "select efectivo, tarjeta from TipoPago where FechaInicio >= ? and FechaInicio < ? "
    "order by FechaInicio, rowid");
const QString kDias =
    QStringLiteral("select FechaInicio, %1 from TipoPago order by FechaInicio, rowid");

// The payment kinds as a line stores them.
const QByteArray kEfectivo = QByteArrayLiteral("EFECTIVO");
const QByteArray kTarjeta = QByteArrayLiteral("TARJETA");
const QByteArray kMixto = QByteArrayLiteral("MIXTO");

enum LineColumn {
    kCodigo, kNombre, kCantidad, kTotalCosto, kTotalVenta, kCategoria, kTipoPago,
    kFechaInicio, kFechaVenta, kNombreUsuario, kCaja
};

// The stored form of a stamp chosen from the list; a stored text that is no timestamp was listed as
// it is and is looked for as it is.
QString storedStamp(const QString& stamp)
{
    return stampToIso(stamp).value_or(stamp);
}

// A number as the list holds it: written as plain number text (15 significant digits) and read
// back, so that merged amounts come out exactly as a list of text cells adds them up.
double asListed(double value)
{
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
    double listed = value;
    std::from_chars(text, written.ptr, listed);
    return listed;
}

// The rows of a search as they are built: a line of a code already listed is added to its row,
// any other line becomes a new row at the end.
class HistoryRows final {
public:
    explicit HistoryRows(std::vector<HistoryLine>& lines) : m_lines(lines) {}

    void MergeHistoryLine(const Query& line, const QLocale& locale)
    {
        const QString code = line.text(kCodigo, locale);
        const auto found = m_rowOfCode.constFind(code);
        if (found == m_rowOfCode.constEnd()) {
            AppendHistoryLine(line, code, locale);
            return;
        }
        HistoryLine& row = m_lines[size_t(*found)];
        row.quantity = asListed(row.quantity + line.number(kCantidad, locale));
        row.cost = asListed(row.cost + line.number(kTotalCosto, locale));
        row.sale = asListed(row.sale + line.number(kTotalVenta, locale));
    }

private:
    void AppendHistoryLine(const Query& line, const QString& code, const QLocale& locale)
    {
        m_rowOfCode.insert(code, qsizetype(m_lines.size()));
        m_lines.push_back({code, line.text(kNombre, locale), asListed(line.number(kCantidad, locale)),
                           asListed(line.number(kTotalCosto, locale)),
                           asListed(line.number(kTotalVenta, locale)), line.text(kCategoria, locale)});
    }

    std::vector<HistoryLine>& m_lines;
    QHash<QString, qsizetype> m_rowOfCode;
};

QString money(double value, const QLocale& locale)
{
    return formatPicture(value, historyTexts::kPictureMoney, locale);
}

struct Totals {
    double cost = 0;
    double sale = 0;
    double cash = 0; // what the counted lines took in cash and by card
    double card = 0;
};

// The share of each split sale that was paid in cash, to divide the lines of a split sale between
// cash and card as the sale itself was divided: the lines of all categories then add up to the
// day rows' efectivo and tarjeta, as the lines of cash and card sales always did.
class SplitShares final {
public:
    // Reads the split sales of the rows the query finds (see kMixtosDelDia, kMixtosEntre).
    void read(Query& payments)
    {
        while (payments.next()) {
            const double total = payments.number(4);
            m_sales[key(payments, 0, 2, 3)].push_back(
                {stampToIso(payments.stamp(1)).value_or(QString()),
                 total != 0 ? payments.number(5) / total : 0.0});
        }
        for (auto& sales : m_sales)
            std::sort(sales.begin(), sales.end());
    }

    // The cash share of a split sale's line: that of the last split sale of its day, till and
    // cashier begun at or before the line's stamp, since a sale's lines are stamped from its
    // payment's stamp on and a till sells one sale after another. Nothing is known of a line
    // without its payment (one written by another tool): it counts as neither.
    std::optional<double> cashShare(const Query& line) const
    {
        const auto found = m_sales.constFind(key(line, kFechaInicio, kNombreUsuario, kCaja));
        if (found == m_sales.constEnd())
            return std::nullopt;
        const QString when = stampToIso(line.stamp(kFechaVenta)).value_or(QString());
        const auto after = std::upper_bound(found->begin(), found->end(), std::pair{when, 2.0});
        if (after == found->begin())
            return std::nullopt;
        return std::prev(after)->second;
    }

private:
    static QString key(const Query& row, int day, int user, int till)
    {
        return QStringList{row.stamp(day), row.text(user), row.text(till)}.join(QChar(0x1f));
    }

    QHash<QString, std::vector<std::pair<QString, double>>> m_sales;
};

// Whether a text column holds exactly these UTF-8 bytes (NULL counts as empty). Compared as stored,
// so that a month's lines are not each turned into a string just to be passed over.
bool holds(const Query& row, int column, const QByteArray& utf8)
{
    const auto cell = row.cell(column); // a number's digits live in the cell
    const QUtf8StringView text = cell.utf8();
    return text.size() == utf8.size() &&
           (text.empty() || std::memcmp(text.data(), utf8.constData(), size_t(text.size())) == 0);
}

// Walks the lines of a search, keeping those of the category, into rows and totals. Only with one
// category are the lines' payment kinds counted: for every category the day rows tell.
Totals collectLines(Query& lines, const CategoryFilter& category, const SplitShares& splits,
                    const QLocale& locale, std::vector<HistoryLine>& rows)
{
    const QByteArray wanted = category ? category->toUtf8() : QByteArray();
    Totals totals;
    HistoryRows merged(rows);
    while (lines.next()) {
        if (category && !holds(lines, kCategoria, wanted))
            continue;
        merged.MergeHistoryLine(lines, locale);
        const double sale = lines.number(kTotalVenta, locale);
        totals.cost += lines.number(kTotalCosto, locale);
        totals.sale += sale;
        if (!category)
            continue;
        if (holds(lines, kTipoPago, kEfectivo))
            totals.cash += sale;
        else if (holds(lines, kTipoPago, kTarjeta))
            totals.card += sale;
        else if (holds(lines, kTipoPago, kMixto)) {
            if (const auto share = splits.cashShare(lines)) {
                totals.cash += sale * *share;
                totals.card += sale * (1.0 - *share);
            }
        }
    }
    return totals;
}

void setAmountLabels(HistoryResult& result, const Totals& totals, const QLocale& locale)
{
    result.label6 = QStringLiteral("Costo Total ") + money(totals.cost, locale);
    result.label7 = QStringLiteral("Venta Total ") + money(totals.sale, locale);
    result.label8 = QStringLiteral("Utilidad ") + money(totals.sale - totals.cost, locale);
}

void setPaymentLabels(HistoryResult& result, double cash, double card, const QLocale& locale)
{
    result.label9 = QStringLiteral("Efectivo ") + money(cash, locale);
    result.label11 = QStringLiteral("Tarjeta ") + money(card, locale);
}

// " dd/mm/yyyy a las hh:mm hrs. " for a stamp; empty when it is none.
QString whenText(const QString& stamp)
{
    const auto when = readStamp(stamp);
    if (!when)
        return {};
    return dateText(*when) + QStringLiteral(" a las ") + shortTimeText(*when) + QStringLiteral(" hrs. ");
}

} // namespace

const QStringList& monthNames()
{
    static const QStringList names = {
        QStringLiteral("Enero"),   QStringLiteral("Febrero"), QStringLiteral("Marzo"),
        QStringLiteral("Abril"),   QStringLiteral("Mayo"),    QStringLiteral("Junio"),
        QStringLiteral("Julio"),   QStringLiteral("Agosto"),  QStringLiteral("Septiembre"),
        QStringLiteral("Octubre"), QStringLiteral("Noviembre"), QStringLiteral("Diciembre")};
    return names;
}

QString monthNumber(const QString& name)
{
    const qsizetype index = monthNames().indexOf(name);
    return index < 0 ? QString() : QStringLiteral("%1").arg(index + 1, 2, 10, QLatin1Char('0'));
}

QStringList historyYears(const QStringList& days, int currentYear)
{
    int earliest = currentYear;
    int latest = currentYear;
    for (const QString& day : days) {
        if (const auto when = readStamp(day)) {
            earliest = std::min(earliest, when->date().year());
            latest = std::max(latest, when->date().year());
        }
    }
    QStringList years;
    for (int year = latest; year >= earliest; --year)
        years << QString::number(year);
    return years;
}

HistoryChoices historyChoices(Database& db, const QDate& today)
{
    ShopWideReads shopWide(db);
    HistoryChoices choices;
    {
        Query days(db, kDias.arg(db.tillOfRow()));
        while (days.next()) {
            const QString day = days.stamp(0);
            if (!day.isEmpty()) {
                choices.days << day;
                choices.tills << days.text(1);
            }
        }
    }
    choices.years = historyYears(choices.days, today.year());
    choices.categories = productCategories(db);
    choices.categories << historyTexts::kTodas;
    return choices;
}

QStringList HistoryChoices::dayItems() const
{
    QStringList items;
    for (qsizetype i = 0; i < days.size(); ++i) {
        const QString till = tills.value(i);
        items << (till.isEmpty() ? days[i] : QStringLiteral("%1 (%2)").arg(days[i], till));
    }
    return items;
}

QString HistoryResult::cell(qsizetype row, int column, const QLocale& locale) const
{
    if (row < 0 || row >= qsizetype(lines.size()))
        return {};
    const HistoryLine& line = lines[size_t(row)];
    switch (column) {
    case 0:
        return QString::number(row + 1);
    case 1:
        return line.code;
    case 2:
        return line.name;
    case 3:
        return plainNumber(line.quantity, locale);
    case 4:
        return plainNumber(line.cost, locale);
    case 5:
        return plainNumber(line.sale, locale);
    case 6:
        return line.category;
    default:
        return {};
    }
}

HistoryResult dailySearch(Database& db, const QString& day, const QString& till,
                          const CategoryFilter& category, const QLocale& locale)
{
    ShopWideReads shopWide(db);
    HistoryResult result;
    const QString stored = storedStamp(day);
    // Never a null text, which would be bound as NULL and match no row.
    const QString ofTill = till.isNull() ? QStringLiteral("") : till;
    Totals totals;
    SplitShares splits;
    if (category) {
        Query payments(db, kMixtosDelDia.arg(db.tillOfRow()), {stored, ofTill});
        splits.read(payments);
    }
    {
        Query lines(db, kLineasDelDia.arg(db.tillOfRow()), {stored, ofTill});
        totals = collectLines(lines, category, splits, locale, result.lines);
    }
    setAmountLabels(result, totals, locale);

    double cash = 0;
    double card = 0;
    {
        Query row(db, kDiaRow.arg(db.tillOfRow()), {stored, ofTill});
        if (row.next()) {
            cash = row.number(0, locale);
            card = row.number(1, locale);
            // A day row always carries its closing (or last sale) time; one made by another tool
            // without it shows the opening alone.
            const QString closing = whenText(row.stamp(2));
            result.label4 = QStringLiteral("APERTURA:  ") + whenText(day);
            if (!closing.isEmpty())
                result.label4 += QStringLiteral(" CIERRE:  ") + closing;
        }
    }
    if (category) {
        cash = totals.cash;
        card = totals.card;
    }
    setPaymentLabels(result, cash, card, locale);
    return result;
}

HistoryResult monthlySearch(Database& db, const QString& monthName, const QString& year,
                            const CategoryFilter& category, const QLocale& locale)
{
    HistoryResult result;
    const QString month = monthNumber(monthName);
    // The month's stamps are those from its first second to the next month's first, in the
    // stored ISO form: the file compares them as text, in the same order as a server compares
    // them as timestamps.
    bool isYear = false;
    const int yearNumber = year.toInt(&isYear);
    const QDate first = isYear && !month.isEmpty() ? QDate(yearNumber, month.toInt(), 1) : QDate();
    const bool anyMonth = first.isValid();
    const QString from = anyMonth ? isoText(first.startOfDay()) : QString();
    const QString until = anyMonth ? isoText(first.addMonths(1).startOfDay()) : QString();
    // The history is the whole shop's: on a server, every till's days and lines.
    ShopWideReads shopWide(db);

    bool anyLines = false;
    {
        Query exists(db, kHayLineas);
        anyLines = exists.next() && exists.number(0) != 0;
    }
    Totals totals;
    if (anyLines) {
        if (anyMonth) {
            SplitShares splits;
            if (category) {
                Query payments(db, kMixtosEntre.arg(db.tillOfRow()), {from, until});
                splits.read(payments);
            }
            Query lines(db, kLineasEntre.arg(db.tillOfRow()), {from, until});
            totals = collectLines(lines, category, splits, locale, result.lines);
        }
        setAmountLabels(result, totals, locale);
        result.label4 = QStringLiteral("Ventas realizadas en ") + monthName + QStringLiteral(" del ") + year;
    }

    double cash = 0;
    double card = 0;
    if (category) {
        cash = totals.cash;
        card = totals.card;
    } else if (anyMonth) {
        Query days(db, kDiasEntre, {from, until});
        while (days.next()) {
            cash += days.number(0, locale);
            card += days.number(1, locale);
        }
    }
    setPaymentLabels(result, cash, card, locale);
    return result;
}

} // namespace tarvino
