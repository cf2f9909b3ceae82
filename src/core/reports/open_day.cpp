// The takings of the open sales day: what the day's takings window reads from bd1 and the captions
// it shows.
#include "reports/open_day.h"

#include "common/numbers.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "data/query.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace tarvino {

namespace {

// Every line of the day in the order the file keeps them, with the day each belongs to.
const QString kLineas = QStringLiteral("select TotalVenta, FechaInicio from Temporal order by rowid");
// The first day row of one stamp, in its stored form.
const QString kFilaDelDia = QStringLiteral(
    "select efectivo, tarjeta from TipoPago where FechaInicio = ? order by rowid limit 1");

const QString kPesoCero = QStringLiteral("$ 0");
const QString kConPeso = QStringLiteral("$ ###,###,###.##");
const QString kSinPeso = QStringLiteral("###,###,###.##");

void add(std::optional<double>& sum, std::optional<double> value)
{
    if (value)
        sum = sum.value_or(0.0) + *value;
}

QString amountCaption(const QString& lead, std::optional<double> value, const QLocale& locale)
{
    if (value && *value != 0)
        return lead + formatPicture(*value, kConPeso, locale);
    // An empty label formats to nothing; a zero keeps the picture's lone decimal separator.
    return lead + kPesoCero + (value ? formatPicture(*value, kSinPeso, locale) : QString());
}

} // namespace

DayTakings readDayTakings(Database& db, const QString& openingStamp, const QLocale& locale)
{
    double total = 0;
    QList<QByteArray> days; // the stored stamps of the days with lines here, in order of appearance
    {
        Query lines(db, kLineas);
        while (lines.next()) {
            // Read as a record set reads it: a text that is no number is refused.
            total += lines.number(0);
            const auto cell = lines.cell(1); // a number's digits live in the cell
            const QUtf8StringView stamp = cell.utf8();
            if (stamp.isNull())
                continue;
            const QByteArray stored(stamp.data(), stamp.size());
            // The lines of a day come one after another: compare with the last day first.
            if (days.isEmpty() || (days.last() != stored && !days.contains(stored)))
                days << stored;
        }
    }
    if (const auto iso = stampToIso(openingStamp)) {
        const QByteArray own = iso->toUtf8();
        if (!days.contains(own))
            days << own;
    }

    std::optional<double> cash;
    std::optional<double> card;
    for (const QByteArray& day : std::as_const(days)) {
        Query row(db, kFilaDelDia, {QString::fromUtf8(day)});
        if (row.next()) {
            add(cash, row.cell(0).optionalNumber());
            add(card, row.cell(1).optionalNumber());
        }
    }

    DayTakings takings;
    takings.total = plainNumber(total, locale);
    takings.cash = cash ? plainNumber(*cash, locale) : QString();
    takings.card = card ? plainNumber(*card, locale) : QString();
    return takings;
}

DayTakingsCaptions dayTakingsCaptions(const DayTakings& takings, const QDateTime& today, const QLocale& locale)
{
    const auto read = [&locale](const QString& text) -> std::optional<double> {
        if (text.isEmpty())
            return std::nullopt;
        return readNumber(text, locale).value_or(0.0);
    };
    DayTakingsCaptions captions;
    captions.Label1 = amountCaption(QString(), read(takings.total), locale);
    captions.Label3 = dateText(today);
    captions.Label4 = amountCaption(QStringLiteral("Total Efectivo = "), read(takings.cash), locale);
    captions.Label5 = amountCaption(QStringLiteral("Total Tarjeta = "), read(takings.card), locale);
    return captions;
}

} // namespace tarvino
