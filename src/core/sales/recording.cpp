// Recording a settled sale: stock, sale lines and the day's takings, all in one transaction.
#include "sales/recording.h"

#include "catalogue/products.h"
#include "common/numbers.h"
#include "common/services.h"
#include "common/timestamps.h"
#include "data/schema.h"
#include "data/query.h"
#include "data/window_data.h"
#include "sales/sales_day.h"

#include <QStringList>

#include <optional>
#include <vector>

namespace tarvino {

using namespace detail;

namespace {

// What one attempt wrote, kept so that the file can be asked afterwards whether it holds the sale.
// Temporal only grows while a day is open, so the sale's lines are exactly the rows after the last
// row that was there before it.
struct Attempt {
    bool committing = false; // the commit was sent: from then on only the file can tell
    QString stamp;           // the day the sale went to
    qint64 lastRowBefore = 0;
    QStringList saleStamps;  // FechaVenta of each line, in its stored form
    // efectivo and tarjeta of the day row; none before when the sale made the row
    std::optional<std::pair<double, double>> takingsBefore;
    std::pair<double, double> takingsAfter;
};

const QString kLinesAfter = QStringLiteral(
    "select CodigoProducto, Cantidad, FechaVenta, FechaInicio, NombreUsuario, TipoPago from Temporal "
    "where rowid > ? order by rowid");
const QString kDayTakings = QStringLiteral(
    "select efectivo, tarjeta from TipoPago where FechaInicio = ? order by FechaInicio");
const QString kLastRow = QStringLiteral("select coalesce(max(rowid), 0) from Temporal");

testing::PlantedVerdict planted = testing::PlantedVerdict::None;

void writeSale(Database& db, const Clock& clock, const SaleToRecord& sale, double amount, Attempt& attempt)
{
    // What goes to the cash and to the card takings: a split sale's card part is what its cash
    // part leaves of the total.
    double cashPart = 0;
    double cardPart = 0;
    if (sale.paymentKind == QLatin1String("EFECTIVO"))
        cashPart = amount;
    else if (sale.paymentKind == QLatin1String("MIXTO"))
        cashPart = fromCents(sale.cashPart), cardPart = fromCents(toCents(amount) - sale.cashPart);
    else
        cardPart = amount;
    Transaction tx(db);

    std::vector<SoldQuantity> sold;
    sold.reserve(size_t(sale.lines.size()));
    for (const SaleLine& line : sale.lines)
        sold.push_back({line[Code], cellNumber(line[Quantity])});
    reduceStock(db, sold);

    WindowData data(db);
    RecordSet& rs = data.rs;

    // A resumed day keeps its stamp even if the sale comes before the stamp was reloaded.
    attempt.stamp = sale.earlierDayUnclosed ? sale.openingStamp
                                            : firstTemporalStamp(db).value_or(sale.openingStamp);
    {
        Query last(db, kLastRow);
        if (last.next())
            attempt.lastRowBefore = qint64(last.number(0));
    }

    data.OpenTemporalForAdding();
    for (const SaleLine& line : sale.lines) {
        const QDateTime when = clock.now();
        rs.addNew();
        rs.setValue(QStringLiteral("CodigoProducto"), line[Code]);
        rs.setValue(QStringLiteral("NombreProducto"), line[Name]);
        rs.setValue(QStringLiteral("Cantidad"), line[Quantity]);
        rs.setValue(QStringLiteral("TotalCosto"), line[TotalCost]);
        rs.setValue(QStringLiteral("TotalVenta"), line[TotalSale]);
        rs.setValue(QStringLiteral("TipoPago"), sale.paymentKind);
        rs.setValue(QStringLiteral("NombreUsuario"), sale.user);
        rs.setValue(QStringLiteral("Categoria"), line[Category]);
        rs.setValue(QStringLiteral("FechaInicio"), attempt.stamp);
        rs.setValue(QStringLiteral("FechaVenta"), stampText(when));
        rs.setValue(QStringLiteral("ValorUnitario"), line[UnitSale]);
        attempt.saleStamps << isoText(when);
    }
    // The lines go together: on a server, one exchange for the whole sale.
    rs.updateBatch();
    data.CloseDatabase();

    // The sale's payment, one row for the whole sale: what the drawer's figures count.
    Query(db,
          QStringLiteral("insert into PagosVenta (FechaInicio, FechaVenta, NombreUsuario, TipoPago, "
                         "Total, Efectivo, Tarjeta, Lineas) values (?, ?, ?, ?, ?, ?, ?, ?)"),
          {stampToIso(attempt.stamp).value_or(QString()), attempt.saleStamps.value(0), sale.user,
           sale.paymentKind, amount, cashPart, cardPart, qint64(sale.lines.size())})
        .execute();

    // Day takings: the day row of the stamp, made by the day's first sale with the opening cash
    // recorded for the day, if any.
    data.OpenTipoPagoOfDay(attempt.stamp);
    if (rs.eof()) {
        const std::optional<Cents> opening = openingCashOf(db, attempt.stamp);
        rs.addNew();
        rs.setValue(QStringLiteral("FechaInicio"), attempt.stamp);
        attempt.takingsAfter = {cashPart, cardPart};
        rs.setValue(QStringLiteral("CajaInicial"), opening ? wholePesos(*opening) : 0);
    } else {
        attempt.takingsBefore = {rs.number(QStringLiteral("efectivo")), rs.number(QStringLiteral("tarjeta"))};
        attempt.takingsAfter = {attempt.takingsBefore->first + cashPart,
                                attempt.takingsBefore->second + cardPart};
    }
    rs.setValue(QStringLiteral("efectivo"), attempt.takingsAfter.first);
    rs.setValue(QStringLiteral("tarjeta"), attempt.takingsAfter.second);
    rs.setValue(QStringLiteral("FechaCierre"), stampText(clock.now()));
    rs.update();
    data.CloseDatabase();

    attempt.committing = true;
    tx.commit();
}

enum class InFile { Whole, Nothing, Neither };

// Whether the file holds the lines and the takings the attempt wrote, all of them or none.
InFile lookForSale(Database& db, const SaleToRecord& sale, const Attempt& attempt)
{
    const QString dayIso = stampToIso(attempt.stamp).value_or(QString());
    qsizetype rows = 0;
    bool same = true;
    {
        Query lines(db, kLinesAfter, {attempt.lastRowBefore});
        while (lines.next()) {
            if (rows < sale.lines.size()) {
                const SaleLine& line = sale.lines[rows];
                same = same && lines.text(0) == line[Code] &&
                       lines.number(1) == cellNumber(line[Quantity]) &&
                       lines.text(2) == attempt.saleStamps.value(rows) && lines.text(3) == dayIso &&
                       lines.text(4) == sale.user && lines.text(5) == sale.paymentKind;
            }
            ++rows;
        }
    }
    std::optional<std::pair<double, double>> takings;
    {
        Query day(db, kDayTakings, {dayIso});
        if (day.next())
            takings = std::pair{day.number(0), day.number(1)};
    }
    if (same && rows == sale.lines.size() && takings == attempt.takingsAfter)
        return InFile::Whole;
    if (rows == 0 && takings == attempt.takingsBefore)
        return InFile::Nothing;
    return InFile::Neither;
}

} // namespace

RecordedSale recordSale(Database& db, const Clock& clock, const SaleToRecord& sale)
{
    const auto amount = readNumber(sale.total);
    if (!amount)
        throw DbError(QStringLiteral("El total a pagar «%1» no es un número.").arg(sale.total));

    Attempt attempt;
    try {
        writeSale(db, clock, sale, *amount, attempt);
        return {attempt.stamp, QString()};
    } catch (const DbError& failure) {
        // Before the commit the transaction is simply undone: nothing of the sale is in the file.
        if (!attempt.committing)
            throw;

        // A failed commit says nothing sure: the disk may have written the sale and then failed
        // to confirm it, and the next start would find it. What this connection still holds in
        // memory is no proof either way, so the file is opened afresh, as that start would.
        InFile found = InFile::Neither;
        QString lookFailure;
        try {
            db.reopen();
            prepareDatabase(db);
            found = lookForSale(db, sale, attempt);
        } catch (const DbError& again) {
            lookFailure = again.message();
        }
        if (planted != testing::PlantedVerdict::None && lookFailure.isEmpty())
            found = planted == testing::PlantedVerdict::AlwaysStored ? InFile::Whole
                                                                     : InFile::Nothing;
        switch (found) {
        case InFile::Whole:
            // The sale was read back, but the disk has not yet confirmed keeping it: folding the
            // journal into the file asks it to, for the journal and for bd1. Only then is the sale
            // told as stored.
            if (db.foldJournal())
                return {attempt.stamp, failure.message(), db.dialect().failurePlace()};
            lookFailure = QStringLiteral(
                "La venta está en la base de datos, pero el disco no confirmó haberla guardado.");
            break;
        case InFile::Nothing:
            throw;
        case InFile::Neither:
            break;
        }
        db.closeUntilRestart(outcomeUnknownInstruction());
        throw SaleOutcomeUnknown(
            failure.message() + QLatin1Char('\n') +
                (lookFailure.isEmpty()
                     ? QStringLiteral("Al volver a leer la base de datos, la venta no estaba ni completa ni ausente.")
                     : lookFailure),
            db.dialect().failurePlace());
    }
}

QString outcomeUnknownText(const SaleOutcomeUnknown& unknown)
{
    return (unknown.place() == FailurePlace::Server
                ? QStringLiteral("No se pudo saber si la venta quedó registrada: el servidor no "
                                 "respondió al guardarla y después no se le pudo volver a "
                                 "consultar.\n\n%1\n\n")
                : QStringLiteral("No se pudo saber si la venta quedó registrada: el disco falló al "
                                 "guardarla y después no se pudo volver a leer la base de datos."
                                 "\n\n%1\n\n"))
               .arg(unknown.message()) +
           QStringLiteral("No cobre la venta de nuevo todavía. Cierre el programa, vuelva a "
                          "abrirlo y busque la venta en DETALLE VENTA PARCIAL: cóbrela otra vez "
                          "solo si no aparece.");
}

QString storedDespiteFailureText(const RecordedSale& recorded)
{
    return (recorded.failurePlace == FailurePlace::Server
                ? QStringLiteral("La venta quedó registrada: el servidor la guardó, aunque su "
                                 "respuesta no llegó a tiempo:\n\n%1\n\nNo la cobre de nuevo.")
                : QStringLiteral("La venta quedó registrada, pero el disco informó una falla al "
                                 "guardarla:\n\n%1\n\nNo la cobre de nuevo. Revise el disco y haga "
                                 "una copia de bd1 cuanto antes."))
        .arg(recorded.commitFailure);
}

QString outcomeUnknownInstruction()
{
    return QStringLiteral(
        "El programa no puede guardar ni leer nada más hasta que se vuelva a abrir, porque no se "
        "sabe si la última venta quedó registrada. No la cobre de nuevo todavía: cierre el "
        "programa, vuelva a abrirlo y busque la venta en DETALLE VENTA PARCIAL; cóbrela otra vez "
        "solo si no aparece.");
}

void testing::plantVerdict(PlantedVerdict verdict)
{
    planted = verdict;
}

} // namespace tarvino
