// The owner's view of the drawer: the closed sales days of a period, every till's, with the cash
// each opened with, took and should have held, what was counted and the difference, their totals
// and the daily figures the chart draws.
#pragma once

#include "common/money.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tarvino {

class Database;

namespace cashCountsTexts {
inline const QString kTitulo = QStringLiteral("ARQUEOS DE CAJA");
inline const QString kSinArqueo = QStringLiteral("sin arqueo");
inline const QString kPeriodoAlReves =
    QStringLiteral("La fecha «Desde» no puede ser posterior a la fecha «Hasta». Corrija el período.");
} // namespace cashCountsTexts

// One closed day of one till. A day closed by the exit has no count: its counted cash and
// difference are empty, and what it should have held is worked out from its stored rows as the
// count would have done, so that the owner sees every day the drawer was used.
struct CountedDay {
    QString till; // empty on the file, which is one till's
    QDateTime opened;
    Cents opening = 0;
    Cents cash = 0;
    Cents card = 0;
    Cents expected = 0;
    std::optional<Cents> counted;
    std::optional<Cents> difference; // counted - expected: above zero a surplus, below a shortfall
};

// The foot of the list. Counted and difference add up the counted days alone.
struct CashCountsTotals {
    Cents opening = 0;
    Cents cash = 0;
    Cents card = 0;
    Cents expected = 0;
    Cents counted = 0;
    Cents difference = 0;
    int uncounted = 0; // days closed without a count
};

// One date of the chart: every till's days opened that date, added up.
struct DailyFigures {
    QDate date;
    Cents cash = 0;
    Cents card = 0;
    Cents difference = 0;
};

struct CashCounts {
    // Caja, Día, Fondo, Efectivo, Tarjeta, Esperado, Contado, Diferencia.
    static constexpr int kColumns = 8;

    std::vector<CountedDay> days; // by opening, then till
    CashCountsTotals totals;

    // A cell of the list: amounts as moneyText, the day as "dd/mm/yyyy hh:mm", an empty count as
    // "sin arqueo" and its difference empty.
    QString cell(qsizetype row, int column, const QLocale& locale = QLocale()) const;
    // The foot under the list, column by column as cell gives them, "TOTALES" under the days.
    QStringList foot(const QLocale& locale = QLocale()) const;
    // How many days are listed and how many of them have no count: "6 días, 1 sin arqueo".
    QString daysText() const;
    // Whether any day names a till: the till column means something only then.
    bool anyTill() const;
    // The chart's dates, earliest first: those with a closed day.
    std::vector<DailyFigures> daily() const;
};

// The period a window opens with: the seven days ending today.
struct Period {
    QDate from;
    QDate to;
};
Period lastWeek(const QDate& today);

// What the owner is told about a period, empty when it may be read.
QString periodProblem(const Period& period);

// The closed days opened from the first second of period.from to the last of period.to, every
// till's. Throws DbError.
CashCounts cashCounts(Database& db, const Period& period);

} // namespace tarvino
