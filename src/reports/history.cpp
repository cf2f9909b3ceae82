// The takings history of closed sales days: the days on record, the months, years and categories to
// choose from, and the daily and monthly searches with every caption they show.
#include "reports/history.h"

#include "catalogue/products.h"
#include "common/numbers.h"
#include "common/timestamps.h"
#include "data/database.h"

#include <QHash>

#include <sqlite3.h>

#include <algorithm>
#include <charconv>

namespace tarvino {

namespace {

// The lines of one day, or of the days opened between two stamps, in the order the history lists
// them: by opening stamp, then as they were written. The FechaInicio index gives both orders, so
// only the day's or the month's lines are read and nothing is sorted.
const QString kLineasDelDia = QStringLiteral(
    "select CodigoProducto, NombreProducto, Cantidad, TotalCosto, TotalVenta, Categoria, TipoPago "
    "from Recaudacion where FechaInicio = ? order by FechaInicio, rowid");
const QString kLineasEntre = QStringLiteral(
    "select CodigoProducto, NombreProducto, Cantidad, TotalCosto, TotalVenta, Categoria, TipoPago "
    "from Recaudacion where FechaInicio >= ? and FechaInicio < ? order by FechaInicio, rowid");
const QString kHayLineas = QStringLiteral("select exists (select 1 from Recaudacion)");
const QString kDiaRow = QStringLiteral(
    "select efectivo, tarjeta, FechaCierre from TipoPago where FechaInicio = ? "
    "order by FechaInicio, rowid limit 1");
const QString kDiasEntre = QStringLiteral(
    "select efectivo, tarjeta from TipoPago where FechaInicio >= ? and FechaInicio < ? "
    "order by FechaInicio, rowid");
const QString kDias = QStringLiteral("select FechaInicio from TipoPago order by FechaInicio, rowid");

const QString kEfectivo = QStringLiteral("EFECTIVO");
const QString kTarjeta = QStringLiteral("TARJETA");

enum LineColumn { kCodigo, kNombre, kCantidad, kTotalCosto, kTotalVenta, kCategoria, kTipoPago };

// Steps one statement and resets it however the walk ends, so no read stays open on the file.
class Walk final {
public:
    Walk(Database& db, const QString& sql, const QStringList& params = {})
        : m_db(db), m_stmt(db.statement(sql))
    {
        for (int i = 0; i < params.size(); ++i)
            Database::bind(m_stmt, i + 1, params[i]);
    }
    ~Walk() { sqlite3_reset(m_stmt); }
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    bool next()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            m_db.raise(rc);
        return false;
    }

    bool isNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }

    // A column as a record set reads it: numbers as plain number text, NULL as empty.
    QString text(int column, const QLocale& locale) const
    {
        switch (sqlite3_column_type(m_stmt, column)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_FLOAT:
            return plainNumber(sqlite3_column_double(m_stmt, column), locale);
        case SQLITE_INTEGER:
            return QString::number(sqlite3_column_int64(m_stmt, column));
        default:
            return rawText(column);
        }
    }

    // A column as a number: NULL is 0; a text must read as a number in the locale.
    double number(int column, const QLocale& locale) const
    {
        switch (sqlite3_column_type(m_stmt, column)) {
        case SQLITE_NULL:
            return 0;
        case SQLITE_FLOAT:
        case SQLITE_INTEGER:
            return sqlite3_column_double(m_stmt, column);
        default:
            if (const auto n = readNumber(rawText(column), locale))
                return *n;
            throw DbError(QStringLiteral("El valor «%1» de la columna %2 no es un número.")
                              .arg(rawText(column), QString::fromUtf8(sqlite3_column_name(m_stmt, column))));
        }
    }

    // A timestamp column in its screen form "dd/mm/yyyy h:mm:ss"; a stored text that is no
    // timestamp comes back as it is.
    QString stamp(int column) const
    {
        if (isNull(column))
            return {};
        const QString stored = rawText(column);
        return isoToStamp(stored).value_or(stored);
    }

private:
    QString rawText(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)),
                                 sqlite3_column_bytes(m_stmt, column));
    }

    Database& m_db;
    sqlite3_stmt* m_stmt;
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

    void MergeHistoryLine(const Walk& line, const QLocale& locale)
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
    void AppendHistoryLine(const Walk& line, const QString& code, const QLocale& locale)
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

// Walks the lines of a search, keeping those of the category, into rows and totals.
Totals collectLines(Walk& lines, const CategoryFilter& category, const QLocale& locale,
                    std::vector<HistoryLine>& rows)
{
    Totals totals;
    HistoryRows merged(rows);
    while (lines.next()) {
        if (category && lines.text(kCategoria, locale) != *category)
            continue;
        merged.MergeHistoryLine(lines, locale);
        const double sale = lines.number(kTotalVenta, locale);
        totals.cost += lines.number(kTotalCosto, locale);
        totals.sale += sale;
        const QString kind = lines.text(kTipoPago, locale);
        if (kind == kEfectivo)
            totals.cash += sale;
        else if (kind == kTarjeta)
            totals.card += sale;
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
    HistoryChoices choices;
    {
        Walk days(db, kDias);
        while (days.next()) {
            const QString day = days.stamp(0);
            if (!day.isEmpty())
                choices.days << day;
        }
    }
    choices.years = historyYears(choices.days, today.year());
    choices.categories = productCategories(db);
    choices.categories << historyTexts::kTodas;
    return choices;
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

HistoryResult dailySearch(Database& db, const QString& day, const CategoryFilter& category,
                          const QLocale& locale)
{
    HistoryResult result;
    const QString stored = storedStamp(day);
    Totals totals;
    {
        Walk lines(db, kLineasDelDia, {stored});
        totals = collectLines(lines, category, locale, result.lines);
    }
    setAmountLabels(result, totals, locale);

    double cash = 0;
    double card = 0;
    {
        Walk row(db, kDiaRow, {stored});
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
    // Every stored stamp of the month starts with "yyyy-mm-" and sorts before "yyyy-mm-~".
    const QString from = year + QLatin1Char('-') + month + QLatin1Char('-');
    const QString until = from + QLatin1Char('~');
    const bool anyMonth = !month.isEmpty();

    bool anyLines = false;
    {
        Walk exists(db, kHayLineas);
        anyLines = exists.next() && exists.number(0, locale) != 0;
    }
    Totals totals;
    if (anyLines) {
        if (anyMonth) {
            Walk lines(db, kLineasEntre, {from, until});
            totals = collectLines(lines, category, locale, result.lines);
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
        Walk days(db, kDiasEntre, {from, until});
        while (days.next()) {
            cash += days.number(0, locale);
            card += days.number(1, locale);
        }
    }
    setPaymentLabels(result, cash, card, locale);
    return result;
}

} // namespace tarvino
