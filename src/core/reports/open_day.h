// The takings of the open sales day: what the day's takings window reads from bd1 and the captions
// it shows.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace tarvino {

class Database;

// The three amounts as the window's labels first hold them, before they are formatted: plain
// number text in the locale given, or empty where nothing was found.
struct DayTakings {
    QString total; // the sum of TotalVenta over every Temporal line; "0" for an empty day
    QString cash;  // efectivo of the day row; empty while the day has no row (no sale yet)
    QString card;  // tarjeta of the day row; empty likewise
};

// Reads the takings of the open day. The day row is the TipoPago row of the day's stamp: the
// FechaInicio its lines carry, or openingStamp (the sales window's stamp) while it has none. Where
// Temporal still holds the lines of an earlier day whose closing failed, the total counts those
// lines too, and so the cash and card figures add up that day's row as well.
DayTakings readDayTakings(Database& db, const QString& openingStamp, const QLocale& locale = QLocale());

// The captions of the window: Label1 the total, Label3 the date, Label4 cash, Label5 card.
struct DayTakingsCaptions {
    QString Label1;
    QString Label3;
    QString Label4;
    QString Label5;
};

// Formats the amounts: a zero amount shows "$ 0" followed by its text formatted without the "$ "
// (nothing for an empty text), any other under "$ ###,###,###.##". today gives the date.
DayTakingsCaptions dayTakingsCaptions(const DayTakings& takings, const QDateTime& today,
                                      const QLocale& locale = QLocale());

} // namespace tarvino
