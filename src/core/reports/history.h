// The takings history of closed sales days: the days on record, the months, years and categories to
// choose from, and the daily and monthly searches with every caption they show.
#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tarvino {

class Database;

// What the takings history window shows and says.
namespace historyTexts {
inline const QString kTitulo = QStringLiteral("HISTORIAL DE RECAUDACIÓN");
inline const QString kDiaria = QStringLiteral("RECAUDACIÓN DIARIA");
inline const QString kMensual = QStringLiteral("RECAUDACIÓN MENSUAL");
inline const QString kBuscar = QStringLiteral("BUSCAR");
inline const QString kCargando = QStringLiteral("     CARGANDO...   ESPERE...");
inline const QString kTodas = QStringLiteral("Todas");
inline const QString kSinFecha = QStringLiteral("Debe seleccionar la fecha a consultar");
inline const QString kSinMes = QStringLiteral("Debe seleccionar el mes y año a consultar");
// The picture every amount of the history is shown with.
inline const QString kPictureMoney = QStringLiteral("$ ###,###,###.###");
} // namespace historyTexts

// The month list: "Enero" to "Diciembre".
const QStringList& monthNames();
// "01" to "12" for a month name of monthNames(); empty for any other text.
QString monthNumber(const QString& name);

// The years offered for the monthly search, newest first: from this year (or a later year that a
// day on record carries) down to the year of the earliest day; this year alone while no day is on
// record.
QStringList historyYears(const QStringList& days, int currentYear);

// What the window lists when it opens.
struct HistoryChoices {
    QStringList days;       // every TipoPago.FechaInicio as "dd/mm/yyyy h:mm:ss", earliest first
    QStringList tills;      // the till of each day; empty on the file, which is one till's
    QStringList years;      // historyYears of those days
    QStringList categories; // every category of the catalogue, then "Todas"

    // The day list as the window shows it: each day's stamp, with its till in brackets where
    // days have one (two tills may open their days in the same second).
    QStringList dayItems() const;
};
HistoryChoices historyChoices(Database& db, const QDate& today);

// The lines counted by a search: one category's, or every line (nullopt, the entry "Todas").
using CategoryFilter = std::optional<QString>;

// One row of the result: every line of one product code, merged. Name and category are the first
// line's; the amounts are kept as the list holds them, rounded to 15 significant digits after
// every addition.
struct HistoryLine {
    QString code;
    QString name;
    double quantity = 0;
    double cost = 0;
    double sale = 0;
    QString category;
};

// A search's rows, in the order each product code is first met (lines by opening stamp, then in
// the order they were written), and the captions of the result labels; an empty caption is a label
// the search leaves empty.
struct HistoryResult {
    static constexpr int kColumns = 7;

    std::vector<HistoryLine> lines;
    QString label4;  // opening and closing line, or the month heading
    QString label6;  // "Costo Total "
    QString label7;  // "Venta Total "
    QString label8;  // "Utilidad "
    QString label9;  // "Efectivo "
    QString label11; // "Tarjeta "

    // The list's cell: 0 the row number from 1, 1 code, 2 name, 3 quantity, 4 cost total, 5 sale
    // total (numbers as plain number text), 6 category.
    QString cell(qsizetype row, int column, const QLocale& locale = QLocale()) const;
};

// The products sold on the sales day whose opening stamp is day, opened by till (as
// HistoryChoices lists them), with cost, sale and profit, the day's cash and card takings and when
// it opened and closed. With every category the cash and card
// are the day row's; with one category they are what its own lines took in each kind of payment.
HistoryResult dailySearch(Database& db, const QString& day, const QString& till,
                          const CategoryFilter& category, const QLocale& locale = QLocale());

// The same over every sales day opened in the month (its name) of the year (four digits): a day
// opened on a month's last evening counts entirely in that month.
HistoryResult monthlySearch(Database& db, const QString& monthName, const QString& year,
                            const CategoryFilter& category, const QLocale& locale = QLocale());

} // namespace tarvino
